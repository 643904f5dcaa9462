#include "frontend/controls/icon_button.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/theme_lib.h"

namespace {
constexpr int kCaptionShift = 9;  // the caption's left edge moves this far left
constexpr int kCaptionPoints = 8;
}  // namespace

QImage MakeGreyIcon(const QImage& icon) {
  if (icon.isNull()) return {};
  QImage grey = icon.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      const QRgb p = line[x];
      const int a = qAlpha(p);
      const int c = 255 - (qRed(p) + qGreen(p) + qBlue(p)) / 3;
      if (a == 0 && c == 255) continue;  // transparent black stays
      const int index = c == 0 ? 1 : c;
      const int value = 255 - index;
      line[x] = qRgba(value, value, value, a);
    }
  }
  return grey;
}

CIconButton::CIconButton(uint32_t style, QWidget* parent) : COwnerDrawButton(style, parent) { setMouseTracking(true); }

CIconButton::~CIconButton() = default;

void CIconButton::SetIcon(const QImage& normal, const QImage& hover, int placement) {
  normal_ = normal.isNull() ? QImage() : normal.convertToFormat(QImage::Format_ARGB32);
  hover_ = hover.isNull() ? QImage() : hover.convertToFormat(QImage::Format_ARGB32);
  placement_ = placement;
  grey_ = MakeGreyIcon(normal_);
  repaint();
}

bool CIconButton::UseTheme() const {
  return CThemeLib::Instance().IsAvailable() && CThemeLib::Instance().IsAppThemed();
}

unsigned CIconButton::GetDlgCode() const { return COwnerDrawButton::GetDlgCode() | DLGC_WANTALLKEYS; }

const QFont& CIconButton::CaptionFont() {
  if (!haveFont_) {
    captionFont_ = QFont(QStringLiteral("Arial Black"));
    captionFont_.setPointSize(kCaptionPoints);
    haveFont_ = true;
  }
  return captionFont_;
}

void CIconButton::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
    // Holding the key down presses once.
    if (!event->isAutoRepeat()) {
      keyPress_ = true;
      setDown(true);
    }
    event->accept();
    return;
  }
  COwnerDrawButton::keyPressEvent(event);
}

void CIconButton::keyReleaseEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!event->isAutoRepeat() && keyPress_) {
      keyPress_ = false;
      setDown(false);
      click();
    }
    event->accept();
    return;
  }
  COwnerDrawButton::keyReleaseEvent(event);
}

void CIconButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    COwnerDrawButton::mouseDoubleClickEvent(event);
    return;
  }
  // The second click of a double click presses the button again.
  setDown(true);
  doubleClickPress_ = true;
  event->accept();
}

void CIconButton::mouseReleaseEvent(QMouseEvent* event) {
  if (doubleClickPress_ && event->button() == Qt::LeftButton) {
    doubleClickPress_ = false;
    setDown(false);
    emit clicked(false);
    event->accept();
    return;
  }
  COwnerDrawButton::mouseReleaseEvent(event);
}

void CIconButton::mouseMoveEvent(QMouseEvent* event) {
  const bool inside = rect().contains(event->position().toPoint());
  if (inside != hovering_) {
    hovering_ = inside;
    update();
  }
  COwnerDrawButton::mouseMoveEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
  hovering_ = false;
  repaint();
  COwnerDrawButton::leaveEvent(event);
}

void CIconButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect item = rect();
  QRect r = item;
  const bool focus = hasFocus();
  const bool disabled = !isEnabled();
  const bool pressed = isDown();
  const bool isDefault = IsDefault();
  const QString caption = text();
  const bool hasCaption = !caption.isEmpty();

  // Classic face: fill, a black frame for the focused or default button, edges.
  painter.fillRect(r.adjusted(1, 1, -1, -1), SysColor(COLOR_BTNFACE));
  if (focus || isDefault) {
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
  }
  QRect edge = r;
  DrawEdge(painter, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  const int shift = pressed ? 1 : 0;
  QRect captionRect(item.left(), item.top(), item.width(), item.height());
  if (!normal_.isNull()) {
    const QImage& shown = disabled                        ? (grey_.isNull() ? normal_ : grey_)
                          : hovering_ && !hover_.isNull() ? hover_
                                                          : normal_;
    const int w = shown.width();
    const int h = shown.height();
    int x = (item.width() - w) / 2;
    if (hasCaption) {
      if (placement_ == kIconRight) {
        x = item.right() + 1 - w / 2 - w;
        captionRect = QRect(QPoint(w / 2, item.top()), QPoint(item.right() + 1 - w / 2 - w - 1, item.bottom()));
      } else {
        x = w / 2;
        captionRect = QRect(QPoint(2 * w, item.top()), QPoint(item.right() + 1 - w / 2 - 1, item.bottom()));
      }
    }
    const int y = (item.height() - h) / 2;
    if (disabled && grey_.isNull()) painter.setOpacity(0.5);
    painter.drawImage(x + shift, y + shift, shown);
    painter.setOpacity(1.0);
  }

  if (hasCaption) {
    painter.setFont(CaptionFont());
    const QFontMetrics metrics(CaptionFont());
    const bool multiLine = WindowStyle() & BS_MULTILINE;
    const int wrap = multiLine ? Qt::TextWordWrap : Qt::TextSingleLine;
    const Qt::Alignment h = normal_.isNull() ? Qt::AlignHCenter : Qt::AlignLeft;
    // Measured, centred in its rectangle, then moved left.
    QRect text = metrics.boundingRect(captionRect, wrap | Qt::TextShowMnemonic, caption);
    text.moveCenter(captionRect.center());
    text.setLeft(text.left() - kCaptionShift);
    text.translate(shift, shift);
    const int flags = wrap | Qt::TextShowMnemonic | h | Qt::AlignVCenter;
    if (disabled) {
      painter.setPen(SysColor(COLOR_BTNHIGHLIGHT));
      painter.drawText(text.translated(1, 1), flags, caption);
      painter.setPen(SysColor(COLOR_BTNSHADOW));
      painter.drawText(text, flags, caption);
    } else {
      painter.setPen(SysColor(COLOR_BTNTEXT));
      painter.drawText(text, flags, caption);
    }
  }

  if (focus) DrawFocusRect(painter, item.adjusted(3, 3, -3, -3), this);
}
