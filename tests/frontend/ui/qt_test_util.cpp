#include "qt_test_util.h"

#include <errno.h>

#include <QDir>

// Each test program keeps its pictures in test-artifacts/<program name> of the build.
std::string SaveArtifact(const QImage& image, const std::string& name) {
  const std::string folder = std::string(TRIVOX_BINARY_DIR) + "/test-artifacts/" + program_invocation_short_name;
  QDir().mkpath(QString::fromStdString(folder));
  std::string path = folder + "/" + name;
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
