// What the pass writer of a conversion process sends to the pass reader of the
// merging process: one queue per stream, one message per sample (a 32-byte
// header, the sample's bytes and 8 bytes of no meaning), and the silence and
// black frames that pad a stream to the end of the longest one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pass {

// Message flags.
constexpr int32_t kDiscontinuity = 0x01;
constexpr int32_t kSyncPoint = 0x02;
constexpr int32_t kPreroll = 0x04;
constexpr int32_t kStartValid = 0x08;
constexpr int32_t kStopValid = 0x10;
constexpr int32_t kStop = 0x20;          // the reader's own message: the stream ends
constexpr int32_t kEndOfSegment = 0x40;  // a conversion ended; start = its end time

constexpr size_t kHeaderBytes = 32;
constexpr size_t kOverhead = 40;        // header + 8 trailing bytes
constexpr int64_t kPaddingStamp = 100;  // duration stamped on padding samples, 100-ns units
constexpr int64_t kDefaultFrameDuration = 416666;

// Header fields of a queued sample (little-endian): flags @0, 0 @4, start @8,
// stop @16, data length @24, a writer-side word @28.
struct MessageHeader {
  int32_t flags = 0;
  int64_t start = 0;
  int64_t stop = 0;
  int32_t length = 0;
};

// Writes the 32 header bytes (the writer-side word is 0).
void EncodeHeader(const MessageHeader& header, uint8_t* out);
// Reads the header of a message of `size` bytes; false when it is shorter than
// the header or its data length is negative or runs past the message.
bool DecodeHeader(const uint8_t* message, size_t size, MessageHeader* header);

// "PID%d_V%d" or "PID%d_A%d".
std::string QueueName(int32_t processId, bool video, int32_t index);

// A stream's end time after a sample with data: audio start + its duration
// (16-bit samples), video start + the frame duration.
int64_t AudioEndTime(int64_t start, int64_t bytes, int32_t channels, int32_t sampleRate);

// Silence from `from` to `to` for 16-bit PCM: chunks of a quarter second, the
// last one covering the rest, each a whole number of sample frames. `send`
// gets each chunk's start (100-ns units) and size in bytes and returns false to
// stop early. Returns false when stopped.
bool PlanSilence(int64_t from, int64_t to, int32_t sampleRate, int32_t channels,
                 const std::function<bool(int64_t start, uint32_t bytes)>& send);
// Where a segment ends so that its video ends there too: `end` moved on to the
// next frame boundary of a video whose frames end at `videoEnd`.
int64_t FrameAlignedEnd(int64_t videoEnd, int64_t end, int64_t frameDuration);
// Black frames padding video from `from` towards `to`, one per frame duration,
// each ending by `to`: a gap shorter than a frame is left open.
bool PlanBlackFrames(int64_t from, int64_t to, int64_t frameDuration, const std::function<bool(int64_t start)>& send);
// One black YV12 picture: luma 16, chroma 128.
std::vector<uint8_t> BlackYv12Frame(int32_t width, int32_t height);

}  // namespace pass
