#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "plugin-api/media_module.h"

namespace {

// A module with configurable pin counts; every required slot answers a constant.
template <class Base>
class TestModuleT : public Base {
 public:
  TestModuleT(uint32_t inputs, uint32_t outputs, bool* destroyed = nullptr)
      : inputs_(inputs), outputs_(outputs), destroyed_(destroyed) {}
  ~TestModuleT() override {
    if (destroyed_) *destroyed_ = true;
  }
  HRESULT SetParams(CParamList*) override { return 0; }
  HRESULT Run() override { return 0; }
  HRESULT Open(CParamList*) override { return 0; }
  HRESULT Close() override { return 0; }
  uint32_t GetInputPinCount() override { return inputs_; }
  uint32_t GetOutputPinCount() override { return outputs_; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return 0; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return 0; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return 0; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  using Base::Deliver;
  using Base::RefCount;

 private:
  uint32_t inputs_, outputs_;
  bool* destroyed_;
};

using TestTransform = TestModuleT<CTransformModule>;

class TestReader : public TestModuleT<CReaderModule> {
 public:
  TestReader() : TestModuleT(0, 1) {}
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return 0x27; }
  HRESULT GetInfo(int64_t*, CParamList*) override { return 0x28; }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return 0x29; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return 0x30; }
};

class TestWriter : public TestModuleT<CWriterModule> {
 public:
  TestWriter() : TestModuleT(1, 0) {}
  int32_t GetState() override { return 0x27; }
  HRESULT SetOutput(const char*, const int32_t*) override { return 0x28; }
  HRESULT SetOutputOption(int32_t) override { return 0x29; }
  HRESULT CloseOutput() override { return 0x30; }
};

// Counts releases without ever letting the count reach zero.
class CountingSample : public CMediaSample {
 public:
  CountingSample() : CMediaSample(nullptr, buf_, sizeof(buf_)) { ResetForUse(); }
  ULONG Release() override {
    ++releases;
    return CMediaSample::Release();
  }
  int releases = 0;

 private:
  BYTE buf_[4] = {};
};

TEST(MediaModule, InterfaceCodesAreFourccGuids) {
  EXPECT_EQ(IID_IMSM.Data1, 0x4D534D49u);
  EXPECT_EQ(IID_IMTF.Data1, 0x46544D49u);
  EXPECT_EQ(IID_IMRD.Data1, 0x44524D49u);
  EXPECT_EQ(IID_IMWR.Data1, 0x52574D49u);
  const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&IID_IMRD) + 4, tail, 12), 0);
}

TEST(MediaModule, QueryInterfaceByKind) {
  struct Case {
    IMediaModule* module;
    GUID own;
  };
  auto* t = new TestTransform(1, 1);
  auto* r = new TestReader();
  auto* w = new TestWriter();
  const GUID kinds[] = {IID_IMTF, IID_IMRD, IID_IMWR};
  for (Case c : {Case{t, IID_IMTF}, Case{r, IID_IMRD}, Case{w, IID_IMWR}}) {
    void* out = nullptr;
    ASSERT_EQ(c.module->QueryInterface(IID_IMSM, &out), 0);
    EXPECT_EQ(out, c.module);
    ASSERT_EQ(c.module->QueryInterface(c.own, &out), 0);
    EXPECT_EQ(out, c.module);
    EXPECT_EQ(c.module->AddRef(), 4);  // 1 + two queries + this one
    for (const GUID& k : kinds) {
      if (k == c.own) continue;
      void* untouched = reinterpret_cast<void*>(0x1234);
      EXPECT_EQ(c.module->QueryInterface(k, &untouched), E_NOINTERFACE);
      EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1234));
    }
    void* other = nullptr;
    EXPECT_EQ(c.module->QueryInterface(IID_IMemAllocator, &other), E_NOINTERFACE);
    EXPECT_EQ(c.module->QueryInterface(IID_IMSM, nullptr), E_POINTER);
    EXPECT_EQ(c.module->Release(), 3);
    EXPECT_EQ(c.module->Release(), 2);
    EXPECT_EQ(c.module->Release(), 1);
    EXPECT_EQ(c.module->Release(), 0);
  }
}

TEST(MediaModule, QueryAsKeepsReferenceCount) {
  auto* w = new TestWriter();
  IMediaModule* m = w;
  EXPECT_EQ(QueryAsWriter(m), static_cast<IMediaWriter*>(w));
  EXPECT_EQ(QueryAsReader(m), nullptr);
  EXPECT_EQ(QueryAsTransform(m), nullptr);
  EXPECT_EQ(w->RefCount(), 1);
  EXPECT_EQ(QueryAsWriter(m)->GetState(), 0x27);
  m->Release();
}

TEST(MediaModule, ReleaseToZeroDestroysThroughSlot26) {
  bool destroyed = false;
  auto* t = new TestTransform(0, 0, &destroyed);
  t->AddRef();
  EXPECT_EQ(t->Release(), 1);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(t->Release(), 0);
  EXPECT_TRUE(destroyed);
}

// Plug-ins call through the table by position: check the positions that matter.
TEST(MediaModule, SlotPositions) {
  bool destroyed = false;
  auto* t = new TestTransform(2, 3, &destroyed);
  void** table = *reinterpret_cast<void***>(static_cast<IMediaModule*>(t));
  using CountFn = uint32_t (*)(void*);
  using DeleteFn = void (*)(void*, int32_t);
  EXPECT_EQ(reinterpret_cast<CountFn>(table[9])(t), 2u);
  EXPECT_EQ(reinterpret_cast<CountFn>(table[10])(t), 3u);
  auto* r = new TestReader();
  void** rtable = *reinterpret_cast<void***>(static_cast<IMediaModule*>(r));
  using OpenFn = HRESULT (*)(void*, const char*, int32_t, int32_t);
  EXPECT_EQ(reinterpret_cast<OpenFn>(rtable[27])(r, "x", 0, 0), 0x27);
  using StateFn = int32_t (*)(void*);
  auto* w = new TestWriter();
  void** wtable = *reinterpret_cast<void***>(static_cast<IMediaModule*>(w));
  EXPECT_EQ(reinterpret_cast<StateFn>(wtable[27])(w), 0x27);
  EXPECT_EQ(reinterpret_cast<HRESULT (*)(void*)>(wtable[30])(w), 0x30);
  reinterpret_cast<DeleteFn>(table[26])(t, 1);
  EXPECT_TRUE(destroyed);
  r->Release();
  w->Release();
}

TEST(MediaModule, PinLimits) {
  auto* t = new TestTransform(20, 20);
  auto cb = +[](IMediaSample*, void*) -> HRESULT { return 0; };
  EXPECT_EQ(t->SetOutputCallback(19, cb, nullptr), 0);
  EXPECT_EQ(t->SetOutputCallback(20, cb, nullptr), E_INVALIDARG);
  EXPECT_EQ(t->SetOutputAllocator(19, nullptr), 0);
  EXPECT_EQ(t->SetOutputAllocator(20, nullptr), E_INVALIDARG);
  IMemAllocator* a = reinterpret_cast<IMemAllocator*>(0x1);
  EXPECT_EQ(t->GetInputAllocator(20, &a), E_INVALIDARG);
  EXPECT_EQ(a, reinterpret_cast<IMemAllocator*>(0x1));
  t->Release();

  // The module's own pin count bounds the pins, not only the table size.
  auto* small = new TestTransform(1, 2);
  EXPECT_EQ(small->SetOutputCallback(2, cb, nullptr), E_INVALIDARG);
  EXPECT_EQ(small->SetOutputAllocator(2, nullptr), E_INVALIDARG);
  EXPECT_EQ(small->GetInputAllocator(1, &a), E_INVALIDARG);
  EXPECT_EQ(small->GetInputAllocator(0, nullptr), E_POINTER);
  small->Release();
}

TEST(MediaModule, InputAllocatorReused) {
  auto* t = new TestTransform(2, 0);
  IMemAllocator* a = nullptr;
  IMemAllocator* b = nullptr;
  ASSERT_EQ(t->GetInputAllocator(0, &a), 0);
  ASSERT_EQ(t->GetInputAllocator(0, &b), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->AddRef(), 4u);  // module + two callers + this one
  a->Release();
  IMemAllocator* other = nullptr;
  ASSERT_EQ(t->GetInputAllocator(1, &other), 0);
  EXPECT_NE(other, a);
  a->Release();
  b->Release();
  other->Release();
  testing::internal::CaptureStdout();
  t->Release();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(MediaModule, DestroyWithAllocatorStillReferenced) {
  auto* t = new TestTransform(1, 0);
  IMemAllocator* a = nullptr;
  ASSERT_EQ(t->GetInputAllocator(0, &a), 0);
  ALLOCATOR_PROPERTIES req{1, 16, 1, 0}, act{};
  ASSERT_EQ(a->SetProperties(&req, &act), S_OK);
  ASSERT_EQ(a->Commit(), S_OK);
  testing::internal::CaptureStdout();
  EXPECT_EQ(t->Release(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "can not release alloc\n");
  // The module decommitted it on the way out; our reference is still good.
  IMediaSample* s = nullptr;
  EXPECT_EQ(a->GetBuffer(&s, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(a->Release(), 0u);
}

TEST(MediaModule, DeliverWithoutCallbackReleasesOnce) {
  auto* t = new TestTransform(0, 2);
  auto* s = new CountingSample();
  s->AddRef();  // keep it alive for the check
  EXPECT_EQ(t->Deliver(0, s), 0);
  EXPECT_EQ(s->releases, 1);
  EXPECT_EQ(s->RefCount(), 1);
  EXPECT_EQ(t->Deliver(0, nullptr), 0);
  EXPECT_EQ(t->Deliver(1, BlankSample()), 0);  // never called
  s->AddRef();
  EXPECT_EQ(t->Deliver(25, s), 0);  // no such pin: released as well
  EXPECT_EQ(s->releases, 2);
  EXPECT_EQ(s->RefCount(), 1);
  s->Release();
  t->Release();
}

TEST(MediaModule, DeliverUsesCallbackAndContext) {
  auto* t = new TestTransform(0, 2);
  struct Seen {
    std::vector<IMediaSample*> samples;
  } seen0, seen1;
  auto cb = +[](IMediaSample* s, void* ctx) -> HRESULT {
    static_cast<Seen*>(ctx)->samples.push_back(s);
    return 7;
  };
  ASSERT_EQ(t->SetOutputCallback(0, cb, &seen0), 0);
  ASSERT_EQ(t->SetOutputCallback(1, cb, &seen1), 0);
  auto* s = new CountingSample();
  EXPECT_EQ(t->Deliver(1, s), 0);
  EXPECT_EQ(t->Deliver(0, nullptr), 0);
  EXPECT_EQ(seen1.samples, std::vector<IMediaSample*>{s});
  EXPECT_EQ(seen0.samples, std::vector<IMediaSample*>{nullptr});
  EXPECT_EQ(s->releases, 0);  // the callback owns it now
  s->Release();
  // Removing the callback brings back the release.
  ASSERT_EQ(t->SetOutputCallback(1, nullptr, nullptr), 0);
  auto* s2 = new CountingSample();
  s2->AddRef();
  t->Deliver(1, s2);
  EXPECT_EQ(s2->releases, 1);
  s2->Release();
  t->Release();
}

TEST(MediaModule, BaseDefaults) {
  auto* t = new TestTransform(1, 1);
  EXPECT_EQ(t->Stop(), 0);
  EXPECT_EQ(t->Pause(1), 0);
  EXPECT_EQ(t->Pause(0), 0);
  ALLOCATOR_PROPERTIES p{};
  EXPECT_EQ(t->GetAllocatorRequirements(0, &p), E_FAIL);
  EXPECT_EQ(t->AcceptsBlankSample(), 0);
  EXPECT_EQ(t->GetRegistration(), nullptr);
  static const char kName[] = "Audio delay";
  t->SetRegistration(kName);
  EXPECT_EQ(t->GetRegistration(), kName);
  EXPECT_TRUE(IsBlankSample(BlankSample()));
  t->Release();
}

TEST(MediaModule, LockIsRecursiveAndExcludesOtherThreads) {
  auto* t = new TestTransform(0, 0);
  t->Lock();
  t->Lock();
  std::atomic<bool> entered{false};
  std::thread other([&] {
    t->Lock();
    entered = true;
    t->Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  t->Unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered.load());
  t->Unlock();
  other.join();
  EXPECT_TRUE(entered.load());
  t->Release();
}

TEST(MediaModule, ReferenceCountIsInterlocked) {
  bool destroyed = false;
  auto* t = new TestTransform(0, 0, &destroyed);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([t] {
      for (int j = 0; j < 10000; ++j) {
        t->AddRef();
        t->Release();
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(t->RefCount(), 1);
  t->Release();
  EXPECT_TRUE(destroyed);
}

}  // namespace
