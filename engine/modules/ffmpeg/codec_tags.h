// Translations between FFmpeg codec ids and pixel formats, FOURCC codes of the
// codec table and DirectShow media types; the container codec-tag choice;
// the list of candidate media types used while negotiating.
// Results: bool, true when found or done.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/modules/codecs/audio_codec_core.h"
#include "platform/guid.h"
#include "platform/media_types.h"

struct AVFrame;

enum : uint32_t { CODEC_KIND_VIDEO = 0, CODEC_KIND_AUDIO = 1 };

struct CodecTagRow {
  uint32_t codecId;  // FFmpeg AVCodecID of the linked build
  uint32_t kind;     // CODEC_KIND_VIDEO or CODEC_KIND_AUDIO
  uint32_t fourcc;   // first character in the lowest byte
};

struct PixelFormatRow {
  int32_t pixelFormat;  // FFmpeg AVPixelFormat, -1 = none
  int32_t bitsPerPixel;
  uint32_t fourcc;
};

extern const CodecTagRow CodecTagTable[];
extern const int CodecTagTableCount;  // 70
extern const PixelFormatRow PixelFormatTable[];
extern const int PixelFormatTableCount;  // 8

// Lookups: true with their outputs written, false with nothing written.
// Beyond the table: WMA1 and WMA2 (Windows Media audio written by the ASF writer).
bool FindCodecIdByTag(uint32_t fourcc, int32_t* codecId);
bool FindCodecIdByMediaType(const AM_MEDIA_TYPE* mediaType, int32_t* codecId);
// majorAndSubtype[0] = major type, [1] = subtype (zero GUID when the codec table has none).
bool MediaTypeFromCodecId(int32_t codecId, GUID majorAndSubtype[2]);
bool FindPixelFormatByMediaType(const AM_MEDIA_TYPE* mediaType, int32_t* pixelFormat, int32_t* bitsPerPixel);
bool MediaTypeFromPixelFormat(int32_t pixelFormat, GUID majorAndSubtype[2], int32_t* bitsPerPixel);

// Adjusts the codec tag the muxer writes for a stream; tag arrives as the
// FOURCC of the stream's subtype. A tag the muxer would refuse for the codec
// becomes 0 (the muxer chooses).
void ChooseContainerCodecTag(const char* formatName, int32_t codecId, uint32_t* tag);

// The codec core of ours that decodes or encodes the codec id in place of FFmpeg's codec, if any.
std::optional<AudioCore> OwnAudioDecoderOf(int32_t codecId);
std::optional<AudioCore> OwnAudioEncoderOf(int32_t codecId);

bool IsPcmSubtype(const GUID& subtype);
bool IsRawPixelFormat(const GUID& subtype);

// A YUV420P picture laid over buffer; exchange swaps the chroma planes (YV12).
void WrapPictureBuffer(uint8_t* buffer, int width, int height, AVFrame* picture, int exchange);
// Copies a YUV420P picture into buffer when *capacity is large enough (then
// *capacity becomes the size used); otherwise writes nothing.
void CopyPictureToBuffer(const AVFrame* picture, int width, int height, uint8_t* buffer, int32_t* capacity,
                         int exchange);

// A growable list of media types it owns (task memory).
class CMediaTypeList {
 public:
  CMediaTypeList() = default;
  ~CMediaTypeList() { Clear(); }
  CMediaTypeList(const CMediaTypeList&) = delete;
  CMediaTypeList& operator=(const CMediaTypeList&) = delete;

  // Appends a copy of the type, or one copy per subtype the codec table lists
  // for it. false when memory ran out (the list stays consistent and holds
  // the copies made before).
  bool Add(const AM_MEDIA_TYPE* mediaType);
  void Clear();

  int32_t GetCount() const { return count_; }
  int32_t GetCapacity() const { return capacity_; }
  AM_MEDIA_TYPE* GetAt(int32_t index) const { return index >= 0 && index < count_ ? items_[index] : nullptr; }

 private:
  bool Append(AM_MEDIA_TYPE* type);  // takes ownership; frees it on failure

  AM_MEDIA_TYPE** items_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t elementWidth_ = sizeof(AM_MEDIA_TYPE*);
};
