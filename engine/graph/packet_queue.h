// Packets (owned copies of a sample's bytes with its times and flags) and the
// two lists that carry them between threads: CPacketList (unbounded, reader
// thread to stream pump) and CPacketQueue (bounded, delivering thread to a
// queued writer's thread). Uses no engine globals.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/media_types.h"

// Packet flags.
enum : int32_t {
  PACKET_DISCONTINUITY = 0x01,
  PACKET_SYNC_POINT = 0x02,
  PACKET_PREROLL = 0x04,
  PACKET_START_VALID = 0x08,
  PACKET_STOP_VALID = 0x10,
  PACKET_END_OF_STREAM = 0x20,      // carries no data
  PACKET_DECODE_TIME_VALID = 0x40,  // decodeTime is set (sample media time)
};

struct MediaPacket {
  int32_t flags;
  int32_t reserved;        // 0
  int64_t start;           // 100-ns units
  int64_t stop;            // 100-ns units
  int32_t length;          // bytes at data
  uint8_t* data;           // owned copy, null when length is 0
  int64_t decodeTime = 0;  // 100-ns units, travels as the sample's media time
  // The sample's new media type (owned, task memory), null when it did not
  // change: an encoder's updated codec data travels this way.
  AM_MEDIA_TYPE* newType = nullptr;
};

// A packet holding a copy of length bytes of data (data may be null: zeroed
// bytes). Null when memory runs out or length is negative.
MediaPacket* NewPacket(int32_t flags, const void* data, int32_t length);
// An end-of-stream packet.
MediaPacket* NewEndOfStreamPacket();
// Frees the packet, its data and its new media type; null is ignored.
void FreePacket(MediaPacket* packet);

// Unbounded list; every operation takes the list's lock.
class CPacketList {
 public:
  CPacketList() = default;
  ~CPacketList();  // frees packets still queued
  CPacketList(const CPacketList&) = delete;
  CPacketList& operator=(const CPacketList&) = delete;

  // Takes ownership; null is ignored.
  void Push(MediaPacket* packet);
  // Oldest packet (the caller owns it), or null.
  MediaPacket* Pop();
  // The same, waiting up to timeout for a packet to be pushed.
  MediaPacket* PopWait(std::chrono::milliseconds timeout);
  int32_t GetCount();
  int64_t GetBytes();
  // Frees every queued packet.
  void Clear();

 private:
  std::mutex mutex_;
  std::condition_variable pushed_;
  std::deque<MediaPacket*> packets_;
  int64_t bytes_ = 0;
};

// Bounded queue with one producer and one consumer. Push blocks while the
// queue is above a limit (packets or bytes) until the consumer calls Signal,
// the queue is cleared or stopped. One Signal lets one blocked Push through
// even when the queue is still above its limit.
class CPacketQueue {
 public:
  static constexpr int32_t kDefaultPacketLimit = 250;
  static constexpr int64_t kDefaultByteLimit = 52428800;

  CPacketQueue() = default;
  ~CPacketQueue();
  CPacketQueue(const CPacketQueue&) = delete;
  CPacketQueue& operator=(const CPacketQueue&) = delete;

  // Takes ownership; null is ignored. May block (see above).
  void Push(MediaPacket* packet);
  // Oldest packet (the caller owns it), or null. Consumer only.
  MediaPacket* Pop();
  // Oldest packet, still owned by the queue, or null. Consumer only: the
  // packet stays readable until the consumer's next Pop or Peek, even when
  // the producer clears the queue meanwhile.
  MediaPacket* Peek();
  // Lets a blocked producer go on; consumers call it after taking packets.
  void Signal();
  void SetLimits(int32_t packets, int64_t bytes);
  // Frees every queued packet and wakes a blocked producer.
  void Clear();
  // From now on Push never blocks; a blocked producer goes on.
  void Stop();
  int32_t GetCount();
  int64_t GetBytes();

 private:
  bool OverLimitLocked() const { return static_cast<int32_t>(packets_.size()) > packetLimit_ || bytes_ > byteLimit_; }
  void FreeRetiredLocked();

  std::mutex mutex_;
  std::condition_variable space_;
  std::deque<MediaPacket*> packets_;
  int64_t bytes_ = 0;
  int32_t packetLimit_ = kDefaultPacketLimit;
  int64_t byteLimit_ = kDefaultByteLimit;
  uint64_t signals_ = 0;  // Signal calls so far
  bool stopped_ = false;
  MediaPacket* peeked_ = nullptr;   // head handed out by Peek
  MediaPacket* retired_ = nullptr;  // peeked head removed by Clear, freed later
};
