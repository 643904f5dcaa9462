// Draws the preview player's button pictures: each a 22 x 22 PNG with a
// transparent background, in a normal, a hover ("_over") and, for the buttons
// that can be disabled, a disabled ("_disable") shade.
// Usage: mkplayer <resource folder>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr int kSize = 22;
using Glyph = std::function<void(QPainter&, const QColor&)>;

void Play(QPainter& p, const QColor& c) {
  QPainterPath path;
  path.moveTo(7, 5);
  path.lineTo(17, 11);
  path.lineTo(7, 17);
  path.closeSubpath();
  p.fillPath(path, c);
}

void PauseBars(QPainter& p, const QColor& c) {
  p.fillRect(QRectF(6, 5, 4, 12), c);
  p.fillRect(QRectF(12, 5, 4, 12), c);
}

void Stop(QPainter& p, const QColor& c) { p.fillRect(QRectF(6, 6, 10, 10), c); }

void Camera(QPainter& p, const QColor& c) {
  p.fillRect(QRectF(3, 7, 16, 10), c);
  p.fillRect(QRectF(7, 5, 6, 3), c);
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(11, 12), 3, 3);
}

void OpenArrow(QPainter& p, const QColor& c) {
  QPainterPath path;
  path.moveTo(6, 8);
  path.lineTo(16, 8);
  path.lineTo(11, 15);
  path.closeSubpath();
  p.fillPath(path, c);
}

void Speaker(QPainter& p, const QColor& c) {
  QPainterPath path;
  path.moveTo(4, 9);
  path.lineTo(8, 9);
  path.lineTo(12, 5);
  path.lineTo(12, 17);
  path.lineTo(8, 13);
  path.lineTo(4, 13);
  path.closeSubpath();
  p.fillPath(path, c);
}

void SoundOn(QPainter& p, const QColor& c) {
  Speaker(p, c);
  p.setPen(QPen(c, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(11, 7, 5, 8), -60 * 16, 120 * 16);
  p.drawArc(QRectF(11, 4, 8, 14), -60 * 16, 120 * 16);
}

void SoundOff(QPainter& p, const QColor& c) {
  Speaker(p, c);
  p.setPen(QPen(QColor(200, 40, 40), 2));
  p.drawLine(QPointF(14, 8), QPointF(19, 14));
  p.drawLine(QPointF(19, 8), QPointF(14, 14));
}

bool Write(const QString& folder, const std::string& name, const Glyph& glyph, const QColor& colour) {
  QImage image(kSize, kSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p, colour);
  }
  const QString path = folder + "/" + QString::fromStdString(name) + ".png";
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "mkplayer: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkplayer <resource folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "mkplayer: cannot make %s\n", argv[1]);
    return 1;
  }
  const QColor normal(52, 82, 122), over(24, 120, 215), disabled(170, 170, 170);
  const struct {
    const char* name;
    Glyph glyph;
    bool canDisable;
  } buttons[] = {
      {"playnormal", Play, true},       {"playpause", PauseBars, false}, {"playstop", Stop, true},
      {"playcap", Camera, true},        {"playopen", OpenArrow, true},   {"playaudio", SoundOn, false},
      {"playnoaudio", SoundOff, false},
  };
  bool ok = true;
  for (const auto& b : buttons) {
    ok = Write(folder, b.name, b.glyph, normal) && ok;
    ok = Write(folder, std::string(b.name) + "_over", b.glyph, over) && ok;
    if (b.canDisable) ok = Write(folder, std::string(b.name) + "_disable", b.glyph, disabled) && ok;
  }
  return ok ? 0 : 1;
}
