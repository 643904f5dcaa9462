// Output settings: stream form, job building, raw streams, four-character codes.
#include "frontend/model/output_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/model/param_text.h"
#include "platform/win_types.h"

namespace {

OutputSettings Mp4Settings() {
  OutputSettings s;
  SetJobText(s.name, "MP4");
  SetJobText(s.muxer, "[FFM]MP4");
  SetJobText(s.audioCodec, "[FFM]AAC");
  s.sampleRate = 44100;
  s.channels = 2;
  s.audioBitrate = 128000;
  s.volume = 100;
  SetJobText(s.videoCodec, "[FFM]H264");
  s.width = 640;
  s.height = 480;
  s.videoBitrate = 1000000;
  s.frameNum = 1001;
  s.frameDen = 30000;
  SetJobText(s.ext, "mp4");
  s.rawBitsPerPixel = 12;
  s.jobWordA = 11;
  s.jobWordB = 12;
  SetJobText(s.muxerParams, "\"GLOBALHEADER\"=1");
  SetJobText(s.audioParams, "\"PROFILE\"=1");
  SetJobText(s.videoParams, "\"GOP\"=250");
  return s;
}

std::string Text(CDataWriter& r, int32_t capacity = 2048) {
  std::string buffer(static_cast<size_t>(capacity), '\0');
  int32_t cap = capacity;
  EXPECT_EQ(1, r.ReadString(buffer.data(), &cap));
  return std::string(buffer.c_str());
}

TEST(OutputSettings, StreamFormKeepsItsFieldOrderAndReadsBack) {
  OutputSettings s = Mp4Settings();
  std::vector<uint8_t> bytes = SerialiseRecord(s);
  CDataWriter r;
  r.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ("MP4", Text(r));
  EXPECT_EQ("[FFM]MP4", Text(r));
  EXPECT_EQ("[FFM]AAC", Text(r));
  EXPECT_EQ(2, r.ReadInt32());       // channels
  EXPECT_EQ(128000, r.ReadInt32());  // audio bitrate
  EXPECT_EQ(100, r.ReadInt32());     // volume
  EXPECT_EQ(44100, r.ReadInt32());   // sample rate
  EXPECT_EQ("[FFM]H264", Text(r));
  EXPECT_EQ(640, r.ReadInt32());
  EXPECT_EQ(480, r.ReadInt32());
  EXPECT_EQ(1000000, r.ReadInt32());
  EXPECT_EQ(1001, r.ReadInt32());
  EXPECT_EQ(30000, r.ReadInt32());
  EXPECT_EQ(12, r.ReadInt32());  // raw bits per pixel
  EXPECT_EQ("mp4", Text(r));
  EXPECT_EQ(11, r.ReadInt32());
  EXPECT_EQ(12, r.ReadInt32());
  EXPECT_EQ("\"GLOBALHEADER\"=1", Text(r));
  EXPECT_EQ("\"PROFILE\"=1", Text(r));
  EXPECT_EQ("\"GOP\"=250", Text(r));
  EXPECT_EQ(0, r.BytesLeft());

  OutputSettings back;
  std::string reason;
  ASSERT_TRUE(ParseJobRecord(back, bytes, reason)) << reason;
  EXPECT_EQ(bytes, SerialiseRecord(back));
}

TEST(OutputSettings, OverlongStoredTextIsRefusedNotCut) {
  // A name of 64 characters in the stream does not fit the 63 a field keeps.
  OutputSettings s = Mp4Settings();
  std::vector<uint8_t> bytes = SerialiseRecord(s);
  std::vector<uint8_t> longName(4 + 64, 'n');
  const int32_t length = 64;
  std::memcpy(longName.data(), &length, 4);
  bytes.erase(bytes.begin(), bytes.begin() + 4 + 3);  // the name "MP4"
  bytes.insert(bytes.begin(), longName.begin(), longName.end());
  OutputSettings back;
  std::string reason;
  EXPECT_FALSE(ParseJobRecord(back, bytes, reason));
  EXPECT_NE(std::string::npos, reason.find("profile name")) << reason;
  EXPECT_STREQ("", back.name);
  EXPECT_STREQ("[FFM]MP4", back.muxer);  // the fields after it still read
}

TEST(BuildJobOutputSettings, MapsEveryField) {
  JobOutputSettings job;
  job.Clear();
  job.passFlag = 1;
  job.passReaderId = 4242;
  AddFilter(job, "VLEVELS", "", 0, 1);
  std::string message;
  ASSERT_TRUE(BuildJobOutputSettings(job, Mp4Settings(), 3, message)) << message;
  EXPECT_EQ(3, job.sourceMode);
  EXPECT_STREQ("[FFM]AAC", job.audioCodec);
  EXPECT_EQ(1, job.audioSetting1);
  EXPECT_EQ(2, job.channels);
  EXPECT_EQ(128000, job.audioBitrate);
  EXPECT_EQ(100, job.audioSetting2);
  EXPECT_EQ(44100, job.sampleRate);
  EXPECT_STREQ("[FFM]H264", job.videoCodec);
  EXPECT_EQ(1, job.videoSetting);
  EXPECT_EQ(640, job.width);
  EXPECT_EQ(480, job.height);
  EXPECT_EQ(1000000, job.videoBitrate);
  EXPECT_EQ(1001, job.frameRateNum);
  EXPECT_EQ(30000, job.frameRateDen);
  EXPECT_STREQ("[FFM]MP4", job.writerTag);
  EXPECT_EQ(11, job.audioTag);
  EXPECT_EQ(12, job.videoTag);
  EXPECT_EQ(0, job.rawAudioCode);
  EXPECT_EQ(0, job.rawVideoCode);
  EXPECT_STREQ("\"GLOBALHEADER\"=1", job.writerParams);
  EXPECT_STREQ("\"PROFILE\"=1", job.audioParams);
  EXPECT_STREQ("\"GOP\"=250", job.videoParams);
  // Merge words and filter lists are not the output choice's.
  EXPECT_EQ(1, job.passFlag);
  EXPECT_EQ(4242, job.passReaderId);
  ASSERT_EQ(1u, job.videoFilters.size());
  EXPECT_STREQ("VLEVELS", job.videoFilters[0].key);
}

TEST(BuildJobOutputSettings, EmptyCoderTagsBecomeNone) {
  OutputSettings s = Mp4Settings();
  s.audioCodec[0] = 0;
  s.videoCodec[0] = 0;
  JobOutputSettings job;
  job.Clear();
  std::string message;
  ASSERT_TRUE(BuildJobOutputSettings(job, s, 0, message));
  EXPECT_STREQ("NONE", job.audioCodec);
  EXPECT_STREQ("NONE", job.videoCodec);
}

TEST(BuildJobOutputSettings, RawStreamsGoToTheWriter) {
  struct Case {
    const char* label;
    const char* muxerParams;
    const char* audioParams;
    const char* videoParams;
    const char* audioTag;
    const char* videoTag;
    uint32_t rawAudio, rawVideo;
    const char* writerPrefix;
  };
  const Case cases[] = {
      {"raw audio into an empty writer text", "", "\"ARAWFCC\"=\"twos\",\"BITRATE\"=1411200", "", "RAW", "[FFM]H264",
       MakeFourcc('t', 'w', 'o', 's'), 0, ","},
      {"raw video after writer parameters", "\"GLOBALHEADER\"=1", "", "\"VRAWFCC\"=\"YV12\",\"BITRATE\"=F3000",
       "[FFM]AAC", "RAW", 0, MakeFourcc('Y', 'V', '1', '2'), "\"GLOBALHEADER\"=1,"},
      {"a code that parses to 0 is not raw", "", "\"ARAWFCC\"=\"XY\"", "", "[FFM]AAC", "[FFM]H264", 0, 0, ""},
      {"a code that is not text is not raw", "", "\"ARAWFCC\"=5", "", "[FFM]AAC", "[FFM]H264", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    OutputSettings s = Mp4Settings();
    SetJobText(s.muxerParams, c.muxerParams);
    SetJobText(s.audioParams, c.audioParams);
    SetJobText(s.videoParams, c.videoParams);
    JobOutputSettings job;
    job.Clear();
    std::string message;
    ASSERT_TRUE(BuildJobOutputSettings(job, s, 0, message)) << message;
    EXPECT_STREQ(c.audioTag, job.audioCodec);
    EXPECT_STREQ(c.videoTag, job.videoCodec);
    EXPECT_EQ(c.rawAudio, static_cast<uint32_t>(job.rawAudioCode));
    EXPECT_EQ(c.rawVideo, static_cast<uint32_t>(job.rawVideoCode));
    const std::string writer = job.writerParams;
    EXPECT_EQ(0u, writer.find(c.writerPrefix)) << writer;
    // The coder's own texts are passed unchanged.
    EXPECT_STREQ(c.audioParams, job.audioParams);
    EXPECT_STREQ(c.videoParams, job.videoParams);

    CParamList list;
    list.ParseText(job.writerParams);
    if (c.rawAudio) {
      EXPECT_STREQ("[FFM]AAC", list.GetStringPtr("ACODEC"));
      EXPECT_EQ(PARAM_TYPE_DOUBLE, list.GetType("ABITRATE"));
      EXPECT_DOUBLE_EQ(1411200.0, list.GetDouble("ABITRATE", -1));
      EXPECT_EQ(PARAM_TYPE_NONE, list.GetType("BITRATE"));
    }
    if (c.rawVideo) {
      EXPECT_STREQ("[FFM]H264", list.GetStringPtr("VCODEC"));
      EXPECT_EQ(PARAM_TYPE_INT, list.GetType("VBITRATE"));
      EXPECT_EQ(3000, list.GetInt("VBITRATE", -1));
      EXPECT_EQ(PARAM_TYPE_NONE, list.GetType("BITRATE"));
    }
  }
}

TEST(BuildJobOutputSettings, TextPastItsFieldIsRefusedAndTheJobKept) {
  OutputSettings s = Mp4Settings();
  // A writer text of 1,000 characters plus the raw audio parameters passes 1,023.
  std::string writer = "\"X\"=\"" + std::string(994, 'x') + "\"";
  ASSERT_TRUE(SetJobText(s.muxerParams, writer));
  SetJobText(s.audioParams, "\"ARAWFCC\"=\"twos\",\"BITRATE\"=1411200");
  JobOutputSettings job;
  job.Clear();
  SetJobText(job.writerTag, "before");
  std::string message;
  EXPECT_FALSE(BuildJobOutputSettings(job, s, 0, message));
  EXPECT_NE(std::string::npos, message.find("writer's parameter text")) << message;
  EXPECT_STREQ("before", job.writerTag);
  EXPECT_STREQ("", job.writerParams);
  EXPECT_STREQ("", job.audioCodec);
}

TEST(ParseFourCC, Table) {
  struct Case {
    const char* text;
    uint32_t code;
  };
  const Case cases[] = {
      {"0x32595559", 0x32595559},
      {"YV12", 0x32315659},
      {"AC3", 0x20334341},
      {"XY", 0},
      {"", 0},
      {"0x", 0},
      {"0xZZ", 0},
      {"0x1FFFFFFFF", 0},
      {"0x1f", 0x1F},
      {"twos", 0x736F7774},
      {"YV12extra", 0x32315659},
      {"\xC3\xA9"
       "ab",
       0x6261A9C3},  // bytes at or above 0x80 stay in their own byte
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, ParseFourCC(c.text)) << c.text;
}

TEST(JobFilters, AddAndClear) {
  JobOutputSettings job;
  job.Clear();
  EXPECT_TRUE(AddFilter(job, "VRESIZE", "\"WIDTH\"=0", 5, 1));
  EXPECT_TRUE(AddFilter(job, "AVOL", "\"VOL\"=50", 1, 0));
  EXPECT_FALSE(AddFilter(job, std::string(64, 'K'), "", 2, 1));  // name past its field
  ASSERT_EQ(1u, job.videoFilters.size());
  ASSERT_EQ(1u, job.audioFilters.size());
  EXPECT_EQ(5, job.videoFilters[0].flags);
  EXPECT_EQ("\"VOL\"=50", job.audioFilters[0].params);
  ConvertJob whole;
  whole.settings.videoFilters = job.videoFilters;
  ClearFilters(whole);
  EXPECT_TRUE(whole.settings.videoFilters.empty());
  ClearFilters(job);
  EXPECT_TRUE(job.videoFilters.empty() && job.audioFilters.empty());
}

}  // namespace
