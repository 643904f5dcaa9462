// Stream descriptors and the probe record's bounds.
#include "frontend/model/media_info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

TEST(StreamInfo, ParsesByType) {
  StreamInfo v;
  ParseStreamInfo(
      "\"TYPE\"=0,\"STREAMID\"=480,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F29.97,"
      "\"PNAN\"=32,\"PNAD\"=27,\"CHANNEL\"=2",
      v);
  EXPECT_EQ(kStreamVideo, v.type);
  EXPECT_EQ(480, v.streamId);
  EXPECT_EQ(720, v.width);
  EXPECT_DOUBLE_EQ(29.97, v.frameRate);
  EXPECT_DOUBLE_EQ(32.0 / 27, v.pixelAspect);
  EXPECT_EQ(0, v.channels);  // audio fields only for audio
  EXPECT_EQ(1, v.word1);
  EXPECT_EQ(1, v.word2);

  StreamInfo a;
  ParseStreamInfo("\"TYPE\"=1,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITSIZE\"=16,\"WIDTH\"=9", a);
  EXPECT_EQ(kStreamAudio, a.type);
  EXPECT_EQ(44100, a.sampleRate);
  EXPECT_EQ(2, a.channels);
  EXPECT_EQ(16, a.bitsPerSample);
  EXPECT_EQ(0, a.width);

  StreamInfo none;
  ParseStreamInfo("\"PNAN\"=0,\"PNAD\"=3", none);
  EXPECT_EQ(kStreamUnknown, none.type);
  ParseStreamInfo("\"TYPE\"=0,\"PNAN\"=4,\"PNAD\"=0", none);
  EXPECT_DOUBLE_EQ(1.0, none.pixelAspect);
}

TEST(StreamInfo, CodesAsNumbersOrLetters) {
  StreamCodes c = ParseStreamCodes("\"TYPE\"=1,\"VFCC\"=\"AC3A\",\"FCC\"=8192");
  EXPECT_EQ(kStreamAudio, c.type);
  EXPECT_EQ(MakeFourcc('A', 'C', '3', 'A'), c.vfcc);
  EXPECT_EQ(8192u, c.fcc);
  c = ParseStreamCodes("\"VFCC\"=-1");
  EXPECT_EQ(kStreamUnknown, c.type);
  EXPECT_EQ(0xFFFFFFFFu, c.vfcc);
}

TEST(MediaInfoRecord, BoundsOfTheTrackTable) {
  auto r = Probe({"\"TYPE\"=0"});
  EXPECT_EQ(1, r->TrackCount());
  EXPECT_EQ("\"TYPE\"=0", r->Track(0));
  EXPECT_EQ("", r->Track(-1));
  EXPECT_EQ("", r->Track(kMaxProbeTracks));
  r->trackCount = 1000;
  EXPECT_EQ(kMaxProbeTracks, r->TrackCount());
  r->trackCount = -5;
  EXPECT_EQ(0, r->TrackCount());
  // A text without its terminator inside the field reads as empty.
  std::memset(r->tracks[3], 'x', kProbeTextField);
  EXPECT_EQ("", r->Track(3));
}

TEST(RoundToInt, HalfUpTowardZero) {
  EXPECT_EQ(11, RoundToInt(10.5));
  EXPECT_EQ(10, RoundToInt(10.49));
  EXPECT_EQ(0, RoundToInt(-0.7));  // -0.2 truncated toward zero
  EXPECT_EQ(0, RoundToInt(std::nan("")));
}

}  // namespace
