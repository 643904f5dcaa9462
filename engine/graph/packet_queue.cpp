#include "engine/graph/packet_queue.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin-api/media_type_helpers.h"

MediaPacket* NewPacket(int32_t flags, const void* data, int32_t length) {
  if (length < 0) return nullptr;
  auto* p = new (std::nothrow) MediaPacket{flags, 0, 0, 0, length, nullptr};
  if (!p) return nullptr;
  if (length > 0) {
    p->data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
    if (!p->data) {
      delete p;
      return nullptr;
    }
    if (data) {
      std::memcpy(p->data, data, static_cast<size_t>(length));
    } else {
      std::memset(p->data, 0, static_cast<size_t>(length));
    }
  }
  return p;
}

MediaPacket* NewEndOfStreamPacket() { return NewPacket(PACKET_END_OF_STREAM, nullptr, 0); }

void FreePacket(MediaPacket* packet) {
  if (!packet) return;
  DeleteOwnMediaType(packet->newType);
  std::free(packet->data);
  delete packet;
}

// ---- CPacketList

CPacketList::~CPacketList() { Clear(); }

void CPacketList::Push(MediaPacket* packet) {
  if (!packet) return;
  std::lock_guard lock(mutex_);
  packets_.push_back(packet);
  bytes_ += packet->length;
  // Under the lock: the consumer may free the list as soon as it has the packet.
  pushed_.notify_one();
}

MediaPacket* CPacketList::PopWait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!pushed_.wait_for(lock, timeout, [this] { return !packets_.empty(); })) return nullptr;
  MediaPacket* p = packets_.front();
  packets_.pop_front();
  bytes_ -= p->length;
  return p;
}

MediaPacket* CPacketList::Pop() {
  std::lock_guard lock(mutex_);
  if (packets_.empty()) return nullptr;
  MediaPacket* p = packets_.front();
  packets_.pop_front();
  bytes_ -= p->length;
  return p;
}

int32_t CPacketList::GetCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(packets_.size());
}

int64_t CPacketList::GetBytes() {
  std::lock_guard lock(mutex_);
  return bytes_;
}

void CPacketList::Clear() {
  std::deque<MediaPacket*> gone;
  {
    std::lock_guard lock(mutex_);
    gone.swap(packets_);
    bytes_ = 0;
  }
  for (MediaPacket* p : gone) FreePacket(p);
}

// ---- CPacketQueue

CPacketQueue::~CPacketQueue() {
  for (MediaPacket* p : packets_) FreePacket(p);
  FreePacket(retired_);
}

void CPacketQueue::Push(MediaPacket* packet) {
  if (!packet) return;
  std::unique_lock lock(mutex_);
  if (OverLimitLocked() && !stopped_) {
    const uint64_t seen = signals_;
    space_.wait(lock, [&] { return !OverLimitLocked() || stopped_ || signals_ != seen; });
  }
  packets_.push_back(packet);
  bytes_ += packet->length;
}

void CPacketQueue::FreeRetiredLocked() {
  FreePacket(retired_);
  retired_ = nullptr;
}

MediaPacket* CPacketQueue::Pop() {
  std::lock_guard lock(mutex_);
  FreeRetiredLocked();
  peeked_ = nullptr;
  if (packets_.empty()) return nullptr;
  MediaPacket* p = packets_.front();
  packets_.pop_front();
  bytes_ -= p->length;
  return p;
}

MediaPacket* CPacketQueue::Peek() {
  std::lock_guard lock(mutex_);
  FreeRetiredLocked();
  peeked_ = packets_.empty() ? nullptr : packets_.front();
  return peeked_;
}

void CPacketQueue::Signal() {
  {
    std::lock_guard lock(mutex_);
    ++signals_;
  }
  space_.notify_all();
}

void CPacketQueue::SetLimits(int32_t packets, int64_t bytes) {
  {
    std::lock_guard lock(mutex_);
    packetLimit_ = packets;
    byteLimit_ = bytes;
  }
  space_.notify_all();
}

void CPacketQueue::Clear() {
  std::deque<MediaPacket*> gone;
  {
    std::lock_guard lock(mutex_);
    gone.swap(packets_);
    bytes_ = 0;
    // The consumer may still be reading the head it peeked: keep it until its next call.
    if (peeked_ && !gone.empty() && gone.front() == peeked_) {
      FreeRetiredLocked();
      retired_ = peeked_;
      gone.pop_front();
    }
    peeked_ = nullptr;
  }
  space_.notify_all();
  for (MediaPacket* p : gone) FreePacket(p);
}

void CPacketQueue::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  space_.notify_all();
}

int32_t CPacketQueue::GetCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int32_t>(packets_.size());
}

int64_t CPacketQueue::GetBytes() {
  std::lock_guard lock(mutex_);
  return bytes_;
}
