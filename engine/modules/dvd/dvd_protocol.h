#pragma once
// The "dvd" protocol: a "dvd:" source read by FFmpeg's demuxer as a byte source of the
// FFmpeg adapter.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/modules/dvd/dvd_stream_buffer.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

// Sets up the DVD buffer pool; the protocol itself needs no registration with FFmpeg.
void DvdProtocolRegister();

// A "dvd:" source as a byte source. Not seekable by bytes beyond moving the read position:
// the size is not known ahead.
class CDvdByteSource : public IByteSource {
 public:
  // Opens the "dvd:" path; check buffer() for null.
  explicit CDvdByteSource(const char* url);

  // Bytes, capped at the ring's ahead size less one block (readCap); 0 at the end; -1 when
  // reading the disc failed or the position was already overwritten.
  int Read(uint8_t* buffer, int size) override;
  // Moves the read position (SEEK_SET, SEEK_CUR); -1 for SEEK_END and kSeekSize.
  int64_t Seek(int64_t offset, int whence) override;
  CDvdStreamBuffer* buffer() const { return buffer_.get(); }
  // Closes the current source and opens the path again (to seek after the end).
  bool Reopen();

 private:
  std::string url_;
  std::shared_ptr<DvdLogMemory> logMemory_;  // shared by the buffers of every reopening
  std::unique_ptr<CDvdStreamBuffer> buffer_;
};

// The id FFmpeg's MPEG-PS demuxer gives a stream that the DVD scan or a job descriptor
// names: 0xE0 becomes 0x1E0, 0xC0+n becomes 0x1C0+n, a private-stream-1 substream
// ((sub << 8) | 0xBD) becomes sub; a bare substream id stays as it is.
int32_t DvdDemuxerStreamId(int32_t scanId);
// True when the demuxer's stream id is the stream that the scan id names.
bool DvdStreamIdMatches(int32_t demuxerId, int32_t scanId);
