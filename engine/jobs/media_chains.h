// Processing chains from a source pin to a writer: media-type negotiation
// between neighbours (with colour or sample converters where needed), the
// video and audio chains of conversion and pass jobs, subtitle overlays and
// the progress hook on the writer's input.
// Results: HRESULT functions answer S_OK or a failure code (chain codes below); bool for "done".
#pragma once

#include <array>
#include <cstdint>

#include "common/job_records.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"

// Errors of chain building.
constexpr HRESULT E_NO_AUDIO_CODER = MakeHResult(0x80040205u);
constexpr HRESULT E_NO_VIDEO_CODER = MakeHResult(0x80040206u);
constexpr HRESULT E_NO_FILTER = MakeHResult(0x80040207u);

// Subtitle streams: the subtitle major and format types and the subtypes the
// overlay filters know. Readers of DVD subpictures label them with the second
// major type, which counts as a subtitle major type too.
constexpr GUID kSubtitleMajorType = {0xB36E107F, 0xA938, 0x4387, {0x93, 0xC7, 0x55, 0xE9, 0x66, 0x75, 0x74, 0x73}};
constexpr GUID kSubtitleMajorTypeDvd = {0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};
constexpr GUID kSubtitleFormatType = {0xF7239E31, 0x9599, 0x4E43, {0x8D, 0xD5, 0xFB, 0xAF, 0x75, 0xCF, 0x37, 0xF1}};
constexpr GUID kSubtitleUtf8 = {0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};
constexpr GUID kSubtitleSsa = {0x87C0B230, 0x03A8, 0x4FDF, {0x80, 0x10, 0xB2, 0x7A, 0x58, 0x48, 0x20, 0x0D}};
constexpr GUID kSubtitleAss = {0x3020560F, 0x255A, 0x4DDC, {0x80, 0x6E, 0x6C, 0x5C, 0xC6, 0xDC, 0xD7, 0x0A}};
constexpr GUID kSubtitleAss2 = {0x326444F7, 0x686F, 0x47FF, {0xA4, 0xB2, 0xC8, 0xC9, 0x63, 0x07, 0xB4, 0xC2}};
constexpr GUID kSubtitleVobsub = {0x76C421C4, 0xDB89, 0x42EC, {0x93, 0x6E, 0xA9, 0xFB, 0xC1, 0x79, 0x47, 0x14}};

bool IsSubtitleMajorType(const GUID& major);
// "TEXT", "UTF8", "SSA ", "ASS ", "ASS2", "VOBS", "DVDS" (first letter in the
// lowest byte) or 0.
uint32_t SubtitleCode(const AM_MEDIA_TYPE* type);

constexpr int kSubtitleWriterSlots = 20;
using SubtitleWriterTable = std::array<IMediaModule*, kSubtitleWriterSlots>;

// A module and one of its output pins.
struct SourcePin {
  IMediaModule* module = nullptr;
  uint32_t pin = 0;
};

// Connection primitives. The two tries offer the type and its codec-table variants: true when one is taken.
bool TrySetInputType(IMediaModule* module, uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly);
bool TryAddInputPin(IMediaModule* writer, const AM_MEDIA_TYPE* type, int32_t flags);
HRESULT ConnectDirect(IJobGraph& graph, SourcePin source, IMediaModule* destination, uint32_t destinationPin);
HRESULT ConnectWithConverter(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* destination,
                             uint32_t destinationPin);
HRESULT ConnectToWriterInput(IJobGraph& graph, SourcePin source, IMediaModule* writer);
HRESULT ConnectToWriterAs(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer, bool wanted,
                          const GUID& wantedSubtype);
IMediaModule* CreateDecoderFor(IModuleSource& modules, SourcePin source);
// kind 0 video filters, 1 audio filters; anything else null.
IMediaModule* CreateFilterByName(IModuleSource& modules, const char* name, int kind);

// Connects a text stream to a new "SUBTITLE" writer stored in *slot (null on
// failure, with "Cannot render subtitle" on standard output); false on failure.
bool RenderSubtitleStream(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule** slot);

enum class SubtitlePass { BeforeResize, Final };
HRESULT InsertSubtitleFilters(const SubtitleWriterTable* table, IJobGraph& graph, IModuleSource& modules,
                              SourcePin& tail, SubtitlePass pass, int32_t startCut);

// An "AMERGER" ("MP3" = mp3, "PCM" = 1) connected directly after the tail,
// which it becomes; left out when there is none or it does not connect.
void AddAudioMerger(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, int32_t mp3);
// A "VCHANGEFRAME" to the record's rate after the tail, which it becomes.
HRESULT AddFrameRateChange(IJobGraph& graph, IModuleSource& modules, SourcePin& tail, const FrameRateChange& rate);

HRESULT BuildVideoChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                        const EncodeSettings& settings, bool sourceUncompressed, const SubtitleWriterTable* subtitles,
                        int32_t startCut, int32_t stopCut, const FrameRateChange* frameRate);
HRESULT BuildAudioChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                        const EncodeSettings& settings, bool sourceUncompressed, int32_t startCut, int32_t stopCut);
HRESULT BuildPassVideoChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                            const EncodeSettings& settings);
HRESULT BuildPassAudioChain(IJobGraph& graph, IModuleSource& modules, SourcePin source, IMediaModule* writer,
                            const EncodeSettings& settings);

// Hooks the progress report on the connection feeding the writer's input pin
// (-1: the first video input, else the last audio input). false when there
// is no such input or connection.
bool HookProgress(IJobGraph& graph, IMediaModule* writer, int32_t pin);
// The hooks: frame count and position (video), position only (audio), into
// the current job channel's control block when there is one.
void VideoProgressHook(IMediaSample* sample);
void AudioProgressHook(IMediaSample* sample);
// Resets the process-wide frame counter (tests).
void ResetProgressFrameCounter();

// numerator * 10,000,000 / denominator (0 for a zero denominator).
int64_t FrameDurationFromRate(int32_t numerator, int32_t denominator);
