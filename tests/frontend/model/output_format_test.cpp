// The output-format choice without windows: the bit-rate and dimension
// columns of a profile row, the summary line, the output settings a choice
// gives (frame rates snapped, the source's rate kept for 0, texts that do not
// fit refused) and the profile a choice saves as.
#include "frontend/model/output_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/model/param_text.h"

namespace {

CodecDesc Codec(const std::string& name, const std::string& shortName, const std::string& encoder) {
  CodecDesc c;
  c.name = name;
  c.shortName = shortName;
  c.displayName = shortName;
  c.encoder = encoder;
  return c;
}

struct Params {
  CParamList list;
  explicit Params(const std::string& text) { ParseParamText(list, text); }
};

TEST(ProfileFigures, ColumnsOfARow) {
  struct Case {
    const char* audio;
    const char* video;
    const char* bitrate;
    const char* dimensions;
  };
  const Case cases[] = {
      {"", "", "N/A", "N/A"},
      {"\"BITRATE\"=F128", "\"WIDTH\"=0,\"HEIGHT\"=0,\"BITRATE\"=1200", "1328 Kbps", "N/A"},
      {"\"BITRATE\"=F64", "\"WIDTH\"=320,\"HEIGHT\"=240,\"BITRATE\"=300", "364 Kbps", "320x240"},
      // Bits per pixel need a picture size.
      {"\"BITRATE\"=F128", "\"BPP\"=12,\"WIDTH\"=0,\"HEIGHT\"=480,\"FRAMERATE\"=F25", "related to w/h", "N/A"},
      // 25 x 320 x 240 x 12 / 1000 = 23040, plus the audio.
      {"\"BITRATE\"=F96.5", "\"BPP\"=12,\"WIDTH\"=320,\"HEIGHT\"=240,\"FRAMERATE\"=F25,\"BITRATE\"=999", "23136.5 Kbps",
       "320x240"},
      // No overflow for a large raw picture: 60 x 4096 x 4096 x 48 / 1000.
      {"", "\"BPP\"=48,\"WIDTH\"=4096,\"HEIGHT\"=4096,\"FRAMERATE\"=F60", "48318382.08 Kbps", "4096x4096"},
      {"\"BITRATE\"=F0", "\"WIDTH\"=176", "N/A", "N/A"},
  };
  for (const Case& c : cases) {
    const ProfileFigures f = ComputeProfileFigures(c.audio, c.video);
    EXPECT_EQ(c.bitrate, ProfileBitrateText(f)) << c.audio << " | " << c.video;
    EXPECT_EQ(c.dimensions, f.dimensions) << c.video;
  }
  // A refreshed row shows a total of 0 as a number.
  EXPECT_EQ("0 Kbps", ProfileBitrateText(ComputeProfileFigures("\"BITRATE\"=F0", ""), true));
  EXPECT_EQ("related to w/h", ProfileBitrateText(ComputeProfileFigures("", "\"BPP\"=8"), true));
}

TEST(ProfileSummary, PartsAndLine) {
  const CodecDesc h264 = Codec("h264", "H.264", "[FFM]H264");
  const CodecDesc aac = Codec("aac", "AAC", "[FFM]AAC");
  struct VideoCase {
    const char* params;
    const char* shown;
  };
  const VideoCase videoCases[] = {
      {"\"WIDTH\"=0,\"HEIGHT\"=0,\"BITRATE\"=1200,\"FRAMERATE\"=F0", "1200kb/s,orginal fps H.264"},
      {"\"WIDTH\"=640,\"HEIGHT\"=480,\"BITRATE\"=800,\"FRAMERATE\"=F29.97", "640x480,800kb/s,29.97fps H.264"},
      {"\"WIDTH\"=640,\"HEIGHT\"=0,\"BITRATE\"=0,\"FRAMERATE\"=F25", "25fps H.264"},
      {"\"BPP\"=16,\"WIDTH\"=320,\"HEIGHT\"=240,\"BITRATE\"=500,\"FRAMERATE\"=F23.976", "320x240,23.976fps H.264"},
  };
  for (const VideoCase& c : videoCases) {
    Params p(c.params);
    EXPECT_EQ(c.shown, VideoSummaryPart(h264, p.list)) << c.params;
  }
  struct AudioCase {
    const char* params;
    const char* shown;
  };
  const AudioCase audioCases[] = {
      {"\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITRATE\"=F128", "44.1 kHZ 128 kb/s stereo AAC"},
      {"\"SAMPLERATE\"=8000,\"CHANNEL\"=1,\"BITRATE\"=F12.2", "8 kHZ 12.2 kb/s mono AAC"},
      {"\"SAMPLERATE\"=48000,\"CHANNEL\"=6,\"BITRATE\"=F0", "48 kHZ 6 channel AAC"},
      {"\"SAMPLERATE\"=22050,\"CHANNEL\"=2,\"BITRATE\"=96", "22.05 kHZ 96 kb/s stereo AAC"},
  };
  for (const AudioCase& c : audioCases) {
    Params p(c.params);
    EXPECT_EQ(c.shown, AudioSummaryPart(aac, p.list)) << c.params;
  }
  Params none("");
  EXPECT_EQ("copy video stream", VideoSummaryPart(Codec("copy", "copy", "COPY"), none.list));
  EXPECT_EQ("copy audio stream", AudioSummaryPart(Codec("copy", "COPY", "COPY"), none.list));
  EXPECT_EQ("no video", VideoSummaryPart(Codec("none", "none", ""), none.list));
  EXPECT_EQ("no audio", AudioSummaryPart(Codec("none", "none", ""), none.list));

  OutputProfile profile;
  Params video("\"WIDTH\"=0,\"HEIGHT\"=0,\"BITRATE\"=1200,\"FRAMERATE\"=F0");
  Params audio("\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITRATE\"=F128,\"VOL\"=100");
  OutputChoice both{&profile, nullptr, {&aac, &audio.list}, {&h264, &video.list}};
  EXPECT_EQ("V_10_MP4/MP4 [1200kb/s,orginal fps H.264;  44.1 kHZ 128 kb/s stereo AAC]",
            ProfileSummaryLine("V_10_MP4", "MP4", both));
  OutputChoice audioOnly{&profile, nullptr, {&aac, &audio.list}, {}};
  EXPECT_EQ("A_120_AAC/AAC [44.1 kHZ 128 kb/s stereo AAC]", ProfileSummaryLine("A_120_AAC", "AAC", audioOnly));
  OutputChoice videoOnly{&profile, nullptr, {}, {&h264, &video.list}};
  EXPECT_EQ("X/Y [1200kb/s,orginal fps H.264]", ProfileSummaryLine("X", "Y", videoOnly));
}

class FillSettings : public ::testing::Test {
 protected:
  FillSettings() {
    profile.ext = "mp4";
    profile.muxerOptions = "\"GLOBALHEADER\"=1";
    muxer.name = "MP4";
    muxer.muxer = "[FFM]MP4";
  }
  OutputChoice Choice(CParamList* audio, CParamList* video) {
    return {&profile, &muxer, {audio ? &aac : nullptr, audio}, {video ? &h264 : nullptr, video}};
  }
  OutputProfile profile;
  MuxerDesc muxer;
  CodecDesc h264 = Codec("h264", "H.264", "[FFM]H264");
  CodecDesc aac = Codec("aac", "AAC", "[FFM]AAC");
};

TEST_F(FillSettings, EveryFieldOfAChoice) {
  Params audio("\"SAMPLERATE\"=48000,\"CHANNEL\"=1,\"BITRATE\"=F96.4,\"VOL\"=150,\"FCC\"=\"mp4a\"");
  Params video("\"WIDTH\"=640,\"HEIGHT\"=480,\"BITRATE\"=800,\"FRAMERATE\"=F25,\"BPP\"=0,\"FCC\"=\"avc1\"");
  OutputSettings s;
  std::string message;
  ASSERT_TRUE(FillOutputSettings(Choice(&audio.list, &video.list), s, message)) << message;
  EXPECT_STREQ("MP4", s.name);
  EXPECT_STREQ("[FFM]MP4", s.muxer);
  EXPECT_STREQ("mp4", s.ext);
  EXPECT_STREQ("[FFM]AAC", s.audioCodec);
  EXPECT_EQ(48000, s.sampleRate);
  EXPECT_EQ(1, s.channels);
  EXPECT_EQ(96400, s.audioBitrate);
  EXPECT_EQ(150, s.volume);
  EXPECT_STREQ("[FFM]H264", s.videoCodec);
  EXPECT_EQ(640, s.width);
  EXPECT_EQ(480, s.height);
  EXPECT_EQ(800000, s.videoBitrate);
  EXPECT_EQ(1, s.frameNum);
  EXPECT_EQ(25, s.frameDen);
  EXPECT_EQ(static_cast<int32_t>(ParseFourCC("mp4a")), s.jobWordA);
  EXPECT_EQ(static_cast<int32_t>(ParseFourCC("avc1")), s.jobWordB);
  EXPECT_STREQ("\"GLOBALHEADER\"=1", s.muxerParams);
  EXPECT_EQ(ParamListText(audio.list), s.audioParams);
  EXPECT_EQ(ParamListText(video.list), s.videoParams);
}

TEST_F(FillSettings, FrameRatesSnapAndZeroKeepsTheSourceRate) {
  struct Case {
    const char* params;
    int32_t num, den;
  };
  const Case cases[] = {
      {"\"FRAMERATE\"=F0", 0, 0},  // "Original": nothing to snap
      {"\"FRAMERATE\"=F29.97", 1001, 30000},
      {"\"FRAMERATE\"=F23.976", 1001, 24000},
      {"\"FRAMERATE\"=F12.5", 800, 10000},
      {"\"FRAMERATE\"=15", 1, 15},  // an integer entry counts too
      {"\"FRAMERATE\"=F-3", 0, 0},
      {"\"FRAMERATE\"=F25,\"RESAMPLE\"=0", 0, 0},
      {"\"FRAMERATE\"=F25,\"RESAMPLE\"=1", 1, 25},
      {"\"WIDTH\"=320", 0, 0},
  };
  for (const Case& c : cases) {
    Params video(c.params);
    OutputSettings s;
    s.frameNum = s.frameDen = 7;
    std::string message;
    ASSERT_TRUE(FillOutputSettings(Choice(nullptr, &video.list), s, message)) << message;
    EXPECT_EQ(c.num, s.frameNum) << c.params;
    EXPECT_EQ(c.den, s.frameDen) << c.params;
  }
}

TEST_F(FillSettings, AKindWithoutACodecIsCleared) {
  OutputSettings s;
  std::strcpy(s.audioCodec, "[FFM]MP3");
  s.sampleRate = 22050;
  s.channels = 2;
  s.audioBitrate = 64000;
  s.volume = 80;
  std::strcpy(s.audioParams, "\"X\"=1");
  std::strcpy(s.videoCodec, "[FFM]H264");
  s.width = s.height = s.videoBitrate = s.frameNum = s.frameDen = s.rawBitsPerPixel = 9;
  std::strcpy(s.videoParams, "\"Y\"=1");
  s.jobWordA = s.jobWordB = 5;
  std::string message;
  ASSERT_TRUE(FillOutputSettings(Choice(nullptr, nullptr), s, message));
  EXPECT_STREQ("", s.audioCodec);
  EXPECT_STREQ("", s.videoCodec);
  EXPECT_STREQ("", s.audioParams);
  EXPECT_STREQ("", s.videoParams);
  for (int32_t v : {s.sampleRate, s.channels, s.audioBitrate, s.volume, s.width, s.height, s.videoBitrate, s.frameNum,
                    s.frameDen, s.rawBitsPerPixel, s.jobWordA, s.jobWordB})
    EXPECT_EQ(0, v);
}

TEST_F(FillSettings, ATextThatDoesNotFitRefusesTheWholeFill) {
  OutputSettings s;
  std::strcpy(s.name, "before");
  std::string message;
  profile.muxerOptions = "\"NOTE\"=\"" + std::string(1100, 'x') + "\"";
  EXPECT_FALSE(FillOutputSettings(Choice(nullptr, nullptr), s, message));
  EXPECT_NE(std::string::npos, message.find("muxer options")) << message;
  EXPECT_STREQ("before", s.name);

  profile.muxerOptions.clear();
  Params audio("\"NOTE\"=\"" + std::string(1100, 'y') + "\"");
  EXPECT_FALSE(FillOutputSettings(Choice(&audio.list, nullptr), s, message));
  EXPECT_NE(std::string::npos, message.find("audio parameter text")) << message;
  EXPECT_STREQ("before", s.name);

  aac.encoder = std::string(80, 'E');
  Params small("\"VOL\"=100");
  EXPECT_FALSE(FillOutputSettings(Choice(&small.list, nullptr), s, message));
  EXPECT_NE(std::string::npos, message.find("audio coder tag")) << message;

  EXPECT_FALSE(FillOutputSettings(OutputChoice{}, s, message));
}

TEST(ProfileOfChoice, TakesTheCodecsAndTextsOfThePages) {
  OutputProfile current;
  current.displayName = "MP4 H.264 + AAC";
  current.muxer = "MP4";
  current.audioCodec = "aac";
  current.videoCodec = "h264";
  current.audioOptions = "old";
  current.videoOptions = "old";
  current.desc = "d";
  current.quality = 3;
  current.number = 2;
  const CodecDesc mpeg4 = Codec("mpeg4", "MPEG-4", "[FFM]MPEG4");
  Params video("\"WIDTH\"=320");
  const OutputProfile p = ProfileOfChoice(OutputChoice{&current, nullptr, {}, {&mpeg4, &video.list}});
  EXPECT_EQ("mpeg4", p.videoCodec);
  EXPECT_EQ("\"WIDTH\"=320", p.videoOptions);
  EXPECT_EQ("", p.audioCodec);
  EXPECT_EQ("", p.audioOptions);
  EXPECT_EQ("MP4 H.264 + AAC", p.displayName);
  EXPECT_EQ("MP4", p.muxer);
  EXPECT_EQ("d", p.desc);
  EXPECT_EQ(3, p.quality);
  EXPECT_EQ(2, p.number);
}

}  // namespace
