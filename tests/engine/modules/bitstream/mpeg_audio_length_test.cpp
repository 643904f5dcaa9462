// The MPEG audio frame scan on files made by the ffmpeg CLI, and on copies
// with tags, junk and cuts added.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/bitstream/mpeg_audio_length.h"
#include "tests/test_util/ffm_test_media.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Later() { return Clock::now() + std::chrono::seconds(30); }

bool Scan(const std::string& path, MpegAudioLength* length, Clock::time_point deadline = Later()) {
  return ScanMpegAudioLength(path.c_str(), deadline, length);
}

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = ffmtest::MediaDir() + "/" + name;
  EXPECT_TRUE(ffmtest::WriteFile(path, bytes));
  return path;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// An ID3v2.3 tag of the given body size (syncsafe), zero-filled.
std::vector<uint8_t> Id3v2(uint32_t body) {
  std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<uint8_t>((body >> shift) & 0x7F));
  tag.resize(10 + body, 0);
  return tag;
}

class MpegAudioScan : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI not found";
  }
};

TEST_F(MpegAudioScan, InfoHeaderGivesTheExactLength) {
  const std::string path = ffmtest::MakeClip("scan_info.mp3", "-f lavfi -i sine=d=3 -c:a libmp3lame");
  ASSERT_FALSE(path.empty());
  MpegAudioLength length;
  ASSERT_TRUE(Scan(path, &length));
  EXPECT_TRUE(length.fromInfoHeader);
  EXPECT_EQ(44100, length.sampleRate);
  EXPECT_EQ(132300u, length.samples);  // encoder delay and padding taken off
  EXPECT_DOUBLE_EQ(3.0, length.Seconds());
  EXPECT_EQ(ffmtest::ProbeFrameCount(path, "a"), length.frames);
}

TEST_F(MpegAudioScan, FramesAreCountedWithoutAnInfoHeader) {
  struct Case {
    const char* name;
    const char* args;
    int32_t rate;
    uint64_t samplesPerFrame;
  } const cases[] = {
      {"scan_plain.mp3", "-f lavfi -i sine=d=3 -c:a libmp3lame -write_xing 0", 44100, 1152},
      {"scan_mpeg2.mp3", "-f lavfi -i sine=d=2:sample_rate=22050 -ac 2 -c:a libmp3lame -b:a 64k -write_xing 0", 22050,
       576},
      {"scan_layer2.mp2", "-f lavfi -i sine=d=2:sample_rate=48000 -c:a mp2", 48000, 1152},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = ffmtest::MakeClip(c.name, c.args);
    ASSERT_FALSE(path.empty());
    MpegAudioLength length;
    ASSERT_TRUE(Scan(path, &length));
    EXPECT_FALSE(length.fromInfoHeader);
    EXPECT_EQ(c.rate, length.sampleRate);
    EXPECT_EQ(ffmtest::ProbeFrameCount(path, "a"), length.frames);
    EXPECT_EQ(static_cast<uint64_t>(length.frames) * c.samplesPerFrame, length.samples);
  }
}

TEST_F(MpegAudioScan, TagsJunkAndCutsAroundTheFrames) {
  const std::string plain = ffmtest::MakeClip("scan_plain.mp3", "-f lavfi -i sine=d=3 -c:a libmp3lame -write_xing 0");
  ASSERT_FALSE(plain.empty());
  MpegAudioLength clean;
  ASSERT_TRUE(Scan(plain, &clean));
  std::vector<uint8_t> audio = ffmtest::ReadFile(plain);
  const std::vector<uint8_t> junk(37, 0x11);

  // Two ID3v2 tags, junk before the first frame and between two frames, an ID3v1 tag at the end.
  std::vector<uint8_t> dirty = Id3v2(300);
  Append(dirty, Id3v2(20));
  Append(dirty, junk);
  const size_t middle = audio.size() / 2;
  size_t split = middle;
  while (split < audio.size() - 1 && !(audio[split] == 0xFF && (audio[split + 1] & 0xE0) == 0xE0)) ++split;
  dirty.insert(dirty.end(), audio.begin(), audio.begin() + static_cast<long>(split));
  Append(dirty, junk);
  dirty.insert(dirty.end(), audio.begin() + static_cast<long>(split), audio.end());
  std::vector<uint8_t> id3v1(128, 0);
  std::memcpy(id3v1.data(), "TAG", 3);
  Append(dirty, id3v1);
  MpegAudioLength length;
  ASSERT_TRUE(Scan(Write("scan_dirty.mp3", dirty), &length));
  EXPECT_EQ(clean.frames, length.frames);

  // A last frame cut short is not counted.
  std::vector<uint8_t> cut = audio;
  cut.resize(cut.size() - 100);
  ASSERT_TRUE(Scan(Write("scan_cut.mp3", cut), &length));
  EXPECT_EQ(clean.frames - 1, length.frames);
}

TEST_F(MpegAudioScan, NothingToCount) {
  const std::string dir = ffmtest::MediaDir();
  const std::string fifo = dir + "/scan_fifo.mp3";
  ::unlink(fifo.c_str());
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::vector<uint8_t> noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 31 + i / 7);
  const std::string cases[] = {
      Write("scan_empty.mp3", {}),
      Write("scan_text.mp3", {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'}),
      Write("scan_tag_only.mp3", Id3v2(1000)),
      Write("scan_noise.mp3", noise),
      dir + "/scan_missing.mp3",
      dir,
      fifo,  // opened without blocking, then refused
  };
  for (const std::string& path : cases) {
    MpegAudioLength length;
    EXPECT_FALSE(Scan(path, &length)) << path;
  }
}

TEST_F(MpegAudioScan, StopsAtTheDeadline) {
  // Several window loads of frames, so the scan looks at the clock.
  const std::string path =
      ffmtest::MakeClip("scan_long.mp3", "-f lavfi -i sine=d=300 -c:a libmp3lame -b:a 128k -write_xing 0");
  ASSERT_FALSE(path.empty());
  MpegAudioLength length;
  EXPECT_FALSE(Scan(path, &length, Clock::now() - std::chrono::seconds(1)));
  ASSERT_TRUE(Scan(path, &length));
  EXPECT_NEAR(300.0, length.Seconds(), 0.1);
}

}  // namespace
