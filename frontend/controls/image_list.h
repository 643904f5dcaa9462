// A list of same-sized pictures addressed by index, filled from bitmap files
// whose magenta pixels are transparent; a wide picture adds one image per
// tile of the list's width.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRgb>
#include <string>
#include <vector>

constexpr QRgb kMaskMagenta = 0xFF00FF;

class CImageList {
 public:
  CImageList(int cx = 16, int cy = 16) : cx_(cx), cy_(cy) {}

  int Width() const { return cx_; }
  int Height() const { return cy_; }
  int Count() const { return static_cast<int>(images_.size()); }
  // Null for an index out of range.
  QPixmap Image(int index) const;

  // Adds the tiles of the picture (pixels of the mask colour transparent);
  // the index of the first, or -1 for a null picture or one narrower than a tile.
  int AddMasked(const QImage& picture, QRgb maskColor);
  // Loads a picture file and adds it; -1 when it cannot be read.
  int AddFile(const std::string& path, QRgb maskColor = kMaskMagenta);
  void Clear() { images_.clear(); }

 private:
  int cx_;
  int cy_;
  std::vector<QPixmap> images_;
};
