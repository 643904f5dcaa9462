#include "tests/frontend/model/model_test_util.h"

#include "common/codec_tables.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

const VfccTable& TestCodecTable() {
  static VfccTable* table = [] {
    auto* t = new VfccTable();
    const struct {
      const char* code;
      const char* name;
    } rows[] = {{"MPG2", "MPEG-2 Video"}, {"AAC ", "AAC"}, {"AC3A", "AC-3"}, {"MP2A", "MP2"}};
    for (const auto& r : rows) {
      VfccEntry e;
      e.code = static_cast<int32_t>(ParseFourCC(r.code));
      std::snprintf(e.displayName, sizeof(e.displayName), "%s", r.name);
      t->Append(e);
    }
    return t;
  }();
  return *table;
}

std::string TestFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "fe-model" /
                          (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

OutputSettings Mp4Choice() {
  OutputSettings s;
  SetJobText(s.muxer, "[FFM]MP4");
  SetJobText(s.audioCodec, "[FFM]AAC");
  SetJobText(s.videoCodec, "[FFM]H264");
  SetJobText(s.ext, "mp4");
  s.sampleRate = 44100;
  s.channels = 2;
  s.audioBitrate = 128000;
  s.videoBitrate = 800000;
  s.volume = 100;
  return s;
}

OutputSettings ShippedMp4Choice() {
  SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""});
  OutputProfile profile;
  EXPECT_EQ(1, LoadOutputProfile("V_10_MP4", "1.ini", profile));
  OutputSettings settings;
  std::string error;
  EXPECT_TRUE(SettingsFromProfile(profile, settings, &error)) << error;
  TheProfileIniCache().Free();
  SetProfileFolders(ProfileFolders{});
  return settings;
}

std::string Touch(const std::string& path, size_t bytes) {
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  return path;
}

std::unique_ptr<MediaInfoRecord> Probe(const std::vector<std::string>& tracks, double length) {
  auto record = std::make_unique<MediaInfoRecord>();
  *record = MediaInfoRecord{};
  record->length = length;
  for (const std::string& t : tracks) {
    EXPECT_TRUE(SetJobText(record->tracks[record->trackCount], t));
    ++record->trackCount;
  }
  return record;
}

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
