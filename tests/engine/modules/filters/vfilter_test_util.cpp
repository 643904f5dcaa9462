#include "tests/engine/modules/filters/vfilter_test_util.h"

#include <cstring>

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/modules/filters/video_media_type.h"
#include "platform/media_sample.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace vftest {
namespace {

// Hands the filter's answers through, but for "in place", which becomes "copy".
struct CopyHosted final : IVideoFilter {
  static inline VideoFilterFactory inner = nullptr;
  IVideoFilter* f = nullptr;
  static IVideoFilter* Create(CParamList* p) {
    IVideoFilter* made = inner(p);
    if (made == nullptr) return nullptr;
    auto* w = new CopyHosted;
    w->f = made;
    return w;
  }
  int32_t SetFormat(const FrameFormat* format) override { return f->SetFormat(format); }
  int32_t GetOutputFormat(FrameFormat* format) override { return f->GetOutputFormat(format); }
  int32_t Start() override { return f->Start(); }
  int32_t Process(int64_t* t, FramePlanes* in, FramePlanes* out) override { return f->Process(t, in, out); }
  int32_t SetParams(CParamList* p) override {
    const int32_t answer = f->SetParams(p);
    return answer == 1 ? 0 : answer;
  }
  int32_t Destroy() override {
    f->Destroy();
    delete this;
    return 0;
  }
  int32_t IsInline() override { return f->IsInline(); }
  int32_t OnDiscontinuity() override { return f->OnDiscontinuity(); }
};

struct Collected {
  std::vector<IMediaSample*> samples;
  static HRESULT Take(IMediaSample* sample, void* context) {
    static_cast<Collected*>(context)->samples.push_back(sample);
    return 0;
  }
};

}  // namespace

int32_t LumaBytes(int w, int h) { return w * h; }
int32_t ChromaBytes(int w, int h) { return ChromaSize(w) * ChromaSize(h); }

std::vector<uint8_t> MakeFrame(int32_t colourType, int w, int h) {
  return std::vector<uint8_t>(size_t(FrameSampleSize(colourType, w, h)));
}

FrameRun RunFrame(VideoFilterFactory factory, const char* paramsText, int32_t colourType, int w, int h,
                  const std::vector<uint8_t>& frame, int64_t start, Hosting hosting) {
  FrameRun run;
  CParamList registration;
  CopyHosted::inner = factory;
  registration.SetPtr("FNVF", reinterpret_cast<void*>(hosting == Hosting::ForcedCopy ? &CopyHosted::Create : factory));
  IMediaModule* host = CreateVideoFilterHost(&registration);
  if (host == nullptr) return run;

  MediaTypeHolder type;
  FrameFormat format{w, h, colourType, {0, 0}, 1, 25};
  const int32_t variant = colourType == kColourYuv420 ? 1 : 0;  // I420: U before V
  IMemAllocator* allocator = nullptr;
  Collected got;
  const LONG size = LONG(FrameSampleSize(colourType, w, h));
  if (BuildVideoMediaType(&format, variant, type.Get()) == S_OK && host->SetInputType(0, type.Get(), 0) == S_OK) {
    if (paramsText != nullptr) {
      CParamList params;
      params.ParseText(paramsText);
      run.paramsResult = host->SetParams(&params);
    }
    run.inPlace = static_cast<CVideoFilterHost*>(host)->InPlace();
    ALLOCATOR_PROPERTIES request{2, size, 32, 0}, actual{};
    if (run.paramsResult == S_OK && host->SetOutputType(0, type.Get(), 0) == S_OK &&
        CreateMemoryAllocator(&allocator) == S_OK && allocator->SetProperties(&request, &actual) == S_OK &&
        allocator->Commit() == S_OK && host->SetOutputAllocator(0, allocator) == S_OK &&
        host->SetOutputCallback(0, &Collected::Take, &got) == S_OK && host->Run() == S_OK) {
      std::vector<uint8_t> buffer = frame;
      buffer.resize(size_t(size));
      auto* sample = new CMediaSample(nullptr, buffer.data(), size);
      sample->AddRef();
      sample->SetActualDataLength(size);
      REFERENCE_TIME s = start, e = start + 400000;
      sample->SetTime(&s, &e);
      run.receiveResult = host->Receive(0, sample);
      if (got.samples.size() == 1 && got.samples[0] != nullptr) {
        IMediaSample* out = got.samples[0];
        BYTE* p = nullptr;
        out->GetPointer(&p);
        run.out.assign(p, p + size);
        run.timed = out->GetTime(&run.start, &run.stop) == S_OK;
        run.ok = true;
      }
      host->Receive(0, nullptr);
      for (IMediaSample* x : got.samples)
        if (x != nullptr) x->Release();
    }
  }
  host->Close();
  host->Release();
  if (allocator != nullptr) {
    allocator->Decommit();
    allocator->Release();
  }
  return run;
}

}  // namespace vftest
