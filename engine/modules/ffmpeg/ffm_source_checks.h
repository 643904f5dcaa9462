// Checks of a demuxed source against what it declares, shared by the readers
// over FFmpeg's demuxers: the pictures of uncompressed video that its packets
// must fill, and the length its container or streams give.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

// Largest uncompressed picture a source may declare.
constexpr int32_t kMaxRawSide = 16384;
constexpr int64_t kMaxRawPixels = int64_t{64} << 20;

// True for uncompressed video whose declared picture is beyond the bound above:
// a source that is not read at all.
bool RawPictureBeyondBound(const CodecContext& codec);

// Guards one uncompressed video stream, whose packets go downstream as whole
// pictures: a packet smaller than the declared picture is refused, and the
// stream fails when refused packets are more than 5 % of those seen (a first
// packet refused fails it).
class CRawPictureGuard {
 public:
  enum class Verdict { kPass, kRefuse, kFail };

  // Arms the guard for the stream (inactive for anything but uncompressed video).
  void Reset(const FFStreamDesc& stream);
  // One packet of the stream. Logs the first refusal and the failure, naming the sizes.
  Verdict Check(int32_t packetSize, const std::string& path);

 private:
  bool active_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int64_t frameBytes_ = 0;  // 0: the format gives no size to check
  int64_t seen_ = 0;
  int64_t refused_ = 0;
};

// The end (100 ns, on the input's own clock) that the file's header declares where
// FFmpeg may not keep it once the file is cut: a WAV's data chunk length, an AVI's
// video stream length, an ASF file's play duration. kNoTimestamp for other files
// and for headers that do not say (streaming placeholders).
int64_t HeaderDeclaredEnd(const std::string& path);

// The end (100 ns, on the input's own clock) that a file declares for the streams:
// the latest stream end when each of them declares one, else the container's
// duration (not a guess from the bit rate), raised to the header's own end.
// kNoTimestamp when nothing declares a length.
int64_t DeclaredSourceEnd(const FFDemuxer& demuxer, const std::string& path,
                          const std::vector<const FFStreamDesc*>& streams);

// A source that ended on its own at `reached` before the `end` it declares,
// judged over the range from `first` (100 ns, input clock; `offset` is taken off
// for the log line). More than 5 % of the range missing: writes the log line
// saying how far it got, reports the source failure and returns true.
bool ReportShortSource(const std::string& path, int64_t first, int64_t reached, int64_t end, int64_t offset);
