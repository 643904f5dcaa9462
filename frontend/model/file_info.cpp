#include "frontend/model/file_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

#include "platform/utf_text.h"

const char* const kGenreNames[kGenreCount] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};

namespace {

// Copies at most capacity - 1 units, never half a surrogate pair, and zero-fills the rest.
void SetTextField(char16_t* field, size_t capacity, std::u16string_view text) {
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::fill(field, field + capacity, u'\0');
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), field);
}

std::u16string FieldText(const char16_t* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != u'\0') ++n;
  return std::u16string(field, n);
}

}  // namespace

bool SplitOutputFileName(std::string_view name, std::string_view ext, int32_t number, OutputFileName& out,
                         std::string& message) {
  std::string_view base = name;
  std::string newExt(ext);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    newExt = std::string(name.substr(dot + 1));
    base = name.substr(0, dot);
  } else if (!ext.empty() && ext.front() == '@') {
    // A prefix is shown in front of the name: it is not part of the title.
    const std::string_view prefix = ext.substr(1);
    if (base.size() > prefix.size() && base.substr(0, prefix.size()) == prefix) base.remove_prefix(prefix.size());
  }
  const std::string suffix = "[" + std::to_string(number) + "]";
  if (base.size() > suffix.size() && base.substr(base.size() - suffix.size()) == suffix) {
    base.remove_suffix(suffix.size());
  } else {
    number = 0;
  }
  base = CutUtf8(base, kTitleFieldBytes);
  if (base.empty() || base == "." || base == ".." || base.find('/') != std::string_view::npos ||
      base.find('\0') != std::string_view::npos || newExt.find('/') != std::string::npos ||
      newExt.find('\0') != std::string::npos) {
    message = "Please enter an output file name without folders, such as \"movie.mp4\".";
    return false;
  }
  out.title = std::string(base);
  out.ext = newExt;
  out.number = number;
  return true;
}

TagFields ShowTagFields(const TagInfo& tags) {
  TagFields f;
  f.title = FieldText(tags.title, std::size(tags.title));
  f.artist = FieldText(tags.artist, std::size(tags.artist));
  f.album = FieldText(tags.album, std::size(tags.album));
  f.comment = FieldText(tags.comment, std::size(tags.comment));
  f.track = FormatTagNumber(tags.track, 2);
  f.year = FormatTagNumber(tags.year, 4);
  f.genre = std::string(tags.genre, strnlen(tags.genre, sizeof tags.genre));
  f.enabled = tags.enabled != 0;
  return f;
}

void StoreTagFields(const TagFields& fields, TagInfo& tags) {
  if (!fields.enabled) {
    tags.enabled = 0;
    return;
  }
  tags.enabled = 1;
  SetTextField(tags.album, std::size(tags.album), fields.album);
  SetTextField(tags.title, std::size(tags.title), fields.title);
  SetTextField(tags.artist, std::size(tags.artist), fields.artist);
  SetTextField(tags.comment, std::size(tags.comment), fields.comment);
  tags.track = ParseTagNumber(fields.track);
  tags.year = ParseTagNumber(fields.year);
  std::memset(tags.genre, 0, sizeof tags.genre);
  const std::string_view genre = CutUtf8(fields.genre, kGenreChars);
  std::memcpy(tags.genre, genre.data(), genre.size());
}

int32_t ParseTagNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string FormatTagNumber(int32_t value, int digits) {
  if (value == 0) return std::string();
  char text[24];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  return text;
}
