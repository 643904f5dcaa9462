#include "plugins/vsubtitle/subtitle_limits.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Script sizes the renderer assumes when a script leaves them out.
void DefaultPlayRes(double* x, double* y) {
  if (*x <= 0 && *y <= 0) {
    *x = 384;
    *y = 288;
  } else if (*y <= 0) {
    *y = *x == 1280 ? 1024 : *x * 3 / 4;
  } else if (*x <= 0) {
    *x = *y == 1024 ? 1280 : *y * 4 / 3;
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// A number at text[at] as the renderer reads one: blanks, a sign, digits with
// an optional fraction and exponent. The end of the number is returned in
// *end; false (and *end == at) when there is none.
bool ReadNumber(std::string_view text, size_t at, size_t* numberStart, size_t* end, double* value) {
  size_t i = at;
  while (i < text.size() && IsSpace(text[i])) ++i;
  const size_t first = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t digits = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  bool any = i > digits;
  if (i < text.size() && text[i] == '.') {
    const size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    any = any || i > fraction;
  }
  if (!any) {
    *end = at;
    return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && IsDigit(text[e])) {
      while (e < text.size() && IsDigit(text[e])) ++e;
      i = e;
    }
  }
  const size_t signless = text[first] == '+' ? first + 1 : first;
  double parsed = 0;
  const auto result = std::from_chars(text.data() + signless, text.data() + i, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: only the large ones matter.
    const bool negative = text[first] == '-';
    const size_t e = text.find_first_of("eE", signless);
    const bool tiny = e < i && e + 1 < i && text[e + 1] == '-';
    parsed = tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
  } else if (result.ec != std::errc()) {
    *end = at;
    return false;
  }
  *numberStart = first;
  *end = i;
  *value = parsed;
  return true;
}

std::string FormatNumber(double value) {
  if (!std::isfinite(value)) value = 0;
  if (value == 0) value = 0;  // no "-0"
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// Appends the number read from text[begin, end) as it is when it lies within
// [low, high], else the nearest bound.
void AppendClamped(std::string* out, std::string_view text, size_t begin, size_t end, double value, double low,
                   double high) {
  if (value >= low && value <= high) {
    out->append(text.substr(begin, end - begin));
    return;
  }
  out->append(FormatNumber(value < low ? low : high));
}

double DrawingFactor(int32_t scale) { return std::ldexp(1.0, std::clamp(scale, 1, 31) - 1); }

// Drawing commands with every coordinate inside the drawing box (a drawing
// scale s divides coordinates by 2^(s-1); a font scale multiplies them).
void AppendDrawing(std::string* out, std::string_view text, const AssLimits& l, int32_t scale, double fontScale = 100) {
  const double f = DrawingFactor(scale) * 100 / std::max(fontScale, 1.0);
  bool y = false;  // the next number is a y coordinate
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      y = false;  // a command starts its coordinates with x
      out->push_back(c);
      ++i;
      continue;
    }
    size_t begin = 0, end = 0;
    double value = 0;
    if ((IsDigit(c) || c == '-' || c == '+' || c == '.') && ReadNumber(text, i, &begin, &end, &value)) {
      out->append(text.substr(i, begin - i));
      if (y)
        AppendClamped(out, text, begin, end, value, l.drawTop * f, l.drawBottom * f);
      else
        AppendClamped(out, text, begin, end, value, l.drawLeft * f, l.drawRight * f);
      y = !y;
      i = end;
      continue;
    }
    out->push_back(c);
    ++i;
  }
}

enum class Tag {
  kFontSize,
  kScaleX,
  kScaleY,
  kSpacing,
  kBorder,
  kShadow,
  kBlur,
  kBlurEdges,
  kShear,
  kDrawing,
  kPosition,  // \pos(x,y), \org(x,y)
  kMove,      // \move(x1,y1,x2,y2[,t1,t2])
  kClip,      // \clip and \iclip: a rectangle or a drawing
  kReset,
  kOther,
};

struct TagName {
  const char* name;
  Tag tag;
};

// In the renderer's order of matching, so that a longer name is never read as
// a shorter one ("\fscx" is not "\fs", "\pos" is not "\p").
constexpr TagName kTags[] = {
    {"xbord", Tag::kBorder}, {"xshad", Tag::kShadow}, {"ybord", Tag::kBorder}, {"yshad", Tag::kShadow},
    {"fax", Tag::kShear},    {"fay", Tag::kShear},    {"iclip", Tag::kClip},   {"blur", Tag::kBlur},
    {"fscx", Tag::kScaleX},  {"fscy", Tag::kScaleY},  {"fsc", Tag::kOther},    {"fsp", Tag::kSpacing},
    {"fs", Tag::kFontSize},  {"bord", Tag::kBorder},  {"move", Tag::kMove},    {"pos", Tag::kPosition},
    {"org", Tag::kPosition}, {"clip", Tag::kClip},    {"r", Tag::kReset},      {"be", Tag::kBlurEdges},
    {"shad", Tag::kShadow},  {"pbo", Tag::kOther},    {"p", Tag::kDrawing},
};

// What the tags so far set, as far as the bounds need it: sizes are upper
// estimates (a style's own size is taken as the largest style size).
struct TextState {
  double fontSize;
  double scaleX, scaleY;
  int32_t drawing = 0;
  bool scaleSet = false;  // the block sets a scale
};

class BlockBounder {
 public:
  BlockBounder(const AssLimits& limits, TextState* state) : l_(limits), state_(state) {}

  // One override block's inside (between the braces).
  void Run(std::string_view block, std::string* out) {
    text_ = block;
    out_ = out;
    size_t i = 0;
    while (i < text_.size()) {
      if (text_[i] != '\\') {
        out_->push_back(text_[i++]);
        continue;
      }
      out_->push_back(text_[i++]);
      i = Tagged(i);
    }
  }

 private:
  // The tag starting at text_[i] (after its backslash); where scanning goes on.
  size_t Tagged(size_t i) {
    const std::string_view rest = text_.substr(i);
    for (const TagName& t : kTags) {
      const size_t n = std::strlen(t.name);
      if (rest.substr(0, n) != t.name) continue;
      out_->append(rest.substr(0, n));
      return Argument(t.tag, i + n);
    }
    return i;  // other tags are copied as they come
  }

  size_t Argument(Tag tag, size_t at) {
    size_t begin = 0, end = 0;
    double v = 0;
    switch (tag) {
      case Tag::kFontSize:
        return FontSize(at);
      case Tag::kReset:
        state_->fontSize = l_.baseFontSize;
        state_->scaleX = state_->scaleY = l_.baseScale;
        return at;
      case Tag::kDrawing:
        if (ReadNumber(text_, at, &begin, &end, &v)) {
          out_->append(text_.substr(at, end - at));
          state_->drawing = v >= 1 ? static_cast<int32_t>(std::min(v, 64.0)) : 0;
          return end;
        }
        state_->drawing = 0;
        return at;
      case Tag::kPosition:
        return Parenthesised(at, [&](size_t k, size_t, double value, std::string* o, std::string_view t, size_t b,
                                     size_t e) { Coordinate(k, value, o, t, b, e); });
      case Tag::kMove:
        return Parenthesised(
            at, [&](size_t k, size_t, double value, std::string* o, std::string_view t, size_t b, size_t e) {
              if (k < 4)
                Coordinate(k, value, o, t, b, e);
              else
                o->append(t.substr(b, e - b));  // the times
            });
      case Tag::kClip:
        return Clip(at);
      case Tag::kOther:
        return at;
      default:
        break;
    }
    const bool isScale = tag == Tag::kScaleX || tag == Tag::kScaleY;
    if (isScale) state_->scaleSet = true;
    double& scale = tag == Tag::kScaleX ? state_->scaleX : state_->scaleY;
    if (!ReadNumber(text_, at, &begin, &end, &v)) {
      if (isScale) scale = l_.baseScale;
      return at;
    }
    if (isScale) scale = std::min(std::fabs(v), l_.scale);
    double bound = 0;
    switch (tag) {
      case Tag::kScaleX:
      case Tag::kScaleY:
        bound = l_.scale;
        break;
      case Tag::kSpacing:
        bound = l_.spacing;
        break;
      case Tag::kBorder:
        bound = l_.border;
        break;
      case Tag::kShadow:
        bound = l_.shadow;
        break;
      case Tag::kBlur:
        bound = l_.blur;
        break;
      case Tag::kBlurEdges:
        bound = l_.blurEdges;
        break;
      case Tag::kShear:
        bound = l_.shear;
        break;
      default:
        break;
    }
    out_->append(text_.substr(at, begin - at));
    AppendClamped(out_, text_, begin, end, v, -bound, bound);
    return end;
  }

  // \fs: a size, or a step of tenths up (+) or down (-) from the current size,
  // which repeated would grow without end.
  size_t FontSize(size_t at) {
    size_t begin = 0, end = 0;
    double v = 0;
    if (!ReadNumber(text_, at, &begin, &end, &v)) {
      state_->fontSize = l_.baseFontSize;
      return at;
    }
    out_->append(text_.substr(at, begin - at));
    const char sign = text_[begin];
    if (sign == '+' || sign == '-') {
      const double current = std::max(state_->fontSize, 1.0);
      const double size = current * (1 + v / 10);
      if (size > l_.fontSize) {
        const double step = std::max(0.0, (l_.fontSize / current - 1) * 10);
        out_->append("+" + FormatNumber(std::floor(step * 1000) / 1000));
        state_->fontSize = current * (1 + std::floor(step * 1000) / 1000 / 10);
      } else {
        out_->append(text_.substr(begin, end - begin));
        state_->fontSize = size > 0 ? size : l_.baseFontSize;
      }
      return end;
    }
    AppendClamped(out_, text_, begin, end, v, -l_.fontSize, l_.fontSize);
    state_->fontSize = v > 0 ? std::min(v, l_.fontSize) : l_.baseFontSize;
    return end;
  }

  void Coordinate(size_t k, double value, std::string* o, std::string_view t, size_t b, size_t e) {
    if (k % 2 == 0)
      AppendClamped(o, t, b, e, value, l_.left, l_.right);
    else
      AppendClamped(o, t, b, e, value, l_.top, l_.bottom);
  }

  // "(a,b,...)" of numbers, each handed to apply with its index; anything
  // that is not a number is copied. Returns the position after ')'.
  template <typename Apply>
  size_t Parenthesised(size_t at, Apply apply) {
    size_t i = at;
    while (i < text_.size() && IsSpace(text_[i])) out_->push_back(text_[i++]);
    if (i >= text_.size() || text_[i] != '(') return i;
    out_->push_back(text_[i++]);
    size_t index = 0;
    while (i < text_.size() && text_[i] != ')') {
      size_t begin = 0, end = 0;
      double v = 0;
      if (text_[i] == ',') {
        ++index;
        out_->push_back(text_[i++]);
      } else if (ReadNumber(text_, i, &begin, &end, &v)) {
        out_->append(text_.substr(i, begin - i));
        apply(index, i, v, out_, text_, begin, end);
        i = end;
      } else {
        out_->push_back(text_[i++]);
      }
    }
    if (i < text_.size()) out_->push_back(text_[i++]);
    return i;
  }

  // \clip(x1,y1,x2,y2), \clip(drawing) or \clip(scale,drawing).
  size_t Clip(size_t at) {
    size_t i = at;
    while (i < text_.size() && IsSpace(text_[i])) ++i;
    if (i >= text_.size() || text_[i] != '(') {
      out_->append(text_.substr(at, i - at));
      return i;
    }
    const size_t close = std::min(text_.find(')', i), text_.size());
    const std::string_view inside = text_.substr(i + 1, close - i - 1);
    const bool drawing = inside.find_first_of("mlbspcnMLBSPCN") != std::string_view::npos;
    if (!drawing)
      return Parenthesised(at, [&](size_t k, size_t, double value, std::string* o, std::string_view t, size_t b,
                                   size_t e) { Coordinate(k, value, o, t, b, e); });
    out_->append(text_.substr(at, i - at + 1));
    int32_t scale = 1;
    std::string_view commands = inside;
    const size_t comma = inside.find(',');
    if (comma != std::string_view::npos) {
      size_t begin = 0, end = 0;
      double v = 1;
      if (ReadNumber(inside, 0, &begin, &end, &v)) scale = v >= 1 ? static_cast<int32_t>(std::min(v, 64.0)) : 1;
      out_->append(inside.substr(0, comma + 1));
      commands = inside.substr(comma + 1);
    }
    AppendDrawing(out_, commands, l_, scale);
    if (close < text_.size()) out_->push_back(')');
    return std::min(close + 1, text_.size());
  }

  const AssLimits& l_;
  TextState* state_;
  std::string_view text_;
  std::string* out_ = nullptr;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The fields of a comma-separated line; the last field keeps its commas when
// count is given.
std::vector<std::string_view> Fields(std::string_view line, size_t count = 0) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (true) {
    if (count && fields.size() + 1 == count) {
      fields.push_back(line.substr(at));
      break;
    }
    const size_t comma = line.find(',', at);
    fields.push_back(line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return fields;
}

// "Key: value" of a line, or false.
bool KeyValue(std::string_view line, std::string_view* key, std::string_view* value) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  *key = Trim(line.substr(0, colon));
  *value = line.substr(colon + 1);
  return true;
}

double ParseDouble(std::string_view text) {
  size_t begin = 0, end = 0;
  double v = 0;
  return ReadNumber(text, 0, &begin, &end, &v) ? v : 0;
}

// A Style line's values with its sizes clamped (size times scale as in
// override tags); *fontSize and *scale receive the bounded values.
std::string BoundStyle(std::string_view values, const std::vector<std::string>& format, const AssLimits& l,
                       double* fontSize, double* scale) {
  std::vector<std::string_view> fields = Fields(values);
  *fontSize = 0;
  *scale = 0;
  for (size_t k = 0; k < fields.size() && k < format.size(); ++k)
    if (EqualNoCase(format[k], "Fontsize")) *fontSize = std::min(std::fabs(ParseDouble(fields[k])), l.fontSize);
  const double scaleBound = std::min(l.scale, std::max(100.0, 100 * l.fontSize / std::max(*fontSize, 1.0)));
  for (size_t k = 0; k < fields.size() && k < format.size(); ++k)
    if (EqualNoCase(format[k], "ScaleX") || EqualNoCase(format[k], "ScaleY"))
      *scale = std::max(*scale, std::min(std::fabs(ParseDouble(fields[k])), scaleBound));
  const double sizeBound = std::min(l.fontSize, l.fontSize * 100 / std::max(*scale, 100.0));
  *fontSize = std::min(*fontSize, sizeBound);
  std::string out;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) out.push_back(',');
    double bound = -1;
    if (k < format.size()) {
      const std::string& name = format[k];
      if (EqualNoCase(name, "Fontsize"))
        bound = sizeBound;
      else if (EqualNoCase(name, "ScaleX") || EqualNoCase(name, "ScaleY"))
        bound = scaleBound;
      else if (EqualNoCase(name, "Spacing"))
        bound = l.spacing;
      else if (EqualNoCase(name, "Outline"))
        bound = l.border;
      else if (EqualNoCase(name, "Shadow"))
        bound = l.shadow;
    }
    size_t begin = 0, end = 0;
    double v = 0;
    if (bound >= 0 && ReadNumber(fields[k], 0, &begin, &end, &v)) {
      out.append(fields[k].substr(0, begin));
      AppendClamped(&out, fields[k], begin, end, v, -bound, bound);
      out.append(fields[k].substr(end));
    } else {
      out.append(fields[k]);
    }
  }
  return out;
}

std::vector<std::string> FormatNames(std::string_view values) {
  std::vector<std::string> names;
  for (std::string_view f : Fields(values)) names.emplace_back(Trim(f));
  return names;
}

}  // namespace

AssLimits MakeAssLimits(double playResX, double playResY, int32_t frameWidth, int32_t frameHeight) {
  if (!std::isfinite(playResX)) playResX = 0;
  if (!std::isfinite(playResY)) playResY = 0;
  DefaultPlayRes(&playResX, &playResY);
  if (frameWidth <= 0 || frameHeight <= 0) {
    frameWidth = static_cast<int32_t>(std::min(playResX, 16384.0));
    frameHeight = static_cast<int32_t>(std::min(playResY, 16384.0));
  }
  AssLimits l;
  const double h = playResY, w = playResX;
  // Borders, shadows and blurs may be measured in script units or in pixels:
  // the smaller of the two heights bounds both.
  const double small = std::min(h, static_cast<double>(frameHeight));
  l.fontSize = h;
  l.baseFontSize = std::min(18.0, h);
  l.spacing = h / 8;
  l.border = small / 16;
  l.shadow = small / 16;
  l.blur = small / 36;
  l.blurEdges = 8;
  l.left = -w / 2;
  l.right = w * 1.5;
  l.top = -h / 2;
  l.bottom = h * 1.5;
  // Drawings are scaled like text, by the script height: their width in those
  // units follows the frame's shape.
  const double drawWidth = h * frameWidth / frameHeight;
  l.drawLeft = -drawWidth / 2;
  l.drawRight = drawWidth * 1.5;
  l.drawTop = -h / 2;
  l.drawBottom = h * 1.5;
  return l;
}

std::string BoundEventText(std::string_view text, const AssLimits& limits) {
  std::string out;
  out.reserve(text.size());
  TextState state{limits.baseFontSize, limits.baseScale, limits.baseScale};
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '{') {
      const size_t close = text.find('}', i + 1);
      const size_t end = close == std::string_view::npos ? text.size() : close;
      const std::string_view block = text.substr(i + 1, end - i - 1);
      // Size times scale stays within the bound: where the block ends up too
      // large, its scales give way first (to 100 %), then its sizes.
      TextState after = state;
      after.scaleSet = false;
      std::string scratch;
      BlockBounder(limits, &after).Run(block, &scratch);
      AssLimits blockLimits = limits;
      const double fontSize = std::max(after.fontSize, 1.0);
      blockLimits.scale = std::min(limits.scale, std::max(100.0, 100 * limits.fontSize / fontSize));
      double scale = std::max(after.scaleX, after.scaleY);
      if (after.scaleSet) scale = std::min(scale, blockLimits.scale);
      blockLimits.fontSize = std::min(limits.fontSize, limits.fontSize * 100 / std::max(scale, 1.0));
      out.push_back('{');
      BlockBounder(blockLimits, &state).Run(block, &out);
      if (close != std::string_view::npos) out.push_back('}');
      i = end + 1;
      continue;
    }
    const size_t next = std::min(text.find('{', i), text.size());
    if (state.drawing > 0)
      AppendDrawing(&out, text.substr(i, next - i), limits, state.drawing, std::max(state.scaleX, state.scaleY));
    else
      out.append(text.substr(i, next - i));
    i = next;
  }
  return out;
}

std::string BoundAssChunk(std::string_view chunk, const AssLimits& limits) {
  size_t at = 0;
  for (int k = 0; k < 8; ++k) {
    const size_t comma = chunk.find(',', at);
    if (comma == std::string_view::npos) return BoundEventText(chunk, limits);
    at = comma + 1;
  }
  return std::string(chunk.substr(0, at)) + BoundEventText(chunk.substr(at), limits);
}

std::string BoundAssScript(std::string_view script, int32_t frameWidth, int32_t frameHeight, AssLimits* limits) {
  // The script's size decides the bounds: read it first.
  double playResX = 0, playResY = 0;
  std::vector<std::string_view> lines;
  for (size_t at = 0; at <= script.size();) {
    const size_t nl = script.find('\n', at);
    const size_t end = nl == std::string_view::npos ? script.size() : nl;
    lines.push_back(script.substr(at, end - at));
    if (nl == std::string_view::npos) break;
    at = nl + 1;
  }
  for (std::string_view line : lines) {
    std::string_view key, value;
    if (!KeyValue(line, &key, &value)) continue;
    if (EqualNoCase(key, "PlayResX")) playResX = ParseDouble(value);
    if (EqualNoCase(key, "PlayResY")) playResY = ParseDouble(value);
  }
  AssLimits l = MakeAssLimits(playResX, playResY, frameWidth, frameHeight);

  std::string out;
  out.reserve(script.size());
  std::vector<std::string> styleFormat = FormatNames(
      "Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, "
      "StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, "
      "Encoding");
  size_t eventFields = 10;
  enum class Section { kOther, kStyles, kEvents } section = Section::kOther;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    const std::string_view trimmed = Trim(line);
    std::string_view key, value;
    if (!trimmed.empty() && trimmed.front() == '[') {
      section = EqualNoCase(trimmed, "[Events]")                                              ? Section::kEvents
                : EqualNoCase(trimmed, "[V4+ Styles]") || EqualNoCase(trimmed, "[V4 Styles]") ? Section::kStyles
                                                                                              : Section::kOther;
      out.append(line);
    } else if (section != Section::kOther && KeyValue(line, &key, &value)) {
      const size_t prefix = static_cast<size_t>(value.data() - line.data());
      if (EqualNoCase(key, "Format")) {
        if (section == Section::kStyles) styleFormat = FormatNames(Trim(value));
        if (section == Section::kEvents) eventFields = std::max<size_t>(1, Fields(Trim(value)).size());
        out.append(line);
      } else if (section == Section::kStyles && EqualNoCase(key, "Style")) {
        out.append(line.substr(0, prefix));
        double size = 0, scale = 0;
        out.append(BoundStyle(value, styleFormat, l, &size, &scale));
        l.baseFontSize = std::max(l.baseFontSize, size);
        l.baseScale = std::max(l.baseScale, scale);
      } else if (section == Section::kEvents && EqualNoCase(key, "Dialogue")) {
        // The text is the last field and may hold commas.
        const std::vector<std::string_view> fields = Fields(value, eventFields);
        out.append(line.substr(0, prefix));
        if (fields.size() < eventFields) {
          out.append(value);
        } else {
          const size_t textAt = static_cast<size_t>(fields.back().data() - value.data());
          out.append(value.substr(0, textAt));
          out.append(BoundEventText(fields.back(), l));
        }
      } else {
        out.append(line);
      }
    } else {
      out.append(line);
    }
    if (n + 1 < lines.size()) out.push_back('\n');
  }
  if (limits) *limits = l;
  return out;
}
