// The dialogs around a run: the frame-rate list of copied video with its
// custom rate, the filter picker and the completion dialog.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <cmath>

#include "frontend/dialogs/dlg_convert_done.h"
#include "frontend/dialogs/dlg_filter_list.h"
#include "frontend/dialogs/dlg_frame_rate.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/shell.h"
#include "qt_test_util.h"

namespace {

std::unique_ptr<CTask> RateTask(const std::string& path, double rate) {
  auto task = std::make_unique<CTask>();
  auto source = std::make_unique<MediaInfo>();
  source->path = path;
  task->sources.push_back(std::move(source));
  task->sourceVideo.frameRate = rate;
  return task;
}

std::vector<std::string> ComboTexts(QComboBox* combo) {
  std::vector<std::string> texts;
  for (int i = 0; i < combo->count(); ++i) texts.push_back(combo->itemText(i).toStdString());
  return texts;
}

// Picks an entry of the rate list as the user does.
void ChooseRate(CDlgFrameRateList& dlg, int index) {
  dlg.ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE)->setCurrentIndex(index);
  dlg.OnCommand(IDC_FRAME_RATE_CHOICE, CBN_SELCHANGE);
}

// The custom rate dialog answers with text; it stays open on a bad one.
std::function<void(UiDialog&)> TypeRate(const QString& text, MessageBoxRecorder* boxes = nullptr,
                                        bool expectRefusal = false) {
  return [=](UiDialog& d) {
    EXPECT_EQ(IDD_CUSTOM_FRAME_RATE, d.TemplateId());
    EXPECT_EQ("29.97", d.ItemText(IDC_CUSTOM_FRAME_RATE).toStdString());
    d.SetItemText(IDC_CUSTOM_FRAME_RATE, text);
    const size_t before = boxes ? boxes->Shown().size() : 0;
    d.OnCommand(IDOK, BN_CLICKED);
    if (expectRefusal) {
      ASSERT_TRUE(boxes);
      EXPECT_EQ(0, static_cast<CDlgCustomFrameRate&>(d).rate);
      ASSERT_EQ(before + 1, boxes->Shown().size());
      EXPECT_EQ(kFrameRateRangeMessage, boxes->Shown().back().text);
      EXPECT_EQ(unsigned(MB_OK), boxes->Shown().back().flags);
      d.EndDialog(IDCANCEL);
    }
  };
}

TEST(FrameRateList, RowsRatesCustomEntriesAndForcingOnOk) {
  auto zero = RateTask("/media/zero.mkv", 0), fifty = RateTask("/media/fifty.mkv", 50),
       film = RateTask("/media/film.mkv", 23.98);
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgFrameRateList&>(d);
    QTreeWidget* rows = dlg.TaskRows();
    ASSERT_EQ(3, rows->topLevelItemCount());
    EXPECT_EQ("/media/zero.mkv", rows->topLevelItem(0)->text(0).toStdString());
    EXPECT_EQ("0fps", rows->topLevelItem(0)->text(1).toStdString());
    EXPECT_EQ("50fps", rows->topLevelItem(1)->text(1).toStdString());
    // Row 0 is selected: a source without a rate starts forced at 23.976.
    EXPECT_EQ(zero.get(), dlg.CurrentTask());
    EXPECT_EQ("/media/zero.mkv", dlg.ItemText(IDC_FRAME_RATE_FILE).toStdString());
    auto* rates = dlg.ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE);
    EXPECT_EQ((std::vector<std::string>{"15", "23.976", "24", "25", "29.97", "30", "Custom..."}), ComboTexts(rates));
    EXPECT_EQ(1, rates->currentIndex());
    EXPECT_EQ(1, zero->job.frameRate.enabled);

    // 50 is offered after the standard rates; 23.98 adds nothing.
    rows->setCurrentItem(rows->topLevelItem(1));
    EXPECT_EQ(fifty.get(), dlg.CurrentTask());
    EXPECT_EQ("50", ComboTexts(rates)[6]);
    EXPECT_EQ(6, rates->currentIndex());
    rows->setCurrentItem(rows->topLevelItem(2));
    EXPECT_EQ(7, rates->count());
    EXPECT_EQ(1, rates->currentIndex());

    // A standard rate chosen: the record and the row follow.
    rows->setCurrentItem(rows->topLevelItem(1));
    ChooseRate(dlg, 3);
    EXPECT_EQ(1, fifty->job.frameRate.numerator);
    EXPECT_EQ(25, fifty->job.frameRate.denominator);
    EXPECT_EQ("25fps", rows->topLevelItem(1)->text(1).toStdString());

    // Custom 12.5 goes in before "Custom..." and is chosen; a cancelled
    // custom rate puts the selection back.
    script.Then(TypeRate("12.5"));
    ChooseRate(dlg, 7);
    EXPECT_EQ((std::vector<std::string>{"15", "23.976", "24", "25", "29.97", "30", "50", "12.5", "Custom..."}),
              ComboTexts(rates));
    EXPECT_EQ(7, rates->currentIndex());
    EXPECT_EQ("12.5fps", rows->topLevelItem(1)->text(1).toStdString());
    EXPECT_NEAR(12.5, static_cast<double>(fifty->job.frameRate.denominator) / fifty->job.frameRate.numerator, 0.01);
    script.Then(TypeRate("0.5", &boxes, true));
    ChooseRate(dlg, 8);
    EXPECT_EQ(7, rates->currentIndex());
    // A custom rate equal to an offered one selects it.
    script.Then(TypeRate("24.001"));
    ChooseRate(dlg, 8);
    EXPECT_EQ(2, rates->currentIndex());
    EXPECT_EQ(9, rates->count());
    ChooseRate(dlg, 7);  // back to 12.5
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgFrameRateList dlg;
  dlg.SetTaskList({zero.get(), fifty.get(), film.get()});
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(0, script.Unscripted());
  EXPECT_EQ(1, zero->job.frameRate.enabled);
  EXPECT_EQ(1, fifty->job.frameRate.enabled);  // read at 12.5, not 50
  EXPECT_EQ(0, film->job.frameRate.enabled);   // 23.98 read at 23.976
}

TEST(FrameRateList, AnEmptyListDisablesTheRatesAndCancelLeavesRecordsUnforced) {
  ModalScript script;
  script.Then([](UiDialog& d) {
    EXPECT_FALSE(d.Item(IDC_FRAME_RATE_CHOICE)->isEnabled());
    EXPECT_EQ(0, d.ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE)->count());
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgFrameRateList empty;
  EXPECT_EQ(IDCANCEL, empty.DoModal());

  auto task = RateTask("/media/a.mkv", 25);
  script.Then([&](UiDialog& d) {
    ChooseRate(static_cast<CDlgFrameRateList&>(d), 0);  // 15
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgFrameRateList dlg;
  dlg.SetTaskList({task.get()});
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(0, task->job.frameRate.enabled);
  EXPECT_EQ(15, task->job.frameRate.denominator);
}

TEST(CustomFrameRate, BoundsOfTheRate) {
  MessageBoxRecorder boxes;
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {{"1", true}, {"120", true}, {"12.5", true}, {"0.5", false}, {"121", false}, {"abc", false}, {"", false}};
  for (const auto& c : cases) {
    ModalScript script;
    script.Then(TypeRate(c.text, &boxes, !c.accepted));
    CDlgCustomFrameRate dlg;
    EXPECT_EQ(c.accepted ? IDOK : IDCANCEL, dlg.DoModal()) << c.text;
    if (c.accepted) {
      EXPECT_DOUBLE_EQ(std::atof(c.text), dlg.rate);
    }
  }
}

TEST(FilterPicker, ListsNamesShowsTheTipAndNeedsASelection) {
  std::vector<FilterDesc> catalogue(2);
  catalogue[0].name = "VRESIZE";
  catalogue[0].displayName = "Resize";
  catalogue[0].tip = "Changes the picture size.";
  catalogue[1].name = "VTWEAK";
  catalogue[1].displayName = "Tweak";
  catalogue[1].tip = "Brightness and contrast.";
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto* list = d.ItemAs<QListWidget>(IDC_FILTER_LIST);
    ASSERT_EQ(2, list->count());
    EXPECT_EQ("Resize", list->item(0)->text().toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
    EXPECT_TRUE(d.InModalLoop());
    EXPECT_EQ(std::vector<std::string>{kSelectFilterMessage}, boxes.Texts());
    EXPECT_EQ(unsigned(MB_ICONEXCLAMATION), boxes.Shown()[0].flags);
    list->setCurrentRow(1);
    EXPECT_EQ("Brightness and contrast.", d.ItemText(IDC_FILTER_DESCRIPTION).toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgFilterList dlg;
  dlg.SetCatalogue(&catalogue);
  ASSERT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(&catalogue[1], dlg.Chosen());

  script.Then([](UiDialog& d) {
    auto* list = d.ItemAs<QListWidget>(IDC_FILTER_LIST);
    list->setCurrentRow(0);  // a double click selects the row first
    emit list->itemDoubleClicked(list->item(0));
    if (static_cast<CDlgFilterList&>(d).Chosen() == nullptr) d.EndDialog(IDCANCEL);
  });
  CDlgFilterList again;
  again.SetCatalogue(&catalogue);
  ASSERT_EQ(IDOK, again.DoModal());
  EXPECT_EQ(&catalogue[0], again.Chosen());
}

std::vector<std::pair<std::string, std::string>> DoneRows(CDlgConvertDone& dlg) {
  std::vector<std::pair<std::string, std::string>> rows;
  QTreeWidget* tree = dlg.ResultRows();
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    rows.emplace_back(tree->topLevelItem(i)->text(0).toStdString(), tree->topLevelItem(i)->text(1).toStdString());
  return rows;
}

TEST(CompletionDialog, RowsOfDoneMergedAndFailedTasksCaptionsAndOpenFolder) {
  std::vector<ConvertResult> results = {
      {"Title 01", "Title-01.mp4", 0, 1, 0, 0}, {"Title 02", "Title-02.mp4", 0, 1, 0, 0}, {"Title 03", "", 0, 0, 0, 0}};
  const struct {
    bool merged;
    TransferKind kind;
    std::vector<std::pair<std::string, std::string>> rows;
    std::string caption;
    const char* picture;
  } cases[] = {
      {false,
       TransferKind::kFolderCopy,
       {{"Title 01", "Title-01.mp4"}, {"Title 02", "Title-02.mp4"}, {"Title 03", "Conversion failed or cancelled"}},
       "Copy to...",
       "convert_done.png"},
      {true,
       TransferKind::kPsp,
       {{"Title 01", "Title-01.mp4"},
        {"Title 02", "Merged to first output"},
        {"Title 03", "Conversion failed or cancelled"}},
       "Transfer to PSP...",
       nullptr},
      {false, TransferKind::kDvd, {}, "Burn to DVD...", nullptr},
      {false, TransferKind::kSvcd, {}, "Burn to SVCD...", nullptr},
      {false, TransferKind::kVcd, {}, "Burn to VCD...", nullptr},
      {false, TransferKind::kItunes, {}, "Transfer to iTunes...", nullptr},
  };
  for (const auto& c : cases) {
    ModalScript script;
    script.Then([&](UiDialog& d) {
      auto& dlg = static_cast<CDlgConvertDone&>(d);
      if (!c.rows.empty()) {
        EXPECT_EQ(c.rows, DoneRows(dlg));
      }
      EXPECT_EQ(c.caption, d.ItemText(IDC_DONE_COPY).toStdString());
      EXPECT_EQ("Information", d.windowTitle().toStdString());
      if (c.picture) {
        const QImage shot = d.grab().toImage();
        SaveArtifact(shot, c.picture);
        // The information icon's blue in its corner; text drawn in the list.
        const QRect icon = d.ItemRect(IDC_DONE_ICON).translated(d.Client()->mapTo(&d, QPoint(0, 0)));
        EXPECT_GT(CountOtherThan(shot, icon, d.palette().color(QPalette::Window)), 20);
        const QRect list = d.ItemRect(IDC_DONE_RESULTS).translated(d.Client()->mapTo(&d, QPoint(0, 0)));
        EXPECT_GT(CountOtherThan(shot, list.adjusted(4, 24, -4, -4), QColor(Qt::white)), 50);
      }
      d.OnCommand(IDOK, BN_CLICKED);
    });
    CDlgConvertDone dlg;
    dlg.SetResults(&results, TransferChoice{c.kind, 0, 0, false}, "/nowhere/out", c.merged);
    EXPECT_EQ(IDOK, dlg.DoModal());
  }

  // "Open folder...": the shell opens the output folder; a missing one is said.
  ShellScript shell;
  shell.OpenAnswer(ShellOpenResult::kNotFound);
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([](UiDialog& d) {
    d.OnCommand(IDC_DONE_OPEN_FOLDER, BN_CLICKED);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgConvertDone dlg;
  dlg.SetResults(&results, TransferChoice{}, "/nowhere/out", false);
  dlg.DoModal();
  ASSERT_EQ(1u, shell.Opened().size());
  EXPECT_EQ("/nowhere/out", shell.Opened()[0]);
  EXPECT_EQ(std::vector<std::string>{"Can not find the folder."}, boxes.Texts());
}

}  // namespace
