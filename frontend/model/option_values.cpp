#include "frontend/model/option_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <utility>

#include "frontend/model/output_names.h"
#include "frontend/model/param_text.h"
#include "platform/utf_text.h"

namespace {

constexpr double kDoubleTolerance = 0.0001;
constexpr double kStartScore = 20000.0;
constexpr double kChangedMismatchScore = 10000.0;
constexpr size_t kShownTextMax = 63;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The keys whose 0 means "keep the source's size" (exact spelling).
bool IsSizeKey(const std::string& name) { return name == "WIDTH" || name == "HEIGHT"; }

std::string FormatInt(int64_t value) { return std::to_string(value); }

std::string Message(const char* before, const std::string& a, const char* middle, const std::string& b,
                    const char* after) {
  return std::string(before) + a + middle + b + after;
}

// Only digits and a '-' in the first place, with at least one digit.
bool IsIntegerText(const std::string& text) {
  bool digit = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsDigit(text[i]))
      digit = true;
    else if (!(text[i] == '-' && i == 0))
      return false;
  }
  return digit;
}

// Digits, a '-' in the first place and at most one '.', with at least one digit.
bool IsFloatText(const std::string& text) {
  bool digit = false;
  int dots = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsDigit(text[i]))
      digit = true;
    else if (text[i] == '.')
      ++dots;
    else if (!(text[i] == '-' && i == 0))
      return false;
  }
  return digit && dots <= 1;
}

// A checked integer text; false when it is out of the int64 range.
bool ReadInt64(const std::string& text, int64_t& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// A checked float text; false when it is too large for a double. A value too
// small to represent reads as 0.
bool ReadDouble(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec == std::errc()) return end == text.data() + text.size();
  if (ec != std::errc::result_out_of_range) return false;
  for (char c : text) {
    if (c == '.') break;
    if (c >= '1' && c <= '9') return false;  // overflow
  }
  value = 0.0;
  return true;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

int64_t ClampToInt32(int64_t v) {
  return std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
}

// The allowed value nearest to value (the earlier one on ties); 0 for none.
int32_t NearestInt(const std::vector<std::string>& values, int32_t value) {
  int32_t best = 0;
  int64_t bestDistance = -1;
  for (const std::string& text : values) {
    int32_t candidate = LeadingInt(text);
    int64_t distance = std::llabs(static_cast<int64_t>(candidate) - value);
    if (bestDistance < 0 || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

double NearestDouble(const std::vector<std::string>& values, double value) {
  double best = 0.0;
  double bestDistance = -1.0;
  for (const std::string& text : values) {
    double candidate = LeadingDouble(text);
    double distance = std::fabs(candidate - value);
    if (bestDistance < 0 || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

void SetDefault(const OptionDesc& option, CParamList& result) {
  const char* key = option.name.c_str();
  switch (option.type) {
    case kOptionInt:
      result.SetInt(key, LeadingInt(option.defaultValue));
      break;
    case kOptionFloat:
      result.SetDouble(key, LeadingDouble(option.defaultValue));
      break;
    default:
      result.SetString(key, option.defaultValue.c_str());
      break;
  }
}

// Keys and types of a list, in order.
std::vector<std::pair<std::string, int32_t>> ListEntries(CParamList& list) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (POSITION pos = list.GetHeadPosition(); pos != nullptr; pos = list.GetNext(pos)) {
    std::string key(64, '\0');
    int32_t type = PARAM_TYPE_NONE;
    int32_t n = list.GetAt(pos, key.data(), static_cast<int32_t>(key.size()), &type);
    if (n >= static_cast<int32_t>(key.size())) {
      key.assign(static_cast<size_t>(n) + 1, '\0');
      n = list.GetAt(pos, key.data(), static_cast<int32_t>(key.size()), &type);
    }
    if (n < 0 || n >= static_cast<int32_t>(key.size())) continue;
    key.resize(static_cast<size_t>(n));
    out.emplace_back(std::move(key), type);
  }
  return out;
}

bool IsNumber(int32_t type) { return type == PARAM_TYPE_INT || type == PARAM_TYPE_DOUBLE; }

double AsDouble(const ParamValue& v) { return v.type == PARAM_TYPE_INT ? v.intValue : v.doubleValue; }

// Whether an entry's value differs from the changed value: integers exactly,
// doubles by more than the tolerance, texts case-sensitively; values of
// different kinds always differ.
bool Differs(const ParamValue& entry, const ParamValue& changed) {
  if (IsNumber(entry.type) && IsNumber(changed.type)) {
    if (entry.type == PARAM_TYPE_INT && changed.type == PARAM_TYPE_INT) return entry.intValue != changed.intValue;
    double d = std::fabs(AsDouble(entry) - AsDouble(changed));
    return !(d <= kDoubleTolerance);
  }
  if (entry.type == PARAM_TYPE_STRING && changed.type == PARAM_TYPE_STRING) return entry.text != changed.text;
  return true;
}

// How far one LIMIT entry is from the current values.
double ScoreEntry(CParamList& entry, const ChangedOption* changed, CParamList& current) {
  if (changed != nullptr && entry.Find(changed->key.c_str()) != nullptr &&
      Differs(ReadParamValue(entry, changed->key.c_str()), changed->value)) {
    return kChangedMismatchScore;
  }
  double score = 0.0;
  for (const auto& [key, type] : ListEntries(entry)) {
    if (current.Find(key.c_str()) == nullptr) continue;
    ParamValue e = ReadParamValue(entry, key.c_str());
    ParamValue c = ReadParamValue(current, key.c_str());
    double term = 0.0;
    if (IsNumber(e.type) && IsNumber(c.type)) {
      double ev = AsDouble(e);
      term = std::fabs(std::atan2(ev - AsDouble(c), ev));
      if (e.type == PARAM_TYPE_DOUBLE && EqualsIgnoringCase(key, "BITRATE")) term *= 0.1;
      if (!std::isfinite(term)) term = std::numbers::pi;
    } else if (e.type == PARAM_TYPE_STRING && c.type == PARAM_TYPE_STRING) {
      term = e.text != c.text ? 1.0 : 0.0;
    } else if (e.type != PARAM_TYPE_NONE) {
      term = 1.0;  // kinds that cannot be compared count as different
    }
    score += term;
  }
  return score;
}

}  // namespace

bool IsLinkedOptionKey(std::string_view key) {
  static constexpr std::string_view kKeys[] = {"FRAMERATE",  "BITRATE", "WIDTH",  "HEIGHT",
                                               "SAMPLERATE", "VOL",     "CHANNEL"};
  for (std::string_view k : kKeys)
    if (EqualsIgnoringCase(k, key)) return true;
  return false;
}

bool OptionCharPasses(int32_t type, char32_t ch) {
  const bool basic = (ch >= U'0' && ch <= U'9') || ch == U'-' || ch == 0x08;
  switch (type) {
    case kOptionInt:
      return basic;
    case kOptionFloat:
      return basic || ch == U'.';
    default:
      return true;
  }
}

bool ValidateOptionValue(std::string& value, const OptionDesc& option, bool& takeBack, std::string& message) {
  takeBack = false;
  message.clear();
  switch (option.type) {
    case kOptionInt: {
      int64_t v = 0;
      if (!IsIntegerText(value)) {
        message = "The input value should be a valid integer number!";
        return false;
      }
      bool fits = ReadInt64(value, v);
      if (fits && v == 0 && IsSizeKey(option.name)) return true;
      if (!fits || v < option.minInt || v > option.maxInt) {
        message = Message("The input value should between ", FormatInt(option.minInt), " and ",
                          FormatInt(option.maxInt), "!");
        return false;
      }
      return true;
    }
    case kOptionFloat: {
      double v = 0.0;
      if (!IsFloatText(value)) {
        message = "The input value should be a valid float number!";
        return false;
      }
      if (!ReadDouble(value, v) || !(v >= option.minDouble && v <= option.maxDouble)) {
        message = Message("The input value should between ", FormatFixed6(option.minDouble), " and ",
                          FormatFixed6(option.maxDouble), "!");
        return false;
      }
      return true;
    }
    case kOptionText:
      if (static_cast<int64_t>(Utf8Length(value)) > option.maxInt) {
        message = "The input string should not be longer than " + FormatInt(option.maxInt) + "!";
        return false;
      }
      return true;
    default:
      return true;
  }
}

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > (int64_t{1} << 40)) break;  // far past the int32 range: clamped below
  }
  return static_cast<int32_t>(ClampToInt32(negative ? -value : value));
}

double LeadingDouble(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range) {
    std::string piece(text.substr(i, static_cast<size_t>(end - (text.data() + i))));
    return ReadDouble(piece, value) ? value : (piece.starts_with("-") ? -HUGE_VAL : HUGE_VAL);
  }
  return ec == std::errc() ? value : 0.0;
}

std::string FormatFixed6(double value) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, 6);
  return ec == std::errc() ? std::string(buf, end) : std::string();
}

ParamValue ReadParamValue(CParamList& list, const char* key) {
  ParamValue v;
  switch (list.GetType(key)) {
    case PARAM_TYPE_INT:
      v.type = PARAM_TYPE_INT;
      v.intValue = list.GetInt(key, 0);
      break;
    case PARAM_TYPE_DOUBLE:
      v.type = PARAM_TYPE_DOUBLE;
      v.doubleValue = list.GetDouble(key, 0.0);
      break;
    case PARAM_TYPE_STRING:
      v.type = PARAM_TYPE_STRING;
      v.text = list.GetStringPtr(key);
      break;
    default:
      break;
  }
  return v;
}

void WriteParamValue(CParamList& list, const char* key, const ParamValue& value) {
  switch (value.type) {
    case PARAM_TYPE_INT:
      list.SetInt(key, value.intValue);
      break;
    case PARAM_TYPE_DOUBLE:
      list.SetDouble(key, value.doubleValue);
      break;
    case PARAM_TYPE_STRING:
      list.SetString(key, value.text.c_str());
      break;
    default:
      break;
  }
}

void StoreOptionValue(CParamList& list, const OptionDesc& option, const std::string& value) {
  const char* key = option.name.c_str();
  switch (option.type) {
    case kOptionInt:
      list.SetInt(key, LeadingInt(value));
      break;
    case kOptionFloat: {
      double v = LeadingDouble(value);
      list.SetDouble(key, std::isfinite(v) ? v : 0.0);
      break;
    }
    default:
      list.SetString(key, value.c_str());
      break;
  }
}

std::string FormatOptionValue(CParamList& list, const std::string& key) {
  ParamValue v = ReadParamValue(list, key.c_str());
  switch (v.type) {
    case PARAM_TYPE_INT:
      return FormatInt(v.intValue);
    case PARAM_TYPE_DOUBLE:
      return FormatFixed6(v.doubleValue);
    case PARAM_TYPE_STRING:
      return std::string(CutUtf8(v.text, kShownTextMax));
    default:
      return {};
  }
}

void FitOptionValue(const OptionDesc& option, CParamList& source, CParamList& result) {
  const char* key = option.name.c_str();
  ParamValue v = ReadParamValue(source, key);
  if (option.type == kOptionInt && v.type == PARAM_TYPE_INT) {
    int32_t value = v.intValue;
    if (option.editable) {
      if (!(value == 0 && IsSizeKey(option.name))) {
        value = std::clamp(value, std::min(option.minInt, option.maxInt), option.maxInt);
        if (option.div > 1 && value % option.div != 0) value = option.div * (value / option.div);
      }
    } else {
      value = NearestInt(option.values, value);
    }
    result.SetInt(key, value);
    return;
  }
  if (option.type == kOptionFloat && v.type == PARAM_TYPE_DOUBLE && std::isfinite(v.doubleValue)) {
    double value = v.doubleValue;
    if (option.editable)
      value = std::clamp(value, std::min(option.minDouble, option.maxDouble), option.maxDouble);
    else
      value = NearestDouble(option.values, value);
    result.SetDouble(key, value);
    return;
  }
  if (option.type != kOptionInt && option.type != kOptionFloat && v.type == PARAM_TYPE_STRING) {
    bool keep = option.editable != 0;
    for (size_t i = 0; !keep && i < option.values.size(); ++i) keep = option.values[i] == v.text;
    if (keep) {
      result.SetString(key, v.text.c_str());
      return;
    }
  }
  SetDefault(option, result);
}

int ChooseLimitEntry(const ChangedOption* changed, const std::vector<std::string>& limits, CParamList& current) {
  int chosen = -1;
  double best = kStartScore;
  for (size_t i = 0; i < limits.size(); ++i) {
    CParamList entry;
    ParseParamText(entry, limits[i]);
    double score = ScoreEntry(entry, changed, current);
    if (score < best) {
      best = score;
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

void RecomputeOptions(const ChangedOption* changed, const std::vector<OptionDesc>& options,
                      const std::vector<std::string>& limits, const std::string& currentText, CParamList& result) {
  CParamList current;
  ParseParamText(current, currentText);
  result.Clear();
  CParamList entry;
  int chosen = ChooseLimitEntry(changed, limits, current);
  if (chosen >= 0) ParseParamText(entry, limits[static_cast<size_t>(chosen)]);
  for (const OptionDesc& option : options) {
    ParamValue v = chosen >= 0 ? ReadParamValue(entry, option.name.c_str()) : ParamValue{};
    if (v.type != PARAM_TYPE_NONE)
      WriteParamValue(result, option.name.c_str(), v);
    else
      FitOptionValue(option, current, result);
  }
}
