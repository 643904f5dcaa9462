// The main window's file-info commands: "Modify Output Filename..." and a
// double click on a row open the sheet at the name page, "Modify
// Metadata..." at the metadata page, each on the selected row's task.
#include <gtest/gtest.h>

#include <QAction>
#include <QTabWidget>

#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_file_info.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

class NoDrives final : public IDvdDriveList {
 public:
  std::vector<DvdDrive> Drives() override { return {}; }
};

class MainFileInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOptionSettings();
    dlg = std::make_unique<CDlgDvdMain>(nullptr, &drives);
    dlg->Create();
    ASSERT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
    std::string message;
    auto record = Probe({"\"TYPE\"=1,\"STREAMID\"=0,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITSIZE\"=16"}, 3.0);
    for (const char* path : {"/media/a/first.wav", "/media/a/second.wav"}) {
      CTask* task = dlg->Tasks().AddTask(path, *record, OutputSettings(), TaskOptions(), message);
      ASSERT_NE(task, nullptr) << message;
      task->outputExt = "mp3";
      rows.push_back(dlg->AddTaskRow(*task, path, static_cast<QTreeWidgetItem*>(nullptr), false));
    }
  }
  void TearDown() override { dlg->DestroyWindow(); }

  CCustomTreeChildCtrl& Tree() { return dlg->TitleTree()->Tree(); }

  NoDrives drives;
  std::unique_ptr<CDlgDvdMain> dlg;
  std::vector<QTreeWidgetItem*> rows;
  MessageBoxRecorder boxes;
};

TEST_F(MainFileInfo, TheCommandsAreAvailableAndEnabled) {
  for (int id : {ID_OUTPUT_FILENAME, ID_METADATA}) {
    ASSERT_NE(dlg->MenuAction(id), nullptr) << id;
    EXPECT_TRUE(dlg->MenuAction(id)->isEnabled()) << id;
  }
}

TEST_F(MainFileInfo, EachCommandOpensTheSheetOnTheSelectedRowsTask) {
  Tree().setCurrentItem(rows[1]);
  CTask* second = CDlgDvdMain::TaskOfRow(rows[1]);
  ModalScript script;
  script.Then([](UiDialog& d) {
    auto& sheet = static_cast<CMyPropSheet&>(d);
    EXPECT_EQ(sheet.windowTitle(), "File info");
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    EXPECT_EQ(sheet.GetPage(0)->ItemText(IDC_NAMES_SOURCE), "/media/a/second.wav");
    EXPECT_EQ(sheet.GetPage(0)->ItemText(IDC_NAMES_FOLDER), QString::fromStdString(ReadConvertOutPath()));
    sheet.GetPage(0)->SetItemText(IDC_NAMES_OUTPUT, "renamed.ogg");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(ID_OUTPUT_FILENAME, 0);
  EXPECT_EQ(second->GetOutputFileName(), "renamed.ogg");
  EXPECT_EQ(CDlgDvdMain::TaskOfRow(rows[0])->GetOutputFileName(), "first.mp3");

  script.Then([](UiDialog& d) {
    auto& sheet = static_cast<CMyPropSheet&>(d);
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
    CPropertyPage* page = sheet.GetPage(1);
    page->SetItemCheck(IDC_META_ENABLE, 1);
    page->OnCommand(IDC_META_ENABLE, BN_CLICKED);
    page->SetItemText(IDC_META_ALBUM, "Live");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(ID_METADATA, 0);
  EXPECT_EQ(second->sources.front()->record.tags.enabled, 1);
  EXPECT_EQ(std::u16string(second->sources.front()->record.tags.album), u"Live");
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(script.Unscripted(), 0);
}

TEST_F(MainFileInfo, ADoubleClickOpensTheNamePage) {
  Tree().setCurrentItem(rows[0]);
  int page = -1;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    page = static_cast<CMyPropSheet&>(d).GetActiveIndex();
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  emit Tree().itemDoubleClicked(rows[0], 0);
  EXPECT_EQ(page, 0);
  EXPECT_EQ(script.Remaining(), 0u);
}

TEST_F(MainFileInfo, WithoutASelectionTheUserIsTold) {
  Tree().setCurrentItem(nullptr);
  ModalScript script;
  dlg->OnCommand(ID_METADATA, 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select a item from the list."});
  EXPECT_EQ(script.Unscripted(), 0);
}

}  // namespace
