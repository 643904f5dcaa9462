// trivox_free -m on jobs made by trivox_job, with a plug-in reader and writer
// beside a copy of the engine; the same job through trivox_ctl.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util/engine_process.h"
#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

uint32_t ResultOf(const EngineRun& run) {
  if (run.resultBytes.size() != 4) return 0xDEADBEEF;
  return run.resultBytes[0] | run.resultBytes[1] << 8 | run.resultBytes[2] << 16 |
         static_cast<uint32_t>(run.resultBytes[3]) << 24;
}

class ConvertEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = MakeEngineFolder("convert_" + name);
    for (const char* data : {"vfcc.dat", "muxer.dat"})
      fs::copy_file(fs::path(TRIVOX_STAGE_DIR) / data, fs::path(folder_) / data);
    fs::create_directories(fs::path(folder_) / "plugin");
    fs::copy_file(TRIVOX_E2E_PLUGIN, fs::path(folder_) / "plugin" / "e2e_media.so");
    source_ = folder_ + "/in.tvxs";
    payload_.resize(32000);
    for (size_t i = 0; i < payload_.size(); ++i) payload_[i] = static_cast<uint8_t>(i * 7 + i / 251);
    std::vector<uint8_t> file(4 + payload_.size());
    std::memcpy(file.data(), "TVXS", 4);
    std::copy(payload_.begin(), payload_.end(), file.begin() + 4);
    WriteFile(source_, file);
    output_ = folder_ + "/out.pcm";
  }

  // Writes default_0.dat beside the engine copy.
  void MakeJob(const std::vector<std::string>& sources, const std::string& writer) {
    std::string command = std::string(TRIVOX_STAGE_DIR) + "/trivox_job write convert " + ShellQuote(Record());
    for (const std::string& s : sources) command += " --source " + ShellQuote(s);
    command += " --output " + ShellQuote(output_) + " --acodec COPY --vcodec NONE --writer " + ShellQuote(writer);
    const CommandRun job = RunCommand(command + " 2>&1");
    ASSERT_EQ(0, job.status) << job.output;
  }
  std::string Record() const { return folder_ + "/default_0.dat"; }

  std::string folder_, source_, output_;
  std::vector<uint8_t> payload_;
};

TEST_F(ConvertEndToEnd, TestJobConvertsThroughThePluginModules) {
  MakeJob({source_}, "[PLUGIN]TVXSWR");
  EngineRun run = RunEngine(folder_, {"-m", "test"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, ResultOf(run));
  EXPECT_TRUE(run.HasLine("type=[PLUGIN]TVXSWR")) << run.output;
  EXPECT_TRUE(run.HasLine("ok"));
  EXPECT_EQ(payload_, ReadFileBytes(output_));
}

TEST_F(ConvertEndToEnd, ControlledJobLogsStartAndFinish) {
  MakeJob({source_}, "[PLUGIN]TVXSWR");
  const CommandRun ctl = RunCommand(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl run -m " + ShellQuote(Record()) +
                                    " --engine " + ShellQuote(folder_ + "/trivox_free") + " --timeout 30 2>&1");
  const std::string& out = ctl.output;
  EXPECT_EQ(0, ctl.status) << out;
  EXPECT_NE(std::string::npos, out.find("Start converting media file \"" + source_ + "\"...")) << out;
  EXPECT_NE(std::string::npos, out.find("Conversion finished,the destination file is \"" + output_ + "\".")) << out;
  EXPECT_NE(std::string::npos, out.find("RESULT=00000000")) << out;
  EXPECT_EQ(payload_, ReadFileBytes(output_));
}

TEST_F(ConvertEndToEnd, Refusals) {
  WriteFile(folder_ + "/junk.bin", {1, 2, 3, 4, 5, 6, 7, 8});
  struct Case {
    const char* label;
    std::vector<std::string> sources;
    const char* writer;
    uint32_t result;
  };
  const Case cases[] = {
      {"unknown writer", {source_}, "[PLUGIN]NOSUCH", 0x80040203},
      {"missing source", {folder_ + "/missing.tvxs"}, "[PLUGIN]TVXSWR", 0x80040081},
      {"unknown signature and extension", {folder_ + "/junk.bin"}, "[PLUGIN]TVXSWR", 0x80040012},
      {"empty source list", {}, "[PLUGIN]TVXSWR", 0x8004020A},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove(output_);
    MakeJob(c.sources, c.writer);
    EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(c.result, ResultOf(run)) << run.output;
    EXPECT_EQ(static_cast<int>(c.result & 0xFF), run.status);
    // The writer had created the output; a job that never ran removes it.
    EXPECT_FALSE(fs::exists(output_));
  }
}

TEST_F(ConvertEndToEnd, RefusedJobKeepsAnOutputFileThatWasThere) {
  WriteFile(output_, {1, 2, 3});
  MakeJob({folder_ + "/missing.tvxs"}, "[PLUGIN]TVXSWR");
  EngineRun run = RunEngine(folder_, {"-m", "test"});
  EXPECT_EQ(0x80040081u, ResultOf(run)) << run.output;
  EXPECT_TRUE(fs::exists(output_));
}

}  // namespace
