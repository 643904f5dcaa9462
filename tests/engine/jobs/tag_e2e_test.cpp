// A tagged source probed with -l, its tags put into a conversion job as the
// front end does, and the output's tags read back with ffprobe.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/media_info_record.h"
#include "common/shared_block.h"
#include "platform/utf_text.h"
#include "tests/test_util/e2e_job.h"

namespace {

const char kArtist[] = "\u00c4rtist \U0001D11E \u00fcn\u00ef";
const char kTitle[] = "T\u00eftle, one";

// ffprobe's format and stream tags of a file as "key=value" lines (keys in lower case).
std::string ProbedTags(const std::string& path) {
  int status = -1;
  return RunShell("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " + ShellQuote(path) +
                      " | sed 's/^TAG://' | awk -F= '{ k = tolower($1); sub(/^[^=]*=/, \"\"); print k \"=\" $0 }'",
                  &status, false);
}

class TagEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("tag_e2e");
    source_ = folder_ + "/tagged source.mp3";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -nostdin -v error -y -f lavfi -i sine=d=3 -c:a libmp3lame -metadata artist=" + ShellQuote(kArtist) +
            " -metadata title=" + ShellQuote(kTitle) +
            " -metadata album=Al -metadata genre=Pop -metadata date=1999 -metadata track=3 " + ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
  }

  // The source's tags as the probe stores them.
  TagInfo ProbedSourceTags() {
    CSharedBlock block;
    EXPECT_TRUE(block.Create(":PROC_TAGS", kProbeBlockSize));
    const EngineRun run = RunEngine(folder_, {"-l", ":PROC_TAGS", "\"" + source_ + "\"", "0"});
    EXPECT_EQ(0, run.status) << run.output;
    MediaInfoRecord record;
    std::memcpy(&record, block.View(), sizeof record);
    EXPECT_EQ(0, record.result) << run.output;
    return record.tags;
  }

  // Converts the source with the tags; the output's probed tags.
  std::string Convert(const TagInfo& tags, const std::string& writer, const std::string& acodec,
                      const std::string& output) {
    const std::string path = folder_ + "/" + output;
    const std::vector<std::string> options = {
        "--source",       source_,
        "--output",       path,
        "--writer",       writer,
        "--acodec",       acodec,
        "--vcodec",       "NONE",
        "--artist",       Utf16FieldToUtf8(tags.artist, 128),
        "--title",        Utf16FieldToUtf8(tags.title, 128),
        "--album",        Utf16FieldToUtf8(tags.album, 128),
        "--comment",      Utf16FieldToUtf8(tags.comment, 128),
        "--year",         std::to_string(tags.year),
        "--track",        std::to_string(tags.track),
        "--genre",        std::string(tags.genre, strnlen(tags.genre, sizeof tags.genre)),
        "--tags-enabled", std::to_string(tags.enabled),
    };
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    return ProbedTags(path);
  }

  static std::string folder_, source_;
};

std::string TagEndToEnd::folder_, TagEndToEnd::source_;

TEST_F(TagEndToEnd, SourceTagsReachTheOutput) {
  const TagInfo tags = ProbedSourceTags();
  ASSERT_EQ(1, tags.enabled);
  EXPECT_EQ(kArtist, Utf16FieldToUtf8(tags.artist, 128));
  EXPECT_EQ(1999, tags.year);
  EXPECT_EQ(3, tags.track);
  EXPECT_STREQ("Pop", tags.genre);
  for (const auto& [writer, acodec, output] :
       {std::tuple<const char*, const char*, const char*>{"[FFM]MP3", "[FFM]MP3", "out.mp3"},
        {"[FFM]AAC", "[FFM]AAC", "out.aac"}}) {
    SCOPED_TRACE(writer);
    const std::string probed = Convert(tags, writer, acodec, output);
    for (const std::string& line : {std::string("artist=") + kArtist, std::string("title=") + kTitle,
                                    std::string("album=Al"), std::string("genre=Pop"), std::string("date=1999")})
      EXPECT_NE(std::string::npos, probed.find(line + "\n")) << line << " in\n" << probed;
    EXPECT_NE(std::string::npos, probed.find("track=3")) << probed;
  }
}

TEST_F(TagEndToEnd, TagsThatAreNotEnabledAreNotWritten) {
  TagInfo tags = ProbedSourceTags();
  tags.enabled = 0;
  const std::string probed = Convert(tags, "[FFM]MP3", "[FFM]MP3", "untagged.mp3");
  EXPECT_EQ(std::string::npos, probed.find("artist=")) << probed;
}

}  // namespace
