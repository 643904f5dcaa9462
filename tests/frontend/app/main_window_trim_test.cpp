// The main window's "Trim..." command: the clip range dialog over the selected
// task, its range kept on OK with the row's duration and estimate refreshed,
// nothing kept on Cancel.
#include <gtest/gtest.h>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/controls/time_picker.h"
#include "frontend/dialogs/dlg_clip_range.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

class MainWindowTrim : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadOptionSettings();
    SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, GetUserDataDir()});
    TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
    LoadCodecTables(TRIVOX_STAGE_DIR);
  }
  void SetUp() override {
    // No engine: every frame render fails softly.
    SetFrameRenderer([](WindowId, FrameJob&) { return false; });
    dlg = std::make_unique<CDlgDvdMain>();
    dlg->Create();
    ASSERT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
  }
  void TearDown() override {
    dlg->DestroyWindow();
    EXPECT_TRUE(WaitForFrameRenderWorkers(5000));
    SetFrameRenderer(nullptr);
  }
  QTreeWidgetItem* Row(const std::string& title) {
    for (QTreeWidgetItem* row :
         dlg->TitleTree()->Tree().findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive))
      if (CColumnTreeCtrl::GetItemText(row, 0).toStdString() == title) return row;
    return nullptr;
  }
  std::unique_ptr<CDlgDvdMain> dlg;
  MessageBoxRecorder boxes;
};

TEST_F(MainWindowTrim, TrimKeepsTheRangeOnOkAndRefreshesTheRow) {
  REQUIRE_DVD_FIXTURES();
  ASSERT_TRUE(dlg->LoadDvdTitles(DvdFixture("basic"))) << dlg->LastLoadReport().message;
  ModalScript script;
  dlg->TitleTree()->Tree().setCurrentItem(nullptr);
  dlg->OnCommand(ID_TRIM, BN_CLICKED);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select a item from the list."});
  EXPECT_EQ(0, script.Unscripted());

  QTreeWidgetItem* row = Row("Title-01");
  ASSERT_NE(nullptr, row);
  dlg->TitleTree()->Tree().setCurrentItem(row);
  CTask* task = CDlgDvdMain::TaskOfRow(row);
  const std::string estimate = CColumnTreeCtrl::GetItemText(row, 2).toStdString();
  EXPECT_EQ("00:00:06", CColumnTreeCtrl::GetItemText(row, 1).toStdString());

  // Cancel keeps nothing.
  script.Then([](UiDialog& d) {
    dynamic_cast<CTimePicker*>(d.Item(IDC_CLIP_START))->setTime(QTime(0, 0, 2));
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  dlg->OnCommand(ID_TRIM, BN_CLICKED);
  EXPECT_EQ(0, task->sources[0]->clipStart);
  EXPECT_EQ("00:00:06", CColumnTreeCtrl::GetItemText(row, 1).toStdString());

  // OK keeps 2 s to the end: 4 s left, and a smaller estimate.
  script.Then([](UiDialog& d) {
    EXPECT_EQ(IDD_CLIP_RANGE, d.TemplateId());
    dynamic_cast<CTimePicker*>(d.Item(IDC_CLIP_START))->setTime(QTime(0, 0, 2));
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(ID_TRIM, BN_CLICKED);
  EXPECT_EQ(0, script.Remaining());
  EXPECT_EQ(2, task->sources[0]->clipStart);
  EXPECT_EQ(0, task->sources[0]->clipEnd);
  EXPECT_EQ(4u, task->duration);
  EXPECT_EQ("00:00:04", CColumnTreeCtrl::GetItemText(row, 1).toStdString());
  EXPECT_NE(estimate, CColumnTreeCtrl::GetItemText(row, 2).toStdString());
  EXPECT_EQ(task->GetEstimatedSizeText(), CColumnTreeCtrl::GetItemText(row, 2).toStdString());

  // The next run opens on the stored range.
  script.Then([](UiDialog& d) {
    EXPECT_EQ("00:00:02", dynamic_cast<CTimePicker*>(d.Item(IDC_CLIP_START))->text().toStdString());
    EXPECT_EQ("00:00:04", dynamic_cast<CTimePicker*>(d.Item(IDC_CLIP_TIME))->text().toStdString());
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  dlg->OnCommand(ID_TRIM, BN_CLICKED);
}

}  // namespace
