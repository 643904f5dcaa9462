#include "frontend/controls/previews.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>

#include "common/overlay_placement.h"
#include "frontend/ui/control_ids.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr uint32_t kGrayBrush = 0x808080;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kFrameColour = 0x800000;

// The control's field: filled with a colour inside the default black pen.
void DrawField(QPainter* dc, const QRect& rect, uint32_t fill) {
  CSelectBrush brush(dc, fill);
  CSelectPen pen(dc, kBlack);
  DrawRectangle(dc, rect);
}

}  // namespace

// ---- watermark preview ----

CWatermarkPreviewCtrl::CWatermarkPreviewCtrl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetCursorState(kCursorNormal);
}

CWatermarkPreviewCtrl::~CWatermarkPreviewCtrl() = default;

uint32_t CWatermarkPreviewCtrl::TickNow() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CWatermarkPreviewCtrl::SetFrame(int width, int height, int xOffset, int yOffset) {
  frameWidth_ = width;
  frameHeight_ = height;
  xOffset_ = xOffset;
  yOffset_ = yOffset;
  showFrame_ = true;
  update();
}

QRect CWatermarkPreviewCtrl::FrameRect() const {
  return QRect(pos_.x() - xOffset_, pos_.y() - yOffset_, frameWidth_, frameHeight_);
}

void CWatermarkPreviewCtrl::Release() {
  frames_.clear();
  count_ = 0;
  totalDelay_ = 0;
  current_ = 0;
  timer_.stop();
}

bool CWatermarkPreviewCtrl::LoadPicture(const std::string& path, int* pictureWidth, int* pictureHeight) {
  Release();
  update();
  if (path.empty()) return false;
  CPicture loader(CPicture::GetTypeIdFromName(FindFileExtension(path)));
  if (!loader.Load(path, loader.GetType())) return false;
  if (loader.GetNumFrames() > 1 && loader.GetType() == kPictureGif) {
    loader.SetRetreiveAllFrames(true);
    loader.SetFrame(loader.GetNumFrames() - 1);
    if (!loader.Load(path, kPictureGif)) return false;
    for (int i = 0; const CPicture* frame = loader.GetFrame(i); ++i) {
      CPicture copy;
      copy.Copy(*frame, true, true, true);
      totalDelay_ += std::max(1, frame->GetFrameDelay());
      frames_.push_back(std::move(copy));
    }
    if (frames_.empty()) return false;
    startTick_ = TickNow();
    timer_.start(10, this);
  } else {
    frames_.push_back(std::move(loader));
  }
  count_ = int(frames_.size());
  const CPicture& first = frames_.front();
  if (pictureWidth != nullptr) *pictureWidth = first.GetWidth();
  if (pictureHeight != nullptr) *pictureHeight = first.GetHeight();
  pos_ = QPoint((width() - first.GetWidth()) / 2, (height() - first.GetHeight()) / 2);
  SetCursorState(kCursorNormal);
  update();
  return true;
}

bool CWatermarkPreviewCtrl::PlaceByAlign(int frameWidth, int frameHeight, int align, int posX, int posY,
                                         QPoint* position) {
  if (count_ == 0) return false;
  const CPicture& first = frames_.front();
  const OverlayPlacement p =
      PlaceOverlayByAlign(frameWidth, frameHeight, align, first.GetWidth(), first.GetHeight(), posX, posY);
  if (position != nullptr) *position = QPoint(p.dstX, p.dstY);
  SetFrame(frameWidth, frameHeight, p.dstX - p.srcX, p.dstY - p.srcY);
  return true;
}

void CWatermarkPreviewCtrl::SetPickMode(bool on) {
  pickDown_ = false;
  pickMode_ = on;
  SetCursorState(on ? kCursorPick : kCursorNormal);
}

void CWatermarkPreviewCtrl::SetCursorState(int state) {
  cursorState_ = state;
  switch (state) {
    case kCursorPick:
      setCursor(Qt::CrossCursor);
      break;
    case kCursorDrag:
      setCursor(Qt::ClosedHandCursor);
      break;
    default:
      setCursor(Qt::OpenHandCursor);
      break;
  }
}

void CWatermarkPreviewCtrl::AnimationStep(uint32_t now) {
  if (count_ < 2 || totalDelay_ <= 0) return;
  const int t = int(((now - startTick_) / 10) % uint32_t(totalDelay_));
  int frame = 0, sum = 0;
  for (int i = 0; i < count_; ++i) {
    const int delay = std::max(1, frames_[size_t(i)].GetFrameDelay());
    if (t >= sum && t < sum + delay) {
      frame = i;
      break;
    }
    sum += delay;
  }
  if (frame != current_) {
    current_ = frame;
    update();
  }
}

void CWatermarkPreviewCtrl::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timer_.timerId())
    AnimationStep(TickNow());
  else
    QWidget::timerEvent(event);
}

uint32_t CWatermarkPreviewCtrl::ColourAt(const QPoint& at) {
  if (!rect().contains(at)) return 0;
  const QImage pixel = grab(QRect(at, QSize(1, 1))).toImage();
  return pixel.isNull() ? 0 : ToColorRef(QColor(pixel.pixel(0, 0)));
}

void CWatermarkPreviewCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint at = event->position().toPoint();
  if (pickMode_) {
    const uint32_t colour = ColourAt(at);
    pickDown_ = true;
    SendParentMessage(this, WM_WATERMARK_PICK_COLOR, colour, 0);
  } else {
    dragStart_ = at;
    dragPicture_ = pos_;
    dragging_ = true;  // moves keep coming here while the button is held
    SetCursorState(kCursorDrag);
  }
}

void CWatermarkPreviewCtrl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (pickMode_ && pickDown_) {
    SendParentMessage(this, WM_WATERMARK_PICK_COLOR, ColourAt(at), 0);
  } else if (dragging_) {
    pos_ = dragPicture_ + (at - dragStart_);
    update();
  }
}

void CWatermarkPreviewCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  if (pickMode_) {
    SetPickMode(false);
  } else if (dragging_) {
    dragging_ = false;
    SetCursorState(kCursorNormal);
  }
}

void CWatermarkPreviewCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  COffscreenDC dc(&painter, rect());
  DrawField(&dc, rect(), kGrayBrush);
  if (count_ > 0) frames_[size_t(current_ % count_)].Draw(&dc, pos_.x(), pos_.y());
  if (showFrame_) {
    CSelectBrush brush(&dc, CSelectBrush::kNullBrush);
    CSelectPen pen(&dc, kFrameColour);
    DrawRectangle(&dc, FrameRect());
  }
}

// ---- frame preview ----

CFramePreviewCtrl::CFramePreviewCtrl(QWidget* parent) : QWidget(parent), picture_(kPictureBmp) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CFramePreviewCtrl::~CFramePreviewCtrl() = default;

void CFramePreviewCtrl::CheckSize() {
  valid_ = picture_.IsValid() && geometry_ != nullptr && picture_.GetWidth() == geometry_->sourceWidth &&
           picture_.GetHeight() == geometry_->sourceHeight;
}

bool CFramePreviewCtrl::Open(const std::string& path, const FrameGeometry* geometry) {
  picture_ = CPicture(kPictureBmp);
  picture_.Load(path, kPictureBmp);
  geometry_ = geometry;
  CheckSize();
  update();
  return valid_;
}

bool CFramePreviewCtrl::LoadFrame(const std::string& path) {
  picture_ = CPicture(kPictureUnknown);
  valid_ = false;
  picture_.Load(path, kPictureUnknown);
  CheckSize();
  update();
  return valid_;
}

void CFramePreviewCtrl::SetMode(int mode) {
  mode_ = mode;
  update();
}

int CFramePreviewCtrl::ScaledDepth(int value, int shown, int size) {
  if (value <= 0 || size <= 0) return 0;
  return std::max(1, int(int64_t(value) * shown / size));
}

QRect CFramePreviewCtrl::ShownRect() const {
  if (!valid_ || geometry_ == nullptr) return {};
  const bool crop = mode_ == kModeCrop;
  const int w = crop ? geometry_->sourceWidth : geometry_->outputWidth;
  const int h = crop ? geometry_->sourceHeight : geometry_->outputHeight;
  double aspect = crop ? geometry_->sourceAspect : geometry_->outputAspect;
  if (!(aspect > 0) || aspect > 1e6) aspect = 1.0;
  const QRect avail = rect().adjusted(1, 1, -1, -1);
  if (w <= 0 || h <= 0 || avail.isEmpty()) return {};
  int shownW = avail.width();
  int shownH = int(double(avail.width()) * h / aspect / w);
  int x = avail.left(), y = avail.top();
  if (shownH > avail.height()) {
    shownH = avail.height();
    shownW = int(aspect * w * avail.height() / h);
    x += (avail.width() - shownW) / 2;
  } else {
    y += (avail.height() - shownH) / 2;
  }
  if (shownW <= 0 || shownH <= 0) return {};
  return QRect(x, y, shownW, shownH);
}

void CFramePreviewCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  COffscreenDC dc(&painter, rect());
  DrawField(&dc, rect(), kBackground);
  const QRect shown = ShownRect();
  if (shown.isEmpty()) return;
  const FrameGeometry& g = *geometry_;
  const ScaleLayout& l = g.layout;
  if (mode_ == kModeCrop) {
    picture_.Draw(&dc, shown, nullptr, true);
    const int left = std::min(ScaledDepth(l.leftBand, shown.width(), g.sourceWidth), shown.width());
    const int right = std::min(ScaledDepth(l.rightBand, shown.width(), g.sourceWidth), shown.width());
    const int top = std::min(ScaledDepth(l.topBand, shown.height(), g.sourceHeight), shown.height());
    const int bottom = std::min(ScaledDepth(l.bottomBand, shown.height(), g.sourceHeight), shown.height());
    const QRect bands[] = {
        QRect(shown.left(), shown.top(), left, shown.height()),
        QRect(shown.right() + 1 - right, shown.top(), right, shown.height()),
        QRect(shown.left(), shown.top(), shown.width(), top),
        QRect(shown.left(), shown.bottom() + 1 - bottom, shown.width(), bottom),
    };
    for (const QRect& band : bands) {
      if (band.isEmpty()) continue;
      HatchRectNotXor(&dc, band, kHatchColour);
      CSelectBrush brush(&dc, CSelectBrush::kNullBrush);
      CSelectPen pen(&dc, kBlack);
      DrawRectangle(&dc, band);
    }
    return;
  }
  {
    CSelectBrush brush(&dc, l.padColor);
    CSelectPen pen(&dc, l.padColor);
    DrawRectangle(&dc, shown);
  }
  const QRect inner = shown.adjusted(ScaledDepth(l.leftPad, shown.width(), g.outputWidth),
                                     ScaledDepth(l.topPad, shown.height(), g.outputHeight),
                                     -ScaledDepth(l.rightPad, shown.width(), g.outputWidth),
                                     -ScaledDepth(l.bottomPad, shown.height(), g.outputHeight));
  CPicture cropped;
  if (inner.isEmpty() ||
      !picture_.Crop(l.leftBand, l.topBand, g.sourceWidth - l.rightBand, g.sourceHeight - l.bottomBand, &cropped))
    return;
  cropped.Draw(&dc, inner, nullptr, true);
}
