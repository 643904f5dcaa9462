// A progress bar that paints itself: a colour gradient split into bands, an
// optional label (a format filled with the percentage or the position) whose
// colour changes where the bar covers it, a moving-block mode and a gradient
// animation. CProgressPainter does the arithmetic and the drawing;
// CSkinProgressCtrl is the widget over it.
#pragma once

#include <QFont>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPainter;

// One solid band of a gradient.
struct GradientEntry {
  uint32_t colour;  // COLORREF
  int32_t width;    // pixels
  bool operator==(const GradientEntry&) const = default;
};

class CGradient {
 public:
  CGradient();
  virtual ~CGradient() = default;

  // Stops and equal shares 100 / (stops - 1).
  void SetColors(const std::vector<uint32_t>& stops);
  const std::vector<uint32_t>& Colors() const { return stops_; }
  const std::vector<double>& Shares() const { return shares_; }
  void SetOrientation(int orientation) { orientation_ = orientation; }  // 0 l-r, 1 r-l, 2 t-b, 3 b-t
  int Orientation() const { return orientation_; }
  void SetScale(float scale) { scale_ = scale; }
  float Scale() const { return scale_; }

  // Fills [start, end) of rect along the orientation with the gradient's
  // bands (end -1: the full extent), shifted by shift pixels.
  virtual void Draw(QPainter& painter, const QRect& rect, int start, int end, int shift);
  // The bands of [start, end) for a gradient of length, shifted.
  virtual std::vector<GradientEntry> MakeEntries(int shift, int length, int start, int end, int limit) const;
  virtual std::vector<GradientEntry> MakeSegments(int length, int start, int end, int limit) const;
  // The bands of a run of n pixels from colour a to b, clipped to [from, to).
  virtual std::vector<GradientEntry> MakeBand(uint32_t a, uint32_t b, int n, int from, int to, int limit) const;

 protected:
  std::vector<uint32_t> stops_;
  std::vector<double> shares_;
  int orientation_ = 0;
  float scale_ = 1.0f;
};

// Style bits the painter reads.
enum ProgressStyleBits : uint32_t {
  kProgressVertical = 0x4,
  kProgressTextLeft = 0x10,
  kProgressTextRight = 0x20,
  kProgressTextTop = 0x40,
  kProgressTextBottom = 0x80,
  kProgressShowPercent = 0x100,
  kProgressShowPosition = 0x200,
  kProgressTextOnBar = 0x1000,
  kProgressFitGradient = 0x2000,
  kProgressReverse = 0x4000,
  kProgressMovingBlock = 0x8000,
};

class CProgressPainter : public CGradient {
 public:
  CProgressPainter();

  virtual uint32_t GetStyle() const { return style_; }
  virtual uint32_t ModifyStyle(uint32_t remove, uint32_t add);

  void SetRange(int a, int b);
  int Lower() const { return lower_; }
  int Upper() const { return upper_; }
  int SetPos(int position);
  int OffsetPos(int delta);
  int GetPos() const { return pos_; }
  int SetStep(int step);
  int StepIt() { return OffsetPos(step_); }
  // An empty text or mode 0 clears the label and the mode bits (0x300).
  void SetText(const std::string& text, uint32_t mode);
  // The label alone, the style unchanged.
  void SetLabel(const std::string& text) { label_ = text; }
  const std::string& Label() const { return label_; }
  int BlockStart() const { return blockStart_; }
  void SetBlockLength(int length) { blockLength_ = length; }

  // -1 = none (see through).
  void SetBackgroundColour(int64_t colour) { background_ = colour; }
  int64_t BackgroundColour() const { return background_; }
  void SetTextColours(uint32_t overBar, uint32_t overBackground) {
    textOnBar_ = overBar;
    textOnBackground_ = overBackground;
  }
  uint32_t TextOnBar() const { return textOnBar_; }
  uint32_t TextOnBackground() const { return textOnBackground_; }
  void SetMargins(int left, int top, int right, int bottom) { margins_ = {left, top, right, bottom}; }
  void SetAnimationOffset(int offset) { animOffset_ = offset; }
  int AnimationOffset() const { return animOffset_; }

  // The label with the percentage or position filled in ("%d", "%%"); an
  // empty label shows "%d%%" or "%d"; empty when the style shows neither.
  virtual std::string FormatText() const;
  virtual int GetValue() const;
  // The bar's span along the axis for an extent: [start, end); nothing when
  // the position lies outside the range.
  std::optional<std::pair<int, int>> BarSpan(int extent) const;
  // Paints the whole control into rect.
  void Paint(QPainter& painter, const QRect& rect, const QFont& font);

 protected:
  virtual void OnPosChanged() {}
  virtual void SetBlockPos(int target, bool offset, int delta);

  uint32_t style_ = 0xF0;
  int lower_ = 0, upper_ = 100, pos_ = 0;
  int blockStart_ = 0, blockLength_ = 40, step_ = 10;
  int animOffset_ = 0;
  struct {
    int left, top, right, bottom;
  } margins_ = {0, 0, 0, 0};
  std::string label_;
  int64_t background_;
  uint32_t textOnBar_, textOnBackground_;
};

class CSkinProgressCtrl : public QWidget, public CProgressPainter {
 public:
  explicit CSkinProgressCtrl(QWidget* parent = nullptr);

  uint32_t GetStyle() const override { return windowStyle_; }
  uint32_t ModifyStyle(uint32_t remove, uint32_t add) override;

  // The progress-bar messages (0x401 .. 0x409, 0x2001); their results.
  intptr_t SendProgressMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  // Timer 11 steps, 12 animates.
  void OnTimerId(int id);
  void SetAnimationStep(int step) { animStep_ = step; }

 protected:
  void paintEvent(class QPaintEvent* event) override;
  void OnPosChanged() override;

 private:
  uint32_t windowStyle_ = 0;
  int animStep_ = 0;
};

// The progress-bar message numbers.
enum ProgressMessages : uint32_t {
  PBM_SETRANGE = 0x401,
  PBM_SETPOS = 0x402,
  PBM_DELTAPOS = 0x403,
  PBM_SETSTEP = 0x404,
  PBM_STEPIT = 0x405,
  PBM_SETRANGE32 = 0x406,
  PBM_GETRANGE = 0x407,
  PBM_GETPOS = 0x408,
  PBM_SETBARCOLOR = 0x409,
  PBM_SETBKCOLOR = 0x2001,
};
