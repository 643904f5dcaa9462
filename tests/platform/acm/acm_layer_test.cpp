// The codec layer with an in-process driver: the messages it sends and in
// what order, handle checks, busy drivers, prepared lengths and a driver that
// claims more than it was given.
#include "platform/acm/acm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Record {
  std::vector<uint32_t> messages;
  DWORD lastFlags = 0;
  DWORD claimSrc = 0;  // when nonzero, the source bytes a conversion claims to have used
  intptr_t openAnswer = 7;
  MMRESULT streamAnswer = MMSYSERR_NOERROR;
  std::vector<uint8_t> srcExtra;  // the extra bytes of the source format the driver saw
} g;

intptr_t TestDriver(uintptr_t id, void*, uint32_t message, intptr_t p1, intptr_t p2) {
  g.messages.push_back(message);
  auto* s = reinterpret_cast<ACMDRVSTREAMINSTANCE*>(p1);
  switch (message) {
    case DRV_OPEN:
      return g.openAnswer;
    case ACMDM_STREAM_OPEN:
      EXPECT_EQ(7u, id);
      g.srcExtra.assign(reinterpret_cast<const uint8_t*>(s->pwfxSrc) + sizeof(WAVEFORMATEX),
                        reinterpret_cast<const uint8_t*>(s->pwfxSrc) + sizeof(WAVEFORMATEX) + s->pwfxSrc->cbSize);
      if (g.streamAnswer == MMSYSERR_NOERROR && !(s->fdwOpen & ACM_STREAMOPENF_QUERY)) s->dwDriver = 0x1234;
      return g.streamAnswer;
    case ACMDM_STREAM_SIZE: {
      auto* size = reinterpret_cast<ACMDRVSTREAMSIZE*>(p2);
      if (size->fdwSize == ACM_STREAMSIZEF_DESTINATION)
        size->cbSrcLength = size->cbDstLength / 10;
      else
        size->cbDstLength = size->cbSrcLength * 10;
      return MMSYSERR_NOERROR;
    }
    case ACMDM_STREAM_CONVERT: {
      EXPECT_EQ(0x1234u, s->dwDriver);
      auto* h = reinterpret_cast<ACMDRVSTREAMHEADER*>(p2);
      g.lastFlags = h->fdwConvert;
      const DWORD n = std::min(h->cbSrcLength, h->cbDstLength);
      std::memcpy(h->pbDst, h->pbSrc, n);
      h->cbSrcLengthUsed = g.claimSrc ? g.claimSrc : n;
      h->cbDstLengthUsed = n;
      return MMSYSERR_NOERROR;
    }
    case ACMDM_STREAM_CLOSE:
      return MMSYSERR_NOERROR;
    case ACMDM_STREAM_PREPARE:
    case ACMDM_STREAM_UNPREPARE:
      return MMSYSERR_NOTSUPPORTED;
    default:
      return 1;
  }
}

struct Formats {
  std::vector<uint8_t> src;
  WAVEFORMATEX dst{};
  Formats() {
    WAVEFORMATEX w{};
    w.wFormatTag = 0x7A01;
    w.nChannels = 2;
    w.nSamplesPerSec = 44100;
    w.nAvgBytesPerSec = 16000;
    w.cbSize = 3;
    src.resize(sizeof w + 3);
    std::memcpy(src.data(), &w, sizeof w);
    src[sizeof w] = 'a';
    src[sizeof w + 1] = 'b';
    src[sizeof w + 2] = 'c';
    dst.wFormatTag = WAVE_FORMAT_PCM;
    dst.nChannels = 2;
    dst.nSamplesPerSec = 44100;
    dst.wBitsPerSample = 16;
    dst.nBlockAlign = 4;
    dst.nAvgBytesPerSec = 176400;
  }
  const WAVEFORMATEX* Src() const { return reinterpret_cast<const WAVEFORMATEX*>(src.data()); }
};

class AcmLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    g = Record{};
    ASSERT_EQ(MMSYSERR_NOERROR, acmDriverAddA(&id_, nullptr, &TestDriver, 0, ACM_DRIVERADDF_FUNCTION));
    ASSERT_EQ(MMSYSERR_NOERROR, acmDriverOpen(&driver_, id_, 0));
  }
  void TearDown() override {
    if (stream_) {
      EXPECT_EQ(MMSYSERR_NOERROR, acmStreamClose(stream_, 0));
    }
    if (driver_) {
      EXPECT_EQ(MMSYSERR_NOERROR, acmDriverClose(driver_, 0));
    }
    if (id_) {
      EXPECT_EQ(MMSYSERR_NOERROR, acmDriverRemove(id_, 0));
    }
  }
  void Open() {
    ASSERT_EQ(MMSYSERR_NOERROR, acmStreamOpen(&stream_, driver_, formats_.Src(), &formats_.dst, nullptr, 0, 0, 0));
  }

  HACMDRIVERID id_ = nullptr;
  HACMDRIVER driver_ = nullptr;
  HACMSTREAM stream_ = nullptr;
  Formats formats_;
};

TEST_F(AcmLayer, DriverLifecycleMessagesInOrder) {
  Open();
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamClose(stream_, 0));
  stream_ = nullptr;
  ASSERT_EQ(MMSYSERR_NOERROR, acmDriverClose(driver_, 0));
  driver_ = nullptr;
  ASSERT_EQ(MMSYSERR_NOERROR, acmDriverRemove(id_, 0));
  id_ = nullptr;
  EXPECT_EQ((std::vector<uint32_t>{DRV_LOAD, DRV_ENABLE, DRV_OPEN, ACMDM_STREAM_OPEN, ACMDM_STREAM_CLOSE, DRV_CLOSE,
                                   DRV_DISABLE, DRV_FREE}),
            g.messages);
  EXPECT_EQ((std::vector<uint8_t>{'a', 'b', 'c'}), g.srcExtra) << "the extra bytes travel with the format";
}

TEST_F(AcmLayer, RefusalsAndStaleHandles) {
  HACMDRIVERID none = nullptr;
  EXPECT_NE(MMSYSERR_NOERROR, acmDriverAddA(&none, nullptr, nullptr, 0, ACM_DRIVERADDF_FUNCTION));
  EXPECT_EQ(MMSYSERR_INVALFLAG, acmDriverAddA(&none, nullptr, &TestDriver, 0, 0));
  g.openAnswer = 0;
  HACMDRIVER refused = nullptr;
  EXPECT_EQ(MMSYSERR_ERROR, acmDriverOpen(&refused, id_, 0));
  EXPECT_EQ(nullptr, refused);

  g.streamAnswer = ACMERR_NOTPOSSIBLE;
  HACMSTREAM s = nullptr;
  EXPECT_EQ(ACMERR_NOTPOSSIBLE, acmStreamOpen(&s, driver_, formats_.Src(), &formats_.dst, nullptr, 0, 0, 0));
  EXPECT_EQ(nullptr, s);
  g.streamAnswer = MMSYSERR_NOERROR;
  EXPECT_EQ(MMSYSERR_NOERROR,
            acmStreamOpen(nullptr, driver_, formats_.Src(), &formats_.dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY));

  Open();
  EXPECT_EQ(ACMERR_BUSY, acmDriverClose(driver_, 0)) << "a stream is open on it";
  EXPECT_EQ(ACMERR_BUSY, acmDriverRemove(id_, 0)) << "an instance is open";
  HACMSTREAM closed = stream_;
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamClose(stream_, 0));
  stream_ = nullptr;
  DWORD out = 0;
  EXPECT_EQ(MMSYSERR_INVALHANDLE, acmStreamSize(closed, 100, &out, ACM_STREAMSIZEF_SOURCE));
  EXPECT_EQ(MMSYSERR_INVALHANDLE, acmStreamClose(closed, 0));
  EXPECT_EQ(MMSYSERR_INVALHANDLE, acmDriverClose(reinterpret_cast<HACMDRIVER>(&out), 0));
}

TEST_F(AcmLayer, SizesAndConversions) {
  Open();
  DWORD out = 0;
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamSize(stream_, 15000, &out, ACM_STREAMSIZEF_DESTINATION));
  EXPECT_EQ(1500u, out);
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamSize(stream_, 15, &out, ACM_STREAMSIZEF_SOURCE));
  EXPECT_EQ(150u, out);

  uint8_t src[64], dst[64];
  for (int i = 0; i < 64; ++i) src[i] = uint8_t(i);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = src;
  h.cbSrcLength = 40;
  h.pbDst = dst;
  h.cbDstLength = 64;
  EXPECT_EQ(ACMERR_UNPREPARED, acmStreamConvert(stream_, &h, 0));
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamPrepareHeader(stream_, &h, 0));
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamConvert(stream_, &h, ACM_STREAMCONVERTF_START));
  EXPECT_EQ(ACM_STREAMCONVERTF_START, g.lastFlags);
  EXPECT_EQ(40u, h.cbSrcLengthUsed);
  EXPECT_EQ(40u, h.cbDstLengthUsed);
  EXPECT_EQ(0, std::memcmp(src, dst, 40));
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);

  h.cbSrcLength = 50;  // more than prepared
  EXPECT_EQ(MMSYSERR_INVALPARAM, acmStreamConvert(stream_, &h, 0));
  h.cbSrcLength = 10;
  g.claimSrc = 30;  // a driver claiming bytes it was not given
  EXPECT_EQ(MMSYSERR_ERROR, acmStreamConvert(stream_, &h, ACM_STREAMCONVERTF_END));
  EXPECT_EQ(0u, h.cbSrcLengthUsed);
  EXPECT_EQ(0u, h.cbDstLengthUsed);
  EXPECT_EQ(MMSYSERR_INVALFLAG, acmStreamConvert(stream_, &h, 0x8000));
  ASSERT_EQ(MMSYSERR_NOERROR, acmStreamUnprepareHeader(stream_, &h, 0));
  EXPECT_EQ(ACMERR_UNPREPARED, acmStreamUnprepareHeader(stream_, &h, 0));
}

}  // namespace
