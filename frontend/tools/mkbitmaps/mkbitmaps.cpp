// mkbitmaps DIR: draws every registered picture into DIR as <id>.png.
// mkbitmaps --tree TREE: draws the profile tree's pictures into TREE.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "bitmaps.h"

namespace {
std::vector<BitmapDrawer>& Drawers() {
  static std::vector<BitmapDrawer> drawers;
  return drawers;
}
}  // namespace

BitmapRegistrar::BitmapRegistrar(std::vector<BitmapDrawer> drawers) {
  for (const BitmapDrawer& d : drawers) Drawers().push_back(d);
}

const std::vector<BitmapDrawer>& BitmapDrawers() { return Drawers(); }

QImage KeyedPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(KeyColour());
  return image;
}

void FillPixels(QImage& image, int x0, int y0, int x1, int y1, const QColor& colour) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (image.valid(x, y)) image.setPixelColor(x, y, colour);
}

int main(int argc, char** argv) {
  const bool tree = argc == 3 && std::string(argv[1]) == "--tree";
  if (argc != 2 && !tree) {
    std::fprintf(stderr, "usage: mkbitmaps DIR | mkbitmaps --tree TREE\n");
    return 2;
  }
  QGuiApplication app(argc, argv);  // fonts for the pictures with text
  if (tree) return DrawTreePictures(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "mkbitmaps: cannot make %s\n", argv[1]);
    return 1;
  }
  for (const BitmapDrawer& d : BitmapDrawers()) {
    const QString path = dir + "/" + QString::number(d.id) + ".png";
    if (!d.draw().save(path, "PNG")) {
      std::fprintf(stderr, "mkbitmaps: cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
