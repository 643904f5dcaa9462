// The Windows Media profile runtime of this system: profiles (a list of
// stream configurations: number, names, bit rate, media type, and for video
// quality and key-frame spacing) and the codec catalogue they are built from.
// The catalogue holds only what this system can encode (FFmpeg's Windows
// Media encoders) with a fixed table of formats; a codec it lacks simply has
// no entry. The calls follow the format runtime's profile manager and codec
// information; the objects are plain values.
// Results: S_OK or a failure code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dshow/dshow_interfaces.h"

constexpr uint32_t WMT_VER_9_0 = 0x00090000;
// No audio or video format of the wanted kind.
constexpr HRESULT NS_E_AUDIO_CODEC_NOT_INSTALLED = MakeHResult(0xC00D0BC2u);
constexpr HRESULT NS_E_VIDEO_CODEC_NOT_INSTALLED = MakeHResult(0xC00D0BC4u);
// A stream number outside 1..127, taken twice, or not in the profile.
constexpr HRESULT NS_E_INVALID_STREAM = MakeHResult(0xC00D002Fu);
constexpr int32_t kMaxWmStreamNumber = 127;

class CWMStreamConfig {
 public:
  CWMStreamConfig();
  ~CWMStreamConfig();
  CWMStreamConfig(const CWMStreamConfig& other);
  CWMStreamConfig& operator=(const CWMStreamConfig& other);

  const GUID& StreamType() const { return type_.majortype; }
  int32_t StreamNumber() const { return number_; }
  void SetStreamNumber(int32_t number) { number_ = number; }
  const std::string& StreamName() const { return name_; }
  void SetStreamName(const std::string& name) { name_ = name; }
  const std::string& ConnectionName() const { return connection_; }
  void SetConnectionName(const std::string& name) { connection_ = name; }
  uint32_t Bitrate() const { return bitrate_; }
  void SetBitrate(uint32_t bitrate) { bitrate_ = bitrate; }
  // IWMMediaProps: the stream's type (deep copies).
  const AM_MEDIA_TYPE& MediaType() const { return type_; }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
  // IWMVideoMediaProps.
  uint32_t Quality() const { return quality_; }
  void SetQuality(uint32_t quality) { quality_ = quality; }
  int64_t MaxKeyFrameSpacing() const { return keySpacing_; }  // 100 ns
  void SetMaxKeyFrameSpacing(int64_t spacing) { keySpacing_ = spacing; }

  // The stream's WAVEFORMATEX or VIDEOINFOHEADER, null when it has another format.
  const WAVEFORMATEX* Wave() const;
  const VIDEOINFOHEADER* VideoInfo() const;

 private:
  AM_MEDIA_TYPE type_{};
  int32_t number_ = 0;
  std::string name_;
  std::string connection_;
  uint32_t bitrate_ = 0;
  uint32_t quality_ = 0;
  int64_t keySpacing_ = 0;
};

class CWMProfile {
 public:
  uint32_t Version() const { return version_; }
  void SetVersion(uint32_t version) { version_ = version; }
  int32_t StreamCount() const { return static_cast<int32_t>(streams_.size()); }
  const CWMStreamConfig& Stream(int32_t index) const { return streams_[static_cast<size_t>(index)]; }

  // A new configuration of the type whose number is the next free one (it
  // may lie above 127 when the profile is full); it is not added.
  HRESULT CreateNewStream(const GUID& majorType, CWMStreamConfig* out) const;
  // Adds a copy; NS_E_INVALID_STREAM for a number outside 1..127 or taken.
  HRESULT AddStream(const CWMStreamConfig& config);
  // Replaces the stream of the same number; NS_E_INVALID_STREAM when there is none.
  HRESULT ReconfigStream(const CWMStreamConfig& config);

 private:
  uint32_t version_ = 0;
  std::vector<CWMStreamConfig> streams_;
};

class CWMProfileManager {
 public:
  HRESULT CreateEmptyProfile(uint32_t version, CWMProfile* out) const;

  // Codec information (by major type: MEDIATYPE_Audio or MEDIATYPE_Video).
  uint32_t GetCodecInfoCount(const GUID& major) const;
  std::string GetCodecName(const GUID& major, uint32_t codec) const;
  uint32_t GetCodecFormatCount(const GUID& major, uint32_t codec) const;
  // The format's configuration (type, bit rate) and its description.
  HRESULT GetCodecFormatDesc(const GUID& major, uint32_t codec, uint32_t format, CWMStreamConfig* out,
                             std::string* description) const;
  // Enumeration settings ("_VBRENABLED", "_PASSESUSED"): kept, no format depends on them here.
  HRESULT SetCodecEnumerationSetting(const GUID& major, uint32_t codec, const char* name, uint32_t value);

  // The profile as text; length in characters with its terminator. text
  // null: only the length. E_INVALIDARG when the room is too small.
  HRESULT SaveProfile(const CWMProfile& profile, char* text, uint32_t* length) const;

 private:
  std::vector<std::pair<std::string, uint32_t>> settings_;
};

// The FFmpeg encoder for a Windows Media audio tag or video compression of
// the catalogue; null when this system has none.
const char* WmEncoderForWaveTag(uint32_t tag);
const char* WmEncoderForCompression(uint32_t fourcc);

// IConfigAsfWriter: hands a profile to the ASF writer filter, which makes its
// input pins from it. {45086030-F7E4-486A-B504-826BB5792A3B}
constexpr IID IID_IConfigAsfWriter = {0x45086030, 0xF7E4, 0x486A, {0xB5, 0x04, 0x82, 0x6B, 0xB5, 0x79, 0x2A, 0x3B}};
struct IConfigAsfWriter : IUnknown {
  virtual HRESULT ConfigureFilterUsingProfile(const CWMProfile* profile) = 0;

 protected:
  ~IConfigAsfWriter() = default;
};
