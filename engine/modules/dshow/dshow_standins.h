// The filters this system has in place of the platform's: FFmpeg-backed
// decoders under the display names the registry rows ask for, FFmpeg-backed
// file sources (the Windows Media ASF reader, the generic file source), the
// ASF writer (WMV and WMA files), a null video renderer, and general FFmpeg
// decoders for graph building. They go into the moniker table once per process.
#pragma once

#include "platform/dshow/base_renderer.h"

// Display names of the stand-ins.
extern const char16_t kWmvDecoderName[];       // WMV1, WMV2, WMV3, WMVP, WVC1
extern const char16_t kWmaDecoderName[];       // wave formats 0x160 to 0x163
extern const char16_t kAcelpDecoderName[];     // wave format 0x130
extern const char16_t kWmaVoiceDecoderName[];  // wave format 0x000A
extern const char16_t kMssDecoderName[];       // MSS1, MSS2
extern const char16_t kAsfReaderName[];        // .asf, .wmv, .wma files
extern const char16_t kFileSourceName[];       // any file FFmpeg opens
extern const char16_t kVideoRendererName[];    // uncompressed pictures, discarded
extern const char16_t kVideoDecoderName[];     // compressed video the codec table knows
extern const char16_t kAudioDecoderName[];     // compressed audio the codec table knows

// Registers the stand-ins in the moniker table (the first call does it).
void EnsureStandInFilters();

// Takes uncompressed pictures and discards them.
class CNullVideoRenderer final : public CBaseRenderer {
 public:
  CNullVideoRenderer();
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
  HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};
