// Uncompressed video whose header declares pictures its packets cannot fill,
// or pictures beyond what is read at all: the job fails at once with a log line
// naming the size and leaves no output. The test's TIMEOUT catches a job that
// runs on (such a picture once took minutes and gigabytes).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/log_ring.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/log_lines.h"

namespace fs = std::filesystem;

namespace {

void PutLe32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t Find(const std::vector<uint8_t>& d, const char* tag) {
  for (size_t i = 0; i + 4 <= d.size(); ++i)
    if (std::memcmp(&d[i], tag, 4) == 0) return i;
  return std::string::npos;
}

class HostilePicture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("hostile_picture");
    Make("raw.avi", "-f lavfi -i testsrc=size=64x48:rate=25 -t 2 -c:v rawvideo -pix_fmt bgr24");

    // The raw AVI with the picture size of its main and its stream header raised.
    Resize("big.avi", 4096, 4096);
    Resize("huge.avi", 16000, 16000);
    // Pictures from the 31st (of 50) on declared 100 bytes short: one such packet is refused;
    // with five, the second makes more than 5 % of those read and fails the job.
    Shorten("one_short.avi", 1);
    Shorten("five_short.avi", 5);
  }

  static void Make(const std::string& name, const std::string& args) {
    ASSERT_TRUE(RunFfmpeg(args + " " + ShellQuote(folder_ + "/" + name))) << name;
  }

  static void Resize(const std::string& to, uint32_t width, uint32_t height) {
    std::vector<uint8_t> d = ReadFileBytes(folder_ + "/raw.avi");
    const size_t avih = Find(d, "avih"), strf = Find(d, "strf");
    ASSERT_NE(std::string::npos, avih);
    ASSERT_NE(std::string::npos, strf);
    PutLe32(d, avih + 8 + 32, width);
    PutLe32(d, avih + 8 + 36, height);
    PutLe32(d, strf + 8 + 4, width);
    PutLe32(d, strf + 8 + 8, height);
    WriteFile(folder_ + "/" + to, d);
  }

  static void Shorten(const std::string& to, int count) {
    std::vector<uint8_t> d = ReadFileBytes(folder_ + "/raw.avi");
    const size_t movi = Find(d, "movi");
    ASSERT_NE(std::string::npos, movi);
    // The pictures' chunks follow one another: tag, size, data.
    size_t at = movi + 4;
    for (int picture = 0; picture < 30 + count; ++picture) {
      ASSERT_LE(at + 8, d.size());
      ASSERT_EQ(0, std::memcmp(&d[at], "00dc", 4)) << picture;
      const uint32_t size = d[at + 4] | d[at + 5] << 8 | d[at + 6] << 16 | static_cast<uint32_t>(d[at + 7]) << 24;
      if (picture >= 30) PutLe32(d, at + 4, size - 100);
      at += 8 + size + (size & 1);
    }
    WriteFile(folder_ + "/" + to, d);
  }

  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    TakeLogLines(ring_);
  }

  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += "  " + l + "\n";
    return all;
  }

  static std::string folder_;
  CLogRing ring_;
};
std::string HostilePicture::folder_;

TEST_F(HostilePicture, PicturesTheDataCannotFillFail) {
  struct Case {
    const char* label;
    const char* source;
    const char* mode;  // the reader choice
    uint32_t result;
    const char* line;  // part of the line saying what failed
  };
  const Case cases[] = {
      {"declaring 4096x4096", "big.avi", "0", 0x8007001E, "declares 4096x4096 pictures of 50331648 bytes"},
      {"declaring 16000x16000", "huge.avi", "0", 0x8007001E, "declares uncompressed pictures of 16000x16000"},
      {"the same through the DirectShow reader", "huge.avi", "3", 0x80040200, "cannot open the source"},
      {"five pictures short", "five_short.avi", "0", 0x8007001E,
       "declares 64x48 pictures of 9216 bytes, but 2 of its 32 packets are smaller"},
      {"one picture short", "one_short.avi", "0", 0, "has a packet of 9116 bytes for a 64x48 picture of 9216 bytes"},
      {"the whole file", "raw.avi", "0", 0, nullptr},
  };

  const std::string output = folder_ + "/out.mp4";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove(output);
    ASSERT_EQ(
        "", WriteConvertJob(folder_, {"--source", folder_ + "/" + c.source, "--source-mode", c.mode, "--output", output,
                                      "--writer", "[FFM]MP4", "--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC"}));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    const std::vector<std::string> lines = TakeLogLines(ring_);
    EXPECT_EQ(c.result, JobResult(run)) << run.output << Joined(lines);
    EXPECT_EQ(c.result == 0, fs::exists(output));
    if (!c.line) continue;
    bool found = false;
    for (const std::string& l : lines) found = found || l.find(c.line) != std::string::npos;
    EXPECT_TRUE(found) << c.line << " in\n" << Joined(lines);
  }
}

}  // namespace
