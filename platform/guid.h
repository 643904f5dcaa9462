// GUIDs, with the FOURCC form used for media subtypes.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/win_types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
  friend bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const GUID&;

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// {XXXXXXXX-0000-0010-8000-00AA00389B71}: a subtype that carries a FOURCC (or a wave format tag).
constexpr GUID FourccGuid(FOURCC fcc) {
  return GUID{fcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// True when the GUID has the FOURCC form; its Data1 is then the FOURCC.
inline bool IsFourccGuid(const GUID& g) {
  const GUID base = FourccGuid(0);
  return g.Data2 == base.Data2 && g.Data3 == base.Data3 && std::memcmp(g.Data4, base.Data4, 8) == 0;
}
