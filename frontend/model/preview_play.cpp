#include "frontend/model/preview_play.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "common/control_block.h"
#include "frontend/model/output_names.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/task.h"

namespace fs = std::filesystem;

namespace {

// The output-choice resize entry of a filter list; null when there is none.
template <class Filters>
auto SystemResize(Filters& filters) -> decltype(&filters.front()) {
  for (auto& e : filters)
    if ((e.flags & kFilterSystem) &&
        EqualsIgnoringCase(std::string_view(e.key, strnlen(e.key, sizeof e.key)), "VRESIZE"))
      return &e;
  return nullptr;
}

}  // namespace

bool MakePlayerTask(const CTask& chosen, CTask& preview, uint32_t window, int32_t width, int32_t height,
                    std::string& message) {
  if (chosen.sources.empty()) {
    message = "The task has no source to play.";
    return false;
  }
  preview.CopySettings(chosen);
  MediaInfo& first = *preview.sources.front();
  first.clipStart = 0;
  first.clipEnd = 0;
  const double length = first.record.length + 0.1;
  preview.duration = length > 0 && std::isfinite(length) && length < 4294967295.0 ? uint32_t(length) : 0;
  preview.sources.resize(1);
  preview.job.frameRate.Clear();
  if (!preview.BuildJobSources(message)) return false;
  preview.job.settings.passFlag = 0;

  OutputSettings s;
  SetJobText(s.name, "PLAYER");
  SetJobText(s.muxer, "PLAYER");
  SetJobText(s.audioCodec, "RAW");
  s.sampleRate = 48000;
  s.channels = 2;
  s.audioBitrate = 0;
  s.volume = 100;
  SetJobText(s.videoCodec, "RAW");
  // The filters run at the output's size, so that what they place in output
  // pixels (a watermark) keeps its place and size; the player scales the
  // finished picture to the panel.
  s.width = chosen.outputVideo.width;
  s.height = chosen.outputVideo.height;
  char params[96];
  std::snprintf(params, sizeof params, "\"HWND\"=%d,\"WIDTH\"=%d,\"HEIGHT\"=%d", static_cast<int32_t>(window), width,
                height);
  SetJobText(s.muxerParams, params);
  if (!preview.ApplyProfile(s, preview.job.settings.sourceMode, message)) return false;
  // The output's own layout of the picture (its pixel aspect is not the raw
  // player's).
  if (const FilterEntry* resize = SystemResize(chosen.job.settings.videoFilters))
    if (FilterEntry* own = SystemResize(preview.VideoFilters())) own->params = resize->params;
  preview.job.settings.rawAudioCode = static_cast<int32_t>(ParseFourCC("PCMA"));
  preview.job.settings.rawVideoCode = static_cast<int32_t>(ParseFourCC("RG24"));
  if (preview.PrependVideoFilter("VCAPTURE", "", 0) == nullptr) {
    message = "The frame-capture filter cannot be added.";
    return false;
  }
  return true;
}

int32_t BarPositionForMs(int32_t ms, uint32_t durationSeconds) {
  if (durationSeconds == 0) return 0;
  const double v = ms * 0.001 / durationSeconds * kPreviewBarRange;
  return static_cast<int32_t>(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

int64_t SeekTargetForBar(int32_t position, uint32_t durationSeconds) {
  return static_cast<int64_t>(position * (1.0 / kPreviewBarRange) * durationSeconds * 10000000.0);
}

std::string PositionText(int32_t ms, const std::string& durationText) {
  const int64_t t = ms;
  const int64_t hours = t / 3600000;
  const int64_t minutes = t % 3600000 / 60000;
  const int64_t seconds = static_cast<int64_t>((t % 60000) * 0.001);
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld/", static_cast<long long>(hours),
                static_cast<long long>(minutes), static_cast<long long>(seconds));
  return text + durationText;
}

// ---- the real engine ----

namespace {

class EnginePlayerSession final : public IPlayerSession {
 public:
  explicit EnginePlayerSession(std::unique_ptr<EngineSession> s) : s_(std::move(s)) {}
  uint8_t* Control() override { return EngineSession::GetControl(s_.get()); }
  EngineExitState GetExitCode(HRESULT* code) override { return EngineSession::GetExitCode(s_.get(), code); }
  bool Terminate() override { return EngineSession::Terminate(s_.get()); }
  int32_t GetResult() override { return EngineSession::GetResult(s_.get()); }
  void SetValue(int32_t value) override { EngineSession::SetValue(s_.get(), value); }
  void RequestStop() override { EngineSession::RequestStop(*s_); }
  void SetPlayerPause(int32_t flag) override { EngineSession::SetPlayerPause(*s_, flag); }
  void PostSeek(int64_t time) override { EngineSession::PostSeek(*s_, time); }

 private:
  std::unique_ptr<EngineSession> s_;
};

class EngineStarter final : public IPlayerStarter {
 public:
  std::unique_ptr<IPlayerSession> Start(uint32_t window, ConvertJob& job, std::string& error) override {
    auto session = StartEnginePlayer(window, job, &error);
    if (!session) return nullptr;
    return std::make_unique<EnginePlayerSession>(std::move(session));
  }
};

}  // namespace

IPlayerStarter& EnginePlayerStarter() {
  static EngineStarter starter;
  return starter;
}

// ---- snapshots ----

bool LockCapturedFrame(uint8_t* control, int tries, int sleepMs) {
  for (int i = 0; i < tries; ++i) {
    int32_t expected = 0;
    if (BlockWord(control, ControlBlock::kFrameLock).compare_exchange_strong(expected, 1)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  }
  return false;
}

void UnlockCapturedFrame(uint8_t* control) { BlockWord(control, ControlBlock::kFrameLock).exchange(0); }

namespace {

uint8_t Clip(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// Planar 4:2:0 (top-down) into packed B, G, R rows (top-down).
std::vector<uint8_t> YuvToBgr(const uint8_t* pixels, int32_t w, int32_t h) {
  const int32_t cw = w / 2, ch = h / 2;
  const uint8_t* yPlane = pixels;
  const uint8_t* uPlane = yPlane + size_t(w) * h;
  const uint8_t* vPlane = uPlane + size_t(cw) * ch;
  std::vector<uint8_t> out(size_t(w) * h * 3);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t cy = ch > 0 ? std::min(y / 2, ch - 1) : 0;
    for (int32_t x = 0; x < w; ++x) {
      const int32_t cx = cw > 0 ? std::min(x / 2, cw - 1) : 0;
      const double Y = 1.164 * (yPlane[size_t(y) * w + x] - 16);
      const double U = cw > 0 && ch > 0 ? uPlane[size_t(cy) * cw + cx] - 128.0 : 0.0;
      const double V = cw > 0 && ch > 0 ? vPlane[size_t(cy) * cw + cx] - 128.0 : 0.0;
      uint8_t* p = &out[(size_t(y) * w + x) * 3];
      p[0] = Clip(Y + 2.018 * U);
      p[1] = Clip(Y - 0.813 * V - 0.391 * U);
      p[2] = Clip(Y + 1.596 * V);
    }
  }
  return out;
}

// Rows of 3 x w bytes resampled from h rows to outH rows (linear between the
// two nearest rows); the row order is kept.
std::vector<uint8_t> ScaleRows(const uint8_t* rows, int32_t w, int32_t h, int32_t outH) {
  const size_t line = size_t(w) * 3;
  std::vector<uint8_t> out(line * outH);
  for (int32_t y = 0; y < outH; ++y) {
    double s = (y + 0.5) * h / outH - 0.5;
    s = std::clamp(s, 0.0, double(h - 1));
    const int32_t a = static_cast<int32_t>(s);
    const int32_t b = std::min(a + 1, h - 1);
    const double f = s - a;
    const uint8_t* ra = rows + line * a;
    const uint8_t* rb = rows + line * b;
    uint8_t* o = &out[line * y];
    for (size_t i = 0; i < line; ++i) o[i] = Clip(ra[i] * (1 - f) + rb[i] * f);
  }
  return out;
}

}  // namespace

bool MakeSnapshotPicture(const uint8_t* control, double aspect, SnapshotPicture& out) {
  auto* view = const_cast<uint8_t*>(control);
  const int32_t w = BlockWord(view, ControlBlock::kFrameWidth).load();
  const int32_t h = BlockWord(view, ControlBlock::kFrameHeight).load();
  const int32_t layout = BlockWord(view, ControlBlock::kFrameLayout).load();
  if (w < 1 || w > 1999 || h < 1 || h > 1999) return false;
  size_t bytes = 0;
  if (layout == 1)
    bytes = size_t(w) * h * 3;
  else if (layout == 0)
    bytes = size_t(w) * h + 2 * size_t(w / 2) * size_t(h / 2);
  else
    return false;
  // A frame the pixel area cannot hold was never written whole.
  if (bytes > ControlBlock::kPixelBytes) return false;
  if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1.0;
  const double scaled = h / aspect + 0.1;
  if (!(scaled < 1e6)) return false;
  const int32_t outH = static_cast<int32_t>(scaled) / 4 * 4;
  if (outH <= 0) return false;

  const uint8_t* pixels = control + ControlBlock::kPixels;
  if (layout == 1) {
    // Already bottom-up: scaling keeps the row order.
    out.rows = ScaleRows(pixels, w, h, outH);
  } else {
    const std::vector<uint8_t> bgr = YuvToBgr(pixels, w, h);
    out.rows = ScaleRows(bgr.data(), w, h, outH);
    // Top-down into bottom-up.
    const size_t line = size_t(w) * 3;
    std::vector<uint8_t> tmp(line);
    for (int32_t i = 0; i < outH / 2; ++i) {
      uint8_t* a = &out.rows[line * i];
      uint8_t* b = &out.rows[line * (outH - 1 - i)];
      std::copy(a, a + line, tmp.begin());
      std::copy(b, b + line, a);
      std::copy(tmp.begin(), tmp.end(), b);
    }
  }
  out.width = w;
  out.height = outH;
  return true;
}

std::string SnapshotFilePath(const std::string& folder, const std::tm& local) {
  char stem[64];
  std::snprintf(stem, sizeof stem, "SNAP-%04d-%02d-%02d %02d %02d %02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  std::string path = folder + "/" + stem + ".jpg";
  std::error_code ec;
  for (int n = 2; fs::exists(path, ec) && n < 10000; ++n)
    path = folder + "/" + stem + " (" + std::to_string(n) + ").jpg";
  return path;
}
