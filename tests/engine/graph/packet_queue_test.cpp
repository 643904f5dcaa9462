#include "engine/graph/packet_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/engine/graph/graph_fakes.h"

namespace {

using fakes::WaitFor;
using namespace std::chrono_literals;

MediaPacket* Data(int32_t length, uint8_t fill = 0) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length), fill);
  return NewPacket(0, bytes.data(), length);
}

TEST(PacketList, FifoCountsBytesAndClear) {
  CPacketList list;
  EXPECT_EQ(list.Pop(), nullptr);
  list.Push(nullptr);
  for (int i = 1; i <= 3; ++i) list.Push(Data(i * 10, static_cast<uint8_t>(i)));
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.GetBytes(), 60);
  MediaPacket* p = list.Pop();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->length, 10);
  EXPECT_EQ(p->data[9], 1);
  FreePacket(p);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetBytes(), 50);
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetBytes(), 0);
  EXPECT_EQ(list.Pop(), nullptr);
  list.Push(Data(5));  // left for the destructor: the leak check sees it freed
}

TEST(PacketList, NewPacketRefusesNegativeLengthAndCopiesData) {
  EXPECT_EQ(NewPacket(0, nullptr, -1), nullptr);
  MediaPacket* eos = NewEndOfStreamPacket();
  ASSERT_NE(eos, nullptr);
  EXPECT_EQ(eos->flags, PACKET_END_OF_STREAM);
  EXPECT_EQ(eos->length, 0);
  EXPECT_EQ(eos->data, nullptr);
  FreePacket(eos);
  FreePacket(nullptr);
  const char text[] = "abc";
  MediaPacket* p = NewPacket(PACKET_SYNC_POINT, text, 3);
  ASSERT_NE(p, nullptr);
  EXPECT_NE(static_cast<void*>(p->data), static_cast<const void*>(text));
  EXPECT_EQ(std::memcmp(p->data, "abc", 3), 0);
  FreePacket(p);
}

// Pushes one packet on another thread; done tells when Push returned.
struct Producer {
  explicit Producer(CPacketQueue& q, int32_t length = 1)
      : thread([&q, this, length] {
          q.Push(Data(length));
          done = true;
        }) {}
  ~Producer() { thread.join(); }
  std::atomic<bool> done{false};
  std::thread thread;
};

TEST(PacketQueue, PacketLimitBlocksUntilSignal) {
  struct Case {
    const char* name;
    bool pop;  // the consumer takes one before signalling
    int32_t countAfter;
  };
  for (const Case& c : {Case{"pop and signal", true, 251}, Case{"signal alone", false, 252}}) {
    SCOPED_TRACE(c.name);
    CPacketQueue q;
    for (int i = 0; i < 251; ++i) q.Push(Data(1));  // 250 is not above the limit: no wait
    EXPECT_EQ(q.GetCount(), 251);
    Producer producer(q);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(producer.done);
    if (c.pop) FreePacket(q.Pop());
    q.Signal();
    EXPECT_TRUE(WaitFor([&] { return producer.done.load(); }));
    EXPECT_EQ(q.GetCount(), c.countAfter);
  }
}

TEST(PacketQueue, ByteLimitBlocksAndStaleSignalDoesNotCount) {
  CPacketQueue q;
  q.SetLimits(1000, 100);
  q.Signal();  // nobody waits: must not let a later Push through
  q.Push(Data(101));
  EXPECT_EQ(q.GetBytes(), 101);
  Producer producer(q, 5);
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(producer.done);
  FreePacket(q.Pop());
  q.Signal();
  EXPECT_TRUE(WaitFor([&] { return producer.done.load(); }));
  EXPECT_EQ(q.GetBytes(), 5);
}

TEST(PacketQueue, ClearAndStopReleaseABlockedProducer) {
  {
    CPacketQueue q;
    q.SetLimits(0, 1 << 20);
    q.Push(Data(1));
    Producer producer(q);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(producer.done);
    q.Clear();
    EXPECT_TRUE(WaitFor([&] { return producer.done.load(); }));
    EXPECT_EQ(q.GetCount(), 1);
  }
  {
    CPacketQueue q;
    q.SetLimits(0, 1 << 20);
    q.Push(Data(1));
    Producer producer(q);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(producer.done);
    q.Stop();
    EXPECT_TRUE(WaitFor([&] { return producer.done.load(); }));
    for (int i = 0; i < 10; ++i) q.Push(Data(1));  // never blocks once stopped
    EXPECT_EQ(q.GetCount(), 12);
  }
}

// A producer that tests the limit, then resets and waits, can miss the
// consumer's signal and hang for good; this runs that race many times.
TEST(PacketQueue, NoLostWakeUpUnderContention) {
  CPacketQueue q;
  q.SetLimits(1, 1 << 20);
  constexpr int kPackets = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kPackets; ++i) q.Push(NewPacket(0, &i, sizeof i));
    q.Push(NewEndOfStreamPacket());
  });
  int received = 0;
  int last = -1;
  bool ordered = true;
  auto until = std::chrono::steady_clock::now() + 60s;
  for (;;) {
    MediaPacket* p = q.Pop();
    if (!p) {
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "producer stuck after " << received;
      std::this_thread::yield();
      continue;
    }
    q.Signal();
    bool end = p->flags & PACKET_END_OF_STREAM;
    if (!end) {
      int v;
      std::memcpy(&v, p->data, sizeof v);
      ordered = ordered && v == last + 1;
      last = v;
      ++received;
    }
    FreePacket(p);
    if (end) break;
  }
  producer.join();
  EXPECT_EQ(received, kPackets);
  EXPECT_TRUE(ordered);
}

TEST(PacketQueue, PeekedPacketOutlivesAClearUntilTheNextPop) {
  CPacketQueue q;
  q.Push(Data(64, 7));
  q.Push(Data(8, 9));
  MediaPacket* head = q.Peek();
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(q.GetCount(), 2);
  std::thread([&] { q.Clear(); }).join();  // the producer flushes while the consumer looks
  EXPECT_EQ(q.GetCount(), 0);
  EXPECT_EQ(head->length, 64);  // still readable (the address sanitizer watches)
  EXPECT_EQ(head->data[63], 7);
  EXPECT_EQ(q.Pop(), nullptr);
  q.Push(Data(1));
  EXPECT_NE(q.Peek(), nullptr);
  // Left queued (and one peeked head retired): the destructor frees them.
  q.Clear();
  q.Push(Data(2));
}

}  // namespace
