// The FFmpeg writer fed with real encoded packets (clips made by the ffmpeg
// CLI, demuxed here) for every "[FFM]" writer row; the results checked with
// ffprobe.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/codecs/audio_codec_core.h"
#include "engine/modules/ffmpeg/ffm_writer.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/media_sample.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/ffm_test_media.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using ffmtest::MakeClip;
using ffmtest::ProbeFile;
using ffmtest::Shell;

std::string OutDir() {
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/ffm_writer";
  Shell("mkdir -p '" + dir + "'");
  return dir;
}

std::string RunText(const std::string& command) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (f == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
  pclose(f);
  return out;
}

// Source clips: name -> ffmpeg arguments (2 s unless said).
const std::map<std::string, std::string>& Clips() {
  static const std::map<std::string, std::string> clips = {
      {"h264.mkv", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v libx264 -preset veryfast -bf 2 -g 25"},
      {"h264.mpegts", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v libx264 -preset veryfast -bf 2 -g 25"},
      {"mpeg4.mkv", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v mpeg4 -bf 2 -g 25"},
      {"h263.mkv", "-f lavfi -i testsrc=size=176x144:rate=25 -t 2 -c:v h263"},
      {"flv1.mkv", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v flv1"},
      {"mpeg1.mkv", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v mpeg1video -bf 2"},
      {"mpeg2.mkv", "-f lavfi -i testsrc=size=720x576:rate=25 -t 2 -c:v mpeg2video -bf 2"},
      {"mjpeg.mkv", "-f lavfi -i testsrc=size=320x240:rate=10 -t 2 -c:v mjpeg"},
      {"gif.gif", "-f lavfi -i testsrc=size=160x120:rate=10 -t 2 -c:v gif"},
      {"aac.aac", "-f lavfi -i sine=frequency=440:sample_rate=44100 -ac 2 -t 2 -c:a aac"},
      {"aac.mkv", "-f lavfi -i sine=frequency=440:sample_rate=48000 -ac 2 -t 2 -c:a aac"},
      {"mp3.mp3", "-f lavfi -i sine=frequency=440:sample_rate=44100 -ac 2 -t 2 -c:a libmp3lame -b:a 128k"},
      {"mp3_22k.mp3", "-f lavfi -i sine=frequency=440:sample_rate=22050 -t 2 -c:a libmp3lame -b:a 64k"},
      {"mp2.mp2", "-f lavfi -i sine=frequency=440:sample_rate=48000 -ac 2 -t 2 -c:a mp2"},
      {"ac3.ac3", "-f lavfi -i sine=frequency=440:sample_rate=48000 -ac 2 -t 2 -c:a ac3"},
      {"pcm.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100 -ac 2 -t 2 -c:a pcm_s16le"},
      {"pcm10.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100 -ac 2 -t 10 -c:a pcm_s16le"},
      {"flac.flac", "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 -c:a flac"},
      {"vorbis.ogg", "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 -c:a libvorbis"},
  };
  return clips;
}

// AMR has no encoder in the ffmpeg CLI: 2 s of a tone through our own cores.
bool MakeAmrStream(int32_t codecId, int32_t rate, ffmtest::Stream* stream) {
  auto encoder = CreateAudioEncoderCore(codecId == AV_CODEC_ID_AMR_NB ? AudioCore::kAmrNb : AudioCore::kAmrWb);
  if (!encoder || encoder->Open(rate, 1, codecId == AV_CODEC_ID_AMR_NB ? 12200 : 23850) != 0) return false;
  stream->codecType = AVMEDIA_TYPE_AUDIO;
  stream->codecId = codecId;
  stream->sampleRate = rate;
  stream->channels = 1;
  const int32_t frame = encoder->FrameSize();
  std::vector<int16_t> pcm(frame);
  for (int64_t n = 0; n + frame <= 2LL * rate; n += frame) {
    for (int32_t i = 0; i < frame; ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin((n + i) * 2 * M_PI * 440 / rate));
    ffmtest::Packet p;
    if (encoder->Encode(pcm.data(), &p.data) != 0) return false;
    p.start = n * 10000000 / rate;
    p.stop = (n + frame) * 10000000 / rate;
    p.key = true;
    stream->packets.push_back(std::move(p));
  }
  return true;
}

bool LoadStream(const std::string& clip, int codecType, ffmtest::Stream* stream) {
  if (clip == "amrnb") return MakeAmrStream(AV_CODEC_ID_AMR_NB, 8000, stream);
  if (clip == "amrwb") return MakeAmrStream(AV_CODEC_ID_AMR_WB, 16000, stream);
  auto it = Clips().find(clip);
  if (it == Clips().end()) return false;
  const std::string path = MakeClip(clip, it->second);
  if (path.empty() || !ffmtest::ReadStream(path, codecType, stream) || stream->packets.empty()) return false;
  // Every stream starts at 0, as the engine's encoders stamp them.
  int64_t first = INT64_MAX;
  for (const auto& p : stream->packets) {
    if (p.start != INT64_MIN) first = std::min(first, p.start);
  }
  if (first == INT64_MAX) first = 0;
  for (auto& p : stream->packets) {
    if (p.start != INT64_MIN) p.start -= first;
    if (p.stop != INT64_MIN) p.stop -= first;
  }
  return true;
}

// Seconds from the first stamp to the end of the last packet.
double StreamSeconds(const ffmtest::Stream& s) {
  int64_t end = 0;
  for (const auto& p : s.packets) {
    if (p.stop != INT64_MIN)
      end = std::max(end, p.stop);
    else if (p.start != INT64_MIN)
      end = std::max(end, p.start);
  }
  return end / 1e7;
}

// The media type an encoder would offer for the stream.
AM_MEDIA_TYPE* TypeOf(const ffmtest::Stream& s) {
  CodecContext ctx;
  ctx.codec_type = s.codecType;
  ctx.codec_id = s.codecId;
  ctx.codec_tag = 0;
  ctx.bit_rate = s.bitRate;
  ctx.width = s.width;
  ctx.height = s.height;
  ctx.pix_fmt = s.pixFmt;
  ctx.sample_rate = s.sampleRate;
  ctx.channels = s.channels;
  ctx.sample_fmt = SAMPLE_FMT_S16;
  ctx.block_align = s.blockAlign;
  ctx.bits_per_sample = s.bitsPerCodedSample;
  if (s.codecId == AV_CODEC_ID_MP3) ctx.sub_id = 3;
  if (s.codecId == AV_CODEC_ID_MP2) ctx.sub_id = 2;
  if (s.codecId == AV_CODEC_ID_PCM_S16LE) ctx.bits_per_sample = 16;
  if (s.codecType == AVMEDIA_TYPE_VIDEO) {
    ctx.time_base = FFRational{s.frameRateDen > 0 ? s.frameRateDen : 1, s.frameRateNum > 0 ? s.frameRateNum : 25};
  } else {
    ctx.time_base = FFRational{1, s.sampleRate};
  }
  ctx.extradata = s.extradata;
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  InitMediaType(mt);
  if (!CodecContextToMediaType(&ctx, mt)) {
    DeleteOwnMediaType(mt);
    return nullptr;
  }
  return mt;
}

void Feed(IMediaWriter* writer, uint32_t pin, const ffmtest::Stream& s) {
  for (const ffmtest::Packet& p : s.packets) {
    auto* sample = new CMediaSample(nullptr, const_cast<BYTE*>(p.data.data()), static_cast<LONG>(p.data.size()));
    sample->AddRef();
    sample->SetActualDataLength(static_cast<LONG>(p.data.size()));
    if (p.start != INT64_MIN) {
      REFERENCE_TIME start = p.start, stop = p.stop;
      sample->SetTime(&start, p.stop != INT64_MIN ? &stop : nullptr);
    }
    sample->SetSyncPoint(p.key);
    writer->Receive(pin, sample);
  }
  writer->Receive(pin, nullptr);
}

struct WriteResult {
  HRESULT setOutput = E_FAIL;
  HRESULT close = E_FAIL;
  int pins = 0;
};

// Writes the streams through a writer with the muxer name; streams are fed on
// one thread each, as pump threads would.
WriteResult WriteThrough(const char* muxer, const std::string& path, const std::vector<const ffmtest::Stream*>& streams,
                         int globalHeader, const int32_t* target = nullptr) {
  WriteResult result;
  CParamList params;
  params.SetString("NAME", muxer);
  params.SetInt("GLOBALHEADER", globalHeader);
  IMediaModule* module = CFFMWriter::Create(&params);
  if (module == nullptr) return result;
  auto* writer = QueryAsWriter(module);
  result.setOutput = writer->SetOutput(path.c_str(), target);
  if (result.setOutput != S_OK) {
    writer->Release();
    return result;
  }
  for (const ffmtest::Stream* s : streams) {
    AM_MEDIA_TYPE* mt = TypeOf(*s);
    if (mt != nullptr && writer->AddInputPin(mt, 0) == S_OK) ++result.pins;
    if (mt != nullptr) DeleteOwnMediaType(mt);
  }
  if (result.pins != static_cast<int>(streams.size())) {
    writer->Release();
    return result;
  }
  writer->Run();
  std::vector<std::thread> feeders;
  for (size_t i = 0; i < streams.size(); ++i)
    feeders.emplace_back(Feed, writer, static_cast<uint32_t>(i), std::cref(*streams[i]));
  for (auto& t : feeders) t.join();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (writer->GetState() != WRITER_FINISHED && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.close = writer->CloseOutput();
  writer->Release();
  return result;
}

class WriterEnv : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
  }
};

struct Row {
  const char* tag;
  const char* muxer;
  const char* ext;
  const char* videoClip;  // "" for none
  const char* audioClip;
  const char* format;  // ffprobe format_name
  const char* videoCodec;
  const char* audioCodec;
  double duration;  // < 0: not checked
  int globalHeader;
};

const Row kRows[] = {
    {"[FFM]AVI", "avi", "avi", "mpeg4.mkv", "mp3.mp3", "avi", "mpeg4", "mp3", 2.0, 0},
    {"[FFM]MP4", "mp4", "mp4", "h264.mkv", "aac.aac", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", 2.0, 1},
    {"[FFM]3GP", "3gp", "3gp", "h263.mkv", "amrnb", "mov,mp4,m4a,3gp,3g2,mj2", "h263", "amr_nb", 2.0, 0},
    {"[FFM]ASF", "asf", "asf", "mpeg4.mkv", "mp3.mp3", "asf", "mpeg4", "mp3", 2.0, 0},
    {"[FFM]3G2", "3g2", "3g2", "h264.mkv", "aac.mkv", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", 2.0, 1},
    {"[FFM]MOV", "mov", "mov", "mpeg4.mkv", "pcm.wav", "mov,mp4,m4a,3gp,3g2,mj2", "mpeg4", "pcm_s16le", 2.0, 0},
    {"[FFM]MPEG1", "mpeg", "mpg", "mpeg1.mkv", "mp2.mp2", "mpeg", "mpeg1video", "mp2", 2.0, 0},
    {"[FFM]MPEGTS", "mpegts", "ts", "h264.mpegts", "aac.aac", "mpegts", "h264", "aac", 2.0, 0},
    {"[FFM]MPEG2", "vob", "mpg", "mpeg2.mkv", "ac3.ac3", "mpeg", "mpeg2video", "ac3", 2.0, 0},
    {"[FFM]AIFF", "aiff", "aiff", "", "pcm10.wav", "aiff", "", "pcm_s16le", 10.0, 0},
    {"[FFM]SWF", "swf", "swf", "flv1.mkv", "mp3.mp3", "swf", "flv1", "mp3", 2.0, 0},
    {"[FFM]MP3", "mp3", "mp3", "", "mp3_22k.mp3", "mp3", "", "mp3", 2.0, 0},
    {"[FFM]FLAC", "flac", "flac", "", "flac.flac", "flac", "", "flac", 2.0, 0},
    {"[FFM]RAWVIDEO", "rawvideo", "raw", "h264.mkv", "", "h264", "h264", "", 2.0, 0},
    {"[FFM]RAWAUDIO", "ac3", "raw", "", "ac3.ac3", "ac3", "", "ac3", 2.0, 0},
    {"[FFM]AAC", "adts", "aac", "", "aac.mkv", "aac", "", "aac", 2.0, 0},
    {"[FFM]WAV", "wav", "wav", "", "pcm.wav", "wav", "", "pcm_s16le", 2.0, 0},
    {"[FFM]OGG", "ogg", "ogg", "", "vorbis.ogg", "ogg", "", "vorbis", 2.0, 0},
    {"[FFM]AMR", "amr", "amr", "", "amrnb", "amr", "", "amr_nb", 2.0, 0},
    {"[FFM]AWB", "amr", "awb", "", "amrwb", "amr", "", "amr_wb", 2.0, 0},
    {"[FFM]FLV", "flv", "flv", "flv1.mkv", "mp3.mp3", "flv", "flv1", "mp3", 2.0, 0},
    {"[FFM]GIF", "gif", "gif", "gif.gif", "", "gif", "gif", "", 2.0, 0},
    {"[FFM]MPEG2PS", "vob", "mpg", "mpeg2.mkv", "mp2.mp2", "mpeg", "mpeg2video", "mp2", 2.0, 0},
    {"[FFM]MPEG2TS", "mpegts", "mpg", "mpeg2.mkv", "mp2.mp2", "mpegts", "mpeg2video", "mp2", 2.0, 0},
};

class WriterRows : public WriterEnv, public ::testing::WithParamInterface<Row> {};

TEST_P(WriterRows, WritesTheContainerWithItsStreamsAndDuration) {
  const Row& row = GetParam();
  ffmtest::Stream video, audio;
  std::vector<const ffmtest::Stream*> streams;
  if (row.videoClip[0]) {
    ASSERT_TRUE(LoadStream(row.videoClip, AVMEDIA_TYPE_VIDEO, &video)) << row.videoClip;
    streams.push_back(&video);
  }
  if (row.audioClip[0]) {
    ASSERT_TRUE(LoadStream(row.audioClip, AVMEDIA_TYPE_AUDIO, &audio)) << row.audioClip;
    streams.push_back(&audio);
  }
  std::string name = row.tag + 5;
  const std::string path = OutDir() + "/row_" + name + "." + row.ext;
  std::remove(path.c_str());
  WriteResult r = WriteThrough(row.muxer, path, streams, row.globalHeader);
  ASSERT_EQ(r.setOutput, S_OK);
  ASSERT_EQ(r.pins, static_cast<int>(streams.size()));
  EXPECT_EQ(r.close, S_OK);

  ffmtest::ProbedFile p = ProbeFile(path);
  EXPECT_EQ(p.format, row.format) << p.raw;
  std::vector<std::string> want;
  if (row.audioCodec[0]) want.push_back(std::string("audio:") + row.audioCodec);
  if (row.videoCodec[0]) want.push_back(std::string("video:") + row.videoCodec);
  EXPECT_EQ(p.codecs, want) << p.raw;
  double source = 0;
  for (const ffmtest::Stream* s : streams) source = std::max(source, StreamSeconds(*s));
  EXPECT_NEAR(source, row.duration, 0.1);
  EXPECT_NEAR(p.duration, source, 0.1) << p.raw;
}

INSTANTIATE_TEST_SUITE_P(FfmRows, WriterRows, ::testing::ValuesIn(kRows), [](const auto& info) {
  std::string n = info.param.tag + 5;
  return n;
});

}  // namespace

namespace {

std::string FirstPacketHex(const std::string& path, const char* kind) {
  std::string dump = RunText(std::string("ffprobe -v error -select_streams ") + kind +
                             " -read_intervals %+#1 -show_packets -show_data '" + path + "' 2>/dev/null");
  auto at = dump.find("00000000: ");
  return at == std::string::npos ? "" : dump.substr(at + 10, 9);
}

TEST_F(WriterEnv, H264IntoMp4WithGlobalHeaderHasAvcCFromEitherLayout) {
  // Length-prefixed packets with an avcC, and Annex B packets without codec data.
  for (const char* clip : {"h264.mkv", "h264.mpegts"}) {
    ffmtest::Stream video;
    ASSERT_TRUE(LoadStream(clip, AVMEDIA_TYPE_VIDEO, &video)) << clip;
    const std::string path = OutDir() + "/avcc_" + std::string(clip) + ".mp4";
    WriteResult r = WriteThrough("mp4", path, {&video}, 1);
    ASSERT_EQ(r.close, S_OK) << clip;
    std::string info = RunText(
        "ffprobe -v error -show_entries stream=is_avc,nal_length_size,nb_frames -of default=nw=1 '" + path + "'");
    EXPECT_NE(info.find("is_avc=true"), std::string::npos) << clip << "\n" << info;
    EXPECT_NE(info.find("nal_length_size=4"), std::string::npos) << info;
    // Every picture decodes.
    EXPECT_EQ(ffmtest::ProbeFrameCount(path, "v"), 50) << clip;
  }
}

TEST_F(WriterEnv, AdtsHeadersAreStrippedWhereTheContainerStoresRawFrames) {
  ffmtest::Stream adts;
  ASSERT_TRUE(LoadStream("aac.aac", AVMEDIA_TYPE_AUDIO, &adts));
  ASSERT_EQ(adts.packets[0].data[0], 0xFF);
  struct Case {
    const char* muxer;
    const char* ext;
    bool adtsInFile;
  } cases[] = {{"mp4", "m4a", false}, {"mov", "mov", false}, {"flv", "flv", false}, {"adts", "aac", true}};
  for (const Case& c : cases) {
    const std::string path = OutDir() + "/adts_" + c.muxer + "." + c.ext;
    ASSERT_EQ(WriteThrough(c.muxer, path, {&adts}, 0).close, S_OK) << c.muxer;
    const std::string hex = FirstPacketHex(path, "a");
    ASSERT_FALSE(hex.empty()) << c.muxer;
    // ffprobe hands ADTS frames to us with their one header, never two.
    if (c.adtsInFile) {
      EXPECT_EQ(hex.substr(0, 3), "fff") << c.muxer;
      std::vector<uint8_t> bytes = ffmtest::ReadFile(path);
      ASSERT_GT(bytes.size(), 14u);
      EXPECT_FALSE(bytes[7] == 0xFF && (bytes[8] & 0xF0) == 0xF0) << "doubled ADTS header";
    } else {
      EXPECT_NE(hex.substr(0, 3), "fff") << c.muxer;
    }
    EXPECT_EQ(ffmtest::ProbeFrameCount(path, "a"), static_cast<int64_t>(adts.packets.size())) << c.muxer;
  }
}

TEST_F(WriterEnv, Image2WritesNumberedPicturesIntoADirectory) {
  ffmtest::Stream video;
  ASSERT_TRUE(LoadStream("mjpeg.mkv", AVMEDIA_TYPE_VIDEO, &video));
  const std::string dir = OutDir() + "/frames.jpg";
  Shell("rm -rf '" + dir + "'");
  ASSERT_EQ(WriteThrough("image2", dir, {&video}, 0).close, S_OK);
  const size_t n = video.packets.size();
  for (size_t i = 1; i <= n; ++i) {
    const std::string file = dir + "/" + std::to_string(i) + ".jpg";
    ASSERT_FALSE(ffmtest::ReadFile(file).empty()) << file;
  }
  EXPECT_TRUE(ffmtest::ReadFile(dir + "/" + std::to_string(n + 1) + ".jpg").empty());
  EXPECT_NE(RunText("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + dir + "/1.jpg'").find("mjpeg"),
            std::string::npos);
}

TEST_F(WriterEnv, NumberedOutputWritesPathUnderscoreCounter) {
  ffmtest::Stream audio;
  ASSERT_TRUE(LoadStream("pcm.wav", AVMEDIA_TYPE_AUDIO, &audio));
  const std::string base = OutDir() + "/numbered.wav";
  Shell("rm -f '" + base + "'*");
  const int32_t target[6] = {0, 0, 0, 0, 1, 0};
  ASSERT_EQ(WriteThrough("wav", base, {&audio}, 0, target).close, S_OK);
  EXPECT_FALSE(ffmtest::ReadFile(base + "_0").empty());
  EXPECT_TRUE(ffmtest::ReadFile(base).empty());
  EXPECT_NEAR(ProbeFile(base + "_0").duration, 2.0, 0.1);
}

// File writes beyond the limit fail (EFBIG) while it is in force.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST_F(WriterEnv, WriteFailuresAreReportedNeverSuccess) {
  ffmtest::Stream video, audio;
  ASSERT_TRUE(LoadStream("mpeg4.mkv", AVMEDIA_TYPE_VIDEO, &video));
  ASSERT_TRUE(LoadStream("pcm10.wav", AVMEDIA_TYPE_AUDIO, &audio));
  // As on a full disk: writes fail once the file holds a few kilobytes.
  for (const char* muxer : {"avi", "mov", "wav"}) {
    std::vector<const ffmtest::Stream*> streams = {&audio};
    if (std::string(muxer) != "wav") streams.insert(streams.begin(), &video);
    const std::string path = OutDir() + "/full." + muxer;
    std::filesystem::remove(path);
    FileSizeLimit limit(8192);
    WriteResult r = WriteThrough(muxer, path, streams, 0);
    EXPECT_FALSE(std::filesystem::exists(path)) << muxer;
    EXPECT_EQ(r.setOutput, S_OK) << muxer;
    EXPECT_EQ(r.pins, static_cast<int>(streams.size())) << muxer;
    EXPECT_NE(r.close, S_OK) << muxer;
  }
  // A place that cannot be written: SetOutput fails.
  WriteResult r = WriteThrough("avi", "/proc/no/such/dir/out.avi", {&video}, 0);
  EXPECT_EQ(r.setOutput, FFM_E_CANNOT_CREATE);
  r = WriteThrough("no-such-muxer", OutDir() + "/x.avi", {&video}, 0);
  EXPECT_EQ(r.setOutput, E_INVALIDARG);
}

TEST_F(WriterEnv, GifTakesOnlyGifPictures) {
  ffmtest::Stream video;
  ASSERT_TRUE(LoadStream("mpeg4.mkv", AVMEDIA_TYPE_VIDEO, &video));
  WriteResult r = WriteThrough("gif", OutDir() + "/refused.gif", {&video}, 0);
  EXPECT_EQ(r.setOutput, S_OK);
  EXPECT_EQ(r.pins, 0);
}

}  // namespace

namespace {

TEST_F(WriterEnv, NextNumberedFileTakesTheSameStreams) {
  const std::string base = OutDir() + "/split.wav";
  Shell("rm -f '" + base + "'*");
  CodecContext pcm;
  pcm.codec_type = CODEC_TYPE_AUDIO;
  pcm.codec_id = AV_CODEC_ID_PCM_S16LE;
  pcm.sample_rate = 8000;
  pcm.channels = 1;
  pcm.sample_fmt = SAMPLE_FMT_S16;
  pcm.block_align = 2;
  pcm.bits_per_sample = 16;
  pcm.time_base = FFRational{1, 8000};
  CFFMOutput out;
  ASSERT_EQ(out.Open("wav", base.c_str(), true), CFFMOutput::OPEN_OK);
  ASSERT_EQ(out.AddStream(pcm), 0);
  std::vector<uint8_t> second(16000, 0);  // one second
  MuxPacket p;
  p.data = second.data();
  p.size = static_cast<int32_t>(second.size());
  p.flags = MUX_PACKET_SYNC;
  ASSERT_EQ(out.WriteHeader(), 0);
  EXPECT_EQ(out.WritePacket(0, p), 0);
  EXPECT_EQ(out.FileName(), base + "_0");
  ASSERT_EQ(out.OpenNext(), CFFMOutput::OPEN_OK);
  EXPECT_EQ(out.FileName(), base + "_1");
  EXPECT_EQ(out.WritePacket(0, p), 0);
  EXPECT_EQ(out.WritePacket(0, p), 0);
  EXPECT_TRUE(out.Finish());
  EXPECT_NEAR(ProbeFile(base + "_0").duration, 1.0, 0.01);
  EXPECT_NEAR(ProbeFile(base + "_1").duration, 2.0, 0.01);
}

}  // namespace

// Where the output goes: a finished output replaces the target, anything else
// leaves it as it was and leaves no temporary file behind.
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kUserBytes = {'u', 's', 'e', 'r', ' ', 'd', 'a', 't', 'a', 0, 1, 2, 0xFF};

// A clean folder per case.
std::string CaseDir(const std::string& name) {
  const std::string dir = OutDir() + "/target_" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Temporary names the writer left in the folder (and its subfolders).
std::vector<std::string> Leftovers(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().filename().string().find(".trivox-") != std::string::npos) found.push_back(e.path().string());
  }
  return found;
}

// A writer with its output set and its pins added, not yet running.
IMediaWriter* Prepare(const char* muxer, const std::string& path, const std::vector<const ffmtest::Stream*>& streams,
                      const int32_t* target = nullptr) {
  CParamList params;
  params.SetString("NAME", muxer);
  IMediaModule* module = CFFMWriter::Create(&params);
  if (module == nullptr) return nullptr;
  IMediaWriter* writer = QueryAsWriter(module);
  bool ok = writer->SetOutput(path.c_str(), target) == S_OK;
  for (const ffmtest::Stream* s : streams) {
    AM_MEDIA_TYPE* mt = TypeOf(*s);
    ok = ok && mt != nullptr && writer->AddInputPin(mt, 0) == S_OK;
    if (mt != nullptr) DeleteOwnMediaType(mt);
  }
  if (!ok) {
    writer->Release();
    return nullptr;
  }
  return writer;
}

void WaitFinished(IMediaWriter* writer) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (writer->GetState() != WRITER_FINISHED && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST_F(WriterEnv, UnfinishedOutputsLeaveTheTargetAsItWas) {
  ffmtest::Stream audio;
  ASSERT_TRUE(LoadStream("pcm10.wav", AVMEDIA_TYPE_AUDIO, &audio));
  const int32_t numbered[6] = {0, 0, 0, 0, 1, 0};
  struct Case {
    const char* name;
    const int32_t* target;
    HRESULT expected;  // CloseOutput's result; S_FALSE: never called
    std::function<HRESULT(IMediaWriter*)> run;
  };
  const Case cases[] = {
      // The job ends before its graph runs: only Close and Release.
      {"never_ran", nullptr, S_FALSE, [](IMediaWriter*) { return S_FALSE; }},
      {"numbered_never_ran", numbered, S_FALSE, [](IMediaWriter*) { return S_FALSE; }},
      // Torn down while running, without CloseOutput.
      {"closed_while_running", nullptr, S_FALSE,
       [&](IMediaWriter* w) {
         w->Run();
         for (size_t i = 0; i < 50; ++i) {
           const ffmtest::Packet& p = audio.packets[i];
           auto* sample = new CMediaSample(nullptr, const_cast<BYTE*>(p.data.data()), static_cast<LONG>(p.data.size()));
           sample->AddRef();
           sample->SetActualDataLength(static_cast<LONG>(p.data.size()));
           w->Receive(0, sample);
         }
         std::this_thread::sleep_for(std::chrono::milliseconds(100));
         return S_FALSE;
       }},
      // A write fails half way (as on a full disk).
      {"write_error", nullptr, E_FAIL,
       [&](IMediaWriter* w) {
         FileSizeLimit limit(200000);
         w->Run();
         Feed(w, 0, audio);
         WaitFinished(w);
         return w->CloseOutput();
       }},
      // Stopped before any packet reached the file.
      {"stopped_before_packets", nullptr, S_OK,
       [](IMediaWriter* w) {
         w->Run();
         w->Stop();
         w->Receive(0, nullptr);
         WaitFinished(w);
         return w->CloseOutput();
       }},
      // The source could not be read to its end.
      {"source_failed", nullptr, E_SOURCE_READ_FAILED,
       [&](IMediaWriter* w) {
         w->Run();
         Feed(w, 0, audio);
         WaitFinished(w);
         ReportSourceReadFailure();
         HRESULT hr = w->CloseOutput();
         ClearSourceReadFailure();
         return hr;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool existed : {true, false}) {
      SCOPED_TRACE(existed ? "over a file" : "no file before");
      const std::string dir = CaseDir(c.name);
      const std::string path = dir + "/out.wav";
      const std::string file = c.target ? path + "_0" : path;
      if (existed) {
        ASSERT_TRUE(ffmtest::WriteFile(file, kUserBytes));
      }
      IMediaWriter* writer = Prepare("wav", path, {&audio}, c.target);
      ASSERT_NE(writer, nullptr);
      EXPECT_EQ(c.run(writer), c.expected);
      writer->Close();
      writer->Release();
      if (existed) {
        EXPECT_EQ(ffmtest::ReadFile(file), kUserBytes);
      } else {
        EXPECT_FALSE(fs::exists(file));
      }
      EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), existed ? 1 : 0);
      EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
    }
  }
}

TEST_F(WriterEnv, FinishedOutputReplacesTheTarget) {
  ffmtest::Stream audio;
  ASSERT_TRUE(LoadStream("pcm.wav", AVMEDIA_TYPE_AUDIO, &audio));
  const std::string dir = CaseDir("replaced");
  // A file of the user's, with its own mode; a link to another one and a
  // dangling link: the links are replaced, never written through.
  const std::string path = dir + "/out.wav";
  ASSERT_TRUE(ffmtest::WriteFile(path, kUserBytes));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string real = dir + "/real.wav", link = dir + "/link.wav", dangling = dir + "/dangling.wav";
  ASSERT_TRUE(ffmtest::WriteFile(real, kUserBytes));
  fs::create_symlink("real.wav", link);
  fs::create_symlink("nowhere.wav", dangling);
  for (const std::string& target : {path, link, dangling}) {
    SCOPED_TRACE(target);
    WriteResult r = WriteThrough("wav", target, {&audio}, 0);
    ASSERT_EQ(r.setOutput, S_OK);
    EXPECT_EQ(r.close, S_OK);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    EXPECT_NEAR(ProbeFile(target).duration, 2.0, 0.1);
  }
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // A new file has the usual mode, not the temporary file's 0600.
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(stat(link.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
  EXPECT_EQ(ffmtest::ReadFile(real), kUserBytes);
  EXPECT_FALSE(fs::exists(dir + "/nowhere.wav"));
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(WriterEnv, SpecialFilesAreRefusedWithoutOpeningThem) {
  ffmtest::Stream audio;
  ASSERT_TRUE(LoadStream("pcm.wav", AVMEDIA_TYPE_AUDIO, &audio));
  const std::string dir = CaseDir("special");
  const std::string fifo = dir + "/fifo.wav", folder = dir + "/folder.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(folder);
  // Opening the FIFO would wait for a reader for ever.
  for (const std::string& target : {std::string("/dev/null"), std::string("/dev/full"), fifo, folder, dir + "/"}) {
    SCOPED_TRACE(target);
    EXPECT_EQ(WriteThrough("wav", target, {&audio}, 0).setOutput, FFM_E_CANNOT_CREATE);
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

TEST_F(WriterEnv, Image2MovesPicturesIntoTheFolderOnlyWhenFinished) {
  ffmtest::Stream video;
  ASSERT_TRUE(LoadStream("mjpeg.mkv", AVMEDIA_TYPE_VIDEO, &video));
  const std::string dir = CaseDir("image2");
  const std::string frames = dir + "/frames";
  // A job that never ran leaves no folder.
  IMediaWriter* writer = Prepare("image2", frames, {&video});
  ASSERT_NE(writer, nullptr);
  writer->Close();
  writer->Release();
  EXPECT_FALSE(fs::exists(frames));
  // A folder of the user's keeps its files through a failed job and a finished one.
  fs::create_directories(frames);
  ASSERT_TRUE(ffmtest::WriteFile(frames + "/1.jpg", kUserBytes));
  ASSERT_TRUE(ffmtest::WriteFile(frames + "/notes.txt", kUserBytes));
  writer = Prepare("image2", frames, {&video});
  ASSERT_NE(writer, nullptr);
  writer->Close();
  writer->Release();
  EXPECT_EQ(ffmtest::ReadFile(frames + "/1.jpg"), kUserBytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(frames), fs::directory_iterator()), 2);
  ASSERT_EQ(WriteThrough("image2", frames, {&video}, 0).close, S_OK);
  EXPECT_EQ(ffmtest::ReadFile(frames + "/notes.txt"), kUserBytes);
  EXPECT_NE(ffmtest::ReadFile(frames + "/1.jpg"), kUserBytes);
  const size_t n = video.packets.size();
  EXPECT_FALSE(ffmtest::ReadFile(frames + "/" + std::to_string(n) + ".jpg").empty());
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(frames), fs::directory_iterator())), n + 1);
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

TEST_F(WriterEnv, Image2PicturesThatCannotBeWrittenFailTheOutput) {
  ffmtest::Stream video;
  ASSERT_TRUE(LoadStream("mjpeg.mkv", AVMEDIA_TYPE_VIDEO, &video));
  const std::string dir = CaseDir("image2_full");
  const std::string frames = dir + "/frames";
  WriteResult r;
  {
    FileSizeLimit limit(1024);  // smaller than one picture
    r = WriteThrough("image2", frames, {&video}, 0);
  }
  EXPECT_EQ(r.setOutput, S_OK);
  EXPECT_NE(r.close, S_OK);
  EXPECT_FALSE(fs::exists(frames));
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

TEST_F(WriterEnv, NumberedPartWithNothingWrittenIsNotKept) {
  const std::string dir = CaseDir("numbered_parts");
  const std::string base = dir + "/split.wav";
  CodecContext pcm;
  pcm.codec_type = CODEC_TYPE_AUDIO;
  pcm.codec_id = AV_CODEC_ID_PCM_S16LE;
  pcm.sample_rate = 8000;
  pcm.channels = 1;
  pcm.sample_fmt = SAMPLE_FMT_S16;
  pcm.block_align = 2;
  pcm.bits_per_sample = 16;
  pcm.time_base = FFRational{1, 8000};
  std::vector<uint8_t> second(16000, 0);
  MuxPacket p;
  p.data = second.data();
  p.size = static_cast<int32_t>(second.size());
  p.flags = MUX_PACKET_SYNC;
  CFFMOutput out;
  ASSERT_EQ(out.Open("wav", base.c_str(), true), CFFMOutput::OPEN_OK);
  ASSERT_EQ(out.AddStream(pcm), 0);
  ASSERT_EQ(out.OpenNext(), CFFMOutput::OPEN_OK);  // part 0 never got its header
  EXPECT_EQ(out.WritePacket(0, p), 0);
  EXPECT_EQ(out.PacketsWritten(), 1);
  ASSERT_EQ(out.OpenNext(), CFFMOutput::OPEN_OK);
  EXPECT_EQ(out.PacketsWritten(), 0);
  EXPECT_EQ(out.WritePacket(0, p), 0);
  out.Abandon();  // part 2 is dropped
  EXPECT_FALSE(fs::exists(base + "_0"));
  EXPECT_NEAR(ProbeFile(base + "_1").duration, 1.0, 0.01);
  EXPECT_FALSE(fs::exists(base + "_2"));
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

}  // namespace
