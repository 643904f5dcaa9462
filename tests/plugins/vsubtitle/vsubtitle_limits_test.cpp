// Styling bounds: override tags, drawings, styles and script sizes that would
// make a frame take minutes to draw are clamped; text within the bounds keeps
// every byte.
#include <gtest/gtest.h>

#include <string>

#include "plugins/vsubtitle/subtitle_limits.h"

namespace {

TEST(SubtitleLimits, OverrideTagsAreClamped) {
  // A 384x288 script on a 384x288 frame.
  const AssLimits l = MakeAssLimits(384, 288, 384, 288);
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      // Within the bounds: byte for byte.
      {"plain 99999 text", "plain 99999 text"},
      {"{\\fscx100\\fsp2\\pos(10,20)\\an8}Fine", "{\\fscx100\\fsp2\\pos(10,20)\\an8}Fine"},
      {"{\\pos(10, 20)\\3c&H0000FF&\\fad(100,200)\\fn Arial}x",
       "{\\pos(10, 20)\\3c&H0000FF&\\fad(100,200)\\fn Arial}x"},
      {"{\\b1\\be1\\blur1.5\\bord2\\shad3\\fs 40}x", "{\\b1\\be1\\blur1.5\\bord2\\shad3\\fs 40}x"},
      // Sizes, scales, spacing.
      {"{\\fs99999}A", "{\\fs288}A"},
      {"{\\fs10000}A", "{\\fs288}A"},
      {"{\\fs1e999}A", "{\\fs288}A"},
      {"{\\fscx99999\\fscy-5000}A", "{\\fscx400\\fscy-400}A"},
      {"{\\fsp99999}A", "{\\fsp36}A"},
      // Relative steps stop growing at the bound.
      {"{\\fs18\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10}A", "{\\fs18\\fs+10\\fs+10\\fs+10\\fs+10\\fs+0}A"},
      {"{\\fs+99999}A", "{\\fs+150}A"},
      // A size times its scale stays within one script height: scales give way first.
      {"{\\fs288\\fscx400}A", "{\\fs288\\fscx100}A"},
      {"{\\fs144\\fscy400}A", "{\\fs144\\fscy200}A"},
      {"{\\fscx400}A{\\fs288}B{\\r\\fs288}C", "{\\fscx400}A{\\fs72}B{\\r\\fs288}C"},
      // Borders, shadows, blurs, shear.
      {"{\\bord500\\xbord1e9\\ybord7\\shad-99\\yshad99}A", "{\\bord18\\xbord18\\ybord7\\shad-18\\yshad18}A"},
      {"{\\blur100\\be50\\fax40\\fay-3}A", "{\\blur8\\be8\\fax2\\fay-2}A"},
      // Animated tags are bounded too.
      {"{\\t(0,1000,\\fs99999\\bord900)}A", "{\\t(0,1000,\\fs288\\bord18)}A"},
      // Positions and rectangles stay within half a frame of it.
      {"{\\pos(99999,-99999)}A", "{\\pos(576,-144)}A"},
      {"{\\move(0,0,99999,10,0,5000)}A", "{\\move(0,0,576,10,0,5000)}A"},
      {"{\\org(-1e9,5)}A", "{\\org(-192,5)}A"},
      {"{\\clip(-99999,0,99999,99999)}A", "{\\clip(-192,0,576,432)}A"},
      // Drawings, in the text and in clips, at their scale.
      {"{\\p1}m 0 0 l 99999 99999 0 99999{\\p0}", "{\\p1}m 0 0 l 576 432 0 432{\\p0}"},
      {"{\\p2}m 0 0 l 99999 -99999{\\p0} 99999", "{\\p2}m 0 0 l 1152 -288{\\p0} 99999"},
      {"{\\fscx400\\p1}m 0 0 l 99999 -99999{\\p0}", "{\\fscx400\\p1}m 0 0 l 144 -36{\\p0}"},
      {"{\\iclip(m 0 0 l 99999 0 99999 99999)}A", "{\\iclip(m 0 0 l 576 0 576 432)}A"},
      {"{\\clip(2,m 0 0 l 99999 0)}A", "{\\clip(2,m 0 0 l 1152 0)}A"},
      // An unclosed block still reaches the renderer as tags.
      {"{\\fs99999", "{\\fs288"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(c.out, BoundEventText(c.in, l));
  }
}

TEST(SubtitleLimits, BoundsFollowTheScriptAndTheFrame) {
  // No size given: the renderer's 384x288.
  const AssLimits plain = MakeAssLimits(0, 0, 0, 0);
  EXPECT_EQ(288, plain.fontSize);
  EXPECT_EQ(576, plain.right);
  // A tall script on a small frame: sizes in script units, borders by the smaller height.
  const AssLimits tall = MakeAssLimits(1920, 1080, 320, 240);
  EXPECT_EQ(1080, tall.fontSize);
  EXPECT_EQ(15, tall.border);
  EXPECT_EQ(2880, tall.right);
  // Only a width: the height follows at 4:3.
  EXPECT_EQ(480, MakeAssLimits(640, 0, 640, 480).fontSize);
}

TEST(SubtitleLimits, ScriptStylesAndDialogueAreBounded) {
  const std::string script =
      "[Script Info]\r\nPlayResX: 640\r\nPlayResY: 480\r\n\r\n"
      "[V4+ Styles]\r\n"
      "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
      "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
      "MarginR, MarginV, Encoding\r\n"
      "Style: Big,Arial,99999,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,50000,100,99999,0,1,900,-900,2,10,"
      "10,10,1\r\n"
      "Style: Fine,Arial,20,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\r\n\r\n"
      "[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n"
      "Dialogue: 0,0:00:00.00,0:00:05.00,Big,,0,0,0,,{\\fs99999}one, two{\\fs+1}\r\n"
      "Comment: 0,0:00:00.00,0:00:05.00,Big,,0,0,0,,{\\fs99999}\r\n";
  AssLimits limits;
  const std::string bounded = BoundAssScript(script, 640, 480, &limits);
  EXPECT_EQ(480, limits.fontSize);
  EXPECT_EQ(480, limits.baseFontSize);  // the largest style, once bounded
  const std::string expected =
      "[Script Info]\r\nPlayResX: 640\r\nPlayResY: 480\r\n\r\n"
      "[V4+ Styles]\r\n"
      "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
      "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
      "MarginR, MarginV, Encoding\r\n"
      "Style: Big,Arial,480,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,100,100,60,0,1,30,-30,2,10,"
      "10,10,1\r\n"
      "Style: Fine,Arial,20,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\r\n\r\n"
      "[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n"
      "Dialogue: 0,0:00:00.00,0:00:05.00,Big,,0,0,0,,{\\fs480}one, two{\\fs+0}\r\n"
      "Comment: 0,0:00:00.00,0:00:05.00,Big,,0,0,0,,{\\fs99999}\r\n";
  EXPECT_EQ(expected, bounded);
}

TEST(SubtitleLimits, StreamChunksKeepTheirFields) {
  const AssLimits l = MakeAssLimits(384, 288, 384, 288);
  EXPECT_EQ("3,0,Default,{\\fs99999},0,0,0,,{\\fs288}a, b",
            BoundAssChunk("3,0,Default,{\\fs99999},0,0,0,,{\\fs99999}a, b", l));
  EXPECT_EQ("no fields {\\fs288}", BoundAssChunk("no fields {\\fs99999}", l));
}

}  // namespace
