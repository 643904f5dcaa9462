// The main window's pictures: the menu icons (128), the Start button's icons
// (181), the hover buttons' faces (144, 146, 152, 185), the empty title tree
// (212) and the media scan's moving strip (133).
#include <QFont>
#include <QPainter>
#include <cmath>

#include "bitmaps.h"
#include "pictograms.h"

namespace {

// 16 x 16 tiles by menu image index.
QImage MenuIcons() {
  return PictogramStrip(
      {Pictogram::Document, Pictogram::Tag, Pictogram::Log, Pictogram::Folder, Pictogram::Play, Pictogram::Subtitle,
       Pictogram::Watermark, Pictogram::AddDvd, Pictogram::Bin, Pictogram::Exit, Pictogram::Note, Pictogram::Pencil,
       Pictogram::Film, Pictogram::Sliders, Pictogram::Info, Pictogram::Scissors, Pictogram::Help},
      16, KeyColour());
}

// Normal and hover icons, 18 x 18 each, on the key colour 0x800000 (navy).
QImage StartIcons() { return PictogramStrip({Pictogram::Play, Pictogram::PlayHot}, 18, QColor(0, 0, 128)); }

QImage AddDvdFace() { return PictogramStrip({Pictogram::AddDvd}, 16, KeyColour()); }
QImage DeleteFace() { return PictogramStrip({Pictogram::Bin}, 16, KeyColour()); }
QImage EditFace() { return PictogramStrip({Pictogram::Pencil}, 16, KeyColour()); }
QImage TrimFace() { return PictogramStrip({Pictogram::Scissors}, 16, KeyColour()); }

// Shown in the empty title tree, on white: how to load a disc.
QImage EmptyTree() {
  QImage image(330, 96, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setOpacity(0.55);
  DrawPictogram(p, Pictogram::AddDvd, QRectF(12, 12, 64, 64));
  p.setOpacity(1);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(90, 110, 140));
  p.drawText(QRect(92, 18, 232, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("No DVD loaded"));
  font.setBold(false);
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(QColor(120, 130, 145));
  p.drawText(QRect(92, 40, 232, 48), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Click \"Add DVD...\" below to open a DVD drive or a DVD folder."));
  return image;
}

// 411 x 5, tiled while it slides: a light band with a blue glow whose
// brightness runs once round the width, so the copies join.
QImage ScanStrip() {
  constexpr int kWidth = 411, kHeight = 5;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  const QColor face(236, 240, 248), glow(40, 110, 210);
  const double shade[kHeight] = {0.75, 1.0, 0.95, 0.8, 0.6};
  for (int x = 0; x < kWidth; ++x) {
    const double t = 0.5 - 0.5 * std::cos(2 * M_PI * x / kWidth);
    const double w = t * t;
    for (int y = 0; y < kHeight; ++y) {
      const double k = w * shade[y];
      image.setPixelColor(x, y,
                          QColor(static_cast<int>(face.red() + (glow.red() - face.red()) * k),
                                 static_cast<int>(face.green() + (glow.green() - face.green()) * k),
                                 static_cast<int>(face.blue() + (glow.blue() - face.blue()) * k)));
    }
  }
  return image;
}

const BitmapRegistrar kMainWindowBitmaps({{128, MenuIcons},
                                          {133, ScanStrip},
                                          {144, DeleteFace},
                                          {146, AddDvdFace},
                                          {152, EditFace},
                                          {181, StartIcons},
                                          {185, TrimFace},
                                          {212, EmptyTree}});

}  // namespace
