// The DirectShow reader module over its two maps: the playback graph of a
// file without its renderers (streams arrive decoded), a source that cannot
// seek (the sinks cut the range), sources with more pins than the reader
// takes, and files the graph cannot render.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/dshow/dshow_reader.h"
#include "engine/modules/dshow/dshow_standins.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/dshow/source_stream.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/engine/modules/dshow/bridge_test_util.h"
#include "tests/test_util/ffm_test_media.h"

using namespace dsbridge;

namespace {

const GUID kTick = FourccGuid(MakeFourcc('T', 'I', 'C', 'K'));
const CLSID kTickClsid = {0x7E5AD0C1, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0xF0, 0xF0, 0x7E, 0x01}};

// A source of `pins` output pins, each delivering one 16-byte sample a second
// for `seconds` seconds from time 0. Its pins answer no seeking interface.
class TickSource final : public CBaseFilter {
 public:
  class Pin final : public CSourceStream {
   public:
    Pin(TickSource* owner, int seconds) : CSourceStream(owner, &owner->lock_, u"Out"), seconds_(seconds) {}
    ~Pin() override { StopThread(); }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return mt->subtype == kTick ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      if (position != 0) return VFW_S_NO_MORE_ITEMS;
      InitMediaType(mt);
      mt->majortype = MEDIATYPE_Video;
      mt->subtype = kTick;
      mt->formattype = FORMAT_None;
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) override {
      ALLOCATOR_PROPERTIES want{2, 16, 1, 0}, got{};
      return allocator->SetProperties(&want, &got);
    }
    HRESULT FillBuffer(IMediaSample* sample) override {
      if (next_ >= seconds_) return S_FALSE;
      REFERENCE_TIME start = next_ * kSecond, stop = (next_ + 1) * kSecond;
      sample->SetTime(&start, &stop);
      sample->SetActualDataLength(16);
      ++next_;
      return S_OK;
    }

   private:
    int seconds_;
    int next_ = 0;
  };

  TickSource(int pins, int seconds) : CBaseFilter(kTickClsid, &lock_) {
    for (int i = 0; i < pins; ++i) pins_.push_back(new Pin(this, seconds));
  }
  ~TickSource() override {
    for (Pin* p : pins_) delete p;
  }
  int32_t GetPinCount() override { return static_cast<int32_t>(pins_.size()); }
  CBasePin* GetPin(int32_t index) override {
    return index >= 0 && index < GetPinCount() ? pins_[static_cast<size_t>(index)] : nullptr;
  }

 private:
  std::recursive_mutex lock_;
  std::vector<Pin*> pins_;
};

std::atomic<int> g_tickPins{1};
std::atomic<int> g_tickSeconds{50};
IBaseFilter* MakeTickSource() {
  auto* f = new TickSource(g_tickPins.load(), g_tickSeconds.load());
  f->AddRef();
  return f;
}

IMediaModule* OpenReader(GraphMapFunction map, bool tickSource) {
  EXPECT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
  EnsureStandInFilters();
  CParamList params;
  params.SetPtr("MAPFUNC", reinterpret_cast<void*>(map));
  if (tickSource) params.SetPtr("FILTERFUNC", reinterpret_cast<void*>(&MakeTickSource));
  return CDShowReader::Create(&params);
}

IMediaReader* AsReader(IMediaModule* m) { return static_cast<IMediaReader*>(m); }

// Every stream connected in its first type and delivering into a recorder.
struct Connected {
  std::vector<std::unique_ptr<Recorder>> recorders;
  IMemAllocator* allocator = MakeAllocator(8, 4 << 20);
  ~Connected() { allocator->Release(); }
  void Connect(IMediaModule* reader) {
    for (uint32_t pin = 0; pin < reader->GetOutputPinCount(); ++pin) {
      AM_MEDIA_TYPE mt;
      InitMediaType(&mt);
      ASSERT_EQ(S_OK, reader->GetOutputType(pin, 0, &mt));
      EXPECT_EQ(S_OK, reader->SetOutputType(pin, &mt, 1));
      ASSERT_EQ(S_OK, reader->SetOutputType(pin, &mt, 0));
      ClearMediaTypeFormat(&mt);
      EXPECT_EQ(S_OK, reader->SetOutputAllocator(pin, allocator));
      recorders.push_back(std::make_unique<Recorder>());
      EXPECT_EQ(S_OK, reader->SetOutputCallback(pin, &Recorder::Deliver, recorders.back().get()));
    }
  }
  // Waits until every stream has ended.
  bool WaitForEnds(int ms = 20000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (auto& r : recorders)
      while (r->Count(Item::kEnd) == 0)
        if (std::chrono::steady_clock::now() > until)
          return false;
        else
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
  }
};

std::string MatroskaClip() {
  return ffmtest::MakeClip("reader_av.mkv",
                           "-v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                           "sine=frequency=440:sample_rate=44100 -t 2 -c:v mpeg4 -c:a pcm_s16le -ac 2");
}

}  // namespace

TEST(DShowReader, PlaybackGraphOfAFileGivesDecodedStreamsToTheEnd) {
  const std::string clip = MatroskaClip();
  ASSERT_FALSE(clip.empty());
  IMediaModule* reader = OpenReader(&CreateRenderFileMap, false);
  ASSERT_NE(nullptr, reader);
  ASSERT_EQ(S_OK, AsReader(reader)->OpenFile(clip.c_str(), 0, 0));
  ASSERT_EQ(2u, reader->GetOutputPinCount());
  int64_t duration = 0;
  ASSERT_EQ(S_OK, AsReader(reader)->GetInfo(&duration, nullptr));
  EXPECT_NEAR(2.0, static_cast<double>(duration) / kSecond, 0.1);
  // Decoded: pictures and PCM, one stream each.
  int video = 0, audio = 0;
  for (uint32_t pin = 0; pin < 2; ++pin) {
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    ASSERT_EQ(S_OK, reader->GetOutputType(pin, 0, &mt));
    if (mt.majortype == MEDIATYPE_Video) {
      ++video;
      EXPECT_TRUE(IsRawPixelFormat(mt.subtype));
    } else if (mt.majortype == MEDIATYPE_Audio) {
      ++audio;
      EXPECT_EQ(MEDIASUBTYPE_PCM, mt.subtype);
    }
    ClearMediaTypeFormat(&mt);
    StreamInfo info;
    EXPECT_EQ(S_OK, AsReader(reader)->GetStreamInfo(pin, &info));
  }
  EXPECT_EQ(1, video);
  EXPECT_EQ(1, audio);
  StreamInfo info;
  EXPECT_NE(S_OK, AsReader(reader)->GetStreamInfo(20, &info));

  Connected c;
  c.Connect(reader);
  ASSERT_EQ(S_OK, reader->Run());
  ASSERT_TRUE(c.WaitForEnds());
  for (auto& r : c.recorders) EXPECT_GT(r->Count(Item::kSample), 10u);

  // A seek once a stream has ended leaves every stream as it is.
  std::vector<size_t> before;
  for (auto& r : c.recorders) before.push_back(r->Items().size());
  EXPECT_EQ(S_OK, AsReader(reader)->Seek(static_cast<uint32_t>(kSecond), 0, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (size_t i = 0; i < c.recorders.size(); ++i) EXPECT_EQ(before[i], c.recorders[i]->Items().size());
  DiscardModule(reader);
}

TEST(DShowReader, FilesTheGraphCannotRenderFailWithTheMapCode) {
  const std::string dir = ffmtest::MediaDir();
  ffmtest::WriteFile(dir + "/reader_script.avs",
                     std::vector<uint8_t>{'V', 'e', 'r', 's', 'i', 'o', 'n', '(', ')', '\n'});
  ffmtest::WriteFile(dir + "/reader_junk.mkv", std::vector<uint8_t>(4096, 0x3C));
  for (const std::string& path : {dir + "/reader_script.avs", dir + "/reader_junk.mkv", dir + "/reader_none.mkv"}) {
    SCOPED_TRACE(path);
    IMediaModule* reader = OpenReader(&CreateRenderFileMap, false);
    ASSERT_NE(nullptr, reader);
    EXPECT_EQ(CDShowReader::kCannotBuild, AsReader(reader)->OpenFile(path.c_str(), 0, 0));
    EXPECT_EQ(0u, reader->GetOutputPinCount());
    int64_t duration = 0;
    EXPECT_NE(S_OK, AsReader(reader)->GetInfo(&duration, nullptr));
    DiscardModule(reader);
  }
}

TEST(DShowReader, ASourceThatCannotSeekIsCutByTheSinks) {
  g_tickPins = 1;
  g_tickSeconds = 50;
  IMediaModule* reader = OpenReader(&CreateFilterSourceMap, true);
  ASSERT_NE(nullptr, reader);
  ASSERT_EQ(S_OK, AsReader(reader)->OpenFile("ticks", 30, 40));
  ASSERT_EQ(1u, reader->GetOutputPinCount());
  Connected c;
  c.Connect(reader);
  ASSERT_EQ(S_OK, reader->Run());
  ASSERT_TRUE(c.WaitForEnds());
  const std::vector<Item> items = c.recorders[0]->Items();
  std::vector<int64_t> starts;
  for (const Item& i : items)
    if (i.kind == Item::kSample) starts.push_back(i.start);
  ASSERT_FALSE(starts.empty());
  // Samples before 30 s are dropped, later ones start from 0, and the stream ends after 40 s.
  EXPECT_EQ(0, starts.front());
  EXPECT_LE(starts.back(), 10 * kSecond);
  EXPECT_GE(starts.size(), 10u);
  EXPECT_LE(starts.size(), 11u);
  EXPECT_EQ(Item::kEnd, items.back().kind);
  DiscardModule(reader);
}

TEST(DShowReader, OnlyTheFirstTwentyPinsBecomeStreams) {
  g_tickPins = 24;
  g_tickSeconds = 2;
  IMediaModule* reader = OpenReader(&CreateFilterSourceMap, true);
  ASSERT_NE(nullptr, reader);
  ASSERT_EQ(S_OK, AsReader(reader)->OpenFile("ticks", 0, 0));
  EXPECT_EQ(20u, reader->GetOutputPinCount());
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  EXPECT_EQ(S_OK, reader->GetOutputType(19, 0, &mt));
  ClearMediaTypeFormat(&mt);
  EXPECT_NE(S_OK, reader->GetOutputType(20, 0, &mt));
  Connected c;
  c.Connect(reader);
  ASSERT_EQ(S_OK, reader->Run());
  ASSERT_TRUE(c.WaitForEnds());
  for (auto& r : c.recorders) EXPECT_EQ(2u, r->Count(Item::kSample));
  DiscardModule(reader);
  g_tickPins = 1;
}
