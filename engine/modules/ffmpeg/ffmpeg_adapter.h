// The engine's one door to FFmpeg's libraries. FFmpeg modules describe codecs
// with CodecContext (FFmpeg's field names, no FFmpeg headers) and reach
// demuxing, codec parameters and picture sizes only through these functions.
// Codec ids and pixel formats are the linked build's AVCodecID and
// AVPixelFormat values.
// Results: 0 or a negative FFmpeg error (FFErrorText), bool for found.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

// AVMediaType values.
enum : int32_t {
  CODEC_TYPE_UNKNOWN = -1,
  CODEC_TYPE_VIDEO = 0,
  CODEC_TYPE_AUDIO = 1,
  CODEC_TYPE_DATA = 2,
  CODEC_TYPE_SUBTITLE = 3,
};

// AVSampleFormat values the media-type translations test.
enum : int32_t {
  SAMPLE_FMT_NONE = -1,
  SAMPLE_FMT_U8 = 0,
  SAMPLE_FMT_S16 = 1,
  SAMPLE_FMT_S32 = 2,
};

// A time stamp that is not set.
constexpr int64_t kNoTimestamp = INT64_MIN;

struct FFRational {
  int32_t num = 0;
  int32_t den = 1;
};

// What a codec is: filled from a demuxed stream or a media type, handed to
// decoders, encoders and muxers.
struct CodecContext {
  int32_t codec_type = CODEC_TYPE_UNKNOWN;
  int32_t codec_id = 0;  // AV_CODEC_ID_NONE
  uint32_t codec_tag = 0;
  int64_t bit_rate = 0;
  int32_t sub_id = 0;  // MPEG audio layer (1, 2, 3) when known
  int32_t width = 0;
  int32_t height = 0;
  int32_t pix_fmt = -1;  // AV_PIX_FMT_NONE
  FFRational time_base;
  FFRational sample_aspect_ratio{0, 1};
  int32_t sample_rate = 0;
  int32_t channels = 0;
  int32_t sample_fmt = SAMPLE_FMT_NONE;
  int32_t frame_size = 0;
  int32_t block_align = 0;
  int32_t bits_per_sample = 0;
  std::vector<uint8_t> extradata;

  int32_t extradata_size() const { return static_cast<int32_t>(extradata.size()); }
};

// Bytes of one picture of the format and size; 0 for an unknown format or size.
int32_t PictureBufferSize(int32_t pixFmt, int32_t width, int32_t height);
// Xiph lacing of value into out (value / 255 + 1 bytes); returns the bytes written.
int32_t XiphLacing(uint8_t* out, uint32_t value);
// FFmpeg's short codec name ("h264"), "none" for an unknown id.
const char* CodecName(int32_t codecId);

// FFmpeg codec parameters to and from a CodecContext. MPEG audio carries the
// layer in sub_id; a layer 1 or 2 context with the MP3 id becomes MP1 or MP2.
void CodecContextFromParameters(const AVCodecParameters* par, CodecContext* ctx);
// 0 on success, a negative FFmpeg error when memory ran out.
int CodecContextToParameters(const CodecContext& ctx, AVCodecParameters* par);

// A byte source read through FFmpeg's I/O layer (for sources that are not
// plain files or URLs, e.g. DVD titles).
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Bytes read, 0 at the end, negative on error.
  virtual int Read(uint8_t* buffer, int size) = 0;
  // whence: SEEK_SET, SEEK_CUR, SEEK_END, or kSeekSize to ask the total size.
  // New position (or size), negative when not possible.
  virtual int64_t Seek(int64_t offset, int whence) = 0;

  static constexpr int kSeekSize = 0x10000;
};

// One demuxed packet (owns its data).
class FFPacket {
 public:
  FFPacket();
  ~FFPacket();
  FFPacket(const FFPacket&) = delete;
  FFPacket& operator=(const FFPacket&) = delete;

  int streamIndex() const;
  const uint8_t* data() const;
  int32_t size() const;
  // In the stream's time base; kNoTimestamp when not set.
  int64_t pts() const;
  int64_t dts() const;
  // In the stream's time base; 0 when unknown.
  int64_t duration() const;
  bool keyFrame() const;
  // Byte position in the input where the packet starts; -1 when unknown.
  int64_t position() const;
  void Unref();

  AVPacket* raw() { return packet_; }

 private:
  AVPacket* packet_;
};

// One stream of an open input.
struct FFStreamDesc {
  int32_t index = 0;
  int32_t id = 0;  // container's stream id (MPEG: 0x1E0, 0xC0, 0x80...)
  CodecContext codec;
  FFRational timeBase;
  FFRational frameRate{0, 1};        // average frame rate, else the real base rate; 0/1 unknown
  int64_t startTime = kNoTimestamp;  // in timeBase
  int64_t duration = kNoTimestamp;   // in timeBase, as the container declares it
};

// An input opened and probed by FFmpeg.
class FFDemuxer {
 public:
  FFDemuxer() = default;
  ~FFDemuxer();
  FFDemuxer(const FFDemuxer&) = delete;
  FFDemuxer& operator=(const FFDemuxer&) = delete;

  // Opens a file or URL. 0 on success, else a negative FFmpeg error.
  int Open(const char* url);
  // Opens through a byte source that stays owned by the caller and must
  // outlive the input. name is used for messages and format guessing.
  int OpenCustom(const char* name, IByteSource* source);
  // Probes the streams. 0 on success, else a negative FFmpeg error.
  int FindStreamInfo();
  void Close();
  bool IsOpen() const { return format_ != nullptr; }

  int StreamCount() const;
  // false when index is out of range.
  bool GetStream(int index, FFStreamDesc* desc) const;
  // Short name of the container format ("avi", "mov,mp4,m4a,3gp,3g2,mj2"...).
  std::string FormatName() const;
  // kNoTimestamp when unknown.
  int64_t DurationMicroseconds() const;
  // True when the duration is only a guess from the bit rate and the file size.
  bool DurationIsEstimate() const;
  int64_t StartTimeMicroseconds() const;

  // 0 with a packet; negative at the end of the input or on a read error.
  int ReadPacket(FFPacket* packet);
  // Seeks any stream backward to the position in microseconds. 0 on success.
  int SeekBackward(int64_t microseconds);
  // Custom input only: the byte source has restarted its stream at position
  // 0; moves the source there, drops the buffered bytes and FFmpeg's read
  // state (queued packets, parsers). 0 on success.
  int RestartCustomInput();

 private:
  AVFormatContext* format_ = nullptr;
  AVIOContext* io_ = nullptr;  // custom I/O only
};

// Bounds on what FFmpeg may spend opening and probing inputs, for callers
// that must answer in time. Process-wide: inputs opened afterwards use them.
struct InputBounds {
  int64_t probeBytes = 0;           // bytes read to find the streams; 0 keeps FFmpeg's default
  int64_t analyzeMicroseconds = 0;  // media time read to find the streams; 0 keeps FFmpeg's default
  // After this time every FFmpeg I/O and probing loop of any input gives up
  // (AVERROR_EXIT); the epoch (the default) sets no deadline.
  std::chrono::steady_clock::time_point deadline{};
};
void SetInputBounds(const InputBounds& bounds);
// True once the deadline of the bounds has passed.
bool InputDeadlinePassed();

// True when FFmpeg would open the path through a protocol other than a
// plain file ("http:", "pipe:"...).
bool IsProtocolUrl(const char* path);
// The file path behind a "file:" URL or plain path.
std::string FilePathOfUrl(const char* path);
// Text of an FFmpeg error code.
std::string FFErrorText(int error);
// True for the error that ends an input normally (FFmpeg's end of file).
bool IsEndOfInput(int error);

// FFmpeg's ids by their short names, for modules that describe streams themselves.
constexpr int32_t kCodecIdNone = 0;
// Codec id of a codec name ("mpeg2video"); kCodecIdNone for an unknown name.
int32_t CodecIdByName(const char* name);
// Pixel format of a format name ("yuv420p"); -1 (none) for an unknown name.
int32_t PixelFormatByName(const char* name);
// The closest rational to value whose terms are at most max; 0/1 for a value with none
// (not a number, infinite).
FFRational RationalFromDouble(double value, int32_t max);
