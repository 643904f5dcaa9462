#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/mem_allocator.h"
#include "platform/task_allocator.h"

namespace {

using namespace std::chrono_literals;

struct Pool {
  IMemAllocator* alloc = nullptr;
  Pool(LONG count, LONG size, LONG align = 16, LONG prefix = 0) {
    EXPECT_EQ(CreateMemoryAllocator(&alloc), S_OK);
    ALLOCATOR_PROPERTIES req{count, size, align, prefix}, act{};
    EXPECT_EQ(alloc->SetProperties(&req, &act), S_OK);
    EXPECT_EQ(alloc->Commit(), S_OK);
  }
  ~Pool() {
    alloc->Decommit();
    alloc->Release();
  }
};

TEST(MemAllocator, PropertiesRoundedToAlignment) {
  IMemAllocator* a = nullptr;
  ASSERT_EQ(CreateMemoryAllocator(&a), S_OK);
  ALLOCATOR_PROPERTIES req{3, 100, 64, 8}, act{};
  ASSERT_EQ(a->SetProperties(&req, &act), S_OK);
  EXPECT_EQ(act.cBuffers, 3);
  EXPECT_EQ(act.cbAlign, 64);
  EXPECT_EQ(act.cbPrefix, 8);
  EXPECT_EQ((act.cbBuffer + act.cbPrefix) % 64, 0);
  EXPECT_GE(act.cbBuffer, 100);

  ALLOCATOR_PROPERTIES bad{1, 100, 3, 0};
  EXPECT_EQ(a->SetProperties(&bad, &act), VFW_E_BADALIGN);
  ALLOCATOR_PROPERTIES neg{-1, 100, 1, 0};
  EXPECT_EQ(a->SetProperties(&neg, &act), E_INVALIDARG);

  ASSERT_EQ(a->Commit(), S_OK);
  EXPECT_EQ(a->SetProperties(&req, &act), VFW_E_ALREADY_COMMITTED);

  IMediaSample* s = nullptr;
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  BYTE* p = nullptr;
  s->GetPointer(&p);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
  EXPECT_GE(s->GetSize(), 100);
  s->Release();
  a->Decommit();
  EXPECT_EQ(a->Release(), 0u);
}

TEST(MemAllocator, NotCommittedOrSizeNotSet) {
  IMemAllocator* a = nullptr;
  ASSERT_EQ(CreateMemoryAllocator(&a), S_OK);
  EXPECT_EQ(a->Commit(), VFW_E_SIZENOTSET);
  IMediaSample* s = reinterpret_cast<IMediaSample*>(1);
  EXPECT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(s, nullptr);
  a->Release();
}

TEST(MemAllocator, SamplesComeBackAndAreReused) {
  Pool pool(2, 64);
  IMediaSample* a = nullptr;
  IMediaSample* b = nullptr;
  ASSERT_EQ(pool.alloc->GetBuffer(&a, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(pool.alloc->GetBuffer(&b, nullptr, nullptr, 0), S_OK);
  EXPECT_NE(a, b);
  IMediaSample* c = nullptr;
  EXPECT_EQ(pool.alloc->GetBuffer(&c, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);

  // State set on a sample does not survive its return to the pool.
  REFERENCE_TIME t0 = 10, t1 = 20;
  a->SetTime(&t0, &t1);
  a->SetSyncPoint(1);
  a->SetActualDataLength(5);
  AM_MEDIA_TYPE mt{};
  BYTE fmt[4] = {1, 2, 3, 4};
  mt.cbFormat = 4;
  mt.pbFormat = fmt;
  EXPECT_EQ(a->SetMediaType(&mt), S_OK);
  a->AddRef();
  EXPECT_EQ(a->Release(), 1u);  // still out
  EXPECT_EQ(a->Release(), 0u);

  ASSERT_EQ(pool.alloc->GetBuffer(&c, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
  EXPECT_EQ(c, a);
  EXPECT_EQ(c->GetTime(&t0, &t1), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(c->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(c->GetActualDataLength(), c->GetSize());
  AM_MEDIA_TYPE* got = &mt;
  EXPECT_EQ(c->GetMediaType(&got), S_FALSE);
  EXPECT_EQ(got, nullptr);
  c->Release();
  b->Release();
}

TEST(MemAllocator, OutstandingSampleHoldsAllocator) {
  IMemAllocator* a = nullptr;
  ASSERT_EQ(CreateMemoryAllocator(&a), S_OK);
  ALLOCATOR_PROPERTIES req{1, 32, 1, 0}, act{};
  a->SetProperties(&req, &act);
  a->Commit();
  IMediaSample* s = nullptr;
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  a->Decommit();
  EXPECT_EQ(a->Release(), 1u);  // the sample keeps it alive
  BYTE* p = nullptr;
  s->GetPointer(&p);
  p[0] = 1;      // buffer still valid after decommit while out
  s->Release();  // frees the pool and the allocator
}

TEST(MemAllocator, GetBufferBlocksUntilRelease) {
  Pool pool(1, 16);
  IMediaSample* first = nullptr;
  ASSERT_EQ(pool.alloc->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
  std::atomic<bool> got{false};
  IMediaSample* second = nullptr;
  HRESULT hr = E_FAIL;
  std::thread waiter([&] {
    hr = pool.alloc->GetBuffer(&second, nullptr, nullptr, 0);
    got = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(got.load());
  first->Release();
  waiter.join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(second, first);
  second->Release();
}

TEST(MemAllocator, DecommitWakesWaitersWithError) {
  Pool pool(1, 16);
  IMediaSample* first = nullptr;
  ASSERT_EQ(pool.alloc->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
  constexpr int kWaiters = 3;
  std::atomic<int> done{0};
  HRESULT results[kWaiters];
  std::thread waiters[kWaiters];
  for (int i = 0; i < kWaiters; ++i) {
    waiters[i] = std::thread([&, i] {
      IMediaSample* s = nullptr;
      results[i] = pool.alloc->GetBuffer(&s, nullptr, nullptr, 0);
      if (s) s->Release();
      ++done;
    });
  }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(done.load(), 0);
  EXPECT_EQ(pool.alloc->Decommit(), S_OK);
  for (auto& t : waiters) t.join();
  for (HRESULT r : results) EXPECT_EQ(r, VFW_E_NOT_COMMITTED);
  first->Release();
  // A new commit gives a working pool again.
  ASSERT_EQ(pool.alloc->Commit(), S_OK);
  IMediaSample* again = nullptr;
  EXPECT_EQ(pool.alloc->GetBuffer(&again, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
  again->Release();
}

TEST(MemAllocator, ManyThreadsShareSmallPool) {
  Pool pool(2, 8);
  std::atomic<int> inUse{0}, maxInUse{0};
  std::thread workers[6];
  for (auto& w : workers) {
    w = std::thread([&] {
      for (int i = 0; i < 300; ++i) {
        IMediaSample* s = nullptr;
        ASSERT_EQ(pool.alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
        int now = ++inUse;
        int prev = maxInUse.load();
        while (now > prev && !maxInUse.compare_exchange_weak(prev, now)) {
        }
        --inUse;
        s->Release();
      }
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_LE(maxInUse.load(), 2);
}

TEST(MediaSample, TimesLengthsAndType) {
  BYTE buf[10];
  auto* s = new CMediaSample(nullptr, buf, 10);
  s->AddRef();
  REFERENCE_TIME a = 5, b = 0;
  EXPECT_EQ(s->SetTime(&a, nullptr), S_OK);
  EXPECT_EQ(s->GetTime(&a, &b), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(s->SetTime(nullptr, nullptr), S_OK);
  EXPECT_EQ(s->GetTime(&a, &b), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(s->SetActualDataLength(11), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s->SetActualDataLength(10), S_OK);
  LONGLONG m0 = 0, m1 = 0;
  EXPECT_EQ(s->GetMediaTime(&m0, &m1), VFW_E_MEDIA_TIME_NOT_SET);

  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  BYTE fmt[3] = {7, 8, 9};
  mt.cbFormat = 3;
  mt.pbFormat = fmt;
  ASSERT_EQ(s->SetMediaType(&mt), S_OK);
  fmt[0] = 0;  // the sample keeps its own copy
  AM_MEDIA_TYPE* got = nullptr;
  ASSERT_EQ(s->GetMediaType(&got), S_OK);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->majortype, MEDIATYPE_Audio);
  ASSERT_EQ(got->cbFormat, 3u);
  EXPECT_EQ(got->pbFormat[0], 7);
  CoTaskMemFree(got->pbFormat);
  CoTaskMemFree(got);
  void* unk = nullptr;
  EXPECT_EQ(s->QueryInterface(IID_IMediaSample, &unk), S_OK);
  EXPECT_EQ(unk, static_cast<IMediaSample*>(s));
  EXPECT_EQ(s->QueryInterface(IID_IMemAllocator, &unk), E_NOINTERFACE);
  EXPECT_EQ(s->Release(), 1u);
  EXPECT_EQ(s->Release(), 0u);  // deletes itself (no owner)
}

}  // namespace
