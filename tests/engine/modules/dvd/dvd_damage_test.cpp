// Damaged discs converted end to end: copies of the long test disc cut, garbled, or failing
// with EIO through an LD_PRELOAD shim over the reads, converted by trivox_free to MP4. Each
// either converts with the whole range's duration (from decoded frames and samples) and its
// log lines, or fails with 0x8007001E and the line saying where; none hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

// A damaged title must convert in a bounded time: a few times what the intact title takes on
// this build and machine (sanitizers and load slow both alike), and never less than this.
constexpr double kLeastBoundSeconds = 30.0;
constexpr double kBoundPerIntactTime = 4.0;

const std::string kVideo = "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(MakeFourcc("MPG2")) +
                           ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0";
const std::string kAc3 = "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(MakeFourcc("AC3A")) +
                         ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";

std::string Shell(const std::string& command) {
  int status = -1;
  return RunShell(command, &status, false);
}

// Seconds of the first video stream from its decoded frames (25 per second here).
double VideoSeconds(const std::string& path) {
  return std::atof(Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                         "-of csv=p=0 " +
                         ShellQuote(path))
                       .c_str()) /
         25.0;
}

enum class Damage { kNone, kCut, kGarbage, kReadError };

class DvdDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    folder_ = MakeConvertFolder("dvd_damage");
    // Where the damage goes: the long disc's VOBUs.
    DvdNavHandlePtr handle = DvdInit(DvdFixture("long").c_str());
    ASSERT_NE(handle, nullptr);
    const DvdClockReader clock(*handle, 1);
    ASSERT_TRUE(clock.ok());
    inCell2_ = clock.VobuStart(600);      // a VOBU inside cell 2 (412-739)
    lastOfFile1_ = clock.VobuStart(739);  // the last VOBU of the first VOB file's cells
    inCell3_ = clock.VobuStart(950);      // a VOBU inside cell 3 (740-1151), the second file
  }

  // A copy of the long disc with the damage; its path.
  std::string Damaged(const std::string& name, Damage damage, uint32_t first, uint32_t count) {
    const std::string disc = folder_ + "/" + name;
    fs::remove_all(disc);
    fs::copy(DvdFixture("long"), disc, fs::copy_options::recursive);
    const std::string vob = disc + "/VIDEO_TS/VTS_01_1.VOB";
    if (damage == Damage::kCut) fs::resize_file(vob, static_cast<uintmax_t>(first) * 2048);
    if (damage == Damage::kGarbage) {
      std::FILE* f = std::fopen(vob.c_str(), "r+b");
      EXPECT_NE(f, nullptr);
      if (f == nullptr) return disc;
      std::srand(1234);
      std::fseek(f, static_cast<long>(first) * 2048, SEEK_SET);
      for (uint32_t i = 0; i < count * 2048; ++i) std::fputc(std::rand() & 0xFF, f);
      std::fclose(f);
    }
    return disc;
  }

  // The job: a "dvd:" source to a small MP4; "" when it is written.
  std::string WriteJob(const std::string& source, const std::string& output, int width = 160, int height = 120) {
    return WriteConvertJob(folder_, {"--source",        source,
                                     "--desc",          kVideo,
                                     "--desc",          kAc3,
                                     "--output",        output,
                                     "--writer",        "[FFM]MP4",
                                     "--vcodec",        "[FFM]H264",
                                     "--acodec",        "[FFM]AAC",
                                     "--writer-params", "\"GLOBALHEADER\"=1",
                                     "--width",         std::to_string(width),
                                     "--height",        std::to_string(height),
                                     "--vbitrate",      "600000",
                                     "--abitrate",      "96000"});
  }

  std::string folder_;
  uint32_t inCell2_ = 0, lastOfFile1_ = 0, inCell3_ = 0;
};

TEST_F(DvdDamage, ReadWhatCanBeReadKeepTheTimelineOrFail) {
  const uint32_t across = 746 - (lastOfFile1_ + 4);  // to a few sectors into cell 3 (740)
  struct Case {
    const char* label;
    Damage damage;
    uint32_t first, count;  // sectors of VTS_01_1.VOB (cut: its new length)
    const char* range;      // title, first and last chapter
    bool converts;
    std::vector<std::string> logged;  // parts of lines the log must hold
  } cases[] = {
      {"intact", Damage::kNone, 0, 0, "1,1,4", true, {}},
      {"read errors in a VOBU", Damage::kReadError, inCell2_ + 6, 8, "1,1,4", true, {"cannot be read", "(1 damaged"}},
      // From the first VOB file into the second, whose clock starts again at 0.
      {"read errors across two files", Damage::kReadError, lastOfFile1_ + 4, across, "1,1,4", true, {"by -12.000 s"}},
      {"116 sectors of read errors", Damage::kReadError, inCell2_, 116, "1,1,4", false, {"failed in chapter 2 at "}},
      {"garbage over a navigation pack", Damage::kGarbage, inCell3_ - 2, 6, "1,1,4", true, {"(1 damaged place)"}},
      {"116 sectors of garbage", Damage::kGarbage, inCell2_, 116, "1,1,4", false, {"failed in chapter 2 at "}},
      {"VOB cut in half", Damage::kCut, 740, 0, "1,1,4", false, {"sectors 740 to 1479", "chapter 3 at 12.00 s"}},
      {"VOB cut inside the later title", Damage::kCut, 1800, 0, "2,1,2", false, {"failed in chapter 2 at 4."}},
      {"the earlier title of that VOB", Damage::kCut, 1800, 0, "1,1,4", true, {}},
  };
  const std::string shim = std::string(TRIVOX_BINARY_DIR) + "/tests/trivox_eio_shim.so";
  int n = 0;
  double intactSeconds = 0;  // the first case's
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string disc = Damaged("disc" + std::to_string(++n), c.damage, c.first, c.count);
    const std::string output = folder_ + "/out" + std::to_string(n) + ".mp4";
    ASSERT_EQ(WriteJob("dvd:" + std::string(c.range) + "," + disc, output), "");
    if (c.damage == Damage::kReadError) {
      ASSERT_TRUE(fs::exists(shim)) << shim;
      setenv("LD_PRELOAD", shim.c_str(), 1);
      setenv("TRIVOX_EIO_FILE", "VIDEO_TS/VTS_01_1.VOB", 1);
      setenv("TRIVOX_EIO_SECTORS", (std::to_string(c.first) + "-" + std::to_string(c.first + c.count - 1)).c_str(), 1);
      // The shim comes before a sanitizer's runtime in the library list.
      const char* asan = std::getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
    }
    const auto t0 = std::chrono::steady_clock::now();
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    unsetenv("LD_PRELOAD");
    unsetenv("TRIVOX_EIO_FILE");
    unsetenv("TRIVOX_EIO_SECTORS");
    if (n == 1) intactSeconds = took;
    EXPECT_LT(took, std::max(kLeastBoundSeconds, kBoundPerIntactTime * intactSeconds));
    for (const std::string& part : c.logged) EXPECT_NE(run.output.find(part), std::string::npos) << part;
    if (c.damage != Damage::kNone && c.damage != Damage::kCut) {
      // The span's line covers the damaged sectors (reads come in blocks: it may start earlier).
      const size_t at = run.output.find(": sectors ");
      ASSERT_NE(at, std::string::npos) << run.output;
      unsigned from = 0, to = 0;
      ASSERT_EQ(std::sscanf(run.output.c_str() + at, ": sectors %u to %u", &from, &to), 2);
      // Garbage that reads is passed on: the span starts at the first pack that cannot be used.
      EXPECT_LE(from, c.damage == Damage::kReadError ? c.first : c.first + c.count - 1);
      EXPECT_GE(to, c.first + c.count - 1);
    }
    if (!c.converts) {
      EXPECT_EQ(JobResult(run), 0x8007001Eu) << run.output;
      EXPECT_FALSE(fs::exists(output));
      continue;
    }
    ASSERT_EQ(JobResult(run), 0u) << run.output;
    const double video = VideoSeconds(output);
    const double audio = DecodedAudioSeconds(output);
    EXPECT_NEAR(video, 24.0, 0.5);
    EXPECT_NEAR(audio, 24.0, 0.5);
    EXPECT_NEAR(video, audio, 0.3);  // in step
  }
}

// A disc copy whose IFO files are damaged or missing converts from the backups, which the
// navigator reads as the title reader does; with both files of a title set unusable the job
// fails with the line saying so. The folder of links the engine makes goes away with it.
TEST_F(DvdDamage, DamagedIfoFilesAreReadFromTheirBackups) {
  struct Case {
    const char* label;
    const char* file;
    uintmax_t size;  // cut to this; 0: removed
    bool backupToo;
    bool converts;
    const char* logged;
  } cases[] = {
      {"video manager missing", "VIDEO_TS.IFO", 0, false, true, "VIDEO_TS.IFO is missing or unreadable: VIDEO_TS.BUP"},
      {"video manager cut to 3000 bytes", "VIDEO_TS.IFO", 3000, false, true, "VIDEO_TS.IFO is damaged (3000 bytes"},
      {"title set cut to 3000 bytes", "VTS_01_0.IFO", 3000, false, true, "VTS_01_0.BUP is read instead"},
      {"title set and its backup cut", "VTS_01_0.IFO", 3000, true, false, "title set 1 is left out"},
  };
  const fs::path tmp = fs::path(folder_) / "tmp";
  fs::create_directories(tmp);
  setenv("TMPDIR", tmp.c_str(), 1);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string disc = Damaged("ifo" + std::to_string(++n), Damage::kNone, 0, 0);
    for (const std::string& file : {std::string(c.file), std::string(c.file).replace(9, 3, "BUP")}) {
      if (file != c.file && !c.backupToo) continue;
      const fs::path path = fs::path(disc) / "VIDEO_TS" / file;
      if (c.size == 0)
        fs::remove(path);
      else
        fs::resize_file(path, c.size);
    }
    const std::string output = folder_ + "/ifo" + std::to_string(n) + ".mp4";
    ASSERT_EQ(WriteJob("dvd:1,1,4," + disc, output), "");
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_NE(run.output.find(c.logged), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_empty(tmp));  // no folder of links left behind
    if (!c.converts) {
      EXPECT_NE(JobResult(run), 0u);
      EXPECT_FALSE(fs::exists(output));
      continue;
    }
    ASSERT_EQ(JobResult(run), 0u) << run.output;
    EXPECT_NEAR(VideoSeconds(output), 24.0, 0.5);
    EXPECT_NEAR(DecodedAudioSeconds(output), 24.0, 0.5);
  }
  // Mutated IFO files (the backups intact): the engine ends with a result of its own, never a
  // fault, and leaves no folder behind.
  std::mt19937 rng(99);
  for (int round = 0; round < 8; ++round) {
    const char* file = round % 2 == 0 ? "VIDEO_TS.IFO" : "VTS_01_0.IFO";
    SCOPED_TRACE(std::string(file) + " mutated, round " + std::to_string(round));
    const std::string disc = Damaged("mutated" + std::to_string(round), Damage::kNone, 0, 0);
    const fs::path path = fs::path(disc) / "VIDEO_TS" / file;
    std::vector<uint8_t> bytes(fs::file_size(path));
    {
      std::FILE* f = std::fopen(path.c_str(), "r+b");
      ASSERT_NE(f, nullptr);
      ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
      for (int i = 0; i < 12; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
      std::fseek(f, 0, SEEK_SET);
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    const std::string output = folder_ + "/mutated.mp4";
    ASSERT_EQ(WriteJob("dvd:1,1,1," + disc, output, 160, 120), "");
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    const uint32_t result = JobResult(run);
    EXPECT_NE(result, 0xDEADBEEFu) << run.output;                // a result came
    EXPECT_NE(result & 0xFFFFFF00u, 0xC0000000u) << run.output;  // not a fault
    EXPECT_TRUE(fs::is_empty(tmp));
  }
  unsetenv("TMPDIR");
}

// Big-endian 32-bit field of a file's bytes.
uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::vector<uint8_t> bytes(fs::file_size(path));
  std::FILE* f = std::fopen(path.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return {};
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
  return bytes;
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

// A title set whose VOBU address map holds only zeros, in the IFO and its backup alike: the
// titles still convert whole from a chapter's start (the navigator is not sent by the map), or a
// job fails with 0x8007001E; never a short output reported as done.
TEST_F(DvdDamage, AZeroedAddressMapNeverGivesAShortOutput) {
  const std::string disc = folder_ + "/admap";
  fs::remove_all(disc);
  fs::copy(DvdFixture("basic"), disc, fs::copy_options::recursive);
  for (const char* file : {"VTS_01_0.IFO", "VTS_01_0.BUP"}) {
    const fs::path path = fs::path(disc) / "VIDEO_TS" / file;
    std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 0xE8u);
    const size_t map = static_cast<size_t>(U32At(bytes, 0xE4)) * 2048;  // the VOBU address map
    ASSERT_LT(map + 4, bytes.size());
    const size_t end = map + U32At(bytes, map) + 1;
    ASSERT_LE(end, bytes.size());
    std::fill(bytes.begin() + static_cast<long>(map + 4), bytes.begin() + static_cast<long>(end), 0);
    WriteAll(path, bytes);
  }
  struct Case {
    const char* range;
    double seconds;
  } cases[] = {{"2,1,2", 4.0}, {"2,2,2", 1.6}, {"1,1,3", 6.0}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const std::string output = folder_ + "/admap" + std::to_string(++n) + ".mp4";
    ASSERT_EQ(WriteJob("dvd:" + std::string(c.range) + "," + disc, output), "");
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    const uint32_t result = JobResult(run);
    EXPECT_NE(run.output.find("the VOBU address map of its title set is damaged"), std::string::npos) << run.output;
    if (result == 0) {
      EXPECT_NEAR(VideoSeconds(output), c.seconds, 0.1) << run.output;
    } else {
      EXPECT_EQ(result, 0x8007001Eu) << run.output;
      EXPECT_FALSE(fs::exists(output));
    }
  }
}

// A video manager whose tables pass but from which the navigator cannot start (no first-play
// program chain and no menus) is read from its backup, by the navigator as by the scan.
TEST_F(DvdDamage, AVideoManagerTheNavigatorCannotStartFromIsReadFromItsBackup) {
  const std::string disc = Damaged("nofirstplay", Damage::kNone, 0, 0);
  const fs::path path = fs::path(disc) / "VIDEO_TS" / "VIDEO_TS.IFO";
  std::vector<uint8_t> bytes = ReadAll(path);
  ASSERT_GE(bytes.size(), 0x88u);
  std::fill(bytes.begin() + 0x84, bytes.begin() + 0x88, 0);  // the first-play program chain
  WriteAll(path, bytes);
  const std::string output = folder_ + "/nofirstplay.mp4";
  ASSERT_EQ(WriteJob("dvd:1,1,4," + disc, output), "");
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  EXPECT_NE(run.output.find("VIDEO_TS.BUP is read instead"), std::string::npos) << run.output;
  EXPECT_NEAR(VideoSeconds(output), 24.0, 0.5);
}

}  // namespace
