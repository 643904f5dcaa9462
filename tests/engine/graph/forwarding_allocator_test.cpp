#include "engine/graph/forwarding_allocator.h"

#include <gtest/gtest.h>

namespace {

// {56A8689D-0AD4-11CE-B03A-0020AF0BA770}
constexpr IID IID_IMemInputPin = {0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

struct Fixture : ::testing::Test {
  void SetUp() override {
    fwd = new CForwardingAllocator();
    fwd->AddRef();
    ASSERT_EQ(CreateMemoryAllocator(&inner), S_OK);
    ALLOCATOR_PROPERTIES req{2, 1000, 16, 0};
    ALLOCATOR_PROPERTIES act{};
    ASSERT_EQ(inner->SetProperties(&req, &act), S_OK);
    ASSERT_EQ(inner->Commit(), S_OK);
  }
  void TearDown() override {
    EXPECT_EQ(fwd->Release(), 0u);
    inner->Decommit();
    EXPECT_EQ(inner->Release(), 0u);
  }
  CForwardingAllocator* fwd = nullptr;
  IMemAllocator* inner = nullptr;
};

TEST_F(Fixture, FreshPropertiesAreOneFullHdPicture) {
  ALLOCATOR_PROPERTIES p{};
  ASSERT_EQ(fwd->GetProperties(&p), S_OK);
  EXPECT_EQ(p.cBuffers, 1);
  EXPECT_EQ(p.cbBuffer, 8294400);
  EXPECT_EQ(p.cbAlign, 64);
  EXPECT_EQ(p.cbPrefix, 0);
}

TEST_F(Fixture, SetPropertiesEchoedBeforeInnerForwardedAfter) {
  ALLOCATOR_PROPERTIES req{3, 4096, 7, 5};  // odd alignment: echoed, never checked
  ALLOCATOR_PROPERTIES act{};
  ASSERT_EQ(fwd->SetProperties(&req, &act), S_OK);
  EXPECT_EQ(act.cBuffers, 3);
  EXPECT_EQ(act.cbBuffer, 4096);
  EXPECT_EQ(act.cbAlign, 7);
  EXPECT_EQ(act.cbPrefix, 5);
  ALLOCATOR_PROPERTIES got{};
  fwd->GetProperties(&got);
  EXPECT_EQ(got.cbBuffer, 4096);

  ASSERT_EQ(fwd->SetInner(inner), S_OK);
  ALLOCATOR_PROPERTIES req2{4, 2000, 1, 0};
  // The inner allocator is committed: its refusal comes back unchanged.
  EXPECT_EQ(fwd->SetProperties(&req2, &act), VFW_E_ALREADY_COMMITTED);
  ASSERT_EQ(fwd->GetProperties(&got), S_OK);
  EXPECT_EQ(got.cBuffers, 2);
  EXPECT_EQ(got.cbBuffer, 1008);  // rounded by the inner allocator
  inner->Decommit();
  ASSERT_EQ(fwd->SetProperties(&req2, &act), S_OK);
  EXPECT_EQ(act.cBuffers, 4);
  EXPECT_EQ(act.cbBuffer, 2000);
}

TEST_F(Fixture, GetBufferFailsWithoutInnerAndComesFromInnerAfter) {
  IMediaSample* s = reinterpret_cast<IMediaSample*>(0x1);
  EXPECT_EQ(fwd->GetBuffer(&s, nullptr, nullptr, 0), E_FAIL);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(fwd->Commit(), S_OK);
  EXPECT_EQ(fwd->Decommit(), S_OK);

  fwd->SetInner(inner);
  ASSERT_EQ(fwd->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetSize(), 1008);
  IMediaSample* second = nullptr;
  ASSERT_EQ(inner->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
  // Both of the inner pool's buffers are out: the pool is the inner one.
  IMediaSample* third = nullptr;
  EXPECT_EQ(fwd->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  s->Release();
  second->Release();

  fwd->SetEnabled(0);
  EXPECT_EQ(fwd->GetBuffer(&s, nullptr, nullptr, 0), E_FAIL);
  fwd->SetEnabled(1);
  EXPECT_EQ(fwd->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  s->Release();
}

TEST_F(Fixture, ReleaseBufferNeedsInner) {
  EXPECT_EQ(fwd->ReleaseBuffer(nullptr), E_FAIL);
  fwd->SetInner(inner);
  EXPECT_EQ(fwd->ReleaseBuffer(nullptr), E_POINTER);  // the inner allocator's answer
}

TEST_F(Fixture, QueryInterfaceAndReferenceCount) {
  void* out = nullptr;
  ASSERT_EQ(fwd->QueryInterface(IID_IMemAllocator, &out), S_OK);
  EXPECT_EQ(out, static_cast<IMemAllocator*>(fwd));
  ASSERT_EQ(fwd->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(fwd->Release(), 2u);
  EXPECT_EQ(fwd->Release(), 1u);
  EXPECT_EQ(fwd->QueryInterface(IID_IMemInputPin, &out), E_FAIL);
  EXPECT_EQ(fwd->QueryInterface(IID_IMediaSample, &out), E_FAIL);
  EXPECT_EQ(fwd->AddRef(), 2u);
  EXPECT_EQ(fwd->Release(), 1u);
}

}  // namespace
