#include "pictograms.h"

#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

const QColor kOutline(40, 48, 64);
const QColor kFolderFill(246, 200, 80);
const QColor kFolderEdge(170, 120, 20);
const QColor kPaper(252, 252, 252);
const QColor kBlue(40, 110, 210);
const QColor kGreen(40, 160, 60);
const QColor kRed(200, 50, 40);
const QColor kGrey(130, 136, 148);

QColor Or(const QColor& accent, const QColor& own) { return accent.isValid() ? accent : own; }

// A closed outline through the points.
QPainterPath Closed(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(points));
  path.closeSubpath();
  return path;
}

QPen Pen(const QColor& c, double w = 1.0) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Folder(QPainter& p) {
  QPainterPath back = Closed({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}});
  p.setPen(Pen(kFolderEdge));
  p.setBrush(kFolderFill.darker(115));
  p.drawPath(back);
  QPainterPath front = Closed({{1.5, 13.5}, {3, 7}, {15.5, 7}, {14.5, 13.5}});
  p.setBrush(kFolderFill);
  p.drawPath(front);
}

void Disc(QPainter& p, const QPointF& c, double r) {
  p.setPen(Pen(QColor(60, 80, 120)));
  QRadialGradient g(c, r, c - QPointF(r * 0.4, r * 0.4));
  g.setColorAt(0, QColor(235, 240, 255));
  g.setColorAt(1, QColor(130, 160, 220));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
  p.setBrush(Qt::white);
  p.drawEllipse(c, r * 0.28, r * 0.28);
}

void Page(QPainter& p, const QColor& accent) {
  QPainterPath page = Closed({{3.5, 1.5}, {10, 1.5}, {13.5, 5}, {13.5, 14.5}, {3.5, 14.5}});
  p.setPen(Pen(kOutline));
  p.setBrush(kPaper);
  p.drawPath(page);
  p.drawPolyline(QPolygonF({{10, 1.5}, {10, 5}, {13.5, 5}}));
  p.setPen(Pen(Or(accent, kGrey)));
  for (double y : {7.5, 9.5, 11.5}) p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
}

void Screen(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(70, 110, 170));
  p.drawRoundedRect(QRectF(1.5, 2.5, 13, 10), 1, 1);
  p.drawLine(QPointF(6, 14.5), QPointF(10, 14.5));
}

void PlayTriangle(QPainter& p, bool hot) {
  QPolygonF tri({{4, 2}, {14, 8}, {4, 14}});
  QLinearGradient g(0, 2, 0, 14);
  g.setColorAt(0, hot ? QColor(150, 240, 120) : QColor(110, 210, 100));
  g.setColorAt(1, hot ? QColor(40, 170, 40) : QColor(20, 120, 30));
  p.setPen(Pen(hot ? QColor(20, 110, 20) : QColor(10, 80, 20)));
  p.setBrush(g);
  p.drawPolygon(tri);
}

void Bin(QPainter& p) {
  p.setPen(Pen(kOutline));
  QLinearGradient g(3, 0, 13, 0);
  g.setColorAt(0, QColor(200, 206, 216));
  g.setColorAt(1, QColor(120, 128, 140));
  p.setBrush(g);
  QPolygonF body({{3.5, 5}, {12.5, 5}, {11.5, 14.5}, {4.5, 14.5}});
  p.drawPolygon(body);
  for (double x : {6.5, 8.0, 9.5}) p.drawLine(QPointF(x, 7), QPointF(x, 12.5));
  p.setBrush(QColor(150, 156, 168));
  p.drawRect(QRectF(2, 3, 12, 2));
  p.drawRect(QRectF(6, 1.5, 4, 1.5));
}

void Scissors(QPainter& p) {
  p.setPen(Pen(QColor(90, 96, 110), 1.4));
  p.drawLine(QPointF(4.5, 1.5), QPointF(10, 11));
  p.drawLine(QPointF(11.5, 1.5), QPointF(6, 11));
  p.setPen(Pen(kRed, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
  p.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
  p.setPen(Pen(kOutline));
  p.setBrush(kOutline);
  p.drawEllipse(QPointF(8, 8.2), 0.7, 0.7);
}

void Pencil(QPainter& p) {
  p.save();
  p.translate(8, 8);
  p.rotate(-45);
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(250, 190, 40));
  p.drawRect(QRectF(-4, -2, 9, 4));
  p.setBrush(QColor(240, 130, 140));
  p.drawRect(QRectF(5, -2, 2, 4));
  p.setBrush(QColor(240, 215, 170));
  p.drawPolygon(QPolygonF({{-4, -2}, {-7.5, 0}, {-4, 2}}));
  p.setBrush(kOutline);
  p.drawPolygon(QPolygonF({{-6.3, -0.7}, {-7.5, 0}, {-6.3, 0.7}}));
  p.restore();
}

void Film(QPainter& p, const QColor& accent) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(50, 54, 62));
  p.drawRect(QRectF(1.5, 2.5, 13, 11));
  p.setBrush(Or(accent, QColor(110, 170, 240)));
  p.drawRect(QRectF(4, 4.5, 8, 7));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  for (double y : {3.5, 6.5, 9.5, 12.0}) {
    p.drawRect(QRectF(2.2, y, 1.1, 1));
    p.drawRect(QRectF(12.7, y, 1.1, 1));
  }
}

void Note(QPainter& p, const QColor& accent) {
  const QColor c = Or(accent, QColor(120, 60, 190));
  p.setPen(Pen(c.darker(150)));
  p.setBrush(c);
  p.drawPolygon(QPolygonF({{6, 3}, {14, 1.5}, {14, 4}, {6, 5.5}}));
  p.setPen(Pen(c.darker(150), 1.3));
  p.drawLine(QPointF(6, 4), QPointF(6, 12));
  p.drawLine(QPointF(14, 2.5), QPointF(14, 10.5));
  p.setPen(Pen(c.darker(150)));
  p.drawEllipse(QPointF(4.2, 12.3), 2.3, 1.8);
  p.drawEllipse(QPointF(12.2, 10.8), 2.3, 1.8);
}

void Gear(QPainter& p, const QColor& accent) {
  const QColor c = Or(accent, QColor(110, 120, 140));
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 2; ++i) {
    const double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
    const double r = i % 2 == 0 ? 7 : 5.2;
    const QPointF p0(8 + r * std::cos(a0), 8 + r * std::sin(a0)), p1(8 + r * std::cos(a1), 8 + r * std::sin(a1));
    if (i == 0)
      gear.moveTo(p0);
    else
      gear.lineTo(p0);
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  gear.addEllipse(QPointF(8, 8), 2, 2);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(Pen(c.darker(170)));
  p.setBrush(c);
  p.drawPath(gear);
}

void Badge(QPainter& p, const QColor& fill) {
  p.setPen(Pen(fill.darker(150)));
  QRadialGradient g(QPointF(8, 8), 7, QPointF(6, 5));
  g.setColorAt(0, fill.lighter(150));
  g.setColorAt(1, fill);
  p.setBrush(g);
  p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
}

void Sliders(QPainter& p) {
  p.setPen(Pen(kGrey));
  for (double x : {4.0, 8.0, 12.0}) p.drawLine(QPointF(x, 1.5), QPointF(x, 14.5));
  p.setPen(Pen(kOutline));
  p.setBrush(kBlue);
  const double knob[] = {10, 4, 8};
  for (int i = 0; i < 3; ++i) p.drawRect(QRectF(2 + 4 * i, knob[i], 4, 2.5));
}

}  // namespace

void DrawPictogram(QPainter& p, Pictogram kind, const QRectF& box, const QColor& accent) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(box.topLeft());
  p.scale(box.width() / 16.0, box.height() / 16.0);
  switch (kind) {
    case Pictogram::Document:
      Page(p, accent);
      break;
    case Pictogram::Tag: {
      QPainterPath tag = Closed({{1.5, 2.5}, {8, 2.5}, {14.5, 9}, {8.5, 15}, {1.5, 8}});
      tag.addEllipse(QPointF(5, 6), 1.3, 1.3);
      tag.setFillRule(Qt::OddEvenFill);
      p.setPen(Pen(QColor(150, 90, 20)));
      p.setBrush(QColor(250, 170, 60));
      p.drawPath(tag);
      break;
    }
    case Pictogram::Log:
      p.setPen(Pen(kOutline));
      p.setBrush(kPaper);
      p.drawRect(QRectF(2.5, 1.5, 11, 13));
      for (int i = 0; i < 5; ++i) {
        const double y = 4 + i * 2.2;
        p.setPen(Pen(i % 2 == 0 ? kBlue : kGrey));
        p.drawLine(QPointF(4.5, y), QPointF(i == 4 ? 8.5 : 11.5, y));
      }
      break;
    case Pictogram::Folder:
      Folder(p);
      break;
    case Pictogram::Play:
    case Pictogram::PlayHot:
      PlayTriangle(p, kind == Pictogram::PlayHot);
      break;
    case Pictogram::Subtitle:
      Screen(p);
      p.setPen(Pen(Qt::white, 1.2));
      p.drawLine(QPointF(4, 9), QPointF(12, 9));
      p.setPen(Pen(QColor(255, 230, 80), 1.2));
      p.drawLine(QPointF(5, 11), QPointF(11, 11));
      break;
    case Pictogram::Watermark: {
      QPainterPath drop;
      drop.moveTo(8, 1);
      drop.cubicTo(9, 4, 13, 7, 13, 10);
      drop.cubicTo(13, 13, 10.7, 15, 8, 15);
      drop.cubicTo(5.3, 15, 3, 13, 3, 10);
      drop.cubicTo(3, 7, 7, 4, 8, 1);
      QLinearGradient g(0, 1, 0, 15);
      g.setColorAt(0, QColor(140, 200, 255));
      g.setColorAt(1, QColor(30, 100, 210));
      p.setPen(Pen(QColor(20, 70, 160)));
      p.setBrush(g);
      p.drawPath(drop);
      p.setPen(Pen(Qt::white, 1.2));
      p.drawArc(QRectF(5, 8, 4, 5), 150 * 16, 80 * 16);
      break;
    }
    case Pictogram::AddDvd:
      Folder(p);
      Disc(p, QPointF(10.5, 10.5), 5);
      break;
    case Pictogram::Bin:
      Bin(p);
      break;
    case Pictogram::Exit:
      p.setPen(Pen(kOutline));
      p.setBrush(QColor(170, 110, 60));
      p.drawRect(QRectF(1.5, 1.5, 7, 13));
      p.setBrush(kOutline);
      p.drawEllipse(QPointF(7, 8), 0.7, 0.7);
      p.setPen(Pen(kRed, 1.8));
      p.drawLine(QPointF(9, 8), QPointF(14.5, 8));
      p.drawPolyline(QPolygonF({{12, 5.5}, {14.5, 8}, {12, 10.5}}));
      break;
    case Pictogram::Note:
      Note(p, accent);
      break;
    case Pictogram::Pencil:
      Pencil(p);
      break;
    case Pictogram::Film:
      Film(p, accent);
      break;
    case Pictogram::Sliders:
      Sliders(p);
      break;
    case Pictogram::Info:
      Badge(p, kBlue);
      p.setPen(Pen(Qt::white, 2));
      p.drawPoint(QPointF(8, 4.8));
      p.drawLine(QPointF(8, 7.3), QPointF(8, 11.5));
      break;
    case Pictogram::Scissors:
      Scissors(p);
      break;
    case Pictogram::Help: {
      Badge(p, kGreen);
      QPainterPath q;
      q.moveTo(5.8, 6.2);
      q.cubicTo(5.8, 3.2, 10.4, 3.2, 10.4, 6);
      q.cubicTo(10.4, 7.8, 8, 8, 8, 10);
      p.setPen(Pen(Qt::white, 1.7));
      p.setBrush(Qt::NoBrush);
      p.drawPath(q);
      p.drawPoint(QPointF(8, 12.3));
      break;
    }
    case Pictogram::Gear:
      Gear(p, accent);
      break;
  }
  p.restore();
}

QImage PictogramStrip(const std::vector<Pictogram>& kinds, int cell, const QColor& key, const QColor& accent) {
  const int count = static_cast<int>(kinds.size());
  QImage drawn(cell * count, cell, QImage::Format_ARGB32);
  drawn.fill(Qt::transparent);
  {
    QPainter p(&drawn);
    for (int i = 0; i < count; ++i)
      DrawPictogram(p, kinds[static_cast<size_t>(i)], QRectF(i * cell, 0, cell, cell), accent);
  }
  // Mostly covered pixels are laid on a light face; the rest is the key.
  const QColor face(240, 240, 240);
  QImage out(drawn.size(), QImage::Format_RGB32);
  for (int y = 0; y < drawn.height(); ++y) {
    for (int x = 0; x < drawn.width(); ++x) {
      const QRgb s = drawn.pixel(x, y);
      const int a = qAlpha(s);
      if (a < 110) {
        out.setPixelColor(x, y, key);
        continue;
      }
      const auto mix = [&](int premultiplied, int under) {
        return std::min(255, premultiplied + under * (255 - a) / 255);
      };
      const QRgb pre = qPremultiply(s);
      QColor c(mix(qRed(pre), face.red()), mix(qGreen(pre), face.green()), mix(qBlue(pre), face.blue()));
      if (c == key) c.setBlue(key.blue() ^ 1);  // never the key by chance
      out.setPixelColor(x, y, c);
    }
  }
  return out;
}
