#include "plugins/vsubtitle/subtitle_text.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == text.size()) break;
    at = end + 1;
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Digits as a number; false when empty, not digits or too long.
bool Digits(std::string_view s, size_t maxLength, int64_t* value) {
  if (s.empty() || s.size() > maxLength || !AllDigits(s)) return false;
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  *value = v;
  return true;
}

// iconv from a code page into UTF-8; a byte that cannot be read is skipped.
bool ConvertToUtf8(std::string_view bytes, const char* from, std::string* out) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out->append(buffer, sizeof buffer - dstLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: leave the byte out and go on.
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return true;
}

std::string DropBadLines(std::string_view text, int32_t* dropped) {
  std::string out;
  for (std::string_view line : SplitLines(text)) {
    if (!IsValidUtf8(line)) {
      ++*dropped;
      continue;
    }
    out.append(line);
    out += '\n';
  }
  return out;
}

// "H:MM:SS" and a fraction of one to three digits after one of the separators, in ms.
bool ParseClock(std::string_view s, std::string_view separators, int64_t* ms) {
  s = Trim(s);
  const size_t c1 = s.find(':');
  if (c1 == std::string_view::npos) return false;
  const size_t c2 = s.find(':', c1 + 1);
  if (c2 == std::string_view::npos) return false;
  const size_t sep = s.find_first_of(separators, c2 + 1);
  if (sep == std::string_view::npos) return false;
  int64_t h, m, sec, frac;
  const std::string_view fraction = s.substr(sep + 1);
  if (!Digits(s.substr(0, c1), 4, &h) || !Digits(s.substr(c1 + 1, c2 - c1 - 1), 2, &m) || m >= 60 ||
      !Digits(s.substr(c2 + 1, sep - c2 - 1), 2, &sec) || sec >= 60 || !Digits(fraction, 3, &frac))
    return false;
  for (size_t n = fraction.size(); n < 3; ++n) frac *= 10;
  *ms = ((h * 60 + m) * 60 + sec) * 1000 + frac;
  return true;
}

// "H:MM:SS.cc" of SSA/ASS events.
bool ParseAssTime(std::string_view s) {
  int64_t ms;
  return ParseClock(s, ".", &ms);
}

// Splits the first n fields off a comma-separated line (the last one keeps the rest).
std::vector<std::string_view> Fields(std::string_view s, size_t n) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < n) {
    const size_t comma = s.find(',');
    if (comma == std::string_view::npos) break;
    out.push_back(s.substr(0, comma));
    s.remove_prefix(comma + 1);
  }
  out.push_back(s);
  return out;
}

void AppendTag(std::string* out, const char* tag) {
  *out += '{';
  *out += tag;
  *out += '}';
}

// An SRT tag at text[at] ('<'): its override tags, and its length; 0 when not one we know.
size_t SrtTag(std::string_view text, size_t at, std::string* out) {
  const size_t close = text.find('>', at);
  if (close == std::string_view::npos) return 0;
  std::string tag;
  for (char c : text.substr(at + 1, close - at - 1))
    tag += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const struct {
    const char* html;
    const char* ass;
  } kSimple[] = {{"i", "\\i1"},  {"/i", "\\i0"}, {"b", "\\b1"},  {"/b", "\\b0"},  {"u", "\\u1"},
                 {"/u", "\\u0"}, {"s", "\\s1"},  {"/s", "\\s0"}, {"/font", "\\c"}};
  for (const auto& s : kSimple)
    if (tag == s.html) {
      AppendTag(out, s.ass);
      return close - at + 1;
    }
  if (tag.rfind("font", 0) == 0) {
    const size_t hash = tag.find('#');
    if (hash != std::string::npos && hash + 7 <= tag.size()) {
      const std::string rgb = tag.substr(hash + 1, 6);
      if (rgb.find_first_not_of("0123456789abcdef") == std::string::npos) {
        // ASS colours are blue, green, red.
        std::string bgr = rgb.substr(4, 2) + rgb.substr(2, 2) + rgb.substr(0, 2);
        for (char& c : bgr) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        AppendTag(out, ("\\c&H" + bgr + "&").c_str());
      }
    }
    return close - at + 1;
  }
  return 0;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    uint32_t value;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      value = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      value = value << 6 | (p[i + k] & 0x3F);
    }
    if ((extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

const char* CharSetCodePage(int32_t charSet) {
  switch (charSet) {
    case 0:
      return "CP1252";
    case 77:
      return "MACINTOSH";
    case 128:
      return "CP932";
    case 129:
      return "CP949";
    case 130:
      return "JOHAB";
    case 134:
      return "GBK";
    case 136:
      return "BIG5";
    case 161:
      return "CP1253";
    case 162:
      return "CP1254";
    case 163:
      return "CP1258";
    case 177:
      return "CP1255";
    case 178:
      return "CP1256";
    case 186:
      return "CP1257";
    case 204:
      return "CP1251";
    case 222:
      return "TIS-620";
    case 238:
      return "CP1250";
    case 255:
      return "CP437";
    default:
      return nullptr;
  }
}

Utf8Text SubtitleBytesToUtf8(std::string_view bytes, int32_t charSet) {
  Utf8Text out;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  else if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    const char* from = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
    std::string text;
    if (ConvertToUtf8(bytes.substr(2), from, &text)) {
      out.text = DropBadLines(text, &out.droppedLines);
      return out;
    }
  }
  if (IsValidUtf8(bytes)) {
    out.text.assign(bytes);
    return out;
  }
  if (const char* codePage = CharSetCodePage(charSet)) {
    std::string text;
    if (ConvertToUtf8(bytes, codePage, &text)) {
      out.text = DropBadLines(text, &out.droppedLines);
      return out;
    }
  }
  out.text = DropBadLines(bytes, &out.droppedLines);
  return out;
}

bool ParseSrtTime(std::string_view s, int64_t* ms) { return ParseClock(s, ",.", ms); }

bool ParseSrtTiming(std::string_view line, int64_t* startMs, int64_t* endMs) {
  const size_t arrow = line.find("-->");
  if (arrow == std::string_view::npos) return false;
  std::string_view end = Trim(line.substr(arrow + 3));
  const size_t space = end.find_first_of(" \t");
  if (space != std::string_view::npos) end = end.substr(0, space);  // position keys may follow
  return ParseSrtTime(line.substr(0, arrow), startMs) && ParseSrtTime(end, endMs);
}

SrtParse ParseSrt(std::string_view utf8) {
  SrtParse out;
  const std::vector<std::string_view> lines = SplitLines(utf8);
  enum class State { kSeek, kText, kSkip } state = State::kSeek;
  TextCue cue;
  std::string text;
  auto timingAt = [&](size_t i) {
    int64_t a, b;
    return i < lines.size() && ParseSrtTiming(lines[i], &a, &b);
  };
  auto finish = [&] {
    if (cue.endMs <= cue.startMs || Trim(text).empty()) {
      ++out.skippedCues;
    } else {
      cue.text = SrtToAssText(text);
      out.cues.push_back(cue);
    }
    text.clear();
  };
  auto begin = [&](std::string_view line) {
    if (!ParseSrtTiming(line, &cue.startMs, &cue.endMs)) {
      ++out.skippedCues;
      state = State::kSkip;
      return;
    }
    text.clear();
    state = State::kText;
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const bool blank = Trim(line).empty();
    switch (state) {
      case State::kSkip:
        if (blank) state = State::kSeek;
        break;
      case State::kSeek:
        if (blank || (AllDigits(Trim(line)) && timingAt(i + 1))) break;
        if (line.find("-->") != std::string_view::npos) begin(line);
        break;  // stray text outside a cue is ignored
      case State::kText:
        if (blank) {
          finish();
          state = State::kSeek;
        } else if (timingAt(i)) {
          finish();  // a cue without the empty line after it
          begin(line);
        } else if (AllDigits(Trim(line)) && timingAt(i + 1)) {
          finish();
          state = State::kSeek;
        } else {
          if (!text.empty()) text += '\n';
          text.append(line);
        }
        break;
    }
  }
  if (state == State::kText) finish();
  return out;
}

std::string SrtToAssText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\N";
      continue;
    }
    if (c == '<') {
      const size_t length = SrtTag(text, i, &out);
      if (length) {
        i += length - 1;
        continue;
      }
    }
    out += c;
  }
  // Line ends at the end of the text draw nothing.
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\\N") == 0) out.resize(out.size() - 2);
  return out;
}

std::string CleanAssScript(std::string_view utf8, int32_t* dropped) {
  std::string out;
  bool events = false;
  size_t startField = 1, endField = 2, fieldCount = 10;
  for (std::string_view line : SplitLines(utf8)) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      events = StartsWithNoCase(trimmed, "[events]");
    } else if (events && StartsWithNoCase(trimmed, "format:")) {
      std::vector<std::string_view> names = Fields(trimmed.substr(7), 64);
      fieldCount = names.size();
      for (size_t k = 0; k < names.size(); ++k) {
        const std::string_view name = Trim(names[k]);
        if (StartsWithNoCase(name, "start") && name.size() == 5) startField = k;
        if (StartsWithNoCase(name, "end") && name.size() == 3) endField = k;
      }
    } else if (events && StartsWithNoCase(trimmed, "dialogue:")) {
      const std::vector<std::string_view> fields = Fields(trimmed.substr(9), fieldCount);
      if (startField >= fields.size() || endField >= fields.size() || !ParseAssTime(fields[startField]) ||
          !ParseAssTime(fields[endField])) {
        ++*dropped;
        continue;
      }
    }
    out.append(line);
    out += '\n';
  }
  return out;
}

bool LooksLikeAssScript(std::string_view utf8) {
  for (std::string_view line : SplitLines(utf8)) {
    const std::string_view t = Trim(line);
    if (t.empty()) continue;
    return StartsWithNoCase(t, "[script info]");
  }
  return false;
}
