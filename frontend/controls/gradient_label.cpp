#include "frontend/controls/gradient_label.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <algorithm>

#include "frontend/ui/dialog_units.h"
#include "frontend/ui/sys_colors.h"

namespace {

bool IsLineBreak(QChar c) { return c == u'\r' || c == u'\n'; }

QFont::Weight QtWeight(int weight) {
  if (weight <= 0) return QFont::Normal;
  return static_cast<QFont::Weight>(std::clamp(weight, 1, 1000));
}

}  // namespace

std::vector<QString> BreakLabelLines(const QString& text, int width,
                                     const std::function<int(const QString&)>& measure) {
  std::vector<QString> lines;
  QString rest = text;
  while (!rest.isEmpty()) {
    bool ended = false;
    QChar pending;  // the first character of a possible line-break pair
    for (qsizetype g = 1; g <= rest.size(); ++g) {
      const QChar c = rest[g - 1];
      if (IsLineBreak(c)) {
        if (!pending.isNull() && pending != c) {
          lines.push_back(rest.left(g - 2));
          rest = rest.mid(g);
          ended = true;
          break;
        }
        pending = c;
      } else {
        pending = QChar();
      }
      if (measure(rest.left(g)) <= width) continue;
      // Too wide: the prefix before this character is the candidate.
      QString candidate = rest.left(g - 1);
      qsizetype next = g - 1;
      const qsizetype space = candidate.lastIndexOf(u' ');
      if (space >= 0 && !candidate.endsWith(u' ')) {
        candidate = candidate.left(space);
        next = space + 1;
      }
      // A line takes at least one character, however narrow the label.
      if (next == 0) {
        candidate = rest.left(1);
        next = 1;
      }
      lines.push_back(candidate);
      rest = rest.mid(next);
      ended = true;
      break;
    }
    if (!ended) {
      lines.push_back(rest);
      break;
    }
  }
  return lines;
}

CGradientLabel::CGradientLabel(const QString& text, uint32_t style, QWidget* parent)
    : QWidget(parent),
      text_(text),
      style_(style),
      textColour_(ToColorRef(SysColor(COLOR_WINDOWTEXT))),
      bkColour_(ToColorRef(SysColor(COLOR_BTNFACE))),
      gradientStart_(bkColour_),
      gradientEnd_(bkColour_) {
  font_ = font();
  templateFace_ = font_.family();
  templateWeight_ = font_.weight();
  setAcceptDrops(true);
}

CGradientLabel::~CGradientLabel() = default;

void CGradientLabel::SetText(const QString& text) {
  text_ = text;
  update();
}

void CGradientLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  update();
}

void CGradientLabel::SetTextColor(uint32_t colour) {
  textColour_ = colour;
  update();
}

void CGradientLabel::SetBkColor(uint32_t colour) {
  bkColour_ = colour;
  update();
}

void CGradientLabel::SetGradient(int mode, uint32_t startColour, uint32_t endColour) {
  gradientMode_ = mode;
  gradientStart_ = startColour;
  gradientEnd_ = endColour;
  update();
}

void CGradientLabel::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  update();
}

void CGradientLabel::SetShrinkToFit(bool shrink) {
  shrinkToFit_ = shrink;
  update();
}

void CGradientLabel::SetRaisedText(bool raised, bool downRight) {
  raised_ = raised;
  raisedDownRight_ = downRight;
  update();
}

void CGradientLabel::SetFontSpec(const QString& face, int height, int weight, bool redraw) {
  QFont f = DialogFont(face.toUtf8().constData(), 8);
  if (height != 0) f.setPixelSize(std::abs(height));
  f.setWeight(QtWeight(weight));
  font_ = f;
  templateFace_ = face;
  templateWeight_ = weight;
  if (height != 0) fontHeight_ = std::abs(height);
  if (redraw) update();
}

void CGradientLabel::SetLabelFont(const QFont& font, bool redraw) {
  font_ = font;
  templateFace_ = font.family();
  templateWeight_ = font.weight();
  if (redraw) update();
}

bool CGradientLabel::SetBitmapFile(const std::string& path) {
  QImage image;
  bitmapFile_ = path;
  if (!image.load(QString::fromStdString(path))) return false;
  bitmap_ = image;
  update();
  return true;
}

void CGradientLabel::changeEvent(QEvent* event) {
  // A font given to the window becomes the label's own.
  if (event->type() == QEvent::FontChange) {
    font_ = font();
    templateFace_ = font_.family();
    templateWeight_ = font_.weight();
    update();
  }
  QWidget::changeEvent(event);
}

void CGradientLabel::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CGradientLabel::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return;
  const QString path = urls[0].toLocalFile();
  if (QFileInfo(path).suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) != 0) return;
  SetBitmapFile(path.toStdString());
}

void CGradientLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect();
  // Background: a stretched bitmap, a gradient, or the solid colour; a
  // transparent label leaves what its parent painted.
  if (!bitmap_.isNull()) {
    painter.drawImage(r, bitmap_, QRect(0, 0, bitmap_.width() - 1, bitmap_.height() - 1));
    transparent_ = false;
  } else if (!transparent_) {
    if (gradientMode_ != 0) {
      QLinearGradient gradient(
          r.topLeft(), gradientMode_ == 1 ? QPointF(r.right() + 1, r.top()) : QPointF(r.left(), r.bottom() + 1));
      gradient.setColorAt(0, ColorRef(gradientStart_));
      gradient.setColorAt(1, ColorRef(gradientEnd_));
      painter.fillRect(r, gradient);
    } else {
      painter.fillRect(r, ColorRef(bkColour_));
    }
  }

  painter.setFont(font_);
  painter.setPen(ColorRef(textColour_));
  const QFontMetrics metrics(font_);
  int flags = Qt::AlignTop | Qt::TextSingleLine;
  if (style_ & SS_RIGHT) {
    flags |= Qt::AlignRight;
  } else if (style_ & SS_CENTER) {
    flags |= Qt::AlignHCenter;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (!(style_ & SS_NOPREFIX)) flags |= Qt::TextShowMnemonic;
  if (text_.contains(u'\t')) flags |= Qt::TextExpandTabs;
  const uint32_t ellipsis = style_ & SS_ELLIPSISMASK;
  const Qt::TextElideMode elide = ellipsis == SS_PATHELLIPSIS ? Qt::ElideMiddle
                                  : ellipsis != 0             ? Qt::ElideRight
                                                              : Qt::ElideNone;

  auto measure = [&metrics](const QString& s) { return metrics.horizontalAdvance(s); };
  lines_ = wordWrap_ ? BreakLabelLines(text_, r.width(), measure) : std::vector<QString>{text_};
  const int lineHeight = metrics.height();
  int top = r.top();
  const int total = lineHeight * static_cast<int>(lines_.size());
  if (style_ & SS_CENTERIMAGE) top = (r.height() - total) / 2;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const QString line = elide != Qt::ElideNone ? metrics.elidedText(lines_[i], elide, r.width()) : lines_[i];
    QRect lineRect(r.left(), top + static_cast<int>(i) * lineHeight, r.width(), r.height());
    painter.drawText(lineRect, flags, line);
    if (raised_)
      painter.drawText(lineRect.translated(raisedDownRight_ ? 1 : -1, raisedDownRight_ ? 1 : -1), flags, line);
  }

  // Too tall: the next paint tries one pixel smaller, down to a height of 1.
  if (shrinkToFit_ && total > r.height() && fontHeight_ > 1) {
    --fontHeight_;
    QFont smaller = DialogFont(templateFace_.toUtf8().constData(), 8);
    smaller.setPixelSize(fontHeight_);
    smaller.setWeight(QtWeight(templateWeight_));
    font_ = smaller;
    update();
  }
}
