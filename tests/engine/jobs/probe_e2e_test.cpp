// trivox_free -l on files made with the ffmpeg CLI (and a few authored
// here): the printed lines, the probe block's record, bad input, and time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/media_info_record.h"
#include "common/param_list.h"
#include "common/shared_block.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Every probe here ends well within the front end's 15 s.
constexpr double kPromptSeconds = 5.0;

struct Probed {
  EngineRun run;
  MediaInfoRecord record{};
  double seconds = 0;
};

class ProbeEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("probe_e2e");
    Make("tone.mp3", "-f lavfi -i sine=d=3 -c:a libmp3lame -metadata artist=A -metadata title=T");
    Make("clip with spaces, and commas.mp4",
         "-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=sample_rate=44100 -t 2 -c:v libx264 "
         "-pix_fmt yuv420p -c:a aac -metadata artist=\"\u00dcn\u00efc\u00f8d\u00e9 \U0001D11E\" -metadata album=Al");
    // AMR-NB: the file header, then 500 frames of mode 7 (12.2 kbit/s, 32 bytes each): 10 s.
    std::vector<uint8_t> amr = {'#', '!', 'A', 'M', 'R', '\n'};
    for (int i = 0; i < 500; ++i) {
      amr.push_back(0x3C);
      amr.insert(amr.end(), 31, static_cast<uint8_t>(i * 7));
    }
    WriteFile(folder_ + "/speech.amr", amr);
    // Bytes that only an extension calls MP3.
    std::vector<uint8_t> garbage(100000);
    uint32_t x = 12345;
    for (uint8_t& b : garbage) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    WriteFile(folder_ + "/garbage.mp3", garbage);
    WriteFile(folder_ + "/notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    std::vector<uint8_t> mp4 = ReadFileBytes(folder_ + "/clip with spaces, and commas.mp4");
    mp4.resize(mp4.size() / 2);  // the index is at the end
    WriteFile(folder_ + "/truncated.mp4", mp4);
    fs::remove(folder_ + "/fifo.mp3");
    ASSERT_EQ(0, mkfifo((folder_ + "/fifo.mp3").c_str(), 0600));
    ASSERT_TRUE(LoadVfccTable(folder_));
  }

  static void Make(const std::string& name, const std::string& args) {
    int status = -1;
    const std::string out =
        RunShell("ffmpeg -nostdin -v error -y " + args + " " + ShellQuote(folder_ + "/" + name), &status);
    ASSERT_EQ(0, status) << out;
  }

  // Probes the word (quoted as the front end does unless raw) into a fresh
  // block; the block's bytes start as fill.
  Probed Probe(const std::string& word, bool quote = true, uint8_t fill = 0) {
    const std::string name = ":PROC_" + std::to_string(++blocks_);
    CSharedBlock block;
    EXPECT_TRUE(block.Create(name, kProbeBlockSize));
    std::memset(block.View(), fill, kProbeBlockSize);
    Probed p;
    const Clock::time_point start = Clock::now();
    p.run = RunEngine(folder_, {"-l", name, quote ? "\"" + word + "\"" : word, "0"});
    p.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::memcpy(&p.record, block.View(), sizeof p.record);
    return p;
  }

  static std::string Path(const std::string& name) { return folder_ + "/" + name; }

  static std::string folder_;
  int blocks_ = 0;
};

std::string ProbeEndToEnd::folder_;

CParamList* Track(const MediaInfoRecord& record, int i) {
  auto* list = new CParamList;
  list->ParseText(std::string(record.Track(i)).c_str());
  return list;
}

TEST_F(ProbeEndToEnd, Mp3PrintsAndStoresItsRecord) {
  const Probed p = Probe(Path("tone.mp3"));
  EXPECT_EQ(0, p.run.status);
  EXPECT_EQ("RESULT=00000000", p.run.LastLine());
  EXPECT_TRUE(p.run.HasLine("RET=00000000")) << p.run.output;
  EXPECT_TRUE(p.run.HasLine("LENGTH=3.000")) << p.run.output;
  EXPECT_TRUE(p.run.HasLine("TRACK=1")) << p.run.output;
  EXPECT_TRUE(p.run.HasLine("TRACK 0,INFO=" + std::string(p.record.Track(0)))) << p.run.output;

  EXPECT_EQ(0, p.record.result);
  EXPECT_EQ(3.0, p.record.length);
  EXPECT_EQ(1, p.record.trackCount);
  std::unique_ptr<CParamList> audio(Track(p.record, 0));
  EXPECT_EQ(1, audio->GetInt("TYPE", -1));
  EXPECT_EQ(44100, audio->GetInt("SAMPLERATE", 0));
  EXPECT_EQ(1, audio->GetInt("CHANNEL", 0));
  EXPECT_EQ(static_cast<int32_t>(MakeFourcc('M', 'P', '3', 'A')), audio->GetInt("VFCC", 0));
  EXPECT_EQ(0x55, audio->GetInt("FCC", 0));
  EXPECT_EQ(1, p.record.tags.enabled);
  EXPECT_EQ(std::u16string(u"A"), p.record.tags.artist);
  EXPECT_EQ(std::u16string(u"T"), p.record.tags.title);
  EXPECT_LT(p.seconds, kPromptSeconds);
}

TEST_F(ProbeEndToEnd, VideoFileWithSpacesAndCommasInItsPath) {
  const Probed p = Probe(Path("clip with spaces, and commas.mp4"));
  EXPECT_EQ(0, p.run.status);
  ASSERT_EQ(0, p.record.result) << p.run.output;
  EXPECT_EQ(2, p.record.trackCount);
  EXPECT_NEAR(2.0, p.record.length, 0.05);
  std::unique_ptr<CParamList> video(Track(p.record, 0));
  EXPECT_EQ(0, video->GetInt("TYPE", -1));
  EXPECT_EQ(320, video->GetInt("WIDTH", 0));
  EXPECT_EQ(240, video->GetInt("HEIGHT", 0));
  EXPECT_DOUBLE_EQ(25.0, video->GetDouble("FRAMERATE", 0));
  EXPECT_EQ(static_cast<int32_t>(MakeFourcc('H', '2', '6', '4')), video->GetInt("VFCC", 0));
  std::unique_ptr<CParamList> audio(Track(p.record, 1));
  EXPECT_EQ(1, audio->GetInt("TYPE", -1));
  EXPECT_EQ(static_cast<int32_t>(MakeFourcc('M', 'P', '4', 'A')), audio->GetInt("VFCC", 0));
  EXPECT_EQ(44100, audio->GetInt("SAMPLERATE", 0));
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(p.run.HasLine("TRACK " + std::to_string(i) + ",INFO=" + std::string(p.record.Track(i))));
  // Tags survive as UTF-16, a character outside the BMP included.
  EXPECT_EQ(1, p.record.tags.enabled);
  EXPECT_EQ(std::u16string(u"\u00dcn\u00efc\u00f8d\u00e9 \U0001D11E"), p.record.tags.artist);
  EXPECT_EQ(std::u16string(u"Al"), p.record.tags.album);
}

TEST_F(ProbeEndToEnd, AmrLengthComesFromItsFrames) {
  const Probed p = Probe(Path("speech.amr"));
  ASSERT_EQ(0, p.record.result) << p.run.output;
  EXPECT_TRUE(p.run.HasLine("LENGTH=10.000")) << p.run.output;
  EXPECT_EQ(1, p.record.trackCount);
  EXPECT_EQ(0, p.record.tags.enabled);
}

TEST_F(ProbeEndToEnd, BadInputEndsPromptlyWithAResult) {
  struct Case {
    const char* what;
    std::string word;
    bool quote;
    uint32_t result;
  };
  const Case cases[] = {
      {"missing file", Path("missing.mp3"), true, 0x80040081},
      {"missing file, unquoted", Path("missing.mp3"), false, 0x80040081},
      {"a lone quote", "\"", false, 0x80040081},
      {"empty quotes", "", true, 0x80040081},
      {"a folder", folder_, true, 0x80040081},
      {"a FIFO", Path("fifo.mp3"), true, 0x80040081},
      {"garbage named .mp3", Path("garbage.mp3"), true, 0x80040012},
      {"truncated MP4", Path("truncated.mp4"), true, 0x80040081},
      {"a file no reader knows", Path("notes.txt"), true, 0x80040012},
      {"a path under a file", Path("speech.amr") + "/x", true, 0x80040081},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Probed p = Probe(c.word, c.quote, 0x77);
    EXPECT_EQ(0, p.run.status);
    EXPECT_EQ("RESULT=00000000", p.run.LastLine());
    EXPECT_EQ(c.result, static_cast<uint32_t>(p.record.result)) << p.run.output;
    EXPECT_EQ(0, p.record.trackCount);
    char expected[16];
    std::snprintf(expected, sizeof expected, "RET=%08X", c.result);
    EXPECT_TRUE(p.run.HasLine(expected)) << p.run.output;
    EXPECT_TRUE(p.run.HasLine("TRACK=0")) << p.run.output;
    // The rest keeps what was there.
    EXPECT_EQ(0x77, reinterpret_cast<const uint8_t*>(&p.record.length)[0]);
    EXPECT_EQ(0x77, static_cast<uint8_t>(p.record.info[0]));
    EXPECT_LT(p.seconds, kPromptSeconds);
  }
}

TEST_F(ProbeEndToEnd, ABlockThatCannotBeMappedFails) {
  CSharedBlock small;
  ASSERT_TRUE(small.Create(":PROC_SMALL", 4));
  for (const std::string& name : {std::string(":PROC_SMALL"), std::string()}) {
    SCOPED_TRACE(name);
    EngineRun run = RunEngine(folder_, {"-l", name, "\"" + Path("tone.mp3") + "\"", "0"});
    EXPECT_EQ(5, run.status);
    EXPECT_EQ("RESULT=80004005", run.LastLine());
    EXPECT_EQ(0x80004005u, JobResult(run));
    EXPECT_FALSE(run.HasLine("RET=00000000"));
  }
  const uint8_t* bytes = small.View();
  EXPECT_EQ(std::vector<uint8_t>(4, 0), std::vector<uint8_t>(bytes, bytes + 4));
}

TEST_F(ProbeEndToEnd, FileBackedBlockIsWrittenToItsFile) {
  const std::string name = Path("probe.blk");
  fs::remove(name);
  EngineRun run = RunEngine(folder_, {"-l", name, "\"" + Path("tone.mp3") + "\"", "0"});
  EXPECT_EQ(0, run.status);
  const std::vector<uint8_t> bytes = ReadFileBytes(name);
  ASSERT_EQ(kProbeBlockSize, bytes.size());
  MediaInfoRecord record;
  std::memcpy(&record, bytes.data(), sizeof record);
  EXPECT_EQ(0, record.result);
  EXPECT_EQ(3.0, record.length);
  EXPECT_EQ(1, record.trackCount);
}

}  // namespace
