// The task list, the display text of stream descriptors, number formatting and
// the output folder's write test.
#include "frontend/model/task_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "common/codec_tables.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/child_run.h"

namespace fs = std::filesystem;

namespace {

std::string Fourcc(const char* code) { return std::to_string(static_cast<int32_t>(ParseFourCC(code))); }

TEST(StreamText, ByTypeTable) {
  const std::string mpg2 = ",\"VFCC\"=" + Fourcc("MPG2");
  const std::string aac = ",\"VFCC\"=\"AAC \"";
  const std::string cases[][2] = {
      // audio: rate, bitrate, channels, codec, id, language; each part followed by one blank
      {"\"TYPE\"=1,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITRATE\"=128000" + aac, "44.1 kHZ 128 kb/s stereo AAC"},
      {"\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=1,\"BITRATE\"=F96000.0,\"STREAMID\"=128,\"LANG\"=\"English\"" + aac,
       "48 kHZ 96 kb/s mono AAC (0x80) ,English"},
      {"\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=6,\"VFCC\"=\"AC3A\"", "48 kHZ 6 channel AC-3"},
      {"\"TYPE\"=1,\"SAMPLERATE\"=22050,\"CHANNEL\"=2,\"FCC\"=85", "22.05 kHZ stereo 0x00000055"},
      {"\"TYPE\"=1,\"SAMPLERATE\"=8000,\"CHANNEL\"=2,\"VFCC\"=\"ZZZ9\"", "8 kHZ stereo ZZZ9"},  // not in the table
      // video: size with its shape, bitrate, frame rate, codec
      {"\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"PNAN\"=32,\"PNAD\"=27,\"FRAMERATE\"=F29.97" + mpg2,
       "720x480[16:9],29.97fps MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"PNAN\"=8,\"PNAD\"=9,\"FRAMERATE\"=F25" + mpg2,
       "720x480[4:3],25fps MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=640,\"HEIGHT\"=480,\"PNAN\"=1,\"PNAD\"=1,\"BITRATE\"=800000" + mpg2,
       "640x480,800kb/s,MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=400,\"HEIGHT\"=200,\"PNAN\"=1,\"PNAD\"=2,\"FRAMERATE\"=F1" + mpg2,
       "400x200[1.00:1],MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=576,\"PNAN\"=9216,\"PNAD\"=6480,\"FRAMERATE\"=F23.976" + mpg2,
       "720x576[16:9],23.976fps MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=0,\"HEIGHT\"=576,\"FCC\"=" + Fourcc("XVID"), "0x44495658"},
      // subtitles: a name by code, id, language
      {"\"TYPE\"=2,\"STREAMID\"=32,\"VFCC\"=\"DVDS\",\"LANG\"=\"Fran\xC3\xA7"
       "ais\"",
       "DVD Subpicture (0x20) ,Fran\xC3\xA7"
       "ais"},
      {"\"TYPE\"=2,\"VFCC\"=\"ASS \"", "Styled SSA"},
      {"\"TYPE\"=2,\"VFCC\"=\"UTF8\",\"STREAMID\"=3", "Plain UTF8 Text (0x3)"},
      {"\"TYPE\"=2,\"VFCC\"=\"QQQQ\",\"LANG\"=\"de\"", " ,de"},
      // anything else shows nothing
      {"\"TYPE\"=7,\"WIDTH\"=720", ""},
      {"\"STREAMID\"=5", ""},
  };
  for (const auto& c : cases) {
    StreamCodes codes;
    EXPECT_EQ(c[1], ParseStreamParams(c[0], codes, TestCodecTable())) << c[0];
  }
  StreamCodes codes;
  ParseStreamParams("\"TYPE\"=1,\"VFCC\"=\"AC3A\",\"FCC\"=8192", codes, TestCodecTable());
  EXPECT_EQ(kStreamAudio, codes.type);
  EXPECT_EQ(MakeFourcc('A', 'C', '3', 'A'), codes.vfcc);
  EXPECT_EQ(8192u, codes.fcc);
  // A long language is cut to 64 bytes, never inside a character.
  const std::string lang = std::string(63, 'a') + "\xC3\xA9" + "tail";
  const std::string text = ParseStreamParams("\"TYPE\"=2,\"LANG\"=\"" + lang + "\"", codes, TestCodecTable());
  EXPECT_EQ(" ," + std::string(63, 'a'), text);
}

TEST(StreamText, NumbersWithFewestDecimals) {
  const std::pair<double, const char*> cases[] = {
      {29.97, "29.97"}, {25.0, "25"},       {23.976, "23.976"}, {44.1, "44.1"}, {30000.0 / 1001, "29.97"},
      {0.0, "0"},       {128.0, "128"},     {22.05, "22.05"},   {0.0004, "0"},  {12.3456, "12.346"},
      {-2.5, "-2.5"},   {59.9401, "59.94"}, {11.025, "11.025"}};
  for (const auto& [x, text] : cases) EXPECT_EQ(text, FormatNumber(x)) << x;
  EXPECT_FALSE(FormatNumber(1e300).empty());  // beyond every integer: some text, no crash
  EXPECT_EQ("0", FormatNumber(std::nan("")));
  // The decimal point does not follow the locale.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_EQ("44.1", FormatNumber(44.1));
    std::setlocale(LC_NUMERIC, "C");
  }
}

const std::vector<std::string> kClipTracks = {
    "\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F25",
    "\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"STREAMID\"=1",
};

TEST(TaskList, AddApplyRemoveClear) {
  CTaskList list;
  std::string message;
  CTask* a = list.AddTask("/media/a.mpg", *Probe(kClipTracks), Mp4Choice(), TaskOptions{}, message);
  CTask* b = list.AddTask("/media/b.mpg", *Probe(kClipTracks, 7.6), Mp4Choice(), TaskOptions{}, message);
  ASSERT_TRUE(a && b) << message;
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(a, &list[0]);
  EXPECT_EQ(b, &list[1]);
  EXPECT_EQ("b", b->title);
  EXPECT_EQ(8u, b->duration);
  EXPECT_EQ("mp4", b->outputExt);

  // A new choice reaches every task, extension first.
  OutputSettings avi = Mp4Choice();
  SetJobText(avi.muxer, "[FFM]AVI");
  SetJobText(avi.ext, "avi");
  ASSERT_TRUE(list.ApplyProfile(avi, 0, message)) << message;
  for (const auto& t : list) {
    EXPECT_EQ("avi", t->outputExt);
    EXPECT_STREQ("[FFM]AVI", t->job.settings.writerTag);
  }
  // A choice a job cannot hold changes no task.
  OutputSettings bad = avi;
  SetJobText(bad.ext, "mkv");
  std::memset(bad.muxerParams, 'x', sizeof(bad.muxerParams) - 1);
  SetJobText(bad.audioParams, "\"ARAWFCC\"=\"PCM \"");
  EXPECT_FALSE(list.ApplyProfile(bad, 0, message));
  for (const auto& t : list) {
    EXPECT_EQ("avi", t->outputExt);
    EXPECT_STREQ("[FFM]AVI", t->job.settings.writerTag);
  }

  // Removing: only a task of the list.
  CTask stranger;
  EXPECT_FALSE(list.Remove(&stranger));
  EXPECT_FALSE(list.Remove(nullptr));
  EXPECT_TRUE(list.Remove(a));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(b, &list[0]);
  EXPECT_FALSE(list.Remove(a));
  list.Clear();
  EXPECT_TRUE(list.empty());
}

TEST(TaskList, UnfitSourceAddsNothing) {
  CTaskList list;
  std::string message;
  const std::string longPath = "/" + std::string(300, 'p') + ".mpg";
  EXPECT_EQ(nullptr, list.AddTask(longPath, *Probe(kClipTracks), Mp4Choice(), TaskOptions{}, message));
  EXPECT_FALSE(message.empty());
  EXPECT_TRUE(list.empty());
}

TEST(OutputFolder, WriteTest) {
  TempDir dir;
  EXPECT_TRUE(DeleteTempListFile(dir.path()));
  EXPECT_TRUE(DeleteTempListFile(dir.path() + "/"));
  EXPECT_TRUE(fs::is_empty(dir.path()));  // nothing left behind
  // A file of the user's with the test's own name stays as it is.
  const std::string mine = Touch(dir.File("___1.txt"), 5);
  EXPECT_TRUE(DeleteTempListFile(dir.path()));
  EXPECT_EQ(5u, fs::file_size(mine));
  fs::remove(mine);

  EXPECT_FALSE(DeleteTempListFile(dir.File("missing")));
  EXPECT_FALSE(fs::exists(dir.File("missing")));
  Touch(dir.File("plain"));
  EXPECT_FALSE(DeleteTempListFile(dir.File("plain")));  // a file is no folder

  // A folder the user cannot write (without root's privilege to write anywhere).
  const std::string locked = dir.File("locked");
  fs::create_directory(locked);
  chmod(locked.c_str(), 0555);
  EXPECT_EQ(0, RunUnprivileged([&] { return DeleteTempListFile(locked) ? 1 : 0; }));
  chmod(locked.c_str(), 0755);
  EXPECT_TRUE(fs::is_empty(locked));
}

}  // namespace
