// velmo-cli profiles and defaults over the staged profile tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "frontend/model/whole_file.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

class VelmoCliProfiles : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = (fs::path(TRIVOX_BINARY_DIR) / "tests" / "velmo_cli_user").string();
    fs::remove_all(user_);
    fs::create_directories(user_);
  }
  CommandRun Run(const std::string& args) {
    return RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/velmo-cli") + " " + args + " --user-folder " +
                      ShellQuote(user_) + " 2>&1");
  }
  std::string user_;
};

TEST_F(VelmoCliProfiles, ListsTheTreeByGroup) {
  const CommandRun run = Run("profiles");
  ASSERT_EQ(0, run.status) << run.output;
  const std::string& out = run.output;
  const size_t video = out.find("Video\n"), audio = out.find("Audio\n"), custom = out.find("Custom\n");
  ASSERT_NE(std::string::npos, video) << out;
  ASSERT_LT(video, audio);
  ASSERT_LT(audio, custom);
  const size_t mp4 = out.find("  MP4 (V_10_MP4)\n");
  EXPECT_GT(mp4, video);
  EXPECT_LT(mp4, audio);
  EXPECT_NE(std::string::npos, out.find("    1  MP4 H.264 + AAC  [MP4: video h264, audio aac; .mp4]\n")) << out;
  const size_t mp3 = out.find("  MP3 (A_110_MP3)\n");
  EXPECT_GT(mp3, audio);
  EXPECT_LT(mp3, custom);
  EXPECT_NE(std::string::npos, out.find("Custom video (C_91_VIDEO)"));
}

TEST_F(VelmoCliProfiles, ListsUserProfilesToo) {
  ASSERT_TRUE(WriteWholeFile(user_ + "/tree/C_91_VIDEO/1.ini",
                             "[CONFIG]\r\nDSPNAME=My phone\r\nMUXER=3GP\r\nVCODEC=h263\r\nACODEC=amrnb\r\nEXT=3gp\r\n",
                             true));
  const CommandRun run = Run("profiles");
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("Custom video (C_91_VIDEO)\n    1  My phone  [3GP: video h263"))
      << run.output;
}

TEST_F(VelmoCliProfiles, DefaultsShowTheShippedChoiceThenTheUsersOwn) {
  CommandRun run = Run("defaults");
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("node: V_10_MP4\nprofile: 1\nsummary: V_10_MP4/MP4 [")) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("file: " + std::string(TRIVOX_STAGE_DIR) + "/default.cfg\n"));
  EXPECT_NE(std::string::npos, run.output.find("writer: [FFM]MP4\naudio: [FFM]AAC\nvideo: [FFM]H264\n"));

  // A truncated user file: the shipped defaults.
  std::string shipped;
  ASSERT_TRUE(ReadWholeFile(std::string(TRIVOX_STAGE_DIR) + "/default.cfg", &shipped));
  ASSERT_TRUE(WriteWholeFile(user_ + "/default_2_0_0_0.cfg", shipped.substr(0, shipped.size() - 3)));
  run = Run("defaults");
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("file: " + std::string(TRIVOX_STAGE_DIR) + "/default.cfg\n"));
  // A whole one is the user's.
  ASSERT_TRUE(WriteWholeFile(user_ + "/default_2_0_0_0.cfg", shipped));
  run = Run("defaults");
  EXPECT_NE(std::string::npos, run.output.find("file: " + user_ + "/default_2_0_0_0.cfg\n")) << run.output;
}

TEST_F(VelmoCliProfiles, HelpAndBadInput) {
  CommandRun run = RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/velmo-cli") + " --help");
  EXPECT_EQ(0, run.status);
  EXPECT_NE(std::string::npos, run.output.find("profiles"));
  EXPECT_EQ(0, Run("profiles --help").status);
  EXPECT_EQ(2, Run("profiles --bogus").status);
  EXPECT_EQ(2, Run("nosuchcommand").status);
  run = Run("profiles --program-folder " + ShellQuote(user_));
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.output.find("no profile tree")) << run.output;
  EXPECT_EQ(1, Run("defaults --program-folder " + ShellQuote(user_)).status);
}

}  // namespace
