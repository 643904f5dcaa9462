// The main window over the DVD fixtures: loading a disc into the title tree and
// the selection panel, the drive popup over a fake drive list, folder import,
// delete, the track and deinterlace choices, the output folder, the commands
// still to come, and velmo's unattended --load-dvd --screenshot run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/ini_access.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/controls/drag_list.h"
#include "frontend/controls/profile_combo.h"
#include "frontend/controls/prop_sheet.h"
#include "frontend/dialogs/dlg_filter_pages.h"
#include "frontend/dialogs/dlg_log.h"
#include "frontend/dialogs/dlg_output_format.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/log_list.h"
#include "frontend/model/log_reader.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/title_choices.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/shell.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

const QColor kFrame(127, 157, 185);
const QColor kBand(237, 245, 255);

class FakeDrives final : public IDvdDriveList {
 public:
  std::vector<DvdDrive> list;
  std::vector<DvdDrive> Drives() override { return list; }
};

class FakePreview final : public IPreviewPanel {
 public:
  std::vector<CTask*> shown;
  std::vector<const CTask*> removed;
  void SetTask(CTask* task) override { shown.push_back(task); }
  void TaskRemoved(const CTask* task) override { removed.push_back(task); }
};

// A fresh folder under the test's private home.
std::string FreshFolder(const std::string& name) {
  const std::string path = std::string(getenv("HOME")) + "/" + name;
  fs::remove_all(path);
  fs::create_directories(path);
  return path;
}

class MainWindow : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // As start-up prepares them: options, the staged profiles and codec names.
    LoadOptionSettings();
    SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, GetUserDataDir()});
    TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
    LoadCodecTables(TRIVOX_STAGE_DIR);
    SetAppName("Velmo DVD Converter");
  }

  void SetUp() override {
    dlg = std::make_unique<CDlgDvdMain>(nullptr, &drives);
    dlg->SetPreviewPanel(&preview);
    dlg->Create();
    ASSERT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
  }
  void TearDown() override { dlg->DestroyWindow(); }

  CCustomTreeChildCtrl& Tree() { return dlg->TitleTree()->Tree(); }
  QComboBox* Combo(int id) { return dlg->ItemAs<QComboBox>(id); }
  std::vector<std::string> ComboTexts(int id) {
    std::vector<std::string> texts;
    for (int i = 0; i < Combo(id)->count(); ++i) texts.push_back(Combo(id)->itemText(i).toStdString());
    return texts;
  }
  // Every row as "depth check title duration status", in tree order.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* row, int depth) {
      std::string text = std::to_string(depth) + " " + std::to_string(Tree().GetCheck(row));
      for (int c : {0, 1, 4}) text += " " + CColumnTreeCtrl::GetItemText(row, c).toStdString();
      rows.push_back(text);
      for (int i = 0; i < row->childCount(); ++i) walk(row->child(i), depth + 1);
    };
    for (int i = 0; i < Tree().topLevelItemCount(); ++i) walk(Tree().topLevelItem(i), 0);
    return rows;
  }
  QTreeWidgetItem* RowNamed(const std::string& title) {
    for (QTreeWidgetItem* row : Tree().findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive))
      if (CColumnTreeCtrl::GetItemText(row, 0).toStdString() == title) return row;
    return nullptr;
  }
  void LoadBasic() {
    REQUIRE_DVD_FIXTURES();
    ASSERT_TRUE(dlg->LoadDvdTitles(DvdFixture("basic"))) << dlg->LastLoadReport().message;
  }
  // Presses "Add DVD..." and, in the popup that opens, the item of that id
  // (0: none); the popup's item texts.
  std::vector<std::string> PressAddDvd(int chooseId) {
    std::vector<std::string> texts;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(WaitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }));
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      // It rises above the button.
      EXPECT_LE(menu->geometry().bottom(), dlg->Item(IDC_ADD_DVD)->mapToGlobal(QPoint(0, 0)).y());
      QAction* chosen = nullptr;
      for (QAction* a : menu->actions()) {
        texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        if (!a->isSeparator() && a->data().toInt() == chooseId) chosen = a;
      }
      if (chosen != nullptr) chosen->trigger();
      menu->close();
    });
    dlg->OnCommand(IDC_ADD_DVD, BN_CLICKED);
    return texts;
  }

  FakeDrives drives;
  FakePreview preview;
  std::unique_ptr<CDlgDvdMain> dlg;
  MessageBoxRecorder boxes;
  ShellScript shell;
};

const char* const kBasicRows[] = {
    "0 2 Title-01 00:00:06 Ready",         "1 2 Title-01-chap-01 00:00:02 Ready", "1 2 Title-01-chap-02 00:00:02 Ready",
    "1 2 Title-01-chap-03 00:00:02 Ready", "0 0 Title-02 00:00:04 Ready",         "1 0 Title-02-chap-01 00:00:02 Ready",
    "1 0 Title-02-chap-02 00:00:02 Ready", "0 0 Title-03 00:00:02 Ready",         "0 0 Title-04 00:00:03 Ready",
    "1 0 Title-04-chap-01 00:00:01 Ready", "1 0 Title-04-chap-02 00:00:02 Ready",
};

TEST_F(MainWindow, TheEmptyWindowBeforeADiscIsLoaded) {
  EXPECT_EQ(Tree().topLevelItemCount(), 0);
  for (int id : {IDC_AUDIO_TRACK, IDC_SUBTITLE_TRACK, IDC_DEINTERLACE}) EXPECT_FALSE(Combo(id)->isEnabled()) << id;
  EXPECT_EQ(ComboTexts(IDC_DEINTERLACE), (std::vector<std::string>{"No deinterlace", "Force deinterlace"}));
  // The profile line of the shipped defaults.
  EXPECT_EQ(dlg->ProfileName(), "V_10_MP4");
  EXPECT_EQ(dlg->ProfileIndex(), 1);
  EXPECT_EQ(ComboTexts(IDC_PROFILE), std::vector<std::string>{dlg->ProfileLine()});
  EXPECT_NE(dlg->ProfileLine().find("H.264"), std::string::npos) << dlg->ProfileLine();
  EXPECT_STREQ(dlg->CurrentSettings().muxer, "[FFM]MP4");
  // The output folder: the default one, handed to the task list.
  EXPECT_EQ(dlg->ItemText(IDC_OUTPUT_FOLDER).toStdString(), GetDefaultOutputDir());
  EXPECT_EQ(dlg->Tasks().OutputFolder(), GetDefaultOutputDir());
  EXPECT_EQ(dlg->MenuAction(ID_APP_ABOUT)->text(), QStringLiteral("&About Velmo DVD Converter..."));
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindow, LoadingADiscFillsTheTreeAndTheSelectionPanel) {
  LoadBasic();
  EXPECT_EQ(Rows(), (std::vector<std::string>(std::begin(kBasicRows), std::end(kBasicRows))));
  EXPECT_EQ(dlg->Tasks().size(), std::size(kBasicRows));
  // Every task has its row; the main title is selected and open.
  for (const auto& task : dlg->Tasks()) {
    QTreeWidgetItem* row = dlg->FindTaskRow(task.get());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(CDlgDvdMain::TaskOfRow(row), task.get());
    EXPECT_FALSE(CColumnTreeCtrl::GetItemText(row, 2).isEmpty());
  }
  QTreeWidgetItem* main = Tree().topLevelItem(0);
  EXPECT_EQ(Tree().currentItem(), main);
  EXPECT_TRUE(main->isExpanded());
  EXPECT_EQ(CDlgDvdMain::TaskOfRow(main)->displayName, DvdFixture("basic") + ",Title 01");
  ASSERT_FALSE(preview.shown.empty());
  EXPECT_EQ(preview.shown.back(), CDlgDvdMain::TaskOfRow(main));

  EXPECT_EQ(ComboTexts(IDC_AUDIO_TRACK),
            (std::vector<std::string>{"[0x80] English AC-3 2 ch", "[0xC0] Deutsch MP2 2 ch"}));
  EXPECT_EQ(Combo(IDC_AUDIO_TRACK)->currentIndex(), 0);
  EXPECT_EQ(ComboTexts(IDC_SUBTITLE_TRACK),
            (std::vector<std::string>{"No subtitle", "[0x20] English", "[0x21] Francais"}));
  EXPECT_EQ(Combo(IDC_SUBTITLE_TRACK)->currentIndex(), 0);
  for (int id : {IDC_AUDIO_TRACK, IDC_SUBTITLE_TRACK, IDC_DEINTERLACE}) EXPECT_TRUE(Combo(id)->isEnabled()) << id;
  EXPECT_EQ(Combo(IDC_DEINTERLACE)->currentIndex(), 0);

  // Title 3 has an LPCM and an AC-3 track.
  Tree().setCurrentItem(RowNamed("Title-03"));
  EXPECT_EQ(ComboTexts(IDC_AUDIO_TRACK),
            (std::vector<std::string>{"[0xA0] Francais DVD LPCM 2 ch", "[0x80] Espanol AC-3 2 ch"}));
  EXPECT_EQ(Combo(IDC_AUDIO_TRACK)->currentIndex(), 1);  // the lowest stream id is chosen
  Tree().setCurrentItem(main);

  // The picture: the frame round the tree, the band below it, checked and
  // unchecked boxes, texts in the rows and white below the last row.
  CColumnTreeCtrl& ct = *dlg->TitleTree();
  ct.Layout();
  QImage client = dlg->Client()->grab().toImage();
  SaveArtifact(client, "main_window_basic.png");
  const QRect tree = dlg->ItemRect(IDC_TITLE_TREE);
  for (QPoint p : {QPoint(tree.left() - 1, tree.top() - 1), QPoint(tree.right() + 1, tree.center().y()),
                   QPoint(tree.center().x(), tree.bottom() + 1), QPoint(tree.left() - 1, tree.bottom() + 29)})
    EXPECT_TRUE(Near(client.pixelColor(p), kFrame, 2)) << p.x() << "," << p.y();
  EXPECT_TRUE(Near(client.pixelColor(tree.right() - 20, tree.bottom() + 15), kBand, 2));
  EXPECT_FALSE(Near(client.pixelColor(tree.right() - 20, tree.bottom() + 32), kBand, 2));  // 30 pixels high

  const QPoint origin = tree.topLeft() + QPoint(0, ct.HeaderHeight());
  auto box = [&](QTreeWidgetItem* row) { return client.copy(Tree().StateIconRect(row).translated(origin)); };
  EXPECT_EQ(box(main), box(main->child(1)));
  EXPECT_NE(box(main), box(RowNamed("Title-02")));
  const int rowHeight = Tree().visualItemRect(main).height();
  const QColor window = SysColor(COLOR_WINDOW);
  for (int r = 0; r < 7; ++r) {  // "Ready" in the Status column of each shown row
    const QRect status(origin.x() + 420 + 6, origin.y() + r * rowHeight + 2, 50, rowHeight - 4);
    EXPECT_GT(CountOtherThan(client, status, window), 5) << r;
  }
  const QRect below(origin.x() + 30, origin.y() + 7 * rowHeight + 4, 300,
                    tree.bottom() - origin.y() - 7 * rowHeight - 8);
  EXPECT_EQ(CountOtherThan(client, below, window, 0), 0);
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindow, ADiscImageLoadsLikeItsFolderAndAReloadReplacesEveryTask) {
  LoadBasic();
  CTask* before = &dlg->Tasks()[0];
  ASSERT_TRUE(SetForcedDeinterlace(*before, true));
  ASSERT_TRUE(dlg->LoadDvdTitles(DvdFixture("basic.iso"))) << dlg->LastLoadReport().message;
  EXPECT_EQ(Rows(), (std::vector<std::string>(std::begin(kBasicRows), std::end(kBasicRows))));
  for (const auto& task : dlg->Tasks()) EXPECT_FALSE(HasForcedDeinterlace(*task));
}

TEST_F(MainWindow, TheDrivePopupListsTheDrivesAndLoadsTheChosenOne) {
  REQUIRE_DVD_FIXTURES();
  const std::string empty = FreshFolder("no-disc");
  drives.list = {{empty, "", "/dev/sr0"}, {DvdFixture("basic"), "FILM & MORE", "/dev/sr1"}};
  std::vector<MenuItem> items = dlg->DrivePopupItems();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(std::string(items[0].text), empty);
  EXPECT_EQ(items[0].id, ID_DRIVE_FIRST);
  EXPECT_EQ(std::string(items[1].text), DvdFixture("basic") + " FILM && MORE");
  EXPECT_EQ(items[1].id, ID_DRIVE_FIRST + 1);
  EXPECT_EQ(items[2].text, nullptr);  // separator
  EXPECT_EQ(std::string(items[3].text), "Import from DVD folder...");
  EXPECT_EQ(items[3].id, ID_IMPORT_FOLDER);

  std::vector<std::string> texts = PressAddDvd(ID_DRIVE_FIRST + 1);
  EXPECT_EQ(texts,
            (std::vector<std::string>{empty, DvdFixture("basic") + " FILM && MORE", "-", "Import from DVD folder..."}));
  EXPECT_EQ(Rows().size(), std::size(kBasicRows));
  EXPECT_TRUE(boxes.Shown().empty());

  // A drive without a disc: the tree empties, is drawn again, and the user is told.
  PressAddDvd(ID_DRIVE_FIRST);
  ASSERT_EQ(boxes.Texts(),
            std::vector<std::string>{"Please make sure you have inserted a DVD disk in your DVD ROM " + empty});
  EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes.Shown()[0].caption, "Velmo DVD Converter");
  EXPECT_EQ(Tree().topLevelItemCount(), 0);
  EXPECT_TRUE(dlg->Tasks().empty());
  EXPECT_TRUE(dlg->TitleTree()->updatesEnabled());
  EXPECT_FALSE(Combo(IDC_AUDIO_TRACK)->isEnabled());
  EXPECT_EQ(Combo(IDC_AUDIO_TRACK)->count(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait ended
  // Nothing chosen: nothing happens.
  PressAddDvd(0);
  EXPECT_EQ(boxes.Shown().size(), 1u);
}

TEST_F(MainWindow, WithoutDrivesThePopupOffersOnlyTheFolderImport) {
  std::vector<MenuItem> items = dlg->DrivePopupItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(std::string(items[0].text), "Import from DVD folder...");
  EXPECT_EQ(PressAddDvd(0), std::vector<std::string>{"Import from DVD folder..."});
  // A drive command with no such drive does nothing.
  EXPECT_TRUE(dlg->OnCommand(ID_DRIVE_FIRST + 3, 0));
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindow, FolderImportAndANonDvdFolder) {
  REQUIRE_DVD_FIXTURES();
  shell.ChooseFolder(DvdFixture("basic"));
  dlg->MenuAction(ID_FILE_ADD_DVD)->trigger();
  EXPECT_EQ(Rows().size(), std::size(kBasicRows));
  EXPECT_EQ(shell.FolderRequests(), std::vector<std::string>{""});  // no initial folder

  // A folder without a DVD structure: the Part's message, an empty tree that is drawn.
  const std::string notDvd = FreshFolder("holiday pictures");
  std::ofstream(notDvd + "/a.txt") << "x";
  shell.ChooseFolder(notDvd);
  PressAddDvd(ID_IMPORT_FOLDER);
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"Can not find valid DVD video structure in folder " + notDvd});
  EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_TRUE(dlg->Tasks().empty());
  EXPECT_TRUE(dlg->TitleTree()->updatesEnabled());
  EXPECT_EQ(Tree().currentItem(), nullptr);
  EXPECT_EQ(preview.shown.back(), nullptr);
  QImage client = dlg->Client()->grab().toImage();
  SaveArtifact(client, "main_window_after_failed_load.png");
  CColumnTreeCtrl& ct = *dlg->TitleTree();
  const QRect tree = dlg->ItemRect(IDC_TITLE_TREE);
  EXPECT_EQ(CountOtherThan(client, QRect(tree.left() + 2, tree.top() + ct.HeaderHeight() + 2, tree.width() - 24, 60),
                           SysColor(COLOR_WINDOW), 0),
            0);

  // A cancelled choice changes nothing.
  boxes.Clear();
  dlg->OnCommand(ID_IMPORT_FOLDER, 0);
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindow, DeleteWithAChapterSelectedDeletesItsWholeTitle) {
  LoadBasic();
  dlg->OnCommand(IDC_DELETE, BN_CLICKED);  // the main title is selected
  Tree().setCurrentItem(RowNamed("Title-02-chap-02"));
  std::vector<const CTask*> title2;
  QTreeWidgetItem* row2 = RowNamed("Title-02");
  title2.push_back(CDlgDvdMain::TaskOfRow(row2));
  for (int i = 0; i < row2->childCount(); ++i) title2.push_back(CDlgDvdMain::TaskOfRow(row2->child(i)));
  preview.removed.clear();
  dlg->MenuAction(IDC_DELETE)->trigger();
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{"0 0 Title-03 00:00:02 Ready", "0 0 Title-04 00:00:03 Ready",
                                      "1 0 Title-04-chap-01 00:00:01 Ready", "1 0 Title-04-chap-02 00:00:02 Ready"}));
  EXPECT_EQ(dlg->Tasks().size(), 4u);
  EXPECT_EQ(preview.removed, title2);
  for (const CTask* task : title2) EXPECT_EQ(dlg->FindTaskRow(task), nullptr);
  // The selection moved on to the next title, and the panel shows it.
  ASSERT_EQ(Tree().currentItem(), RowNamed("Title-03"));
  EXPECT_EQ(preview.shown.back(), CDlgDvdMain::TaskOfRow(Tree().currentItem()));
  EXPECT_TRUE(boxes.Shown().empty());

  // The last title: the one above is selected; then there is nothing to delete.
  Tree().setCurrentItem(RowNamed("Title-04-chap-01"));
  dlg->OnCommand(IDC_DELETE, BN_CLICKED);
  EXPECT_EQ(Tree().currentItem(), RowNamed("Title-03"));
  dlg->OnCommand(IDC_DELETE, BN_CLICKED);
  EXPECT_TRUE(dlg->Tasks().empty());
  EXPECT_FALSE(Combo(IDC_AUDIO_TRACK)->isEnabled());
  EXPECT_EQ(preview.shown.back(), nullptr);
  dlg->OnCommand(IDC_DELETE, BN_CLICKED);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select a item from the list."});
  EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
}

TEST_F(MainWindow, TrackAndDeinterlaceChoicesCoverTheTitleAndItsChapters) {
  LoadBasic();
  QTreeWidgetItem* title1 = Tree().topLevelItem(0);
  Tree().setCurrentItem(title1->child(1));
  auto tasksOf = [&](QTreeWidgetItem* title) {
    std::vector<CTask*> tasks{CDlgDvdMain::TaskOfRow(title)};
    for (int i = 0; i < title->childCount(); ++i) tasks.push_back(CDlgDvdMain::TaskOfRow(title->child(i)));
    return tasks;
  };
  // Tracks: 0 video, 1 and 2 audio, 3 and 4 subpictures.
  Combo(IDC_AUDIO_TRACK)->setCurrentIndex(1);
  emit Combo(IDC_AUDIO_TRACK)->activated(1);
  Combo(IDC_SUBTITLE_TRACK)->setCurrentIndex(2);
  dlg->OnCommand(IDC_SUBTITLE_TRACK, CBN_SELCHANGE);
  Combo(IDC_DEINTERLACE)->setCurrentIndex(1);
  dlg->OnCommand(IDC_DEINTERLACE, CBN_SELCHANGE);
  dlg->OnCommand(IDC_DEINTERLACE, CBN_SELCHANGE);  // twice: still one entry
  for (CTask* task : tasksOf(title1)) {
    const int32_t* chosen = task->sources.front()->chosen;
    EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 0, 1, 0, 1})) << task->title;
    ASSERT_GE(task->VideoFilters().size(), 2u);
    EXPECT_STREQ(task->VideoFilters()[0].key, "VDEINT");
    EXPECT_STREQ(task->VideoFilters()[1].key, "VLEVELS");
  }
  for (CTask* task : tasksOf(RowNamed("Title-02"))) {  // another title is left alone
    const int32_t* chosen = task->sources.front()->chosen;
    EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 1, 0, 0, 0}));
    EXPECT_FALSE(HasForcedDeinterlace(*task));
  }
  // The panel shows the choices again when the title comes back.
  Tree().setCurrentItem(RowNamed("Title-02"));
  EXPECT_EQ(Combo(IDC_DEINTERLACE)->currentIndex(), 0);
  Tree().setCurrentItem(title1);
  EXPECT_EQ(Combo(IDC_AUDIO_TRACK)->currentIndex(), 1);
  EXPECT_EQ(Combo(IDC_SUBTITLE_TRACK)->currentIndex(), 2);
  EXPECT_EQ(Combo(IDC_DEINTERLACE)->currentIndex(), 1);

  // "No subtitle" and "No deinterlace", chosen on the title row.
  Combo(IDC_SUBTITLE_TRACK)->setCurrentIndex(0);
  dlg->OnCommand(IDC_SUBTITLE_TRACK, CBN_SELCHANGE);
  Combo(IDC_DEINTERLACE)->setCurrentIndex(0);
  dlg->OnCommand(IDC_DEINTERLACE, CBN_SELCHANGE);
  for (CTask* task : tasksOf(title1)) {
    const int32_t* chosen = task->sources.front()->chosen;
    EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 0, 1, 0, 0})) << task->title;
    EXPECT_STREQ(task->VideoFilters()[0].key, "VLEVELS");
  }
}

TEST_F(MainWindow, TheOutputFolderIsChosenStoredAndOpened) {
  const std::string start = dlg->ItemText(IDC_OUTPUT_FOLDER).toStdString();
  // Longer than the settings file keeps: refused, nothing changes.
  const std::string deep = "/tmp/" + std::string(250, 'd');
  shell.ChooseFolder(deep);
  dlg->OnCommand(IDC_BROWSE_OUTPUT, BN_CLICKED);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "The output folder's path is too long: at most 250 bytes are kept.\n" + deep);
  EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_EQ(dlg->ItemText(IDC_OUTPUT_FOLDER).toStdString(), start);
  EXPECT_EQ(ReadIniString(SettingsFilePath(), "CONFIG", "CONVERTOUTPATH", "<none>"), "<none>");
  EXPECT_EQ(shell.FolderRequests(), std::vector<std::string>{start});  // starts at the shown folder

  const std::string out = FreshFolder("converted") + "/";
  shell.ChooseFolder(out);
  dlg->MenuAction(IDC_BROWSE_OUTPUT)->trigger();
  EXPECT_EQ(dlg->ItemText(IDC_OUTPUT_FOLDER).toStdString(), out);
  EXPECT_EQ(ReadIniString(SettingsFilePath(), "CONFIG", "CONVERTOUTPATH", ""), out);
  EXPECT_EQ(dlg->Tasks().OutputFolder(), out.substr(0, out.size() - 1));
  EXPECT_EQ(ReadConvertOutPath(), out);  // the next start shows it
  shell.CancelFolder();
  dlg->OnCommand(IDC_BROWSE_OUTPUT, BN_CLICKED);
  EXPECT_EQ(dlg->ItemText(IDC_OUTPUT_FOLDER).toStdString(), out);
  // The edit takes no more than the settings file keeps.
  EXPECT_EQ(dlg->ItemAs<QLineEdit>(IDC_OUTPUT_FOLDER)->maxLength(), 250);

  // "View" opens the folder, or says why it cannot.
  boxes.Clear();
  shell.OpenAnswer(ShellOpenResult::kOpened);
  shell.OpenAnswer(ShellOpenResult::kNotFound);
  shell.OpenAnswer(ShellOpenResult::kNoAssociation);
  for (int i = 0; i < 3; ++i) dlg->OnCommand(IDC_VIEW_OUTPUT, BN_CLICKED);
  EXPECT_EQ(shell.Opened(), (std::vector<std::string>{out, out, out}));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Can not find the folder.", "Can not open the folder."}));
  WriteIniString(SettingsFilePath(), "CONFIG", "CONVERTOUTPATH", "");
}

TEST_F(MainWindow, HelpIndexAndF1OpenTheUserGuideOrSayWhereItIs) {
  const std::string guide = ModulePath() + "/velmo.html";
  // Help > Index, then the F1 key as the user presses it.
  dlg->MenuAction(ID_HELP_INDEX)->trigger();
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  QTest::keyClick(dlg.get(), Qt::Key_F1);
  EXPECT_EQ(shell.Opened(), (std::vector<std::string>{guide, guide}));
  EXPECT_TRUE(boxes.Shown().empty());

  struct Case {
    ShellOpenResult answer;
    std::string message;
  } cases[] = {
      {ShellOpenResult::kNotFound, "The user guide is missing. It belongs in the program folder:\n" + guide},
      {ShellOpenResult::kNoAssociation,
       "Nothing on this desktop opens the user guide. Open it in a web browser:\n" + guide},
  };
  for (const Case& c : cases) {
    boxes.Clear();
    shell.OpenAnswer(c.answer);
    dlg->OnCommand(ID_HELP, 0);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, c.message);
    EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  }

  // The guide is staged beside the program and covers the program's uses.
  std::ifstream in(TRIVOX_STAGE_DIR "/velmo.html");
  ASSERT_TRUE(in) << "the user guide is not staged";
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* id : {"id=\"load\"", "id=\"profiles\"", "id=\"filters\"", "id=\"convert\"", "id=\"copy\""})
    EXPECT_NE(text.find(id), std::string::npos) << id;
}

TEST_F(MainWindow, TheProfileBoxOpensTheOutputFormatDialogAndTheChoiceReachesEveryTask) {
  LoadBasic();
  ASSERT_NE(dynamic_cast<CProfileCombo*>(Combo(IDC_PROFILE)), nullptr);
  EXPECT_TRUE(dlg->MenuAction(ID_OUTPUT_FORMAT)->isEnabled());
  const std::string lineBefore = dlg->ProfileLine();
  // The node's icon, from the user's folder.
  const std::string icon = GetUserDataDir() + "/tree/A_110_MP3/info.bmp";
  fs::create_directories(fs::path(icon).parent_path());
  QImage picture(16, 16, QImage::Format_RGB32);
  picture.fill(QColor(200, 0, 0));
  picture.setPixelColor(0, 0, QColor(255, 0, 255));
  ASSERT_TRUE(picture.save(QString::fromStdString(icon), "BMP"));

  // Cancel changes nothing.
  ModalScript script;
  script.Then([](UiDialog& ui) { ui.OnCommand(IDCANCEL, BN_CLICKED); });
  QTest::mouseClick(Combo(IDC_PROFILE), Qt::LeftButton);
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(dlg->ProfileLine(), lineBefore);

  // A click opens the dialog on the current profile; another node chosen there.
  std::string openedOn;
  script.Then([&](UiDialog& ui) {
    auto& format = static_cast<CDlgOutputFormat&>(ui);
    EXPECT_EQ(format.TemplateId(), IDD_OUTPUT_FORMAT);
    if (format.CurrentProfile() != nullptr)
      openedOn = format.CurrentNode()->folder + "/" + std::to_string(format.CurrentProfile()->number);
    format.NodeTree()->setCurrentItem(format.NodeItem("A_110_MP3"));
    format.OnCommand(IDOK, BN_CLICKED);
  });
  QTest::mouseClick(Combo(IDC_PROFILE), Qt::LeftButton);
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(openedOn, "V_10_MP4/1");
  const std::string line = "A_110_MP3/MP3 [44.1 kHZ 128 kb/s stereo MP3]";
  EXPECT_EQ(dlg->ProfileName(), "A_110_MP3");
  EXPECT_EQ(dlg->ProfileIndex(), 1);
  EXPECT_EQ(dlg->ProfileLine(), line);
  EXPECT_EQ(ComboTexts(IDC_PROFILE), std::vector<std::string>{line});
  EXPECT_STREQ(dlg->CurrentSettings().audioCodec, "[FFM]MP3");
  EXPECT_STREQ(dlg->CurrentSettings().videoCodec, "");
  // Saved as the defaults.
  std::string node, summary;
  int32_t number = 0;
  OutputSettings saved;
  ASSERT_EQ(LoadDefaultSettings(node, number, summary, saved), 1);
  EXPECT_EQ(node, "A_110_MP3");
  EXPECT_EQ(summary, line);
  EXPECT_STREQ(saved.muxer, dlg->CurrentSettings().muxer);
  // Every task takes the choice; its rows show the new estimates.
  ASSERT_GT(dlg->Tasks().size(), 0u);
  for (const auto& task : dlg->Tasks()) {
    EXPECT_EQ(task->outputExt, "mp3");
    EXPECT_STREQ(task->job.settings.audioCodec, "[FFM]MP3");
    EXPECT_STREQ(task->job.settings.videoCodec, "NONE");  // the job names no video coder
    QTreeWidgetItem* row = dlg->FindTaskRow(task.get());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(CColumnTreeCtrl::GetItemText(row, 2).toStdString(), task->GetEstimatedSizeText());
  }
  EXPECT_TRUE(boxes.Shown().empty()) << boxes.Texts().front();

  // The box draws the node's icon, then the text after the node's folder.
  const QImage image = Combo(IDC_PROFILE)->grab().toImage();
  SaveArtifact(image, "profile_box.png");
  int iconPixels = 0, magenta = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < 24 && x < image.width(); ++x) {
      iconPixels += Near(image.pixelColor(x, y), QColor(200, 0, 0), 10) ? 1 : 0;
      magenta += Near(image.pixelColor(x, y), QColor(255, 0, 255), 10) ? 1 : 0;
    }
  EXPECT_GE(iconPixels, 16 * 16 - 1 - 8);
  EXPECT_EQ(magenta, 0);
  EXPECT_EQ(CProfileCombo::TextOfLine(line), "MP3 [44.1 kHZ 128 kb/s stereo MP3]");
  EXPECT_EQ(CProfileCombo::NodeOfLine("no folder"), "");

  fs::remove(GetUserDataDir() + "/default_2_0_0_0.cfg");
  fs::remove_all(GetUserDataDir() + "/tree");
}

TEST_F(MainWindow, EveryCommandOfTheMenusAndButtonsIsEnabled) {
  LoadBasic();
  for (int id : {IDC_ADD_DVD, IDC_DELETE, ID_FILE_ADD_DVD, ID_FILE_EXIT, IDC_BROWSE_OUTPUT, IDC_VIEW_OUTPUT,
                 ID_HELP_INDEX, ID_LOG_WINDOW, IDC_SUBTITLE_FILTER, IDC_WATERMARK_FILTER, ID_MORE_VIDEO_FILTERS,
                 ID_MORE_AUDIO_FILTERS, IDC_EDIT_FILTERS, ID_TRIM, ID_OUTPUT_FILENAME, ID_METADATA, ID_APP_ABOUT}) {
    QAction* action = dlg->MenuAction(id);
    QWidget* item = dlg->Item(id);
    EXPECT_TRUE(action != nullptr || item != nullptr) << id;
    if (action != nullptr) {
      EXPECT_TRUE(action->isEnabled()) << id;
    }
    if (item != nullptr) {
      EXPECT_TRUE(item->isEnabled()) << id;
    }
  }
}

TEST_F(MainWindow, TheSubtitleCommandEditsTheSelectedTasksSubtitleEntry) {
  LoadBasic();
  ModalScript script;
  Tree().setCurrentItem(nullptr);
  dlg->OnCommand(IDC_SUBTITLE_FILTER, BN_CLICKED);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select a item from the list."});
  EXPECT_EQ(script.Unscripted(), 0);

  QTreeWidgetItem* row = RowNamed("Title-02");
  Tree().setCurrentItem(row);
  CTask* task = CDlgDvdMain::TaskOfRow(row);
  const size_t before = task->VideoFilters().size();
  auto subtitleText = [&]() -> std::string {
    for (const FilterEntry& f : task->VideoFilters())
      if (std::string(f.key) == "VSUBTITLE") return f.params;
    return "<none>";
  };
  script.Then([](UiDialog& d) { d.OnCommand(IDCANCEL, BN_CLICKED); });
  dlg->OnCommand(IDC_SUBTITLE_FILTER, BN_CLICKED);
  EXPECT_EQ(subtitleText(), "<none>");  // cancelled: the task keeps its filters
  EXPECT_EQ(task->VideoFilters().size(), before);

  script.Then([](UiDialog& d) {
    d.SetItemText(IDC_SUB_DELAY, "700");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(IDC_SUBTITLE_FILTER, BN_CLICKED);
  ASSERT_EQ(task->VideoFilters().size(), before + 1);
  EXPECT_EQ(task->VideoFilters().back().flags, 2);
  CParamList list;
  list.ParseText(subtitleText().c_str());
  EXPECT_EQ(list.GetInt("delay", 0), 700);

  // The next run opens on the entry's text and edits it in place.
  script.Then([](UiDialog& d) {
    EXPECT_EQ(d.ItemText(IDC_SUB_DELAY), "700");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(IDC_SUBTITLE_FILTER, BN_CLICKED);
  EXPECT_EQ(task->VideoFilters().size(), before + 1);
  EXPECT_EQ(script.Remaining(), 0u);
}

TEST_F(MainWindow, TheWatermarkCommandEditsTheSelectedTasksWatermarkEntry) {
  LoadBasic();
  QTreeWidgetItem* row = RowNamed("Title-02");
  Tree().setCurrentItem(row);
  CTask* task = CDlgDvdMain::TaskOfRow(row);
  const size_t before = task->VideoFilters().size();
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& w = static_cast<CDlgWatermark&>(d);
    EXPECT_EQ(w.FrameWidth(), task->outputVideo.width);
    EXPECT_EQ(w.FrameHeight(), task->outputVideo.height);
    d.OnCommand(1201, BN_CLICKED);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->OnCommand(IDC_WATERMARK_FILTER, BN_CLICKED);
  EXPECT_EQ(script.Remaining(), 0u);
  ASSERT_EQ(task->VideoFilters().size(), before + 1);
  EXPECT_EQ(std::string(task->VideoFilters().back().key), "VWATERMARK");
  EXPECT_EQ(task->VideoFilters().back().flags, 2);
  CParamList list;
  list.ParseText(task->VideoFilters().back().params.c_str());
  EXPECT_EQ(list.GetInt("ALIGN", 0), 1);
}

TEST_F(MainWindow, TheEditSheetOpensOnItsPageAndKeepsItsChangesOnlyOnOk) {
  LoadBasic();
  ModalScript script;
  Tree().setCurrentItem(nullptr);
  dlg->OnCommand(IDC_EDIT_FILTERS, BN_CLICKED);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select a item from the list."});
  EXPECT_EQ(script.Unscripted(), 0);

  QTreeWidgetItem* row = RowNamed("Title-02");
  Tree().setCurrentItem(row);
  CTask* task = CDlgDvdMain::TaskOfRow(row);
  const size_t before = task->VideoFilters().size();
  ASSERT_GT(before, 0u);
  struct Case {
    int command, page;
    bool ok;
  };
  for (const Case& c : {Case{IDC_EDIT_FILTERS, 0, true}, Case{ID_MORE_AUDIO_FILTERS, 2, true},
                        Case{ID_MORE_VIDEO_FILTERS, 1, false}, Case{ID_MORE_VIDEO_FILTERS, 1, true}}) {
    SCOPED_TRACE(c.command);
    script.Then([&](UiDialog& d) {
      auto& sheet = static_cast<CMyPropSheet&>(d);
      EXPECT_EQ(d.windowTitle().toStdString(), "Edit");
      ASSERT_EQ(sheet.GetPageCount(), 3);
      EXPECT_EQ(sheet.GetActiveIndex(), c.page);
      if (c.page == 1) {
        // The head entry moves down one place.
        auto* page = static_cast<CDlgFilter*>(sheet.GetPage(1));
        EXPECT_EQ(page->List()->GetItemCount(), int(before));
        page->List()->SelectRow(0);
        page->OnCommand(IDC_FILTER_DOWN, BN_CLICKED);
      }
      d.OnCommand(c.ok ? IDOK : IDCANCEL, BN_CLICKED);
    });
    const std::string first = task->VideoFilters()[0].key;
    dlg->OnCommand(c.command, BN_CLICKED);
    EXPECT_EQ(script.Remaining(), 0u);
    if (c.page == 1 && before > 1) {
      EXPECT_EQ(std::string(task->VideoFilters()[0].key) != first, c.ok) << "kept only on OK";
    }
  }
  EXPECT_EQ(task->VideoFilters().size(), before);
}

TEST_F(MainWindow, LogWindowShowsTheLinesReadSoFar) {
  TheLogLines().Clear();
  TheLogLines().Add("10:00:00.000", "first line");
  TheLogLines().Add("10:00:01.250", "second line");
  ASSERT_TRUE(dlg->MenuAction(ID_LOG_WINDOW)->isEnabled());
  int templateId = 0;
  std::vector<std::string> rows;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    templateId = d.TemplateId();
    auto& log = static_cast<CDlgLog&>(d);
    for (int r = 0; r < log.List()->RowCount(); ++r)
      rows.push_back((log.List()->Text(r, 0) + "|" + log.List()->Text(r, 1)).toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  dlg->MenuAction(ID_LOG_WINDOW)->trigger();
  EXPECT_EQ(0u, script.Remaining());
  EXPECT_EQ(IDD_LOG, templateId);
  EXPECT_EQ((std::vector<std::string>{"10:00:00.000|first line", "10:00:01.250|second line"}), rows);
  TheLogLines().Clear();
}

TEST(MainWindowModal, ExitEndsWithOkAndTheCloseBoxWithCancel) {
  FakeDrives drives;
  {
    CDlgDvdMain dlg(nullptr, &drives);
    ModalScript script;
    script.Then([](UiDialog& d) { d.MenuAction(ID_FILE_EXIT)->trigger(); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
  }
  CDlgDvdMain dlg(nullptr, &drives);
  ModalScript script;
  bool open = false;
  script.Then([&](UiDialog& d) {
    // Enter (in the output folder too) and Esc leave the window open.
    d.FocusItem(IDC_OUTPUT_FOLDER);
    QTest::keyClick(d.Item(IDC_OUTPUT_FOLDER), Qt::Key_Return);
    QTest::keyClick(&d, Qt::Key_Return);
    QTest::keyClick(&d, Qt::Key_Escape);
    open = d.InModalLoop() && d.isVisible();
    d.close();
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(open);
}

// ---- velmo --load-dvd --screenshot ----

struct VelmoRun {
  CommandRun run;
  std::vector<std::string> lines;  // the printed window, "row:", "audio:", ... lines
  QImage picture;
};

VelmoRun RunVelmo(const std::string& load, const std::string& picture) {
  const std::string home = FreshFolder("velmo-run");
  VelmoRun v;
  v.run = RunCommand("cd " + ShellQuote(home) + " && env HOME=" + ShellQuote(home) +
                     " XDG_DATA_HOME=" + ShellQuote(home + "/data") + " XDG_CONFIG_HOME=" + ShellQuote(home + "/cfg") +
                     " QT_QPA_PLATFORM=offscreen " + ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/velmo") +
                     " --load-dvd " + ShellQuote(load) + " --screenshot " + ShellQuote(picture) + " 2>&1");
  std::istringstream in(v.run.output);
  for (std::string line; std::getline(in, line);)
    for (const char* prefix : {"row:", "selected:", "audio:", "subtitle:", "velmo: message:"})
      if (line.rfind(prefix, 0) == 0) v.lines.push_back(line);
  v.picture.load(QString::fromStdString(picture));
  return v;
}

// The frame round the tree in a picture of the window: its outer rectangle.
QRect FindTreeFrame(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Near(image.pixelColor(x, y), kFrame, 2)) {
        int right = x, bottom = y;
        while (right + 1 < image.width() && Near(image.pixelColor(right + 1, y), kFrame, 2)) ++right;
        while (bottom + 1 < image.height() && Near(image.pixelColor(x, bottom + 1), kFrame, 2)) ++bottom;
        return QRect(QPoint(x, y), QPoint(right, bottom));
      }
  return QRect();
}

TEST(VelmoScreenshot, TheMainTitleCheckedWithItsChaptersReadyAndTheDiscsLanguages) {
  REQUIRE_DVD_FIXTURES();
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/velmo_load_dvd_basic.png";
  fs::remove(picture);
  VelmoRun v = RunVelmo(DvdFixture("basic"), picture);
  ASSERT_EQ(v.run.status, 0) << v.run.output;
  const std::vector<std::string> expected = {"row:[x]\tTitle-01\t00:00:06",
                                             "row:    [x]\tTitle-01-chap-01\t00:00:02",
                                             "row:    [x]\tTitle-01-chap-02\t00:00:02",
                                             "row:    [x]\tTitle-01-chap-03\t00:00:02",
                                             "row:[ ]\tTitle-02\t00:00:04",
                                             "row:    [ ]\tTitle-02-chap-01\t00:00:02",
                                             "row:    [ ]\tTitle-02-chap-02\t00:00:02",
                                             "row:[ ]\tTitle-03\t00:00:02",
                                             "row:[ ]\tTitle-04\t00:00:03",
                                             "row:    [ ]\tTitle-04-chap-01\t00:00:01",
                                             "row:    [ ]\tTitle-04-chap-02\t00:00:02"};
  ASSERT_GE(v.lines.size(), expected.size()) << v.run.output;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(v.lines[i].rfind(expected[i] + "\t", 0), 0u) << v.lines[i];
    EXPECT_EQ(v.lines[i].substr(v.lines[i].rfind('\t')), "\tReady") << v.lines[i];
  }
  const std::vector<std::string> panel(v.lines.begin() + static_cast<long>(expected.size()), v.lines.end());
  EXPECT_EQ(panel, (std::vector<std::string>{"selected:Title-01", "audio:*[0x80] English AC-3 2 ch",
                                             "audio: [0xC0] Deutsch MP2 2 ch", "subtitle:*No subtitle",
                                             "subtitle: [0x20] English", "subtitle: [0x21] Francais"}));

  // The picture: the framed tree with the band below, text in the first seven
  // rows (the main title open), white under them.
  ASSERT_FALSE(v.picture.isNull());
  // The frame and the band below it share their side edges.
  const QRect frame = FindTreeFrame(v.picture);
  ASSERT_GT(frame.width(), 300);
  ASSERT_GT(frame.height(), 200);
  const int treeBottom = frame.bottom() - 30;
  EXPECT_TRUE(Near(v.picture.pixelColor(frame.right(), frame.bottom()), kFrame, 2));
  EXPECT_TRUE(Near(v.picture.pixelColor(frame.right(), treeBottom), kFrame, 2));
  EXPECT_TRUE(Near(v.picture.pixelColor(frame.right() - 20, treeBottom + 15), kBand, 2));
  const QColor white(Qt::white);
  EXPECT_GT(CountOtherThan(v.picture, QRect(frame.left() + 40, frame.top() + 20, 100, 120), white), 200);
  EXPECT_EQ(CountOtherThan(v.picture, QRect(frame.left() + 30, frame.top() + 170, 300, treeBottom - frame.top() - 172),
                           white, 0),
            0);
}

TEST(VelmoScreenshot, AFolderWithoutADvdGivesTheMessageAnEmptyTreeAndStatusOne) {
  const std::string folder = FreshFolder("not a dvd");
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/velmo_load_not_dvd.png";
  VelmoRun v = RunVelmo(folder, picture);
  EXPECT_EQ(v.run.status, 1) << v.run.output;
  EXPECT_NE(std::find(v.lines.begin(), v.lines.end(),
                      "velmo: message: Can not find valid DVD video structure in folder " + folder),
            v.lines.end())
      << v.run.output;
  ASSERT_FALSE(v.picture.isNull());
  const QRect frame = FindTreeFrame(v.picture);
  ASSERT_GT(frame.height(), 200);
  // The empty tree: its picture (bitmap 212) at the top-left under the
  // header, white around it.
  const QImage empty(TRIVOX_STAGE_DIR "/resource/bitmap/212.png");
  ASSERT_FALSE(empty.isNull());
  QPoint at;
  int best = -1, inked = 0;
  for (int oy = frame.top(); oy <= frame.top() + 40; ++oy)
    for (int ox = frame.left(); ox <= frame.left() + 4; ++ox) {
      int n = 0, m = 0;
      for (int y = 0; y < empty.height(); y += 2)
        for (int x = 0; x < empty.width(); x += 2) {
          if (empty.pixelColor(x, y) == Qt::white) continue;
          ++n;
          if (Near(v.picture.pixelColor(ox + x, oy + y), empty.pixelColor(x, y), 2)) ++m;
        }
      inked = n;
      if (m > best) best = m, at = QPoint(ox, oy);
    }
  EXPECT_GT(inked, 100);
  EXPECT_GE(best * 10, inked * 9);
  const QColor white(Qt::white);
  const int treeBottom = frame.bottom() - 30;
  EXPECT_EQ(
      CountOtherThan(v.picture,
                     QRect(frame.left() + 10, at.y() + empty.height(), 300, treeBottom - at.y() - empty.height() - 2),
                     white, 0),
      0);
  EXPECT_EQ(
      CountOtherThan(v.picture,
                     QRect(at.x() + empty.width(), at.y(), frame.right() - 2 - at.x() - empty.width(), empty.height()),
                     white, 0),
      0);
}

}  // namespace
