// The input bounds: a deadline that ends FFmpeg's opening and probing of a
// slow input, and of any input once it has passed.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "tests/test_util/ffm_test_media.h"

namespace {

using Clock = std::chrono::steady_clock;

// Never ends: a few zero bytes per read, slowly.
class SlowSource final : public IByteSource {
 public:
  int Read(uint8_t* buffer, int size) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int n = size < 512 ? size : 512;
    for (int i = 0; i < n; ++i) buffer[i] = 0;
    position_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, int whence) override {
    if (whence == kSeekSize) return -1;
    if (whence == SEEK_SET) position_ = offset;
    if (whence == SEEK_CUR) position_ += offset;
    return whence == SEEK_END ? -1 : position_;
  }

 private:
  int64_t position_ = 0;
};

class InputBoundsTest : public ::testing::Test {
 protected:
  void TearDown() override { SetInputBounds(InputBounds{}); }
};

TEST_F(InputBoundsTest, DeadlineEndsASlowOpen) {
  // Without the deadline FFmpeg would read a megabyte at 25 kB/s to guess the format.
  InputBounds bounds;
  bounds.deadline = Clock::now() + std::chrono::milliseconds(300);
  SetInputBounds(bounds);
  SlowSource source;
  FFDemuxer demuxer;
  const Clock::time_point start = Clock::now();
  int err = demuxer.OpenCustom("slow", &source);
  if (err >= 0) err = demuxer.FindStreamInfo();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_LT(err, 0);
  EXPECT_LT(seconds, 2.0);
  EXPECT_TRUE(InputDeadlinePassed());
}

TEST_F(InputBoundsTest, PassedDeadlineRefusesEveryInputUntilCleared) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI not found";
  const std::string clip = ffmtest::MakeClip("bounds.mp3", "-f lavfi -i sine=d=1 -c:a libmp3lame");
  ASSERT_FALSE(clip.empty());
  InputBounds bounds;
  bounds.deadline = Clock::now() - std::chrono::seconds(1);
  SetInputBounds(bounds);
  FFDemuxer demuxer;
  EXPECT_LT(demuxer.Open(clip.c_str()), 0);

  bounds.deadline = Clock::now() + std::chrono::seconds(30);
  bounds.probeBytes = 100000;
  bounds.analyzeMicroseconds = 1000000;
  SetInputBounds(bounds);
  ASSERT_EQ(0, demuxer.Open(clip.c_str()));
  EXPECT_EQ(0, demuxer.FindStreamInfo());
  EXPECT_FALSE(InputDeadlinePassed());

  SetInputBounds(InputBounds{});
  EXPECT_FALSE(InputDeadlinePassed());
  ASSERT_EQ(0, demuxer.Open(clip.c_str()));
  EXPECT_EQ(0, demuxer.FindStreamInfo());
}

}  // namespace
