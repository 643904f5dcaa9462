// The style keys of a "VSUBTITLE" parameter text (what the subtitle dialog
// writes) and the script header that gives them to the renderer.
#pragma once

#include <cstdint>
#include <string>

class CParamList;

struct SubtitleStyle {
  int32_t marginLeft = 20, marginRight = 20, marginTop = 20, marginBottom = 20;
  int32_t alignment = 2;  // numeric keypad: 1-3 bottom, 4-6 middle, 7-9 top
  double outlineWidth = 2.0;
  double shadowDepth = 3.0;
  uint32_t textColour = 0xFFFFFF;  // 0x00BBGGRR
  uint32_t borderColour = 0;
  uint32_t shadowColour = 0;
  int32_t textAlpha = 0;  // 0 opaque to 255 transparent
  int32_t borderAlpha = 0;
  int32_t shadowAlpha = 128;
  int32_t charSet = 1;
  std::string fontName = "Arial";
  double fontSize = 18.0;  // points at a picture height of 288 lines
  double fontScaleX = 100.0, fontScaleY = 100.0;
  double fontAngleZ = 0.0;
  double fontSpacing = 0.0;
  int32_t fontWeight = 700;
  bool italic = false, underline = false, strikeOut = false;
  int32_t delayMs = 0;
  double timeFactor = 1.0;
  std::string subtitleFile;
};

// Reads the 27 keys; an absent key keeps its default. The three flags are on
// only for the value 1; a time factor that is not a positive number counts as 1.
SubtitleStyle ReadSubtitleStyle(CParamList* params);

// Script height the sizes, margins and borders of the style are measured in.
constexpr int32_t kStyleScriptHeight = 288;

// An SSA/ASS script header ([Script Info], [V4+ Styles] with the style as
// "Default", [Events] format) for a picture of the given size.
std::string StyleScriptHeader(const SubtitleStyle& style, int32_t frameWidth, int32_t frameHeight);

// 0x00BBGGRR and a transparency (0-255) as an ASS colour "&HAABBGGRR".
std::string AssColour(uint32_t colourRef, int32_t alpha);

// The time a subtitle event is looked up at for a frame time (milliseconds):
// events are shown at their time times the time factor plus the delay.
int64_t SubtitleLookupMs(const SubtitleStyle& style, int64_t frameMs);
