// Translations between DirectShow media types and codec contexts, in both
// directions. Stateless: each function reads and writes only its arguments.
// Format blocks are checked against their stated size before any field is read.
// Results: bool, true when the translation was made.
#pragma once

#include <cstdint>

#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "platform/media_types.h"

// A frame duration (100 ns) as a time base {num, den}, snapped to the
// standard rates within 10 units, else {t / 100, 100000}.
void SnapFrameTimeToRate(int64_t frameTime, FFRational* rate);
// num * 10,000,000 / den (100-ns units); 0 when den is 0.
int64_t FrameDurationFromRate(FFRational rate);

// Fill ctx from the type; false when refused (ctx unchanged).
bool MediaTypeToCodecContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, int32_t codecId, int32_t pixFmt,
                             int32_t bitsOverride, uint32_t codecTag);
bool MediaTypeToDecoderContext(const AM_MEDIA_TYPE* type, CodecContext* ctx);
bool MediaTypeToMuxerContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, const char* muxerName);
bool RawMediaTypeToEncoderContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, int32_t codecId);

// Fill an initialised media type from ctx; false when refused (the type may
// hold a major type, subtype and block already; the caller frees it).
// ctx may be changed: raw RGB555 is offered as RGB565.
bool CodecContextToMediaType(CodecContext* ctx, AM_MEDIA_TYPE* type);
bool DecodedContextToMediaType(const CodecContext* ctx, AM_MEDIA_TYPE* type);
