#include "engine/modules/ffmpeg/ffm_source_checks.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixdesc.h>
}

#include "engine/graph/source_failure.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
// The header part of a file that is searched for its declared length.
constexpr size_t kHeaderBytes = 65536;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint64_t Le64(const uint8_t* p) { return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32; }

// a * b / c in 100-ns units, without overflow; kNoTimestamp when c is 0.
int64_t Scaled(uint64_t a, uint64_t b, uint64_t c) {
  if (c == 0) return kNoTimestamp;
  const unsigned __int128 v = static_cast<unsigned __int128>(a) * b / c;
  return v > static_cast<unsigned __int128>(INT64_MAX) ? kNoTimestamp : static_cast<int64_t>(v);
}

// A WAV's data chunk length at its byte rate, for PCM-like formats whose byte rate is exact.
int64_t WaveEnd(const std::vector<uint8_t>& d) {
  uint32_t byteRate = 0;
  bool exact = false;
  for (size_t at = 12; at + 8 <= d.size();) {
    const uint32_t size = Le32(&d[at + 4]);
    if (std::memcmp(&d[at], "fmt ", 4) == 0 && at + 8 + 16 <= d.size()) {
      const uint32_t tag = d[at + 8] | d[at + 9] << 8;
      exact = tag == 1 || tag == 3 || tag == 6 || tag == 7 || tag == 0xFFFE;
      byteRate = Le32(&d[at + 16]);
    } else if (std::memcmp(&d[at], "data", 4) == 0) {
      // 0 and the largest sizes: a writer that could not fill the length in (a pipe, a recorder).
      if (!exact || size == 0 || size >= 0x7FFFFFFFu) return kNoTimestamp;
      return Scaled(size, kUnitsPerSecond, byteRate);
    }
    at += 8 + static_cast<size_t>(size) + (size & 1);
  }
  return kNoTimestamp;
}

// The first video stream header of an AVI: (start + length) frames at scale / rate.
int64_t AviEnd(const std::vector<uint8_t>& d, size_t from, size_t to) {
  for (size_t at = from; at + 8 <= to;) {
    const uint32_t size = Le32(&d[at + 4]);
    const size_t body = at + 8;
    if (std::memcmp(&d[at], "LIST", 4) == 0 && body + 4 <= to) {
      const size_t end = body + size < to ? body + size : to;
      const int64_t found = AviEnd(d, body + 4, end);
      if (found != kNoTimestamp) return found;
    } else if (std::memcmp(&d[at], "strh", 4) == 0 && body + 36 <= to && std::memcmp(&d[body], "vids", 4) == 0) {
      const uint32_t scale = Le32(&d[body + 20]), rate = Le32(&d[body + 24]);
      const uint32_t start = Le32(&d[body + 28]), length = Le32(&d[body + 32]);
      if (length == 0) return kNoTimestamp;
      return Scaled(static_cast<uint64_t>(start) + length, static_cast<uint64_t>(scale) * kUnitsPerSecond, rate);
    } else if (std::memcmp(&d[at], "movi", 4) == 0) {
      break;
    }
    at = body + static_cast<size_t>(size) + (size & 1);
  }
  return kNoTimestamp;
}

// The play duration of an ASF file's properties, less its preroll; none for a broadcast.
int64_t AsfEnd(const std::vector<uint8_t>& d) {
  static const uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  for (size_t at = 30; at + 24 <= d.size();) {
    const uint64_t size = Le64(&d[at + 16]);
    if (size < 24 || size > d.size() - at) break;
    if (std::memcmp(&d[at], kFileProperties, 16) == 0 && size >= 104) {
      const uint8_t* p = &d[at + 24];
      const uint64_t play = Le64(p + 40), preroll = Le64(p + 56);
      const uint32_t flags = Le32(p + 64);
      if ((flags & 1) || play == 0) return kNoTimestamp;
      const uint64_t prerollUnits = preroll * 10000;
      return play > prerollUnits && play - prerollUnits <= static_cast<uint64_t>(INT64_MAX)
                 ? static_cast<int64_t>(play - prerollUnits)
                 : kNoTimestamp;
    }
    at += static_cast<size_t>(size);
  }
  return kNoTimestamp;
}

}  // namespace

bool RawPictureBeyondBound(const CodecContext& c) {
  return c.codec_type == CODEC_TYPE_VIDEO && c.codec_id == AV_CODEC_ID_RAWVIDEO &&
         (c.width > kMaxRawSide || c.height > kMaxRawSide || static_cast<int64_t>(c.width) * c.height > kMaxRawPixels);
}

void CRawPictureGuard::Reset(const FFStreamDesc& stream) {
  const CodecContext& c = stream.codec;
  active_ = c.codec_type == CODEC_TYPE_VIDEO && c.codec_id == AV_CODEC_ID_RAWVIDEO && !RawPictureBeyondBound(c);
  width_ = c.width;
  height_ = c.height;
  seen_ = refused_ = 0;
  frameBytes_ = active_ ? PictureBufferSize(c.pix_fmt, width_, height_) : 0;
  // A palette travels beside the pictures, not in each packet.
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(c.pix_fmt));
  if (desc && (desc->flags & AV_PIX_FMT_FLAG_PAL) && frameBytes_ > 1024) frameBytes_ -= 1024;
}

CRawPictureGuard::Verdict CRawPictureGuard::Check(int32_t packetSize, const std::string& path) {
  if (!active_ || frameBytes_ <= 0 || packetSize >= frameBytes_) {
    if (active_) ++seen_;
    return Verdict::kPass;
  }
  ++seen_;
  ++refused_;
  if (refused_ * 20 <= seen_) {
    // The first goes to the log; the rest are traces.
    if (refused_ == 1)
      Diag(DiagLevel::kWarning, "the source \"%s\" has a packet of %d bytes for a %dx%d picture of %lld bytes: refused",
           path.c_str(), packetSize, width_, height_, static_cast<long long>(frameBytes_));
    else
      Diag(DiagLevel::kTrace, "uncompressed picture of %d bytes refused: %dx%d needs %lld", packetSize, width_, height_,
           static_cast<long long>(frameBytes_));
    return Verdict::kRefuse;
  }
  Diag(DiagLevel::kError,
       "the source \"%s\" declares %dx%d pictures of %lld bytes, but %lld of its %lld packets are smaller (%d bytes)",
       path.c_str(), width_, height_, static_cast<long long>(frameBytes_), static_cast<long long>(refused_),
       static_cast<long long>(seen_), packetSize);
  return Verdict::kFail;
}

int64_t HeaderDeclaredEnd(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return kNoTimestamp;
  std::vector<uint8_t> d(kHeaderBytes);
  d.resize(std::fread(d.data(), 1, d.size(), f));
  std::fclose(f);
  if (d.size() < 16) return kNoTimestamp;
  if (std::memcmp(&d[0], "RIFF", 4) == 0 && std::memcmp(&d[8], "WAVE", 4) == 0) return WaveEnd(d);
  if (std::memcmp(&d[0], "RIFF", 4) == 0 && std::memcmp(&d[8], "AVI ", 4) == 0) return AviEnd(d, 12, d.size());
  static const uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  if (std::memcmp(&d[0], kAsfHeader, 16) == 0) return AsfEnd(d);
  return kNoTimestamp;
}

int64_t DeclaredSourceEnd(const FFDemuxer& demuxer, const std::string& path,
                          const std::vector<const FFStreamDesc*>& streams) {
  int64_t end = kNoTimestamp;
  if (!demuxer.DurationIsEstimate()) {
    bool everyStream = !streams.empty();
    for (const FFStreamDesc* s : streams) {
      if (s->duration == kNoTimestamp || s->timeBase.den <= 0) {
        everyStream = false;
        continue;
      }
      const int64_t start = s->startTime == kNoTimestamp ? 0 : s->startTime;
      const int64_t streamEnd = static_cast<int64_t>(static_cast<__int128>(start + s->duration) * s->timeBase.num *
                                                     kUnitsPerSecond / s->timeBase.den);
      if (end == kNoTimestamp || streamEnd > end) end = streamEnd;
    }
    if (!everyStream) {
      // The container's own end.
      end = kNoTimestamp;
      const int64_t us = demuxer.DurationMicroseconds();
      if (us != kNoTimestamp && us > 0) {
        const int64_t start = demuxer.StartTimeMicroseconds();
        end = (start == kNoTimestamp ? 0 : start) * 10 + us * 10;
      }
    }
  }
  const int64_t header = HeaderDeclaredEnd(FilePathOfUrl(path.c_str()));
  if (header != kNoTimestamp && (end == kNoTimestamp || header > end)) end = header;
  return end;
}

bool ReportShortSource(const std::string& path, int64_t first, int64_t reached, int64_t end, int64_t offset) {
  if (end == kNoTimestamp || end <= first) return false;
  if (reached == kNoTimestamp) reached = first;
  if ((end - reached) * 20 <= end - first) return false;
  Diag(DiagLevel::kError, "the source \"%s\" ends at %.3f s, before the %.3f s it declares", path.c_str(),
       static_cast<double>(reached - offset) / kUnitsPerSecond, static_cast<double>(end - offset) / kUnitsPerSecond);
  ReportSourceReadFailure();
  return true;
}
