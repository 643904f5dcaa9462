// CBmpWriter ("Bmp writer"): the writer of frame-render jobs. It takes one
// RGB32 video input, skips "FRAMENUM" frames and saves the next one as a BMP
// file, then stores 1 into the stop word given as "STOPPTR" so that the run
// loop stops the graph. When the stream ends before that frame, it saves the
// last frame it kept (frames 0 to N - 2), or a black picture when it kept none.
//
// The frame buffer is sized from the input's header and zero-filled; each copy
// takes at most the sample's real length and zero-fills the rest. The file is
// written whole or not at all (temporary name, then rename); a failed write is
// logged and answered by CloseOutput.
// Results: HRESULT operations answer S_OK, S_FALSE for a refused type or pin, or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

class CBmpWriter final : public CWriterModule {
 public:
  // An opened writer, or null.
  static IMediaModule* Create(CParamList* params);

  // "FRAMENUM" (frames to skip; a negative count saves the first frame) and
  // "STOPPTR" (pointer entry: the 32-bit stop word to set after saving).
  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override;
  uint32_t GetOutputPinCount() override { return 0; }
  // One pin of an RGB32 type (VideoInfo or VideoInfo2) whose frame fits;
  // flags nonzero only tests the type.
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  // 1 once the end of the stream has arrived, else 0.
  int32_t GetState() override;
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t option) override;
  // E_FAIL when the frame could not be written, else S_OK.
  HRESULT CloseOutput() override;

  // Where the saved frame's time goes (milliseconds): the control block's
  // reported-position word, or null for none.
  void ReportPositionTo(int32_t* word);

 private:
  ~CBmpWriter() override = default;

  // Copies the sample's bytes into the frame buffer, zero-filling the rest.
  void CopyIntoFrame(IMediaSample* sample);
  // Reports the latest time and writes the frame buffer as the file.
  void SaveFrame();

  std::string path_;
  int32_t frameNumber_ = 0;
  int32_t* stopWord_ = nullptr;
  int32_t* positionWord_ = nullptr;

  bool hasPin_ = false;
  BITMAPINFOHEADER header_{};
  size_t frameBytes_ = 0;
  CMediaTypeArray inputType_;

  // Under the module lock.
  int32_t received_ = 0;
  int64_t latestStart_ = 0;
  std::vector<uint8_t> frame_;
  HRESULT result_ = S_OK;
  std::atomic<bool> finished_{false};
};
