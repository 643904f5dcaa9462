// The progress dialog with the real engine: the main title of a DVD fixture
// runs through the dialog to "Done"; a picture taken while it runs shows the
// bars, the times and the engine's log lines. A damaged file fails, and the
// engine's reason is in the log window.
#include <QProgressBar>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "frontend/dialogs/dlg_log.h"
#include "frontend/dialogs/log_list.h"
#include "frontend/model/dvd_titles.h"
#include "frontend/model/engine_session.h"
#include "frontend/ui/modal_script.h"
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
  for (const auto& task : tasks) task->checked = task.get() == &title;
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

TEST(ConvertProgressEngine, AFailedConversionSaysWhyInTheLogWindow) {
  const std::string folder = MakeConvertFolder("fe_progress_damaged", {"vresize.so"});
  SetEngineProgram(folder + "/trivox_free");
  SetEngineOutputShown(false);
  TheLogLines().Clear();

  // 4,096 bytes inside the media data: the header is whole, the packets after them are not.
  const std::string clip = folder + "/damaged.mp4";
  int status = -1;
  RunShell("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -t 2 -c:v mpeg4 -movflags +faststart " +
               ShellQuote(folder + "/whole.mp4"),
           &status);
  ASSERT_EQ(0, status);
  std::vector<uint8_t> bytes = ReadFileBytes(folder + "/whole.mp4");
  const std::string tag = "mdat";
  const auto mdat = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
  ASSERT_NE(bytes.end(), mdat);
  const size_t at = static_cast<size_t>(mdat - bytes.begin()) + 4 + (bytes.end() - mdat) / 8;
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 4096, 0);
  WriteFile(clip, bytes);

  auto record = std::make_unique<MediaInfoRecord>();
  std::string error;
  ASSERT_TRUE(ProbeMedia(clip, 0, *record, kProbeTimeoutMs, &error)) << error;
  CTaskList tasks;
  CTask* task = tasks.AddTask(clip, *record, Mp4Choice(), TaskOptions{}, error);
  ASSERT_NE(nullptr, task) << error;
  task->checked = true;
  const std::string out = folder + "/out";
  fs::create_directories(out);

  CDlgConvertProgress dlg;
  dlg.tasks = &tasks;
  dlg.outputNames.SetFolder(out);
  const ProgressRun run = RunProgress(
      dlg, [](CDlgConvertProgress&, int64_t) {}, 120000);
  SetEngineProgram("");
  EXPECT_FALSE(run.watchdog);
  EXPECT_NE("Done", TaskStatusText(*task));

  // The window the user opens from the menu shows the decoder's reason before the engine's code.
  std::vector<std::string> rows;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& log = static_cast<CDlgLog&>(d);
    for (int r = 0; r < log.List()->RowCount(); ++r) rows.push_back(log.List()->Text(r, 1).toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgLog logWindow;
  logWindow.DoModal();
  std::string all;
  for (const std::string& r : rows) all += "  " + r + "\n";
  const auto reason = std::find_if(rows.begin(), rows.end(), [](const std::string& r) {
    return r.rfind("decode errors dropped ", 0) == 0 && r.find(" of the video stream") != std::string::npos;
  });
  ASSERT_NE(rows.end(), reason) << all;
  const auto code = std::find(rows.begin(), rows.end(), "Conversion failed,the return code is 8007001E.");
  ASSERT_NE(rows.end(), code) << all;
  EXPECT_LT(reason, code) << all;
  EXPECT_FALSE(fs::exists(task->job.output.path)) << task->job.output.path;
  TheLogLines().Clear();
}

}  // namespace
