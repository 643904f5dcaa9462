// The model and the engine agree on DVD titles: the task of a disc's selected
// (main) title, with the shipped MP4 profile, is converted by a copy of the
// engine from the record the model builds; the output has the title's length
// and its first audio track.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "frontend/model/dvd_titles.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/frontend/model/title_view_recorder.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kNoFilter = 0x80040207;

struct Conversion {
  std::string output;          // the converted file
  double titleLength = 0;      // LENGTH of the task's record
  uint32_t result = 0;         // the engine's job result
  bool withoutLevels = false;  // the engine had no levels filter: converted without it
  std::string log;
};

// Loads the disc, writes the selected title's job beside an engine copy and runs it.
Conversion ConvertSelectedTitle(const std::string& disc, const std::string& name) {
  Conversion c;
  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  if (!LoadDvdTitles(disc, ShippedMp4Choice(), TaskOptions{}, tasks, view, report) || !view.selected) {
    ADD_FAILURE() << "no selected title: " << report.message;
    return c;
  }
  CTask& task = *view.selected->task;
  c.titleLength = task.sources[0]->record.length;
  const std::string folder = MakeConvertFolder(name, {"vresize.so"});
  fs::create_directories(folder + "/out");
  OutputNameList names;
  names.SetFolder(folder + "/out");
  std::string message;
  if (!task.MakeOutputPath(names, message)) {
    ADD_FAILURE() << message;
    return c;
  }
  c.output = task.job.output.path;
  for (int attempt = 0; attempt < 2; ++attempt) {
    WriteFile(folder + "/default_0.dat", SerialiseRecord(task.job));
    const EngineRun run = RunEngine(folder, {"-m", "test"});
    c.result = JobResult(run);
    c.log = run.output;
    // Until the engine has its levels filter, the rest of the record is checked without it.
    std::vector<FilterEntry>& video = task.VideoFilters();
    if (c.result != kNoFilter || video.empty() || std::string(video.front().key) != kDvdLevelsFilter) break;
    std::printf("note: the engine has no \"%s\" filter; %s is converted without it\n", kDvdLevelsFilter, name.c_str());
    task.RemoveVideoFilter(&video.front());
    c.withoutLevels = true;
  }
  return c;
}

std::string Probe(const std::string& path, const std::string& what) {
  int status = -1;
  std::string out = RunShell("ffprobe -v error " + what + " -of default=nw=1:nk=1 " + ShellQuote(path), &status, false);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// The main frequency of the output's audio, from its zero crossings between 1 s and 3 s.
double AudioFrequency(const std::string& path) {
  int status = -1;
  const std::string samples = RunShell(
      "ffmpeg -v error -i " + ShellQuote(path) + " -map 0:a:0 -ss 1 -t 2 -ac 1 -ar 8000 -f s16le -", &status, false);
  const size_t count = samples.size() / 2;
  if (status != 0 || count < 8000) return 0;
  int crossings = 0;
  int16_t previous = 0;
  for (size_t i = 0; i < count; ++i) {
    int16_t s;
    std::memcpy(&s, samples.data() + 2 * i, 2);
    if (i > 0 && ((previous < 0) != (s < 0))) ++crossings;
    previous = s;
  }
  return crossings / 2.0 / (count / 8000.0);
}

class DvdTitleConverts : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    int status = -1;
    RunShell("ffprobe -version", &status, false);
    if (status != 0) GTEST_SKIP() << "ffprobe missing";
  }
};

TEST_F(DvdTitleConverts, MainTitleOfAPalDiscFolderAndImage) {
  for (const char* disc : {"basic", "basic.iso"}) {
    SCOPED_TRACE(disc);
    const Conversion c = ConvertSelectedTitle(DvdFixture(disc), std::string("fe_dvd_e2e_") + disc);
    ASSERT_EQ(0u, c.result) << c.log;
    EXPECT_EQ(fs::path(c.output).filename(), "Title-01.mp4");
    EXPECT_NEAR(6.0, c.titleLength, 0.05);
    EXPECT_NEAR(c.titleLength, std::stod(Probe(c.output, "-show_entries format=duration")), 0.2);
    EXPECT_EQ("h264\naac", Probe(c.output, "-show_entries stream=codec_name"));
    EXPECT_EQ("25/1", Probe(c.output, "-select_streams v:0 -show_entries stream=r_frame_rate"));
    // The first audio track (AC-3, a 440 Hz tone), not the second (MPEG audio, 660 Hz).
    EXPECT_NEAR(440.0, AudioFrequency(c.output), 15.0);
  }
}

TEST_F(DvdTitleConverts, NtscTitleKeepsItsFrameRate) {
  const Conversion c = ConvertSelectedTitle(DvdFixture("menu30"), "fe_dvd_e2e_ntsc");
  ASSERT_EQ(0u, c.result) << c.log;
  EXPECT_NEAR(4.0, c.titleLength, 0.05);
  EXPECT_NEAR(c.titleLength, std::stod(Probe(c.output, "-show_entries format=duration")), 0.2);
  EXPECT_EQ("30000/1001", Probe(c.output, "-select_streams v:0 -show_entries stream=r_frame_rate"));
  const double frames =
      std::stod(Probe(c.output, "-select_streams v:0 -count_packets -show_entries stream=nb_read_packets"));
  EXPECT_NEAR(4.0 * 30000 / 1001, frames, 3);
}

TEST_F(DvdTitleConverts, WholeTitleWithMoreChaptersAndStreamsThanTheTablesHold) {
  const std::string disc = std::string(TRIVOX_BINARY_DIR) + "/fixtures/dvd-many/many";
  if (!fs::exists(disc + "/../.complete")) GTEST_SKIP() << "many-track DVD fixture missing";
  const Conversion c = ConvertSelectedTitle(disc, "fe_dvd_e2e_many");
  ASSERT_EQ(0u, c.result) << c.log;
  EXPECT_NEAR(42.0, c.titleLength, 0.05);
  EXPECT_NEAR(c.titleLength, std::stod(Probe(c.output, "-show_entries format=duration")), 0.2);
  EXPECT_NEAR(300.0, AudioFrequency(c.output), 15.0);  // the first of the eight audio tracks
}

}  // namespace
