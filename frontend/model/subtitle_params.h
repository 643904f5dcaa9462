// The settings of the text-subtitle filter "VSUBTITLE" as the subtitle dialog
// edits them: the style record, its parameter text (27 keys in a fixed order)
// and the character sets the dialog offers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SubtitleParams {
  int32_t marginLeft = 20, marginTop = 20, marginRight = 20, marginBottom = 20;
  int32_t alignment = 2;    // numeric keypad: 1-3 bottom, 4-6 middle, 7-9 top
  int32_t borderStyle = 0;  // not edited, not stored
  double outlineWidth = 2.0;
  double shadowDepth = 3.0;
  uint32_t colours[4] = {0xFFFFFF, 0x00FFFF, 0, 0};  // 0x00BBGGRR: text, secondary, border, shadow
  uint8_t alpha[4] = {0, 0, 0, 128};                 // 0 opaque to 255 transparent
  int32_t charSet = 1;
  std::string fontName = "Arial";
  double fontSize = 18.0;  // points
  double fontScaleX = 100.0, fontScaleY = 100.0;
  double fontSpacing = 0.0;
  int32_t fontWeight = 700;
  bool italic = false, underline = false, strikeOut = false;
  double fontAngleZ = 0.0;
  int32_t delay = 0;  // milliseconds
  double timeFactor = 1.0;
  std::string subtitleFile;
};

// The most bytes the subtitle file path and the font name may hold.
constexpr size_t kSubtitleFileMax = 259;
constexpr size_t kSubtitleFontNameMax = 63;

// Every key of the text, each absent (or mistyped) one at its default. The
// three flags are on only for the value 1. A font name longer than 63 bytes is
// cut at a character boundary; the subtitle file is kept whole.
SubtitleParams LoadSubtitleParams(std::string_view text);

// The 27 keys in the dialog's order. The secondary colour and its alpha are
// never written.
std::string SubtitleParamText(const SubtitleParams& params);

// A parameter text as "key=value" lines in its order, for printing and
// comparing: integers in decimal, doubles with up to 6 significant digits
// (locale-free), texts as they stand.
std::vector<std::string> ParamTextLines(std::string_view text);

struct SubtitleCharSet {
  const char* name;
  int32_t code;
};
// The character sets offered, in the list's order (HANGEUL and HANGUL share 129).
const std::vector<SubtitleCharSet>& SubtitleCharSets();
// The index of the first entry with that code, or -1.
int FindSubtitleCharSet(int32_t code);
