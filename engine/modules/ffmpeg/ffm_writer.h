// CFFMWriter: the writer behind every "[FFM]" writer tag. Interleaves the
// encoded streams of its input pins by time and multiplexes them into one
// file through CFFMOutput.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "engine/graph/queued_writer.h"
#include "engine/modules/ffmpeg/ffm_output.h"
#include "plugin-api/media_type_helpers.h"

// SetOutput: the output file cannot be created (no muxer: E_INVALIDARG).
constexpr HRESULT FFM_E_CANNOT_CREATE = MakeHResult(0x80070052u);

class CFFMWriter : public CQueuedWriter {
 public:
  // A new writer opened with the parameters ("NAME", "GLOBALHEADER"), or null.
  static IMediaModule* Create(CParamList* params);

  CFFMWriter();

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  // Drops an output that CloseOutput never finished.
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  // E_INVALIDARG for an unknown muxer, FFM_E_CANNOT_CREATE for a file that
  // cannot be created (the reason is in the log).
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t option) override;
  // Writes the trailer and puts the file at its name: 0, or E_FAIL when any
  // write of the output failed (the failure is in the log, the unfinished
  // file is dropped and the target left as it was). A source that failed to
  // read drops the output too (E_SOURCE_READ_FAILED), and so does an input
  // that delivered no packet to a run that was not stopped (E_FAIL); a stop
  // before any packet leaves no file (0).
  HRESULT CloseOutput() override;

  MediaPacket* SelectPacket(uint32_t* pin) override;
  HRESULT WritePacket(uint32_t pin, MediaPacket* packet) override;
  void EndOfInput(uint32_t pin) override;

  // Set once a write of the output failed.
  bool OutputFailed() const { return output_.Failed(); }

 protected:
  ~CFFMWriter() override;

 private:
  // The header stage: true once written (or given up), false while waiting for packets.
  bool PrepareHeader();
  // Waits a little for producers, waking those blocked on full queues.
  void WaitForPackets();

  CMediaTypeArray inputTypes_;
  int32_t targetInts_[6] = {};
  bool haveTarget_ = false;
  char muxerName_[64] = {};
  int32_t globalHeader_ = 0;
  bool running_ = false;
  bool headerDone_ = false;
  bool firstSeen_[kMaxInputPins] = {};
  bool inputFinished_[kMaxInputPins] = {};
  int streamOfPin_[kMaxInputPins] = {};
  int64_t packetsOfPin_[kMaxInputPins] = {};  // data packets written per input
  CFFMOutput output_;
};
