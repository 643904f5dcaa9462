#include "engine/modules/ffmpeg/ffm_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/modules/bitstream/bitstream_adts.h"
#include "engine/modules/bitstream/bitstream_mpeg4.h"
#include "engine/modules/bitstream/bitstream_mpeg_audio.h"
#include "platform/crash_cleanup.h"
#include "platform/diagnostics.h"
#include "platform/file_commit.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr AVRational kHundredNs{1, 10000000};

bool IsMpegAudio(int32_t id) { return id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3; }

// Video codecs whose pictures may come in an order other than display order.
bool MayReorder(int32_t id) {
  return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_MPEG1VIDEO ||
         id == AV_CODEC_ID_MPEG2VIDEO || id == AV_CODEC_ID_HEVC || id == AV_CODEC_ID_VC1 || id == AV_CODEC_ID_MSMPEG4V3;
}

int64_t Rescale(int64_t value, AVRational to) {
  return av_rescale_q_rnd(value, kHundredNs, to, static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

// An output file written through its descriptor: every byte written or the
// error kept, and on close its final mode given, its data synced and the
// close checked.
struct FileSink {
  int fd = -1;
  unsigned mode = 0;
  bool keepOwner = false;
  unsigned uid = 0;
  unsigned gid = 0;
};

constexpr int kSinkBufferSize = 65536;

int SinkWrite(void* opaque, uint8_t* data, int size) {
  const auto* sink = static_cast<const FileSink*>(opaque);
  if (size < 0) return AVERROR(EINVAL);
  if (!WriteAll(sink->fd, data, static_cast<size_t>(size))) return AVERROR(errno);
  return size;
}

int64_t SinkSeek(void* opaque, int64_t offset, int whence) {
  const auto* sink = static_cast<const FileSink*>(opaque);
  if (whence == AVSEEK_SIZE) {
    struct stat st {};
    return fstat(sink->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t at = lseek(sink->fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

// Takes the descriptor over; null (the descriptor left to the caller) when out of memory.
AVIOContext* OpenFileSink(int fd, unsigned mode, bool keepOwner, unsigned uid, unsigned gid) {
  auto* buffer = static_cast<uint8_t*>(av_malloc(kSinkBufferSize));
  if (buffer == nullptr) return nullptr;
  auto* sink = new FileSink{fd, mode, keepOwner, uid, gid};
  AVIOContext* io = avio_alloc_context(buffer, kSinkBufferSize, 1, sink, nullptr, SinkWrite, SinkSeek);
  if (io == nullptr) {
    av_free(buffer);
    delete sink;
  }
  return io;
}

// keep: the file is to be kept, so its mode, sync and close count. 0 or the
// first error of the file.
int CloseFileSink(AVIOContext** pb, bool keep) {
  AVIOContext* io = *pb;
  *pb = nullptr;
  if (io == nullptr) return 0;
  avio_flush(io);
  auto* sink = static_cast<FileSink*>(io->opaque);
  int error = io->error < 0 ? io->error : 0;
  if (keep && error == 0) {
    if (sink->keepOwner && fchown(sink->fd, sink->uid, sink->gid) != 0) {
      // Only root may give a file away; ours stays with the user running us.
    }
    if (fchmod(sink->fd, sink->mode) != 0 || fsync(sink->fd) != 0) error = AVERROR(errno);
  }
  if (close(sink->fd) != 0 && error == 0) error = AVERROR(errno);
  delete sink;
  av_freep(&io->buffer);
  avio_context_free(&io);
  return keep ? error : 0;
}

// Temporary files of our naming whose process is gone (killed while writing)
// are removed from the folder before a new one is made there.
void RemoveStaleTemporaries(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() < 12 || name[0] != '.') continue;
    // ".NAME.trivox-PID-N[.EXT]"
    const size_t mark = name.rfind(".trivox-");
    if (mark == std::string::npos || mark < 2) continue;
    size_t at = mark + 8;
    const size_t pidStart = at;
    while (at < name.size() && std::isdigit(static_cast<unsigned char>(name[at]))) ++at;
    if (at == pidStart || at - pidStart > 9 || at >= name.size() || name[at] != '-') continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name.substr(pidStart, at - pidStart)));
    const size_t counterStart = ++at;
    while (at < name.size() && std::isdigit(static_cast<unsigned char>(name[at]))) ++at;
    if (at == counterStart || (at < name.size() && name[at] != '.') || name.find('.', at + 1) != std::string::npos)
      continue;
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (unlink(path.c_str()) == 0)
      Diag(DiagLevel::kNote, "removed '%s', left by a conversion that was killed", path.c_str());
  }
  closedir(d);
}

// Removes the files in a folder we made, then the folder.
void RemoveOwnFolder(const std::string& folder) {
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
    }
    closedir(d);
  }
  rmdir(folder.c_str());
}

}  // namespace

CFFMOutput::~CFFMOutput() { Abandon(); }

int CFFMOutput::Open(const char* muxerName, const char* path, bool numbered) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  Abandon();
  streams_.clear();
  segmentShift_.assign(1, 0);
  writtenEnd_ = kNoTimestamp;
  failed_ = false;
  headerWritten_ = false;
  numbered_ = numbered;
  counter_ = 0;
  basePath_ = path ? path : "";
  const bool byName = muxerName != nullptr && muxerName[0] != '\0';
  const AVOutputFormat* format =
      av_guess_format(byName ? muxerName : nullptr, byName ? nullptr : basePath_.c_str(), nullptr);
  if (format == nullptr) {
    Diag(DiagLevel::kError, "no muxer for '%s'", byName ? muxerName : basePath_.c_str());
    return OPEN_NO_MUXER;
  }
  muxerName_ = format->name;
  return OpenFile();
}

int CFFMOutput::OpenFile() {
  const AVOutputFormat* format = av_guess_format(muxerName_.c_str(), nullptr, nullptr);
  if (format == nullptr) return OPEN_NO_MUXER;
  imageSequence_ = muxerName_ == "image2";
  packetsWritten_ = 0;
  int fd = -1;
  if (imageSequence_) {
    // A directory named by the output path, one numbered JPEG per frame.
    fileName_ = basePath_ + "/%d.jpg";
    if (!PlanImageDirectory()) {
      // Standard output gets the console line "can not open file '%s'\n" as it is.
      Diag(DiagLevel::kError, "can not open file '%s'\n", basePath_.c_str());
      return OPEN_CANNOT_OPEN;
    }
  } else {
    fileName_ = numbered_ ? basePath_ + "_" + std::to_string(counter_++) : basePath_;
    if ((fd = PlanFile()) < 0) return OPEN_CANNOT_OPEN;
    // A process killed while writing leaves no temporary file behind.
    crashSlot_ = RegisterCrashFile(writePath_.c_str());
  }
  AVFormatContext* ctx = nullptr;
  if (avformat_alloc_output_context2(&ctx, format, nullptr, writePath_.c_str()) < 0 || ctx == nullptr) {
    if (fd >= 0) close(fd);
    DiscardFile();
    return OPEN_NO_MUXER;
  }
  ctx->opaque = this;
  if (format->flags & AVFMT_NOFILE) {
    ctx->io_open = OpenPicture;
    ctx->io_close2 = ClosePicture;
    if (fd >= 0) close(fd);
  } else if ((ctx->pb = OpenFileSink(fd, fileMode_, keepOwner_, keptUid_, keptGid_)) == nullptr) {
    Diag(DiagLevel::kError, "can not open file '%s': no memory", fileName_.c_str());
    close(fd);
    avformat_free_context(ctx);
    DiscardFile();
    return OPEN_CANNOT_OPEN;
  }
  format_ = ctx;
  headerWritten_ = false;
  return OPEN_OK;
}

int CFFMOutput::PlanFile() {
  keepOwner_ = false;
  fileMode_ = NewFileMode();
  writePath_.clear();
  finalPath_ = fileName_;
  struct stat st {};
  if (fileName_.empty() || fileName_.back() == '/') {
    errno = EISDIR;
  } else if (lstat(fileName_.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode)) {
      // The new file takes the place, mode and (where we may) owner of the old one.
      keepOwner_ = true;
      fileMode_ = st.st_mode & 07777;
      keptUid_ = st.st_uid;
      keptGid_ = st.st_gid;
    } else if (!S_ISLNK(st.st_mode)) {
      // Opening a pipe or device could wait for ever; a folder cannot be replaced.
      Diag(DiagLevel::kError, "the output '%s' is not a file", fileName_.c_str());
      return -1;
    }
    // A link is replaced by the finished file, whatever it names.
    errno = 0;
  }
  int fd = -1;
  if (errno == 0 || errno == ENOENT) {
    RemoveStaleTemporaries(fileName_);
    fd = CreateTemporarySibling(fileName_, &writePath_);
  }
  if (fd < 0) {
    Diag(DiagLevel::kError, "can not open file '%s': %s", fileName_.c_str(), std::strerror(errno));
    ConsoleLine("can not open file '%s'\n", fileName_.c_str());
    writePath_.clear();
  }
  return fd;
}

bool CFFMOutput::PlanImageDirectory() {
  keepOwner_ = false;
  fileMode_ = NewFileMode();
  finalPath_ = basePath_;
  writePath_.clear();
  struct stat st {};
  if (stat(basePath_.c_str(), &st) == 0 ? !S_ISDIR(st.st_mode) : errno != ENOENT) return false;
  std::string folder = basePath_;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!CreateTemporaryFolder(folder, &folder)) return false;
  writePath_ = folder + "/%d.jpg";
  return true;
}

int CFFMOutput::OpenPicture(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary**) {
  auto* self = static_cast<CFFMOutput*>(s->opaque);
  *pb = nullptr;
  if (!(flags & AVIO_FLAG_WRITE) || url == nullptr) return AVERROR(EINVAL);
  // Our own folder: a picture's name is never there before us.
  const int fd = CreateNewFile(url);
  if (fd < 0) {
    const int error = AVERROR(errno);
    self->Fail("picture", error);
    return error;
  }
  *pb = OpenFileSink(fd, self->fileMode_, false, 0, 0);
  if (*pb == nullptr) {
    close(fd);
    self->Fail("picture", AVERROR(ENOMEM));
    return AVERROR(ENOMEM);
  }
  return 0;
}

int CFFMOutput::ClosePicture(AVFormatContext* s, AVIOContext* pb) {
  auto* self = static_cast<CFFMOutput*>(s->opaque);
  const int r = CloseFileSink(&pb, !self->failed_);
  if (r < 0) self->Fail("picture", r);
  return r;
}

int CFFMOutput::OpenNext() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr) return OPEN_NO_MUXER;
  if (headerWritten_ && !failed_) {
    int r = av_write_trailer(format_);
    if (r < 0) Fail("trailer", r);
  }
  CloseFile();
  // A part that never got its header holds nothing: it is not kept.
  if (failed_ || !headerWritten_) {
    DiscardFile();
  } else {
    CommitFile();
  }
  ReleaseContext();
  for (Stream& s : streams_) {
    s.index = -1;
    s.nextStart = 0;
    s.lastDts = kNoTimestamp;
    s.ptsBuffer.clear();
  }
  return OpenFile();
}

void CFFMOutput::ApplyContainerRules(Stream* s) {
  CodecContext& c = s->codec;
  const std::string& m = muxerName_;
  if (c.codec_type == CODEC_TYPE_AUDIO) {
    const int32_t id = c.codec_id;
    if (IsMpegAudio(id)) s->probeMpegAudio = true;
    if (id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_S16BE) {
      // One block is one sample frame in every container; the AIFF and MOV
      // muxers divide the data size by it to count the samples.
      if (m == "avi") {
        c.frame_size = 1;
        c.block_align = 2 * c.channels;
      } else if (m == "mov" || m == "aiff") {
        c.frame_size = 1024;
        c.block_align = 2 * c.channels;
      }
    }
    if (id == AV_CODEC_ID_MP2) c.frame_size = 1152;
    if (id == AV_CODEC_ID_MP3 && c.frame_size <= 1) c.frame_size = 1152;
    if (id == AV_CODEC_ID_AMR_NB) c.frame_size = 160;
    if (id == AV_CODEC_ID_AMR_WB) c.frame_size = 320;
    if (id == AV_CODEC_ID_ALAC && c.frame_size <= 1) c.frame_size = 4096;
    if (id == AV_CODEC_ID_AAC) c.frame_size = 1024;
    if (id == AV_CODEC_ID_AC3) c.frame_size = 1536;
    if (id == AV_CODEC_ID_VORBIS) c.frame_size = 64;
    if ((id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_AAC || id == AV_CODEC_ID_AC3 ||
         id == AV_CODEC_ID_MP1) &&
        m != "mov") {
      c.block_align = 0;
    }
  } else if (c.codec_type == CODEC_TYPE_VIDEO) {
    if (m == "asf" && c.codec_id == AV_CODEC_ID_MPEG4) c.bits_per_sample = 24;
    if (c.codec_id == AV_CODEC_ID_MPEG4) s->mpeg4Config = c.extradata;
  }
}

int CFFMOutput::AddStream(const CodecContext& codec) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr || headerWritten_ || streams_.size() >= kMaxStreams) return -1;
  if (codec.codec_type != CODEC_TYPE_AUDIO && codec.codec_type != CODEC_TYPE_VIDEO) return -1;
  // FFmpeg's gif muxer takes only pictures made by the gif encoder.
  if (muxerName_ == "gif" && codec.codec_id != AV_CODEC_ID_GIF) {
    Diag(DiagLevel::kError, "gif output takes only gif-encoded pictures, not %s", CodecName(codec.codec_id));
    return -1;
  }
  if (avformat_query_codec(format_->oformat, static_cast<AVCodecID>(codec.codec_id), FF_COMPLIANCE_NORMAL) == 0) {
    Diag(DiagLevel::kError, "muxer %s does not take %s", muxerName_.c_str(), CodecName(codec.codec_id));
    return -1;
  }
  Stream s;
  s.codec = codec;
  ApplyContainerRules(&s);
  streams_.push_back(std::move(s));
  return static_cast<int>(streams_.size()) - 1;
}

int32_t CFFMOutput::StreamCodecId(int stream) const {
  return stream >= 0 && stream < StreamCount() ? streams_[stream].codec.codec_id : 0;
}

int32_t CFFMOutput::StreamCodecType(int stream) const {
  return stream >= 0 && stream < StreamCount() ? streams_[stream].codec.codec_type : CODEC_TYPE_UNKNOWN;
}

void CFFMOutput::SetCodecTags(uint32_t audioTag, uint32_t videoTag) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (Stream& s : streams_) {
    if (s.codec.codec_type == CODEC_TYPE_AUDIO && audioTag != 0) s.codec.codec_tag = audioTag;
    if (s.codec.codec_type == CODEC_TYPE_VIDEO && videoTag != 0) s.codec.codec_tag = videoTag;
  }
}

void CFFMOutput::PrepareCodecData() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (Stream& s : streams_) {
    if (s.codec.codec_id != AV_CODEC_ID_H264) continue;
    if (!s.codec.extradata.empty()) {
      ParseAvcCodecData(s.codec.extradata.data(), s.codec.extradata_size(), &s.avc);
      s.codec.extradata.clear();
    }
    if (globalHeader_ && !s.avc.sps.empty() && !s.avc.pps.empty()) {
      s.codec.extradata = s.avc.sps;
      s.codec.extradata.insert(s.codec.extradata.end(), s.avc.pps.begin(), s.avc.pps.end());
    }
  }
}

bool CFFMOutput::NeedsMpegAudioProbe(int stream) const {
  return stream >= 0 && stream < StreamCount() && streams_[stream].probeMpegAudio;
}

bool CFFMOutput::ProbeMpegAudio(int stream, const uint8_t* data, int32_t size) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!NeedsMpegAudioProbe(stream) || data == nullptr || size < 5) return false;
  int32_t samples = 0;
  if (ParseMpegAudioHeader(data, size, &samples) == kNoMpegAudioHeader) return false;
  streams_[stream].codec.frame_size = samples;
  streams_[stream].probeMpegAudio = false;
  return true;
}

void CFFMOutput::EndMpegAudioProbe(int stream) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (stream >= 0 && stream < StreamCount()) streams_[stream].probeMpegAudio = false;
}

bool CFFMOutput::AcceptFirstPacket(int stream, const MuxPacket& packet) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (stream < 0 || stream >= StreamCount()) return false;
  Stream& s = streams_[stream];
  const bool sync = (packet.flags & MUX_PACKET_SYNC) != 0;
  CodecContext& c = s.codec;
  if (c.codec_id == AV_CODEC_ID_H264 && globalHeader_ && c.extradata.empty()) {
    if (!sync) return false;
    std::vector<uint8_t> copy(packet.data, packet.data + packet.size);
    H264Packet hp(copy.data(), static_cast<int32_t>(copy.size()));
    ExtractParamSetsForGlobalHeader(&hp, &s.avc);
    if (!s.avc.sps.empty() && !s.avc.pps.empty()) {
      c.extradata = s.avc.sps;
      c.extradata.insert(c.extradata.end(), s.avc.pps.begin(), s.avc.pps.end());
    }
  } else if (c.codec_id == AV_CODEC_ID_MPEG4 && globalHeader_ && c.extradata.empty()) {
    if (!sync) return false;
    int32_t start = FindMpeg4PictureStart(packet.data, packet.size);
    if (start > 0) c.extradata.assign(packet.data, packet.data + start);
  } else if (c.codec_id == AV_CODEC_ID_AAC && c.extradata.empty() && packet.data != nullptr) {
    // Every muxer gets the AudioSpecificConfig before its header: the ADTS
    // muxer needs it to put the headers back that the packets lose.
    StripAdtsHeader(packet.data, packet.size, &c.extradata);
  }
  return true;
}

int CFFMOutput::WriteHeader() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr || failed_) return AVERROR(EINVAL);
  if (headerWritten_) return 0;
  for (Stream& s : streams_) {
    AVStream* st = avformat_new_stream(format_, nullptr);
    if (st == nullptr) {
      Fail("stream", AVERROR(ENOMEM));
      return AVERROR(ENOMEM);
    }
    int r = CodecContextToParameters(s.codec, st->codecpar);
    if (r < 0) {
      Fail("stream", r);
      return r;
    }
    if (s.codec.codec_type == CODEC_TYPE_VIDEO) {
      FFRational tb = s.codec.time_base;
      st->time_base = tb.num > 0 && tb.den > 0 ? AVRational{tb.num, tb.den} : AVRational{1, 25};
      st->avg_frame_rate = av_inv_q(st->time_base);
    } else {
      st->time_base = s.codec.sample_rate > 0 ? AVRational{1, s.codec.sample_rate} : AVRational{1, 90000};
    }
    s.index = st->index;
  }
  int r = avformat_write_header(format_, nullptr);
  if (r < 0) {
    Diag(DiagLevel::kError, "can not write the header of '%s': %s", fileName_.c_str(), FFErrorText(r).c_str());
    Fail("header", r);
    return r;
  }
  if (!CheckIo("header")) return AVERROR(EIO);
  headerWritten_ = true;
  return 0;
}

int64_t CFFMOutput::PacketDuration(const Stream& s, const uint8_t* data, int32_t size) const {
  const CodecContext& c = s.codec;
  if (c.codec_type == CODEC_TYPE_VIDEO) {
    if (c.time_base.num <= 0 || c.time_base.den <= 0) return 400000;
    return av_rescale(c.time_base.num, 10000000, c.time_base.den);
  }
  if (c.sample_rate <= 0) return 0;
  int64_t samples = 0;
  const int bits = av_get_bits_per_sample(static_cast<AVCodecID>(c.codec_id));
  if (bits > 0 && c.channels > 0) {
    samples = static_cast<int64_t>(size) * 8 / (bits * c.channels);
  } else if (IsMpegAudio(c.codec_id)) {
    int32_t perFrame = 0;
    if (ParseMpegAudioHeader(data, size, &perFrame) != kNoMpegAudioHeader)
      samples = perFrame;
    else
      samples = c.frame_size;
  } else if (c.codec_id == AV_CODEC_ID_AAC || c.codec_id == AV_CODEC_ID_AC3 || c.codec_id == AV_CODEC_ID_AMR_NB ||
             c.codec_id == AV_CODEC_ID_AMR_WB || c.codec_id == AV_CODEC_ID_EAC3) {
    samples = c.frame_size;
  }
  return av_rescale(samples, 10000000, c.sample_rate);
}

void CFFMOutput::PacketTimes(Stream& s, const MuxPacket& packet, const uint8_t* data, int32_t size, bool commit,
                             int64_t* pts, int64_t* duration, int64_t* dts) {
  const bool video = s.codec.codec_type == CODEC_TYPE_VIDEO;
  const bool timed = (packet.flags & MUX_PACKET_START_VALID) != 0;
  *pts = timed ? packet.start : s.nextStart;
  // Audio runs on without gaps from its first stamp: the stamps of the
  // packets only re-base it when they jump by more than half a second.
  if (!video && timed && s.lastDts != kNoTimestamp && std::llabs(packet.start - s.nextStart) < 5000000) {
    *pts = s.nextStart;
  }
  *duration = timed && (packet.flags & MUX_PACKET_STOP_VALID) && packet.stop > packet.start
                  ? packet.stop - packet.start
                  : PacketDuration(s, data, size);
  if (!video) {
    // Audio of fixed frame sizes: durations follow the data, not the rounded stamps.
    const int64_t fromData = PacketDuration(s, data, size);
    if (fromData > 0) *duration = fromData;
  }
  if (packet.decodeTime != kNoTimestamp) {
    *dts = packet.decodeTime;
  } else if (video && MayReorder(s.codec.codec_id) && muxerName_ == "avi") {
    // AVI keeps no presentation times: one chunk per picture in decode order.
    *dts = s.ptsBuffer.empty() ? *pts : s.ptsBuffer[0];
    if (commit) s.ptsBuffer.assign(1, *dts + *duration);
  } else if (video && MayReorder(s.codec.codec_id)) {
    // Pictures may come in decode order: the decode time is the earliest
    // presentation time not used yet, held back by the reorder depth.
    constexpr size_t kDelay = 2;
    std::vector<int64_t> scratch;
    std::vector<int64_t>& buf = commit ? s.ptsBuffer : scratch;
    if (!commit) scratch = s.ptsBuffer;
    if (buf.empty()) {
      buf.assign(kDelay + 1, 0);
      for (size_t i = 1; i <= kDelay; ++i) buf[i] = *pts + (static_cast<int64_t>(i) - kDelay - 1) * *duration;
    }
    buf[0] = *pts;
    for (size_t i = 0; i < kDelay && buf[i] > buf[i + 1]; ++i) std::swap(buf[i], buf[i + 1]);
    *dts = buf[0];
  } else {
    *dts = *pts;
  }
  if (commit) s.nextStart = *pts + *duration;
}

MuxPacket CFFMOutput::ToOutputTime(Stream& s, const MuxPacket& packet, bool commit) {
  size_t segment = s.segment;
  if (packet.flags & MUX_PACKET_DISCONTINUITY) {
    segment = s.segment + 1;
    if (segment >= segmentShift_.size()) {
      int64_t first = (packet.flags & MUX_PACKET_START_VALID) ? packet.start : kNoTimestamp;
      if (packet.decodeTime != kNoTimestamp && (first == kNoTimestamp || packet.decodeTime < first))
        first = packet.decodeTime;
      int64_t shift = 0;
      if (first != kNoTimestamp && writtenEnd_ != kNoTimestamp && first < writtenEnd_) shift = writtenEnd_ - first;
      if (!commit) {
        MuxPacket moved = packet;
        moved.start += shift;
        moved.stop += shift;
        if (moved.decodeTime != kNoTimestamp) moved.decodeTime += shift;
        return moved;
      }
      segmentShift_.resize(segment + 1, shift);
    }
  }
  const int64_t shift = segmentShift_[std::min(segment, segmentShift_.size() - 1)];
  MuxPacket moved = packet;
  moved.start += shift;
  moved.stop += shift;
  if (moved.decodeTime != kNoTimestamp) moved.decodeTime += shift;
  if (commit && segment != s.segment) {
    // A new stretch: audio runs on from its first packet, not from the old
    // stretch's end; the old reorder state is dropped. Decode times still only rise.
    s.segment = segment;
    s.ptsBuffer.clear();
    if (moved.flags & MUX_PACKET_START_VALID) s.nextStart = moved.start;
  }
  return moved;
}

int64_t CFFMOutput::InterleaveTime(int stream, const MuxPacket& packet) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (stream < 0 || stream >= StreamCount()) return packet.start;
  int64_t pts = 0, duration = 0, dts = 0;
  Stream& s = streams_[stream];
  const MuxPacket moved = ToOutputTime(s, packet, false);
  PacketTimes(s, moved, moved.data, moved.size, false, &pts, &duration, &dts);
  return dts;
}

int CFFMOutput::WritePacket(int stream, const MuxPacket& packet) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr || failed_ || stream < 0 || stream >= StreamCount()) return -1;
  if (!headerWritten_ && WriteHeader() < 0) return -1;
  Stream& s = streams_[stream];
  const bool sync = (packet.flags & MUX_PACKET_SYNC) != 0;
  const bool video = s.codec.codec_type == CODEC_TYPE_VIDEO;

  std::vector<uint8_t> work;  // rewritten packet, when one is needed
  const uint8_t* data = packet.data;
  int32_t size = packet.data ? packet.size : 0;

  if (s.codec.codec_id == AV_CODEC_ID_H264 && size > 0) {
    work.assign(data, data + size);
    H264Packet hp(work.data(), size);
    if (sync && globalHeader_) {
      ExtractParamSetsForGlobalHeader(&hp, &s.avc);
    } else if (sync) {
      PrependParamSets(&hp, &s.avc);
    } else {
      ToFourByteStartCodes(&hp, s.avc);
    }
    std::vector<uint8_t> out(hp.data, hp.data + hp.size);
    work.swap(out);
    data = work.data();
    size = static_cast<int32_t>(work.size());
  } else if (s.codec.codec_id == AV_CODEC_ID_MPEG4 && sync && size > 0) {
    const int32_t start = FindMpeg4PictureStart(data, size);
    if (globalHeader_) {
      data += start;
      size -= start;
    } else if (!s.mpeg4Config.empty()) {
      work = s.mpeg4Config;
      work.insert(work.end(), data + start, data + size);
      data = work.data();
      size = static_cast<int32_t>(work.size());
    } else if (start > 0) {
      s.mpeg4Config.assign(data, data + start);
    }
  } else if (s.codec.codec_id == AV_CODEC_ID_AAC && size > 0) {
    std::vector<uint8_t> unused = {0};
    int32_t skip = StripAdtsHeader(data, size, &unused);
    data += skip;
    size -= skip;
  }

  if (size == 0) {
    ConsoleLine("packet size=0\n");
    if (!video && muxerName_ == "flv") return 0;
  }
  if (video && sync && (packet.flags & MUX_PACKET_START_VALID)) ConsoleLine("key frame\n");

  int64_t start = 0, duration = 0, dts = 0;
  const MuxPacket moved = ToOutputTime(s, packet, true);
  PacketTimes(s, moved, data, size, true, &start, &duration, &dts);
  if (writtenEnd_ == kNoTimestamp || start + duration > writtenEnd_) writtenEnd_ = start + duration;

  AVStream* st = format_->streams[s.index];
  AVPacket* pkt = av_packet_alloc();
  if (pkt == nullptr) {
    Fail("packet", AVERROR(ENOMEM));
    return -1;
  }
  pkt->data = const_cast<uint8_t*>(data);
  pkt->size = size;
  pkt->stream_index = s.index;
  if (sync) pkt->flags |= AV_PKT_FLAG_KEY;
  if (packet.newCodecData != nullptr && !packet.newCodecData->empty()) {
    uint8_t* side = av_packet_new_side_data(pkt, AV_PKT_DATA_NEW_EXTRADATA, packet.newCodecData->size());
    if (side != nullptr) std::memcpy(side, packet.newCodecData->data(), packet.newCodecData->size());
  }
  pkt->pts = Rescale(start, st->time_base);
  pkt->duration = Rescale(duration, st->time_base);
  pkt->dts = std::min(Rescale(dts, st->time_base), pkt->pts);
  // Rounded stamps must still rise.
  if (s.lastDts != kNoTimestamp && pkt->dts <= s.lastDts && (video || pkt->dts < s.lastDts)) {
    pkt->dts = s.lastDts + 1;
    if (pkt->pts < pkt->dts) pkt->pts = pkt->dts;
  }
  int r = av_write_frame(format_, pkt);
  s.lastDts = pkt->dts;
  av_packet_free(&pkt);
  if (r >= 0) ++packetsWritten_;
  if (!CheckIo("packet")) return -1;
  if (r < 0) Diag(DiagLevel::kWarning, "packet of stream %d not written: %s", stream, FFErrorText(r).c_str());
  return 0;
}

bool CFFMOutput::CheckIo(const char* what) {
  if (format_ != nullptr && format_->pb != nullptr && format_->pb->error < 0) {
    Fail(what, format_->pb->error);
    return false;
  }
  return !failed_;
}

void CFFMOutput::Fail(const char* what, int error) {
  if (failed_) return;
  failed_ = true;
  Diag(DiagLevel::kError, "write error on '%s' (%s): %s", fileName_.c_str(), what, FFErrorText(error).c_str());
}

void CFFMOutput::CloseFile() {
  if (format_ == nullptr || format_->pb == nullptr) return;
  avio_flush(format_->pb);
  CheckIo("flush");
  const int r = CloseFileSink(&format_->pb, !failed_);
  if (r < 0) Fail("close", r);
}

void CFFMOutput::ForgetCrashFile() {
  UnregisterCrashFile(crashSlot_);
  crashSlot_ = -1;
}

void CFFMOutput::CommitFile() {
  ForgetCrashFile();
  if (writePath_.empty()) {
    writePath_.clear();
    return;
  }
  if (imageSequence_) {
    // The pictures move into the target folder, made now when it is missing.
    const std::string folder = writePath_.substr(0, writePath_.rfind('/'));
    const bool made = mkdir(finalPath_.c_str(), 0777) == 0;
    std::vector<std::string> moved;
    bool ok = made || errno == EEXIST;
    if (DIR* d = ok ? opendir(folder.c_str()) : nullptr) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string from = folder + "/" + name, to = finalPath_ + "/" + name;
        struct stat st {};
        const bool existed = lstat(to.c_str(), &st) == 0;
        if (rename(from.c_str(), to.c_str()) != 0) {
          ok = false;
          break;
        }
        if (!existed) moved.push_back(to);
      }
      closedir(d);
    } else {
      ok = false;
    }
    if (!ok) {
      Fail("rename", AVERROR(errno ? errno : EIO));
      for (const std::string& f : moved) unlink(f.c_str());
      if (made) rmdir(finalPath_.c_str());
    }
    RemoveOwnFolder(folder);
    writePath_.clear();
    return;
  }
  // A link at the final name is replaced, not followed.
  if (rename(writePath_.c_str(), finalPath_.c_str()) != 0) {
    Fail("rename", AVERROR(errno));
    unlink(writePath_.c_str());
  }
  writePath_.clear();
}

void CFFMOutput::DiscardFile() {
  ForgetCrashFile();
  if (writePath_.empty()) {
    writePath_.clear();
    return;
  }
  if (imageSequence_) {
    RemoveOwnFolder(writePath_.substr(0, writePath_.rfind('/')));
  } else {
    unlink(writePath_.c_str());
  }
  writePath_.clear();
  Diag(DiagLevel::kNote, "dropped the unfinished output '%s'", fileName_.c_str());
}

void CFFMOutput::ReleaseContext() {
  if (format_ == nullptr) return;
  avformat_free_context(format_);
  format_ = nullptr;
  headerWritten_ = false;
}

bool CFFMOutput::Finish() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr) return !failed_;
  if (!failed_ && !headerWritten_) WriteHeader();
  if (!failed_ && headerWritten_) {
    int r = av_write_trailer(format_);
    if (r < 0) Fail("trailer", r);
    CheckIo("trailer");
  }
  CloseFile();
  if (failed_) {
    DiscardFile();
  } else {
    CommitFile();
  }
  ReleaseContext();
  return !failed_;
}

void CFFMOutput::Abandon() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (format_ == nullptr) return;
  CloseFileSink(&format_->pb, false);
  DiscardFile();
  ReleaseContext();
}
