#include "frontend/controls/page_frame.h"

#include <QEvent>
#include <QPainter>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/sys_colors.h"

// ---- CCaptionPainter ----

QRect CCaptionPainter::WindowClientRect() {
  QWidget* w = GetWindow();
  return w != nullptr ? w->rect() : QRect();
}

void CCaptionPainter::Invalidate(const QRect& rect) {
  QWidget* w = GetWindow();
  if (w != nullptr && !rect.isEmpty()) w->update(rect);
}

void CCaptionPainter::SetCaptionVisible(bool visible) {
  captionVisible_ = visible;
  Invalidate(GetCaptionRect());
}

void CCaptionPainter::SetCaptionHeight(int height) {
  captionHeight_ = height;
  Invalidate(GetCaptionRect());
}

void CCaptionPainter::SetCaption(const QString& text, const QPixmap& icon) {
  caption_ = text;
  icon_ = icon;
  Invalidate(GetCaptionRect());
}

void CCaptionPainter::SetTitle(const QString& text) {
  title_ = text;
  Invalidate(WindowClientRect());
}

void CCaptionPainter::SetTitleFormat(Qt::Alignment flags) {
  titleFormat_ = flags;
  Invalidate(WindowClientRect());
}

void CCaptionPainter::Draw(QPainter& painter) {
  if (captionVisible_) DrawCaption(painter, GetCaptionRect(), caption_, icon_);
  DrawTitle(painter, GetClientArea());
}

QRect CCaptionPainter::GetClientArea() {
  QRect r = WindowClientRect();
  if (captionVisible_) r.setTop(r.top() + captionHeight_);
  return r;
}

void CCaptionPainter::DrawTitle(QPainter& painter, const QRect& rect) {
  if (title_.isEmpty()) return;
  painter.save();
  if (QWidget* w = GetWindow()) painter.setFont(w->font());
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawText(rect, static_cast<int>(titleFormat_ | Qt::TextSingleLine), title_);
  painter.restore();
}

QRect CCaptionPainter::GetCaptionRect() {
  const QRect client = WindowClientRect();
  return QRect(client.left(), client.top(), client.width(), captionVisible_ ? captionHeight_ : 0);
}

void CCaptionPainter::DrawCaption(QPainter&, const QRect&, const QString&, const QPixmap&) {}

// ---- CPageFrame ----

CPageFrame::CPageFrame(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, SysColor(COLOR_BTNFACE));
  setPalette(palette);
}

CPageFrame::~CPageFrame() = default;

bool CPageFrame::Create(QWidget* parent, const QRect& rect, int id) {
  setParent(parent);
  setWindowTitle(QStringLiteral("Page Frame"));
  setGeometry(rect);
  SetControlId(this, id);
  show();
  return true;
}

void CPageFrame::SetCaption(const QString& text, const QPixmap& icon) {
  CCaptionPainter::SetCaption(text, icon);
  icons_.reset();
  if (!icon.isNull()) {
    auto list = std::make_unique<CImageList>(icon.width(), icon.height());
    if (list->AddMasked(icon.toImage(), kMaskMagenta) >= 0) icons_ = std::move(list);
  }
}

void CPageFrame::DrawCaption(QPainter& painter, const QRect& rect, const QString& text, const QPixmap&) {
  if (rect.isEmpty()) return;
  painter.save();
  painter.fillRect(rect, ColorRef(kCaptionColor));
  int left = rect.left();
  if (icons_ != nullptr && icons_->Count() == 1) {
    const QPixmap image = icons_->Image(0);
    painter.drawPixmap(rect.left() + 3, rect.top() + (rect.height() - image.height()) / 2, image);
    left += image.width() + 3;
  }
  left += 2;
  QFont font = this->font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.setBackgroundMode(Qt::TransparentMode);
  const QRect textRect(left, rect.top(), std::max(0, rect.right() + 1 - left), rect.height());
  const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  painter.restore();
}

void CPageFrame::SetPage(QWidget* page) {
  page_ = page;
  update();
}

void CPageFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(painter);
  if (page_ == nullptr || !page_->isVisible()) return;
  QRect r(mapFrom(window(), page_->mapTo(window(), QPoint(0, 0))), page_->size());
  r.adjust(-1, -1, 1, 1);
  painter.setPen(QPen(ColorRef(kBorderColor), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
}
