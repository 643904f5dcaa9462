// Tags read and written over TagLib on files made by the ffmpeg CLI, checked
// back with TagLib and with ffprobe.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/jobs/tag_io.h"
#include "platform/utf_text.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"

namespace fs = std::filesystem;

namespace {

const char16_t kArtist[] = u"\u00dcn\u00efc\u00f8d\u00e9 \U0001D11E";  // a pair outside the BMP too
const char kArtistUtf8[] = "\u00dcn\u00efc\u00f8d\u00e9 \U0001D11E";

TagInfo Sample() {
  TagInfo info{};
  std::memcpy(info.artist, kArtist, sizeof kArtist);
  std::memcpy(info.title, u"Title, with \"quotes\"", sizeof u"Title, with \"quotes\"");
  std::memcpy(info.album, u"Album", sizeof u"Album");
  std::memcpy(info.comment, u"Comment", sizeof u"Comment");
  info.year = 2001;
  info.track = 7;
  std::strcpy(info.genre, "Rock");
  return info;
}

std::u16string Text(const char16_t* field) { return std::u16string(field); }

// A fresh copy of a clip, so each case writes into its own file.
std::string Copy(const std::string& clip, const std::string& name) {
  const std::string path = ffmtest::MediaDir() + "/" + name;
  fs::copy_file(clip, path, fs::copy_options::overwrite_existing);
  return path;
}

// ffprobe's format and stream tags of a file, "key=value" lines with lower-case keys.
std::string ProbedTags(const std::string& path) {
  int status = -1;
  std::string out = RunShell("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " +
                                 ShellQuote(path) + " | sed 's/^TAG://' | tr 'A-Z' 'a-z'",
                             &status, false);
  return out;
}

std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

class Tags : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI not found";
  }
};

TEST_F(Tags, WrittenAndReadBackPerFormat) {
  struct Case {
    const char* clip;
    const char* args;
  } const cases[] = {
      {"tags.mp3", "-f lavfi -i sine=d=1 -c:a libmp3lame"},
      {"tags.aac", "-f lavfi -i sine=d=1 -c:a aac"},
      {"tags.m4a", "-f lavfi -i sine=d=1 -c:a aac"},
      {"tags.mp4", "-f lavfi -i testsrc2=size=160x120:rate=10 -f lavfi -i sine -t 1 -c:v libx264 -c:a aac"},
      {"tags.3gp", "-f lavfi -i sine=d=1:sample_rate=16000 -c:a aac"},
      {"tags.flac", "-f lavfi -i sine=d=1"},
      {"tags.ogg", "-f lavfi -i sine=d=1 -c:a libvorbis"},
  };
  const TagInfo written = Sample();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    const std::string clip = ffmtest::MakeClip(c.clip, c.args);
    ASSERT_FALSE(clip.empty());
    const std::string path = Copy(clip, std::string("written_") + c.clip);
    TagInfo none{};
    EXPECT_FALSE(TagRead(path.c_str(), &none));  // no tags yet

    ASSERT_TRUE(TagWrite(path.c_str(), &written));
    TagInfo read{};
    ASSERT_TRUE(TagRead(path.c_str(), &read));
    EXPECT_EQ(Text(kArtist), Text(read.artist));
    EXPECT_EQ(Text(written.title), Text(read.title));
    EXPECT_EQ(u"Album", Text(read.album));
    EXPECT_EQ(u"Comment", Text(read.comment));
    EXPECT_EQ(2001, read.year);
    EXPECT_EQ(7, read.track);
    EXPECT_STREQ("Rock", read.genre);
    EXPECT_EQ(0, read.enabled);  // left to the caller

    const std::string probed = ProbedTags(path);
    EXPECT_NE(std::string::npos, probed.find(std::string("artist=") + kArtistUtf8)) << probed;
    EXPECT_NE(std::string::npos, probed.find("album=album")) << probed;
    // Still a file of its kind, whole.
    EXPECT_NEAR(1.0, ffmtest::ProbeFile(path).duration, 0.1);
  }
}

TEST_F(Tags, EmptyFieldsAreRemoved) {
  const std::string clip = ffmtest::MakeClip("tags.mp3", "-f lavfi -i sine=d=1 -c:a libmp3lame");
  const std::string path = Copy(clip, "cleared.mp3");
  TagInfo info = Sample();
  ASSERT_TRUE(TagWrite(path.c_str(), &info));
  info.artist[0] = u'\0';
  info.year = 0;
  ASSERT_TRUE(TagWrite(path.c_str(), &info));
  TagInfo read{};
  ASSERT_TRUE(TagRead(path.c_str(), &read));
  EXPECT_EQ(u"", Text(read.artist));
  EXPECT_EQ(0, read.year);
  EXPECT_EQ(std::string::npos, ProbedTags(path).find("artist="));
}

TEST_F(Tags, LongTextsAreCutOnCharacterBoundaries) {
  // 126 letters then a character outside the BMP: the pair does not fit in 127 units.
  std::string title(126, 't');
  title += "\U0001D11E";
  const std::string genre = std::string(30, 'g') + "\u00e9";  // 32 bytes: the last character does not fit
  const std::string path = ffmtest::MediaDir() + "/long_texts.mp3";
  int status = -1;
  RunShell("ffmpeg -v error -y -f lavfi -i sine=d=1 -c:a libmp3lame -metadata title=" + ShellQuote(title) +
               " -metadata genre=" + ShellQuote(genre) + " -metadata artist=" + ShellQuote(std::string(400, 'a')) +
               " " + ShellQuote(path),
           &status);
  ASSERT_EQ(0, status);
  TagInfo read{};
  std::memset(&read, 0x55, sizeof read);
  ASSERT_TRUE(TagRead(path.c_str(), &read));
  EXPECT_EQ(std::u16string(126, u't'), Text(read.title));
  EXPECT_EQ(std::u16string(127, u'a'), Text(read.artist));
  EXPECT_EQ(std::string(30, 'g'), read.genre);

  // Whole fields written back come out whole.
  TagInfo full{};
  for (int i = 0; i < 127; ++i) full.artist[i] = u'\u00e9';
  std::memset(full.genre, 'x', sizeof full.genre);  // no terminator: 32 bytes at most
  const std::string copy = Copy(path, "long_written.mp3");
  ASSERT_TRUE(TagWrite(copy.c_str(), &full));
  ASSERT_TRUE(TagRead(copy.c_str(), &read));
  EXPECT_EQ(std::u16string(127, u'\u00e9'), Text(read.artist));
  EXPECT_EQ(std::string(31, 'x'), read.genre);
}

TEST_F(Tags, FailedWritesLeaveTheFileAsItWas) {
  const std::string dir = ffmtest::MediaDir() + "/tag_refusals";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::vector<uint8_t> junk(5000, 0x42);
  const std::string cases[] = {"junk.mp4", "junk.mp3", "junk.flac", "junk.ape", "junk.unknown"};
  const TagInfo info = Sample();
  for (const std::string& name : cases) {
    const std::string path = dir + "/" + name;
    ASSERT_TRUE(ffmtest::WriteFile(path, junk));
    EXPECT_FALSE(TagWrite(path.c_str(), &info)) << name;
    EXPECT_EQ(junk, ffmtest::ReadFile(path)) << name;
    TagInfo read{};
    EXPECT_FALSE(TagRead(path.c_str(), &read)) << name;
  }
  EXPECT_FALSE(ApeTagWrite((dir + "/junk.ape").c_str(), &info));
  EXPECT_EQ(junk, ffmtest::ReadFile(dir + "/junk.ape"));
  TagInfo read{};
  EXPECT_FALSE(ApeTagRead((dir + "/junk.ape").c_str(), &read));
  EXPECT_FALSE(TagWrite((dir + "/missing.mp3").c_str(), &info));
  EXPECT_FALSE(TagWrite(dir.c_str(), &info));
  EXPECT_FALSE(TagWrite("", &info));
  // Nothing was left beside the files.
  EXPECT_EQ(std::size(cases), DirEntries(dir).size());
}

TEST_F(Tags, FlacLengthInWholeSeconds) {
  struct Case {
    const char* clip;
    const char* args;
    uint32_t seconds;
  } const cases[] = {
      {"len3.flac", "-f lavfi -i sine=d=3", 3},
      {"len2_6.flac", "-f lavfi -i sine=d=2.6", 3},
      {"len2_4.flac", "-f lavfi -i sine=d=2.4:sample_rate=48000", 2},
  };
  for (const Case& c : cases) {
    const std::string path = ffmtest::MakeClip(c.clip, c.args);
    uint32_t seconds = 0;
    TagInfo info{};
    ASSERT_TRUE(FlacTagRead(path.c_str(), &info, &seconds)) << c.clip;
    EXPECT_EQ(c.seconds, seconds) << c.clip;
  }
  uint32_t seconds = 0;
  const std::string mp3 = ffmtest::MakeClip("tags.mp3", "-f lavfi -i sine=d=1 -c:a libmp3lame");
  EXPECT_FALSE(FlacTagRead(mp3.c_str(), nullptr, &seconds));
}

TEST_F(Tags, Mp3LengthInWholeSeconds) {
  struct Case {
    const char* clip;
    const char* args;
    int32_t seconds;
  } const cases[] = {
      {"len3.mp3", "-f lavfi -i sine=d=3 -c:a libmp3lame", 3},
      {"len2_6.mp3", "-f lavfi -i sine=d=2.6 -c:a libmp3lame -write_xing 0", 3},
      {"len2_4.mp3", "-f lavfi -i sine=d=2.4 -c:a libmp3lame -write_xing 0", 2},
  };
  const auto later = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (const Case& c : cases) {
    const std::string path = ffmtest::MakeClip(c.clip, c.args);
    int32_t seconds = -1;
    ASSERT_TRUE(Mp3GetLength(path.c_str(), later, &seconds)) << c.clip;
    EXPECT_EQ(c.seconds, seconds) << c.clip;
  }
  int32_t seconds = -1;
  const std::string flac = ffmtest::MakeClip("len3.flac", "-f lavfi -i sine=d=3");
  EXPECT_FALSE(Mp3GetLength(flac.c_str(), later, &seconds));
  EXPECT_EQ(-1, seconds);
}

TEST(TagText, Utf8AndUtf16Fields) {
  char16_t field[5];
  struct Case {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  } const cases[] = {
      {"fits", "ab\u00e9", u"ab\u00e9"},
      {"cut at the field", "abcdefg", u"abcd"},
      {"pair that does not fit", "abc\U0001D11E", u"abc"},
      {"pair that fits", "ab\U0001D11E", u"ab\U0001D11E"},
      {"malformed bytes", "a\xff\xc3", u"a\ufffd\ufffd"},
      {"overlong form", "\xc0\xaf", u"\ufffd\ufffd"},
      {"stops at NUL", std::string("a\0b", 3), u"a"},
  };
  for (const Case& c : cases) {
    Utf8ToBoundedUtf16(c.utf8, field, 5);
    EXPECT_EQ(c.utf16, std::u16string(field)) << c.what;
  }
  const char16_t unterminated[3] = {u'x', u'\u00e9', u'y'};
  EXPECT_EQ("x\u00e9y", Utf16FieldToUtf8(unterminated, 3));
  char out[4];
  CopyUtf8Bounded("ab\u00e9", out, sizeof out);
  EXPECT_STREQ("ab", out);
  CopyUtf8Bounded("a\u00e9", out, sizeof out);
  EXPECT_STREQ("a\u00e9", out);
}

}  // namespace
