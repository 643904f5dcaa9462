// The DVD reader over the fixture discs: pins from the job's stream descriptors,
// packet counts against ffprobe over the title's program stream (dvdcat), chapter
// ranges, start cut, seeks after the end, read failures and discs that cannot be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/dvd/dvd_reader.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/stream_descriptions.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/reader_test_util.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t kSecond = 10000000;

std::string Url(int title, int first, int last, const std::string& disc) {
  return "dvd:" + std::to_string(title) + "," + std::to_string(first) + "," + std::to_string(last) + "," + disc;
}

// Descriptor texts as the front end writes them.
std::string VideoDesc() {
  return "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(MakeFourcc("MPG2")) +
         ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0";
}
std::string AudioDesc(int id, const char (&vfcc)[5]) {
  return "\"TYPE\"=1,\"STREAMID\"=" + std::to_string(id) + ",\"VFCC\"=" + std::to_string(MakeFourcc(vfcc)) +
         ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";
}
std::string SubDesc(int id) {
  return "\"TYPE\"=2,\"STREAMID\"=" + std::to_string(id) + ",\"VFCC\"=" + std::to_string(MakeFourcc("DVDS"));
}

// Packets per demuxer stream id ("0x1e0") as ffprobe counts them in the title's
// program stream written by dvdcat.
// Lines of a command's standard output.
std::vector<std::string> CommandLines(const std::string& cmd) {
  std::vector<std::string> lines;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return lines;
  char line[256];
  while (std::fgets(line, sizeof line, p)) lines.emplace_back(line);
  pclose(p);
  return lines;
}

// Packets per stream id of what dvdcat reads for the URL, as the reader delivers them: the range
// begins with its first key picture, so sound packets that end before it are not counted.
std::map<std::string, int> ProbeTitle(const std::string& url) {
  static int n = 0;
  const std::string dump = std::string(TRIVOX_BINARY_DIR) + "/dvd_reader_probe_" + std::to_string(++n) + ".mpg";
  const std::string cat = std::string("'") + TRIVOX_STAGE_DIR + "/dvdcat' '" + url + "' > '" + dump + "' 2>/dev/null";
  std::map<std::string, int> counts;
  if (std::system(cat.c_str()) != 0) return counts;
  std::map<int, std::string> ids;  // stream index to id
  for (const std::string& line :
       CommandLines("ffprobe -v error -show_entries stream=index,id -of csv=p=0 '" + dump + "' 2>/dev/null")) {
    int index = 0;
    char id[64];
    if (std::sscanf(line.c_str(), "%d,%63[^,\n]", &index, id) == 2) ids[index] = id;
  }
  struct Packet {
    std::string type;
    int index;
    long long pts, duration;  // -1 when none
  };
  std::vector<Packet> packets;
  long long firstPicture = -1;  // the first video packet's: the key picture the range begins with
  for (const std::string& line : CommandLines("ffprobe -v error -show_entries packet=codec_type,stream_index,pts,"
                                              "duration -of csv=p=0 '" +
                                              dump + "' 2>/dev/null")) {
    char type[32];
    int index = 0;
    char pts[32] = "";
    char duration[32] = "";
    if (std::sscanf(line.c_str(), "%31[^,],%d,%31[^,\n],%31[^,\n]", type, &index, pts, duration) < 2) continue;
    const auto number = [](const char* t) { return t[0] >= '0' && t[0] <= '9' ? std::atoll(t) : -1; };
    packets.push_back({type, index, number(pts), number(duration)});
    if (std::string(type) == "video" && firstPicture < 0) firstPicture = number(pts);
  }
  for (const Packet& p : packets) {
    if (p.type == "audio" && p.pts >= 0 && p.pts + std::max(p.duration, 0LL) <= firstPicture) continue;
    if (ids.count(p.index)) ++counts[ids[p.index]];
  }
  std::filesystem::remove(dump);
  return counts;
}

// Descriptor texts per source path, as a job carries them.
std::map<std::string, std::vector<std::string>>& Described() {
  static std::map<std::string, std::vector<std::string>> described;
  return described;
}

// One reader with every output enabled and collected.
struct Wired {
  CDvdReader* reader = nullptr;
  std::unique_ptr<SampleCollector> collector;
  std::vector<IMemAllocator*> allocators;

  ~Wired() {
    if (reader) {
      reader->Close();
      reader->Release();  // the creator's reference
    }
    for (IMemAllocator* a : allocators) a->Release();
  }
  // Opens the source as the job runner does: its stream descriptions first.
  HRESULT Open(const std::string& url, int32_t start = 0, int32_t end = 0) {
    reader = static_cast<CDvdReader*>(CDvdReader::Create(nullptr));
    IStreamDescriptions* described = QueryStreamDescriptions(reader);
    if (!described) return E_NOINTERFACE;
    std::vector<const char*> texts;
    for (const std::string& text : Described()[url]) texts.push_back(text.c_str());
    HRESULT hr = described->SetStreamDescriptions(texts.data(), static_cast<int32_t>(texts.size()));
    if (hr != S_OK) return hr;
    hr = reader->OpenFile(url.c_str(), start, end);
    if (hr != S_OK) return hr;
    collector = WireAllOutputs(reader, allocators);
    return S_OK;
  }
  int Packets(uint32_t pin) {
    int n = 0;
    for (const ReceivedSample& r : collector->Got(pin)) n += !r.Marker();
    return n;
  }
};

GUID MajorType(IMediaModule* module, uint32_t pin) {
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  GUID major{};
  if (module->GetOutputType(pin, 0, &mt) == S_OK) major = mt.majortype;
  ClearMediaTypeFormat(&mt);
  return major;
}

class DvdReader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    Described().clear();
    ClearSourceReadFailure();
  }

  // The job's descriptor texts for a source path.
  void Describe(const std::string& path, const std::vector<std::string>& descs) { Described()[path] = descs; }
};

TEST(DvdReaderDescriptor, StreamsFromDescriptorTexts) {
  struct Case {
    std::string text;
    int32_t type;
    const char* codec;
    int32_t id, scanId;
    FFRational rate;
  } cases[] = {
      {VideoDesc(), CODEC_TYPE_VIDEO, "mpeg2video", 0x1E0, 224, {25, 1}},
      {"\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(MakeFourcc("MPG1")) + ",\"FRAMERATE\"=F29.97",
       CODEC_TYPE_VIDEO,
       "mpeg1video",
       0x1E0,
       224,
       {2997, 100}},
      {AudioDesc(0x80, "AC3A"), CODEC_TYPE_AUDIO, "ac3", 0x80, 0x80, {0, 1}},
      {AudioDesc(0x88, "DTSA"), CODEC_TYPE_AUDIO, "dts", 0x88, 0x88, {0, 1}},
      {AudioDesc(0xC1, "MP2A"), CODEC_TYPE_AUDIO, "mp2", 0x1C1, 0xC1, {0, 1}},
      {AudioDesc(0xA0, "DPCM"), CODEC_TYPE_AUDIO, "pcm_dvd", 0xA0, 0xA0, {0, 1}},
      {AudioDesc(0x80, "XXXX"), CODEC_TYPE_AUDIO, "none", 0x80, 0x80, {0, 1}},  // left to the parser
      {SubDesc(0x21), CODEC_TYPE_SUBTITLE, "dvd_subtitle", 0x21, 0x21, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CParamList keys;
    keys.ParseText(c.text.c_str());
    int32_t scanId = 0;
    const FFStreamDesc desc = CDvdReader::StreamFromDescriptor(keys, &scanId);
    EXPECT_EQ(desc.codec.codec_type, c.type);
    EXPECT_STREQ(CodecName(desc.codec.codec_id), c.codec);
    EXPECT_EQ(desc.id, c.id);
    EXPECT_EQ(scanId, c.scanId);
    EXPECT_EQ(desc.frameRate.num, c.rate.num);
    EXPECT_EQ(desc.frameRate.den, c.rate.den);
    if (c.type == CODEC_TYPE_VIDEO) {
      EXPECT_EQ(desc.codec.pix_fmt, PixelFormatByName("yuv420p"));
      EXPECT_NE(desc.codec.pix_fmt, -1);
      EXPECT_EQ(desc.codec.width, c.text.find("WIDTH") != std::string::npos ? 720 : 0);
    }
    if (c.type == CODEC_TYPE_AUDIO) {
      EXPECT_EQ(desc.codec.channels, 2);
      EXPECT_EQ(desc.codec.sample_rate, 48000);
    }
  }
  EXPECT_EQ(CodecIdByName("no such codec"), kCodecIdNone);
  EXPECT_EQ(PixelFormatByName("no such format"), -1);
  const FFRational none = RationalFromDouble(std::nan(""), 100000);
  EXPECT_EQ(none.num, 0);
  EXPECT_EQ(none.den, 1);
}

TEST(DvdReaderDescriptor, DescriptionsComeThroughTheirInterface) {
  IMediaModule* module = CDvdReader::Create(nullptr);
  ASSERT_NE(module, nullptr);
  module->AddRef();
  const LONG refs = module->Release();
  IStreamDescriptions* described = QueryStreamDescriptions(module);
  ASSERT_NE(described, nullptr);
  module->AddRef();
  EXPECT_EQ(module->Release(), refs);  // the query kept the count
  const char* texts[] = {"\"TYPE\"=0"};
  EXPECT_EQ(described->SetStreamDescriptions(nullptr, 1), E_INVALIDARG);
  EXPECT_EQ(described->SetStreamDescriptions(texts, -1), E_INVALIDARG);
  EXPECT_EQ(described->SetStreamDescriptions(texts, 1), S_OK);
  EXPECT_EQ(described->SetStreamDescriptions(nullptr, 0), S_OK);
  module->Close();
  module->Release();
}

TEST_F(DvdReader, PinsFollowTheDescriptorsAndCarryEveryPacketOfTheirStream) {
  const std::string url = Url(1, 1, 3, DvdFixture("basic"));
  const auto expected = ProbeTitle(url);
  ASSERT_EQ(expected.count("0x1e0"), 1u) << "dvdcat or ffprobe failed";
  // Descriptor order, not the demuxer's: MPEG audio, video, AC-3, the second subpicture.
  Describe(url, {AudioDesc(0xC0, "MP2A"), VideoDesc(), AudioDesc(0x80, "AC3A"), SubDesc(0x21)});
  Wired w;
  ASSERT_EQ(w.Open(url), S_OK);
  ASSERT_EQ(w.reader->GetOutputPinCount(), 4u);
  EXPECT_EQ(MajorType(w.reader, 0), MEDIATYPE_Audio);
  EXPECT_EQ(MajorType(w.reader, 1), MEDIATYPE_Video);
  EXPECT_EQ(MajorType(w.reader, 2), MEDIATYPE_Audio);
  EXPECT_EQ(MajorType(w.reader, 3), MEDIATYPE_Subtitle);
  StreamInfo info{};
  ASSERT_EQ(w.reader->GetStreamInfo(2, &info), S_OK);
  EXPECT_EQ(info.streamId, 0x80);
  ASSERT_EQ(w.reader->GetStreamInfo(1, &info), S_OK);
  EXPECT_EQ(info.streamId, 0);  // 0x1E0 is not below 255
  int64_t duration = 0;
  ASSERT_EQ(w.reader->GetInfo(&duration, nullptr), S_OK);
  EXPECT_EQ(duration, 6 * kSecond);

  ASSERT_EQ(w.reader->Run(), S_OK);
  ASSERT_TRUE(w.collector->WaitEnded(30s));
  const char* ids[] = {"0x1c0", "0x1e0", "0x80", "0x21"};
  for (uint32_t pin = 0; pin < 4; ++pin) {
    EXPECT_EQ(w.Packets(pin), expected.at(ids[pin])) << ids[pin];
    EXPECT_EQ(w.collector->Ended(pin), 1);
  }
  const auto video = w.collector->Got(1);
  ASSERT_FALSE(video.empty());
  EXPECT_TRUE(video.front().sync);
  int64_t first = INT64_MAX, last = INT64_MIN;
  for (const ReceivedSample& r : video) {
    if (!r.timed) continue;
    first = std::min(first, r.start);
    last = std::max(last, r.start);
  }
  EXPECT_LT(std::llabs(first), kSecond / 2);  // times start at the title's start
  EXPECT_GT(last, 5 * kSecond + kSecond / 2);
  EXPECT_LT(last, 6 * kSecond + kSecond / 4);
  EXPECT_FALSE(SourceReadFailed());
}

TEST_F(DvdReader, WithoutDescriptorsThePinsAreTheProbedStreams) {
  const std::string url = Url(1, 1, 3, DvdFixture("basic"));
  Wired w;
  ASSERT_EQ(w.Open(url), S_OK);
  // Video, AC-3, MPEG audio and two subpictures; the navigation packets are no pin.
  ASSERT_EQ(w.reader->GetOutputPinCount(), 5u);
  int video = 0, audio = 0, sub = 0;
  for (uint32_t pin = 0; pin < 5; ++pin) {
    const GUID major = MajorType(w.reader, pin);
    video += major == MEDIATYPE_Video;
    audio += major == MEDIATYPE_Audio;
    sub += major == MEDIATYPE_Subtitle;
  }
  EXPECT_EQ(video, 1);
  EXPECT_EQ(audio, 2);
  EXPECT_EQ(sub, 2);
}

TEST_F(DvdReader, ADescribedStreamTheTitleLacksKeepsItsPinAndTheEndStillComes) {
  const std::string url = Url(1, 1, 3, DvdFixture("basic"));
  Describe(url, {VideoDesc(), SubDesc(0x25), AudioDesc(0x80, "AC3A")});
  Wired w;
  ASSERT_EQ(w.Open(url), S_OK);
  ASSERT_EQ(w.reader->GetOutputPinCount(), 3u);
  EXPECT_EQ(MajorType(w.reader, 1), MEDIATYPE_Subtitle);
  // The described pin refuses a missing out-parameter as a failure.
  EXPECT_EQ(w.reader->GetOutputType(1, 0, nullptr), E_POINTER);
  EXPECT_EQ(w.reader->GetStreamInfo(1, nullptr), E_POINTER);
  ASSERT_EQ(w.reader->Run(), S_OK);
  ASSERT_TRUE(w.collector->WaitEnded(30s));
  EXPECT_EQ(w.Packets(1), 0);
  EXPECT_GT(w.Packets(0), 100);
  EXPECT_GT(w.Packets(2), 100);
}

TEST_F(DvdReader, ChapterRangeAndStartCut) {
  struct Case {
    int first, last, start, end;
    int64_t duration;  // GetInfo: the chapter range
    double seconds;    // of video delivered
  };
  // Title 1 chapters: 1.84 s, 1.92 s, 2.24 s.
  const Case cases[] = {
      {2, 3, 0, 0, 41600000, 4.16}, {1, 1, 0, 0, 18400000, 1.84},
      {1, 3, 2, 0, 60000000, 4.0},  {1, 3, 1, 3, 60000000, 2.0},  // start and end cut
      {5, 9, 0, 0, 60000000, 6.0},                                // past the chapter list: the whole title
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + "-" + std::to_string(c.last) + " from " + std::to_string(c.start) + " to " +
                 std::to_string(c.end));
    const std::string url = Url(1, c.first, c.last, DvdFixture("basic"));
    Describe(url, {VideoDesc(), AudioDesc(0x80, "AC3A")});
    Wired w;
    ASSERT_EQ(w.Open(url, c.start, c.end), S_OK);
    int64_t duration = 0;
    w.reader->GetInfo(&duration, nullptr);
    EXPECT_EQ(duration, c.duration);
    ASSERT_EQ(w.reader->Run(), S_OK);
    ASSERT_TRUE(w.collector->WaitEnded(30s));
    // 25 frames a second; a cut lands on a VOBU (half a second at most).
    EXPECT_NEAR(w.Packets(0), c.seconds * 25, c.start ? 13 : 2);
    const auto video = w.collector->Got(0);
    ASSERT_FALSE(video.empty());
    ASSERT_TRUE(video.front().timed);
    EXPECT_LT(std::llabs(video.front().start), kSecond / 2);
  }
}

TEST_F(DvdReader, SeekAfterTheEndReopensTheSourceAndLandsNearTheTarget) {
  // A second "dvd:" source plays at the same time and is not disturbed.
  const std::string url = Url(1, 1, 3, DvdFixture("basic"));
  const std::string other = Url(2, 1, 2, DvdFixture("basic"));
  const auto expectedOther = ProbeTitle(other);
  ASSERT_EQ(expectedOther.count("0x1e0"), 1u);
  Describe(url, {VideoDesc(), AudioDesc(0x80, "AC3A")});
  Describe(other, {VideoDesc(), AudioDesc(0xC0, "MP2A")});
  Wired w, o;
  ASSERT_EQ(w.Open(url), S_OK);
  ASSERT_EQ(o.Open(other), S_OK);
  std::atomic<int> markers{0};
  w.collector->OnMarker([&] {
    if (++markers == 2) SignalReaderSeekDone();
  });
  w.collector->SetGate(false);  // the reader reads the title and waits
  ASSERT_EQ(w.reader->Run(), S_OK);
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(w.collector->Ended(0), 0);
  ASSERT_EQ(w.reader->Seek(static_cast<uint32_t>(3 * kSecond), 0, 0), S_OK);
  ASSERT_EQ(o.reader->Run(), S_OK);
  std::this_thread::sleep_for(300ms);
  w.collector->SetGate(true);
  ASSERT_TRUE(w.collector->WaitEnded(30s));
  ASSERT_TRUE(o.collector->WaitEnded(30s));

  auto video = w.collector->Got(0);
  size_t at = 0;
  while (at < video.size() && !video[at].Marker()) ++at;
  ASSERT_LT(at, video.size()) << "no seek marker";
  int after = 0;
  int64_t first = INT64_MAX;
  for (size_t i = at + 1; i < video.size(); ++i) {
    ++after;
    if (video[i].timed) first = std::min(first, video[i].start);
  }
  EXPECT_NEAR(after, 75, 13);  // the second half of the title
  // Times restart from the pack clock where the seek landed: at the target, plus
  // the mux delay between pack clock and decode time (under a second).
  EXPECT_GE(first, 3 * kSecond - kSecond / 2);
  EXPECT_LT(first, 4 * kSecond);
  EXPECT_EQ(o.Packets(0), expectedOther.at("0x1e0"));
  EXPECT_EQ(o.Packets(1), expectedOther.at("0x1c0"));
}

TEST_F(DvdReader, TruncatedVobEndsTheSourceAsAFailure) {
  // Title 1 lies in the cut VOB; title 4 (another title set) reads whole.
  const std::string broken = Url(1, 1, 3, DvdFixture("broken/trunc"));
  Describe(broken, {VideoDesc(), AudioDesc(0x80, "AC3A")});
  {
    Wired w;
    ASSERT_EQ(w.Open(broken), S_OK);
    ASSERT_EQ(w.reader->Run(), S_OK);
    ASSERT_TRUE(w.collector->WaitEnded(30s));
    EXPECT_GT(w.Packets(0), 0);
    EXPECT_LT(w.Packets(0), 150);
    EXPECT_TRUE(SourceReadFailed());
  }
  ClearSourceReadFailure();
  Wired whole;
  ASSERT_EQ(whole.Open(Url(4, 1, 2, DvdFixture("broken/trunc"))), S_OK);
  ASSERT_EQ(whole.reader->Run(), S_OK);
  ASSERT_TRUE(whole.collector->WaitEnded(30s));
  EXPECT_GT(whole.Packets(0), 0);
  EXPECT_FALSE(SourceReadFailed());
}

TEST_F(DvdReader, StampsKeepTheTitleTimeOverASkippedSpan) {
  // A copy of the long disc with 1.5-2 s of cell 2 garbled: more than the clock jump the reader
  // would otherwise close up, less than the rest of the title.
  const std::string disc = std::string(TRIVOX_BINARY_DIR) + "/tests/dvd_reader_span";
  std::filesystem::remove_all(disc);
  std::filesystem::copy(DvdFixture("long"), disc, std::filesystem::copy_options::recursive);
  {
    std::FILE* vob = std::fopen((disc + "/VIDEO_TS/VTS_01_1.VOB").c_str(), "r+b");
    ASSERT_NE(vob, nullptr);
    std::fseek(vob, 480L * 2048, SEEK_SET);
    for (int i = 0; i < 100 * 2048; ++i) std::fputc((i * 131) >> 4 & 0xFF, vob);
    std::fclose(vob);
  }
  const std::string url = Url(1, 1, 4, disc);
  Describe(url, {VideoDesc(), AudioDesc(0x80, "AC3A")});
  Wired w;
  ASSERT_EQ(w.Open(url), S_OK);
  ASSERT_EQ(w.reader->Run(), S_OK);
  ASSERT_TRUE(w.collector->WaitEnded(30s));
  for (uint32_t pin = 0; pin < 2; ++pin) {
    SCOPED_TRACE(pin);
    std::vector<int64_t> times;
    for (const ReceivedSample& r : w.collector->Got(pin))
      if (!r.Marker() && r.timed) times.push_back(r.start);
    std::sort(times.begin(), times.end());
    ASSERT_GT(times.size(), 100u);
    int64_t gap = 0;
    for (size_t i = 1; i < times.size(); ++i) gap = std::max(gap, times[i] - times[i - 1]);
    EXPECT_GT(gap, 12 * kSecond / 10);  // the span stays in the timeline...
    EXPECT_LT(gap, 3 * kSecond);
    EXPECT_GT(times.back(), 23 * kSecond);  // ...so the title still ends at 24 s
    EXPECT_LT(times.back(), 25 * kSecond);
  }
  EXPECT_TRUE(SourceReadFailed());  // more than 5 % of the range lost
}

TEST_F(DvdReader, DiscThatCannotBeOpenedIsRefused) {
  const std::string cases[] = {
      Url(1, 1, 1, DvdFixture("no-such-disc")),
      Url(1, 1, 1, DvdFixture("broken/empty")),
      Url(9, 1, 1, DvdFixture("basic")),  // no title 9
      Url(1, 3, 1, DvdFixture("basic")),  // first chapter above the last
      "dvd:",
  };
  for (const std::string& url : cases) {
    SCOPED_TRACE(url);
    Wired w;
    EXPECT_EQ(w.Open(url), FFM_E_CANNOT_OPEN);
    EXPECT_EQ(w.reader->GetOutputPinCount(), 0u);
    EXPECT_EQ(w.reader->Run(), S_OK);  // nothing to run
  }
}

}  // namespace
