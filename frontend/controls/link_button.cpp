#include "frontend/controls/link_button.h"

#include <QCursor>
#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cctype>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/dialog_units.h"
#include "frontend/ui/shell.h"
#include "frontend/ui/sys_colors.h"
#include "platform/text_case.h"

namespace {

constexpr int kHoverTimerMs = 100;
constexpr int kCornerEllipse = 13;

}  // namespace

bool OpenLinkWithShell(QWidget* owner, const std::string& link) {
  return OpenWithShell(owner, link) == ShellOpenResult::kOpened;
}

LinkFont MakeLinkFont(const std::string& face, int size, int weight, uint32_t effects) {
  LinkFont font;
  font.face = face;
  font.weight = weight < 100 ? 100 : weight >= 1000 ? 900 : std::min(weight, 900);
  font.height = static_cast<int>(-1.38 * std::max(size, 6));
  if (size == 16) font.height += 1;
  font.italic = (effects & 0xFF) != 0;
  font.underline = ((effects >> 8) & 0xFF) != 0;
  font.strikeOut = ((effects >> 16) & 0xFF) != 0;
  return font;
}

CLinkButton::CLinkButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);
  setAutoDefault(false);
  hoverTimer_.setInterval(kHoverTimerMs);
  connect(&hoverTimer_, &QTimer::timeout, this, [this] { CheckHover(); });
}

CLinkButton::~CLinkButton() = default;

void CLinkButton::SetFlat(bool flat) {
  flat_ = flat;
  if (flat) border_ = false;
  update();
}

void CLinkButton::SetTextColors(uint32_t normal, uint32_t hover) {
  textNormal_ = normal;
  textHover_ = hover;
  update();
}

void CLinkButton::SetBackgroundColors(uint32_t normal, uint32_t hover) {
  bkNormal_ = normal;
  bkHover_ = hover;
  update();
}

void CLinkButton::SetFontSpec(const std::string& face, int size, int weight, uint32_t effects) {
  if (EqualsIgnoringCase(face, "Default")) {
    ownFont_ = false;
  } else {
    linkFont_ = MakeLinkFont(face, size, weight, effects);
    ownFont_ = true;
  }
  update();
}

QFont CLinkButton::TextFont() const {
  QFont f = font();
  if (ownFont_) {
    f = DialogFont(linkFont_.face.c_str(), 8);
    f.setPixelSize(std::max(std::abs(linkFont_.height), 1));
    f.setWeight(static_cast<QFont::Weight>(linkFont_.weight));
    f.setItalic(linkFont_.italic);
    f.setStrikeOut(linkFont_.strikeOut);
    f.setUnderline(linkFont_.underline);
  }
  if (bold_) f.setWeight(QFont::Bold);
  if (CurrentUnderline()) f.setUnderline(true);
  return f;
}

uint32_t CLinkButton::CurrentTextColor() const { return hover_ ? textHover_ : textNormal_; }

bool CLinkButton::CurrentUnderline() const {
  return hover_ ? underline_ != kUnderlineNever : underline_ == kUnderlineAlways;
}

void CLinkButton::StartHover() {
  if (isEnabled()) {
    setCursor(Qt::PointingHandCursor);
  } else {
    unsetCursor();
  }
  if (!hover_) {
    hover_ = true;
    update();
    hoverTimer_.start();
  }
}

void CLinkButton::CheckHover() {
  if (isDown()) return;
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
    hover_ = false;
    hoverTimer_.stop();
    update();
  }
}

void CLinkButton::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) StartHover();
  QPushButton::mouseMoveEvent(event);
}

void CLinkButton::enterEvent(QEnterEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) StartHover();
  QPushButton::enterEvent(event);
}

void CLinkButton::changeEvent(QEvent* event) {
  // A disabled link shows no hand.
  if (event->type() == QEvent::EnabledChange && !isEnabled()) unsetCursor();
  QPushButton::changeEvent(event);
}

void CLinkButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect r = rect();
  const bool enabled = isEnabled();
  const uint32_t face = ToColorRef(SysColor(COLOR_BTNFACE));
  const bool framedFlat = flat_ && !enabled && bkNormal_ != face;

  // Frame.
  if (framedFlat) {
    DrawFrameControl(painter, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_INACTIVE, this);
  } else if (!flat_) {
    if (border_) {
      if (!rounded_)
        DrawFrameControl(painter, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (enabled ? DFCS_FLAT : DFCS_INACTIVE), this);
    } else {
      DrawFrameControl(painter, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (enabled ? 0u : DFCS_INACTIVE), this);
    }
  }
  if (!flat_ || framedFlat) {
    r.adjust(GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE), -GetSystemMetrics(SM_CXEDGE),
             -GetSystemMetrics(SM_CYEDGE));
  }

  // Background: a flat button shows its parent's face.
  if (!flat_) {
    const QColor fill = ColorRef(!enabled ? face : hover_ ? bkHover_ : bkNormal_);
    if (border_ && rounded_) {
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setPen(SysColor(COLOR_BTNSHADOW));
      painter.setBrush(fill);
      painter.drawRoundedRect(r.adjusted(0, 0, -1, -1), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    } else {
      painter.fillRect(r, fill);
    }
  }

  // Text.
  const QString text = override_.isEmpty() ? this->text() : override_;
  if (text.isEmpty()) return;
  painter.setFont(TextFont());
  const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  if (enabled) {
    painter.setPen(ColorRef(CurrentTextColor()));
    painter.drawText(r, flags, text);
  } else {
    // Embossed: highlight one pixel down-right, shadow on top.
    const QRect at = flat_ ? r.translated(-1, -1) : r;
    painter.setPen(SysColor(COLOR_BTNHIGHLIGHT));
    painter.drawText(at.translated(1, 1), flags, text);
    painter.setPen(SysColor(COLOR_BTNSHADOW));
    painter.drawText(at, flags, text);
  }
}
