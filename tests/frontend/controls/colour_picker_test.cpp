// The colour picker and its pop-up: arrow-key moves, the messages of a
// cancelled and an accepted choice, the named colours in the combo look,
// placement near the screen's bottom, the custom colours of the colour
// dialog kept in the registry, and the open pop-up drawn.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <tuple>
#include <vector>

#include "frontend/controls/colour_picker.h"
#include "frontend/model/registry_files.h"
#include "frontend/ui/classic_draw.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"

namespace {

constexpr int kPickerId = 1192;
constexpr uint32_t kGold = 0x00D7FF;

struct Note {
  uint32_t msg;
  uint32_t colour;
  int64_t id;
  bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
  return os << "{" << n.msg << ", 0x" << std::hex << n.colour << std::dec << ", " << n.id << "}";
}

class PickerHost : public UiDialog {
 public:
  PickerHost() : UiDialog(kTemplate) { picker = SubclassItem(kPickerId, new CColourPickerXP); }
  intptr_t OnMessage(const UiMessage& m) override {
    if (m.msg >= WM_COLOUR_CHANGED && m.msg <= WM_COLOUR_ENDCANCEL)
      notes.push_back({m.msg, static_cast<uint32_t>(m.wParam), m.lParam});
    return 0;
  }
  static const DialogTemplate kTemplate;
  CColourPickerXP* picker;
  std::vector<Note> notes;
};
const DialogTemplate PickerHost::kTemplate = {
    610, "Colours", 160, 60, {{CtrlKind::Placeholder, kPickerId, "", 7, 7, 80, 14}}};

void Key(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
}

void MoveTo(QWidget* w, const QPoint& at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

void Release(QWidget* w, const QPoint& at) {
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

// Opens the pop-up by a click and forgets the messages so far but the drop-down.
CColourGridPopup* Open(PickerHost& host) {
  host.notes.clear();
  host.picker->click();
  return host.picker->Popup();
}

// Ended at once, deleted once the event loop runs.
bool PopupGone(PickerHost& host) {
  return host.picker->Popup() == nullptr &&
         WaitUntil([&] { return host.picker->findChildren<CColourGridPopup*>().isEmpty(); }, 2000);
}

std::string RegistryText(const std::string& section, int i) {
  const std::string file = UserRegistryFile();
  std::string value;
  const std::string path = "Software\\velmo\\" + section + "\\CUSTOM_COLOR_" + std::to_string(i);
  return RegistryReadValue(RegistryFiles{file, file}, path, value, 64) ? value : "<missing>";
}

// The colour dialog stand-in: records what it got, changes one custom colour
// and answers as told.
struct FakeColourDialog {
  bool answerOk = false;
  uint32_t answer = 0;
  int calls = 0;
  uint32_t start = 0;
  CustomColours seen{};
  ColourDialogHook previous;

  FakeColourDialog() {
    previous = SetColourDialogHook([this](QWidget*, uint32_t s, CustomColours& custom, uint32_t* chosen) {
      ++calls;
      start = s;
      seen = custom;
      custom[3] = 0x123456;
      if (answerOk) *chosen = answer;
      return answerOk;
    });
  }
  ~FakeColourDialog() { SetColourDialogHook(previous); }
};

}  // namespace

TEST(ColourGrid, ArrowKeysFollowTheTableAndSkipBoxesWithoutText) {
  constexpr int D = kDefaultBox, C = kCustomBox, N = kNoCell;
  using K = GridKey;
  // from, key, has default, has custom, expected
  const std::vector<std::tuple<int, K, bool, bool, int>> cases = {
      {10, K::Left, true, true, 9},   {8, K::Left, true, true, 7},  // column 0: last column of the row above
      {0, K::Left, true, true, D},    {0, K::Left, false, true, C},   {0, K::Left, false, false, 39},
      {12, K::Up, true, true, 4},     {5, K::Up, true, true, D},      {5, K::Up, false, true, C},
      {5, K::Up, false, false, 39},   {9, K::Right, true, true, 10},  {7, K::Right, true, true, 8},
      {39, K::Right, true, true, C},  {39, K::Right, true, false, D}, {39, K::Right, false, false, 0},
      {20, K::Down, true, true, 28},  {33, K::Down, true, true, C},   {33, K::Down, true, false, D},
      {33, K::Down, false, false, 0}, {D, K::Left, true, true, C},    {D, K::Up, true, false, 39},
      {D, K::Right, true, true, 0},   {D, K::Down, true, true, 0},    {C, K::Left, true, true, 39},
      {C, K::Up, false, true, 39},    {C, K::Right, true, true, D},   {C, K::Down, false, true, 0},
      {N, K::Left, true, true, C},    {N, K::Up, true, false, 39},    {N, K::Right, true, true, D},
      {N, K::Down, false, true, 0},
  };
  for (const auto& [from, key, hasDefault, hasCustom, expected] : cases) {
    EXPECT_EQ(ColourGridNavigate(from, key, 40, 8, hasDefault, hasCustom), expected)
        << "from " << from << " key " << static_cast<int>(key) << " default " << hasDefault << " custom " << hasCustom;
  }
}

TEST(ColourGrid, KeysMoveTheOpenPopupAndEachMoveIsReported) {
  PickerHost host;
  host.Create();
  host.picker->SetColor(kGold);
  CColourGridPopup* popup = Open(host);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->StartIndex(), 25);
  EXPECT_EQ(popup->SelectedIndex(), kNoCell);
  const std::vector<std::pair<int, int>> steps = {{Qt::Key_Right, kDefaultBox}, {Qt::Key_Down, 0},
                                                  {Qt::Key_Left, kDefaultBox},  {Qt::Key_Left, kCustomBox},
                                                  {Qt::Key_Left, 39},           {Qt::Key_Up, 31}};
  for (const auto& [key, expected] : steps) {
    Key(popup, key);
    EXPECT_EQ(popup->SelectedIndex(), expected);
  }
  // The custom box reports the start colour, the default box the default value.
  const std::vector<Note> expected = {
      {WM_COLOUR_DROPDOWN, kGold, kPickerId},   {WM_COLOUR_CHANGED, kDefaultColour, kPickerId},
      {WM_COLOUR_CHANGED, 0x000000, kPickerId}, {WM_COLOUR_CHANGED, kDefaultColour, kPickerId},
      {WM_COLOUR_CHANGED, kGold, kPickerId},    {WM_COLOUR_CHANGED, 0xFFFFFF, kPickerId},
      {WM_COLOUR_CHANGED, 0xC0C0C0, kPickerId}};
  EXPECT_EQ(host.notes, expected);
  Key(popup, Qt::Key_Escape);
  EXPECT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, EscapeAfterMovingSendsCloseUpThenCancelWithTheStartColour) {
  for (bool track : {false, true}) {
    SCOPED_TRACE(track ? "tracking" : "not tracking");
    PickerHost host;
    host.Create();
    host.picker->SetColor(0x0000FF);  // Red
    host.picker->SetTrackSelection(track);
    CColourGridPopup* popup = Open(host);
    ASSERT_NE(popup, nullptr);
    for (int cell : {25, 26, 39}) {
      MoveTo(popup, popup->CellRect(cell).center());
      EXPECT_EQ(host.picker->GetColor(), track ? NamedColours()[cell].colour : 0x0000FFu);
    }
    Key(popup, Qt::Key_Escape);
    const std::vector<Note> expected = {
        {WM_COLOUR_DROPDOWN, 0x0000FF, kPickerId}, {WM_COLOUR_CHANGED, kGold, kPickerId},
        {WM_COLOUR_CHANGED, 0x00FFFF, kPickerId},  {WM_COLOUR_CHANGED, 0xFFFFFF, kPickerId},
        {WM_COLOUR_CLOSEUP, 0x0000FF, kPickerId},  {WM_COLOUR_ENDCANCEL, 0x0000FF, kPickerId}};
    EXPECT_EQ(host.notes, expected);
    EXPECT_EQ(host.picker->GetColor(), 0x0000FFu);
    EXPECT_FALSE(host.picker->PopupOpen());
    EXPECT_TRUE(PopupGone(host));
    host.DestroyWindow();
  }
}

TEST(ColourPicker, AcceptingSendsCloseUpEndOkAndAChangeOnlyWhenTheColourChanged) {
  PickerHost host;
  host.Create();
  host.picker->SetColor(0x0000FF);
  CColourGridPopup* popup = Open(host);
  Key(popup, Qt::Key_Right);  // the default box
  Key(popup, Qt::Key_Down);   // Black
  Key(popup, Qt::Key_Return);
  std::vector<Note> expected = {
      {WM_COLOUR_DROPDOWN, 0x0000FF, kPickerId}, {WM_COLOUR_CHANGED, kDefaultColour, kPickerId},
      {WM_COLOUR_CHANGED, 0x000000, kPickerId},  {WM_COLOUR_CLOSEUP, 0x000000, kPickerId},
      {WM_COLOUR_ENDOK, 0x000000, kPickerId},    {WM_COLOUR_CHANGED, 0x000000, kPickerId}};
  EXPECT_EQ(host.notes, expected);
  EXPECT_EQ(host.picker->GetColor(), 0u);
  ASSERT_TRUE(PopupGone(host));

  // A click on the cell of the colour it already has: no change reported.
  popup = Open(host);
  const QPoint black = popup->CellRect(0).center();
  MoveTo(popup, black);
  Release(popup, black);
  expected = {{WM_COLOUR_DROPDOWN, 0, kPickerId},
              {WM_COLOUR_CHANGED, 0, kPickerId},
              {WM_COLOUR_CLOSEUP, 0, kPickerId},
              {WM_COLOUR_ENDOK, 0, kPickerId}};
  EXPECT_EQ(host.notes, expected);
  ASSERT_TRUE(PopupGone(host));

  // A release outside the pop-up cancels, and so does a press outside.
  popup = Open(host);
  Release(popup, QPoint(-20, -20));
  ASSERT_FALSE(host.notes.empty());
  EXPECT_EQ(host.notes.back(), (Note{WM_COLOUR_ENDCANCEL, 0, kPickerId}));
  ASSERT_TRUE(PopupGone(host));
  popup = Open(host);
  const QPoint onPicker = popup->mapFromGlobal(host.picker->mapToGlobal(QPoint(5, 5)));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(onPicker), popup->mapToGlobal(QPointF(onPicker)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(popup, &press);
  EXPECT_EQ(host.notes.back(), (Note{WM_COLOUR_ENDCANCEL, 0, kPickerId}));
  EXPECT_TRUE(popup->testAttribute(Qt::WA_NoMouseReplay));
  ASSERT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, OkWithNoCellSelectedReturnsTheStartColour) {
  PickerHost host;
  host.Create();
  host.picker->SetColor(kGold);
  CColourGridPopup* popup = Open(host);
  MoveTo(popup, popup->CellRect(3).center());
  // The pop-up's border is inside the window but on no cell.
  const QPoint border(1, popup->height() / 2);
  MoveTo(popup, border);
  EXPECT_EQ(popup->SelectedIndex(), kNoCell);
  EXPECT_EQ(popup->ChosenColour(), kGold);
  Release(popup, border);
  ASSERT_GE(host.notes.size(), 2u);
  EXPECT_EQ(host.notes[host.notes.size() - 1], (Note{WM_COLOUR_ENDOK, kGold, kPickerId}));
  EXPECT_EQ(host.picker->GetColor(), kGold);
  ASSERT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, DownAndF4OpenThePopupAndUpDoesNothing) {
  PickerHost host;
  host.Create();
  Key(host.picker, Qt::Key_Up);
  EXPECT_EQ(host.picker->Popup(), nullptr);
  for (int key : {Qt::Key_Down, Qt::Key_F4}) {
    Key(host.picker, key);
    ASSERT_NE(host.picker->Popup(), nullptr);
    EXPECT_TRUE(host.picker->PopupOpen());
    Key(host.picker->Popup(), Qt::Key_Escape);
    ASSERT_TRUE(PopupGone(host));
  }
  host.DestroyWindow();
}

TEST(ColourPicker, TheComboLookNamesColoursAndShowsTheDefaultForTheDefaultValue) {
  EXPECT_EQ(NamedColours().size(), 40u);
  EXPECT_EQ(NamedColours()[1].colour, 0x002AA5u);  // Brown: red 165, green 42
  EXPECT_STREQ(NamedColours()[35].name, "Pale green ");
  EXPECT_EQ(FindNamedColour(kGold), 25);
  EXPECT_EQ(FindNamedColour(0x010203), -1);

  CColourPickerXP picker;
  picker.SetStyle(true);
  EXPECT_EQ(picker.height(), QFontMetrics(picker.font()).height() + 8);
  picker.resize(200, picker.height());
  picker.SetDefaultColor(0x00FF00);
  EXPECT_EQ(picker.GetColor(), kDefaultColour);
  EXPECT_EQ(picker.GetColor(true), 0x00FF00u);
  EXPECT_EQ(picker.ColourText(), QStringLiteral("Automatic"));
  picker.SetDefaultText(QStringLiteral("Default"));
  EXPECT_EQ(picker.ColourText(), QStringLiteral("Default"));

  const std::vector<std::tuple<uint32_t, bool, QString, QString>> cases = {
      {kGold, false, QStringLiteral("RGB"), QStringLiteral("Gold")},
      {kGold, true, QStringLiteral("RGB"), QStringLiteral("Gold (R:255 G:215 B:0)")},
      {0x030201, true, QStringLiteral("RGB"), QStringLiteral("R:1 G:2 B:3")},
      {0x030201, false, QStringLiteral("XY"), QStringLiteral("X:1 Y:2  :3")},
  };
  for (const auto& [colour, showName, letters, text] : cases) {
    picker.SetColor(colour);
    picker.SetShowColourName(showName);
    picker.SetRGBText(letters);
    EXPECT_EQ(picker.ColourText(), text);
  }

  // The default value draws the default colour's swatch at the left.
  picker.SetColor(kDefaultColour);
  QImage image = picker.grab().toImage();
  SaveArtifact(image, "picker-combo-default.png");
  const QPoint swatch(picker.height() / 2, picker.height() / 2);
  EXPECT_TRUE(Near(image.pixelColor(swatch), QColor(0, 255, 0), 2)) << image.pixelColor(swatch).name().toStdString();
  picker.SetColor(kGold);
  image = picker.grab().toImage();
  EXPECT_TRUE(Near(image.pixelColor(swatch), QColor(255, 215, 0), 2));
}

TEST(ColourPicker, ThePushButtonLookShowsTheColourLeftOfItsArrow) {
  CColourPickerXP picker;
  picker.resize(80, 24);
  picker.SetColor(0xFF0000);  // Blue
  const QImage image = picker.grab().toImage();
  SaveArtifact(image, "picker-button.png");
  EXPECT_TRUE(Near(image.pixelColor(20, 12), QColor(0, 0, 255), 2));
  // Right of the etched line there is no swatch colour.
  EXPECT_EQ(CountOtherThan(image, QRect(66, 4, 8, 16), QColor(0, 0, 255), 40), 8 * 16);
}

TEST(ColourPicker, APopupNearTheBottomOfTheScreenOpensAboveThePicker) {
  const QRect area(0, 0, 800, 600);
  // Room below: unchanged; past the right: moved left; past the bottom: above the picker.
  EXPECT_EQ(PlaceColourPopup(QRect(100, 300, 150, 160), area, 24), QRect(100, 300, 150, 160));
  EXPECT_EQ(PlaceColourPopup(QRect(700, 300, 150, 160), area, 24), QRect(650, 300, 150, 160));
  EXPECT_EQ(PlaceColourPopup(QRect(-10, 300, 150, 160), area, 24), QRect(0, 300, 150, 160));
  EXPECT_EQ(PlaceColourPopup(QRect(100, 500, 150, 160), area, 24), QRect(100, 316, 150, 160));

  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect work = screen->availableGeometry();
  PickerHost host;
  host.Create();
  host.move(work.left() + 40, work.bottom() - host.frameGeometry().height() - 5);
  QCoreApplication::processEvents();
  CColourGridPopup* popup = Open(host);
  ASSERT_NE(popup, nullptr);
  const QPoint pickerTop = host.picker->mapToGlobal(QPoint(0, 0));
  EXPECT_EQ(popup->geometry().bottom() + 1, pickerTop.y());
  EXPECT_EQ(popup->geometry().left(), pickerTop.x());
  Key(popup, Qt::Key_Escape);
  ASSERT_TRUE(PopupGone(host));

  // With room below it opens at the picker's bottom-left corner.
  host.move(work.left() + 40, work.top() + 40);
  QCoreApplication::processEvents();
  popup = Open(host);
  EXPECT_EQ(popup->geometry().topLeft(), host.picker->mapToGlobal(QPoint(0, host.picker->height())));
  Key(popup, Qt::Key_Escape);
  ASSERT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, CustomColoursAreWrittenBackAfterACancelledColourDialog) {
  const std::string section = "Cancelled";
  const std::string file = UserRegistryFile();
  ASSERT_FALSE(file.empty());
  const RegistryFiles files{file, file};
  ASSERT_TRUE(RegistryWriteValue(files, "Software\\velmo\\Cancelled\\CUSTOM_COLOR_0", "dword:000000ff"));
  ASSERT_TRUE(RegistryWriteValue(files, "Software\\velmo\\Cancelled\\CUSTOM_COLOR_1", "red"));  // not a dword

  FakeColourDialog dialog;
  PickerHost host;
  host.Create();
  host.picker->SetColor(kGold);
  host.picker->SetRegSection(section);
  CColourGridPopup* popup = Open(host);
  Key(popup, Qt::Key_Left);  // from nothing: the custom box
  ASSERT_EQ(popup->SelectedIndex(), kCustomBox);
  Key(popup, Qt::Key_Return);
  EXPECT_EQ(dialog.calls, 1);
  EXPECT_EQ(dialog.start, kGold);
  EXPECT_EQ(dialog.seen[0], 0x0000FFu);
  EXPECT_EQ(dialog.seen[1], 0xFFFFFFu);
  EXPECT_EQ(dialog.seen[15], 0xFFFFFFu);
  const std::vector<Note> expected = {{WM_COLOUR_DROPDOWN, kGold, kPickerId},
                                      {WM_COLOUR_CHANGED, kGold, kPickerId},
                                      {WM_COLOUR_CLOSEUP, kGold, kPickerId},
                                      {WM_COLOUR_ENDCANCEL, kGold, kPickerId}};
  EXPECT_EQ(host.notes, expected);
  EXPECT_EQ(RegistryText(section, 0), "dword:000000ff");
  EXPECT_EQ(RegistryText(section, 1), "dword:00ffffff");
  EXPECT_EQ(RegistryText(section, 3), "dword:00123456");
  EXPECT_EQ(RegistryText(section, 15), "dword:00ffffff");
  EXPECT_EQ(ReadCustomColours(section)[3], 0x123456u);
  ASSERT_TRUE(PopupGone(host));

  // OK takes the dialog's colour; the colours it changed are kept again.
  dialog.answerOk = true;
  dialog.answer = 0x010203;
  popup = Open(host);
  Key(popup, Qt::Key_Left);
  Key(popup, Qt::Key_Space);
  EXPECT_EQ(dialog.seen[3], 0x123456u);
  ASSERT_GE(host.notes.size(), 3u);
  EXPECT_EQ(host.notes[host.notes.size() - 2], (Note{WM_COLOUR_ENDOK, 0x010203, kPickerId}));
  EXPECT_EQ(host.notes.back(), (Note{WM_COLOUR_CHANGED, 0x010203, kPickerId}));
  EXPECT_EQ(host.picker->GetColor(), 0x010203u);
  ASSERT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, WithoutARegistrySectionCustomColoursStartWhiteAndAreNotKept) {
  FakeColourDialog dialog;
  PickerHost host;
  host.Create();
  host.picker->SetColor(0x0000FF);
  CColourGridPopup* popup = Open(host);
  Key(popup, Qt::Key_Left);
  Key(popup, Qt::Key_Return);
  ASSERT_EQ(dialog.calls, 1);
  for (uint32_t c : dialog.seen) EXPECT_EQ(c, 0xFFFFFFu);
  EXPECT_EQ(RegistryText("", 3), "<missing>");
  ASSERT_TRUE(PopupGone(host));
  host.DestroyWindow();
}

TEST(ColourPicker, TheOpenPopupDrawsItsCellsTheStartCellAndTheSelection) {
  for (bool flat : {true, false}) {
    SCOPED_TRACE(flat ? "flat menus" : "3D menus");
    SetSystemFlatMenus(flat);
    PickerHost host;
    host.Create();
    host.picker->SetColor(kGold);
    CColourGridPopup* popup = Open(host);
    ASSERT_NE(popup, nullptr);
    Key(popup, Qt::Key_Right);  // the default box
    Key(popup, Qt::Key_Down);   // Black
    Key(popup, Qt::Key_Right);  // Brown
    QCoreApplication::processEvents();
    const QImage image = popup->grab().toImage();
    SaveArtifact(image, flat ? "popup-flat.png" : "popup-3d.png");

    // Every colour cell shows its colour in the middle.
    for (int i = 0; i < 40; ++i)
      EXPECT_EQ(image.pixelColor(popup->CellRect(i).center()).rgb(), ColorRef(NamedColours()[i].colour).rgb())
          << "cell " << i;
    const QRect selected = popup->CellRect(1), start = popup->CellRect(25), plain = popup->CellRect(9);
    if (flat) {
      EXPECT_EQ(image.pixelColor(selected.topLeft()).rgb(), SysColor(COLOR_HIGHLIGHT).rgb());
      EXPECT_EQ(image.pixelColor(selected.topLeft() + QPoint(1, 1)).rgb(), SysColor(COLOR_MENUHILIGHT).rgb());
      EXPECT_EQ(image.pixelColor(start.topLeft()).rgb(), SysColor(COLOR_HIGHLIGHT).rgb());
      EXPECT_NE(image.pixelColor(start.topLeft() + QPoint(1, 1)).rgb(), SysColor(COLOR_MENU).rgb());
      EXPECT_EQ(image.pixelColor(0, 0).rgb(), SysColor(COLOR_GRAYTEXT).rgb());  // the frame
    } else {
      EXPECT_EQ(image.pixelColor(selected.topLeft()).rgb(), SysColor(COLOR_BTNHIGHLIGHT).rgb());
      EXPECT_EQ(image.pixelColor(selected.bottomRight()).rgb(), SysColor(COLOR_BTNSHADOW).rgb());
      EXPECT_EQ(image.pixelColor(start.topLeft()).rgb(), SysColor(COLOR_BTNSHADOW).rgb());
      EXPECT_EQ(image.pixelColor(start.bottomRight()).rgb(), SysColor(COLOR_BTNHIGHLIGHT).rgb());
    }
    EXPECT_EQ(image.pixelColor(plain.topLeft()).rgb(), SysColor(COLOR_MENU).rgb());
    // The two boxes hold their texts.
    const QRect defaultBox = popup->CellRect(kDefaultBox), customBox = popup->CellRect(kCustomBox);
    EXPECT_GT(CountOtherThan(image, defaultBox.adjusted(4, 4, -4, -4), SysColor(COLOR_MENU)), 20);
    EXPECT_GT(CountOtherThan(image, customBox.adjusted(4, 4, -4, -4), SysColor(COLOR_MENU)), 20);
    EXPECT_LT(defaultBox.bottom(), popup->CellRect(0).top());
    EXPECT_GT(customBox.top(), popup->CellRect(39).bottom());
    Key(popup, Qt::Key_Escape);
    ASSERT_TRUE(PopupGone(host));
    host.DestroyWindow();
  }
  SetSystemFlatMenus(true);
}
