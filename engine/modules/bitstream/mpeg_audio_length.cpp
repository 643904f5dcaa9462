#include "engine/modules/bitstream/mpeg_audio_length.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/modules/bitstream/bitstream_mpeg_audio.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kWindowBytes = 1 << 20;
constexpr int kResyncStepsPerClockCheck = 4096;

uint32_t BigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

// A read window over the file: At(pos, n) makes n bytes at pos available.
class FileWindow {
 public:
  FileWindow(int fd, int64_t size) : fd_(fd), size_(size), buffer_(kWindowBytes) {}

  // Null when the file ends before pos + n or cannot be read.
  const uint8_t* At(int64_t pos, size_t n) {
    if (pos < 0 || n > buffer_.size() || pos + static_cast<int64_t>(n) > size_) return nullptr;
    if (pos >= start_ && pos + static_cast<int64_t>(n) <= start_ + static_cast<int64_t>(length_))
      return buffer_.data() + (pos - start_);
    ++refills_;
    start_ = pos;
    length_ = 0;
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buffer_.size()), size_ - pos));
    while (length_ < want) {
      const ssize_t got = pread(fd_, buffer_.data() + length_, want - length_, static_cast<off_t>(pos + length_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      length_ += static_cast<size_t>(got);
    }
    return length_ >= n ? buffer_.data() : nullptr;
  }
  int64_t Size() const { return size_; }
  uint64_t Refills() const { return refills_; }

 private:
  int fd_;
  int64_t size_;
  std::vector<uint8_t> buffer_;
  int64_t start_ = 0;
  size_t length_ = 0;
  uint64_t refills_ = 0;
};

bool SameStream(const MpegAudioHeader& a, const MpegAudioHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

bool HeaderAt(FileWindow& file, int64_t pos, MpegAudioHeader* h) {
  const uint8_t* p = file.At(pos, 4);
  return p != nullptr && ReadMpegAudioHeader(p, 4, h);
}

// ID3v2 tags in front of the audio (several may follow one another).
int64_t SkipId3v2(FileWindow& file) {
  int64_t pos = 0;
  for (;;) {
    const uint8_t* p = file.At(pos, 10);
    if (p == nullptr || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) return pos;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return pos;
    const int64_t size = static_cast<int64_t>(p[6]) << 21 | p[7] << 14 | p[8] << 7 | p[9];
    pos += 10 + size + ((p[5] & 0x10) ? 10 : 0);
  }
}

class Scanner {
 public:
  Scanner(FileWindow& file, Clock::time_point deadline) : file_(file), deadline_(deadline) {}

  bool TimedOut() const { return timedOut_; }

  // The first position at or after pos holding a header (of the reference
  // stream when one is given) whose next frame starts with a header of the
  // same stream or ends the file exactly; -1 when none.
  int64_t FindFrame(int64_t pos, const MpegAudioHeader* reference, MpegAudioHeader* found) {
    int steps = 0;
    for (; pos + 4 <= file_.Size(); ++pos) {
      if (++steps == kResyncStepsPerClockCheck) {
        steps = 0;
        if (Clock::now() > deadline_) {
          timedOut_ = true;
          return -1;
        }
      }
      const uint8_t* p = file_.At(pos, 4);
      if (p == nullptr) return -1;
      if (p[0] != 0xFF) continue;
      MpegAudioHeader h;
      if (!ReadMpegAudioHeader(p, 4, &h)) continue;
      if (reference != nullptr && !SameStream(h, *reference)) continue;
      const int64_t next = pos + h.frameLength;
      MpegAudioHeader n;
      if (next == file_.Size() || EndsWithId3v1(next) || (HeaderAt(file_, next, &n) && SameStream(h, n))) {
        *found = h;
        return pos;
      }
    }
    return -1;
  }

  // An ID3v1 tag fills the file from pos to its end.
  bool EndsWithId3v1(int64_t pos) {
    const uint8_t* p = pos + 128 == file_.Size() ? file_.At(pos, 3) : nullptr;
    return p != nullptr && std::memcmp(p, "TAG", 3) == 0;
  }

  // Counts the frames from pos on; false when the deadline passed.
  bool CountFrames(int64_t pos, const MpegAudioHeader& reference, int64_t* frames) {
    uint64_t refills = file_.Refills();
    MpegAudioHeader h;
    while (pos + 4 <= file_.Size()) {
      if (file_.Refills() != refills) {
        refills = file_.Refills();
        if (Clock::now() > deadline_) {
          timedOut_ = true;
          return false;
        }
      }
      if (HeaderAt(file_, pos, &h) && SameStream(h, reference)) {
        if (pos + h.frameLength > file_.Size()) break;  // a cut last frame
        ++*frames;
        pos += h.frameLength;
        continue;
      }
      pos = FindFrame(pos + 1, &reference, &h);
      if (pos < 0) return !timedOut_;
    }
    return true;
  }

 private:
  FileWindow& file_;
  Clock::time_point deadline_;
  bool timedOut_ = false;
};

// What a Xing/Info or VBRI header in the first frame says.
struct InfoHeader {
  bool present = false;
  int64_t frames = -1;  // -1 when not given
  int32_t delay = 0;
  int32_t padding = 0;
};

InfoHeader ReadInfoHeader(FileWindow& file, int64_t pos, const MpegAudioHeader& h) {
  InfoHeader info;
  const uint8_t* frame = file.At(pos, static_cast<size_t>(h.frameLength));
  if (frame == nullptr) return info;
  const int32_t length = h.frameLength;
  if (h.layer == 3) {
    const int32_t sideInfo = h.version == 3 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    int32_t o = 4 + sideInfo;
    if (o + 8 <= length && (std::memcmp(frame + o, "Xing", 4) == 0 || std::memcmp(frame + o, "Info", 4) == 0)) {
      info.present = true;
      const uint32_t flags = BigEndian32(frame + o + 4);
      o += 8;
      if (flags & 1) {
        if (o + 4 > length) return info;
        info.frames = BigEndian32(frame + o);
        o += 4;
      }
      if (flags & 2) o += 4;
      if (flags & 4) o += 100;
      if (flags & 8) o += 4;
      // A LAME-style extension: a nine-character encoder name, then the delay
      // and padding as two 12-bit values at byte 21.
      if (o + 24 <= length && std::isalnum(frame[o]) && std::isalnum(frame[o + 1]) && std::isalnum(frame[o + 2]) &&
          std::isalnum(frame[o + 3])) {
        info.delay = frame[o + 21] << 4 | frame[o + 22] >> 4;
        info.padding = (frame[o + 22] & 0x0F) << 8 | frame[o + 23];
      }
      return info;
    }
  }
  if (36 + 18 <= length && std::memcmp(frame + 36, "VBRI", 4) == 0) {
    info.present = true;
    info.frames = BigEndian32(frame + 36 + 14);
  }
  return info;
}

}  // namespace

bool ScanMpegAudioLength(const char* path, Clock::time_point deadline, MpegAudioLength* out) {
  if (path == nullptr || out == nullptr) return false;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  FileWindow file(fd, st.st_size);
  Scanner scanner(file, deadline);
  MpegAudioLength length;
  bool ok = false;
  MpegAudioHeader first;
  int64_t pos = scanner.FindFrame(SkipId3v2(file), nullptr, &first);
  if (pos >= 0) {
    length.sampleRate = first.sampleRate;
    const InfoHeader info = ReadInfoHeader(file, pos, first);
    if (info.frames > 0) {
      length.frames = info.frames;
      length.fromInfoHeader = true;
      ok = true;
    } else {
      // The info frame itself holds no audio.
      ok = scanner.CountFrames(info.present ? pos + first.frameLength : pos, first, &length.frames);
    }
    const uint64_t total = static_cast<uint64_t>(length.frames) * static_cast<uint64_t>(first.samplesPerFrame);
    const uint64_t trimmed = static_cast<uint64_t>(info.delay) + static_cast<uint64_t>(info.padding);
    length.samples = trimmed < total ? total - trimmed : total;
    ok = ok && length.frames > 0;
  }
  close(fd);
  if (ok) *out = length;
  return ok;
}
