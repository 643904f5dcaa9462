// The skin's controls: the gradient label's line breaking, fonts, shrinking,
// transparency and dropped bitmaps; the link button's font, hover and
// disabled look; the owner-draw button's default role; the icon button's grey
// icon, clicks and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include "frontend/controls/gradient_label.h"
#include "frontend/controls/icon_button.h"
#include "frontend/controls/link_button.h"
#include "frontend/controls/owner_draw_button.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

// Pixels in a rectangle within 4 of a colour on each channel.
int CountNear(const QImage& image, const QRect& rect, const QColor& colour) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) count += Near(image.pixelColor(x, y), colour, 4) ? 1 : 0;
  return count;
}

// ---- gradient label ----

struct BreakCase {
  const char* text;
  int width;  // every character is 10 pixels wide
  std::vector<const char*> lines;
};

TEST(GradientLabel, LineBreaking) {
  const BreakCase cases[] = {
      {"abcdefgh", 35, {"abc", "def", "gh"}},  // one word: broken at the last character that fits
      {"A\r\nB", 100, {"A", "B"}},
      {"A\n\rB", 100, {"A", "B"}},
      {"A\n\nB", 100, {"A\n\nB"}},  // a repeated character is no pair
      {"hello world foo", 60, {"hello ", "world ", "foo"}},
      {"ab cd ef", 45, {"ab", "cd", "ef"}},  // before the last space, which is dropped
      {"short", 100, {"short"}},
      {"", 100, {}},
      {"abc", 5, {"a", "b", "c"}},  // narrower than one character: one a line, never stuck
      {"abc", 0, {"a", "b", "c"}},
  };
  auto measure = [](const QString& s) { return static_cast<int>(s.size()) * 10; };
  for (const BreakCase& c : cases) {
    std::vector<QString> expected;
    for (const char* line : c.lines) expected.push_back(QString::fromUtf8(line));
    EXPECT_EQ(BreakLabelLines(QString::fromUtf8(c.text), c.width, measure), expected) << c.text << " / " << c.width;
  }
}

TEST(GradientLabel, FontSettings) {
  CGradientLabel label(QStringLiteral("About"));
  EXPECT_EQ(label.FontHeight(), 8);
  label.SetFontSpec(QStringLiteral("Tahoma"), -13, 700);
  EXPECT_EQ(label.LabelFont().pixelSize(), 13);
  EXPECT_EQ(label.LabelFont().weight(), QFont::Bold);
  EXPECT_EQ(label.FontHeight(), 13);
  label.SetFontSpec(QStringLiteral("Tahoma"), 20, 0);
  EXPECT_EQ(label.LabelFont().pixelSize(), 20);
  EXPECT_EQ(label.LabelFont().weight(), QFont::Normal);
  // A font given to the window becomes the label's own.
  QFont given(QStringLiteral("Sans Serif"));
  given.setPixelSize(17);
  label.setFont(given);
  EXPECT_EQ(label.LabelFont().pixelSize(), 17);
  // Defaults: the window text colour, not transparent, word wrap on.
  CGradientLabel plain;
  EXPECT_EQ(plain.TextColor(), ToColorRef(SysColor(COLOR_WINDOWTEXT)));
  EXPECT_FALSE(plain.IsTransparent());
}

TEST(GradientLabel, ShrinkToFitStopsAtAFontHeightOfOne) {
  CGradientLabel label(QStringLiteral("A text far too tall for its label"));
  label.resize(60, 1);
  label.SetShrinkToFit(true);
  label.show();
  ASSERT_TRUE(WaitUntil([&] {
    label.grab();
    return label.FontHeight() == 1;
  }));
  for (int i = 0; i < 5; ++i) label.grab();
  EXPECT_EQ(label.FontHeight(), 1);
  EXPECT_EQ(label.LabelFont().pixelSize(), 1);
}

// A parent painting a colour, with one label on it.
class ColourParent : public QWidget {
 public:
  explicit ColourParent(QColor colour) : colour_(colour) { resize(200, 60); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

 private:
  QColor colour_;
};

TEST(GradientLabel, ATransparentLabelShowsItsParentsPictureBehindItsText) {
  const QColor red(200, 30, 30);
  for (bool transparent : {true, false}) {
    ColourParent parent(red);
    auto* label = new CGradientLabel(QStringLiteral("Hi"), SS_LEFT, &parent);
    label->setGeometry(10, 10, 150, 30);
    label->SetTransparent(transparent);
    label->SetBkColor(0x00FF00);
    const QImage shot = parent.grab().toImage();
    const QColor behind = shot.pixelColor(140, 35);  // no text there
    EXPECT_TRUE(Near(behind, transparent ? red : QColor(0, 255, 0), 2)) << transparent;
    // The text is drawn in its colour.
    EXPECT_GT(CountOtherThan(shot, QRect(10, 10, 40, 30), behind, 60), 0);
    if (transparent) SaveArtifact(shot, "transparent_label.png");
  }
}

TEST(GradientLabel, DroppingOneBmpFileLoadsItAndTwoLoadNeither) {
  QTemporaryDir dir;
  QImage blue(8, 8, QImage::Format_RGB32);
  blue.fill(QColor(0, 0, 255));
  const QString upper = dir.filePath(QStringLiteral("PIC.BMP"));
  const QString other = dir.filePath(QStringLiteral("other.bmp"));
  const QString png = dir.filePath(QStringLiteral("pic.png"));
  ASSERT_TRUE(blue.save(upper, "BMP"));
  ASSERT_TRUE(blue.save(other, "BMP"));
  ASSERT_TRUE(blue.save(png, "PNG"));
  auto drop = [](CGradientLabel& label, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls.push_back(QUrl::fromLocalFile(f));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &enter);
    QDropEvent event(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &event);
  };
  CGradientLabel label(QStringLiteral("x"));
  label.resize(40, 20);
  drop(label, {upper, other});
  EXPECT_FALSE(label.HasBitmap());
  drop(label, {png});
  EXPECT_FALSE(label.HasBitmap());
  drop(label, {upper});
  ASSERT_TRUE(label.HasBitmap());
  EXPECT_EQ(label.BitmapFile(), upper.toStdString());
  EXPECT_TRUE(Near(label.grab().toImage().pixelColor(30, 15), QColor(0, 0, 255), 2));
  // A file that does not load leaves the bitmap.
  EXPECT_FALSE(label.SetBitmapFile(dir.filePath(QStringLiteral("none.bmp")).toStdString()));
  EXPECT_TRUE(label.HasBitmap());
}

// ---- link button ----

TEST(LinkButton, FontSettings) {
  struct Case {
    int size, weight;
    uint32_t effects;
    int height, expectedWeight;
    bool italic, underline, strike;
  } cases[] = {
      {10, 700, 0, -13, 700, false, false, false}, {10, 1200, 0, -13, 900, false, false, false},
      {10, 50, 0, -13, 100, false, false, false},  {16, 400, 0, -21, 400, false, false, false},
      {3, 400, 0, -8, 400, false, false, false},   {12, 1000, 0x010101, -16, 900, true, true, true},
  };
  for (const Case& c : cases) {
    const LinkFont font = MakeLinkFont("Tahoma", c.size, c.weight, c.effects);
    EXPECT_EQ(font.height, c.height) << c.size;
    EXPECT_EQ(font.weight, c.expectedWeight) << c.weight;
    EXPECT_EQ(font.italic, c.italic);
    EXPECT_EQ(font.underline, c.underline);
    EXPECT_EQ(font.strikeOut, c.strike);
  }
  CLinkButton link;
  link.SetFontSpec("Tahoma", 10, 700, 0);
  ASSERT_TRUE(link.HasOwnFont());
  EXPECT_EQ(link.TextFont().pixelSize(), 13);
  EXPECT_EQ(link.TextFont().weight(), QFont::Bold);
  link.SetFontSpec("dEfAuLt", 10, 700, 0);
  EXPECT_FALSE(link.HasOwnFont());
}

void MoveMouse(QWidget& w, const QPoint& at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(w.mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&w, &move);
}

TEST(LinkButton, HoverChangesColourAndUnderlineUntilTheMouseLeaves) {
  QWidget window;
  window.setGeometry(50, 50, 300, 100);
  auto* link = new CLinkButton(&window);
  link->setText(QStringLiteral("https://velmo.example.org/"));
  link->setGeometry(10, 10, 250, 30);
  link->SetFlat(true);
  link->SetUnderline(CLinkButton::kUnderlineHover);
  window.show();
  ASSERT_TRUE(WaitUntil([&] { return link->isVisible(); }));
  QCursor::setPos(link->mapToGlobal(QPoint(20, 15)));
  EXPECT_EQ(link->CurrentTextColor(), 0x8C0000u);
  EXPECT_FALSE(link->CurrentUnderline());
  MoveMouse(*link, QPoint(20, 15));
  EXPECT_TRUE(link->Hovering());
  EXPECT_EQ(link->CurrentTextColor(), 0xFF0000u);
  EXPECT_TRUE(link->CurrentUnderline());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  const QImage hovered = link->grab().toImage();
  EXPECT_GT(CountOtherThan(hovered, hovered.rect(), ColorRef(0xFF0000), 60), 0);
  EXPECT_LT(CountOtherThan(hovered, hovered.rect(), ColorRef(0xFF0000), 60), hovered.width() * hovered.height());

  // The mouse goes elsewhere: within the timer's period the link is normal again.
  QCursor::setPos(QPoint(5, 5));
  ASSERT_TRUE(WaitUntil([&] { return !link->Hovering(); }, 400));
  EXPECT_EQ(link->CurrentTextColor(), 0x8C0000u);
  EXPECT_FALSE(link->CurrentUnderline());
  link->SetUnderline(CLinkButton::kUnderlineAlways);
  EXPECT_TRUE(link->CurrentUnderline());
}

TEST(LinkButton, ADisabledLinkShowsEmbossedTextAndNoHand) {
  ColourParent parent(Qt::white);
  auto* link = new CLinkButton(&parent);
  link->setText(QStringLiteral("mail"));
  link->setGeometry(10, 10, 150, 30);
  link->setEnabled(false);
  parent.show();
  MoveMouse(*link, QPoint(20, 15));
  EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);
  // Inside the border: text in the shadow colour over a copy in the highlight colour.
  const QImage shot = link->grab().toImage();
  const QRect inside = shot.rect().adjusted(5, 5, -5, -5);
  EXPECT_GT(CountNear(shot, inside, SysColor(COLOR_BTNSHADOW)), 0);
  EXPECT_GT(CountNear(shot, inside, SysColor(COLOR_BTNHIGHLIGHT)), 0);
  SaveArtifact(shot, "disabled_link.png");
}

// ---- owner-draw button ----

TEST(OwnerDrawButton, TheFocusedPushButtonBecomesTheDefaultAndAGroupBoxStaysStatic) {
  QWidget dialog;
  auto* first = new COwnerDrawButton(BS_DEFPUSHBUTTON, &dialog);
  auto* second = new COwnerDrawButton(BS_PUSHBUTTON, &dialog);
  // A plain push button beside them is left alone (under the address sanitizer, taking it for
  // an owner-draw button reads and writes past its end).
  auto* plain = new QPushButton("plain", &dialog);
  first->setGeometry(0, 0, 80, 24);
  second->setGeometry(90, 0, 80, 24);
  plain->setGeometry(180, 0, 80, 24);
  dialog.show();
  ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));
  EXPECT_EQ(first->GetButtonType(), BS_PUSHBUTTON);
  EXPECT_TRUE(first->IsDefault());
  EXPECT_FALSE(second->IsDefault());
  EXPECT_EQ(first->GetDlgCode() & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), DLGC_DEFPUSHBUTTON);
  EXPECT_EQ(second->GetDlgCode() & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), DLGC_UNDEFPUSHBUTTON);
  dialog.activateWindow();
  second->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitUntil([&] { return second->IsDefault(); }));
  EXPECT_FALSE(first->IsDefault());
  EXPECT_EQ(plain->text(), "plain");
  EXPECT_EQ(second->WindowStyle() & BS_TYPEMASK, BS_OWNERDRAW);

  COwnerDrawButton group(BS_GROUPBOX);
  EXPECT_EQ(group.GetDlgCode(), DLGC_STATIC);
  COwnerDrawButton radio(BS_AUTORADIOBUTTON);
  EXPECT_TRUE(radio.GetDlgCode() & DLGC_RADIOBUTTON);
  EXPECT_FALSE(radio.CanBeDefault());
}

// ---- icon button ----

TEST(IconButton, GreyIcon) {
  struct Case {
    QRgb in, out;
  } cases[] = {
      {qRgba(255, 255, 255, 255), qRgba(254, 254, 254, 255)},  // white greys to 254
      {qRgba(128, 128, 128, 255), qRgba(128, 128, 128, 255)},  // mid-grey stays
      {qRgba(255, 0, 0, 255), qRgba(85, 85, 85, 255)},         // pure red
      {qRgba(0, 0, 0, 0), qRgba(0, 0, 0, 0)},                  // transparent black stays
      {qRgba(0, 0, 0, 255), qRgba(0, 0, 0, 255)},              // opaque black
      {qRgba(30, 60, 90, 100), qRgba(60, 60, 60, 100)},        // alpha kept
  };
  QImage icon(static_cast<int>(std::size(cases)), 1, QImage::Format_ARGB32);
  for (int i = 0; i < icon.width(); ++i) icon.setPixel(i, 0, cases[i].in);
  const QImage grey = MakeGreyIcon(icon);
  ASSERT_EQ(grey.size(), icon.size());
  for (int i = 0; i < icon.width(); ++i) EXPECT_EQ(grey.pixel(i, 0), cases[i].out) << i;
  EXPECT_TRUE(MakeGreyIcon(QImage()).isNull());

  CIconButton button;
  QImage red(18, 18, QImage::Format_ARGB32);
  red.fill(qRgba(255, 0, 0, 255));
  button.SetIcon(red, QImage(), CIconButton::kIconLeft);
  EXPECT_EQ(button.GreyIcon().pixel(5, 5), qRgba(85, 85, 85, 255));
  button.SetIcon(QImage(), QImage(), CIconButton::kIconLeft);
  EXPECT_TRUE(button.GreyIcon().isNull());
}

TEST(IconButton, ADisabledButtonDrawsTheGreyIconAndAHoveredOneItsHoverIcon) {
  QWidget window;
  auto* button = new CIconButton(BS_PUSHBUTTON, &window);
  button->setGeometry(10, 10, 60, 40);
  QImage red(18, 18, QImage::Format_ARGB32);
  red.fill(qRgba(255, 0, 0, 255));
  QImage green(18, 18, QImage::Format_ARGB32);
  green.fill(qRgba(0, 200, 0, 255));
  button->SetIcon(red, green, CIconButton::kIconLeft);
  window.show();
  const QPoint centre(30, 20);  // no caption: the icon is centred
  EXPECT_TRUE(Near(button->grab().toImage().pixelColor(centre), QColor(255, 0, 0), 2));
  MoveMouse(*button, QPoint(5, 5));
  EXPECT_TRUE(button->Hovering());
  EXPECT_TRUE(Near(button->grab().toImage().pixelColor(centre), QColor(0, 200, 0), 2));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->Hovering());
  button->setEnabled(false);
  const QImage disabled = button->grab().toImage();
  EXPECT_TRUE(Near(disabled.pixelColor(centre), QColor(85, 85, 85), 2));
  SaveArtifact(disabled, "icon_button_disabled.png");
}

int Clicks(CIconButton& button, const std::function<void()>& act) {
  int clicks = 0;
  auto connection = QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
  act();
  QObject::disconnect(connection);
  return clicks;
}

void Mouse(QWidget& w, QEvent::Type type, Qt::MouseButtons buttons) {
  const QPoint at(10, 10);
  QMouseEvent event(type, QPointF(at), QPointF(w.mapToGlobal(at)), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}

void Key(QWidget& w, QEvent::Type type, int key, bool repeat = false) {
  QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
  QApplication::sendEvent(&w, &event);
}

TEST(IconButton, ADoubleClickCountsAsTwoClicksAndAHeldKeyAsOne) {
  CIconButton button;
  button.setText(QStringLiteral("&Start"));
  button.resize(120, 30);
  button.show();
  EXPECT_EQ(Clicks(button,
                   [&] {
                     Mouse(button, QEvent::MouseButtonPress, Qt::LeftButton);
                     Mouse(button, QEvent::MouseButtonRelease, Qt::NoButton);
                     Mouse(button, QEvent::MouseButtonDblClick, Qt::LeftButton);
                     EXPECT_TRUE(button.isDown());
                     Mouse(button, QEvent::MouseButtonRelease, Qt::NoButton);
                   }),
            2);
  EXPECT_FALSE(button.isDown());
  for (int key : {int(Qt::Key_Space), int(Qt::Key_Return)}) {
    EXPECT_EQ(Clicks(button,
                     [&] {
                       Key(button, QEvent::KeyPress, key);
                       for (int i = 0; i < 3; ++i) {
                         Key(button, QEvent::KeyRelease, key, true);
                         Key(button, QEvent::KeyPress, key, true);
                       }
                       Key(button, QEvent::KeyRelease, key);
                     }),
              1)
        << key;
  }
  EXPECT_TRUE(button.GetDlgCode() & DLGC_WANTALLKEYS);
}

TEST(IconButton, ADisabledCaptionIsEmbossed) {
  CIconButton button;
  button.setText(QStringLiteral("Start"));
  button.resize(140, 36);
  button.setEnabled(false);
  const QImage shot = button.grab().toImage();
  const QRect inside = shot.rect().adjusted(4, 4, -4, -4);
  EXPECT_GT(CountNear(shot, inside, SysColor(COLOR_BTNSHADOW)), 0);
  EXPECT_GT(CountNear(shot, inside, SysColor(COLOR_BTNHIGHLIGHT)), 0);
  SaveArtifact(shot, "icon_button_caption_disabled.png");
}

}  // namespace
