// The codec table ("vfcc.dat") and the muxer table ("muxer.dat"): the codecs
// and container writers the system knows, loaded once at start-up.
// Results: bool, true when found or loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/data_stream.h"
#include "platform/guid.h"

// One muxer record as stored: 352 bytes.
struct MuxerRecord {
  int32_t code;
  uint8_t description[340];  // kept as loaded; see MuxerDescription for our layout
  int32_t codecCount;
  int32_t reserved;  // ignored on reading, written as 0
};
static_assert(sizeof(MuxerRecord) == 352);

// How our data files fill the 340-byte description block.
struct MuxerDescription {
  char ffmpegName[64];  // FFmpeg muxer short name, empty when not an FFmpeg muxer
  char extension[32];   // default file extension
  char text[244];       // display text
};
static_assert(sizeof(MuxerDescription) == 340);

struct MuxerEntry {
  MuxerRecord record;
  std::vector<int32_t> codes;  // the codec codes the muxer accepts
  const MuxerDescription& Description() const { return *reinterpret_cast<const MuxerDescription*>(record.description); }
};

class MuxerTable final : public IDataRecord {
 public:
  MuxerTable() = default;
  ~MuxerTable();
  MuxerTable(const MuxerTable&) = delete;
  MuxerTable& operator=(const MuxerTable&) = delete;

  void Write(CDataStream& stream) override;
  // Appends the file's entries; a damaged entry ends the read (earlier ones stay).
  void Read(CDataStream& stream) override;

  void Release();  // frees every entry
  void Append(const MuxerRecord& record, const std::vector<int32_t>& codes);
  const std::vector<MuxerEntry*>& Entries() const { return entries_; }
  const MuxerEntry* FindByCode(int32_t code) const;

 private:
  std::vector<MuxerEntry*> entries_;
};

constexpr int kVfccNameCapacity = 64;
constexpr int kVfccDisplayCapacity = 64;
constexpr int kVfccTextCapacity = 255;
constexpr size_t kMaxMuxersPerCodec = 64;

struct VfccEntry {
  int32_t code = 0;
  char name[kVfccNameCapacity] = {};
  char displayName[kVfccDisplayCapacity] = {};
  char text[kVfccTextCapacity] = {};
  std::vector<uint32_t> fourccs;          // preferred first
  std::vector<GUID> guids;                // DirectShow subtypes, preferred first
  std::vector<const MuxerEntry*> muxers;  // linked at load, at most kMaxMuxersPerCodec
};

class VfccTable final : public IDataRecord {
 public:
  // muxers: the table each entry is linked to when read (may be null).
  explicit VfccTable(const MuxerTable* muxers = nullptr) : muxers_(muxers) {}
  ~VfccTable();
  VfccTable(const VfccTable&) = delete;
  VfccTable& operator=(const VfccTable&) = delete;

  void Write(CDataStream& stream) override;
  // Appends the file's entries; a damaged entry ends the read (earlier ones stay).
  void Read(CDataStream& stream) override;

  void Release();
  // Links every entry again (after the muxer table changed).
  void Relink();
  // Appends a copy (texts cut to their capacities) and links it to the muxers.
  void Append(const VfccEntry& entry);
  const std::vector<VfccEntry*>& Entries() const { return entries_; }

  // Lookups; the first entry with a code wins.
  int32_t CodeByGuid(const GUID& guid) const;
  uint32_t FourccByCode(int32_t code) const;
  void GuidByCode(int32_t code, GUID* out) const;
  int32_t GuidCount(int32_t code) const;
  bool GuidsByCode(int32_t code, GUID* out) const;
  // true with the display name (at most capacity - 1 characters); false, buffer untouched.
  bool GetDisplayName(int32_t code, char* buffer, int capacity) const;
  const VfccEntry* FindByCode(int32_t code) const;

 private:
  void Link(VfccEntry& entry) const;

  const MuxerTable* muxers_;
  std::vector<VfccEntry*> entries_;
};

// Folder of the running program, computed once.
const std::string& ModulePath();

// The process-wide tables (empty until loaded; never null).
MuxerTable& TheMuxerTable();
VfccTable& TheVfccTable();

// Load "muxer.dat" / "vfcc.dat" from folder (default: ModulePath()) into the
// process-wide tables, replacing what they held. Result of LoadDataFile: false
// when the file is missing or unreadable (the table is then empty).
bool LoadMuxerTable(const std::string& folder = ModulePath());
bool LoadVfccTable(const std::string& folder = ModulePath());
// Both, muxer table first; true when both files were read.
bool LoadCodecTables(const std::string& folder = ModulePath());
void FreeCodecTables();

// The FOURCC of a subtype: Data1 of a FOURCC-form GUID, else the preferred
// FOURCC of the codec the table finds for it, else 0.
uint32_t GuidToFourcc(const GUID& guid);

// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X" into buffer (at least 37 bytes).
void FormatGuid(const GUID& guid, char* buffer);
