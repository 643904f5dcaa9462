#include "platform/acm/acm.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

struct HACMDRIVERID__ {
  DriverProcFn proc = nullptr;
  void* module = nullptr;
  int opens = 0;
};

struct HACMDRIVER__ {
  HACMDRIVERID__* id = nullptr;
  uintptr_t instance = 0;
  int streams = 0;
};

struct HACMSTREAM__ {
  HACMDRIVER__* driver = nullptr;
  std::vector<uint8_t> src;  // WAVEFORMATEX and its extra bytes
  std::vector<uint8_t> dst;
  ACMDRVSTREAMINSTANCE instance{};
};

namespace {

// Live handles, so that a stale one is refused instead of followed.
struct Handles {
  std::mutex lock;
  std::unordered_set<const void*> ids, drivers, streams;
};

Handles& Live() {
  static Handles handles;
  return handles;
}

// Where prepare keeps its notes in the caller's header.
enum : size_t { kPreparedSrc = 0, kPreparedDst = 1, kDriverLow = 2, kDriverHigh = 3 };

bool ValidStream(HACMSTREAM stream) {
  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  return stream != nullptr && h.streams.count(stream) != 0;
}

std::vector<uint8_t> CopyFormat(const WAVEFORMATEX* format) {
  const size_t size = sizeof(WAVEFORMATEX) + (format->wFormatTag == WAVE_FORMAT_PCM ? 0 : format->cbSize);
  std::vector<uint8_t> copy(size);
  std::memcpy(copy.data(), format, size);
  if (format->wFormatTag == WAVE_FORMAT_PCM) {
    WAVEFORMATEX* pcm = reinterpret_cast<WAVEFORMATEX*>(copy.data());
    pcm->cbSize = 0;  // PCM carries no extra bytes, whatever the field says
  }
  return copy;
}

intptr_t Send(HACMDRIVER driver, uint32_t message, intptr_t param1, intptr_t param2) {
  return driver->id->proc(driver->instance, driver, message, param1, param2);
}

ACMDRVSTREAMHEADER DriverHeader(const ACMSTREAMHEADER* header, DWORD flags) {
  ACMDRVSTREAMHEADER d{};
  d.cbStruct = sizeof d;
  d.fdwConvert = flags;
  d.pbSrc = header->pbSrc;
  d.cbSrcLength = header->cbSrcLength;
  d.pbDst = header->pbDst;
  d.cbDstLength = header->cbDstLength;
  d.dwDriver = static_cast<uintptr_t>(header->dwReservedDriver[kDriverLow]) |
               (static_cast<uintptr_t>(header->dwReservedDriver[kDriverHigh]) << 32);
  return d;
}

void KeepDriverWord(ACMSTREAMHEADER* header, uintptr_t word) {
  header->dwReservedDriver[kDriverLow] = static_cast<DWORD>(word & 0xFFFFFFFFu);
  header->dwReservedDriver[kDriverHigh] = static_cast<DWORD>(static_cast<uint64_t>(word) >> 32);
}

}  // namespace

MMRESULT acmDriverAddA(HACMDRIVERID* id, void* module, DriverProcFn proc, intptr_t /*priority*/, DWORD flags) {
  if (!id) return MMSYSERR_INVALPARAM;
  *id = nullptr;
  if (flags != ACM_DRIVERADDF_FUNCTION) return MMSYSERR_INVALFLAG;
  if (!proc) return MMSYSERR_INVALPARAM;
  if (proc(0, nullptr, DRV_LOAD, 0, 0) == 0) return MMSYSERR_ERROR;
  proc(0, nullptr, DRV_ENABLE, 0, 0);
  auto* entry = new (std::nothrow) HACMDRIVERID__{proc, module, 0};
  if (!entry) {
    proc(0, nullptr, DRV_DISABLE, 0, 0);
    proc(0, nullptr, DRV_FREE, 0, 0);
    return MMSYSERR_ERROR;
  }
  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  h.ids.insert(entry);
  *id = entry;
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverRemove(HACMDRIVERID id, DWORD /*flags*/) {
  Handles& h = Live();
  {
    std::lock_guard<std::mutex> guard(h.lock);
    if (!id || h.ids.count(id) == 0) return MMSYSERR_INVALHANDLE;
    if (id->opens > 0) return ACMERR_BUSY;
    h.ids.erase(id);
  }
  id->proc(0, nullptr, DRV_DISABLE, 0, 0);
  id->proc(0, nullptr, DRV_FREE, 0, 0);
  delete id;
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, DWORD /*flags*/) {
  if (!driver) return MMSYSERR_INVALPARAM;
  *driver = nullptr;
  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  if (!id || h.ids.count(id) == 0) return MMSYSERR_INVALHANDLE;
  auto* open = new (std::nothrow) HACMDRIVER__{id, 0, 0};
  if (!open) return MMSYSERR_ERROR;
  const intptr_t instance = id->proc(0, open, DRV_OPEN, 0, 0);
  if (instance == 0) {
    delete open;
    return MMSYSERR_ERROR;
  }
  open->instance = static_cast<uintptr_t>(instance);
  ++id->opens;
  h.drivers.insert(open);
  *driver = open;
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER driver, DWORD /*flags*/) {
  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  if (!driver || h.drivers.count(driver) == 0) return MMSYSERR_INVALHANDLE;
  if (driver->streams > 0) return ACMERR_BUSY;
  Send(driver, DRV_CLOSE, 0, 0);
  h.drivers.erase(driver);
  --driver->id->opens;
  delete driver;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       const void* filter, uintptr_t callback, uintptr_t instance, DWORD flags) {
  const bool query = (flags & ACM_STREAMOPENF_QUERY) != 0;
  if (stream) *stream = nullptr;
  if (!src || !dst || (!stream && !query)) return MMSYSERR_INVALPARAM;
  if (filter || callback) return MMSYSERR_NOTSUPPORTED;  // neither filters nor callbacks here
  if ((flags & ~ACM_STREAMOPENF_QUERY) != 0) return MMSYSERR_INVALFLAG;

  std::unique_ptr<HACMSTREAM__> s(new (std::nothrow) HACMSTREAM__);
  if (!s) return MMSYSERR_ERROR;
  s->src = CopyFormat(src);
  s->dst = CopyFormat(dst);
  s->driver = driver;
  ACMDRVSTREAMINSTANCE& i = s->instance;
  i.cbStruct = sizeof i;
  i.pwfxSrc = reinterpret_cast<const WAVEFORMATEX*>(s->src.data());
  i.pwfxDst = reinterpret_cast<const WAVEFORMATEX*>(s->dst.data());
  i.dwInstance = instance;
  i.fdwOpen = flags;
  i.has = s.get();

  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  if (!driver || h.drivers.count(driver) == 0) return MMSYSERR_INVALHANDLE;
  const auto result = static_cast<MMRESULT>(Send(driver, ACMDM_STREAM_OPEN, reinterpret_cast<intptr_t>(&i), 0));
  if (result != MMSYSERR_NOERROR || query) return result;
  ++driver->streams;
  h.streams.insert(s.get());
  *stream = s.release();
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD /*flags*/) {
  Handles& h = Live();
  std::lock_guard<std::mutex> guard(h.lock);
  if (!stream || h.streams.count(stream) == 0) return MMSYSERR_INVALHANDLE;
  // The stream goes whatever the driver answers: nothing could use it again.
  Send(stream->driver, ACMDM_STREAM_CLOSE, reinterpret_cast<intptr_t>(&stream->instance), 0);
  h.streams.erase(stream);
  --stream->driver->streams;
  delete stream;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
  if (!output) return MMSYSERR_INVALPARAM;
  *output = 0;
  if (flags != ACM_STREAMSIZEF_SOURCE && flags != ACM_STREAMSIZEF_DESTINATION) return MMSYSERR_INVALFLAG;
  if (!ValidStream(stream)) return MMSYSERR_INVALHANDLE;
  ACMDRVSTREAMSIZE size{};
  size.cbStruct = sizeof size;
  size.fdwSize = flags;
  if (flags == ACM_STREAMSIZEF_SOURCE)
    size.cbSrcLength = input;
  else
    size.cbDstLength = input;
  const auto result =
      static_cast<MMRESULT>(Send(stream->driver, ACMDM_STREAM_SIZE, reinterpret_cast<intptr_t>(&stream->instance),
                                 reinterpret_cast<intptr_t>(&size)));
  if (result != MMSYSERR_NOERROR) return result;
  *output = flags == ACM_STREAMSIZEF_SOURCE ? size.cbDstLength : size.cbSrcLength;
  return *output == 0 ? ACMERR_NOTPOSSIBLE : MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD /*flags*/) {
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst)
    return MMSYSERR_INVALPARAM;
  if (!ValidStream(stream)) return MMSYSERR_INVALHANDLE;
  if (header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_NOERROR;
  KeepDriverWord(header, 0);
  ACMDRVSTREAMHEADER d = DriverHeader(header, 0);
  const auto result =
      static_cast<MMRESULT>(Send(stream->driver, ACMDM_STREAM_PREPARE, reinterpret_cast<intptr_t>(&stream->instance),
                                 reinterpret_cast<intptr_t>(&d)));
  if (result != MMSYSERR_NOERROR && result != MMSYSERR_NOTSUPPORTED) return result;
  header->dwReservedDriver[kPreparedSrc] = header->cbSrcLength;
  header->dwReservedDriver[kPreparedDst] = header->cbDstLength;
  KeepDriverWord(header, d.dwDriver);
  header->fdwStatus = (header->fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD /*flags*/) {
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!ValidStream(stream)) return MMSYSERR_INVALHANDLE;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  ACMDRVSTREAMHEADER d = DriverHeader(header, 0);
  Send(stream->driver, ACMDM_STREAM_UNPREPARE, reinterpret_cast<intptr_t>(&stream->instance),
       reinterpret_cast<intptr_t>(&d));
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  KeepDriverWord(header, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) {
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  constexpr DWORD known = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;
  if (flags & ~known) return MMSYSERR_INVALFLAG;
  if (!ValidStream(stream)) return MMSYSERR_INVALHANDLE;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  header->cbSrcLengthUsed = 0;
  header->cbDstLengthUsed = 0;
  if (header->cbSrcLength > header->dwReservedDriver[kPreparedSrc] ||
      header->cbDstLength > header->dwReservedDriver[kPreparedDst])
    return MMSYSERR_INVALPARAM;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  ACMDRVSTREAMHEADER d = DriverHeader(header, flags);
  const auto result =
      static_cast<MMRESULT>(Send(stream->driver, ACMDM_STREAM_CONVERT, reinterpret_cast<intptr_t>(&stream->instance),
                                 reinterpret_cast<intptr_t>(&d)));
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  if (result != MMSYSERR_NOERROR) return result;
  if (d.cbSrcLengthUsed > header->cbSrcLength || d.cbDstLengthUsed > header->cbDstLength) return MMSYSERR_ERROR;
  header->cbSrcLengthUsed = d.cbSrcLengthUsed;
  header->cbDstLengthUsed = d.cbDstLengthUsed;
  return MMSYSERR_NOERROR;
}
