// dvdscan against lsdvd -x on the DVD fixtures, where both measure the same thing.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/dvd/dvd_fixture.h"

namespace {

using Fields = std::map<std::string, std::string>;

// "Key: value, Key: value" -> fields (lsdvd's title line separates one pair with a space).
Fields ParseFields(std::string line) {
  Fields out;
  while (!line.empty() && (line[0] == '\t' || line[0] == ' ')) line.erase(0, 1);
  size_t pos = 0;
  while (pos < line.size()) {
    const size_t colon = line.find(": ", pos);
    if (colon == std::string::npos) break;
    size_t end = line.find(", ", colon + 2);
    std::string key = line.substr(pos, colon - pos);
    std::string value = line.substr(colon + 2, end == std::string::npos ? std::string::npos : end - colon - 2);
    // "Length: 00:00:06.000 Chapters: 03" has no comma between the pairs
    const size_t space = value.find(' ');
    if (key == "Length" && space != std::string::npos && value.find(": ", space) != std::string::npos) {
      end = colon + 2 + space - 1;
      value = value.substr(0, space);
    }
    out[key] = value;
    if (end == std::string::npos) break;
    pos = end + 2;
  }
  return out;
}

struct Title {
  Fields fields;
  Fields video;  // lsdvd's second line
  std::vector<double> chapters;
  std::vector<Fields> audio;
  std::vector<Fields> subs;
  std::string palette;
};

double Seconds(const std::string& text) {
  int h = 0, m = 0;
  double s = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%lf", &h, &m, &s) == 3) return h * 3600 + m * 60 + s;
  return std::atof(text.c_str());
}

std::vector<Title> RunListing(const std::string& command) {
  std::vector<Title> titles;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return titles;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    const bool nested = !line.empty() && line[0] == '\t';
    const std::string body =
        line.substr(line.find_first_not_of('\t') == std::string::npos ? line.size() : line.find_first_not_of('\t'));
    if (!nested && body.rfind("Title: ", 0) == 0) {
      titles.push_back({ParseFields(body), {}, {}, {}, {}, {}});
    } else if (nested && !titles.empty() && line.rfind("\t\t", 0) != 0) {
      Title& t = titles.back();
      if (body.rfind("VTS: ", 0) == 0)
        t.video = ParseFields(body);
      else if (body.rfind("Chapter: ", 0) == 0)
        t.chapters.push_back(Seconds(ParseFields(body)["Length"]));
      else if (body.rfind("Audio: ", 0) == 0)
        t.audio.push_back(ParseFields(body));
      else if (body.rfind("Subtitle: ", 0) == 0 || body.rfind("Subpicture: ", 0) == 0)
        t.subs.push_back(ParseFields(body));
      else if (body.rfind("Palette: ", 0) == 0)
        t.palette = body.substr(9);
    }
  }
  pclose(pipe);
  return titles;
}

// lsdvd writes "en - English"; dvdscan the name alone.
std::string LanguageName(const std::string& text) {
  const size_t dash = text.find(" - ");
  return dash == std::string::npos ? text : text.substr(dash + 3);
}

class DvdscanTool : public ::testing::TestWithParam<const char*> {};

TEST_P(DvdscanTool, AgreesWithLsdvd) {
  REQUIRE_DVD_FIXTURES();
  if (std::system("command -v lsdvd >/dev/null 2>&1") != 0) GTEST_SKIP() << "lsdvd not installed";
  const std::string disc = DvdFixture(GetParam());
  const std::vector<Title> ours = RunListing(std::string(TRIVOX_STAGE_DIR) + "/dvdscan '" + disc + "'");
  const std::vector<Title> ref = RunListing("lsdvd -x '" + disc + "'");
  ASSERT_FALSE(ref.empty());
  ASSERT_EQ(ours.size(), ref.size());
  for (size_t i = 0; i < ref.size(); ++i) {
    const Title& a = ours[i];
    const Title& b = ref[i];
    SCOPED_TRACE("title " + std::to_string(i + 1));
    ASSERT_EQ(a.fields.at("Valid"), "1");
    ASSERT_FALSE(b.chapters.empty());
    ASSERT_EQ(b.palette.size(), 16u * 7 - 1);
    // lsdvd's chapters are programs: lengths compare only where each program is a chapter.
    if (a.chapters.size() == b.chapters.size()) {
      EXPECT_NEAR(Seconds(a.fields.at("Length")), Seconds(b.fields.at("Length")), 0.0005);
      for (size_t c = 0; c < b.chapters.size(); ++c) EXPECT_NEAR(a.chapters[c], b.chapters[c], 0.0005);
    }
    EXPECT_EQ(a.fields.at("FPS"), b.video.at("FPS"));
    EXPECT_EQ(a.fields.at("Format"), b.video.at("Format"));
    EXPECT_EQ(a.fields.at("Aspect"), b.video.at("Aspect ratio"));
    EXPECT_EQ(a.fields.at("Width"), b.video.at("Width"));
    EXPECT_EQ(a.palette, b.palette);
    ASSERT_EQ(a.audio.size(), b.audio.size());
    for (size_t k = 0; k < b.audio.size(); ++k) {
      EXPECT_EQ(a.audio[k].at("Language"), LanguageName(b.audio[k].at("Language")));
      EXPECT_EQ(a.audio[k].at("Channels"), b.audio[k].at("Channels"));
      EXPECT_EQ(a.audio[k].at("Frequency"), b.audio[k].at("Frequency"));
    }
    // On 16:9 titles lsdvd counts attribute entries, the scan distinct stream ids.
    if (a.fields.at("Aspect") == "4/3") {
      ASSERT_EQ(a.subs.size(), b.subs.size());
      for (size_t k = 0; k < b.subs.size(); ++k)
        EXPECT_EQ(a.subs[k].at("Language"), LanguageName(b.subs[k].at("Language")));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DvdscanTool, ::testing::Values("basic", "basic.iso", "menu31", "root31", "plain31"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace
