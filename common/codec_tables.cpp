#include "common/codec_tables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/program_folder.h"

namespace {

constexpr int32_t kGuidBytes = 16;

void GuidToBytes(const GUID& g, uint8_t out[kGuidBytes]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(g.Data1 >> (8 * i));
  out[4] = static_cast<uint8_t>(g.Data2);
  out[5] = static_cast<uint8_t>(g.Data2 >> 8);
  out[6] = static_cast<uint8_t>(g.Data3);
  out[7] = static_cast<uint8_t>(g.Data3 >> 8);
  std::memcpy(out + 8, g.Data4, 8);
}

GUID GuidFromBytes(const uint8_t in[kGuidBytes]) {
  GUID g{};
  g.Data1 = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
  g.Data2 = static_cast<uint16_t>(in[4] | in[5] << 8);
  g.Data3 = static_cast<uint16_t>(in[6] | in[7] << 8);
  std::memcpy(g.Data4, in + 8, 8);
  return g;
}

// A text into a fixed field of the given capacity; a longer text is cut to
// capacity - 1 characters. False when the stream is damaged.
bool ReadText(CDataStream& stream, char* field, int32_t capacity) {
  int32_t size = capacity;
  if (stream.ReadString(field, &size)) return true;
  if (size < 0) return false;
  std::vector<char> whole(static_cast<size_t>(size));
  int32_t again = size;
  if (!stream.ReadString(whole.data(), &again)) return false;
  std::memcpy(field, whole.data(), static_cast<size_t>(capacity - 1));
  field[capacity - 1] = '\0';
  return true;
}

void CopyText(char* field, const char* text, size_t capacity) {
  size_t n = std::min(std::strlen(text), capacity - 1);
  std::memcpy(field, text, n);
  field[n] = '\0';
}

}  // namespace

// ---- MuxerTable ----

MuxerTable::~MuxerTable() { Release(); }

void MuxerTable::Release() {
  for (MuxerEntry* e : entries_) delete e;
  entries_.clear();
}

void MuxerTable::Append(const MuxerRecord& record, const std::vector<int32_t>& codes) {
  auto* e = new MuxerEntry{record, codes};
  e->record.codecCount = static_cast<int32_t>(codes.size());
  e->record.reserved = 0;
  entries_.push_back(e);
}

const MuxerEntry* MuxerTable::FindByCode(int32_t code) const {
  for (const MuxerEntry* e : entries_) {
    if (e->record.code == code) return e;
  }
  return nullptr;
}

void MuxerTable::Write(CDataStream& stream) {
  stream.WriteInt32(static_cast<int32_t>(entries_.size()));
  for (MuxerEntry* e : entries_) {
    MuxerRecord rec = e->record;
    rec.codecCount = static_cast<int32_t>(e->codes.size());
    rec.reserved = 0;
    stream.WriteBlob(&rec, sizeof(rec));
    for (int32_t code : e->codes) stream.WriteInt32(code);
  }
}

void MuxerTable::Read(CDataStream& stream) {
  int32_t count = stream.ReadInt32();
  for (int32_t i = 0; i < count; ++i) {
    MuxerRecord rec{};
    int32_t size = sizeof(rec);
    if (!stream.ReadBlob(&rec, &size) || size != static_cast<int32_t>(sizeof(rec))) break;
    int32_t codes = rec.codecCount;
    if (codes < 0 || codes > stream.BytesLeft() / 4) break;
    std::vector<int32_t> list(static_cast<size_t>(codes));
    for (int32_t& c : list) c = stream.ReadInt32();
    Append(rec, list);
  }
}

// ---- VfccTable ----

VfccTable::~VfccTable() { Release(); }

void VfccTable::Release() {
  for (VfccEntry* e : entries_) delete e;
  entries_.clear();
}

void VfccTable::Link(VfccEntry& entry) const {
  entry.muxers.clear();
  if (!muxers_) return;
  for (const MuxerEntry* m : muxers_->Entries()) {
    if (entry.muxers.size() >= kMaxMuxersPerCodec) break;
    if (std::find(m->codes.begin(), m->codes.end(), entry.code) != m->codes.end()) {
      entry.muxers.push_back(m);
    }
  }
}

void VfccTable::Relink() {
  for (VfccEntry* e : entries_) Link(*e);
}

void VfccTable::Append(const VfccEntry& entry) {
  auto* e = new VfccEntry(entry);
  e->name[kVfccNameCapacity - 1] = '\0';
  e->displayName[kVfccDisplayCapacity - 1] = '\0';
  e->text[kVfccTextCapacity - 1] = '\0';
  Link(*e);
  entries_.push_back(e);
}

void VfccTable::Write(CDataStream& stream) {
  stream.WriteInt32(static_cast<int32_t>(entries_.size()));
  for (VfccEntry* e : entries_) {
    stream.WriteInt32(e->code);
    stream.WriteString(e->name);
    stream.WriteString(e->displayName);
    stream.WriteString(e->text);
    stream.WriteInt32(static_cast<int32_t>(e->fourccs.size()));
    stream.WriteInt32(static_cast<int32_t>(e->guids.size()));
    for (uint32_t f : e->fourccs) stream.WriteInt32(static_cast<int32_t>(f));
    for (const GUID& g : e->guids) {
      uint8_t bytes[kGuidBytes];
      GuidToBytes(g, bytes);
      stream.WriteBlob(bytes, kGuidBytes);
    }
  }
}

void VfccTable::Read(CDataStream& stream) {
  int32_t count = stream.ReadInt32();
  for (int32_t i = 0; i < count; ++i) {
    if (stream.BytesLeft() < 4) break;
    VfccEntry e;
    e.code = stream.ReadInt32();
    if (!ReadText(stream, e.name, kVfccNameCapacity) || !ReadText(stream, e.displayName, kVfccDisplayCapacity) ||
        !ReadText(stream, e.text, kVfccTextCapacity)) {
      break;
    }
    if (stream.BytesLeft() < 8) break;
    int32_t fourccs = stream.ReadInt32();
    int32_t guids = stream.ReadInt32();
    // Each FOURCC takes 4 bytes, each GUID blob 20: refuse counts the data cannot hold.
    if (fourccs < 0 || guids < 0 || fourccs > stream.BytesLeft() / 4 ||
        guids > (stream.BytesLeft() - 4 * fourccs) / (4 + kGuidBytes)) {
      break;
    }
    e.fourccs.resize(static_cast<size_t>(fourccs));
    for (uint32_t& f : e.fourccs) f = static_cast<uint32_t>(stream.ReadInt32());
    bool ok = true;
    for (int32_t g = 0; g < guids; ++g) {
      uint8_t bytes[kGuidBytes];
      int32_t size = kGuidBytes;
      if (!stream.ReadBlob(bytes, &size) || size != kGuidBytes) {
        ok = false;
        break;
      }
      e.guids.push_back(GuidFromBytes(bytes));
    }
    if (!ok) break;
    Append(e);
  }
}

const VfccEntry* VfccTable::FindByCode(int32_t code) const {
  for (const VfccEntry* e : entries_) {
    if (e->code == code) return e;
  }
  return nullptr;
}

int32_t VfccTable::CodeByGuid(const GUID& guid) const {
  for (const VfccEntry* e : entries_) {
    for (const GUID& g : e->guids) {
      if (g == guid) return e->code;
    }
  }
  return 0;
}

uint32_t VfccTable::FourccByCode(int32_t code) const {
  const VfccEntry* e = FindByCode(code);
  return e && !e->fourccs.empty() ? e->fourccs.front() : 0;
}

void VfccTable::GuidByCode(int32_t code, GUID* out) const {
  const VfccEntry* e = FindByCode(code);
  *out = e && !e->guids.empty() ? e->guids.front() : GUID_NULL;
}

int32_t VfccTable::GuidCount(int32_t code) const {
  const VfccEntry* e = FindByCode(code);
  return e ? static_cast<int32_t>(e->guids.size()) : 0;
}

bool VfccTable::GuidsByCode(int32_t code, GUID* out) const {
  const VfccEntry* e = FindByCode(code);
  if (!e) return false;
  std::copy(e->guids.begin(), e->guids.end(), out);
  return true;
}

bool VfccTable::GetDisplayName(int32_t code, char* buffer, int capacity) const {
  const VfccEntry* e = FindByCode(code);
  if (!e || capacity <= 0) return false;
  CopyText(buffer, e->displayName, static_cast<size_t>(capacity));
  return true;
}

// ---- process-wide tables ----

const std::string& ModulePath() {
  static const std::string path = ProgramFolder();
  return path;
}

MuxerTable& TheMuxerTable() {
  static MuxerTable table;
  return table;
}

VfccTable& TheVfccTable() {
  static VfccTable table(&TheMuxerTable());
  return table;
}

bool LoadMuxerTable(const std::string& folder) {
  TheMuxerTable().Release();
  const bool result = LoadDataFile(TheMuxerTable(), folder + "/muxer.dat");
  TheVfccTable().Relink();  // old links pointed into the freed entries
  return result;
}

bool LoadVfccTable(const std::string& folder) {
  TheVfccTable().Release();
  return LoadDataFile(TheVfccTable(), folder + "/vfcc.dat");
}

bool LoadCodecTables(const std::string& folder) {
  const bool muxers = LoadMuxerTable(folder);
  const bool codecs = LoadVfccTable(folder);
  return muxers && codecs;
}

void FreeCodecTables() {
  TheVfccTable().Release();
  TheMuxerTable().Release();
}

uint32_t GuidToFourcc(const GUID& guid) {
  if (IsFourccGuid(guid)) return guid.Data1;
  const VfccTable& table = TheVfccTable();
  int32_t code = table.CodeByGuid(guid);
  return code ? table.FourccByCode(code) : 0;
}

void FormatGuid(const GUID& g, char* buffer) {
  std::snprintf(buffer, 37, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3, g.Data4[0],
                g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}
