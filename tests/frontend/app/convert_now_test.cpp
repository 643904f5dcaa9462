// Convert Now in the main window over the DVD fixtures: every refusal before
// an engine starts, the RealMedia question, which rows take part, the
// frame-rate list of copied video, and the run's statuses and completion rows
// over a stand-in engine.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <filesystem>
#include <fstream>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_convert_done.h"
#include "frontend/dialogs/dlg_convert_progress.h"
#include "frontend/dialogs/dlg_frame_rate.h"
#include "frontend/model/convert_now.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/frontend/model/fake_engine_folder.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

class ConvertNow : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadOptionSettings();
    SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, GetUserDataDir()});
    TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
    LoadCodecTables(TRIVOX_STAGE_DIR);
    SetAppName("Velmo DVD Converter");
  }

  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    out = std::string(getenv("HOME")) + "/convert-now-out";
    fs::remove_all(out);
    fs::create_directories(out);
    dlg = std::make_unique<CDlgDvdMain>();
    dlg->Create();
    ASSERT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
    Use(Mp4Choice());
    ASSERT_TRUE(dlg->LoadDvdTitles(DvdFixture("basic"))) << dlg->LastLoadReport().message;
    dlg->SetOutputFolder(out);
  }
  void TearDown() override {
    if (dlg) dlg->DestroyWindow();
    SetEngineProgram("");
  }

  void Use(const OutputSettings& settings) {
    std::string message;
    ASSERT_TRUE(dlg->UseOutputChoice(settings, "TEST", 1, "test choice", message)) << message;
  }
  CCustomTreeChildCtrl& Tree() { return dlg->TitleTree()->Tree(); }
  QTreeWidgetItem* Row(const std::string& title) {
    for (QTreeWidgetItemIterator it(&Tree()); *it; ++it)
      if (CColumnTreeCtrl::GetItemText(*it, 0).toStdString() == title) return *it;
    ADD_FAILURE() << "no row " << title;
    return nullptr;
  }
  CTask* TaskOf(const std::string& title) { return CDlgDvdMain::TaskOfRow(Row(title)); }
  std::string Status(const std::string& title) { return CColumnTreeCtrl::GetItemText(Row(title), 4).toStdString(); }
  void CheckOnly(const std::vector<std::string>& titles) {
    for (int i = 0; i < Tree().topLevelItemCount(); ++i) Tree().SetCheck(Tree().topLevelItem(i), 0);
    for (const std::string& t : titles) Tree().SetCheck(Row(t), 2);
  }

  std::string out;
  std::unique_ptr<CDlgDvdMain> dlg;
  MessageBoxRecorder boxes;
};

TEST_F(ConvertNow, EachRefusalShowsItsMessageAndStartsNoEngine) {
  const std::string file = Touch(out + "/a file");
  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  } cases[] = {
      {"no checked row", [&] { CheckOnly({}); }, kNoTitlesMessage},
      {"only a chapter checked still counts, then an output path that is a file",
       [&] {
         CheckOnly({"Title-02-chap-01"});
         dlg->SetOutputFolder(file);
       },
       kBadOutputPathMessage},
      {"a missing output folder", [&] { dlg->SetOutputFolder(out + "/missing"); }, kBadOutputPathMessage},
      {"an unwritable output folder", [&] { dlg->SetOutputFolder("/proc"); }, kUnwritableOutputMessage},
      {"VP6 without its codec",
       [&] {
         OutputSettings s = Mp4Choice();
         std::snprintf(s.videoCodec, sizeof(s.videoCodec), "[DS]vp62");
         Use(s);
       },
       kNoVp6Message},
      {"merge without a target size",
       [&] {
         CheckOnly({"Title-01", "Title-02"});
         dlg->SetItemCheck(IDC_JOIN, 1);
       },
       kMergeSizeMessage},
      {"merge with stream copy",
       [&] {
         OutputSettings s = Mp4Choice();
         s.width = 320;
         s.height = 240;
         std::snprintf(s.audioCodec, sizeof(s.audioCodec), "COPY");
         Use(s);
         dlg->SetItemCheck(IDC_JOIN, 1);
       },
       kMergeCopyMessage},
      {"AC-3 copied into a muxer without it",
       [&] {
         OutputSettings s = Mp4Choice();
         std::snprintf(s.name, sizeof(s.name), "FLV");
         std::snprintf(s.audioCodec, sizeof(s.audioCodec), "COPY");
         Use(s);
       },
       "The muxer can not accept the audio track of \n'dvd:1,1,3," + DvdFixture("basic") + "' in stream copy mode."},
  };
  for (const auto& c : cases) {
    Use(Mp4Choice());
    CheckOnly({"Title-01"});
    dlg->SetOutputFolder(out);
    dlg->SetItemCheck(IDC_JOIN, 0);
    c.arrange();
    boxes.Clear();
    ModalScript script;  // no step: any dialog that opens is counted
    EXPECT_EQ(CDlgDvdMain::kConvertRefused, dlg->OnConvertNow()) << c.what;
    EXPECT_EQ(0, script.Unscripted()) << c.what;
    ASSERT_EQ(1u, boxes.Shown().size()) << c.what;
    EXPECT_EQ(c.message, boxes.Shown()[0].text) << c.what;
    EXPECT_EQ(unsigned(MB_ICONEXCLAMATION), boxes.Shown()[0].flags) << c.what;
    EXPECT_EQ("Ready", Status("Title-01")) << c.what;
  }
  // The writability probe left nothing in the output folder.
  EXPECT_EQ(1, std::distance(fs::directory_iterator(out), fs::directory_iterator()));
}

TEST_F(ConvertNow, ANewOutputChoiceReachesEveryTaskAndItsEstimate) {
  const std::string before = CColumnTreeCtrl::GetItemText(Row("Title-02"), 2).toStdString();
  OutputSettings s = Mp4Choice();
  s.videoBitrate *= 4;
  std::snprintf(s.ext, sizeof(s.ext), "m4v");
  Use(s);
  EXPECT_NE(before, CColumnTreeCtrl::GetItemText(Row("Title-02"), 2).toStdString());
  EXPECT_EQ("m4v", TaskOf("Title-02-chap-01")->outputExt);
  EXPECT_EQ("test choice", dlg->ProfileLine());
}

TEST_F(ConvertNow, ARealVideoSourceAsksAndCancelEndsTheCommand) {
  std::string message;
  const std::string real = "\"TYPE\"=0,\"STREAMID\"=0,\"VFCC\"=\"RV40\",\"WIDTH\"=320,\"HEIGHT\"=240,\"FRAMERATE\"=F25";
  CTask* task = dlg->Tasks().AddTask(Touch(out + "/clip.rm"), *Probe({real}), Mp4Choice(), TaskOptions{}, message);
  ASSERT_TRUE(task) << message;
  dlg->AddTaskRow(*task, "clip", static_cast<QTreeWidgetItem*>(nullptr), true);
  boxes.Answer(IDCANCEL);
  ModalScript script;
  EXPECT_EQ(CDlgDvdMain::kConvertRefused, dlg->OnConvertNow());
  EXPECT_EQ(0, script.Unscripted());
  ASSERT_EQ(1u, boxes.Shown().size());
  EXPECT_EQ(kNoRealMediaQuestion, boxes.Shown()[0].text);
  EXPECT_EQ(unsigned(MB_OKCANCEL | MB_ICONEXCLAMATION), boxes.Shown()[0].flags);
}

TEST_F(ConvertNow, CopiedVideoAsksForFrameRatesOfTheTakingPartRowsAndCancelStartsNothing) {
  OutputSettings s = Mp4Choice();
  std::snprintf(s.name, sizeof(s.name), "MP4");
  std::snprintf(s.videoCodec, sizeof(s.videoCodec), "COPY");
  Use(s);
  // Title 1 whole (with its checked chapters), and one chapter of title 2 alone.
  CheckOnly({"Title-01", "Title-02-chap-02"});
  std::vector<std::string> listed;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    EXPECT_EQ(IDD_FRAME_RATE_LIST, d.TemplateId());
    QTreeWidget* rows = static_cast<CDlgFrameRateList&>(d).TaskRows();
    for (int i = 0; i < rows->topLevelItemCount(); ++i)
      listed.push_back(rows->topLevelItem(i)->text(0).toStdString() + " " +
                       rows->topLevelItem(i)->text(1).toStdString());
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  EXPECT_EQ(CDlgDvdMain::kConvertRefused, dlg->OnConvertNow());
  EXPECT_EQ(0, script.Unscripted());
  EXPECT_EQ(0u, script.Remaining());
  const std::string disc = DvdFixture("basic");
  EXPECT_EQ((std::vector<std::string>{"dvd:1,1,3," + disc + " 25fps", "dvd:2,2,2," + disc + " 25fps"}), listed);
  EXPECT_EQ(std::vector<std::string>{}, boxes.Texts());
  EXPECT_TRUE(TaskOf("Title-01")->checked);
  EXPECT_FALSE(TaskOf("Title-01-chap-01")->checked);
  EXPECT_FALSE(TaskOf("Title-02")->checked);
}

TEST_F(ConvertNow, TheOverwriteOptionReachesEveryTaskBeforeTheRun) {
  OutputSettings s = Mp4Choice();
  std::snprintf(s.name, sizeof(s.name), "MP4");
  std::snprintf(s.videoCodec, sizeof(s.videoCodec), "COPY");
  Use(s);
  CheckOnly({"Title-01"});
  for (int32_t option : {1, 0}) {
    GetOptionSettings()->overwrite = option;
    for (const auto& task : dlg->Tasks()) task->overwrite = 1 - option;
    ModalScript script;  // the frame-rate question comes after the tasks are prepared
    script.Then([](UiDialog& d) { d.OnCommand(IDCANCEL, BN_CLICKED); });
    EXPECT_EQ(CDlgDvdMain::kConvertRefused, dlg->OnConvertNow());
    for (const auto& task : dlg->Tasks()) EXPECT_EQ(option, task->overwrite) << task->GetOutputTitle();
  }
}

TEST_F(ConvertNow, StatusesRowsAndTheCompletionDialogAfterARun) {
  const std::string engine = MakeFakeEngineFolder("ConvertNow.Statuses");
  WriteFakeScript(engine, "only-source dvd:3,\nresult 80004005\nall\nresult 0\n");
  SetEngineProgram(engine + "/trivox_free");
  SetEngineOutputShown(false);
  CheckOnly({"Title-01", "Title-03", "Title-04-chap-02"});
  std::vector<std::pair<std::string, std::string>> rows;
  std::string caption;
  ModalScript script;
  script
      .Then([](UiDialog& d) { EXPECT_EQ(IDD_CONVERT_PROGRESS, d.TemplateId()); })  // runs by itself
      .Then([&](UiDialog& d) {
        EXPECT_EQ(IDD_CONVERT_DONE, d.TemplateId());
        QTreeWidget* tree = static_cast<CDlgConvertDone&>(d).ResultRows();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
          rows.emplace_back(tree->topLevelItem(i)->text(0).toStdString(), tree->topLevelItem(i)->text(1).toStdString());
        caption = d.ItemText(IDC_DONE_COPY).toStdString();
        d.OnCommand(IDOK, BN_CLICKED);
      });
  EXPECT_EQ(CDlgDvdMain::kConvertSomeFailed, dlg->OnConvertNow());
  EXPECT_EQ(0, script.Unscripted());
  EXPECT_EQ(0u, script.Remaining());
  EXPECT_TRUE(boxes.Shown().empty());

  EXPECT_EQ("Done", Status("Title-01"));
  EXPECT_EQ("Failed(0x80004005)", Status("Title-03"));
  EXPECT_EQ("Done", Status("Title-04-chap-02"));
  EXPECT_EQ("Ready", Status("Title-01-chap-01"));  // ran as part of its title
  EXPECT_EQ("Ready", Status("Title-02"));
  for (const char* t : {"Title-01", "Title-01-chap-02", "Title-03", "Title-04-chap-02"})
    EXPECT_EQ(0, Tree().GetCheck(Row(t))) << t;
  const std::string disc = DvdFixture("basic");
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ("Title-01.mp4", rows[0].second);
  EXPECT_EQ(kFailedRowText, rows[1].second);
  EXPECT_EQ("Title-04-chap-02.mp4", rows[2].second);
  EXPECT_EQ(TaskOf("Title-03")->GetOutputTitle(), rows[1].first);
  EXPECT_EQ("Copy to...", caption);
}

TEST_F(ConvertNow, AStoppedRunShowsDoneOnlyForTheTasksThatEndedBeforeTheStop) {
  const std::string engine = MakeFakeEngineFolder("ConvertNow.Stopped");
  WriteFakeScript(engine, "only-source dvd:1,\nresult 0\nall\nwait-stop\n");
  SetEngineProgram(engine + "/trivox_free");
  SetEngineOutputShown(false);
  CheckOnly({"Title-01", "Title-03"});
  CTask* second = TaskOf("Title-03");
  std::vector<std::string> done;
  ModalScript script;
  script
      .Then([&](UiDialog& d) {
        // Stop once the second title's engine runs.
        auto* poll = new QTimer(&d);
        QObject::connect(poll, &QTimer::timeout, &d, [&d, poll, second] {
          auto& progress = static_cast<CDlgConvertProgress&>(d);
          if (progress.CurrentTask() != second || !progress.TaskSession()) return;
          poll->stop();
          d.ItemAs<QAbstractButton>(IDC_PROGRESS_STOP)->click();
        });
        poll->start(20);
      })
      .Then([&](UiDialog& d) {
        QTreeWidget* tree = static_cast<CDlgConvertDone&>(d).ResultRows();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
          done.push_back(tree->topLevelItem(i)->text(1).toStdString());
        d.OnCommand(IDOK, BN_CLICKED);
      });
  EXPECT_EQ(CDlgDvdMain::kConvertAllDone, dlg->OnConvertNow());
  EXPECT_EQ(0, script.Unscripted());
  EXPECT_EQ(0u, script.Remaining());
  EXPECT_EQ("Done", Status("Title-01"));
  EXPECT_EQ("Ready", Status("Title-03"));
  EXPECT_EQ(2, Tree().GetCheck(Row("Title-03")));  // a stopped row keeps its check
  EXPECT_EQ(std::vector<std::string>{"Title-01.mp4"}, done);
}

}  // namespace
