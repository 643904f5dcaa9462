// velmo converts a DVD fixture's main title unattended with the real engine:
// --load-dvd --profile --out --convert-checked --exit-when-done leaves a
// playable file of the title's length, prints the task's "Done" and keeps a
// picture of the completion dialog; bad input ends without an engine.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "frontend/model/dvd_titles.h"
#include "frontend/model/output_settings.h"
#include "qt_test_util.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/frontend/model/title_view_recorder.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

struct VelmoRun {
  CommandRun run;
  std::vector<std::string> rows;  // "row:" and "done:" lines
  std::vector<std::string> messages;
};

// A fresh folder under the test's private home.
std::string FreshFolder(const std::string& name) {
  const std::string path = std::string(getenv("HOME")) + "/" + name;
  fs::remove_all(path);
  fs::create_directories(path);
  return path;
}

VelmoRun RunVelmo(const std::string& args) {
  const std::string home = FreshFolder("velmo-convert-home");
  VelmoRun v;
  v.run = RunCommand("cd " + ShellQuote(home) + " && env HOME=" + ShellQuote(home) +
                     " XDG_DATA_HOME=" + ShellQuote(home + "/data") + " XDG_CONFIG_HOME=" + ShellQuote(home + "/cfg") +
                     " QT_QPA_PLATFORM=offscreen timeout 600 " + ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/velmo") +
                     " " + args + " 2>&1");
  std::istringstream in(v.run.output);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("row:", 0) == 0 || line.rfind("done:", 0) == 0) v.rows.push_back(line);
    if (line.rfind("velmo: message: ", 0) == 0) v.messages.push_back(line.substr(16));
  }
  return v;
}

double MainTitleLength(const std::string& disc) {
  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  OutputSettings settings;
  EXPECT_TRUE(LoadDvdTitles(disc, settings, TaskOptions{}, tasks, view, report) && view.selected);
  return view.selected ? view.selected->task->sources[0]->record.length : 0;
}

TEST(VelmoConvert, TheMainTitleBecomesAPlayableFileWithEachProfile) {
  REQUIRE_DVD_FIXTURES();
  const struct {
    const char* disc;
    const char* profile;
    const char* file;
    const char* picture;
  } cases[] = {{"basic", "V_10_MP4/1", "Title-01.mp4", "velmo_convert_done_mp4.png"},
               {"basic", "V_20_AVI/1", "Title-01.avi", "velmo_convert_done_avi.png"},
               // Cells, programs and a second VOB file whose clock starts again at 0.
               {"cells", "V_10_MP4/1", "Title-01.mp4", "velmo_convert_done_cells.png"}};
  for (const auto& c : cases) {
    const std::string disc = DvdFixture(c.disc);
    const double length = MainTitleLength(disc);
    ASSERT_GT(length, 1.0);
    SCOPED_TRACE(std::string(c.disc) + " " + c.profile);
    const std::string out = FreshFolder(std::string("velmo-out-") + c.disc + "-" + c.file);
    const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/" + c.picture;
    fs::remove(picture);
    const VelmoRun v =
        RunVelmo("--load-dvd " + ShellQuote(disc) + " --profile " + c.profile + " --out " + ShellQuote(out) +
                 " --convert-checked --exit-when-done --screenshot " + ShellQuote(picture));
    ASSERT_EQ(0, v.run.status) << v.run.output;
    EXPECT_TRUE(v.messages.empty()) << v.run.output;
    ASSERT_GE(v.rows.size(), 2u) << v.run.output;
    EXPECT_EQ("done:" + disc + ",Title 01\t" + c.file, v.rows[0]);
    EXPECT_EQ(0u, v.rows[1].rfind("row:[ ]\tTitle-01\t", 0)) << v.rows[1];
    EXPECT_EQ("\tDone", v.rows[1].substr(v.rows[1].rfind('\t'))) << v.rows[1];
    for (size_t i = 2; i < v.rows.size(); ++i)
      EXPECT_EQ("\tReady", v.rows[i].substr(v.rows[i].rfind('\t'))) << v.rows[i];

    const std::string file = out + "/" + c.file;
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(out), fs::directory_iterator()));  // nothing else left
    const CommandRun streams = RunCommand("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " +
                                          ShellQuote(file) + " | sort | tr '\\n' ' '");
    EXPECT_EQ("audio video ", streams.output);
    const CommandRun duration =
        RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + ShellQuote(file));
    ASSERT_EQ(0, duration.status);
    EXPECT_NEAR(length, std::stod(duration.output), 0.2);
    const CommandRun decode = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file) + " -f null - 2>&1");
    EXPECT_EQ(0, decode.status);
    EXPECT_EQ("", decode.output);

    // The completion dialog: its list holds the row's text.
    QImage shot(QString::fromStdString(picture));
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(shot.width(), 300);
    EXPECT_GT(CountOtherThan(shot, QRect(20, 75, shot.width() - 40, 20), QColor(Qt::white)), 30);
  }
}

TEST(VelmoConvert, BadInputEndsWithoutAnEngine) {
  REQUIRE_DVD_FIXTURES();
  const std::string out = FreshFolder("velmo-bad-out");
  const std::string file = out + "/not a folder";
  { std::ofstream(file) << "x"; }
  const std::string load = " --load-dvd " + ShellQuote(DvdFixture("basic"));
  const struct {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {load + " --profile V_10_MP4/1 --out " + ShellQuote(file), 1, "The output path is not a valid directory."},
      {load + " --profile V_10_MP4/1 --out /proc", 1, "Can not write to the output path."},
      {load + " --profile V_99_NONE/1 --out " + ShellQuote(out), 2, ""},
  };
  for (const auto& c : cases) {
    const VelmoRun v = RunVelmo(c.args + " --convert-checked --exit-when-done");
    EXPECT_EQ(c.status, v.run.status) << v.run.output;
    if (!c.message.empty()) {
      EXPECT_EQ(std::vector<std::string>{c.message}, v.messages) << v.run.output;
    } else {
      EXPECT_NE(std::string::npos, v.run.output.find("velmo: no profile named \"V_99_NONE/1\"")) << v.run.output;
    }
    EXPECT_EQ(std::string::npos, v.run.output.find("done:")) << v.run.output;
  }
  EXPECT_EQ(1, std::distance(fs::directory_iterator(out), fs::directory_iterator()));
}

}  // namespace
