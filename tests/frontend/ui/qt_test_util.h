// Helpers of the Qt front-end tests: waiting on the event loop and keeping
// pictures as test artifacts.
#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <functional>
#include <string>

// Runs the event loop until pred holds or ms pass; pred's last answer. The default only bounds a
// failing wait: a slow (sanitizer, loaded) machine still gets there.
inline bool WaitUntil(const std::function<bool()>& pred, int ms = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs the event loop for ms.
inline void Pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Saves a picture into the test's artifact folder; the saved path.
std::string SaveArtifact(const QImage& image, const std::string& name);

// Whether two colours are within tolerance on each channel.
inline bool Near(const QColor& a, const QColor& b, int tolerance = 8) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Pixels in a rectangle that differ from a colour by more than tolerance.
int CountOtherThan(const QImage& image, const QRect& rect, const QColor& color, int tolerance = 24);
