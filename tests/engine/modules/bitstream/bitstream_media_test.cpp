// Real streams made by the ffmpeg CLI, parsed frame by frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "engine/modules/bitstream/bit_io.h"
#include "engine/modules/bitstream/bitstream_adts.h"
#include "engine/modules/bitstream/bitstream_h264.h"
#include "engine/modules/bitstream/bitstream_mpeg_audio.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const fs::path kDir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "bitstream";

bool HaveFfmpeg() { return std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0; }

// Makes kDir/name with the given ffmpeg arguments unless it exists already.
fs::path Make(const std::string& name, const std::string& args) {
  fs::create_directories(kDir);
  const fs::path out = kDir / name;
  if (fs::exists(out) && fs::file_size(out) > 0) return out;
  const fs::path tmp = kDir / ("tmp-" + name);
  const std::string cmd = "ffmpeg -hide_banner -loglevel error -y " + args + " '" + tmp.string() + "' </dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  fs::rename(tmp, out);
  return out;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Demuxed {
  Bytes codecData;
  std::vector<Bytes> packets;
  std::vector<bool> keys;
};

// Packets of the first stream, as the file's demuxer cuts them.
Demuxed Demux(const fs::path& path) {
  Demuxed out;
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return out;
  if (avformat_find_stream_info(fmt, nullptr) >= 0 && fmt->nb_streams > 0) {
    const AVCodecParameters* par = fmt->streams[0]->codecpar;
    if (par->extradata_size > 0) out.codecData.assign(par->extradata, par->extradata + par->extradata_size);
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
      if (pkt->stream_index == 0) {
        out.packets.emplace_back(pkt->data, pkt->data + pkt->size);
        out.keys.push_back((pkt->flags & AV_PKT_FLAG_KEY) != 0);
      }
      av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
  }
  avformat_close_input(&fmt);
  return out;
}

// Number of frames ffprobe decodes from a file.
int CountDecodedFrames(const fs::path& path) {
  const std::string cmd =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
      "-of default=nw=1:nk=1 '" +
      path.string() + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1;
  int frames = -1;
  if (fscanf(pipe, "%d", &frames) != 1) frames = -1;
  pclose(pipe);
  return frames;
}

std::vector<uint8_t> UnitTypes(const uint8_t* data, int32_t size, const AvcParamSets& ps) {
  NalUnitList list;
  std::vector<uint8_t> types;
  if (!ParseNalUnits(data, size, ps, &list)) return {0xFF};
  for (const NalUnit& u : list.units) types.push_back(u.type);
  return types;
}

bool Contains(const std::vector<uint8_t>& types, uint8_t t) {
  return std::find(types.begin(), types.end(), t) != types.end();
}

class BitstreamMedia : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
  }
};

TEST_F(BitstreamMedia, H264InMp4RewrittenToAnnexBPlaysBack) {
  const fs::path mp4 = Make("h264.mp4",
                            "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -c:v libx264 -preset veryfast "
                            "-g 12 -bf 2 -pix_fmt yuv420p");
  ASSERT_FALSE(mp4.empty());
  Demuxed d = Demux(mp4);
  ASSERT_FALSE(d.packets.empty());
  ASSERT_EQ(d.codecData.at(0), 1);  // avcC

  AvcParamSets ps;
  ASSERT_TRUE(ParseAvcCodecData(d.codecData.data(), static_cast<int32_t>(d.codecData.size()), &ps));
  EXPECT_EQ(ps.nalLengthSize, 4);
  ASSERT_GT(ps.sps.size(), 5u);
  EXPECT_EQ(ps.sps[4] & 0x1F, 7);
  ASSERT_GT(ps.pps.size(), 5u);
  EXPECT_EQ(ps.pps[4] & 0x1F, 8);

  // in-band form: parameter sets in front of key frames, 4-byte start codes elsewhere
  const fs::path annexB = kDir / "from-mp4.h264";
  std::ofstream out(annexB, std::ios::binary | std::ios::trunc);
  for (size_t i = 0; i < d.packets.size(); ++i) {
    Bytes& data = d.packets[i];
    const std::vector<uint8_t> types = UnitTypes(data.data(), static_cast<int32_t>(data.size()), ps);
    ASSERT_NE(types, std::vector<uint8_t>{0xFF}) << "packet " << i;
    EXPECT_EQ(Contains(types, 5), d.keys[i]) << "packet " << i;
    const size_t sizeBefore = data.size();
    H264Packet packet(data.data(), static_cast<int32_t>(data.size()));
    if (d.keys[i]) {
      ASSERT_TRUE(PrependParamSets(&packet, &ps));
    } else {
      ASSERT_TRUE(ToFourByteStartCodes(&packet, ps));
      EXPECT_FALSE(packet.owned());
      EXPECT_EQ(static_cast<size_t>(packet.size), sizeBefore);
    }
    AvcParamSets annex;
    const std::vector<uint8_t> after = UnitTypes(packet.data, packet.size, annex);
    if (d.keys[i]) {
      ASSERT_GE(after.size(), 3u);
      EXPECT_EQ(after[0], 7);
      EXPECT_EQ(after[1], 8);
    }
    out.write(reinterpret_cast<const char*>(packet.data), packet.size);
  }
  out.close();
  EXPECT_EQ(CountDecodedFrames(annexB), static_cast<int>(d.packets.size()));
}

TEST_F(BitstreamMedia, RawH264ParsedForGlobalAndInBandContainers) {
  const fs::path raw = Make("raw.h264",
                            "-f lavfi -i testsrc2=size=176x144:rate=25:duration=2 -c:v libx264 -preset veryfast "
                            "-g 10 -bf 0 -f h264");
  ASSERT_FALSE(raw.empty());
  Demuxed d = Demux(raw);
  ASSERT_GT(d.packets.size(), 40u);

  AvcParamSets global;
  const fs::path rebuilt = kDir / "from-raw.h264";
  std::ofstream out(rebuilt, std::ios::binary | std::ios::trunc);
  int keyFrames = 0;
  for (size_t i = 0; i < d.packets.size(); ++i) {
    Bytes copy = d.packets[i];
    const std::vector<uint8_t> types = UnitTypes(copy.data(), static_cast<int32_t>(copy.size()), global);
    ASSERT_NE(types, std::vector<uint8_t>{0xFF}) << "packet " << i;
    H264Packet packet(copy.data(), static_cast<int32_t>(copy.size()));
    if (Contains(types, 5)) {
      ++keyFrames;
      EXPECT_TRUE(Contains(types, 7) && Contains(types, 8)) << "packet " << i;
      ASSERT_TRUE(ExtractParamSetsForGlobalHeader(&packet, &global));
      const std::vector<uint8_t> left = UnitTypes(packet.data, packet.size, global);
      EXPECT_FALSE(Contains(left, 7) || Contains(left, 8));
      EXPECT_TRUE(Contains(left, 5));
    } else {
      ASSERT_TRUE(ToFourByteStartCodes(&packet, global));
    }
    // all units of every rewritten packet carry 4-byte start codes
    NalUnitList list;
    ASSERT_TRUE(ParseNalUnits(packet.data, packet.size, global, &list));
    for (const NalUnit& u : list.units) {
      ASSERT_GE(u.offset, 4);
      EXPECT_EQ(Bytes(packet.data + u.offset - 4, packet.data + u.offset), (Bytes{0, 0, 0, 1}));
    }
    if (i == 0) {
      out.write(reinterpret_cast<const char*>(global.sps.data()), static_cast<std::streamsize>(global.sps.size()));
      out.write(reinterpret_cast<const char*>(global.pps.data()), static_cast<std::streamsize>(global.pps.size()));
    }
    out.write(reinterpret_cast<const char*>(packet.data), packet.size);
  }
  out.close();
  EXPECT_EQ(keyFrames, 5);
  EXPECT_FALSE(global.sps.empty());
  EXPECT_FALSE(global.pps.empty());
  // the kept sets in front of the stripped stream still decode every frame
  EXPECT_EQ(CountDecodedFrames(rebuilt), static_cast<int>(d.packets.size()));
}

TEST_F(BitstreamMedia, AdtsStreamWalkedFrameByFrame) {
  const fs::path aac = Make("stereo.aac",
                            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 -c:a aac -b:a 128k "
                            "-f adts");
  ASSERT_FALSE(aac.empty());
  const Bytes file = ReadFile(aac);
  const Demuxed d = Demux(aac);
  size_t pos = 0;
  int frames = 0;
  Bytes codecData;
  while (pos < file.size()) {
    BitReader reader;
    reader.SetData(file.data() + pos, static_cast<int32_t>(std::min<size_t>(file.size() - pos, 16)));
    ASSERT_EQ(reader.ReadBits(12), 0xFFFu) << "at " << pos;
    AdtsHeader h;
    const int32_t length = ParseAdtsHeader(reader, &h);
    ASSERT_GT(length, 7) << "at " << pos;
    ASSERT_LE(pos + static_cast<size_t>(length), file.size());
    EXPECT_EQ(h.sampleRate, 44100);
    EXPECT_EQ(h.samplesPerFrame, 1024);
    const Bytes frame(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos) + length);
    EXPECT_EQ(StripAdtsHeader(frame.data(), length, &codecData), 7);
    // the demuxer cuts the same frames
    ASSERT_LT(static_cast<size_t>(frames), d.packets.size());
    EXPECT_EQ(frame, d.packets[static_cast<size_t>(frames)]);
    pos += static_cast<size_t>(length);
    ++frames;
  }
  EXPECT_EQ(frames, static_cast<int>(d.packets.size()));
  EXPECT_EQ(codecData, (Bytes{0x12, 0x10}));
}

TEST_F(BitstreamMedia, Mp3FramesHoldTheRightNumberOfSamples) {
  const struct {
    int rate;
    int bitrate;
    int samples;
  } cases[] = {{44100, 128, 1152}, {22050, 64, 576}, {16000, 32, 576}, {8000, 16, 576}};
  for (const auto& c : cases) {
    const std::string name = "tone-" + std::to_string(c.rate) + ".mp3";
    const fs::path mp3 = Make(name, "-f lavfi -i sine=frequency=300:sample_rate=" + std::to_string(c.rate) +
                                        ":duration=2 -c:a libmp3lame -b:a " + std::to_string(c.bitrate) +
                                        "k -write_xing 0 -id3v2_version 0 -f mp3");
    ASSERT_FALSE(mp3.empty()) << name;
    const Bytes file = ReadFile(mp3);
    const Demuxed d = Demux(mp3);
    ASSERT_FALSE(d.packets.empty()) << name;

    // the demuxer's packets are whole frames
    for (const Bytes& p : d.packets) {
      int32_t samples = 0;
      ASSERT_EQ(ParseMpegAudioHeader(p.data(), static_cast<int32_t>(p.size()), &samples),
                static_cast<int32_t>(p.size()))
          << name;
      ASSERT_EQ(samples, c.samples) << name;
    }
    // walking the file by frame length lands on every header and on its end
    size_t pos = 0;
    int frames = 0;
    int64_t totalSamples = 0;
    while (pos < file.size()) {
      int32_t samples = 0;
      const int32_t length = ParseMpegAudioHeader(file.data() + pos, static_cast<int32_t>(file.size() - pos), &samples);
      ASSERT_GT(length, kNoMpegAudioHeader) << name << " at " << pos;
      pos += static_cast<size_t>(length);
      totalSamples += samples;
      ++frames;
    }
    EXPECT_EQ(pos, file.size()) << name;
    EXPECT_EQ(frames, static_cast<int>(d.packets.size())) << name;
    const double seconds = static_cast<double>(totalSamples) / c.rate;
    EXPECT_GE(seconds, 2.0) << name;
    EXPECT_LT(seconds, 2.3) << name;
  }
}

}  // namespace
