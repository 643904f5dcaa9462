// velmo-gallery clip-range: the pickers it opens on, the range OK stores with
// the storing rules, Cancel, and usage errors.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "qt_test_util.h"
#include "tests/test_util/shell_command.h"

namespace {

CommandRun Gallery(const std::vector<std::string>& args) { return RunStagedTool("velmo-gallery", args); }

std::string Line(const std::string& text, const std::string& prefix) {
  std::string found = "<none>";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) found = line.substr(prefix.size());
    start = end + 1;
  }
  return found;
}

TEST(ClipRangeGallery, OpensOnTheStoredRangeAndStoresWhatWasTyped) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/clip_range_gallery.png";
  std::remove(picture.c_str());
  CommandRun opened = Gallery({"clip-range", "--length", "99.95", "--range", "10,0", "--screenshot", picture});
  EXPECT_EQ(1, opened.status) << opened.output;
  EXPECT_EQ("CANCEL", Line(opened.output, "result="));
  EXPECT_EQ("00:00:10,00:01:40,00:01:30", Line(opened.output, "pickers="));
  EXPECT_EQ("10,0", Line(opened.output, "clip=")) << "Cancel stores nothing";
  EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull()) << picture;

  struct Case {
    const char* range;
    const char* typed;
    const char* clip;
    const char* duration;
  } cases[] = {
      {"0,0", "20,50", "20,50", "00:00:30"},
      {"0,0", "20,100", "20,0", "00:01:20"},  // the end of the source
      {"0,0", "40,30", "40,41", "00:00:01"},  // an end before the start
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const CommandRun run =
        Gallery({"clip-range", "--length", "100", "--range", c.range, "--type", c.typed, "--accept"});
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_EQ(c.clip, Line(run.output, "clip="));
    EXPECT_EQ(c.duration, Line(run.output, "duration="));
  }

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"clip-range", "--length", "x"},
                                              {"clip-range", "--range", "5"},
                                              {"clip-range", "--type", "1,-2"}}) {
    const CommandRun r = Gallery(bad);
    EXPECT_EQ(2, r.status) << bad.back() << ": " << r.output;
  }
}

}  // namespace
