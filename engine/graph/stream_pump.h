// CStreamPump: one thread per reader output stream that turns the packets
// of its list back into samples (buffers from the output pin's allocator) and
// delivers them on the pin. Uses no engine globals.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/graph/packet_queue.h"
#include "platform/unknown.h"
#include "plugin-api/media_module.h"

class CStreamPump {
 public:
  CStreamPump() = default;
  // Only for a pump whose Start failed: a started pump deletes itself.
  ~CStreamPump() = default;
  CStreamPump(const CStreamPump&) = delete;
  CStreamPump& operator=(const CStreamPump&) = delete;

  // Starts the pump thread delivering on (module, pin) with buffers from
  // allocator (borrowed; null: every data packet is dropped). On success
  // the pump belongs to its thread, which deletes it after delivering end of
  // stream; on failure (E_FAIL) the caller still owns it.
  template <class Interface>
  HRESULT Start(CMediaModule<Interface>* module, uint32_t pin, IMemAllocator* allocator) {
    return StartThread(module, pin, allocator, [](void* m, uint32_t p, IMediaSample* s) {
      return static_cast<CMediaModule<Interface>*>(m)->Deliver(p, s);
    });
  }

  // The reader pushes packets here; an end-of-stream packet ends the pump.
  CPacketList& List() { return list_; }

  // Pumps whose thread has not ended yet, in this process.
  static int32_t Running() { return running_.load(); }

 private:
  using DeliverFn = HRESULT (*)(void* module, uint32_t pin, IMediaSample* sample);

  HRESULT StartThread(void* module, uint32_t pin, IMemAllocator* allocator, DeliverFn deliver);
  void ThreadMain();
  // Fills a buffer from the allocator with the packet; null when none came.
  Ref<IMediaSample> MakeSample(const MediaPacket& packet);

  CPacketList list_;
  void* module_ = nullptr;
  uint32_t pin_ = 0;
  IMemAllocator* allocator_ = nullptr;
  DeliverFn deliver_ = nullptr;

  static std::atomic<int32_t> running_;
};
