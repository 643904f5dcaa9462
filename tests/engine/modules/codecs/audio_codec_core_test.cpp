// AAC (libfaad) and AMR (opencore-amr, vo-amrwbenc) codec cores on real streams.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
}

#include <cmath>
#include <cstring>

#include "engine/modules/codecs/audio_codec_core.h"
#include "tests/test_util/ffm_test_media.h"

using namespace ffmtest;

namespace {

std::vector<int16_t> Tone(int rate, int seconds, double freq) {
  std::vector<int16_t> s(static_cast<size_t>(rate) * seconds);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * freq * i / rate));
  return s;
}

double Rms(const int16_t* s, size_t n, size_t stride = 1) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += double(s[i * stride]) * s[i * stride];
  return n ? std::sqrt(sum / n) : 0;
}

struct AmrCase {
  const char* name;
  AudioCore core;
  int codecId;
  int rate;
  int64_t bitRate;
  const char* magic;
};

class AmrRoundTrip : public ::testing::TestWithParam<AmrCase> {};

// Our encoder makes the file, the ffmpeg CLI must read it as the same number of
// frames and samples, and our decoder gets the tone back.
TEST_P(AmrRoundTrip, EncodeThenDecodeWithCliAndOurs) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  const AmrCase& c = GetParam();
  auto enc = CreateAudioEncoderCore(c.core);
  ASSERT_TRUE(enc);
  ASSERT_EQ(enc->Open(c.rate, 1, c.bitRate), 0);
  EXPECT_EQ(enc->Open(44100, 1, c.bitRate), -1) << "a rate the codec cannot take";
  EXPECT_EQ(enc->Open(c.rate, 2, c.bitRate), -1) << "stereo";
  ASSERT_EQ(enc->Open(c.rate, 1, c.bitRate), 0);
  const auto tone = Tone(c.rate, 2, 440);
  const int frame = enc->FrameSize();
  ASSERT_EQ(frame, c.rate / 50);
  std::vector<uint8_t> file(c.magic, c.magic + std::strlen(c.magic));
  std::vector<std::vector<uint8_t>> packets;
  for (size_t pos = 0; pos + frame <= tone.size(); pos += frame) {
    std::vector<uint8_t> pkt;
    ASSERT_EQ(enc->Encode(tone.data() + pos, &pkt), 0);
    packets.push_back(pkt);
    file.insert(file.end(), pkt.begin(), pkt.end());
  }
  ASSERT_EQ(packets.size(), 100u);
  const std::string path = MediaDir() + "/" + c.name;
  ASSERT_TRUE(WriteFile(path, file));
  EXPECT_EQ(ProbeFrameCount(path, "a"), 100);
  EXPECT_EQ(CliAudioSampleCount(path), 2 * c.rate);

  // Demuxed by FFmpeg, decoded by ours.
  Stream st;
  ASSERT_TRUE(ReadStream(path, AVMEDIA_TYPE_AUDIO, &st));
  EXPECT_EQ(st.codecId, c.codecId);
  auto dec = CreateAudioDecoderCore(c.core);
  ASSERT_TRUE(dec);
  ASSERT_EQ(dec->Open(st.sampleRate, st.channels, nullptr, 0), 0);
  std::vector<int16_t> pcm;
  for (const Packet& p : st.packets)
    ASSERT_EQ(dec->Decode(p.data.data(), static_cast<int32_t>(p.data.size()), &pcm), 0);
  EXPECT_EQ(dec->SampleRate(), c.rate);
  EXPECT_EQ(dec->Channels(), 1);
  ASSERT_EQ(pcm.size(), tone.size());
  // Speech codecs keep a tone's level roughly; skip the start-up delay.
  const double in = Rms(tone.data() + c.rate / 2, c.rate);
  const double out = Rms(pcm.data() + c.rate / 2, c.rate);
  EXPECT_GT(out, in * 0.5);
  EXPECT_LT(out, in * 1.5);

  // Several frames in one packet (as 3GP samples hold them).
  std::vector<uint8_t> joined;
  for (int i = 0; i < 5; ++i) joined.insert(joined.end(), packets[i].begin(), packets[i].end());
  dec->Flush();
  pcm.clear();
  ASSERT_EQ(dec->Decode(joined.data(), static_cast<int32_t>(joined.size()), &pcm), 0);
  EXPECT_EQ(pcm.size(), static_cast<size_t>(5 * frame));

  // A cut or garbage packet is refused and adds nothing.
  pcm.clear();
  EXPECT_LT(dec->Decode(packets[10].data(), static_cast<int32_t>(packets[10].size() - 3), &pcm), 0);
  EXPECT_TRUE(pcm.empty());
  std::vector<uint8_t> junk(300);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 37 + 11);
  dec->Decode(junk.data(), static_cast<int32_t>(junk.size()), &pcm);
  EXPECT_EQ(pcm.size() % frame, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cores, AmrRoundTrip,
    ::testing::Values(AmrCase{"nb.amr", AudioCore::kAmrNb, AV_CODEC_ID_AMR_NB, 8000, 12200, "#!AMR\n"},
                      AmrCase{"nb_low.amr", AudioCore::kAmrNb, AV_CODEC_ID_AMR_NB, 8000, 4750, "#!AMR\n"},
                      AmrCase{"wb.awb", AudioCore::kAmrWb, AV_CODEC_ID_AMR_WB, 16000, 23850, "#!AMR-WB\n"},
                      AmrCase{"wb_low.awb", AudioCore::kAmrWb, AV_CODEC_ID_AMR_WB, 16000, 6600, "#!AMR-WB\n"}),
    [](const auto& info) {
      std::string n = info.param.name;
      return n.substr(0, n.find('.')) + "_" + std::to_string(info.index);
    });

TEST(AmrEncoder, BitRateChoosesTheNearestMode) {
  auto nb = CreateAudioEncoderCore(AudioCore::kAmrNb);
  ASSERT_EQ(nb->Open(8000, 1, 7000), 0);
  EXPECT_EQ(nb->BitRate(), 6700);
  ASSERT_EQ(nb->Open(8000, 1, 0), 0);
  EXPECT_EQ(nb->BitRate(), 12200);
  auto wb = CreateAudioEncoderCore(AudioCore::kAmrWb);
  ASSERT_EQ(wb->Open(16000, 1, 128000), 0);
  EXPECT_EQ(wb->BitRate(), 23850);
  EXPECT_FALSE(CreateAudioEncoderCore(AudioCore::kAac)) << "AAC is decode only";
}

struct AacCase {
  const char* name;
  const char* args;
  int channels;
  int rate;
};

class AacDecode : public ::testing::TestWithParam<AacCase> {};

// Every packet decodes into one 1024-sample frame per channel (2048 with SBR).
TEST_P(AacDecode, RealStreamFromTheCli) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  const AacCase& c = GetParam();
  const std::string path = MakeClip(c.name, c.args);
  ASSERT_FALSE(path.empty());
  Stream st;
  ASSERT_TRUE(ReadStream(path, AVMEDIA_TYPE_AUDIO, &st));
  ASSERT_EQ(st.codecId, AV_CODEC_ID_AAC);
  auto dec = CreateAudioDecoderCore(AudioCore::kAac);
  ASSERT_EQ(dec->Open(st.sampleRate, st.channels, st.extradata.data(), static_cast<int32_t>(st.extradata.size())), 0);
  std::vector<int16_t> pcm;
  for (const Packet& p : st.packets)
    ASSERT_EQ(dec->Decode(p.data.data(), static_cast<int32_t>(p.data.size()), &pcm), 0);
  EXPECT_EQ(dec->Channels(), c.channels);
  EXPECT_EQ(dec->SampleRate(), c.rate);
  const size_t perChannel = pcm.size() / c.channels;
  // faad gives nothing for the very first frame.
  EXPECT_GE(perChannel, (st.packets.size() - 1) * 1024u);
  EXPECT_LE(perChannel, st.packets.size() * 1024u);
  // ffprobe leaves out the encoder's priming frame of an MP4.
  EXPECT_NEAR(static_cast<double>(st.packets.size()), static_cast<double>(ProbeFrameCount(path, "a")), 1.0);
  if (c.channels == 6) {
    // Only the front centre carries the tone: it must come out third (WAVE order).
    for (int ch = 0; ch < 6; ++ch) {
      const double rms = Rms(pcm.data() + ch + 6 * 4096, perChannel - 8192, 6);
      if (ch == 2)
        EXPECT_GT(rms, 1000) << "channel " << ch;
      else
        EXPECT_LT(rms, 50) << "channel " << ch;
    }
  } else {
    EXPECT_GT(Rms(pcm.data() + pcm.size() / 2, pcm.size() / 4), 1000);
  }
  // Garbage is refused, never a crash.
  std::vector<uint8_t> junk(700);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 91 + 7);
  const size_t before = pcm.size();
  dec->Decode(junk.data(), static_cast<int32_t>(junk.size()), &pcm);
  EXPECT_EQ((pcm.size() - before) % c.channels, 0u);
  dec->Flush();
  const Packet& mid = st.packets[st.packets.size() / 2];
  EXPECT_EQ(dec->Decode(mid.data.data(), static_cast<int32_t>(mid.data.size()), &pcm), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cores, AacDecode,
    ::testing::Values(
        AacCase{"aac_stereo.aac",
                "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 -c:a aac -b:a 128k", 2, 44100},
        AacCase{"aac_mono_22050.m4a",
                "-f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 -ac 1 -c:a aac -b:a 64k", 1, 22050},
        AacCase{"aac_51.m4a",
                "-f lavfi -i \"aevalsrc=0|0|0.5*sin(2*PI*440*t)|0|0|0:c=FL+FR+FC+LFE+BL+BR:s=48000:d=2\" -c:a aac "
                "-b:a 256k",
                6, 48000}),
    [](const auto& info) { return std::string("case") + std::to_string(info.index); });

TEST(AacDecode, NoConfigAndRawFrameIsRefused) {
  auto dec = CreateAudioDecoderCore(AudioCore::kAac);
  ASSERT_EQ(dec->Open(44100, 2, nullptr, 0), 0);
  std::vector<uint8_t> junk(64, 0x21);
  std::vector<int16_t> pcm;
  dec->Decode(junk.data(), static_cast<int32_t>(junk.size()), &pcm);
  EXPECT_TRUE(pcm.empty());
  EXPECT_EQ(dec->Decode(nullptr, 0, &pcm), 0);
}

}  // namespace
