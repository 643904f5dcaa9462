#include "engine/modules/filters/audio_sample_convert.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {
namespace {

int16_t Saturate16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

constexpr size_t kScratch = 1024;

// Rounds x * 2^31 and saturates it to the signed 32-bit range.
int32_t FloatToTop32(float x) {
  const double s = static_cast<double>(x) * 2147483648.0;
  if (s >= 2147483647.0) return INT32_MAX;
  if (s <= -2147483648.0) return INT32_MIN;
  const long long r = std::llrint(s);
  return static_cast<int32_t>(std::clamp<long long>(r, INT32_MIN, INT32_MAX));
}

// Packed (possibly unaligned) samples of type T to float, through an aligned scratch block.
template <typename T>
void PackedToFloat(const uint8_t* src, float* dst, size_t count, void (*convert)(const T*, float*, int)) {
  T tmp[kScratch];
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(kScratch, count - done);
    std::memcpy(tmp, src + done * sizeof(T), n * sizeof(T));
    convert(tmp, dst + done, static_cast<int>(n));
    done += n;
  }
}

// Float to packed samples of type T, through an aligned scratch block.
template <typename T>
void FloatToPacked(const float* src, uint8_t* dst, size_t count, void (*convert)(const float*, T*, int)) {
  T tmp[kScratch];
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(kScratch, count - done);
    convert(src + done, tmp, static_cast<int>(n));
    std::memcpy(dst + done * sizeof(T), tmp, n * sizeof(T));
    done += n;
  }
}

}  // namespace

bool IsSupportedPcmWidth(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int32_t ReadPcmAsInt32(const uint8_t* p, int bits) {
  switch (bits) {
    case 8:
      return static_cast<int32_t>(static_cast<uint32_t>(p[0] ^ 0x80) << 24);
    case 16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<int32_t>(v) * 65536;
    }
    case 24:
      return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                                  (static_cast<uint32_t>(p[2]) << 24));
    case 32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
  return 0;
}

void WritePcmFromInt32(uint8_t* p, int bits, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  switch (bits) {
    case 8:
      p[0] = static_cast<uint8_t>((u >> 24) ^ 0x80);  // high byte plus the offset
      break;
    case 16: {
      const int16_t s = static_cast<int16_t>(v >> 16);
      std::memcpy(p, &s, 2);
      break;
    }
    case 24:
      p[0] = static_cast<uint8_t>(u >> 8);
      p[1] = static_cast<uint8_t>(u >> 16);
      p[2] = static_cast<uint8_t>(u >> 24);
      break;
    case 32:
      std::memcpy(p, &v, 4);
      break;
  }
}

void ConvertPcmSample(const uint8_t* src, int srcBits, uint8_t* dst, int dstBits) {
  WritePcmFromInt32(dst, dstBits, ReadPcmAsInt32(src, srcBits));
}

void PcmToFloat(const uint8_t* src, int bits, float* dst, size_t count) {
  switch (bits) {
    case 8:
      for (size_t i = 0; i < count; ++i) dst[i] = (static_cast<int>(src[i]) - 128) / 128.0f;
      break;
    case 16:
      PackedToFloat(src, dst, count, src_short_to_float_array);
      break;
    case 24:
      for (size_t i = 0; i < count; ++i)
        dst[i] = static_cast<float>((ReadPcmAsInt32(src + i * 3, 24) >> 8) / 8388608.0);
      break;
    case 32:
      PackedToFloat(src, dst, count, src_int_to_float_array);
      break;
  }
}

void FloatToPcm(const float* src, uint8_t* dst, int bits, size_t count) {
  switch (bits) {
    case 8:
      for (size_t i = 0; i < count; ++i) WritePcmFromInt32(dst + i, 8, FloatToTop32(src[i]));
      break;
    case 16:
      FloatToPacked(src, dst, count, src_float_to_short_array);
      break;
    case 24:
      for (size_t i = 0; i < count; ++i) WritePcmFromInt32(dst + i * 3, 24, FloatToTop32(src[i]));
      break;
    case 32:
      FloatToPacked(src, dst, count, src_float_to_int_array);
      break;
  }
}

void DownmixFrame16(int16_t* frame, int inChannels, int outChannels) {
  if (outChannels == 1 && inChannels > 1) {
    int64_t sum = 0;
    for (int c = 0; c < inChannels; ++c) sum += frame[c];
    const int16_t v = Saturate16(sum / 2);
    for (int c = 0; c < inChannels; ++c) frame[c] = v;
  } else if (outChannels == 2 && inChannels >= 4) {
    const int half = inChannels / 2;
    int64_t left = 0, right = 0;
    for (int c = 0; c < half; ++c) left += frame[c];
    for (int c = half; c < inChannels; ++c) right += frame[c];
    const int16_t l = Saturate16(left), r = Saturate16(right);
    for (int c = 0; c < inChannels; ++c) frame[c] = (c % 2 == 0) ? l : r;
  }
}

}  // namespace audio
