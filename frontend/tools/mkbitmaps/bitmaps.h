// The pictures mkbitmaps draws: each drawer makes one picture, saved as
// "<id>.png". Pixels equal to the one at (0, 0) are the key colour the
// controls draw transparently.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

struct BitmapDrawer {
  int id;
  QImage (*draw)();
};

struct BitmapRegistrar {
  explicit BitmapRegistrar(std::vector<BitmapDrawer> drawers);
};

const std::vector<BitmapDrawer>& BitmapDrawers();

// The key colour of our pictures.
inline QColor KeyColour() { return QColor(255, 0, 255); }

// A picture of the given size filled with the key colour.
QImage KeyedPicture(int width, int height);
// Fills a rectangle (inclusive of its ends) with a colour.
void FillPixels(QImage& image, int x0, int y0, int x1, int y1, const QColor& colour);
// Draws the profile tree's pictures into the staged "tree" folder.
bool DrawTreePictures(const QString& treeDir);
