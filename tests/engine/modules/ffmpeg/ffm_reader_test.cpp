#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/codec_tables.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/reader_test_util.h"

namespace {

using namespace std::chrono_literals;

std::string Media(const char* name) { return std::string(TRIVOX_BINARY_DIR) + "/fixtures/media/" + name; }

// Packets per stream index as ffprobe counts them; empty when ffprobe fails.
std::map<int, int> ProbeCounts(const std::string& path) {
  std::map<int, int> counts;
  std::string cmd = "ffprobe -v error -count_packets -show_entries stream=index,nb_read_packets -of csv=p=0 '" + path +
                    "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return counts;
  char line[256];
  while (std::fgets(line, sizeof(line), p)) {
    int index = 0;
    int n = 0;
    if (std::sscanf(line, "%d,%d", &index, &n) == 2) counts[index] = n;
  }
  pclose(p);
  return counts;
}

class FfmReader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }

  void TearDown() override {
    if (reader_) {
      reader_->Close();
      reader_->Release();
    }
    for (IMemAllocator* a : allocators_) a->Release();
  }

  // A reader opened on the file; every output enabled and given an allocator and the collector.
  // The variant follows the tag of the registry row that reads the file ("FLAC", "264").
  HRESULT OpenAndWire(const char* name, int32_t start = 0, int32_t end = 0, const std::string& tag = "") {
    reader_ = static_cast<CFFMReader*>(CFFMReader::Create(nullptr));
    reader_->SetVariant(tag == "FLAC"  ? FFReaderVariant::kFlac
                        : tag == "264" ? FFReaderVariant::kRawH264
                                       : FFReaderVariant::kPlain);
    HRESULT hr = reader_->OpenFile(Media(name).c_str(), start, end);
    if (hr != S_OK) return hr;
    collector_ = WireAllOutputs(reader_, allocators_, name);
    return S_OK;
  }

  CFFMReader* reader_ = nullptr;
  std::unique_ptr<SampleCollector> collector_;
  std::vector<IMemAllocator*> allocators_;
};

TEST_F(FfmReader, PacketCountsPerStreamEqualFfprobe) {
  // File and the tag of the registry row that reads it.
  const std::pair<const char*, const char*> files[] = {{"mpeg4_mp3.avi", "AVI"},
                                                       {"h264_aac.mp4", "MP4"},
                                                       {"mpeg2_mp2.ts", "TS"},
                                                       {"mpeg2_ac3.mpg", "MPEG2"},
                                                       {"raw.h264", "264"},
                                                       {"aac_adts.aac", "AAC"},
                                                       {"audio.mp3", "MP3"},
                                                       {"audio.flac", "FLAC"},
                                                       {"wmv2_wmav2.wmv", "ASF"},
                                                       {"pcm_44100_stereo.wav", "WAV"},
                                                       {"odd_175x143.avi", "AVI"},
                                                       {"late_audio.mkv", ""},
                                                       {"long_mpeg4_mp3.avi", "AVI"},
                                                       {"trunc_mpeg2_mp2.ts", "TS"},
                                                       {"trunc_mpeg4_mp3.avi", "AVI"},
                                                       {"flipped_mpeg2_mp2.ts", "TS"},
                                                       {"flipped_mpeg4_mp3.avi", "AVI"},
                                                       {"flipped_h264_aac.mp4", "MP4"}};
  for (const auto& [name, tag] : files) {
    SCOPED_TRACE(name);
    const auto expected = ProbeCounts(Media(name));
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(OpenAndWire(name, 0, 0, tag), S_OK);
    const uint32_t pins = reader_->GetOutputPinCount();
    ASSERT_EQ(pins, expected.size());
    ASSERT_EQ(reader_->Run(), S_OK);
    ASSERT_TRUE(collector_->WaitEnded(60s));
    for (uint32_t i = 0; i < pins; ++i) {
      const int stream = reader_->OutputStream(i);
      EXPECT_EQ(static_cast<int>(collector_->Got(i).size()), expected.at(stream)) << "stream " << stream;
      EXPECT_EQ(collector_->Ended(i), 1);
    }
    EXPECT_EQ(collector_->LateSamples(), 0);
    reader_->Close();
    reader_->Release();
    reader_ = nullptr;
    for (IMemAllocator* a : allocators_) a->Release();
    allocators_.clear();
  }
}

TEST_F(FfmReader, TimesAndDecodeTimesTravelWithThePackets) {
  ASSERT_EQ(OpenAndWire("h264_aac.mp4"), S_OK);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  auto video = collector_->Got(0);
  ASSERT_FALSE(video.empty());
  EXPECT_TRUE(video[0].sync);
  bool reordered = false;
  for (size_t i = 0; i < video.size(); ++i) {
    ASSERT_TRUE(video[i].hasDecode);
    if (i > 0) {
      EXPECT_GT(video[i].decode, video[i - 1].decode);  // decode order
    }
    if (video[i].timed && video[i].start != video[i].decode) reordered = true;
  }
  EXPECT_TRUE(reordered);  // B-frames: presentation and decode times differ
}

TEST_F(FfmReader, StartCutPreSeeksAndDropsEarlyPackets) {
  ASSERT_EQ(OpenAndWire("long_mpeg4_mp3.avi", 5, 6), S_OK);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  for (uint32_t pin = 0; pin < 2; ++pin) {
    auto got = collector_->Got(pin);
    ASSERT_FALSE(got.empty()) << pin;
    // The video decodes from the key frame before the cut: those pictures come first, as preroll
    // with their times before the start.
    size_t first = 0;
    while (first < got.size() && got[first].preroll) {
      EXPECT_TRUE(got[first].timed);
      EXPECT_LT(got[first].start, 0);
      ++first;
    }
    if (pin == 0 && first > 0) {
      EXPECT_TRUE(got[0].sync);
    }
    if (pin == 1) {
      EXPECT_EQ(first, 0u);  // audio is cut where it is
    }
    ASSERT_LT(first, got.size()) << pin;
    ASSERT_TRUE(got[first].timed);
    EXPECT_GE(got[first].start, 0) << pin;
    EXPECT_LT(got[first].start, 300000) << pin;  // within one audio frame of the cut
    for (size_t i = first; i < got.size(); ++i) {
      if (!got[i].timed || got[i].preroll) continue;
      EXPECT_GE(got[i].start, 0);
      EXPECT_LE(got[i].start, 10000000);  // up to the end cut (6 s - 5 s)
    }
    // About one second of packets: the cut, not the whole file.
    const size_t cut = got.size() - first;
    EXPECT_LT(cut, pin == 0 ? 30u : 45u);
    EXPECT_GT(cut, pin == 0 ? 20u : 35u);
  }
}

TEST_F(FfmReader, ContainerStartOffsetIsRemoved) {
  ASSERT_EQ(OpenAndWire("mpeg2_mp2.ts"), S_OK);  // MPEG-TS starts at 1.4 s
  EXPECT_GT(reader_->TimeOffset(), 10000000);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  auto audio = collector_->Got(1);
  ASSERT_FALSE(audio.empty());
  EXPECT_LT(std::llabs(audio[0].start), 500000);
  reader_->Close();
  reader_->Release();
  reader_ = nullptr;
  for (IMemAllocator* a : allocators_) a->Release();
  allocators_.clear();

  // Matroska starts at 0: the late audio keeps its place.
  ASSERT_EQ(OpenAndWire("late_audio.mkv"), S_OK);
  EXPECT_EQ(reader_->TimeOffset(), 0);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  auto late = collector_->Got(1);
  ASSERT_FALSE(late.empty());
  EXPECT_NEAR(static_cast<double>(late[0].start), 9890000.0, 300000.0);
}

TEST_F(FfmReader, RawH264GetsTimesFromTheFrameCounter) {
  ASSERT_EQ(OpenAndWire("raw.h264", 0, 0, "264"), S_OK);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  auto got = collector_->Got(0);
  ASSERT_EQ(got.size(), 50u);
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(got[i].timed);
    EXPECT_EQ(got[i].start, static_cast<int64_t>(i) * 400000);
  }
}

TEST_F(FfmReader, EndOfStreamWaitsForTheQueuesToDrainAndASeekResumes) {
  const auto expected = ProbeCounts(Media("mpeg4_mp3.avi"));
  ASSERT_EQ(OpenAndWire("mpeg4_mp3.avi"), S_OK);
  collector_->SetGate(false);  // downstream busy: the pumps' lists fill
  ASSERT_EQ(reader_->Run(), S_OK);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(collector_->Ended(0), 0);
  EXPECT_EQ(collector_->Ended(1), 0);
  // The reader has read everything and waits; a seek makes it read again.
  collector_->OnMarker([] { SignalReaderSeekDone(); });
  ASSERT_EQ(reader_->Seek(0, 0, 0), S_OK);
  std::this_thread::sleep_for(200ms);
  collector_->SetGate(true);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  for (uint32_t pin = 0; pin < 2; ++pin) {
    auto got = collector_->Got(pin);
    int markers = 0;
    for (const ReceivedSample& r : got) markers += r.Marker();
    EXPECT_EQ(markers, 1) << pin;
    // Everything after the marker is the file again from its start.
    size_t after = 0;
    bool seen = false;
    for (const ReceivedSample& r : got) {
      if (seen) after++;
      if (r.Marker()) seen = true;
    }
    EXPECT_EQ(static_cast<int>(after), expected.at(reader_->OutputStream(pin))) << pin;
    EXPECT_EQ(collector_->Ended(pin), 1);
  }
}

TEST_F(FfmReader, SeekSendsMarkerAndWaitsForSeekDone) {
  ASSERT_EQ(OpenAndWire("long_mpeg4_mp3.avi"), S_OK);
  std::atomic<int> markers{0};
  collector_->OnMarker([&] {
    if (++markers == 2) SignalReaderSeekDone();
  });
  collector_->SetGate(false);
  ASSERT_EQ(reader_->Run(), S_OK);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(reader_->Seek(static_cast<uint32_t>(60000000), 0, 0), S_OK);  // 6 s
  std::this_thread::sleep_for(300ms);
  collector_->SetGate(true);
  const auto began = std::chrono::steady_clock::now();
  ASSERT_TRUE(collector_->WaitEnded(30s));
  EXPECT_LT(std::chrono::steady_clock::now() - began, 2800ms);  // seek done came early
  EXPECT_EQ(markers.load(), 2);
  for (uint32_t pin = 0; pin < 2; ++pin) {
    auto got = collector_->Got(pin);
    size_t i = 0;
    while (i < got.size() && !got[i].Marker()) ++i;
    ASSERT_LT(i + 1, got.size()) << pin;
    const ReceivedSample& first = got[i + 1];
    ASSERT_TRUE(first.timed);
    EXPECT_GE(first.start, 50000000) << pin;  // back to the key frame at or before 6 s
    EXPECT_LE(first.start, 60000000) << pin;
  }
}

TEST_F(FfmReader, MoreThanTwentyStreams) {
  const auto expected = ProbeCounts(Media("many_streams.mkv"));
  ASSERT_EQ(expected.size(), 25u);
  ASSERT_EQ(OpenAndWire("many_streams.mkv"), S_OK);
  ASSERT_EQ(reader_->GetOutputPinCount(), 20u);
  EXPECT_EQ(reader_->OutputStream(19), 19);
  EXPECT_EQ(reader_->OutputStream(20), -1);
  StreamInfo info{};
  EXPECT_EQ(reader_->GetStreamInfo(20, &info), E_INVALIDARG);
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  EXPECT_EQ(reader_->GetOutputType(20, 0, &mt), E_INVALIDARG);
  EXPECT_EQ(reader_->GetOutputType(0, 1, &mt), MODULE_E_NO_TYPE);
  ASSERT_EQ(reader_->Run(), S_OK);
  ASSERT_TRUE(collector_->WaitEnded(30s));
  for (uint32_t i = 0; i < 20; ++i)
    EXPECT_EQ(static_cast<int>(collector_->Got(i).size()), expected.at(static_cast<int>(i))) << i;
}

TEST_F(FfmReader, OutputTypesAndStreamInfo) {
  ASSERT_EQ(OpenAndWire("mpeg2_ac3.mpg"), S_OK);
  ASSERT_EQ(reader_->GetOutputPinCount(), 2u);
  StreamInfo video{}, audio{};
  ASSERT_EQ(reader_->GetStreamInfo(0, &video), S_OK);
  ASSERT_EQ(reader_->GetStreamInfo(1, &audio), S_OK);
  EXPECT_EQ(video.valid, 1);
  EXPECT_EQ(video.streamId, 0);  // 0x1E0 is not below 255
  EXPECT_EQ(audio.streamId, 0x80);
  EXPECT_EQ(video.timeBaseDen, 90000);
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  ASSERT_EQ(reader_->GetOutputType(0, 0, &mt), S_OK);
  EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
  EXPECT_EQ(mt.formattype, FORMAT_MPEG2Video);
  ClearMediaTypeFormat(&mt);
  ASSERT_EQ(reader_->GetOutputType(1, 0, &mt), S_OK);
  EXPECT_EQ(mt.majortype, MEDIATYPE_Audio);
  EXPECT_EQ(GuidToFourcc(mt.subtype), 0x2000u);
  ClearMediaTypeFormat(&mt);
  int64_t duration = 0;
  EXPECT_EQ(reader_->GetInfo(&duration, nullptr), S_OK);
  EXPECT_NEAR(static_cast<double>(duration), 2e7, 2e6);
}

TEST_F(FfmReader, BadSourcesGiveErrorCodes) {
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/ffm_reader";
  mkdir(dir.c_str(), 0755);
  const std::string fifo = dir + "/fifo";
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    HRESULT expected;
  } cases[] = {
      {Media("empty.mp4"), FFM_E_CANNOT_OPEN},
      {Media("not_media.txt"), FFM_E_CANNOT_OPEN},
      {Media("trunc_h264_aac.mp4"), FFM_E_CANNOT_OPEN},
      {Media("no_such_file.avi"), FFM_E_CANNOT_OPEN},
      {dir, FFM_E_CANNOT_OPEN},  // a directory is not a file
      {"file:" + dir, FFM_E_CANNOT_OPEN},
      {fifo, FFM_E_CANNOT_OPEN},  // would block inside FFmpeg
      {"/dev/null", FFM_E_CANNOT_OPEN},
  };
  for (const Case& c : cases) {
    auto* reader = static_cast<CFFMReader*>(CFFMReader::Create(nullptr));
    EXPECT_EQ(reader->OpenFile(c.path.c_str(), 0, 0), c.expected) << c.path;
    EXPECT_EQ(reader->GetOutputPinCount(), 0u) << c.path;
    EXPECT_EQ(reader->Run(), S_OK);  // starts nothing
    reader->Close();
    reader->Release();
  }
  unlink(fifo.c_str());
}

}  // namespace
