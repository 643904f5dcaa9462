#include "frontend/controls/skin_progress.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "frontend/ui/sys_colors.h"

namespace {

// The labels of an empty format.
const std::string kPercentFormat = "%d%%";
const std::string kPositionFormat = "%d";

int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(r & 0xFF) | (static_cast<uint32_t>(g & 0xFF) << 8) |
         (static_cast<uint32_t>(b & 0xFF) << 16);
}

// Keeps the parts of entries (laid end to end from 0) that fall in [start, end).
std::vector<GradientEntry> Cut(const std::vector<GradientEntry>& entries, int start, int end) {
  std::vector<GradientEntry> out;
  int at = 0;
  for (const GradientEntry& e : entries) {
    const int from = std::max(at, start), to = std::min(at + e.width, end);
    if (to > from) out.push_back({e.colour, to - from});
    at += e.width;
    if (at >= end) break;
  }
  return out;
}

}  // namespace

CGradient::CGradient() { SetColors({0, 0}); }

void CGradient::SetColors(const std::vector<uint32_t>& stops) {
  stops_ = stops;
  shares_.assign(stops_.size() > 1 ? stops_.size() - 1 : 0, stops_.size() > 1 ? 100.0 / (stops_.size() - 1) : 0.0);
}

std::vector<GradientEntry> CGradient::MakeBand(uint32_t a, uint32_t b, int n, int from, int to, int limit) const {
  std::vector<GradientEntry> out;
  if (n <= 0) return out;
  int k = std::max({std::abs(Channel(b, 0) - Channel(a, 0)), std::abs(Channel(b, 8) - Channel(a, 8)),
                    std::abs(Channel(b, 16) - Channel(a, 16))});
  if (limit > 0) k = std::min(k, limit);
  k = std::max(1, std::min(k, n));
  const double step = static_cast<double>(n) / k;
  for (int j = 0; j < k; ++j) {
    const int bandStart = static_cast<int>(step * j);
    const int bandEnd = j == k - 1 ? n : static_cast<int>(step * (j + 1));
    auto mix = [&](int shift) {
      const int ca = Channel(a, shift), cb = Channel(b, shift);
      return ca + static_cast<int>(static_cast<double>(cb - ca) / k * j);
    };
    const int s = std::max(bandStart, from), e = std::min(bandEnd, to);
    if (e > s) out.push_back({Rgb(mix(0), mix(8), mix(16)), e - s});
    if (bandEnd >= to) break;
  }
  return out;
}

std::vector<GradientEntry> CGradient::MakeSegments(int length, int start, int end, int limit) const {
  std::vector<GradientEntry> out;
  const size_t segments = stops_.size() > 1 ? stops_.size() - 1 : 0;
  if (segments == 0) return out;
  const int perSegment = limit > 0 ? std::max(1, limit / static_cast<int>(segments)) : 0;
  double sum = 0;
  int segStart = 0;
  for (size_t i = 0; i < segments; ++i) {
    sum += shares_[i];
    const int segEnd = i + 1 == segments ? length : static_cast<int>(length * sum * 0.01);
    if (segEnd > start) {
      std::vector<GradientEntry> band =
          MakeBand(stops_[i], stops_[i + 1], segEnd - segStart, start - segStart, end - segStart, perSegment);
      out.insert(out.end(), band.begin(), band.end());
    }
    if (segEnd >= end) break;
    segStart = segEnd;
  }
  return out;
}

std::vector<GradientEntry> CGradient::MakeEntries(int shift, int length, int start, int end, int limit) const {
  if (stops_.empty() || end <= start) return {};
  if (stops_.size() == 1) return {{stops_[0], end - start}};
  int s = length > 0 ? shift % length : 0;
  if (s < 0) s += length;
  if (s == 0) return MakeSegments(length, start, end, limit);
  std::vector<GradientEntry> whole = MakeSegments(length, 0, length, limit);
  // The entries that make up the last s pixels go in front.
  std::vector<GradientEntry> front, back;
  int remaining = s;
  for (auto it = whole.rbegin(); it != whole.rend(); ++it) {
    if (remaining <= 0) {
      back.insert(back.begin(), *it);
    } else if (it->width <= remaining) {
      front.insert(front.begin(), *it);
      remaining -= it->width;
    } else {
      front.insert(front.begin(), {it->colour, remaining});
      back.insert(back.begin(), {it->colour, it->width - remaining});
      remaining = 0;
    }
  }
  front.insert(front.end(), back.begin(), back.end());
  return Cut(front, start, end);
}

void CGradient::Draw(QPainter& painter, const QRect& rect, int start, int end, int shift) {
  const bool vertical = orientation_ >= 2;
  const int extent = vertical ? rect.height() : rect.width();
  if (end < 0) end = extent;
  const int length = static_cast<int>(extent * scale_);
  int at = start;
  for (const GradientEntry& e : MakeEntries(shift, length, start, end, 0)) {
    QRect band;
    switch (orientation_) {
      case 1:
        band = QRect(rect.right() + 1 - at - e.width, rect.top(), e.width, rect.height());
        break;
      case 2:
        band = QRect(rect.left(), rect.top() + at, rect.width(), e.width);
        break;
      case 3:
        band = QRect(rect.left(), rect.bottom() + 1 - at - e.width, rect.width(), e.width);
        break;
      default:
        band = QRect(rect.left() + at, rect.top(), e.width, rect.height());
        break;
    }
    painter.fillRect(band, ColorRef(e.colour));
    at += e.width;
  }
}

CProgressPainter::CProgressPainter()
    : background_(ToColorRef(SysColor(COLOR_BTNFACE))),
      textOnBar_(ToColorRef(SysColor(COLOR_CAPTIONTEXT))),
      textOnBackground_(ToColorRef(SysColor(COLOR_BTNTEXT))) {
  // The active caption's gradient (the desktop always draws one here).
  SetColors({ToColorRef(SysColor(COLOR_ACTIVECAPTION)), ToColorRef(SysColor(COLOR_GRADIENTACTIVECAPTION))});
}

uint32_t CProgressPainter::ModifyStyle(uint32_t remove, uint32_t add) {
  style_ = (style_ & ~remove) | add;
  return style_;
}

void CProgressPainter::SetRange(int a, int b) {
  lower_ = std::min(a, b);
  upper_ = std::max(a, b);
  const int clamped = std::clamp(pos_, lower_, upper_);
  if (clamped != pos_) {
    pos_ = clamped;
    OnPosChanged();
  }
}

int CProgressPainter::SetPos(int position) {
  const int previous = pos_;
  if (GetStyle() & kProgressMovingBlock) {
    SetBlockPos(position, false, 0);
    return previous;
  }
  const int clamped = std::clamp(position, lower_, upper_);
  if (clamped != pos_) {
    pos_ = clamped;
    OnPosChanged();
  }
  return previous;
}

int CProgressPainter::OffsetPos(int delta) {
  const int previous = pos_;
  if (GetStyle() & kProgressMovingBlock) {
    SetBlockPos(0, true, delta);
    return previous;
  }
  SetPos(pos_ + delta);
  return previous;
}

int CProgressPainter::SetStep(int step) {
  const int previous = step_;
  step_ = step;
  return previous;
}

void CProgressPainter::SetBlockPos(int target, bool offset, int delta) {
  const int b = blockLength_;
  if (offset) {
    const int base = pos_ == upper_ && pos_ - blockStart_ < b ? blockStart_ + b : pos_;
    target = base + std::abs(delta);
  }
  if (target > upper_ + b) {
    const uint32_t style = GetStyle();
    ModifyStyle(style & kProgressReverse, ~style & kProgressReverse);
    target = std::min(upper_ + b, target + lower_ - b - upper_);
  }
  blockStart_ = std::max(target - b, lower_);
  const int clamped = std::clamp(target, lower_, upper_);
  if (clamped != pos_) {
    pos_ = clamped;
    OnPosChanged();
  }
}

void CProgressPainter::SetText(const std::string& text, uint32_t mode) {
  if (text.empty() || mode == 0) {
    label_.clear();
    mode = 0;
  } else {
    label_ = text;
  }
  ModifyStyle(kProgressShowPercent | kProgressShowPosition, mode & (kProgressShowPercent | kProgressShowPosition));
}

int CProgressPainter::GetValue() const {
  if (GetStyle() & kProgressShowPosition) return pos_;
  return upper_ > lower_ ? static_cast<int>(static_cast<int64_t>(pos_ - lower_) * 100 / (upper_ - lower_)) : 0;
}

std::string CProgressPainter::FormatText() const {
  const uint32_t style = GetStyle();
  if (!(style & (kProgressShowPercent | kProgressShowPosition))) return {};
  const std::string& format = !label_.empty()                   ? label_
                              : (style & kProgressShowPosition) ? kPositionFormat
                                                                : kPercentFormat;
  // Only "%d" and "%%" are filled: the label is never used as a format.
  std::string out;
  bool filled = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 'd' && !filled) {
        out += std::to_string(GetValue());
        filled = true;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::optional<std::pair<int, int>> CProgressPainter::BarSpan(int extent) const {
  if (pos_ < lower_ || pos_ > upper_) return std::nullopt;
  const int range = upper_ - lower_;
  if (range <= 0) return std::make_pair(0, 0);
  const int end = static_cast<int>(static_cast<int64_t>(extent) * (pos_ - lower_) / range);
  const int start = (GetStyle() & kProgressMovingBlock)
                        ? static_cast<int>(static_cast<int64_t>(extent) * (blockStart_ - lower_) / range)
                        : 0;
  return std::make_pair(std::min(start, end), end);
}

void CProgressPainter::Paint(QPainter& painter, const QRect& client, const QFont& font) {
  if (background_ >= 0) painter.fillRect(client, ColorRef(static_cast<uint32_t>(background_)));
  const QRect r = client.adjusted(margins_.left, margins_.top, -margins_.right, -margins_.bottom);
  const uint32_t style = GetStyle();
  const bool vertical = style & kProgressVertical;
  const bool reversed = style & kProgressReverse;
  const int extent = vertical ? r.height() : r.width();
  const auto span = BarSpan(extent);
  if (!span) return;
  const auto [start, end] = *span;
  QRect bar;
  if (vertical) {
    bar = reversed ? QRect(r.left(), r.top() + start, r.width(), end - start)
                   : QRect(r.left(), r.bottom() + 1 - end, r.width(), end - start);
  } else {
    bar = reversed ? QRect(r.right() + 1 - end, r.top(), end - start, r.height())
                   : QRect(r.left() + start, r.top(), end - start, r.height());
  }
  SetOrientation(vertical ? (reversed ? 2 : 3) : (reversed ? 1 : 0));
  const bool fit = style & kProgressFitGradient;
  const int spanStart = fit ? start : 0, spanEnd = fit ? end : extent;
  QRect spanRect = r;
  if (fit) spanRect = bar;
  const int spanLength = spanEnd - spanStart;
  const int range = upper_ - lower_;
  const int shift = range > 0 ? static_cast<int>(static_cast<int64_t>(spanLength) * animOffset_ / range) : 0;
  if (end > start) Draw(painter, spanRect, start - spanStart, end - spanStart, shift);

  const std::string text = FormatText();
  if (text.empty()) return;
  int flags = Qt::TextSingleLine;
  flags |= (style & kProgressTextLeft)    ? Qt::AlignLeft
           : (style & kProgressTextRight) ? Qt::AlignRight
                                          : Qt::AlignHCenter;
  flags |= (style & kProgressTextTop)      ? Qt::AlignTop
           : (style & kProgressTextBottom) ? Qt::AlignBottom
                                           : Qt::AlignVCenter;
  const QString label = QString::fromStdString(text);
  painter.save();
  painter.setFont(font);
  if (style & kProgressTextOnBar) {
    // On the bar only, once in the over-bar colour; not when it does not fit.
    const QSize size = painter.fontMetrics().size(Qt::TextSingleLine, label);
    if ((vertical ? bar.height() : bar.width()) >= (vertical ? size.height() : size.width())) {
      painter.setClipRect(bar);
      painter.setPen(ColorRef(textOnBar_));
      painter.drawText(bar, flags, label);
    }
  } else {
    // Over the whole area, then again in the over-bar colour where the bar is.
    painter.setPen(ColorRef(textOnBackground_));
    painter.drawText(r, flags, label);
    if (textOnBar_ != textOnBackground_ && !bar.isEmpty()) {
      painter.setClipRect(bar);
      painter.setPen(ColorRef(textOnBar_));
      painter.drawText(r, flags, label);
    }
  }
  painter.restore();
}

CSkinProgressCtrl::CSkinProgressCtrl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, background_ >= 0);
}

uint32_t CSkinProgressCtrl::ModifyStyle(uint32_t remove, uint32_t add) {
  windowStyle_ = (windowStyle_ & ~remove) | add;
  update();
  return windowStyle_;
}

void CSkinProgressCtrl::OnPosChanged() {
  setToolTip(QString::number(GetValue()) + ((GetStyle() & kProgressShowPosition) ? "" : "%"));
  update();
}

intptr_t CSkinProgressCtrl::SendProgressMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  auto packedRange = [this] {
    return static_cast<intptr_t>((static_cast<uint32_t>(upper_) << 16) | (static_cast<uint32_t>(lower_) & 0xFFFF));
  };
  switch (msg) {
    case PBM_SETRANGE:
      result = packedRange();
      SetRange(static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF));
      break;
    case PBM_SETRANGE32:
      result = packedRange();
      SetRange(static_cast<int>(wParam), static_cast<int>(lParam));
      break;
    case PBM_SETPOS:
      result = SetPos(static_cast<int>(wParam));
      break;
    case PBM_DELTAPOS:
      result = OffsetPos(static_cast<int>(wParam));
      break;
    case PBM_SETSTEP:
      result = SetStep(static_cast<int>(wParam));
      break;
    case PBM_STEPIT:
      result = StepIt();
      break;
    case PBM_GETRANGE:
      return wParam != 0 ? lower_ : upper_;
    case PBM_GETPOS:
      return pos_;
    case PBM_SETBARCOLOR:
      SetColors(
          {static_cast<uint32_t>(lParam), wParam != 0 ? static_cast<uint32_t>(wParam) : static_cast<uint32_t>(lParam)});
      result = static_cast<intptr_t>(0xFF000000u);
      break;
    case PBM_SETBKCOLOR:
      background_ = static_cast<uint32_t>(lParam);
      result = static_cast<intptr_t>(0xFF000000u);
      break;
    default:
      return 0;
  }
  update();
  return result;
}

void CSkinProgressCtrl::OnTimerId(int id) {
  if (id == 11) {
    StepIt();
  } else if (id == 12) {
    const int period = static_cast<int>((upper_ - lower_) * scale_);
    animOffset_ = period > 0 ? (animOffset_ + animStep_) % period : 0;
  } else {
    return;
  }
  update();
}

void CSkinProgressCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, rect(), font());
}
