// CModuleCodecFilter: a decoder filter of the graph layer whose work is done
// by an engine transform module (the FFmpeg decoder): what comes in on its
// input pin goes to the module on the same thread, what the module delivers
// goes out on its output pin, written straight into the buffers of the
// output pin's allocator. It stands in for the system's decoders (the
// Windows Media and screen decoders) under their display names.
// Results: S_OK or a failure code.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/position_passthru.h"
#include "plugin-api/module_interfaces.h"

// One codec of a stand-in: the subtype's FOURCC or wave-format tag, and the
// FFmpeg codec that decodes it.
struct StandInCodec {
  uint32_t tag;
  const char* ffmpegName;
};

class CModuleCodecFilter final : public CBaseFilter {
 public:
  // audio: the filter decodes audio (else video). codecs: the subtypes it
  // takes; empty: any compressed type the engine's codec table names.
  CModuleCodecFilter(const CLSID& clsid, bool audio, std::vector<StandInCodec> codecs);
  ~CModuleCodecFilter() override;

  int32_t GetPinCount() override { return 2; }
  CBasePin* GetPin(int32_t index) override;
  HRESULT Pause() override;

  // The FFmpeg codec id the filter would use for the type; 0 when it takes none.
  int32_t CodecFor(const AM_MEDIA_TYPE* mt) const;

 private:
  class InPin;
  class OutPin;
  friend class InPin;
  friend class OutPin;

  // The module for the type's codec, made (again) when the codec changes; null when none fits.
  IMediaModule* ModuleFor(const AM_MEDIA_TYPE* mt);
  // Resets the codec after a flush or a discontinuity; what the module emits for it is dropped.
  void FlushModule();
  static HRESULT FromModule(IMediaSample* sample, void* context);

  std::recursive_mutex filterLock_;
  bool audio_;
  std::vector<StandInCodec> codecs_;
  Ref<IMediaModule> module_;
  int32_t moduleCodec_ = -1;
  std::atomic<HRESULT> lastDelivery_{S_OK};
  std::atomic<bool> endDelivered_{false};
  CPassThruHolder position_;
  InPin* in_;
  OutPin* out_;
};
