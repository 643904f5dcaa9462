// mkskin FOLDER: draws the skin pictures of the front end into FOLDER:
// brelsk.bmp (the About box's face; magenta is the key colour, cut away from
// the window), icon/175.png, icon/178.png (the program's big and small icons),
// icon/velmo-<N>.png (the program's icon in every size, for the windows and
// the desktop) and icon/227.png (the preview panel's icon).
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cstdio>

#include "frontend/app/product.h"
#include "frontend/ui/resources.h"

namespace {

constexpr int kSkinWidth = 480;
constexpr int kSkinHeight = 260;
constexpr int kCorner = 22;
constexpr int kBandHeight = 78;
const QColor kKey(255, 0, 255);

// The disc of the product: a blue disc with a light ring and a play mark.
void DrawDisc(QPainter& p, const QRectF& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient fill(r.center(), r.width() / 2, r.topLeft() + QPointF(r.width() * 0.35, r.height() * 0.3));
  fill.setColorAt(0, QColor(120, 180, 250));
  fill.setColorAt(1, QColor(20, 60, 150));
  p.setPen(QPen(QColor(10, 40, 100), std::max(1.0, r.width() / 32)));
  p.setBrush(fill);
  p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
  // The hole.
  const double hole = r.width() * 0.14;
  p.setBrush(QColor(235, 242, 252));
  p.drawEllipse(r.center(), hole, hole);
  // The play mark.
  QPainterPath play;
  const QPointF c = r.center();
  const double s = r.width() * 0.2;
  play.moveTo(c + QPointF(s * 0.9, -s * 2.1));
  play.lineTo(c + QPointF(s * 2.3, -s * 1.3));
  play.lineTo(c + QPointF(s * 0.9, -s * 0.5));
  play.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 200, 60));
  p.drawPath(play);
  p.restore();
}

QImage DrawSkin() {
  QImage image(kSkinWidth, kSkinHeight, QImage::Format_RGB32);
  image.fill(kKey);
  QPainter p(&image);
  // The outline is drawn without smoothing, so its edge pixels are either
  // the key colour or the face.
  p.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, kSkinWidth, kSkinHeight), kCorner, kCorner);
  QLinearGradient face(0, 0, 0, kSkinHeight);
  face.setColorAt(0, QColor(248, 251, 255));
  face.setColorAt(1, QColor(218, 230, 246));
  p.fillPath(outline, face);

  // The title band.
  p.setClipPath(outline);
  QLinearGradient band(0, 0, 0, kBandHeight);
  band.setColorAt(0, QColor(40, 90, 170));
  band.setColorAt(1, QColor(18, 52, 120));
  p.fillRect(QRect(0, 0, kSkinWidth, kBandHeight), band);
  p.fillRect(QRect(0, kBandHeight, kSkinWidth, 3), QColor(255, 190, 40));
  // A thin frame just inside the edge.
  p.setClipping(false);
  p.setPen(QPen(QColor(30, 70, 140), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(1, 1, kSkinWidth - 2, kSkinHeight - 2), kCorner - 1, kCorner - 1);

  DrawDisc(p, QRectF(26, 20, 88, 88));

  p.setRenderHint(QPainter::TextAntialiasing);
  // The product's name, as large as fits beside the disc.
  const QString name = QString::fromUtf8(kProductDisplayName);
  const QRect titleRect(132, 0, kSkinWidth - 150, kBandHeight);
  QFont title(QStringLiteral("Sans Serif"));
  title.setBold(true);
  for (int px = 28; px >= 10; --px) {
    title.setPixelSize(px);
    if (QFontMetrics(title).horizontalAdvance(name) <= titleRect.width()) break;
  }
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, name);
  p.end();
  return image;
}

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  DrawDisc(p, QRectF(0, 0, size, size));
  p.end();
  return image;
}

// The preview panel's icon: a screen showing a play mark.
QImage DrawPreviewIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 16.0, size / 16.0);
  p.setPen(QPen(QColor(30, 40, 60), 1));
  QLinearGradient glass(0, 2, 0, 12);
  glass.setColorAt(0, QColor(90, 140, 210));
  glass.setColorAt(1, QColor(20, 50, 120));
  p.setBrush(glass);
  p.drawRoundedRect(QRectF(0.5, 1.5, 15, 11), 1.5, 1.5);
  p.setBrush(QColor(120, 126, 138));
  p.drawRect(QRectF(5.5, 12.5, 5, 2));
  QPainterPath play;
  play.moveTo(6, 4.5);
  play.lineTo(11, 7);
  play.lineTo(6, 9.5);
  play.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 200, 60));
  p.drawPath(play);
  p.end();
  return image;
}

bool Save(const QImage& image, const QString& path, const char* format) {
  if (image.save(path, format)) return true;
  std::fprintf(stderr, "mkskin: cannot write %s\n", path.toUtf8().constData());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkskin FOLDER\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder + QStringLiteral("/icon"))) {
    std::fprintf(stderr, "mkskin: cannot make %s/icon\n", argv[1]);
    return 1;
  }
  bool ok = Save(DrawSkin(), folder + QStringLiteral("/brelsk.bmp"), "BMP");
  ok = Save(DrawIcon(32), folder + QStringLiteral("/icon/175.png"), "PNG") && ok;
  ok = Save(DrawIcon(16), folder + QStringLiteral("/icon/178.png"), "PNG") && ok;
  for (int size : kProgramIconSizes)
    ok = Save(DrawIcon(size), folder + QStringLiteral("/icon/velmo-%1.png").arg(size), "PNG") && ok;
  ok = Save(DrawPreviewIcon(16), folder + QStringLiteral("/icon/227.png"), "PNG") && ok;
  return ok ? 0 : 1;
}
