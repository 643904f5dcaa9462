#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

CommandRun RunTool(const std::vector<std::string>& args) { return RunStagedTool("trivox_job", args); }

std::string Folder() {
  fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "trivox_job";
  fs::create_directories(folder);
  return folder.string();
}

// Option, value, and the dump line the value must come back as.
struct Field {
  const char* option;
  const char* value;
  const char* line;
};

const std::vector<Field> kSourceFields = {
    {"--source", "/in/first.vob", "source[0].path: \"/in/first.vob\""},
    {"--source", "dvd:1,1,3,/media/disc", "source[1].path: \"dvd:1,1,3,/media/disc\""},
    {"--start", "11", "source[1].start: 11"},
    {"--stop", "12", "source[1].stop: 12"},
    {"--streams", "0,3,255", "source[1].streams: 0,3,255"},
    {"--desc", "\"TYPE\"=0,\"VFCC\"=1", "source[1].desc[0]: \"\\\"TYPE\\\"=0,\\\"VFCC\\\"=1\""},
    {"--desc", "\"TYPE\"=1", "source[1].desc[1]: \"\\\"TYPE\\\"=1\""},
    {"--palette-valid", "1", "source[1].paletteValid: 1"},
    {"--palette", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0xFFFFFFFF",
     "source[1].palette: 0x00000001,0x00000002,0x00000003,0x00000004,0x00000005,0x00000006,0x00000007,0x00000008,"
     "0x00000009,0x0000000A,0x0000000B,0x0000000C,0x0000000D,0x0000000E,0x0000000F,0xFFFFFFFF"},
    {"--artist", "Ärtist 𝄞", "tags.artist: \"Ärtist 𝄞\""},
    {"--title", "Title", "tags.title: \"Title\""},
    {"--album", "Album", "tags.album: \"Album\""},
    {"--comment", "Comment", "tags.comment: \"Comment\""},
    {"--year", "1999", "tags.year: 1999"},
    {"--track", "4", "tags.track: 4"},
    {"--genre", "Jazz", "tags.genre: \"Jazz\""},
    {"--tags-enabled", "1", "tags.enabled: 1"},
};

const std::vector<Field> kTargetFields = {
    {"--output", "/out/file.mp4", "output.path: \"/out/file.mp4\""},
    {"--target1", "2", "output.target1: 2"},
    {"--target2", "-3", "output.target2: -3"},
    {"--target-value", "2048000000000", "output.targetValue: 2048000000000"},
    {"--numbered", "1", "output.numbered: 1"},
};

const std::vector<Field> kFrameRateFields = {
    {"--fr-enabled", "1", "frameRate.enabled: 1"},
    {"--fr-num", "1001", "frameRate.numerator: 1001"},
    {"--fr-den", "24000", "frameRate.denominator: 24000"},
};

const std::vector<Field> kConvertFields = {
    {"--source-mode", "3", "settings.sourceMode: 3"},
    {"--acodec", "COPY", "settings.acodec: \"COPY\""},
    {"--audio-setting1", "21", "settings.audioSetting1: 21"},
    {"--channels", "6", "settings.channels: 6"},
    {"--abitrate", "192000", "settings.abitrate: 192000"},
    {"--audio-setting2", "22", "settings.audioSetting2: 22"},
    {"--sample-rate", "48000", "settings.sampleRate: 48000"},
    {"--pass", "1", "settings.pass: 1"},
    {"--pass-reader", "4242", "settings.passReader: 4242"},
    {"--vcodec", "mpeg4", "settings.vcodec: \"mpeg4\""},
    {"--video-setting", "23", "settings.videoSetting: 23"},
    {"--width", "720", "settings.width: 720"},
    {"--height", "576", "settings.height: 576"},
    {"--vbitrate", "1500000", "settings.vbitrate: 1500000"},
    {"--frame-rate-num", "25", "settings.frameRateNum: 25"},
    {"--frame-rate-den", "1", "settings.frameRateDen: 1"},
    {"--writer", "[FFM]MP4", "settings.writer: \"[FFM]MP4\""},
    {"--atag", "0x55", "settings.atag: 85"},
    {"--vtag", "XVID", "settings.vtag: 1145656920 'XVID'"},
    {"--raw-audio", "PC16", "settings.rawAudio: 909198160 'PC16'"},
    {"--raw-video", "12", "settings.rawVideo: 12"},
    {"--atracks", "2", "settings.atracks: 2"},
    {"--vtracks", "1", "settings.vtracks: 1"},
    {"--writer-params", "\"W\"=1", "settings.writerParams: \"\\\"W\\\"=1\""},
    {"--aparams", "\"A\"=2", "settings.aparams: \"\\\"A\\\"=2\""},
    {"--vparams", "\"V\"=3", "settings.vparams: \"\\\"V\\\"=3\""},
    {"--afilter", "AVOLUME=\"VOLUME\"=150", "audioFilters[0].params: \"\\\"VOLUME\\\"=150\""},
    {"--afilter", "AEQ=", "audioFilters[1].key: \"AEQ\""},
    {"--filter-flags", "9", "audioFilters[1].flags: 9"},
    {"--vfilter", "VRESIZE=\"W\"=640,\"H\"=480", "videoFilters[0].key: \"VRESIZE\""},
};

const std::vector<Field> kDemuxFields = {
    {"--source-path", "/in/movie.avi", "sourcePath: \"/in/movie.avi\""},
    {"--out-stream", "0", "output[0].stream: 0"},
    {"--out-writer", "[FFM]RAW", "output[0].writer: \"[FFM]RAW\""},
    {"--out-stream", "2", "output[1].stream: 2"},
    {"--out-path", "/out/a.ac3", "output[1].path: \"/out/a.ac3\""},
    {"--out-global-header", "1", "output[1].globalHeader: 1"},
};

const std::vector<Field> kMuxFields = {
    {"--writer", "[FFM]MATROSKA", "writer: \"[FFM]MATROSKA\""},
    {"--global-header", "1", "globalHeader: 1"},
};

const std::vector<Field> kFrameFields = {
    {"--source-path", "/in/movie.mpg", "sourcePath: \"/in/movie.mpg\""},
    {"--stream", "2", "stream: 2"},
    {"--source-mode", "1", "sourceMode: 1"},
    {"--output", "/tmp/preview.bmp", "outputPath: \"/tmp/preview.bmp\""},
    {"--frame-count", "5", "frameCount: 5"},
    {"--frame-start", "90", "frameStart: 90"},
};

void ExpectDumpShowsEveryField(const char* kind, const std::vector<std::vector<Field>>& groups) {
  SCOPED_TRACE(kind);
  std::string file = Folder() + "/" + kind + ".dat";
  std::vector<std::string> args = {"write", kind, file};
  for (const auto& group : groups)
    for (const Field& f : group) {
      args.push_back(f.option);
      args.push_back(f.value);
    }
  CommandRun write = RunTool(args);
  ASSERT_EQ(write.status, 0) << write.output;
  CommandRun dump = RunTool({"dump", "--kind", kind, file});
  ASSERT_EQ(dump.status, 0) << dump.output;
  for (const auto& group : groups)
    for (const Field& f : group) {
      bool found = false;
      std::istringstream in(dump.output);
      for (std::string line; std::getline(in, line);) found = found || line == f.line;
      EXPECT_TRUE(found) << f.option << " " << f.value << ": no line " << f.line << "\n" << dump.output;
    }
}

TEST(TrivoxJob, DumpShowsEveryFieldWritten) {
  ExpectDumpShowsEveryField("convert", {kSourceFields, kTargetFields, kConvertFields, kFrameRateFields});
  ExpectDumpShowsEveryField("demux", {kDemuxFields, kFrameRateFields});
  ExpectDumpShowsEveryField("mux", {kSourceFields, kTargetFields, kMuxFields, kFrameRateFields});
  ExpectDumpShowsEveryField("frame", {kSourceFields, kFrameFields});
}

TEST(TrivoxJob, WrittenFileIsTheRecord) {
  std::string file = Folder() + "/default_5.dat";
  CommandRun write = RunTool({"write", "frame", file, "--source", "/in/a.vob", "--source-path", "/in/a.vob", "--stream",
                              "1", "--output", "/out/p.bmp", "--frame-count", "3"});
  ASSERT_EQ(write.status, 0) << write.output;
  auto job = std::make_unique<FrameJob>();
  std::string reason;
  ASSERT_TRUE(ParseJobRecord(*job, ReadFileBytes(file), reason)) << reason;
  EXPECT_EQ(job->inputs.count, 1);
  EXPECT_STREQ(job->outputPath, "/out/p.bmp");
  EXPECT_EQ(job->frameCount, 3);
  // The kind comes from the file name.
  CommandRun dump = RunTool({"dump", file});
  EXPECT_EQ(dump.status, 0);
  EXPECT_NE(dump.output.find("kind: frame"), std::string::npos);
}

TEST(TrivoxJob, BadOptionsAreRefusedAndWriteNothing) {
  std::vector<std::string> nineSources = {"write", "convert", ""};
  for (int i = 0; i < 9; ++i) {
    nineSources.push_back("--source");
    nineSources.push_back("/in/" + std::to_string(i));
  }
  std::string streams21 = "0";
  for (int i = 1; i < 21; ++i) {
    streams21 += ',';
    streams21 += std::to_string(i);
  }
  const std::vector<std::vector<std::string>> cases = {
      {"write", "convert", "", "--output", std::string(260, 'p')},
      {"write", "convert", "", "--writer", std::string(64, 'w')},
      {"write", "convert", "", "--title", std::string(128, 't')},
      {"write", "convert", "", "--source", "/a", "--streams", streams21},
      {"write", "convert", "", "--source", "/a", "--streams", "256"},
      {"write", "convert", "", "--start", "1"},
      {"write", "convert", "", "--width", "12x"},
      {"write", "convert", "", "--width", "4294967296"},
      {"write", "convert", "", "--nonsense", "1"},
      {"write", "demux", "", "--width", "1"},
      {"write", "convert", "", "--afilter", "NOEQUALS"},
      {"write", "convert", "", "--width"},
      {"write", "sideways", ""},
      nineSources,
  };
  std::string file = Folder() + "/refused.dat";
  for (auto args : cases) {
    fs::remove(file);
    if (args.size() > 2) args[2] = file;
    CommandRun run = RunTool(args);
    std::string joined;
    for (const std::string& a : args) {
      joined += ' ';
      joined.append(a, 0, 40);
    }
    EXPECT_EQ(run.status, 2) << joined << "\n" << run.output;
    EXPECT_NE(run.output.find("trivox_job:"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(file)) << joined;
  }
}

TEST(TrivoxJob, DumpRefusesMalformedFiles) {
  std::string file = Folder() + "/malformed.dat";
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint8_t bytes[] = {9, 0, 0, 0, 1, 2, 3};
  std::fwrite(bytes, 1, sizeof(bytes), f);
  std::fclose(f);
  CommandRun run = RunTool({"dump", "--kind", "convert", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("malformed"), std::string::npos) << run.output;
  EXPECT_EQ(RunTool({"dump", file}).status, 2) << "the kind cannot be told from this name";
}

TEST(TrivoxJob, HelpListsEveryOption) {
  CommandRun run = RunTool({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const auto* group :
       {&kSourceFields, &kTargetFields, &kConvertFields, &kFrameRateFields, &kDemuxFields, &kMuxFields, &kFrameFields})
    for (const Field& f : *group)
      EXPECT_NE(run.output.find(std::string("  ") + f.option + " "), std::string::npos) << f.option;
}

}  // namespace
