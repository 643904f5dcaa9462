#include "engine/jobs/media_chains.h"

#include <atomic>
#include <cstring>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/jobs/job_channel.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/diagnostics.h"
#include "platform/text_case.h"
#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"

namespace {

// One media type filled by GetOutputType / GetInputType; frees its block.
class QueriedType {
 public:
  QueriedType() { InitMediaType(&mt_); }
  ~QueriedType() { ClearMediaTypeFormat(&mt_); }
  QueriedType(const QueriedType&) = delete;
  QueriedType& operator=(const QueriedType&) = delete;

  AM_MEDIA_TYPE* Reset() {
    ClearMediaTypeFormat(&mt_);
    InitMediaType(&mt_);
    return &mt_;
  }
  AM_MEDIA_TYPE* Get() { return &mt_; }

 private:
  AM_MEDIA_TYPE mt_;
};

bool OutputType(SourcePin source, uint32_t index, QueriedType& type) {
  return source.module->GetOutputType(source.pin, index, type.Reset()) == S_OK;
}

bool IsUncompressedVideo(const AM_MEDIA_TYPE* mt) {
  return mt->majortype == MEDIATYPE_Video && IsRawPixelFormat(mt->subtype);
}

bool IsUncompressedAudio(const AM_MEDIA_TYPE* mt) {
  return mt->majortype == MEDIATYPE_Audio && IsPcmSubtype(mt->subtype);
}

// Connects a new module after the tail with ConnectWithConverter. A failed
// connection never reaches the module, so it is still ours: it is closed.
HRESULT ConnectNew(IJobGraph& graph, IModuleSource& modules, SourcePin tail, IMediaModule* module) {
  HRESULT hr = ConnectWithConverter(graph, modules, tail, module, 0);
  if (hr != S_OK) DiscardModule(module);
  return hr;
}

HRESULT SetParamsFromText(IMediaModule* module, const char* text) {
  CParamList params;
  params.ParseText(text ? text : "");
  return module->SetParams(&params);
}

// A chain step whose filter or converter is not registered.
HRESULT NoFilter(const char* name) {
  Diag(DiagLevel::kError, "no filter \"%s\"", name);
  return E_NO_FILTER;
}

// Bit depth asked for by a raw audio code.
int32_t WantedBitDepth(int32_t code) {
  if (code == static_cast<int32_t>(MakeFourcc('P', 'C', '0', '8'))) return 8;
  if (code == static_cast<int32_t>(MakeFourcc('P', 'C', '2', '4'))) return 24;
  if (code == static_cast<int32_t>(MakeFourcc('P', 'C', '3', '2'))) return 32;
  return 16;
}

GUID WantedVideoSubtype(int32_t rawVideoCode) {
  GUID out{};
  TheVfccTable().GuidByCode(rawVideoCode, &out);
  return out;
}

// Encoder of the codec tag, connected after the tail; it becomes the tail.
HRESULT AddEncoder(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, CoderList list, const char* tag,
                   const char* paramText, int32_t bitrate, int32_t encoderType, HRESULT missing) {
  IMediaModule* encoder = modules.CreateByName(list, tag);
  if (!encoder) {
    Diag(DiagLevel::kError, "no %s encoder \"%s\"", encoderType == 0 ? "video" : "audio", tag);
    return missing;
  }
  HRESULT hr = ConnectNew(graph, modules, tail, encoder);
  if (hr != S_OK) return hr;
  tail = {encoder, 0};
  CParamList params;
  params.ParseText(paramText);
  params.SetInt("BITRATE", bitrate);
  params.SetInt("ETYPE", encoderType);
  hr = encoder->SetParams(&params);
  if (hr != S_OK)
    Diag(DiagLevel::kError, "the encoder \"%s\" cannot start with these settings (%08X)", tag,
         static_cast<unsigned>(hr));
  return hr;
}

// Raw output of another bit depth than the tail's gets a sample converter.
// When it could not be connected after the tail it still becomes the tail,
// and *loose tells that the graph has not taken it yet.
HRESULT AddBitDepthConverter(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, int32_t wantedDepth,
                             IMediaModule** loose) {
  *loose = nullptr;
  QueriedType type;
  if (!OutputType(tail, 0, type)) return S_OK;
  const AM_MEDIA_TYPE* mt = type.Get();
  if (mt->cbFormat < sizeof(WAVEFORMATEX) || !mt->pbFormat) return S_OK;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
  if (wave->wBitsPerSample == wantedDepth) return S_OK;
  IMediaModule* resampler = modules.CreateByName(CoderList::AudioFilter, "ARESAMPLE");
  if (!resampler) return NoFilter("ARESAMPLE");
  if (ConnectDirect(graph, tail, resampler, 0) != S_OK) *loose = resampler;
  CParamList params;
  params.SetInt("BITSPERSAMPLE", wantedDepth);
  resampler->SetParams(&params);
  tail = {resampler, 0};
  return S_OK;
}

// The last step of an audio chain; a loose tail that did not reach the
// writer either is closed.
HRESULT ConnectAudioTail(IJobGraph& graph, SourcePin tail, IMediaModule* writer, IMediaModule* loose) {
  HRESULT hr = ConnectToWriterInput(graph, tail, writer);
  if (hr != S_OK) DiscardModule(loose);
  return hr;
}

// The parameter text of the video filter list's "VSUBTITLE" entry, or null.
const char* SubtitleStyleText(const EncodeSettings& settings) {
  for (const FilterEntry& entry : settings.videoFilters)
    if (EqualsIgnoringCase(entry.key, "VSUBTITLE")) return entry.params.c_str();
  return nullptr;
}

std::atomic<int32_t> g_frameCounter{0};

}  // namespace

bool IsSubtitleMajorType(const GUID& major) { return major == kSubtitleMajorType || major == kSubtitleMajorTypeDvd; }

uint32_t SubtitleCode(const AM_MEDIA_TYPE* type) {
  if (!type) return 0;
  if (type->majortype == MEDIATYPE_Text) return kSubtitleCodeText;
  if (!IsSubtitleMajorType(type->majortype)) return 0;
  // DVD subpictures come with their own small format block.
  if (type->subtype == MEDIASUBTYPE_DVD_SUBPICTURE) return kSubtitleCodeDvd;
  if (type->formattype != kSubtitleFormatType) return 0;
  if (type->subtype == kSubtitleUtf8) return kSubtitleCodeUtf8;
  if (type->subtype == kSubtitleSsa) return kSubtitleCodeSsa;
  if (type->subtype == kSubtitleAss) return kSubtitleCodeAss;
  if (type->subtype == kSubtitleAss2) return kSubtitleCodeAss2;
  if (type->subtype == kSubtitleVobsub) return kSubtitleCodeVobsub;
  return 0;
}

bool TrySetInputType(IMediaModule* module, uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  CMediaTypeList variants;
  variants.Add(type);
  for (int32_t i = 0; i < variants.GetCount(); ++i)
    if (module->SetInputType(pin, variants.GetAt(i), testOnly) == S_OK) return true;
  return false;
}

bool TryAddInputPin(IMediaModule* writer, const AM_MEDIA_TYPE* type, int32_t flags) {
  CMediaTypeList variants;
  variants.Add(type);
  for (int32_t i = 0; i < variants.GetCount(); ++i)
    if (writer->AddInputPin(variants.GetAt(i), flags) == S_OK) return true;
  return false;
}

HRESULT ConnectDirect(IJobGraph& graph, SourcePin source, IMediaModule* destination, uint32_t destinationPin) {
  QueriedType type;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    AM_MEDIA_TYPE* mt = type.Get();
    if (source.module->SetOutputType(source.pin, mt, 1) != S_OK) continue;
    if (!TrySetInputType(destination, destinationPin, mt, 0)) continue;
    if (source.module->SetOutputType(source.pin, mt, 0) != S_OK) continue;
    graph.Connect(source.module, source.pin, destination, destinationPin);
    return S_OK;
  }
  return E_FAIL;
}

HRESULT ConnectWithConverter(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* destination,
                             uint32_t destinationPin) {
  if (ConnectDirect(graph, source, destination, destinationPin) == S_OK) return S_OK;
  QueriedType type;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    AM_MEDIA_TYPE* mt = type.Get();
    if (source.module->SetOutputType(source.pin, mt, 1) != S_OK) continue;
    IMediaModule* converter;
    if (IsUncompressedVideo(mt))
      converter = modules.CreateByName(CoderList::VideoFilter, "VRECOLOR");
    else if (IsUncompressedAudio(mt))
      converter = modules.CreateByName(CoderList::AudioFilter, "ARESAMPLE");
    else
      continue;
    if (!converter) return NoFilter(IsUncompressedVideo(mt) ? "VRECOLOR" : "ARESAMPLE");
    if (!TrySetInputType(converter, 0, mt, 0) || source.module->SetOutputType(source.pin, mt, 0) != S_OK) {
      DiscardModule(converter);
      continue;
    }
    graph.Connect(source.module, source.pin, converter, 0);
    return ConnectDirect(graph, {converter, 0}, destination, destinationPin);
  }
  return E_FAIL;
}

HRESULT ConnectToWriterInput(IJobGraph& graph, SourcePin source, IMediaModule* writer) {
  QueriedType type;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    AM_MEDIA_TYPE* mt = type.Get();
    if (source.module->SetOutputType(source.pin, mt, 0) != S_OK) continue;
    if (!TryAddInputPin(writer, mt, 0)) continue;
    graph.Connect(source.module, source.pin, writer, writer->GetInputPinCount() - 1);
    return S_OK;
  }
  return E_FAIL;
}

HRESULT ConnectToWriterAs(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer, bool wanted,
                          const GUID& wantedSubtype) {
  QueriedType type;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    AM_MEDIA_TYPE* mt = type.Get();
    if (wanted && mt->subtype != wantedSubtype) continue;
    if (source.module->SetOutputType(source.pin, mt, 0) != S_OK) continue;
    if (!TryAddInputPin(writer, mt, 0)) continue;
    graph.Connect(source.module, source.pin, writer, writer->GetInputPinCount() - 1);
    return S_OK;
  }
  if (!wanted) return E_FAIL;

  // The wanted pixel format through a colour converter.
  IMediaModule* converter = nullptr;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    AM_MEDIA_TYPE* mt = type.Get();
    if (!IsUncompressedVideo(mt)) continue;
    if (!converter) converter = modules.CreateByName(CoderList::VideoFilter, "VRECOLOR");
    if (!converter) return NoFilter("VRECOLOR");
    if (!TrySetInputType(converter, 0, mt, 0)) continue;
    if (source.module->SetOutputType(source.pin, mt, 0) != S_OK) continue;
    graph.Connect(source.module, source.pin, converter, 0);
    SourcePin converted{converter, 0};
    for (uint32_t j = 0; OutputType(converted, j, type); ++j) {
      AM_MEDIA_TYPE* out = type.Get();
      if (out->subtype != wantedSubtype) continue;
      HRESULT hr = converter->SetOutputType(0, out, 0);
      if (hr != S_OK) return hr;
      hr = writer->AddInputPin(out, 0);
      if (hr != S_OK) return hr;
      graph.Connect(converter, 0, writer, writer->GetInputPinCount() - 1);
      return S_OK;
    }
    return E_FAIL;
  }
  if (converter) DiscardModule(converter);
  return E_FAIL;
}

IMediaModule* CreateDecoderFor(IModuleSource& modules, SourcePin source) {
  QueriedType type;
  for (uint32_t i = 0; OutputType(source, i, type); ++i) {
    CMediaTypeList variants;
    variants.Add(type.Get());
    for (int32_t v = 0; v < variants.GetCount(); ++v)
      if (IMediaModule* decoder = modules.CreateDecoder(variants.GetAt(v))) return decoder;
  }
  return nullptr;
}

IMediaModule* CreateFilterByName(IModuleSource& modules, const char* name, int kind) {
  if (kind == 0) return modules.CreateByName(CoderList::VideoFilter, name);
  if (kind == 1) return modules.CreateByName(CoderList::AudioFilter, name);
  return nullptr;
}

bool RenderSubtitleStream(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule** slot) {
  *slot = nullptr;
  IMediaModule* writer = modules.CreateWriter("SUBTITLE", nullptr);
  if (!writer || ConnectToWriterInput(graph, source, writer) != S_OK) {
    ConsoleLine("Cannot render subtitle\n");
    DiscardModule(writer);
    return false;
  }
  *slot = writer;
  return true;
}

HRESULT InsertSubtitleFilters(const SubtitleWriterTable* table, IJobGraph& graph, IModuleSource& modules,
                              SourcePin& tail, SubtitlePass pass, int32_t startCut, const char* styleText,
                              const uint32_t* dvdPalette) {
  if (!table) return S_OK;
  for (IMediaModule* subtitleWriter : *table) {
    if (!subtitleWriter) continue;
    // The type stays alive until the filter has its parameters ("DATA" points into it).
    QueriedType type;
    CParamList params;
    params.Clear();
    if (styleText && pass == SubtitlePass::Final) {
      // The subtitle dialog's style, without its file: that has a filter of its own.
      params.ParseText(styleText);
      params.Remove("SUBFILE");
    }
    uint32_t code = 0;
    if (subtitleWriter->GetInputType(0, 0, type.Reset()) == S_OK) {
      const AM_MEDIA_TYPE* mt = type.Get();
      code = SubtitleCode(mt);
      if (mt->subtype == MEDIASUBTYPE_DVD_SUBPICTURE) {
        params.SetInt("STARTTIME", startCut);
        if (dvdPalette) params.SetPtr("PALETTE", const_cast<uint32_t*>(dvdPalette));
      }
      if (IsSubtitleMajorType(mt->majortype) && mt->formattype == kSubtitleFormatType) {
        params.SetInt("DATALEN", static_cast<int32_t>(mt->cbFormat));
        params.SetPtr("DATA", mt->pbFormat);
      }
    }
    params.SetInt("VFCC", static_cast<int32_t>(code));

    const bool dvd = code == kSubtitleCodeDvd;
    if (dvd != (pass == SubtitlePass::BeforeResize)) continue;
    IMediaModule* overlay = modules.CreateByName(CoderList::VideoFilter, dvd ? "VSUBTITLEDVD" : "VSUBTITLE");
    if (!overlay) return NoFilter(dvd ? "VSUBTITLEDVD" : "VSUBTITLE");
    HRESULT hr = ConnectNew(graph, modules, tail, overlay);
    if (hr != S_OK) return hr;
    hr = overlay->SetParams(&params);
    if (hr != S_OK) return hr;
    tail = {overlay, 0};

    CParamList handOver;
    handOver.SetPtr("VOBFILTER", overlay);
    subtitleWriter->SetParams(&handOver);
  }
  return S_OK;
}

void AddAudioMerger(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, int32_t mp3) {
  IMediaModule* merger = modules.CreateByName(CoderList::AudioFilter, "AMERGER");
  if (!merger) return;
  CParamList params;
  params.SetInt("MP3", mp3);
  params.SetInt("PCM", 1);
  merger->SetParams(&params);
  if (ConnectDirect(graph, tail, merger, 0) != S_OK) {
    DiscardModule(merger);
    return;
  }
  tail = {merger, 0};
}

HRESULT AddFrameRateChange(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, const FrameRateChange& rate) {
  IMediaModule* changer = modules.CreateByName(CoderList::VideoFilter, "VCHANGEFRAME");
  if (!changer) return NoFilter("VCHANGEFRAME");
  HRESULT hr = ConnectNew(graph, modules, tail, changer);
  if (hr != S_OK) return hr;
  tail = {changer, 0};
  CParamList params;
  params.SetInt("FRAMENUM", rate.numerator);
  params.SetInt("FRAMEDEN", rate.denominator);
  return changer->SetParams(&params);
}

HRESULT BuildVideoChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                        const EncodeSettings& settings, bool sourceUncompressed, const SubtitleWriterTable* subtitles,
                        int32_t startCut, int32_t stopCut, const FrameRateChange* frameRate,
                        const uint32_t* dvdPalette) {
  const bool copy = EqualsIgnoringCase(settings.videoCodec, "copy");
  const bool raw = EqualsIgnoringCase(settings.videoCodec, "raw");
  const GUID wanted = raw ? WantedVideoSubtype(settings.rawVideoCode) : GUID{};
  const bool encoderNeeded = !copy && !raw;
  const bool decoderNeeded = !copy && !sourceUncompressed;
  SourcePin tail = source;
  HRESULT hr;

  if (frameRate && frameRate->enabled && (hr = AddFrameRateChange(graph, modules, tail, *frameRate)) != S_OK) return hr;

  if (decoderNeeded) {
    IMediaModule* decoder = CreateDecoderFor(modules, tail);
    if (!decoder) {
      Diag(DiagLevel::kError, "no video decoder for the source stream");
      return E_NO_VIDEO_CODER;
    }
    if ((hr = ConnectNew(graph, modules, tail, decoder)) != S_OK) {
      Diag(DiagLevel::kError, "Cannot connect reader width decoder.");
      return hr;
    }
    tail = {decoder, 0};
  }

  if (!copy) {
    if (startCut != 0 || stopCut != 0) {
      IMediaModule* range = modules.CreateByName(CoderList::VideoFilter, "SDELAY");
      if (!range) return NoFilter("SDELAY");
      CParamList params;
      params.SetInt("STARTTM", startCut);
      params.SetInt("STOPTM", stopCut);
      params.SetInt("RAWVIDEO", 1);
      range->SetParams(&params);
      if ((hr = ConnectNew(graph, modules, tail, range)) != S_OK) return hr;
      tail = {range, 0};
    }
    for (const FilterEntry& entry : settings.videoFilters) {
      if (EqualsIgnoringCase(entry.key, "VRESIZE")) {
        hr = InsertSubtitleFilters(subtitles, graph, modules, tail, SubtitlePass::BeforeResize, startCut, nullptr,
                                   dvdPalette);
        if (hr != S_OK) return hr;
      }
      IMediaModule* filter = modules.CreateByName(CoderList::VideoFilter, entry.key);
      if (!filter) return NoFilter(entry.key);
      if ((hr = ConnectNew(graph, modules, tail, filter)) != S_OK) return hr;
      tail = {filter, 0};
      if ((hr = SetParamsFromText(filter, entry.params.c_str())) != S_OK) return hr;
    }
    hr = InsertSubtitleFilters(subtitles, graph, modules, tail, SubtitlePass::Final, startCut,
                               SubtitleStyleText(settings));
    if (hr != S_OK) return hr;
  }

  if (encoderNeeded) {
    hr = AddEncoder(graph, modules, tail, CoderList::VideoEncoder, settings.videoCodec, settings.videoParams,
                    settings.videoBitrate, 0, E_NO_VIDEO_CODER);
    if (hr != S_OK) return hr;
  }
  return ConnectToWriterAs(graph, modules, tail, writer, raw, wanted);
}

HRESULT BuildAudioChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                        const EncodeSettings& settings, bool sourceUncompressed, int32_t startCut, int32_t stopCut) {
  const bool copy = EqualsIgnoringCase(settings.audioCodec, "copy");
  const bool raw = EqualsIgnoringCase(settings.audioCodec, "raw");
  const int32_t depth = WantedBitDepth(settings.rawAudioCode);
  const bool encoderNeeded = !copy && !raw;
  const bool decoderNeeded = !copy && !sourceUncompressed;
  SourcePin tail = source;
  HRESULT hr;

  if (IMediaModule* merger = modules.CreateByName(CoderList::AudioFilter, "AMERGER")) {
    if (ConnectDirect(graph, tail, merger, 0) == S_OK)
      tail = {merger, 0};
    else
      DiscardModule(merger);
  }

  if (decoderNeeded) {
    IMediaModule* decoder = CreateDecoderFor(modules, tail);
    if (!decoder) {
      Diag(DiagLevel::kError, "no audio decoder for the source stream");
      return E_NO_AUDIO_CODER;
    }
    const char* name = RegistrationName(decoder);
    const bool ac3 = std::strcmp(name, "[FFM]AC3") == 0 || std::strcmp(name, "[FFM]EAC3") == 0;
    const bool dts = std::strcmp(name, "[FFM]DTS") == 0;
    if ((settings.channels == 1 && ac3) || (settings.channels == 2 && (ac3 || dts))) {
      CParamList params;
      params.SetInt("CHANNEL", settings.channels);
      decoder->SetParams(&params);
    }
    if ((hr = ConnectDirect(graph, tail, decoder, 0)) != S_OK) {
      DiscardModule(decoder);
      return hr;
    }
    tail = {decoder, 0};
  }

  if (!copy) {
    if (startCut != 0 || stopCut != 0) {
      IMediaModule* range = modules.CreateByName(CoderList::AudioFilter, "SDELAY");
      if (!range) return NoFilter("SDELAY");
      if ((hr = ConnectNew(graph, modules, tail, range)) != S_OK) return hr;
      tail = {range, 0};
      CParamList params;
      params.SetInt("STARTTM", startCut);
      params.SetInt("STOPTM", stopCut);
      if ((hr = range->SetParams(&params)) != S_OK) return hr;
    }
    for (const FilterEntry& entry : settings.audioFilters) {
      IMediaModule* filter = modules.CreateByName(CoderList::AudioFilter, entry.key);
      if (!filter) return NoFilter(entry.key);
      if ((hr = ConnectNew(graph, modules, tail, filter)) != S_OK) return hr;
      tail = {filter, 0};
      if ((hr = SetParamsFromText(filter, entry.params.c_str())) != S_OK) return hr;
    }
  }

  if (encoderNeeded) {
    hr = AddEncoder(graph, modules, tail, CoderList::AudioEncoder, settings.audioCodec, settings.audioParams,
                    settings.audioBitrate, 1, E_NO_AUDIO_CODER);
    if (hr != S_OK) return hr;
  }
  AddAudioMerger(graph, modules, tail, 0);  // the closing merger
  IMediaModule* loose = nullptr;
  if (raw && (hr = AddBitDepthConverter(graph, modules, tail, depth, &loose)) != S_OK) return hr;
  return ConnectAudioTail(graph, tail, writer, loose);
}

HRESULT BuildPassVideoChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                            const EncodeSettings& settings) {
  const bool copy = EqualsIgnoringCase(settings.videoCodec, "copy");
  const bool raw = EqualsIgnoringCase(settings.videoCodec, "raw");
  SourcePin tail = source;
  if (!copy && !raw) {
    HRESULT hr = AddEncoder(graph, modules, tail, CoderList::VideoEncoder, settings.videoCodec, settings.videoParams,
                            settings.videoBitrate, 0, E_NO_VIDEO_CODER);
    if (hr != S_OK) return hr;
  }
  return ConnectToWriterAs(graph, modules, tail, writer, raw, raw ? WantedVideoSubtype(settings.rawVideoCode) : GUID{});
}

HRESULT BuildPassAudioChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                            const EncodeSettings& settings) {
  const bool copy = EqualsIgnoringCase(settings.audioCodec, "copy");
  const bool raw = EqualsIgnoringCase(settings.audioCodec, "raw");
  SourcePin tail = source;
  HRESULT hr;
  if (!copy && !raw) {
    hr = AddEncoder(graph, modules, tail, CoderList::AudioEncoder, settings.audioCodec, settings.audioParams,
                    settings.audioBitrate, 1, E_NO_AUDIO_CODER);
    if (hr != S_OK) return hr;
  }
  AddAudioMerger(graph, modules, tail, 0);  // the closing merger
  IMediaModule* loose = nullptr;
  if (raw && (hr = AddBitDepthConverter(graph, modules, tail, WantedBitDepth(settings.rawAudioCode), &loose)) != S_OK)
    return hr;
  return ConnectAudioTail(graph, tail, writer, loose);
}

bool HookProgress(IJobGraph& graph, IMediaModule* writer, int32_t pin) {
  if (!writer) return false;
  int32_t chosen = -1;
  bool video = false;
  QueriedType type;
  if (pin < 0) {
    const uint32_t count = writer->GetInputPinCount();
    for (uint32_t i = 0; i < count; ++i) {
      if (writer->GetInputType(i, 0, type.Reset()) != S_OK) continue;
      if (type.Get()->majortype == MEDIATYPE_Video) {
        chosen = static_cast<int32_t>(i);
        video = true;
        break;
      }
      if (type.Get()->majortype == MEDIATYPE_Audio) chosen = static_cast<int32_t>(i);
    }
  } else if (static_cast<uint32_t>(pin) < writer->GetInputPinCount() &&
             writer->GetInputType(static_cast<uint32_t>(pin), 0, type.Reset()) == S_OK) {
    if (type.Get()->majortype == MEDIATYPE_Video) {
      chosen = pin;
      video = true;
    } else if (type.Get()->majortype == MEDIATYPE_Audio) {
      chosen = pin;
    }
  }
  if (chosen < 0) return false;
  IMediaModule* feeder = nullptr;
  uint32_t feederPin = 0;
  if (!graph.FindConnection(writer, static_cast<uint32_t>(chosen), &feeder, &feederPin, 0)) return false;
  graph.SetHook(feeder, feederPin, video ? VideoProgressHook : AudioProgressHook);
  return true;
}

namespace {

void StorePosition(IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  if (FAILED(sample->GetTime(&start, &stop))) return;
  SetControlPosition(CurrentJobChannel(), static_cast<int32_t>(start / 10000));
}

}  // namespace

void VideoProgressHook(IMediaSample* sample) {
  if (!sample) return;
  int32_t frames = g_frameCounter.fetch_add(1) + 1;
  SetControlFrameCount(CurrentJobChannel(), frames);
  StorePosition(sample);
}

void AudioProgressHook(IMediaSample* sample) {
  if (!sample) return;
  StorePosition(sample);
}

void ResetProgressFrameCounter() { g_frameCounter.store(0); }

int64_t FrameDurationFromRate(int32_t numerator, int32_t denominator) {
  if (denominator == 0) return 0;
  return static_cast<int64_t>(numerator) * 10000000 / denominator;
}
