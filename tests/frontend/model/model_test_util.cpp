#include "tests/frontend/model/model_test_util.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
  const fs::path base = fs::path(TRIVOX_BINARY_DIR) / "tests" / "frontend_tmp";
  fs::create_directories(base);
  std::string pattern = (base / "t-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void CopyStagedProfiles(const std::string& folder) {
  const fs::path stage(TRIVOX_STAGE_DIR);
  fs::create_directories(folder);
  for (const char* sub : {"tree", "acodec", "vcodec", "muxer", "filter"})
    fs::copy(stage / sub, fs::path(folder) / sub, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(stage / "default.cfg", fs::path(folder) / "default.cfg", fs::copy_options::overwrite_existing);
}
