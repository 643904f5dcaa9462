// Every shipped profile, taken as it stands, converts a 3-second clip with the
// staged engine; ffprobe finds the profile's container, codecs, picture size
// and audio format. The job is built as the front end builds it: the profile's
// settings, a raw stream handed to the writer, an "ARESAMPLE" entry for the
// audio format and a "VRESIZE" entry for a given picture size.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "tests/frontend/model/profile_lint.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"

namespace {

struct ShippedProfile {
  std::string node;
  OutputProfile profile;
  std::string Key() const { return node + "/" + std::to_string(profile.number); }
};

void PrintTo(const ShippedProfile& p, std::ostream* os) { *os << p.Key() << " (" << p.profile.displayName << ")"; }

std::vector<ShippedProfile> ShippedProfiles() {
  SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""});
  TheProfileIniCache().Free();
  std::vector<ShippedProfile> out;
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  for (const ProfileNode& n : nodes) {
    std::vector<OutputProfile> profiles;
    EnumNodeProfiles(n.folder, profiles);
    for (const OutputProfile& p : profiles) out.push_back({n.folder, p});
  }
  return out;
}

struct Expected {
  const char* format;
  const char* audio;  // "" for none
  const char* video;
};

const char kMp4[] = "mov,mp4,m4a,3gp,3g2,mj2";

// What ffprobe reports for each profile's output.
const std::map<std::string, Expected> kExpected = {
    {"V_10_MP4/1", {kMp4, "aac", "h264"}},
    {"V_10_MP4/2", {kMp4, "aac", "mpeg4"}},
    {"V_20_AVI/1", {"avi", "mp3", "mpeg4"}},
    {"V_30_3GP/1", {kMp4, "amr_nb", "h263"}},
    {"V_40_FLV/1", {"flv", "mp3", "flv1"}},
    {"V_40_FLV/2", {"flv", "mp3", "vp6f"}},
    {"V_50_WMV/1", {"asf", "wmav2", "wmv2"}},
    {"V_60_MPEG/1", {"mpeg", "mp2", "mpeg1video"}},
    {"V_60_MPEG/2", {"mpeg", "ac3", "mpeg2video"}},
    {"V_70_MOV/1", {kMp4, "aac", "h264"}},
    {"A_110_MP3/1", {"mp3", "mp3", ""}},
    {"A_110_MP3/2", {"mp3", "mp3", ""}},
    {"A_120_AAC/1", {"aac", "aac", ""}},
    {"A_120_AAC/2", {kMp4, "aac", ""}},
    {"A_130_AC3/1", {"ac3", "ac3", ""}},
    {"A_140_WAV/1", {"wav", "pcm_s16le", ""}},
    {"A_150_OGG/1", {"ogg", "vorbis", ""}},
    {"A_160_FLAC/1", {"flac", "flac", ""}},
    {"A_170_AMR/1", {"amr", "amr_nb", ""}},
    {"A_180_WMA/1", {"asf", "wmav2", ""}},
};

std::string EngineFolder() {
  static const std::string folder = MakeConvertFolder("fe_profiles_e2e", {"vresize.so", "mpeg4enc.so"});
  return folder;
}

std::string SourceClip() {
  return ffmtest::MakeClip("fe_profiles_3s.avi",
                           "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
                           "-t 3 -c:v mpeg4 -q:v 2 -c:a pcm_s16le -ac 2");
}

std::string Number(int32_t v) { return std::to_string(v); }

// The job options of the settings, as the front end's job building makes them.
std::vector<std::string> JobOptions(const OutputSettings& s, const std::string& source, const std::string& output) {
  std::vector<std::string> o = {"--source", source,           "--output", output,     "--target1",
                                "2",        "--target-value", "2048000",  "--writer", s.muxer};
  std::string writerParams = s.muxerParams;
  // A stream with a raw code goes to the writer uncoded; the writer learns its codec from its parameters.
  const auto coder = [&](bool audio, const std::string& tag, const std::string& params) {
    CParamList list;
    list.ParseText(params.c_str());
    const uint32_t raw = ParseFourCC(list.GetStringPtr(audio ? "ARAWFCC" : "VRAWFCC"));
    if (tag.empty()) return std::vector<std::string>{audio ? "--acodec" : "--vcodec", "NONE"};
    if (raw == 0)
      return std::vector<std::string>{audio ? "--acodec" : "--vcodec", tag, audio ? "--aparams" : "--vparams", params};
    list.SetString(audio ? "ACODEC" : "VCODEC", tag.c_str());
    if (audio)
      list.SetDouble("ABITRATE", list.GetDouble("BITRATE", 0));
    else
      list.SetInt("VBITRATE", list.GetInt("BITRATE", 0));
    list.Remove("BITRATE");
    char* text = list.ToText();
    writerParams += std::string(",") + text;
    list.FreeText(text);
    return std::vector<std::string>{audio ? "--acodec" : "--vcodec", "RAW", audio ? "--raw-audio" : "--raw-video",
                                    Number(static_cast<int32_t>(raw))};
  };
  for (const std::string& a : coder(true, s.audioCodec, s.audioParams)) o.push_back(a);
  for (const std::string& a : coder(false, s.videoCodec, s.videoParams)) o.push_back(a);
  o.insert(o.end(), {"--sample-rate", Number(s.sampleRate), "--channels", Number(s.channels), "--abitrate",
                     Number(s.audioBitrate), "--width", Number(s.width), "--height", Number(s.height), "--vbitrate",
                     Number(s.videoBitrate), "--writer-params", writerParams});
  if (s.jobWordA) o.insert(o.end(), {"--atag", Number(s.jobWordA)});
  if (s.jobWordB) o.insert(o.end(), {"--vtag", Number(s.jobWordB)});
  if (s.audioCodec[0]) {
    o.insert(o.end(), {"--afilter",
                       "ARESAMPLE=\"CHANNEL\"=" + Number(s.channels) + ",\"SAMPLERATE\"=" + Number(s.sampleRate) +
                           ",\"BITSPERSAMPLE\"=16",
                       "--filter-flags", "1"});
  }
  if (s.videoCodec[0] && (s.width || s.height)) {
    o.insert(o.end(), {"--vfilter",
                       "VRESIZE=\"WIDTH\"=" + Number(s.width) + ",\"HEIGHT\"=" + Number(s.height) +
                           ",\"LEFTBAND\"=0,\"RIGHTBAND\"=0,\"TOPBAND\"=0,\"BOTTOMBAND\"=0,\"LEFTPAD\"=0,"
                           "\"RIGHTPAD\"=0,\"TOPPAD\"=0,\"BOTTOMPAD\"=0,\"CRPAD\"=255,\"SCALEMODE\"=0",
                       "--filter-flags", "5"});
  }
  return o;
}

// The shipped profiles this build converts; those data/profiles/unavailable.txt rules out are
// checked by the lint instead.
std::vector<ShippedProfile> AvailableProfiles() {
  std::vector<std::string> problems;
  const std::map<std::string, std::string> unavailable =
      ReadUnavailableList(std::string(TRIVOX_SOURCE_DIR) + "/data/profiles/unavailable.txt", &problems);
  std::vector<ShippedProfile> available;
  for (const ShippedProfile& sp : ShippedProfiles())
    if (ProfileUnavailableReason(sp.node, sp.profile, unavailable).empty()) available.push_back(sp);
  return available;
}

class ShippedProfileConverts : public ::testing::TestWithParam<ShippedProfile> {};

TEST_P(ShippedProfileConverts, IntoItsContainerAndCodecs) {
  const ShippedProfile& sp = GetParam();
  const auto expected = kExpected.find(sp.Key());
  ASSERT_NE(expected, kExpected.end()) << sp.Key() << " has no row in the expectation table";
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";

  SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""});
  OutputSettings settings;
  std::string error;
  ASSERT_TRUE(SettingsFromProfile(sp.profile, settings, &error)) << error;
  const std::string source = SourceClip();
  ASSERT_FALSE(source.empty());
  const std::string folder = EngineFolder();
  const std::string output = folder + "/" + sp.node + "_" + std::to_string(sp.profile.number) + "." + sp.profile.ext;
  std::remove(output.c_str());
  ASSERT_EQ("", WriteConvertJob(folder, JobOptions(settings, source, output)));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;

  const ffmtest::ProbedFile probe = ffmtest::ProbeFile(output);
  EXPECT_EQ(expected->second.format, probe.format) << probe.raw;
  std::vector<std::string> codecs;
  if (*expected->second.audio) codecs.push_back(std::string("audio:") + expected->second.audio);
  if (*expected->second.video) codecs.push_back(std::string("video:") + expected->second.video);
  EXPECT_EQ(codecs, probe.codecs) << probe.raw;
  EXPECT_NEAR(3.0, probe.duration, 0.25) << probe.raw;

  // The profile's picture size and audio format.
  const auto probe1 = [&](const char* stream, const char* entries) {
    int status = -1;
    return RunShell(std::string("ffprobe -v error -select_streams ") + stream + " -show_entries stream=" + entries +
                        " -of default=nw=1 " + ShellQuote(output),
                    &status, false);
  };
  const auto has = [](const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
  };
  if (*expected->second.video) {
    const std::string size = probe1("v:0", "width,height");
    EXPECT_TRUE(has(size, "width=" + std::to_string(settings.width ? settings.width : 320))) << size;
    EXPECT_TRUE(has(size, "height=" + std::to_string(settings.height ? settings.height : 240))) << size;
    if (settings.jobWordB != 0) {  // the FCC the profile chose
      const uint32_t code = static_cast<uint32_t>(settings.jobWordB);
      const std::string tag(reinterpret_cast<const char*>(&code), 4);
      EXPECT_TRUE(has(probe1("v:0", "codec_tag_string"), "codec_tag_string=" + tag)) << tag;
    }
  }
  if (*expected->second.audio) {
    const std::string format = probe1("a:0", "sample_rate,channels");
    EXPECT_TRUE(has(format, "sample_rate=" + std::to_string(settings.sampleRate))) << format;
    EXPECT_TRUE(has(format, "channels=" + std::to_string(settings.channels))) << format;
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedProfileConverts, ::testing::ValuesIn(AvailableProfiles()),
                         [](const ::testing::TestParamInfo<ShippedProfile>& info) {
                           return info.param.node + "_" + std::to_string(info.param.profile.number);
                         });

TEST(ShippedProfiles, EveryExpectationRowNamesAShippedProfile) {
  std::map<std::string, bool> shipped;
  for (const ShippedProfile& sp : ShippedProfiles()) shipped[sp.Key()] = true;
  for (const auto& [key, row] : kExpected) EXPECT_TRUE(shipped.count(key)) << key;
}

}  // namespace
