#include "common/dvd/dvd_ifo_check.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr uint64_t kBlock = 2048;
constexpr uint64_t kPgcSize = 236;
constexpr uint64_t kCellPlaybackSize = 24;
constexpr uint64_t kCellPositionSize = 4;
constexpr uint64_t kCommandSize = 8;
constexpr uint64_t kTitleInfoSize = 12;
constexpr uint64_t kTableHeader = 8;  // count(s) and the table's last byte
constexpr uint64_t kVtsAttributesMinSize = 356;
constexpr uint64_t kTextDataSize = 20;

// Offsets of the header fields used (VMGI_MAT and VTSI_MAT share the first ones).
constexpr uint64_t kLastSector = 0x1C;  // the IFO's own last sector
constexpr uint64_t kLastByte = 0x80;    // the header's last byte
constexpr uint64_t kVmgTitleSets = 0x3E;
constexpr uint64_t kVmgFirstPlayPgc = 0x84;
constexpr uint64_t kMenuAudioStreams = 0x103;
constexpr uint64_t kMenuSubpStreams = 0x155;
constexpr uint64_t kVtsAudioStreams = 0x203;
constexpr uint64_t kVtsSubpStreams = 0x255;

// Reads big-endian fields of the file and records the first problem.
class Checker {
 public:
  Checker(const uint8_t* data, size_t size) : data_(data), size_(size), limit_(size) {}

  const std::string& problem() const { return problem_; }
  bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The bytes [at, at + length) lie inside the file's own part (and before end, when given).
  bool Inside(uint64_t at, uint64_t length, const char* what, uint64_t end = UINT64_MAX) {
    const uint64_t limit = end < limit_ ? end : limit_;
    if (at > limit || length > limit - at)
      return Fail("%s at byte %llu (%llu bytes) runs past %s", what, static_cast<unsigned long long>(at),
                  static_cast<unsigned long long>(length), end < limit_ ? "its table" : "the file");
    return true;
  }
  uint8_t U8(uint64_t at) const { return at < size_ ? data_[at] : 0; }
  uint16_t U16(uint64_t at) const { return static_cast<uint16_t>(U8(at) << 8 | U8(at + 1)); }
  uint32_t U32(uint64_t at) const { return static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2); }

  // The header: identifier, the size the last sector gives, the header's last byte.
  bool Header(const char* identifier, const char* name);
  // A table at a sector: inside the file; its last byte (32 bits at +4) inside too. The table's
  // end (one past its last byte) in *end.
  bool Table(uint32_t sector, const char* what, uint64_t* end, uint64_t minimum = kTableHeader);
  bool Pgc(uint64_t at, uint64_t tableEnd, int pgcCount, int* programs);
  bool CommandTable(uint64_t at, uint64_t tableEnd, int* cellCommands);
  // A program chain table at a byte offset; its PGC count and each PGC's program count.
  bool Pgcit(uint64_t at, uint64_t tableEnd, const char* what, std::vector<int>* programs);
  bool PgciUt(uint32_t sector, const char* what);
  bool CellAddresses(uint32_t sector, const char* what);
  bool AddressMap(uint32_t sector, const char* what);

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t limit_;  // the end of the IFO's own part, once the header gave it
  std::string problem_;
};

bool Checker::Fail(const char* format, ...) {
  if (problem_.empty()) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    problem_ = text;
  }
  return false;
}

bool Checker::Header(const char* identifier, const char* name) {
  if (size_ < kBlock) return Fail("%zu bytes, shorter than its header", size_);
  for (int i = 0; identifier[i] != 0; ++i)
    if (data_[i] != static_cast<uint8_t>(identifier[i])) return Fail("not a %s header", name);
  const uint64_t own = (static_cast<uint64_t>(U32(kLastSector)) + 1) * kBlock;
  if (own > size_) return Fail("%zu bytes, but its header gives %llu", size_, static_cast<unsigned long long>(own));
  limit_ = own;
  if (U32(kLastByte) >= limit_) return Fail("its header ends past the file");
  return true;
}

bool Checker::Table(uint32_t sector, const char* what, uint64_t* end, uint64_t minimum) {
  const uint64_t at = static_cast<uint64_t>(sector) * kBlock;
  if (sector == 0) return Fail("%s is missing", what);
  if (!Inside(at, minimum, what)) return false;
  const uint64_t last = U32(at + 4);
  if (last + 1 < minimum) return Fail("%s: its size is too small", what);
  if (!Inside(at, last + 1, what)) return false;
  *end = at + last + 1;
  return true;
}

bool Checker::CommandTable(uint64_t at, uint64_t tableEnd, int* cellCommands) {
  if (!Inside(at, kTableHeader, "a command table", tableEnd)) return false;
  const uint32_t count = U16(at) + U16(at + 2) + U16(at + 4);
  const uint64_t last = U16(at + 6);
  if (count > 255) return Fail("a command table of %u commands", count);
  if (kTableHeader + count * kCommandSize > last + 1) return Fail("a command table's commands run past its end");
  if (!Inside(at, kTableHeader + count * kCommandSize, "a command table", tableEnd)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t c = at + kTableHeader + i * kCommandSize;
    // A special instruction (type 0) has four operations; the navigator stops on any other.
    if ((U8(c) >> 5) == 0 && (U8(c + 1) & 0x0F) > 3) return Fail("an unknown command");
  }
  *cellCommands = U16(at + 4);
  return true;
}

bool Checker::Pgc(uint64_t at, uint64_t tableEnd, int pgcCount, int* programs) {
  if (!Inside(at, kPgcSize, "a program chain", tableEnd)) return false;
  const int programCount = U8(at + 2);
  const int cells = U8(at + 3);
  if (programCount > cells) return Fail("a program chain with more programs than cells");
  for (uint64_t link : {0x9Cu, 0x9Eu, 0xA0u})
    if (U16(at + link) > pgcCount) return Fail("a program chain linked to one that does not exist");
  const uint16_t commandOffset = U16(at + 0xE4);
  const uint16_t mapOffset = U16(at + 0xE6);
  const uint16_t playbackOffset = U16(at + 0xE8);
  const uint16_t positionOffset = U16(at + 0xEA);
  int cellCommands = 0;
  if (commandOffset != 0 && !CommandTable(at + commandOffset, tableEnd, &cellCommands)) return false;
  if (programCount > 0) {
    if (mapOffset == 0) return Fail("a program chain without its program map");
    if (!Inside(at + mapOffset, programCount, "a program map", tableEnd)) return false;
    int previous = 0;
    for (int p = 0; p < programCount; ++p) {
      const int cell = U8(at + mapOffset + p);
      if (cell <= previous || cell > cells) return Fail("a program map entry out of order or range");
      previous = cell;
    }
  }
  if (cells > 0) {
    if (playbackOffset == 0 || positionOffset == 0) return Fail("a program chain without its cell tables");
    if (!Inside(at + playbackOffset, cells * kCellPlaybackSize, "a cell table", tableEnd) ||
        !Inside(at + positionOffset, cells * kCellPositionSize, "a cell position table", tableEnd))
      return false;
    bool inBlock = false;
    for (int c = 0; c < cells; ++c) {
      const uint64_t cell = at + playbackOffset + c * kCellPlaybackSize;
      const int mode = U8(cell) >> 6;
      const int type = (U8(cell) >> 4) & 3;
      // Normal cells, or angle blocks: a first cell, cells in the block, a last cell.
      const bool fits = (mode == 0 && type == 0 && !inBlock) || (mode == 1 && type == 1 && !inBlock) ||
                        (mode >= 2 && type == 1 && inBlock);
      if (!fits)
        return Fail("cell %d of a program chain has a block mode %d and type %d out of place", c + 1, mode, type);
      inBlock = mode == 1 || mode == 2;
      if (U8(cell + 3) > cellCommands) return Fail("a cell command that does not exist");
      if (U32(cell + 8) > U32(cell + 20)) return Fail("a cell that ends before it starts");
    }
    if (inBlock) return Fail("an angle block without its last cell");
  }
  if (programs != nullptr) *programs = programCount;
  return true;
}

bool Checker::Pgcit(uint64_t at, uint64_t tableEnd, const char* what, std::vector<int>* programs) {
  if (!Inside(at, kTableHeader, what, tableEnd)) return false;
  const uint32_t count = U16(at);
  const uint64_t last = U32(at + 4);
  if (count >= 10000) return Fail("%s: %u program chains", what, count);
  if (!Inside(at, last + 1, what, tableEnd)) return false;
  const uint64_t end = at + last + 1;
  if (!Inside(at + kTableHeader, count * 8ull, what, end)) return false;
  if (programs != nullptr) programs->assign(count, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t start = U32(at + kTableHeader + i * 8 + 4);
    if (!Pgc(at + start, end, static_cast<int>(count), programs != nullptr ? &(*programs)[i] : nullptr)) return false;
  }
  return true;
}

bool Checker::PgciUt(uint32_t sector, const char* what) {
  if (sector == 0) return true;  // no menus
  uint64_t end = 0;
  if (!Table(sector, what, &end)) return false;
  const uint64_t at = static_cast<uint64_t>(sector) * kBlock;
  const uint32_t units = U16(at);
  if (units == 0 || units >= 100) return Fail("%s: %u language units", what, units);
  if (!Inside(at + kTableHeader, units * 8ull, what, end)) return false;
  for (uint32_t i = 0; i < units; ++i)
    if (!Pgcit(at + U32(at + kTableHeader + i * 8 + 4), end, what, nullptr)) return false;
  return true;
}

bool Checker::CellAddresses(uint32_t sector, const char* what) {
  uint64_t end = 0;
  if (!Table(sector, what, &end)) return false;
  const uint64_t at = static_cast<uint64_t>(sector) * kBlock;
  for (uint64_t e = at + kTableHeader; e + 12 <= end; e += 12)
    if (U32(e + 4) > U32(e + 8)) return Fail("%s: a cell that ends before it starts", what);
  return true;
}

bool Checker::AddressMap(uint32_t sector, const char* what) {
  uint64_t end = 0;
  const uint64_t at = static_cast<uint64_t>(sector) * kBlock;
  if (sector == 0) return Fail("%s is missing", what);
  if (!Inside(at, 4, what)) return false;
  const uint64_t last = U32(at);
  if (last < 3) return Fail("%s: its size is too small", what);
  end = at + last + 1;
  return Inside(at, last + 1, what) && end > at;
}

bool CheckVideoManager(Checker& c, DvdIfoFacts* facts) {
  if (!c.Header("DVDVIDEO-VMG", "video manager")) return false;
  const int titleSets = c.U16(kVmgTitleSets);
  if (titleSets < 1 || titleSets > 99) return c.Fail("%d title sets", titleSets);
  if (c.U8(kMenuAudioStreams) > 1 || c.U8(kMenuSubpStreams) > 1) return c.Fail("menu streams out of range");
  const uint32_t firstPlay = c.U32(kVmgFirstPlayPgc);
  if (firstPlay != 0 && !c.Pgc(firstPlay, UINT64_MAX, 0, nullptr)) return false;
  // Without either the navigator has nowhere to start: it goes to a menu that is not there.
  if (firstPlay == 0 && c.U32(0xC8) == 0) return c.Fail("no first-play program chain and no menus");

  // Title table: every title in a title set the disc has.
  uint64_t end = 0;
  const uint32_t ttSector = c.U32(0xC4);
  if (!c.Table(ttSector, "title table", &end)) return false;
  const uint64_t tt = static_cast<uint64_t>(ttSector) * kBlock;
  const int titles = c.U16(tt);
  if (titles < 1 || titles > 99) return c.Fail("%d titles", titles);
  if (!c.Inside(tt + kTableHeader, titles * kTitleInfoSize, "the title table", end)) return false;
  std::vector<DvdIfoFacts::Title> list;
  for (int t = 0; t < titles; ++t) {
    const uint64_t e = tt + kTableHeader + t * kTitleInfoSize;
    const int angles = c.U8(e + 1);
    const int parts = c.U16(e + 2);
    const int set = c.U8(e + 6);
    const int vtsTitle = c.U8(e + 7);
    if (angles < 1 || angles > 9 || parts >= 1000 || set < 1 || set > titleSets || vtsTitle < 1 || vtsTitle > 99)
      return c.Fail("title %d of the title table is out of range", t + 1);
    list.push_back(DvdIfoFacts::Title{set, vtsTitle});
  }
  if (!c.PgciUt(c.U32(0xC8), "the menu table")) return false;

  // Parental management: its countries' tables inside it.
  if (const uint32_t ptl = c.U32(0xCC); ptl != 0) {
    if (!c.Table(ptl, "the parental table", &end)) return false;
    const uint64_t at = static_cast<uint64_t>(ptl) * kBlock;
    const uint64_t countries = c.U16(at);
    const uint64_t sets = c.U16(at + 2);
    if (countries == 0 || countries >= 100 || sets >= 100) return c.Fail("the parental table is out of range");
    if (!c.Inside(at + kTableHeader, countries * 8, "the parental table", end)) return false;
    for (uint64_t i = 0; i < countries; ++i)
      if (!c.Inside(at + c.U16(at + kTableHeader + i * 8 + 4), (sets + 1) * 16, "the parental table", end))
        return false;
  }

  // Title set attributes.
  const uint32_t atrt = c.U32(0xD0);
  if (!c.Table(atrt, "the title set attribute table", &end)) return false;
  const uint64_t at = static_cast<uint64_t>(atrt) * kBlock;
  const uint64_t sets = c.U16(at);
  if (sets == 0 || sets >= 100) return c.Fail("%llu title set attributes", static_cast<unsigned long long>(sets));
  if (!c.Inside(at + kTableHeader, sets * 4, "the title set attribute table", end)) return false;
  for (uint64_t i = 0; i < sets; ++i)
    if (!c.Inside(at + c.U32(at + kTableHeader + i * 4), kVtsAttributesMinSize, "title set attributes", end))
      return false;

  if (const uint32_t text = c.U32(0xD4);
      text != 0 && !c.Inside(static_cast<uint64_t>(text) * kBlock, kTextDataSize, "the text data"))
    return false;
  if (const uint32_t cadt = c.U32(0xD8); cadt != 0 && !c.CellAddresses(cadt, "the menu cell addresses")) return false;
  if (const uint32_t map = c.U32(0xDC); map != 0 && !c.AddressMap(map, "the menu address map")) return false;
  if (facts != nullptr) {
    facts->titleSets = titleSets;
    facts->titles = std::move(list);
  }
  return true;
}

bool CheckTitleSet(Checker& c, DvdIfoFacts* facts) {
  if (!c.Header("DVDVIDEO-VTS", "title set")) return false;
  if (c.U8(kVtsAudioStreams) > 8 || c.U8(kVtsSubpStreams) > 32 || c.U8(kMenuAudioStreams) > 1 ||
      c.U8(kMenuSubpStreams) > 1)
    return c.Fail("stream counts out of range");

  // Program chains first: the part-of-title table points into them.
  uint64_t end = 0;
  const uint32_t pgcitSector = c.U32(0xCC);
  if (!c.Table(pgcitSector, "the program chain table", &end)) return false;
  std::vector<int> programs;
  if (!c.Pgcit(static_cast<uint64_t>(pgcitSector) * kBlock, end, "the program chain table", &programs)) return false;

  const uint32_t pttSector = c.U32(0xC8);
  if (!c.Table(pttSector, "the part-of-title table", &end)) return false;
  const uint64_t ptt = static_cast<uint64_t>(pttSector) * kBlock;
  const uint64_t titles = c.U16(ptt);
  if (titles == 0 || titles >= 100)
    return c.Fail("%llu titles in the title set", static_cast<unsigned long long>(titles));
  const uint64_t offsets = kTableHeader + titles * 4;
  if (!c.Inside(ptt + kTableHeader, titles * 4, "the part-of-title table", end)) return false;
  for (uint64_t t = 0; t < titles; ++t) {
    const uint64_t start = c.U32(ptt + kTableHeader + t * 4);
    const uint64_t stop = t + 1 < titles ? c.U32(ptt + kTableHeader + (t + 1) * 4) : end - ptt;
    if (start < offsets || stop < start || stop > end - ptt || (stop - start) % 4 != 0)
      return c.Fail("title %llu of the part-of-title table is out of range", static_cast<unsigned long long>(t + 1));
    for (uint64_t e = ptt + start; e < ptt + stop; e += 4) {
      const int pgcn = c.U16(e);
      const int pgn = c.U16(e + 2);
      if (pgcn < 1 || pgcn > static_cast<int>(programs.size()) || pgn < 1 || pgn > programs[pgcn - 1])
        return c.Fail("a part of title %llu leads to no program", static_cast<unsigned long long>(t + 1));
    }
  }

  if (!c.PgciUt(c.U32(0xD0), "the menu table")) return false;
  if (const uint32_t tmapt = c.U32(0xD4); tmapt != 0) {
    if (!c.Table(tmapt, "the time map table", &end)) return false;
    const uint64_t at = static_cast<uint64_t>(tmapt) * kBlock;
    const uint64_t maps = c.U16(at);
    if (!c.Inside(at + kTableHeader, maps * 4, "the time map table", end)) return false;
    for (uint64_t i = 0; i < maps; ++i) {
      const uint64_t map = at + c.U32(at + kTableHeader + i * 4);
      if (!c.Inside(map, 4, "a time map", end) || !c.Inside(map + 4, c.U16(map + 2) * 4ull, "a time map", end))
        return false;
    }
  }
  if (const uint32_t cadt = c.U32(0xD8); cadt != 0 && !c.CellAddresses(cadt, "the menu cell addresses")) return false;
  if (const uint32_t map = c.U32(0xDC); map != 0 && !c.AddressMap(map, "the menu address map")) return false;
  if (!c.CellAddresses(c.U32(0xE0), "the cell address table") || !c.AddressMap(c.U32(0xE4), "the VOBU address map"))
    return false;
  if (facts != nullptr) facts->vtsTitles = static_cast<int>(titles);
  return true;
}

}  // namespace

std::string DvdCheckIfo(const uint8_t* data, size_t size, DvdIfoKind kind, DvdIfoFacts* facts) {
  if (data == nullptr) size = 0;
  Checker checker(data, size);
  const bool ok = kind == DvdIfoKind::kVideoManager ? CheckVideoManager(checker, facts) : CheckTitleSet(checker, facts);
  return ok ? std::string() : checker.problem();
}
