// The IFO structure check and the disc view built on it: the fixture discs pass as they are;
// damage in each part the DVD libraries trust is named; mutated files never make the check
// itself read out of bounds; a damaged or missing IFO is read from its backup through a folder
// of links, a title set neither of whose files passes is left out.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/dvd/dvd_disc_view.h"
#include "common/dvd/dvd_ifo_check.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Be16(const std::vector<uint8_t>& b, size_t at) { return b.at(at) << 8 | b.at(at + 1); }
uint32_t Be32(const std::vector<uint8_t>& b, size_t at) { return Be16(b, at) << 16 | Be16(b, at + 2); }
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b.at(at) = static_cast<uint8_t>(v >> 8);
  b.at(at + 1) = static_cast<uint8_t>(v);
}

// Byte offsets in the basic disc's files, from their own tables.
size_t TitleTable(const std::vector<uint8_t>& vmg) { return Be32(vmg, 0xC4) * 2048; }
size_t PgcTable(const std::vector<uint8_t>& vts) { return Be32(vts, 0xCC) * 2048; }
size_t FirstPgc(const std::vector<uint8_t>& vts) { return PgcTable(vts) + Be32(vts, PgcTable(vts) + 12); }

class DvdIfoCheck : public ::testing::Test {
 protected:
  void SetUp() override { REQUIRE_DVD_FIXTURES(); }
  fs::path Folder(const std::string& name) {
    const fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "tests" / "dvd_ifo_check" / name;
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    return folder;
  }
};

TEST_F(DvdIfoCheck, FixtureDiscsPassAsTheyAre) {
  for (const char* disc : {"basic", "long", "menu31", "menu30", "root31", "plain31"}) {
    for (const auto& e : fs::directory_iterator(fs::path(DvdFixture(disc)) / "VIDEO_TS")) {
      const std::string name = e.path().filename().string();
      if (name.size() < 4 || (name.substr(name.size() - 3) != "IFO" && name.substr(name.size() - 3) != "BUP")) continue;
      SCOPED_TRACE(std::string(disc) + "/" + name);
      const DvdIfoKind kind = name.rfind("VIDEO_TS", 0) == 0 ? DvdIfoKind::kVideoManager : DvdIfoKind::kTitleSet;
      DvdIfoFacts facts;
      EXPECT_EQ(DvdCheckIfo(ReadAll(e.path()), kind, &facts), "");
      if (kind == DvdIfoKind::kVideoManager) {
        EXPECT_FALSE(facts.titles.empty());
      } else {
        EXPECT_GT(facts.vtsTitles, 0);
      }
    }
    const std::unique_ptr<DvdDiscView> view = DvdDiscView::Open(DvdFixture(disc).c_str());
    EXPECT_TRUE(view->usable());
    EXPECT_TRUE(view->notes().empty());
    EXPECT_EQ(view->libraryPath(), DvdFixture(disc));  // opened as it is
  }
}

TEST_F(DvdIfoCheck, DamageIsNamed) {
  const std::vector<uint8_t> vmg = ReadAll(fs::path(DvdFixture("basic")) / "VIDEO_TS" / "VIDEO_TS.IFO");
  const std::vector<uint8_t> vts = ReadAll(fs::path(DvdFixture("basic")) / "VIDEO_TS" / "VTS_01_0.IFO");
  struct Case {
    const char* label;
    bool titleSet;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* named;
  } cases[] = {
      {"cut to 3000 bytes", false, [](auto& b) { b.resize(3000); }, "3000 bytes, but its header gives 8192"},
      {"cut inside the header", true, [](auto& b) { b.resize(100); }, "shorter than its header"},
      {"empty", false, [](auto& b) { b.clear(); }, "shorter than its header"},
      {"another identifier", false, [](auto& b) { b[9] = 'X'; }, "not a video manager header"},
      {"a title table past the file", false, [](auto& b) { Put16(b, 0xC6, 0x40); }, "runs past the file"},
      {"a title in title set 9", false, [](auto& b) { b.at(TitleTable(b) + 8 + 6) = 9; }, "title 1 of the title table"},
      {"a title with no angle", false, [](auto& b) { b.at(TitleTable(b) + 8 + 12 + 1) = 0; }, "title 2"},
      {"100 titles", false, [](auto& b) { Put16(b, TitleTable(b), 100); }, "100 titles"},
      {"no first-play program chain", false, [](auto& b) { Put16(b, 0x84, 0), Put16(b, 0x86, 0); },
       "no first-play program chain and no menus"},
      {"program map out of order", true, [](auto& b) { b.at(FirstPgc(b) + Be16(b, FirstPgc(b) + 0xE6) + 1) = 1; },
       "program map"},
      {"more programs than cells", true, [](auto& b) { b.at(FirstPgc(b) + 2) = 9; }, "more programs than cells"},
      {"a cell in a block never opened", true, [](auto& b) { b.at(FirstPgc(b) + Be16(b, FirstPgc(b) + 0xE8)) |= 0x90; },
       "block mode 2 and type 1"},
      {"a link to PGC 7", true, [](auto& b) { Put16(b, FirstPgc(b) + 0x9C, 7); }, "linked to one that does not exist"},
      {"a part of title in PGC 9", true,
       [](auto& b) { Put16(b, Be32(b, 0xC8) * 2048 + Be32(b, Be32(b, 0xC8) * 2048 + 8), 9); }, "leads to no program"},
      {"no VOBU address map", true, [](auto& b) { Put16(b, 0xE4, 0), Put16(b, 0xE6, 0); },
       "the VOBU address map is missing"},
      {"nine audio streams", true, [](auto& b) { b.at(0x203) = 9; }, "stream counts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<uint8_t> bytes = c.titleSet ? vts : vmg;
    c.damage(bytes);
    const std::string problem = DvdCheckIfo(bytes, c.titleSet ? DvdIfoKind::kTitleSet : DvdIfoKind::kVideoManager);
    EXPECT_NE(problem.find(c.named), std::string::npos) << problem;
  }
}

// Fixed-seed mutations and cuts of real files: the check answers every one (under the
// sanitizers: without reading outside the bytes it was given).
TEST_F(DvdIfoCheck, MutatedFilesAreAnswered) {
  std::mt19937 rng(20240611);
  int refused = 0;
  int total = 0;
  for (const char* file : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_02_0.IFO"}) {
    const std::vector<uint8_t> intact = ReadAll(fs::path(DvdFixture("basic")) / "VIDEO_TS" / file);
    const DvdIfoKind kind = file[0] == 'V' && file[1] == 'I' ? DvdIfoKind::kVideoManager : DvdIfoKind::kTitleSet;
    for (int round = 0; round < 1500; ++round) {
      std::vector<uint8_t> bytes = intact;
      const int changes = 1 + static_cast<int>(rng() % 16);
      for (int i = 0; i < changes; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
      if (round % 10 == 0) bytes.resize(rng() % bytes.size());
      refused += !DvdCheckIfo(bytes, kind).empty();
      ++total;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, total);  // mutations of bytes nothing reads still pass
}

TEST_F(DvdIfoCheck, TheViewReadsBackupsAndLeavesOutWhatCannotBeUsed) {
  struct Case {
    const char* label;
    std::function<void(const fs::path& videoTs)> damage;
    bool usable;
    std::vector<int> refused;
    const char* noted;
  } cases[] = {
      {"video manager missing",
       [](const fs::path& v) { fs::remove(v / "VIDEO_TS.IFO"); },
       true,
       {},
       "VIDEO_TS.IFO is missing or unreadable: VIDEO_TS.BUP is read instead"},
      {"video manager cut",
       [](const fs::path& v) { fs::resize_file(v / "VIDEO_TS.IFO", 3000); },
       true,
       {},
       "VIDEO_TS.IFO is damaged (3000 bytes"},
      {"title set 1 cut",
       [](const fs::path& v) { fs::resize_file(v / "VTS_01_0.IFO", 4096); },
       true,
       {},
       "VTS_01_0.BUP is read instead"},
      {"both files of title set 2 cut",
       [](const fs::path& v) {
         fs::resize_file(v / "VTS_02_0.IFO", 100);
         fs::remove(v / "VTS_02_0.BUP");
       },
       true,
       {2},
       "title set 2 is left out"},
      {"both video manager files missing",
       [](const fs::path& v) {
         fs::remove(v / "VIDEO_TS.IFO");
         fs::remove(v / "VIDEO_TS.BUP");
       },
       false,
       {},
       "the disc cannot be read"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path disc = Folder("view" + std::to_string(++n));
    fs::copy(DvdFixture("basic"), disc, fs::copy_options::recursive);
    c.damage(disc / "VIDEO_TS");
    std::string links;
    {
      const std::unique_ptr<DvdDiscView> view = DvdDiscView::Open(disc.c_str());
      EXPECT_EQ(view->usable(), c.usable);
      ASSERT_FALSE(view->notes().empty());
      EXPECT_NE(view->notes()[0].find(c.noted), std::string::npos) << view->notes()[0];
      for (int set = 1; set <= 3; ++set)
        EXPECT_EQ(view->Refused(set), std::find(c.refused.begin(), c.refused.end(), set) != c.refused.end()) << set;
      if (!c.usable) continue;
      links = view->libraryPath();
      ASSERT_NE(links, disc.string());
      // The libraries see good files under the usual names, and nothing of a refused set.
      const fs::path v(links);
      EXPECT_EQ(DvdCheckIfo(ReadAll(v / "VIDEO_TS.IFO"), DvdIfoKind::kVideoManager), "");
      for (int set = 1; set <= 3; ++set) {
        const std::string ifo = "VTS_0" + std::to_string(set) + "_0.IFO";
        if (view->Refused(set)) {
          EXPECT_FALSE(fs::exists(v / ifo));
        } else {
          EXPECT_EQ(DvdCheckIfo(ReadAll(v / ifo), DvdIfoKind::kTitleSet), "") << ifo;
        }
      }
      EXPECT_TRUE(fs::is_symlink(v / "VTS_01_1.VOB"));
      dvd_reader_t* reader = view->OpenReader();
      EXPECT_NE(reader, nullptr);
      if (reader != nullptr) DVDClose(reader);
      dvdnav_t* nav = view->OpenNavigator();
      EXPECT_NE(nav, nullptr);
      if (nav != nullptr) dvdnav_close(nav);
    }
    EXPECT_FALSE(fs::exists(links));                              // the folder of links goes with the view
    EXPECT_TRUE(fs::exists(disc / "VIDEO_TS" / "VTS_01_1.VOB"));  // never what the links point to
  }
}

// An image has no folder of links: a title set that needs its backup is left out, a video
// manager that needs one refuses the disc.
TEST_F(DvdIfoCheck, AnImageLeavesOutWhatNeedsItsBackup) {
  if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) GTEST_SKIP() << "genisoimage missing";
  struct Case {
    const char* file;
    bool usable;
    const char* noted;
  } cases[] = {
      {"VTS_02_0.IFO", true,
       "VTS_02_0.IFO is damaged (3000 bytes, but its header gives 12288): its backup cannot "
       "stand in for it in an image: title set 2 is left out"},
      {"VIDEO_TS.IFO", false, "in an image: the disc cannot be read"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path disc = Folder("image" + std::to_string(++n));
    fs::copy(DvdFixture("basic"), disc, fs::copy_options::recursive);
    fs::resize_file(disc / "VIDEO_TS" / c.file, 3000);
    const std::string image = disc.string() + ".iso";
    ASSERT_EQ(
        std::system(("genisoimage -quiet -dvd-video -o '" + image + "' '" + disc.string() + "' 2>/dev/null").c_str()),
        0);
    const std::unique_ptr<DvdDiscView> view = DvdDiscView::Open(image.c_str());
    EXPECT_EQ(view->usable(), c.usable);
    ASSERT_EQ(view->notes().size(), 1u);
    EXPECT_NE(view->notes()[0].find(c.noted), std::string::npos) << view->notes()[0];
    EXPECT_EQ(view->Refused(2), c.usable);
    EXPECT_EQ(view->libraryPath(), image);
  }
}

}  // namespace
