// CDvdReader: the FFmpeg reader for "dvd:" sources. The title's chapter range
// is read as one MPEG program stream from the "dvd:" source; the output pins
// follow the stream descriptors the job carries for the source (handed over
// through IStreamDescriptions before OpenFile, pins in their order), matched
// to the demuxer's streams by stream id. Time stamps run on across the
// title's clock jumps, and seeks go to the DVD's block thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/modules/dvd/dvd_reader_input.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "plugin-api/stream_descriptions.h"

class CParamList;

class CDvdReader : public CFFMReader, public IStreamDescriptions {
 public:
  // A new module, opened; null when out of memory.
  static IMediaModule* Create(CParamList* params);

  // Answers IStreamDescriptions besides the reader's own codes.
  HRESULT QueryInterface(REFIID iid, void** out) override;
  // Without descriptions the pins are the probed streams, as for a file.
  HRESULT SetStreamDescriptions(const char* const* texts, int32_t count) override;

  HRESULT OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) override;
  HRESULT GetInfo(int64_t* duration, CParamList* info) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) override;
  HRESULT DoSeek(uint32_t timeLow, int32_t timeHigh, int32_t flags) override;
  int32_t NeedsReopenAfterEnd() override { return 1; }

  // The stream description of a descriptor text (TYPE, VFCC, STREAMID,
  // FRAMERATE, WIDTH, HEIGHT, CHANNEL, SAMPLERATE); id as the demuxer numbers it.
  static FFStreamDesc StreamFromDescriptor(CParamList& keys, int32_t* scanId);
  CDvdReaderInput* Input() { return input_.get(); }

 protected:
  CDvdReader() = default;
  ~CDvdReader() override;

  int OpenInput(const char* path) override;
  int ReopenInput() override;
  void MapStreams() override;
  bool BindLateStream(int stream) override;
  void OnInputEnd() override;
  bool StampJumpBefore(int64_t position, int64_t* shift) override;
  bool PendingStampJump(int64_t* position, int64_t* shift) override;
  bool OriginClock(int64_t* clock) override;
  bool RangeEnd(int64_t* end) override;

 private:
  // An output whose stream the probe did not see: described by the job until
  // the demuxer meets it.
  struct Awaited {
    bool described = false;  // set once at open, then read-only
    bool waiting = false;    // reader thread only
    int32_t scanId = 0;
    FFStreamDesc desc;
  };

  static void MergeDescriptor(const FFStreamDesc& described, FFStreamDesc* probed);

  std::vector<std::string> descriptions_;  // set before OpenFile, then read-only
  std::unique_ptr<CDvdReaderInput> input_;
  Awaited awaited_[kMaxOutputPins];
  bool failureReported_ = false;
  bool sought_ = false;  // a seek moved the time line off the range's own (reader thread)
};

IMediaModule* CreateDvdReader(CParamList* params);
