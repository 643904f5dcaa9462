// Test media helpers for the codec tests: clips made by the ffmpeg CLI under
// the build folder, packets demuxed with libavformat, counts from ffprobe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

namespace ffmtest {

struct Packet {
  std::vector<uint8_t> data;
  int64_t start = INT64_MIN;  // 100-ns units, INT64_MIN when unknown
  int64_t stop = INT64_MIN;
  bool key = false;
};

struct Stream {
  int codecType = -1;  // AVMediaType
  int codecId = 0;
  int sampleRate = 0;
  int channels = 0;
  int width = 0;
  int height = 0;
  int pixFmt = -1;
  int bitsPerCodedSample = 0;
  int blockAlign = 0;
  int64_t bitRate = 0;
  uint32_t codecTag = 0;
  int frameRateNum = 0;
  int frameRateDen = 1;
  std::vector<uint8_t> extradata;
  CodecContext codec;  // as the reader describes the stream
  std::vector<Packet> packets;
};

// Folder for the test's own media (made on first use).
std::string MediaDir();
// The shared fixtures folder (FIXTURES_REQUIRED media).
std::string FixtureDir();
bool HaveFfmpeg();
// Runs a shell command; true on exit status 0.
bool Shell(const std::string& command);
// Makes MediaDir()/name with "ffmpeg -y <args> <path>" unless it exists; the path or "".
std::string MakeClip(const std::string& name, const std::string& args);
// First stream of the type (AVMediaType) in the file, all its packets read; false when none.
bool ReadStream(const std::string& path, int codecType, Stream* stream);
// ffprobe -count_frames for the first stream of the type ("v" or "a"); -1 on failure.
int64_t ProbeFrameCount(const std::string& path, const char* kind);
// What ffprobe says of a file.
struct ProbedFile {
  std::string format;               // format_name
  double duration = -1;             // seconds, -1 when unknown
  std::vector<std::string> codecs;  // "type:codec" per stream, sorted ("audio:aac", "video:h264")
  std::string raw;                  // ffprobe's text, for failure messages
};
// Format, duration and stream codecs; a file without a stored duration gets the end
// of its last packet (stamped packets) or the sum of packet durations (unstamped).
ProbedFile ProbeFile(const std::string& path);
// Total decoded audio samples per channel according to the ffmpeg CLI; -1 on failure.
int64_t CliAudioSampleCount(const std::string& path);
// Reads a whole file; empty when missing.
std::vector<uint8_t> ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace ffmtest
