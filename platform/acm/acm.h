// A small audio codec layer: codec drivers added by their entry point,
// opened, and asked to convert buffers through the streams they open. It
// covers what the codec module calls and nothing more: drivers added as
// functions (no lookup among installed codecs), synchronous conversions, no
// callbacks and no filters.
//
// Every call answers an MMRESULT: MMSYSERR_NOERROR or the failure. Handles
// are checked: a stale or foreign handle answers MMSYSERR_INVALHANDLE.
// The calls are thread-safe; one stream is used by one thread at a time.
#pragma once

#include <cstdint>

#include "platform/acm/acm_driver.h"

struct HACMDRIVERID__;
struct HACMDRIVER__;
using HACMDRIVERID = HACMDRIVERID__*;
using HACMDRIVER = HACMDRIVER__*;

constexpr DWORD ACM_DRIVERADDF_FUNCTION = 0x00000003;

// fdwStatus bits of ACMSTREAMHEADER.
constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// The caller's side of one conversion. cbStruct must be sizeof(ACMSTREAMHEADER).
// The lengths given when preparing are the most a conversion may use.
struct ACMSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwStatus;
  uintptr_t dwUser;
  BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  uintptr_t dwSrcUser;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  uintptr_t dwDstUser;
  DWORD dwReservedDriver[10];
};

// Adds a driver by its entry point (flags ACM_DRIVERADDF_FUNCTION; the module
// handle is only remembered). Sends DRV_LOAD and DRV_ENABLE.
MMRESULT acmDriverAddA(HACMDRIVERID* id, void* module, DriverProcFn proc, intptr_t priority, DWORD flags);
// Removes an added driver that has no open instance: DRV_DISABLE, DRV_FREE.
MMRESULT acmDriverRemove(HACMDRIVERID id, DWORD flags);
MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, DWORD flags);
// Refused with ACMERR_BUSY while streams are open on the driver.
MMRESULT acmDriverClose(HACMDRIVER driver, DWORD flags);

// Opens a conversion from src to dst (each with its cbSize extra bytes, copied).
// With ACM_STREAMOPENF_QUERY only asks the driver; *stream may then be null.
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       const void* filter, uintptr_t callback, uintptr_t instance, DWORD flags);
// Closes the stream whatever the driver answers to its close message.
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
// ACM_STREAMSIZEF_SOURCE: output bytes for `input` source bytes;
// ACM_STREAMSIZEF_DESTINATION: source bytes that give `input` output bytes.
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// Converts synchronously; the used lengths are never above the given ones
// (a driver that claims more fails the call with nothing used).
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
