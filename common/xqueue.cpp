#include "common/xqueue.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/process_liveness.h"

namespace L = xqueue_layout;

namespace {

constexpr uint32_t kMinBlockSize = 128;
constexpr uint32_t kGateSliceMs = 100;
// A client-write event that stays taken with no holder recorded for this many
// slices was taken by a writer that died before it could record itself.
constexpr int kOrphanGateSlices = 50;
constexpr uint32_t kLivenessEveryWaits = 100;  // 1-ms waits between peer checks

std::atomic_ref<int32_t> Word(uint8_t* base, size_t offset) {
  return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(base + offset));
}

int32_t Load(uint8_t* base, size_t offset) { return Word(base, offset).load(std::memory_order_acquire); }
void Store(uint8_t* base, size_t offset, int32_t value) { Word(base, offset).store(value, std::memory_order_release); }

void InitHeader(uint8_t* view, const XQueueGeometry& g) {
  std::memset(view, 0, g.blockSize);
  Store(view, L::kBlockSize, static_cast<int32_t>(g.blockSize));
  Store(view, L::kPayloadSize, static_cast<int32_t>(g.payload));
  Store(view, L::kMappedBlocks, static_cast<int32_t>(g.blocks + 1));
  Store(view, L::kBlockCount, static_cast<int32_t>(g.blocks));
  Store(view, L::kFreeCount, static_cast<int32_t>(g.blocks));
  Store(view, L::kUsedCount, 0);
  Store(view, L::kClientCount, 0);
  Store(view, L::kServerCount, 1);
  Store(view, L::kCreatorThread, static_cast<int32_t>(CurrentThreadId()));
  Store(view, L::kNextSequence, 1);
  Store(view, L::kFreeHead, 0);
  Store(view, L::kFreeTail, static_cast<int32_t>(g.blocks - 1));
  Store(view, L::kUsedHead, -1);
  Store(view, L::kUsedTail, -1);
  Store(view, L::kServerProcess, CurrentProcessId());
  Store(view, L::kGateHolder, 0);
  for (uint32_t i = 0; i < g.blocks; ++i) {
    uint8_t* b = view + static_cast<size_t>(i + 1) * g.blockSize;
    const int32_t index = static_cast<int32_t>(i);
    Store(b, L::kOwnIndex, index);
    Store(b, L::kPrevious, index - 1);
    Store(b, L::kNext, i + 1 < g.blocks ? index + 1 : -1);
    Store(b, L::kWriterThread, 0);
    Store(b, L::kLength, 0);
    Store(b, L::kSequence, 0);
  }
}

// Lowers a shared count by one, never below 0.
void DecrementCount(uint8_t* header, size_t offset) {
  auto word = Word(header, offset);
  int32_t value = word.load();
  while (value > 0 && !word.compare_exchange_weak(value, value - 1)) {
  }
}

int32_t Clamp(int64_t value, int32_t high) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, high)); }

}  // namespace

XQueueResult CXQueue::ComputeGeometry(uint32_t blocks, uint32_t messageSize, XQueueGeometry* geometry) {
  if (blocks == 0) blocks = kDefaultBlocks;
  if (blocks < kMinBlocks || blocks > kMaxBlocks) return XQueueResult::kBadArgument;
  uint64_t size = std::max<uint64_t>(uint64_t{messageSize} + L::kBlockHeader, kMinBlockSize);
  size = (size + kMinBlockSize - 1) / kMinBlockSize * kMinBlockSize;
  if (size > 0x7FFFFF80u) return XQueueResult::kBadArgument;  // the header holds it as int32
  geometry->blocks = blocks;
  geometry->blockSize = static_cast<uint32_t>(size);
  geometry->payload = static_cast<uint32_t>(size - L::kBlockHeader);
  return XQueueResult::kOk;
}

std::string CXQueue::FullName(const std::string& name) { return "XQueue_" + name; }

std::string CXQueue::MappingName(const std::string& name) {
  std::string mapping = FullName(name);
  for (char& c : mapping) {
    if (c == '\\') c = '_';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return mapping;
}

std::string CXQueue::WriteMutexName(const std::string& name) { return "XQueue_Write_" + FullName(name); }
std::string CXQueue::ServerNotifyName(const std::string& name) { return "XQueue_ServerNotify_" + FullName(name); }
std::string CXQueue::ClientWriteName(const std::string& name) { return "XQueue_ClientWrite_" + FullName(name); }

XQueueResult CXQueue::OpenObjects(const std::string& name, SharedMemory::Mode mode, bool initialGate) {
  if (!writeMutex_.Open(WriteMutexName(name), mode) ||
      !serverNotify_.Open(ServerNotifyName(name), false, false, mode) ||
      !clientWrite_.Open(ClientWriteName(name), false, initialGate, mode)) {
    writeMutex_.Close();
    serverNotify_.Close();
    clientWrite_.Close();
    return XQueueResult::kDamaged;
  }
  return XQueueResult::kOk;
}

XQueueResult CXQueue::Create(const std::string& name, uint32_t blocks, uint32_t messageSize) {
  if (header_) return XQueueResult::kCreateFailed;
  if (name.empty() || FullName(name).size() > kMaxFullName) return XQueueResult::kBadArgument;
  XQueueGeometry g;
  XQueueResult r = ComputeGeometry(blocks, messageSize, &g);
  if (r != XQueueResult::kOk) return r;
  // The events and the mutex come first, so that a client finding the mapping
  // finds them too. Everything is made anew: what a crashed run left (and
  // whoever still holds it) stays with the old objects.
  r = OpenObjects(name, SharedMemory::Mode::CreateFresh, true);
  if (r != XQueueResult::kOk) return r;
  const size_t bytes = static_cast<size_t>(g.blocks + 1) * g.blockSize;
  auto init = [&g](void* view, size_t) { InitHeader(static_cast<uint8_t*>(view), g); };
  if (!mapping_.Open(MappingName(name), bytes, SharedMemory::Mode::CreateFresh, init) || mapping_.Size() < bytes) {
    Close();
    return XQueueResult::kCreateFailed;
  }
  geometry_ = g;
  header_ = static_cast<uint8_t*>(mapping_.View());
  blocks_ = header_ + g.blockSize;
  server_ = true;
  name_ = name;
  return XQueueResult::kOk;
}

XQueueResult CXQueue::Open(const std::string& name) {
  if (header_) return XQueueResult::kOpenFailed;
  if (name.empty() || FullName(name).size() > kMaxFullName) return XQueueResult::kBadArgument;
  if (!mapping_.Open(MappingName(name), 0, SharedMemory::Mode::OpenExisting)) return XQueueResult::kOpenFailed;
  XQueueResult r = OpenObjects(name, SharedMemory::Mode::OpenExisting, true);
  if (r != XQueueResult::kOk) {
    mapping_.Close();
    return r;
  }
  // The geometry must agree with itself and with the mapping's size.
  auto* view = static_cast<uint8_t*>(mapping_.View());
  bool sane = mapping_.Size() >= kMinBlockSize;
  if (sane) {
    const int64_t blockSize = Load(view, L::kBlockSize);
    const int64_t payload = Load(view, L::kPayloadSize);
    const int64_t mapped = Load(view, L::kMappedBlocks);
    const int64_t count = Load(view, L::kBlockCount);
    sane = blockSize >= kMinBlockSize && blockSize % kMinBlockSize == 0 &&
           payload == blockSize - static_cast<int64_t>(L::kBlockHeader) && count >= kMinBlocks && count <= kMaxBlocks &&
           mapped == count + 1 && static_cast<uint64_t>(mapped) * static_cast<uint64_t>(blockSize) <= mapping_.Size();
    if (sane) {
      geometry_.blocks = static_cast<uint32_t>(count);
      geometry_.blockSize = static_cast<uint32_t>(blockSize);
      geometry_.payload = static_cast<uint32_t>(payload);
    }
  }
  if (!sane) {
    geometry_ = {};
    mapping_.Close();
    writeMutex_.Close();
    serverNotify_.Close();
    clientWrite_.Close();
    return XQueueResult::kDamaged;
  }
  header_ = view;
  blocks_ = header_ + geometry_.blockSize;
  server_ = false;
  name_ = name;
  Word(header_, L::kClientCount).fetch_add(1);
  return XQueueResult::kOk;
}

void CXQueue::Close() {
  if (header_) DecrementCount(header_, server_ ? L::kServerCount : L::kClientCount);
  header_ = nullptr;
  blocks_ = nullptr;
  mapping_.Close();
  writeMutex_.Close();
  serverNotify_.Close();
  clientWrite_.Close();
  name_.clear();
  server_ = false;
  geometry_ = {};
}

uint32_t CXQueue::UsedBlocks() const {
  if (!header_) return 0;
  return static_cast<uint32_t>(Clamp(Load(header_, L::kUsedCount), static_cast<int32_t>(geometry_.blocks)));
}

bool CXQueue::ServerAlive() const {
  if (!header_ || Load(header_, L::kServerCount) <= 0) return false;
  const int32_t pid = Load(header_, L::kServerProcess);
  return pid == CurrentProcessId() || ProcessIsAlive(pid);
}

XQueueResult CXQueue::EnterGate() {
  const int32_t me = CurrentProcessId();
  int orphanSlices = 0;
  for (;;) {
    if (clientWrite_.Wait(kGateSliceMs)) {
      Store(header_, L::kGateHolder, me);
      return XQueueResult::kOk;
    }
    if (!ServerAlive()) return XQueueResult::kNoServer;
    // A writer that died while it had the event never sets it again: take it over.
    int32_t holder = Load(header_, L::kGateHolder);
    const bool orphaned =
        holder == 0 ? ++orphanSlices >= kOrphanGateSlices : (orphanSlices = 0, holder != me && !ProcessIsAlive(holder));
    if (orphaned && Word(header_, L::kGateHolder).compare_exchange_strong(holder, me)) return XQueueResult::kOk;
  }
}

void CXQueue::LeaveGate() {
  int32_t me = CurrentProcessId();
  Word(header_, L::kGateHolder).compare_exchange_strong(me, 0);
  clientWrite_.Set();
}

void CXQueue::Unlock() {
  if (!header_) return;
  Store(header_, L::kGateHolder, 0);
  clientWrite_.Set();
}

XQueueResult CXQueue::WaitServerNotify(uint32_t milliseconds) {
  if (!header_ || !serverNotify_.IsOpen()) return XQueueResult::kNotOpen;
  return serverNotify_.Wait(milliseconds) ? XQueueResult::kOk : XQueueResult::kTimeout;
}

XQueueResult CXQueue::LockList(uint32_t milliseconds) {
  switch (writeMutex_.Lock(milliseconds)) {
    case NamedMutex::LockResult::Acquired:
      return XQueueResult::kOk;
    case NamedMutex::LockResult::Abandoned:
      // Its holder died, perhaps half-way through a change: the lists must still hold together.
      if (RepairCounts()) return XQueueResult::kOk;
      writeMutex_.Unlock();
      return XQueueResult::kDamaged;
    default:
      return XQueueResult::kTimeout;
  }
}

bool CXQueue::RepairCounts() {
  const uint32_t n = geometry_.blocks;
  std::vector<bool> seen(n, false);
  auto walk = [&](size_t headField, size_t tailField, uint32_t* count) {
    int32_t index = Load(header_, headField);
    int32_t previous = -1;
    *count = 0;
    while (index != -1) {
      if (!ValidIndex(index) || seen[static_cast<size_t>(index)]) return false;
      uint8_t* b = Block(static_cast<uint32_t>(index));
      if (Load(b, L::kOwnIndex) != index || Load(b, L::kPrevious) != previous) return false;
      seen[static_cast<size_t>(index)] = true;
      ++*count;
      previous = index;
      index = Load(b, L::kNext);
    }
    return Load(header_, tailField) == previous;
  };
  uint32_t free = 0, used = 0;
  if (!walk(L::kFreeHead, L::kFreeTail, &free) || !walk(L::kUsedHead, L::kUsedTail, &used) || free + used != n)
    return false;
  Store(header_, L::kFreeCount, static_cast<int32_t>(free));
  Store(header_, L::kUsedCount, static_cast<int32_t>(used));
  return true;
}

XQueueResult CXQueue::Write(const void* data, uint32_t size, uint32_t tries) {
  if (!data || size == 0) return XQueueResult::kBadArgument;
  if (!header_) return XQueueResult::kNotOpen;
  if (uint64_t{size} >= uint64_t{geometry_.blocks - 1} * geometry_.blockSize) return XQueueResult::kBadArgument;
  if (!ServerAlive()) return XQueueResult::kNoServer;

  XQueueResult r = EnterGate();
  if (r != XQueueResult::kOk) return r;
  const uint32_t n = geometry_.blocks;
  const uint32_t needed = std::max<uint32_t>(1, (size + geometry_.payload - 1) / geometry_.payload);
  for (uint64_t waited = 0;; ++waited) {
    const int32_t free = Load(header_, L::kFreeCount);
    if (free < 0 || free > static_cast<int32_t>(n)) {
      LeaveGate();
      return XQueueResult::kDamaged;
    }
    if (static_cast<uint32_t>(free) >= needed) break;
    if (waited >= tries) {
      LeaveGate();
      return XQueueResult::kTimeout;
    }
    if (waited % kLivenessEveryWaits == kLivenessEveryWaits - 1 && !ServerAlive()) {
      LeaveGate();
      return XQueueResult::kNoServer;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  r = LockList(tries);
  if (r != XQueueResult::kOk) {
    LeaveGate();
    return r;
  }
  // Check the blocks to take and every link to change before changing anything.
  const int32_t first = Load(header_, L::kFreeHead);
  int32_t index = first;
  int32_t last = -1;
  for (uint32_t k = 0; k < needed && r == XQueueResult::kOk; ++k) {
    if (index == -1) {
      r = XQueueResult::kNoFreeBlock;
    } else if (!ValidIndex(index) || Load(Block(static_cast<uint32_t>(index)), L::kOwnIndex) != index) {
      r = XQueueResult::kDamaged;
    } else {
      last = index;
      index = Load(Block(static_cast<uint32_t>(index)), L::kNext);
    }
  }
  const int32_t rest = index;
  const int32_t usedTail = Load(header_, L::kUsedTail);
  if (r == XQueueResult::kOk && ((rest != -1 && !ValidIndex(rest)) || (usedTail != -1 && !ValidIndex(usedTail))))
    r = XQueueResult::kDamaged;
  if (r != XQueueResult::kOk) {
    writeMutex_.Unlock();
    LeaveGate();
    return r;
  }

  const int32_t sequence = Load(header_, L::kNextSequence);
  const int32_t thread = static_cast<int32_t>(CurrentThreadId());
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t left = size;
  index = first;
  for (uint32_t k = 0; k < needed; ++k) {
    uint8_t* b = Block(static_cast<uint32_t>(index));
    const uint32_t chunk = std::min(left, geometry_.payload);
    std::memcpy(b + L::kBlockHeader, bytes, chunk);
    bytes += chunk;
    left -= chunk;
    Store(b, L::kWriterThread, thread);
    Store(b, L::kSequence, sequence);
    Store(b, L::kLength, static_cast<int32_t>(chunk | (k + 1 < needed ? L::kContinues : 0)));
    index = Load(b, L::kNext);
  }
  // The taken run of the free list moves to the end of the used list whole.
  Store(header_, L::kFreeHead, rest);
  if (rest != -1)
    Store(Block(static_cast<uint32_t>(rest)), L::kPrevious, -1);
  else
    Store(header_, L::kFreeTail, -1);
  Store(Block(static_cast<uint32_t>(first)), L::kPrevious, usedTail);
  Store(Block(static_cast<uint32_t>(last)), L::kNext, -1);
  if (usedTail != -1)
    Store(Block(static_cast<uint32_t>(usedTail)), L::kNext, first);
  else
    Store(header_, L::kUsedHead, first);
  Store(header_, L::kUsedTail, last);
  const int32_t blocks = static_cast<int32_t>(n);
  Store(header_, L::kFreeCount, Clamp(int64_t{Load(header_, L::kFreeCount)} - needed, blocks));
  Store(header_, L::kUsedCount, Clamp(int64_t{Load(header_, L::kUsedCount)} + needed, blocks));
  Store(header_, L::kMessagesWritten, Load(header_, L::kMessagesWritten) + 1);
  if (static_cast<uint32_t>(Load(header_, L::kLargestMessage)) < size)
    Store(header_, L::kLargestMessage, static_cast<int32_t>(size));
  Store(header_, L::kNextSequence, sequence + 1);
  writeMutex_.Unlock();
  serverNotify_.Set();
  LeaveGate();
  return XQueueResult::kOk;
}

XQueueResult CXQueue::MeasureHead(int32_t* head, uint32_t* total, uint32_t* count) {
  *head = Load(header_, L::kUsedHead);
  if (*head == -1) return XQueueResult::kEmpty;
  if (!ValidIndex(*head)) return XQueueResult::kDamaged;
  const int32_t sequence = Load(Block(static_cast<uint32_t>(*head)), L::kSequence);
  uint64_t sum = 0;
  int32_t index = *head;
  for (uint32_t k = 1; k <= geometry_.blocks; ++k) {
    uint8_t* b = Block(static_cast<uint32_t>(index));
    if (Load(b, L::kOwnIndex) != index || Load(b, L::kSequence) != sequence) return XQueueResult::kDamaged;
    const uint32_t field = static_cast<uint32_t>(Load(b, L::kLength));
    const uint32_t length = field & ~L::kContinues;
    if (length > geometry_.payload) return XQueueResult::kDamaged;
    sum += length;
    if (!(field & L::kContinues)) {
      if (sum > 0xFFFFFFFFu) return XQueueResult::kDamaged;
      *total = static_cast<uint32_t>(sum);
      *count = k;
      const int32_t next = Load(b, L::kNext);
      return next == -1 || ValidIndex(next) ? XQueueResult::kOk : XQueueResult::kDamaged;
    }
    index = Load(b, L::kNext);
    if (!ValidIndex(index)) return XQueueResult::kDamaged;
  }
  return XQueueResult::kDamaged;  // a chain longer than the queue: a loop
}

XQueueResult CXQueue::Peek(void* buffer, uint32_t* length, uint32_t* sequence, uint32_t* thread,
                           uint32_t milliseconds) {
  if (!length || !sequence || (buffer && *length == 0)) return XQueueResult::kBadArgument;
  if (!header_) return XQueueResult::kNotOpen;
  const uint32_t capacity = *length;
  if (Load(header_, L::kFreeCount) == static_cast<int32_t>(geometry_.blocks) || Load(header_, L::kUsedHead) == -1) {
    *length = 0;
    return XQueueResult::kEmpty;
  }
  XQueueResult r = LockList(milliseconds);
  if (r != XQueueResult::kOk) return r;
  int32_t head = -1;
  uint32_t total = 0, count = 0;
  r = MeasureHead(&head, &total, &count);
  if (r != XQueueResult::kOk) {
    writeMutex_.Unlock();
    *length = 0;
    return r;
  }
  uint8_t* headBlock = Block(static_cast<uint32_t>(head));
  *sequence = static_cast<uint32_t>(Load(headBlock, L::kSequence));
  if (thread) *thread = static_cast<uint32_t>(Load(headBlock, L::kWriterThread));
  if (!buffer) {
    writeMutex_.Unlock();
    *length = total;
    return XQueueResult::kOk;
  }

  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t copied = 0;
  int32_t index = head;
  int32_t last = head;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* b = Block(static_cast<uint32_t>(index));
    const uint32_t chunk = static_cast<uint32_t>(Load(b, L::kLength)) & ~L::kContinues;
    const uint32_t room = std::min(chunk, capacity - copied);
    std::memcpy(out + copied, b + L::kBlockHeader, room);
    copied += room;
    last = index;
    index = Load(b, L::kNext);
  }
  if (total > capacity) {
    writeMutex_.Unlock();
    *length = total;
    return XQueueResult::kBufferTooSmall;
  }
  std::memset(out + total, 0, std::min<uint32_t>(4, capacity - total));

  const int32_t rest = index;  // checked by MeasureHead
  const int32_t freeTail = Load(header_, L::kFreeTail);
  if (freeTail != -1 && !ValidIndex(freeTail)) {
    writeMutex_.Unlock();
    *length = 0;
    return XQueueResult::kDamaged;
  }
  index = head;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* b = Block(static_cast<uint32_t>(index));
    Store(b, L::kLength, 0);
    index = Load(b, L::kNext);
  }
  Store(header_, L::kUsedHead, rest);
  if (rest != -1)
    Store(Block(static_cast<uint32_t>(rest)), L::kPrevious, -1);
  else
    Store(header_, L::kUsedTail, -1);
  Store(headBlock, L::kPrevious, freeTail);
  Store(Block(static_cast<uint32_t>(last)), L::kNext, -1);
  if (freeTail != -1)
    Store(Block(static_cast<uint32_t>(freeTail)), L::kNext, head);
  else
    Store(header_, L::kFreeHead, head);
  Store(header_, L::kFreeTail, last);
  const int32_t blocks = static_cast<int32_t>(geometry_.blocks);
  Store(header_, L::kFreeCount, Clamp(int64_t{Load(header_, L::kFreeCount)} + count, blocks));
  Store(header_, L::kUsedCount, Clamp(int64_t{Load(header_, L::kUsedCount)} - count, blocks));
  Store(header_, L::kMessagesRead, Load(header_, L::kMessagesRead) + 1);
  writeMutex_.Unlock();
  *length = total;
  return XQueueResult::kOk;
}
