// A small AVI writer for tests: one audio stream whose wave format and
// payload the test chooses (FFmpeg cannot write the Vorbis wave tags).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AviAudio {
  uint16_t tag = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t avgBytesPerSec = 0;
  std::vector<uint8_t> extra;    // bytes after the WAVEFORMATEX
  std::vector<uint8_t> payload;  // cut into chunks of chunkBytes
  size_t chunkBytes = 4000;
};

// RIFF AVI: header list, one 'auds' stream (byte-based), movi chunks '00wb', idx1.
bool WriteAudioAvi(const std::string& path, const AviAudio& audio);

// The first page of an Ogg stream, empty when the bytes do not start with one.
std::vector<uint8_t> FirstOggPage(const std::vector<uint8_t>& ogg);
