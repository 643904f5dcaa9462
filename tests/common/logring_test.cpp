#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/log_ring.h"
#include "tests/platform/child_process.h"

using namespace LogRingLayout;

namespace {

const char* EntryText(const CLogRing& ring, int32_t i) {
  return reinterpret_cast<const char*>(ring.View() + EntryOffset(i) + sizeof(SYSTEMTIME));
}
int32_t WriteIndex(const CLogRing& ring) { return BlockWord(ring.View(), kWriteIndex).load(); }
int32_t ReadIndex(const CLogRing& ring) { return BlockWord(ring.View(), kReadIndex).load(); }

}  // namespace

TEST(LogRing, LayoutAndFreshRingIsEmpty) {
  EXPECT_EQ(kSize, 270344u);
  EXPECT_EQ(EntryOffset(1), 536u);
  CLogRing ring;
  ASSERT_TRUE(ring.Open(":fresh"));
  EXPECT_EQ(ReadIndex(ring), 0);
  EXPECT_EQ(WriteIndex(ring), 0);
  std::vector<LogEntry> got;
  EXPECT_EQ(ring.TakeEntries(got), 0u);
}

TEST(LogRing, LongLinesAreCutAndTerminated) {
  std::unique_ptr<CLogRing, int (*)(CLogRing*)> ring(LogRingCreate(":cut"), LogRingDestroy);
  ASSERT_TRUE(ring->IsOpen());
  std::string line600(600, 'a');
  // Formatted lines far beyond the 2,048-byte buffer are cut, not overflowed.
  std::string line5000(5000, 'b');
  struct Case {
    std::string in;
    size_t stored;
  } cases[] = {{line600, 511}, {line5000, 511}, {std::string(511, 'c'), 511}, {"short", 5}, {"", 0}};
  int32_t i = 0;
  for (const auto& c : cases) {
    ASSERT_EQ(LogRingPrintf(ring.get(), "%s", c.in.c_str()), 1);
    const char* field = EntryText(*ring, i);
    EXPECT_EQ(strnlen(field, kTextSize), c.stored);
    EXPECT_EQ(std::string(field, c.stored), c.in.substr(0, c.stored));
    EXPECT_EQ(field[kTextSize - 1], 0);
    ++i;
  }
  std::vector<LogEntry> got;
  ASSERT_EQ(ring->TakeEntries(got), 5u);
  EXPECT_EQ(got[0].text, line600.substr(0, 511));
  EXPECT_EQ(got[3].text, "short");
  // Stamped with the local time of writing.
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(got[0].time.wYear, local.tm_year + 1900);
  EXPECT_EQ(got[0].time.wMonth, local.tm_mon + 1);
  EXPECT_LE(got[0].time.wMilliseconds, 999);
}

TEST(LogRing, WriteIndexWrapsAt512) {
  CLogRing ring;
  ASSERT_TRUE(ring.Open(":wrap"));
  for (int n = 0; n < 511; ++n) ASSERT_TRUE(ring.Append("x"));
  EXPECT_EQ(WriteIndex(ring), 511);
  ASSERT_TRUE(ring.Append("last"));
  // 512 appends with no reads: back at the start, and the ring looks empty.
  EXPECT_EQ(WriteIndex(ring), 0);
  std::vector<LogEntry> got;
  EXPECT_EQ(ring.TakeEntries(got), 0u);
  ASSERT_TRUE(ring.Append("first again"));
  EXPECT_EQ(WriteIndex(ring), 1);
  ASSERT_EQ(ring.TakeEntries(got), 1u);
  EXPECT_EQ(got[0].text, "first again");

  // Reading across the wrap from 511 to 0.
  BlockWord(ring.View(), kReadIndex).store(510);
  BlockWord(ring.View(), kWriteIndex).store(510);
  for (const char* t : {"a", "b", "c"}) ring.Append(t);
  got.clear();
  ASSERT_EQ(ring.TakeEntries(got), 3u);
  EXPECT_EQ(got[2].text, "c");
  EXPECT_EQ(ReadIndex(ring), 1);
  EXPECT_EQ(WriteIndex(ring), 1);
}

TEST(LogRing, DamagedIndexesAreReset) {
  CLogRing ring;
  ASSERT_TRUE(ring.Open(":damaged"));
  for (int32_t bad : {700, -3, 512}) {
    BlockWord(ring.View(), kWriteIndex).store(bad);
    BlockWord(ring.View(), kReadIndex).store(0);
    EXPECT_TRUE(ring.Append("dropped"));
    EXPECT_EQ(WriteIndex(ring), 0) << bad;
    EXPECT_TRUE(ring.Append("kept"));
    EXPECT_STREQ(EntryText(ring, 0), "kept");
    EXPECT_EQ(WriteIndex(ring), 1);
  }
  // A damaged read index skips to the write index instead of reading wild.
  BlockWord(ring.View(), kReadIndex).store(9999);
  std::vector<LogEntry> got;
  EXPECT_EQ(ring.TakeEntries(got), 0u);
  EXPECT_EQ(ReadIndex(ring), 1);
}

TEST(LogRing, UnopenedRingDropsLines) {
  CLogRing closed;
  EXPECT_FALSE(closed.Append("nothing"));
  std::vector<LogEntry> got;
  EXPECT_EQ(closed.TakeEntries(got), 0u);
  EXPECT_EQ(LogRingPrintf(nullptr, "x"), 0);
  EXPECT_EQ(LogRingDestroy(nullptr), 1);
  CLogRing* bad = LogRingCreate("");
  EXPECT_FALSE(bad->IsOpen());
  EXPECT_EQ(LogRingPrintf(bad, "dropped %d", 1), 0);
  EXPECT_EQ(LogRingDestroy(bad), 1);
}

TEST(LogRing, FileBackedRingFlushesEveryAppend) {
  std::string dir = std::string(TRIVOX_BINARY_DIR) + "/logring_file";
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/ring.log";
  unlink(path.c_str());
  CLogRing ring;
  ASSERT_TRUE(ring.Open(path));
  for (const char* t : {"one", "two"}) {
    ASSERT_TRUE(ring.Append(t));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), kSize);
    int32_t w;
    memcpy(&w, bytes.data() + kWriteIndex, 4);
    EXPECT_STREQ(bytes.data() + EntryOffset(w - 1) + sizeof(SYSTEMTIME), t);
  }
}

TEST(LogRing, TwoProcessesOfEightThreadsLoseNothing) {
  constexpr int kProcs = 2, kThreads = 8, kLines = 100;
  CLogRing reader;
  ASSERT_TRUE(reader.Open(":busy"));
  std::vector<std::unique_ptr<ChildProcess>> writers;
  for (int p = 0; p < kProcs; ++p) {
    writers.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
        LOGRING_WRITER, ":busy", std::to_string(p), std::to_string(kThreads), std::to_string(kLines), "1000"}));
    ASSERT_EQ(writers.back()->ReadLine(), "ready");
  }
  for (auto& w : writers) w->WriteLine("go");

  std::map<std::pair<int, int>, int> next;  // (proc, thread) -> next line number
  int total = 0, torn = 0, outOfOrder = 0;
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    for (auto& w : writers) EXPECT_EQ(w->Wait(), 0);
    done = true;
  });
  auto consume = [&] {
    std::vector<LogEntry> got;
    reader.TakeEntries(got);
    for (const auto& e : got) {
      int p, t, n;
      char tail[64] = {};
      if (sscanf(e.text.c_str(), "P%d T%d N%d %63s", &p, &t, &n, tail) != 4 ||
          strcmp(tail, "payload-payload-payload-payload") != 0 || e.time.wYear < 2000) {
        ++torn;
        continue;
      }
      int& expect = next[{p, t}];
      if (n != expect) ++outOfOrder;
      expect = n + 1;
      ++total;
    }
  };
  while (!done) {
    consume();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  waiter.join();
  consume();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_EQ(total, kProcs * kThreads * kLines);
  EXPECT_EQ(next.size(), static_cast<size_t>(kProcs * kThreads));
}
