#pragma once
// The "dvd" protocol: a "dvd:" source read by FFmpeg through a custom AVIOContext (or
// through the FFmpeg adapter's byte-source seam).

#include <cstdint>

#include "engine/modules/dvd/dvd_stream_buffer.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

struct AVIOContext;

// Sets up the DVD buffer pool; the protocol itself needs no registration with FFmpeg.
void DvdProtocolRegister();

// An AVIOContext over a new "dvd:" source (streamed: not seekable by bytes). Null when the
// path cannot be scanned or memory runs out. *source receives the stream buffer, which
// stays owned by the context.
AVIOContext* DvdAvioOpen(const char* url, CDvdStreamBuffer** source);
// Closes the source (joining its thread) and frees the context; clears the pointer.
void DvdAvioClose(AVIOContext** context);

// The read and seek callbacks, for a CDvdStreamBuffer as opaque.
// Read: bytes, capped at the ring's ahead size less one block (read_cap); AVERROR_EOF at the end; AVERROR(EIO) when
// reading the disc failed or the position was already overwritten.
int DvdAvioRead(void* opaque, uint8_t* buffer, int size);
// Seek: moves the read position (SEEK_SET, SEEK_CUR); -1 for SEEK_END and AVSEEK_SIZE.
int64_t DvdAvioSeek(void* opaque, int64_t offset, int whence);

// The same source as a byte source of the FFmpeg adapter (Read: 0 at the end, negative on
// a failure).
class CDvdByteSource : public IByteSource {
 public:
  // Opens the "dvd:" path; check buffer() for null.
  explicit CDvdByteSource(const char* url);
  ~CDvdByteSource() override;
  CDvdByteSource(const CDvdByteSource&) = delete;
  CDvdByteSource& operator=(const CDvdByteSource&) = delete;

  int Read(uint8_t* buffer, int size) override;
  int64_t Seek(int64_t offset, int whence) override;
  CDvdStreamBuffer* buffer() const { return buffer_; }
  // Closes the current source and opens the path again (to seek after the end).
  bool Reopen();

 private:
  char url_[kDvdPathSize + 64];
  CDvdStreamBuffer* buffer_ = nullptr;
};

// The id FFmpeg's MPEG-PS demuxer gives a stream that the DVD scan or a job descriptor
// names: 0xE0 becomes 0x1E0, 0xC0+n becomes 0x1C0+n, a private-stream-1 substream
// ((sub << 8) | 0xBD) becomes sub; a bare substream id stays as it is.
int32_t DvdDemuxerStreamId(int32_t scan_id);
// True when the demuxer's stream id is the stream that the scan id names.
bool DvdStreamIdMatches(int32_t demuxer_id, int32_t scan_id);
