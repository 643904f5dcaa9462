// Scale layout: bands and pads of the automatic layouts.
#include "frontend/model/scale_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Values {
  int32_t lb, rb, tb, bb, lp, rp, tp, bp;
};

Values Of(const ScaleLayout& l) {
  return {l.leftBand, l.rightBand, l.topBand, l.bottomBand, l.leftPad, l.rightPad, l.topPad, l.bottomPad};
}

bool operator==(const Values& a, const Values& b) {
  return a.lb == b.lb && a.rb == b.rb && a.tb == b.tb && a.bb == b.bb && a.lp == b.lp && a.rp == b.rp && a.tp == b.tp &&
         a.bp == b.bp;
}

std::ostream& operator<<(std::ostream& os, const Values& v) {
  return os << "bands " << v.lb << "," << v.rb << "," << v.tb << "," << v.bb << " pads " << v.lp << "," << v.rp << ","
            << v.tp << "," << v.bp;
}

ScaleLayout Garbage() {
  ScaleLayout l;
  l.leftBand = l.rightBand = l.topBand = l.bottomBand = 7;
  l.leftPad = l.rightPad = l.topPad = l.bottomPad = 9;
  l.padColor = 0x00FF00;
  return l;
}

TEST(ScaleLayout, ModesTable) {
  struct Case {
    const char* label;
    int32_t sw, sh;
    double sa;
    int32_t ow, oh;
    double oa;
    int32_t mode;
    Values want;
  };
  const Case cases[] = {
      // 720x480 into 640x480, square pixels.
      {"letterbox", 720, 480, 1.0, 640, 480, 1.0, 1, {0, 0, 0, 0, 0, 0, 26, 28}},
      {"black left-right crops 40 a side", 720, 480, 1.0, 640, 480, 1.0, 2, {40, 40, 0, 0, 0, 0, 0, 0}},
      {"black up-down pads like letterbox", 720, 480, 1.0, 640, 480, 1.0, 3, {0, 0, 0, 0, 0, 0, 26, 28}},
      {"stretch", 720, 480, 1.0, 640, 480, 1.0, 4, {0, 0, 0, 0, 0, 0, 0, 0}},
      // Narrow picture: borders left and right.
      {"letterbox of a 4:3 picture in 16:9", 640, 480, 1.0, 854, 480, 1.0, 1, {0, 0, 0, 0, 106, 108, 0, 0}},
      {"black left-right of a narrow picture pads", 640, 480, 1.0, 854, 480, 1.0, 2, {0, 0, 0, 0, 106, 108, 0, 0}},
      {"black up-down of a narrow picture crops rows", 640, 480, 1.0, 854, 480, 1.0, 3, {0, 0, 60, 60, 0, 0, 0, 0}},
      // Crop total made even; the left band even, the right band takes the rest.
      {"odd half crop", 726, 480, 1.0, 640, 480, 1.0, 2, {42, 44, 0, 0, 0, 0, 0, 0}},
      {"odd total crop", 725, 480, 1.0, 640, 480, 1.0, 2, {42, 42, 0, 0, 0, 0, 0, 0}},
      // Pixel aspect honoured: 360x480 of 2:1 pixels shows as 720x480.
      {"wide pixels", 360, 480, 2.0, 640, 480, 1.0, 3, {0, 0, 0, 0, 0, 0, 26, 28}},
      // An aspect of 0 (or nonsense) counts as 1.0.
      {"source aspect 0", 720, 480, 0.0, 640, 480, 1.0, 1, {0, 0, 0, 0, 0, 0, 26, 28}},
      {"output aspect 0", 720, 480, 1.0, 640, 480, 0.0, 1, {0, 0, 0, 0, 0, 0, 26, 28}},
      {"negative aspect", 720, 480, -2.0, 640, 480, 1.0, 1, {0, 0, 0, 0, 0, 0, 26, 28}},
      {"NaN aspect", 720, 480, std::nan(""), 640, 480, 1.0, 1, {0, 0, 0, 0, 0, 0, 26, 28}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScaleLayout l = Garbage();
    EXPECT_TRUE(ComputeScaleLayout(c.sw, c.sh, c.sa, c.ow, c.oh, c.oa, l, c.mode));
    EXPECT_EQ(c.want, Of(l));
    EXPECT_EQ(0u, l.padColor);
  }
}

TEST(ScaleLayout, UnchangedBlackLayoutIsLeftAlone) {
  ScaleLayout l;
  ASSERT_TRUE(ComputeScaleLayout(720, 480, 1.0, 640, 480, 1.0, l, 1));
  const Values first = Of(l);
  EXPECT_FALSE(ComputeScaleLayout(720, 480, 1.0, 640, 480, 1.0, l, 1));
  EXPECT_EQ(first, Of(l));
  // A non-black colour is reset even when the numbers stay.
  l.padColor = 0x123456;
  EXPECT_TRUE(ComputeScaleLayout(720, 480, 1.0, 640, 480, 1.0, l, 1));
  EXPECT_EQ(first, Of(l));
  EXPECT_EQ(0u, l.padColor);
  // Stretch over zeros with a black colour changes nothing.
  ScaleLayout zero;
  EXPECT_FALSE(ComputeScaleLayout(720, 480, 1.0, 640, 480, 1.0, zero, 4));
}

TEST(ScaleLayout, RefusedInputsTouchNothing) {
  struct Case {
    const char* label;
    int32_t sw, sh, ow, oh, mode;
  };
  const Case cases[] = {
      {"manual mode", 720, 480, 640, 480, 5},    {"mode 0", 720, 480, 640, 480, 0},
      {"negative mode", 720, 480, 640, 480, -1}, {"source width 0", 0, 480, 640, 480, 1},
      {"source height 0", 720, 0, 640, 480, 2},  {"output width 0", 720, 480, 0, 480, 3},
      {"output height 0", 720, 480, 640, 0, 1},  {"negative size", -720, 480, 640, 480, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScaleLayout l = Garbage();
    EXPECT_FALSE(ComputeScaleLayout(c.sw, c.sh, 1.0, c.ow, c.oh, 1.0, l, c.mode));
    EXPECT_EQ(Garbage().padColor, l.padColor);
    EXPECT_EQ(Of(Garbage()), Of(l));
  }
}

TEST(ScaleLayout, ExtremeInputsStayInRange) {
  // Huge aspects and sizes: results are clamped, never undefined conversions.
  const double aspects[] = {1e300, 1e-300, std::numeric_limits<double>::infinity(), 2147483647.0};
  for (double a : aspects)
    for (int32_t mode = 1; mode <= 4; ++mode) {
      ScaleLayout l;
      ComputeScaleLayout(2147483647, 1, a, 1, 2147483647, 1.0, l, mode);
      ComputeScaleLayout(1, 2147483647, 1.0, 2147483647, 1, a, l, mode);
      EXPECT_GE(l.leftPad, -2147483647);
    }
}

}  // namespace
