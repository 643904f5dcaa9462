// modrun: runs one filter module of the registry over a raw input file and
// writes what it delivers, so a filter can be compared with the ffmpeg CLI.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/video_media_type.h"
#include "engine/registry/module_registry.h"
#include "platform/mem_allocator.h"
#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/video_filter.h"
#include "tools/tool_args.h"

namespace {

const char kUsage[] =
    "usage: modrun --video WxH[:FORMAT] [--fps N/D] [--out-format FORMAT] [options] NAME IN OUT\n"
    "       modrun --audio RATE:CHANNELS:BITS [options] NAME IN OUT\n"
    "\n"
    "Runs the video or audio filter NAME of the module registry (built-in rows,\n"
    "then the plug-ins in plugin/ beside this program) over the raw file IN and\n"
    "writes every sample it delivers to OUT, as the graph would run it: input\n"
    "type, parameters, output type, allocators, Run, samples, end of stream.\n"
    "Input samples are stamped from 0: one frame each at the --fps rate, or\n"
    "the audio by its byte count.\n"
    "\n"
    "  --video WxH[:FORMAT]   IN holds whole frames of this size and format\n"
    "                         (default format i420)\n"
    "  --fps N/D              frame rate of the input (default 25/1)\n"
    "  --out-format FORMAT    take the module's first output type of this\n"
    "                         format (default: the input's format when the\n"
    "                         module offers it, else its first output type)\n"
    "  --audio RATE:CHANNELS:BITS\n"
    "                         IN holds interleaved little-endian integer PCM\n"
    "                         (8-bit unsigned, 16/24/32-bit signed)\n"
    "  --params TEXT          the module's parameter text, as a job carries it:\n"
    "                         \"KEY\"=123,\"NAME\"=\"text\",\"GAMMA\"=F1.5 (F: a double)\n"
    "  --set KEY=VALUE        one more parameter: an integer when VALUE is one,\n"
    "                         else a string (may be repeated; after --params)\n"
    "                         Without --params and --set the module gets no\n"
    "                         parameters at all, as for an inserted converter.\n"
    "  --times FILE           also write one line per delivered sample to FILE:\n"
    "                         its start and stop in 100-ns units (- when it has\n"
    "                         none) and its length in bytes\n"
    "  --help                 this text\n"
    "\n"
    "Video formats and the ffmpeg -pix_fmt of the same bytes:\n"
    "  i420, iyuv  yuv420p (chroma planes of (w+1)/2 x (h+1)/2)\n"
    "  yv12        yuv420p with V before U\n"
    "  rgb24       bgr24, rows bottom-up (ffmpeg: add vflip)\n"
    "  rgb32       bgra, rows bottom-up;  argb32 the same bytes\n"
    "  yuy2        yuyv422;  uyvy  uyvy422\n"
    "  rgb565      rgb565le, rows bottom-up;  rgb555  rgb555le, rows bottom-up\n"
    "\n"
    "The output type is printed to standard error. Exit status: 0 done, 1 the\n"
    "module or the files failed (OUT is removed), 2 bad arguments.\n"
    "\n"
    "Examples:\n"
    "  modrun --video 720x576:i420 --set WIDTH=320 --set HEIGHT=240 VRESIZE in.yuv out.yuv\n"
    "  modrun --audio 44100:2:16 --set SAMPLERATE=48000 ARESAMPLE in.pcm out.pcm\n"
    "  modrun --video 640x360 --params '\"FILENAME\"=\"logo.png\",\"ALPHA\"=F0.5,\"ALIGN\"=9' \\\n"
    "         VWATERMARK in.yuv out.yuv\n"
    "  modrun --video 64x48 --fps 30000/1001 --set FRAMENUM=1001 --set FRAMEDEN=24000 \\\n"
    "         --times times.txt VREFRAME in.yuv out.yuv\n";

struct VideoFormatName {
  const char* name;
  int32_t colourType;
  int32_t variant;
};

constexpr VideoFormatName kVideoFormats[] = {
    {"yv12", kColourYuv420, 0},   {"i420", kColourYuv420, 1},   {"iyuv", kColourYuv420, 2}, {"rgb24", kColourRgb24, 0},
    {"rgb32", kColourRgb32, 0},   {"argb32", kColourRgb32, 1},  {"yuy2", kColourYuy2, 0},   {"uyvy", kColourUyvy, 0},
    {"rgb565", kColourRgb565, 0}, {"rgb555", kColourRgb555, 0},
};

const VideoFormatName* FindVideoFormat(const std::string& name) {
  for (const auto& f : kVideoFormats)
    if (strcasecmp(f.name, name.c_str()) == 0) return &f;
  return nullptr;
}

// The subtype a format name stands for.
bool SubtypeOf(const VideoFormatName& f, GUID* subtype) {
  FrameFormat probe{16, 16, f.colourType, {0, 0}, 1, 25};
  MediaTypeHolder mt;
  if (mt.Get() == nullptr || BuildVideoMediaType(&probe, f.variant, mt.Get()) != S_OK) return false;
  *subtype = mt.Get()->subtype;
  return true;
}

const char* FormatNameOf(const GUID& subtype) {
  for (const auto& f : kVideoFormats) {
    GUID g;
    if (SubtypeOf(f, &g) && g == subtype) return f.name;
  }
  return "?";
}

bool ParseInt(const char* text, long min, long max, int32_t* value) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
  *value = int32_t(v);
  return true;
}

// "A<sep>B" into two integers.
bool ParsePair(const std::string& text, char sep, long min, long max, int32_t* a, int32_t* b) {
  const size_t at = text.find(sep);
  if (at == std::string::npos) return false;
  return ParseInt(text.substr(0, at).c_str(), min, max, a) && ParseInt(text.substr(at + 1).c_str(), min, max, b);
}

struct Options {
  bool video = false, audio = false;
  int32_t width = 0, height = 0;
  const VideoFormatName* inFormat = &kVideoFormats[1];
  const VideoFormatName* outFormat = nullptr;
  int32_t fpsNum = 25, fpsDen = 1;
  int32_t rate = 0, channels = 0, bits = 0;
  CParamList params;
  bool hasParams = false;  // --params or --set given
  std::string name, in, out;
  std::string times;  // --times: the delivered samples' times
};

int Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "modrun: %s\n\n", problem);
  std::fputs(kUsage, problem ? stderr : stdout);
  return 2;
}

// 0 parsed, 1 --help, 2 bad arguments (reported).
int ParseArgs(int argc, char** argv, Options* o) {
  std::string paramsText;
  std::vector<std::string> sets;
  enum { kVideo, kFps, kOutFormat, kAudio, kTimes, kParams, kSet };
  const std::vector<ToolOption> table = {{"video", true}, {"fps", true},    {"out-format", true}, {"audio", true},
                                         {"times", true}, {"params", true}, {"set", true}};
  const ToolArgs args = ParseToolArgs(argc, argv, table, [&](size_t id, const std::string& value) -> std::string {
    std::string v = value;
    switch (id) {
      case kVideo: {
        const size_t colon = v.find(':');
        if (colon != std::string::npos) {
          o->inFormat = FindVideoFormat(v.substr(colon + 1));
          if (!o->inFormat) return "unknown video format";
          v.resize(colon);
        }
        if (!ParsePair(v, 'x', 1, 16384, &o->width, &o->height)) return "bad frame size";
        o->video = true;
        return "";
      }
      case kFps:
        return ParsePair(v, '/', 1, 1000000, &o->fpsNum, &o->fpsDen) ? "" : "bad --fps";
      case kOutFormat:
        return (o->outFormat = FindVideoFormat(v)) ? "" : "unknown output format";
      case kAudio: {
        const size_t c1 = v.find(':');
        const size_t c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
        if (c2 == std::string::npos || !ParseInt(v.substr(0, c1).c_str(), 1, 1000000, &o->rate) ||
            !ParseInt(v.substr(c1 + 1, c2 - c1 - 1).c_str(), 1, 32, &o->channels) ||
            !ParseInt(v.substr(c2 + 1).c_str(), 8, 32, &o->bits) || o->bits % 8 != 0)
          return "bad --audio";
        o->audio = true;
        return "";
      }
      case kTimes:
        if (v.empty()) return "--times needs a file";
        o->times = v;
        return "";
      case kParams:
        paramsText = v;
        return "";
      default:
        if (v.find('=') == std::string::npos || v.front() == '=') return "--set needs KEY=VALUE";
        sets.push_back(v);
        return "";
    }
  });
  if (!args.error.empty()) return Usage(args.error.c_str());
  if (args.help) {
    Usage(nullptr);
    return 1;
  }
  const std::vector<std::string>& positional = args.words;
  if (o->video == o->audio) return Usage("give exactly one of --video and --audio");
  if (positional.size() != 3) return Usage("need NAME, IN and OUT");
  if (o->audio && o->outFormat) return Usage("--out-format is for video");
  o->name = positional[0];
  o->in = positional[1];
  o->out = positional[2];
  o->hasParams = !paramsText.empty() || !sets.empty();
  o->params.ParseText(paramsText.c_str());
  for (const std::string& s : sets) {
    const size_t eq = s.find('=');
    const std::string key = s.substr(0, eq), val = s.substr(eq + 1);
    int32_t n = 0;
    if (ParseInt(val.c_str(), INT32_MIN, INT32_MAX, &n))
      o->params.SetInt(key.c_str(), n);
    else
      o->params.SetString(key.c_str(), val.c_str());
  }
  return 0;
}

// Receives what the module delivers.
struct Sink {
  FILE* file = nullptr;
  FILE* times = nullptr;  // optional
  uint64_t bytes = 0;
  uint64_t samples = 0;
  bool ended = false;
  bool failed = false;

  static HRESULT Deliver(IMediaSample* delivered, void* context) {
    auto* self = static_cast<Sink*>(context);
    Ref<IMediaSample> sample(delivered);
    if (!sample) {
      self->ended = true;
      return 0;
    }
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const LONG length = sample->GetActualDataLength();
    if (self->times) {
      REFERENCE_TIME start = 0, stop = 0;
      const HRESULT timed = sample->GetTime(&start, &stop);
      int written;
      if (timed == S_OK)
        written = std::fprintf(self->times, "%lld %lld %ld\n", (long long)start, (long long)stop, (long)length);
      else if (SUCCEEDED(timed))
        written = std::fprintf(self->times, "%lld - %ld\n", (long long)start, (long)length);
      else
        written = std::fprintf(self->times, "- - %ld\n", (long)length);
      if (written < 0) self->failed = true;
    }
    if (length > 0 && data != nullptr) {
      if (std::fwrite(data, 1, size_t(length), self->file) != size_t(length)) self->failed = true;
      self->bytes += uint64_t(length);
      ++self->samples;
    }
    return 0;
  }
};

Ref<IMemAllocator> MakeAllocator(LONG count, LONG size) {
  Ref<IMemAllocator> a;
  if (CreateMemoryAllocator(a.Out()) != S_OK || !a) return {};
  ALLOCATOR_PROPERTIES request{count, size, 32, 0}, actual{};
  if (a->SetProperties(&request, &actual) != S_OK || a->Commit() != S_OK) return {};
  return a;
}

void MakeWaveType(const Options& o, AM_MEDIA_TYPE* mt) {
  mt->majortype = MEDIATYPE_Audio;
  mt->subtype = MEDIASUBTYPE_PCM;
  mt->formattype = FORMAT_WaveFormatEx;
  mt->bFixedSizeSamples = 1;
  mt->lSampleSize = ULONG(o.channels * o.bits / 8);
  AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX));
  auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt->pbFormat);
  std::memset(wfx, 0, sizeof(*wfx));
  wfx->wFormatTag = 1;
  wfx->nChannels = WORD(o.channels);
  wfx->nSamplesPerSec = DWORD(o.rate);
  wfx->wBitsPerSample = WORD(o.bits);
  wfx->nBlockAlign = WORD(o.channels * o.bits / 8);
  wfx->nAvgBytesPerSec = DWORD(o.rate) * wfx->nBlockAlign;
}

// Picks and sets the module's output type, its sample size in *outSize; false when none fits.
bool ChooseOutputType(IMediaModule* m, const Options& o, AM_MEDIA_TYPE* chosen, LONG* outSize) {
  GUID wanted = GUID_NULL;
  if (o.outFormat && !SubtypeOf(*o.outFormat, &wanted)) return false;
  // Without a wanted format: the input's own when offered, else the first.
  GUID own = GUID_NULL;
  bool ownOffered = false;
  if (o.video && !o.outFormat && SubtypeOf(*o.inFormat, &own)) {
    for (uint32_t i = 0; i < 256 && !ownOffered; ++i) {
      ClearMediaTypeFormat(chosen);
      InitMediaType(chosen);
      if (m->GetOutputType(0, i, chosen) != S_OK) break;
      ownOffered = chosen->subtype == own;
    }
  }
  for (uint32_t i = 0; i < 256; ++i) {
    ClearMediaTypeFormat(chosen);
    InitMediaType(chosen);
    if (m->GetOutputType(0, i, chosen) != S_OK) break;
    if (o.outFormat && chosen->subtype != wanted) continue;
    if (ownOffered && chosen->subtype != own) continue;
    if (m->SetOutputType(0, chosen, 1) != 0 || m->SetOutputType(0, chosen, 0) != 0) continue;
    if (o.video) {
      FrameFormat f{};
      FramePlanes p{};
      if (!ParseVideoMediaType(chosen, &f, &p)) continue;
      *outSize = LONG(FramePlanesSize(p));
      std::fprintf(stderr, "output: %dx%d %s\n", f.width, f.height, FormatNameOf(chosen->subtype));
    } else {
      if (chosen->formattype != FORMAT_WaveFormatEx || chosen->cbFormat < 16) continue;
      const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(chosen->pbFormat);
      // One second of output, so no resampled block overflows a buffer.
      *outSize = LONG(std::max<uint32_t>(wfx->nAvgBytesPerSec, 65536));
      std::fprintf(stderr, "output: %u Hz, %u channels, %u bits\n", unsigned(wfx->nSamplesPerSec),
                   unsigned(wfx->nChannels), unsigned(wfx->wBitsPerSample));
    }
    return true;
  }
  std::fprintf(stderr, "modrun: %s offers no output type%s%s\n", o.name.c_str(), o.outFormat ? " of format " : "",
               o.outFormat ? o.outFormat->name : "");
  return false;
}

// Feeds the whole input through the module; true when every sample went in.
bool Feed(IMediaModule* m, IMemAllocator* input, FILE* in, const Options& o, LONG chunk, LONG frameSize) {
  std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
  const int64_t bytesPerSecond = o.audio ? int64_t(o.rate) * o.channels * (o.bits / 8) : 0;
  const int64_t frameDuration = o.video ? int64_t(o.fpsDen) * 10000000 / o.fpsNum : 0;
  int64_t position = 0;  // bytes fed
  int64_t frame = 0;
  for (;;) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got == 0) break;
    if (o.video && got != size_t(frameSize)) {
      std::fprintf(stderr, "modrun: input ends inside a frame (%zu of %d bytes)\n", got, frameSize);
      return false;
    }
    Ref<IMediaSample> s;
    if (input->GetBuffer(s.Out(), nullptr, nullptr, 0) != S_OK || !s) {
      std::fprintf(stderr, "modrun: no input buffer from %s\n", o.name.c_str());
      return false;
    }
    BYTE* p = nullptr;
    s->GetPointer(&p);
    if (p == nullptr || s->GetSize() < LONG(got)) {
      std::fprintf(stderr, "modrun: input buffer of %d bytes is too small\n", int(s->GetSize()));
      return false;
    }
    std::memcpy(p, buffer.data(), got);
    s->SetActualDataLength(LONG(got));
    REFERENCE_TIME start, stop;
    if (o.video) {
      start = frame * frameDuration;
      stop = start + frameDuration;
    } else {
      start = position * 10000000 / bytesPerSecond;
      stop = (position + int64_t(got)) * 10000000 / bytesPerSecond;
    }
    s->SetTime(&start, &stop);
    s->SetSyncPoint(1);
    const HRESULT hr = m->Receive(0, s.Detach());
    if (hr != S_OK) std::fprintf(stderr, "modrun: sample %lld refused: %08X\n", (long long)frame, unsigned(hr));
    position += int64_t(got);
    ++frame;
  }
  if (std::ferror(in)) {
    std::fprintf(stderr, "modrun: cannot read %s\n", o.in.c_str());
    return false;
  }
  m->Receive(0, nullptr);
  return true;
}

int Run(Options& o) {
  LoadCodecTables();
  CModuleRegistry& registry = TheModuleRegistry();
  registry.Init();
  const CCoderList& list = o.video ? registry.videoFilters : registry.audioFilters;
  if (list.FindByName(o.name.c_str()) == nullptr) {
    std::fprintf(stderr, "modrun: no %s filter named %s\n", o.video ? "video" : "audio", o.name.c_str());
    return 1;
  }
  IMediaModule* m = list.CreateByName(o.name.c_str());
  if (m == nullptr) {
    std::fprintf(stderr, "modrun: %s is registered but not available\n", o.name.c_str());
    return 1;
  }

  // Input size checks before anything is written.
  struct stat st {};
  if (stat(o.in.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "modrun: cannot read %s\n", o.in.c_str());
    DiscardModule(m);
    return 1;
  }
  MediaTypeHolder inType, outType;
  LONG frameSize = 0;
  if (o.video) {
    FrameFormat f{o.width, o.height, o.inFormat->colourType, {0, 0}, uint32_t(o.fpsDen), uint32_t(o.fpsNum)};
    if (BuildVideoMediaType(&f, o.inFormat->variant, inType.Get()) != S_OK) {
      DiscardModule(m);
      return 1;
    }
    FramePlanes p{};
    FrameFormat parsed{};
    ParseVideoMediaType(inType.Get(), &parsed, &p);
    frameSize = LONG(FramePlanesSize(p));
    if (st.st_size % frameSize != 0) {
      std::fprintf(stderr, "modrun: %s is not a whole number of %d-byte frames\n", o.in.c_str(), int(frameSize));
      DiscardModule(m);
      return 1;
    }
  } else {
    MakeWaveType(o, inType.Get());
    if (st.st_size % (o.channels * o.bits / 8) != 0) {
      std::fprintf(stderr, "modrun: %s is not a whole number of sample frames\n", o.in.c_str());
      DiscardModule(m);
      return 1;
    }
  }

  HRESULT hr = m->SetInputType(0, inType.Get(), 0);
  if (hr != 0) {
    std::fprintf(stderr, "modrun: %s refuses the input type: %08X\n", o.name.c_str(), unsigned(hr));
    DiscardModule(m);
    return 1;
  }
  if (o.hasParams && (hr = m->SetParams(&o.params)) != 0) {
    std::fprintf(stderr, "modrun: %s refuses the parameters: %08X\n", o.name.c_str(), unsigned(hr));
    DiscardModule(m);
    return 1;
  }
  LONG outSize = 0;
  if (!ChooseOutputType(m, o, outType.Get(), &outSize)) {
    DiscardModule(m);
    return 1;
  }

  FILE* in = std::fopen(o.in.c_str(), "rb");
  Sink sink;
  sink.file = std::fopen(o.out.c_str(), "wb");
  if (!o.times.empty()) sink.times = std::fopen(o.times.c_str(), "w");
  if (in == nullptr || sink.file == nullptr || (!o.times.empty() && sink.times == nullptr)) {
    std::fprintf(stderr, "modrun: cannot open %s\n",
                 in == nullptr          ? o.in.c_str()
                 : sink.file == nullptr ? o.out.c_str()
                                        : o.times.c_str());
    if (in) std::fclose(in);
    if (sink.file) std::fclose(sink.file);
    if (sink.times) std::fclose(sink.times);
    DiscardModule(m);
    return 1;
  }

  // Allocators downstream first, as the graph sets them up.
  bool ok = false;
  Ref<IMemAllocator> output = MakeAllocator(4, outSize);
  Ref<IMemAllocator> input;
  ALLOCATOR_PROPERTIES req{}, actual{};
  if (output && m->SetOutputAllocator(0, output.Get()) == 0 && m->SetOutputCallback(0, &Sink::Deliver, &sink) == 0 &&
      m->GetInputAllocator(0, input.Out()) == 0 && input && m->GetAllocatorRequirements(0, &req) == 0) {
    const LONG chunk =
        o.video ? frameSize : LONG(std::max<int64_t>(int64_t(o.rate) * o.channels * (o.bits / 8) / 10, 1));
    req.cBuffers = std::max<LONG>(req.cBuffers, 1);
    req.cbBuffer = std::max(req.cbBuffer, chunk);
    input->SetProperties(&req, &actual);
    input->Commit();
    if ((hr = m->Run()) != 0) {
      std::fprintf(stderr, "modrun: %s does not run: %08X\n", o.name.c_str(), unsigned(hr));
    } else {
      ok = Feed(m, input.Get(), in, o, chunk, frameSize);
      m->Stop();
    }
  } else {
    std::fprintf(stderr, "modrun: cannot set up allocators for %s\n", o.name.c_str());
  }
  if (ok && !sink.ended) {
    std::fprintf(stderr, "modrun: %s did not pass end of stream\n", o.name.c_str());
    ok = false;
  }
  input.Reset();  // the module owns it and frees it on Close
  DiscardModule(m);
  if (output) {
    output->Decommit();
    output.Reset();
  }
  std::fclose(in);
  if (std::fclose(sink.file) != 0 || sink.failed) {
    std::fprintf(stderr, "modrun: cannot write %s\n", o.out.c_str());
    ok = false;
  }
  if (sink.times && std::fclose(sink.times) != 0) {
    std::fprintf(stderr, "modrun: cannot write %s\n", o.times.c_str());
    ok = false;
  }
  if (!ok) {
    unlink(o.out.c_str());
    if (!o.times.empty()) unlink(o.times.c_str());
    return 1;
  }
  std::fprintf(stderr, "%llu samples, %llu bytes written\n", (unsigned long long)sink.samples,
               (unsigned long long)sink.bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const int parsed = ParseArgs(argc, argv, &o);
  if (parsed == 1) return 0;
  if (parsed != 0) return 2;
  return Run(o);
}
