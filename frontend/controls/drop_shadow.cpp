#include "frontend/controls/drop_shadow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#if defined(VELMO_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#endif

namespace {

std::optional<bool>& Override() {
  static std::optional<bool> value;
  return value;
}

bool DesktopShowsTranslucency() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform.startsWith(QLatin1String("wayland"))) return true;
#if defined(VELMO_HAVE_XCB) && QT_CONFIG(xcb)
  if (platform == QLatin1String("xcb")) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) return false;
    // A compositing manager owns _NET_WM_CM_S<screen>.
    const std::string name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    if (atom == nullptr) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
    const bool composited = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return composited;
  }
#endif
  return false;
}

// The translucent window that shows the picture.
class ShadowWindow : public QWidget {
 public:
  ShadowWindow(QWidget* owner, const QImage* image)
      : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
        image_(image) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    if (!image_->isNull()) p.drawImage(0, 0, *image_);
  }

 private:
  const QImage* image_;
};

uint32_t Premultiplied(uint32_t colour, int alpha) {
  const auto a = static_cast<uint32_t>(alpha);
  const uint32_t r = (colour & 0xFF) * a / 255;
  const uint32_t g = ((colour >> 8) & 0xFF) * a / 255;
  const uint32_t b = ((colour >> 16) & 0xFF) * a / 255;
  return a << 24 | r << 16 | g << 8 | b;
}

}  // namespace

std::vector<ShadowSpan> ShadowOutline(const QRegion& region, int width, int height) {
  std::vector<ShadowSpan> rows(static_cast<size_t>(std::max(height, 0)), ShadowSpan{width, 0});
  if (region.isEmpty()) {
    for (auto& row : rows) row = {0, width};
    return rows;
  }
  for (const QRect& r : region) {
    const int top = std::max(r.top(), 0);
    const int bottom = std::min(r.bottom(), height - 1);
    const int left = std::max(r.left(), 0);
    const int right = std::min(r.right() + 1, width);
    if (left >= right) continue;
    for (int y = top; y <= bottom; ++y) {
      ShadowSpan& row = rows[static_cast<size_t>(y)];
      if (row.left >= row.right) {
        row = {left, right};
      } else {
        row.left = std::min(row.left, left);
        row.right = std::max(row.right, right);
      }
    }
  }
  return rows;
}

QImage MakeShadowImage(const std::vector<ShadowSpan>& outline, int width, int height, const ShadowParams& params) {
  const int S = params.size;
  const int R = params.sharpness;
  const int D = params.darkness;
  const int ox = params.xOffset;
  const int oy = params.yOffset;
  const int Ws = width + 2 * S;
  const int Hs = height + 2 * S;
  if (Ws <= 0 || Hs <= 0 || height <= 0 || static_cast<int>(outline.size()) < height) return {};

  QImage image(Ws, Hs, QImage::Format_ARGB32_Premultiplied);
  image.fill(0);
  auto pixel = [&](int x, int y) -> uint32_t& { return reinterpret_cast<uint32_t*>(image.scanLine(y))[x]; };

  // Anchor rows with one empty guard row at each end: parent row y sits at
  // index y + 1 + max(S, 0), moved right by S.
  const ShadowSpan empty{width, 0};
  const int n = std::max(height, Hs);
  std::vector<ShadowSpan> anchors(static_cast<size_t>(n + 2), empty);
  const int top = std::max(S, 0);
  for (int y = 0; y < height; ++y) {
    const ShadowSpan& row = outline[static_cast<size_t>(y)];
    anchors[static_cast<size_t>(y + 1 + top)] = row.left < row.right ? ShadowSpan{row.left + S, row.right + S} : empty;
  }

  // Core: the outline eroded R - S times.
  std::vector<ShadowSpan> eroded(anchors.size(), empty);
  for (int pass = 0; pass < R - S; ++pass) {
    for (int j = 1; j <= n; ++j) {
      const ShadowSpan& a = anchors[static_cast<size_t>(j - 1)];
      const ShadowSpan& b = anchors[static_cast<size_t>(j)];
      const ShadowSpan& c = anchors[static_cast<size_t>(j + 1)];
      eroded[static_cast<size_t>(j)] = {std::max({a.left, b.left, c.left}) + 1,
                                        std::min({a.right, b.right, c.right}) - 1};
    }
    eroded[0] = empty;
    eroded[static_cast<size_t>(n + 1)] = empty;
    std::swap(anchors, eroded);
  }
  // Shadow row i is anchors[i + base].
  const int base = (S < 0 ? -S : 0) + 1;
  auto core = [&](int i) -> const ShadowSpan& {
    const int index = std::clamp(i + base, 0, n + 1);
    return anchors[static_cast<size_t>(index)];
  };

  // Kernel.
  const int K = std::max(R, S);
  const int B = S > R ? S - R : 0;
  const int side = 2 * K + 1;
  std::vector<uint32_t> kernel(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
  for (int i = 0; i < side; ++i) {
    for (int j = 0; j < side; ++j) {
      const double d = std::sqrt(double(i - K) * (i - K) + double(j - K) * (j - K));
      uint32_t value = 0;
      if (d < B) {
        value = Premultiplied(params.colour, D);
      } else if (d <= K) {
        const auto alpha = static_cast<int>((1.0 - (d - B) / (R + 1)) * D);
        value = Premultiplied(params.colour, std::clamp(alpha, 0, 255));
      }
      kernel[static_cast<size_t>(i * side + j)] = value;
    }
  }
  // Stamps keep the larger value; the parts outside the picture are cut off.
  auto stamp = [&](int cx, int cy) {
    for (int k = 0; k < side; ++k) {
      const int y = cy - K + k;
      if (y < 0 || y >= Hs) continue;
      for (int l = 0; l < side; ++l) {
        const int x = cx - K + l;
        if (x < 0 || x >= Ws) continue;
        uint32_t& p = pixel(x, y);
        p = std::max(p, kernel[static_cast<size_t>(k * side + l)]);
      }
    }
  };

  // Edges: the ends of each core row that the rows above and below leave open.
  for (int i = K; i < Hs - K; ++i) {
    const ShadowSpan& row = core(i);
    if (row.left >= row.right) continue;
    const ShadowSpan& above = core(i - 1);
    const ShadowSpan& below = core(i + 1);
    int j = row.left;
    for (; j < std::min(std::max(above.left, below.left) + 1, row.right); ++j) stamp(j, i);
    for (j = std::max(j, std::min(above.right, below.right) - 1); j < row.right; ++j) stamp(j, i);
  }

  // Interior: full darkness on the core, cleared where the parent lies.
  const uint32_t centre = Premultiplied(params.colour, D);
  auto fill = [&](int y, int from, int to, uint32_t value) {
    from = std::max(from, 0);
    to = std::min(to, Ws);
    for (int x = from; x < to; ++x) pixel(x, y) = value;
  };
  const int first = std::min(K, std::max(S - oy, 0));
  const int last = std::max(std::min(S + height - oy, Hs), Hs - K);
  for (int i = std::max(first, 0); i < std::min(last, Hs); ++i) {
    const ShadowSpan& row = core(i);
    const int parentRow = i + oy - S;
    if (parentRow < 0 || parentRow >= height) {
      fill(i, row.left, row.right, centre);
      continue;
    }
    const ShadowSpan& under = outline[static_cast<size_t>(parentRow)];
    const int start = under.left + S - ox;
    const int end = under.right + S - ox;
    if (under.left >= under.right) {
      fill(i, row.left, row.right, centre);
      continue;
    }
    fill(i, row.left, std::min(start, row.right), centre);
    fill(i, start, end, 0);
    fill(i, std::max(end, row.left), row.right, centre);
  }
  return image;
}

// ---- the shadow window ----

CDropShadowWnd::CDropShadowWnd() = default;

CDropShadowWnd::~CDropShadowWnd() {
  if (parent_) parent_->removeEventFilter(this);
  delete window_.data();
}

bool CDropShadowWnd::IsSupported() {
  if (Override().has_value()) return *Override();
  static const bool supported = DesktopShowsTranslucency();
  return supported;
}

void CDropShadowWnd::OverrideSupport(std::optional<bool> supported) { Override() = supported; }

void CDropShadowWnd::Create(QWidget* parent) {
  if (parent == nullptr || !IsSupported()) return;
  if (parent_) parent_->removeEventFilter(this);
  delete window_.data();
  parent_ = parent;
  window_ = new ShadowWindow(parent, &image_);
  window_->resize(1, 1);
  status_ = kEnabled;
  lastSize_ = parent->size();
  Show();
  parent->installEventFilter(this);
}

QRect CDropShadowWnd::ParentRect() const { return parent_ ? parent_->frameGeometry() : QRect(); }

void CDropShadowWnd::Show() {
  status_ &= kEnabled;
  if ((status_ & kEnabled) && parent_ && parent_->isVisible()) {
    status_ |= kParentVisible;
    if (!(parent_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
      status_ |= kShown;
    }
  }
  if (status_ & kShown) {
    Update();
    if (window_) window_->show();
  } else if (window_) {
    window_->hide();
  }
}

void CDropShadowWnd::Hide() {
  status_ &= static_cast<uint8_t>(~(kShown | kParentVisible));
  if (window_) window_->hide();
}

void CDropShadowWnd::Update() {
  if (!parent_ || !window_) return;
  const QRect r = ParentRect();
  const int w = r.width();
  const int h = r.height();
  QRegion shape = parent_->mask();
  if (!shape.isEmpty()) shape.translate(parent_->geometry().topLeft() - r.topLeft());
  image_ = MakeShadowImage(ShadowOutline(shape, w, h), w, h, params_);
  const int s = params_.size;
  window_->setGeometry(r.left() + params_.xOffset - s, r.top() + params_.yOffset - s, std::max(w + 2 * s, 1),
                       std::max(h + 2 * s, 1));
  window_->update();
}

bool CDropShadowWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched != parent_.data() || !(status_ & kEnabled)) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Move:
      if ((status_ & kShown) && window_) {
        const QRect r = ParentRect();
        window_->move(r.left() + params_.xOffset - params_.size, r.top() + params_.yOffset - params_.size);
      }
      break;
    case QEvent::Resize: {
      const QSize size = static_cast<QResizeEvent*>(event)->size();
      if (parent_->isVisible() && !(parent_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))) {
        status_ |= kParentVisible;
        if (status_ & kShown) {
          // Shrinking redraws at once; growing waits for the parent's paint.
          if (size.width() <= lastSize_.width() && size.height() <= lastSize_.height()) {
            Update();
          } else {
            updatePending_ = true;
          }
        } else {
          status_ |= kShown | kParentVisible;
          Update();
          if (window_) window_->show();
          updatePending_ = true;
        }
      }
      lastSize_ = size;
      break;
    }
    case QEvent::WindowStateChange:
      if (parent_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        status_ &= static_cast<uint8_t>(~kShown);
        if (window_) window_->hide();
      } else {
        Show();
      }
      break;
    case QEvent::Paint:
    case QEvent::UpdateRequest:
      if (updatePending_) {
        updatePending_ = false;
        Update();
      }
      break;
    case QEvent::Show:
      updatePending_ = true;
      Show();
      break;
    case QEvent::Hide:
      Hide();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

bool CDropShadowWnd::SetSize(int size) {
  if (size < -20 || size > 20) return false;
  params_.size = size;
  if (status_ & kShown) Update();
  return true;
}

bool CDropShadowWnd::SetSharpness(unsigned sharpness) {
  if (sharpness > 20) return false;
  params_.sharpness = static_cast<int>(sharpness);
  if (status_ & kShown) Update();
  return true;
}

bool CDropShadowWnd::SetDarkness(unsigned darkness) {
  if (darkness > 255) return false;
  params_.darkness = static_cast<int>(darkness);
  if (status_ & kShown) Update();
  return true;
}

bool CDropShadowWnd::SetPosition(int x, int y) {
  if (x < -20 || x > 20 || y < -20 || y > 20) return false;
  params_.xOffset = x;
  params_.yOffset = y;
  if (status_ & kShown) Update();
  return true;
}

bool CDropShadowWnd::SetColor(uint32_t colour) {
  params_.colour = colour;
  if (status_ & kShown) Update();
  return true;
}
