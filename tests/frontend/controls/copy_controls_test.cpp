// The skinned progress bar and the folder check tree.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <filesystem>

#include "frontend/controls/folder_check_tree.h"
#include "frontend/controls/skin_progress.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/shell.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

// ---- skinned progress bar ----

int Total(const std::vector<GradientEntry>& entries) {
  int n = 0;
  for (const GradientEntry& e : entries) n += e.width;
  return n;
}

TEST(SkinProgressBands, BandArithmetic) {
  CGradient g;
  // Black to 0x000004 over 8 pixels: the red channel differs by 4, so 4 bands of 2.
  std::vector<GradientEntry> bands = g.MakeBand(0x000000, 0x000004, 8, 0, 8, 0);
  EXPECT_EQ((std::vector<GradientEntry>{{0, 2}, {1, 2}, {2, 2}, {3, 2}}), bands);
  // Clipped to [3, 7): the band that reaches 7 ends the work.
  bands = g.MakeBand(0x000000, 0x000004, 8, 3, 7, 0);
  EXPECT_EQ((std::vector<GradientEntry>{{1, 1}, {2, 2}, {3, 1}}), bands);
  // The limit and the length cap the band count; at least one band.
  EXPECT_EQ(2u, g.MakeBand(0x000000, 0x0000FF, 100, 0, 100, 2).size());
  EXPECT_EQ(5u, g.MakeBand(0x000000, 0xFF0000, 5, 0, 5, 0).size());
  EXPECT_EQ((std::vector<GradientEntry>{{0x123456, 9}}), g.MakeBand(0x123456, 0x123456, 9, 0, 9, 0));
  // Per channel: blue falls while green rises.
  bands = g.MakeBand(0xFF0000, 0x00FF00, 255, 0, 255, 0);
  ASSERT_EQ(255u, bands.size());
  EXPECT_EQ(0xFF0000u, bands[0].colour);
  EXPECT_EQ(0x01FE00u, bands[254].colour);

  // Two segments with equal shares: the first ends at half the length.
  g.SetColors({0x000000, 0x000002, 0x000000});
  ASSERT_EQ((std::vector<double>{50.0, 50.0}), g.Shares());
  bands = g.MakeSegments(8, 0, 8, 0);
  EXPECT_EQ((std::vector<GradientEntry>{{0, 2}, {1, 2}, {2, 2}, {1, 2}}), bands);
  EXPECT_EQ(8, Total(bands));
  // A shift rotates the trailing pixels to the front.
  bands = g.MakeEntries(3, 8, 0, 8, 0);
  EXPECT_EQ((std::vector<GradientEntry>{{2, 1}, {1, 2}, {0, 2}, {1, 2}, {2, 1}}), bands);
  EXPECT_EQ(bands, g.MakeEntries(3 + 8 * 5, 8, 0, 8, 0));
  EXPECT_EQ(g.MakeEntries(0, 8, 2, 6, 0), g.MakeSegments(8, 2, 6, 0));
  EXPECT_EQ(4, Total(g.MakeEntries(5, 8, 2, 6, 0)));
  g.SetColors({0x0000FF});
  EXPECT_EQ((std::vector<GradientEntry>{{0x0000FF, 6}}), g.MakeEntries(3, 8, 2, 8, 0));
}

TEST(SkinProgressBands, PositionsStepsTextAndMovingBlock) {
  CProgressPainter p;
  EXPECT_EQ(0xF0u, p.GetStyle());
  p.SetRange(50, 10);
  EXPECT_EQ(10, p.Lower());
  EXPECT_EQ(50, p.Upper());
  EXPECT_EQ(10, p.GetPos());  // clamped into the new range
  EXPECT_EQ(10, p.SetPos(30));
  EXPECT_EQ(30, p.SetPos(500));
  EXPECT_EQ(50, p.GetPos());
  EXPECT_EQ(10, p.SetStep(-15));
  EXPECT_EQ(50, p.StepIt());
  EXPECT_EQ(35, p.GetPos());
  EXPECT_EQ(35, p.OffsetPos(-100));
  EXPECT_EQ(10, p.GetPos());

  p.SetRange(0, 200);
  p.SetPos(50);
  p.SetText("Done %d%% here", kProgressShowPercent);
  EXPECT_EQ(kProgressShowPercent, p.GetStyle() & 0x300);
  EXPECT_EQ("Done 25% here", p.FormatText());
  p.SetText("at %d of %s", kProgressShowPosition);
  EXPECT_EQ("at 50 of %s", p.FormatText());  // only %d is filled
  p.SetText("plain", 0);
  EXPECT_EQ("", p.Label());
  EXPECT_EQ(0u, p.GetStyle() & 0x300);
  p.SetText("", kProgressShowPercent);
  EXPECT_EQ(0u, p.GetStyle() & 0x300);

  // Bar spans: outside the range nothing is drawn; an empty range draws nothing.
  p.SetRange(0, 100);
  p.SetPos(40);
  EXPECT_EQ(std::make_pair(0, 80), *p.BarSpan(200));

  // Moving block: a block of 40 walks forward and turns round past the end.
  CProgressPainter m;
  m.ModifyStyle(0, kProgressMovingBlock);
  m.SetPos(60);
  EXPECT_EQ(20, m.BlockStart());
  EXPECT_EQ(60, m.GetPos());
  m.SetStep(30);
  m.StepIt();  // 90
  EXPECT_EQ(50, m.BlockStart());
  m.StepIt();  // 120: the position stays at the top, the block goes on
  EXPECT_EQ(100, m.GetPos());
  EXPECT_EQ(80, m.BlockStart());
  EXPECT_EQ(0u, m.GetStyle() & kProgressReverse);
  m.StepIt();  // base 80 + 40 = 120, + 30 = 150 > 140: turns
  EXPECT_TRUE(m.GetStyle() & kProgressReverse);
  EXPECT_EQ(10, m.GetPos());  // min(140, 150 + 0 - 40 - 100)
  EXPECT_EQ(0, m.BlockStart());
}

TEST(SkinProgressBands, ProgressMessages) {
  CSkinProgressCtrl bar;
  EXPECT_EQ((100 << 16) | 0, bar.SendProgressMessage(PBM_SETRANGE, 0, (200 << 16) | 20));
  EXPECT_EQ(20, bar.SendProgressMessage(PBM_GETRANGE, 1, 0));
  EXPECT_EQ(200, bar.SendProgressMessage(PBM_GETRANGE, 0, 0));
  EXPECT_EQ(20, bar.SendProgressMessage(PBM_SETPOS, 70, 0));
  EXPECT_EQ(70, bar.SendProgressMessage(PBM_DELTAPOS, 5, 0));
  EXPECT_EQ(75, bar.SendProgressMessage(PBM_GETPOS, 0, 0));
  EXPECT_EQ((200 << 16) | 20, bar.SendProgressMessage(PBM_SETRANGE32, 0, 1000));
  EXPECT_EQ(10, bar.SendProgressMessage(PBM_SETSTEP, 25, 0));
  EXPECT_EQ(75, bar.SendProgressMessage(PBM_STEPIT, 0, 0));
  EXPECT_EQ(100, bar.GetPos());
  EXPECT_EQ(static_cast<intptr_t>(0xFF000000u), bar.SendProgressMessage(PBM_SETBARCOLOR, 0, 0x0000FF));
  EXPECT_EQ((std::vector<uint32_t>{0x0000FF, 0x0000FF}), bar.Colors());
  bar.SendProgressMessage(PBM_SETBARCOLOR, 0x00FF00, 0x0000FF);
  EXPECT_EQ((std::vector<uint32_t>{0x0000FF, 0x00FF00}), bar.Colors());
  bar.SendProgressMessage(PBM_SETBKCOLOR, 0, 0x123456);
  EXPECT_EQ(0x123456, bar.BackgroundColour());
  // The animation timer wraps at the range times the scale.
  bar.SetAnimationStep(600);
  bar.OnTimerId(12);
  bar.OnTimerId(12);
  EXPECT_EQ(200, bar.AnimationOffset());
}

// A 200 x 20 bar half full of solid red on white, its label white on the bar and black beside
// it, in a bold 16-pixel font.
void SetUpHalfRedBar(CSkinProgressCtrl& bar) {
  bar.resize(200, 20);
  bar.SetColors({0x0000FF, 0x0000FF});  // solid red
  bar.SetBackgroundColour(0xFFFFFF);
  bar.SetTextColours(0xFFFFFF, 0x000000);  // white on the bar, black elsewhere
  QFont font = QApplication::font();
  font.setPixelSize(16);
  font.setBold(true);
  bar.setFont(font);
  bar.SetRange(0, 100);
  bar.SetPos(50);
}

TEST(SkinProgressDrawing, GradientBarAndLabelColourFlip) {
  CSkinProgressCtrl bar;
  SetUpHalfRedBar(bar);
  bar.SetText("MMMMMMMMMM", kProgressShowPercent);
  const QImage shot = bar.grab().toImage();
  SaveArtifact(shot, "skin_progress_half.png");
  // Bar left of 100, white right of it.
  EXPECT_TRUE(Near(shot.pixelColor(3, 2), QColor(255, 0, 0)));
  EXPECT_TRUE(Near(shot.pixelColor(196, 2), QColor(255, 255, 255)));
  // The label runs across the edge: white letters on the bar, black ones beside it.
  const QRect left(20, 2, 78, 16), right(102, 2, 78, 16);
  int whiteOnBar = 0, blackOffBar = 0, blackOnBar = 0;
  for (int y = left.top(); y <= left.bottom(); ++y) {
    for (int x = left.left(); x <= left.right(); ++x) {
      if (Near(shot.pixelColor(x, y), Qt::white, 40)) ++whiteOnBar;
      if (Near(shot.pixelColor(x, y), Qt::black, 40)) ++blackOnBar;
    }
    for (int x = right.left(); x <= right.right(); ++x)
      if (Near(shot.pixelColor(x, y), Qt::black, 40)) ++blackOffBar;
  }
  EXPECT_GT(whiteOnBar, 30);
  EXPECT_GT(blackOffBar, 30);
  EXPECT_EQ(0, blackOnBar);

  // Position 0: nothing of the bar; reversed: the bar grows from the right.
  bar.SetText("", 0);
  bar.ModifyStyle(0, kProgressReverse);
  const QImage reversed = bar.grab().toImage();
  EXPECT_TRUE(Near(reversed.pixelColor(196, 10), QColor(255, 0, 0)));
  EXPECT_TRUE(Near(reversed.pixelColor(3, 10), QColor(255, 255, 255)));
  bar.SetPos(0);
  const QImage empty = bar.grab().toImage();
  EXPECT_EQ(0, CountOtherThan(empty, empty.rect(), Qt::white, 8));
}

TEST(SkinProgressDrawing, TheLabelShowsOnlyWithAModeAndAnEmptyOneShowsTheValue) {
  const struct {
    uint32_t mode;
    const char* label;
    const char* want;
  } cases[] = {
      {kProgressShowPercent, "", "25%"},
      {kProgressShowPosition, "", "50"},
      {kProgressShowPercent, "Done %d%% here", "Done 25% here"},
      {0, "plain", ""},
      {0, "", ""},
  };
  for (const auto& c : cases) {
    CProgressPainter p;
    p.SetRange(0, 200);
    p.SetPos(50);
    p.ModifyStyle(0x300, c.mode);
    p.SetLabel(c.label);
    EXPECT_EQ(c.want, p.FormatText()) << c.mode << " " << c.label;
  }
  // The caption's colours: its gradient under the bar, its text colour over it.
  CProgressPainter p;
  EXPECT_EQ((std::vector<uint32_t>{ToColorRef(SysColor(COLOR_ACTIVECAPTION)),
                                   ToColorRef(SysColor(COLOR_GRADIENTACTIVECAPTION))}),
            p.Colors());
  EXPECT_EQ(ToColorRef(SysColor(COLOR_CAPTIONTEXT)), p.TextOnBar());
  EXPECT_EQ(ToColorRef(SysColor(COLOR_BTNTEXT)), p.TextOnBackground());
}

TEST(SkinProgressDrawing, AnEmptyLabelDrawsThePercentageAndALabelOnTheBarStaysInIt) {
  CSkinProgressCtrl bar;
  SetUpHalfRedBar(bar);

  // Style 0x100 with no label draws the value and a percent sign, centred
  // over the whole control: white where the bar is, black beside it.
  bar.ModifyStyle(0, kProgressShowPercent);
  const QImage empty = bar.grab().toImage();
  SaveArtifact(empty, "skin_progress_empty_label.png");
  bar.SetText("%d%%", kProgressShowPercent);
  EXPECT_EQ(empty, bar.grab().toImage());
  bar.SetText("50%", kProgressShowPercent);
  EXPECT_EQ(empty, bar.grab().toImage());
  int whiteOnBar = 0, blackBeside = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 200; ++x) {
      if (x < 100 && Near(empty.pixelColor(x, y), Qt::white, 40)) ++whiteOnBar;
      if (x >= 100 && Near(empty.pixelColor(x, y), Qt::black, 40)) ++blackBeside;
    }
  EXPECT_GT(whiteOnBar, 10);
  EXPECT_GT(blackBeside, 10);

  // Style 0x1000: centred on the bar, drawn once in the over-bar colour.
  bar.SetPos(60);
  bar.SetText("MMM", kProgressShowPercent);
  bar.ModifyStyle(0, kProgressTextOnBar);
  const QImage onBar = bar.grab().toImage();
  SaveArtifact(onBar, "skin_progress_text_on_bar.png");
  int white = 0, black = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 200; ++x) {
      const QColor c = onBar.pixelColor(x, y);
      if (x < 120 && Near(c, Qt::white, 40)) ++white;
      if (Near(c, Qt::black, 40)) ++black;
    }
  EXPECT_GT(white, 30);
  EXPECT_EQ(0, black) << "no text in the over-background colour";
  EXPECT_EQ(0, CountOtherThan(onBar, QRect(120, 0, 80, 20), Qt::white, 8)) << "nothing beside the bar";
  // Centred on the bar, not on the control.
  int sumX = 0, count = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x)
      if (Near(onBar.pixelColor(x, y), Qt::white, 40)) {
        sumX += x;
        ++count;
      }
  ASSERT_GT(count, 0);
  EXPECT_NEAR(60, sumX / count, 4);

  // A bar shorter than the text draws no label at all.
  bar.SetPos(10);
  const QImage tooShort = bar.grab().toImage();
  SaveArtifact(tooShort, "skin_progress_text_too_long.png");
  EXPECT_EQ(0, CountOtherThan(tooShort, QRect(0, 0, 20, 20), QColor(255, 0, 0), 8));
  EXPECT_EQ(0, CountOtherThan(tooShort, QRect(20, 0, 180, 20), Qt::white, 8));
}

// ---- folder check tree ----

class FakeVolumes final : public IVolumeList {
 public:
  std::vector<Volume> list;
  std::vector<Volume> Volumes() override { return list; }
};

// Counts the change notices the tree sends.
class NoticeCounter final : public MessageTarget {
 public:
  NoticeCounter() { OpenHandle(); }
  ~NoticeCounter() override { CloseHandle(); }
  int notices = 0;

 protected:
  intptr_t OnMessage(const UiMessage& m) override {
    if (m.msg == kFolderTreeChanged && m.wParam == 0 && m.lParam == 0) ++notices;
    return 0;
  }
};

QTreeWidgetItem* Child(QTreeWidgetItem* item, const char* text) {
  for (int i = 0; i < item->childCount(); ++i)
    if (item->child(i)->text(0) == text) return item->child(i);
  return nullptr;
}

void ClickBox(CFolderCheckTree& tree, QTreeWidgetItem* item) {
  tree.scrollToItem(item);
  const QPoint at = tree.StateIconRect(item).center();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), tree.viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tree.viewport(), &press);
}

struct TreeFixture {
  std::string a, b;
  FakeVolumes volumes;
  NoticeCounter counter;
  CFolderCheckTree tree;

  explicit TreeFixture(const std::string& base) : a(base + "/volA"), b(base + "/volB") {
    fs::create_directories(a + "/Movies/2024");
    fs::create_directories(a + "/Music");
    fs::create_directories(b);
    Touch(a + "/file.txt");
    volumes.list = {{a, "DATA", false}, {b, "", true}};
    tree.resize(300, 400);
    tree.InitImageList();
    tree.SetNotifyTargets(nullptr, counter.Handle());
    tree.SetVolumeList(&volumes);
    tree.FillDrives();
    tree.show();
  }
};

TEST(FolderCheckTree, RootsFoldersAndNoDuplicates) {
  TreeFixture f(TestFolder());
  ASSERT_EQ(2, f.tree.topLevelItemCount());
  QTreeWidgetItem* a = f.tree.topLevelItem(0);
  QTreeWidgetItem* b = f.tree.topLevelItem(1);
  EXPECT_EQ(QString::fromStdString(f.a + " [DATA]"), a->text(0));
  EXPECT_EQ(QString::fromStdString(f.b), b->text(0));
  // Folders only, sorted; the file is not listed.
  ASSERT_EQ(2, a->childCount());
  EXPECT_EQ("Movies", a->child(0)->text(0));
  EXPECT_EQ("Music", a->child(1)->text(0));
  EXPECT_EQ(0, b->childCount());
  EXPECT_EQ(QTreeWidgetItem::ShowIndicator, a->child(0)->childIndicatorPolicy());
  EXPECT_NE(QTreeWidgetItem::ShowIndicator, a->child(1)->childIndicatorPolicy());
  EXPECT_EQ(f.a + "/", f.tree.ItemPath(a));
  EXPECT_EQ(f.a + "/Movies/", f.tree.ItemPath(a->child(0)));

  // Listing again adds only what is new.
  f.tree.ListFolders(a);
  EXPECT_EQ(2, a->childCount());
  fs::create_directory(f.a + "/Added");
  f.tree.ListFolders(a);
  ASSERT_EQ(3, a->childCount());
  EXPECT_EQ("Added", a->child(2)->text(0));
  f.tree.ListFolders(a->child(0));
  ASSERT_EQ(1, a->child(0)->childCount());
  EXPECT_EQ(f.a + "/Movies/2024/", f.tree.ItemPath(a->child(0)->child(0)));
  EXPECT_EQ(0, f.counter.notices);
}

TEST(FolderCheckTree, SingleFolderChecksBoldAndNotices) {
  TreeFixture f(TestFolder());
  QTreeWidgetItem* a = f.tree.topLevelItem(0);
  QTreeWidgetItem* movies = Child(a, "Movies");
  QTreeWidgetItem* music = Child(a, "Music");
  f.tree.ListFolders(movies);
  QTreeWidgetItem* year = movies->child(0);

  // Clicking a box twice: checked, then nothing checked; two notices.
  ClickBox(f.tree, music);
  EXPECT_TRUE(f.tree.IsChecked(music));
  EXPECT_TRUE(CFolderCheckTree::IsBold(a));
  EXPECT_EQ(1, f.tree.SelectedFolderCount());
  ClickBox(f.tree, music);
  EXPECT_FALSE(f.tree.IsChecked(music));
  EXPECT_FALSE(CFolderCheckTree::IsBold(a));
  EXPECT_EQ(2, f.counter.notices);
  EXPECT_EQ(0, f.tree.SelectedFolderCount());

  // X then Y: only Y stays checked and X's parents lose bold.
  f.tree.CheckItem(year, true);
  EXPECT_TRUE(CFolderCheckTree::IsBold(movies));
  f.tree.CheckItem(f.tree.topLevelItem(1), true);
  EXPECT_FALSE(f.tree.IsChecked(year));
  EXPECT_FALSE(CFolderCheckTree::IsBold(movies));
  EXPECT_FALSE(CFolderCheckTree::IsBold(a));
  EXPECT_TRUE(f.tree.IsChecked(f.tree.topLevelItem(1)));
  EXPECT_EQ(f.tree.topLevelItem(1), f.tree.CheckedItem());

  // The context menu of a root and of a folder.
  const auto lines = f.tree.ContextMenuLines(a);
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(std::string(27, ' ') + "Display Disk " + f.a + std::string(28, ' '), lines[0].text);
  EXPECT_EQ(ID_FOLDER_DISPLAY, lines[0].command);
  EXPECT_TRUE(lines[1].separator);
  EXPECT_EQ("Select this folder", lines[2].text);
  EXPECT_EQ("0 Subfolder Selected", lines[4].text);
  f.tree.CheckItem(year, true);
  const auto withChecked = f.tree.ContextMenuLines(a);
  EXPECT_EQ(f.a + "/Movies/2024/", withChecked.back().text);
  const auto folderLines = f.tree.ContextMenuLines(year);
  EXPECT_EQ(std::string(27, ' ') + "Display Folder 2024" + std::string(28, ' '), folderLines[0].text);
  EXPECT_EQ("Deselect this folder", folderLines[2].text);

  // Display opens the item's folder; deselect unchecks it.
  ShellScript shell;
  f.tree.setCurrentItem(a);
  f.tree.RunMenuCommand(ID_FOLDER_DISPLAY);
  ASSERT_EQ(1u, shell.Opened().size());
  EXPECT_EQ(f.a + "/", shell.Opened()[0]);
  f.tree.setCurrentItem(year);
  f.tree.RunMenuCommand(ID_FOLDER_DESELECT);
  EXPECT_FALSE(f.tree.IsChecked(year));
  EXPECT_EQ(0, f.tree.SelectedFolderCount());

  // ClearSelection forgets the checked item without a notice.
  f.tree.CheckItem(music, true);
  const int before = f.counter.notices;
  f.tree.ClearSelection();
  EXPECT_FALSE(f.tree.IsChecked(music));
  EXPECT_EQ(nullptr, f.tree.CheckedItem());
  EXPECT_EQ(before, f.counter.notices);

  const QImage shot = f.tree.grab().toImage();
  SaveArtifact(shot, "folder_tree.png");
}

TEST(FolderCheckTree, SubtreeModeAndCountLabel) {
  TreeFixture f(TestFolder());
  QLabel label;
  f.tree.SetSingleFolder(false);
  f.tree.SetNotifyTargets(&label, f.counter.Handle());
  QTreeWidgetItem* a = f.tree.topLevelItem(0);
  QTreeWidgetItem* movies = Child(a, "Movies");
  QTreeWidgetItem* music = Child(a, "Music");
  f.tree.ListFolders(movies);
  f.tree.CheckItem(movies, true);
  EXPECT_TRUE(f.tree.IsChecked(movies->child(0)));
  EXPECT_FALSE(f.tree.IsChecked(a));
  EXPECT_EQ("1 Selected Folder(s)", label.text());
  f.tree.CheckItem(music, true);
  EXPECT_TRUE(f.tree.IsChecked(a));  // every child checked
  EXPECT_EQ("1 Selected Folder(s)", label.text());
  f.tree.CheckItem(movies->child(0), false);
  EXPECT_FALSE(f.tree.IsChecked(movies));
  EXPECT_FALSE(f.tree.IsChecked(a));
  EXPECT_EQ("1 Selected Folder(s)", label.text());
  EXPECT_EQ("Deselect this folder and all SubFolder", f.tree.ContextMenuLines(music)[2].text);
}

}  // namespace
