// CTimingModule: the common base of the timing modules (frame-rate change,
// media range, audio delay, normalise, merger): one input and one output pin,
// the stored input type, new buffers from the output pin's allocator, and
// delivery of data split over as many buffers as it takes.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

constexpr int64_t kTimeUnitsPerSecond = 10000000;

// An integer PCM format read from a WAVEFORMATEX.
struct PcmFormat {
  int32_t rate = 0;
  int32_t channels = 0;
  int32_t bits = 0;  // 0 in the format block reads as 16
  uint32_t FrameBytes() const { return static_cast<uint32_t>(channels) * static_cast<uint32_t>(bits / 8); }
};

// Reads an audio/PCM type with a WAVEFORMATEX; false for another type, a
// format block too short for its header, no channels, no rate, or a sample
// width that is not whole bytes.
bool ReadPcmFormat(const AM_MEDIA_TYPE* mt, PcmFormat* format);

// Start of sample frame `position` at `rate` frames per second, in 100-ns units.
int64_t TimeOfPosition(int64_t position, int32_t rate);

class CTimingModule : public CSingleTransformModule {
 public:
  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  // Index 0 of pin 0: the stored input type.
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  // Index 0 of pin 0: the stored input type.
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  // `buffers` buffers of the input type's sample size, alignment 32.
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;

 protected:
  explicit CTimingModule(LONG buffers) : buffers_(buffers) {}

  // A new buffer from the output pin's allocator with no times and no flags;
  // empty (with *result set) when there is none.
  Ref<IMediaSample> NewBuffer(HRESULT* result);
  // Delivers an empty buffer flagged as discontinuity (the seek marker).
  HRESULT DeliverMarker();

  enum PieceFlags : uint32_t { kPieceSync = 1, kPieceDiscontinuity = 2 };
  // Delivers `length` bytes (null data: silence of `fill` bytes) that span
  // `frames` sample frames from `position`, in as many output buffers as it
  // takes. Pieces hold whole units of `unit` bytes when a buffer holds one;
  // each piece is stamped with its share of the frames.
  HRESULT DeliverPieces(const uint8_t* data, uint8_t fill, uint32_t length, uint32_t unit, int64_t position,
                        int64_t frames, int32_t rate, uint32_t flags);

 private:
  LONG buffers_;
};
