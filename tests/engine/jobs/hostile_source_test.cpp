// Damaged sources: files cut short of the length they declare, data inserted
// into an MP4. Each fails the job with 0x8007001E and a log line and leaves no
// output; cuts within 5 % and files that declare no length convert.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/jobs/hostile_input.h"

namespace fs = std::filesystem;

namespace {

class HostileSource : public HostileInput {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("hostile_source");
    const std::string av = "-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=44100 -t 2 ";
    Make("av.avi", av + "-c:v mpeg4 -c:a pcm_s16le");
    Make("av.mkv", av + "-c:v mpeg4 -c:a mp3");
    Make("av.wmv", av + "-c:v wmv2 -c:a wmav2");
    Make("av.mp4", av + "-c:v mpeg4 -c:a aac -movflags +faststart");
    Make("tone.wav", "-f lavfi -i sine=sample_rate=44100 -t 2");
    // Written to a pipe, the WAV keeps the placeholder where its lengths go.
    int status = -1;
    RunShell("ffmpeg -v error -f lavfi -i sine=sample_rate=44100 -t 2 -f wav - > " + ShellQuote(folder_ + "/piped.wav"),
             &status);
    ASSERT_EQ(0, status);

    Cut("av.avi", "cut.avi", 0.9);
    Cut("av.avi", "cut98.avi", 0.98);
    Cut("av.mkv", "cut.mkv", 0.9);
    Cut("av.wmv", "cut.wmv", 1.0 / 3);
    Cut("tone.wav", "cut.wav", 0.9);
    Cut("tone.wav", "cut98.wav", 0.98);
    Cut("piped.wav", "piped_cut.wav", 0.4);

    // 4,096 bytes inside the MP4's media data: every sample after them is read from the wrong place.
    std::vector<uint8_t> mp4 = ReadFileBytes(folder_ + "/av.mp4");
    const size_t mdat = Find(mp4, "mdat");
    ASSERT_NE(std::string::npos, mdat);
    mp4.insert(mp4.begin() + static_cast<long>(mdat + 4 + (mp4.size() - mdat) / 8), 4096, 0);
    WriteFile(folder_ + "/inserted.mp4", mp4);

    // AMR declares no length: 100 frames of 12.2 kbit/s (2 s), cut to 40 %.
    std::mt19937 random(1);
    std::vector<uint8_t> amr = {'#', '!', 'A', 'M', 'R', '\n'};
    for (int frame = 0; frame < 100; ++frame) {
      amr.push_back(0x3C);
      for (int i = 0; i < 31; ++i) amr.push_back(static_cast<uint8_t>(random()));
    }
    amr.resize(amr.size() * 4 / 10);
    WriteFile(folder_ + "/cut.amr", amr);
  }

  static void Cut(const std::string& from, const std::string& to, double fraction) {
    std::vector<uint8_t> d = ReadFileBytes(folder_ + "/" + from);
    d.resize(static_cast<size_t>(static_cast<double>(d.size()) * fraction));
    WriteFile(folder_ + "/" + to, d);
  }
};

TEST_F(HostileSource, ShortSourcesFailAndOthersConvert) {
  ConvertEach({
      {"an AVI cut to 90 %", "cut.avi", "0", 0x8007001E, "ends at "},
      {"an MKV cut to 90 %", "cut.mkv", "0", 0x8007001E, "ends at "},
      {"a WMV cut to a third", "cut.wmv", "0", 0x8007001E, "ends at "},
      {"a WAV cut to 90 %", "cut.wav", "0", 0x8007001E, "ends at "},
      {"an MP4 with 4,096 bytes inserted", "inserted.mp4", "0", 0x8007001E, "decode errors dropped "},
      {"an AVI cut by 2 %", "cut98.avi", "0", 0, nullptr},
      {"a WAV cut by 2 %", "cut98.wav", "0", 0, nullptr},
      {"an AMR cut to 40 % (no declared length)", "cut.amr", "0", 0, nullptr},
      {"a piped WAV cut to 40 % (no declared length)", "piped_cut.wav", "0", 0, nullptr},
      {"the whole WMV", "av.wmv", "0", 0, nullptr},
      {"the whole MKV", "av.mkv", "0", 0, nullptr},
  });
}

}  // namespace
