// The media-info probe over fake readers: track texts, the record's limits,
// the open error, tags from a reader's information, AMR lengths and the
// command's path word.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "engine/jobs/media_chains.h"
#include "engine/jobs/probe_runner.h"
#include "engine/jobs/stream_picking.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/engine_process.h"

namespace fs = std::filesystem;

namespace {

// One output type: major, subtype, format type and format block.
struct TypeDef {
  GUID major;
  GUID subtype;
  GUID format;
  std::vector<uint8_t> block;
};

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  std::vector<uint8_t> out(sizeof value);
  std::memcpy(out.data(), &value, sizeof value);
  return out;
}

TypeDef H264Video(int width, int height, REFERENCE_TIME timePerFrame) {
  VIDEOINFOHEADER vih{};
  vih.dwBitRate = 800000;
  vih.AvgTimePerFrame = timePerFrame;
  vih.bmiHeader.biWidth = width;
  vih.bmiHeader.biHeight = height;
  return {MEDIATYPE_Video, FourccGuid(MakeFourcc('H', '2', '6', '4')), FORMAT_VideoInfo, Bytes(vih)};
}

TypeDef Mpeg2Video() {
  VIDEOINFOHEADER2 vih{};
  vih.dwBitRate = 6000000;
  vih.AvgTimePerFrame = 400000;
  vih.bmiHeader.biWidth = 720;
  vih.bmiHeader.biHeight = 576;
  std::vector<uint8_t> block = Bytes(vih);
  block.resize(block.size() + 24);  // the MPEG-2 sequence part
  return {MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video, block};
}

TypeDef Mp3Audio() {
  WAVEFORMATEX wave{};
  wave.wFormatTag = 0x55;
  wave.nChannels = 2;
  wave.nSamplesPerSec = 44100;
  wave.nAvgBytesPerSec = 16000;
  return {MEDIATYPE_Audio, FourccGuid(0x55), FORMAT_WaveFormatEx, Bytes(wave)};
}

TypeDef Subtitle(const GUID& subtype) { return {kSubtitleMajorType, subtype, kSubtitleFormatType, {}}; }

void Fill(const TypeDef& def, AM_MEDIA_TYPE* mt) {
  InitMediaType(mt);
  mt->majortype = def.major;
  mt->subtype = def.subtype;
  mt->formattype = def.format;
  if (!def.block.empty()) {
    ASSERT_TRUE(AllocMediaTypeFormat(mt, static_cast<ULONG>(def.block.size())));
    std::memcpy(mt->pbFormat, def.block.data(), def.block.size());
  }
}

// The track text StreamInfoToParams makes of one type (empty when not described).
std::string Describe(const TypeDef& def, const StreamInfo& info = StreamInfo{}) {
  AM_MEDIA_TYPE mt;
  Fill(def, &mt);
  CParamList list;
  const bool described = StreamInfoToParams(&mt, info, list);
  ClearMediaTypeFormat(&mt);
  if (!described) return {};
  char* text = list.ToText();
  std::string out = text;
  list.FreeText(text);
  return out;
}

std::string DoubleText(double value) {
  CParamList list;
  list.SetDouble("X", value);
  char* text = list.ToText();
  std::string out = text + 4;  // after "X"=
  list.FreeText(text);
  return out;
}

class ProbeReader final : public CReaderModule {
 public:
  ProbeReader(std::string name, std::vector<std::vector<TypeDef>> pins) : pins_(std::move(pins)) {
    std::snprintf(registration_, sizeof registration_, "%s", name.c_str());
    SetRegistration(registration_);
  }
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override {
    ++closes;
    return S_OK;
  }
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return static_cast<uint32_t>(pins_.size()); }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_INVALIDARG; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_INVALIDARG; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_INVALIDARG; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (pin >= pins_.size() || index >= pins_[pin].size()) return MODULE_E_NO_TYPE;
    Fill(pins_[pin][index], type);
    return S_OK;
  }
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return openResult; }
  HRESULT GetInfo(int64_t* duration, CParamList* info) override {
    *duration = this->duration;
    if (!author.empty()) info->SetWString("AUTHOR", author.c_str());
    if (!title.empty()) info->SetWString("TITLE", title.c_str());
    for (int i = 0; i < extraInfoKeys; ++i)
      info->SetString(("KEY" + std::to_string(i)).c_str(), "a value of some length to fill the text");
    return infoResult;
  }
  HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) override {
    if (stream >= pins_.size()) return E_INVALIDARG;
    info->valid = 1;
    info->timeBaseNum = 1;
    info->timeBaseDen = 90000;
    info->streamId = 0xC0 + static_cast<int32_t>(stream);
    return S_OK;
  }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }

  HRESULT openResult = S_OK;
  HRESULT infoResult = S_OK;
  int64_t duration = 0;
  std::u16string author, title;
  int extraInfoKeys = 0;
  int closes = 0;

 private:
  std::vector<std::vector<TypeDef>> pins_;
  char registration_[64] = {};
};

// Hands out one reader for every path that is not "missing".
class ProbeSource final : public IModuleSource {
 public:
  explicit ProbeSource(ProbeReader* reader) : reader_(reader) {}
  IMediaModule* CreateByName(CoderList, const char*) override { return nullptr; }
  IMediaModule* CreateDecoder(const AM_MEDIA_TYPE*) override { return nullptr; }
  bool HasDecoder(const AM_MEDIA_TYPE*) override { return false; }
  IMediaModule* CreateWriter(const char*, WriterLimits*) override { return nullptr; }
  IMediaModule* SelectReader(const char* path, bool* isFile) override {
    *isFile = std::strcmp(path, "missing") != 0;
    if (!*isFile || !reader_) return nullptr;
    reader_->AddRef();
    return reader_;
  }
  IMediaModule* CreateReaderByExtension(const char*) override { return nullptr; }

 private:
  ProbeReader* reader_;
};

class Probe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR)); }

  void SetUp() override { std::memset(&record_, 0, sizeof record_); }

  HRESULT Run(ProbeReader* reader, const char* path = "file", int32_t mode = SOURCE_MODE_OWN_ONLY) {
    ProbeSource source(reader);
    return ProbeMediaInfo(source, path, mode, record_, std::chrono::steady_clock::now() + std::chrono::seconds(5));
  }

  MediaInfoRecord record_;
};

TEST_F(Probe, TrackTextsByFormatType) {
  const uint32_t h264 = MakeFourcc('H', '2', '6', '4');
  const int32_t h264Code = TheVfccTable().CodeByGuid(FourccGuid(h264));
  const int32_t mp3Code = TheVfccTable().CodeByGuid(FourccGuid(0x55));
  const int32_t mpeg2Code = TheVfccTable().CodeByGuid(MEDIASUBTYPE_MPEG2_VIDEO);
  ASSERT_NE(0, h264Code);
  ASSERT_NE(0, mp3Code);
  StreamInfo aspect{1, 1, 25, 1, 16, 15, 0xE0};
  std::vector<int32_t> rateBlock = {2, 48000, 16};
  std::vector<uint8_t> rateBytes(12);
  std::memcpy(rateBytes.data(), rateBlock.data(), 12);
  struct Case {
    const char* what;
    TypeDef type;
    StreamInfo info;
    std::string text;
  };
  const Case cases[] = {
      {"video info with aspect", H264Video(640, 480, 400000), aspect,
       "\"TBN\"=1,\"TBD\"=25,\"STREAMID\"=224,\"BITRATE\"=800000,\"WIDTH\"=640,\"HEIGHT\"=480,\"FRAMERATE\"=" +
           DoubleText(25.0) + ",\"PNAN\"=16,\"PNAD\"=15,\"TYPE\"=0,\"VFCC\"=" + std::to_string(h264Code) +
           ",\"FCC\"=" + std::to_string(static_cast<int32_t>(h264))},
      {"no time base, no frame time", H264Video(320, 240, 0), StreamInfo{},
       "\"STREAMID\"=0,\"BITRATE\"=800000,\"WIDTH\"=320,\"HEIGHT\"=240,\"FRAMERATE\"=" + DoubleText(0.0) +
           ",\"TYPE\"=0,\"VFCC\"=" + std::to_string(h264Code) +
           ",\"FCC\"=" + std::to_string(static_cast<int32_t>(h264))},
      {"MPEG-2 video info", Mpeg2Video(), StreamInfo{},
       "\"STREAMID\"=0,\"BITRATE\"=6000000,\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=" + DoubleText(25.0) +
           ",\"TYPE\"=0,\"VFCC\"=" + std::to_string(mpeg2Code) +
           ",\"FCC\"=" + std::to_string(static_cast<int32_t>(GuidToFourcc(MEDIASUBTYPE_MPEG2_VIDEO)))},
      {"wave format", Mp3Audio(), StreamInfo{},
       "\"STREAMID\"=0,\"BITRATE\"=128000,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITSIZE\"=0,\"TYPE\"=1,\"VFCC\"=" +
           std::to_string(mp3Code) + ",\"FCC\"=85"},
      {"channels, rate, bits block",
       {MEDIATYPE_Audio, FourccGuid(0x55), FourccGuid(0x55), rateBytes},
       StreamInfo{},
       "\"STREAMID\"=0,\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"BITSIZE\"=16,\"TYPE\"=1,\"VFCC\"=" +
           std::to_string(mp3Code) + ",\"FCC\"=85"},
      {"text", {MEDIATYPE_Text, GUID_NULL, GUID_NULL, {}}, StreamInfo{}, "\"STREAMID\"=0,\"TYPE\"=2,\"VFCC\"=\"TEXT\""},
      {"UTF-8 subtitles", Subtitle(kSubtitleUtf8), StreamInfo{}, "\"STREAMID\"=0,\"TYPE\"=2,\"VFCC\"=\"UTF8\""},
      {"SSA subtitles", Subtitle(kSubtitleSsa), StreamInfo{}, "\"STREAMID\"=0,\"TYPE\"=2,\"VFCC\"=\"SSA \""},
      {"SSF subtitles", Subtitle({0x370689E7, 0xB226, 0x4F67, {0x97, 0x8D, 0xF1, 0x0B, 0xC1, 0xA9, 0xC6, 0xAE}}),
       StreamInfo{}, "\"STREAMID\"=0,\"TYPE\"=2,\"VFCC\"=\"SSF \""},
      {"DVD subpictures",
       {MEDIATYPE_Subtitle, MEDIASUBTYPE_DVD_SUBPICTURE, FORMAT_SubpictureInfo, {0, 0, 0, 0}},
       StreamInfo{},
       "\"STREAMID\"=0,\"TYPE\"=2,\"VFCC\"=\"DVDS\""},
      {"subtitles of an unlisted subtype", Subtitle(FourccGuid(MakeFourcc('Z', 'Z', 'Z', 'Z'))), StreamInfo{},
       "\"STREAMID\"=0,\"TYPE\"=2"},
      {"video without a format block", {MEDIATYPE_Video, FourccGuid(h264), FORMAT_VideoInfo, {}}, StreamInfo{}, ""},
      {"video info block too short",
       {MEDIATYPE_Video, FourccGuid(h264), FORMAT_VideoInfo, std::vector<uint8_t>(40)},
       StreamInfo{},
       ""},
      {"unknown major type", {MEDIATYPE_Stream, GUID_NULL, GUID_NULL, {}}, StreamInfo{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, Describe(c.type, c.info)) << c.what;
}

TEST_F(Probe, RecordOfAReader) {
  auto* reader = new ProbeReader("mp4", {{H264Video(320, 240, 400000)}, {Mp3Audio()}});
  reader->duration = 123456789;  // 12.3456789 s
  EXPECT_EQ(S_OK, Run(reader));
  EXPECT_EQ(0, record_.result);
  EXPECT_DOUBLE_EQ(12.3456789, record_.length);
  EXPECT_EQ(2, record_.trackCount);
  EXPECT_NE(std::string::npos, record_.Track(0).find("\"STREAMID\"=192,\"BITRATE\"=800000")) << record_.Track(0);
  EXPECT_NE(std::string::npos, record_.Track(1).find("\"STREAMID\"=193,\"BITRATE\"=128000")) << record_.Track(1);
  EXPECT_EQ(1, reader->closes);
  reader->Release();
}

TEST_F(Probe, MoreTracksThanTheRecordHoldsAreCappedWithoutWritingPastIt) {
  std::vector<std::vector<TypeDef>> pins(40, {Mp3Audio()});
  auto* reader = new ProbeReader("mp4", pins);
  std::memset(&record_.reserved2, 0x5A, sizeof record_.reserved2);
  EXPECT_EQ(S_OK, Run(reader));
  EXPECT_EQ(kMaxProbeTracks, record_.trackCount);
  for (int i = 0; i < kMaxProbeTracks; ++i)
    EXPECT_NE(std::string::npos, record_.Track(i).find("\"STREAMID\"=" + std::to_string(0xC0 + i))) << i;
  int32_t guard;
  std::memset(&guard, 0x5A, sizeof guard);
  EXPECT_EQ(guard, record_.reserved2);
  reader->Release();
}

TEST_F(Probe, TracksWithoutADescribableType) {
  // Pin 1 has no type; pin 2 one that is not described and then none.
  auto* reader =
      new ProbeReader("mp4", {{Mp3Audio()}, {}, {{MEDIATYPE_Stream, GUID_NULL, GUID_NULL, {}}}, {Subtitle(GUID_NULL)}});
  EXPECT_EQ(S_OK, Run(reader));
  EXPECT_EQ(4, record_.trackCount);
  EXPECT_EQ("\"TBN\"=1,\"TBD\"=90000,\"STREAMID\"=193,\"TYPE\"=255", record_.Track(1));
  EXPECT_EQ("\"TBN\"=1,\"TBD\"=90000,\"STREAMID\"=194,\"TYPE\"=255", record_.Track(2));
  EXPECT_EQ("\"TBN\"=1,\"TBD\"=90000,\"STREAMID\"=195,\"TYPE\"=2", record_.Track(3));
  reader->Release();
}

TEST_F(Probe, OpenErrorsLeaveTheRestOfTheRecord) {
  record_.length = 7.5;
  std::strcpy(record_.info, "\"KEEP\"=1");
  record_.trackCount = 5;
  auto* reader = new ProbeReader("mp4", {{Mp3Audio()}});
  reader->openResult = MakeHResult(0x80040081u);
  EXPECT_EQ(MakeHResult(0x80040081u), Run(reader));
  EXPECT_EQ(MakeHResult(0x80040081u), record_.result);
  EXPECT_EQ(0, record_.trackCount);
  EXPECT_EQ(7.5, record_.length);
  EXPECT_STREQ("\"KEEP\"=1", record_.info);
  EXPECT_EQ(1, reader->closes);
  reader->Release();

  EXPECT_EQ(E_SOURCE_NOT_FOUND, Run(nullptr, "missing"));
  EXPECT_EQ(E_SOURCE_NOT_FOUND, record_.result);
  EXPECT_EQ(E_UNKNOWN_SOURCE_FORMAT, Run(nullptr, "file"));
}

TEST_F(Probe, InformationFailureGivesLengthZero) {
  auto* reader = new ProbeReader("mp4", {{Mp3Audio()}});
  reader->duration = 50000000;
  reader->infoResult = E_FAIL;
  record_.length = 3.0;
  EXPECT_EQ(S_OK, Run(reader));
  EXPECT_EQ(0.0, record_.length);
  EXPECT_EQ(1, record_.trackCount);
  reader->Release();
}

TEST_F(Probe, AuthorAndTitleOfOtherReadersBecomeTags) {
  std::u16string longTitle(300, u'x');
  longTitle[126] = u'\xD834';  // a pair across the field's last unit
  longTitle[127] = u'\xDD1E';
  auto* reader = new ProbeReader("", {{Mp3Audio()}});
  reader->author = u"\u00c4rtist";
  reader->title = longTitle;
  EXPECT_EQ(S_OK, Run(reader));
  EXPECT_EQ(1, record_.tags.enabled);
  EXPECT_EQ(std::u16string(u"\u00c4rtist"), std::u16string(record_.tags.artist));
  // 126 units: the pair does not fit beside the terminator.
  EXPECT_EQ(std::u16string(126, u'x'), std::u16string(record_.tags.title));
  EXPECT_NE(std::string::npos, std::string(record_.info).find("\"AUTHOR\"=L\"")) << record_.info;

  // No author or title: tags off, fields kept.
  auto* plain = new ProbeReader("", {{Mp3Audio()}});
  record_.tags.enabled = 1;
  EXPECT_EQ(S_OK, Run(plain));
  EXPECT_EQ(0, record_.tags.enabled);
  EXPECT_EQ(std::u16string(u"\u00c4rtist"), std::u16string(record_.tags.artist));
  reader->Release();
  plain->Release();
}

TEST_F(Probe, LongInformationKeepsWholeEntries) {
  auto* reader = new ProbeReader("", {{Mp3Audio()}});
  reader->extraInfoKeys = 60;  // about 3 KB of text
  EXPECT_EQ(S_OK, Run(reader));
  const std::string info = record_.info;
  EXPECT_LT(info.size(), sizeof record_.info);
  EXPECT_GT(info.size(), 900u);
  EXPECT_EQ('"', info.back()) << info;  // ends with a whole string value
  CParamList parsed;
  parsed.ParseText(info.c_str());
  EXPECT_EQ(std::count(info.begin(), info.end(), '='), parsed.GetCount());
  reader->Release();
}

TEST(ProbeCommand, PathWord) {
  struct Case {
    const char* word;
    const char* path;
  } const cases[] = {
      {"\"/a b/c,d.mp3\"", "/a b/c,d.mp3"},
      {"/plain/path.mp3", "/plain/path.mp3"},
      {"\"", ""},
      {"\"\"", ""},
      {"\"/no/closing.mp3", "/no/closing.mp3"},
      {"", ""},
      {"in\"side\"", "in\"side\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.path, ProbePathFromWord(c.word)) << c.word;
  EXPECT_EQ("", ProbePathFromWord(nullptr));
}

TEST(ProbeCommand, AmrLengthFromSizeAndFirstMode) {
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/probe_amr";
  fs::create_directories(dir);
  struct Case {
    const char* what;
    std::vector<uint8_t> header;
    size_t size;
    bool wideband;
    bool ok;
    int64_t seconds;
  };
  const std::vector<uint8_t> nb = {'#', '!', 'A', 'M', 'R', '\n'};
  const std::vector<uint8_t> wb = {'#', '!', 'A', 'M', 'R', '-', 'W', 'B', '\n'};
  auto with = [](std::vector<uint8_t> h, uint8_t b) {
    h.push_back(b);
    return h;
  };
  const Case cases[] = {
      {"mode 7, 16,000 bytes", with(nb, 0x3C), 16000, false, true, 10},
      {"mode 0", with(nb, 0x04), 6500, false, true, 10},
      {"mode 7, 15,999 bytes", with(nb, 0x3C), 15999, false, true, 9},
      {"mode 8 (no speech)", with(nb, 0x44), 16000, false, false, 0},
      {"negative mode byte", with(nb, 0xBC), 16000, false, false, 0},
      {"header only", nb, 6, false, false, 0},
      {"wideband mode 8", with(wb, 0x44), 30500, true, true, 10},
      {"wideband mode 0", with(wb, 0x04), 9000, true, true, 10},
      {"wideband mode 9", with(wb, 0x4C), 30500, true, false, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = c.header;
    bytes.resize(std::max(c.size, bytes.size()), 0x5A);
    const std::string path = dir + "/case" + std::to_string(n++) + ".amr";
    WriteFile(path, bytes);
    int64_t seconds = -1;
    EXPECT_EQ(c.ok, AmrLengthSeconds(path.c_str(), c.wideband, &seconds)) << c.what;
    if (c.ok) {
      EXPECT_EQ(c.seconds, seconds) << c.what;
    }
  }
  int64_t seconds = 0;
  EXPECT_FALSE(AmrLengthSeconds((dir + "/none.amr").c_str(), false, &seconds));
  EXPECT_FALSE(AmrLengthSeconds(dir.c_str(), false, &seconds));
}

}  // namespace
