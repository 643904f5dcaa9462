// Uncompressed video whose header declares pictures its packets cannot fill,
// or pictures beyond what is read at all: the job fails at once with a log line
// naming the size and leaves no output. The test's TIMEOUT catches a job that
// runs on (such a picture once took minutes and gigabytes).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/engine/jobs/hostile_input.h"

namespace fs = std::filesystem;

namespace {

void PutLe32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class HostilePicture : public HostileInput {
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
};

TEST_F(HostilePicture, PicturesTheDataCannotFillFail) {
  ConvertEach({
      {"declaring 4096x4096", "big.avi", "0", 0x8007001E, "declares 4096x4096 pictures of 50331648 bytes"},
      {"declaring 16000x16000", "huge.avi", "0", 0x8007001E, "declares uncompressed pictures of 16000x16000"},
      {"the same through the DirectShow reader", "huge.avi", "3", 0x80040200, "cannot open the source"},
      {"five pictures short", "five_short.avi", "0", 0x8007001E,
       "declares 64x48 pictures of 9216 bytes, but 2 of its 32 packets are smaller"},
      {"one picture short", "one_short.avi", "0", 0, "has a packet of 9116 bytes for a 64x48 picture of 9216 bytes"},
      {"the whole file", "raw.avi", "0", 0, nullptr},
  });
}

}  // namespace
