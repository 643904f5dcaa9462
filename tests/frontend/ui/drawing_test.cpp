// Drawing helpers and pictures: HLS arithmetic, the off-screen surface, the
// painter selectors, the hatch, and pictures read (GIF frames with their
// delays), cropped, made transparent and written.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <string>

#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/picture.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"
#include "tests/test_util/gif_file.h"

namespace {

uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
uint32_t Hls(int h, int l, int s) { return uint32_t(h) | uint32_t(l) << 8 | uint32_t(s) << 16; }

std::string Hex(uint32_t v) { return QString::asprintf("%06X", v).toStdString(); }

TEST(Colours, HlsArithmeticTruncatesAsTheTableSays) {
  struct Case {
    const char* what;
    uint32_t rgb, hls;
  };
  const Case toHls[] = {
      {"pure red: 360 degrees stays 255", Rgb(255, 0, 0), Hls(255, 127, 255)},
      {"pure green", Rgb(0, 255, 0), Hls(85, 127, 255)},
      {"pure blue", Rgb(0, 0, 255), Hls(170, 127, 255)},
      {"grey: no hue, no saturation", Rgb(100, 100, 100), Hls(0, 100, 0)},
      {"black", Rgb(0, 0, 0), Hls(0, 0, 0)},
      {"white", Rgb(255, 255, 255), Hls(0, 255, 0)},
      {"light: saturation over 510 - sum", Rgb(255, 255, 128), Hls(42, 191, 255)},
  };
  for (const Case& c : toHls) EXPECT_EQ(Hex(RGBToHLS(c.rgb)), Hex(c.hls)) << c.what;

  EXPECT_EQ(Hex(HLSToRGB(Hls(77, 90, 0))), Hex(Rgb(90, 90, 90))) << "saturation 0 is the luminance's grey";
  EXPECT_EQ(Hex(HLSToRGB(Hls(0, 0, 200))), Hex(Rgb(0, 0, 0)));

  const Case adjusted[] = {
      {"red there and back loses one", Rgb(255, 0, 0), Rgb(254, 0, 0)},
      {"button face there and back", Rgb(212, 208, 200), Rgb(211, 207, 200)},
  };
  for (const Case& c : adjusted) EXPECT_EQ(Hex(AdjustHLS(c.rgb, 0, 0)), Hex(c.hls)) << c.what;
  for (uint32_t colour : {Rgb(255, 0, 0), Rgb(212, 208, 200), Rgb(0, 0, 0), Rgb(10, 200, 90)}) {
    EXPECT_EQ(Hex(AdjustHLS(colour, 100, 0)), Hex(Rgb(255, 255, 255))) << Hex(colour);
    EXPECT_EQ(Hex(AdjustHLS(colour, -100, 0)), Hex(Rgb(0, 0, 0))) << Hex(colour);
  }
  // Half way to white (luminance 127 -> 191, hue kept), and all saturation taken: a grey.
  const uint32_t lighter = RGBToHLS(AdjustHLS(Rgb(0, 0, 255), 50, 0));
  EXPECT_NEAR(double((lighter >> 8) & 0xFF), 191, 1) << Hex(lighter);
  EXPECT_NEAR(double(lighter & 0xFF), 170, 1) << Hex(lighter);
  const uint32_t grey = AdjustHLS(Rgb(10, 200, 90), 0, -100);
  EXPECT_TRUE((grey & 0xFF) == ((grey >> 8) & 0xFF) && (grey & 0xFF) == ((grey >> 16) & 0xFF)) << Hex(grey);
}

QImage Filled(int w, int h, QColor c) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(c);
  return image;
}

TEST(Offscreen, ReachesTheTargetOnlyWhenDestroyedAndOnlyItsRectangle) {
  QImage target = Filled(120, 40, Qt::white);
  QPainter painter(&target);
  {
    COffscreenDC dc(&painter, QRect(10, 5, 90, 15));  // (10, 5) .. (100, 20)
    EXPECT_EQ(dc.Image().size(), QSize(100, 20)) << "the memory image uses the target's coordinates";
    dc.fillRect(QRect(0, 0, 300, 300), Qt::red);
    EXPECT_EQ(target.pixelColor(50, 10), QColor(Qt::white)) << "nothing drawn before the copy";
  }
  EXPECT_EQ(target.pixelColor(10, 5), QColor(Qt::red));
  EXPECT_EQ(target.pixelColor(99, 19), QColor(Qt::red));
  EXPECT_EQ(CountOtherThan(target, QRect(10, 5, 90, 15), Qt::red, 0), 0);
  for (QPoint outside : {QPoint(9, 5), QPoint(10, 4), QPoint(100, 10), QPoint(50, 20), QPoint(0, 0)})
    EXPECT_EQ(target.pixelColor(outside), QColor(Qt::white)) << outside.x() << "," << outside.y();
  {
    COffscreenDC dc(&painter, QRect());  // empty: the whole device
    EXPECT_EQ(dc.Rect(), QRect(0, 0, 120, 40));
    dc.fillRect(QRect(110, 30, 10, 10), Qt::blue);  // the rest is left undrawn
  }
  painter.end();
  EXPECT_EQ(target.pixelColor(115, 35), QColor(Qt::blue));
  EXPECT_EQ(target.pixelColor(50, 10), QColor(Qt::red)) << "undrawn pixels keep the target";
  EXPECT_EQ(target.pixelColor(5, 35), QColor(Qt::white));
}

TEST(Selectors, PutThePainterBackAsTheyFoundIt) {
  QImage image = Filled(40, 40, Qt::white);
  QPainter p(&image);
  const QPen pen(Qt::green, 3);
  const QBrush brush(Qt::yellow);
  p.setPen(pen);
  p.setBrush(brush);
  QFont font = QApplication::font();
  font.setPointSize(21);
  p.setFont(font);
  {
    CSelectPen selectPen(&p, Rgb(0, 0, 255));
    EXPECT_EQ(p.pen().color(), QColor(0, 0, 255));
    EXPECT_EQ(p.pen().width(), 1);
    selectPen.SetColor(Rgb(1, 2, 3));
    EXPECT_EQ(p.pen().color(), QColor(1, 2, 3));
    CSelectBrush none(&p, CSelectBrush::kNullBrush);
    EXPECT_EQ(p.brush().style(), Qt::NoBrush);
    {
      CSelectBrush solid(&p, Rgb(9, 8, 7));
      EXPECT_EQ(p.brush().color(), QColor(9, 8, 7));
    }
    EXPECT_EQ(p.brush().style(), Qt::NoBrush);
  }
  EXPECT_EQ(p.pen(), pen);
  EXPECT_EQ(p.brush(), brush);
  {
    CSelectFont keep(&p, DEFAULT_GUI_FONT);  // no colour given: the pen stays
    EXPECT_EQ(p.pen(), pen);
    EXPECT_EQ(p.font(), StockFontOf(DEFAULT_GUI_FONT));
    keep.SetFont(ANSI_FIXED_FONT);
    EXPECT_EQ(p.font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
    keep.SetTextColor(Rgb(200, 0, 0));
    keep.SetTextColor(Rgb(0, 200, 0));
    EXPECT_EQ(p.pen().color(), QColor(0, 200, 0));
    EXPECT_EQ(p.pen().width(), 3) << "only the colour of the pen changes";
  }
  EXPECT_EQ(p.pen(), pen) << "the colour from before the first change comes back";
  EXPECT_EQ(p.font(), font);
  {
    CBoldFont bold(&p, true);
    EXPECT_TRUE(bold.Changed());
    EXPECT_EQ(p.font().weight(), QFont::Bold);
    CBoldFont again(&p, true);
    EXPECT_FALSE(again.Changed()) << "already bold";
    {
      CBoldFont plain(&p, false);
      EXPECT_EQ(p.font().weight(), QFont::Normal);
    }
    EXPECT_EQ(p.font().weight(), QFont::Bold);
  }
  EXPECT_EQ(p.font(), font);
}

TEST(Hatch, OnlyPatternPixelsChangeAsNotXorOfTheColour) {
  QImage image = Filled(40, 30, QColor(100, 150, 200));
  const QRect band(3, 2, 21, 11);
  {
    QPainter p(&image);
    HatchRectNotXor(&p, band, 0xFF0000);  // blue
  }
  SaveArtifact(image, "hatch.png");
  int onPattern = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool hatched = band.contains(x, y) && OnDiagCrossHatch(x, y);
      onPattern += hatched;
      // NOT(blue XOR pixel): red and green inverted, blue kept.
      const QColor want = hatched ? QColor(155, 105, 200) : QColor(100, 150, 200);
      ASSERT_EQ(image.pixelColor(x, y), want) << x << "," << y;
    }
  }
  EXPECT_GT(onPattern, 40);
  EXPECT_TRUE(OnDiagCrossHatch(8, 8) && OnDiagCrossHatch(0, 7) && OnDiagCrossHatch(3, 4));
  EXPECT_FALSE(OnDiagCrossHatch(1, 0) || OnDiagCrossHatch(4, 5));
}

TEST(Screen, AnEmptyRectangleCapturesNothing) { EXPECT_TRUE(CaptureScreenBitmap(QRect()).isNull()); }

// ---- pictures ----

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  std::string At(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }
  void Write(const char* name, const QByteArray& bytes) const {
    QFile f(QString::fromStdString(At(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  void WriteGif(const char* name, const std::vector<std::pair<int, int>>& frames) const {
    const std::vector<uint8_t> gif = MakeGif(6, 4, frames);
    Write(name, QByteArray(reinterpret_cast<const char*>(gif.data()), qsizetype(gif.size())));
  }
  QTemporaryDir dir_;
};

TEST_F(Pictures, TypesComeFromTheTextAfterTheLastDot) {
  EXPECT_EQ(FindFileExtension("/a.b/mark.PNG"), "PNG");
  EXPECT_EQ(FindFileExtension("noext"), "noext");
  EXPECT_EQ(FindFileExtension("trailing."), "");
  const std::pair<const char*, int> table[] = {{"bmp", kPictureBmp},
                                               {"GIF", kPictureGif},
                                               {"jpg", kPictureJpg},
                                               {"jpeg", kPictureJpg},
                                               {"png", kPicturePng},
                                               {"tga", 0},
                                               {"", 0}};
  for (auto [ext, type] : table) EXPECT_EQ(CPicture::GetTypeIdFromName(ext), type) << ext;
}

TEST_F(Pictures, AnimatedGifGivesEveryFrameWithTheDelayTheFileGives) {
  WriteGif("anim.gif", {{1, 10}, {2, 0}, {3, 20}});
  CPicture first(kPictureGif);
  ASSERT_TRUE(first.Load(At("anim.gif"), kPictureGif));
  EXPECT_EQ(first.GetNumFrames(), 3);
  EXPECT_EQ(first.GetPixelColor(0, 0), qRgb(255, 0, 0)) << "the first frame by default";
  EXPECT_EQ(first.GetFrameDelay(), 10);
  EXPECT_EQ(first.GetFrame(0), nullptr) << "frames are kept only when asked for";

  CPicture all(kPictureGif);
  all.SetRetreiveAllFrames(true);
  all.SetFrame(2);
  ASSERT_TRUE(all.Load(At("anim.gif"), kPictureGif));
  EXPECT_EQ(all.GetPixelColor(5, 3), qRgb(0, 0, 255)) << "the frame chosen";
  const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
  const int delays[] = {10, 0, 20};
  for (int i = 0; i < 3; ++i) {
    const CPicture* frame = all.GetFrame(i);
    ASSERT_NE(frame, nullptr) << i;
    EXPECT_EQ(frame->GetFrameDelay(), delays[i]) << "frame " << i;
    EXPECT_EQ(frame->GetPixelColor(2, 2), colours[i]) << "frame " << i;
    EXPECT_EQ(frame->GetWidth(), 6);
    EXPECT_EQ(frame->GetType(), kPictureGif);
  }
  EXPECT_EQ(all.GetFrame(3), nullptr);
  EXPECT_EQ(all.GetFrame(-1), nullptr);

  CPicture copy;
  copy.Copy(*all.GetFrame(1), true, true, true);
  EXPECT_EQ(copy.GetPixelColor(0, 0), qRgb(0, 255, 0));
  EXPECT_EQ(copy.GetFrameDelay(), 0);
}

TEST_F(Pictures, TheContentDecidesWhenTheNameOrTypeIsWrong) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(qRgb(1, 2, 3));
  ASSERT_TRUE(image.save(QString::fromStdString(At("really_png.bmp")), "PNG"));
  CPicture p(kPictureBmp);
  ASSERT_TRUE(p.Load(At("really_png.bmp"), kPictureBmp));
  EXPECT_EQ(p.GetType(), kPicturePng);
  EXPECT_EQ(p.GetWidth(), 3);
  EXPECT_EQ(p.GetHeight(), 2);
  EXPECT_GT(p.GetSize(), 0);
  CPicture unknown;
  EXPECT_TRUE(unknown.Load(At("really_png.bmp"), kPictureUnknown));
}

TEST_F(Pictures, BadFilesLoadAsNothing) {
  Write("text.png", "this is not a picture at all\n");
  const std::vector<uint8_t> gif = MakeGif(4, 4, {{1, 10}});
  Write("cut.gif", QByteArray(reinterpret_cast<const char*>(gif.data()), 20));
  Write("empty.bmp", "");
  QDir(dir_.path()).mkdir(QStringLiteral("folder.png"));
  for (const char* name : {"text.png", "cut.gif", "empty.bmp", "folder.png", "missing.png"}) {
    CPicture p;
    EXPECT_FALSE(p.Load(At(name), kPicturePng)) << name;
    EXPECT_FALSE(p.IsValid()) << name;
    EXPECT_EQ(p.GetSize(), 0) << name;
    EXPECT_EQ(p.GetWidth(), 0) << name;
  }
  // A GIF cut anywhere: nothing read past its end, and a picture only whole.
  const std::vector<uint8_t> anim = MakeGif(4, 4, {{1, 10}, {2, 0}, {3, 20}});
  for (size_t n = 0; n < anim.size(); ++n) {
    Write("part.gif", QByteArray(reinterpret_cast<const char*>(anim.data()), qsizetype(n)));
    CPicture part;
    part.SetRetreiveAllFrames(true);
    if (part.Load(At("part.gif"), kPictureGif)) {
      EXPECT_EQ(part.GetWidth(), 4) << n;
      for (int i = 0; const CPicture* frame = part.GetFrame(i); ++i) EXPECT_LE(frame->GetFrameDelay(), 20) << n;
    }
  }
  CPicture p;
  EXPECT_FALSE(p.Load("", kPicturePng));
  // A picture that held an image holds none after a failed load.
  QImage image(2, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(p.CreateFromImage(image));
  EXPECT_FALSE(p.Load(At("text.png"), kPicturePng));
  EXPECT_FALSE(p.IsValid());
}

TEST_F(Pictures, CropDrawTransparencyAndBottomUpRows) {
  QImage image(4, 4, QImage::Format_RGB32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) image.setPixel(x, y, qRgb(x * 60, y * 60, 7));
  CPicture p;
  ASSERT_TRUE(p.CreateFromImage(image));
  CPicture part;
  ASSERT_TRUE(p.Crop(1, 2, 3, 4, &part));
  EXPECT_EQ(part.GetWidth(), 2);
  EXPECT_EQ(part.GetHeight(), 2);
  EXPECT_EQ(part.GetPixelColor(0, 0), qRgb(60, 120, 7));
  ASSERT_TRUE(p.Crop(3, 3, 10, 10, &part)) << "cut to the image";
  EXPECT_EQ(part.GetWidth(), 1);
  EXPECT_FALSE(p.Crop(4, 0, 8, 4, &part)) << "nothing of it on the image";
  EXPECT_FALSE(p.Crop(2, 2, 2, 3, &part)) << "empty";
  EXPECT_EQ(p.GetPixelColor(9, 9), 0u);

  // Drawn scaled twice over white, with one colour transparent.
  p.SetTransColor(qRgb(0, 0, 7));
  QImage target = Filled(8, 8, Qt::white);
  {
    QPainter painter(&target);
    p.Draw(&painter, 0, 0, 8, 8);
  }
  EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::white)) << "the transparent colour";
  EXPECT_EQ(target.pixelColor(7, 7), QColor(180, 180, 7));
  EXPECT_EQ(target.pixelColor(2, 0), QColor(60, 0, 7));

  CPicture dib;
  uint8_t* bits = dib.Create(3, 2, 24, kPictureJpg);
  ASSERT_NE(bits, nullptr);
  bits[0] = 0, bits[1] = 0, bits[2] = 255;  // blue, green, red of the bottom row's first pixel
  EXPECT_EQ(dib.GetPixelColor(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(dib.GetBits(2), nullptr);
  EXPECT_EQ(dib.Create(3, 2, 8, kPictureJpg), nullptr);
}

TEST_F(Pictures, SaveWritesWholeFilesOrNothing) {
  CPicture p;
  uint8_t* bits = p.Create(16, 8, 24, kPictureJpg);
  ASSERT_NE(bits, nullptr);
  p.SetJpegQuality(90);
  ASSERT_TRUE(p.Save(At("snap.jpg"), kPictureJpg));
  CPicture back;
  ASSERT_TRUE(back.Load(At("snap.jpg"), kPictureJpg));
  EXPECT_EQ(back.GetWidth(), 16);
  EXPECT_FALSE(p.Save(At("no/such/folder/snap.jpg"), kPictureJpg));
  EXPECT_FALSE(p.Save(At("x.tga"), 0)) << "a type that cannot be written";
  EXPECT_FALSE(QFile::exists(QString::fromStdString(At("x.tga"))));
  EXPECT_FALSE(CPicture().Save(At("none.png"), kPicturePng)) << "no image";
  EXPECT_FALSE(QFile::exists(QString::fromStdString(At("none.png"))));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("snap.jpg")})
      << "no temporary file left";
}

}  // namespace
