#include "engine/modules/dvd/dvd_protocol.h"

#include <algorithm>
#include <cstdio>

#include "common/dvd/dvd_playback.h"

void DvdProtocolRegister() { BufferPoolInit(); }

CDvdByteSource::CDvdByteSource(const char* url)
    : url_(url != nullptr ? url : ""), logMemory_(std::make_shared<DvdLogMemory>()) {
  DvdProtocolRegister();
  buffer_ =
      CDvdStreamBuffer::Open(url_.c_str(), CDvdStreamBuffer::kAheadSize, CDvdStreamBuffer::kBehindSize, logMemory_);
}

bool CDvdByteSource::Reopen() {
  buffer_.reset();
  buffer_ =
      CDvdStreamBuffer::Open(url_.c_str(), CDvdStreamBuffer::kAheadSize, CDvdStreamBuffer::kBehindSize, logMemory_);
  return buffer_ != nullptr;
}

int CDvdByteSource::Read(uint8_t* buffer, int size) {
  if (!buffer_ || buffer == nullptr || size <= 0) return -1;
  const int32_t n = buffer_->Read(buffer, std::min(size, buffer_->readCap()));
  if (n > 0) return n;
  if (n < 0 || buffer_->failed()) return -1;
  return 0;
}

int64_t CDvdByteSource::Seek(int64_t offset, int whence) {
  if (!buffer_ || (whence != SEEK_SET && whence != SEEK_CUR)) return -1;
  return buffer_->Seek(offset, whence);
}

int32_t DvdDemuxerStreamId(int32_t id) {
  if (id > 0xFF && (id & 0xFF) == 0xBD) return (id >> 8) & 0xFF;
  if (id >= 0xC0 && id <= 0xEF) return id | 0x100;
  return id;
}

bool DvdStreamIdMatches(int32_t demuxerId, int32_t scanId) { return demuxerId == DvdDemuxerStreamId(scanId); }
