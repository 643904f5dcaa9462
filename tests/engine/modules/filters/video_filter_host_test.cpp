#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/colour_convert_filter.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/modules/filters/video_media_type.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

// A filter that records what the host does and answers as told.
struct FakeFilter final : IVideoFilter {
  static inline int32_t paramsAnswer = 0;
  static inline int32_t processAnswer = 0;
  static inline int64_t newStart = -1;  // when >= 0, Process moves the start time here
  static inline int discontinuities = 0;
  static inline int processed = 0;
  static IVideoFilter* Create(CParamList*) { return new FakeFilter(); }

  FrameFormat format{};
  int32_t SetFormat(const FrameFormat* f) override {
    format = *f;
    return 0;
  }
  int32_t GetOutputFormat(FrameFormat* f) override {
    *f = format;
    return 0;
  }
  int32_t Start() override { return 0; }
  int32_t Process(int64_t* start, FramePlanes* in, FramePlanes* out) override {
    ++processed;
    if (newStart >= 0) *start = newStart;
    if (out->pointer[0] != nullptr)
      for (int i = 0; i < in->planeCount; ++i)
        std::memcpy(out->pointer[i], in->pointer[i], size_t(in->pitch[i]) * size_t(in->rows[i]));
    return processAnswer;
  }
  int32_t SetParams(CParamList*) override { return paramsAnswer; }
  int32_t Destroy() override {
    delete this;
    return 0;
  }
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override {
    ++discontinuities;
    return 0;
  }
};

void ResetFake() {
  FakeFilter::paramsAnswer = 0;
  FakeFilter::processAnswer = 0;
  FakeFilter::newStart = -1;
  FakeFilter::discontinuities = 0;
  FakeFilter::processed = 0;
}

struct Received {
  std::vector<IMediaSample*> samples;
  ~Received() {
    for (IMediaSample* s : samples)
      if (s) s->Release();
  }
  static HRESULT Collect(IMediaSample* sample, void* context) {
    static_cast<Received*>(context)->samples.push_back(sample);
    return 0;
  }
};

// A media type owned by the test.
struct Type {
  AM_MEDIA_TYPE mt;
  Type() { InitMediaType(&mt); }
  ~Type() { ClearMediaTypeFormat(&mt); }
};

void MakeType(int32_t colourType, int32_t variant, int w, int h, Type* t) {
  FrameFormat f{w, h, colourType, {0, 0}, 1, 25};
  ASSERT_EQ(BuildVideoMediaType(&f, variant, &t->mt), 0);
}

IMediaModule* MakeHost(VideoFilterFactory factory, bool colour = false) {
  CParamList params;
  params.SetPtr("FNVF", reinterpret_cast<void*>(factory));
  return colour ? CreateColorConvertHost(&params) : CreateVideoFilterHost(&params);
}

IMemAllocator* MakeAllocator(LONG size, LONG count = 2) {
  IMemAllocator* a = nullptr;
  EXPECT_EQ(CreateMemoryAllocator(&a), S_OK);
  ALLOCATOR_PROPERTIES req{count, size, 32, 0}, actual{};
  EXPECT_EQ(a->SetProperties(&req, &actual), S_OK);
  EXPECT_EQ(a->Commit(), S_OK);
  return a;
}

IMediaSample* MakeSample(std::vector<uint8_t>* buffer) {
  auto* s = new CMediaSample(nullptr, buffer->data(), LONG(buffer->size()));
  s->AddRef();
  return s;
}

}  // namespace

TEST(VideoMediaType, ParseAndBuildAgreeForEveryVariant) {
  for (int32_t ct = kColourYuv420; ct <= kColourRgb8; ++ct) {
    for (int32_t v = 0;; ++v) {
      FrameFormat f{33, 17, ct, {0, 0}, 1001, 30000};
      Type t;
      const int32_t hr = BuildVideoMediaType(&f, v, &t.mt);
      if (hr == MODULE_E_NO_TYPE) break;
      ASSERT_EQ(hr, 0);
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(t.mt.pbFormat);
      EXPECT_EQ(t.mt.cbFormat, 88u);
      EXPECT_EQ(t.mt.lSampleSize, ULONG(FrameSampleSize(ct, 33, 17)));
      EXPECT_EQ(vih->bmiHeader.biSizeImage, t.mt.lSampleSize);
      EXPECT_EQ(vih->AvgTimePerFrame, 333666);
      FrameFormat back;
      FramePlanes planes;
      ASSERT_TRUE(ParseVideoMediaType(&t.mt, &back, &planes));
      EXPECT_EQ(back.colourType, ct);
      EXPECT_EQ(back.width, 33);
      EXPECT_EQ(back.height, 17);
      EXPECT_EQ(back.durationNum, 1001u);
      EXPECT_EQ(back.durationDen, 30000u);
      EXPECT_EQ(FramePlanesSize(planes), int32_t(t.mt.lSampleSize));
      if (ct == kColourYuv420) {
        EXPECT_EQ(planes.offset[1] > planes.offset[2], v == 0) << "YV12 has V first";
      }
    }
  }
  FrameFormat f{16, 16, 9, {0, 0}, 1, 25};
  Type t;
  EXPECT_EQ(BuildVideoMediaType(&f, 0, &t.mt), E_INVALIDARG);
  f.colourType = kColourRgb24;
  EXPECT_EQ(BuildVideoMediaType(&f, 1, &t.mt), MODULE_E_NO_TYPE);
}

TEST(VideoMediaType, RefusesShortBlocksUnknownTypesAndBadSizes) {
  Type t;
  MakeType(kColourYuv420, 1, 64, 48, &t);
  FrameFormat f;
  FramePlanes p;
  t.mt.cbFormat = 80;  // shorter than the header it claims
  EXPECT_FALSE(ParseVideoMediaType(&t.mt, &f, &p));
  t.mt.cbFormat = 88;
  t.mt.subtype = MEDIASUBTYPE_NV12;
  EXPECT_FALSE(ParseVideoMediaType(&t.mt, &f, &p));
  t.mt.subtype = MEDIASUBTYPE_I420;
  reinterpret_cast<VIDEOINFOHEADER*>(t.mt.pbFormat)->bmiHeader.biHeight = -48;
  EXPECT_FALSE(ParseVideoMediaType(&t.mt, &f, &p));
  reinterpret_cast<VIDEOINFOHEADER*>(t.mt.pbFormat)->bmiHeader.biHeight = 48;
  EXPECT_TRUE(ParseVideoMediaType(&t.mt, &f, &p));
  // VideoInfo2 keeps its bitmap header 72 bytes in.
  Type t2;
  t2.mt = t.mt;
  t2.mt.pbFormat = nullptr;
  t2.mt.cbFormat = 0;
  ASSERT_TRUE(AllocMediaTypeFormat(&t2.mt, sizeof(VIDEOINFOHEADER2)));
  std::memset(t2.mt.pbFormat, 0, sizeof(VIDEOINFOHEADER2));
  t2.mt.formattype = FORMAT_VideoInfo2;
  auto* v2 = reinterpret_cast<VIDEOINFOHEADER2*>(t2.mt.pbFormat);
  v2->bmiHeader.biWidth = 35;
  v2->bmiHeader.biHeight = 21;
  v2->AvgTimePerFrame = 400000;
  ASSERT_TRUE(ParseVideoMediaType(&t2.mt, &f, &p));
  EXPECT_EQ(f.width, 35);
  EXPECT_EQ(f.durationNum, 1u);
  EXPECT_EQ(f.durationDen, 25u);
  EXPECT_EQ(FramePlanesSize(p), 35 * 21 + 2 * 18 * 11);
}

TEST(VideoFilterHost, WithoutAFilterRunAndOutputTypesFail) {
  CParamList params;
  IMediaModule* host = CreateVideoFilterHost(&params);
  ASSERT_NE(host, nullptr);
  Type t;
  MakeType(kColourYuv420, 1, 16, 16, &t);
  EXPECT_EQ(host->Run(), E_FAIL);
  EXPECT_EQ(host->SetOutputType(0, &t.mt, 0), E_FAIL);
  EXPECT_EQ(host->GetOutputType(0, 0, &t.mt), E_FAIL);
  EXPECT_EQ(host->AddInputPin(&t.mt, 0), E_NOTIMPL);
  EXPECT_EQ(host->GetInputType(0, 0, &t.mt), E_FAIL);
  EXPECT_EQ(host->GetInputType(0, 1, &t.mt), MODULE_E_NO_TYPE);
  EXPECT_EQ(host->Close(), 0);
  host->Release();
}

TEST(VideoFilterHost, YV12ThroughAnInPlaceFilterArrivesInI420Order) {
  ResetFake();
  FakeFilter::paramsAnswer = 1;
  IMediaModule* host = MakeHost(&FakeFilter::Create);
  const int w = 6, h = 4;
  Type yv12, i420;
  MakeType(kColourYuv420, 0, w, h, &yv12);
  MakeType(kColourYuv420, 1, w, h, &i420);
  ASSERT_EQ(host->SetInputType(0, &yv12.mt, 0), 0);
  ASSERT_EQ(host->SetOutputType(0, &i420.mt, 0), 0);
  CParamList params;
  ASSERT_EQ(host->SetParams(&params), 0);
  // Asked before the output allocator is known: a forwarding allocator that
  // has nothing to hand out yet.
  IMemAllocator* in = nullptr;
  ASSERT_EQ(host->GetInputAllocator(0, &in), 0);
  IMediaSample* early = nullptr;
  EXPECT_EQ(in->GetBuffer(&early, nullptr, nullptr, 0), E_FAIL);
  IMemAllocator* again = nullptr;
  ASSERT_EQ(host->GetInputAllocator(0, &again), 0);
  EXPECT_EQ(again, in) << "one forwarding allocator per pin";
  again->Release();
  IMemAllocator* out = MakeAllocator(w * h * 3 / 2, 1);
  ASSERT_EQ(host->SetOutputAllocator(0, out), 0);
  EXPECT_NE(in, out) << "the downstream allocator is not handed out itself";
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(host->GetAllocatorRequirements(0, &props), 0);
  EXPECT_GE(props.cbBuffer, w * h * 3 / 2) << "the output allocator's own properties";
  Received got;
  host->SetOutputCallback(0, &Received::Collect, &got);
  ASSERT_EQ(host->Run(), 0);

  IMediaSample* s = nullptr;
  ASSERT_EQ(in->GetBuffer(&s, nullptr, nullptr, 0), S_OK) << "upstream writes into the downstream buffers";
  IMediaSample* second = nullptr;
  EXPECT_NE(out->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), S_OK)
      << "the one downstream buffer is the one handed upstream";
  BYTE* p = nullptr;
  s->GetPointer(&p);
  std::memset(p, 'Y', size_t(w * h));
  std::memset(p + w * h, 'V', 6);  // YV12: V first
  std::memset(p + w * h + 6, 'U', 6);
  REFERENCE_TIME st = 4000000, en = 4400000;
  s->SetTime(&st, &en);
  EXPECT_EQ(host->Receive(0, s), 0);
  ASSERT_EQ(got.samples.size(), 1u);
  EXPECT_EQ(got.samples[0], s) << "the same sample is delivered";
  EXPECT_EQ(p[w * h], 'U');
  EXPECT_EQ(p[w * h + 6], 'V');
  REFERENCE_TIME a = 0, b = 0;
  EXPECT_EQ(s->GetTime(&a, &b), S_OK);
  EXPECT_EQ(a, 4000000);
  EXPECT_EQ(b, 4400000);
  // A later SetParams answered 0 does not end in-place mode.
  FakeFilter::paramsAnswer = 0;
  EXPECT_EQ(host->SetParams(&params), 0);
  EXPECT_TRUE(static_cast<CVideoFilterHost*>(host)->InPlace());
  in->Release();
  host->Close();
  host->Release();
  for (IMediaSample* x : got.samples) x->Release();
  got.samples.clear();
  out->Decommit();
  out->Release();
}

TEST(VideoFilterHost, EmptyDiscontinuityPassesInBothModes) {
  for (int32_t mode : {0, 1}) {
    SCOPED_TRACE(mode ? "in place" : "copy");
    ResetFake();
    FakeFilter::paramsAnswer = mode;
    IMediaModule* host = MakeHost(&FakeFilter::Create);
    Type t;
    MakeType(kColourYuv420, 1, 8, 8, &t);
    ASSERT_EQ(host->SetInputType(0, &t.mt, 0), 0);
    ASSERT_EQ(host->SetOutputType(0, &t.mt, 0), 0);
    CParamList params;
    ASSERT_EQ(host->SetParams(&params), 0);
    IMemAllocator* out = MakeAllocator(96);
    host->SetOutputAllocator(0, out);
    Received got;
    host->SetOutputCallback(0, &Received::Collect, &got);
    host->Run();
    std::vector<uint8_t> buf(96);
    IMediaSample* s = MakeSample(&buf);
    s->SetActualDataLength(0);
    s->SetDiscontinuity(1);
    EXPECT_EQ(host->Receive(0, s), 0);
    ASSERT_EQ(got.samples.size(), 1u);
    EXPECT_EQ(got.samples[0]->GetActualDataLength(), 0);
    EXPECT_EQ(got.samples[0]->IsDiscontinuity(), S_OK);
    EXPECT_EQ(FakeFilter::discontinuities, 1);
    EXPECT_EQ(FakeFilter::processed, 0);
    EXPECT_EQ(host->Receive(0, nullptr), 0);
    ASSERT_EQ(got.samples.size(), 2u);
    EXPECT_EQ(got.samples[1], nullptr) << "end of stream passes as null";
    host->Close();
    host->Release();
    for (IMediaSample* x : got.samples)
      if (x) x->Release();
    got.samples.clear();
    out->Decommit();
    out->Release();
  }
}

TEST(VideoFilterHost, CopyModeStampsTimesAndCopiesFlags) {
  struct TimeCase {
    const char* name;
    int times;  // 0 none, 1 start only, 2 both
    int32_t answer;
    int64_t moveTo;
    HRESULT expectHr;
    REFERENCE_TIME expectStart, expectStop;
  };
  const TimeCase cases[] = {
      {"both", 2, 0, -1, S_OK, 1000, 2000},
      {"both, start moved", 2, 0, 1500, S_OK, 1500, 2000},
      {"start only", 1, 0, -1, VFW_S_NO_STOP_TIME, 1000, 0},
      {"none", 0, 0, -1, VFW_E_SAMPLE_TIME_NOT_SET, 0, 0},
      {"answer 1 stamps 10,000", 2, 1, -1, S_OK, 1000, 11000},
      {"answer 1 without times", 0, 1, -1, S_OK, 0, 10000},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    FakeFilter::processAnswer = c.answer;
    FakeFilter::newStart = c.moveTo;
    IMediaModule* host = MakeHost(&FakeFilter::Create);
    Type t;
    MakeType(kColourRgb24, 0, 5, 3, &t);
    ASSERT_EQ(host->SetInputType(0, &t.mt, 0), 0);
    ASSERT_EQ(host->SetOutputType(0, &t.mt, 0), 0);
    ALLOCATOR_PROPERTIES props{};
    ASSERT_EQ(host->GetAllocatorRequirements(0, &props), 0);
    EXPECT_EQ(props.cBuffers, 1);
    EXPECT_EQ(props.cbBuffer, 45);
    EXPECT_EQ(props.cbAlign, 32);
    IMemAllocator* out = MakeAllocator(45);
    host->SetOutputAllocator(0, out);
    Received got;
    host->SetOutputCallback(0, &Received::Collect, &got);
    host->Run();
    std::vector<uint8_t> buf(45, 7);
    IMediaSample* s = MakeSample(&buf);
    REFERENCE_TIME st = 1000, en = 2000;
    if (c.times == 2) s->SetTime(&st, &en);
    if (c.times == 1) s->SetTime(&st, nullptr);
    s->SetSyncPoint(1);
    s->SetPreroll(1);
    EXPECT_EQ(host->Receive(0, s), S_OK) << "a stamp request is no failure";
    ASSERT_EQ(got.samples.size(), 1u);
    IMediaSample* o = got.samples[0];
    EXPECT_NE(o, s);
    REFERENCE_TIME a = 0, b = 0;
    EXPECT_EQ(o->GetTime(&a, &b), c.expectHr);
    if (c.expectHr == S_OK) {
      EXPECT_EQ(a, c.expectStart);
      EXPECT_EQ(b, c.expectStop);
    } else if (c.expectHr == VFW_S_NO_STOP_TIME) {
      EXPECT_EQ(a, c.expectStart);
    }
    EXPECT_EQ(o->IsSyncPoint(), S_OK);
    EXPECT_EQ(o->IsPreroll(), S_OK);
    EXPECT_EQ(o->IsDiscontinuity(), S_FALSE);
    EXPECT_EQ(o->GetActualDataLength(), 45);
    BYTE* p = nullptr;
    o->GetPointer(&p);
    EXPECT_EQ(p[44], 7);
    host->Close();
    host->Release();
    o->Release();
    got.samples.clear();
    out->Decommit();
    out->Release();
  }
}

// The filter's own answers become result codes; a frame the filter fails on is not delivered.
TEST(VideoFilterHost, FilterAnswersBecomeResultCodes) {
  const struct {
    const char* name;
    int32_t answer;
    HRESULT params;   // SetParams with this answer
    HRESULT receive;  // Receive when Process gives this answer
    size_t delivered;
  } cases[] = {
      {"done", 0, S_OK, S_OK, 1},
      {"an error code", E_OUTOFMEMORY, E_OUTOFMEMORY, E_OUTOFMEMORY, 0},
      {"an undefined value", 7, E_FAIL, E_FAIL, 0},
  };
  for (int32_t mode : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(mode ? "in place, " : "copy, ") + c.name);
      ResetFake();
      FakeFilter::paramsAnswer = c.answer;
      IMediaModule* host = MakeHost(&FakeFilter::Create);
      Type t;
      MakeType(kColourYuv420, 1, 8, 8, &t);
      ASSERT_EQ(host->SetInputType(0, &t.mt, 0), S_OK);
      ASSERT_EQ(host->SetOutputType(0, &t.mt, 0), S_OK);
      CParamList params;
      EXPECT_EQ(host->SetParams(&params), c.params);
      FakeFilter::paramsAnswer = mode;
      ASSERT_EQ(host->SetParams(&params), S_OK);
      FakeFilter::processAnswer = c.answer;
      IMemAllocator* out = MakeAllocator(96);
      host->SetOutputAllocator(0, out);
      Received got;
      host->SetOutputCallback(0, &Received::Collect, &got);
      host->Run();
      std::vector<uint8_t> buf(96);
      EXPECT_EQ(host->Receive(0, MakeSample(&buf)), c.receive);
      EXPECT_EQ(FakeFilter::processed, 1);
      EXPECT_EQ(got.samples.size(), c.delivered);
      host->Close();
      host->Release();
      out->Decommit();
      out->Release();
    }
  }
}

TEST(VideoFilterHost, RefusedInputFormatIsNoType) {
  struct Refusing final : IVideoFilter {
    static IVideoFilter* Create(CParamList*) { return new Refusing(); }
    int32_t SetFormat(const FrameFormat*) override { return 1; }
    int32_t GetOutputFormat(FrameFormat*) override { return 0; }
    int32_t Start() override { return 0; }
    int32_t Process(int64_t*, FramePlanes*, FramePlanes*) override { return 0; }
    int32_t SetParams(CParamList*) override { return 0; }
    int32_t Destroy() override {
      delete this;
      return 0;
    }
    int32_t IsInline() override { return 1; }
    int32_t OnDiscontinuity() override { return 0; }
  };
  IMediaModule* host = MakeHost(&Refusing::Create);
  Type t;
  MakeType(kColourYuv420, 1, 8, 8, &t);
  EXPECT_EQ(host->SetInputType(0, &t.mt, 0), MODULE_E_NO_TYPE);
  Type none;
  EXPECT_EQ(host->SetInputType(0, &none.mt, 0), E_FAIL) << "not video";
  none.mt.majortype = MEDIATYPE_Video;
  EXPECT_EQ(host->SetInputType(0, &none.mt, 0), MODULE_E_NO_TYPE) << "no format block";
  host->Close();
  host->Release();
}

TEST(VideoFilterHost, TooSmallOutputBufferDropsTheFrame) {
  ResetFake();
  IMediaModule* host = MakeHost(&FakeFilter::Create);
  Type t;
  MakeType(kColourYuv420, 1, 16, 16, &t);
  ASSERT_EQ(host->SetInputType(0, &t.mt, 0), 0);
  ASSERT_EQ(host->SetOutputType(0, &t.mt, 0), 0);
  IMemAllocator* out = MakeAllocator(100);
  host->SetOutputAllocator(0, out);
  Received got;
  host->SetOutputCallback(0, &Received::Collect, &got);
  host->Run();
  std::vector<uint8_t> buf(384);
  testing::internal::CaptureStdout();
  EXPECT_EQ(host->Receive(0, MakeSample(&buf)), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR return\n");
  EXPECT_TRUE(got.samples.empty());
  EXPECT_EQ(FakeFilter::processed, 0);
  // A short input buffer is dropped the same way instead of being read past its end.
  IMemAllocator* big = MakeAllocator(384);
  host->SetOutputAllocator(0, big);
  std::vector<uint8_t> small(100);
  testing::internal::CaptureStdout();
  EXPECT_EQ(host->Receive(0, MakeSample(&small)), E_FAIL);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(got.samples.empty());
  host->Close();
  host->Release();
  out->Decommit();
  out->Release();
  big->Decommit();
  big->Release();
}

TEST(VideoFilterHost, OutputTypeMustMatchTheFilterOutput) {
  ResetFake();
  IMediaModule* host = MakeHost(&FakeFilter::Create);
  Type in, other, rgb;
  MakeType(kColourYuv420, 1, 16, 16, &in);
  MakeType(kColourYuv420, 1, 16, 8, &other);
  MakeType(kColourRgb24, 0, 16, 16, &rgb);
  ASSERT_EQ(host->SetInputType(0, &in.mt, 0), 0);
  EXPECT_EQ(host->SetOutputType(0, &other.mt, 0), MODULE_E_NO_TYPE);
  EXPECT_EQ(host->SetOutputType(0, &rgb.mt, 1), MODULE_E_NO_TYPE);
  EXPECT_EQ(host->SetOutputType(0, &in.mt, 1), 0);
  Type offered;
  EXPECT_EQ(host->GetOutputType(0, 0, &offered.mt), 0);
  EXPECT_EQ(offered.mt.subtype, MEDIASUBTYPE_YV12);
  EXPECT_EQ(host->GetOutputType(0, 3, &offered.mt), MODULE_E_NO_TYPE);
  Type audio;
  MakeType(kColourYuv420, 1, 16, 16, &audio);
  audio.mt.majortype = MEDIATYPE_Audio;
  EXPECT_EQ(host->SetInputType(0, &audio.mt, 0), E_FAIL);
  EXPECT_EQ(host->SetInputType(1, &in.mt, 0), E_FAIL);
  host->Close();
  host->Release();
}

TEST(ColourConvertHost, OffersEveryTypeButTheInputsOwn) {
  IMediaModule* host = MakeHost(&CColorConvertFilter::Create, true);
  ASSERT_NE(host, nullptr);
  Type i420;
  MakeType(kColourYuv420, 1, 32, 16, &i420);
  ASSERT_EQ(host->SetInputType(0, &i420.mt, 0), 0);
  const GUID expected[] = {MEDIASUBTYPE_YV12,   MEDIASUBTYPE_IYUV, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32,
                           MEDIASUBTYPE_ARGB32, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY,  MEDIASUBTYPE_RGB565};
  for (uint32_t i = 0; i < 8; ++i) {
    Type t;
    ASSERT_EQ(host->GetOutputType(0, i, &t.mt), 0) << i;
    EXPECT_EQ(t.mt.subtype, expected[i]) << i;
  }
  Type past;
  EXPECT_EQ(host->GetOutputType(0, 8, &past.mt), MODULE_E_NO_TYPE);
  host->Close();
  host->Release();
}

TEST(ColourConvertHost, ConvertsAFrameBetweenNegotiatedTypes) {
  IMediaModule* host = MakeHost(&CColorConvertFilter::Create, true);
  const int w = 8, h = 4;
  Type rgb, yuv;
  MakeType(kColourRgb24, 0, w, h, &rgb);
  MakeType(kColourYuv420, 1, w, h, &yuv);
  ASSERT_EQ(host->SetInputType(0, &rgb.mt, 0), 0);
  ASSERT_EQ(host->SetOutputType(0, &yuv.mt, 1), 0);
  ASSERT_EQ(host->SetOutputType(0, &yuv.mt, 0), 0);
  IMemAllocator* out = MakeAllocator(w * h * 3 / 2);
  host->SetOutputAllocator(0, out);
  Received got;
  host->SetOutputCallback(0, &Received::Collect, &got);
  ASSERT_EQ(host->Run(), 0);
  std::vector<uint8_t> buf(size_t(w * h * 3), 255);  // white
  std::memset(buf.data(), 0, size_t(w * 3));         // bottom row black
  EXPECT_EQ(host->Receive(0, MakeSample(&buf)), 0);
  ASSERT_EQ(got.samples.size(), 1u);
  BYTE* p = nullptr;
  got.samples[0]->GetPointer(&p);
  EXPECT_EQ(got.samples[0]->GetActualDataLength(), w * h * 3 / 2);
  // Video range: white luma is 235, black 16.
  EXPECT_NEAR(p[0], 235, 1) << "top row white";
  EXPECT_EQ(p[(h - 1) * w], 16) << "bottom row black";
  host->Close();
  host->Release();
  for (IMediaSample* x : got.samples) x->Release();
  got.samples.clear();
  out->Decommit();
  out->Release();
}

TEST(VideoFilterHost, CloseDestroysTheFilterAndLeavesTheHostToItsOwner) {
  ResetFake();
  IMediaModule* host = MakeHost(&FakeFilter::Create);
  host->AddRef();  // a second holder, as a graph connection would be
  EXPECT_EQ(host->Close(), 0);
  EXPECT_EQ(static_cast<CVideoFilterHost*>(host)->Filter(), nullptr);
  EXPECT_EQ(host->Run(), E_FAIL) << "no filter after Close";
  EXPECT_EQ(host->Release(), 1);
  EXPECT_EQ(host->Release(), 0);
}
