// The profile ini cache and the packed store: the store answers what the loose
// files answer, the cache's lookup rules, and damaged stores.
#include "frontend/model/profile_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frontend/model/ini_file.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/whole_file.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

void PutInt(std::string& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
void PutRecord(std::string& out, int32_t kind, const std::string& text) {
  PutInt(out, kind);
  PutInt(out, static_cast<int32_t>(text.size()));
  out += text;
}
// file / section / key / value records of one answer.
std::string Answer(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
  std::string out;
  PutRecord(out, kStoreFile, file);
  PutRecord(out, kStoreSection, section);
  PutRecord(out, kStoreKey, key);
  PutRecord(out, kStoreValue, value);
  return out;
}

std::string Read(const std::string& path, const char* section, const char* key, const char* def = "<def>") {
  char buffer[2048];
  CachedGetProfileString(section, key, def, buffer, sizeof(buffer), path.c_str());
  return buffer;
}

std::string ReadLoose(const std::string& path, const char* section, const char* key, const char* def = "<def>") {
  char buffer[2048];
  IniGetString(section, key, def, buffer, sizeof(buffer), path.c_str());
  return buffer;
}

// Every record the database reads, as text, so two folders can be compared whole.
std::string DumpDatabase() {
  std::string out;
  const auto options = [&](const std::vector<OptionDesc>& list) {
    for (const OptionDesc& o : list) {
      out += "  option " + o.name + "|" + o.displayName + "|" + std::to_string(o.type) + "|" + o.valueText + "|" +
             std::to_string(o.values.size()) + "|" + std::to_string(o.enable) + std::to_string(o.editable) + "|" +
             std::to_string(o.minInt) + ".." + std::to_string(o.maxInt) + "|" + std::to_string(o.minDouble) + ".." +
             std::to_string(o.maxDouble) + "|" + o.unit + "|" + std::to_string(o.div) + std::to_string(o.visible) +
             "|" + o.defaultValue + "|" + std::to_string(o.param);
      for (const WordEntry& w : o.words) out += "|" + w.value + "/" + w.word;
      out += "\n";
    }
  };
  const auto codec = [&](const CodecDesc& c) {
    out += " codec " + c.name + "|" + c.shortName + "|" + c.displayName + "|" + c.encoder + "|" +
           std::to_string(c.enableAdv) + "|" + c.vcc + "\n";
    options(c.options);
    for (const std::string& l : c.limits) out += "  limit " + l + "\n";
  };
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  for (const ProfileNode& n : nodes) {
    out += "node " + std::string(1, n.kind) + "|" + n.displayName + "|" + n.folder + "|" + std::to_string(n.number) +
           "|" + std::to_string(n.parentId) + "|" + n.infoText + "\n";
    std::vector<OutputProfile> profiles;
    EnumNodeProfiles(n.folder, profiles);
    for (const OutputProfile& p : profiles) {
      out += " profile " + std::to_string(p.number) + "|" + p.displayName + "|" + p.muxer + "|" + p.audioCodec + "|" +
             p.videoCodec + "|" + p.ext + "|" + p.desc + "|" + std::to_string(p.quality) + "|" + p.audioOptions + "|" +
             p.videoOptions + "|" + p.muxerOptions + "|" + std::to_string(p.parentId) + "\n";
      MuxerDesc m;
      const int n = LoadMuxerDesc(p.muxer, m);
      out += " muxer " + m.name + "|" + m.displayName + "|" + m.vcc + "|" + m.muxer + "|" + std::to_string(n) + "\n";
      for (uint32_t code : m.codes) out += "  code " + std::to_string(code) + "\n";
      options(m.options);
      for (const CodecDesc& c : m.audioCodecs) codec(c);
      for (const CodecDesc& c : m.videoCodecs) codec(c);
    }
  }
  for (int audio : {0, 1}) {
    std::vector<FilterDesc> filters;
    LoadFilterDescs(audio, filters);
    for (const FilterDesc& f : filters) {
      out += "filter " + f.name + "|" + f.displayName + "|" + f.tip + "|" + std::to_string(f.enableAdv) +
             std::to_string(f.changeSize) + std::to_string(f.changeFps) + "|" + f.option + "\n";
      options(f.options);
    }
  }
  return out;
}

class ProfileStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    TheProfileIniCache().Free();
    SetProfileFolders(ProfileFolders{});
  }
  TempDir dir_;
};

TEST_F(ProfileStoreTest, StoreAnswersExactlyWhatTheLooseTreeAnswers) {
  const std::string loose = dir_.File("loose"), packed = dir_.File("packed"), store = dir_.File("formats.dat");
  CopyStagedProfiles(loose);
  // Reading oddities the packer must carry over: quotes, a key without '=', a
  // repeated key and section, a comment, LF lines.
  ASSERT_TRUE(WriteWholeFile(loose + "/acodec/odd.ini",
                             "[CONFIG]\nSHORTNAME=\"quoted\"\nNOVALUE\nDSPNAME=first\nDSPNAME=second\n;ENCODER=x\n"
                             "[config]\nENCODER=hidden\n[LIMIT]\nNUM=1\nL1=\"\"A\"=1\"\n"));
  const std::vector<std::string> files = ListProfileStoreFiles(loose);
  ASSERT_GT(files.size(), 40u);
  std::string error;
  ASSERT_TRUE(WriteProfileStore(loose, files, store, &error)) << error;

  // The packed copy keeps the names but not the contents: every answer must come from the store.
  for (const std::string& f : files) ASSERT_TRUE(WriteWholeFile(packed + "/" + f, "", true));
  ASSERT_EQ(1, TheProfileIniCache().Load(packed.c_str(), store.c_str()));
  EXPECT_EQ(files.size(), TheProfileIniCache().FileCount());

  size_t compared = 0;
  for (const std::string& f : files) {
    IniDocument doc;
    ASSERT_TRUE(doc.LoadFile(loose + "/" + f));
    std::vector<std::string> sections = doc.SectionNames();
    sections.push_back("NOSUCHSECTION");
    for (const std::string& s : sections) {
      std::vector<std::string> keys = doc.KeyNames(s);
      keys.push_back("NOSUCHKEY");
      for (const std::string& k : keys) {
        SCOPED_TRACE(f + " [" + s + "] " + k);
        EXPECT_EQ(ReadLoose(loose + "/" + f, s.c_str(), k.c_str()), Read(packed + "/" + f, s.c_str(), k.c_str()));
        EXPECT_EQ(IniGetInt(s.c_str(), k.c_str(), 77, (loose + "/" + f).c_str()),
                  CachedGetProfileInt(s.c_str(), k.c_str(), 77, (packed + "/" + f).c_str()));
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 500u);
  EXPECT_EQ("quoted", Read(packed + "/acodec/odd.ini", "CONFIG", "SHORTNAME"));
  EXPECT_EQ("<def>", Read(packed + "/acodec/odd.ini", "CONFIG", "NOVALUE"));
  EXPECT_EQ("first", Read(packed + "/acodec/odd.ini", "CONFIG", "DSPNAME"));
  EXPECT_EQ("<def>", Read(packed + "/acodec/odd.ini", "CONFIG", "ENCODER"));

  // The whole database read through the store equals the one read from the loose files.
  SetProfileFolders(ProfileFolders{packed, ""});
  const std::string fromStore = DumpDatabase();
  TheProfileIniCache().Free();
  SetProfileFolders(ProfileFolders{loose, ""});
  const std::string fromFiles = DumpDatabase();
  EXPECT_GT(fromFiles.size(), 10000u);
  EXPECT_EQ(fromFiles, fromStore);
}

TEST_F(ProfileStoreTest, LookupRules) {
  const std::string program = dir_.File("prog"), store = dir_.File("formats.dat");
  std::string bytes = Answer("tree/V_1_X/info.ini", "CONFIG", "DSPNAME", "from store") +
                      Answer("tree/V_1_X/info.ini", "CONFIG", "PARENTID", "5") +
                      Answer("tree/V_1_X/info.ini", "CONFIG", "EMPTY", "");
  ASSERT_TRUE(WriteWholeFile(store, bytes));
  ASSERT_TRUE(
      WriteWholeFile(program + "/tree/V_1_X/info.ini", "[CONFIG]\r\nDSPNAME=disk\r\nINFOTXT=on disk\r\n", true));
  ASSERT_TRUE(WriteWholeFile(program + "/tree/V_2_Y/info.ini", "[CONFIG]\r\nDSPNAME=unlisted\r\n", true));
  ASSERT_TRUE(WriteWholeFile(program + "2/tree/V_1_X/info.ini", "[CONFIG]\r\nDSPNAME=sibling\r\n", true));
  ASSERT_TRUE(WriteWholeFile(dir_.File("other/tree/V_1_X/info.ini"), "[CONFIG]\r\nDSPNAME=elsewhere\r\n", true));
  ASSERT_EQ(1, TheProfileIniCache().Load((program + "/").c_str(), store.c_str()));
  const std::string listed = program + "/tree/V_1_X/info.ini";

  EXPECT_EQ("from store", Read(listed, "CONFIG", "DSPNAME"));
  // The store is final for a file it lists: a key it lacks gives the default, even if the file has it.
  EXPECT_EQ("<def>", Read(listed, "CONFIG", "INFOTXT"));
  EXPECT_EQ(-1, CachedGetProfileInt("CONFIG", "INFOTXT", -1, listed.c_str()));
  // Names without case, in the path too.
  EXPECT_EQ("from store", Read(listed, "config", "dspname"));
  EXPECT_EQ("from store", Read(program + "/TREE/v_1_x/INFO.INI", "Config", "DspName"));
  EXPECT_EQ(5, CachedGetProfileInt("config", "parentid", 0, listed.c_str()));
  // A stored empty value: "" as text, the default as a number (as the file reader does).
  EXPECT_EQ("", Read(listed, "CONFIG", "EMPTY"));
  EXPECT_EQ(9, CachedGetProfileInt("CONFIG", "EMPTY", 9, listed.c_str()));
  // Files the store does not list are read from disk.
  EXPECT_EQ("unlisted", Read(program + "/tree/V_2_Y/info.ini", "CONFIG", "DSPNAME"));
  // Paths outside the program folder never consult the store, nor does a
  // sibling folder whose name begins with the program folder's.
  EXPECT_EQ("elsewhere", Read(dir_.File("other/tree/V_1_X/info.ini"), "CONFIG", "DSPNAME"));
  EXPECT_EQ("sibling", Read(program + "2/tree/V_1_X/info.ini", "CONFIG", "DSPNAME"));
  // Name lists come from the file.
  char list[64];
  EXPECT_EQ(16u, CachedGetProfileString("CONFIG", nullptr, "", list, sizeof(list), listed.c_str()));
  EXPECT_EQ(std::string("DSPNAME\0INFOTXT\0\0", 17), std::string(list, 17));
}

TEST_F(ProfileStoreTest, LoadResults) {
  ProfileIniCache cache;
  EXPECT_EQ(1, cache.Load(nullptr, nullptr));
  EXPECT_EQ(0u, cache.ValueCount());
  const std::string empty = dir_.File("empty.dat");
  ASSERT_TRUE(WriteWholeFile(empty, ""));
  EXPECT_EQ(1, cache.Load(dir_.path().c_str(), empty.c_str()));
  EXPECT_EQ(0u, cache.ValueCount());
  EXPECT_EQ(0u, cache.FileCount());
  ASSERT_TRUE(WriteWholeFile(dir_.File("one.dat"), Answer("a.ini", "S", "K", "V")));
  ASSERT_EQ(1, cache.Load(dir_.path().c_str(), dir_.File("one.dat").c_str()));
  EXPECT_EQ(1u, cache.ValueCount());
  // A missing store and a folder leave the cache empty.
  EXPECT_EQ(0, cache.Load(dir_.path().c_str(), dir_.File("missing.dat").c_str()));
  EXPECT_EQ(0u, cache.ValueCount());
  EXPECT_EQ(0, cache.Load(dir_.path().c_str(), dir_.path().c_str()));
}

TEST_F(ProfileStoreTest, DamagedStoresKeepWhatWasRead) {
  const std::string good = Answer("a.ini", "S", "K1", "one") + Answer("a.ini", "S", "K2", "two");
  std::string cutText = good;
  PutInt(cutText, kStoreKey);
  PutInt(cutText, 10);
  cutText += "K3xx";  // 4 of 10 bytes
  std::string cutLength = good;
  cutLength += std::string("\x03\x00\x00\x00\x05\x00", 6);
  std::string negative = good;
  PutInt(negative, kStoreKey);
  PutInt(negative, -4);
  negative += Answer("a.ini", "S", "K3", "three");
  std::string huge = good;
  PutInt(huge, kStoreValue);
  PutInt(huge, 70000);  // carries no text: the next record follows at once
  huge += Answer("a.ini", "S", "K3", "three");
  std::string loose = good;  // a value with no key of its own, and a kind nobody knows
  PutRecord(loose, kStoreValue, "orphan");
  PutRecord(loose, 9, "whatever");
  loose += Answer("a.ini", "S", "K3", "three");

  const struct {
    const char* label;
    std::string bytes;
    ProfileIniCache::StoreEnd end;
    size_t values;
  } cases[] = {
      {"cut inside a text", cutText, ProfileIniCache::StoreEnd::kTruncated, 2},
      {"cut inside a length", cutLength, ProfileIniCache::StoreEnd::kTruncated, 2},
      {"negative length", negative, ProfileIniCache::StoreEnd::kNegativeLength, 2},
      {"length of 65535 or more", huge, ProfileIniCache::StoreEnd::kComplete, 3},
      {"stray value and unknown kind", loose, ProfileIniCache::StoreEnd::kComplete, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir_.File("bad.dat");
    ASSERT_TRUE(WriteWholeFile(path, c.bytes));
    ProfileIniCache cache;
    EXPECT_EQ(1, cache.Load(dir_.path().c_str(), path.c_str()));
    EXPECT_EQ(c.end, cache.LastLoadEnd());
    EXPECT_EQ(c.values, cache.ValueCount());
    ASSERT_NE(nullptr, cache.Find("A.INI/S/K1"));
    EXPECT_STREQ("one", cache.Find("a.ini/s/k1"));
    EXPECT_STREQ("two", cache.Find("A.INI/S/K2"));
    EXPECT_EQ(1, cache.KnowsFile("A.ini"));
    EXPECT_EQ(nullptr, cache.Find("A.INI/S/"));
  }
}

TEST_F(ProfileStoreTest, LongKeysAreNeitherCutNorConfused) {
  const std::string program = dir_.File("prog"), store = dir_.File("formats.dat");
  const std::string common(290, 'K');
  const std::string keyA = common + "AAAAAAAAAA", keyB = common + "BBBBBBBBBB";  // 300 characters each
  ASSERT_TRUE(
      WriteWholeFile(program + "/muxer/long.ini", "[CONFIG]\r\n" + keyA + "=first\r\n" + keyB + "=second\r\n", true));
  std::string error;
  ASSERT_TRUE(WriteProfileStore(program, ListProfileStoreFiles(program), store, &error)) << error;
  const std::string path = program + "/muxer/long.ini";
  EXPECT_EQ("first", ReadLoose(path, "CONFIG", keyA.c_str()));
  EXPECT_EQ("second", ReadLoose(path, "CONFIG", keyB.c_str()));
  ASSERT_TRUE(WriteWholeFile(path, ""));  // answers now come from the store only
  ASSERT_EQ(1, TheProfileIniCache().Load(program.c_str(), store.c_str()));
  EXPECT_EQ("first", Read(path, "CONFIG", keyA.c_str()));
  EXPECT_EQ("second", Read(path, "CONFIG", keyB.c_str()));
  EXPECT_EQ("<def>", Read(path, "CONFIG", common.substr(0, 254).c_str()));
}

TEST_F(ProfileStoreTest, PackerRefusesWhatTheStoreCannotAnswer) {
  const std::string program = dir_.File("prog"), store = dir_.File("formats.dat");
  std::string error;
  ASSERT_TRUE(WriteWholeFile(program + "/muxer/big.ini", "[CONFIG]\r\nK=" + std::string(70000, 'x') + "\r\n", true));
  EXPECT_FALSE(WriteProfileStore(program, {"muxer/big.ini"}, store, &error));
  EXPECT_NE(std::string::npos, error.find("does not fit")) << error;
  ASSERT_TRUE(WriteWholeFile(program + "/muxer/slash.ini", "[A/B]\r\nK=1\r\n"));
  EXPECT_FALSE(WriteProfileStore(program, {"muxer/slash.ini"}, store, &error));
  EXPECT_FALSE(WriteProfileStore(program, {"muxer/missing.ini"}, store, &error));
  EXPECT_FALSE(IsRegularFile(store));
}

}  // namespace
