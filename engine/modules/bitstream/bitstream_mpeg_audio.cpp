#include "engine/modules/bitstream/bitstream_mpeg_audio.h"

namespace {

// kbit/s by bitrate index (ISO/IEC 11172-3 and 13818-3).
constexpr int kMpeg1Rates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
};
constexpr int kMpeg2Rates[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layers II, III
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

}  // namespace

bool ReadMpegAudioHeader(const uint8_t* data, int32_t length, MpegAudioHeader* out) {
  if (data == nullptr || length < 4) return false;
  const uint32_t header = static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
                          static_cast<uint32_t>(data[2]) << 8 | data[3];

  if ((header & 0xFFE00000u) != 0xFFE00000u) return false;
  const uint32_t versionBits = (header >> 19) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const uint32_t layerBits = (header >> 17) & 3;    // 3 = I, 2 = II, 1 = III
  const uint32_t bitrateIndex = (header >> 12) & 15;
  const uint32_t samplingIndex = (header >> 10) & 3;
  const int padding = static_cast<int>((header >> 9) & 1);
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || samplingIndex == 3) return false;

  const bool mpeg1 = versionBits == 3;
  const int layer = 4 - static_cast<int>(layerBits);  // 1, 2 or 3
  int sampleRate = kSampleRates[samplingIndex];
  if (versionBits == 2) sampleRate /= 2;
  if (versionBits == 0) sampleRate /= 4;
  const int kbps = mpeg1 ? kMpeg1Rates[layer - 1][bitrateIndex] : kMpeg2Rates[layer - 1][bitrateIndex];

  MpegAudioHeader h;
  if (layer == 1) {
    h.frameLength = (12000 * kbps / sampleRate + padding) * 4;
    h.samplesPerFrame = 384;
  } else if (layer == 2 || mpeg1) {
    h.frameLength = 144000 * kbps / sampleRate + padding;
    h.samplesPerFrame = 1152;
  } else {
    // MPEG-2 and 2.5 Layer III frames hold one granule per channel: 576 samples.
    h.frameLength = 72000 * kbps / sampleRate + padding;
    h.samplesPerFrame = 576;
  }
  h.sampleRate = sampleRate;
  h.version = static_cast<int32_t>(versionBits);
  h.layer = layer;
  h.channels = ((header >> 6) & 3) == 3 ? 1 : 2;
  if (out != nullptr) *out = h;
  return true;
}

int32_t ParseMpegAudioHeader(const uint8_t* data, int32_t length, int32_t* samplesPerFrame) {
  MpegAudioHeader h;
  if (!ReadMpegAudioHeader(data, length, &h)) return kNoMpegAudioHeader;
  if (samplesPerFrame != nullptr) *samplesPerFrame = h.samplesPerFrame;
  return h.frameLength;
}
