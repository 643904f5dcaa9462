#include "frontend/model/stored_output_settings.h"

#include <vector>

namespace {

std::string ReadText(CDataStream& stream, int32_t capacity) {
  std::vector<char> buffer(static_cast<size_t>(capacity), '\0');
  int32_t cap = capacity;
  if (stream.ReadString(buffer.data(), &cap)) return std::string(buffer.data());
  if (cap > 0) {
    // Too long for the field: read past it so the next fields stay in place.
    std::vector<char> skipped(static_cast<size_t>(cap), '\0');
    stream.ReadString(skipped.data(), &cap);
  }
  return std::string();
}

}  // namespace

void StoredOutputSettings::Write(CDataStream& s) {
  s.WriteString(name.c_str());
  s.WriteString(muxer.c_str());
  s.WriteString(audioCodec.c_str());
  s.WriteInt32(channels);
  s.WriteInt32(audioBitrate);
  s.WriteInt32(volume);
  s.WriteInt32(sampleRate);
  s.WriteString(videoCodec.c_str());
  s.WriteInt32(width);
  s.WriteInt32(height);
  s.WriteInt32(videoBitrate);
  s.WriteInt32(frameNum);
  s.WriteInt32(frameDen);
  s.WriteInt32(rawBitsPerPixel);
  s.WriteString(ext.c_str());
  s.WriteInt32(jobWordA);
  s.WriteInt32(jobWordB);
  s.WriteString(muxerParams.c_str());
  s.WriteString(audioParams.c_str());
  s.WriteString(videoParams.c_str());
}

void StoredOutputSettings::Read(CDataStream& s) {
  name = ReadText(s, 64);
  muxer = ReadText(s, 64);
  audioCodec = ReadText(s, 64);
  channels = s.ReadInt32();
  audioBitrate = s.ReadInt32();
  volume = s.ReadInt32();
  sampleRate = s.ReadInt32();
  videoCodec = ReadText(s, 64);
  width = s.ReadInt32();
  height = s.ReadInt32();
  videoBitrate = s.ReadInt32();
  frameNum = s.ReadInt32();
  frameDen = s.ReadInt32();
  rawBitsPerPixel = s.ReadInt32();
  ext = ReadText(s, 64);
  jobWordA = s.ReadInt32();
  jobWordB = s.ReadInt32();
  muxerParams = ReadText(s, 1024);
  audioParams = ReadText(s, 1024);
  videoParams = ReadText(s, 1024);
}
