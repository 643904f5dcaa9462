#include "frontend/controls/image_list.h"

#include <algorithm>

QPixmap CImageList::Image(int index) const {
  return index >= 0 && index < Count() ? images_[static_cast<size_t>(index)] : QPixmap();
}

int CImageList::AddMasked(const QImage& picture, QRgb maskColor) {
  if (picture.isNull() || picture.width() < cx_) return -1;
  QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < argb.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (maskColor & 0xFFFFFF)) line[x] = 0;
  }
  const int first = Count();
  for (int x = 0; x + cx_ <= argb.width(); x += cx_) {
    QImage tile(cx_, cy_, QImage::Format_ARGB32);
    tile.fill(Qt::transparent);
    const QImage part = argb.copy(x, 0, cx_, std::min(cy_, argb.height()));
    for (int y = 0; y < part.height(); ++y)
      std::copy_n(reinterpret_cast<const QRgb*>(part.constScanLine(y)), cx_, reinterpret_cast<QRgb*>(tile.scanLine(y)));
    images_.push_back(QPixmap::fromImage(tile));
  }
  return first;
}

int CImageList::AddFile(const std::string& path, QRgb maskColor) {
  QImage picture;
  if (path.empty() || !picture.load(QString::fromStdString(path))) return -1;
  return AddMasked(picture, maskColor);
}
