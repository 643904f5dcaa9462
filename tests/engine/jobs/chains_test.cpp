// Chain shapes, connection primitives and the progress hook, with fake modules.
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>

#include "common/codec_tables.h"
#include "common/control_block.h"
#include "engine/jobs/job_channel.h"
#include "engine/jobs/media_chains.h"
#include "tests/engine/jobs/chain_fakes.h"

using namespace chainfakes;

namespace {

const GUID kMpeg2 = MEDIASUBTYPE_MPEG2_VIDEO;
const GUID kAc3 = MEDIASUBTYPE_DOLBY_AC3;
const GUID kDts = FourccGuid(MakeFourcc('D', 'T', 'S', ' '));
const GUID kH264 = FourccGuid(MakeFourcc('H', '2', '6', '4'));
const GUID kMp3 = FourccGuid(0x55);

class ChainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }

  void SetUp() override {
    settings_.Clear();
    // Video: decoders give I420, the encoder takes YV12 only, filters take any raw picture.
    modules_.AddDecoder(kMpeg2, {"DEC", AcceptOnly({kMpeg2}), {Video(MEDIASUBTYPE_I420)}});
    modules_.Add(CoderList::VideoEncoder, {"H264ENC", AcceptOnly({MEDIASUBTYPE_YV12}), {Video(kH264)}});
    modules_.Add(CoderList::VideoFilter, {"VRECOLOR",
                                          AcceptOnly({MEDIASUBTYPE_I420, MEDIASUBTYPE_YV12}),
                                          {Video(MEDIASUBTYPE_I420), Video(MEDIASUBTYPE_YV12)}});
    for (const char* name : {"VCHANGEFRAME", "SDELAY", "VLEVELS", "VRESIZE", "VSUBTITLE", "VSUBTITLEDVD"})
      modules_.Add(CoderList::VideoFilter, {name, AcceptAny(), {}});
    // Audio: decoders give 16-bit PCM, the encoder takes PCM.
    modules_.AddDecoder(kAc3, {"[FFM]AC3", AcceptOnly({kAc3}), {Audio(MEDIASUBTYPE_PCM)}});
    modules_.AddDecoder(kDts, {"[FFM]DTS", AcceptOnly({kDts}), {Audio(MEDIASUBTYPE_PCM)}});
    modules_.Add(CoderList::AudioEncoder, {"MP3ENC", AcceptOnly({MEDIASUBTYPE_PCM}), {Audio(kMp3)}});
    for (const char* name : {"AMERGER", "SDELAY", "AVOLUME"})
      modules_.Add(CoderList::AudioFilter, {name, AcceptOnly({MEDIASUBTYPE_PCM}), {}});
    modules_.Add(CoderList::AudioFilter, {"ARESAMPLE", AcceptOnly({MEDIASUBTYPE_PCM}), {Audio(MEDIASUBTYPE_PCM, 24)}});
  }

  FakeReader* NewReader(std::vector<std::vector<TypeSpec>> pins) {
    readers_.push_back(std::make_unique<FakeReader>("SRC", std::move(pins)));
    return readers_.back().get();
  }
  FakeWriter* NewWriter(Accepts accepts = AcceptAny()) {
    writers_.push_back(std::make_unique<FakeWriter>("WR", accepts));
    return writers_.back().get();
  }

  void SetVideo(const char* codec) { SetJobText(settings_.videoCodec, codec); }
  void SetAudio(const char* codec) { SetJobText(settings_.audioCodec, codec); }

  FakeModuleSource modules_;
  RecordingGraph graph_;
  EncodeSettings settings_;
  std::vector<std::unique_ptr<FakeReader>> readers_;
  std::vector<std::unique_ptr<FakeWriter>> writers_;
};

std::string Params(FakeModuleSource& modules, const std::string& name) {
  FakeTransform* m = modules.Made(name);
  return m ? m->ParamsText() : "<none>";
}

struct VideoCase {
  const char* label;
  const char* codec;
  std::vector<TypeSpec> source;
  bool uncompressed;
  std::vector<const char*> filters;
  int32_t startCut, stopCut;
  bool frameRate;
  std::vector<std::string> chain;
};

TEST_F(ChainTest, VideoChainShapes) {
  const std::vector<VideoCase> cases = {
      {"encode", "H264ENC", {Video(kMpeg2)}, false, {}, 0, 0, false, {"DEC", "VRECOLOR", "H264ENC", "WR"}},
      {"filters in order",
       "H264ENC",
       {Video(kMpeg2)},
       false,
       {"VLEVELS", "VRESIZE"},
       0,
       0,
       false,
       {"DEC", "VLEVELS", "VRESIZE", "VRECOLOR", "H264ENC", "WR"}},
      {"cut range after the decoder",
       "H264ENC",
       {Video(kMpeg2)},
       false,
       {},
       15,
       75,
       false,
       {"DEC", "SDELAY", "VRECOLOR", "H264ENC", "WR"}},
      {"frame rate before the decoder",
       "H264ENC",
       {Video(kMpeg2)},
       false,
       {},
       0,
       0,
       true,
       {"VCHANGEFRAME", "DEC", "VRECOLOR", "H264ENC", "WR"}},
      {"copy keeps only the frame-rate changer",
       "COPY",
       {Video(kMpeg2)},
       false,
       {"VLEVELS"},
       15,
       0,
       true,
       {"VCHANGEFRAME", "WR"}},
      {"copy", "copy", {Video(kMpeg2)}, false, {"VLEVELS"}, 15, 0, false, {"WR"}},
      {"raw picture source needs no decoder",
       "H264ENC",
       {Video(MEDIASUBTYPE_YV12)},
       true,
       {},
       0,
       0,
       false,
       {"H264ENC", "WR"}},
      {"raw YV12 output through a colour converter",
       "raw",
       {Video(kMpeg2)},
       false,
       {},
       0,
       0,
       false,
       {"DEC", "VRECOLOR", "WR"}},
      {"raw YV12 output already offered", "RAW", {Video(MEDIASUBTYPE_YV12)}, true, {}, 0, 0, false, {"WR"}},
  };
  for (const VideoCase& c : cases) {
    SCOPED_TRACE(c.label);
    SetVideo(c.codec);
    settings_.rawVideoCode = static_cast<int32_t>(MakeFourcc('Y', 'V', '1', '2'));
    settings_.videoBitrate = 1500;
    settings_.videoFilters.clear();
    for (const char* f : c.filters) {
      FilterEntry e;
      SetJobText(e.key, f);
      e.params = std::string("\"LEVEL\"=\"") + f + "\"";
      settings_.videoFilters.push_back(e);
    }
    FrameRateChange rate{1, 25, 1};
    FakeReader* reader = NewReader({c.source});
    FakeWriter* writer = NewWriter();
    ASSERT_EQ(S_OK, BuildVideoChain(graph_, modules_, {reader, 0}, writer, settings_, c.uncompressed, nullptr,
                                    c.startCut, c.stopCut, c.frameRate ? &rate : nullptr));
    EXPECT_EQ(c.chain, graph_.ChainFrom(reader, 0));
    ASSERT_EQ(1u, writer->GetInputPinCount());
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    ASSERT_EQ(S_OK, writer->GetInputType(0, 0, &mt));
    EXPECT_EQ(MEDIATYPE_Video, mt.majortype);
    if (strcasecmp(c.codec, "raw") == 0) {
      EXPECT_EQ(MEDIASUBTYPE_YV12, mt.subtype);
    }
    ClearMediaTypeFormat(&mt);
  }
}

TEST_F(ChainTest, VideoChainParameters) {
  SetVideo("H264ENC");
  SetJobText(settings_.videoParams, "\"PRESET\"=\"fast\"");
  settings_.videoBitrate = 900;
  FrameRateChange rate{1, 30000, 1001};
  FakeReader* reader = NewReader({{Video(kMpeg2)}});
  ASSERT_EQ(S_OK,
            BuildVideoChain(graph_, modules_, {reader, 0}, NewWriter(), settings_, false, nullptr, 15, 75, &rate));
  EXPECT_EQ("FRAMENUM=30000,FRAMEDEN=1001", Params(modules_, "VCHANGEFRAME"));
  EXPECT_NE(std::string::npos, Params(modules_, "SDELAY").find("STARTTM=15"));
  EXPECT_NE(std::string::npos, Params(modules_, "SDELAY").find("STOPTM=75"));
  EXPECT_NE(std::string::npos, Params(modules_, "SDELAY").find("RAWVIDEO=1"));
  const std::string enc = Params(modules_, "H264ENC");
  EXPECT_NE(std::string::npos, enc.find("PRESET"));
  EXPECT_NE(std::string::npos, enc.find("BITRATE=900"));
  EXPECT_NE(std::string::npos, enc.find("ETYPE=0"));
}

TEST_F(ChainTest, DvdSubpicturesGoBeforeResizeAndTextAfterTheFilters) {
  SetVideo("H264ENC");
  for (const char* f : {"VLEVELS", "VRESIZE"}) {
    FilterEntry e;
    SetJobText(e.key, f);
    settings_.videoFilters.push_back(e);
  }
  FakeWriter dvd("SUBTITLE", AcceptAny());
  dvd.fixedInput_ = std::make_unique<TypeSpec>(Other(kSubtitleMajorTypeDvd, MEDIASUBTYPE_DVD_SUBPICTURE));
  FakeWriter text("SUBTITLE", AcceptAny());
  text.fixedInput_ = std::make_unique<TypeSpec>(Other(MEDIATYPE_Text, GUID_NULL));
  SubtitleWriterTable table{};
  table[0] = &dvd;
  table[1] = &text;
  FakeReader* reader = NewReader({{Video(kMpeg2)}});
  ASSERT_EQ(S_OK, BuildVideoChain(graph_, modules_, {reader, 0}, NewWriter(), settings_, false, &table, 7, 0, nullptr));
  EXPECT_EQ((std::vector<std::string>{"DEC", "SDELAY", "VLEVELS", "VSUBTITLEDVD", "VRESIZE", "VSUBTITLE", "VRECOLOR",
                                      "H264ENC", "WR"}),
            graph_.ChainFrom(reader, 0));
  const std::string dvdParams = Params(modules_, "VSUBTITLEDVD");
  EXPECT_NE(std::string::npos, dvdParams.find("STARTTIME=7"));
  EXPECT_NE(std::string::npos, dvdParams.find("VFCC=" + std::to_string(MakeFourcc('D', 'V', 'D', 'S'))));
  EXPECT_NE(std::string::npos,
            Params(modules_, "VSUBTITLE").find("VFCC=" + std::to_string(MakeFourcc('T', 'E', 'X', 'T'))));
  // Each subtitle writer is handed its overlay.
  EXPECT_NE(std::string::npos, dvd.ParamsText().find("VOBFILTER="));
  EXPECT_NE(std::string::npos, text.ParamsText().find("VOBFILTER="));
}

TEST_F(ChainTest, SubtitleCodes) {
  struct Case {
    GUID major, format, subtype;
    uint32_t code;
  };
  const Case cases[] = {
      {MEDIATYPE_Text, GUID_NULL, GUID_NULL, MakeFourcc('T', 'E', 'X', 'T')},
      {kSubtitleMajorType, kSubtitleFormatType, kSubtitleUtf8, MakeFourcc('U', 'T', 'F', '8')},
      {kSubtitleMajorType, kSubtitleFormatType, kSubtitleSsa, MakeFourcc('S', 'S', 'A', ' ')},
      {kSubtitleMajorType, kSubtitleFormatType, kSubtitleAss, MakeFourcc('A', 'S', 'S', ' ')},
      {kSubtitleMajorType, kSubtitleFormatType, kSubtitleAss2, MakeFourcc('A', 'S', 'S', '2')},
      {kSubtitleMajorType, kSubtitleFormatType, kSubtitleVobsub, MakeFourcc('V', 'O', 'B', 'S')},
      {kSubtitleMajorType, kSubtitleFormatType, MEDIASUBTYPE_DVD_SUBPICTURE, MakeFourcc('D', 'V', 'D', 'S')},
      {kSubtitleMajorTypeDvd, FORMAT_SubpictureInfo, MEDIASUBTYPE_DVD_SUBPICTURE, MakeFourcc('D', 'V', 'D', 'S')},
      {kSubtitleMajorType, FORMAT_None, kSubtitleSsa, 0},
      {MEDIATYPE_Video, kSubtitleFormatType, kSubtitleSsa, 0},
  };
  for (const Case& c : cases) {
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    mt.majortype = c.major;
    mt.formattype = c.format;
    mt.subtype = c.subtype;
    EXPECT_EQ(c.code, SubtitleCode(&mt));
  }
}

TEST_F(ChainTest, VideoChainFailures) {
  struct Case {
    const char* label;
    const char* codec;
    GUID source;
    const char* filter;
    bool frameRate;
    HRESULT expected;
  };
  const Case cases[] = {
      {"no decoder", "H264ENC", kH264, nullptr, false, E_NO_VIDEO_CODER},
      {"no encoder", "NOSUCH", kMpeg2, nullptr, false, E_NO_VIDEO_CODER},
      {"no filter", "H264ENC", kMpeg2, "VMISSING", false, E_NO_FILTER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetVideo(c.codec);
    settings_.videoFilters.clear();
    if (c.filter) {
      FilterEntry e;
      SetJobText(e.key, c.filter);
      settings_.videoFilters.push_back(e);
    }
    FakeReader* reader = NewReader({{Video(c.source)}});
    EXPECT_EQ(c.expected,
              BuildVideoChain(graph_, modules_, {reader, 0}, NewWriter(), settings_, false, nullptr, 0, 0, nullptr));
  }
}

TEST_F(ChainTest, WriterRefusingEveryTypeFails) {
  SetVideo("H264ENC");
  FakeReader* reader = NewReader({{Video(kMpeg2)}});
  FakeWriter* writer = NewWriter(AcceptOnly({MEDIASUBTYPE_RGB24}));
  EXPECT_EQ(E_FAIL, BuildVideoChain(graph_, modules_, {reader, 0}, writer, settings_, false, nullptr, 0, 0, nullptr));
  EXPECT_EQ(0u, writer->GetInputPinCount());
}

TEST_F(ChainTest, ModulesThatFailToConnectAreClosedOnce) {
  const GUID kFloat = MEDIASUBTYPE_IEEE_FLOAT;
  const GUID kRgb = MEDIASUBTYPE_RGB24;
  modules_.Add(CoderList::VideoEncoder, {"RGBENC", AcceptOnly({kRgb}), {Video(kH264)}});
  modules_.Add(CoderList::VideoFilter, {"VRGBONLY", AcceptOnly({kRgb}), {}});
  modules_.AddDecoder(kH264, {"NODEC", AcceptOnly({}), {Video(MEDIASUBTYPE_I420)}});
  modules_.AddDecoder(kMp3, {"MP3DEC", AcceptOnly({}), {Audio(MEDIASUBTYPE_PCM)}});
  {
    SCOPED_TRACE("video encoder refuses the decoded picture");
    SetVideo("RGBENC");
    EXPECT_EQ(E_FAIL, BuildVideoChain(graph_, modules_, {NewReader({{Video(kMpeg2)}}), 0}, NewWriter(), settings_,
                                      false, nullptr, 0, 0, nullptr));
    ASSERT_NE(nullptr, modules_.Made("RGBENC"));
  }
  {
    SCOPED_TRACE("video filter refuses every type");
    SetVideo("H264ENC");
    FilterEntry e;
    SetJobText(e.key, "VRGBONLY");
    settings_.videoFilters = {e};
    EXPECT_EQ(E_FAIL, BuildVideoChain(graph_, modules_, {NewReader({{Video(kMpeg2)}}), 0}, NewWriter(), settings_,
                                      false, nullptr, 0, 0, nullptr));
    settings_.videoFilters.clear();
  }
  {
    SCOPED_TRACE("video decoder refuses the stream");
    EXPECT_EQ(E_FAIL, BuildVideoChain(graph_, modules_, {NewReader({{Video(kH264)}}), 0}, NewWriter(), settings_, false,
                                      nullptr, 0, 0, nullptr));
  }
  {
    SCOPED_TRACE("audio decoder refuses the stream");
    SetAudio("MP3ENC");
    EXPECT_EQ(E_FAIL,
              BuildAudioChain(graph_, modules_, {NewReader({{Audio(kMp3)}}), 0}, NewWriter(), settings_, false, 0, 0));
  }
  {
    // The sample converter cannot take float, becomes the tail anyway and
    // then cannot reach a writer that takes float only.
    SCOPED_TRACE("unconnected bit-depth converter");
    SetAudio("RAW");
    settings_.rawAudioCode = static_cast<int32_t>(MakeFourcc('P', 'C', '1', '6'));
    EXPECT_EQ(E_FAIL, BuildAudioChain(graph_, modules_, {NewReader({{Audio(kFloat, 32)}}), 0},
                                      NewWriter(AcceptOnly({kFloat})), settings_, true, 0, 0));
    ASSERT_NE(nullptr, modules_.Made("ARESAMPLE"));
    EXPECT_FALSE(graph_.Lists(modules_.Made("ARESAMPLE")));
  }
  ExpectEachModuleClosedOnceOrTaken(modules_, graph_);
}

struct AudioCase {
  const char* label;
  const char* codec;
  TypeSpec source;
  bool uncompressed;
  int32_t rawCode;
  int32_t startCut;
  std::vector<std::string> chain;
};

TEST_F(ChainTest, AudioChainShapes) {
  const int32_t pc16 = static_cast<int32_t>(MakeFourcc('P', 'C', '1', '6'));
  const int32_t pc24 = static_cast<int32_t>(MakeFourcc('P', 'C', '2', '4'));
  const std::vector<AudioCase> cases = {
      // The closing merger takes PCM only, so it is left out after an encoder.
      {"encode", "MP3ENC", Audio(kAc3), false, 0, 0, {"[FFM]AC3", "MP3ENC", "WR"}},
      {"encode with cut", "MP3ENC", Audio(kAc3), false, 0, 5, {"[FFM]AC3", "SDELAY", "MP3ENC", "WR"}},
      {"PCM source: mergers, no decoder", "MP3ENC", Audio(MEDIASUBTYPE_PCM), true, 0, 0, {"AMERGER", "MP3ENC", "WR"}},
      {"copy", "COPY", Audio(kAc3), false, 0, 5, {"WR"}},
      {"raw 16-bit", "raw", Audio(kAc3), false, pc16, 0, {"[FFM]AC3", "AMERGER", "WR"}},
      {"raw 24-bit from 16-bit", "RAW", Audio(kAc3), false, pc24, 0, {"[FFM]AC3", "AMERGER", "ARESAMPLE", "WR"}},
  };
  for (const AudioCase& c : cases) {
    SCOPED_TRACE(c.label);
    SetAudio(c.codec);
    settings_.rawAudioCode = c.rawCode;
    FakeReader* reader = NewReader({{c.source}});
    FakeWriter* writer = NewWriter();
    ASSERT_EQ(S_OK, BuildAudioChain(graph_, modules_, {reader, 0}, writer, settings_, c.uncompressed, c.startCut, 0));
    EXPECT_EQ(c.chain, graph_.ChainFrom(reader, 0));
  }
  EXPECT_NE(std::string::npos, Params(modules_, "ARESAMPLE").find("BITSPERSAMPLE=24"));
}

TEST_F(ChainTest, AudioFiltersAndEncoderParameters) {
  SetAudio("MP3ENC");
  SetJobText(settings_.audioParams, "\"QUALITY\"=2");
  settings_.audioBitrate = 128000;
  FilterEntry volume;
  SetJobText(volume.key, "AVOLUME");
  volume.params = "\"VOLUME\"=150";
  settings_.audioFilters.push_back(volume);
  FakeReader* reader = NewReader({{Audio(kAc3)}});
  ASSERT_EQ(S_OK, BuildAudioChain(graph_, modules_, {reader, 0}, NewWriter(), settings_, false, 3, 9));
  EXPECT_EQ((std::vector<std::string>{"[FFM]AC3", "SDELAY", "AVOLUME", "MP3ENC", "WR"}), graph_.ChainFrom(reader, 0));
  EXPECT_EQ("STARTTM=3,STOPTM=9", Params(modules_, "SDELAY"));
  EXPECT_EQ("VOLUME=150", Params(modules_, "AVOLUME"));
  EXPECT_EQ("QUALITY=2,BITRATE=128000,ETYPE=1", Params(modules_, "MP3ENC"));
}

TEST_F(ChainTest, DownmixChannelsGoOnlyToDecodersThatDoThem) {
  struct Case {
    GUID source;
    int32_t channels;
    const char* decoder;
    std::string params;
  };
  const Case cases[] = {
      {kAc3, 1, "[FFM]AC3", "CHANNEL=1"}, {kAc3, 2, "[FFM]AC3", "CHANNEL=2"}, {kAc3, 6, "[FFM]AC3", ""},
      {kDts, 1, "[FFM]DTS", ""},          {kDts, 2, "[FFM]DTS", "CHANNEL=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.decoder) + " " + std::to_string(c.channels));
    SetAudio("MP3ENC");
    settings_.channels = c.channels;
    FakeReader* reader = NewReader({{Audio(c.source)}});
    ASSERT_EQ(S_OK, BuildAudioChain(graph_, modules_, {reader, 0}, NewWriter(), settings_, false, 0, 0));
    EXPECT_EQ(c.params, Params(modules_, c.decoder));
  }
}

TEST_F(ChainTest, AudioChainFailures) {
  SetAudio("MP3ENC");
  EXPECT_EQ(E_NO_AUDIO_CODER,
            BuildAudioChain(graph_, modules_, {NewReader({{Audio(kMp3)}}), 0}, NewWriter(), settings_, false, 0, 0));
  SetAudio("NOSUCH");
  EXPECT_EQ(E_NO_AUDIO_CODER,
            BuildAudioChain(graph_, modules_, {NewReader({{Audio(kAc3)}}), 0}, NewWriter(), settings_, false, 0, 0));
  SetAudio("MP3ENC");
  FilterEntry missing;
  SetJobText(missing.key, "AMISSING");
  settings_.audioFilters.push_back(missing);
  EXPECT_EQ(E_NO_FILTER,
            BuildAudioChain(graph_, modules_, {NewReader({{Audio(kAc3)}}), 0}, NewWriter(), settings_, false, 0, 0));
}

TEST_F(ChainTest, PassChainsEncodeOrPassRawStreams) {
  SetVideo("H264ENC");
  SetAudio("RAW");
  settings_.rawAudioCode = static_cast<int32_t>(MakeFourcc('P', 'C', '2', '4'));
  FakeReader* reader = NewReader({{Video(MEDIASUBTYPE_YV12)}, {Audio(MEDIASUBTYPE_PCM)}});
  FakeWriter* writer = NewWriter();
  ASSERT_EQ(S_OK, BuildPassVideoChain(graph_, modules_, {reader, 0}, writer, settings_));
  ASSERT_EQ(S_OK, BuildPassAudioChain(graph_, modules_, {reader, 1}, writer, settings_));
  EXPECT_EQ((std::vector<std::string>{"H264ENC", "WR"}), graph_.ChainFrom(reader, 0));
  EXPECT_EQ((std::vector<std::string>{"AMERGER", "ARESAMPLE", "WR"}), graph_.ChainFrom(reader, 1));
}

TEST_F(ChainTest, ConverterMissingGivesFilterError) {
  FakeModuleSource bare;
  bare.Add(CoderList::VideoEncoder, {"H264ENC", AcceptOnly({MEDIASUBTYPE_YV12}), {Video(kH264)}});
  FakeReader* reader = NewReader({{Video(MEDIASUBTYPE_I420)}});
  IMediaModule* encoder = bare.CreateByName(CoderList::VideoEncoder, "H264ENC");
  EXPECT_EQ(E_NO_FILTER, ConnectWithConverter(graph_, bare, {reader, 0}, encoder, 0));
  // A compressed type offers no converter: plain failure.
  FakeReader* compressed = NewReader({{Video(kMpeg2)}});
  EXPECT_EQ(E_FAIL, ConnectWithConverter(graph_, bare, {compressed, 0}, encoder, 0));
  encoder->Release();
}

// ---- progress hook ----

class SampleWithTime final : public CMediaSample {
 public:
  explicit SampleWithTime(REFERENCE_TIME start) : CMediaSample(nullptr, nullptr, 0) {
    REFERENCE_TIME stop = start + 1;
    SetTime(&start, &stop);
    AddRef();
  }
};

TEST_F(ChainTest, HookSitsOnFirstVideoElseLastAudioInput) {
  struct Case {
    const char* label;
    std::vector<TypeSpec> inputs;
    int hookedInput;  // -1: none
  };
  const std::vector<Case> cases = {
      {"video first of all", {Audio(kMp3), Video(kH264), Video(kH264)}, 1}, {"one audio input", {Audio(kMp3)}, 0},
      {"two audio inputs: the last", {Audio(kMp3), Audio(kMp3)}, 1},        {"no inputs", {}, -1},
      {"no video or audio input", {Other(MEDIATYPE_Text, GUID_NULL)}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RecordingGraph graph;
    std::vector<std::vector<TypeSpec>> pins;
    for (const TypeSpec& t : c.inputs) pins.push_back({t});
    FakeReader* reader = NewReader(pins);
    FakeWriter* writer = NewWriter();
    for (uint32_t i = 0; i < c.inputs.size(); ++i) ASSERT_EQ(S_OK, ConnectToWriterInput(graph, {reader, i}, writer));
    EXPECT_EQ(c.hookedInput >= 0, HookProgress(graph, writer, -1));
    for (uint32_t i = 0; i < graph.edges.size(); ++i) {
      SampleHook expected = nullptr;
      if (static_cast<int>(i) == c.hookedInput)
        expected = c.inputs[i].major == MEDIATYPE_Video ? VideoProgressHook : AudioProgressHook;
      EXPECT_EQ(expected, graph.edges[i].hook) << "input " << i;
    }
  }
}

TEST_F(ChainTest, HookWithoutConnectionGivesOne) {
  FakeWriter writer("WR", AcceptAny());
  AM_MEDIA_TYPE mt;
  FillType(Audio(kMp3), &mt);
  ASSERT_EQ(S_OK, writer.AddInputPin(&mt, 0));
  ClearMediaTypeFormat(&mt);
  EXPECT_FALSE(HookProgress(graph_, &writer, -1));
}

TEST_F(ChainTest, HooksWriteFramesAndPositionIntoTheControlBlock) {
  JobChannel* channel = OpenJobChannel("HWND_00C0FFEE_2");
  ASSERT_NE(nullptr, GetControlData(channel));
  SetCurrentJobChannel(channel);
  uint8_t* control = GetControlData(channel);
  ResetProgressFrameCounter();

  auto* first = new SampleWithTime(4'000'000);  // 400 ms
  VideoProgressHook(first);
  VideoProgressHook(nullptr);  // end of stream changes nothing
  EXPECT_EQ(1, BlockWord(control, ControlBlock::kFrames).load());
  EXPECT_EQ(400, BlockWord(control, ControlBlock::kPosition).load());

  auto* audio = new SampleWithTime(25'000'000);
  AudioProgressHook(audio);
  EXPECT_EQ(1, BlockWord(control, ControlBlock::kFrames).load());
  EXPECT_EQ(2500, BlockWord(control, ControlBlock::kPosition).load());

  // A sample without a time counts but leaves the position.
  auto* untimed = new CMediaSample(nullptr, nullptr, 0);
  untimed->AddRef();
  VideoProgressHook(untimed);
  EXPECT_EQ(2, BlockWord(control, ControlBlock::kFrames).load());
  EXPECT_EQ(2500, BlockWord(control, ControlBlock::kPosition).load());

  // Without a control block nothing is written and nothing breaks.
  SetCurrentJobChannel(nullptr);
  VideoProgressHook(first);
  EXPECT_EQ(2, BlockWord(control, ControlBlock::kFrames).load());

  first->Release();
  audio->Release();
  untimed->Release();
  CloseJobChannel(channel);
}

TEST(FrameDuration, FromRate) {
  EXPECT_EQ(400000, FrameDurationFromRate(1, 25));
  EXPECT_EQ(333666, FrameDurationFromRate(1001, 30000));
  EXPECT_EQ(0, FrameDurationFromRate(25, 0));
}

}  // namespace
