#include "engine/modules/dvd/dvd_protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "common/dvd/dvd_playback.h"

namespace {

constexpr int kAvioBufferSize = 32768;

}  // namespace

void DvdProtocolRegister() { BufferPoolInit(); }

int DvdAvioRead(void* opaque, uint8_t* buffer, int size) {
  auto* source = static_cast<CDvdStreamBuffer*>(opaque);
  if (source == nullptr || buffer == nullptr || size <= 0) return AVERROR(EINVAL);
  const int32_t n = source->Read(buffer, std::min(size, source->read_cap()));
  if (n > 0) return n;
  if (n < 0 || source->failed()) return AVERROR(EIO);
  return AVERROR_EOF;  // never 0: the demuxer would ask again for ever
}

int64_t DvdAvioSeek(void* opaque, int64_t offset, int whence) {
  auto* source = static_cast<CDvdStreamBuffer*>(opaque);
  if (source == nullptr) return -1;
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return -1;  // the size is not known ahead
  if (whence != SEEK_SET && whence != SEEK_CUR) return -1;
  return source->Seek(offset, whence);
}

AVIOContext* DvdAvioOpen(const char* url, CDvdStreamBuffer** source) {
  if (source != nullptr) *source = nullptr;
  DvdProtocolRegister();
  CDvdStreamBuffer* buffer = CDvdStreamBuffer::Open(url);
  if (buffer == nullptr) return nullptr;
  auto* data = static_cast<uint8_t*>(av_malloc(kAvioBufferSize));
  AVIOContext* context = data != nullptr
                             ? avio_alloc_context(data, kAvioBufferSize, 0, buffer, DvdAvioRead, nullptr, DvdAvioSeek)
                             : nullptr;
  if (context == nullptr) {
    av_free(data);
    CDvdStreamBuffer::Close(&buffer);
    return nullptr;
  }
  context->seekable = 0;
  if (source != nullptr) *source = buffer;
  return context;
}

void DvdAvioClose(AVIOContext** context) {
  if (context == nullptr || *context == nullptr) return;
  auto* buffer = static_cast<CDvdStreamBuffer*>((*context)->opaque);
  CDvdStreamBuffer::Close(&buffer);
  av_freep(&(*context)->buffer);
  avio_context_free(context);
}

CDvdByteSource::CDvdByteSource(const char* url) {
  std::snprintf(url_, sizeof url_, "%s", url != nullptr ? url : "");
  DvdProtocolRegister();
  buffer_ = CDvdStreamBuffer::Open(url_);
}

CDvdByteSource::~CDvdByteSource() { CDvdStreamBuffer::Close(&buffer_); }

bool CDvdByteSource::Reopen() {
  CDvdStreamBuffer::Close(&buffer_);
  buffer_ = CDvdStreamBuffer::Open(url_);
  return buffer_ != nullptr;
}

int CDvdByteSource::Read(uint8_t* buffer, int size) {
  if (buffer_ == nullptr) return AVERROR(EIO);
  const int r = DvdAvioRead(buffer_, buffer, size);
  return r == AVERROR_EOF ? 0 : r;
}

int64_t CDvdByteSource::Seek(int64_t offset, int whence) {
  if (buffer_ == nullptr) return -1;
  return DvdAvioSeek(buffer_, offset, whence == kSeekSize ? AVSEEK_SIZE : whence);
}

int32_t DvdDemuxerStreamId(int32_t id) {
  if (id > 0xFF && (id & 0xFF) == 0xBD) return (id >> 8) & 0xFF;
  if (id >= 0xC0 && id <= 0xEF) return id | 0x100;
  return id;
}

bool DvdStreamIdMatches(int32_t demuxer_id, int32_t scan_id) { return demuxer_id == DvdDemuxerStreamId(scan_id); }
