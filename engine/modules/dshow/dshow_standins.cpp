#include "engine/modules/dshow/dshow_standins.h"

#include <mutex>
#include <new>

#include "engine/modules/dshow/dshow_asf_writer.h"
#include "engine/modules/dshow/dshow_file_source.h"
#include "engine/modules/dshow/dshow_module_filter.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/dshow/moniker_table.h"

const char16_t kWmvDecoderName[] =
    u"@device:dmo:{82D353DF-90BD-4382-8BC2-3F6192B76E34}{4A69B442-28BE-4991-969C-B500ADF5D8A8}";
const char16_t kWmaDecoderName[] =
    u"@device:dmo:{2EEB4ADF-4578-4D10-BCA7-BB955F56320A}{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}";
const char16_t kAcelpDecoderName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{4009F700-AEBA-11D1-8344-00C04FB92EB7}";
const char16_t kWmaVoiceDecoderName[] =
    u"@device:dmo:{874131CB-4ECC-443B-8948-746B89595D20}{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}";
const char16_t kMssDecoderName[] =
    u"@device:dmo:{7BAFB3B1-D8F4-4279-9253-27DA423108DE}{4A69B442-28BE-4991-969C-B500ADF5D8A8}";
const char16_t kAsfReaderName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{187463A0-5BB7-11D3-ACBE-0080C75E246E}";
const char16_t kFileSourceName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{E436EBB5-524F-11CE-9F53-0020AF0BA770}";
const char16_t kVideoRendererName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{70E102B0-5556-11CE-97C0-00AA0055595A}";
const char16_t kVideoDecoderName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{7E5AD0C1-0000-4000-8000-0000F0F0F001}";
const char16_t kAudioDecoderName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{7E5AD0C1-0000-4000-8000-0000F0F0F002}";

namespace {

// Merits: renderers before decoders, named decoders before the general ones.
constexpr uint32_t kMeritRenderer = 0x800000;
constexpr uint32_t kMeritDecoder = 0x600000;
constexpr uint32_t kMeritGeneral = 0x200000;
constexpr uint32_t kMeritSource = 0x600000;

struct DecoderKind {
  const char16_t* name;
  const char* friendly;
  CLSID clsid;
  bool audio;
  std::vector<StandInCodec> codecs;
};

// The decoders behind each display name, as the codecs FFmpeg decodes them with.
const std::vector<DecoderKind>& Decoders() {
  static const std::vector<DecoderKind> kinds = {
      {kWmvDecoderName,
       "WMVideo Decoder DMO",
       {0x82D353DF, 0x90BD, 0x4382, {0x8B, 0xC2, 0x3F, 0x61, 0x92, 0xB7, 0x6E, 0x34}},
       false,
       {{MakeFourcc("WMV1"), "wmv1"},
        {MakeFourcc("WMV2"), "wmv2"},
        {MakeFourcc("WMV3"), "wmv3"},
        {MakeFourcc("WMVP"), "wmv3image"},
        {MakeFourcc("WVC1"), "vc1"}}},
      {kWmaDecoderName,
       "WMAudio Decoder DMO",
       {0x2EEB4ADF, 0x4578, 0x4D10, {0xBC, 0xA7, 0xBB, 0x95, 0x5F, 0x56, 0x32, 0x0A}},
       true,
       {{0x160, "wmav1"}, {0x161, "wmav2"}, {0x162, "wmapro"}, {0x163, "wmalossless"}}},
      {kAcelpDecoderName,
       "ACELP.net Sipro Lab Audio Decoder",
       {0x4009F700, 0xAEBA, 0x11D1, {0x83, 0x44, 0x00, 0xC0, 0x4F, 0xB9, 0x2E, 0xB7}},
       true,
       {{0x130, "sipr"}}},
      {kWmaVoiceDecoderName,
       "WMSpeech Decoder DMO",
       {0x874131CB, 0x4ECC, 0x443B, {0x89, 0x48, 0x74, 0x6B, 0x89, 0x59, 0x5D, 0x20}},
       true,
       {{0x000A, "wmavoice"}}},
      {kMssDecoderName,
       "WMV Screen decoder DMO",
       {0x7BAFB3B1, 0xD8F4, 0x4279, {0x92, 0x53, 0x27, 0xDA, 0x42, 0x31, 0x08, 0xDE}},
       false,
       {{MakeFourcc("MSS1"), "mss1"}, {MakeFourcc("MSS2"), "mss2"}}},
  };
  return kinds;
}

IBaseFilter* MakeDecoder(void* context) {
  const auto* kind = static_cast<const DecoderKind*>(context);
  auto* f = new (std::nothrow) CModuleCodecFilter(kind->clsid, kind->audio, kind->codecs);
  if (f) f->AddRef();
  return f;
}

constexpr CLSID kGeneralVideoClsid = {0x7E5AD0C1, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0xF0, 0xF0, 0xF0, 0x01}};
constexpr CLSID kGeneralAudioClsid = {0x7E5AD0C1, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0xF0, 0xF0, 0xF0, 0x02}};
constexpr CLSID kAsfReaderClsid = {0x187463A0, 0x5BB7, 0x11D3, {0xAC, 0xBE, 0x00, 0x80, 0xC7, 0x5E, 0x24, 0x6E}};
constexpr CLSID kFileSourceClsid = {0xE436EBB5, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr CLSID kVideoRendererClsid = {0x70E102B0, 0x5556, 0x11CE, {0x97, 0xC0, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

IBaseFilter* MakeGeneralDecoder(void* audio) {
  const bool isAudio = audio != nullptr;
  auto* f = new (std::nothrow) CModuleCodecFilter(isAudio ? kGeneralAudioClsid : kGeneralVideoClsid, isAudio, {});
  if (f) f->AddRef();
  return f;
}

IBaseFilter* MakeFileSource(void* asf) {
  auto* f = new (std::nothrow) CFileSourceFilter(asf ? kAsfReaderClsid : kFileSourceClsid);
  if (f) f->AddRef();
  return f;
}

IBaseFilter* MakeAsfWriter(void*) {
  auto* f = new (std::nothrow) CAsfWriterFilter();
  if (f) f->AddRef();
  return f;
}

IBaseFilter* MakeVideoRenderer(void*) {
  auto* f = new (std::nothrow) CNullVideoRenderer();
  if (f) f->AddRef();
  return f;
}

void RegisterAll() {
  CMonikerTable& table = CMonikerTable::Instance();
  for (const DecoderKind& kind : Decoders()) {
    MonikerEntry e;
    e.displayName = kind.name;
    e.friendlyName = kind.friendly;
    e.role = FilterRole::kTransform;
    e.merit = kMeritDecoder;
    const GUID& major = kind.audio ? MEDIATYPE_Audio : MEDIATYPE_Video;
    for (const StandInCodec& c : kind.codecs) e.inputs.push_back({major, FourccGuid(c.tag)});
    e.outputs.push_back({major, kind.audio ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_YV12});
    e.create = MakeDecoder;
    e.context = const_cast<DecoderKind*>(&kind);
    table.Register(e);
  }
  static int audioMarker = 1;
  table.Register(MonikerEntry{kVideoDecoderName,
                              "FFmpeg Video Decoder",
                              FilterRole::kTransform,
                              kMeritGeneral,
                              {{MEDIATYPE_Video, GUID_NULL}},
                              {{MEDIATYPE_Video, MEDIASUBTYPE_YV12}},
                              {},
                              MakeGeneralDecoder,
                              nullptr});
  table.Register(MonikerEntry{kAudioDecoderName,
                              "FFmpeg Audio Decoder",
                              FilterRole::kTransform,
                              kMeritGeneral,
                              {{MEDIATYPE_Audio, GUID_NULL}},
                              {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}},
                              {},
                              MakeGeneralDecoder,
                              &audioMarker});
  static int asfMarker = 1;
  table.Register(MonikerEntry{kAsfReaderName,
                              "WM ASF Reader",
                              FilterRole::kSource,
                              kMeritSource,
                              {},
                              {},
                              {"asf", "wmv", "wma"},
                              MakeFileSource,
                              &asfMarker});
  table.Register(MonikerEntry{
      kFileSourceName, "File Source", FilterRole::kSource, kMeritSource / 2, {}, {}, {}, MakeFileSource, nullptr});
  table.Register(MonikerEntry{kVideoRendererName,
                              "Video Renderer",
                              FilterRole::kRenderer,
                              kMeritRenderer,
                              {{MEDIATYPE_Video, GUID_NULL}},
                              {},
                              {},
                              MakeVideoRenderer,
                              nullptr});
  table.Register(
      MonikerEntry{kAsfWriterName, "WM ASF Writer", FilterRole::kOther, 0, {}, {}, {}, MakeAsfWriter, nullptr});
}

}  // namespace

void EnsureStandInFilters() {
  static std::once_flag once;
  std::call_once(once, RegisterAll);
}

CNullVideoRenderer::CNullVideoRenderer() : CBaseRenderer(kVideoRendererClsid, u"Input") {}

HRESULT CNullVideoRenderer::CheckMediaType(const AM_MEDIA_TYPE* mt) {
  return mt->majortype == MEDIATYPE_Video && IsRawPixelFormat(mt->subtype) ? S_OK : E_FAIL;
}
