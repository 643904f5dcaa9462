// Basic Windows-style types and result codes used throughout the system.
#pragma once

#include <cstdint>

using HRESULT = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using REFERENCE_TIME = int64_t;  // 100-ns units
using FOURCC = uint32_t;

constexpr HRESULT MakeHResult(uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);

constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHResult(0x00040103u);
constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHResult(0x0004022Du);
constexpr HRESULT VFW_S_PARTIAL_RENDER = MakeHResult(0x00040242u);
constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHResult(0x00040270u);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHResult(0x80040200u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHResult(0x80040207u);
constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHResult(0x80040211u);
constexpr HRESULT VFW_E_SIZENOTSET = MakeHResult(0x80040212u);
// Windows-style fault codes reported for fatal signals.
constexpr HRESULT STATUS_ACCESS_VIOLATION = MakeHResult(0xC0000005u);
constexpr HRESULT STATUS_INTEGER_DIVIDE_BY_ZERO = MakeHResult(0xC0000094u);
constexpr HRESULT STATUS_ILLEGAL_INSTRUCTION = MakeHResult(0xC000001Du);
constexpr HRESULT STATUS_STACK_BUFFER_OVERRUN = MakeHResult(0xC0000409u);  // abort
constexpr HRESULT STATUS_CONTROL_C_EXIT = MakeHResult(0xC000013Au);        // ended by SIGTERM or SIGINT

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr FOURCC MakeFourcc(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<uint8_t>(a)) | (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) | (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}
// The code of a four-letter text: MakeFourcc("MPG2").
constexpr FOURCC MakeFourcc(const char (&s)[5]) { return MakeFourcc(s[0], s[1], s[2], s[3]); }

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
static_assert(sizeof(RECT) == 16);
