#include "qt_test_util.h"

#include <QDir>

std::string SaveArtifact(const QImage& image, const std::string& name) {
  QDir().mkpath(QStringLiteral(VELMO_ARTIFACT_DIR));
  std::string path = std::string(VELMO_ARTIFACT_DIR) + "/" + name;
  image.save(QString::fromStdString(path), "PNG");
  return path;
}

int CountOtherThan(const QImage& image, const QRect& rect, const QColor& color, int tolerance) {
  int count = 0;
  QRect r = rect.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if (!Near(image.pixelColor(x, y), color, tolerance)) ++count;
    }
  }
  return count;
}
