// The block queue: geometry, messages over one and two blocks, peeking,
// refusals, writers in other processes, damaged shared memory and peers that die.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/xqueue.h"
#include "platform/named_objects.h"
#include "tests/platform/child_process.h"
#include "tests/test_util/shm_namespace.h"

namespace L = xqueue_layout;

namespace {

using Clock = std::chrono::steady_clock;
long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class XQueue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RemoveNamespaceObjects(); }
  void TearDown() override { EXPECT_EQ(NamespaceObjects(), std::vector<std::string>{}); }
};

// A second view of a queue's mapping, to look at and damage its words.
class RawQueue {
 public:
  explicit RawQueue(const std::string& name) {
    open_ = mem_.Open(CXQueue::MappingName(name), 0, SharedMemory::Mode::OpenExisting);
  }
  bool IsOpen() const { return open_; }
  int32_t Header(size_t offset) const { return Word(offset); }
  void SetHeader(size_t offset, int32_t value) { SetWord(offset, value); }
  int32_t BlockField(uint32_t index, size_t field) const { return Word(BlockOffset(index) + field); }
  void SetBlockField(uint32_t index, size_t field, int32_t value) { SetWord(BlockOffset(index) + field, value); }

 private:
  size_t BlockOffset(uint32_t index) const {
    return static_cast<size_t>(index + 1) * static_cast<uint32_t>(Word(L::kBlockSize));
  }
  int32_t Word(size_t offset) const {
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(static_cast<uint8_t*>(mem_.View()) + offset)).load();
  }
  void SetWord(size_t offset, int32_t value) {
    std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(static_cast<uint8_t*>(mem_.View()) + offset)).store(value);
  }
  SharedMemory mem_;
  bool open_ = false;
};

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 7);
  return bytes;
}

// Reads one message into a fresh buffer of `capacity` bytes.
XQueueResult ReadOne(CXQueue& q, std::vector<uint8_t>& out, uint32_t capacity = 4096) {
  out.assign(capacity, 0xEE);
  uint32_t length = capacity, sequence = 0, thread = 0;
  XQueueResult r = q.Peek(out.data(), &length, &sequence, &thread, 1000);
  if (r == XQueueResult::kOk) out.resize(length);
  return r;
}

// Beyond any pid_max: never a live process.
constexpr int32_t kNoSuchProcess = 0x7FFFFFF0;

}  // namespace

TEST_F(XQueue, GeometryAndNames) {
  struct Case {
    uint32_t blocks;
    uint32_t messageSize;
    XQueueResult result;
    uint32_t wantBlocks, blockSize, payload;
  } cases[] = {
      {0, 1000, XQueueResult::kOk, 1024, 1024, 1000},
      {2, 10, XQueueResult::kOk, 2, 128, 104},
      {2, 0, XQueueResult::kOk, 2, 128, 104},
      {2, 104, XQueueResult::kOk, 2, 128, 104},
      {2, 105, XQueueResult::kOk, 2, 256, 232},
      {65536, 1, XQueueResult::kOk, 65536, 128, 104},
      {1, 100, XQueueResult::kBadArgument, 0, 0, 0},
      {65537, 100, XQueueResult::kBadArgument, 0, 0, 0},
      {2, 0xFFFFFFFFu, XQueueResult::kBadArgument, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.blocks) + " blocks of " + std::to_string(c.messageSize));
    XQueueGeometry g;
    ASSERT_EQ(CXQueue::ComputeGeometry(c.blocks, c.messageSize, &g), c.result);
    if (c.result != XQueueResult::kOk) continue;
    EXPECT_EQ(g.blocks, c.wantBlocks);
    EXPECT_EQ(g.blockSize, c.blockSize);
    EXPECT_EQ(g.payload, c.payload);
  }

  EXPECT_EQ(CXQueue::MappingName("PID120_V0"), "XQUEUE_PID120_V0");
  EXPECT_EQ(CXQueue::WriteMutexName("PID120_V0"), "XQueue_Write_XQueue_PID120_V0");
  EXPECT_EQ(CXQueue::ServerNotifyName("PID120_V0"), "XQueue_ServerNotify_XQueue_PID120_V0");
  EXPECT_EQ(CXQueue::ClientWriteName("PID120_V0"), "XQueue_ClientWrite_XQueue_PID120_V0");
  EXPECT_EQ(CXQueue::MappingName("a\\b"), "XQUEUE_A_B");

  // A fresh queue's header.
  CXQueue server;
  ASSERT_EQ(server.Create("geo", 8, 200), XQueueResult::kOk);
  RawQueue raw("geo");
  ASSERT_TRUE(raw.IsOpen());
  EXPECT_EQ(raw.Header(L::kBlockSize), 256);
  EXPECT_EQ(raw.Header(L::kPayloadSize), 232);
  EXPECT_EQ(raw.Header(L::kMappedBlocks), 9);
  EXPECT_EQ(raw.Header(L::kBlockCount), 8);
  EXPECT_EQ(raw.Header(L::kFreeCount), 8);
  EXPECT_EQ(raw.Header(L::kUsedCount), 0);
  EXPECT_EQ(raw.Header(L::kServerCount), 1);
  EXPECT_EQ(raw.Header(L::kNextSequence), 1);
  EXPECT_EQ(raw.Header(L::kFreeHead), 0);
  EXPECT_EQ(raw.Header(L::kFreeTail), 7);
  EXPECT_EQ(raw.Header(L::kUsedHead), -1);
  EXPECT_EQ(raw.Header(L::kUsedTail), -1);
  EXPECT_EQ(raw.BlockField(3, L::kOwnIndex), 3);
  EXPECT_EQ(raw.BlockField(3, L::kPrevious), 2);
  EXPECT_EQ(raw.BlockField(3, L::kNext), 4);
  EXPECT_EQ(raw.BlockField(7, L::kNext), -1);

  // Attachment rules and bad arguments.
  EXPECT_EQ(server.Create("geo2", 8, 10), XQueueResult::kCreateFailed);
  CXQueue other;
  EXPECT_EQ(other.Create("", 8, 10), XQueueResult::kBadArgument);
  EXPECT_EQ(other.Create(std::string(513, 'q'), 8, 10), XQueueResult::kBadArgument);
  EXPECT_EQ(other.Open(""), XQueueResult::kBadArgument);
  EXPECT_EQ(other.Open("nosuch"), XQueueResult::kOpenFailed);
  ASSERT_EQ(other.Open("geo"), XQueueResult::kOk);
  EXPECT_EQ(raw.Header(L::kClientCount), 1);
  EXPECT_EQ(other.Open("geo"), XQueueResult::kOpenFailed);
  other.Close();
  EXPECT_EQ(raw.Header(L::kClientCount), 0);
  other.Close();  // detached: nothing changes
  EXPECT_EQ(raw.Header(L::kClientCount), 0);
}

TEST_F(XQueue, MessagesOfOneAndTwoBlocks) {
  CXQueue server, client;
  ASSERT_EQ(server.Create("blocks", 4, 1000), XQueueResult::kOk);
  ASSERT_EQ(client.Open("blocks"), XQueueResult::kOk);
  RawQueue raw("blocks");
  const uint32_t payload = client.Geometry().payload;
  ASSERT_EQ(payload, 1000u);

  const auto one = Pattern(payload, 1);
  const auto two = Pattern(payload + 1, 2);
  ASSERT_EQ(client.Write(one.data(), payload, 0), XQueueResult::kOk);
  EXPECT_EQ(static_cast<uint32_t>(raw.BlockField(0, L::kLength)), payload);  // bit 31 clear
  ASSERT_EQ(client.Write(two.data(), payload + 1, 0), XQueueResult::kOk);
  EXPECT_EQ(static_cast<uint32_t>(raw.BlockField(1, L::kLength)), payload | L::kContinues);
  EXPECT_EQ(raw.BlockField(2, L::kLength), 1);
  EXPECT_EQ(raw.BlockField(1, L::kSequence), 2);
  EXPECT_EQ(raw.BlockField(2, L::kSequence), 2);
  EXPECT_EQ(raw.Header(L::kUsedCount), 3);
  EXPECT_EQ(raw.Header(L::kFreeCount), 1);
  EXPECT_EQ(raw.Header(L::kLargestMessage), static_cast<int32_t>(payload + 1));

  // (N - 1) x block size bytes or more never fit; empty or null data is refused.
  const auto big = Pattern(3 * 1024, 3);
  EXPECT_EQ(client.Write(big.data(), 3 * 1024, 0), XQueueResult::kBadArgument);
  EXPECT_EQ(client.Write(nullptr, 10, 0), XQueueResult::kBadArgument);
  EXPECT_EQ(client.Write(one.data(), 0, 0), XQueueResult::kBadArgument);

  std::vector<uint8_t> got;
  ASSERT_EQ(ReadOne(server, got), XQueueResult::kOk);
  EXPECT_EQ(got, one);
  ASSERT_EQ(ReadOne(server, got), XQueueResult::kOk);
  EXPECT_EQ(got, two);
  EXPECT_EQ(ReadOne(server, got), XQueueResult::kEmpty);
  EXPECT_EQ(raw.Header(L::kFreeCount), 4);
  EXPECT_EQ(raw.Header(L::kMessagesRead), 2);
  EXPECT_EQ(raw.Header(L::kMessagesWritten), 2);

  // Freed blocks went to the end of the free list: the next message uses block 3, then 0.
  ASSERT_EQ(client.Write(two.data(), payload + 1, 0), XQueueResult::kOk);
  EXPECT_EQ(raw.Header(L::kUsedHead), 3);
  EXPECT_EQ(raw.BlockField(3, L::kNext), 0);
  ASSERT_EQ(ReadOne(server, got), XQueueResult::kOk);
  EXPECT_EQ(got, two);
}

TEST_F(XQueue, PeekThenRead) {
  CXQueue server, client;
  ASSERT_EQ(server.Create("peek", 8, 300), XQueueResult::kOk);
  ASSERT_EQ(client.Open("peek"), XQueueResult::kOk);
  uint32_t length = 0, sequence = 0, thread = 0;
  EXPECT_EQ(server.Peek(nullptr, &length, &sequence, &thread, 100), XQueueResult::kEmpty);
  EXPECT_EQ(length, 0u);

  const auto first = Pattern(500, 7);
  const auto second = Pattern(20, 9);
  ASSERT_EQ(client.Write(first.data(), 500, 0), XQueueResult::kOk);
  ASSERT_EQ(client.Write(second.data(), 20, 0), XQueueResult::kOk);
  EXPECT_EQ(server.UsedBlocks(), 3u);

  // The size without removing, twice.
  for (int i = 0; i < 2; ++i) {
    length = 0;
    ASSERT_EQ(server.Peek(nullptr, &length, &sequence, &thread, 100), XQueueResult::kOk);
    EXPECT_EQ(length, 500u);
    EXPECT_EQ(sequence, 1u);
    EXPECT_NE(thread, 0u);
  }
  // Too small: what fits is copied, the size needed reported, the message kept.
  std::vector<uint8_t> small(100, 0);
  length = 100;
  EXPECT_EQ(server.Peek(small.data(), &length, &sequence, &thread, 100), XQueueResult::kBufferTooSmall);
  EXPECT_EQ(length, 500u);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), first.begin()));
  // A buffer of that size (plus room for the zero tail) takes it.
  std::vector<uint8_t> buffer(506, 0xEE);
  length = 506;
  ASSERT_EQ(server.Peek(buffer.data(), &length, &sequence, &thread, 100), XQueueResult::kOk);
  EXPECT_EQ(length, 500u);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer.begin()));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 500, buffer.begin() + 504), std::vector<uint8_t>(4, 0));
  EXPECT_EQ(buffer[504], 0xEE);
  // The zero tail stops at the capacity.
  std::vector<uint8_t> exact(22, 0xEE);
  length = 22;
  ASSERT_EQ(server.Peek(exact.data(), &length, &sequence, &thread, 100), XQueueResult::kOk);
  EXPECT_EQ(length, 20u);
  EXPECT_EQ(sequence, 2u);
  EXPECT_EQ(exact[20], 0);
  EXPECT_EQ(exact[21], 0);
  EXPECT_EQ(server.UsedBlocks(), 0u);

  // Bad arguments.
  EXPECT_EQ(server.Peek(buffer.data(), nullptr, &sequence, &thread, 0), XQueueResult::kBadArgument);
  EXPECT_EQ(server.Peek(buffer.data(), &length, nullptr, &thread, 0), XQueueResult::kBadArgument);
  length = 0;
  EXPECT_EQ(server.Peek(buffer.data(), &length, &sequence, &thread, 0), XQueueResult::kBadArgument);
  CXQueue detached;
  length = 10;
  EXPECT_EQ(detached.Peek(buffer.data(), &length, &sequence, &thread, 0), XQueueResult::kNotOpen);
  EXPECT_EQ(detached.Write(buffer.data(), 10, 0), XQueueResult::kNotOpen);
  EXPECT_EQ(detached.WaitServerNotify(0), XQueueResult::kNotOpen);
}

TEST_F(XQueue, FullQueueAndClosedServer) {
  CXQueue server, client;
  ASSERT_EQ(server.Create("full", 3, 100), XQueueResult::kOk);
  ASSERT_EQ(client.Open("full"), XQueueResult::kOk);
  const auto m = Pattern(100, 4);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kOk);
  EXPECT_EQ(server.WaitServerNotify(0), XQueueResult::kOk);
  EXPECT_EQ(server.WaitServerNotify(20), XQueueResult::kTimeout);  // auto-reset

  // All blocks used, tries 0: a time-out at once; a few tries wait about that long.
  auto t = Clock::now();
  EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kTimeout);
  EXPECT_LT(MsSince(t), 100);
  t = Clock::now();
  EXPECT_EQ(client.Write(m.data(), 100, 30), XQueueResult::kTimeout);
  EXPECT_GE(MsSince(t), 30);

  // A reader freeing a block lets a waiting writer through.
  std::atomic<XQueueResult> late{XQueueResult::kTimeout};
  std::thread writer([&] { late = client.Write(m.data(), 100, 5000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<uint8_t> got;
  ASSERT_EQ(ReadOne(server, got), XQueueResult::kOk);
  writer.join();
  EXPECT_EQ(late.load(), XQueueResult::kOk);

  // A writer waiting for blocks learns within a bounded time that the server closed.
  std::thread blocked([&] { late = client.Write(m.data(), 100, CXQueue::kInfinite); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server.Close();
  blocked.join();
  EXPECT_EQ(late.load(), XQueueResult::kNoServer);
  EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kNoServer);
}

TEST_F(XQueue, ThreeClientProcessesArriveInOrder) {
  constexpr int kClients = 3;
  constexpr int kMessages = 1000;
  CXQueue server;
  ASSERT_EQ(server.Create("multi", 8, 200), XQueueResult::kOk);
  std::vector<std::unique_ptr<ChildProcess>> clients;
  for (int id = 0; id < kClients; ++id)
    clients.push_back(std::make_unique<ChildProcess>(
        std::vector<std::string>{XQUEUE_HELPER, "write", "multi", std::to_string(id), std::to_string(kMessages)}));

  std::map<int32_t, int32_t> nextOf;
  uint32_t lastSequence = 0;
  int received = 0;
  std::vector<uint8_t> buffer(1024);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (received < kClients * kMessages && Clock::now() < deadline) {
    if (server.UsedBlocks() == 0) server.WaitServerNotify(500);
    uint32_t length = static_cast<uint32_t>(buffer.size()), sequence = 0, thread = 0;
    if (server.Peek(buffer.data(), &length, &sequence, &thread, 1000) != XQueueResult::kOk) continue;
    ASSERT_GE(length, 8u);
    int32_t id, counter;
    std::memcpy(&id, buffer.data(), 4);
    std::memcpy(&counter, buffer.data() + 4, 4);
    ASSERT_TRUE(id >= 0 && id < kClients) << id;
    ASSERT_EQ(counter, nextOf[id]) << "client " << id;
    const uint32_t filler = static_cast<uint32_t>((counter * 37 + id * 11) % 301);
    ASSERT_EQ(length, 8 + filler);
    for (uint32_t k = 0; k < filler; ++k) ASSERT_EQ(buffer[8 + k], static_cast<uint8_t>(id + counter + k));
    ASSERT_GT(sequence, lastSequence);
    lastSequence = sequence;
    ++nextOf[id];
    ++received;
  }
  EXPECT_EQ(received, kClients * kMessages);
  for (auto& c : clients) {
    EXPECT_EQ(c->ReadLine(), "done");
    EXPECT_EQ(c->Wait(), 0);
  }
}

TEST_F(XQueue, DamagedIndicesAndGeometryGiveDamaged) {
  const auto m = Pattern(150, 5);  // two blocks of 104
  struct Damage {
    const char* label;
    std::function<void(RawQueue&)> apply;
  };
  // After two messages: blocks 0-1 (first), 2-3 (second), 4-7 free.
  const Damage reads[] = {
      {"used head past the end", [](RawQueue& r) { r.SetHeader(L::kUsedHead, 8); }},
      {"negative used head", [](RawQueue& r) { r.SetHeader(L::kUsedHead, -7); }},
      {"block's own index", [](RawQueue& r) { r.SetBlockField(0, L::kOwnIndex, 5); }},
      {"link past the end", [](RawQueue& r) { r.SetBlockField(0, L::kNext, 99); }},
      {"length beyond the payload", [](RawQueue& r) { r.SetBlockField(0, L::kLength, 0x7FFFFFFF); }},
      {"chain loops on itself",
       [](RawQueue& r) {
         r.SetBlockField(1, L::kLength, static_cast<int32_t>(46 | L::kContinues));
         r.SetBlockField(1, L::kNext, 1);
       }},
  };
  for (const Damage& d : reads) {
    SCOPED_TRACE(d.label);
    CXQueue server, client;
    ASSERT_EQ(server.Create("damage", 8, 100), XQueueResult::kOk);
    ASSERT_EQ(client.Open("damage"), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 150, 0), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 150, 0), XQueueResult::kOk);
    RawQueue raw("damage");
    d.apply(raw);
    std::vector<uint8_t> got;
    EXPECT_EQ(ReadOne(server, got), XQueueResult::kDamaged);
    uint32_t length = 0, sequence = 0;
    EXPECT_EQ(server.Peek(nullptr, &length, &sequence, nullptr, 100), XQueueResult::kDamaged);
  }

  const Damage writes[] = {
      {"free head past the end", [](RawQueue& r) { r.SetHeader(L::kFreeHead, 1000); }},
      {"free block's own index", [](RawQueue& r) { r.SetBlockField(4, L::kOwnIndex, 0); }},
      {"free link past the end", [](RawQueue& r) { r.SetBlockField(4, L::kNext, -9); }},
      {"used tail past the end", [](RawQueue& r) { r.SetHeader(L::kUsedTail, 12); }},
      {"free count beyond N", [](RawQueue& r) { r.SetHeader(L::kFreeCount, 9); }},
  };
  for (const Damage& d : writes) {
    SCOPED_TRACE(d.label);
    CXQueue server, client;
    ASSERT_EQ(server.Create("damage", 8, 100), XQueueResult::kOk);
    ASSERT_EQ(client.Open("damage"), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 150, 0), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 150, 0), XQueueResult::kOk);
    RawQueue raw("damage");
    d.apply(raw);
    EXPECT_EQ(client.Write(m.data(), 150, 0), XQueueResult::kDamaged);
  }

  const Damage geometry[] = {
      {"block size not a multiple of 128", [](RawQueue& r) { r.SetHeader(L::kBlockSize, 200); }},
      {"payload not block size - 24", [](RawQueue& r) { r.SetHeader(L::kPayloadSize, 100); }},
      {"N + 1 disagrees with N", [](RawQueue& r) { r.SetHeader(L::kMappedBlocks, 20); }},
      {"N below 2",
       [](RawQueue& r) {
         r.SetHeader(L::kBlockCount, 1);
         r.SetHeader(L::kMappedBlocks, 2);
       }},
      {"more blocks than the mapping holds",
       [](RawQueue& r) {
         r.SetHeader(L::kBlockSize, 1 << 20);
         r.SetHeader(L::kPayloadSize, (1 << 20) - 24);
       }},
  };
  for (const Damage& d : geometry) {
    SCOPED_TRACE(d.label);
    CXQueue server, client;
    ASSERT_EQ(server.Create("damage", 8, 100), XQueueResult::kOk);
    RawQueue raw("damage");
    d.apply(raw);
    EXPECT_EQ(client.Open("damage"), XQueueResult::kDamaged);
    EXPECT_FALSE(client.IsAttached());
  }
}

TEST_F(XQueue, DeadPeersReleaseTheQueue) {
  const auto m = Pattern(100, 6);
  // A killed server: its clients get kNoServer, waiting ones within a bounded time.
  {
    ChildProcess serverProcess({XQUEUE_HELPER, "serve", "peers", "2", "100"});
    ASSERT_EQ(serverProcess.ReadLine(), "ready");
    CXQueue client;
    ASSERT_EQ(client.Open("peers"), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kOk);
    ASSERT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kOk);
    std::atomic<XQueueResult> blocked{XQueueResult::kOk};
    std::thread writer([&] { blocked = client.Write(m.data(), 100, CXQueue::kInfinite); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto killed = Clock::now();
    serverProcess.Kill();
    serverProcess.Wait();
    writer.join();
    EXPECT_EQ(blocked.load(), XQueueResult::kNoServer);
    EXPECT_LT(MsSince(killed), 2000);
    EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kNoServer);

    // The stale queue, still held here, is taken over by a new server of that name.
    CXQueue server, fresh;
    ASSERT_EQ(server.Create("peers", 4, 100), XQueueResult::kOk);
    ASSERT_EQ(fresh.Open("peers"), XQueueResult::kOk);
    EXPECT_EQ(fresh.Geometry().blocks, 4u);
    EXPECT_EQ(server.UsedBlocks(), 0u);
    ASSERT_EQ(fresh.Write(m.data(), 100, 0), XQueueResult::kOk);
    EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kNoServer);  // the old one stays dead
    std::vector<uint8_t> got;
    ASSERT_EQ(ReadOne(server, got), XQueueResult::kOk);
    EXPECT_EQ(got, m);
  }

  // A writer that died holding the write mutex or the client-write event blocks nobody.
  {
    CXQueue server, client;
    ASSERT_EQ(server.Create("peers", 4, 100), XQueueResult::kOk);
    ASSERT_EQ(client.Open("peers"), XQueueResult::kOk);
    {
      ChildProcess locker({XQUEUE_HELPER, "lock", "peers"});
      ASSERT_EQ(locker.ReadLine(), "ready");
      EXPECT_EQ(client.Write(m.data(), 100, 50), XQueueResult::kTimeout);
      locker.Kill();
      locker.Wait();
    }
    EXPECT_EQ(client.Write(m.data(), 100, 2000), XQueueResult::kOk);

    NamedEvent gate;
    ASSERT_TRUE(gate.Open(CXQueue::ClientWriteName("peers"), false, true, SharedMemory::Mode::OpenExisting));
    ASSERT_TRUE(gate.Wait(0));  // taken...
    RawQueue raw("peers");
    raw.SetHeader(L::kGateHolder, kNoSuchProcess);  // ...by a process that has ended
    const auto t = Clock::now();
    EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kOk);
    EXPECT_LT(MsSince(t), 2000);
    EXPECT_EQ(raw.Header(L::kGateHolder), 0);
    EXPECT_EQ(client.Write(m.data(), 100, 0), XQueueResult::kOk);  // the event works again

    // Unlock lets a writer that waits for the event go on.
    ASSERT_TRUE(gate.Wait(0));
    std::atomic<XQueueResult> waiting{XQueueResult::kEmpty};  // not yet returned
    std::thread writer([&] { waiting = client.Write(m.data(), 100, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(waiting.load(), XQueueResult::kEmpty);
    server.Unlock();
    writer.join();
    EXPECT_EQ(waiting.load(), XQueueResult::kOk);
  }
}
