// The model and the engine agree: the job velmo-cli builds for a 10-s clip
// with an MP4 choice, letterboxed from 720x480 into 640x480, converted by a
// copy of the engine and read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

using Streams = std::map<int, std::map<std::string, std::string>>;

// ffprobe's "flat" lines "streams.stream.N.key=value" by stream and key.
Streams ProbeStreams(const std::string& path, const std::string& entries) {
  int status = -1;
  const std::string out =
      RunShell("ffprobe -v error -show_entries stream=" + entries + " -of flat " + ShellQuote(path), &status, false);
  Streams streams;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const std::string prefix = "streams.stream.";
    const size_t eq = line.find('=');
    if (line.compare(0, prefix.size(), prefix) != 0 || eq == std::string::npos) continue;
    const size_t dot = line.find('.', prefix.size());
    const int index = std::stoi(line.substr(prefix.size(), dot - prefix.size()));
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    streams[index][line.substr(dot + 1, eq - dot - 1)] = value;
  }
  return streams;
}

// The stream descriptors the engine's probe gives, from ffprobe.
std::vector<std::string> Descriptors(const std::string& path) {
  std::vector<std::string> tracks;
  for (auto& [index, s] : ProbeStreams(path, "index,codec_type,width,height,r_frame_rate,sample_rate,channels")) {
    const std::string id = "\"STREAMID\"=" + std::to_string(index);
    if (s["codec_type"] == "video") {
      const std::string rate = s["r_frame_rate"];
      const double fps = std::stod(rate.substr(0, rate.find('/'))) / std::stod(rate.substr(rate.find('/') + 1));
      std::ostringstream text;
      text << "\"TYPE\"=0," << id << ",\"WIDTH\"=" << s["width"] << ",\"HEIGHT\"=" << s["height"] << ",\"FRAMERATE\"=F"
           << fps;
      tracks.push_back(text.str());
    } else if (s["codec_type"] == "audio") {
      tracks.push_back("\"TYPE\"=1," + id + ",\"SAMPLERATE\"=" + s["sample_rate"] + ",\"CHANNEL\"=" + s["channels"] +
                       ",\"BITSIZE\"=16");
    }
  }
  return tracks;
}

double RowMean(const std::vector<uint8_t>& gray, int width, int row) {
  double sum = 0;
  for (int x = 0; x < width; ++x) sum += gray[static_cast<size_t>(row) * width + x];
  return sum / width;
}

TEST(TaskEndToEnd, Mp4JobOfTheModelConvertsAsTheModelSays) {
  const std::string folder = MakeConvertFolder("fe_model_task_e2e", {"vresize.so"});
  fs::create_directories(folder + "/in");
  fs::create_directories(folder + "/out");
  const std::string clip = folder + "/in/clip.mp4";
  int status = -1;
  const std::string made = RunShell(
      "ffmpeg -v error -y -f lavfi -i testsrc=size=720x480:rate=25:duration=10 -f lavfi -i "
      "sine=frequency=440:sample_rate=48000:duration=10 -ac 2 -c:v mpeg4 -q:v 4 -c:a aac -shortest " +
          ShellQuote(clip),
      &status);
  ASSERT_EQ(0, status) << made;
  const std::vector<std::string> tracks = Descriptors(clip);
  ASSERT_EQ(2u, tracks.size());

  std::vector<std::string> args = {"job", "--source", clip, "--length", "10"};
  for (const std::string& t : tracks) args.insert(args.end(), {"--track", t});
  for (const char* field :
       {"name=MP4", "muxer=[FFM]MP4", "vcodec=[FFM]H264", "acodec=[FFM]AAC", "ext=mp4", "width=640", "height=480",
        "vbitrate=800000", "abitrate=128000", "sample-rate=44100", "channels=2", "muxer-params=\"GLOBALHEADER\"=1"})
    args.insert(args.end(), {"--profile", field});
  args.insert(args.end(), {"--scale-mode", "1", "--folder", folder + "/out", "--out", folder + "/default_0.dat"});
  const CommandRun job = RunStagedTool("velmo-cli", args);
  ASSERT_EQ(0, job.status) << job.output;
  const std::string output = folder + "/out/clip.mp4";
  ASSERT_NE(std::string::npos, job.output.find("output.path: \"" + output + "\"")) << job.output;

  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:VRESIZE")) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:ARESAMPLE")) << run.output;

  Streams out = ProbeStreams(output, "codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels");
  ASSERT_EQ(2u, out.size());
  std::map<std::string, std::string> video, audio;
  for (auto& [index, s] : out) (s["codec_type"] == "video" ? video : audio) = s;
  EXPECT_EQ("h264", video["codec_name"]);
  EXPECT_EQ("640", video["width"]);
  EXPECT_EQ("480", video["height"]);
  EXPECT_EQ("25/1", video["r_frame_rate"]);
  EXPECT_EQ("aac", audio["codec_name"]);
  EXPECT_EQ("44100", audio["sample_rate"]);
  EXPECT_EQ("2", audio["channels"]);
  const std::string duration =
      RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(output), &status, false);
  EXPECT_NEAR(10.0, std::stod(duration), 0.3) << duration;

  // Letterbox: 26 black rows above the 426-row picture and 28 below.
  const std::string frame = folder + "/frame.gray";
  RunShell("ffmpeg -v error -y -i " + ShellQuote(output) +
               " -vf 'select=eq(n\\,50)' -frames:v 1 -f rawvideo -pix_fmt gray " + ShellQuote(frame),
           &status);
  ASSERT_EQ(0, status);
  const std::vector<uint8_t> gray = ReadFileBytes(frame);
  ASSERT_EQ(size_t(640 * 480), gray.size());
  for (int row : {0, 12, 23, 456, 467, 479}) EXPECT_LT(RowMean(gray, 640, row), 24.0) << "pad row " << row;
  for (int row : {40, 120, 240, 360, 440}) EXPECT_GT(RowMean(gray, 640, row), 40.0) << "picture row " << row;
}

}  // namespace
