#include "engine/modules/pass/pass_message.h"

#include <algorithm>
#include <cstring>

namespace pass {

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kMaxChunkBytes = int64_t{1} << 26;  // bounds absurd formats

template <class T>
void Put(uint8_t* out, size_t offset, T value) {
  std::memcpy(out + offset, &value, sizeof value);
}

template <class T>
T Get(const uint8_t* in, size_t offset) {
  T value;
  std::memcpy(&value, in + offset, sizeof value);
  return value;
}

}  // namespace

void EncodeHeader(const MessageHeader& header, uint8_t* out) {
  std::memset(out, 0, kHeaderBytes);
  Put<int32_t>(out, 0, header.flags);
  Put<int64_t>(out, 8, header.start);
  Put<int64_t>(out, 16, header.stop);
  Put<int32_t>(out, 24, header.length);
}

bool DecodeHeader(const uint8_t* message, size_t size, MessageHeader* header) {
  if (size < kHeaderBytes) return false;
  header->flags = Get<int32_t>(message, 0);
  header->start = Get<int64_t>(message, 8);
  header->stop = Get<int64_t>(message, 16);
  header->length = Get<int32_t>(message, 24);
  return header->length >= 0 && static_cast<size_t>(header->length) <= size - kHeaderBytes;
}

std::string QueueName(int32_t processId, bool video, int32_t index) {
  return "PID" + std::to_string(processId) + (video ? "_V" : "_A") + std::to_string(index);
}

int64_t AudioEndTime(int64_t start, int64_t bytes, int32_t channels, int32_t sampleRate) {
  if (channels <= 0 || sampleRate <= 0) return start;
  return start + (bytes * 5000000 / channels) / sampleRate;
}

bool PlanSilence(int64_t from, int64_t to, int32_t sampleRate, int32_t channels,
                 const std::function<bool(int64_t start, uint32_t bytes)>& send) {
  if (to <= from || sampleRate <= 0 || channels <= 0) return true;
  // Counted in sample frames: a quarter second of an odd rate is not a whole
  // number of them, and half a frame would shift every later sample.
  const int64_t frameBytes = int64_t{channels} * 2;
  const __int128 span = static_cast<__int128>(to - from) * sampleRate;
  const int64_t total = static_cast<int64_t>((span + kUnitsPerSecond / 2) / kUnitsPerSecond);
  const int64_t quarter = std::clamp<int64_t>(sampleRate / 4, 1, kMaxChunkBytes / frameBytes);
  auto startOf = [&](int64_t frames) {
    return from + static_cast<int64_t>(static_cast<__int128>(frames) * kUnitsPerSecond / sampleRate);
  };
  int64_t sent = 0;
  for (; total - sent > quarter; sent += quarter)
    if (!send(startOf(sent), static_cast<uint32_t>(quarter * frameBytes))) return false;
  if (total > sent) return send(startOf(sent), static_cast<uint32_t>((total - sent) * frameBytes));
  return true;
}

int64_t FrameAlignedEnd(int64_t videoEnd, int64_t end, int64_t frameDuration) {
  if (frameDuration <= 0) frameDuration = kDefaultFrameDuration;
  if (end <= videoEnd) return videoEnd;
  return videoEnd + (end - videoEnd + frameDuration - 1) / frameDuration * frameDuration;
}

bool PlanBlackFrames(int64_t from, int64_t to, int64_t frameDuration, const std::function<bool(int64_t start)>& send) {
  if (frameDuration <= 0) frameDuration = kDefaultFrameDuration;
  // Whole frames only, each ending by `to`, where the next segment's first
  // picture starts: one reaching past it would make the video outlast its time.
  for (int64_t t = from; to - t >= frameDuration; t += frameDuration)
    if (!send(t)) return false;
  return true;
}

std::vector<uint8_t> BlackYv12Frame(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {};
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> frame(luma * 3 / 2, 128);
  std::fill(frame.begin(), frame.begin() + static_cast<long>(luma), 16);
  return frame;
}

}  // namespace pass
