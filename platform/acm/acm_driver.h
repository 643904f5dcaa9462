// The driver side of the audio codec layer: the one entry point a codec
// driver exports ("DriverProc"), the messages the layer sends it and the
// structures those messages carry. A driver is a shared object of its own;
// it needs nothing but this header and the wave format of media_types.h.
//
// Every message is (driver id, driver handle, message, param1, param2); the
// driver answers with an intptr_t: 1 / nonzero for the DRV_* messages that
// succeed, else an MMRESULT (0 success).
#pragma once

#include <cstdint>

#include "platform/media_types.h"
#include "platform/win_types.h"

using MMRESULT = uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;  // the driver cannot do this conversion
constexpr MMRESULT ACMERR_BUSY = 513;         // streams or drivers still open on it
constexpr MMRESULT ACMERR_UNPREPARED = 514;   // header not prepared

using DriverProcFn = intptr_t (*)(uintptr_t driverId, void* driver, uint32_t message, intptr_t param1, intptr_t param2);
constexpr const char* kDriverProcName = "DriverProc";

// Messages. The driver id is 0 for DRV_LOAD, DRV_ENABLE, DRV_DISABLE, DRV_FREE
// and DRV_OPEN; afterwards it is the instance id DRV_OPEN returned.
enum : uint32_t {
  DRV_LOAD = 1,     // answer nonzero to be used
  DRV_ENABLE = 2,   //
  DRV_OPEN = 3,     // answer the instance id (nonzero), 0 refuses
  DRV_CLOSE = 4,    // answer nonzero
  DRV_DISABLE = 5,  //
  DRV_FREE = 6,     //
  // param1: ACMDRVSTREAMINSTANCE*; answers an MMRESULT.
  ACMDM_STREAM_OPEN = 0x4000 + 76,       // a query when fdwOpen has ACM_STREAMOPENF_QUERY
  ACMDM_STREAM_CLOSE = 0x4000 + 77,      //
  ACMDM_STREAM_SIZE = 0x4000 + 78,       // param2: ACMDRVSTREAMSIZE*
  ACMDM_STREAM_CONVERT = 0x4000 + 79,    // param2: ACMDRVSTREAMHEADER*
  ACMDM_STREAM_PREPARE = 0x4000 + 81,    // param2: ACMDRVSTREAMHEADER*; MMSYSERR_NOTSUPPORTED = nothing to do
  ACMDM_STREAM_UNPREPARE = 0x4000 + 82,  // param2: ACMDRVSTREAMHEADER*; likewise
};

// Flags.
constexpr DWORD ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;       // how many output bytes this input gives
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x00000001;  // how many input bytes give this output
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_START = 0x00000010;  // first conversion of the stream
constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;    // no more input: give out what is held

struct HACMSTREAM__;
using HACMSTREAM = HACMSTREAM__*;

// One open stream as the driver sees it. The formats belong to the layer and
// live as long as the stream (with their cbSize extra bytes). The driver may
// keep its own state in dwDriver.
struct ACMDRVSTREAMINSTANCE {
  DWORD cbStruct;
  const WAVEFORMATEX* pwfxSrc;
  const WAVEFORMATEX* pwfxDst;
  const void* pwfltr;
  uintptr_t dwCallback;
  uintptr_t dwInstance;
  DWORD fdwOpen;
  DWORD fdwDriver;
  uintptr_t dwDriver;
  HACMSTREAM has;
};

struct ACMDRVSTREAMSIZE {
  DWORD cbStruct;
  DWORD fdwSize;      // ACM_STREAMSIZEF_*
  DWORD cbSrcLength;  // given or answered
  DWORD cbDstLength;  // given or answered
};

// One conversion: the driver reads up to cbSrcLength bytes and writes up to
// cbDstLength bytes, and reports what it used in the two *Used fields.
struct ACMDRVSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwConvert;  // ACM_STREAMCONVERTF_*
  const BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  uintptr_t dwDriver;  // the driver's own, kept from prepare to unprepare
};
