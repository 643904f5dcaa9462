// FFmpeg decoder and encoder modules on real streams: decode table, drain at
// the end, gaps, seeks, corrupt packets, encode-then-decode round trips.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/ffmpeg/ffm_decoder.h"
#include "engine/modules/ffmpeg/ffm_encoder.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/ffm_test_media.h"

using namespace ffmtest;

namespace {

constexpr int64_t kUnits = 10000000;

struct OutSample {
  std::vector<uint8_t> data;
  int64_t start = INT64_MIN, stop = INT64_MIN, decode = INT64_MIN;
  bool sync = false, discontinuity = false;
};

struct Collected {
  std::vector<OutSample> samples;
  int eos = 0;
  size_t Bytes() const {
    size_t n = 0;
    for (const auto& s : samples) n += s.data.size();
    return n;
  }
};

HRESULT Collect(IMediaSample* s, void* context) {
  auto* c = static_cast<Collected*>(context);
  if (!s) {
    ++c->eos;
    return S_OK;
  }
  OutSample o;
  BYTE* p = nullptr;
  s->GetPointer(&p);
  o.data.assign(p, p + s->GetActualDataLength());
  REFERENCE_TIME a = 0, b = 0;
  const HRESULT hr = s->GetTime(&a, &b);
  if (SUCCEEDED(hr)) o.start = a;
  if (hr == S_OK) o.stop = b;
  LONGLONG d = 0, e = 0;
  if (s->GetMediaTime(&d, &e) == S_OK) o.decode = d;
  o.sync = s->IsSyncPoint() == S_OK;
  o.discontinuity = s->IsDiscontinuity() == S_OK;
  c->samples.push_back(std::move(o));
  s->Release();
  return S_OK;
}

struct AllocatorDeleter {
  void operator()(IMemAllocator* a) const {
    a->Decommit();
    a->Release();
  }
};
using Allocator = std::unique_ptr<IMemAllocator, AllocatorDeleter>;

Allocator MakeAllocator(LONG size, LONG count = 2) {
  IMemAllocator* a = nullptr;
  CreateMemoryAllocator(&a);
  ALLOCATOR_PROPERTIES want{count, size, 32, 0}, got{};
  a->SetProperties(&want, &got);
  a->Commit();
  return Allocator(a);
}

struct ModuleDeleter {
  void operator()(IMediaModule* m) const {
    m->Close();
    m->Release();
  }
};
using Module = std::unique_ptr<IMediaModule, ModuleDeleter>;

class Tables : public ::testing::Environment {
 public:
  void SetUp() override { LoadCodecTables(TRIVOX_STAGE_DIR); }
};
const auto* const kTables = ::testing::AddGlobalTestEnvironment(new Tables);

IMediaSample* InputSample(IMemAllocator* a, const Packet& p) {
  IMediaSample* s = nullptr;
  if (FAILED(a->GetBuffer(&s, nullptr, nullptr, 0))) return nullptr;
  BYTE* d = nullptr;
  s->GetPointer(&d);
  const size_t n = std::min<size_t>(p.data.size(), static_cast<size_t>(s->GetSize()));
  if (n > 0) std::memcpy(d, p.data.data(), n);  // a packet may carry only new codec data
  s->SetActualDataLength(static_cast<LONG>(n));
  REFERENCE_TIME a0 = p.start, b0 = p.stop;
  if (p.start != INT64_MIN) s->SetTime(&a0, p.stop != INT64_MIN ? &b0 : nullptr);
  s->SetSyncPoint(p.key);
  return s;
}

// A decoder set up for the stream: input type from the reader's description,
// output type by index, output pin collected.
struct DecoderRig {
  Module module;
  CFFMDecoder* decoder = nullptr;
  Allocator in = MakeAllocator(4 << 20, 1);
  Allocator out;
  Collected got;
  AM_MEDIA_TYPE outType{};

  bool Setup(Stream& st, uint32_t outIndex, int channelLimit = 0) {
    CParamList params;
    params.SetInt("MAJORTYPE", st.codecType);
    params.SetInt("MINORTYPE", st.codecId);
    module.reset(CFFMDecoder::Create(&params));
    if (!module) return false;
    decoder = static_cast<CFFMDecoder*>(module.get());
    if (channelLimit) {
      CParamList p;
      p.SetInt("CHANNEL", channelLimit);
      module->SetParams(&p);
    }
    MediaTypeHolder mt;
    CodecContext ctx = st.codec;
    if (!CodecContextToMediaType(&ctx, mt.Get())) return false;
    if (module->SetInputType(0, mt.Get(), 1) != S_OK) return false;
    if (module->SetInputType(0, mt.Get(), 0) != S_OK) return false;
    InitMediaType(&outType);
    if (module->GetOutputType(0, outIndex, &outType) != S_OK) return false;
    module->SetOutputType(0, &outType, 0);
    out = MakeAllocator(st.codecType == 0 ? 8 << 20 : CFFMDecoder::kPcmBufferBytes);
    module->SetOutputAllocator(0, out.get());
    module->SetOutputCallback(0, Collect, &got);
    return module->Run() == S_OK;
  }
  ~DecoderRig() { ClearMediaTypeFormat(&outType); }

  void Feed(const Packet& p) { module->Receive(0, InputSample(in.get(), p)); }
  void FeedAll(const Stream& st) {
    for (const Packet& p : st.packets) Feed(p);
    module->Receive(0, nullptr);
  }
  const WAVEFORMATEX* Wave() const { return reinterpret_cast<const WAVEFORMATEX*>(outType.pbFormat); }
  const VIDEOINFOHEADER* Video() const { return reinterpret_cast<const VIDEOINFOHEADER*>(outType.pbFormat); }
};

std::vector<uint8_t> CliPicture(const std::string& path, const char* pixFmt, const char* filter) {
  const std::string out = MediaDir() + "/cli_frame.raw";
  std::string cmd = "ffmpeg -nostdin -v error -y -i '" + path + "' -map 0:v:0 -frames:v 1 ";
  if (filter) cmd += std::string("-vf ") + filter + " ";
  cmd += std::string("-pix_fmt ") + pixFmt + " -f rawvideo '" + out + "'";
  if (!Shell(cmd)) return {};
  return ReadFile(out);
}

double MeanAbsDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / a.size();
}

std::string Fixture(const char* name) { return FixtureDir() + "/" + name; }

// ---------------------------------------------------------------------------
// Video decode table: every picture of the file comes out (drained at the
// end), in ascending time order, in the format offered.

struct VideoCase {
  const char* file;  // fixture name, or a clip made here when args is set
  const char* args;
  uint32_t outIndex;
  bool expectRgb;
};

class VideoDecode : public ::testing::TestWithParam<VideoCase> {};

TEST_P(VideoDecode, AllPicturesInTimeOrderAndFormat) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  const VideoCase& c = GetParam();
  const std::string path = c.args ? MakeClip(c.file, c.args) : Fixture(c.file);
  Stream st;
  ASSERT_TRUE(ReadStream(path, AVMEDIA_TYPE_VIDEO, &st)) << path;
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, c.outIndex));
  EXPECT_EQ(rig.decoder->RgbOutput(), c.expectRgb);
  const GUID expected = c.expectRgb ? MEDIASUBTYPE_RGB24 : c.outIndex == 0 ? MEDIASUBTYPE_YV12 : MEDIASUBTYPE_I420;
  EXPECT_TRUE(rig.outType.subtype == expected);
  AM_MEDIA_TYPE second{};
  EXPECT_EQ(rig.module->GetOutputType(0, 1, &second), c.expectRgb ? MODULE_E_NO_TYPE : S_OK);
  ClearMediaTypeFormat(&second);
  EXPECT_EQ(rig.module->GetOutputType(0, 2, &second), MODULE_E_NO_TYPE);
  rig.FeedAll(st);
  EXPECT_EQ(rig.got.eos, 1);
  EXPECT_EQ(static_cast<int64_t>(rig.got.samples.size()), ProbeFrameCount(path, "v"));
  const int w = st.width, h = st.height;
  const size_t size = c.expectRgb ? size_t(w) * h * 3 : size_t(w) * h * 3 / 2;
  for (size_t i = 0; i < rig.got.samples.size(); ++i) {
    const OutSample& s = rig.got.samples[i];
    ASSERT_EQ(s.data.size(), size) << i;
    EXPECT_TRUE(s.sync);
    if (i > 0) {
      EXPECT_GT(s.start, rig.got.samples[i - 1].start) << "picture " << i;
    }
  }
  // The first picture against the ffmpeg CLI's.
  ASSERT_FALSE(rig.got.samples.empty());
  const auto& first = rig.got.samples[0].data;
  if (c.expectRgb) {
    EXPECT_LT(MeanAbsDiff(first, CliPicture(path, "bgr24", "vflip")), 8.0) << "BGR24, bottom-up";
  } else {
    std::vector<uint8_t> cli = CliPicture(path, "yuv420p", nullptr);
    if (c.outIndex == 0) {  // YV12: V before U
      const size_t y = size_t(w) * h, q = y / 4;
      std::vector<uint8_t> swapped(cli.begin(), cli.begin() + y);
      swapped.insert(swapped.end(), cli.begin() + y + q, cli.end());
      swapped.insert(swapped.end(), cli.begin() + y, cli.begin() + y + q);
      cli = swapped;
    }
    EXPECT_LT(MeanAbsDiff(first, cli), 2.0);
  }
}

const char* const kTestSrc = "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 ";

INSTANTIATE_TEST_SUITE_P(
    Fixtures, VideoDecode,
    ::testing::Values(VideoCase{"h264_aac.mp4", nullptr, 0, false},  // B-frames, YV12
                      VideoCase{"h264_aac.mp4", nullptr, 1, false},  // I420
                      VideoCase{"mpeg2_ac3.mpg", nullptr, 0, false}, VideoCase{"mpeg2_mp2.ts", nullptr, 1, false},
                      VideoCase{"mpeg4_mp3.avi", nullptr, 1, false},
                      VideoCase{"raw.h264", nullptr, 1, false},  // no times at all
                      VideoCase{"odd_175x143.avi", nullptr, 0, true}, VideoCase{"wmv2_wmav2.wmv", nullptr, 1, false},
                      VideoCase{"yuv444.mkv",
                                "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -c:v libx264 "
                                "-preset veryfast -pix_fmt yuv444p",
                                1, false},
                      VideoCase{"yuv422.avi",
                                "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -c:v mjpeg "
                                "-pix_fmt yuvj422p",
                                0, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---------------------------------------------------------------------------
// Audio decode table: PCM variants and compressed audio, every sample out.

struct AudioCase {
  const char* file;
  const char* args;
  int bits;    // output sample width
  bool exact;  // sample count equals the CLI's
};

class AudioDecode : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioDecode, AllSamplesOut) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  const AudioCase& c = GetParam();
  const std::string path = c.args ? MakeClip(c.file, c.args) : Fixture(c.file);
  Stream st;
  ASSERT_TRUE(ReadStream(path, AVMEDIA_TYPE_AUDIO, &st)) << path;
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 0)) << "codec " << st.codecId;
  ASSERT_EQ(rig.Wave()->wBitsPerSample, c.bits);
  EXPECT_EQ(static_cast<int>(rig.Wave()->nChannels), st.channels);
  // Times from the start of the stream, as the reader gives them.
  const int64_t first = st.packets.empty() ? 0 : st.packets[0].start;
  for (Packet& p : st.packets) {
    if (p.start != INT64_MIN) p.start -= first;
    if (p.stop != INT64_MIN) p.stop -= first;
  }
  rig.FeedAll(st);
  EXPECT_EQ(rig.got.eos, 1);
  const size_t frameBytes = rig.Wave()->nBlockAlign;
  int64_t frames = 0;
  for (const auto& s : rig.got.samples) {
    ASSERT_EQ(s.data.size() % frameBytes, 0u);
    EXPECT_EQ(s.start, frames * kUnits / rig.Wave()->nSamplesPerSec);
    frames += static_cast<int64_t>(s.data.size() / frameBytes);
    EXPECT_EQ(s.stop, frames * kUnits / rig.Wave()->nSamplesPerSec);
  }
  const int64_t cli = CliAudioSampleCount(path);
  if (c.exact) {
    EXPECT_EQ(frames, cli);
  } else {  // encoder delay that the CLI trims
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(cli), 2048 + 1152);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, AudioDecode,
    ::testing::Values(
        AudioCase{"pcm_44100_stereo.wav", nullptr, 16, true},
        AudioCase{"pcm_u8.wav", "-f lavfi -i sine=sample_rate=22050:duration=1 -ac 2 -c:a pcm_u8", 16, true},
        AudioCase{"pcm_s24.wav", "-f lavfi -i sine=sample_rate=48000:duration=1 -c:a pcm_s24le", 16, true},
        AudioCase{"pcm_s32.wav", "-f lavfi -i sine=sample_rate=48000:duration=1 -c:a pcm_s32le", 32, true},
        AudioCase{"pcm_alaw.wav", "-f lavfi -i sine=sample_rate=8000:duration=1 -c:a pcm_alaw", 16, true},
        AudioCase{"pcm_mulaw.wav", "-f lavfi -i sine=sample_rate=8000:duration=1 -c:a pcm_mulaw", 16, true},
        AudioCase{"pcm_s16be.aiff", "-f lavfi -i sine=sample_rate=44100:duration=1 -ac 2 -c:a pcm_s16be", 16, true},
        AudioCase{"audio.flac", nullptr, 16, true}, AudioCase{"audio.mp3", nullptr, 16, false},
        AudioCase{"aac_adts.aac", nullptr, 16, false}, AudioCase{"mpeg2_ac3.mpg", nullptr, 16, false},
        AudioCase{"mpeg2_mp2.ts", nullptr, 16, false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(AudioDecode, ChannelLimitDownmixes) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  Stream st;
  ASSERT_TRUE(ReadStream(Fixture("pcm_44100_stereo.wav"), AVMEDIA_TYPE_AUDIO, &st));
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 0, 1));
  EXPECT_EQ(rig.Wave()->nChannels, 1);
  rig.FeedAll(st);
  EXPECT_EQ(rig.got.Bytes(), 88200u * 2);
}

// A 0.6-s hole in the time stamps of 22,050 Hz stereo MP2 is filled with
// silence in whole sample frames (0.25 s + 0.25 s + 0.1 s), so the channels
// after it are not swapped; a sample from the past is dropped.
TEST(AudioDecode, GapFilledInWholeSampleFrames) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  const std::string path = MakeClip(
      "left_only_22050.mkv", "-f lavfi -i \"aevalsrc=0.5*sin(2*PI*440*t)|0:c=stereo:s=22050:d=2\" -c:a mp2 -b:a 128k");
  Stream st;
  ASSERT_TRUE(ReadStream(path, AVMEDIA_TYPE_AUDIO, &st));
  ASSERT_EQ(st.codecId, AV_CODEC_ID_MP2);
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 0));
  const size_t half = st.packets.size() / 2;
  for (size_t i = 0; i < st.packets.size(); ++i) {
    Packet p = st.packets[i];
    if (i >= half) {
      p.start += 6000000;
      if (p.stop != INT64_MIN) p.stop += 6000000;
    }
    rig.Feed(p);
  }
  rig.Feed(st.packets[1]);  // far in the past now: dropped
  rig.module->Receive(0, nullptr);
  int64_t frames = 0;
  std::vector<int16_t> pcm;
  std::vector<size_t> silentChunks;
  for (const auto& s : rig.got.samples) {
    ASSERT_EQ(s.data.size() % 4, 0u);
    ASSERT_EQ(s.start, frames * kUnits / 22050);
    frames += static_cast<int64_t>(s.data.size() / 4);
    const auto* v = reinterpret_cast<const int16_t*>(s.data.data());
    pcm.insert(pcm.end(), v, v + s.data.size() / 2);
    bool silent = true;
    for (size_t i = 0; i < s.data.size() / 2 && silent; ++i) silent = v[i] == 0;
    if (silent && s.data.size() >= 4 * 2205) silentChunks.push_back(s.data.size() / 4);
  }
  // 0.25 s, 0.25 s, then the rest (0.1 s give or take the container's rounding).
  ASSERT_EQ(silentChunks.size(), 3u);
  EXPECT_EQ(silentChunks[0], 5512u);
  EXPECT_EQ(silentChunks[1], 5512u);
  EXPECT_NEAR(static_cast<double>(silentChunks[2]), 2205, 20);
  // Every right-channel sample stays quiet: no byte shift anywhere.
  int16_t rightPeak = 0;
  for (size_t i = 1; i < pcm.size(); i += 2) rightPeak = std::max<int16_t>(rightPeak, std::abs(pcm[i]));
  EXPECT_LT(rightPeak, 300);
  const int64_t decoded = static_cast<int64_t>(st.packets.size()) * 1152;
  EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(decoded + 13229), 20.0);
}

// The seek marker flushes the codec and passes on as an empty discontinuity.
TEST(VideoDecode, SeekMarkerFlushesAndPassesOn) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  Stream st;
  ASSERT_TRUE(ReadStream(Fixture("h264_aac.mp4"), AVMEDIA_TYPE_VIDEO, &st));
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 1));
  for (size_t i = 0; i < 20; ++i) rig.Feed(st.packets[i]);
  IMediaSample* marker = nullptr;
  rig.in->GetBuffer(&marker, nullptr, nullptr, 0);
  marker->SetActualDataLength(0);
  marker->SetDiscontinuity(1);
  rig.module->Receive(0, marker);
  const size_t before = rig.got.samples.size();
  ASSERT_GE(before, 1u);
  EXPECT_TRUE(rig.got.samples.back().data.empty());
  EXPECT_TRUE(rig.got.samples.back().discontinuity);
  for (size_t i = 25; i < st.packets.size(); ++i) rig.Feed(st.packets[i]);  // from the next key frame
  rig.module->Receive(0, nullptr);
  EXPECT_EQ(rig.got.samples.size() - before, st.packets.size() - 25);
  for (size_t i = before + 1; i < rig.got.samples.size(); ++i) {
    EXPECT_GT(rig.got.samples[i].start, rig.got.samples[i - 1].start);
  }
}

// Damaged files: bad packets are logged and skipped, the rest decodes.
TEST(CorruptInput, FlippedFilesDecodeWithoutCrash) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  for (const char* name : {"flipped_h264_aac.mp4", "flipped_mpeg2_mp2.ts", "flipped_mpeg4_mp3.avi"}) {
    for (int type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
      Stream st;
      if (!ReadStream(Fixture(name), type, &st)) continue;
      DecoderRig rig;
      ASSERT_TRUE(rig.Setup(st, 1 - type)) << name;
      rig.FeedAll(st);
      EXPECT_EQ(rig.got.eos, 1) << name;
      EXPECT_FALSE(rig.got.samples.empty()) << name;
    }
  }
  // Pure garbage as packets.
  Stream st;
  ASSERT_TRUE(ReadStream(Fixture("mpeg4_mp3.avi"), AVMEDIA_TYPE_VIDEO, &st));
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 1));
  for (auto& p : st.packets)
    for (size_t i = 0; i < p.data.size(); ++i) p.data[i] = static_cast<uint8_t>(i * 131 + p.data.size());
  rig.FeedAll(st);
  EXPECT_EQ(rig.got.eos, 1);
}

TEST(DecoderSlots, RefusalsAndDefaults) {
  CParamList params;
  EXPECT_EQ(CFFMDecoder::Create(&params), nullptr) << "no MAJORTYPE";
  params.SetInt("MAJORTYPE", 1);
  params.SetInt("MINORTYPE", AV_CODEC_ID_MP2);
  Module m(CFFMDecoder::Create(&params));
  ASSERT_TRUE(m);
  ALLOCATOR_PROPERTIES props{};
  EXPECT_EQ(m->GetAllocatorRequirements(0, &props), E_FAIL) << "no input type";
  AM_MEDIA_TYPE t{};
  EXPECT_EQ(m->GetInputType(0, 1, &t), MODULE_E_NO_TYPE);
  EXPECT_EQ(m->AddInputPin(nullptr, 0), E_FAIL);
  EXPECT_EQ(m->SetInputType(1, nullptr, 0), E_FAIL);
  EXPECT_EQ(m->GetInputPinCount(), 1u);
  EXPECT_EQ(m->GetOutputPinCount(), 1u);
}

// ---------------------------------------------------------------------------
// Encoders: encode two seconds, decode the packets again with the decoder
// module, count pictures and samples.

struct EncodeCase {
  const char* name;
  int codecId;
  int type;
  int width, height;   // video
  int rate, channels;  // audio
  int64_t bitRate;
};

void FillPicture(uint8_t* p, int w, int h, int n) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[y * w + x] = static_cast<uint8_t>((x + y + n * 4) & 0xFF);
  std::memset(p + w * h, 128, static_cast<size_t>(w) * h / 2);
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) p[w * h + y * (w / 2) + x] = static_cast<uint8_t>(64 + ((x * 2 + n) & 63));
}

MediaTypeHolder* RawType(const EncodeCase& c, bool yv12) {
  auto* h = new MediaTypeHolder();
  AM_MEDIA_TYPE* mt = h->Get();
  if (c.type == 0) {
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = yv12 ? MEDIASUBTYPE_YV12 : MEDIASUBTYPE_I420;
    mt->formattype = FORMAT_VideoInfo;
    AllocMediaTypeFormat(mt, sizeof(VIDEOINFOHEADER));
    VIDEOINFOHEADER vih{};
    vih.AvgTimePerFrame = 400000;
    vih.bmiHeader.biSize = 40;
    vih.bmiHeader.biWidth = c.width;
    vih.bmiHeader.biHeight = c.height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 12;
    vih.bmiHeader.biCompression = yv12 ? MakeFourcc('Y', 'V', '1', '2') : MakeFourcc('I', '4', '2', '0');
    vih.bmiHeader.biSizeImage = c.width * c.height * 3 / 2;
    std::memcpy(mt->pbFormat, &vih, sizeof vih);
    mt->bFixedSizeSamples = 1;
    mt->lSampleSize = vih.bmiHeader.biSizeImage;
  } else {
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->formattype = FORMAT_WaveFormatEx;
    AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX));
    WAVEFORMATEX w{};
    w.wFormatTag = 1;
    w.nChannels = static_cast<WORD>(c.channels);
    w.nSamplesPerSec = static_cast<DWORD>(c.rate);
    w.wBitsPerSample = 16;
    w.nBlockAlign = static_cast<WORD>(2 * c.channels);
    w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
    std::memcpy(mt->pbFormat, &w, sizeof w);
  }
  return h;
}

class EncodeRoundTrip : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeRoundTrip, FrameCountAndDuration) {
  const EncodeCase& c = GetParam();
  CParamList params;
  params.SetInt("MAJORTYPE", c.type);
  params.SetInt("MINORTYPE", c.codecId);
  Module enc(CFFMEncoder::Create(&params));
  ASSERT_TRUE(enc);
  std::unique_ptr<MediaTypeHolder> raw(RawType(c, c.type == 0));
  ASSERT_EQ(enc->SetInputType(0, raw->Get(), 0), S_OK);
  CParamList set;
  set.SetInt("ETYPE", c.type);
  if (c.bitRate) set.SetInt("BITRATE", static_cast<int32_t>(c.bitRate));
  if (c.type == 0) set.SetInt("GOP", 12);
  ASSERT_EQ(enc->SetParams(&set), S_OK);
  MediaTypeHolder coded;
  ASSERT_EQ(enc->GetOutputType(0, 0, coded.Get()), S_OK);
  EXPECT_EQ(enc->GetOutputType(0, 1, coded.Get()), MODULE_E_NO_TYPE);
  Allocator out = MakeAllocator(2 << 20, 2);
  Collected packets;
  enc->SetOutputAllocator(0, out.get());
  enc->SetOutputCallback(0, Collect, &packets);
  ASSERT_EQ(enc->Run(), S_OK);

  Allocator in = MakeAllocator(4 << 20, 1);
  int64_t inputFrames = 0;
  if (c.type == 0) {
    for (int n = 0; n < 50; ++n) {
      IMediaSample* s = nullptr;
      in->GetBuffer(&s, nullptr, nullptr, 0);
      BYTE* p = nullptr;
      s->GetPointer(&p);
      FillPicture(p, c.width, c.height, n);
      s->SetActualDataLength(c.width * c.height * 3 / 2);
      REFERENCE_TIME a = n * 400000LL, b = a + 400000;
      s->SetTime(&a, &b);
      enc->Receive(0, s);
    }
    inputFrames = 50;
  } else {
    // Two seconds in pieces of 1000 sample frames (not a multiple of any frame size).
    const int total = 2 * c.rate;
    for (int pos = 0; pos < total; pos += 1000) {
      const int n = std::min(1000, total - pos);
      IMediaSample* s = nullptr;
      in->GetBuffer(&s, nullptr, nullptr, 0);
      BYTE* p = nullptr;
      s->GetPointer(&p);
      auto* v = reinterpret_cast<int16_t*>(p);
      for (int i = 0; i < n; ++i)
        for (int ch = 0; ch < c.channels; ++ch)
          v[i * c.channels + ch] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 440.0 * (pos + i) / c.rate));
      s->SetActualDataLength(n * 2 * c.channels);
      enc->Receive(0, s);
    }
    inputFrames = total;
  }
  enc->Receive(0, nullptr);
  EXPECT_EQ(packets.eos, 1);
  ASSERT_FALSE(packets.samples.empty());
  for (size_t i = 1; i < packets.samples.size() && c.type == 1; ++i)  // NOLINT
    ASSERT_EQ(packets.samples[i].start, packets.samples[i - 1].stop) << "audio packets follow each other";
  if (c.type == 0 && c.codecId != AV_CODEC_ID_MJPEG && c.codecId != AV_CODEC_ID_GIF) {
    // "GOP" 12 with no scene-change cuts: key pictures exactly on frames 0, 12, 24, 36, 48.
    std::vector<int64_t> keys;
    for (const auto& s : packets.samples)
      if (s.sync) keys.push_back(s.start / 400000);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<int64_t>{0, 12, 24, 36, 48}));
  }

  // Decode them again.
  CodecContext dctx;
  ASSERT_TRUE(MediaTypeToDecoderContext(coded.Get(), &dctx));
  CParamList dparams;
  dparams.SetInt("MAJORTYPE", c.type);
  dparams.SetInt("MINORTYPE", c.codecId);
  Module dec(CFFMDecoder::Create(&dparams));
  ASSERT_TRUE(dec);
  ASSERT_EQ(dec->SetInputType(0, coded.Get(), 0), S_OK);
  AM_MEDIA_TYPE decoded{};
  ASSERT_EQ(dec->GetOutputType(0, 1 - c.type, &decoded), S_OK);
  dec->SetOutputType(0, &decoded, 0);
  ClearMediaTypeFormat(&decoded);
  Allocator dout = MakeAllocator(8 << 20, 2);
  Collected frames;
  dec->SetOutputAllocator(0, dout.get());
  dec->SetOutputCallback(0, Collect, &frames);
  dec->Run();
  Allocator din = MakeAllocator(4 << 20, 1);
  for (const auto& s : packets.samples) {
    Packet p;
    p.data = s.data;
    p.start = s.start;
    p.stop = s.stop;
    p.key = s.sync;
    dec->Receive(0, InputSample(din.get(), p));
  }
  dec->Receive(0, nullptr);
  EXPECT_EQ(frames.eos, 1);
  if (c.type == 0) {
    // Look-ahead encoders hold pictures until the end: all 50 come back.
    ASSERT_EQ(static_cast<int64_t>(frames.samples.size()), inputFrames);
    EXPECT_EQ(frames.samples.back().stop - frames.samples.front().start, 2 * kUnits);
    for (size_t i = 0; i < packets.samples.size(); ++i) {
      if (packets.samples[i].decode != INT64_MIN) {
        EXPECT_LE(packets.samples[i].decode, packets.samples[i].start);
      }
    }
  } else {
    const int64_t got = static_cast<int64_t>(frames.Bytes() / (2 * c.channels));
    // Priming and the padded last frame may add up to two frames and the codec's delay.
    EXPECT_GE(got, inputFrames);
    EXPECT_LE(got, inputFrames + 3 * 4608);
    const int64_t duration = packets.samples.back().stop - packets.samples.front().start;
    EXPECT_GE(duration, 2 * kUnits - 1);
    EXPECT_LE(duration, 2 * kUnits + 3 * 4608 * kUnits / c.rate);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, EncodeRoundTrip,
                         ::testing::Values(EncodeCase{"H263", AV_CODEC_ID_H263, 0, 352, 288, 0, 0, 500000},
                                           EncodeCase{"FLV", AV_CODEC_ID_FLV1, 0, 320, 240, 0, 0, 500000},
                                           EncodeCase{"H263P", AV_CODEC_ID_H263P, 0, 320, 240, 0, 0, 500000},
                                           EncodeCase{"H264", AV_CODEC_ID_H264, 0, 320, 240, 0, 0, 500000},
                                           EncodeCase{"MPEG2", AV_CODEC_ID_MPEG2VIDEO, 0, 320, 240, 0, 0, 1000000},
                                           EncodeCase{"MPEG1", AV_CODEC_ID_MPEG1VIDEO, 0, 320, 240, 0, 0, 1000000},
                                           EncodeCase{"MJPG", AV_CODEC_ID_MJPEG, 0, 320, 240, 0, 0, 0},
                                           EncodeCase{"GIF", AV_CODEC_ID_GIF, 0, 160, 120, 0, 0, 0},
                                           EncodeCase{"MP3", AV_CODEC_ID_MP3, 1, 0, 0, 44100, 2, 128000},
                                           EncodeCase{"MP2", AV_CODEC_ID_MP2, 1, 0, 0, 48000, 2, 192000},
                                           EncodeCase{"AC3", AV_CODEC_ID_AC3, 1, 0, 0, 48000, 2, 192000},
                                           EncodeCase{"FLAC", AV_CODEC_ID_FLAC, 1, 0, 0, 44100, 2, 0},
                                           EncodeCase{"ALAC", AV_CODEC_ID_ALAC, 1, 0, 0, 44100, 2, 0},
                                           EncodeCase{"AAC", AV_CODEC_ID_AAC, 1, 0, 0, 44100, 2, 128000},
                                           EncodeCase{"G726", AV_CODEC_ID_ADPCM_G726, 1, 0, 0, 8000, 1, 32000},
                                           EncodeCase{"VORBIS", AV_CODEC_ID_VORBIS, 1, 0, 0, 44100, 2, 128000},
                                           EncodeCase{"AMR_NB", AV_CODEC_ID_AMR_NB, 1, 0, 0, 8000, 1, 12200},
                                           EncodeCase{"AMR_WB", AV_CODEC_ID_AMR_WB, 1, 0, 0, 16000, 1, 23850},
                                           EncodeCase{"LPCM", AV_CODEC_ID_PCM_S16BE, 1, 0, 0, 22050, 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// PCM encoders stamp their packets from the sample frames they hold.
TEST(Encoder, PcmStampsCountSampleFrames) {
  CParamList params;
  params.SetInt("MAJORTYPE", 1);
  params.SetInt("MINORTYPE", AV_CODEC_ID_PCM_S16BE);
  Module enc(CFFMEncoder::Create(&params));
  EncodeCase c{"", 0, 1, 0, 0, 22050, 2, 0};
  std::unique_ptr<MediaTypeHolder> raw(RawType(c, false));
  ASSERT_EQ(enc->SetInputType(0, raw->Get(), 0), S_OK);
  CParamList set;
  set.SetInt("ETYPE", 1);
  ASSERT_EQ(enc->SetParams(&set), S_OK);
  Allocator out = MakeAllocator(1 << 20);
  Collected packets;
  enc->SetOutputAllocator(0, out.get());
  enc->SetOutputCallback(0, Collect, &packets);
  Allocator in = MakeAllocator(1 << 20, 1);
  for (int i = 0; i < 3; ++i) {
    IMediaSample* s = nullptr;
    in->GetBuffer(&s, nullptr, nullptr, 0);
    s->SetActualDataLength(22050);  // 5512.5 sample frames: half a frame waits
    enc->Receive(0, s);
  }
  enc->Receive(0, nullptr);
  int64_t frames = 0;
  for (const auto& p : packets.samples) {
    EXPECT_EQ(p.start, frames * kUnits / 22050);
    frames += static_cast<int64_t>(p.data.size() / 4);
    EXPECT_EQ(p.stop, frames * kUnits / 22050);
  }
  EXPECT_EQ(frames, 3 * 22050 / 4);
}

// Encoders this system has not: refused with E_FAIL and a log line.
TEST(Encoder, MissingEncodersRefuseToOpen) {
  for (int id : {AV_CODEC_ID_VP6, AV_CODEC_ID_VP6F, AV_CODEC_ID_WMV3, AV_CODEC_ID_VC1, AV_CODEC_ID_WMAPRO}) {
    CParamList params;
    const bool audio = id == AV_CODEC_ID_WMAPRO;
    params.SetInt("MAJORTYPE", audio ? 1 : 0);
    params.SetInt("MINORTYPE", id);
    Module enc(CFFMEncoder::Create(&params));
    ASSERT_TRUE(enc);
    EncodeCase c{"", id, audio ? 1 : 0, 320, 240, 44100, 2, 0};
    std::unique_ptr<MediaTypeHolder> raw(RawType(c, false));
    ASSERT_EQ(enc->SetInputType(0, raw->Get(), 0), S_OK);
    CParamList set;
    set.SetInt("ETYPE", audio ? 1 : 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(enc->SetParams(&set), E_FAIL);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("no encoder"), std::string::npos);
    MediaTypeHolder mt;
    EXPECT_EQ(enc->GetOutputType(0, 0, mt.Get()), E_FAIL);
    enc->Receive(0, nullptr);
  }
  // Without "ETYPE" nothing opens.
  CParamList params;
  params.SetInt("MAJORTYPE", 1);
  params.SetInt("MINORTYPE", AV_CODEC_ID_MP2);
  Module enc(CFFMEncoder::Create(&params));
  CParamList none;
  EXPECT_EQ(enc->SetParams(&none), E_INVALIDARG);
}

// Close frees the codec: later samples are refused (and released), a new type is not taken.
TEST(CodecModules, ClosedModulesRefuseWhatStillArrives) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
  Stream st;
  ASSERT_TRUE(ReadStream(Fixture("h264_aac.mp4"), AVMEDIA_TYPE_VIDEO, &st));
  DecoderRig rig;
  ASSERT_TRUE(rig.Setup(st, 1));
  rig.Feed(st.packets[0]);
  ASSERT_EQ(rig.module->Close(), S_OK);
  EXPECT_EQ(rig.module->Receive(0, InputSample(rig.in.get(), st.packets[1])), E_FAIL);
  MediaTypeHolder mt;
  CodecContext ctx = st.codec;
  ASSERT_TRUE(CodecContextToMediaType(&ctx, mt.Get()));
  EXPECT_EQ(rig.module->SetInputType(0, mt.Get(), 0), E_UNEXPECTED);
  EXPECT_EQ(rig.module->Receive(0, nullptr), S_OK) << "end of stream still passes";
  EXPECT_EQ(rig.got.eos, 1);

  CParamList params;
  params.SetInt("MAJORTYPE", 1);
  params.SetInt("MINORTYPE", AV_CODEC_ID_MP2);
  Module enc(CFFMEncoder::Create(&params));
  EncodeCase c{"", 0, 1, 0, 0, 44100, 2, 0};
  std::unique_ptr<MediaTypeHolder> raw(RawType(c, false));
  ASSERT_EQ(enc->SetInputType(0, raw->Get(), 0), S_OK);
  CParamList set;
  set.SetInt("ETYPE", 1);
  ASSERT_EQ(enc->SetParams(&set), S_OK);
  ASSERT_EQ(enc->Close(), S_OK);
  EXPECT_EQ(enc->SetParams(&set), E_UNEXPECTED) << "a closed encoder does not open again";
  Allocator in = MakeAllocator(4096, 1);
  IMediaSample* s = nullptr;
  ASSERT_EQ(in->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  s->SetActualDataLength(4096);
  EXPECT_EQ(enc->Receive(0, s), E_FAIL);
  EXPECT_EQ(enc->Close(), S_OK) << "twice is harmless";
}

}  // namespace
