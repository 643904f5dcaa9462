#include "engine/modules/dshow/wm_profile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plugin-api/media_type_helpers.h"

namespace {

// One audio format of the table: rate, channels, bit rate in kbit/s, and
// whether it is the variant meant for audio with video.
struct AudioFormat {
  uint32_t rate;
  uint16_t channels;
  uint32_t kbps;
};

// The formats every Windows Media audio codec of the catalogue offers, each
// once for audio alone and once for audio with video. The encoder needs at
// least 24 kbit/s.
constexpr AudioFormat kAudioFormats[] = {
    {48000, 2, 320}, {48000, 2, 256}, {48000, 2, 192}, {48000, 2, 160}, {48000, 2, 128}, {44100, 2, 320},
    {44100, 2, 256}, {44100, 2, 192}, {44100, 2, 160}, {44100, 2, 128}, {44100, 2, 96},  {44100, 2, 80},
    {44100, 2, 64},  {44100, 2, 48},  {44100, 1, 64},  {44100, 1, 48},  {32000, 2, 64},  {32000, 2, 48},
    {32000, 2, 40},  {32000, 1, 32},  {22050, 2, 32},  {22050, 1, 32},  {22050, 1, 24},  {16000, 1, 24},
};
constexpr size_t kAudioFormatCount = sizeof(kAudioFormats) / sizeof(kAudioFormats[0]);

struct AudioCodec {
  const char* name;
  uint16_t tag;
  const char* encoder;
};
constexpr AudioCodec kAudioCodecs[] = {
    {"Windows Media Audio 9.2", 0x161, "wmav2"},
    {"Windows Media Audio V1", 0x160, "wmav1"},
};

struct VideoCodec {
  const char* name;
  uint32_t fourcc;
  const char* encoder;
};
constexpr VideoCodec kVideoCodecs[] = {
    {"Windows Media Video 8", MakeFourcc("WMV2"), "wmv2"},
    {"Windows Media Video 7", MakeFourcc("WMV1"), "wmv1"},
};

// The stored bit rate of a format: a few bytes a second above the nominal one.
uint32_t AverageBytes(uint32_t kbps) { return kbps * 125 + (kbps >= 64 ? 2 : 1); }

void MakeAudioType(const AudioFormat& f, uint16_t tag, AM_MEDIA_TYPE* mt) {
  InitMediaType(mt);
  mt->majortype = MEDIATYPE_Audio;
  mt->subtype = FourccGuid(tag);
  mt->formattype = FORMAT_WaveFormatEx;
  mt->bFixedSizeSamples = 1;
  if (!AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX))) return;
  auto* w = reinterpret_cast<WAVEFORMATEX*>(mt->pbFormat);
  w->wFormatTag = tag;
  w->nChannels = f.channels;
  w->nSamplesPerSec = f.rate;
  w->nAvgBytesPerSec = AverageBytes(f.kbps);
  w->nBlockAlign = static_cast<WORD>(std::min<uint32_t>(AverageBytes(f.kbps) * 2048 / f.rate, 0xFFFF));
  w->wBitsPerSample = 16;
  mt->lSampleSize = w->nBlockAlign;
}

void MakeVideoType(uint32_t fourcc, AM_MEDIA_TYPE* mt) {
  InitMediaType(mt);
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = FourccGuid(fourcc);
  mt->formattype = FORMAT_VideoInfo;
  mt->bTemporalCompression = 1;
  if (!AllocMediaTypeFormat(mt, sizeof(VIDEOINFOHEADER))) return;
  auto* v = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
  v->rcSource = RECT{0, 0, 320, 240};
  v->rcTarget = v->rcSource;
  v->dwBitRate = 300000;
  v->AvgTimePerFrame = 333333;
  v->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  v->bmiHeader.biWidth = 320;
  v->bmiHeader.biHeight = 240;
  v->bmiHeader.biPlanes = 1;
  v->bmiHeader.biBitCount = 24;
  v->bmiHeader.biCompression = fourcc;
}

}  // namespace

const char* WmEncoderForWaveTag(uint32_t tag) {
  for (const AudioCodec& c : kAudioCodecs)
    if (c.tag == tag) return c.encoder;
  return nullptr;
}

const char* WmEncoderForCompression(uint32_t fourcc) {
  for (const VideoCodec& c : kVideoCodecs)
    if (c.fourcc == fourcc) return c.encoder;
  return nullptr;
}

// ---------------------------------------------------------------------------
// CWMStreamConfig

CWMStreamConfig::CWMStreamConfig() { InitMediaType(&type_); }

CWMStreamConfig::~CWMStreamConfig() { ClearMediaTypeFormat(&type_); }

CWMStreamConfig::CWMStreamConfig(const CWMStreamConfig& other) {
  InitMediaType(&type_);
  *this = other;
}

CWMStreamConfig& CWMStreamConfig::operator=(const CWMStreamConfig& other) {
  if (this == &other) return *this;
  SetMediaType(&other.type_);
  number_ = other.number_;
  name_ = other.name_;
  connection_ = other.connection_;
  bitrate_ = other.bitrate_;
  quality_ = other.quality_;
  keySpacing_ = other.keySpacing_;
  return *this;
}

HRESULT CWMStreamConfig::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (type == &type_) return S_OK;
  ClearMediaTypeFormat(&type_);
  return CopyMediaTypeDeep(&type_, type) ? S_OK : E_OUTOFMEMORY;
}

const WAVEFORMATEX* CWMStreamConfig::Wave() const {
  if (type_.formattype != FORMAT_WaveFormatEx || !type_.pbFormat || type_.cbFormat < sizeof(WAVEFORMATEX))
    return nullptr;
  return reinterpret_cast<const WAVEFORMATEX*>(type_.pbFormat);
}

const VIDEOINFOHEADER* CWMStreamConfig::VideoInfo() const {
  if (type_.formattype != FORMAT_VideoInfo || !type_.pbFormat || type_.cbFormat < sizeof(VIDEOINFOHEADER))
    return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(type_.pbFormat);
}

// ---------------------------------------------------------------------------
// CWMProfile

HRESULT CWMProfile::CreateNewStream(const GUID& majorType, CWMStreamConfig* out) const {
  if (!out) return E_POINTER;
  if (majorType != MEDIATYPE_Audio && majorType != MEDIATYPE_Video) return E_INVALIDARG;
  int32_t next = 1;
  for (const CWMStreamConfig& s : streams_) next = std::max(next, s.StreamNumber() + 1);
  *out = CWMStreamConfig();
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  mt.majortype = majorType;
  out->SetMediaType(&mt);
  out->SetStreamNumber(next);
  return S_OK;
}

HRESULT CWMProfile::AddStream(const CWMStreamConfig& config) {
  const int32_t n = config.StreamNumber();
  if (n < 1 || n > kMaxWmStreamNumber) return NS_E_INVALID_STREAM;
  for (const CWMStreamConfig& s : streams_)
    if (s.StreamNumber() == n) return NS_E_INVALID_STREAM;
  streams_.push_back(config);
  return S_OK;
}

HRESULT CWMProfile::ReconfigStream(const CWMStreamConfig& config) {
  for (CWMStreamConfig& s : streams_) {
    if (s.StreamNumber() != config.StreamNumber()) continue;
    s = config;
    return S_OK;
  }
  return NS_E_INVALID_STREAM;
}

// ---------------------------------------------------------------------------
// CWMProfileManager

HRESULT CWMProfileManager::CreateEmptyProfile(uint32_t version, CWMProfile* out) const {
  if (!out) return E_POINTER;
  *out = CWMProfile();
  out->SetVersion(version);
  return S_OK;
}

uint32_t CWMProfileManager::GetCodecInfoCount(const GUID& major) const {
  if (major == MEDIATYPE_Audio) return sizeof(kAudioCodecs) / sizeof(kAudioCodecs[0]);
  if (major == MEDIATYPE_Video) return sizeof(kVideoCodecs) / sizeof(kVideoCodecs[0]);
  return 0;
}

std::string CWMProfileManager::GetCodecName(const GUID& major, uint32_t codec) const {
  if (codec >= GetCodecInfoCount(major)) return {};
  return major == MEDIATYPE_Audio ? kAudioCodecs[codec].name : kVideoCodecs[codec].name;
}

uint32_t CWMProfileManager::GetCodecFormatCount(const GUID& major, uint32_t codec) const {
  if (codec >= GetCodecInfoCount(major)) return 0;
  return major == MEDIATYPE_Audio ? static_cast<uint32_t>(kAudioFormatCount * 2) : 1;
}

HRESULT CWMProfileManager::GetCodecFormatDesc(const GUID& major, uint32_t codec, uint32_t format, CWMStreamConfig* out,
                                              std::string* description) const {
  if (!out) return E_POINTER;
  if (format >= GetCodecFormatCount(major, codec)) return E_INVALIDARG;
  AM_MEDIA_TYPE mt;
  char text[128];
  uint32_t bitrate = 0;
  if (major == MEDIATYPE_Audio) {
    const AudioFormat& f = kAudioFormats[format / 2];
    const bool withVideo = format % 2 == 1;
    MakeAudioType(f, kAudioCodecs[codec].tag, &mt);
    bitrate = AverageBytes(f.kbps) * 8;
    std::snprintf(text, sizeof text, "%u kbps, %u kHz, %s%s 1-pass CBR", f.kbps, f.rate / 1000,
                  f.channels == 1 ? "mono" : "stereo", withVideo ? " (A/V)" : "");
  } else {
    MakeVideoType(kVideoCodecs[codec].fourcc, &mt);
    bitrate = 300000;
    std::snprintf(text, sizeof text, "%s", kVideoCodecs[codec].name);
  }
  if (!mt.pbFormat) return E_OUTOFMEMORY;
  *out = CWMStreamConfig();
  const HRESULT hr = out->SetMediaType(&mt);
  ClearMediaTypeFormat(&mt);
  out->SetBitrate(bitrate);
  if (description) *description = text;
  return hr;
}

HRESULT CWMProfileManager::SetCodecEnumerationSetting(const GUID& major, uint32_t codec, const char* name,
                                                      uint32_t value) {
  if (!name) return E_POINTER;
  if (codec >= GetCodecInfoCount(major)) return E_INVALIDARG;
  settings_.emplace_back(name, value);
  return S_OK;
}

HRESULT CWMProfileManager::SaveProfile(const CWMProfile& profile, char* text, uint32_t* length) const {
  if (!length) return E_POINTER;
  std::string out = "<profile version=\"" + std::to_string(profile.Version()) + "\">\n";
  for (int32_t i = 0; i < profile.StreamCount(); ++i) {
    const CWMStreamConfig& s = profile.Stream(i);
    out += "  <stream" + std::string(s.StreamType() == MEDIATYPE_Audio ? "audio" : "video") + " number=\"" +
           std::to_string(s.StreamNumber()) + "\" name=\"" + s.StreamName() + "\" connection=\"" + s.ConnectionName() +
           "\" bitrate=\"" + std::to_string(s.Bitrate()) + "\"/>\n";
  }
  out += "</profile>\n";
  const auto needed = static_cast<uint32_t>(out.size() + 1);
  if (!text) {
    *length = needed;
    return S_OK;
  }
  if (*length < needed) {
    *length = needed;
    return E_INVALIDARG;
  }
  std::memcpy(text, out.c_str(), needed);
  *length = needed;
  return S_OK;
}
