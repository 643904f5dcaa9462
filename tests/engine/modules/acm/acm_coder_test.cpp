// The codec module over the codec layer: chunking, times, the seek marker and
// the end-of-stream flush with a test driver; the Vorbis driver against
// FFmpeg's libvorbis decoding; refused formats and bad data.
#include "engine/modules/acm/acm_coder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/registry/module_registry.h"
#include "platform/dynamic_library.h"
#include "tests/engine/modules/acm/avi_test_writer.h"
#include "tests/engine/modules/acm/fake_acm_driver.h"
#include "tests/test_util/ffm_test_media.h"
#include "tests/test_util/file_bytes.h"

namespace {

const std::string kVorbisDriver = std::string(TRIVOX_STAGE_DIR) + "/plugin/vorbis.acm";

struct Delivered {
  std::vector<uint8_t> data;
  bool timed = false;
  REFERENCE_TIME start = 0, stop = 0;
  bool discontinuity = false;
};

struct Collector {
  std::vector<Delivered> samples;
  int ends = 0;

  static HRESULT Deliver(IMediaSample* sample, void* context) {
    auto* self = static_cast<Collector*>(context);
    if (!sample) {
      ++self->ends;
      return S_OK;
    }
    Delivered d;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    d.data.assign(p, p + sample->GetActualDataLength());
    d.timed = sample->GetTime(&d.start, &d.stop) == S_OK;
    d.discontinuity = sample->IsDiscontinuity() == S_OK;
    self->samples.push_back(std::move(d));
    sample->Release();
    return S_OK;
  }

  std::vector<uint8_t> Pcm() const {
    std::vector<uint8_t> all;
    for (const auto& s : samples) all.insert(all.end(), s.data.begin(), s.data.end());
    return all;
  }
};

std::vector<uint8_t> WaveFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg,
                                const std::vector<uint8_t>& extra = {}) {
  WAVEFORMATEX w{};
  w.wFormatTag = tag;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.nAvgBytesPerSec = avg;
  w.nBlockAlign = 1;
  w.cbSize = static_cast<WORD>(extra.size());
  std::vector<uint8_t> bytes(sizeof w);
  std::memcpy(bytes.data(), &w, sizeof w);
  bytes.insert(bytes.end(), extra.begin(), extra.end());
  return bytes;
}

// A codec module with CODECDLL = driver, its output on a committed allocator.
class Rig {
 public:
  explicit Rig(const std::string& driver, LONG buffers = 2, LONG bufferBytes = 1 << 20) {
    CParamList params;
    params.SetString("CODECDLL", driver.c_str());
    coder_ = static_cast<CAcmCoder*>(CAcmCoder::Create(&params));
    EXPECT_NE(nullptr, coder_);
    EXPECT_EQ(S_OK, CreateMemoryAllocator(&allocator_));
    ALLOCATOR_PROPERTIES want{buffers, bufferBytes, 32, 0}, got{};
    EXPECT_EQ(S_OK, allocator_->SetProperties(&want, &got));
    EXPECT_EQ(S_OK, allocator_->Commit());
    EXPECT_EQ(S_OK, coder_->SetOutputAllocator(0, allocator_));
    EXPECT_EQ(S_OK, coder_->SetOutputCallback(0, &Collector::Deliver, &out));
  }
  ~Rig() {
    coder_->Close();
    coder_->Release();
    allocator_->Decommit();
    allocator_->Release();
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  HRESULT SetType(const std::vector<uint8_t>& format, int32_t testOnly = 0, GUID major = MEDIATYPE_Audio,
                  GUID formatType = FORMAT_WaveFormatEx, ULONG cbFormat = 0) {
    format_ = format;
    AM_MEDIA_TYPE mt{};
    mt.majortype = major;
    WAVEFORMATEX w;
    std::memcpy(&w, format_.data(), sizeof w);
    mt.subtype = FourccGuid(w.wFormatTag);
    mt.formattype = formatType;
    mt.cbFormat = cbFormat ? cbFormat : static_cast<ULONG>(format_.size());
    mt.pbFormat = format_.data();
    return coder_->SetInputType(0, &mt, testOnly);
  }

  void Feed(const uint8_t* data, size_t length, REFERENCE_TIME start = -1, REFERENCE_TIME stop = -1) {
    keep_.emplace_back(data, data + length);
    auto* s = new CMediaSample(nullptr, keep_.back().data(), static_cast<LONG>(length));
    s->AddRef();
    if (start >= 0) s->SetTime(&start, &stop);
    EXPECT_EQ(S_OK, coder_->Receive(0, s));
  }
  void Feed(const std::vector<uint8_t>& bytes, REFERENCE_TIME start = -1, REFERENCE_TIME stop = -1) {
    Feed(bytes.data(), bytes.size(), start, stop);
  }
  void SeekMarker() {
    static BYTE none[1];
    auto* s = new CMediaSample(nullptr, none, 0);
    s->AddRef();
    s->SetActualDataLength(0);
    s->SetDiscontinuity(1);
    EXPECT_EQ(S_OK, coder_->Receive(0, s));
  }
  void End() { EXPECT_EQ(S_OK, coder_->Receive(0, nullptr)); }

  CAcmCoder* operator->() { return coder_; }
  Collector out;

 private:
  CAcmCoder* coder_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  std::vector<uint8_t> format_;
  std::vector<std::vector<uint8_t>> keep_;
};

// The test driver, loaded once more by the test to reach its control block.
class FakeDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(driver_.Open(FAKE_ACM_DRIVER, &error)) << error;
    auto fn = reinterpret_cast<FakeAcmControlFn>(driver_.Symbol(kFakeAcmControlName));
    ASSERT_NE(nullptr, fn);
    control_ = fn();
    *control_ = FakeAcmControl{};
    control_->sizeAnswer = 1000;
  }
  static std::vector<uint8_t> FakeFormat() { return WaveFormat(kFakeAcmTag, 1, 8000, 1000); }

  DynamicLibrary driver_;
  FakeAcmControl* control_ = nullptr;
};

TEST_F(FakeDriver, ChunkIsTheDriversEstimateAtMost4096) {
  struct Case {
    uint32_t answer, chunk;
  };
  for (const Case c : {Case{1000, 1000}, Case{100000, 4096}, Case{0, 4096}, Case{1, 1}}) {
    control_->sizeAnswer = c.answer;
    Rig rig(FAKE_ACM_DRIVER);
    testing::internal::CaptureStdout();
    ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("ok\n"));
    EXPECT_EQ(c.chunk, rig->ChunkSize()) << "driver answered " << c.answer;
  }
}

TEST_F(FakeDriver, EachChunkCarriesTheTimesOfTheSampleThatCompletedIt) {
  Rig rig(FAKE_ACM_DRIVER);
  ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
  std::vector<uint8_t> bytes(3500);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i);
  rig.Feed(bytes, 1000, 2000);
  ASSERT_EQ(3u, rig.out.samples.size());
  for (const Delivered& d : rig.out.samples) {
    EXPECT_EQ(2000u, d.data.size());
    EXPECT_TRUE(d.timed);
    EXPECT_EQ(1000, d.start);
    EXPECT_EQ(2000, d.stop);
  }
  EXPECT_EQ(500u, rig->Held());
  rig.Feed(std::vector<uint8_t>(600, 9), 3000, 4000);
  ASSERT_EQ(4u, rig.out.samples.size());
  EXPECT_EQ(3000, rig.out.samples[3].start);
  EXPECT_EQ(100u, rig->Held());
  EXPECT_EQ(1, control_->starts) << "only the first conversion starts the stream";
  const std::vector<uint8_t> pcm = rig.out.Pcm();
  for (size_t i = 0; i < 3000; ++i) ASSERT_EQ(bytes[i], pcm[2 * i]) << i;
}

TEST_F(FakeDriver, SeekMarkerPassesOnAndDropsHeldBytes) {
  Rig rig(FAKE_ACM_DRIVER);
  ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
  rig.Feed(std::vector<uint8_t>(500, 1), 0, 10);
  rig.SeekMarker();
  ASSERT_EQ(1u, rig.out.samples.size());
  EXPECT_TRUE(rig.out.samples[0].data.empty());
  EXPECT_TRUE(rig.out.samples[0].discontinuity);
  EXPECT_EQ(0u, rig->Held());
  rig.Feed(std::vector<uint8_t>(1000, 0x55), 50, 60);
  ASSERT_EQ(2u, rig.out.samples.size());
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(0x55, rig.out.samples[1].data[2 * i]);
}

TEST_F(FakeDriver, EndOfStreamConvertsTheHeldBytesOnceMore) {
  {
    Rig rig(FAKE_ACM_DRIVER);
    ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
    rig.Feed(std::vector<uint8_t>(1500, 7), 0, 100);
    ASSERT_EQ(1u, rig.out.samples.size());
    rig.End();
    ASSERT_EQ(2u, rig.out.samples.size());
    EXPECT_EQ(1000u, rig.out.samples[1].data.size());
    EXPECT_EQ(0, rig.out.samples[1].start);
    EXPECT_EQ(1, rig.out.ends);
    EXPECT_GE(control_->ends, 1);
    EXPECT_EQ(3000u, rig.out.Pcm().size());
  }
  *control_ = FakeAcmControl{};
  control_->sizeAnswer = 1000;
  Rig idle(FAKE_ACM_DRIVER);
  ASSERT_EQ(S_OK, idle.SetType(FakeFormat()));
  idle.End();
  EXPECT_EQ(0, control_->converts) << "nothing came in: nothing to convert";
  EXPECT_EQ(1, idle.out.ends);
}

// A driver that fails, or takes nothing and gives nothing: the chunk is
// dropped, the output buffer given back (one buffer only, so a lost one would
// block for ever), and the module goes on once the driver recovers.
TEST_F(FakeDriver, FailingOrStalledConversionsDropTheChunk) {
  for (const bool stall : {false, true}) {
    SCOPED_TRACE(stall ? "stalled" : "failing");
    *control_ = FakeAcmControl{};
    control_->sizeAnswer = 1000;
    Rig rig(FAKE_ACM_DRIVER, 1);
    ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
    control_->failConvert = !stall;
    control_->stall = stall;
    testing::internal::CaptureStdout();
    auto run = std::async(std::launch::async, [&] {
      rig.Feed(std::vector<uint8_t>(5000, 3), 0, 10);
      rig.Feed(std::vector<uint8_t>(700, 3), 10, 20);
    });
    ASSERT_EQ(std::future_status::ready, run.wait_for(std::chrono::seconds(20)));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, printed.find("conversion failed")) << printed;
    EXPECT_TRUE(rig.out.samples.empty());
    EXPECT_EQ(700u, rig->Held());

    control_->failConvert = control_->stall = 0;
    rig.Feed(std::vector<uint8_t>(300, 4), 20, 30);
    ASSERT_EQ(1u, rig.out.samples.size());
    EXPECT_EQ(2000u, rig.out.samples[0].data.size());
    auto end = std::async(std::launch::async, [&] { rig.End(); });
    ASSERT_EQ(std::future_status::ready, end.wait_for(std::chrono::seconds(20)));
    EXPECT_EQ(1, rig.out.ends);
  }
}

TEST_F(FakeDriver, MissingDriverLoadsNothingAndRefusesEveryType) {
  const std::vector<std::string> paths = {"/nonexistent/vorbis.acm",
                                          std::string(TRIVOX_STAGE_DIR) + "/plugin/vresize.so"};
  for (const std::string& path : paths) {
    testing::internal::CaptureStdout();
    Rig rig(path);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, printed.find("cannot load " + path + "\n")) << printed;
    EXPECT_FALSE(rig->DriverOpen());
    EXPECT_EQ(E_FAIL, rig.SetType(FakeFormat()));
    testing::internal::CaptureStdout();
    rig.Feed(std::vector<uint8_t>(10, 1));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("not init\n"));
    EXPECT_TRUE(rig.out.samples.empty());
  }
}

TEST_F(FakeDriver, RefusedTypesAndTestOnlyOpens) {
  Rig rig(FAKE_ACM_DRIVER);
  EXPECT_EQ(E_FAIL, rig.SetType(FakeFormat(), 0, MEDIATYPE_Video));
  EXPECT_EQ(E_FAIL, rig.SetType(FakeFormat(), 0, MEDIATYPE_Audio, FORMAT_VideoInfo));
  EXPECT_EQ(E_FAIL, rig.SetType(WaveFormat(kFakeAcmTag, 1, 8000, 1000, {1, 2, 3}), 0, MEDIATYPE_Audio,
                                FORMAT_WaveFormatEx, sizeof(WAVEFORMATEX) + 2))
      << "extra bytes past the format block";
  EXPECT_EQ(E_FAIL, rig.SetType(WaveFormat(0x1234, 1, 8000, 1000)));
  AM_MEDIA_TYPE none{};
  EXPECT_EQ(MODULE_E_NO_TYPE, rig->GetOutputType(0, 0, &none)) << "no input type yet";

  EXPECT_EQ(S_OK, rig.SetType(FakeFormat(), 1));  // opens a stream and closes it again
  EXPECT_FALSE(rig->StreamOpen());
  EXPECT_EQ(1, control_->opens);
  EXPECT_EQ(1, control_->closes);
  ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));
  EXPECT_TRUE(rig->StreamOpen());
  ASSERT_EQ(S_OK, rig.SetType(FakeFormat()));  // a second type replaces the stream
  EXPECT_EQ(3, control_->opens);
  EXPECT_EQ(2, control_->closes);
  control_->refuseOpen = 1;
  EXPECT_EQ(E_FAIL, rig.SetType(FakeFormat()));
}

// ---------------------------------------------------------------------------
// The Vorbis driver

struct VorbisClip {
  std::string ogg;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> reference;  // FFmpeg's libvorbis decoding, s16le
  int channels, rate;
  double seconds;
};

VorbisClip MakeVorbisClip(const std::string& name, int channels, int rate, double seconds) {
  VorbisClip clip{};
  clip.channels = channels;
  clip.rate = rate;
  clip.seconds = seconds;
  const std::string tone =
      "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds);
  const std::string args = channels == 1
                               ? tone + " -c:a libvorbis -q:a 3"
                               : tone + " -f lavfi -i sine=frequency=660:sample_rate=" + std::to_string(rate) +
                                     ":duration=" + std::to_string(seconds) +
                                     " -filter_complex amerge=inputs=2 -c:a libvorbis -q:a 4";
  clip.ogg = ffmtest::MakeClip(name, args);
  EXPECT_FALSE(clip.ogg.empty());
  const std::string raw = clip.ogg + ".s16";
  EXPECT_TRUE(
      ffmtest::Shell("ffmpeg -nostdin -v error -y -c:a libvorbis -i '" + clip.ogg + "' -f s16le '" + raw + "'"));
  clip.bytes = ReadFileBytes(clip.ogg);
  clip.reference = ReadFileBytes(raw);
  return clip;
}

std::vector<uint8_t> VorbisFormat(const VorbisClip& clip, uint16_t tag = 0x674F, bool withExtra = true,
                                  int channels = 0, int rate = 0) {
  return WaveFormat(tag, uint16_t(channels ? channels : clip.channels), uint32_t(rate ? rate : clip.rate),
                    uint32_t(clip.bytes.size() / clip.seconds),
                    withExtra ? FirstOggPage(clip.bytes) : std::vector<uint8_t>{});
}

int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (size_t i = 0; i + 1 < std::min(a.size(), b.size()); i += 2) {
    const int x = int16_t(a[i] | a[i + 1] << 8), y = int16_t(b[i] | b[i + 1] << 8);
    worst = std::max(worst, std::abs(x - y));
  }
  return worst;
}

// Feeds the bytes in pieces of random sizes, each stamped, then ends the stream.
void FeedInPieces(Rig& rig, const std::vector<uint8_t>& bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> piece(1, 6000);
  REFERENCE_TIME t = 0;
  for (size_t at = 0; at < bytes.size();) {
    const size_t n = std::min(piece(rng), bytes.size() - at);
    rig.Feed(bytes.data() + at, n, t, t + 1);
    at += n;
    t += 10;
  }
  rig.End();
}

TEST(VorbisDriver, DecodesLikeFfmpegsLibvorbis) {
  const VorbisClip clips[] = {MakeVorbisClip("acm_stereo.ogg", 2, 44100, 2.5),
                              MakeVorbisClip("acm_mono.ogg", 1, 22050, 1.7)};
  for (const VorbisClip& clip : clips) {
    SCOPED_TRACE(clip.ogg);
    ASSERT_FALSE(clip.reference.empty());
    Rig rig(kVorbisDriver);
    ASSERT_EQ(S_OK, rig.SetType(VorbisFormat(clip)));
    const WAVEFORMATEX& pcm = rig->OutputFormat();
    EXPECT_EQ(WAVE_FORMAT_PCM, pcm.wFormatTag);
    EXPECT_EQ(clip.channels, pcm.nChannels);
    EXPECT_EQ(clip.channels * 2, pcm.nBlockAlign);
    EXPECT_EQ(16, pcm.wBitsPerSample);
    EXPECT_LE(rig->ChunkSize(), 4096u);
    FeedInPieces(rig, clip.bytes, 5);
    const std::vector<uint8_t> out = rig.out.Pcm();
    EXPECT_EQ(clip.reference.size(), out.size());
    EXPECT_LE(MaxDifference(clip.reference, out), 1);
    EXPECT_EQ(1, rig.out.ends);
  }
}

TEST(VorbisDriver, RefusesFormatsThatDoNotMatchTheStream) {
  const VorbisClip mono = MakeVorbisClip("acm_mono.ogg", 1, 22050, 1.7);
  Rig rig(kVorbisDriver);
  EXPECT_EQ(E_FAIL, rig.SetType(VorbisFormat(mono, 0x674F, true, 2))) << "channels differ from the header";
  EXPECT_EQ(E_FAIL, rig.SetType(VorbisFormat(mono, 0x674F, true, 1, 44100))) << "rate differs";
  std::vector<uint8_t> garbage = WaveFormat(0x674F, 1, 22050, 8000, std::vector<uint8_t>(40, 0xAB));
  EXPECT_EQ(E_FAIL, rig.SetType(garbage)) << "extra bytes that are no Ogg page";
  EXPECT_EQ(E_FAIL, rig.SetType(VorbisFormat(mono, 0x6751))) << "mode 3";
  EXPECT_EQ(E_FAIL, rig.SetType(VorbisFormat(mono, 0x6771))) << "mode 3+";
  for (uint16_t tag : {0x674F, 0x6750, 0x676F, 0x6770}) EXPECT_EQ(S_OK, rig.SetType(VorbisFormat(mono, tag))) << tag;
  EXPECT_EQ(S_OK, rig.SetType(VorbisFormat(mono, 0x674F, false))) << "no extra bytes: checked in the stream";
}

TEST(VorbisDriver, BadDataIsDroppedWithoutHanging) {
  const VorbisClip clip = MakeVorbisClip("acm_stereo.ogg", 2, 44100, 2.5);
  struct Case {
    const char* name;
    std::vector<uint8_t> format;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> garbage(20000);
  std::mt19937 rng(1);
  for (auto& b : garbage) b = uint8_t(rng());
  std::vector<uint8_t> truncated(clip.bytes.begin(), clip.bytes.begin() + long(clip.bytes.size() * 6 / 10));
  const Case cases[] = {
      {"garbage", VorbisFormat(clip), garbage},
      {"truncated", VorbisFormat(clip), truncated},
      {"stream disagrees with the format", VorbisFormat(clip, 0x674F, false, 2, 48000), clip.bytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(kVorbisDriver, 1);
    ASSERT_EQ(S_OK, rig.SetType(c.format));
    testing::internal::CaptureStdout();
    auto run = std::async(std::launch::async, [&] { FeedInPieces(rig, c.data, 9); });
    ASSERT_EQ(std::future_status::ready, run.wait_for(std::chrono::seconds(30)));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, printed.find("conversion failed")) << printed;
    EXPECT_EQ(1, rig.out.ends);
    const std::vector<uint8_t> out = rig.out.Pcm();
    if (std::string(c.name) == "truncated") {
      EXPECT_GT(out.size(), clip.reference.size() / 3);
      EXPECT_LT(out.size(), clip.reference.size());
      EXPECT_LE(MaxDifference(clip.reference, out), 1) << "what was decoded is right";
    } else {
      EXPECT_TRUE(out.empty());
    }
  }
}

// The registry's plug-in loader reads plugin/*.so: the driver file is not one.
TEST(VorbisDriver, PluginLoaderLeavesTheDriverAlone) {
  const std::string folder = ffmtest::MediaDir() + "/acm_plugin_folder";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(kVorbisDriver, folder + "/vorbis.acm", std::filesystem::copy_options::overwrite_existing);
  CModuleRegistry registry;
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, registry.LoadPlugins(folder));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

}  // namespace
