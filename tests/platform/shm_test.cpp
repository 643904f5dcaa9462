#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/shared_block.h"
#include "platform/named_objects.h"
#include "tests/platform/child_process.h"
#include "tests/test_util/shm_namespace.h"

namespace {

class Shm : public ::testing::Test {
 protected:
  // Objects a crashed earlier run of this test left in its own namespace.
  static void SetUpTestSuite() { RemoveNamespaceObjects(); }
  // Every test closes all it opened: nothing of the namespace may remain.
  void TearDown() override { EXPECT_EQ(NamespaceObjects(), std::vector<std::string>{}); }
};

using Clock = std::chrono::steady_clock;
long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

}  // namespace

TEST_F(Shm, NameConversionAndEncoding) {
  struct Case {
    const char* block;
    const char* converted;
  } cases[] = {
      {":CTRLDATA_0001A2B4", "_CTRLDATA_0001A2B4"},
      {"HWND_0001A2B4_2", "HWND_0001A2B4_2"},
      {"jobs/x", "jobs_x"},
      {"a\\b:c/d", "a_b_c_d"},
      {":VIVEZAZAD", "_VIVEZAZAD"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertBlockName(c.block), c.converted) << c.block;
    EXPECT_EQ(BlockMappingName(c.block), std::string("Local\\MEMSHARE/") + c.converted);
    EXPECT_EQ(BlockMutexName(c.block), std::string("Global\\SHAREMUTEX/") + c.converted);
  }

  const std::string ns = ShmNamespace();
  EXPECT_EQ(ns, getenv("TRIVOX_SHM_NAMESPACE"));
  EXPECT_EQ(PosixShmName("Local\\MEMSHARE/jobs_x"), "/" + ns + ".Local\\MEMSHARE%2Fjobs_x");
  // '%' is escaped too, so escaped and plain names never meet.
  EXPECT_NE(PosixShmName("a/b"), PosixShmName("a%2Fb"));

  std::string longA(400, 'x'), longB(400, 'x');
  longB.back() = 'y';
  for (const auto& n : {longA, longB}) {
    std::string p = PosixShmName(n);
    EXPECT_LE(p.size(), 201u);
    EXPECT_EQ(p.find('/', 1), std::string::npos);
  }
  EXPECT_NE(PosixShmName(longA), PosixShmName(longB));
  // A long name still works as an object.
  CSharedBlock block;
  ASSERT_TRUE(block.Create(":" + longA, 16));
  EXPECT_TRUE(block.Created());
  block.Close();
}

// Without the variable the namespace is the user's, with a secret token kept in
// a private file, so that peers agree on it and other users cannot guess it.
TEST_F(Shm, DefaultNamespaceCarriesThePrivateToken) {
  const std::string root = std::string(TRIVOX_BINARY_DIR) + "/shm_ns_" + std::to_string(getpid());
  const std::string runtime = root + "/run", home = root + "/home";
  mkdir(root.c_str(), 0700);
  mkdir(runtime.c_str(), 0700);
  mkdir(home.c_str(), 0700);
  struct Env {
    std::string name, saved;
    bool had;
    explicit Env(const char* n) : name(n), had(getenv(n) != nullptr) {
      if (had) saved = getenv(n);
    }
    ~Env() {
      if (had)
        setenv(name.c_str(), saved.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  } keep[] = {Env("TRIVOX_SHM_NAMESPACE"), Env("XDG_RUNTIME_DIR"), Env("XDG_CONFIG_HOME"), Env("HOME")};
  unsetenv("TRIVOX_SHM_NAMESPACE");
  unsetenv("XDG_CONFIG_HOME");
  // What a fresh process of this user takes for its namespace.
  auto childNamespace = [](const char* runtimeDir, const std::string& homeDir) {
    if (runtimeDir)
      setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    setenv("HOME", homeDir.c_str(), 1);
    ChildProcess child({SHM_HELPER, "namespace", "-"});
    std::string line = child.ReadLine();
    EXPECT_EQ(child.Wait(), 0);
    return line;
  };
  const std::string user = "trivox-" + std::to_string(getuid());
  auto tokenOf = [&](const std::string& ns) {
    if (ns.size() != user.size() + 33 || ns.compare(0, user.size() + 1, user + "-") != 0) return std::string();
    std::string token = ns.substr(user.size() + 1);
    return token.find_first_not_of("0123456789abcdef") == std::string::npos ? token : std::string();
  };

  const std::string first = childNamespace(runtime.c_str(), home);
  ASSERT_NE(tokenOf(first), "") << first;
  EXPECT_EQ(childNamespace(runtime.c_str(), home), first);  // a peer finds the same names
  struct stat st {};
  const std::string tokenFile = runtime + "/trivox-shm-namespace";
  ASSERT_EQ(stat(tokenFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A token others could read is not used: the settings folder keeps another.
  chmod(tokenFile.c_str(), 0644);
  const std::string fromSettings = childNamespace(runtime.c_str(), home);
  EXPECT_NE(tokenOf(fromSettings), "") << fromSettings;
  EXPECT_NE(fromSettings, first);
  ASSERT_EQ(stat((home + "/.config/velmo/shm-namespace").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(childNamespace(nullptr, home), fromSettings);
  // Nowhere private to keep one: the plain per-user namespace.
  EXPECT_EQ(childNamespace(nullptr, "/nonexistent"), user);

  unlink(tokenFile.c_str());
  unlink((home + "/.config/velmo/shm-namespace").c_str());
  rmdir((home + "/.config/velmo").c_str());
  rmdir((home + "/.config").c_str());
  rmdir(home.c_str());
  rmdir(runtime.c_str());
  rmdir(root.c_str());
}

TEST_F(Shm, NewBlockIsZeroFilledAndSharedWithSecondOpener) {
  CSharedBlock a, b;
  ASSERT_TRUE(a.Create(":zero", 4096));
  EXPECT_TRUE(a.Created());
  EXPECT_TRUE(a.IsPaging());
  for (size_t i = 0; i < a.Size(); ++i) ASSERT_EQ(a.View()[i], 0) << i;
  a.View()[100] = 42;

  ASSERT_TRUE(b.Create(":zero", 4096));
  EXPECT_FALSE(b.Created());
  EXPECT_EQ(b.View()[100], 42);
  // An existing block keeps its size whatever the second opener asks.
  CSharedBlock c;
  ASSERT_TRUE(c.Create(":zero", 16));
  EXPECT_EQ(c.Size(), 4096u);
  EXPECT_TRUE(CSharedBlock::Exists(":zero"));
  a.Close();
  b.Close();
  c.Close();
  EXPECT_FALSE(CSharedBlock::Exists(":zero"));

  CSharedBlock missing;
  EXPECT_FALSE(missing.OpenExisting(":zero"));
  EXPECT_EQ(missing.View(), nullptr);
}

TEST_F(Shm, SecondProcessSeesWrites) {
  CSharedBlock mine;
  {
    ChildProcess child({SHM_HELPER, "block", ":xproc", "64", "0x12345678"});
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.ReadLine(), "ready 1");
    ASSERT_TRUE(mine.Create(":xproc", 64));
    EXPECT_FALSE(mine.Created());
    EXPECT_EQ(BlockWord(mine.View(), 0).load(), 0x12345678);
    BlockWord(mine.View(), 4).store(0x0BADF00D);
    child.WriteLine("check");
    EXPECT_EQ(child.ReadLine(), "0BADF00D");
    child.CloseStdin();
    EXPECT_EQ(child.Wait(), 0);
  }
  // Still held here: the block outlives the process that made it.
  EXPECT_EQ(BlockWord(mine.View(), 0).load(), 0x12345678);
  mine.Close();
}

TEST_F(Shm, KilledHolderDoesNotBlockNextWaiter) {
  NamedMutex m;
  ASSERT_TRUE(m.Open("Global\\SHAREMUTEX/held"));
  ChildProcess child({SHM_HELPER, "mutex", "Global\\SHAREMUTEX/held"});
  ASSERT_EQ(child.ReadLine(), "ready");
  auto t = Clock::now();
  EXPECT_EQ(m.Lock(150), NamedMutex::LockResult::Timeout);
  EXPECT_GE(MsSince(t), 140);
  child.Kill();
  child.Wait();
  EXPECT_EQ(m.Lock(5000), NamedMutex::LockResult::Abandoned);
  EXPECT_TRUE(m.Unlock());
  // Usable as normal afterwards.
  EXPECT_EQ(m.Lock(0), NamedMutex::LockResult::Acquired);
  EXPECT_TRUE(m.Unlock());
}

TEST_F(Shm, MutexIsRecursiveAndTimed) {
  NamedMutex m, other;
  ASSERT_TRUE(m.Open("rec"));
  ASSERT_TRUE(other.Open("rec"));
  EXPECT_EQ(m.Lock(), NamedMutex::LockResult::Acquired);
  EXPECT_EQ(m.Lock(), NamedMutex::LockResult::Acquired);
  EXPECT_EQ(other.Lock(0), NamedMutex::LockResult::Acquired);  // same thread, other handle

  std::atomic<int> got{0};
  auto tryFrom = [&](uint32_t ms) {
    std::thread th([&] {
      auto r = other.Lock(ms);
      got = r == NamedMutex::LockResult::Acquired ? 1 : (r == NamedMutex::LockResult::Timeout ? 2 : 3);
      if (got == 1) other.Unlock();
    });
    th.join();
  };
  auto t = Clock::now();
  tryFrom(100);
  EXPECT_EQ(got, 2);
  EXPECT_GE(MsSince(t), 90);
  EXPECT_TRUE(other.Unlock());
  EXPECT_TRUE(m.Unlock());
  tryFrom(0);
  EXPECT_EQ(got, 2);  // still held once
  EXPECT_TRUE(m.Unlock());
  tryFrom(1000);
  EXPECT_EQ(got, 1);
}

TEST_F(Shm, AutoResetEventReleasesOneWaiterPerSet) {
  NamedEvent e;
  ASSERT_TRUE(e.Open("auto", false, false));
  EXPECT_FALSE(e.Wait(0));
  EXPECT_TRUE(e.Set());
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(20));  // cleared by the first wait

  std::atomic<int> woke{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] {
      NamedEvent mine;
      ASSERT_TRUE(mine.Open("auto", true, false));  // the creator's kind holds
      if (mine.Wait(5000)) ++woke;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  e.Set();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(woke, 1);
  e.Set();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(woke, 2);
}

TEST_F(Shm, ManualResetEventStaysSetAcrossProcesses) {
  NamedEvent e;
  ASSERT_TRUE(e.Open("manual", true, false));
  ChildProcess a({SHM_HELPER, "wait", "manual", "1", "10000"});
  ChildProcess b({SHM_HELPER, "wait", "manual", "1", "10000"});
  ASSERT_EQ(a.ReadLine(), "ready");
  ASSERT_EQ(b.ReadLine(), "ready");
  EXPECT_TRUE(e.Set());
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_EQ(b.Wait(), 0);
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Reset());
  EXPECT_FALSE(e.Wait(0));
  ChildProcess c({SHM_HELPER, "wait", "manual", "1", "100"});
  EXPECT_EQ(c.Wait(), 1);  // times out
}

TEST_F(Shm, NewObjectsAreCreatedPrivateWhateverTheUmask) {
  for (mode_t mask : {0000, 0022, 0277}) {
    const mode_t saved = umask(mask);
    CSharedBlock block;
    const bool made = block.Create(":private", 64);
    umask(saved);
    ASSERT_TRUE(made) << mask;
    EXPECT_TRUE(block.Created());
    for (const std::string& object : {BlockMappingName(":private"), BlockMutexName(":private")}) {
      struct stat st {};
      ASSERT_EQ(stat(("/dev/shm" + PosixShmName(object)).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << object << " umask " << mask;
      EXPECT_EQ(st.st_uid, geteuid());
    }
  }
}

TEST_F(Shm, LeftoverIsReplacedPlantedObjectIsRefused) {
  // Plant an object under a block's mapping name, as a crashed process or
  // another user leaves it: present, with no holder, full of junk.
  auto plant = [](const std::string& objectName, mode_t mode, uid_t owner) {
    std::string name = PosixShmName(objectName);
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 256), 0);
    std::vector<uint8_t> junk(256, 0xAB);
    ASSERT_EQ(write(fd, junk.data(), junk.size()), 256);
    ASSERT_EQ(fchmod(fd, mode), 0);
    if (owner != geteuid()) {
      ASSERT_EQ(fchown(fd, owner, static_cast<gid_t>(-1)), 0);
    }
    close(fd);
  };
  struct Case {
    const char* what;
    mode_t mode;
    bool foreign;      // owned by "nobody" (needs root to plant)
    const char* seen;  // in the refusal; null: the leftover is replaced
  } cases[] = {
      {"own leftover", 0600, false, nullptr},
      {"own, open to all", 0666, false, "mode 0666"},
      {"own, readable by the group", 0640, false, "mode 0640"},
      {"another user's", 0600, true, "owner uid 65534"},
      {"another user's, open to all", 0666, true, "owner uid 65534, mode 0666"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.foreign && geteuid() != 0) continue;
    const std::string object = BlockMappingName(":planted");
    plant(object, c.mode, c.foreign ? 65534 : geteuid());
    if (c.seen) {
      EXPECT_TRUE(CSharedBlock::Exists(":planted"));  // the name is taken
    }

    CSharedBlock block;
    if (!c.seen) {
      ASSERT_TRUE(block.Create(":planted", 128));
      EXPECT_TRUE(block.Created());
      EXPECT_EQ(block.Size(), 128u);
      for (size_t i = 0; i < block.Size(); ++i) ASSERT_EQ(block.View()[i], 0) << i;
      EXPECT_EQ(SharedMemoryRefusal(), "");
      block.Close();
      continue;
    }
    for (bool create : {true, false}) {
      EXPECT_FALSE(create ? block.Create(":planted", 128) : block.OpenExisting(":planted"));
      EXPECT_FALSE(block.IsOpen());
      EXPECT_NE(SharedMemoryRefusal().find(PosixShmName(object)), std::string::npos) << SharedMemoryRefusal();
      EXPECT_NE(SharedMemoryRefusal().find(c.seen), std::string::npos) << SharedMemoryRefusal();
    }
    // Not ours: neither used nor removed, by the sweep either.
    struct stat st {};
    EXPECT_EQ(stat(("/dev/shm" + PosixShmName(object)).c_str(), &st), 0);
    if (c.foreign) {
      EXPECT_EQ(RemoveLeftoverObjects(), 0);
      EXPECT_FALSE(SharedMemory::RemoveIfUnheld(object));
    }
    shm_unlink(PosixShmName(object).c_str());
  }

  // A leftover is not found by a plain open either, and goes.
  plant(BlockMappingName(":stale2"), 0600, geteuid());
  CSharedBlock other;
  EXPECT_FALSE(other.OpenExisting(":stale2"));
  EXPECT_EQ(SharedMemoryRefusal(), "");
}

TEST_F(Shm, SweepRemovesOnlyUnheldObjects) {
  ChildProcess holder({SHM_HELPER, "block", ":held", "64", "1"});
  ASSERT_EQ(holder.ReadLine(), "ready 1");
  ChildProcess killed({SHM_HELPER, "block", ":killed", "64", "1"});
  ASSERT_EQ(killed.ReadLine(), "ready 1");
  killed.Kill();
  killed.Wait();
  EXPECT_EQ(RemoveLeftoverObjects(), 2);  // the killed one's mapping and mutex
  EXPECT_FALSE(CSharedBlock::Exists(":killed"));
  EXPECT_EQ(NamespaceObjects("killed"), NamespaceObjects());
  EXPECT_TRUE(CSharedBlock::Exists(":held"));
  holder.CloseStdin();
  EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(Shm, NamedBlockIsMirroredToItsFile) {
  std::string dir = std::string(TRIVOX_BINARY_DIR) + "/shm_mirror";
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/block.bin";
  unlink(path.c_str());
  {
    CSharedBlock block;
    ASSERT_TRUE(block.Create(path, 32));
    EXPECT_FALSE(block.IsPaging());
    NamedMutexLock lock(block.Mutex());
    memcpy(block.View(), "mirrored", 8);
    block.Flush();
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes.substr(0, 8), "mirrored");
  // A fresh block over an existing file starts from the file's bytes.
  CSharedBlock again;
  ASSERT_TRUE(again.Create(path, 32));
  EXPECT_TRUE(again.Created());
  EXPECT_EQ(memcmp(again.View(), "mirrored", 8), 0);
  again.Close();
  // A file that cannot be opened leaves the block in memory.
  CSharedBlock fallback;
  ASSERT_TRUE(fallback.Create(dir + "/no/such/dir/x", 8));
  EXPECT_TRUE(fallback.IsPaging());
}

TEST_F(Shm, ManyOpenersRacingLeaveNothingBehind) {
  // Threads open and close the same names concurrently; every view they get is
  // initialised and the last closer removes the objects.
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        CSharedBlock b;
        if (!b.Create(":race", 64) || b.Size() != 64) {
          ++failures;
          continue;
        }
        NamedMutexLock lock(b.Mutex());
        if (!lock.Held()) ++failures;
        BlockWord(b.View(), 0).fetch_add(1);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures, 0);
}
