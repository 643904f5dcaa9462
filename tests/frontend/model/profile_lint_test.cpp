// The lint over the staged profile tree, and over broken copies of it.
#include "tests/frontend/model/profile_lint.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>

#include "frontend/model/ini_file.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

class ProfileLint : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    catalogue_ = new EngineCatalogue(TRIVOX_STAGE_DIR, std::string(TRIVOX_STAGE_DIR) + "/plugin");
    unavailable_ =
        ReadUnavailableList(std::string(TRIVOX_SOURCE_DIR) + "/data/profiles/unavailable.txt", &listProblems_);
  }
  static void TearDownTestSuite() {
    delete catalogue_;
    catalogue_ = nullptr;
  }
  void TearDown() override { SetProfileFolders(ProfileFolders{}); }

  static EngineCatalogue* catalogue_;
  static std::map<std::string, std::string> unavailable_;
  static std::vector<std::string> listProblems_;
};
EngineCatalogue* ProfileLint::catalogue_ = nullptr;
std::map<std::string, std::string> ProfileLint::unavailable_;
std::vector<std::string> ProfileLint::listProblems_;

TEST_F(ProfileLint, ShippedTreePasses) {
  EXPECT_TRUE(listProblems_.empty()) << listProblems_.front();
  const LintReport report = LintProfileTree(TRIVOX_STAGE_DIR, catalogue_->Registry(), unavailable_);
  EXPECT_TRUE(report.problems.empty()) << report.Text();
  std::cout << report.Text();
  // The unavailable ones are told, each with its reason.
  EXPECT_NE(std::string::npos, report.Text().find("vcodec/vp6.ini: unavailable: the system has no VP6 encoder"));
  // The Windows Media profiles are available: the writer encodes their codecs.
  EXPECT_EQ(std::string::npos, report.Text().find("WMV.ini: unavailable"));
  EXPECT_EQ(std::string::npos, report.Text().find("wma9.ini: unavailable"));
}

// One edit that breaks a copy of the tree, and what the lint must say about it.
struct Breakage {
  const char* label;
  std::function<void(const std::string& folder, std::map<std::string, std::string>& unavailable)> edit;
  const char* complaint;
};

void Set(const std::string& folder, const char* file, const char* section, const char* key, const char* value) {
  ASSERT_EQ(1, IniWriteString(section, key, value, (folder + "/" + file).c_str())) << file;
}

const Breakage kBreakages[] = {
    {"a profile naming a missing codec",
     [](const std::string& f, auto&) { Set(f, "tree/V_10_MP4/1.ini", "CONFIG", "VCODEC", "nosuch"); },
     "tree/V_10_MP4/1.ini: VCODEC \"nosuch\" is not in the muxer's list"},
    {"a muxer naming a missing codec description",
     [](const std::string& f, auto&) { Set(f, "muxer/MP4.ini", "V1", "NAME", "nosuch"); },
     "muxer/MP4.ini: names vcodec/nosuch.ini, which does not exist"},
    {"a coder tag the registry lacks",
     [](const std::string& f, auto&) { Set(f, "vcodec/h264.ini", "CONFIG", "ENCODER", "[FFM]H265"); },
     "vcodec/h264.ini: video encoder \"[FFM]H265\" is not in the engine's registry"},
    {"a writer tag the registry lacks",
     [](const std::string& f, auto&) { Set(f, "muxer/MP4.ini", "CONFIG", "MUXER", "[FFM]MKV"); },
     "muxer/MP4.ini: writer \"[FFM]MKV\" is not in the engine's registry"},
    {"a tag the registry has but cannot build, not listed",
     [](const std::string&, auto& u) { u.erase("vcodec/vp6.ini"); },
     "vcodec/vp6.ini: video encoder \"[DS]VP62\" is in the engine's registry but this build cannot create it"},
    {"a listed file the engine fully has", [](const std::string&, auto& u) { u["acodec/mp3.ini"] = "no reason"; },
     "acodec/mp3.ini is listed, but the engine has everything it names"},
    {"a profile value outside the codec's list",
     [](const std::string& f, auto&) {
       Set(f, "tree/A_110_MP3/1.ini", "CONFIG", "AOPTION", "\"\"SAMPLERATE\"=44100,\"BITRATE\"=F100\"");
     },
     "tree/A_110_MP3/1.ini AOPTION: \"BITRATE\" 100.000000 is not one of"},
    {"a profile value of the wrong type",
     [](const std::string& f, auto&) { Set(f, "tree/V_10_MP4/1.ini", "CONFIG", "VOPTION", "\"\"BITRATE\"=F1200\""); },
     "tree/V_10_MP4/1.ini VOPTION: \"BITRATE\" is stored as type 2"},
    {"a default outside the option's list",
     [](const std::string& f, auto&) { Set(f, "acodec/mp3.ini", "OP3", "DEFAULT", "100"); },
     "acodec/mp3.ini option BITRATE: DEFAULT \"100\": 100.000000 is not one of"},
    {"an editable default off its step",
     [](const std::string& f, auto&) { Set(f, "vcodec/mpeg2.ini", "OP1", "DEFAULT", "721"); },
     "vcodec/mpeg2.ini option WIDTH: DEFAULT \"721\": 721 is not a multiple of 2"},
    {"a limit naming no option",
     [](const std::string& f, auto&) { Set(f, "vcodec/h263.ini", "LIMIT", "L1", "\"\"SIZE\"=1\""); },
     "\"SIZE\" names no option of the description"},
    {"a profile off the codec's combinations",
     [](const std::string& f, auto&) {
       Set(f, "tree/V_30_3GP/1.ini", "CONFIG", "VOPTION", "\"\"WIDTH\"=352,\"HEIGHT\"=144\"");
     },
     "tree/V_30_3GP/1.ini VOPTION: matches none of the codec's LIMIT combinations"},
    {"a filter key the registry lacks",
     [](const std::string& f, auto&) { Set(f, "filter/video/levels.ini", "CONFIG", "NAME", "VLEVEL"); },
     "filter/video/levels.ini: video filter \"VLEVEL\" is not in the engine's registry"},
    {"a filter's default text of the wrong type",
     [](const std::string& f, auto&) { Set(f, "filter/audio/volume.ini", "CONFIG", "OPTION", "\"\"VOL\"=F100\""); },
     "filter/audio/volume.ini OPTION: \"VOL\" is stored as type 2"},
    {"a node folder with a non-numeric name",
     [](const std::string& f, auto&) {
       ASSERT_TRUE(WriteWholeFile(f + "/tree/V_X_BAD/info.ini", "[CONFIG]\r\nDSPNAME=Bad\r\n", true));
     },
     "tree/V_X_BAD: is not a profile node"},
    {"a stray file in a node",
     [](const std::string& f, auto&) {
       ASSERT_TRUE(WriteWholeFile(f + "/tree/V_10_MP4/07.ini", "[CONFIG]\r\nDSPNAME=Bad\r\n"));
     },
     "tree/V_10_MP4/07.ini: is neither info.ini nor a profile"},
    {"a muxer code the engine's muxer refuses",
     [](const std::string& f, auto&) { Set(f, "muxer/MP3.ini", "CODEC", "CODEC1", "H264"); },
     "muxer/MP3.ini: CODEC \"H264\" is not one the engine's muxer MP3_ accepts"},
    {"a codec code the codec table lacks",
     [](const std::string& f, auto&) { Set(f, "acodec/aac.ini", "CONFIG", "VCC", "ZZZZ"); },
     "acodec/aac.ini: VCC \"ZZZZ\" is not a code of the engine's codec table"},
    {"defaults naming a missing profile",
     [](const std::string& f, auto&) {
       OutputSettings s;
       std::string bytes;
       ASSERT_TRUE(MakeDefaultSettingsBytes("V_10_MP4", 9, "V_10_MP4/MP4 []", s, &bytes));
       ASSERT_TRUE(WriteWholeFile(f + "/default.cfg", bytes));
     },
     "default.cfg: profile 9 is not in node V_10_MP4"},
    {"defaults whose settings are not the profile's",
     [](const std::string& f, auto&) {
       OutputSettings s;
       ASSERT_TRUE(SetJobText(s.muxer, "[FFM]AVI"));
       std::string bytes;
       ASSERT_TRUE(MakeDefaultSettingsBytes("V_10_MP4", 1, "V_10_MP4/MP4 [x]", s, &bytes));
       ASSERT_TRUE(WriteWholeFile(f + "/default.cfg", bytes));
     },
     "default.cfg: its output settings are not those of V_10_MP4/1"},
};

TEST_F(ProfileLint, BrokenCopiesFail) {
  for (const Breakage& b : kBreakages) {
    SCOPED_TRACE(b.label);
    TempDir dir;
    CopyStagedProfiles(dir.path());
    std::map<std::string, std::string> unavailable = unavailable_;
    b.edit(dir.path(), unavailable);
    IniForgetFiles();
    const LintReport report = LintProfileTree(dir.path(), catalogue_->Registry(), unavailable);
    EXPECT_NE(std::string::npos, report.Text().find(b.complaint)) << report.Text();
  }
}

}  // namespace
