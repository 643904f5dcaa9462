// Types, codes and small helpers of the in-process filter-graph layer: pin
// directions, filter states, event codes, seeking flags, the result codes the
// layer answers, wide texts, and media-type copies in task memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/guid.h"
#include "platform/media_types.h"
#include "platform/win_types.h"

using WCHAR = char16_t;
using REFTIME = double;  // seconds

enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

constexpr size_t MAX_PIN_NAME = 128;
constexpr size_t MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
  IBaseFilter* pFilter;  // holds a reference
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;  // holds a reference when not null
};

// Result codes (the layer's own use of the standard numbers).
constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeHResult(0x80040201u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHResult(0x80040204u);
constexpr HRESULT VFW_E_NO_TYPES = MakeHResult(0x80040206u);
constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHResult(0x80040208u);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHResult(0x80040209u);
constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHResult(0x8004020Au);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHResult(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217u);
constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHResult(0x80040218u);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHResult(0x80040224u);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHResult(0x80040227u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHResult(0x8004022Au);
constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeHResult(0x8004022Cu);
constexpr HRESULT VFW_E_CIRCULAR_GRAPH = MakeHResult(0x80040231u);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHResult(0x00040237u);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHResult(0x80040240u);
constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = MakeHResult(0x80040241u);
constexpr HRESULT VFW_E_NO_TIME_FORMAT_SET = MakeHResult(0x80040252u);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHResult(0x8004025Fu);
constexpr HRESULT MK_E_SYNTAX = MakeHResult(0x800401E4u);
constexpr HRESULT MK_E_NOOBJECT = MakeHResult(0x800401E5u);

// Graph events (IMediaEvent codes).
constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG EC_USERABORT = 0x02;
constexpr LONG EC_ERRORABORT = 0x03;
constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;

// IMediaSeeking capabilities and positioning flags.
constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
constexpr DWORD AM_SEEKING_NoPositioning = 0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
constexpr DWORD AM_SEEKING_RelativePositioning = 2;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 4;

// File sink modes.
constexpr DWORD AM_FILE_OVERWRITE = 1;

// IAMFilterMiscFlags: a filter that ends streams and reports their completion.
constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 1;
constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 2;

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

// Media types in task memory (format block and record).
// Copies every field and gives dst its own format block; false when memory
// runs out (dst then has no block). dst's old block is not freed.
bool DsCopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees the format block; the record keeps its other fields.
void DsFreeMediaType(AM_MEDIA_TYPE* mt);
// A new task-memory record copied from src (zeroed when src is null); null when memory runs out.
AM_MEDIA_TYPE* DsCreateMediaType(const AM_MEDIA_TYPE* src);
// Frees the block and the record; null does nothing.
void DsDeleteMediaType(AM_MEDIA_TYPE* mt);
// Same major type, subtype and format type, and the same format bytes.
bool DsEqualMediaType(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b);
// A type "matches" a partial type whose GUID_NULL fields stand for any value.
bool DsMatchesPartialType(const AM_MEDIA_TYPE* type, const GUID& major, const GUID& subtype);

// Wide texts: bounded copies (always terminated), a task-memory copy, and
// conversions to and from UTF-8.
void DsCopyName(WCHAR* dst, size_t capacity, const WCHAR* src);
WCHAR* DsTaskString(const WCHAR* src);
std::u16string DsWide(const char* utf8);
std::string DsNarrow(const WCHAR* text);
size_t DsLength(const WCHAR* text);
bool DsEqualNoCase(const WCHAR* a, const WCHAR* b);
