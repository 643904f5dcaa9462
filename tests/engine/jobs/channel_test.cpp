#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "common/shared_block.h"
#include "engine/jobs/job_block_reader.h"
#include "engine/jobs/job_channel.h"
#include "tests/platform/child_process.h"
#include "tests/test_util/shm_namespace.h"

namespace {

// The front end's job block: size word then record bytes.
void MakeJobBlock(CSharedBlock& block, const std::string& name, const std::vector<uint8_t>& record, int32_t sizeWord) {
  ASSERT_TRUE(block.Create(name, record.size() + 4, CSharedBlock::Backing::PagingOnly));
  NamedMutexLock lock(block.Mutex());
  BlockWord(block.View(), 0).store(sizeWord);
  memcpy(block.View() + 4, record.data(), record.size());
}

class Channel : public ::testing::Test {
 protected:
  // Objects a crashed earlier run of this test left in its own namespace.
  static void SetUpTestSuite() { RemoveNamespaceObjects("VIVEZAZAD"); }
  void TearDown() override {
    CloseJobChannel();
    CloseEngineWord();
    EXPECT_EQ(NamespaceObjects("VIVEZAZAD"), std::vector<std::string>{});
  }
};

}  // namespace

TEST_F(Channel, ControlBlockNameFromJobName) {
  struct Case {
    const char* job;
    const char* control;
  } cases[] = {
      {"HWND_0001A2B4_2", ":CTRLDATA_0001A2B4"},
      {"HWND_0001A2B4", ":CTRLDATA_0001A2B4"},
      {"HWND_abcdef12", ":CTRLDATA_ABCDEF12"},
      {"HWND_7", ":CTRLDATA_00000000"},  // six characters
      {"HWND_", ":CTRLDATA_00000000"},
      {"", ":CTRLDATA_00000000"},
      {"HWND_zz", ":CTRLDATA_00000000"},
      {"HWND_12x4", ":CTRLDATA_00000012"},
      {"test", ":CTRLDATA_00000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(ControlBlockNameForJob(c.job), c.control) << c.job;
  EXPECT_EQ(BlockMappingName(ControlBlockNameForJob("HWND_0001A2B4_2")), "Local\\MEMSHARE/_CTRLDATA_0001A2B4");
}

TEST_F(Channel, OpensJobAndControlBlocks) {
  CSharedBlock frontControl, frontJob;
  ASSERT_TRUE(frontControl.Create(":CTRLDATA_0001A2B4", ControlBlock::kSize));
  const std::vector<uint8_t> record = {1, 2, 3, 4, 5, 6, 7};
  MakeJobBlock(frontJob, "HWND_0001A2B4_2", record, 7);

  JobChannel* ch = OpenJobChannel("HWND_0001A2B4_2");
  ASSERT_NE(ch, nullptr);
  JobBlock* job = GetJobBlock(ch);
  EXPECT_EQ(job->size, 7);
  ASSERT_NE(job->data, nullptr);
  EXPECT_EQ(memcmp(job->data, record.data(), 7), 0);
  ASSERT_NE(GetControlData(ch), nullptr);
  EXPECT_FALSE(ch->control.Created());

  SetControlPosition(ch, 12345);
  SetControlFrameCount(ch, 77);
  EXPECT_EQ(BlockWord(frontControl.View(), ControlBlock::kPosition).load(), 12345);
  EXPECT_EQ(BlockWord(frontControl.View(), ControlBlock::kFrames).load(), 77);
  CloseJobChannel(ch);

  // Null channels are accepted everywhere.
  EXPECT_EQ(GetControlData(nullptr), nullptr);
  EXPECT_EQ(GetJobBlock(nullptr), nullptr);
  SetControlPosition(nullptr, 1);
  SetControlFrameCount(nullptr, 1);
  CloseJobChannel(nullptr);
}

TEST_F(Channel, MissingJobBlockReadsEmptyAndControlStillOpens) {
  JobChannel* ch = OpenJobChannel("HWND_00C0FFEE");
  JobBlock* job = GetJobBlock(ch);
  EXPECT_TRUE(job->block.IsOpen());
  EXPECT_EQ(job->size, 0);
  ASSERT_NE(GetControlData(ch), nullptr);
  EXPECT_TRUE(ch->control.Created());
  EXPECT_EQ(ch->control.Size(), ControlBlock::kSize);
  EXPECT_TRUE(CSharedBlock::Exists(":CTRLDATA_00C0FFEE"));
  CloseJobChannel(ch);

  std::vector<uint8_t> bytes = {9};
  EXPECT_EQ(ReadJobFromBlock("HWND_00C0FFEE", bytes), S_OK);
  EXPECT_TRUE(bytes.empty());
}

TEST_F(Channel, SizeWordIsClampedToTheMapping) {
  const std::vector<uint8_t> record(10, 0x5A);
  struct Case {
    int32_t word;
    int32_t size;
  } cases[] = {{10, 10}, {4, 4}, {1000, 10}, {0x7FFFFFFF, 10}, {-1, 0}, {INT32_MIN, 0}, {0, 0}};
  for (const auto& c : cases) {
    CSharedBlock front;
    MakeJobBlock(front, "HWND_00000ABC", record, c.word);
    JobChannel* ch = OpenJobChannel("HWND_00000ABC");
    EXPECT_EQ(GetJobBlock(ch)->size, c.size) << c.word;
    CloseJobChannel(ch);

    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadJobFromBlock("HWND_00000ABC", bytes), S_OK);
    EXPECT_EQ(bytes.size(), static_cast<size_t>(c.size)) << c.word;
    CloseJobChannel();
  }
  EXPECT_EQ(ClampedRecordSize(nullptr, 100), 0);
  uint8_t tiny[3] = {5, 0, 0};
  EXPECT_EQ(ClampedRecordSize(tiny, 3), 0);
}

TEST_F(Channel, ReadJobCopiesRecordAndPublishesEngineWord) {
  CSharedBlock front;
  const std::vector<uint8_t> record = {'r', 'e', 'c', 'o', 'r', 'd'};
  MakeJobBlock(front, "HWND_00001234", record, 6);
  OpenEngineWord();
  std::vector<uint8_t> bytes;
  ASSERT_EQ(ReadJobFromBlock("HWND_00001234", bytes), S_OK);
  EXPECT_EQ(bytes, record);

  JobChannel* ch = CurrentJobChannel();
  ASSERT_NE(ch, nullptr);
  EXPECT_FALSE(GetJobBlock(ch)->block.IsOpen());  // closed right after reading
  ASSERT_NE(GetControlData(ch), nullptr);

  CSharedBlock word;
  ASSERT_TRUE(word.Create(EngineWordName(static_cast<uint32_t>(getpid())), 4));
  EXPECT_FALSE(word.Created());
  uint32_t expected = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetControlData(ch) + 16));
  EXPECT_EQ(static_cast<uint32_t>(BlockWord(word.View(), 0).load()), expected);
  word.Close();

  CloseJobChannel();
  EXPECT_EQ(CurrentJobChannel(), nullptr);
  EXPECT_FALSE(CSharedBlock::Exists(":CTRLDATA_00001234"));
}

TEST_F(Channel, JobBlockThatCannotBeMadeFails) {
  // A directory where the object would be: it can be neither opened nor created.
  std::string path = "/dev/shm" + PosixShmName(BlockMappingName("HWND_0000BAD0"));
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadJobFromBlock("HWND_0000BAD0", bytes), E_FAIL);
  rmdir(path.c_str());
}

TEST_F(Channel, RecordTravelsThroughTheBlockToTheEngine) {
  struct stat st {};
  std::string engine = std::string(TRIVOX_STAGE_DIR) + "/trivox_free";
  if (stat(engine.c_str(), &st) != 0) GTEST_SKIP() << "no engine staged";
  std::string dir = std::string(TRIVOX_BINARY_DIR) + "/channel_e2e";
  mkdir(dir.c_str(), 0755);
  std::string jobFile = dir + "/job.dat";
  {
    ChildProcess writer({std::string(TRIVOX_STAGE_DIR) + "/trivox_job", "write", "convert", jobFile, "--source",
                         "/media/in put.mpg", "--output", dir + "/out.mp4"});
    ASSERT_EQ(writer.Wait(), 0);
  }
  ChildProcess ctl({std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl", "run", "-m", jobFile, "--timeout", "60"});
  std::string out, line;
  while (!(line = ctl.ReadLine(60000)).empty() || ctl.Wait() < 0) {
    out += line + "\n";
    if (line.rfind("RESULT=", 0) == 0) break;
  }
  int status = ctl.Wait();
  EXPECT_NE(out.find("] Start converting media file \"/media/in put.mpg\"..."), std::string::npos) << out;
  // The job names no writer.
  EXPECT_NE(out.find("] Conversion failed,the return code is 80040203."), std::string::npos) << out;
  EXPECT_NE(out.find("RESULT=80040203\n"), std::string::npos) << out;
  EXPECT_EQ(status, 3);  // low byte of 0x80040203
}
