// Bounds on the styling of SSA/ASS text before it reaches the renderer: sizes,
// scales, borders, shadows, blurs, spacing, positions and drawing coordinates
// are clamped to what a picture of the output size can show, so that no
// script makes a single frame take minutes or gigabytes to draw. A font size
// times its scale stays within one script height, and a drawing times its
// scale within half a frame around the frame. Values inside the bounds are
// left as they are written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct AssLimits {
  double fontSize = 288;                                      // \fs and a style's Fontsize: one script height
  double baseFontSize = 18;                                   // the largest style size, where relative \fs steps start
  double scale = 400;                                         // \fscx, \fscy, ScaleX, ScaleY (percent)
  double baseScale = 100;                                     // the largest style scale
  double spacing = 36;                                        // |\fsp|, |Spacing|
  double border = 18;                                         // \bord, \xbord, \ybord, Outline
  double shadow = 18;                                         // |\shad|, |\xshad|, |\yshad|, Shadow
  double blur = 8;                                            // \blur
  double blurEdges = 8;                                       // \be
  double shear = 2;                                           // |\fax|, |\fay|
  double left = -192, right = 576, top = -144, bottom = 432;  // \pos, \move, \org, \clip rectangles
  double drawLeft = -192, drawRight = 576, drawTop = -144, drawBottom = 432;  // drawings at scale 1
};

// The bounds for a script of playResX x playResY drawn on a frame of
// frameWidth x frameHeight pixels (non-positive sizes: the script's).
AssLimits MakeAssLimits(double playResX, double playResY, int32_t frameWidth, int32_t frameHeight);

// Event text with its override tags and drawings clamped.
std::string BoundEventText(std::string_view text, const AssLimits& limits);

// An SSA/ASS chunk of a subtitle stream ("ReadOrder,Layer,Style,Name,
// MarginL,MarginR,MarginV,Effect,Text") with its text bounded.
std::string BoundAssChunk(std::string_view chunk, const AssLimits& limits);

// A whole script or script header: its styles and its Dialogue lines bounded.
// limits (optional) receives the bounds its [Script Info] calls for.
std::string BoundAssScript(std::string_view script, int32_t frameWidth, int32_t frameHeight, AssLimits* limits);
