// The shared blocks between the front end's side (trivox_ctl) and the engine:
// planted blocks are refused, leftovers are swept, nothing stays behind, and
// another user can neither read, plant nor redirect a job.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "common/shared_block.h"
#include "platform/named_objects.h"
#include "tests/platform/child_process.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"
#include "tests/test_util/shm_namespace.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kWindow = 0x00ABC0DE;
const char kJobName[] = "HWND_00ABC0DE";

std::string ObjectPath(const std::string& objectName) { return "/dev/shm" + PosixShmName(objectName); }

bool ObjectPresent(const std::string& objectName) {
  struct stat st {};
  return lstat(ObjectPath(objectName).c_str(), &st) == 0;
}

// A job block's mapping as a front end fills it: the size word, then the record.
std::vector<uint8_t> JobBlockBytes(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> bytes(4 + record.size());
  const uint32_t size = static_cast<uint32_t>(record.size());
  std::memcpy(bytes.data(), &size, 4);
  std::copy(record.begin(), record.end(), bytes.begin() + 4);
  return bytes;
}

class ShmOwnerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveNamespaceObjects();
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
    folder_ =
        MakeConvertFolder(std::string("shmown_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    clip_ = ffmtest::MakeClip("shmown_testsrc.avi",
                              "-f lavfi -i testsrc=size=160x120:rate=25 -t 1 -c:v mpeg4 -q:v 2 -g 25");
    ASSERT_FALSE(clip_.empty());
  }
  void TearDown() override { RemoveNamespaceObjects(); }

  // A frame job's record (trivox_job's bytes) that writes `output`.
  std::vector<uint8_t> FrameRecord(const std::string& output) {
    const std::string file = folder_ + "/default_5.dat";
    const CommandRun job = RunStagedTool("trivox_job", {"write", "frame", file, "--source-path", clip_, "--stream", "0",
                                                        "--frame-count", "5", "--output", output});
    EXPECT_EQ(job.status, 0) << job.output;
    return ReadFileBytes(file);
  }

  CommandRun RunCtl(const std::string& extra = "") {
    return RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -b " +
                      ShellQuote(folder_ + "/default_5.dat") + " --engine " + ShellQuote(folder_ + "/trivox_free") +
                      " --timeout 60 " + extra + " 2>&1");
  }

  std::string folder_, clip_;
};

// Plants an object as this user, with mode `mode`, holding `bytes`; the
// descriptor returned holds it open (an unheld one would be a leftover).
int Plant(const std::string& objectName, const std::vector<uint8_t>& bytes, mode_t mode) {
  const std::string name = PosixShmName(objectName);
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return -1;
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || fchmod(fd, mode) != 0 ||
      flock(fd, LOCK_SH) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

TEST_F(ShmOwnerEndToEnd, FrameRenderLeavesNoBlockBehind) {
  const std::string output = folder_ + "/frame.bmp";
  FrameRecord(output);
  const CommandRun run = RunCtl();
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(output));
  // The mute cell's mapping and mutex included.
  EXPECT_FALSE(ObjectPresent(BlockMappingName(MuteCell::kName)));
  EXPECT_FALSE(ObjectPresent(BlockMutexName(MuteCell::kName)));
  EXPECT_EQ(NamespaceObjects(), std::vector<std::string>{});
}

TEST_F(ShmOwnerEndToEnd, KilledFrontEndsBlocksAreSweptAtTheNextStart) {
  // A front end killed while it held its job block, and an engine killed
  // while it held the mute cell: nothing unlinks their objects.
  for (const std::string& block : {std::string(kJobName), std::string(MuteCell::kName)}) {
    ChildProcess holder({SHM_HELPER, "block", block, "64", "1"});
    ASSERT_EQ(holder.ReadLine(), "ready 1");
    holder.Kill();
    holder.Wait();
    ASSERT_TRUE(ObjectPresent(BlockMappingName(block)));
  }
  // A live holder's block stays.
  ChildProcess live({SHM_HELPER, "block", "HWND_00000001", "64", "1"});
  ASSERT_EQ(live.ReadLine(), "ready 1");

  // Any engine start sweeps, whatever becomes of its own job.
  RunEngine(folder_, {"-b", "HWND_00000002"});
  for (const std::string& block : {std::string(kJobName), std::string(MuteCell::kName)}) {
    EXPECT_FALSE(ObjectPresent(BlockMappingName(block))) << block;
    EXPECT_FALSE(ObjectPresent(BlockMutexName(block))) << block;
  }
  EXPECT_TRUE(ObjectPresent(BlockMappingName("HWND_00000001")));
  live.CloseStdin();
  EXPECT_EQ(live.Wait(), 0);
}

TEST_F(ShmOwnerEndToEnd, EngineRefusesBlocksOpenToOthers) {
  const std::string output = folder_ + "/planted.bmp";
  const std::vector<uint8_t> job = JobBlockBytes(FrameRecord(output));
  struct Case {
    const char* what;
    std::string object;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"job block", BlockMappingName(kJobName), job},
      {"job block's mutex", BlockMutexName(kJobName), std::vector<uint8_t>(64)},
      {"control block", BlockMappingName(ControlBlock::NameForWindow(kWindow)),
       std::vector<uint8_t>(ControlBlock::kSize)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The job block is held by a front end, the planted object by nobody.
    CSharedBlock held;
    if (c.object != BlockMappingName(kJobName) && c.object != BlockMutexName(kJobName)) {
      ASSERT_TRUE(held.Create(kJobName, job.size(), CSharedBlock::Backing::PagingOnly));
      std::memcpy(held.View(), job.data(), job.size());
    }
    const int planted = Plant(c.object, c.bytes, 0666);
    ASSERT_GE(planted, 0);
    const EngineRun run = RunEngine(folder_, {"-b", kJobName});
    EXPECT_EQ(JobResult(run), 0x80004005u) << run.output;
    EXPECT_NE(run.output.find("refused: owner uid " + std::to_string(geteuid()) + ", mode 0666"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(PosixShmName(c.object)), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(output));
    shm_unlink(PosixShmName(c.object).c_str());
    close(planted);
  }
}

// As root, with the user "nobody" in the part of the other local user.
class SecondUser : public ShmOwnerEndToEnd {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    if (access("/usr/sbin/runuser", X_OK) != 0 && access("/sbin/runuser", X_OK) != 0) GTEST_SKIP() << "no runuser";
    if (RunCommand("runuser -u nobody -- true 2>&1").status != 0) GTEST_SKIP() << "cannot run as nobody";
    ShmOwnerEndToEnd::SetUp();
    if (IsSkipped()) return;
    // A folder both users can use, for what nobody plants and wants written.
    char pattern[] = "/tmp/shmown_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    shared_ = pattern;
    ASSERT_EQ(chmod(shared_.c_str(), 0777), 0);
  }
  void TearDown() override {
    if (!shared_.empty()) fs::remove_all(shared_);
    ShmOwnerEndToEnd::TearDown();
  }

  CommandRun AsNobody(const std::string& shell) {
    return RunCommand("runuser -u nobody -- sh -c " + ShellQuote(shell) + " 2>&1");
  }

  std::string shared_;
};

TEST_F(SecondUser, CannotPlantAJobForTheEngine) {
  // nobody prepares a job block whose record writes where nobody chose, and
  // the window's control block, both open to everyone.
  const std::string evil = shared_ + "/chosen_by_nobody.bmp";
  WriteFile(shared_ + "/job.bin", JobBlockBytes(FrameRecord(evil)));
  chmod((shared_ + "/job.bin").c_str(), 0644);
  const std::string jobObject = ObjectPath(BlockMappingName(kJobName));
  const std::string controlObject = ObjectPath(BlockMappingName(ControlBlock::NameForWindow(kWindow)));
  const CommandRun plant =
      AsNobody("umask 0; cat " + ShellQuote(shared_ + "/job.bin") + " > " + ShellQuote(jobObject) + " && head -c " +
               std::to_string(ControlBlock::kSize) + " /dev/zero > " + ShellQuote(controlObject));
  ASSERT_EQ(plant.status, 0) << plant.output;

  // The engine pointed at the planted block refuses it.
  const EngineRun engine = RunEngine(folder_, {"-b", kJobName});
  EXPECT_EQ(JobResult(engine), 0x80004005u) << engine.output;
  EXPECT_NE(engine.output.find("refused: owner uid 65534, mode 0666"), std::string::npos) << engine.output;
  EXPECT_FALSE(fs::exists(evil));

  // This user's own run in that window refuses the planted control block.
  const std::string own = folder_ + "/own.bmp";
  FrameRecord(own);
  const CommandRun ctl = RunCtl("--window " + std::string(kJobName + 5));
  EXPECT_NE(ctl.status, 0) << ctl.output;
  EXPECT_NE(ctl.output.find("refused: owner uid 65534, mode 0666"), std::string::npos) << ctl.output;
  EXPECT_FALSE(fs::exists(evil));
  EXPECT_FALSE(fs::exists(own));
  // Someone else's objects are left where they are.
  EXPECT_TRUE(fs::exists(jobObject));
  EXPECT_TRUE(fs::exists(controlObject));
}

TEST_F(SecondUser, CannotReadOrRedirectALiveJob) {
  const std::string own = folder_ + "/own.bmp";
  const std::vector<uint8_t> job = JobBlockBytes(FrameRecord(own));
  CSharedBlock block;
  ASSERT_TRUE(block.Create(kJobName, job.size(), CSharedBlock::Backing::PagingOnly));
  std::memcpy(block.View(), job.data(), job.size());
  const std::string object = ObjectPath(BlockMappingName(kJobName));
  const std::string evil = shared_ + "/chosen_by_nobody.bmp";
  WriteFile(shared_ + "/job.bin", JobBlockBytes(FrameRecord(evil)));
  chmod((shared_ + "/job.bin").c_str(), 0644);

  struct Attempt {
    const char* what;
    std::string shell;
  } attempts[] = {
      {"read", "cat " + ShellQuote(object) + " > /dev/null"},
      {"rewrite", "cat " + ShellQuote(shared_ + "/job.bin") + " > " + ShellQuote(object)},
      {"replace", "rm -f " + ShellQuote(object)},
      {"open the mutex", "cat " + ShellQuote(ObjectPath(BlockMutexName(kJobName))) + " > /dev/null"},
  };
  for (const Attempt& a : attempts) {
    const CommandRun run = AsNobody(a.shell);
    EXPECT_NE(run.status, 0) << a.what << ": " << run.output;
  }
  // The engine reads the record this user wrote.
  const EngineRun engine = RunEngine(folder_, {"-b", kJobName});
  EXPECT_EQ(JobResult(engine), 0u) << engine.output;
  EXPECT_TRUE(fs::exists(own));
  EXPECT_FALSE(fs::exists(evil));
}
