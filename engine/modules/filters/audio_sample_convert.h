// PCM sample width, float and channel conversions used by the audio filters.
// Widths are 8 (unsigned, offset 128), 16, 24 (three bytes) and 32 bits,
// little-endian; samples may sit at any address.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// True for the integer widths the converters handle.
bool IsSupportedPcmWidth(int bits);

// One sample as a signed 32-bit value with its bits at the top.
int32_t ReadPcmAsInt32(const uint8_t* p, int bits);
// The top `bits` bits of v written as one sample of that width.
void WritePcmFromInt32(uint8_t* p, int bits, int32_t v);

// One sample converted between integer widths (the same width is copied).
void ConvertPcmSample(const uint8_t* src, int srcBits, uint8_t* dst, int dstBits);

// count samples to floats in -1..1, and back; float to PCM saturates at both ends.
void PcmToFloat(const uint8_t* src, int bits, float* dst, size_t count);
void FloatToPcm(const float* src, uint8_t* dst, int bits, size_t count);

// The input channel that output channel `outChannel` takes.
inline int MappedChannel(int outChannel, int inChannels) { return outChannel < inChannels ? outChannel : 0; }

// Down-mixes one 16-bit frame in place for 16-bit output: to one channel the
// halved sum goes into every sample; to two channels from four or more, the
// first half of the channels sums into L, the rest into R, and the frame
// becomes L R L R ...; each result saturates at 16 bits. Other layouts are left alone.
void DownmixFrame16(int16_t* frame, int inChannels, int outChannels);

}  // namespace audio
