// Media type records and the format blocks they carry, laid out as the
// system's media modules and stored files expect them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/guid.h"
#include "platform/win_types.h"

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// MPEG audio layer 1/2 (wFormatTag 0x50, cbSize 22) and layer 3 (0x55, cbSize 12) wave formats.
#pragma pack(push, 1)
struct MPEG1WAVEFORMAT {
  WAVEFORMATEX wfx;
  WORD fwHeadLayer;
  DWORD dwHeadBitrate;
  WORD fwHeadMode;
  WORD fwHeadModeExt;
  WORD wHeadEmphasis;
  WORD fwHeadFlags;
  DWORD dwPTSLow;
  DWORD dwPTSHigh;
};
struct MPEGLAYER3WAVEFORMAT {
  WAVEFORMATEX wfx;
  WORD wID;
  DWORD fdwFlags;
  WORD nBlockSize;
  WORD nFramesPerBlock;
  WORD nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(MPEG1WAVEFORMAT) == 40);
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  DWORD dwControlFlags;
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER2) == 112);
static_assert(offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);

struct MPEG1VIDEOINFO {
  VIDEOINFOHEADER hdr;
  DWORD dwStartTimeCode;
  DWORD cbSequenceHeader;
  BYTE bSequenceHeader[1];
};
static_assert(offsetof(MPEG1VIDEOINFO, cbSequenceHeader) == 92);
static_assert(offsetof(MPEG1VIDEOINFO, bSequenceHeader) == 96);
static_assert(sizeof(MPEG1VIDEOINFO) == 104);

struct MPEG2VIDEOINFO {
  VIDEOINFOHEADER2 hdr;
  DWORD dwStartTimeCode;
  DWORD cbSequenceHeader;
  DWORD dwProfile;
  DWORD dwLevel;
  DWORD dwFlags;
  DWORD dwSequenceHeader[1];
};
static_assert(offsetof(MPEG2VIDEOINFO, cbSequenceHeader) == 116);
static_assert(offsetof(MPEG2VIDEOINFO, dwSequenceHeader) == 132);
static_assert(sizeof(MPEG2VIDEOINFO) == 136);

struct IUnknown;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};
static_assert(offsetof(AM_MEDIA_TYPE, formattype) == 44);
static_assert(sizeof(void*) != 8 || sizeof(AM_MEDIA_TYPE) == 88);

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16);

constexpr WORD WAVE_FORMAT_PCM = 0x0001;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Major types.
constexpr GUID MEDIATYPE_Video = FourccGuid(MakeFourcc('v', 'i', 'd', 's'));
constexpr GUID MEDIATYPE_Audio = FourccGuid(MakeFourcc('a', 'u', 'd', 's'));
constexpr GUID MEDIATYPE_Text = FourccGuid(MakeFourcc('t', 'x', 't', 's'));
constexpr GUID MEDIATYPE_Stream = {0xE436EB83, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIATYPE_Subtitle = {0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};

// Format types.
constexpr GUID FORMAT_None = {0x0F6417D6, 0xC318, 0x11D0, {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr GUID FORMAT_VideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID FORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID FORMAT_MPEGVideo = {0x05589F82, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID FORMAT_VideoInfo2 = {0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr GUID FORMAT_MPEG2Video = {0xE06D80E3, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
// Vorbis block: channels, rate, bits, the three header sizes (int32 each), then the headers.
constexpr GUID FORMAT_VorbisFormat = {0xB36E107F, 0xA938, 0x4387, {0x93, 0xC7, 0x55, 0xE9, 0x66, 0x75, 0x74, 0x73}};
// DVD subpicture streams (4-byte block).
constexpr GUID FORMAT_SubpictureInfo = {0xA33D2F7D, 0x96BC, 0x4337, {0xB2, 0x3B, 0xA8, 0xB9, 0xFB, 0xC2, 0x95, 0xE9}};

// Subtypes.
constexpr GUID MEDIASUBTYPE_PCM = FourccGuid(WAVE_FORMAT_PCM);
constexpr GUID MEDIASUBTYPE_IEEE_FLOAT = FourccGuid(WAVE_FORMAT_IEEE_FLOAT);
constexpr GUID MEDIASUBTYPE_YV12 = FourccGuid(MakeFourcc('Y', 'V', '1', '2'));
constexpr GUID MEDIASUBTYPE_I420 = FourccGuid(MakeFourcc('I', '4', '2', '0'));
constexpr GUID MEDIASUBTYPE_IYUV = FourccGuid(MakeFourcc('I', 'Y', 'U', 'V'));
constexpr GUID MEDIASUBTYPE_YUY2 = FourccGuid(MakeFourcc('Y', 'U', 'Y', '2'));
constexpr GUID MEDIASUBTYPE_UYVY = FourccGuid(MakeFourcc('U', 'Y', 'V', 'Y'));
constexpr GUID MEDIASUBTYPE_NV12 = FourccGuid(MakeFourcc('N', 'V', '1', '2'));
constexpr GUID MEDIASUBTYPE_YUYV = FourccGuid(MakeFourcc('Y', 'U', 'Y', 'V'));
constexpr GUID MEDIASUBTYPE_RGB8 = {0xE436EB7A, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_RGB565 = {0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_RGB555 = {0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_RGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_RGB32 = {0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_ARGB32 = {0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}};
constexpr GUID MEDIASUBTYPE_MPEG1Packet = {
    0xE436EB80, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_MPEG1Payload = {
    0xE436EB81, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_MPEG1Video = {0xE436EB86, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_MPEG1Audio = {0xE436EB87, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = {
    0xE06D8026, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = {
    0xE06D802B, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr GUID MEDIASUBTYPE_DOLBY_AC3 = {0xE06D802C, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr GUID MEDIASUBTYPE_DVD_SUBPICTURE = {
    0xE06D802D, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
constexpr GUID MEDIASUBTYPE_DVD_LPCM_AUDIO = {
    0xE06D8032, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};

constexpr GUID TIME_FORMAT_MEDIA_TIME = {0x7B785574, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
