// Page tabs and the two picture views: tab pages and their message, the
// watermark preview (centring, frame, animation timing, drag, colour pick,
// pictures that do not load) and the frame preview (fitting, crop bands with
// their hatch, pads in the pad colour, frames that do not fit).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "frontend/controls/page_tab.h"
#include "frontend/controls/previews.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"
#include "tests/test_util/gif_file.h"

namespace {

void Mouse(QWidget* w, QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                    held, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

// A dialog holding one control in place of a placeholder, keeping the
// messages its controls send.
class HostDialog : public UiDialog {
 public:
  static const DialogTemplate& Template() {
    static const DialogTemplate tpl{700,      "host", 300, 200, {{CtrlKind::Placeholder, 1000, "", 5, 5, 280, 180}},
                                    "Tahoma", 8};
    return tpl;
  }
  HostDialog() : UiDialog(Template()) {}
  std::vector<UiMessage> messages;

 protected:
  intptr_t OnMessage(const UiMessage& message) override {
    messages.push_back(message);
    return 0;
  }
};

class Page : public UiDialog {
 public:
  explicit Page(int id) : UiDialog(Tpl(id)) {}
  static DialogTemplate Tpl(int id) {
    return DialogTemplate{id, "", 120, 60, {{CtrlKind::Text, 1, "page", 5, 5, 60, 10}}};
  }
};

// ---- page tabs ----

TEST(PageTabs, TheFirstPageShowsAndAClickOnAnotherTabSwapsThemAndTellsTheDialog) {
  HostDialog host;
  auto* tabs = host.SubclassItem(1000, new CPageTabCtrl);
  host.Create();
  Page crop(151), resize(152);
  EXPECT_FALSE(tabs->AddPage(QStringLiteral("none"), nullptr));
  ASSERT_TRUE(tabs->AddPage(QStringLiteral("Crop"), &crop));
  ASSERT_TRUE(tabs->AddPage(QStringLiteral("Resize and pad"), &resize));
  EXPECT_EQ(tabs->GetItemCount(), 2);
  EXPECT_EQ(tabs->CurrentPage(), 0);
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_TRUE(crop.isVisible());
  EXPECT_FALSE(resize.isVisible());
  EXPECT_EQ(crop.parentWidget(), tabs);
  EXPECT_EQ(crop.pos(), tabs->DisplayRect().topLeft());
  EXPECT_GT(tabs->DisplayRect().top(), tabs->TabBar()->geometry().top()) << "pages sit below the tabs";
  EXPECT_TRUE(host.messages.empty()) << "adding pages sends nothing";

  QTabBar* bar = tabs->TabBar();
  Mouse(bar, QEvent::MouseButtonPress, bar->tabRect(1).center());
  Mouse(bar, QEvent::MouseButtonRelease, bar->tabRect(1).center());
  EXPECT_EQ(tabs->CurrentPage(), 1);
  EXPECT_TRUE(resize.isVisible());
  EXPECT_FALSE(crop.isVisible());
  EXPECT_EQ(resize.pos(), tabs->DisplayRect().topLeft());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].msg, WM_PAGE_TAB_CHANGED);
  EXPECT_EQ(host.messages[0].wParam, 1u);
  EXPECT_EQ(host.messages[0].lParam, 0);

  // Clicking the tab shown again changes nothing.
  Mouse(bar, QEvent::MouseButtonPress, bar->tabRect(1).center());
  EXPECT_EQ(host.messages.size(), 1u);
  SaveArtifact(host.grab().toImage(), "page_tabs.png");

  // Selecting a page leaves the tab selection; setting the tab sends nothing.
  tabs->SelectPage(2);  // the tab count: ignored
  tabs->SelectPage(-1);
  EXPECT_EQ(tabs->CurrentPage(), 1);
  tabs->SelectPage(0);
  EXPECT_EQ(tabs->CurrentPage(), 0);
  EXPECT_TRUE(crop.isVisible());
  EXPECT_FALSE(resize.isVisible());
  EXPECT_EQ(tabs->GetCurSel(), 1);
  tabs->SetCurSel(0);
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_EQ(host.messages.size(), 1u);
  host.DestroyWindow();
}

// ---- watermark preview ----

class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  std::string At(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }
  std::string Gif(const char* name, const std::vector<std::pair<int, int>>& frames, int w = 6, int h = 4) const {
    const std::vector<uint8_t> gif = MakeGif(w, h, frames);
    QFile f(QString::fromStdString(At(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(gif.data()), qsizetype(gif.size()));
    return At(name);
  }
  std::string Picture(const char* name, const QImage& image, const char* format = "PNG") const {
    EXPECT_TRUE(image.save(QString::fromStdString(At(name)), format));
    return At(name);
  }
  QTemporaryDir dir_;
};

const QColor kGrey(128, 128, 128);

using WatermarkPreview = Files;

TEST_F(WatermarkPreview, AGifOfDelays10_0_20ShowsItsSecondFrameAt105Ms) {
  CWatermarkPreviewCtrl view;
  view.resize(200, 100);
  int w = 0, h = 0;
  ASSERT_TRUE(view.LoadPicture(Gif("anim.gif", {{1, 10}, {2, 0}, {3, 20}}), &w, &h));
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(view.FrameCount(), 3);
  EXPECT_EQ(view.TotalDelay(), 31) << "a delay of 0 counts 1";
  EXPECT_EQ(view.PicturePos(), QPoint(97, 48)) << "centred";

  struct Step {
    uint32_t ms;
    int frame;
  };
  const Step steps[] = {{105, 1}, {0, 0}, {99, 0}, {100, 1}, {109, 1}, {110, 2}, {309, 2}, {310, 0}, {415, 1}};
  for (const Step& s : steps) {
    view.AnimationStep(view.StartTick() + s.ms);
    EXPECT_EQ(view.CurrentFrame(), s.frame) << s.ms << " ms";
  }
  view.AnimationStep(view.StartTick() + 105);
  const QImage shot = view.grab().toImage();
  SaveArtifact(shot, "watermark_gif_105ms.png");
  EXPECT_EQ(shot.pixelColor(99, 50), QColor(0, 255, 0)) << "the second frame is green";
  EXPECT_EQ(shot.pixelColor(96, 50), kGrey);

  // The timer runs the animation by itself.
  view.AnimationStep(view.StartTick());
  EXPECT_TRUE(WaitUntil([&] { return view.CurrentFrame() != 0; }, 2000));
}

TEST_F(WatermarkPreview, FrameIsDrawnAroundThePictureAndPlacedAsTheEngineWouldPlaceIt) {
  CWatermarkPreviewCtrl view;
  view.resize(300, 200);
  QImage mark(40, 30, QImage::Format_RGB32);
  mark.fill(Qt::white);
  QPoint at;
  EXPECT_FALSE(view.PlaceByAlign(160, 120, 3, 0, 0, &at)) << "no picture yet";
  EXPECT_FALSE(view.FrameShown());
  ASSERT_TRUE(view.LoadPicture(Picture("mark.png", mark), nullptr, nullptr));
  EXPECT_EQ(view.PicturePos(), QPoint(130, 85));

  struct Case {
    int align, x, y;
    QPoint position;  // on the frame
    QRect frame;      // in the control
  };
  const Case cases[] = {
      {3, 0, 0, QPoint(120, 90), QRect(10, -5, 160, 120)},    // bottom right
      {7, 0, 0, QPoint(0, 0), QRect(130, 85, 160, 120)},      // top left
      {5, 0, 0, QPoint(60, 45), QRect(70, 40, 160, 120)},     // centre
      {0, -10, 20, QPoint(0, 20), QRect(140, 65, 160, 120)},  // custom, cut on the left
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(view.PlaceByAlign(160, 120, c.align, c.x, c.y, &at));
    EXPECT_EQ(at, c.position) << "ALIGN " << c.align;
    EXPECT_EQ(view.FrameRect(), c.frame) << "ALIGN " << c.align;
  }
  view.SetFrame(160, 120, 60, 45);
  const QImage shot = view.grab().toImage();
  SaveArtifact(shot, "watermark_frame.png");
  const QColor navy = ColorRef(0x800000);
  EXPECT_EQ(shot.pixelColor(70, 100), navy) << "frame's left edge";
  EXPECT_EQ(shot.pixelColor(229, 159), navy) << "frame's bottom-right corner";
  EXPECT_EQ(shot.pixelColor(71, 100), kGrey);
  EXPECT_EQ(shot.pixelColor(150, 100), QColor(Qt::white)) << "the picture";
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::black)) << "the field's black edge";
  EXPECT_EQ(shot.pixelColor(1, 1), kGrey);
}

TEST_F(WatermarkPreview, DraggingMovesThePictureAndPickingSendsTheColourUnderTheMouse) {
  HostDialog host;
  auto* view = host.SubclassItem(1000, new CWatermarkPreviewCtrl);
  host.Create();
  QImage mark(20, 20, QImage::Format_RGB32);
  mark.fill(QColor(255, 0, 0));
  ASSERT_TRUE(view->LoadPicture(Picture("red.bmp", mark, "BMP"), nullptr, nullptr));
  const QPoint start = view->PicturePos();
  EXPECT_EQ(view->CursorStateNow(), CWatermarkPreviewCtrl::kCursorNormal);

  Mouse(view, QEvent::MouseButtonPress, start + QPoint(5, 5));
  EXPECT_EQ(view->CursorStateNow(), CWatermarkPreviewCtrl::kCursorDrag);
  Mouse(view, QEvent::MouseMove, start + QPoint(35, 25));
  EXPECT_EQ(view->PicturePos(), start + QPoint(30, 20));
  Mouse(view, QEvent::MouseButtonRelease, start + QPoint(35, 25));
  EXPECT_EQ(view->CursorStateNow(), CWatermarkPreviewCtrl::kCursorNormal);
  Mouse(view, QEvent::MouseMove, start + QPoint(60, 60));
  EXPECT_EQ(view->PicturePos(), start + QPoint(30, 20)) << "no drag after the release";
  EXPECT_TRUE(host.messages.empty());

  const QPoint onPicture = view->PicturePos() + QPoint(3, 3);
  view->SetPickMode(true);
  EXPECT_EQ(view->CursorStateNow(), CWatermarkPreviewCtrl::kCursorPick);
  Mouse(view, QEvent::MouseButtonPress, onPicture);
  Mouse(view, QEvent::MouseMove, QPoint(4, 4));
  Mouse(view, QEvent::MouseMove, onPicture);
  Mouse(view, QEvent::MouseButtonRelease, onPicture);
  EXPECT_FALSE(view->PickMode()) << "one pick per activation";
  EXPECT_EQ(view->CursorStateNow(), CWatermarkPreviewCtrl::kCursorNormal);
  Mouse(view, QEvent::MouseMove, QPoint(4, 4));
  ASSERT_EQ(host.messages.size(), 3u);
  const uint64_t want[] = {0x0000FF, 0x808080, 0x0000FF};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(host.messages[i].msg, WM_WATERMARK_PICK_COLOR);
    EXPECT_EQ(host.messages[i].wParam, want[i]) << i;
    EXPECT_EQ(host.messages[i].lParam, 0);
  }
  EXPECT_EQ(view->PicturePos(), start + QPoint(30, 20)) << "picking does not drag";
  host.DestroyWindow();
}

TEST_F(WatermarkPreview, AnUnloadablePictureLoadsAsNothing) {
  CWatermarkPreviewCtrl view;
  view.resize(120, 80);
  QFile text(QString::fromStdString(At("notes.png")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("not a picture");
  text.close();
  QImage mark(10, 10, QImage::Format_RGB32);
  mark.fill(Qt::white);
  const std::string good = Picture("mark.png", mark);
  for (const std::string& bad : {At("notes.png"), At("missing.gif"), std::string(), dir_.path().toStdString()}) {
    ASSERT_TRUE(view.LoadPicture(good, nullptr, nullptr));
    int w = -1, h = -1;
    EXPECT_FALSE(view.LoadPicture(bad, &w, &h)) << bad;
    EXPECT_FALSE(view.HasPicture()) << bad;
    EXPECT_EQ(w, -1) << "sizes untouched";
    QPoint at;
    EXPECT_FALSE(view.PlaceByAlign(100, 50, 9, 0, 0, &at));
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(CountOtherThan(shot, QRect(1, 1, 118, 78), kGrey, 0), 0) << "only the field: " << bad;
  }
}

// ---- frame preview ----

class FramePreview : public Files {
 protected:
  // A 720 x 576 source: a colour with the left 8 columns green.
  std::string Source(const char* name = "frame.bmp", QSize size = QSize(720, 576)) {
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(kSource);
    for (int y = 0; y < size.height(); ++y)
      for (int x = 0; x < 8; ++x) frame.setPixelColor(x, y, QColor(0, 255, 0));
    return Picture(name, frame, "BMP");
  }
  static FrameGeometry Pal() {
    FrameGeometry g;
    g.sourceWidth = g.outputWidth = 720;
    g.sourceHeight = g.outputHeight = 576;
    return g;
  }
  const QColor kSource{100, 150, 200};
  const QColor kHatched{155, 105, 200};  // NOT(blue XOR source)
  const QColor kBackground = ColorRef(CFramePreviewCtrl::kBackground);
};

TEST_F(FramePreview, FramesAreFittedWithTheirPixelAspect) {
  CFramePreviewCtrl view;
  view.resize(182, 182);
  FrameGeometry g = Pal();
  ASSERT_TRUE(view.Open(Source(), &g));
  EXPECT_EQ(view.ShownRect(), QRect(1, 19, 180, 144)) << "full width, centred vertically";
  g.sourceAspect = 0;
  EXPECT_EQ(view.ShownRect(), QRect(1, 19, 180, 144)) << "a ratio of 0 counts as 1";
  g.sourceAspect = 16.0 / 15;
  EXPECT_EQ(view.ShownRect(), QRect(1, 23, 180, 135));
  view.resize(102, 182);
  g.sourceAspect = 1;
  EXPECT_EQ(view.ShownRect(), QRect(1, 51, 100, 80));
  view.resize(202, 102);
  EXPECT_EQ(view.ShownRect(), QRect(38, 1, 125, 100)) << "full height, centred horizontally";
  view.SetMode(2);
  g.outputWidth = 400;
  g.outputHeight = 100;
  EXPECT_EQ(view.ShownRect(), QRect(1, 26, 200, 50)) << "the output's size in the output view";
}

TEST_F(FramePreview, BandsAreHatchedOnlyOnThePatternAndOutlinedAndAOnePixelBandStaysVisible) {
  CFramePreviewCtrl view;
  view.resize(182, 182);
  FrameGeometry g = Pal();
  ASSERT_TRUE(view.Open(Source(), &g));
  const QRect shown = view.ShownRect();
  ASSERT_EQ(shown, QRect(1, 19, 180, 144));

  // A crop of one source pixel is shown 1/4 pixel deep: still one pixel.
  g.layout.rightBand = 1;
  QImage shot = view.grab().toImage();
  SaveArtifact(shot, "frame_one_pixel_band.png");
  for (int y = shown.top(); y <= shown.bottom(); ++y) {
    ASSERT_EQ(shot.pixelColor(shown.right(), y), QColor(Qt::black)) << y;
    ASSERT_EQ(shot.pixelColor(shown.right() - 1, y), kSource) << y;
  }
  EXPECT_EQ(shot.pixelColor(shown.right() + 1, 60), QColor(Qt::black)) << "the control's edge";

  // Bands of 80 / 64 source pixels: 20 / 16 shown pixels on each side.
  g.layout = ScaleLayout{};
  g.layout.leftBand = 80;
  g.layout.rightBand = 80;
  g.layout.topBand = 64;
  g.layout.bottomBand = 64;
  shot = view.grab().toImage();
  SaveArtifact(shot, "frame_bands.png");
  const QRect bands[] = {QRect(1, 19, 20, 144), QRect(161, 19, 20, 144), QRect(1, 19, 180, 16), QRect(1, 147, 180, 16)};
  // Each band in turn, left, right, top, bottom: the hatch (red and green
  // inverted on the pattern, so where two bands overlap it cancels out), then
  // a black outline.
  auto expected = [&](int x, int y) {
    QColor c = kSource;
    for (const QRect& b : bands) {
      if (!b.contains(x, y)) continue;
      if (OnDiagCrossHatch(x, y)) c = QColor(255 - c.red(), 255 - c.green(), c.blue());
      if (x == b.left() || x == b.right() || y == b.top() || y == b.bottom()) c = QColor(Qt::black);
    }
    return c;
  };
  int hatched = 0;
  for (int y = shown.top(); y <= shown.bottom(); ++y) {
    for (int x = shown.left() + 2; x <= shown.right(); ++x) {  // right of the green columns (two shown pixels)
      ASSERT_EQ(shot.pixelColor(x, y), expected(x, y)) << x << "," << y;
      hatched += shot.pixelColor(x, y) == kHatched;
    }
  }
  for (int y = shown.top(); y <= shown.bottom(); ++y) ASSERT_EQ(shot.pixelColor(1, y), QColor(Qt::black)) << y;
  EXPECT_GT(hatched, 300);
}

TEST_F(FramePreview, TheOutputViewCropsAndPadsInThePadColour) {
  CFramePreviewCtrl view;
  view.resize(182, 182);
  FrameGeometry g = Pal();
  ASSERT_TRUE(view.Open(Source(), &g));
  view.SetMode(2);
  g.layout.leftBand = 8;  // the green columns are cropped away
  g.layout.rightBand = 8;
  g.layout.leftPad = 90;  // 22.5 shown pixels
  g.layout.rightPad = 90;
  g.layout.topPad = 1;  // a quarter of a shown pixel: one
  g.layout.padColor = 0x0000FF;
  const QRect shown = view.ShownRect();
  ASSERT_EQ(shown, QRect(1, 19, 180, 144));
  const QImage shot = view.grab().toImage();
  SaveArtifact(shot, "frame_output_pads.png");
  const QColor red(255, 0, 0);
  EXPECT_EQ(CountOtherThan(shot, QRect(1, 19, 22, 144), red, 0), 0) << "left pad";
  EXPECT_EQ(CountOtherThan(shot, QRect(159, 19, 22, 144), red, 0), 0) << "right pad";
  EXPECT_EQ(CountOtherThan(shot, QRect(23, 19, 136, 1), red, 0), 0) << "top pad";
  EXPECT_EQ(CountOtherThan(shot, QRect(23, 20, 136, 143), kSource, 0), 0) << "the cropped picture, no green";
  EXPECT_EQ(shot.pixelColor(0, 60), QColor(Qt::black));
  EXPECT_EQ(shot.pixelColor(60, 18), kBackground);
  EXPECT_EQ(shot.pixelColor(60, 163), kBackground);
}

TEST_F(FramePreview, AnUnreadableOrMismatchedFrameShowsTheBackgroundOnly) {
  CFramePreviewCtrl view;
  view.resize(100, 80);
  FrameGeometry g = Pal();
  auto onlyBackground = [&](const char* what) {
    EXPECT_FALSE(view.IsValid()) << what;
    EXPECT_TRUE(view.ShownRect().isEmpty()) << what;
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(CountOtherThan(shot, QRect(1, 1, 98, 78), kBackground, 0), 0) << what;
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::black)) << what;
  };
  QFile junk(QString::fromStdString(At("junk.bmp")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("BM not really a bitmap");
  junk.close();
  EXPECT_FALSE(view.Open(At("junk.bmp"), &g));
  onlyBackground("unreadable");
  EXPECT_FALSE(view.Open(At("missing.bmp"), &g));
  onlyBackground("missing");
  EXPECT_FALSE(view.Open(Source("ntsc.bmp", QSize(720, 480)), &g));
  onlyBackground("720 x 480 for a 720 x 576 source");
  EXPECT_FALSE(view.Open(Source(), nullptr));
  onlyBackground("no geometry");

  ASSERT_TRUE(view.Open(Source(), &g));
  EXPECT_FALSE(view.LoadFrame(At("junk.bmp")));
  onlyBackground("a good frame, then an unreadable one");
  ASSERT_TRUE(view.LoadFrame(Source()));
  EXPECT_FALSE(view.ShownRect().isEmpty());
  g.sourceWidth = 0;  // the dialog cleared its record after the frame came
  g.layout.leftBand = 4;
  EXPECT_TRUE(view.ShownRect().isEmpty());
  EXPECT_EQ(CountOtherThan(view.grab().toImage(), QRect(1, 1, 98, 78), kBackground, 0), 0);
}

}  // namespace
