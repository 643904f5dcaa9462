// The output-profile database: the tree, the descriptions, custom profiles,
// the per-user overlay and the defaults file.
#include "frontend/model/profile_db.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

class ProfileDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = dir_.File("program");
    user_ = dir_.File("user");
    SetProfileFolders(ProfileFolders{program_, user_});
  }
  void TearDown() override {
    TheProfileIniCache().Free();
    SetProfileFolders(ProfileFolders{});
  }
  void Put(const std::string& folder, const std::string& relative, const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(folder + "/" + relative, text, true)) << relative;
  }
  void Node(const std::string& folder, const std::string& name, int parent = -1) {
    Put(program_, "tree/" + folder + "/info.ini",
        "[CONFIG]\r\nDSPNAME=" + name + "\r\nPARENTID=" + std::to_string(parent) + "\r\n");
  }
  void Profile(const std::string& base, const std::string& node, const std::string& file, const std::string& name) {
    Put(base, "tree/" + node + "/" + file, "[CONFIG]\r\nDSPNAME=" + name + "\r\nMUXER=MP4\r\n");
  }
  TempDir dir_;
  std::string program_, user_;
};

TEST_F(ProfileDbTest, NodeFolders) {
  const struct {
    std::string folder;
    bool node;
    char kind;
    int32_t number;
  } cases[] = {
      {"abc", false, 0, 0},
      {"X_10", false, 0, 0},
      {"V_10_MP4", true, 'V', 10},
      {"A_7X", true, 'A', 7},
      {"C_91_VIDEO", true, 'C', 91},
      {"V_AB", false, 0, 0},  // no number
      {"V_-5", false, 0, 0},
      {"V_99999999999", false, 0, 0},
      {"v_10_lower", false, 0, 0},
      {"V_12" + std::string(28, 'x'), true, 'V', 12},  // 32 characters
      {"V_13" + std::string(29, 'x'), false, 0, 0},    // 33 characters
  };
  for (const auto& c : cases) {
    Node(c.folder, "Name of " + c.folder, 3);
    ProfileNode node;
    EXPECT_EQ(c.node ? 1 : 0, LoadProfileNode(c.folder, node)) << c.folder;
    if (!c.node) continue;
    EXPECT_EQ(c.kind, node.kind);
    EXPECT_EQ(c.number, node.number);
    EXPECT_EQ(3, node.parentId);
    EXPECT_EQ("Name of " + c.folder, node.displayName);
  }
  // A folder without a DSPNAME is not a node; PARENTID defaults to -1.
  Put(program_, "tree/V_20_EMPTY/info.ini", "[CONFIG]\r\nINFOTXT=x\r\n");
  Put(program_, "tree/V_21_ROOT/info.ini", "[CONFIG]\r\nDSPNAME=Root\r\nINFOTXT=" + std::string(200, 'i') + "\r\n");
  ProfileNode node;
  EXPECT_EQ(0, LoadProfileNode("V_20_EMPTY", node));
  ASSERT_EQ(1, LoadProfileNode("V_21_ROOT", node));
  EXPECT_EQ(-1, node.parentId);
  EXPECT_EQ(127u, node.infoText.size());
}

TEST_F(ProfileDbTest, NodesSortByNumberKeepingFolderOrderForEqualNumbers) {
  Node("V_5_B", "b");
  Node("V_5_A", "a");
  Node("A_30_Z", "z");
  Node("C_3_C", "c");
  Node("notanode", "n");
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  std::vector<std::string> folders;
  for (const ProfileNode& n : nodes) folders.push_back(n.folder);
  EXPECT_EQ((std::vector<std::string>{"C_3_C", "V_5_A", "V_5_B", "A_30_Z"}), folders);
}

TEST_F(ProfileDbTest, ProfileFiles) {
  Node("V_10_MP4", "MP4");
  for (const char* file : {"07.ini", "7.ini", "12.INI", "3.ini", "info.ini", "x.ini", "+4.ini", "5.ini.bak"})
    Profile(program_, "V_10_MP4", file, std::string("P ") + file);
  Put(program_, "tree/V_10_MP4/9.ini", "[CONFIG]\r\nMUXER=MP4\r\n");  // no DSPNAME
  std::vector<OutputProfile> profiles;
  EnumNodeProfiles("V_10_MP4", profiles);
  std::vector<std::string> names;
  for (const OutputProfile& p : profiles) names.push_back(std::to_string(p.number) + ":" + p.displayName);
  EXPECT_EQ((std::vector<std::string>{"3:P 3.ini", "7:P 7.ini", "12:P 12.INI"}), names);
}

TEST_F(ProfileDbTest, ProfileFieldsAndTheirCapacities) {
  Node("V_10_MP4", "MP4");
  Put(program_, "tree/V_10_MP4/1.ini",
      "[CONFIG]\r\nDSPNAME=" + std::string(80, 'n') +
          "\r\nMUXER=MP4\r\nACODEC=aac\r\nVCODEC=h264\r\nEXT=" + std::string(40, 'e') +
          "\r\nDESC=d\r\nQUALITY=3\r\nAOPTION=\"\"SAMPLERATE\"=44100\"\r\nVOPTION=\"\"FCC\"=\"XVID\"\"\r\n"
          "MOPTION=\"\"GLOBALHEADER\"=1\"\r\nPARENTID=2\r\n");
  OutputProfile p;
  ASSERT_EQ(1, LoadOutputProfile("V_10_MP4", "1.ini", p));
  EXPECT_EQ(63u, p.displayName.size());
  EXPECT_EQ(31u, p.ext.size());
  EXPECT_EQ("aac", p.audioCodec);
  EXPECT_EQ("h264", p.videoCodec);
  EXPECT_EQ(3, p.quality);
  EXPECT_EQ("\"SAMPLERATE\"=44100", p.audioOptions);
  EXPECT_EQ("\"FCC\"=\"XVID\"", p.videoOptions);
  EXPECT_EQ("\"GLOBALHEADER\"=1", p.muxerOptions);
  EXPECT_EQ(1, p.number);
  EXPECT_EQ(2, p.parentId);
}

TEST_F(ProfileDbTest, WordAndValueLists) {
  const struct {
    const char* text;
    std::vector<std::pair<std::string, std::string>> words;
  } cases[] = {
      {"1/Low,2/High", {{"1", "Low"}, {"2", "High"}}},
      {"", {}},
      {"Solo", {{"", "Solo"}}},
      {"0/Original,Plain", {{"0", "Original"}, {"", "Plain"}}},
      {"a/b/c", {{"a", "b/c"}}},
  };
  for (const auto& c : cases) {
    std::vector<WordEntry> list;
    ParseWordList(c.text, list);
    std::vector<std::pair<std::string, std::string>> got;
    for (const WordEntry& w : list) got.push_back({w.value, w.word});
    EXPECT_EQ(c.words, got) << c.text;
  }
  std::vector<WordEntry> list;
  ParseWordList(std::string(70, 'v') + "/" + std::string(70, 'w'), list);
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(63u, list[0].value.size());
  EXPECT_EQ(63u, list[0].word.size());
  EXPECT_EQ((std::vector<std::string>{"a", " b", ""}), SplitCommaList("a, b,"));
  EXPECT_TRUE(SplitCommaList("").empty());
}

TEST_F(ProfileDbTest, OptionDescriptors) {
  Put(program_, "acodec/o.ini",
      "[OP1]\r\nNAME=BITRATE\r\nDSPNAME=Bitrate\r\nTYPE=float\r\nVALUELIST=32,64.5\r\nMIN=0.5\r\nMAX=320\r\n"
      "WORDLIST=32/Low\r\nUNIT=kbps\r\nDEFAULT=" +
          std::string(130, '9') +
          "\r\n"
          "[OP2]\r\nNAME=WIDTH\r\nTYPE=Int\r\nEDITABLE=1\r\nDIV=16\r\nMIN=16\r\nPARAM=4\r\nENABLE=0\r\nVISIBLE=0\r\n"
          "[OP3]\r\nNAME=FCC\r\nTYPE=STRING\r\n");
  const std::string path = program_ + "/acodec/o.ini";
  OptionDesc a, b, c;
  LoadOptionDesc(path, "OP1", a);
  LoadOptionDesc(path, "OP2", b);
  LoadOptionDesc(path, "OP3", c);
  EXPECT_EQ(kOptionFloat, a.type);
  EXPECT_EQ((std::vector<std::string>{"32", "64.5"}), a.values);
  EXPECT_DOUBLE_EQ(0.5, a.minDouble);
  EXPECT_DOUBLE_EQ(320.0, a.maxDouble);
  EXPECT_EQ(119u, a.defaultValue.size());
  ASSERT_EQ(1u, a.words.size());
  EXPECT_EQ("Low", a.words[0].word);
  EXPECT_EQ(1, a.enable);
  EXPECT_EQ(0, a.editable);
  EXPECT_EQ(kOptionInt, b.type);
  EXPECT_EQ(16, b.minInt);
  EXPECT_EQ(INT32_MAX, b.maxInt);  // empty MAX
  EXPECT_DOUBLE_EQ(2147483647.0, b.maxDouble);
  EXPECT_EQ(16, b.div);
  EXPECT_EQ(4, b.param);
  EXPECT_EQ(0, b.enable);
  EXPECT_EQ(0, b.visible);
  EXPECT_EQ(kOptionText, c.type);
  EXPECT_EQ(INT32_MIN, c.minInt);
  EXPECT_DOUBLE_EQ(-2147483648.0, c.minDouble);
  EXPECT_EQ(1, c.div);
  OptionDesc copy;
  copy.CopyFrom(a);
  a.words.clear();
  EXPECT_EQ(1u, copy.words.size());
  EXPECT_EQ("Bitrate", copy.displayName);
}

TEST_F(ProfileDbTest, CodecDescriptionsAndTheVolumeOption) {
  Put(program_, "acodec/VOL.ini", "[VOL]\r\nNAME=VOL\r\nTYPE=INT\r\nDEFAULT=100\r\n");
  Put(program_, "acodec/aac.ini",
      "[CONFIG]\r\nSHORTNAME=AAC\r\nENCODER=[FFM]AAC\r\nVCC=MP4A\r\nOPNUM=1\r\n[OP1]\r\nNAME=SAMPLERATE\r\n"
      "[LIMIT]\r\nNUM=2\r\nL1=\"\"SAMPLERATE\"=8000\"\r\nL2=x\r\n");
  Put(program_, "acodec/own.ini", "[CONFIG]\r\nOPNUM=1\r\n[OP1]\r\nNAME=vol\r\nDEFAULT=50\r\n");
  Put(program_, "vcodec/h264.ini",
      "[CONFIG]\r\nENCODER=[FFM]H264\r\nENABLEADV=0\r\nOPNUM=1\r\n[OP1]\r\nNAME=WIDTH\r\n");
  CodecDesc aac, own, h264, missing;
  EXPECT_EQ(1, LoadAudioCodecDesc("aac", aac));
  EXPECT_EQ("[FFM]AAC", aac.encoder);
  EXPECT_EQ("MP4A", aac.vcc);
  EXPECT_EQ(1, aac.enableAdv);
  ASSERT_EQ(2u, aac.options.size());
  EXPECT_EQ("VOL", aac.options[1].name);
  EXPECT_EQ((std::vector<std::string>{"\"SAMPLERATE\"=8000", "x"}), aac.limits);
  EXPECT_EQ(1, LoadAudioCodecDesc("own", own));
  ASSERT_EQ(1u, own.options.size());
  EXPECT_EQ("50", own.options[0].defaultValue);
  EXPECT_EQ(1, LoadVideoCodecDesc("h264", h264));
  EXPECT_EQ(1u, h264.options.size());
  EXPECT_EQ(0, h264.enableAdv);
  EXPECT_EQ(0, LoadVideoCodecDesc("missing", missing));
  EXPECT_TRUE(missing.encoder.empty());
  EXPECT_EQ("missing", missing.name);
}

TEST_F(ProfileDbTest, MuxerDescriptions) {
  std::string codes = "[CODEC]\r\nCODEC1=0x32595559\r\nCODEC2=YV12\r\nCODEC3=AC3\r\nCODEC4=XY\r\n";
  for (int i = 5; i <= 70; ++i) codes += "CODEC" + std::to_string(i) + "=MP4V\r\n";
  Put(program_, "muxer/AVI.ini",
      "[CONFIG]\r\nDSPNAME=AVI\r\nVCC=AVI_\r\nMUXER=[FFM]AVI\r\nACODEC=2\r\nVCODEC=1\r\nOPNUM=1\r\nCODECNUM=70\r\n" +
          codes +
          "[A1]\r\nNAME=mp3\r\n[A2]\r\nNAME=\r\n[V1]\r\nNAME=mpeg4\r\nFCC=XVID,DIVX\r\n"
          "[OP1]\r\nNAME=GLOBALHEADER\r\nTYPE=INT\r\n");
  Put(program_, "acodec/mp3.ini", "[CONFIG]\r\nENCODER=[FFM]MP3\r\n");
  Put(program_, "vcodec/mpeg4.ini", "[CONFIG]\r\nENCODER=[PLUGIN]MPEG4\r\nOPNUM=1\r\n[OP1]\r\nNAME=WIDTH\r\n");
  MuxerDesc m;
  EXPECT_EQ(1, LoadMuxerDesc("AVI", m));
  EXPECT_EQ("[FFM]AVI", m.muxer);
  EXPECT_EQ("AVI_", m.vcc);
  ASSERT_EQ(kMaxMuxerCodes, m.codes.size());
  EXPECT_EQ(0x32595559u, m.codes[0]);
  EXPECT_EQ(0x32315659u, m.codes[1]);
  EXPECT_EQ(0x20334341u, m.codes[2]);
  EXPECT_EQ(0u, m.codes[3]);
  ASSERT_EQ(1u, m.audioCodecs.size());  // the section without a NAME names no codec
  EXPECT_EQ("[FFM]MP3", m.audioCodecs[0].encoder);
  ASSERT_EQ(1u, m.videoCodecs.size());
  const CodecDesc& v = m.videoCodecs[0];
  ASSERT_EQ(2u, v.options.size());
  const OptionDesc& fcc = v.options[1];
  EXPECT_EQ("FCC", fcc.name);
  EXPECT_EQ("FOURCC", fcc.displayName);
  EXPECT_EQ(kOptionText, fcc.type);
  EXPECT_EQ((std::vector<std::string>{"XVID", "DIVX"}), fcc.values);
  EXPECT_EQ("XVID", fcc.defaultValue);
  EXPECT_EQ(0, fcc.editable);
  EXPECT_EQ(1, fcc.visible);
  EXPECT_EQ(0, LoadMuxerDesc("missing", m));
  EXPECT_TRUE(m.muxer.empty());
}

TEST_F(ProfileDbTest, FilterDescriptionsInNameOrderWithTheUserOnes) {
  Put(program_, "filter/video/b.ini", "[CONFIG]\r\nNAME=VB\r\nCHANGESIZE=1\r\nOPTION=\"\"W\"=1\"\r\n");
  Put(program_, "filter/video/a", "[CONFIG]\r\nNAME=VA\r\nTIP=t\r\n");
  Put(program_, "filter/video/nameless.ini", "[CONFIG]\r\nDSPNAME=x\r\n");
  Put(user_, "filter/video/c.ini", "[CONFIG]\r\nNAME=VC\r\nCHANGEFPS=1\r\n");
  Put(program_, "filter/audio/eq.ini", "[CONFIG]\r\nNAME=AEQ\r\nENABLEADV=0\r\n");
  std::vector<FilterDesc> video, audio;
  LoadFilterDescs(0, video);
  LoadFilterDescs(1, audio);
  ASSERT_EQ(3u, video.size());
  EXPECT_EQ("VA", video[0].name);
  EXPECT_EQ("t", video[0].tip);
  EXPECT_EQ("VB", video[1].name);
  EXPECT_EQ(1, video[1].changeSize);
  EXPECT_EQ("\"W\"=1", video[1].option);
  EXPECT_EQ("VC", video[2].name);
  EXPECT_EQ(1, video[2].changeFps);
  ASSERT_EQ(1u, audio.size());
  EXPECT_EQ(0, audio[0].enableAdv);
}

TEST_F(ProfileDbTest, ProfileTextRoundTrip) {
  OutputProfile p;
  p.displayName = "My MP4";
  p.muxer = "MP4";
  p.audioCodec = "aac";
  p.videoCodec = "h264";
  p.ext = "@clip_";
  p.desc = "d";
  p.quality = 2;
  p.audioOptions = "\"SAMPLERATE\"=44100,\"BITRATE\"=F128";
  p.videoOptions = "\"FCC\"=\"avc1\"";
  p.muxerOptions = "";
  const std::string path = program_ + "/tree/V_10_MP4/4.ini";
  ASSERT_EQ(1, FormatProfileText(path, p));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ(
      "[CONFIG]\r\nDSPNAME=My MP4\r\nMUXER=MP4\r\nACODEC=aac\r\nVCODEC=h264\r\nEXT=@clip_\r\nQUALITY=2\r\nDESC=d\r\n"
      "AOPTION=\"\"SAMPLERATE\"=44100,\"BITRATE\"=F128\"\r\nVOPTION=\"\"FCC\"=\"avc1\"\"\r\nMOPTION=\"\"\r\n",
      text);
  OutputProfile back;
  ASSERT_EQ(1, LoadOutputProfile("V_10_MP4", "4.ini", back));
  EXPECT_EQ(p.audioOptions, back.audioOptions);
  EXPECT_EQ(p.videoOptions, back.videoOptions);
  EXPECT_EQ("", back.muxerOptions);
  EXPECT_EQ(p.ext, back.ext);
  EXPECT_EQ(4, back.number);
  // A text with a line break would turn into other keys: refused, the file kept.
  p.desc = "two\r\nMUXER=evil";
  EXPECT_EQ(0, FormatProfileText(path, p));
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_NE(std::string::npos, text.find("DESC=d\r\n"));
  p.desc = "d";
  EXPECT_EQ(0, FormatProfileText(dir_.path(), p));  // a folder is in the way
}

TEST_F(ProfileDbTest, CustomProfilesGoToTheUserFolderWithTheNextFreeNumber) {
  Node(kCustomVideoNode, "Custom video");
  Node(kCustomAudioNode, "Custom audio");
  Profile(program_, kCustomVideoNode, "1.ini", "Shipped custom");
  int32_t video = 0, audio = 0;
  FindFreeProfileNumber(video, audio);
  EXPECT_EQ(2, video);
  EXPECT_EQ(1, audio);
  OutputProfile p;
  p.muxer = "MP4";
  p.videoCodec = "h264";
  p.audioCodec = "aac";
  p.ext = "mp4";
  p.quality = 5;
  p.audioOptions = "\"VOL\"=100";
  ASSERT_EQ(1, SaveCustomProfile(0, video, "Mine", p));
  EXPECT_EQ(UserProfilePath(kCustomVideoNode, 2), user_ + "/tree/C_91_VIDEO/2.ini");
  EXPECT_TRUE(IsRegularFile(user_ + "/tree/C_91_VIDEO/2.ini"));
  FindFreeProfileNumber(video, audio);
  EXPECT_EQ(3, video);
  std::vector<OutputProfile> list;
  EnumNodeProfiles(kCustomVideoNode, list);
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("Shipped custom", list[0].displayName);
  EXPECT_EQ("Mine", list[1].displayName);
  EXPECT_EQ("Custom format MP4[h264/aac]", list[1].desc);
  EXPECT_EQ(0, list[1].quality);
  EXPECT_EQ("\"VOL\"=100", list[1].audioOptions);
  ASSERT_EQ(1, SaveCustomProfile(1, audio, "Mine too", p));
  EnumNodeProfiles(kCustomAudioNode, list);
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(1, list[0].number);
}

TEST_F(ProfileDbTest, UserFilesOverlayTheProgramFolder) {
  Node("V_10_MP4", "MP4");
  Profile(program_, "V_10_MP4", "1.ini", "shipped");
  Profile(program_, "V_10_MP4", "2.ini", "shipped two");
  Profile(user_, "V_10_MP4", "1.ini", "edited");
  Put(user_, "tree/V_15_MINE/info.ini", "[CONFIG]\r\nDSPNAME=Mine\r\n");
  Put(user_, "tree/V_16_HALF/1.ini", "[CONFIG]\r\nDSPNAME=no node info\r\n");
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  ASSERT_EQ(2u, nodes.size());
  EXPECT_EQ("V_15_MINE", nodes[1].folder);
  std::vector<OutputProfile> list;
  EnumNodeProfiles("V_10_MP4", list);
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("edited", list[0].displayName);
  EXPECT_EQ("shipped two", list[1].displayName);
  // Without an overlay only the shipped files count.
  SetProfileFolders(ProfileFolders{program_, ""});
  EnumNodeProfiles("V_10_MP4", list);
  EXPECT_EQ("shipped", list[0].displayName);
  EnumProfileNodes(nodes);
  EXPECT_EQ(1u, nodes.size());
}

// The defaults file's settings part, as a small record of its own.
struct FakeSettings final : IDataRecord {
  std::string name;
  int32_t value = 0;
  std::string text;
  void Write(CDataStream& s) override {
    s.WriteString(name.c_str());
    s.WriteInt32(value);
    s.WriteString(text.c_str());
  }
  void Read(CDataStream& s) override {
    char buffer[64];
    int32_t cap = sizeof(buffer);
    name = s.ReadString(buffer, &cap) ? buffer : "";
    value = s.ReadInt32();
    cap = sizeof(buffer);
    text = s.ReadString(buffer, &cap) ? buffer : "";
  }
};

TEST_F(ProfileDbTest, SettingsFromProfileFillOrRefuseWhole) {
  Put(program_, "muxer/MP4.ini",
      "[CONFIG]\r\nDSPNAME=MP4\r\nVCC=MP4_\r\nMUXER=[FFM]MP4\r\nACODEC=1\r\nVCODEC=0\r\n[A1]\r\nNAME=aac\r\n");
  Put(program_, "acodec/aac.ini",
      "[CONFIG]\r\nENCODER=[FFM]AAC\r\nOPNUM=2\r\n[OP1]\r\nNAME=SAMPLERATE\r\nTYPE=INT\r\nDEFAULT=44100\r\n"
      "[OP2]\r\nNAME=FCC\r\nTYPE=STRING\r\nDEFAULT=0x00FF\r\n");
  OutputProfile p;
  p.muxer = "MP4";
  p.audioCodec = "aac";
  p.ext = "m4a";
  p.audioOptions = "\"SAMPLERATE\"=48000";
  OutputSettings s;
  std::string error;
  ASSERT_TRUE(SettingsFromProfile(p, s, &error)) << error;
  EXPECT_STREQ("[FFM]MP4", s.muxer);
  EXPECT_STREQ("[FFM]AAC", s.audioCodec);
  EXPECT_STREQ("m4a", s.ext);
  EXPECT_EQ(48000, s.sampleRate);
  EXPECT_EQ(0xFF, s.jobWordA);  // the FCC text read as a four-character code
  // A text longer than its field is refused, never cut.
  p.muxerOptions = "\"X\"=\"" + std::string(1100, 'x') + "\"";
  EXPECT_FALSE(SettingsFromProfile(p, s, &error));
  EXPECT_NE(std::string::npos, error.find("muxer options")) << error;
}

TEST_F(ProfileDbTest, DefaultsFileRoundTripAndFallbacks) {
  FakeSettings shipped;
  shipped.name = "MP4";
  shipped.value = 7;
  shipped.text = "shipped";
  std::string bytes;
  ASSERT_TRUE(MakeDefaultSettingsBytes("V_10_MP4", 1, "V_10_MP4/MP4 [x]", shipped, &bytes));
  Put(program_, "default.cfg", bytes);

  std::string node, summary, from;
  int32_t number = 0;
  FakeSettings got;
  // No user file: the program folder's.
  ASSERT_EQ(1, LoadDefaultSettings(node, number, summary, got, &from));
  EXPECT_EQ("V_10_MP4", node);
  EXPECT_EQ(1, number);
  EXPECT_EQ("V_10_MP4/MP4 [x]", summary);
  EXPECT_EQ("shipped", got.text);
  EXPECT_EQ(program_ + "/default.cfg", from);

  FakeSettings mine = shipped;
  mine.text = "mine";
  ASSERT_EQ(1, SaveDefaultSettings("A_110_MP3", 2, "A_110_MP3/MP3 [y]", mine));
  const std::string userFile = user_ + "/default_2_0_0_0.cfg";
  ASSERT_EQ(1, LoadDefaultSettings(node, number, summary, got, &from));
  EXPECT_EQ("A_110_MP3", node);
  EXPECT_EQ(2, number);
  EXPECT_EQ("mine", got.text);
  EXPECT_EQ(userFile, from);

  // A user file cut anywhere falls back to the shipped one.
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(userFile, &whole));
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    ASSERT_TRUE(WriteWholeFile(userFile, whole.substr(0, cut)));
    got = FakeSettings();
    ASSERT_EQ(1, LoadDefaultSettings(node, number, summary, got, &from)) << cut;
    EXPECT_EQ("V_10_MP4", node) << cut;
    EXPECT_EQ("shipped", got.text) << cut;
    EXPECT_EQ(program_ + "/default.cfg", from);
  }
  // Both damaged: nothing, with the empty choice.
  Put(program_, "default.cfg", bytes.substr(0, 10));
  EXPECT_EQ(0, LoadDefaultSettings(node, number, summary, got, &from));
  EXPECT_EQ("", node);
  EXPECT_EQ(1, number);
  EXPECT_EQ("", summary);
  EXPECT_EQ("", from);
}

TEST_F(ProfileDbTest, DefaultsFileFieldsStayInPlace) {
  // A node text too long for its field is skipped whole: the fields after it read right.
  FakeSettings s;
  s.name = "MP4";
  s.value = 42;
  s.text = "after";
  std::string bytes;
  CDataSizer sizer;
  std::string longNode(300, 'N');
  sizer.WriteString(longNode.c_str());
  sizer.WriteInt32(5);
  sizer.WriteString("summary");
  s.Write(sizer);
  bytes.assign(static_cast<size_t>(sizer.GetSize()), '\0');
  CDataWriter w;
  w.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  w.WriteString(longNode.c_str());
  w.WriteInt32(5);
  w.WriteString("summary");
  s.Write(w);
  Put(user_, "default_2_0_0_0.cfg", bytes);
  std::string node, summary;
  int32_t number = 0;
  FakeSettings got;
  ASSERT_EQ(1, LoadDefaultSettings(node, number, summary, got));
  EXPECT_EQ("", node);
  EXPECT_EQ(5, number);
  EXPECT_EQ("summary", summary);
  EXPECT_EQ(42, got.value);
  EXPECT_EQ("after", got.text);
  // A negative text length is damage: with no shipped file, nothing is read.
  bytes[0] = '\xFF';
  bytes[1] = '\xFF';
  bytes[2] = '\xFF';
  bytes[3] = '\xFF';
  Put(user_, "default_2_0_0_0.cfg", bytes);
  EXPECT_EQ(0, LoadDefaultSettings(node, number, summary, got));
  // Texts that could not be read back are not written.
  EXPECT_EQ(0, SaveDefaultSettings(longNode, 1, "s", s));
  EXPECT_EQ(0, SaveDefaultSettings("V_10_MP4", 1, std::string(1024, 's'), s));
}

}  // namespace
