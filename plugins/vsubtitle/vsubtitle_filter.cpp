#include "plugins/vsubtitle/vsubtitle_filter.h"

extern "C" {
#include <ass/ass.h>
}

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "common/param_list.h"
#include "platform/diagnostics.h"
#include "platform/media_sample.h"
#include "plugin-api/subtitle_types.h"

namespace {

constexpr int64_t kUnitsPerMs = 10000;
constexpr const char* kFallbackFamily = "DejaVu Sans";

// Errors and warnings of libass go to the trace.
void LibassMessage(int level, const char* format, va_list args, void*) {
  if (level > 2) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  Diag(DiagLevel::kTrace, "VSUBTITLE: libass: %s", text);
}

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int64_t FloorMs(int64_t units) {
  return units >= 0 ? units / kUnitsPerMs : -((-units + kUnitsPerMs - 1) / kUnitsPerMs);
}

struct Yuv {
  int32_t y, u, v;
};

// Limited-range BT.601 of an RGBA colour.
Yuv ColourToYuv(uint32_t rgba) {
  const int32_t r = rgba >> 24, g = (rgba >> 16) & 0xFF, b = (rgba >> 8) & 0xFF;
  return {((66 * r + 129 * g + 25 * b + 128) >> 8) + 16, ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128,
          ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128};
}

uint8_t Mix(int32_t colour, uint8_t frame, uint32_t weight) {
  return static_cast<uint8_t>((colour * int32_t(weight) + frame * int32_t(255 - weight) + 127) / 255);
}

// Blends libass's images (back to front) into the planes of a width x height frame.
void BlendImages(const ASS_Image* image, int32_t width, int32_t height, FramePlanes* planes) {
  for (; image; image = image->next) {
    const uint32_t opacity = 255 - (image->color & 0xFF);
    if (opacity == 0 || image->w <= 0 || image->h <= 0) continue;
    const Yuv c = ColourToYuv(image->color);
    const int32_t x0 = std::max(0, image->dst_x), y0 = std::max(0, image->dst_y);
    const int32_t x1 = std::min(width, image->dst_x + image->w), y1 = std::min(height, image->dst_y + image->h);
    if (x0 >= x1 || y0 >= y1) continue;
    auto weight = [&](int32_t x, int32_t y) -> uint32_t {
      if (x < x0 || x >= x1 || y < y0 || y >= y1) return 0;
      const uint8_t a = image->bitmap[static_cast<size_t>(y - image->dst_y) * image->stride + (x - image->dst_x)];
      return a * opacity / 255;
    };
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* line = planes->pointer[0] + static_cast<size_t>(y) * planes->pitch[0];
      for (int32_t x = x0; x < x1; ++x)
        if (const uint32_t k = weight(x, y)) line[x] = Mix(c.y, line[x], k);
    }
    const int32_t chromaWidth = std::min(width / 2, planes->pitch[1]);
    const int32_t chromaRows = std::min(height / 2, planes->rows[1]);
    for (int32_t cy = y0 / 2; cy <= (y1 - 1) / 2 && cy < chromaRows; ++cy) {
      uint8_t* u = planes->pointer[1] + static_cast<size_t>(cy) * planes->pitch[1];
      uint8_t* v = planes->pointer[2] + static_cast<size_t>(cy) * planes->pitch[2];
      for (int32_t cx = x0 / 2; cx <= (x1 - 1) / 2 && cx < chromaWidth; ++cx) {
        const uint32_t k = (weight(2 * cx, 2 * cy) + weight(2 * cx + 1, 2 * cy) + weight(2 * cx, 2 * cy + 1) +
                            weight(2 * cx + 1, 2 * cy + 1) + 2) /
                           4;
        if (!k) continue;
        u[cx] = Mix(c.u, u[cx], k);
        v[cx] = Mix(c.v, v[cx], k);
      }
    }
  }
}

}  // namespace

void CVSubtitleFilter::LibassDeleter::operator()(ass_library* p) const { ass_library_done(p); }
void CVSubtitleFilter::LibassDeleter::operator()(ass_renderer* p) const { ass_renderer_done(p); }
void CVSubtitleFilter::LibassDeleter::operator()(ass_track* p) const { ass_free_track(p); }

IVideoFilter* CVSubtitleFilter::Create(CParamList*) { return new (std::nothrow) CVSubtitleFilter(); }

int32_t CVSubtitleFilter::Destroy() {
  delete this;
  return 0;
}

int32_t CVSubtitleFilter::SetFormat(const FrameFormat* format) {
  if (!format || format->colourType != kColourYuv420 || format->width <= 0 || format->height <= 0) return 1;
  std::lock_guard<std::mutex> hold(lock_);
  input_ = *format;
  return 0;
}

int32_t CVSubtitleFilter::GetOutputFormat(FrameFormat* format) {
  std::lock_guard<std::mutex> hold(lock_);
  *format = input_;
  return 0;
}

int32_t CVSubtitleFilter::SetParams(CParamList* params) {
  if (!params) return 1;
  if (auto* sample = static_cast<IMediaSample*>(params->GetPtr("SAMPLE", nullptr))) return TakeSample(sample);
  return Configure(params);
}

int32_t CVSubtitleFilter::Configure(CParamList* params) {
  std::lock_guard<std::mutex> hold(lock_);
  style_ = ReadSubtitleStyle(params);
  track_.reset();
  source_ = Source::kNone;
  codecHeader_.clear();
  fileScript_.clear();
  fileCues_.clear();
  skipped_ = 0;
  slow_ = 0;
  codeReported_ = false;
  readOrder_ = 0;

  const uint32_t code = static_cast<uint32_t>(params->GetInt("VFCC", 0));
  if (code == kSubtitleCodeUtf8 || code == kSubtitleCodeText) {
    source_ = Source::kTextStream;
  } else if (code == kSubtitleCodeSsa || code == kSubtitleCodeAss || code == kSubtitleCodeAss2) {
    source_ = Source::kAssStream;
    // The script header behind the format block's head, when it lies inside the block.
    const auto* data = static_cast<const uint8_t*>(params->GetPtr("DATA", nullptr));
    const int64_t length = params->GetInt("DATALEN", 0);
    SubtitleFormatHeader head{};
    if (data && length >= static_cast<int64_t>(sizeof head)) {
      std::memcpy(&head, data, sizeof head);
      if (head.headerLength > 0 && int64_t(head.headerOffset) + int64_t(head.headerLength) <= length)
        codecHeader_.assign(reinterpret_cast<const char*>(data) + head.headerOffset, head.headerLength);
    }
  } else if (code != 0) {
    Diag(DiagLevel::kWarning, "VSUBTITLE: subtitles of code %08X are not drawn", static_cast<unsigned>(code));
  } else if (!style_.subtitleFile.empty()) {
    const HRESULT hr = LoadFile(style_.subtitleFile);
    if (hr != S_OK) return hr;
    source_ = Source::kFile;
  }
  return 1;
}

HRESULT CVSubtitleFilter::LoadFile(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "idx" || ext == "sub") {
    Diag(DiagLevel::kError, "VSUBTITLE: %s: VobSub subtitle files are not drawn", path.c_str());
    return E_SUBTITLE_FILE_UNSUPPORTED;
  }
  std::error_code error;
  std::ifstream file;
  if (std::filesystem::is_regular_file(path, error)) file.open(path, std::ios::binary | std::ios::ate);
  if (!file.is_open()) {
    Diag(DiagLevel::kError, "VSUBTITLE: cannot open the subtitle file %s", path.c_str());
    return E_SUBTITLE_FILE_MISSING;
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || size > kMaxSubtitleFileBytes) {
    Diag(DiagLevel::kError, "VSUBTITLE: %s is not a subtitle file (%lld bytes)", path.c_str(),
         static_cast<long long>(size));
    return E_SUBTITLE_FILE_UNSUPPORTED;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  file.seekg(0);
  if (!file.read(bytes.data(), size)) {
    Diag(DiagLevel::kError, "VSUBTITLE: cannot read the subtitle file %s", path.c_str());
    return E_SUBTITLE_FILE_MISSING;
  }
  const Utf8Text text = SubtitleBytesToUtf8(bytes, style_.charSet);
  skipped_ += text.droppedLines;
  if (LooksLikeAssScript(text.text)) {
    int32_t dropped = 0;
    fileScript_ = CleanAssScript(text.text, &dropped);
    skipped_ += dropped;
    Diag(DiagLevel::kNote, "VSUBTITLE: %s: SSA/ASS script, %d lines left out", path.c_str(), skipped_);
  } else {
    SrtParse parse = ParseSrt(text.text);
    fileCues_ = std::move(parse.cues);
    skipped_ += parse.skippedCues;
    Diag(DiagLevel::kNote, "VSUBTITLE: %s: %zu subtitles, %d left out", path.c_str(), fileCues_.size(), skipped_);
  }
  return S_OK;
}

bool CVSubtitleFilter::EnsureTrack() {
  if (source_ == Source::kNone) return false;
  const int32_t width = input_.width > 0 ? input_.width : 384;
  const int32_t height = input_.height > 0 ? input_.height : kStyleScriptHeight;
  if (track_ && width == trackWidth_ && height == trackHeight_) return true;
  if (!library_) {
    library_.reset(ass_library_init());
    if (!library_) return false;
    ass_set_message_cb(library_.get(), LibassMessage, nullptr);
  }
  if (!renderer_) {
    renderer_.reset(ass_renderer_init(library_.get()));
    if (!renderer_) return false;
    ass_set_fonts(renderer_.get(), nullptr, kFallbackFamily, ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  }
  ass_set_frame_size(renderer_.get(), width, height);
  ass_set_storage_size(renderer_.get(), width, height);
  trackWidth_ = width;
  trackHeight_ = height;
  if (track_) return true;  // the script is drawn at the new size

  if (source_ == Source::kFile && !fileScript_.empty()) {
    std::string script = BoundAssScript(fileScript_, width, height, &limits_);
    track_.reset(ass_read_memory(library_.get(), script.data(), script.size(), nullptr));
    return track_ != nullptr;
  }
  track_.reset(ass_new_track(library_.get()));
  if (!track_) return false;
  std::string header = BoundAssScript(
      source_ == Source::kAssStream && !codecHeader_.empty() ? codecHeader_ : StyleScriptHeader(style_, width, height),
      width, height, &limits_);
  ass_process_codec_private(track_.get(), header.data(), static_cast<int>(header.size()));
  if (source_ == Source::kFile)
    for (const TextCue& cue : fileCues_) AddTextEvent(cue.text, cue.startMs, cue.endMs - cue.startMs);
  return true;
}

void CVSubtitleFilter::AddTextEvent(const std::string& assText, int64_t startMs, int64_t durationMs) {
  std::string chunk = std::to_string(readOrder_++) + ",0,Default,,0,0,0,," + BoundEventText(assText, limits_);
  ass_process_chunk(track_.get(), chunk.data(), static_cast<int>(chunk.size()), startMs, durationMs);
}

int32_t CVSubtitleFilter::TakeSample(IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  BYTE* data = nullptr;
  const LONG length = sample->GetActualDataLength();
  std::lock_guard<std::mutex> hold(lock_);
  if (source_ != Source::kTextStream && source_ != Source::kAssStream) return 0;
  if (length <= 0) return 0;  // a gap between subtitles
  if ((timed != S_OK && timed != VFW_S_NO_STOP_TIME) || sample->GetPointer(&data) != S_OK || !data) {
    ++skipped_;
    return 0;
  }
  std::string text(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  if (text.empty()) return 0;  // a gap between subtitles
  if (!IsValidUtf8(text)) {
    Diag(DiagLevel::kWarning, "VSUBTITLE: a subtitle at %lld ms is not UTF-8 text: left out",
         static_cast<long long>(FloorMs(start)));
    ++skipped_;
    return 0;
  }
  const int64_t startMs = FloorMs(start);
  // The reader marks a sample without a length of its own with a stop 1 ms on.
  const bool hasLength = timed == S_OK && stop - start > kUnitsPerMs;
  const int64_t durationMs = hasLength ? FloorMs(stop - start) : kUntimedSubtitleMs;
  if (!EnsureTrack()) return 0;
  if (source_ == Source::kAssStream) {
    text = BoundAssChunk(text, limits_);
    ass_process_chunk(track_.get(), text.data(), static_cast<int>(text.size()), startMs, durationMs);
  } else {
    AddTextEvent(SrtToAssText(text), startMs, durationMs);
  }
  return 0;
}

int32_t CVSubtitleFilter::Process(int64_t* startTime, FramePlanes* in, FramePlanes*) {
  if (!startTime || !in || !in->pointer[0] || !in->pointer[1] || !in->pointer[2]) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  if (input_.colourType != kColourYuv420 || !EnsureTrack()) return 0;
  const long long now = SubtitleLookupMs(style_, FloorMs(*startTime));
  const auto began = std::chrono::steady_clock::now();
  const ASS_Image* images = ass_render_frame(renderer_.get(), track_.get(), now, nullptr);
  const auto took = std::chrono::steady_clock::now() - began;
  if (took > renderBudget_) {
    LeaveOutSlowEvents(now, took);
    return 0;
  }
  BlendImages(images, input_.width, input_.height, in);
  return 0;
}

void CVSubtitleFilter::LeaveOutSlowEvents(int64_t nowMs, std::chrono::nanoseconds took) {
  int32_t count = 0;
  for (int i = 0; i < track_->n_events; ++i) {
    ASS_Event& event = track_->events[i];
    if (event.Start <= nowMs && nowMs < event.Start + event.Duration) {
      event.Duration = 0;
      ++count;
    }
  }
  if (count == 0) return;
  slow_ += count;
  Diag(DiagLevel::kWarning, "VSUBTITLE: drawing the subtitles at %lld ms took %.1f s: %d left out",
       static_cast<long long>(nowMs), std::chrono::duration<double>(took).count(), count);
}

int32_t CVSubtitleFilter::SlowCount() {
  std::lock_guard<std::mutex> hold(lock_);
  return slow_;
}

void CVSubtitleFilter::SetRenderBudget(std::chrono::nanoseconds budget) {
  std::lock_guard<std::mutex> hold(lock_);
  renderBudget_ = budget;
}

int32_t CVSubtitleFilter::EventCount() {
  std::lock_guard<std::mutex> hold(lock_);
  if (source_ == Source::kFile && !track_) return static_cast<int32_t>(fileCues_.size());
  return track_ ? track_->n_events : 0;
}

int32_t CVSubtitleFilter::SkippedCount() {
  std::lock_guard<std::mutex> hold(lock_);
  return skipped_;
}
