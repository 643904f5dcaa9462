#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "platform/media_types.h"

namespace {

constexpr int32_t Code(const char (&s)[5]) { return static_cast<int32_t>(MakeFourcc(s[0], s[1], s[2], s[3])); }

std::vector<uint8_t> Serialise(IDataRecord& record) {
  CDataSizer sizer;
  record.Write(sizer);
  std::vector<uint8_t> bytes(static_cast<size_t>(sizer.GetSize()));
  CDataWriter w;
  w.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  record.Write(w);
  EXPECT_EQ(w.GetWritePos(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

void Deserialise(IDataRecord& record, std::vector<uint8_t> bytes) {
  CDataWriter r;
  r.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  record.Read(r);
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

MuxerRecord Record(const char (&code)[5]) {
  MuxerRecord r{};
  r.code = Code(code);
  for (size_t i = 0; i < sizeof(r.description); ++i) r.description[i] = static_cast<uint8_t>(i * 7);
  return r;
}

VfccEntry Entry(const char (&code)[5], std::vector<uint32_t> fourccs, std::vector<GUID> guids) {
  VfccEntry e;
  e.code = Code(code);
  std::snprintf(e.name, sizeof(e.name), "name-%s", code);
  std::snprintf(e.displayName, sizeof(e.displayName), "Display %s", code);
  std::snprintf(e.text, sizeof(e.text), "text of %s", code);
  e.fourccs = std::move(fourccs);
  e.guids = std::move(guids);
  return e;
}

const GUID kOddGuid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

struct SmallTables {
  MuxerTable muxers;
  VfccTable codecs{&muxers};
  SmallTables() {
    muxers.Append(Record("MUXA"), {Code("AAAA"), Code("BBBB")});
    muxers.Append(Record("MUXB"), {Code("BBBB")});
    muxers.Append(Record("MUXC"), {Code("BBBB"), Code("AAAA"), Code("BBBB")});
    codecs.Append(Entry("AAAA", {MakeFourcc('a', '1', '_', '_'), 7}, {kOddGuid, FourccGuid(0x55)}));
    codecs.Append(Entry("BBBB", {}, {}));
    codecs.Append(Entry("CCCC", {9}, {FourccGuid(0x55)}));  // GUID shadowed by AAAA
    codecs.Append(Entry("AAAA", {1}, {FourccGuid(1)}));     // never consulted
  }
};

TEST(CodecTables, RoundTripKeepsEveryField) {
  SmallTables t;
  std::vector<uint8_t> mbytes = Serialise(t.muxers);
  std::vector<uint8_t> vbytes = Serialise(t.codecs);
  MuxerTable muxers;
  VfccTable codecs(&muxers);
  Deserialise(muxers, mbytes);
  Deserialise(codecs, vbytes);
  ASSERT_EQ(muxers.Entries().size(), 3u);
  ASSERT_EQ(codecs.Entries().size(), 4u);
  for (size_t i = 0; i < 3; ++i) {
    const MuxerEntry& a = *t.muxers.Entries()[i];
    const MuxerEntry& b = *muxers.Entries()[i];
    EXPECT_EQ(a.record.code, b.record.code);
    EXPECT_EQ(std::memcmp(a.record.description, b.record.description, 340), 0);
    EXPECT_EQ(a.codes, b.codes);
    EXPECT_EQ(b.record.codecCount, static_cast<int32_t>(b.codes.size()));
  }
  for (size_t i = 0; i < 4; ++i) {
    const VfccEntry& a = *t.codecs.Entries()[i];
    const VfccEntry& b = *codecs.Entries()[i];
    EXPECT_EQ(a.code, b.code);
    EXPECT_STREQ(a.name, b.name);
    EXPECT_STREQ(a.displayName, b.displayName);
    EXPECT_STREQ(a.text, b.text);
    EXPECT_EQ(a.fourccs, b.fourccs);
    EXPECT_EQ(a.guids, b.guids);
  }
  // Writing again gives the same bytes.
  EXPECT_EQ(Serialise(muxers), mbytes);
  EXPECT_EQ(Serialise(codecs), vbytes);
  // The ignored word is written as 0 (offset: count 4 + blob length 4 + 348).
  EXPECT_EQ(mbytes[4 + 4 + 348], 0);
}

TEST(CodecTables, LinksMuxersInTableOrderOnce) {
  SmallTables t;
  auto names = [](const VfccEntry* e) {
    std::vector<int32_t> codes;
    for (const MuxerEntry* m : e->muxers) codes.push_back(m->record.code);
    return codes;
  };
  EXPECT_EQ(names(t.codecs.Entries()[0]), (std::vector<int32_t>{Code("MUXA"), Code("MUXC")}));
  EXPECT_EQ(names(t.codecs.Entries()[1]), (std::vector<int32_t>{Code("MUXA"), Code("MUXB"), Code("MUXC")}));
  EXPECT_TRUE(t.codecs.Entries()[2]->muxers.empty());  // listed by no muxer
}

TEST(CodecTables, AtMost64MuxersPerCodec) {
  MuxerTable muxers;
  for (int i = 0; i < 70; ++i) {
    MuxerRecord r{};
    r.code = 1000 + i;
    muxers.Append(r, {Code("AAAA")});
  }
  VfccTable codecs(&muxers);
  codecs.Append(Entry("AAAA", {}, {}));
  const auto& linked = codecs.Entries()[0]->muxers;
  ASSERT_EQ(linked.size(), 64u);
  EXPECT_EQ(linked.front()->record.code, 1000);
  EXPECT_EQ(linked.back()->record.code, 1063);
}

TEST(CodecTables, LookupsTakeFirstEntry) {
  SmallTables t;
  const VfccTable& v = t.codecs;
  EXPECT_EQ(v.CodeByGuid(kOddGuid), Code("AAAA"));
  EXPECT_EQ(v.CodeByGuid(FourccGuid(0x55)), Code("AAAA"));
  EXPECT_EQ(v.CodeByGuid(FourccGuid(1)), Code("AAAA"));  // only the 4th entry lists it
  EXPECT_EQ(v.CodeByGuid(GUID_NULL), 0);
  EXPECT_EQ(v.FourccByCode(Code("AAAA")), MakeFourcc('a', '1', '_', '_'));
  EXPECT_EQ(v.FourccByCode(Code("BBBB")), 0u);  // no FOURCC listed
  EXPECT_EQ(v.FourccByCode(Code("ZZZZ")), 0u);
  GUID g = kOddGuid;
  v.GuidByCode(Code("BBBB"), &g);
  EXPECT_EQ(g, GUID_NULL);
  v.GuidByCode(Code("AAAA"), &g);
  EXPECT_EQ(g, kOddGuid);
  EXPECT_EQ(v.GuidCount(Code("AAAA")), 2);
  EXPECT_EQ(v.GuidCount(Code("ZZZZ")), 0);
  GUID all[2];
  EXPECT_TRUE(v.GuidsByCode(Code("AAAA"), all));
  EXPECT_EQ(all[1], FourccGuid(0x55));
  EXPECT_FALSE(v.GuidsByCode(Code("ZZZZ"), all));
  char name[8] = "xxxxxxx";
  EXPECT_FALSE(v.GetDisplayName(Code("ZZZZ"), name, sizeof(name)));
  EXPECT_STREQ(name, "xxxxxxx");
  EXPECT_TRUE(v.GetDisplayName(Code("AAAA"), name, sizeof(name)));
  EXPECT_STREQ(name, "Display");  // capacity - 1 characters
}

TEST(CodecTables, EmptyAndNegativeCounts) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    uint8_t bytes[4];
    std::memcpy(bytes, &count, 4);
    MuxerTable m;
    VfccTable v(&m);
    Deserialise(m, {bytes, bytes + 4});
    Deserialise(v, {bytes, bytes + 4});
    EXPECT_TRUE(m.Entries().empty());
    EXPECT_TRUE(v.Entries().empty());
  }
}

TEST(CodecTables, LongTextsAreCutToTheirFields) {
  std::vector<uint8_t> bytes;
  auto put32 = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto putStr = [&](const std::string& s) {
    put32(static_cast<int32_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  };
  put32(2);
  for (int i = 0; i < 2; ++i) {
    put32(Code("LONG") + i);
    putStr(std::string(100, 'n'));
    putStr(std::string(63, 'd'));
    putStr(std::string(300, 't'));
    put32(1);
    put32(0);
    put32(42);
  }
  VfccTable v;
  Deserialise(v, bytes);
  ASSERT_EQ(v.Entries().size(), 2u);  // the cut does not disturb what follows
  for (const VfccEntry* e : v.Entries()) {
    EXPECT_EQ(std::string(e->name), std::string(63, 'n'));
    EXPECT_EQ(std::string(e->displayName), std::string(63, 'd'));
    EXPECT_EQ(std::string(e->text), std::string(254, 't'));
    EXPECT_EQ(e->fourccs, std::vector<uint32_t>{42});
  }
}

TEST(CodecTables, HostileDataGivesPartialTables) {
  SmallTables t;
  std::vector<uint8_t> m = Serialise(t.muxers);
  std::vector<uint8_t> v = Serialise(t.codecs);
  // Every cut of the files: no crash, never more entries than the whole file, and
  // whole entries before the cut survive.
  size_t lastM = 0, lastV = 0;
  for (size_t n = 0; n <= m.size(); ++n) {
    MuxerTable mt;
    Deserialise(mt, {m.begin(), m.begin() + static_cast<long>(n)});
    EXPECT_LE(mt.Entries().size(), 3u);
    EXPECT_GE(mt.Entries().size(), lastM);
    lastM = mt.Entries().size();
  }
  EXPECT_EQ(lastM, 3u);
  for (size_t n = 0; n <= v.size(); ++n) {
    VfccTable vt;
    Deserialise(vt, {v.begin(), v.begin() + static_cast<long>(n)});
    EXPECT_LE(vt.Entries().size(), 4u);
    EXPECT_GE(vt.Entries().size(), lastV);
    lastV = vt.Entries().size();
  }
  EXPECT_EQ(lastV, 4u);

  // Huge counts inside an entry stop the read after the good entries.
  struct Patch {
    std::vector<uint8_t>* bytes;
    size_t offset;
    int32_t value;
    size_t expect;
  };
  size_t secondMuxer = 4 + 4 + 352 + 4 * 2;  // count, first record and its two codes
  size_t secondCodec = 4;
  {
    const VfccEntry& e = *t.codecs.Entries()[0];
    secondCodec += 4 + 3 * 4 + std::strlen(e.name) + std::strlen(e.displayName) + std::strlen(e.text) + 8 +
                   4 * e.fourccs.size() + 20 * e.guids.size();
  }
  size_t secondF = secondCodec + 4 + 3 * 4 + std::strlen(t.codecs.Entries()[1]->name) +
                   std::strlen(t.codecs.Entries()[1]->displayName) + std::strlen(t.codecs.Entries()[1]->text);
  std::vector<Patch> patches = {
      {&m, 0, 1000000, 3},                         // more entries than data
      {&m, secondMuxer + 4 + 344, 0x7FFFFFFF, 1},  // code count of the second record
      {&m, secondMuxer + 4 + 344, -5, 1},
      {&m, secondMuxer, 351, 1},  // record blob of the wrong size
      {&m, secondMuxer, -1, 1},
      {&v, 0, 0x40000000, 4},
      {&v, secondF, 0x7FFFFFFF, 1},      // FOURCC count
      {&v, secondF + 4, 0x20000000, 1},  // GUID count
      {&v, secondF + 4, -1, 1},
      {&v, secondCodec + 4, 0x7FFFFFF0, 1},  // name length
  };
  for (const Patch& p : patches) {
    std::vector<uint8_t> bytes = *p.bytes;
    std::memcpy(bytes.data() + p.offset, &p.value, 4);
    if (p.bytes == &m) {
      MuxerTable mt;
      Deserialise(mt, bytes);
      EXPECT_EQ(mt.Entries().size(), p.expect) << "muxer patch at " << p.offset;
    } else {
      VfccTable vt;
      Deserialise(vt, bytes);
      EXPECT_EQ(vt.Entries().size(), p.expect) << "codec patch at " << p.offset;
    }
  }

  // Random damage: only the absence of crashes and of runaway tables is checked.
  std::mt19937 rng(1234);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes = (round & 1) ? m : v;
    int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    MuxerTable mt;
    VfccTable vt(&mt);
    Deserialise(mt, bytes);
    Deserialise(vt, bytes);
    EXPECT_LE(mt.Entries().size(), bytes.size() / 356 + 1);
    EXPECT_LE(vt.Entries().size(), bytes.size() / 24 + 1);
  }
}

TEST(CodecTables, GuidToFourccAndFormatGuid) {
  FreeCodecTables();
  // The FOURCC form answers without a table.
  GUID yv12 = {0x32315659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  EXPECT_EQ(GuidToFourcc(yv12), MakeFourcc('Y', 'V', '1', '2'));
  EXPECT_EQ(GuidToFourcc(MEDIASUBTYPE_RGB24), 0u);
  char text[37];
  FormatGuid(MEDIATYPE_Video, text);
  EXPECT_STREQ(text, "73646976-0000-0010-8000-00AA00389B71");
  FormatGuid(kOddGuid, text);
  EXPECT_STREQ(text, "12345678-9ABC-DEF0-0102-030405060708");
}

TEST(CodecTables, MissingFilesLeaveTablesEmpty) {
  std::string empty = std::string(TRIVOX_BINARY_DIR) + "/fixtures/tables-missing";
  std::remove((empty + "/vfcc.dat").c_str());
  EXPECT_EQ(LoadMuxerTable(empty), 0);
  EXPECT_EQ(LoadVfccTable(empty), 0);
  EXPECT_TRUE(TheMuxerTable().Entries().empty());
  EXPECT_TRUE(TheVfccTable().Entries().empty());
  EXPECT_EQ(TheVfccTable().CodeByGuid(MEDIASUBTYPE_MPEG2_VIDEO), 0);
}

TEST(CodecTables, StagedFilesLoadAndRoundTrip) {
  std::string stage = TRIVOX_STAGE_DIR;
  ASSERT_TRUE(LoadCodecTables(stage));
  MuxerTable& m = TheMuxerTable();
  VfccTable& v = TheVfccTable();
  ASSERT_GT(m.Entries().size(), 20u);
  ASSERT_GT(v.Entries().size(), 70u);
  EXPECT_EQ(Serialise(m), FileBytes(stage + "/muxer.dat"));
  EXPECT_EQ(Serialise(v), FileBytes(stage + "/vfcc.dat"));

  // Every codec a muxer lists is known, and links back to that muxer.
  for (const MuxerEntry* mux : m.Entries()) {
    EXPECT_NE(mux->Description().ffmpegName[0], '\0');
    for (int32_t code : mux->codes) {
      const VfccEntry* e = v.FindByCode(code);
      ASSERT_NE(e, nullptr) << code;
      EXPECT_NE(std::find(e->muxers.begin(), e->muxers.end(), mux), e->muxers.end());
    }
  }
  // Every code has a subtype, and its subtypes lead back to it.
  for (const VfccEntry* e : v.Entries()) {
    ASSERT_FALSE(e->guids.empty()) << e->name;
    EXPECT_EQ(v.CodeByGuid(e->guids.front()), e->code) << e->name;
  }
  EXPECT_EQ(v.CodeByGuid(MEDIASUBTYPE_MPEG2_VIDEO), Code("MPG2"));
  EXPECT_EQ(GuidToFourcc(MEDIASUBTYPE_MPEG2_VIDEO), MakeFourcc('m', 'p', 'g', '2'));
  EXPECT_EQ(v.CodeByGuid(MEDIASUBTYPE_PCM), Code("PCMA"));
  EXPECT_EQ(v.CodeByGuid(MEDIASUBTYPE_YV12), Code("YV12"));
  EXPECT_EQ(v.CodeByGuid(MEDIASUBTYPE_RGB565), Code("RG56"));
  EXPECT_EQ(v.CodeByGuid(FourccGuid(MakeFourcc('X', 'V', 'I', 'D'))), Code("MP4V"));
  char name[64];
  ASSERT_TRUE(v.GetDisplayName(Code("MP3A"), name, sizeof(name)));
  EXPECT_STREQ(name, "MP3");
  FreeCodecTables();
}

}  // namespace
