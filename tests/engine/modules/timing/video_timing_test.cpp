// Frame-rate modules and the media range as sequence tables: frames in with
// their times, frames out with their times, drop and duplicate counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/log_ring.h"
#include "engine/modules/timing/media_range.h"
#include "engine/modules/timing/video_reframe.h"
#include "tests/engine/modules/timing/timing_harness.h"

namespace {

constexpr REFERENCE_TIME kPal = 400000;   // 25 frames per second
constexpr REFERENCE_TIME kNtsc = 333666;  // 29.97
constexpr REFERENCE_TIME kFilm = 417083;  // 23.976
constexpr LONG kFrameBytes = 16 * 16 * 3 / 2;

class VideoTiming : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }
};

std::vector<uint8_t> Frame(uint8_t fill) { return std::vector<uint8_t>(kFrameBytes, fill); }

// A reframe module set up for I420 input of the given frame duration.
IMediaModule* NewReframe(REFERENCE_TIME inputDuration, const std::string& params) {
  IMediaModule* m = CVideoReframe::Create(nullptr);
  TypeHolder in;
  MakeVideoType(in.Get(), MEDIASUBTYPE_I420, inputDuration);
  EXPECT_EQ(S_OK, m->SetInputType(0, in.Get(), 0));
  CParamList p;
  p.ParseText(params.c_str());
  EXPECT_EQ(S_OK, m->SetParams(&p));
  return m;
}

TEST_F(VideoTiming, ReframeSequences) {
  struct Case {
    const char* label;
    REFERENCE_TIME inputDuration;
    const char* params;
    std::vector<REFERENCE_TIME> in;  // kNoTime: a frame without times
    std::vector<REFERENCE_TIME> out;
    std::vector<int> sources;  // which input frame each output copies
    int drops, duplicates;
  };
  const Case cases[] = {
      {"four frames stamped 0 at 25/s",
       kPal,
       "\"FRAMENUM\"=1,\"FRAMEDEN\"=25",
       {0, 0, 0, 0},
       {0, 400000},
       {0, 1},
       2,
       0},
      {"a gap of three frame durations",
       kPal,
       "\"FRAMENUM\"=1,\"FRAMEDEN\"=25",
       {0, 400000, 1600000},
       {0, 400000, 800000, 1200000, 1600000},
       {0, 1, 2, 2, 2},
       0,
       2},
      {"25 to 50 repeats every frame",
       kPal,
       "\"FRAMENUM\"=1,\"FRAMEDEN\"=50",
       {0, 400000, 800000},
       {0, 200000, 400000, 600000, 800000},
       {0, 1, 1, 2, 2},
       0,
       2},
      {"50 to 25 keeps two frames of four",
       200000,
       "\"FRAMENUM\"=1,\"FRAMEDEN\"=25",
       {0, 200000, 400000, 600000, 800000, 1000000},
       {0, 400000, 800000, 1200000},
       {0, 1, 4, 5},
       2,
       0},
      {"29.97 to 23.976: two of ten dropped once the lag builds up",
       kNtsc,
       "\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000",
       {0, 333666, 667332, 1000998, 1334664, 1668330, 2001996, 2335662, 2669328, 3002994, 3336660, 3670326},
       {0, 417083, 834166, 1251250, 1668333, 2085416, 2502500, 2919583, 3336666, 3753750},
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 11},
       2,
       0},
      {"frames without times take the next slots",
       kPal,
       "\"FRAMENUM\"=1,\"FRAMEDEN\"=25",
       {kNoTime, kNoTime, 5000000},
       {0, 400000, 800000, 1200000, 1600000, 2000000, 2400000, 2800000, 3200000, 3600000, 4000000, 4400000, 4800000},
       {0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
       0,
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ModuleHarness h(NewReframe(c.inputDuration, c.params));
    ASSERT_EQ(S_OK, h->Run());
    for (size_t i = 0; i < c.in.size(); ++i) EXPECT_EQ(S_OK, h.Feed(Frame(uint8_t(i)), c.in[i]));
    h.End();
    EXPECT_EQ(c.out, h.Starts());
    std::vector<int> sources;
    for (const Delivered& d : h.samples) {
      sources.push_back(d.data.empty() ? -1 : d.data[0]);
      EXPECT_EQ(d.stop, d.start + 10000);
    }
    EXPECT_EQ(c.sources, sources);
    auto* reframe = static_cast<CVideoReframe*>(h.Module());
    EXPECT_EQ(c.drops, reframe->Drops());
    EXPECT_EQ(c.duplicates, reframe->Duplicates());
    EXPECT_EQ(1, h.ends);
  }
}

TEST_F(VideoTiming, ReframeFactorsFollowTheRates) {
  struct Case {
    REFERENCE_TIME inputDuration;
    const char* params;
    double early, late;
  };
  const Case cases[] = {
      {kNtsc, "\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000", 1.8, 1.0},  // the pulldown rates
      {kPal, "\"FRAMENUM\"=1,\"FRAMEDEN\"=25", 1.8, 1.0},         // the same rate
      {kPal, "\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000", 1.0, 0.5},  {kPal, "\"FRAMENUM\"=1,\"FRAMEDEN\"=50", 1.0, 0.5},
      {0, "\"FRAMENUM\"=1,\"FRAMEDEN\"=25", 1.0, 0.5},  // no input rate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    ModuleHarness h(NewReframe(c.inputDuration, c.params));
    auto* reframe = static_cast<CVideoReframe*>(h.Module());
    EXPECT_EQ(c.early, reframe->EarlyFactor());
    EXPECT_EQ(c.late, reframe->LateFactor());
  }
}

TEST_F(VideoTiming, ReframeCopiesFlagsAndLogsItsCountsOnClose) {
  CLogRing ring;
  ASSERT_TRUE(ring.Open(CLogRing::kName));
  std::vector<LogEntry> old;
  ring.TakeEntries(old);
  {
    ModuleHarness h(NewReframe(kPal, "\"FRAMENUM\"=1,\"FRAMEDEN\"=25"));
    IMediaSample* s = MakeSample(Frame(7), 0);
    s->SetSyncPoint(1);
    s->SetPreroll(1);
    EXPECT_EQ(S_OK, h->Receive(0, s));
    for (int i = 0; i < 3; ++i) h.Feed(Frame(1), 0);
    ASSERT_EQ(2u, h.samples.size());
    EXPECT_TRUE(h.samples[0].sync);
    EXPECT_TRUE(h.samples[0].preroll);
    EXPECT_FALSE(h.samples[1].sync);
    EXPECT_EQ(Frame(7), h.samples[0].data);
    h->Close();  // the harness closes again: one line all the same
  }
  std::vector<LogEntry> lines;
  ring.TakeEntries(lines);
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("Drop 2 frames,duplicate 0 frames\n", lines[0].text);
}

TEST_F(VideoTiming, FrameRateTypes) {
  TypeHolder i420, yv12_2, mpeg4, audio, mpeg2;
  MakeVideoType(i420.Get(), MEDIASUBTYPE_I420, kPal);
  MakeVideoType(yv12_2.Get(), MEDIASUBTYPE_YV12, kPal, 16, 16, FORMAT_VideoInfo2);
  MakeVideoType(mpeg4.Get(), FourccGuid(MakeFourcc('M', 'P', '4', 'V')), kPal);
  MakeVideoType(mpeg2.Get(), MEDIASUBTYPE_MPEG2_VIDEO, kPal, 16, 16, FORMAT_MPEG2Video);
  MakePcmType(audio.Get(), 48000, 2, 16);

  ModuleHarness reframe(CVideoReframe::Create(nullptr));
  ModuleHarness change(CVideoChangeFrame::Create(nullptr));
  for (IMediaModule* m : {reframe.Module(), change.Module()}) {
    EXPECT_EQ(MODULE_E_NO_TYPE, m->SetInputType(0, audio.Get(), 0));
    EXPECT_EQ(MODULE_E_NO_TYPE, m->SetInputType(0, audio.Get(), 1));
    EXPECT_EQ(E_FAIL, m->SetInputType(1, i420.Get(), 0));
    EXPECT_EQ(E_FAIL, m->SetOutputType(0, audio.Get(), 0));
    EXPECT_EQ(S_OK, m->SetOutputType(0, audio.Get(), 1));
    TypeHolder none;
    EXPECT_EQ(E_FAIL, m->GetOutputType(0, 0, none.Get()));  // no input type yet
    EXPECT_EQ(E_NOTIMPL, m->AddInputPin(i420.Get(), 0));
  }
  // Reframe takes raw pictures only; the restamper any video.
  EXPECT_EQ(MODULE_E_NO_TYPE, reframe->SetInputType(0, mpeg4.Get(), 0));
  EXPECT_EQ(E_FAIL, reframe->SetOutputType(0, mpeg4.Get(), 0));
  EXPECT_EQ(S_OK, change->SetInputType(0, mpeg4.Get(), 0));
  EXPECT_EQ(S_OK, change->SetOutputType(0, mpeg4.Get(), 0));

  // The output type carries the new frame duration.
  struct Case {
    IMediaModule* module;
    AM_MEDIA_TYPE* in;
    const char* params;
    REFERENCE_TIME duration;
  };
  const Case cases[] = {
      {reframe.Module(), i420.Get(), "\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000", kFilm},
      {reframe.Module(), yv12_2.Get(), "\"FRAMENUM\"=1,\"FRAMEDEN\"=50", 200000},
      {change.Module(), mpeg2.Get(), "\"FRAMENUM\"=1,\"FRAMEDEN\"=24", 416666},
      {change.Module(), i420.Get(), "", 416666},  // defaults 1/24
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    ASSERT_EQ(S_OK, c.module->SetInputType(0, c.in, 0));
    CParamList p;
    p.ParseText(c.params);
    ASSERT_EQ(S_OK, c.module->SetParams(&p));
    TypeHolder out;
    ASSERT_EQ(S_OK, c.module->GetOutputType(0, 0, out.Get()));
    EXPECT_EQ(c.in->subtype, out->subtype);
    EXPECT_EQ(c.in->formattype, out->formattype);
    EXPECT_EQ(c.duration, AvgTimePerFrameOf(out.Get()));
    EXPECT_EQ(MODULE_E_NO_TYPE, c.module->GetOutputType(0, 1, out.Get()));
    ALLOCATOR_PROPERTIES props{};
    ASSERT_EQ(S_OK, c.module->GetAllocatorRequirements(0, &props));
    EXPECT_EQ(2, props.cBuffers);
    EXPECT_EQ(32, props.cbAlign);
  }
  // A rate with a zero part is refused and the last one stays.
  CParamList zero;
  zero.ParseText("\"FRAMENUM\"=1,\"FRAMEDEN\"=0");
  EXPECT_EQ(E_INVALIDARG, change->SetParams(&zero));
  EXPECT_EQ(1, static_cast<CVideoChangeFrame*>(change.Module())->FrameNum());
  EXPECT_EQ(24, static_cast<CVideoChangeFrame*>(change.Module())->FrameDen());
}

TEST_F(VideoTiming, ChangeFrameRestampsEveryFrame) {
  ModuleHarness h(CVideoChangeFrame::Create(nullptr));
  TypeHolder in;
  MakeVideoType(in.Get(), FourccGuid(MakeFourcc('M', 'P', '4', 'V')), kPal);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  ASSERT_EQ(S_OK, h.SetParams("\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000"));
  // Whatever the input times, none dropped or repeated; the marker is passed
  // as a new empty buffer and takes no slot.
  h.Feed(Frame(0), 0);
  h.Feed(Frame(1), 0);
  h.Feed(Frame(2));
  h->Receive(0, MakeMarker());
  h.Feed(Frame(3), 99000000);
  h.End();
  ASSERT_EQ(5u, h.samples.size());
  EXPECT_EQ((std::vector<REFERENCE_TIME>{0, 417083, 834166, kNoTime, 1251250}), h.Starts());
  EXPECT_TRUE(h.samples[3].discontinuity);
  EXPECT_TRUE(h.samples[3].data.empty());
  EXPECT_EQ(Frame(3), h.samples[4].data);
  EXPECT_EQ(1, h.ends);
}

TEST_F(VideoTiming, FrameRateModuleWithoutARateKeepsTheTimes) {
  // Never given parameters: frames pass with their own times.
  ModuleHarness h(CVideoChangeFrame::Create(nullptr));
  TypeHolder in;
  MakeVideoType(in.Get(), MEDIASUBTYPE_I420, kPal);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  h.Feed(Frame(0), 1234, 5678);
  ASSERT_EQ(1u, h.samples.size());
  EXPECT_EQ(1234, h.samples[0].start);
  EXPECT_EQ(5678, h.samples[0].stop);
}

TEST_F(VideoTiming, FrameLargerThanTheOutputBufferIsNotWrittenPastIt) {
  ModuleHarness h(NewReframe(kPal, ""), 2, kFrameBytes / 2);
  EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, h.Feed(Frame(1), 0));
  EXPECT_TRUE(h.samples.empty());
}

TEST_F(VideoTiming, MediaRangeSequences) {
  struct Case {
    const char* label;
    const char* params;
    std::vector<REFERENCE_TIME> in;
    std::vector<REFERENCE_TIME> out;
  };
  constexpr REFERENCE_TIME s = 10000000;
  const Case cases[] = {
      {"from 10 s", "\"STARTTM\"=10", {9 * s, 10 * s, 12 * s}, {0, 2 * s}},
      {"2 s to 5 s",
       "\"STARTTM\"=2,\"STOPTM\"=5",
       {0, 2 * s - 1, 2 * s, 4 * s, 5 * s - 1, 5 * s, 6 * s},
       {0, 2 * s, 3 * s - 1}},
      {"no range", "", {0, 7 * s}, {0, 7 * s}},
      {"frames without times are dropped", "\"STARTTM\"=1", {kNoTime, 3 * s}, {2 * s}},
      {"an end past 430 s", "\"STARTTM\"=1,\"STOPTM\"=600", {500 * s, 599 * s, 600 * s}, {499 * s, 598 * s}},
      {"negative seconds count as 0", "\"STARTTM\"=-5", {0, s}, {0, s}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ModuleHarness h(CMediaRange::Create(nullptr));
    ASSERT_EQ(S_OK, h.SetParams(c.params));
    TypeHolder in;
    MakePcmType(in.Get(), 48000, 2, 16);
    ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
    for (REFERENCE_TIME t : c.in) h.Feed({1, 2, 3, 4}, t, t == kNoTime ? kNoTime : t + 1000);
    h.End();
    EXPECT_EQ(c.out, h.Starts());
    for (const Delivered& d : h.samples) EXPECT_EQ(d.start + 1000, d.stop);
    EXPECT_EQ(1, h.ends);
  }
}

TEST_F(VideoTiming, MediaRangeWorksInPlace) {
  ModuleHarness h(CMediaRange::Create(nullptr), 3, 5000);
  ASSERT_EQ(S_OK, h.SetParams("\"STARTTM\"=1"));
  TypeHolder in;
  MakeVideoType(in.Get(), MEDIASUBTYPE_YV12, kPal);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(S_OK, h->GetAllocatorRequirements(0, &props));
  EXPECT_EQ(3, props.cBuffers);
  EXPECT_EQ(5024, props.cbBuffer);  // rounded to the alignment
  IMemAllocator* input = nullptr;
  ASSERT_EQ(S_OK, h->GetInputAllocator(0, &input));
  IMediaSample* s = nullptr;
  ASSERT_EQ(S_OK, input->GetBuffer(&s, nullptr, nullptr, 0));
  EXPECT_EQ(5024, s->GetSize());
  s->SetActualDataLength(3);
  REFERENCE_TIME start = 15000000, stop = 15400000;
  s->SetTime(&start, &stop);
  EXPECT_EQ(S_OK, h->Receive(0, s));
  // The seek marker passes as it is.
  h->Receive(0, MakeMarker());
  ASSERT_EQ(2u, h.samples.size());
  EXPECT_EQ(5000000, h.samples[0].start);
  EXPECT_EQ(5400000, h.samples[0].stop);
  EXPECT_EQ(5024, h.samples[0].bufferSize);
  EXPECT_TRUE(h.samples[1].discontinuity);
  input->Release();
}

TEST_F(VideoTiming, MediaRangeTypes) {
  TypeHolder i420, nv12, pcm;
  MakeVideoType(i420.Get(), MEDIASUBTYPE_I420, kPal);
  MakeVideoType(nv12.Get(), MEDIASUBTYPE_NV12, kPal);
  MakePcmType(pcm.Get(), 44100, 2, 16);
  ModuleHarness any(CMediaRange::Create(nullptr));
  EXPECT_EQ(S_OK, any->SetInputType(0, pcm.Get(), 0));
  EXPECT_EQ(S_OK, any->SetInputType(0, nv12.Get(), 0));
  EXPECT_EQ(E_FAIL, any->SetInputType(1, pcm.Get(), 0));
  ModuleHarness raw(CMediaRange::Create(nullptr));
  ASSERT_EQ(S_OK, raw.SetParams("\"RAWVIDEO\"=1"));
  EXPECT_EQ(E_FAIL, raw->SetInputType(0, pcm.Get(), 0));
  EXPECT_EQ(E_FAIL, raw->SetInputType(0, nv12.Get(), 0));
  EXPECT_EQ(S_OK, raw->SetInputType(0, i420.Get(), 0));
  TypeHolder out;
  ASSERT_EQ(S_OK, raw->GetOutputType(0, 0, out.Get()));
  EXPECT_EQ(MEDIASUBTYPE_I420, out->subtype);
}

}  // namespace
