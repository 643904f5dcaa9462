// The output settings as the defaults file stores them: the fields of their
// stream form in stream order. Tools that make or show the defaults file use it
// where the full settings model is not needed.
#pragma once

#include <cstdint>
#include <string>

#include "common/data_stream.h"

struct StoredOutputSettings final : IDataRecord {
  std::string name;        // muxer description name (63)
  std::string muxer;       // writer tag (63)
  std::string audioCodec;  // audio coder tag (63)
  int32_t channels = 0;
  int32_t audioBitrate = 0;  // bit/s
  int32_t volume = 0;        // percent
  int32_t sampleRate = 0;
  std::string videoCodec;  // video coder tag (63)
  int32_t width = 0;
  int32_t height = 0;
  int32_t videoBitrate = 0;  // bit/s
  int32_t frameNum = 0;
  int32_t frameDen = 0;
  int32_t rawBitsPerPixel = 0;
  std::string ext;  // (63)
  int32_t jobWordA = 0;
  int32_t jobWordB = 0;
  std::string muxerParams;  // parameter texts (1023 each)
  std::string audioParams;
  std::string videoParams;

  void Write(CDataStream& stream) override;
  // Texts longer than their capacity read empty.
  void Read(CDataStream& stream) override;
};
