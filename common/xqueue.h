// CXQueue: a queue of messages in named shared memory between processes. One
// process creates it (the server, which reads); others open it (clients, which
// write). A message is split into fixed-size blocks taken from a free list and
// chained on a used list; the reader takes whole messages in order.
//
// Objects of a queue named Q, with F = "XQueue_" + Q:
//   mapping        F with '\' -> '_', upper-cased: (N + 1) blocks, block 0 the header
//   write mutex    "XQueue_Write_" + F        (list changes)
//   server notify  "XQueue_ServerNotify_" + F (auto-reset; set after each message)
//   client write   "XQueue_ClientWrite_" + F  (auto-reset, starts set; one writer at a time)
//
// Every index and length read from the mapping is checked against the geometry
// and every chain walk is bounded by N: a damaged queue answers kDamaged. Waits
// on a peer are bounded or watch its process: a writer whose server has gone
// (closed, or its process ended) gets kNoServer. Create takes over the objects
// of a queue left by a crashed run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/named_objects.h"

// Results of every queue operation (0 is success).
enum class XQueueResult : int32_t {
  kOk = 0,
  kNotOpen = 1,         // not attached, or no such object
  kDamaged = 3,         // a kernel object failed, or the blocks or geometry are damaged
  kNoFreeBlock = 4,     // no free block while writing
  kEmpty = 5,           // no message queued
  kBufferTooSmall = 6,  // the message does not fit the caller's buffer
  kTimeout = 7,         // time-out, or a failed wait
  kBadArgument = 8,
  kOpenFailed = 9,     // Open failed, or the object is already attached
  kCreateFailed = 10,  // Create failed, or the object is already attached
  kNoServer = 11,      // no server is attached
};

// Offsets of the header fields (32-bit little-endian words at the start of the mapping).
namespace xqueue_layout {
constexpr size_t kBlockSize = 0;
constexpr size_t kPayloadSize = 4;
constexpr size_t kMappedBlocks = 8;  // N + 1
constexpr size_t kBlockCount = 12;   // N
constexpr size_t kFreeCount = 16;
constexpr size_t kUsedCount = 20;
constexpr size_t kClientCount = 24;
constexpr size_t kServerCount = 28;
constexpr size_t kCreatorThread = 32;
constexpr size_t kMessagesWritten = 40;
constexpr size_t kMessagesRead = 44;
constexpr size_t kLargestMessage = 48;
constexpr size_t kNextSequence = 52;
constexpr size_t kFreeHead = 56;
constexpr size_t kFreeTail = 60;
constexpr size_t kUsedHead = 64;
constexpr size_t kUsedTail = 68;
// In the header block's otherwise zero rest: the peers' process ids.
constexpr size_t kServerProcess = 72;  // the creator's process
constexpr size_t kGateHolder = 76;     // the process of the writer holding the client-write event, or 0

// Fields of each message block.
constexpr size_t kOwnIndex = 0;
constexpr size_t kPrevious = 4;
constexpr size_t kNext = 8;
constexpr size_t kWriterThread = 12;
constexpr size_t kLength = 16;  // bit 31: the message continues in the next block
constexpr size_t kSequence = 20;
constexpr size_t kBlockHeader = 24;  // payload starts here

constexpr uint32_t kContinues = 0x80000000u;
}  // namespace xqueue_layout

struct XQueueGeometry {
  uint32_t blocks = 0;     // N
  uint32_t blockSize = 0;  // bytes, a multiple of 128
  uint32_t payload = 0;    // blockSize - 24
};

class CXQueue {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
  static constexpr uint32_t kDefaultBlocks = 1024;
  static constexpr uint32_t kMinBlocks = 2;
  static constexpr uint32_t kMaxBlocks = 65536;
  static constexpr size_t kMaxFullName = 519;

  CXQueue() = default;
  ~CXQueue() { Close(); }
  CXQueue(const CXQueue&) = delete;
  CXQueue& operator=(const CXQueue&) = delete;

  // Geometry of N blocks (0: the default 1,024) for messages of messageSize
  // bytes; kBadArgument for N outside 2..65,536 or a block too large for the header.
  static XQueueResult ComputeGeometry(uint32_t blocks, uint32_t messageSize, XQueueGeometry* geometry);
  static std::string FullName(const std::string& name);  // "XQueue_" + name
  static std::string MappingName(const std::string& name);
  static std::string WriteMutexName(const std::string& name);
  static std::string ServerNotifyName(const std::string& name);
  static std::string ClientWriteName(const std::string& name);

  // Server: creates the queue (a queue of that name left by others is replaced).
  XQueueResult Create(const std::string& name, uint32_t blocks, uint32_t messageSize);
  // Client: opens an existing queue.
  XQueueResult Open(const std::string& name);
  // Detaches this side; a detached object is left as it is.
  void Close();

  // One message of `size` bytes. tries: how many 1-ms waits for free blocks
  // (0: none, kInfinite: as long as the server lives), also the time-out in
  // milliseconds for the write mutex.
  XQueueResult Write(const void* data, uint32_t size, uint32_t tries);
  // The oldest message. buffer null: its total size in *length, left queued.
  // Else *length is the capacity on entry; the message is copied and removed,
  // and *length is its size (kBufferTooSmall: the size needed, left queued).
  // milliseconds bounds the wait for the write mutex.
  XQueueResult Peek(void* buffer, uint32_t* length, uint32_t* sequence, uint32_t* thread, uint32_t milliseconds);
  // kOk when the server-notify event was set, kTimeout, kNotOpen.
  XQueueResult WaitServerNotify(uint32_t milliseconds);
  // Lets a writer waiting for the client-write event go on.
  void Unlock();

  bool IsAttached() const { return header_ != nullptr; }
  bool IsServer() const { return server_; }
  const XQueueGeometry& Geometry() const { return geometry_; }
  // Blocks holding messages now (0 when detached).
  uint32_t UsedBlocks() const;
  // Whether a server is attached and its process runs.
  bool ServerAlive() const;

 private:
  XQueueResult OpenObjects(const std::string& name, SharedMemory::Mode mode, bool initialGate);
  XQueueResult EnterGate();
  void LeaveGate();
  // The write mutex; one whose holder died is taken only when the lists still hold together.
  XQueueResult LockList(uint32_t milliseconds);
  // Walks both lists (bounded, each block once) and sets the counts from them; false when a list is broken.
  bool RepairCounts();
  uint8_t* Block(uint32_t index) const { return blocks_ + static_cast<size_t>(index) * geometry_.blockSize; }
  bool ValidIndex(int32_t index) const { return index >= 0 && static_cast<uint32_t>(index) < geometry_.blocks; }
  XQueueResult MeasureHead(int32_t* head, uint32_t* total, uint32_t* count);

  SharedMemory mapping_;
  NamedMutex writeMutex_;
  NamedEvent serverNotify_;
  NamedEvent clientWrite_;
  std::string name_;
  bool server_ = false;
  uint8_t* header_ = nullptr;
  uint8_t* blocks_ = nullptr;
  XQueueGeometry geometry_;
};
