#include "frontend/controls/image_button.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include "frontend/ui/picture.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"

namespace {

QImage LoadPng(const std::string& name) {
  if (name.empty()) return {};
  CPicture picture(kPicturePng);
  if (!picture.Load(CImageButton::PicturePath(name), kPicturePng)) return {};
  return picture.Image();
}

}  // namespace

CImageButton::CImageButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);
  setAutoDefault(false);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

std::string CImageButton::PicturePath(const std::string& name) {
  const std::string exact = ResourceFolder() + "/" + name;
  if (QFileInfo::exists(QString::fromStdString(exact))) return exact;
  const QDir folder(QString::fromStdString(ResourceFolder()));
  const QString wanted = QString::fromStdString(name);
  for (const QString& entry : folder.entryList(QDir::Files, QDir::Name))
    if (entry.compare(wanted, Qt::CaseInsensitive) == 0) return folder.filePath(entry).toStdString();
  return exact;
}

void CImageButton::SetImages(const std::string& normal, const std::string& hover, const std::string& disabled,
                             const QString& tipText) {
  setToolTip(tipText);
  LoadImages(normal, hover, disabled);
}

bool CImageButton::LoadImages(const std::string& normal, const std::string& hover, const std::string& disabled) {
  normal_ = LoadPng(normal);
  hover_ = LoadPng(hover);
  disabled_ = LoadPng(disabled);
  // The button keeps its top-left corner and takes the normal picture's size.
  if (!normal_.isNull()) setGeometry(QRect(geometry().topLeft(), normal_.size()));
  hovering_ = false;
  update();
  return true;
}

void CImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), SysColor(COLOR_BTNFACE));
  const QImage* picture = hovering_ && !hover_.isNull() ? &hover_ : &normal_;
  if (!isEnabled() && !disabled_.isNull()) picture = &disabled_;
  if (picture->isNull()) return;
  const int shift = pressed_ ? 1 : 0;
  painter.drawImage(shift, shift, *picture);
}

void CImageButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    update();
  }
  QPushButton::mousePressEvent(event);
}

void CImageButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    update();
  }
  QPushButton::mouseReleaseEvent(event);
}

void CImageButton::mouseMoveEvent(QMouseEvent* event) {
  if (rect().contains(event->position().toPoint()) && !hovering_) {
    SetHover(true);
    hoverTimer_.start(100, this);
  }
  QPushButton::mouseMoveEvent(event);
}

void CImageButton::leaveEvent(QEvent* event) {
  SetHover(false);
  QPushButton::leaveEvent(event);
}

void CImageButton::timerEvent(QTimerEvent* event) {
  if (event->timerId() == hoverTimer_.timerId()) {
    CheckHover();
    return;
  }
  QPushButton::timerEvent(event);
}

void CImageButton::CheckHover() {
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) SetHover(false);
}

void CImageButton::SetHover(bool on) {
  if (!on) hoverTimer_.stop();
  if (hovering_ == on) return;
  hovering_ = on;
  update();
}
