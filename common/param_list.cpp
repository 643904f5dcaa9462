#include "common/param_list.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/diagnostics.h"
#include "platform/text_case.h"
#include "platform/utf_text.h"

struct CParamList::Entry {
  char* key = nullptr;
  int32_t type = PARAM_TYPE_NONE;
  union {
    int32_t i;
    double d;
    char* s;
    char16_t* w;
    void* p;
  } value{};
};

struct CParamList::Node {
  Node* next = nullptr;
  Node* prev = nullptr;
  Entry* entry = nullptr;
};

namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);
const char kEmptyText[1] = {0};
const char kHexDigits[] = "0123456789ABCDEF";

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

size_t WideLength(const char16_t* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

char* CopyText(const char* s) {
  const size_t n = std::strlen(s);
  char* out = new char[n + 1];
  std::memcpy(out, s, n + 1);
  return out;
}

char16_t* CopyWide(const char16_t* s) {
  const size_t n = WideLength(s);
  char16_t* out = new char16_t[n + 1];
  std::memcpy(out, s, (n + 1) * sizeof(char16_t));
  return out;
}

// Position of c at or after from, passing over any character that follows a
// backslash; a trailing backslash ends the search.
size_t Search(const char* text, size_t from, char c) {
  size_t i = from;
  while (text[i] != 0) {
    if (text[i] == '\\') {
      if (text[i + 1] == 0) return kNotFound;
      i += 2;
      continue;
    }
    if (text[i] == c) return i;
    ++i;
  }
  return kNotFound;
}

// Unescapes text[begin, end): \\ -> \, \" -> ", a backslash before anything
// else drops both characters.
std::string Unescape(const char* text, size_t begin, size_t end) {
  std::string out;
  out.reserve(end - begin);
  for (size_t i = begin; i < end; ++i) {
    if (text[i] == '\\') {
      if (i + 1 >= end) break;
      const char next = text[i + 1];
      if (next == '\\' || next == '"') out.push_back(next);
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

void AppendEscaped(std::string& out, const char* s) {
  out.push_back('"');
  for (; *s != 0; ++s) {
    if (*s == '"' || *s == '\\') out.push_back('\\');
    out.push_back(*s);
  }
  out.push_back('"');
}

void AppendHexBytes(std::string& out, const void* data, size_t n) {
  const auto* b = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kHexDigits[b[i] >> 4]);
    out.push_back(kHexDigits[b[i] & 0x0F]);
  }
}

// 8 bytes from 16 hex digits starting at text[from]; false (bytes zeroed)
// when any of them is not a hex digit, the end of the text included.
bool ReadHex8(const char* text, size_t from, unsigned char bytes[8]) {
  for (size_t i = 0; i < 16; ++i) {
    if (HexValue(text[from + i]) < 0) {  // stops at the terminator
      std::memset(bytes, 0, 8);
      return false;
    }
  }
  for (size_t i = 0; i < 8; ++i) {
    bytes[i] = static_cast<unsigned char>(HexValue(text[from + 2 * i]) * 16 + HexValue(text[from + 2 * i + 1]));
  }
  return true;
}

// atoi rules (leading blanks, optional sign, digits), saturating at the int32 range.
int32_t ParseInt(const char* s) {
  while (IsSpace(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') {
    negative = (*s == '-');
    ++s;
  }
  int64_t v = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (v < limit) v = v * 10 + (*s - '0');
    if (v > limit) v = limit;
  }
  return static_cast<int32_t>(negative ? -v : v);
}

// atof rules in the C locale, whatever the process locale is.
double ParseDouble(const char* s) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c_locale == static_cast<locale_t>(0)) return 0.0;
  return strtod_l(s, nullptr, c_locale);
}

}  // namespace

CParamList::CParamList() = default;

CParamList::~CParamList() { Clear(); }

CParamList::Node* CParamList::FindNode(const char* key) const {
  if (key == nullptr) return nullptr;
  for (Node* n = head_; n != nullptr; n = n->next) {
    if (EqualsIgnoringCase(n->entry->key, key)) return n;
  }
  return nullptr;
}

static void FreeEntryValue(int32_t type, void* owned) {
  if (type == PARAM_TYPE_STRING) delete[] static_cast<char*>(owned);
  if (type == PARAM_TYPE_WSTRING) delete[] static_cast<char16_t*>(owned);
}

CParamList::Entry* CParamList::PrepareEntry(const char* key) {
  if (Node* n = FindNode(key)) {
    Entry* e = n->entry;
    if (e->type == PARAM_TYPE_STRING) FreeEntryValue(e->type, e->value.s);
    if (e->type == PARAM_TYPE_WSTRING) FreeEntryValue(e->type, e->value.w);
    e->type = PARAM_TYPE_NONE;
    e->value.p = nullptr;
    return e;
  }
  auto* e = new Entry;
  e->key = CopyText(key);
  auto* n = new Node;
  n->entry = e;
  n->prev = tail_;
  if (tail_ != nullptr) {
    tail_->next = n;
  } else {
    head_ = n;
  }
  tail_ = n;
  ++count_;
  return e;
}

void CParamList::FreeNode(Node* node) {
  Entry* e = node->entry;
  if (e->type == PARAM_TYPE_STRING) FreeEntryValue(e->type, e->value.s);
  if (e->type == PARAM_TYPE_WSTRING) FreeEntryValue(e->type, e->value.w);
  delete[] e->key;
  delete e;
  delete node;
}

void CParamList::SetInt(const char* key, int32_t value) {
  if (key == nullptr) return;
  Entry* e = PrepareEntry(key);
  e->type = PARAM_TYPE_INT;
  e->value.i = value;
}

void CParamList::SetDouble(const char* key, double value) {
  if (key == nullptr) return;
  Entry* e = PrepareEntry(key);
  e->type = PARAM_TYPE_DOUBLE;
  e->value.d = value;
}

void CParamList::SetString(const char* key, const char* value) {
  if (key == nullptr) return;
  char* copy = CopyText(value != nullptr ? value : "");  // before the old text is freed
  Entry* e = PrepareEntry(key);
  e->type = PARAM_TYPE_STRING;
  e->value.s = copy;
}

void CParamList::SetWString(const char* key, const char16_t* value) {
  if (key == nullptr) return;
  static const char16_t kEmptyWide[1] = {0};
  char16_t* copy = CopyWide(value != nullptr ? value : kEmptyWide);
  Entry* e = PrepareEntry(key);
  e->type = PARAM_TYPE_WSTRING;
  e->value.w = copy;
}

void CParamList::SetPtr(const char* key, void* value) {
  if (key == nullptr) return;
  Entry* e = PrepareEntry(key);
  e->type = PARAM_TYPE_PTR;
  e->value.p = value;
}

void CParamList::CopyFrom(const CParamList& other) {
  if (&other == this) return;
  Clear();
  for (const Node* n = other.head_; n != nullptr; n = n->next) {
    const Entry* e = n->entry;
    switch (e->type) {
      case PARAM_TYPE_INT:
        SetInt(e->key, e->value.i);
        break;
      case PARAM_TYPE_DOUBLE:
        SetDouble(e->key, e->value.d);
        break;
      case PARAM_TYPE_STRING:
        SetString(e->key, e->value.s);
        break;
      case PARAM_TYPE_WSTRING:
        SetWString(e->key, e->value.w);
        break;
      case PARAM_TYPE_PTR:
        SetPtr(e->key, e->value.p);
        break;
      default:
        break;
    }
  }
}

int32_t CParamList::GetInt(const char* key, int32_t def) {
  const Node* n = FindNode(key);
  return (n != nullptr && n->entry->type == PARAM_TYPE_INT) ? n->entry->value.i : def;
}

double CParamList::GetDouble(const char* key, double def) {
  const Node* n = FindNode(key);
  return (n != nullptr && n->entry->type == PARAM_TYPE_DOUBLE) ? n->entry->value.d : def;
}

void* CParamList::GetPtr(const char* key, void* def) {
  const Node* n = FindNode(key);
  return (n != nullptr && n->entry->type == PARAM_TYPE_PTR) ? n->entry->value.p : def;
}

int32_t CParamList::GetString(const char* key, char* buf, int32_t capacity, const char* def) {
  if (buf == nullptr || capacity <= 0) return 0;
  const Node* n = FindNode(key);
  const char* src = (n != nullptr && n->entry->type == PARAM_TYPE_STRING) ? n->entry->value.s : def;
  if (src == nullptr) {
    buf[0] = 0;
    return 0;
  }
  size_t len = std::strlen(src);
  if (len > static_cast<size_t>(capacity) - 1) len = static_cast<size_t>(capacity) - 1;
  std::memmove(buf, src, len);
  buf[len] = 0;
  return static_cast<int32_t>(len);
}

int32_t CParamList::GetWString(const char* key, char16_t* buf, int32_t capacity, const char16_t* def) {
  if (buf == nullptr || capacity <= 0) return 0;
  const Node* n = FindNode(key);
  const char16_t* src = (n != nullptr && n->entry->type == PARAM_TYPE_WSTRING) ? n->entry->value.w : def;
  if (src == nullptr) {
    buf[0] = 0;
    return 0;
  }
  size_t len = WideLength(src);
  if (len > static_cast<size_t>(capacity) - 1) len = static_cast<size_t>(capacity) - 1;
  std::memmove(buf, src, len * sizeof(char16_t));
  buf[len] = 0;
  return static_cast<int32_t>(len);
}

const char* CParamList::GetStringPtr(const char* key) {
  const Node* n = FindNode(key);
  return (n != nullptr && n->entry->type == PARAM_TYPE_STRING) ? n->entry->value.s : kEmptyText;
}

int32_t CParamList::GetType(const char* key) {
  const Node* n = FindNode(key);
  return n != nullptr ? n->entry->type : PARAM_TYPE_NONE;
}

POSITION CParamList::GetHeadPosition() { return reinterpret_cast<POSITION>(head_); }

int32_t CParamList::GetAt(POSITION pos, char* keyBuf, int32_t capacity, int32_t* type) {
  if (pos == nullptr) return 0;
  const Entry* e = reinterpret_cast<Node*>(pos)->entry;
  const size_t len = std::strlen(e->key);
  if (keyBuf == nullptr || capacity <= 0 || len >= static_cast<size_t>(capacity)) {
    return static_cast<int32_t>(len + 1);
  }
  std::memcpy(keyBuf, e->key, len + 1);
  if (type != nullptr) *type = e->type;
  return static_cast<int32_t>(len);
}

POSITION CParamList::GetNext(POSITION pos) {
  if (pos == nullptr) return nullptr;
  return reinterpret_cast<POSITION>(reinterpret_cast<Node*>(pos)->next);
}

POSITION CParamList::Find(const char* key) { return reinterpret_cast<POSITION>(FindNode(key)); }

void CParamList::Remove(const char* key) {
  Node* n = FindNode(key);
  if (n == nullptr) return;
  if (n->prev != nullptr) {
    n->prev->next = n->next;
  } else {
    head_ = n->next;
  }
  if (n->next != nullptr) {
    n->next->prev = n->prev;
  } else {
    tail_ = n->prev;
  }
  --count_;
  FreeNode(n);
}

void CParamList::Clear() {
  Node* n = head_;
  while (n != nullptr) {
    Node* next = n->next;
    FreeNode(n);
    n = next;
  }
  head_ = tail_ = nullptr;
  count_ = 0;
}

char* CParamList::ToText() {
  std::string out;
  for (const Node* n = head_; n != nullptr; n = n->next) {
    const Entry* e = n->entry;
    if (n != head_) out.push_back(',');
    AppendEscaped(out, e->key);
    out.push_back('=');
    switch (e->type) {
      case PARAM_TYPE_INT: {
        char digits[16];
        const auto res = std::to_chars(digits, digits + sizeof(digits), e->value.i);
        out.append(digits, res.ptr);
        break;
      }
      case PARAM_TYPE_DOUBLE:
        out.push_back('D');
        AppendHexBytes(out, &e->value.d, sizeof(double));
        break;
      case PARAM_TYPE_STRING:
        AppendEscaped(out, e->value.s);
        break;
      case PARAM_TYPE_WSTRING:
        out += "L\"";
        for (const char16_t* w = e->value.w; *w != 0; ++w) {
          const unsigned char bytes[2] = {static_cast<unsigned char>(*w & 0xFF), static_cast<unsigned char>(*w >> 8)};
          AppendHexBytes(out, bytes, 2);
        }
        out.push_back('"');
        break;
      case PARAM_TYPE_PTR: {
        // Shown for diagnostics only: a text never sets an address (see ParseText).
        out.push_back('P');
        const uint64_t bits = reinterpret_cast<uintptr_t>(e->value.p);
        AppendHexBytes(out, &bits, sizeof(bits));
        break;
      }
      default:
        break;
    }
  }
  char* text = static_cast<char*>(std::malloc(out.size() + 1));
  if (text == nullptr) return nullptr;
  std::memcpy(text, out.c_str(), out.size() + 1);
  return text;
}

void CParamList::FreeText(char* text) { std::free(text); }

void CParamList::ParseText(const char* source) {
  // Copied first: the text may be one of this list's own values.
  const std::string copy = source != nullptr ? source : "";
  const char* text = copy.c_str();
  Clear();
  size_t pos = 0;
  for (;;) {
    const size_t keyOpen = Search(text, pos, '"');
    if (keyOpen == kNotFound) return;
    const size_t keyClose = Search(text, keyOpen + 1, '"');
    if (keyClose == kNotFound) return;
    const std::string key = Unescape(text, keyOpen + 1, keyClose);
    const size_t eq = Search(text, keyClose, '=');
    if (eq == kNotFound) return;
    size_t p = eq + 1;
    while (IsSpace(text[p])) ++p;

    size_t next = p;  // where the scan goes on
    const char c = text[p];
    if (c == '"') {
      const size_t close = Search(text, p + 1, '"');
      if (close == kNotFound) return;
      SetString(key.c_str(), Unescape(text, p + 1, close).c_str());
      next = close;
    } else if (c == 'F') {
      SetDouble(key.c_str(), ParseDouble(text + p + 1));
    } else if (c == 'D') {
      unsigned char bytes[8];
      ReadHex8(text, p + 1, bytes);
      double d;
      std::memcpy(&d, bytes, sizeof(d));
      SetDouble(key.c_str(), d);
    } else if (c == 'P') {
      // Addresses are set by code only; one read from a text is dropped.
      Diag(DiagLevel::kTrace, "parameter text: the pointer value of \"%s\" is ignored", key.c_str());
    } else if (c == 'L') {
      const size_t open = Search(text, p, '"');
      if (open == kNotFound) return;
      const size_t close = Search(text, open + 1, '"');
      if (close == kNotFound) return;
      const size_t n = close - open - 1;
      bool ok = (n % 2) == 0;
      for (size_t i = open + 1; ok && i < close; ++i) ok = HexValue(text[i]) >= 0;
      std::u16string value;
      if (ok) {
        const size_t units = n / 4;
        value.reserve(units);
        for (size_t u = 0; u < units; ++u) {
          const size_t at = open + 1 + u * 4;
          const int lo = HexValue(text[at]) * 16 + HexValue(text[at + 1]);
          const int hi = HexValue(text[at + 2]) * 16 + HexValue(text[at + 3]);
          value.push_back(static_cast<char16_t>(lo | (hi << 8)));
        }
      }
      // A NUL unit inside the digits ends the stored text, as a copy would.
      SetWString(key.c_str(), value.c_str());
      next = close + 1;
    } else {
      SetInt(key.c_str(), ParseInt(text + p));
    }

    const size_t comma = Search(text, next, ',');
    if (comma == kNotFound) return;
    pos = comma + 1;
  }
}

void CParamList::Dump() {
  for (const Node* n = head_; n != nullptr; n = n->next) {
    const Entry* e = n->entry;
    ConsoleLine("%s=", e->key);
    switch (e->type) {
      case PARAM_TYPE_INT:
        ConsoleLine("[INT]%d", e->value.i);
        break;
      case PARAM_TYPE_DOUBLE: {
        char digits[512];
        const auto res = std::to_chars(digits, digits + sizeof(digits) - 1, e->value.d, std::chars_format::fixed, 6);
        *(res.ec == std::errc() ? res.ptr : digits) = 0;
        ConsoleLine("[DOUBLE]%s", digits);
        break;
      }
      case PARAM_TYPE_STRING:
        ConsoleLine("[STRING]%s", e->value.s);
        break;
      case PARAM_TYPE_WSTRING:
        ConsoleLine("[WSTRING]%s", Utf16ToUtf8(e->value.w).c_str());
        break;
      case PARAM_TYPE_PTR:
        ConsoleLine("[PTR]%p", e->value.p);
        break;
      default:
        break;
    }
    ConsoleLine("\n");
  }
}
