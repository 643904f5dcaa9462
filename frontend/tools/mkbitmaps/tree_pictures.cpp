// The output-profile tree's pictures, saved as BMP with magenta as the key:
// a.bmp (audio), v.bmp (video), c.bmp (custom), o.bmp (other) and an
// info.bmp in every node folder (one holding info.ini), which shows the
// node's kind in a colour of its own.
#include <QDir>
#include <cstdio>

#include "bitmaps.h"
#include "pictograms.h"

namespace {

bool Save(const QImage& image, const QString& path) {
  if (image.save(path, "BMP")) return true;
  std::fprintf(stderr, "mkbitmaps: cannot write %s\n", path.toLocal8Bit().constData());
  return false;
}

QImage Picture(Pictogram kind, const QColor& accent = QColor()) {
  return PictogramStrip({kind}, 16, KeyColour(), accent);
}

// A steady colour for a node folder's name.
QColor NodeColour(const QString& folder) {
  static const QColor kPalette[] = {{40, 110, 210}, {210, 70, 50},  {40, 160, 90},  {200, 140, 20},
                                    {140, 70, 190}, {20, 150, 170}, {190, 60, 140}, {100, 120, 40},
                                    {230, 100, 20}, {60, 80, 170},  {150, 40, 40},  {30, 120, 120}};
  uint32_t h = 2166136261u;
  for (const QChar c : folder) h = (h ^ c.unicode()) * 16777619u;
  return kPalette[h % std::size(kPalette)];
}

// The picture of a node by the kind letter its folder name begins with.
QImage NodePicture(const QString& folder) {
  const QColor accent = NodeColour(folder);
  const QChar kind = folder.isEmpty() ? QChar() : folder.front().toUpper();
  if (kind == 'V') return Picture(Pictogram::Film, accent);
  if (kind == 'A') return Picture(Pictogram::Note, accent);
  if (kind == 'C') return Picture(Pictogram::Gear, accent);
  return Picture(Pictogram::Document, accent);
}

}  // namespace

bool DrawTreePictures(const QString& treeDir) {
  QDir tree(treeDir);
  if (!tree.exists()) {
    std::fprintf(stderr, "mkbitmaps: no folder %s\n", treeDir.toLocal8Bit().constData());
    return false;
  }
  bool ok = Save(Picture(Pictogram::Note), tree.filePath("a.bmp"));
  ok = Save(Picture(Pictogram::Film), tree.filePath("v.bmp")) && ok;
  ok = Save(Picture(Pictogram::Gear), tree.filePath("c.bmp")) && ok;
  ok = Save(Picture(Pictogram::Document), tree.filePath("o.bmp")) && ok;
  for (const QString& node : tree.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    if (!QFileInfo::exists(tree.filePath(node + "/info.ini"))) continue;
    ok = Save(NodePicture(node), tree.filePath(node + "/info.bmp")) && ok;
  }
  return ok;
}
