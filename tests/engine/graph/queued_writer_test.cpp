#include "engine/graph/queued_writer.h"

#include <gtest/gtest.h>

#include "tests/engine/graph/graph_fakes.h"

namespace {

using fakes::QueuedWriter;
using fakes::WaitFor;
using namespace std::chrono_literals;

struct WriterTest : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(CreateMemoryAllocator(&alloc), S_OK);
    ALLOCATOR_PROPERTIES req{8, 64, 1, 0};
    ALLOCATOR_PROPERTIES act{};
    ASSERT_EQ(alloc->SetProperties(&req, &act), S_OK);
    ASSERT_EQ(alloc->Commit(), S_OK);
    writer = new QueuedWriter();
  }
  void TearDown() override {
    if (writer) writer->Release();
    alloc->Decommit();
    EXPECT_EQ(alloc->Release(), 0u) << "a sample was not given back";
  }
  void AddPins(int n) {
    AM_MEDIA_TYPE t = fakes::MajorType(MEDIATYPE_Video);
    for (int i = 0; i < n; ++i) ASSERT_EQ(writer->AddInputPin(&t, 0), 0);
  }
  IMediaSample* Sample(const std::string& bytes) {
    IMediaSample* s = nullptr;
    EXPECT_EQ(alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    BYTE* p = nullptr;
    s->GetPointer(&p);
    std::memcpy(p, bytes.data(), bytes.size());
    s->SetActualDataLength(static_cast<LONG>(bytes.size()));
    return s;
  }
  // Every buffer of the pool is back.
  bool AllBuffersBack() {
    std::vector<IMediaSample*> got;
    IMediaSample* s = nullptr;
    while (alloc->GetBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT) == S_OK) got.push_back(s);
    for (IMediaSample* g : got) g->Release();
    return got.size() == 8;
  }
  IMemAllocator* alloc = nullptr;
  QueuedWriter* writer = nullptr;
};

TEST_F(WriterTest, SampleFlagsAndTimesBecomePacketFlags) {
  struct Case {
    bool sync, discontinuity, preroll;
    int times;  // 2 both, 1 start only, 0 none
    int32_t flags;
    int64_t start, stop;
  };
  const Case cases[] = {
      {true, false, false, 2, PACKET_SYNC_POINT | PACKET_START_VALID | PACKET_STOP_VALID, 100, 200},
      {false, true, true, 1, PACKET_DISCONTINUITY | PACKET_PREROLL | PACKET_START_VALID, 300, 0},
      {false, false, false, 0, 0, 0, 0},
  };
  AddPins(1);
  ASSERT_EQ(writer->Run(), S_OK);
  for (const Case& c : cases) {
    IMediaSample* s = Sample("payload");
    s->SetSyncPoint(c.sync);
    s->SetDiscontinuity(c.discontinuity);
    s->SetPreroll(c.preroll);
    REFERENCE_TIME start = c.start ? c.start : 300, stop = 200;
    if (c.times == 2) s->SetTime(&start, &stop);
    if (c.times == 1) s->SetTime(&start, nullptr);
    EXPECT_EQ(writer->Receive(0, s), S_OK);
  }
  writer->Receive(0, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  auto written = writer->Written();
  ASSERT_EQ(written.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(written[i].flags, cases[i].flags);
    EXPECT_EQ(written[i].start, cases[i].start);
    EXPECT_EQ(written[i].stop, cases[i].stop);
    EXPECT_EQ(std::string(written[i].data.begin(), written[i].data.end()), "payload");
  }
  EXPECT_TRUE(AllBuffersBack());
  EXPECT_EQ(writer->finishes, 1);
}

TEST_F(WriterTest, StatesRunZeroTwoThreeOne) {
  AddPins(2);
  writer->finishGate = true;
  EXPECT_EQ(writer->GetOutputPinCount(), 0u);
  EXPECT_EQ(writer->GetInputPinCount(), 2u);
  ASSERT_EQ(writer->Run(), S_OK);
  EXPECT_EQ(writer->GetState(), WRITER_RUNNING);
  writer->Receive(0, Sample("a"));
  writer->Receive(0, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_SOME_INPUTS_FINISHED; }));
  writer->Receive(1, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_DRAINED_THREAD_RUNNING; }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(writer->GetState(), WRITER_DRAINED_THREAD_RUNNING) << "Finish has not run yet";
  EXPECT_EQ(writer->finishes, 0);
  writer->finishGate = false;
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_EQ(writer->finishes, 1);
  EXPECT_EQ(writer->Written().size(), 1u);
  // Late arrivals after the thread ended are dropped, not crashed on.
  writer->Receive(0, Sample("late"));
  writer->Receive(1, nullptr);
  EXPECT_TRUE(AllBuffersBack());
}

TEST_F(WriterTest, SecondEndOfStreamQueuesASecondMarkAndLaterSamplesAreDropped) {
  AddPins(2);
  writer->hold = true;
  ASSERT_EQ(writer->Run(), S_OK);
  writer->Receive(0, Sample("x"));
  writer->Receive(0, nullptr);
  writer->Receive(0, Sample("after the end"));
  writer->Receive(0, nullptr);
  EXPECT_EQ(writer->Queue(0)->GetCount(), 3);  // data, end, end
  EXPECT_EQ(writer->Receive(7, Sample("bad pin")), E_INVALIDARG);
  writer->Receive(1, nullptr);
  writer->hold = false;
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_GE(writer->endsSeen, 2);  // the thread may end before the second mark
  ASSERT_EQ(writer->Written().size(), 1u);
  EXPECT_EQ(writer->Written()[0].data, std::vector<uint8_t>{'x'});
  EXPECT_TRUE(AllBuffersBack());
}

TEST_F(WriterTest, WriterWithoutInputsFinishesAtOnce) {
  ASSERT_EQ(writer->Run(), S_OK);
  EXPECT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_EQ(writer->finishes, 1);
}

TEST_F(WriterTest, QueueLimitsFromTheDerivedWriterBlockTheProducer) {
  AddPins(1);
  writer->packetLimit = 2;
  writer->byteLimit = 1 << 20;
  writer->hold = true;
  ASSERT_EQ(writer->Run(), S_OK);
  for (int i = 0; i < 3; ++i) writer->Receive(0, Sample("q"));
  std::atomic<bool> done{false};
  std::thread producer([&] {
    writer->Receive(0, Sample("blocked"));
    done = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(done);
  writer->hold = false;  // the writer takes one and signals
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  producer.join();
  writer->Receive(0, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_EQ(writer->Written().size(), 4u);
}

// Stop while a producer is blocked on a full queue and packets wait: the
// producer gets out, queued data is dropped, the end of stream finishes the
// writer and nothing leaks.
TEST_F(WriterTest, StopReleasesABlockedProducerAndFlushes) {
  AddPins(2);
  writer->packetLimit = 1;
  writer->byteLimit = 1 << 20;
  writer->hold = true;
  ASSERT_EQ(writer->Run(), S_OK);
  writer->Receive(0, Sample("1"));
  writer->Receive(0, Sample("2"));
  std::atomic<bool> done{false};
  std::thread producer([&] {
    writer->Receive(0, Sample("3"));
    done = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(done);
  writer->Stop();
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  producer.join();
  writer->Receive(0, Sample("dropped"));  // flushes the pin
  EXPECT_EQ(writer->Queue(0)->GetCount(), 0);
  writer->Receive(1, Sample("other pin"));
  writer->Receive(0, nullptr);
  writer->Receive(1, nullptr);
  EXPECT_EQ(writer->Queue(1)->GetCount(), 1) << "only the end mark is left";
  writer->hold = false;
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_TRUE(writer->Written().empty());
  EXPECT_TRUE(AllBuffersBack());
}

TEST_F(WriterTest, DestroyingARunningWriterEndsItsThread) {
  AddPins(1);
  ASSERT_EQ(writer->Run(), S_OK);
  writer->Receive(0, Sample("never finished"));
  writer->Release();  // no end of stream ever came
  writer = nullptr;
  EXPECT_TRUE(AllBuffersBack());
}

TEST(QueuedWriterClock, VideoTakesTheClockFromAudioOnce) {
  struct Case {
    std::vector<GUID> pins;
    uint32_t clockPin, clockKind;
  };
  const Case cases[] = {
      {{MEDIATYPE_Audio, MEDIATYPE_Video, MEDIATYPE_Video}, 1, QueuedWriter::kClockVideo},
      {{MEDIATYPE_Audio, MEDIATYPE_Audio}, 0, QueuedWriter::kClockAudio},
      {{MEDIATYPE_Video, MEDIATYPE_Audio}, 0, QueuedWriter::kClockVideo},
      {{MEDIATYPE_Text}, QueuedWriter::kNoClock, QueuedWriter::kNoClock},
  };
  for (const Case& c : cases) {
    auto* w = new QueuedWriter();
    for (const GUID& major : c.pins) {
      AM_MEDIA_TYPE t = fakes::MajorType(major);
      w->AddInputPin(&t, 0);
    }
    EXPECT_EQ(w->ClockPin(), c.clockPin);
    EXPECT_EQ(w->ClockKind(), c.clockKind);
    w->Open(nullptr);  // resets the clock and the pins
    EXPECT_EQ(w->ClockPin(), QueuedWriter::kNoClock);
    EXPECT_EQ(w->GetInputPinCount(), 0u);
    w->Release();
  }
}

TEST(QueuedWriterSlots, ConstantAnswers) {
  auto* w = new QueuedWriter();
  w->requirements = false;
  AM_MEDIA_TYPE t{};
  ALLOCATOR_PROPERTIES p{};
  EXPECT_EQ(w->SetOutputType(0, &t, 0), E_INVALIDARG);
  EXPECT_EQ(w->GetOutputType(0, 0, &t), E_INVALIDARG);
  EXPECT_EQ(w->Pause(1), S_OK);
  EXPECT_EQ(static_cast<CQueuedWriter*>(w)->CQueuedWriter::GetAllocatorRequirements(0, &p), E_FAIL);
  EXPECT_EQ(QueryAsWriter(w), w);
  w->Release();
}

}  // namespace
