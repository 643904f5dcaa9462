// trivox_free -b on jobs made by trivox_job: the bitmap of a frame compared
// pixel for pixel with the ffmpeg CLI's frame, through a test job file and
// through trivox_ctl's control block; streams that are not video, sources
// that are missing, paths that cannot be written.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"

namespace fs = std::filesystem;

namespace {

struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;
  int bits = 0;
  size_t fileSize = 0;
  std::vector<uint8_t> rows;  // top row first, 4 bytes a pixel
};

int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

// A 32-bit BMP with its rows turned top row first.
Bitmap ReadBitmap(const std::string& path) {
  Bitmap bmp;
  const std::vector<uint8_t> file = ReadFileBytes(path);
  bmp.fileSize = file.size();
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return bmp;
  bmp.width = Le32(file, 18);
  bmp.height = Le32(file, 22);
  bmp.bits = file[28] | file[29] << 8;
  const size_t row = static_cast<size_t>(bmp.width) * 4;
  const size_t rows = static_cast<size_t>(bmp.height < 0 ? -bmp.height : bmp.height);
  if (bmp.bits != 32 || file.size() != 54 + row * rows) return bmp;
  bmp.rows.resize(row * rows);
  for (size_t r = 0; r < rows; ++r) {
    const size_t stored = bmp.height > 0 ? rows - 1 - r : r;  // positive height: bottom-up
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(54 + stored * row), row,
                bmp.rows.begin() + static_cast<std::ptrdiff_t>(r * row));
  }
  return bmp;
}

// One frame as the ffmpeg CLI decodes it to BGRA, top row first.
std::vector<uint8_t> CliFrame(const std::string& clip, const std::string& seek) {
  const CommandRun run =
      RunCommand("ffmpeg -v error " + seek + " -i " + ShellQuote(clip) + " -frames:v 1 -pix_fmt bgra -f rawvideo -");
  return std::vector<uint8_t>(run.output.begin(), run.output.end());
}

class FrameEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
    folder_ =
        MakeConvertFolder(std::string("frame_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    // 3 s at 25 frames per second, a key frame every second; a tone beside it.
    clip_ = ffmtest::MakeClip("frame_testsrc.avi",
                              "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=sample_rate=44100 -t 3 "
                              "-c:v mpeg4 -q:v 2 -g 25 -c:a pcm_s16le");
    ASSERT_FALSE(clip_.empty());
  }

  std::string Record() const { return folder_ + "/default_5.dat"; }

  void WriteJob(const std::string& source, int stream, int frame, int start, const std::string& output) {
    const CommandRun job = RunStagedTool("trivox_job", {"write", "frame", Record(), "--source-path", source, "--stream",
                                                        std::to_string(stream), "--frame-count", std::to_string(frame),
                                                        "--frame-start", std::to_string(start), "--output", output});
    ASSERT_EQ(job.status, 0) << job.output;
  }

  CommandRun RunCtl() {
    return RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -b " + ShellQuote(Record()) +
                      " --engine " + ShellQuote(folder_ + "/trivox_free") + " --timeout 60 2>&1");
  }

  std::string folder_, clip_;
};

TEST_F(FrameEndToEnd, FramesEqualTheCliPixelForPixel) {
  struct Case {
    const char* label;
    int start;  // seconds
    int frame;  // FRAMENUM
    std::string seek;
    bool atEnd;    // saved when the stream ended, not on its way
    bool longGop;  // the H.264 clip with a key frame every 2 s and B pictures
  };
  const Case cases[] = {
      {"frame 25 is the picture at 1 s", 0, 25, "-ss 1", false, false},
      {"frame 0 is the first picture", 0, 0, "", false, false},
      {"a start time counts frames from there", 2, 5, "-ss 2.2", false, false},
      {"beyond the end: the last picture", 0, 500, "-sseof -0.04", true, false},
      // Decoded from the key frame at 0, not from the first packet at 1 s.
      {"a start inside a group of pictures", 1, 8, "-ss 1.32", false, true},
  };
  const std::string longGop =
      ffmtest::MakeClip("frame_testsrc_gop2.mp4",
                        "-f lavfi -i testsrc=size=320x240:rate=25 -t 3 -c:v libx264 -g 50 -bf 2 -pix_fmt yuv420p");
  ASSERT_FALSE(longGop.empty());
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string clip = c.longGop ? longGop : clip_;
    const std::string output = folder_ + "/frame" + std::to_string(n++) + ".bmp";
    WriteJob(clip, 0, c.frame, c.start, output);
    const EngineRun run = RunEngine(folder_, {"-b", "test"});
    ASSERT_EQ(JobResult(run), 0u) << run.output;
    EXPECT_EQ(run.HasLine("save file to '" + output + "'"), !c.atEnd) << run.output;
    const Bitmap bmp = ReadBitmap(output);
    EXPECT_EQ(bmp.width, 320);
    EXPECT_EQ(bmp.height, 240) << "bottom-up rows";
    EXPECT_EQ(bmp.fileSize, 54u + 320 * 240 * 4);
    const std::vector<uint8_t> cli = CliFrame(clip, c.seek);
    ASSERT_EQ(cli.size(), size_t{320 * 240 * 4});
    EXPECT_TRUE(bmp.rows == cli) << "pixels differ from the CLI's frame";
  }
  // Nothing but the bitmaps (and the engine's own files) in the folder.
  for (const auto& e : fs::directory_iterator(folder_))
    EXPECT_NE(e.path().filename().string()[0], '.') << "left over: " << e.path();
}

TEST_F(FrameEndToEnd, ControlledJobStopsAfterTheFrameAndReportsItsTime) {
  const std::string output = folder_ + "/preview.bmp";
  WriteJob(clip_, 0, 25, 0, output);
  const CommandRun ctl = RunCtl();
  EXPECT_EQ(ctl.status, 0) << ctl.output;
  EXPECT_NE(ctl.output.find("frame at 1000 ms, stop request 1\n"), std::string::npos) << ctl.output;
  EXPECT_NE(ctl.output.find("RESULT=00000000"), std::string::npos) << ctl.output;
  EXPECT_TRUE(ReadBitmap(output).rows == CliFrame(clip_, "-ss 1"));
}

TEST_F(FrameEndToEnd, FrameLargerThanFullHdIsWrittenWhole) {
#if defined(__SANITIZE_THREAD__)
  // FFmpeg's frame threads are not instrumented: each row the decoder copies
  // out of a picture goes through the sanitizer's suppressed-race path, which
  // takes minutes for a 4K picture.
  GTEST_SKIP() << "too slow under ThreadSanitizer";
#endif
  const std::string clip = ffmtest::MakeClip("frame_uhd.avi",
                                             "-f lavfi -i testsrc=size=3840x2160:rate=25 -frames:v 3 "
                                             "-c:v mpeg4 -q:v 4");
  ASSERT_FALSE(clip.empty());
  const std::string output = folder_ + "/uhd.bmp";
  WriteJob(clip, 0, 1, 0, output);
  const EngineRun run = RunEngine(folder_, {"-b", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  const Bitmap bmp = ReadBitmap(output);
  EXPECT_EQ(bmp.fileSize, 54u + 3840u * 2160u * 4u);
  EXPECT_TRUE(bmp.rows == CliFrame(clip, "-ss 0.04"));
}

TEST_F(FrameEndToEnd, Refusals) {
  struct Case {
    const char* label;
    std::string source;
    int stream;
    uint32_t result;
    bool rendering;  // "begin render" printed: the source opened
  };
  const Case cases[] = {
      {"an audio stream", clip_, 1, 0x80040012, true},
      {"a stream the source lacks", clip_, 7, 0x80040012, true},
      {"a source that is not there", folder_ + "/missing.avi", 0, 0x80040081, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string output = folder_ + "/refused.bmp";
    WriteJob(c.source, c.stream, 0, 0, output);
    const EngineRun run = RunEngine(folder_, {"-b", "test"});
    EXPECT_EQ(JobResult(run), c.result) << run.output;
    EXPECT_EQ(run.output.find("begin render\n") != std::string::npos, c.rendering) << run.output;
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(FrameEndToEnd, UnwritablePathLeavesNoFileAndStopsTheJob) {
  const std::string missing = folder_ + "/no/such/folder/x.bmp";
  WriteJob(clip_, 0, 10, 0, missing);
  CommandRun ctl = RunCtl();
  EXPECT_NE(ctl.output.find("stop request 1\n"), std::string::npos) << ctl.output;
  EXPECT_NE(ctl.output.find("cannot write the frame to \"" + missing + "\""), std::string::npos) << ctl.output;
  EXPECT_NE(ctl.output.find("RESULT=80004005"), std::string::npos) << ctl.output;
  // A folder where the file would go is refused before anything renders.
  const std::string taken = folder_ + "/taken.bmp";
  fs::create_directories(taken);
  WriteJob(clip_, 0, 10, 0, taken);
  ctl = RunCtl();
  EXPECT_EQ(ctl.output.find("stop request 1\n"), std::string::npos) << ctl.output;
  EXPECT_NE(ctl.output.find("the output \"" + taken + "\" is not a file"), std::string::npos) << ctl.output;
  EXPECT_NE(ctl.output.find("RESULT=80040081"), std::string::npos) << ctl.output;
  EXPECT_FALSE(fs::exists(folder_ + "/no"));
  EXPECT_TRUE(fs::is_empty(folder_ + "/taken.bmp"));
  for (const auto& e : fs::directory_iterator(folder_))
    EXPECT_NE(e.path().filename().string()[0], '.') << "left over: " << e.path();
}

}  // namespace
