// Output names: the naming rule and the names given out in one run.
#include "frontend/model/output_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

TEST(OutputNames, FormatTable) {
  struct Case {
    const char* title;
    const char* ext;
    int32_t number;
    const char* name;
  };
  const Case cases[] = {
      {"clip", "avi", 0, "clip.avi"},   {"clip", "avi", 2, "clip[2].avi"},
      {"clip", "@pre_", 0, "pre_clip"}, {"clip", "@pre_", 2, "pre_clip[2]"},
      {"clip", "@", 1, "clip[1]"},      {"a.b", "c", 0, "a.b.c"},
      {"", "mp4", 0, ".mp4"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.name, FormatOutputName(c.title, c.ext, c.number));
}

TEST(OutputNames, TitleFromPath) {
  EXPECT_EQ("clip", TitleFromPath("/media/in/clip.mp4"));
  EXPECT_EQ("clip.part", TitleFromPath("/media/in/clip.part.mkv"));
  EXPECT_EQ("noext", TitleFromPath("/media/in/noext"));
  EXPECT_EQ("clip", TitleFromPath("clip.mp4"));
  EXPECT_EQ("\xC3\xA9t\xC3\xA9", TitleFromPath("/m/\xC3\xA9t\xC3\xA9.mov"));
}

TEST(OutputNames, FolderDropsOneTrailingSlash) {
  OutputNameList names;
  names.SetFolder("/out/");
  EXPECT_EQ("/out/clip.avi", names.PathOf("clip.avi"));
  names.SetFolder("/out");
  EXPECT_EQ("/out/clip.avi", names.PathOf("clip.avi"));
  names.SetFolder("/");
  EXPECT_EQ("/clip.avi", names.PathOf("clip.avi"));
}

TEST(OutputNames, NumbersAvoidGivenOutNamesAndExistingFiles) {
  const std::string folder = TestFolder();
  OutputNameList names;
  names.SetFolder(folder);
  EXPECT_EQ(0, names.ResolveNumber("clip", "mp4", 0));
  EXPECT_EQ(3, names.ResolveNumber("clip", "mp4", 3));
  Touch(folder + "/clip.mp4");
  Touch(folder + "/clip[1].mp4");
  EXPECT_EQ(2, names.ResolveNumber("clip", "mp4", 0));
  EXPECT_EQ(2, names.FirstFreeNumber("clip", "mp4"));
  EXPECT_EQ(0, names.FirstFreeNumber("clip", "mp4", false));
  names.Add("clip", "mp4", 2);
  EXPECT_EQ(3, names.ResolveNumber("clip", "mp4", 2));
  // Given-out names compare as built and ignoring case.
  EXPECT_TRUE(names.IsGivenOut("CLIP", "MP4", 2));
  names.Add("a.b", "c", 0);
  EXPECT_TRUE(names.IsGivenOut("a", "b.c", 0));
  names.Clear();
  EXPECT_FALSE(names.IsGivenOut("clip", "mp4", 2));
}

TEST(OutputNames, DanglingLinkCountsAsExisting) {
  const std::string folder = TestFolder();
  fs::create_symlink(folder + "/nowhere", folder + "/clip.mp4");
  OutputNameList names;
  names.SetFolder(folder);
  EXPECT_TRUE(names.FileExists("clip", "mp4", 0));
  EXPECT_EQ(1, names.ResolveNumber("clip", "mp4", 0));
}

}  // namespace
