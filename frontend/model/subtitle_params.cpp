#include "frontend/model/subtitle_params.h"

#include <algorithm>
#include <charconv>

#include "common/param_list.h"
#include "frontend/model/param_text.h"
#include "platform/utf_text.h"

namespace {

int32_t ReadInt(CParamList& list, const char* key, int32_t def) { return list.GetInt(key, def); }

uint8_t ReadAlpha(CParamList& list, const char* key, int32_t def) {
  return static_cast<uint8_t>(std::clamp(list.GetInt(key, def), 0, 255));
}

// A text entry, or def when absent or not text.
std::string ReadString(CParamList& list, const char* key, const char* def) {
  return list.GetType(key) == PARAM_TYPE_STRING ? std::string(list.GetStringPtr(key)) : std::string(def);
}

}  // namespace

SubtitleParams LoadSubtitleParams(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  SubtitleParams p;
  p.marginLeft = ReadInt(list, "maginRectl", 20);
  p.marginRight = ReadInt(list, "maginRectr", 20);
  p.marginTop = ReadInt(list, "maginRectt", 20);
  p.marginBottom = ReadInt(list, "maginRectb", 20);
  p.alignment = ReadInt(list, "scrAlignment", 2);
  p.outlineWidth = list.GetDouble("outlineWidth", 2.0);
  p.shadowDepth = list.GetDouble("shadowDepth", 3.0);
  p.colours[0] = static_cast<uint32_t>(ReadInt(list, "colors0", 0xFFFFFF));
  p.colours[2] = static_cast<uint32_t>(ReadInt(list, "colors2", 0));
  p.colours[3] = static_cast<uint32_t>(ReadInt(list, "colors3", 0));
  p.alpha[0] = ReadAlpha(list, "alpha0", 0);
  p.alpha[2] = ReadAlpha(list, "alpha2", 0);
  p.alpha[3] = ReadAlpha(list, "alpha3", 128);
  p.charSet = ReadInt(list, "charSet", 1);
  p.fontName = std::string(CutUtf8(ReadString(list, "fontName", "Arial"), kSubtitleFontNameMax));
  p.fontSize = list.GetDouble("fontSize", 18.0);
  p.fontScaleX = list.GetDouble("fontScaleX", 100.0);
  p.fontScaleY = list.GetDouble("fontScaleY", 100.0);
  p.fontAngleZ = list.GetDouble("fontAngleZ", 0.0);
  p.fontSpacing = list.GetDouble("fontSpacing", 0.0);
  p.fontWeight = ReadInt(list, "fontWeight", 700);
  p.italic = ReadInt(list, "fItalic", 0) == 1;
  p.underline = ReadInt(list, "fUnderline", 0) == 1;
  p.strikeOut = ReadInt(list, "fStrikeOut", 0) == 1;
  p.delay = ReadInt(list, "delay", 0);
  p.timeFactor = list.GetDouble("mul", 1.0);
  p.subtitleFile = ReadString(list, "SUBFILE", "");
  return p;
}

std::string SubtitleParamText(const SubtitleParams& p) {
  CParamList list;
  list.SetInt("maginRectl", p.marginLeft);
  list.SetInt("maginRectr", p.marginRight);
  list.SetInt("maginRectt", p.marginTop);
  list.SetInt("maginRectb", p.marginBottom);
  list.SetInt("scrAlignment", p.alignment);
  list.SetDouble("outlineWidth", p.outlineWidth);
  list.SetDouble("shadowDepth", p.shadowDepth);
  list.SetInt("colors0", static_cast<int32_t>(p.colours[0]));
  list.SetInt("colors2", static_cast<int32_t>(p.colours[2]));
  list.SetInt("colors3", static_cast<int32_t>(p.colours[3]));
  list.SetInt("alpha0", p.alpha[0]);
  list.SetInt("alpha2", p.alpha[2]);
  list.SetInt("alpha3", p.alpha[3]);
  list.SetInt("charSet", p.charSet);
  list.SetString("fontName", p.fontName.c_str());
  list.SetDouble("fontSize", p.fontSize);
  list.SetDouble("fontScaleX", p.fontScaleX);
  list.SetDouble("fontScaleY", p.fontScaleY);
  list.SetDouble("fontAngleZ", p.fontAngleZ);
  list.SetDouble("fontSpacing", p.fontSpacing);
  list.SetInt("fontWeight", p.fontWeight);
  list.SetInt("fItalic", p.italic ? 1 : 0);
  list.SetInt("fUnderline", p.underline ? 1 : 0);
  list.SetInt("fStrikeOut", p.strikeOut ? 1 : 0);
  list.SetInt("delay", p.delay);
  list.SetDouble("mul", p.timeFactor);
  list.SetString("SUBFILE", p.subtitleFile.c_str());
  return ParamListText(list);
}

std::vector<std::string> ParamTextLines(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  std::vector<std::string> lines;
  for (POSITION pos = list.GetHeadPosition(); pos != nullptr; pos = list.GetNext(pos)) {
    char key[256];
    int32_t type = PARAM_TYPE_NONE;
    if (list.GetAt(pos, key, sizeof key, &type) >= int32_t(sizeof key)) continue;
    std::string line = std::string(key) + "=";
    switch (type) {
      case PARAM_TYPE_INT:
        line += std::to_string(list.GetInt(key, 0));
        break;
      case PARAM_TYPE_DOUBLE: {
        char digits[64];
        const auto res =
            std::to_chars(digits, digits + sizeof digits, list.GetDouble(key, 0.0), std::chars_format::general, 6);
        line.append(digits, res.ptr);
        break;
      }
      case PARAM_TYPE_STRING:
        line += list.GetStringPtr(key);
        break;
      default:
        line += "?";
        break;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

const std::vector<SubtitleCharSet>& SubtitleCharSets() {
  static const std::vector<SubtitleCharSet> sets = {
      {"ANSI", 0},     {"DEFAULT", 1},      {"SYMBOL", 2},        {"SHIFTJIS", 128}, {"HANGEUL", 129},
      {"HANGUL", 129}, {"GB2312", 134},     {"CHINESEBIG5", 136}, {"OEM", 255},      {"JOHAB", 130},
      {"HEBREW", 177}, {"ARABIC", 178},     {"GREEK", 161},       {"TURKISH", 162},  {"VIETNAMESE", 163},
      {"THAI", 222},   {"EASTEUROPE", 238}, {"RUSSIAN", 204},     {"MAC", 77},       {"BALTIC", 186}};
  return sets;
}

int FindSubtitleCharSet(int32_t code) {
  const auto& sets = SubtitleCharSets();
  for (size_t i = 0; i < sets.size(); ++i)
    if (sets[i].code == code) return static_cast<int>(i);
  return -1;
}
