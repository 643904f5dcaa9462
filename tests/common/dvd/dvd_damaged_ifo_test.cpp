// A table of damaged IFO files (cut at several sizes, bytes mutated with a fixed seed, the backup
// damaged alike or left intact) given to the staged dvdscan and dvdcat: neither crashes, aborts,
// hangs or (under the sanitizers) reports; with the backup intact the disc reads as the intact
// one does.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/dvd/dvd_fixture.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status = -1;  // exit status; -1 when killed by a signal
  std::string output;
  std::string errors;
};

// Runs a staged tool with a time limit; standard output and error apart.
ToolRun RunTool(const std::string& tool, const std::string& argument, const fs::path& errors) {
  const std::string command =
      "timeout 20 '" + std::string(TRIVOX_STAGE_DIR) + "/" + tool + "' '" + argument + "' 2>'" + errors.string() + "'";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errors);
  run.errors.assign(std::istreambuf_iterator<char>(in), {});
  return run;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Case {
  std::string label;
  std::string file;            // VIDEO_TS.IFO, VTS_01_0.IFO
  std::vector<uint8_t> bytes;  // what it holds now
  bool backupToo;              // the .BUP holds the same
  bool cut = false;            // cut short: never passes the check
};

std::vector<Case> Table() {
  const fs::path intact = fs::path(DvdFixture("basic")) / "VIDEO_TS";
  std::vector<Case> cases;
  std::mt19937 rng(7);
  for (const char* file : {"VIDEO_TS.IFO", "VTS_01_0.IFO"}) {
    const std::vector<uint8_t> original = ReadAll(intact / file);
    for (size_t size : {0, 1000, 2047, 2048, 3000, 4096, 6000, 8191, 10000}) {
      if (size >= original.size()) continue;
      std::vector<uint8_t> cut(original.begin(), original.begin() + static_cast<long>(size));
      cases.push_back({std::string(file) + " cut to " + std::to_string(size), file, cut, false, true});
      if (size == 3000) cases.push_back({std::string(file) + " and its backup cut to 3000", file, cut, true, true});
    }
    for (int round = 0; round < 30; ++round) {
      std::vector<uint8_t> bytes = original;
      std::string where;
      const int changes = 1 + static_cast<int>(rng() % 12);
      for (int i = 0; i < changes; ++i) {
        const size_t at = rng() % bytes.size();
        bytes[at] = static_cast<uint8_t>(rng());
        where += " " + std::to_string(at);
      }
      const bool both = round % 3 == 2;
      cases.push_back(
          {std::string(file) + (both ? " and its backup" : "") + " mutated at" + where, file, bytes, both, false});
    }
  }
  return cases;
}

TEST(DvdDamagedIfo, ToolsNeitherCrashNorHangAndReadTheBackup) {
  REQUIRE_DVD_FIXTURES();
  const fs::path base = fs::path(TRIVOX_BINARY_DIR) / "tests" / "dvd_damaged_ifo";
  fs::remove_all(base);
  fs::create_directories(base);
  const fs::path intact = fs::path(DvdFixture("basic")) / "VIDEO_TS";
  const ToolRun scanIntact = RunTool("dvdscan", DvdFixture("basic"), base / "errors.txt");
  const ToolRun catIntact = RunTool("dvdcat", "dvd:1,1,3," + DvdFixture("basic"), base / "errors.txt");
  ASSERT_EQ(scanIntact.status, 0);
  ASSERT_EQ(catIntact.status, 0);
  int n = 0;
  for (const Case& c : Table()) {
    SCOPED_TRACE(c.label);
    // The disc: its VOBs linked, its IFO files copied.
    const fs::path disc = base / ("disc" + std::to_string(++n));
    fs::create_directories(disc / "VIDEO_TS");
    for (const auto& e : fs::directory_iterator(intact)) {
      const fs::path to = disc / "VIDEO_TS" / e.path().filename();
      if (e.path().extension() == ".VOB")
        fs::create_hard_link(e.path(), to);
      else
        fs::copy_file(e.path(), to);
    }
    WriteAll(disc / "VIDEO_TS" / c.file, c.bytes);
    if (c.backupToo) WriteAll(disc / "VIDEO_TS" / (c.file.substr(0, c.file.size() - 3) + "BUP"), c.bytes);

    const ToolRun scan = RunTool("dvdscan", disc.string(), base / "errors.txt");
    const ToolRun cat = RunTool("dvdcat", "dvd:1,1,3," + disc.string(), base / "errors.txt");
    for (const ToolRun* run : {&scan, &cat}) {
      EXPECT_TRUE(run->status == 0 || run->status == 1) << run->status << "\n" << run->errors;
      EXPECT_EQ(run->errors.find("Sanitizer"), std::string::npos) << run->errors;
      EXPECT_EQ(run->errors.find("runtime error"), std::string::npos) << run->errors;
    }
    if (c.cut && !c.backupToo) {
      // The backup stands in: the same listing, the same title. (A mutation the check lets
      // through, a palette entry say, is read as it is.)
      EXPECT_EQ(scan.output, scanIntact.output);
      EXPECT_NE(scan.errors.find(c.file + " is "), std::string::npos) << scan.errors;
      EXPECT_NE(scan.errors.find("is read instead"), std::string::npos) << scan.errors;
      EXPECT_TRUE(cat.output == catIntact.output) << cat.output.size() << " bytes, not " << catIntact.output.size();
    }
    fs::remove_all(disc);
  }
}

}  // namespace
