// velmo-gallery copy-file and itunes-copy.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    start = end + 1;
  }
  return out;
}

TEST(GalleryCopy, CopiesTwoFilesWithProgressAndStatuses) {
  const std::string base = TestFolder();
  fs::create_directories(base + "/out");
  fs::create_directories(base + "/vol/Backup");
  std::ofstream(base + "/out/first.mp4") << std::string(300000, 'a');
  std::ofstream(base + "/out/second.mp4") << std::string(100000, 'b');
  std::ofstream(base + "/vol/Backup/first.mp4") << "old";
  const std::string mid = std::string(VELMO_ARTIFACT_DIR) + "/copy_progress_mid.png";
  const std::string after = std::string(VELMO_ARTIFACT_DIR) + "/copy_file_after.png";
  std::remove(mid.c_str());
  const CommandRun run =
      RunStagedTool("velmo-gallery",
                    {"copy-file", "--source", base + "/out", "--file", "first.mp4", "--file", "second.mp4", "--volume",
                     base + "/vol", "--folder", "Backup", "--progress-screenshot", mid, "--screenshot", after});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(std::vector<std::string>{base + "/vol/Backup/"}, Lines(run.output, "destination="));
  const std::vector<std::string> progress = Lines(run.output, "progress=");
  ASSERT_FALSE(progress.empty()) << run.output;
  EXPECT_NE(progress.end(), std::find(progress.begin(), progress.end(), "Copying file first.mp4|75%")) << run.output;
  EXPECT_EQ("Copying file second.mp4|100%", progress.back());
  EXPECT_EQ(
      (std::vector<std::string>{base + "/out/first.mp4|292.97KB|Copyed", base + "/out/second.mp4|97.66KB|Copyed"}),
      Lines(run.output, "status="));
  EXPECT_EQ(300000u, fs::file_size(base + "/vol/Backup/first1.mp4"));
  EXPECT_EQ(100000u, fs::file_size(base + "/vol/Backup/second.mp4"));
  const QImage picture(QString::fromStdString(mid));
  ASSERT_FALSE(picture.isNull());
  EXPECT_GT(CountOtherThan(picture, picture.rect(), picture.pixelColor(1, 1)), 100);
}

TEST(GalleryCopy, TheMusicLibraryIsMissingHere) {
  const std::string base = TestFolder();
  std::ofstream(base + "/song.m4a") << "x";
  const CommandRun run = RunStagedTool("velmo-gallery", {"itunes-copy", "--source", base, "--file", "song.m4a"});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(std::vector<std::string>{"System does not detect iTunes. Please install iTunes first."},
            Lines(run.output, "message: "));
  EXPECT_EQ(std::vector<std::string>{"song.m4a|1"}, Lines(run.output, "status="));
}

}  // namespace
