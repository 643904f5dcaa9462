#include "engine/graph/stream_pump.h"

#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/result_channel.h"

std::atomic<int32_t> CStreamPump::running_{0};

HRESULT CStreamPump::StartThread(void* module, uint32_t pin, IMemAllocator* allocator, DeliverFn deliver) {
  list_.Clear();
  module_ = module;
  pin_ = pin;
  allocator_ = allocator;
  deliver_ = deliver;
  running_.fetch_add(1);
  try {
    std::thread(&CStreamPump::ThreadMain, this).detach();
  } catch (const std::system_error&) {
    running_.fetch_sub(1);
    return E_FAIL;
  }
  return S_OK;
}

void CStreamPump::ThreadMain() {
  UseFaultStackOnThisThread();
  for (;;) {
    // Woken by the next push, so a sparse stream's packet goes on at once.
    MediaPacket* packet = list_.PopWait(std::chrono::milliseconds(100));
    if (!packet) continue;
    if (packet->flags & PACKET_END_OF_STREAM) {
      FreePacket(packet);
      deliver_(module_, pin_, nullptr);
      break;
    }
    Ref<IMediaSample> sample = MakeSample(*packet);
    FreePacket(packet);
    if (sample) deliver_(module_, pin_, sample.Detach());  // no buffer: the packet is dropped
  }
  delete this;
  running_.fetch_sub(1);
}

Ref<IMediaSample> CStreamPump::MakeSample(const MediaPacket& packet) {
  // A connection that got no allocator is treated as giving no buffer.
  if (!allocator_) return {};
  Ref<IMediaSample> sample;
  if (allocator_->GetBuffer(sample.Out(), nullptr, nullptr, 0) != S_OK || !sample) return {};
  BYTE* buffer = nullptr;
  if (sample->GetPointer(&buffer) != S_OK || !buffer) return {};
  LONG size = sample->GetSize();
  LONG length = packet.data ? packet.length : 0;
  if (length < 0) length = 0;
  if (length > size) {
    ConsoleLine("READ packet too long\n");
    length = size < 0 ? 0 : size;
  }
  sample->SetActualDataLength(length);
  if (length > 0) std::memcpy(buffer, packet.data, static_cast<size_t>(length));
  REFERENCE_TIME start = packet.start;
  REFERENCE_TIME stop = packet.stop;
  if ((packet.flags & PACKET_START_VALID) && (packet.flags & PACKET_STOP_VALID)) {
    sample->SetTime(&start, &stop);
  } else if (packet.flags & PACKET_START_VALID) {
    sample->SetTime(&start, nullptr);
  } else {
    sample->SetTime(nullptr, nullptr);
  }
  LONGLONG decode = packet.decodeTime;
  if (packet.flags & PACKET_DECODE_TIME_VALID) {
    sample->SetMediaTime(&decode, &decode);
  } else {
    sample->SetMediaTime(nullptr, nullptr);
  }
  sample->SetDiscontinuity((packet.flags & PACKET_DISCONTINUITY) ? 1 : 0);
  sample->SetSyncPoint((packet.flags & PACKET_SYNC_POINT) ? 1 : 0);
  sample->SetPreroll((packet.flags & PACKET_PREROLL) ? 1 : 0);
  return sample;
}
