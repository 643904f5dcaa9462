// The bridge filters: a push source feeding a sink inside a graph, with the
// sink's range, seek marks, ends of stream, new segments, forced lengths,
// pause and stop; the push pin's buffers and types; the null audio renderer.
#include <gtest/gtest.h>

#include <thread>

#include "platform/dshow/filter_graph.h"
#include "tests/engine/modules/dshow/bridge_test_util.h"

using namespace dsbridge;
using namespace std::chrono_literals;

namespace {

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { Connect(true, 115200); }
  void Connect(bool fixed, ULONG sampleSize, const GUID& subtype = MEDIASUBTYPE_YV12) {
    Teardown();
    ASSERT_EQ(S_OK, CreateFilterGraph(graph_.Out()));
    HRESULT hr = E_FAIL;
    push_ = CreatePushSourceFilter(nullptr, &hr);
    ASSERT_EQ(S_OK, hr);
    sink_ = CreateSinkFilter(nullptr, &hr);
    ASSERT_EQ(S_OK, hr);
    graph_->AddFilter(push_, nullptr);
    graph_->AddFilter(sink_, nullptr);
    AM_MEDIA_TYPE mt = VideoType(subtype, 320, 240, fixed, sampleSize, block_);
    ASSERT_EQ(S_OK, graph_->ConnectDirect(push_->Pin(), sink_->Pin(), &mt));
    sink_->Pin()->SetCallback(&Recorder::Deliver, &rec_);
    allocator_ = MakeAllocator(4, 4096);
  }
  void Teardown() {
    if (graph_) QueryRef<IMediaControl>(graph_.Get(), IID_IMediaControl)->Stop();
    graph_.Reset();
    if (push_) push_->Release();
    if (sink_) sink_->Release();
    if (allocator_) allocator_->Release();
    push_ = nullptr;
    sink_ = nullptr;
    allocator_ = nullptr;
  }
  void TearDown() override { Teardown(); }
  void Run() { ASSERT_EQ(S_OK, QueryRef<IMediaControl>(graph_.Get(), IID_IMediaControl)->Run()); }
  // Pushes one sample of 10 bytes; the push pin's answer.
  HRESULT Push(int64_t start, int64_t stop = -1, int fill = 7, LONG length = 10) {
    IMediaSample* s = MakeSample(allocator_, length, fill, start, stop);
    const HRESULT hr = push_->Pin()->Deliver(s);
    s->Release();
    return hr;
  }
  CSinkInputPin* Sink() { return sink_->Pin(); }

  Ref<IGraphBuilder> graph_;
  CPushSourceFilter* push_ = nullptr;
  CSinkFilter* sink_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  Recorder rec_;
  BYTE block_[sizeof(VIDEOINFOHEADER)];
};

}  // namespace

TEST_F(BridgeTest, RangeDropsBeforeRebasesAndEndsAfter) {
  Run();
  Sink()->SetTimeRange(10, 20);
  struct Case {
    int64_t start;
    bool delivered;
    int64_t deliveredStart;
  };
  const Case cases[] = {
      {99900000, false, 0},                // 9.99 s
      {10 * kSecond, true, 0},             // 10 s: the range starts, rebased to 0
      {20 * kSecond, true, 10 * kSecond},  // exactly 20 s still belongs to it
  };
  for (const Case& c : cases) {
    rec_.Clear();
    EXPECT_EQ(S_OK, Push(c.start, c.start + 400000));
    const std::vector<Item> items = rec_.Items();
    ASSERT_EQ(c.delivered ? 1u : 0u, items.size()) << c.start;
    if (c.delivered) {
      EXPECT_EQ(S_OK, items[0].timed);
      EXPECT_EQ(c.deliveredStart, items[0].start);
      EXPECT_EQ(c.deliveredStart + 400000, items[0].stop);
    }
  }
  rec_.Clear();
  EXPECT_EQ(S_OK, Push(20 * kSecond + 1));  // past the end: the stream ends
  EXPECT_EQ(S_OK, Push(21 * kSecond));
  Sink()->EndOfStream();  // the graph's own end later
  const std::vector<Item> items = rec_.Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(Item::kEnd, items[0].kind);
  EXPECT_EQ(1, Sink()->EndOfStreamSeen());
}

TEST_F(BridgeTest, RangeRebasesStartOnlySamplesAndDropsUntimedOnesBeforeItStarts) {
  Run();
  Sink()->SetTimeRange(2, 0xFFFFFF);
  EXPECT_EQ(S_OK, Push(-1));           // no time: dropped while the range has not started
  EXPECT_EQ(S_OK, Push(3 * kSecond));  // start only
  const std::vector<Item> items = rec_.Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(VFW_S_NO_STOP_TIME, items[0].timed);
  EXPECT_EQ(kSecond, items[0].start);
}

TEST_F(BridgeTest, SeekMarkThenFlushPrecedesTheNextSampleWithAnEmptyDiscontinuity) {
  Run();
  const int64_t target = 42 * kSecond;
  Sink()->MarkSeek(target, 1);
  Sink()->SetSeeking(1);
  Sink()->BeginFlush();
  Sink()->EndFlush();
  Sink()->SetSeeking(0);
  EXPECT_EQ(S_OK, Push(kSecond, 2 * kSecond, 9));
  EXPECT_EQ(S_OK, Push(2 * kSecond, 3 * kSecond, 5));
  const std::vector<Item> items = rec_.Items();
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(0, items[0].length);
  EXPECT_TRUE(items[0].discontinuity);
  EXPECT_EQ(10, items[1].length);
  EXPECT_EQ(9, items[1].firstByte);
  EXPECT_EQ(target + kSecond, items[1].start);
  EXPECT_EQ(target + 2 * kSecond, items[1].stop);
  EXPECT_EQ(target + 2 * kSecond, items[2].start);  // the offset stays; no second marker
  EXPECT_FALSE(items[2].discontinuity);
}

TEST_F(BridgeTest, SamplesDuringASeekAndEndsOfStreamWhileSeekingAreNotPassedOn) {
  Run();
  Sink()->SetSeeking(1);
  EXPECT_EQ(S_OK, Push(kSecond));  // dropped, answered as taken
  Sink()->EndOfStream();
  EXPECT_TRUE(rec_.Items().empty());
  EXPECT_EQ(1, Sink()->EndOfStreamSeen());
  Sink()->SetSeeking(0);
  Sink()->EndOfStream();
  Sink()->EndOfStream();
  EXPECT_EQ(1u, rec_.Count(Item::kEnd));
}

TEST_F(BridgeTest, StopRequestEndsTheStreamAndDropsEverySample) {
  Run();
  EXPECT_EQ(S_OK, Push(0));
  Sink()->SetStopRequested(1);
  EXPECT_EQ(S_OK, Push(kSecond));
  EXPECT_EQ(S_OK, Push(2 * kSecond));
  const std::vector<Item> items = rec_.Items();
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(Item::kSample, items[0].kind);
  EXPECT_EQ(Item::kEnd, items[1].kind);
}

TEST_F(BridgeTest, StoppedSinkRefusesAndPausedSinkHoldsUntilRun) {
  // Stopped: E_FAIL back to the pushing filter.
  EXPECT_EQ(E_FAIL, Push(0));
  ASSERT_EQ(S_OK, QueryRef<IMediaControl>(graph_.Get(), IID_IMediaControl)->Pause());
  // Paused while the host seeks: dropped at once.
  Sink()->SetSeeking(1);
  EXPECT_EQ(S_OK, Push(0));
  Sink()->SetSeeking(0);
  EXPECT_TRUE(rec_.Items().empty());
  // Paused: the pushing thread waits until the run.
  std::thread pusher([&] { EXPECT_EQ(S_OK, Push(kSecond)); });
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(rec_.Items().empty());
  Run();
  EXPECT_TRUE(rec_.WaitFor(1));
  pusher.join();
  ASSERT_EQ(1u, rec_.Items().size());
  EXPECT_EQ(kSecond, rec_.Items()[0].start);
}

TEST_F(BridgeTest, NewSegmentReachesTheEngineAsARecord) {
  Run();
  EXPECT_EQ(S_OK, push_->Pin()->DeliverNewSegment(kSecond, 5 * kSecond, 1.5));
  const std::vector<Item> items = rec_.Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(Item::kSegment, items[0].kind);
  EXPECT_EQ(kSecond, items[0].start);
  EXPECT_EQ(5 * kSecond, items[0].stop);
  EXPECT_DOUBLE_EQ(1.5, items[0].rate);
}

TEST_F(BridgeTest, FixedSizePicturesGetTheirLengthOnlyWhenTheTypeSaysSo) {
  struct Case {
    bool fixed;
    ULONG sampleSize;
    GUID subtype;
    LONG delivered;
  };
  const Case cases[] = {
      {true, 1000, MEDIASUBTYPE_YV12, 1000},
      {true, 1, MEDIASUBTYPE_YV12, 10},
      {true, 0, MEDIASUBTYPE_YV12, 10},
      {false, 1000, MEDIASUBTYPE_YV12, 10},
      {true, 1000, FourccGuid(MakeFourcc('W', 'M', 'V', '2')), 10},
      {true, 1000, MEDIASUBTYPE_RGB24, 1000},
  };
  for (const Case& c : cases) {
    Connect(c.fixed, c.sampleSize, c.subtype);
    Run();
    rec_.Clear();
    EXPECT_EQ(S_OK, Push(0));
    ASSERT_EQ(1u, rec_.Items().size());
    EXPECT_EQ(c.delivered, rec_.Items()[0].length) << c.sampleSize;
  }
}

TEST_F(BridgeTest, SinkHandsOutItsForwardingAllocator) {
  IMemAllocator* a = nullptr;
  ASSERT_EQ(S_OK, Sink()->GetAllocator(&a));
  IMediaSample* s = nullptr;
  EXPECT_EQ(E_FAIL, a->GetBuffer(&s, nullptr, nullptr, 0));  // no downstream buffers yet
  Sink()->SetInnerAllocator(allocator_);
  ASSERT_EQ(S_OK, a->GetBuffer(&s, nullptr, nullptr, 0));
  EXPECT_EQ(4096, s->GetSize());
  s->Release();
  ALLOCATOR_PROPERTIES props{};
  EXPECT_EQ(S_OK, Sink()->GetAllocatorRequirements(&props));
  EXPECT_EQ(4, props.cBuffers);
  a->Release();
  // The push pin agreed on it when it connected.
  EXPECT_EQ(push_->Pin()->Allocator(), static_cast<CBaseInputPin*>(Sink())->Allocator());
  EXPECT_EQ(S_FALSE, CSinkInputPin(sink_, sink_->Lock()).BreakConnect());  // a pin never connected
}

TEST_F(BridgeTest, PushPinBuffersTypesAndRefusals) {
  CPushSourcePin* pin = push_->Pin();
  // Requests of nothing or of tiny buffers become one whole picture.
  IMemAllocator* a = nullptr;
  CreateMemoryAllocator(&a);
  ALLOCATOR_PROPERTIES request{3, 64, 1, 0};
  EXPECT_EQ(S_OK, pin->DecideBufferSize(a, &request));
  ALLOCATOR_PROPERTIES props{};
  a->GetProperties(&props);
  EXPECT_EQ(1, props.cBuffers);
  EXPECT_EQ(8294400, props.cbBuffer);
  EXPECT_EQ(32, props.cbAlign);
  a->Release();

  AM_MEDIA_TYPE mt{};
  EXPECT_EQ(S_OK, pin->GetMediaType(0, &mt));
  EXPECT_EQ(MEDIASUBTYPE_YV12, mt.subtype);
  DsFreeMediaType(&mt);
  EXPECT_EQ(VFW_S_NO_MORE_ITEMS, pin->GetMediaType(1, &mt));
  EXPECT_EQ(E_INVALIDARG, pin->GetMediaType(-1, &mt));
  EXPECT_EQ(E_POINTER, pin->Deliver(nullptr));
  void* seeking = nullptr;
  EXPECT_EQ(E_NOINTERFACE, pin->QueryInterface(IID_IMediaSeeking, &seeking));
  // The sink's seeking reaches the push source, which cannot seek.
  Ref<IMediaSeeking> sinkSeeking = QueryRef<IMediaSeeking>(static_cast<IBaseFilter*>(sink_), IID_IMediaSeeking);
  ASSERT_TRUE(sinkSeeking);
  LONGLONG d = 0;
  EXPECT_EQ(E_NOTIMPL, sinkSeeking->GetDuration(&d));

  // Nothing connected: pushes go nowhere and answer 0.
  HRESULT hr = E_FAIL;
  CPushSourceFilter* lone = CreatePushSourceFilter(nullptr, &hr);
  IMediaSample* s = MakeSample(allocator_, 4, 1, 0);
  EXPECT_EQ(S_OK, lone->Pin()->Deliver(s));
  EXPECT_EQ(S_OK, lone->Pin()->DeliverEndOfStream());
  EXPECT_EQ(VFW_S_NO_MORE_ITEMS, lone->Pin()->GetMediaType(0, &mt));
  EXPECT_EQ(S_OK, lone->Stop());
  s->Release();
  lone->Release();
}

TEST(NullAudioRenderer, TakesPcmOnly) {
  HRESULT hr = E_FAIL;
  CNullAudioRenderer* r = CreateNullAudioRenderer(nullptr, &hr);
  ASSERT_EQ(S_OK, hr);
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  EXPECT_EQ(S_OK, r->CheckMediaType(&mt));
  mt.subtype = MEDIASUBTYPE_IEEE_FLOAT;
  EXPECT_EQ(E_FAIL, r->CheckMediaType(&mt));
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_PCM;
  EXPECT_EQ(E_FAIL, r->CheckMediaType(&mt));
  EXPECT_EQ(AM_FILTER_MISC_FLAGS_IS_RENDERER, r->GetMiscFlags());
  r->Release();
}
