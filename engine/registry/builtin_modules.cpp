#include "engine/registry/builtin_modules.h"

#include <cstring>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/acm/acm_coder.h"
#include "engine/modules/dshow/dshow_coder.h"
#include "engine/modules/dshow/dshow_reader.h"
#include "engine/modules/dshow/dshow_standins.h"
#include "engine/modules/dshow/dshow_writer.h"
#include "engine/modules/dvd/dvd_reader.h"
#include "engine/modules/dvd/subtitle_dvd_filter.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "engine/modules/ffmpeg/ffm_decoder.h"
#include "engine/modules/ffmpeg/ffm_encoder.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "engine/modules/ffmpeg/ffm_writer.h"
#include "engine/modules/filters/audio_equalizer_filter.h"
#include "engine/modules/filters/audio_filter_host.h"
#include "engine/modules/filters/audio_resample_filter.h"
#include "engine/modules/filters/audio_volume_filter.h"
#include "engine/modules/filters/colour_convert_filter.h"
#include "engine/modules/filters/flip_grey_filters.h"
#include "engine/modules/filters/frame_filters.h"
#include "engine/modules/filters/levels_tweak_filters.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/modules/filters/watermark_filter.h"
#include "engine/modules/pass/pass_reader.h"
#include "engine/modules/pass/pass_writer.h"
#include "engine/modules/player/preview_player.h"
#include "engine/modules/subtitle/subtitle_writer.h"
#include "engine/modules/timing/audio_delay.h"
#include "engine/modules/timing/audio_merger.h"
#include "engine/modules/timing/audio_normalize.h"
#include "engine/modules/timing/media_range.h"
#include "engine/modules/timing/video_reframe.h"
#include "platform/program_folder.h"
#include "platform/unknown.h"

// ---------------------------------------------------------------------------
// Factories

namespace {

// A video filter host whose row's filter object could not be made is no module.
IMediaModule* HostWithFilter(IMediaModule* created) {
  Ref<IMediaModule> module(created);
  if (module && static_cast<CVideoFilterHost*>(module.Get())->Filter() == nullptr) return nullptr;
  return module.Detach();
}

}  // namespace

IMediaModule* CreateVideoFilterHostModule(CParamList* params) { return HostWithFilter(CreateVideoFilterHost(params)); }

IMediaModule* CreateColorConvertHostModule(CParamList* params) {
  return HostWithFilter(CreateColorConvertHost(params));
}

IMediaModule* CreateAudioFilterHostModule(CParamList* params) { return CAudioFilterHost::Create(params); }
IMediaModule* CreateFFmpegDecoderModule(CParamList* params) { return CFFMDecoder::Create(params); }
IMediaModule* CreateFFmpegEncoderModule(CParamList* params) { return CFFMEncoder::Create(params); }
IMediaModule* CreateFFmpegReaderModule(CParamList* params) { return CreateFFmpegReader(params); }
IMediaModule* CreateFFmpegFlacReaderModule(CParamList* params) {
  return CreateFFmpegReader(params, FFReaderVariant::kFlac);
}
IMediaModule* CreateFFmpegH264ReaderModule(CParamList* params) {
  return CreateFFmpegReader(params, FFReaderVariant::kRawH264);
}
IMediaModule* CreateDvdReaderModule(CParamList* params) { return CreateDvdReader(params); }

IVideoFilter* CreateColourConverterFilter(CParamList* params) { return CColorConvertFilter::Create(params); }
IAudioFilter* CreateResamplerFilter(CParamList* params) { return CResampleFilter::Create(params); }
IAudioFilter* CreateVolumeFilter(CParamList* params) { return CVolumeFilter::Create(params); }

IMediaModule* CreateDirectShowEncoderModule(CParamList* params) { return CVp6EncoderInput::Create(params); }
IMediaModule* CreateDirectShowDecoderModule(CParamList* params) { return CDShowCoder::Create(params); }
IMediaModule* CreateAcmCoderModule(CParamList* params) {
  if (params != nullptr) params->SetString("CODECDLL", BesideProgram("plugin/vorbis.acm").c_str());
  return CAcmCoder::Create(params);
}
IMediaModule* CreateDirectShowReaderModule(CParamList* params) { return CDShowReader::Create(params); }
IMediaModule* CreateDirectShowWriterModule(CParamList* params) { return CWmvWriter::Create(params); }
IMediaModule* CreateFFmpegWriterModule(CParamList* params) { return CFFMWriter::Create(params); }
IMediaModule* CreatePassWriterModule(CParamList* params) { return CPassWriter::Create(params); }
IMediaModule* CreatePreviewPlayerModule(CParamList* params) { return CPreviewPlayer::Create(params); }
IMediaModule* CreatePassReaderModule(CParamList* params) { return CPassReader::Create(params); }
IMediaModule* CreateVideoReframeModule(CParamList* params) { return CVideoReframe::Create(params); }
IMediaModule* CreateVideoChangeframeModule(CParamList* params) { return CVideoChangeFrame::Create(params); }
IMediaModule* CreateAudioDelayModule(CParamList* params) { return CAudioDelay::Create(params); }
IMediaModule* CreateAudioNormalizeModule(CParamList* params) { return CAudioNormalize::Create(params); }
IMediaModule* CreateAudioMergerModule(CParamList* params) { return CAudioMerger::Create(params); }
IMediaModule* CreateMediaRangeModule(CParamList* params) { return CMediaRange::Create(params); }
IMediaModule* CreateSubtitleWriterModule(CParamList* params) { return CSubtitleWriter::Create(params); }

IVideoFilter* CreateTestFlipFilter(CParamList* params) { return CFlipVerticalFilter::Create(params); }
IVideoFilter* CreateFrameCaptureFilter(CParamList* params) { return CCaptureFilter::Create(params); }
IVideoFilter* CreateDvdSubpictureFilter(CParamList* params) { return CSubtitleDvdFilter::Create(params); }
IVideoFilter* CreateDeinterlaceFilter(CParamList* params) { return CDeinterlaceFilter::Create(params); }
IVideoFilter* CreateFrameRateFilter(CParamList* params) { return CFrameRateFilter::Create(params); }
IVideoFilter* CreateWatermarkFilter(CParamList* params) { return CWatermarkFilter::Create(params); }
IVideoFilter* CreateGreyScaleFilter(CParamList* params) { return CGreyscaleFilter::Create(params); }
IVideoFilter* CreateVerticalFlipFilter(CParamList* params) { return CFlipVerticalFilter::Create(params); }
IVideoFilter* CreateHorizontalFlipFilter(CParamList* params) { return CFlipHorizontalFilter::Create(params); }
IVideoFilter* CreateLevelsFilter(CParamList* params) { return CLevelsFilter::Create(params); }
IVideoFilter* CreateTweakFilter(CParamList* params) { return CTweakFilter::Create(params); }
IAudioFilter* CreateEqualizerFilter(CParamList* params) { return CEqualizerFilter::Create(params); }

void* DirectShowReaderMapFunc() { return reinterpret_cast<void*>(&CreateRenderFileMap); }
void* AsfReaderMapFunc() { return reinterpret_cast<void*>(&CreateFilterSourceMap); }
void* DirectShowWriterMapFunc() { return reinterpret_cast<void*>(&CreateFileSinkMap); }

// ---------------------------------------------------------------------------
// Rows

namespace {

// A short text in the other letter case.
struct CaseCopy {
  char text[8] = {};
  CaseCopy(const char* s, bool upper) {
    for (size_t i = 0; s[i] && i < sizeof(text) - 1; ++i) {
      const char c = s[i];
      text[i] = upper ? ((c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c)
                      : ((c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c);
    }
  }
};

// Readers

enum class ReaderExtra { kNone, kMapFunc, kAsf };

void AddReader(CReaderList& list, const char* tag, const char* name, const char* extensions,
               std::initializer_list<const char*> signatures, ModuleFactory create,
               ReaderExtra extra = ReaderExtra::kNone) {
  auto* e = new ReaderRegistration;
  CopyRegistryText(e->name, sizeof(e->name), name);
  CopyRegistryText(e->tag, sizeof(e->tag), tag);
  CopyRegistryText(e->extensions, sizeof(e->extensions), extensions);
  for (const char* s : signatures) e->AddSignature(s);
  e->create = create;
  e->params = new CParamList;
  if (extra == ReaderExtra::kMapFunc) e->params->SetPtr("MAPFUNC", DirectShowReaderMapFunc());
  if (extra == ReaderExtra::kAsf) {
    e->params->SetPtr("MAPFUNC", AsfReaderMapFunc());
    e->params->SetWString("PARAM", kAsfReaderName);
  }
  list.Append(e);
}

// Writers

void AddWriter(CWriterList& list, const char* tag, const char* extension, int32_t minAudio, int32_t maxAudio,
               int32_t minVideo, int32_t maxVideo, int32_t minSubtitle, int32_t maxSubtitle, const char* muxer,
               ModuleFactory create) {
  auto* e = new WriterRegistration;
  CopyRegistryText(e->tag, sizeof(e->tag), tag);
  CopyRegistryText(e->extension, sizeof(e->extension), extension);
  e->minAudio = minAudio;
  e->maxAudio = maxAudio;
  e->minVideo = minVideo;
  e->maxVideo = maxVideo;
  e->minSubtitle = minSubtitle;
  e->maxSubtitle = maxSubtitle;
  e->create = create;
  e->params = new CParamList;
  if (muxer != nullptr) e->params->SetString("NAME", muxer);
  list.Append(e);
}

// Coders

CoderRegistration* AddCoder(CCoderList& list, const char* name, const GUID& inMajor, const GUID& inSub,
                            const GUID& outMajor, const GUID& outSub, ModuleFactory create) {
  auto* e = new CoderRegistration;
  CopyRegistryText(e->name, sizeof(e->name), name);
  e->inputMajor = inMajor;
  e->inputSubtype = inSub;
  e->outputMajor = outMajor;
  e->outputSubtype = outSub;
  e->create = create;
  e->params = new CParamList;
  list.Append(e);
  return e;
}

void AddDirectShowDecoder(CCoderList& list, const char* name, bool audio, uint32_t tag, const char16_t* moniker) {
  CoderRegistration* e = audio ? AddCoder(list, name, MEDIATYPE_Audio, FourccGuid(tag), MEDIATYPE_Audio,
                                          MEDIASUBTYPE_PCM, CreateDirectShowDecoderModule)
                               : AddCoder(list, name, MEDIATYPE_Video, FourccGuid(tag), MEDIATYPE_Video,
                                          MEDIASUBTYPE_YV12, CreateDirectShowDecoderModule);
  e->params->SetWString("PARAM", moniker);
}

// The FFmpeg-side subtype of a codec code: the codec table's first GUID.
GUID FFmpegSubtype(uint32_t fourcc) {
  GUID guid = GUID_NULL;
  TheVfccTable().GuidByCode(int32_t(fourcc), &guid);
  return guid;
}

void SetFFmpegCodec(CParamList* params, bool audio, uint32_t fourcc) {
  params->SetInt("MAJORTYPE", audio ? 1 : 0);
  int32_t codecId = 0;  // AV_CODEC_ID_NONE when the tag table has no row
  if (!FindCodecIdByTag(fourcc, &codecId)) codecId = 0;
  params->SetInt("MINORTYPE", codecId);
}

void AddFFmpegDecoder(CCoderList& list, const char* name, const char (&fourcc)[5], bool audio) {
  const uint32_t fcc = MakeFourcc(fourcc);
  const GUID& major = audio ? MEDIATYPE_Audio : MEDIATYPE_Video;
  const GUID& out = audio ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_YV12;
  CoderRegistration* e = AddCoder(list, name, major, FFmpegSubtype(fcc), major, out, CreateFFmpegDecoderModule);
  SetFFmpegCodec(e->params, audio, fcc);
}

void AddFFmpegEncoder(CCoderList& list, const char* name, const char (&fourcc)[5], bool audio) {
  const uint32_t fcc = MakeFourcc(fourcc);
  const GUID& major = audio ? MEDIATYPE_Audio : MEDIATYPE_Video;
  const GUID& in = audio ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_YV12;
  CoderRegistration* e = AddCoder(list, name, major, in, major, FFmpegSubtype(fcc), CreateFFmpegEncoderModule);
  SetFFmpegCodec(e->params, audio, fcc);
}

// Filters: input "auds"/PCM, no output types; found by name only.

void AddFilter(CCoderList& list, const char* name, ModuleFactory create) {
  AddCoder(list, name, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, GUID_NULL, create);
}

void AddVideoFilterObject(CCoderList& list, const char* name, VideoFilterFactory factory,
                          ModuleFactory host = CreateVideoFilterHostModule) {
  CoderRegistration* e = AddCoder(list, name, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, GUID_NULL, host);
  e->params->SetPtr("FNVF", reinterpret_cast<void*>(factory));
}

void AddAudioFilterObject(CCoderList& list, const char* name, AudioFilterFactory factory) {
  CoderRegistration* e =
      AddCoder(list, name, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, GUID_NULL, CreateAudioFilterHostModule);
  e->params->SetPtr("FNAF", reinterpret_cast<void*>(factory));
}

}  // namespace

void RegisterBuiltinReaders(CReaderList& r) {
  r.Clear();
  const ModuleFactory F = CreateFFmpegReaderModule;
  const ModuleFactory D = CreateDirectShowReaderModule;
  AddReader(r, "DSHOW", "", "dshowext", {}, D, ReaderExtra::kMapFunc);
  AddReader(r, "PASS", "", "passre", {}, CreatePassReaderModule);
  AddReader(r, "DVD", "", "dvddvd", {}, CreateDvdReaderModule);
  AddReader(r, "DVD", "", "dvd:", {}, CreateDvdReaderModule);
  AddReader(r, "AVS", "", "avs", {}, D, ReaderExtra::kMapFunc);
  AddReader(r, "AVI", "", "", {"0,4,,52494646,8,4,,41564920", "0,4,,52494646,8,4,,41564958"}, F);
  AddReader(r, "ASF", "asf", "", {"0,16,,3026B2758E66CF11A6D900AA0062CE6C"}, D, ReaderExtra::kAsf);
  AddReader(r, "MP3", "mp3", "mp3", {}, F);
  AddReader(r, "MP2", "mp2", "mp2", {}, F);
  AddReader(r, "AAC", "aac", "aac", {}, F);
  AddReader(r, "AC3", "ac3", "ac3", {}, F);
  AddReader(r, "AC3", "eac3", "eac3", {}, F);
  AddReader(r, "DTS", "dts", "dts", {}, F);
  AddReader(r, "264", "h264", "264", {}, CreateFFmpegH264ReaderModule);
  AddReader(r, "264", "h264", "h264", {}, CreateFFmpegH264ReaderModule);
  AddReader(r, "263", "h263", "263", {}, F);
  AddReader(r, "263", "h263", "h263", {}, F);
  AddReader(r, "261", "h261", "h261", {}, F);
  AddReader(r, "261", "h261", "261", {}, F);
  AddReader(r, "MPEG1", "", "", {"0,5,FFFFFFFFF0,000001BA20"}, F);
  for (const char* ext : {"m1v", "m2v", "mpeg", "mpg", "vob", "mod"})
    AddReader(r, CaseCopy(ext, true).text, "", ext, {}, F);
  AddReader(r, "MPEG2", "", "", {"0,5,FFFFFFFFC0,000001BA40"}, F);
  for (const char* tag : {"MTS", "M2T", "TOD", "M2TS", "TP", "TS"})
    AddReader(r, tag, "", CaseCopy(tag, false).text, {}, F);
  AddReader(r, "WAV", "", "", {"0,4,,52494646,8,4,,57415645"}, F);
  AddReader(r, "FLV", "", "", {"0,4,,464C5601"}, F);
  for (const char* tag : {"MP4", "DV", "3GP", "3G2", "3GPP", "MOV", "QT", "M4A", "M4B", "M4V", "FLAC", "APE"}) {
    const CaseCopy lower(tag, false);
    AddReader(r, tag, lower.text, lower.text, {}, std::strcmp(tag, "FLAC") == 0 ? CreateFFmpegFlacReaderModule : F);
  }
  AddReader(r, "AMR", "amr", "", {"0,6,,2321414D520A"}, F);
  AddReader(r, "AWB", "awb", "", {"0,9,,2321414D522D57420A"}, F);
}

void RegisterBuiltinWriters(CWriterList& w) {
  w.Clear();
  // Limits as written in the table: minimum/maximum audio, video, subtitle.
  auto ffm = [&w](const char* tag, const char* ext, int32_t minA, int32_t maxA, int32_t minV, int32_t maxV,
                  const char* muxer) {
    AddWriter(w, tag, ext, minA, maxA, minV, maxV, 0, 0, muxer, CreateFFmpegWriterModule);
  };
  ffm("[FFM]AVI", "avi", 0, 10, 0, 1, "avi");
  ffm("[FFM]MP4", "mp4", 0, 10, 0, 1, "mp4");
  ffm("[FFM]3GP", "3gp", 0, 10, 0, 1, "3gp");
  ffm("[FFM]ASF", "asf", 0, 1, 0, 1, "asf");
  ffm("[FFM]3G2", "3g2", 0, 10, 0, 1, "3g2");
  ffm("[FFM]MOV", "mov", 0, 10, 0, 1, "mov");
  ffm("[FFM]MPEG1", "mpg", 0, 10, 0, 1, "mpeg");
  ffm("[FFM]MPEGTS", "ts", 0, 10, 0, 1, "mpegts");
  ffm("[FFM]MPEG2", "mpg", 0, 10, 0, 1, "vob");
  ffm("[FFM]AIFF", "aiff", 0, 1, 0, 0, "aiff");
  ffm("[FFM]SWF", "swf", 0, 10, 0, 1, "swf");
  AddWriter(w, "SUBTITLE", "subtitle", 0, 0, 0, 0, 1, 1, "subtitle", CreateSubtitleWriterModule);
  ffm("[FFM]MP3", "mp3", 1, 1, 0, 0, "mp3");
  ffm("[FFM]FLAC", "flac", 1, 1, 0, 0, "flac");
  ffm("[FFM]RAWVIDEO", "raw", 0, 0, 1, 1, "rawvideo");
  ffm("[FFM]RAWAUDIO", "raw", 1, 1, 0, 0, "ac3");
  ffm("[FFM]AAC", "aac", 1, 1, 0, 0, "adts");
  ffm("[FFM]WAV", "wav", 1, 1, 0, 0, "wav");
  ffm("[FFM]OGG", "ogg", 1, 1, 0, 0, "ogg");
  ffm("[FFM]AMR", "amr", 1, 1, 0, 0, "amr");
  ffm("[FFM]AWB", "awb", 1, 1, 0, 0, "amr");
  ffm("[FFM]FLV", "flv", 0, 1, 0, 1, "flv");
  ffm("[FFM]IMAGE2", "jpg", 0, 0, 0, 1, "image2");
  ffm("[FFM]GIF", "gif", 0, 0, 0, 1, "gif");
  ffm("[FFM]MPEG1", "mpg", 0, 10, 0, 1, "mpeg");
  ffm("[FFM]MPEG2PS", "mpg", 0, 10, 0, 1, "vob");
  ffm("[FFM]MPEG2TS", "mpg", 0, 10, 0, 1, "mpegts");
  AddWriter(w, "[DS]WMV", "wmv", 0, 10, 0, 1, 0, 0, nullptr, CreateDirectShowWriterModule);
  w.Entries().back()->params->SetPtr("MAPFUNC", DirectShowWriterMapFunc());
  AddWriter(w, "BUFWR", "", 0, 10, 0, 1, 0, 0, nullptr, CreatePassWriterModule);
  AddWriter(w, "PLAYER", "", 0, 1, 0, 1, 0, 0, nullptr, CreatePreviewPlayerModule);
}

void RegisterBuiltinDecoders(CCoderList& d) {
  d.Clear();
  for (uint32_t tag : {0x160u, 0x161u, 0x162u, 0x163u}) AddDirectShowDecoder(d, "[DS]WMA", true, tag, kWmaDecoderName);
  AddDirectShowDecoder(d, "[DS]WMA", true, 0x130, kAcelpDecoderName);
  AddDirectShowDecoder(d, "[DS]WMAV", true, 0x000A, kWmaVoiceDecoderName);
  for (uint32_t fcc : {MakeFourcc("WMV1"), MakeFourcc("WMV2"), MakeFourcc("WMV3"), MakeFourcc("WMVP")})
    AddDirectShowDecoder(d, "[DS]WMV", false, fcc, kWmvDecoderName);
  AddDirectShowDecoder(d, "[DS]MSS1", false, MakeFourcc("MSS1"), kMssDecoderName);
  AddDirectShowDecoder(d, "[DS]MSS2", false, MakeFourcc("MSS2"), kMssDecoderName);

  for (uint32_t tag : {0x6771u, 0x674Fu, 0x6751u, 0x6770u, 0x6750u, 0x676Fu})
    AddCoder(d, "[ACM]VORBIS", MEDIATYPE_Audio, FourccGuid(tag), MEDIATYPE_Audio, MEDIASUBTYPE_PCM,
             CreateAcmCoderModule);

  constexpr bool A = true, V = false;
  AddFFmpegDecoder(d, "[FFM]MP2", "MP2A", A);
  AddFFmpegDecoder(d, "[FFM]MPEG43", "MP43", V);
  AddFFmpegDecoder(d, "[FFM]MPEG42", "MP42", V);
  AddFFmpegDecoder(d, "[FFM]MPEG4", "MP4V", V);
  AddFFmpegDecoder(d, "[FFM]H264", "H264", V);
  AddFFmpegDecoder(d, "[FFM]H263", "H263", V);
  AddFFmpegDecoder(d, "[FFM]H261", "H261", V);
  AddFFmpegDecoder(d, "[FFM]SVQ1", "SVQ1", V);
  AddFFmpegDecoder(d, "[FFM]SVQ3", "SVQ3", V);
  AddFFmpegDecoder(d, "[FFM]CVID", "CVID", V);
  AddFFmpegDecoder(d, "[FFM]TIFF", "TIFF", V);
  AddFFmpegDecoder(d, "[FFM]WVC1", "WVC1", V);
  AddFFmpegDecoder(d, "[FFM]RV31", "VP31", V);
  AddFFmpegDecoder(d, "[FFM]MJPEG", "MJPG", V);
  AddFFmpegDecoder(d, "[FFM]DV", "DV50", V);
  AddFFmpegDecoder(d, "[FFM]CRAM", "CRAM", V);
  AddFFmpegDecoder(d, "[FFM]SMC", "SMCV", V);
  AddFFmpegDecoder(d, "[FFM]CVID", "CVID", V);
  AddFFmpegDecoder(d, "[FFM]VP62", "VP62", V);
  AddFFmpegDecoder(d, "[FFM]VP6A", "VP6A", V);
  AddFFmpegDecoder(d, "[FFM]MP3", "MP3A", A);
  AddFFmpegDecoder(d, "[FFM]FLAC", "FLAC", A);
  AddFFmpegDecoder(d, "[FFM]MLAW", "MLAW", A);
  AddFFmpegDecoder(d, "[FFM]NELL", "NELL", A);
  AddFFmpegDecoder(d, "[FFM]SPEE", "SPEE", A);
  AddFFmpegDecoder(d, "[FFM]AIMA", "AIMA", A);
  AddFFmpegDecoder(d, "[FFM]MSAD", "MSAD", A);
  AddFFmpegDecoder(d, "[FFM]QTAD", "QTAD", A);
  AddFFmpegDecoder(d, "[FFM]G726", "G726", A);
  AddFFmpegDecoder(d, "[FFM]ALAW", "ALAW", A);
  AddFFmpegDecoder(d, "[FFM]ALAC", "ALAC", A);
  AddFFmpegDecoder(d, "[FFM]DSWF", "DSWF", A);
  AddFFmpegDecoder(d, "[FFM]DIQT", "DIQT", A);
  AddFFmpegDecoder(d, "[FFM]APE", "APEA", A);
  AddFFmpegDecoder(d, "[FFM]FLV", "FLV1", V);
  AddFFmpegDecoder(d, "[FFM]FLSV", "FLSV", V);
  AddFFmpegDecoder(d, "[FFM]MPEG2", "MPG2", V);
  AddFFmpegDecoder(d, "[FFM]RV10", "RV10", V);
  AddFFmpegDecoder(d, "[FFM]MPEG1", "MPG1", V);
  AddFFmpegDecoder(d, "[FFM]AAC", "MP4A", A);
  AddFFmpegDecoder(d, "[FFM]AC3", "AC3A", A);
  AddFFmpegDecoder(d, "[FFM]EAC3", "EAC3", A);
  AddFFmpegDecoder(d, "[FFM]QDM2", "QDM2", A);
  AddFFmpegDecoder(d, "[FFM]DTS", "DTSA", A);
  AddFFmpegDecoder(d, "[FFM]VORBIS", "VORB", A);
  AddFFmpegDecoder(d, "[FFM]LPCM", "LPCM", A);
  AddFFmpegDecoder(d, "[FFM]DPCM", "DPCM", A);
  AddFFmpegDecoder(d, "[FFM]BPCM", "BPCM", A);
  AddFFmpegDecoder(d, "[FFM]TRHD", "TRHD", A);
  AddFFmpegDecoder(d, "[FFM]14_4", "14_4", A);
  AddFFmpegDecoder(d, "[FFM]AMR_NB", "AMRN", A);
  AddFFmpegDecoder(d, "[FFM]AMR_WB", "AMRW", A);
}

void RegisterBuiltinEncoders(CCoderList& a, CCoderList& v) {
  a.Clear();
  v.Clear();
  constexpr bool A = true, V = false;
  AddFFmpegEncoder(a, "[FFM]MP3", "MP3A", A);
  AddFFmpegEncoder(a, "[FFM]MP2", "MP2A", A);
  AddFFmpegEncoder(a, "[FFM]AC3", "AC3A", A);
  AddFFmpegEncoder(a, "[FFM]FLAC", "FLAC", A);
  AddFFmpegEncoder(a, "[FFM]ALAC", "ALAC", A);
  AddFFmpegEncoder(a, "[FFM]AAC", "MP4A", A);
  AddFFmpegEncoder(a, "[FFM]G726", "G726", A);
  AddFFmpegEncoder(a, "[FFM]VORBIS", "VORB", A);
  AddFFmpegEncoder(a, "[FFM]AMR_NB", "AMRN", A);
  AddFFmpegEncoder(a, "[FFM]AMR_WB", "AMRW", A);
  AddFFmpegEncoder(a, "[FFM]LPCM", "LPCM", A);

  CoderRegistration* vp62 = AddCoder(v, "[DS]VP62", MEDIATYPE_Video, MEDIASUBTYPE_YV12, MEDIATYPE_Video,
                                     FourccGuid(MakeFourcc("VP62")), CreateDirectShowEncoderModule);
  vp62->params->SetWString("PARAM", u"@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\vp62");
  AddFFmpegEncoder(v, "[FFM]H263", "H263", V);
  AddFFmpegEncoder(v, "[FFM]FLV", "FLV1", V);
  AddFFmpegEncoder(v, "[FFM]H263P", "P263", V);
  AddFFmpegEncoder(v, "[FFM]H264", "H264", V);
  AddFFmpegEncoder(v, "[FFM]MPEG2", "MPG2", V);
  AddFFmpegEncoder(v, "[FFM]MPEG1", "MPG1", V);
  AddFFmpegEncoder(v, "[FFM]MJPG", "MJPG", V);
  AddFFmpegEncoder(v, "[FFM]GIF", "GIF2", V);
}

void RegisterBuiltinFilters(CCoderList& a, CCoderList& v) {
  a.Clear();
  v.Clear();
  AddVideoFilterObject(v, "TEST", CreateTestFlipFilter);
  AddVideoFilterObject(v, "VCAPTURE", CreateFrameCaptureFilter);
  AddVideoFilterObject(v, "VSUBTITLEDVD", CreateDvdSubpictureFilter);
  AddAudioFilterObject(a, "ARESAMPLE", CreateResamplerFilter);
  AddAudioFilterObject(a, "AVOL", CreateVolumeFilter);
  AddFilter(a, "ADELAY", CreateAudioDelayModule);
  AddFilter(a, "ANORMALIZE", CreateAudioNormalizeModule);
  AddFilter(a, "AMERGER", CreateAudioMergerModule);
  AddFilter(a, "SDELAY", CreateMediaRangeModule);
  AddFilter(v, "SDELAY", CreateMediaRangeModule);
  AddAudioFilterObject(a, "AEQ", CreateEqualizerFilter);
  AddFilter(v, "VREFRAME", CreateVideoReframeModule);
  AddFilter(v, "VCHANGEFRAME", CreateVideoChangeframeModule);
  AddVideoFilterObject(v, "VRECOLOR", CreateColourConverterFilter, CreateColorConvertHostModule);
  AddVideoFilterObject(v, "VDEINT", CreateDeinterlaceFilter);
  AddVideoFilterObject(v, "VREFPS", CreateFrameRateFilter);
  AddVideoFilterObject(v, "VWATERMARK", CreateWatermarkFilter);
  AddVideoFilterObject(v, "VGREYSCALE", CreateGreyScaleFilter);
  AddVideoFilterObject(v, "VFLIPVERTICAL", CreateVerticalFlipFilter);
  AddVideoFilterObject(v, "VFLIPHORIZONTAL", CreateHorizontalFlipFilter);
  AddVideoFilterObject(v, "VLEVELS", CreateLevelsFilter);
  AddVideoFilterObject(v, "VTWEAK", CreateTweakFilter);
}
