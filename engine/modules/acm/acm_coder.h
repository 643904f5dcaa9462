// CAcmCoder: the transform module that decodes compressed audio into 16-bit
// PCM through an audio codec driver loaded from a file ("CODECDLL") and
// added to the codec layer by its entry point. Compressed bytes are gathered
// into chunks (the driver's estimate for 15,000 bytes of PCM, at most 4,096)
// and converted one chunk at a time; each PCM sample carries the times of the
// input sample that completed its chunk. At end of stream the held bytes are
// converted once more and the driver's remaining output drained.
// Results: HRESULT operations answer S_OK or a failure code; a refused input
// type is E_FAIL, so the graph builder tries another chain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/acm/acm.h"
#include "platform/dynamic_library.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

class CAcmCoder final : public CSingleTransformModule {
 public:
  static constexpr uint32_t kInputBufferBytes = 4096;
  static constexpr DWORD kPcmBytesPerChunk = 15000;
  // Driver calls in a row that take no input before the chunk is given up.
  static constexpr int kMaxIdleConversions = 64;

  // Creates the module and opens it with "CODECDLL"; never null for lack of a driver.
  static IMediaModule* Create(CParamList* params);

  CAcmCoder() = default;

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t AcceptsBlankSample() override;

  // Loads the driver file and opens the driver; true when a driver is open.
  bool LoadDriver(const std::string& path);

  bool DriverOpen() const { return driver_ != nullptr; }
  bool StreamOpen() const { return stream_ != nullptr; }
  uint32_t ChunkSize() const { return chunk_; }
  uint32_t Held() const { return held_; }
  const WAVEFORMATEX& OutputFormat() const { return output_; }

 protected:
  ~CAcmCoder() override;

 private:
  struct Times {
    bool valid = false;
    REFERENCE_TIME start = 0, stop = 0;
  };
  // One conversion of the held bytes into a new output sample. *progress is
  // false when the driver used no input and gave no output.
  MMRESULT ConvertHeld(DWORD flags, const Times& times, bool* progress, DWORD* produced);
  void DropHeld(MMRESULT result);
  // Delivers a seek marker and forgets the held bytes.
  HRESULT SeekMarker();
  HRESULT EndOfStream();
  void CloseStream();
  void ReleaseDriver();

  WAVEFORMATEX output_{};
  HACMSTREAM stream_ = nullptr;
  uint8_t input_[kInputBufferBytes] = {};
  uint32_t chunk_ = 0;
  uint32_t held_ = 0;
  bool firstConversion_ = true;
  bool failing_ = false;  // the last conversion failed (logged once per run of failures)
  DynamicLibrary library_;
  HACMDRIVERID driverId_ = nullptr;
  HACMDRIVER driver_ = nullptr;
  Times lastTimes_;
};
