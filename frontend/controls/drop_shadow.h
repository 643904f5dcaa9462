// A soft drop shadow under a top-level window, following its outline (its
// mask, so shaped windows get shaped shadows): a translucent, click-through
// window owned by the parent that follows its moves, resizes, show and hide.
// Where the desktop cannot show translucent windows no shadow is made and the
// parent works as before.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

// What the shadow looks like.
struct ShadowParams {
  int size = 0;        // how far it reaches beyond the parent on every side, -20..20
  int sharpness = 5;   // width of the soft edge in pixels, 0..20
  int darkness = 150;  // alpha of the fully dark part, 0..255
  int xOffset = 5;     // shift against the parent, -20..20
  int yOffset = 5;
  uint32_t colour = 0;  // COLORREF
};

// One row of an outline: [left, right); empty when left >= right.
struct ShadowSpan {
  int left;
  int right;
};

// The outline rows of a width x height window whose shape is region (the
// whole rectangle when the region is empty): per row, the first pixel inside
// to one past the last; a row with nothing inside is [width, 0).
std::vector<ShadowSpan> ShadowOutline(const QRegion& region, int width, int height);

// The shadow picture of a parent with that outline: premultiplied ARGB of
// (width + 2 size) x (height + 2 size), transparent where the parent lies.
// A null image when that size is empty.
QImage MakeShadowImage(const std::vector<ShadowSpan>& outline, int width, int height, const ShadowParams& params);

class CDropShadowWnd : public QObject {
 public:
  // Status bits.
  enum : uint8_t { kEnabled = 1, kShown = 2, kParentVisible = 4 };

  CDropShadowWnd();
  ~CDropShadowWnd() override;
  CDropShadowWnd(const CDropShadowWnd&) = delete;
  CDropShadowWnd& operator=(const CDropShadowWnd&) = delete;

  // Whether this desktop shows translucent windows: the offscreen and Wayland
  // platforms do, X11 when a compositing manager runs. Decided once.
  static bool IsSupported();
  // Tests: pretend the desktop can (true) or cannot (false) show them;
  // nullopt asks the desktop again.
  static void OverrideSupport(std::optional<bool> supported);

  // Makes the shadow for a top-level parent; nothing when unsupported.
  void Create(QWidget* parent);

  // Setters: false (and nothing changed) out of range; otherwise the value is
  // kept and a shown shadow is redrawn at once.
  bool SetSize(int size);
  bool SetSharpness(unsigned sharpness);
  bool SetDarkness(unsigned darkness);
  bool SetPosition(int x, int y);
  bool SetColor(uint32_t colour);

  const ShadowParams& Params() const { return params_; }
  uint8_t Status() const { return status_; }
  // The shadow window (null when none) and the picture it shows.
  QWidget* Window() const { return window_; }
  const QImage& Image() const { return image_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show();
  void Update();
  void Hide();
  QRect ParentRect() const;

  QPointer<QWidget> parent_;
  QPointer<QWidget> window_;
  uint8_t status_ = 0;
  ShadowParams params_;
  QSize lastSize_;
  bool updatePending_ = false;
  QImage image_;
};
