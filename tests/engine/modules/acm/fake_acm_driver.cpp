#include "tests/engine/modules/acm/fake_acm_driver.h"

#include <algorithm>
#include <cstring>

#include "platform/acm/acm_driver.h"

namespace {

FakeAcmControl g_control{};

MMRESULT Convert(ACMDRVSTREAMHEADER* h) {
  ++g_control.converts;
  g_control.lastSource = h->cbSrcLength;
  if (h->fdwConvert & ACM_STREAMCONVERTF_START) ++g_control.starts;
  if (h->fdwConvert & ACM_STREAMCONVERTF_END) ++g_control.ends;
  if (g_control.failConvert) return ACMERR_NOTPOSSIBLE;
  if (g_control.stall) return MMSYSERR_NOERROR;
  const DWORD n = std::min(h->cbSrcLength, h->cbDstLength / 2);
  for (DWORD i = 0; i < n; ++i) {
    h->pbDst[2 * i] = h->pbSrc[i];
    h->pbDst[2 * i + 1] = 0;
  }
  h->cbSrcLengthUsed = n;
  h->cbDstLengthUsed = 2 * n;
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) FakeAcmControl* FakeAcmControlBlock() { return &g_control; }

extern "C" __attribute__((visibility("default"))) intptr_t DriverProc(uintptr_t, void*, uint32_t message,
                                                                      intptr_t param1, intptr_t param2) {
  auto* s = reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1);
  switch (message) {
    case DRV_OPEN:
      return 1;
    case ACMDM_STREAM_OPEN:
      if (g_control.refuseOpen || s->pwfxSrc->wFormatTag != kFakeAcmTag) return ACMERR_NOTPOSSIBLE;
      if (!(s->fdwOpen & ACM_STREAMOPENF_QUERY)) ++g_control.opens;
      return MMSYSERR_NOERROR;
    case ACMDM_STREAM_CLOSE:
      ++g_control.closes;
      return MMSYSERR_NOERROR;
    case ACMDM_STREAM_SIZE: {
      auto* size = reinterpret_cast<ACMDRVSTREAMSIZE*>(param2);
      if (g_control.sizeAnswer == 0) return ACMERR_NOTPOSSIBLE;
      size->cbSrcLength = g_control.sizeAnswer;
      return MMSYSERR_NOERROR;
    }
    case ACMDM_STREAM_CONVERT:
      return Convert(reinterpret_cast<ACMDRVSTREAMHEADER*>(param2));
    case ACMDM_STREAM_PREPARE:
    case ACMDM_STREAM_UNPREPARE:
      return MMSYSERR_NOTSUPPORTED;
    default:
      return 1;
  }
}
