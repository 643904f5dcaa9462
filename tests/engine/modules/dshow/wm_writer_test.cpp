// The Windows Media writer: the profile built from the job's keys (format
// choice by rate, channels and bit rate within 500 bit/s, codecs this system
// cannot encode, stream numbers, video-only profiles), and the module itself
// writing an ASF file from PCM and YV12 samples, with a stream left out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/dshow/dshow_asf_writer.h"
#include "engine/modules/dshow/dshow_standins.h"
#include "engine/modules/dshow/dshow_writer.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/engine/modules/dshow/bridge_test_util.h"
#include "tests/test_util/ffm_test_media.h"

using namespace dsbridge;
namespace fs = std::filesystem;

namespace {

struct AudioCase {
  const char* name;
  int32_t tag, rate, channels, bitRate, avType;
  HRESULT result;
};

CParamList* Keys(CParamList& p, const char* text) {
  p.ParseText(text);
  return &p;
}

}  // namespace

TEST(WmProfile, AudioFormatsAreChosenByRateChannelsAndBitRate) {
  const AudioCase cases[] = {
      {"WMA 9 at 128 kbit/s", 353, 44100, 2, 128000, 0, S_OK},
      {"the same for audio with video", 353, 44100, 2, 128000, 1, S_OK},
      {"WMA 9 at 48 kHz", 353, 48000, 2, 192000, 0, S_OK},
      {"mono", 353, 22050, 1, 32000, 0, S_OK},
      {"no format within 500 bit/s", 353, 44100, 2, 127400, 0, NS_E_AUDIO_CODEC_NOT_INSTALLED},
      {"a rate the formats lack", 353, 11025, 2, 128000, 0, NS_E_AUDIO_CODEC_NOT_INSTALLED},
      {"more channels than the formats have", 353, 44100, 6, 128000, 0, NS_E_AUDIO_CODEC_NOT_INSTALLED},
      {"WMA lossless has no encoder here", 355, 44100, 2, 0, 0, NS_E_AUDIO_CODEC_NOT_INSTALLED},
      {"WMA voice has no encoder here", 10, 16000, 1, 16000, 0, NS_E_AUDIO_CODEC_NOT_INSTALLED},
  };
  for (const AudioCase& c : cases) {
    SCOPED_TRACE(c.name);
    CWMProfileManager manager;
    CWMProfile profile;
    ASSERT_EQ(S_OK, manager.CreateEmptyProfile(WMT_VER_9_0, &profile));
    int32_t number = -1;
    std::string connection;
    EXPECT_EQ(c.result, CWmvWriter::AddAudioStream(manager, profile, c.rate, c.channels, 16, c.bitRate, c.avType, c.tag,
                                                   &number, &connection));
    if (c.result != S_OK) {
      EXPECT_EQ(0, profile.StreamCount());
      continue;
    }
    ASSERT_EQ(1, profile.StreamCount());
    const CWMStreamConfig& s = profile.Stream(0);
    EXPECT_EQ(1, number);
    EXPECT_EQ(1, s.StreamNumber());
    EXPECT_EQ("WMVMuxer1", connection);
    EXPECT_EQ("WMVMuxer1", s.ConnectionName());
    EXPECT_EQ("Audio Stream", s.StreamName());
    ASSERT_NE(nullptr, s.Wave());
    EXPECT_EQ(c.tag, s.Wave()->wFormatTag);
    EXPECT_EQ(static_cast<DWORD>(c.rate), s.Wave()->nSamplesPerSec);
    EXPECT_EQ(c.channels, s.Wave()->nChannels);
    EXPECT_GT(static_cast<int64_t>(s.Bitrate()), int64_t{c.bitRate} - 500);
    EXPECT_LT(static_cast<int64_t>(s.Bitrate()), int64_t{c.bitRate} + 500);
    EXPECT_EQ(s.Bitrate(), s.Wave()->nAvgBytesPerSec * 8);
  }
}

TEST(WmProfile, TheAudioWithVideoMarkPicksItsOwnFormat) {
  CWMProfileManager manager;
  std::string plain, withVideo;
  for (int32_t av : {0, 1}) {
    CWMProfile profile;
    manager.CreateEmptyProfile(WMT_VER_9_0, &profile);
    ASSERT_EQ(S_OK, CWmvWriter::AddAudioStream(manager, profile, 44100, 2, 16, 128000, av, 353, nullptr, nullptr));
  }
  // Every format of the table comes once for each mark.
  uint32_t marked = 0;
  const uint32_t formats = manager.GetCodecFormatCount(MEDIATYPE_Audio, 0);
  for (uint32_t f = 0; f < formats; ++f) {
    CWMStreamConfig config;
    std::string description;
    ASSERT_EQ(S_OK, manager.GetCodecFormatDesc(MEDIATYPE_Audio, 0, f, &config, &description));
    marked += description.find("A/V") != std::string::npos;
  }
  EXPECT_EQ(formats, marked * 2);
}

TEST(WmProfile, StreamNumbersAboveOneHundredTwentySevenAreRefused) {
  CWMProfileManager manager;
  CWMProfile profile;
  manager.CreateEmptyProfile(WMT_VER_9_0, &profile);
  for (int32_t i = 0; i < kMaxWmStreamNumber; ++i)
    ASSERT_EQ(S_OK, CWmvWriter::AddAudioStream(manager, profile, 44100, 2, 16, 128000, 0, 353, nullptr, nullptr));
  EXPECT_EQ(kMaxWmStreamNumber, profile.Stream(kMaxWmStreamNumber - 1).StreamNumber());
  EXPECT_EQ(E_FAIL, CWmvWriter::AddAudioStream(manager, profile, 44100, 2, 16, 128000, 0, 353, nullptr, nullptr));
  VIDEOINFOHEADER v{};
  v.bmiHeader.biCompression = MakeFourcc('W', 'M', 'V', '2');
  EXPECT_EQ(E_FAIL, CWmvWriter::AddVideoStream(manager, profile, v, nullptr, 100, 5, nullptr));
  EXPECT_EQ(kMaxWmStreamNumber, profile.StreamCount());
  // The profile itself refuses such numbers and numbers taken.
  CWMStreamConfig extra = profile.Stream(0);
  extra.SetStreamNumber(128);
  EXPECT_EQ(NS_E_INVALID_STREAM, profile.AddStream(extra));
  extra.SetStreamNumber(5);
  EXPECT_EQ(NS_E_INVALID_STREAM, profile.AddStream(extra));
  extra.SetStreamNumber(0);
  EXPECT_EQ(NS_E_INVALID_STREAM, profile.AddStream(extra));
}

TEST(WmProfile, ProfilesFromTheJobKeys) {
  struct Case {
    const char* name;
    const char* keys;
    int32_t video, audio;              // pending inputs
    std::vector<std::string> streams;  // "audio" / "video" in profile order
  };
  const Case cases[] = {
      {"video and audio",
       "\"VCODEC\"=\"[DS]WMV2\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0,\"SAMPLERATE\"=44100,"
       "\"CHANNEL\"=2",
       1,
       1,
       {"audio", "video"}},
      {"video only", "\"VCODEC\"=\"[DS]WMV2\",\"ACODEC\"=\"\",\"SAMPLERATE\"=44100,\"CHANNEL\"=2", 1, 1, {"video"}},
      {"WMV 7 and the A/V audio",
       "\"VCODEC\"=\"[DS]WMV1\",\"ACODEC\"=\"[DS]WMA9AV\",\"ABITRATE\"=64.0,"
       "\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"AVTYPE\"=1",
       1,
       1,
       {"audio", "video"}},
      {"WMV 9 has no encoder here",
       "\"VCODEC\"=\"[DS]WMV3\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0,"
       "\"SAMPLERATE\"=44100,\"CHANNEL\"=2",
       1,
       1,
       {"audio"}},
      {"screen video has no encoder here", "\"VCODEC\"=\"[DS]MSS2\"", 1, 0, {}},
      {"no video inputs", "\"VCODEC\"=\"[DS]WMV2\"", 0, 0, {}},
      {"an audio codec of another kind", "\"ACODEC\"=\"[FFM]MP3\",\"SAMPLERATE\"=44100,\"CHANNEL\"=2", 0, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CParamList p;
    CWMProfile profile;
    CWmvWriter::BuildProfile(nullptr, Keys(p, c.keys), 320, 240, c.video, c.audio, &profile);
    ASSERT_EQ(static_cast<int32_t>(c.streams.size()), profile.StreamCount());
    for (int32_t i = 0; i < profile.StreamCount(); ++i) {
      const CWMStreamConfig& s = profile.Stream(i);
      EXPECT_EQ(i + 1, s.StreamNumber());
      EXPECT_EQ(c.streams[static_cast<size_t>(i)], s.StreamType() == MEDIATYPE_Audio ? "audio" : "video");
    }
  }
}

TEST(WmProfile, VideoStreamsTakeTheJobsSizeRateAndBitRate) {
  CParamList p;
  CWMProfile profile;
  CWmvWriter::BuildProfile(nullptr, Keys(p, "\"VCODEC\"=\"[DS]WMV2\",\"VBITRATE\"=800,\"FRAMERATE\"=25.0"), 352, 288, 1,
                           0, &profile);
  ASSERT_EQ(1, profile.StreamCount());
  const CWMStreamConfig& s = profile.Stream(0);
  ASSERT_NE(nullptr, s.VideoInfo());
  EXPECT_EQ(MakeFourcc('W', 'M', 'V', '2'), s.VideoInfo()->bmiHeader.biCompression);
  EXPECT_EQ(352, s.VideoInfo()->bmiHeader.biWidth);
  EXPECT_EQ(288, s.VideoInfo()->bmiHeader.biHeight);
  EXPECT_EQ(352, s.VideoInfo()->rcSource.right);
  EXPECT_EQ(400000, s.VideoInfo()->AvgTimePerFrame);
  EXPECT_EQ(800000u, s.VideoInfo()->dwBitRate);
  EXPECT_EQ(800000u, s.Bitrate());
  EXPECT_EQ(100u, s.Quality());
  EXPECT_EQ(5 * kSecond, s.MaxKeyFrameSpacing());
  EXPECT_EQ("Video Stream", s.StreamName());
  EXPECT_EQ("WMVMuxer1", s.ConnectionName());

  // A frame rate of 0 ("as the source") does not divide by zero.
  CParamList q;
  CWMProfile zero;
  CWmvWriter::BuildProfile(nullptr, Keys(q, "\"VCODEC\"=\"[DS]WMV2\",\"FRAMERATE\"=0.0"), 320, 240, 1, 0, &zero);
  ASSERT_EQ(1, zero.StreamCount());
  EXPECT_EQ(333333, zero.Stream(0).VideoInfo()->AvgTimePerFrame);
}

TEST(WmProfile, SavedProfileTextNamesEveryStream) {
  CWMProfileManager manager;
  CParamList p;
  CWMProfile profile;
  CWmvWriter::BuildProfile(nullptr,
                           Keys(p,
                                "\"VCODEC\"=\"[DS]WMV2\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0,"
                                "\"SAMPLERATE\"=44100,\"CHANNEL\"=2"),
                           320, 240, 1, 1, &profile);
  EXPECT_EQ(S_OK, CWmvWriter::SaveProfileText(manager, profile));
  uint32_t length = 0;
  ASSERT_EQ(S_OK, manager.SaveProfile(profile, nullptr, &length));
  std::string text(length, '\0');
  uint32_t small = 4;
  EXPECT_EQ(E_INVALIDARG, manager.SaveProfile(profile, text.data(), &small));
  ASSERT_EQ(S_OK, manager.SaveProfile(profile, text.data(), &length));
  EXPECT_NE(std::string::npos, text.find("WMVMuxer1"));
  EXPECT_NE(std::string::npos, text.find("WMVMuxer2"));
}

// ---------------------------------------------------------------------------
// The module

namespace {

constexpr int kWidth = 160, kHeight = 120;

AM_MEDIA_TYPE PcmType(int rate, int channels, WAVEFORMATEX* w) {
  *w = WAVEFORMATEX{1,
                    static_cast<WORD>(channels),
                    static_cast<DWORD>(rate),
                    static_cast<DWORD>(rate * channels * 2),
                    static_cast<WORD>(channels * 2),
                    16,
                    0};
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.formattype = FORMAT_WaveFormatEx;
  mt.bFixedSizeSamples = 1;
  mt.lSampleSize = w->nBlockAlign;
  mt.cbFormat = sizeof(WAVEFORMATEX);
  mt.pbFormat = reinterpret_cast<BYTE*>(w);
  return mt;
}

struct WmvModule {
  IMediaWriter* w = nullptr;
  IMemAllocator* allocators[2] = {};
  std::string path;

  explicit WmvModule(const std::string& name) {
    EXPECT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
    EnsureStandInFilters();
    path = ffmtest::MediaDir() + "/" + name;
    fs::remove(path);
    CParamList params;
    params.SetPtr("MAPFUNC", reinterpret_cast<void*>(&CreateFileSinkMap));
    IMediaModule* m = CWmvWriter::Create(&params);
    if (m) w = QueryAsWriter(m);
  }
  ~WmvModule() {
    for (IMemAllocator* a : allocators)
      if (a) a->Release();
    if (w) {
      w->Close();
      w->Release();
    }
  }
  CWmvWriter* Writer() { return static_cast<CWmvWriter*>(static_cast<IMediaModule*>(w)); }
  // PCM at the rate on pin 0 and YV12 pictures on pin 1, configured with the keys.
  void Configure(int rate, const char* keys) {
    ASSERT_EQ(S_OK, w->SetOutput(path.c_str(), nullptr));
    WAVEFORMATEX wave;
    AM_MEDIA_TYPE pcm = PcmType(rate, 2, &wave);
    BYTE block[sizeof(VIDEOINFOHEADER)];
    AM_MEDIA_TYPE yv12 = VideoType(MEDIASUBTYPE_YV12, kWidth, kHeight, true, kWidth * kHeight * 3 / 2, block);
    BYTE block2[sizeof(VIDEOINFOHEADER)];
    AM_MEDIA_TYPE rgb = VideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight, true, kWidth * kHeight * 3, block2);
    EXPECT_EQ(S_OK, w->AddInputPin(&rgb, 1));  // tests accept anything
    EXPECT_NE(S_OK, w->AddInputPin(&rgb, 0));
    ASSERT_EQ(S_OK, w->AddInputPin(&pcm, 0));
    ASSERT_EQ(S_OK, w->AddInputPin(&yv12, 0));
    EXPECT_EQ(2u, w->GetInputPinCount());
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    EXPECT_EQ(S_OK, w->GetInputType(1, 0, &mt));  // the pending type
    EXPECT_EQ(MEDIASUBTYPE_YV12, mt.subtype);
    ClearMediaTypeFormat(&mt);
    ALLOCATOR_PROPERTIES props{};
    EXPECT_NE(S_OK, w->GetAllocatorRequirements(1, &props));  // no pin yet
    CParamList p;
    p.ParseText(keys);
    ASSERT_EQ(S_OK, w->SetParams(&p));
    EXPECT_EQ(2u, w->GetInputPinCount());
    for (uint32_t pin = 0; pin < 2; ++pin) {
      ASSERT_EQ(S_OK, w->GetInputAllocator(pin, &allocators[pin]));
      ALLOCATOR_PROPERTIES want{}, got{};
      ASSERT_EQ(S_OK, w->GetAllocatorRequirements(pin, &want));
      if (pin == 1) {
        EXPECT_GE(want.cbBuffer, kWidth * kHeight * 3 / 2);
      }
      want.cBuffers = std::max<LONG>(want.cBuffers, 4);
      allocators[pin]->SetProperties(&want, &got);
      allocators[pin]->Commit();
    }
    ASSERT_EQ(S_OK, w->Run());
  }
  // Two seconds of tone and pictures, then the ends.
  void Feed(int rate) {
    const int chunk = rate / 10;  // 100 ms
    for (int i = 0; i < 20; ++i) {
      IMediaSample* s = MakeSample(allocators[0], chunk * 4, 0, i * kSecond / 10, (i + 1) * kSecond / 10);
      ASSERT_NE(nullptr, s);
      BYTE* p = nullptr;
      s->GetPointer(&p);
      auto* pcm = reinterpret_cast<int16_t*>(p);
      for (int n = 0; n < chunk; ++n) pcm[2 * n] = pcm[2 * n + 1] = static_cast<int16_t>(((i * chunk + n) % 100) * 200);
      EXPECT_EQ(S_OK, w->Receive(0, s));
    }
    for (int i = 0; i < 50; ++i) {
      IMediaSample* s =
          MakeSample(allocators[1], kWidth * kHeight * 3 / 2, 16 + i * 4, i * 400000LL, (i + 1) * 400000LL);
      ASSERT_NE(nullptr, s);
      EXPECT_EQ(S_OK, w->Receive(1, s));
    }
    EXPECT_EQ(S_OK, w->Receive(0, nullptr));
    EXPECT_EQ(WRITER_SOME_INPUTS_FINISHED, w->GetState());
    EXPECT_EQ(S_OK, w->Receive(1, nullptr));
    EXPECT_EQ(WRITER_FINISHED, w->GetState());
  }
};

const char kKeys[] =
    "\"VCODEC\"=\"[DS]WMV2\",\"VBITRATE\"=400,\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0,\"SAMPLERATE\"=44100,"
    "\"CHANNEL\"=2,\"FRAMERATE\"=25.0";

}  // namespace

TEST(WmvWriter, WritesAnAsfFileWithWindowsMediaVideoAndAudio) {
  WmvModule m("wm_module.wmv");
  ASSERT_NE(nullptr, m.w);
  m.Configure(44100, kKeys);
  EXPECT_EQ(0, m.Writer()->InputOf(0));
  EXPECT_EQ(1, m.Writer()->InputOf(1));
  m.Feed(44100);
  ASSERT_EQ(S_OK, m.w->CloseOutput());
  const ffmtest::ProbedFile probed = ffmtest::ProbeFile(m.path);
  EXPECT_EQ("asf", probed.format) << probed.raw;
  EXPECT_EQ((std::vector<std::string>{"audio:wmav2", "video:wmv2"}), probed.codecs) << probed.raw;
  EXPECT_NEAR(2.0, probed.duration, 0.3) << probed.raw;
  EXPECT_EQ(50, ffmtest::ProbeFrameCount(m.path, "v"));
}

TEST(WmvWriter, AStreamTheProfileLacksIsTakenAndDropped) {
  WmvModule m("wm_left_out.wmv");
  ASSERT_NE(nullptr, m.w);
  m.Configure(11025, kKeys);  // no WMA format at 11,025 Hz
  EXPECT_EQ(-1, m.Writer()->InputOf(0));
  EXPECT_EQ(0, m.Writer()->InputOf(1));
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  EXPECT_NE(S_OK, m.w->GetInputType(0, 0, &mt));
  EXPECT_EQ(S_OK, m.w->GetInputType(1, 0, &mt));
  ClearMediaTypeFormat(&mt);
  m.Feed(11025);
  ASSERT_EQ(S_OK, m.w->CloseOutput());
  const ffmtest::ProbedFile probed = ffmtest::ProbeFile(m.path);
  EXPECT_EQ((std::vector<std::string>{"video:wmv2"}), probed.codecs) << probed.raw;
}

TEST(WmvWriter, AnUnfinishedFileIsNotLeftBehind) {
  std::string path;
  {
    WmvModule m("wm_unfinished.wmv");
    ASSERT_NE(nullptr, m.w);
    path = m.path;
    m.Configure(44100, kKeys);
    IMediaSample* s = MakeSample(m.allocators[1], kWidth * kHeight * 3 / 2, 100, 0, 400000);
    EXPECT_EQ(S_OK, m.w->Receive(1, s));
    // Closed without CloseOutput, as a job that fails.
  }
  EXPECT_FALSE(fs::exists(path));
  for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
    EXPECT_EQ(std::string::npos, e.path().filename().string().find("wm_unfinished")) << e.path();
}

TEST(WmvWriter, AnOutputThatCannotBeCreatedFailsAtSetOutput) {
  WmvModule m("no such folder/out.wmv");
  ASSERT_NE(nullptr, m.w);
  EXPECT_EQ(CDShowWriter::kCannotBuild, m.w->SetOutput(m.path.c_str(), nullptr));
  EXPECT_FALSE(fs::exists(m.path));
}
