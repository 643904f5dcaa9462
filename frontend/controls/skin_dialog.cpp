#include "frontend/controls/skin_dialog.h"

#include <QApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <vector>

#include "frontend/ui/picture.h"

namespace {
// Rectangles gathered before they join the region.
constexpr size_t kRectBatch = 2000;
}  // namespace

QRegion RegionFromBitmap(const QImage& picture, uint32_t keyColour) {
  QRegion result;
  if (picture.isNull()) return result;
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  const QRgb key = qRgb(static_cast<int>(keyColour & 0xFF), static_cast<int>((keyColour >> 8) & 0xFF),
                        static_cast<int>((keyColour >> 16) & 0xFF)) &
                   0xFFFFFFu;
  std::vector<QRect> rects;
  rects.reserve(kRectBatch);
  auto flush = [&] {
    if (rects.empty()) return;
    QRegion part;
    part.setRects(rects.data(), static_cast<int>(rects.size()));
    result += part;
    rects.clear();
  };
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < image.width()) {
      while (x < image.width() && (line[x] & 0xFFFFFFu) == key) ++x;
      const int start = x;
      while (x < image.width() && (line[x] & 0xFFFFFFu) != key) ++x;
      if (x > start) {
        rects.emplace_back(start, y, x - start, 1);
        if (rects.size() == kRectBatch) flush();
      }
    }
  }
  flush();
  return result;
}

CSkinDialog::CSkinDialog(const DialogTemplate& tpl, QWidget* parent) : UiDialog(tpl, parent) {
  // A popup without caption.
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

CSkinDialog::~CSkinDialog() = default;

bool CSkinDialog::LoadSkin(const std::string& path, uint32_t keyColour) {
  CPicture picture;
  const bool loaded = picture.Load(path, CPicture::GetTypeIdFromName(FindFileExtension(path)));
  if (loaded && picture.IsValid()) skin_ = picture.Image().convertToFormat(QImage::Format_RGB32);
  if (!skin_.isNull()) {
    const QRegion shape = RegionFromBitmap(skin_, keyColour);
    if (!shape.isEmpty()) setMask(shape);
    if (Client()->size() != skin_.size()) {
      Client()->setFixedSize(skin_.size());
      if (layout() != nullptr) layout()->activate();
      resize(skin_.size());
    }
    update();
  }
  shadow_.Create(this);
  return loaded;
}

void CSkinDialog::paintEvent(QPaintEvent* event) {
  if (skin_.isNull()) {
    UiDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.drawImage(0, 0, skin_);
}

void CSkinDialog::showEvent(QShowEvent* event) {
  UiDialog::showEvent(event);
  if (firstShow_) {
    firstShow_ = false;
    shadow_.SetSize(10);
    shadow_.SetSharpness(20);
    shadow_.SetDarkness(120);
    shadow_.SetPosition(0, 0);
    shadow_.SetColor(0);
  }
}

void CSkinDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    UiDialog::mousePressEvent(event);
    return;
  }
  // The drag starts once the mouse moves: a window manager that moves the window
  // keeps the pointer, and a double click would never reach the dialog.
  pressed_ = true;
  dragging_ = false;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  event->accept();
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || !(event->buttons() & Qt::LeftButton)) {
    UiDialog::mouseMoveEvent(event);
    return;
  }
  const QPoint at = event->globalPosition().toPoint();
  if (!dragging_) {
    if ((at - frameGeometry().topLeft() - dragOffset_).manhattanLength() < QApplication::startDragDistance()) {
      event->accept();
      return;
    }
    // The window manager moves the window when it can; otherwise we follow the mouse.
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) {
      pressed_ = false;
      event->accept();
      return;
    }
    dragging_ = true;
  }
  move(at - dragOffset_);
  event->accept();
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (pressed_ && event->button() == Qt::LeftButton) {
    pressed_ = false;
    dragging_ = false;
    event->accept();
    return;
  }
  UiDialog::mouseReleaseEvent(event);
}
