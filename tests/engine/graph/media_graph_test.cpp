#include "engine/graph/media_graph.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/graph/graph_fakes.h"

namespace {

using fakes::Log;
using fakes::WaitFor;
using namespace std::chrono_literals;
using Events = std::vector<std::string>;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct GraphTest : ::testing::Test {
  void SetUp() override {
    CMediaGraph::ResetProcessState();
    Log().Clear();
    fakes::Destroyed() = 0;
  }
  void TearDown() override { CMediaGraph::ResetProcessState(); }

  // The events of the log that start with prefix, in order.
  static Events With(const std::string& prefix) {
    Events out;
    for (const auto& e : Log().Events()) {
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    }
    return out;
  }
  // A stand-alone sample the test holds one reference on.
  static CMediaSample* OwnSample() {
    static BYTE buffer[16];
    auto* s = new CMediaSample(nullptr, buffer, sizeof buffer);
    s->AddRef();
    return s;
  }
};

TEST_F(GraphTest, ConnectReplacesTheDestinationAndListsModulesOnce) {
  CMediaGraph graph;
  auto* reader = new fakes::Reader("R", 2);
  auto* first = new fakes::Writer("W1");
  auto* second = new fakes::Writer("W2", 2);
  EXPECT_TRUE(graph.Connect(reader, 0, first, 0));
  EXPECT_TRUE(graph.Connect(reader, 0, second, 1));
  EXPECT_TRUE(graph.Connect(reader, 1, second, 0));
  EXPECT_FALSE(graph.Connect(reader, 2, nullptr, 0));
  EXPECT_EQ(graph.ConnectionCount(), 2u);
  EXPECT_EQ(graph.Readers(), std::vector<IMediaModule*>{reader});
  EXPECT_EQ(graph.Modules(), (std::vector<IMediaModule*>{first, second}));

  IMediaModule* other = nullptr;
  uint32_t pin = 99;
  ASSERT_TRUE(graph.FindConnection(reader, 0, &other, &pin, 1));
  EXPECT_EQ(other, second);
  EXPECT_EQ(pin, 1u);
  ASSERT_TRUE(graph.FindConnection(second, 0, &other, &pin, 0));
  EXPECT_EQ(other, reader);
  EXPECT_EQ(pin, 1u);
  EXPECT_FALSE(graph.FindConnection(first, 0, &other, &pin, 0));
  EXPECT_FALSE(graph.FindConnection(reader, 5, &other, &pin, 1));

  reader->Deliver(0, OwnSample());  // the graph is neither stopped nor paused
  EXPECT_EQ(first->samples[0], 0);
  EXPECT_EQ(second->samples[1], 1);
  EXPECT_FALSE(graph.SetHook(first, 0, nullptr)) << "writers have no output pin connected";

  graph.Release();
  EXPECT_EQ(With("close:"), (Events{"close:R", "close:W1", "close:W2"}));
  EXPECT_EQ(fakes::Destroyed(), 3) << "the graph owns the connected modules";
  EXPECT_TRUE(graph.Modules().empty());
  EXPECT_TRUE(graph.Readers().empty());
}

TEST_F(GraphTest, RunSetsUpAllocatorsDownstreamFirstAndStartsReadersLast) {
  auto* reader = new fakes::Reader("main reader", 1);
  auto* transform = new fakes::Transform("T");
  auto* writer = new fakes::Writer("Test writer");
  {
    CMediaGraph graph;
    graph.Connect(reader, 0, transform, 0);
    graph.Connect(transform, 0, writer, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(graph.Run(), S_OK);
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    char address[32];
    std::snprintf(address, sizeof address, "%d",
                  static_cast<int>(reinterpret_cast<intptr_t>(static_cast<IMediaModule*>(transform))));
    EXPECT_EQ(out, "Reader:main reader\nFILTER:" + std::string(address) + "\nFILTER:Test writer\n");
    EXPECT_EQ(With("alloc:"), (Events{"alloc:Test writer", "alloc:T"}));
    EXPECT_EQ(With("run:"), (Events{"run:T", "run:Test writer", "run:main reader"}));

    // Each source got the allocator of its destination, set to that destination's needs.
    ALLOCATOR_PROPERTIES p{};
    ASSERT_NE(reader->Allocator(0), nullptr);
    reader->Allocator(0)->GetProperties(&p);
    EXPECT_EQ(p.cBuffers, 2);
    EXPECT_EQ(p.cbBuffer, 1000);
    ASSERT_NE(transform->Allocator(0), nullptr);
    transform->Allocator(0)->GetProperties(&p);
    EXPECT_EQ(p.cBuffers, 3);
    EXPECT_EQ(p.cbBuffer, 4000);
    IMediaSample* s = nullptr;
    ASSERT_EQ(reader->Allocator(0)->GetBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT), S_OK) << "committed";
    reader->Deliver(0, s);
    EXPECT_EQ(transform->samples, 1);
    EXPECT_EQ(writer->samples[0], 1);
    graph.CloseWriters();
    EXPECT_EQ(With("closeoutput:"), Events{"closeoutput:Test writer"});
  }  // the destructor releases what Release was not called for
  EXPECT_EQ(fakes::Destroyed(), 3);
}

TEST_F(GraphTest, FailedSetupPrintsErrorAndStartsAnyway) {
  struct Case {
    const char* name;
    bool writerRequirements;
    bool transformSecondOutput;  // an output pin with no connection
  };
  for (const Case& c : {Case{"no requirements", false, false}, Case{"unconnected output", true, true}}) {
    SCOPED_TRACE(c.name);
    Log().Clear();
    CMediaGraph graph;
    auto* reader = new fakes::Reader("R", 1);
    auto* transform = new fakes::Transform("T", c.transformSecondOutput ? 2 : 1);
    auto* writer = new fakes::Writer("W", 1, c.writerRequirements);
    graph.Connect(reader, 0, transform, 0);
    graph.Connect(transform, 0, writer, 0);
    testing::internal::CaptureStdout();
    graph.Run();
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("error in run\nReader:R\n", 0), 0u) << out;
    EXPECT_EQ(reader->Allocator(0), nullptr);
    EXPECT_EQ(With("run:").size(), 3u);
  }
}

TEST_F(GraphTest, CycleFailsInsteadOfRecursingForever) {
  CMediaGraph graph;
  auto* reader = new fakes::Reader("R", 1);
  auto* a = new fakes::Transform("A");
  auto* b = new fakes::Transform("B");
  graph.Connect(reader, 0, a, 0);
  graph.Connect(a, 0, b, 0);
  graph.Connect(b, 0, a, 0);
  EXPECT_FALSE(graph.SetupAllocators(reader, 0));
  EXPECT_FALSE(graph.SetupAllocators(reader, 3));
}

TEST_F(GraphTest, StoppedGraphReleasesSamplesOnceAndStillPassesEndOfStream) {
  CMediaGraph graph;
  auto* reader = new fakes::Reader("R", 1);
  auto* writer = new fakes::Writer("Pass writer");
  graph.Connect(reader, 0, writer, 0);
  graph.Stop();
  EXPECT_TRUE(CMediaGraph::IsStopped());
  EXPECT_EQ(With("stop:"), (Events{"stop:Pass writer", "stop:R"}));
  CMediaSample* s = OwnSample();
  s->AddRef();
  reader->Deliver(0, s);
  EXPECT_EQ(s->RefCount(), 1) << "released exactly once";
  EXPECT_EQ(writer->samples[0], 0);
  s->Release();
  testing::internal::CaptureStdout();
  reader->Deliver(0, nullptr);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "R -->Pass writer end\n");
  EXPECT_EQ(writer->ends[0], 1);
  graph.Pause(0);
  EXPECT_TRUE(CMediaGraph::IsStopped()) << "never cleared";
}

TEST_F(GraphTest, PauseHoldsTheDeliveringThreadUntilResumedOrStopped) {
  for (bool resumeByStop : {false, true}) {
    SCOPED_TRACE(resumeByStop);
    CMediaGraph::ResetProcessState();
    CMediaGraph graph;
    auto* reader = new fakes::Reader("R", 1);
    auto* writer = new fakes::Writer("W");
    graph.Connect(reader, 0, writer, 0);
    graph.Pause(1);
    EXPECT_TRUE(CMediaGraph::IsPaused());
    std::atomic<bool> returned{false};
    std::thread deliverer([&] {
      reader->Deliver(0, OwnSample());
      reader->Deliver(0, nullptr);
      returned = true;
    });
    std::this_thread::sleep_for(250ms);
    EXPECT_FALSE(returned);
    EXPECT_EQ(writer->samples[0], 0);
    resumeByStop ? graph.Stop() : graph.Pause(0);
    ASSERT_TRUE(WaitFor([&] { return returned.load(); }));
    deliverer.join();
    EXPECT_EQ(writer->samples[0], resumeByStop ? 0 : 1);
    EXPECT_EQ(writer->ends[0], 1) << "the end of stream reaches the writer";
  }
}

TEST_F(GraphTest, StateFollowsTheWriters) {
  struct Case {
    std::vector<int32_t> writers;
    int32_t graph;
  };
  const Case cases[] = {
      {{3}, 2}, {{1}, 1}, {{0}, 0}, {{0, 1}, 2}, {{1, 1}, 1}, {{0, 0}, 0}, {{1, 5}, 2}, {{}, 1},
  };
  {
    CMediaGraph empty;
    EXPECT_EQ(empty.GetState(), 1);
  }
  for (const Case& c : cases) {
    CMediaGraph graph;
    auto* reader = new fakes::Reader("R", 4);
    graph.Connect(reader, 3, new fakes::Transform("not a writer"), 0);
    std::vector<fakes::Writer*> writers;
    for (size_t i = 0; i < c.writers.size(); ++i) {
      writers.push_back(new fakes::Writer("W"));
      writers.back()->state = c.writers[i];
      graph.Connect(reader, static_cast<uint32_t>(i), writers.back(), 0);
    }
    EXPECT_EQ(graph.GetState(), c.graph) << testing::PrintToString(c.writers);
  }
}

std::atomic<int> g_hooked{0};
std::atomic<int> g_hookedEnds{0};
void CountingHook(IMediaSample* s) {
  ASSERT_FALSE(IsBlankSample(s));
  s ? ++g_hooked : ++g_hookedEnds;
}

TEST_F(GraphTest, BlankSamplesReachOnlyModulesThatAcceptThemAndNeverAHook) {
  CMediaGraph graph;
  auto* reader = new fakes::Reader("R", 2);
  auto* coder = new fakes::Transform("DS coder", 1, true);
  auto* writer = new fakes::Writer("W", 2);
  graph.Connect(reader, 0, coder, 0);
  graph.Connect(coder, 0, writer, 0);
  graph.Connect(reader, 1, writer, 1);
  ASSERT_TRUE(graph.SetHook(reader, 0, CountingHook));
  ASSERT_TRUE(graph.SetHook(reader, 1, CountingHook));
  g_hooked = g_hookedEnds = 0;
  reader->Deliver(0, BlankSample());
  reader->Deliver(1, BlankSample());
  EXPECT_EQ(coder->blanks, 1);
  EXPECT_EQ(writer->blanks, 0);
  EXPECT_EQ(g_hooked, 0);
  reader->Deliver(0, OwnSample());
  reader->Deliver(1, OwnSample());
  testing::internal::CaptureStdout();
  reader->Deliver(1, nullptr);
  std::fflush(stdout);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_hooked, 2);
  EXPECT_EQ(g_hookedEnds, 1);
  EXPECT_EQ(writer->samples[0], 1);
  EXPECT_EQ(writer->samples[1], 1);
  // Re-connecting a hooked pin keeps its hook.
  graph.Connect(reader, 1, writer, 1);
  reader->Deliver(1, OwnSample());
  EXPECT_EQ(g_hooked, 3);
}

TEST_F(GraphTest, SeekAsksEveryReaderAndAnswersTheLast) {
  CMediaGraph graph;
  EXPECT_EQ(graph.Seek(1, 2), S_OK);
  auto* a = new fakes::Reader("A", 1);
  auto* b = new fakes::Reader("B", 1);
  a->seekResult = 5;
  b->seekResult = 7;
  auto* writer = new fakes::Writer("W", 2);
  graph.Connect(a, 0, writer, 0);
  graph.Connect(b, 0, writer, 1);
  EXPECT_EQ(graph.Seek(0x89ABCDEFu, -2), 7);
  EXPECT_EQ(With("seek:"), (Events{"seek:A:2309737967,-2,0", "seek:B:2309737967,-2,0"}));
  EXPECT_EQ(fakes::Destroyed(), 0);  // the reader's QueryInterface reference was given back
}

// Readers pump packets through a pass-through transform and straight into a
// queued writer; the graph stops while packets and samples are in flight.
// Every writer still finishes, every sample goes back, nothing leaks.
TEST_F(GraphTest, StopWithSamplesInFlight) {
  auto* reader = new fakes::Reader("R", 2, true);
  auto* transform = new fakes::Transform("T");
  transform->props = ALLOCATOR_PROPERTIES{2, 4096, 1, 0};
  auto* writer = new fakes::QueuedWriter("Q");
  writer->writeDelayMs = 1;
  writer->packetLimit = 4;
  writer->byteLimit = 1 << 20;
  AM_MEDIA_TYPE v = fakes::MajorType(MEDIATYPE_Video), a = fakes::MajorType(MEDIATYPE_Audio);
  writer->AddInputPin(&v, 0);
  writer->AddInputPin(&a, 0);
  CMediaGraph graph;
  graph.Connect(reader, 0, transform, 0);
  graph.Connect(transform, 0, writer, 0);
  graph.Connect(reader, 1, writer, 1);
  testing::internal::CaptureStdout();
  graph.Run();
  ASSERT_NE(reader->Allocator(0), nullptr);
  ASSERT_NE(reader->Allocator(1), nullptr);
  std::vector<uint8_t> payload(3000, 0x5A);
  for (int i = 0; i < 300; ++i) {
    for (uint32_t pin = 0; pin < 2; ++pin) {
      MediaPacket* p = NewPacket(PACKET_START_VALID, payload.data(), static_cast<int32_t>(payload.size()));
      p->start = i * 400000;
      reader->pump[pin]->List().Push(p);
    }
  }
  ASSERT_TRUE(WaitFor([&] { return writer->Written().size() >= 20; }));
  graph.Stop();
  // A reader that is told to stop ends its streams.
  for (uint32_t pin = 0; pin < 2; ++pin) reader->pump[pin]->List().Push(NewEndOfStreamPacket());
  ASSERT_TRUE(WaitFor([&] { return graph.GetState() == 1; }));
  ASSERT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  // Both streams ended at the writer, one of them through the transform.
  EXPECT_EQ(Count(out, "R -->"), 2) << out;
  EXPECT_EQ(Count(out, " -->Q end\n"), 2) << out;
  EXPECT_LT(writer->Written().size(), 600u);
  EXPECT_EQ(writer->endsSeen, 2);
  EXPECT_EQ(transform->ends, 1);
  graph.CloseWriters();
  graph.Release();
  EXPECT_EQ(fakes::Destroyed(), 3);
}

// Any answer but S_OK from a writer's CloseOutput fails the graph's close, a
// success code too; the first one is the result, and every writer is closed.
TEST_F(GraphTest, CloseWritersReportsTheFirstAnswerThatIsNotSOk) {
  const struct {
    HRESULT first, second, result;
  } cases[] = {
      {S_OK, S_OK, S_OK},
      {S_FALSE, S_OK, S_FALSE},
      {S_OK, E_FAIL, E_FAIL},
      {E_OUTOFMEMORY, E_FAIL, E_OUTOFMEMORY},
  };
  for (const auto& c : cases) {
    CMediaGraph graph;
    auto* reader = new fakes::Reader("R", 2);
    auto* a = new fakes::Writer("A");
    auto* b = new fakes::Writer("B");
    a->closeResult = c.first;
    b->closeResult = c.second;
    graph.Connect(reader, 0, a, 0);
    graph.Connect(reader, 1, b, 0);
    fakes::Log().Clear();
    EXPECT_EQ(graph.CloseWriters(), c.result);
    int closed = 0;
    for (const std::string& e : fakes::Log().Events()) closed += e.rfind("closeoutput:", 0) == 0;
    EXPECT_EQ(closed, 2);
    graph.Release();
  }
}

// The writer refuses an allocator: the reader's pumps have none, drop their
// data, and the writer still finishes on the end of stream.
TEST_F(GraphTest, PumpWithoutAllocatorStillEndsTheWriter) {
  auto* reader = new fakes::Reader("R", 1, true);
  auto* writer = new fakes::QueuedWriter("Q");
  writer->requirements = false;
  AM_MEDIA_TYPE v = fakes::MajorType(MEDIATYPE_Video);
  writer->AddInputPin(&v, 0);
  CMediaGraph graph;
  graph.Connect(reader, 0, writer, 0);
  testing::internal::CaptureStdout();
  graph.Run();
  EXPECT_EQ(reader->Allocator(0), nullptr);
  for (int i = 0; i < 5; ++i) reader->pump[0]->List().Push(NewPacket(0, "abc", 3));
  reader->pump[0]->List().Push(NewEndOfStreamPacket());
  ASSERT_TRUE(WaitFor([&] { return graph.GetState() == 1; }));
  ASSERT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("error in run\nReader:R\nFILTER:Q\n", 0), 0u) << out;
  EXPECT_TRUE(writer->Written().empty());
  graph.Release();
}

}  // namespace
