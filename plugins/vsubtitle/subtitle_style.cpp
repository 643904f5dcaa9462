#include "plugins/vsubtitle/subtitle_style.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/param_list.h"

namespace {

bool Flag(CParamList* params, const char* key) { return params->GetInt(key, 0) == 1; }

int32_t Alpha(CParamList* params, const char* key, int32_t def) { return std::clamp(params->GetInt(key, def), 0, 255); }

// Numbers independent of the locale.
std::string Number(double value) {
  if (!std::isfinite(value)) value = 0;
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  return std::string(text, result.ptr);
}

// A font name that cannot break the style line.
std::string FontField(const std::string& name) {
  std::string out;
  for (char c : name)
    if (c != ',' && c != '\n' && c != '\r') out += c;
  return out.empty() ? "Arial" : out;
}

}  // namespace

SubtitleStyle ReadSubtitleStyle(CParamList* params) {
  SubtitleStyle s;
  if (!params) return s;
  s.marginLeft = params->GetInt("maginRectl", 20);
  s.marginRight = params->GetInt("maginRectr", 20);
  s.marginTop = params->GetInt("maginRectt", 20);
  s.marginBottom = params->GetInt("maginRectb", 20);
  s.alignment = params->GetInt("scrAlignment", 2);
  if (s.alignment < 1 || s.alignment > 9) s.alignment = 2;
  s.outlineWidth = std::max(0.0, params->GetDouble("outlineWidth", 2.0));
  s.shadowDepth = std::max(0.0, params->GetDouble("shadowDepth", 3.0));
  s.textColour = static_cast<uint32_t>(params->GetInt("colors0", 0xFFFFFF)) & 0xFFFFFF;
  s.borderColour = static_cast<uint32_t>(params->GetInt("colors2", 0)) & 0xFFFFFF;
  s.shadowColour = static_cast<uint32_t>(params->GetInt("colors3", 0)) & 0xFFFFFF;
  s.textAlpha = Alpha(params, "alpha0", 0);
  s.borderAlpha = Alpha(params, "alpha2", 0);
  s.shadowAlpha = Alpha(params, "alpha3", 128);
  s.charSet = params->GetInt("charSet", 1);
  char text[260];
  params->GetString("fontName", text, 64, "Arial");
  s.fontName = text;
  s.fontSize = params->GetDouble("fontSize", 18.0);
  if (!(s.fontSize > 0) || !std::isfinite(s.fontSize)) s.fontSize = 18.0;
  s.fontScaleX = params->GetDouble("fontScaleX", 100.0);
  s.fontScaleY = params->GetDouble("fontScaleY", 100.0);
  if (!(s.fontScaleX > 0) || !std::isfinite(s.fontScaleX)) s.fontScaleX = 100.0;
  if (!(s.fontScaleY > 0) || !std::isfinite(s.fontScaleY)) s.fontScaleY = 100.0;
  s.fontAngleZ = params->GetDouble("fontAngleZ", 0.0);
  s.fontSpacing = params->GetDouble("fontSpacing", 0.0);
  s.fontWeight = params->GetInt("fontWeight", 700);
  s.italic = Flag(params, "fItalic");
  s.underline = Flag(params, "fUnderline");
  s.strikeOut = Flag(params, "fStrikeOut");
  s.delayMs = params->GetInt("delay", 0);
  s.timeFactor = params->GetDouble("mul", 1.0);
  if (!(s.timeFactor > 0) || !std::isfinite(s.timeFactor)) s.timeFactor = 1.0;
  params->GetString("SUBFILE", text, sizeof text, "");
  s.subtitleFile = text;
  return s;
}

std::string AssColour(uint32_t colourRef, int32_t alpha) {
  char text[16];
  std::snprintf(text, sizeof text, "&H%02X%06X", static_cast<unsigned>(std::clamp(alpha, 0, 255)),
                static_cast<unsigned>(colourRef & 0xFFFFFF));
  return text;
}

std::string StyleScriptHeader(const SubtitleStyle& s, int32_t frameWidth, int32_t frameHeight) {
  // The script is as high as the reference height and as wide as the
  // picture's shape, so that text is scaled alike in both directions.
  int32_t width = kStyleScriptHeight * 4 / 3;
  if (frameWidth > 0 && frameHeight > 0)
    width =
        std::max<int32_t>(1, static_cast<int32_t>(std::lround(double(kStyleScriptHeight) * frameWidth / frameHeight)));
  // One vertical margin: the bottom one for text at the bottom, else the top one.
  const int32_t marginV = s.alignment <= 3 ? s.marginBottom : s.alignment >= 7 ? s.marginTop : 0;
  std::string h;
  h += "[Script Info]\nScriptType: v4.00+\nWrapStyle: 0\nScaledBorderAndShadow: yes\n";
  h += "PlayResX: " + std::to_string(width) + "\nPlayResY: " + std::to_string(kStyleScriptHeight) + "\n\n";
  h += "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, "
       "Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, "
       "Alignment, MarginL, MarginR, MarginV, Encoding\n";
  h += "Style: Default," + FontField(s.fontName) + "," + Number(s.fontSize) + "," +
       AssColour(s.textColour, s.textAlpha) + "," + AssColour(0x00FFFF, 0) + "," +
       AssColour(s.borderColour, s.borderAlpha) + "," + AssColour(s.shadowColour, s.shadowAlpha) + "," +
       (s.fontWeight >= 600 ? "-1" : "0") + "," + (s.italic ? "-1" : "0") + "," + (s.underline ? "-1" : "0") + "," +
       (s.strikeOut ? "-1" : "0") + "," + Number(s.fontScaleX) + "," + Number(s.fontScaleY) + "," +
       Number(s.fontSpacing) + "," + Number(s.fontAngleZ) + ",1," + Number(s.outlineWidth) + "," +
       Number(s.shadowDepth) + "," + std::to_string(s.alignment) + "," + std::to_string(std::max(0, s.marginLeft)) +
       "," + std::to_string(std::max(0, s.marginRight)) + "," + std::to_string(std::max(0, marginV)) + "," +
       std::to_string(s.charSet) + "\n\n";
  h += "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
  return h;
}

int64_t SubtitleLookupMs(const SubtitleStyle& style, int64_t frameMs) {
  return static_cast<int64_t>(std::floor(double(frameMs - style.delayMs) / style.timeFactor));
}
