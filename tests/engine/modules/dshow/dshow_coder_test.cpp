// The coder module around test filters: opening and its refusals, type
// negotiation (NV12 seen as YV12, past the last type, tests that connect
// nothing), allocators, samples, seek markers, new segments and ends of
// stream through the private graph; the VP6 input's picture flip; the
// stand-in decoders decoding real Windows Media streams.
#include <gtest/gtest.h>

#include <thread>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/dshow/dshow_coder.h"
#include "engine/modules/dshow/dshow_file_source.h"
#include "engine/modules/dshow/dshow_reader.h"
#include "engine/modules/dshow/dshow_standins.h"
#include "engine/modules/dshow/dshow_support.h"
#include "platform/dshow/filter_graph.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/engine/modules/dshow/bridge_test_util.h"
#include "tests/engine/modules/dshow/echo_filter.h"
#include "tests/test_util/ffm_test_media.h"

using namespace dsbridge;
using namespace std::chrono_literals;

namespace {

const GUID kIn = FourccGuid(MakeFourcc('T', 'S', 'T', 'A'));
const GUID kOut = FourccGuid(MakeFourcc('T', 'S', 'T', 'B'));
const GUID kOther = FourccGuid(MakeFourcc('T', 'S', 'T', 'C'));

echo::Config Plain() {
  echo::Config c;
  c.inputs = {kIn};
  c.outputs = {kOut, kOther};
  return c;
}

// A coder over the echo filter; null when it refuses to open.
IMediaModule* MakeCoder(const echo::Config& config) {
  echo::Reset(config);
  CParamList params;
  params.SetPtr("FILTERFUNC", reinterpret_cast<void*>(&echo::Make));
  return CDShowCoder::Create(&params);
}

AM_MEDIA_TYPE TypeOf(const GUID& subtype, BYTE* block) { return echo::OutputType(subtype, block); }

// A coder connected both ways, its allocators set as the engine's graph sets them, running.
struct RunningCoder {
  IMediaModule* coder = nullptr;
  IMemAllocator* input = nullptr;
  IMemAllocator* output = MakeAllocator(2, 1 << 20);
  Recorder rec;

  explicit RunningCoder(const echo::Config& config, const GUID& outType = kOut) {
    coder = MakeCoder(config);
    if (!coder) return;
    BYTE block[sizeof(VIDEOINFOHEADER)];
    AM_MEDIA_TYPE in = TypeOf(kIn, block);
    EXPECT_EQ(S_OK, coder->SetInputType(0, &in, 0));
    AM_MEDIA_TYPE out = TypeOf(outType, block);
    EXPECT_EQ(S_OK, coder->SetOutputType(0, &out, 0));
    coder->SetOutputAllocator(0, output);
    coder->SetOutputCallback(0, &Recorder::Deliver, &rec);
    EXPECT_EQ(S_OK, coder->GetInputAllocator(0, &input));
    ALLOCATOR_PROPERTIES want{}, got{};
    EXPECT_EQ(S_OK, coder->GetAllocatorRequirements(0, &want));
    input->SetProperties(&want, &got);
    input->Commit();
    EXPECT_EQ(S_OK, coder->Run());
  }
  ~RunningCoder() {
    DiscardModule(coder);
    if (input) input->Release();
    output->Release();
  }
  // One sample into the coder (it takes the reference).
  HRESULT Push(LONG length, int fill, int64_t start, bool discontinuity = false) {
    IMediaSample* s = MakeSample(input, length, fill, start, start + 400000, discontinuity);
    return coder->Receive(0, s);
  }
};

}  // namespace

TEST(DShowCoder, OpenRefusesFiltersWithoutUsablePins) {
  struct Case {
    const char* what;
    echo::Config config;
  };
  echo::Config hidden = Plain();
  hidden.outName = u"~Out";
  echo::Config twoOutputs = Plain();
  twoOutputs.outputPins = 2;
  echo::Config noOutputs = Plain();
  noOutputs.outputPins = 0;
  for (const Case& c :
       {Case{"every output hidden", hidden}, Case{"two outputs", twoOutputs}, Case{"no output", noOutputs}}) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(nullptr, MakeCoder(c.config));
  }
  IMediaModule* ok = MakeCoder(Plain());
  EXPECT_NE(nullptr, ok);
  DiscardModule(ok);
}

TEST(DShowCoder, OpenRefusesDisplayNamesWithoutAFilter) {
  for (const char16_t* name :
       {u"", u"not a moniker", u"@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\vp62",
        u"@device:dmo:{00000000-0000-0000-0000-000000000000}{4A69B442-28BE-4991-969C-B500ADF5D8A8}"}) {
    CParamList params;
    params.SetWString("PARAM", name);
    EXPECT_EQ(nullptr, CDShowCoder::Create(&params)) << DsNarrow(name);
    EXPECT_EQ(nullptr, CVp6EncoderInput::Create(&params)) << DsNarrow(name);
  }
  CParamList none;
  EXPECT_EQ(nullptr, CDShowCoder::Create(&none));
}

TEST(DShowCoder, TypeNegotiationThroughThePins) {
  echo::Config config = Plain();
  config.outputs = {kOut, MEDIASUBTYPE_NV12};
  IMediaModule* coder = MakeCoder(config);
  ASSERT_NE(nullptr, coder);
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE in = TypeOf(kIn, block);
  AM_MEDIA_TYPE other = TypeOf(kOther, block);
  // Tests connect nothing; a refused type is refused by both modes.
  EXPECT_EQ(S_OK, coder->SetInputType(0, &in, 1));
  EXPECT_NE(S_OK, coder->SetInputType(0, &other, 1));
  EXPECT_NE(S_OK, coder->SetInputType(0, &other, 0));
  CDShowCoder* dc = static_cast<CDShowCoder*>(coder);
  EXPECT_FALSE(dc->PushPin()->IsConnected());
  AM_MEDIA_TYPE got;
  InitMediaType(&got);
  EXPECT_EQ(S_OK, coder->GetInputType(0, 0, &got));
  EXPECT_EQ(kIn, got.subtype);
  ASSERT_EQ(S_OK, coder->SetInputType(0, &in, 0));
  EXPECT_TRUE(dc->PushPin()->IsConnected());
  // Output types: the NV12 one is reported as YV12; past the last is 0x80040201.
  EXPECT_EQ(S_OK, coder->GetOutputType(0, 1, &got));
  EXPECT_EQ(MEDIASUBTYPE_YV12, got.subtype);
  EXPECT_EQ(MakeFourcc('Y', 'V', '1', '2'), reinterpret_cast<VIDEOINFOHEADER*>(got.pbFormat)->bmiHeader.biCompression);
  EXPECT_EQ(MakeHResult(0x80040201u), coder->GetOutputType(0, 2, &got));
  EXPECT_EQ(MakeHResult(0x80040201u), coder->GetOutputType(0, 3, &got));
  ClearMediaTypeFormat(&got);
  AM_MEDIA_TYPE out = TypeOf(kOut, block);
  EXPECT_EQ(S_OK, coder->SetOutputType(0, &out, 1));
  EXPECT_FALSE(dc->SinkPin()->IsConnected());
  EXPECT_EQ(S_OK, coder->SetOutputType(0, &out, 0));
  EXPECT_TRUE(dc->SinkPin()->IsConnected());
  // Any other mode takes the connection down on both sides, so it can be made again.
  EXPECT_EQ(S_OK, coder->SetInputType(0, &in, 2));
  EXPECT_FALSE(dc->PushPin()->IsConnected());
  EXPECT_EQ(S_OK, coder->SetInputType(0, &in, 0));
  EXPECT_EQ(E_NOTIMPL, coder->AddInputPin(&in, 0));
  DiscardModule(coder);
}

TEST(DShowCoder, AllocatorRequirementsComeFromTheFilterOrAWholePicture) {
  echo::Config config = Plain();
  for (bool requirements : {false, true}) {
    config.requirements = requirements;
    IMediaModule* coder = MakeCoder(config);
    ASSERT_NE(nullptr, coder);
    ALLOCATOR_PROPERTIES props{9, 9, 9, 9};
    EXPECT_EQ(S_OK, coder->GetAllocatorRequirements(0, &props));
    if (requirements) {
      EXPECT_EQ(3, props.cBuffers);
      EXPECT_EQ(4096, props.cbBuffer);
    } else {
      EXPECT_EQ(1, props.cBuffers);
      EXPECT_EQ(8294400, props.cbBuffer);
      EXPECT_EQ(32, props.cbAlign);
      EXPECT_EQ(0, props.cbPrefix);
    }
    // Screen codecs get whole pictures whatever the filter asks.
    BYTE block[sizeof(VIDEOINFOHEADER)];
    config.inputs = {kIn, FourccGuid(MakeFourcc('M', 'S', 'S', '2'))};
    echo::TheConfig() = config;
    AM_MEDIA_TYPE mss = TypeOf(FourccGuid(MakeFourcc('M', 'S', 'S', '2')), block);
    ASSERT_EQ(S_OK, coder->SetInputType(0, &mss, 0));
    EXPECT_EQ(S_OK, coder->GetAllocatorRequirements(0, &props));
    EXPECT_EQ(8294400, props.cbBuffer);
    config.inputs = {kIn};
    DiscardModule(coder);
  }
}

TEST(DShowCoder, SamplesEmptySamplesAndSeekMarkersThroughTheFilter) {
  RunningCoder c(Plain());
  ASSERT_NE(nullptr, c.coder);
  // The upstream module writes into the filter's own input buffers.
  EXPECT_EQ(S_OK, c.Push(10, 1, 0));
  EXPECT_EQ(S_OK, c.Push(0, 0, kSecond));  // empty, continuous: delivered to the filter
  ASSERT_EQ(2u, echo::TheLog().samples.size());
  EXPECT_EQ(0, echo::TheLog().samples[1].length);
  // An empty discontinuous sample is a seek marker: not delivered, the output side restarts.
  EXPECT_EQ(S_OK, c.Push(0, 0, 5 * kSecond, true));
  EXPECT_EQ(2u, echo::TheLog().samples.size());
  EXPECT_EQ(S_OK, c.Push(10, 3, 6 * kSecond));
  const std::vector<Item> items = c.rec.Items();
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ(1, items[0].firstByte);
  EXPECT_EQ(0, items[1].length);
  EXPECT_FALSE(items[1].discontinuity);
  EXPECT_EQ(0, items[2].length);  // the output's own marker, before the next picture
  EXPECT_TRUE(items[2].discontinuity);
  EXPECT_EQ(3, items[3].firstByte);
  EXPECT_EQ(6 * kSecond, items[3].start);  // offset 0: times as the filter gave them
}

TEST(DShowCoder, NewSegmentsAndEndsOfStreamPassThrough) {
  RunningCoder c(Plain());
  ASSERT_NE(nullptr, c.coder);
  NewSegmentRecord record;
  record.start = 3 * kSecond;
  record.stop = 9 * kSecond;
  EXPECT_EQ(S_OK, c.coder->Receive(0, reinterpret_cast<IMediaSample*>(&record)));
  EXPECT_EQ(S_OK, c.coder->Receive(0, BlankSample()));  // other blanks are ignored
  EXPECT_EQ(S_OK, c.Push(10, 4, 3 * kSecond));
  EXPECT_EQ(S_OK, c.coder->Receive(0, nullptr));
  EXPECT_EQ(std::vector<REFERENCE_TIME>{3 * kSecond}, echo::TheLog().segments);
  EXPECT_EQ(1, echo::TheLog().ends);
  const std::vector<Item> items = c.rec.Items();
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(Item::kSegment, items[0].kind);
  EXPECT_EQ(Item::kSample, items[1].kind);
  EXPECT_EQ(Item::kEnd, items[2].kind);
}

TEST(DShowCoder, AFilterThatSwallowsTheEndCannotStallTheStream) {
  echo::Config config = Plain();
  config.swallowSamples = true;
  config.swallowEnd = true;
  RunningCoder c(config);
  ASSERT_NE(nullptr, c.coder);
  static_cast<CDShowCoder*>(c.coder)->SetEndOfStreamWait(50);
  EXPECT_EQ(S_OK, c.Push(10, 1, 0));
  EXPECT_EQ(S_OK, c.coder->Receive(0, nullptr));
  const std::vector<Item> items = c.rec.Items();
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(Item::kEnd, items[0].kind);
}

TEST(DShowCoder, DisconnectWhileRunningIsRefusedAndStreamingGoesOn) {
  RunningCoder c(Plain());
  ASSERT_NE(nullptr, c.coder);
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE in = TypeOf(kIn, block);
  EXPECT_EQ(E_FAIL, c.coder->SetInputType(0, &in, 2));
  EXPECT_EQ(E_FAIL, c.coder->SetOutputType(0, &in, 2));
  EXPECT_TRUE(static_cast<CDShowCoder*>(c.coder)->PushPin()->IsConnected());
  EXPECT_EQ(S_OK, c.Push(10, 8, 0));
  ASSERT_EQ(1u, c.rec.Items().size());
  EXPECT_EQ(8, c.rec.Items()[0].firstByte);
}

TEST(Vp6EncoderInput, PicturesReachTheFilterBottomUpPlaneByPlane) {
  echo::Config config;
  config.inputs = {MEDIASUBTYPE_I420};
  config.outputs = {FourccGuid(MakeFourcc('V', 'P', '6', '2'))};
  config.swallowSamples = true;
  echo::Reset(config);
  CParamList params;
  params.SetPtr("FILTERFUNC", reinterpret_cast<void*>(&echo::Make));
  IMediaModule* coder = CVp6EncoderInput::Create(&params);
  ASSERT_NE(nullptr, coder);
  BYTE block[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE in = VideoType(MEDIASUBTYPE_I420, 320, 240, true, 115200, block);
  ASSERT_EQ(S_OK, coder->SetInputType(0, &in, 0));
  const FramePlanes& planes = static_cast<CVp6EncoderInput*>(coder)->Planes();
  EXPECT_EQ(240, planes.rows[0]);
  EXPECT_EQ(120, planes.rows[1]);
  EXPECT_EQ(120, planes.rows[2]);
  IMemAllocator* input = nullptr;
  ASSERT_EQ(S_OK, coder->GetInputAllocator(0, &input));
  ALLOCATOR_PROPERTIES want{}, got{};
  coder->GetAllocatorRequirements(0, &want);
  input->SetProperties(&want, &got);
  input->Commit();
  coder->Run();
  // Each row holds its number (and 100 + it in U, 200 + it in V... kept below 256).
  IMediaSample* s = nullptr;
  ASSERT_EQ(S_OK, input->GetBuffer(&s, nullptr, nullptr, 0));
  BYTE* p = nullptr;
  s->GetPointer(&p);
  for (int r = 0; r < 240; ++r) std::memset(p + r * 320, r, 320);
  for (int r = 0; r < 120; ++r) std::memset(p + 76800 + r * 160, r, 160);
  for (int r = 0; r < 120; ++r) std::memset(p + 96000 + r * 160, 120 + r, 160);
  s->SetActualDataLength(115200);
  coder->Receive(0, s);
  ASSERT_EQ(1u, echo::TheLog().samples.size());
  const std::vector<uint8_t>& b = echo::TheLog().samples[0].bytes;
  ASSERT_EQ(115200u, b.size());
  for (int r : {0, 1, 119, 120, 239}) EXPECT_EQ(239 - r, b[static_cast<size_t>(r * 320 + 5)]) << "Y row " << r;
  for (int r : {0, 59, 60, 119}) EXPECT_EQ(119 - r, b[76800 + static_cast<size_t>(r * 160)]) << "U row " << r;
  for (int r : {0, 119}) EXPECT_EQ(120 + 119 - r, b[96000 + static_cast<size_t>(r * 160)]) << "V row " << r;
  DiscardModule(coder);
  input->Release();
}

TEST(Vp6EncoderInput, FlipLeavesTheMiddleOfAnOddPlaneAndEmptyPlanesAlone) {
  uint8_t rows[5][4];
  for (int r = 0; r < 5; ++r) std::memset(rows[r], r, 4);
  FramePlanes planes{};
  planes.pitch[0] = 4;
  planes.rows[0] = 5;
  planes.pointer[0] = &rows[0][0];
  planes.pointer[1] = &rows[0][0];  // no pitch: untouched
  planes.rows[1] = 5;
  FlipPlanesInPlace(&planes);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(4 - r, rows[r][3]);
}

// ---------------------------------------------------------------------------
// The stand-ins over FFmpeg

namespace {

std::string WindowsMediaClip() {
  return ffmtest::MakeClip("dshow_wm.asf",
                           "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440:sample_rate=22050 "
                           "-t 2 -c:v wmv2 -c:a wmav2 -b:a 64k");
}

}  // namespace

TEST(DShowStandIns, RegistryNamesResolveToFilters) {
  for (const char16_t* name : {kWmvDecoderName, kWmaDecoderName, kAcelpDecoderName, kWmaVoiceDecoderName,
                               kMssDecoderName, kAsfReaderName, kFileSourceName, kVideoRendererName}) {
    Ref<IBaseFilter> f;
    EXPECT_TRUE(CreateFilterFromDisplayName(name, f.Out())) << DsNarrow(name);
    EXPECT_TRUE(f);
  }
}

TEST(DShowStandIns, RenderFileDecodesClipsToTheEnd) {
  ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
  EnsureStandInFilters();
  struct Case {
    std::string clip;
    const char16_t* decoder;  // the decoder graph building picks
  };
  const Case cases[] = {
      {WindowsMediaClip(), u"WMVideo Decoder DMO"},
      {ffmtest::MakeClip("dshow_general.mkv",
                         "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=sample_rate=22050 -t 2 "
                         "-c:v mpeg4 -c:a mp2"),
       u"FFmpeg Video Decoder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    ASSERT_FALSE(c.clip.empty());
    Ref<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CreateFilterGraph(graph.Out()));
    // No audio renderer is registered: the audio stream stays unrendered.
    EXPECT_EQ(VFW_S_PARTIAL_RENDER, graph->RenderFile(DsWide(c.clip.c_str()).c_str(), nullptr));
    Ref<IBaseFilter> decoder, renderer;
    EXPECT_EQ(S_OK, graph->FindFilterByName(c.decoder, decoder.Out()));
    ASSERT_EQ(S_OK, graph->FindFilterByName(u"Video Renderer", renderer.Out()));
    Ref<IMediaSeeking> seeking = QueryRef<IMediaSeeking>(graph.Get(), IID_IMediaSeeking);
    LONGLONG duration = 0;
    ASSERT_EQ(S_OK, seeking->GetDuration(&duration));
    EXPECT_NEAR(2.0, duration / 1e7, 0.1);
    ASSERT_EQ(S_OK, QueryRef<IMediaControl>(graph.Get(), IID_IMediaControl)->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, QueryRef<IMediaEvent>(graph.Get(), IID_IMediaEvent)->WaitForCompletion(20000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    EXPECT_EQ(50, static_cast<CNullVideoRenderer*>(renderer.Get())->SamplesRendered());
    QueryRef<IMediaControl>(graph.Get(), IID_IMediaControl)->Stop();
  }
}

TEST(DShowStandIns, FileSourceRefusesWhatItCannotRead) {
  ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
  const std::string dir = ffmtest::MediaDir();
  ffmtest::WriteFile(dir + "/garbage.wmv", std::vector<uint8_t>(4096, 0x5A));
  struct Case {
    std::string path;
    HRESULT want;
  };
  for (const Case& c : {Case{dir + "/missing.wmv", VFW_E_NOT_FOUND}, Case{dir, VFW_E_NOT_FOUND},
                        Case{dir + "/garbage.wmv", VFW_E_UNKNOWN_FILE_TYPE}}) {
    Ref<IBaseFilter> f;
    ASSERT_TRUE(CreateFilterFromDisplayName(kAsfReaderName, f.Out()));
    Ref<IFileSourceFilter> load = QueryRef<IFileSourceFilter>(f.Get(), IID_IFileSourceFilter);
    EXPECT_EQ(c.want, load->Load(DsWide(c.path.c_str()).c_str(), nullptr)) << c.path;
  }
}

TEST(DShowStandIns, WindowsMediaDecodersRunInsideTheCoderModule) {
  ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
  const std::string clip = WindowsMediaClip();
  ASSERT_FALSE(clip.empty());
  // The ASF reader's map gives the compressed streams; each goes through a
  // coder over the registry's display name, as a conversion builds it.
  CParamList readerParams;
  readerParams.SetPtr("MAPFUNC", reinterpret_cast<void*>(&CreateFilterSourceMap));
  readerParams.SetWString("PARAM", kAsfReaderName);
  IMediaModule* reader = CDShowReader::Create(&readerParams);
  ASSERT_NE(nullptr, reader);
  ASSERT_EQ(S_OK, QueryAsReader(reader)->OpenFile(clip.c_str(), 0, 0));
  ASSERT_EQ(2u, reader->GetOutputPinCount());
  int64_t duration = 0;
  EXPECT_EQ(S_OK, QueryAsReader(reader)->GetInfo(&duration, nullptr));
  EXPECT_NEAR(2.0, duration / 1e7, 0.1);

  struct Stream {
    IMediaModule* coder = nullptr;
    IMemAllocator* output = nullptr;
    bool audio = false;
    Recorder rec;
  } streams[2];
  for (uint32_t pin = 0; pin < 2; ++pin) {
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    ASSERT_EQ(S_OK, reader->GetOutputType(pin, 0, &mt));
    const bool audio = mt.majortype == MEDIATYPE_Audio;
    CParamList params;
    params.SetWString("PARAM", audio ? kWmaDecoderName : kWmvDecoderName);
    Stream& s = streams[pin];
    s.audio = audio;
    s.coder = CDShowCoder::Create(&params);
    ASSERT_NE(nullptr, s.coder);
    ASSERT_EQ(S_OK, reader->SetOutputType(pin, &mt, 0));
    ASSERT_EQ(S_OK, s.coder->SetInputType(0, &mt, 0));
    ClearMediaTypeFormat(&mt);
    ASSERT_EQ(S_OK, s.coder->GetOutputType(0, 0, &mt));
    EXPECT_EQ(audio ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_YV12, mt.subtype);
    ASSERT_EQ(S_OK, s.coder->SetOutputType(0, &mt, 0));
    ClearMediaTypeFormat(&mt);
    s.output = MakeAllocator(2, 1 << 20);
    s.coder->SetOutputAllocator(0, s.output);
    s.coder->SetOutputCallback(0, &Recorder::Deliver, &s.rec);
    IMemAllocator* in = nullptr;
    ASSERT_EQ(S_OK, s.coder->GetInputAllocator(0, &in));
    ALLOCATOR_PROPERTIES want{}, got{};
    s.coder->GetAllocatorRequirements(0, &want);
    in->SetProperties(&want, &got);
    in->Commit();
    reader->SetOutputAllocator(pin, in);
    in->Release();
    // The reader delivers straight into the coder.
    reader->SetOutputCallback(
        pin, [](IMediaSample* item, void* ctx) { return static_cast<IMediaModule*>(ctx)->Receive(0, item); }, s.coder);
    s.coder->Run();
  }
  reader->Run();
  for (Stream& s : streams) {
    for (int i = 0; i < 400 && s.rec.Count(Item::kEnd) == 0; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(1u, s.rec.Count(Item::kEnd));
  }
  // 50 pictures of 176 x 144 and the end; 2 s of 16-bit mono audio at 22,050 Hz, within a frame.
  const Stream& videoStream = streams[0].audio ? streams[1] : streams[0];
  const Stream& audioStream = streams[0].audio ? streams[0] : streams[1];
  ASSERT_FALSE(videoStream.audio);
  ASSERT_TRUE(audioStream.audio);
  const std::vector<Item> video = const_cast<Recorder&>(videoStream.rec).Items();
  EXPECT_EQ(51u, video.size());
  EXPECT_EQ(176 * 144 * 3 / 2, video.front().length);
  int64_t pcm = 0;
  for (const Item& i : const_cast<Recorder&>(audioStream.rec).Items()) pcm += i.length;
  EXPECT_NEAR(2.0, pcm / 2.0 / 22050, 0.1);
  reader->Close();
  reader->Release();
  for (Stream& s : streams) {
    DiscardModule(s.coder);
    s.output->Release();
  }
}
