// The DirectShow writer module around a test file-writing filter: the map
// (file name, pins, a filter that offers a new pin per connection), inputs in
// the three modes, samples and ends of stream through the graph, the state
// the job runner polls, samples after a stop, the wait for completion and a
// filter that aborts with an error.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_standins.h"
#include "engine/modules/dshow/dshow_writer.h"
#include "platform/dshow/moniker_table.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/engine/modules/dshow/bridge_test_util.h"

using namespace dsbridge;

namespace {

const HRESULT kAbortCode = MakeHResult(0x80070005u);
const GUID kTaken = FourccGuid(MakeFourcc('T', 'S', 'T', 'W'));
const GUID kRefused = FourccGuid(MakeFourcc('T', 'S', 'T', 'X'));
const CLSID kSinkClsid = {0x7E5AD0C1, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0xF0, 0xF0, 0x7E, 0x02}};
const char16_t kSinkName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{7E5AD0C1-0000-4000-8000-0000F0F07E02}";

// What the test sink saw, process-wide.
struct SinkLog {
  std::mutex m;
  std::u16string file;
  DWORD mode = 0;
  std::vector<std::pair<int, int>> samples;  // pin, first byte
  int ends = 0;
  bool configured = false;
  bool abortOnEnd = false;  // the filter reports EC_ERRORABORT instead of completing
  void Reset() {
    std::lock_guard lock(m);
    file.clear();
    mode = 0;
    samples.clear();
    ends = 0;
    configured = false;
    abortOnEnd = false;
  }
};
SinkLog& Log() {
  static SinkLog log;
  return log;
}

// A file-writing filter taking kTaken types, offering one more input pin
// each time one connects; it completes once every connected pin has ended.
class TestSink final : public CBaseFilter, public IFileSinkFilter2 {
 public:
  class Pin final : public CBaseInputPin {
   public:
    Pin(TestSink* owner, int index) : CBaseInputPin(owner, &owner->lock_, u"In"), owner_(owner), index_(index) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return mt->subtype == kTaken ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      if (position != 0 || !IsConnected()) return VFW_S_NO_MORE_ITEMS;
      InitMediaType(mt);
      return CopyMediaTypeDeep(mt, &mt_) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT CompleteConnect(IPin* peer) override {
      const HRESULT hr = CBaseInputPin::CompleteConnect(peer);
      if (hr == S_OK) owner_->AddPin();
      return hr;
    }
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override {
      *props = ALLOCATOR_PROPERTIES{3, 4096, 1, 0};
      return S_OK;
    }
    HRESULT Receive(IMediaSample* sample) override {
      const HRESULT hr = CBaseInputPin::Receive(sample);
      if (hr != S_OK) return hr;
      BYTE* p = nullptr;
      sample->GetPointer(&p);
      std::lock_guard lock(Log().m);
      Log().samples.emplace_back(index_, p ? p[0] : -1);
      return S_OK;
    }
    HRESULT EndOfStream() override {
      const HRESULT hr = CBaseInputPin::EndOfStream();
      if (hr != S_OK || ended_.exchange(true)) return hr;
      {
        std::lock_guard lock(Log().m);
        ++Log().ends;
      }
      owner_->PinEnded();
      return S_OK;
    }
    bool Ended() const { return ended_.load(); }

   private:
    TestSink* owner_;
    int index_;
    std::atomic<bool> ended_{false};
  };

  TestSink() : CBaseFilter(kSinkClsid, &lock_) { AddPin(); }
  ~TestSink() override {
    for (Pin* p : pins_) delete p;
  }
  HRESULT QueryInterface(REFIID iid, void** out) override { return CBaseFilter::QueryInterface(iid, out); }
  ULONG AddRef() override { return CBaseFilter::AddRef(); }
  ULONG Release() override { return CBaseFilter::Release(); }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
    if (iid == IID_IFileSinkFilter2) {  // the second form only: the writer then sets the mode
      *out = static_cast<IFileSinkFilter2*>(this);
      AddRef();
      return S_OK;
    }
    return CBaseFilter::NonDelegatingQuery(iid, out);
  }
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  HRESULT SetFileName(const WCHAR* name, const AM_MEDIA_TYPE*) override {
    std::lock_guard lock(Log().m);
    Log().file = name;
    return S_OK;
  }
  HRESULT GetCurFile(WCHAR**, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT SetMode(DWORD flags) override {
    std::lock_guard lock(Log().m);
    Log().mode = flags;
    return S_OK;
  }
  HRESULT GetMode(DWORD* flags) override {
    *flags = Log().mode;
    return S_OK;
  }
  int32_t GetPinCount() override {
    std::lock_guard lock(lock_);
    return static_cast<int32_t>(pins_.size());
  }
  CBasePin* GetPin(int32_t index) override {
    std::lock_guard lock(lock_);
    return index >= 0 && index < static_cast<int32_t>(pins_.size()) ? pins_[static_cast<size_t>(index)] : nullptr;
  }
  void AddPin() {
    std::lock_guard lock(lock_);
    pins_.push_back(new Pin(this, static_cast<int>(pins_.size())));
  }
  void PinEnded() {
    std::lock_guard lock(lock_);
    for (Pin* p : pins_)
      if (p->IsConnected() && !p->Ended()) return;
    if (Log().abortOnEnd)
      NotifyEvent(EC_ERRORABORT, kAbortCode, 0);
    else
      NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)));
  }

 private:
  std::recursive_mutex lock_;
  std::vector<Pin*> pins_;
};

IBaseFilter* MakeTestSink(void*) {
  auto* f = new TestSink();
  f->AddRef();
  return f;
}

void RegisterTestSink() {
  EnsureStandInFilters();
  MonikerEntry e;
  e.displayName = kSinkName;
  e.friendlyName = "Test Sink";
  e.role = FilterRole::kOther;
  e.create = MakeTestSink;
  CMonikerTable::Instance().Register(e);
}

void Configure(IBaseFilter*, CParamList*) {
  std::lock_guard lock(Log().m);
  Log().configured = true;
}

IMediaWriter* OpenWriter(const char16_t* name = kSinkName) {
  RegisterTestSink();
  Log().Reset();
  CParamList params;
  params.SetPtr("MAPFUNC", reinterpret_cast<void*>(&CreateFileSinkMap));
  params.SetWString("Param", name);
  params.SetPtr("CONFIGFUNC", reinterpret_cast<void*>(&Configure));
  IMediaModule* m = CDShowWriter::Create(&params);
  return m ? QueryAsWriter(m) : nullptr;
}

void Discard(IMediaWriter* w) {
  if (!w) return;
  w->Close();
  w->Release();
}

AM_MEDIA_TYPE TypeOf(const GUID& subtype, BYTE* block) { return VideoType(subtype, 64, 48, true, 4608, block); }

// The writer's input allocator, sized and committed as the engine's graph does it.
IMemAllocator* InputAllocator(IMediaWriter* w, uint32_t pin) {
  IMemAllocator* a = nullptr;
  if (w->GetInputAllocator(pin, &a) != S_OK) return nullptr;
  ALLOCATOR_PROPERTIES want{}, got{};
  EXPECT_EQ(S_OK, w->GetAllocatorRequirements(pin, &want));
  a->SetProperties(&want, &got);
  a->Commit();
  return a;
}

}  // namespace

TEST(DShowWriter, SetOutputPutsTheFilterIntoTheGraphWithTheFile) {
  IMediaWriter* w = OpenWriter();
  ASSERT_NE(nullptr, w);
  ASSERT_EQ(S_OK, w->SetOutput("/tmp/out.test", nullptr));
  EXPECT_EQ(u"/tmp/out.test", Log().file);
  EXPECT_EQ(AM_FILE_OVERWRITE, Log().mode);
  EXPECT_TRUE(Log().configured);
  auto* writer = static_cast<CDShowWriter*>(static_cast<IMediaModule*>(w));
  ASSERT_NE(nullptr, writer->Map()->GetFilter());
  EXPECT_EQ(1, writer->Map()->InputPinCount());
  EXPECT_EQ(0u, w->GetOutputPinCount());
  EXPECT_EQ(E_NOTIMPL, w->SetParams(nullptr));
  EXPECT_NE(S_OK, w->SetOutputOption(0));
  Discard(w);
}

TEST(DShowWriter, AMapThatCannotBeBuiltFailsTheOutputAndEveryInput) {
  for (const char16_t* name :
       {u"", u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{00000000-0000-0000-0000-000000000000}",
        u"not a display name"}) {
    IMediaWriter* w = OpenWriter(name);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(CDShowWriter::kCannotBuild, w->SetOutput("/tmp/out.test", nullptr));
    BYTE block[sizeof(VIDEOINFOHEADER)];
    AM_MEDIA_TYPE mt = TypeOf(kTaken, block);
    EXPECT_NE(S_OK, w->AddInputPin(&mt, 0));
    EXPECT_EQ(0u, w->GetInputPinCount());
    EXPECT_EQ(CDShowWriter::kCannotBuild, w->CloseOutput());
    Discard(w);
  }
}

TEST(DShowWriter, InputsInTheThreeModes) {
  IMediaWriter* w = OpenWriter();
  ASSERT_NE(nullptr, w);
  ASSERT_EQ(S_OK, w->SetOutput("/tmp/out.test", nullptr));
  auto* writer = static_cast<CDShowWriter*>(static_cast<IMediaModule*>(w));
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE taken = TypeOf(kTaken, block);
  BYTE block2[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE refused = TypeOf(kRefused, block2);

  EXPECT_EQ(S_OK, w->AddInputPin(&taken, 1));  // a test connects nothing
  EXPECT_NE(S_OK, w->AddInputPin(&taken, 2));  // mode 2 takes no pin
  EXPECT_NE(S_OK, w->AddInputPin(&refused, 0));
  EXPECT_NE(S_OK, w->AddInputPin(&refused, 1));
  EXPECT_EQ(0u, w->GetInputPinCount());
  EXPECT_EQ(1, writer->Map()->GetFilter() ? static_cast<TestSink*>(writer->Map()->GetFilter())->GetPinCount() : 0);

  // Each connection makes the filter offer a new pin, which the next input takes.
  for (uint32_t i = 0; i < 3; ++i) {
    ASSERT_EQ(S_OK, w->AddInputPin(&taken, 0));
    EXPECT_EQ(i + 1, w->GetInputPinCount());
    EXPECT_EQ(1, writer->Map()->InputPinCount());
  }
  EXPECT_EQ(4, static_cast<TestSink*>(writer->Map()->GetFilter())->GetPinCount());
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  EXPECT_EQ(S_OK, w->GetInputType(2, 0, &mt));
  EXPECT_EQ(kTaken, mt.subtype);
  ClearMediaTypeFormat(&mt);
  EXPECT_NE(S_OK, w->GetInputType(3, 0, &mt));
  EXPECT_NE(S_OK, w->GetInputType(20, 0, &mt));
  ALLOCATOR_PROPERTIES props{};
  EXPECT_EQ(S_OK, w->GetAllocatorRequirements(1, &props));
  EXPECT_EQ(4096, props.cbBuffer);
  EXPECT_NE(S_OK, w->GetAllocatorRequirements(3, &props));
  IMemAllocator* a = nullptr;
  EXPECT_NE(S_OK, w->GetInputAllocator(3, &a));
  Discard(w);
}

TEST(DShowWriter, SamplesEndsStateStopAndCompletion) {
  IMediaWriter* w = OpenWriter();
  ASSERT_NE(nullptr, w);
  ASSERT_EQ(S_OK, w->SetOutput("/tmp/out.test", nullptr));
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE taken = TypeOf(kTaken, block);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(S_OK, w->AddInputPin(&taken, 0));
  IMemAllocator* allocators[3];
  for (uint32_t i = 0; i < 3; ++i) ASSERT_NE(nullptr, allocators[i] = InputAllocator(w, i));
  ASSERT_EQ(S_OK, w->Run());

  EXPECT_EQ(WRITER_RUNNING, w->GetState());
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(S_OK, w->Receive(i, MakeSample(allocators[i], 16, 10 + int(i), 0)));
  EXPECT_EQ(S_OK, w->Receive(0, nullptr));
  EXPECT_EQ(WRITER_SOME_INPUTS_FINISHED, w->GetState());  // one of three ended
  // After a stop samples are taken and not written.
  EXPECT_EQ(S_OK, w->Stop());
  EXPECT_EQ(S_OK, w->Receive(1, MakeSample(allocators[1], 16, 99, kSecond)));
  EXPECT_EQ(S_OK, w->Receive(1, nullptr));
  EXPECT_EQ(S_OK, w->Receive(2, nullptr));
  EXPECT_EQ(WRITER_FINISHED, w->GetState());
  EXPECT_NE(S_OK, w->Receive(5, nullptr));
  {
    std::lock_guard lock(Log().m);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{0, 10}, {1, 11}, {2, 12}}), Log().samples);
    EXPECT_EQ(3, Log().ends);
  }
  EXPECT_EQ(S_OK, w->CloseOutput());
  for (IMemAllocator* a : allocators) a->Release();
  Discard(w);
}

TEST(DShowWriter, StateWithoutInputsIsFinished) {
  IMediaWriter* w = OpenWriter();
  ASSERT_NE(nullptr, w);
  ASSERT_EQ(S_OK, w->SetOutput("/tmp/out.test", nullptr));
  EXPECT_EQ(WRITER_FINISHED, w->GetState());
  ASSERT_EQ(S_OK, w->Run());
  EXPECT_EQ(S_OK, w->CloseOutput());  // nothing to wait for
  Discard(w);
}

TEST(DShowWriter, AFilterThatAbortsEndsTheWaitWithItsFailure) {
  IMediaWriter* w = OpenWriter();
  ASSERT_NE(nullptr, w);
  Log().abortOnEnd = true;
  ASSERT_EQ(S_OK, w->SetOutput("/tmp/out.test", nullptr));
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE taken = TypeOf(kTaken, block);
  ASSERT_EQ(S_OK, w->AddInputPin(&taken, 0));
  IMemAllocator* a = InputAllocator(w, 0);
  ASSERT_NE(nullptr, a);
  ASSERT_EQ(S_OK, w->Run());
  EXPECT_EQ(S_OK, w->Receive(0, MakeSample(a, 16, 1, 0)));
  EXPECT_EQ(kAbortCode, w->CloseOutput());  // the ends come from CloseOutput itself
  a->Release();
  Discard(w);
}
