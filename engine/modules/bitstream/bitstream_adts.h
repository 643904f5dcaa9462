// ADTS headers in front of AAC frames.
#pragma once

#include <cstdint>
#include <vector>

class BitReader;

struct AdtsHeader {
  int32_t sampleRate = 0;        // 0 for sampling indexes 13 to 15
  int32_t samplesPerFrame = 0;   // (raw data blocks + 1) * 1024
  int32_t bitRate = 0;           // frame length * sampleRate * 8 / samplesPerFrame
  uint8_t protectionAbsent = 0;  // 1 = no CRC
  uint8_t objectType = 0;        // profile + 1
  uint8_t samplingIndex = 0;
  uint8_t channelConfig = 0;
  uint8_t rawBlocks = 0;  // raw data blocks + 1
};

// Reads the header fields after the 12 sync bits, which the caller has read.
// Returns the frame length, or -1 when the header is cut short, the frame length
// is smaller than the header itself, or a header with CRC has more than one raw
// data block.
int32_t ParseAdtsHeader(BitReader& reader, AdtsHeader* header);

// Number of header bytes to skip in a packet holding exactly one ADTS frame: 7,
// 9 with CRC, or 0 when the packet is no such frame. When `codecData` is empty
// it receives the 2-byte AudioSpecificConfig built from the header.
int32_t StripAdtsHeader(const uint8_t* data, int32_t length, std::vector<uint8_t>* codecData);
