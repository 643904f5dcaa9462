// trivox_free -d and -e on jobs made by trivox_job: a transport stream split
// into one file per chosen stream, a video-only and an audio-only file joined,
// track limits of the writer, and the refusals of both runners.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"

namespace fs = std::filesystem;

namespace {

struct ProbedStream {
  std::string type;   // "video", "audio"
  std::string codec;  // "h264", "mp3", ...
  double start = -1;
  double duration = -1;
};

// The streams of a file as ffprobe lists them.
std::vector<ProbedStream> Streams(const std::string& path) {
  const CommandRun run = RunCommand(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,start_time,duration "
      "-of csv=p=0 " +
      ShellQuote(path));
  // A file with programs lists their streams first, then a blank line and the file's streams.
  const size_t blank = run.output.rfind("\n\n");
  std::vector<ProbedStream> streams;
  std::istringstream lines(blank == std::string::npos ? run.output : run.output.substr(blank + 2));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    ProbedStream s;
    std::string start, duration;
    std::getline(fields, s.codec, ',');
    std::getline(fields, s.type, ',');
    std::getline(fields, start, ',');
    std::getline(fields, duration, ',');
    s.start = start.empty() || start == "N/A" ? -1 : std::atof(start.c_str());
    s.duration = duration.empty() || duration == "N/A" ? -1 : std::atof(duration.c_str());
    streams.push_back(s);
  }
  return streams;
}

// Makes a clip in the test media folder unless it is there; its path.
std::string Clip(const std::string& name, const std::string& args) {
  const std::string path = ffmtest::MediaDir() + "/" + name;
  if (fs::exists(path)) return path;
  const std::string part = ffmtest::MediaDir() + "/part_" + name;
  const CommandRun run = RunCommand("ffmpeg -nostdin -v error -y " + args + " " + ShellQuote(part) + " 2>&1 && mv " +
                                    ShellQuote(part) + " " + ShellQuote(path));
  EXPECT_EQ(run.status, 0) << run.output;
  return path;
}

class StreamCopyEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
    folder_ = MakeConvertFolder(std::string("copy_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  // Writes default_<n>.dat of the kind with trivox_job.
  void WriteJob(const std::string& kind, int number, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"write", kind, folder_ + "/default_" + std::to_string(number) + ".dat"};
    args.insert(args.end(), options.begin(), options.end());
    const CommandRun job = RunStagedTool("trivox_job", args);
    ASSERT_EQ(job.status, 0) << job.output;
  }

  std::string folder_;
};

// One video and two audio streams, 5 s.
std::string ThreeStreamTs() {
  return Clip("copy_three.ts",
              "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
              "-f lavfi -i sine=frequency=880:sample_rate=44100 -t 5 -map 0 -map 1 -map 2 -c:v libx264 -g 25 "
              "-c:a:0 aac -c:a:1 libmp3lame -f mpegts");
}

TEST_F(StreamCopyEndToEnd, DemuxWritesOneFilePerChosenStream) {
  const std::string source = ThreeStreamTs();
  ASSERT_EQ(Streams(source).size(), 3u);
  WriteJob("demux", 1,
           {"--source-path", source, "--out-stream", "0", "--out-writer", "[FFM]MP4", "--out-path",
            folder_ + "/video.mp4", "--out-global-header", "1", "--out-stream", "2", "--out-writer", "[FFM]MP3",
            "--out-path", folder_ + "/audio.mp3"});
  const EngineRun run = RunEngine(folder_, {"-d", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  const std::vector<ProbedStream> video = Streams(folder_ + "/video.mp4");
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0].codec, "h264");
  // Each file lasts as long as the source.
  const double duration = ffmtest::ProbeFile(source).duration;
  EXPECT_NEAR(ffmtest::ProbeFile(folder_ + "/video.mp4").duration, duration, 0.1);
  const std::vector<ProbedStream> audio = Streams(folder_ + "/audio.mp3");
  ASSERT_EQ(audio.size(), 1u);
  EXPECT_EQ(audio[0].codec, "mp3");
  EXPECT_NEAR(ffmtest::ProbeFile(folder_ + "/audio.mp3").duration, duration, 0.1);
  // The AAC stream (pin 1) was not asked for.
  int files = 0;
  for (const auto& e : fs::directory_iterator(folder_))
    files += e.path().extension() == ".mp4" || e.path().extension() == ".mp3" || e.path().extension() == ".aac";
  EXPECT_EQ(files, 2);
}

TEST_F(StreamCopyEndToEnd, MuxJoinsVideoAndAudioInStep) {
  const std::string video = Clip("copy_video.mp4", "-f lavfi -i testsrc=size=320x240:rate=25 -t 4 -c:v libx264 -g 25");
  const std::string audio =
      Clip("copy_audio.mp3", "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 4 -c:a libmp3lame");
  const std::string output = folder_ + "/joined.mp4";
  WriteJob("mux", 2,
           {"--source", video, "--source", audio, "--output", output, "--writer", "[FFM]MP4", "--global-header", "1"});
  const EngineRun run = RunEngine(folder_, {"-e", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  const std::vector<ProbedStream> out = Streams(output);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].codec, "h264");
  EXPECT_EQ(out[1].codec, "mp3");
  EXPECT_NEAR(out[0].start, out[1].start, 0.05) << "the streams start together";
  EXPECT_NEAR(out[0].duration, 4.0, 0.1);
  EXPECT_NEAR(out[1].duration, 4.0, 0.1);
}

TEST_F(StreamCopyEndToEnd, MuxKeepsToTheWritersTrackLimits) {
  // Two sources of one video and one audio stream each, into a writer of one
  // video and up to ten audio streams: the second video is left out.
  const std::string first = Clip("copy_av1.avi",
                                 "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 3 "
                                 "-c:v mpeg4 -c:a libmp3lame");
  const std::string second = Clip("copy_av2.avi",
                                  "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=660 -t 3 "
                                  "-c:v mpeg4 -c:a libmp3lame");
  const std::string output = folder_ + "/joined.avi";
  WriteJob("mux", 2, {"--source", first, "--source", second, "--output", output, "--writer", "[FFM]AVI"});
  const EngineRun run = RunEngine(folder_, {"-e", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  EXPECT_TRUE(run.HasLine("ignore a video stream dure to track limits")) << run.output;
  const std::vector<ProbedStream> out = Streams(output);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].type, "video") << "the video leads";
  EXPECT_EQ(out[1].type, "audio");
  EXPECT_EQ(out[2].type, "audio");
}

TEST_F(StreamCopyEndToEnd, Refusals) {
  const std::string source = ThreeStreamTs();
  WriteFile(folder_ + "/junk.bin", {1, 2, 3, 4, 5, 6, 7, 8});
  const std::string out = folder_ + "/out.mp4";
  struct Case {
    const char* label;
    const char* mode;
    std::vector<std::string> options;
    uint32_t result;
  };
  const Case cases[] = {
      {"demux: the second output names no writer that exists (the first one's file goes too)",
       "-d",
       {"--source-path", source, "--out-stream", "0", "--out-writer", "[FFM]MP4", "--out-path", out, "--out-stream",
        "2", "--out-writer", "[FFM]NOSUCH", "--out-path", folder_ + "/out.mp3"},
       0x80040203},
      {"demux: the source is missing",
       "-d",
       {"--source-path", folder_ + "/missing.ts", "--out-stream", "0", "--out-writer", "[FFM]MP4", "--out-path", out},
       0x80040081},
      {"demux: no reader knows the source",
       "-d",
       {"--source-path", folder_ + "/junk.bin", "--out-stream", "0", "--out-writer", "[FFM]MP4", "--out-path", out},
       0x80040012},
      {"demux: no output names a stream of the source",
       "-d",
       {"--source-path", source, "--out-stream", "9", "--out-writer", "[FFM]MP4", "--out-path", out},
       0x8004020A},
      {"mux: no writer with the tag",
       "-e",
       {"--source", source, "--output", out, "--writer", "[FFM]NOSUCH"},
       0x80040203},
      {"mux: a source is missing",
       "-e",
       {"--source", source, "--source", folder_ + "/missing.mp3", "--output", out, "--writer", "[FFM]MP4"},
       0x80040081},
      {"mux: no stream selected",
       "-e",
       {"--source", source, "--streams", "7", "--output", out, "--writer", "[FFM]MP4"},
       0x8004020A},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const bool demux = std::string(c.mode) == "-d";
    WriteJob(demux ? "demux" : "mux", demux ? 1 : 2, c.options);
    const EngineRun run = RunEngine(folder_, {c.mode, "test"});
    EXPECT_EQ(JobResult(run), c.result) << run.output;
    EXPECT_FALSE(fs::exists(out)) << "a job that never ran leaves no output";
  }
}

}  // namespace
