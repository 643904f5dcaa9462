#include "engine/graph/stream_pump.h"

#include <gtest/gtest.h>

#include "tests/engine/graph/graph_fakes.h"

namespace {

using fakes::WaitFor;

struct Seen {
  std::vector<uint8_t> data;
  HRESULT times;
  REFERENCE_TIME start, stop;
  bool sync, discontinuity, preroll;
};

struct Recorder {
  std::mutex m;
  std::vector<Seen> samples;
  std::atomic<int> ends{0};

  static HRESULT Deliver(IMediaSample* s, void* context) {
    auto* r = static_cast<Recorder*>(context);
    if (!s) {
      ++r->ends;
      return 0;
    }
    Seen seen{};
    BYTE* p = nullptr;
    s->GetPointer(&p);
    seen.data.assign(p, p + s->GetActualDataLength());
    seen.times = s->GetTime(&seen.start, &seen.stop);
    seen.sync = s->IsSyncPoint() == S_OK;
    seen.discontinuity = s->IsDiscontinuity() == S_OK;
    seen.preroll = s->IsPreroll() == S_OK;
    s->Release();
    std::lock_guard l(r->m);
    r->samples.push_back(seen);
    return 0;
  }
};

struct PumpTest : ::testing::Test {
  void SetUp() override {
    reader = new fakes::Reader("pump source", 1);
    reader->SetOutputCallback(0, &Recorder::Deliver, &rec);
    ASSERT_EQ(CreateMemoryAllocator(&alloc), S_OK);
    ALLOCATOR_PROPERTIES req{2, 16, 1, 0};
    ALLOCATOR_PROPERTIES act{};
    ASSERT_EQ(alloc->SetProperties(&req, &act), S_OK);
    ASSERT_EQ(alloc->Commit(), S_OK);
  }
  void TearDown() override {
    EXPECT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
    alloc->Decommit();
    EXPECT_EQ(alloc->Release(), 0u) << "a sample was not given back";
    reader->Release();
  }
  fakes::Reader* reader = nullptr;
  IMemAllocator* alloc = nullptr;
  Recorder rec;
};

MediaPacket* Packet(int32_t flags, int64_t start, int64_t stop, const std::string& bytes) {
  MediaPacket* p = NewPacket(flags, bytes.data(), static_cast<int32_t>(bytes.size()));
  p->start = start;
  p->stop = stop;
  return p;
}

TEST_F(PumpTest, PacketsBecomeSamplesWithTheirTimesAndFlags) {
  struct Case {
    int32_t flags;
    std::string bytes;
    HRESULT times;
    bool sync, discontinuity, preroll;
  };
  const Case cases[] = {
      {PACKET_START_VALID | PACKET_STOP_VALID | PACKET_SYNC_POINT, "key", S_OK, true, false, false},
      {PACKET_START_VALID | PACKET_DISCONTINUITY, "start only", VFW_S_NO_STOP_TIME, false, true, false},
      {PACKET_STOP_VALID | PACKET_PREROLL, "stop alone", VFW_E_SAMPLE_TIME_NOT_SET, false, false, true},
      {PACKET_DISCONTINUITY, "", VFW_E_SAMPLE_TIME_NOT_SET, false, true, false},  // seek marker
  };
  auto* pump = new CStreamPump();
  for (const Case& c : cases) pump->List().Push(Packet(c.flags, 1000, 2000, c.bytes));
  ASSERT_EQ(pump->Start(reader, 0, alloc), S_OK);
  EXPECT_EQ(pump->List().GetCount(), 0);  // Start empties the list
  // Packets pushed after Start flow; the end of stream ends the pump.
  for (const Case& c : cases) pump->List().Push(Packet(c.flags, 1000, 2000, c.bytes));
  pump->List().Push(NewEndOfStreamPacket());
  ASSERT_TRUE(WaitFor([&] { return rec.ends.load() == 1; }));
  ASSERT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
  std::lock_guard l(rec.m);
  ASSERT_EQ(rec.samples.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Seen& s = rec.samples[i];
    EXPECT_EQ(std::string(s.data.begin(), s.data.end()), cases[i].bytes);
    EXPECT_EQ(s.times, cases[i].times);
    if (s.times == S_OK || s.times == VFW_S_NO_STOP_TIME) {
      EXPECT_EQ(s.start, 1000);
    }
    if (s.times == S_OK) {
      EXPECT_EQ(s.stop, 2000);
    }
    EXPECT_EQ(s.sync, cases[i].sync);
    EXPECT_EQ(s.discontinuity, cases[i].discontinuity);
    EXPECT_EQ(s.preroll, cases[i].preroll);
  }
}

TEST_F(PumpTest, PacketLongerThanTheBufferIsCut) {
  testing::internal::CaptureStdout();
  auto* pump = new CStreamPump();
  ASSERT_EQ(pump->Start(reader, 0, alloc), S_OK);
  pump->List().Push(Packet(0, 0, 0, "0123456789abcdefXYZ"));  // 19 bytes into 16
  pump->List().Push(NewEndOfStreamPacket());
  ASSERT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "READ packet too long\n");
  std::lock_guard l(rec.m);
  ASSERT_EQ(rec.samples.size(), 1u);
  EXPECT_EQ(std::string(rec.samples[0].data.begin(), rec.samples[0].data.end()), "0123456789abcdef");
  EXPECT_EQ(rec.ends, 1);
}

// A connection that got no allocator, or one that gives no buffer: the data
// is dropped, the end of stream still goes through.
TEST_F(PumpTest, NoBufferDropsPacketsButDeliversEndOfStream) {
  for (bool withAllocator : {false, true}) {
    SCOPED_TRACE(withAllocator);
    rec.ends = 0;
    if (withAllocator) alloc->Decommit();  // GetBuffer now fails
    auto* pump = new CStreamPump();
    ASSERT_EQ(pump->Start(reader, 0, withAllocator ? alloc : nullptr), S_OK);
    for (int i = 0; i < 5; ++i) pump->List().Push(Packet(PACKET_SYNC_POINT, 0, 0, "data"));
    pump->List().Push(NewEndOfStreamPacket());
    ASSERT_TRUE(WaitFor([&] { return rec.ends.load() == 1; }));
    ASSERT_TRUE(WaitFor([] { return CStreamPump::Running() == 0; }));
    std::lock_guard l(rec.m);
    EXPECT_TRUE(rec.samples.empty());
  }
}

}  // namespace
