#include "tests/frontend/model/fake_engine_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "frontend/model/engine_process.h"

namespace fs = std::filesystem;

std::string MakeFakeEngineFolder(const std::string& name) {
  const fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fe_session" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(FAKE_ENGINE_PATH, folder / "trivox_free");
  WriteFakeScript(folder.string(), "result 0\n");
  return folder.string();
}

void WriteFakeScript(const std::string& folder, const std::string& script) {
  WriteText(folder + "/fake_engine.txt", script);
}

std::map<std::string, std::string> ReadReport(const std::string& path) {
  std::map<std::string, std::string> out;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void FakeEngineTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder_ = MakeFakeEngineFolder(std::string(info->test_suite_name()) + "." + info->name());
  SetEngineProgram(folder_ + "/trivox_free");
  SetEngineOutputShown(false);
}

void FakeEngineTest::TearDown() { SetEngineProgram(""); }
