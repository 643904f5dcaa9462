// The engine's built-in registration rows and their factories.
//
// Each factory builds one module class: it constructs the module, opens it
// with the row's parameter list and returns it, or returns null when the
// module refuses to open or is not available on this build.
#pragma once

#include "engine/registry/module_registry.h"
#include "plugin-api/audio_filter.h"
#include "plugin-api/video_filter.h"

// Module factories, one per module class.
IMediaModule* CreateDirectShowEncoderModule(CParamList* params);
IMediaModule* CreateDirectShowDecoderModule(CParamList* params);
IMediaModule* CreateAcmCoderModule(CParamList* params);  // sets "CODECDLL" first
IMediaModule* CreateFFmpegDecoderModule(CParamList* params);
IMediaModule* CreateFFmpegEncoderModule(CParamList* params);
IMediaModule* CreateDirectShowReaderModule(CParamList* params);
IMediaModule* CreateDirectShowWriterModule(CParamList* params);
IMediaModule* CreateFFmpegReaderModule(CParamList* params);
IMediaModule* CreateFFmpegFlacReaderModule(CParamList* params);  // the "FLAC" rows
IMediaModule* CreateFFmpegH264ReaderModule(CParamList* params);  // the "264" rows
IMediaModule* CreateFFmpegWriterModule(CParamList* params);
IMediaModule* CreatePassWriterModule(CParamList* params);
IMediaModule* CreatePreviewPlayerModule(CParamList* params);
IMediaModule* CreatePassReaderModule(CParamList* params);
IMediaModule* CreateDvdReaderModule(CParamList* params);
// Filter hosts: null when the row's filter object cannot be made.
IMediaModule* CreateVideoFilterHostModule(CParamList* params);   // "FNVF"
IMediaModule* CreateColorConvertHostModule(CParamList* params);  // "FNVF"
IMediaModule* CreateAudioFilterHostModule(CParamList* params);   // "FNAF"
IMediaModule* CreateVideoReframeModule(CParamList* params);
IMediaModule* CreateVideoChangeframeModule(CParamList* params);
IMediaModule* CreateAudioDelayModule(CParamList* params);
IMediaModule* CreateAudioNormalizeModule(CParamList* params);
IMediaModule* CreateAudioMergerModule(CParamList* params);
IMediaModule* CreateMediaRangeModule(CParamList* params);
IMediaModule* CreateSubtitleWriterModule(CParamList* params);

// Filter objects handed to the hosts through "FNVF" / "FNAF".
IVideoFilter* CreateTestFlipFilter(CParamList* params);
IVideoFilter* CreateFrameCaptureFilter(CParamList* params);
IVideoFilter* CreateDvdSubpictureFilter(CParamList* params);
IVideoFilter* CreateColourConverterFilter(CParamList* params);
IVideoFilter* CreateDeinterlaceFilter(CParamList* params);
IVideoFilter* CreateFrameRateFilter(CParamList* params);
IVideoFilter* CreateWatermarkFilter(CParamList* params);
IVideoFilter* CreateGreyScaleFilter(CParamList* params);
IVideoFilter* CreateVerticalFlipFilter(CParamList* params);
IVideoFilter* CreateHorizontalFlipFilter(CParamList* params);
IVideoFilter* CreateLevelsFilter(CParamList* params);
IVideoFilter* CreateTweakFilter(CParamList* params);
IAudioFilter* CreateResamplerFilter(CParamList* params);
IAudioFilter* CreateVolumeFilter(CParamList* params);
IAudioFilter* CreateEqualizerFilter(CParamList* params);

// Addresses of the DirectShow support-object factories carried as "MAPFUNC".
void* DirectShowReaderMapFunc();
void* AsfReaderMapFunc();
void* DirectShowWriterMapFunc();

// The built-in rows, in list order. Each step empties its lists first.
void RegisterBuiltinReaders(CReaderList& readers);
void RegisterBuiltinWriters(CWriterList& writers);
void RegisterBuiltinDecoders(CCoderList& decoders);
void RegisterBuiltinEncoders(CCoderList& audioEncoders, CCoderList& videoEncoders);
void RegisterBuiltinFilters(CCoderList& audioFilters, CCoderList& videoFilters);
