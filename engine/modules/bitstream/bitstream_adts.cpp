#include "engine/modules/bitstream/bitstream_adts.h"

#include "engine/modules/bitstream/bit_io.h"

namespace {

constexpr int32_t kAdtsSampleRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                          16000, 12000, 11025, 8000,  7350,  0,     0,     0};

// Parses one whole ADTS frame; returns the header size (7 or 9) or 0.
int32_t CheckAdtsFrame(const uint8_t* data, int32_t length, AdtsHeader* header) {
  if (data == nullptr || length <= 6) return 0;
  BitReader reader;
  reader.SetData(data, length);
  if (reader.ReadBits(12) != 0xFFF) return 0;
  if (ParseAdtsHeader(reader, header) != length) return 0;
  if (header->sampleRate == 0) return 0;  // no AudioSpecificConfig for reserved indexes
  return header->protectionAbsent ? 7 : 9;
}

// The two AudioSpecificConfig bytes: object type, sampling index, channels, three 0 bits.
void BuildAudioSpecificConfig(const AdtsHeader& header, uint8_t out[2]) {
  MemoryByteSink sink(out, 2);
  BitWriter writer;
  writer.Init(&sink);
  writer.PutBits(header.objectType, 5);
  writer.PutBits(header.samplingIndex, 4);
  writer.PutBits(header.channelConfig, 4);
  writer.PutBits(0, 3);
}

}  // namespace

int32_t ParseAdtsHeader(BitReader& reader, AdtsHeader* header) {
  reader.ReadBits(1);  // ID
  reader.ReadBits(2);  // layer
  const uint32_t protectionAbsent = reader.ReadBits(1);
  const uint32_t profile = reader.ReadBits(2);
  const uint32_t samplingIndex = reader.ReadBits(4);
  reader.ReadBits(1);  // private bit
  const uint32_t channelConfig = reader.ReadBits(3);
  reader.ReadBits(1);  // copy
  reader.ReadBits(1);  // home
  reader.ReadBits(1);  // copyright identification bit
  reader.ReadBits(1);  // copyright identification start
  const int32_t frameLength = static_cast<int32_t>(reader.ReadBits(13));
  reader.ReadBits(11);  // buffer fullness
  const uint32_t rawBlocks = reader.ReadBits(2);
  if (reader.Overrun()) return -1;
  if (frameLength <= 6 || frameLength < (protectionAbsent ? 7 : 9)) return -1;

  AdtsHeader h;
  h.sampleRate = kAdtsSampleRates[samplingIndex];
  h.samplesPerFrame = static_cast<int32_t>(rawBlocks + 1) * 1024;
  h.bitRate = static_cast<int32_t>(static_cast<int64_t>(frameLength) * h.sampleRate * 8 / h.samplesPerFrame);
  h.protectionAbsent = static_cast<uint8_t>(protectionAbsent);
  h.objectType = static_cast<uint8_t>(profile + 1);
  h.samplingIndex = static_cast<uint8_t>(samplingIndex);
  h.channelConfig = static_cast<uint8_t>(channelConfig);
  h.rawBlocks = static_cast<uint8_t>(rawBlocks + 1);
  if (header != nullptr) *header = h;

  if (!protectionAbsent && rawBlocks > 0) return -1;
  return frameLength;
}

int32_t StripAdtsHeader(const uint8_t* data, int32_t length, std::vector<uint8_t>* codecData) {
  AdtsHeader header;
  const int32_t skip = CheckAdtsFrame(data, length, &header);
  if (skip == 0) return 0;
  if (codecData != nullptr && codecData->empty()) {
    uint8_t asc[2] = {0, 0};
    BuildAudioSpecificConfig(header, asc);
    codecData->assign(asc, asc + 2);
  }
  return skip;
}
