// Ini files read and written the way the Windows profile functions do it:
// - section and key names are matched without regard to ASCII case; the first
//   section of a name and, inside it, the first key of a name win;
// - names and values are trimmed of blanks; a value enclosed in a matching pair
//   of double or single quotes is read without them;
// - a line whose first non-blank character is ';' is a comment ('#' is not);
// - a key line without '=' is a key without value: reading it gives the default;
// - lines before the first section belong to no section and are never found;
// - lines end in CR LF, LF or a lone CR; a UTF-8 byte-order mark is skipped.
// Texts are bytes (UTF-8); no escapes of any kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
 public:
  enum class LineKind { kBlank, kComment, kSection, kKey, kOther };
  struct Line {
    LineKind kind = LineKind::kBlank;
    std::string raw;    // the line as it stands, without its line end
    std::string name;   // section name or key name, trimmed
    std::string value;  // key value, trimmed, quotes kept
    bool hasValue = false;
  };

  IniDocument() = default;
  static IniDocument Parse(std::string_view text);
  // False when the path is not a readable regular file (the document is then empty).
  bool LoadFile(const std::string& path);

  // The value a read of (section, key) answers: trimmed, one pair of enclosing
  // quotes removed. Null when the section or key is missing or the key has no '='.
  const std::string* FindRaw(std::string_view section, std::string_view key) const;
  bool Find(std::string_view section, std::string_view key, std::string* value) const;

  // Section names in file order, each name once (the first spelling).
  std::vector<std::string> SectionNames() const;
  // Key names of the first section of that name, each once, in file order.
  std::vector<std::string> KeyNames(std::string_view section) const;

  // Writes: set replaces the first key of the name in the first section of the
  // name, or appends it to that section, or appends a new section at the end.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);
  void RemoveKey(std::string_view section, std::string_view key);
  void RemoveSection(std::string_view section);

  // The text with the document's line end (CR LF unless it was read with LF only).
  std::string Text() const;
  const std::vector<Line>& Lines() const { return lines_; }

 private:
  // Index of the section header line of the first section of the name, or -1.
  long FindSection(std::string_view section) const;
  // End (exclusive) of the section whose header is at index.
  size_t SectionEnd(size_t header) const;
  long FindKey(size_t header, std::string_view key) const;

  std::vector<Line> lines_;
  const char* lineEnd_ = "\r\n";
};

// Value without one pair of enclosing quotes (both '"' or both '\'', at least 2 characters).
std::string_view StripIniQuotes(std::string_view value);

// Decimal integer reading of the profile functions: blanks, a sign, the leading
// digits; 0 when there are none; clamped to the int32 range.
int32_t ParseIniInt(std::string_view text);

// GetPrivateProfileString: copies the value (or, when missing, the default with
// its trailing blanks removed; null counts as "") into buffer, at most
// capacity - 1 bytes, always terminated; returns the bytes copied. A null key
// lists the section's key names, a null section every section name, each
// terminated, the list ending with an extra NUL (cut lists return capacity - 2).
uint32_t IniGetString(const char* section, const char* key, const char* def, char* buffer, uint32_t capacity,
                      const char* path);
// GetPrivateProfileInt: the value read as ParseIniInt; the default when the key is
// missing or its value is empty.
int32_t IniGetInt(const char* section, const char* key, int32_t def, const char* path);

// WritePrivateProfileString: a null value removes the key, a null key the
// section; the file is created when missing and replaced whole (through a
// temporary file), so a failed write leaves the old file. Names and values that
// hold a line break, a section name holding ']' and a key holding '=' or read
// as a comment or section are refused. 1 on success, 0 on failure.
int IniWriteString(const char* section, const char* key, const char* value, const char* path);

// Drops the reader's memory of parsed files (a file changed behind its back
// within the same second and size is otherwise seen as unchanged).
void IniForgetFiles();
