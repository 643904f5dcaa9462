// The progress dialog with the real engine: the main title of a DVD fixture
// runs through the dialog to "Done"; a picture taken while it runs shows the
// bars, the times and the engine's log lines.
#include <QProgressBar>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "frontend/dialogs/log_list.h"
#include "frontend/model/dvd_titles.h"
#include "progress_test_util.h"
#include "qt_test_util.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/frontend/model/title_view_recorder.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

struct MidRun {
  QImage shot;
  QRect currentBar, totalBar, time, log;
  int current = 0, currentMax = 0, total = 0, totalMax = 0;
  std::string status, timeLine;
  std::vector<std::string> rows;
};

// Pixels of a rectangle near a colour.
int CountNear(const QImage& image, const QRect& rect, const QColor& color, int tolerance) {
  const QRect r = rect.intersected(image.rect());
  int count = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (Near(image.pixelColor(x, y), color, tolerance)) ++count;
  return count;
}

TEST(ConvertProgressDvd, AMainTitleRunsToDoneAndShowsBarsTimesAndLogLinesMidRun) {
  REQUIRE_DVD_FIXTURES();
  const std::string folder = MakeConvertFolder("fe_progress_dvd", {"vresize.so"});
  SetEngineProgram(folder + "/trivox_free");
  SetEngineOutputShown(false);
  TheLogLines().Clear();

  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  ASSERT_TRUE(LoadDvdTitles(DvdFixture("long"), ShippedMp4Choice(), TaskOptions{}, tasks, view, report) &&
              view.selected)
      << report.message;
  CTask& title = *view.selected->task;
  for (const auto& task : tasks) task->checked = task.get() == &title ? 1 : 0;
  const std::string out = folder + "/out";
  fs::create_directories(out);

  CDlgConvertProgress dlg;
  dlg.tasks = &tasks;
  dlg.outputNames.SetFolder(out);
  MidRun mid;
  bool heldForTheLog = false;
  const ProgressRun run = RunProgress(
      dlg,
      [&](CDlgConvertProgress& d, int64_t) {
        if (!mid.shot.isNull() || !d.TaskSession()) return;
        const bool logShown = d.LogList()->RowCount() > 0 && !Text(d, IDC_PROGRESS_TIME).empty();
        // A fast engine could end before the first second's log lines: it is
        // held until they are shown.
        if (d.GetState() == CDlgConvertProgress::State::kRunning && !logShown && d.CurrentBar()->value() >= 2) {
          Click(d, IDC_PROGRESS_PAUSE);
          heldForTheLog = true;
          return;
        }
        if (d.GetState() == CDlgConvertProgress::State::kPaused) {
          if (logShown) Click(d, IDC_PROGRESS_PAUSE);
          return;
        }
        const std::string status = Text(d, IDC_PROGRESS_STATUS);
        if (d.CurrentBar()->value() < 2 || !logShown || status.find("frames") == std::string::npos) return;
        mid.shot = d.Client()->grab().toImage();
        mid.currentBar = d.ItemRect(IDC_PROGRESS_CURRENT);
        mid.totalBar = d.ItemRect(IDC_PROGRESS_TOTAL);
        mid.time = d.ItemRect(IDC_PROGRESS_TIME);
        mid.log = d.ItemRect(IDC_PROGRESS_LOG);
        mid.current = d.CurrentBar()->value();
        mid.currentMax = d.CurrentBar()->maximum();
        mid.total = d.TotalBar()->value();
        mid.totalMax = d.TotalBar()->maximum();
        mid.status = status;
        mid.timeLine = Text(d, IDC_PROGRESS_TIME);
        mid.rows = LogRows(d);
      },
      600000);
  if (heldForTheLog) std::printf("note: the engine was paused until the first log lines were shown\n");
  SetEngineProgram("");

  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_EQ("Done", TaskStatusText(title)) << title.resultCode;
  const std::string output = title.job.output.path;
  ASSERT_TRUE(fs::exists(output)) << output;
  int status = -1;
  const std::string duration = RunShell(
      "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + ShellQuote(output), &status, false);
  if (status == 0) {
    EXPECT_NEAR(title.sources[0]->record.length, std::stod(duration), 0.3);
  }
  const std::vector<std::string> rows = LogRows(dlg);
  ASSERT_FALSE(rows.empty());
  EXPECT_NE(std::string::npos, rows.front().find("|Start converting media file \"dvd:"));
  EXPECT_NE(std::string::npos, rows.back().find("|Conversion finished,the destination file is \"" + output + "\"."));

  ASSERT_FALSE(mid.shot.isNull()) << "the run ended before it could be pictured";
  SaveArtifact(mid.shot, "progress_dvd_mid_run.png");
  EXPECT_EQ(static_cast<int>(title.duration), mid.currentMax);
  EXPECT_EQ(mid.currentMax, mid.totalMax);
  EXPECT_TRUE(std::regex_match(mid.status, std::regex(R"(\d+%,00:00:\d\d,\d+ frames, \d+ fps )"))) << mid.status;
  EXPECT_TRUE(std::regex_match(mid.timeLine, std::regex(R"(00:00:\d\d Elapsed,(\d\d:\d\d:\d\d|--:--:--) Remaining)")))
      << mid.timeLine;
  EXPECT_NE(std::string::npos, mid.rows.front().find("|Start converting media file"));

  // The bars: filled with the highlight up to their value, not beyond.
  const QColor highlight = dlg.palette().color(QPalette::Highlight);
  for (const auto& [bar, value, upper] :
       {std::tuple{mid.currentBar, mid.current, mid.currentMax}, std::tuple{mid.totalBar, mid.total, mid.totalMax}}) {
    const int filled = bar.width() * value / upper;
    const QRect done(bar.left() + 3, bar.top() + 3, std::max(filled - 6, 1), bar.height() - 6);
    const QRect left(bar.left() + filled + 4, bar.top() + 3, bar.right() - 3 - (bar.left() + filled + 4),
                     bar.height() - 6);
    EXPECT_GT(CountNear(mid.shot, done, highlight, 60), done.width() * done.height() / 2) << value << "/" << upper;
    if (left.width() > 4) {
      EXPECT_EQ(0, CountNear(mid.shot, left, highlight, 30)) << value << "/" << upper;
    }
  }
  // The times and the log lines are drawn: dark text pixels in their places.
  const QColor text = dlg.palette().color(QPalette::WindowText);
  EXPECT_GT(CountNear(mid.shot, mid.time, text, 80), 20);
  const QRect firstRows(mid.log.left() + 2, mid.log.top() + 2, mid.log.width() - 4, 40);
  EXPECT_GT(CountNear(mid.shot, firstRows, dlg.LogList()->palette().color(QPalette::Text), 80), 20);
}

}  // namespace
