// Source cuts, reader choice errors, writer limits and stream picking, and the
// runner's early results, with fake modules.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/jobs/convert_runner.h"
#include "engine/jobs/stream_picking.h"
#include "tests/engine/jobs/chain_fakes.h"

using namespace chainfakes;

namespace {

const GUID kMpeg2 = MEDIASUBTYPE_MPEG2_VIDEO;
const GUID kAc3 = MEDIASUBTYPE_DOLBY_AC3;

TEST(SourceCuts, Rules) {
  struct Case {
    const char* label;
    const char* path;
    int32_t start, stop;
    bool copy;
    SourceCuts expected;
  };
  const Case cases[] = {
      {"flac comes before copy", "a.FLAC", 20, 0, true, {0, 0, 20, 0}},
      {"flac re-encoded", "a.flac", 20, 60, false, {0, 60, 20, 0}},
      {"short name is no flac", ".flac", 20, 0, true, {20, 0, 0, 0}},
      {"copy opens at the start", "a.mkv", 20, 0, true, {20, 0, 0, 0}},
      {"re-encode keeps 15 s before", "a.mkv", 40, 100, false, {25, 105, 15, 75}},
      {"early start opens at 0", "a.mkv", 10, 0, false, {0, 0, 10, 0}},
      {"start 16 is the boundary", "a.mkv", 16, 0, false, {1, 0, 15, 0}},
      {"negative times count as 0", "a.mkv", -5, -3, false, {0, 0, 0, 0}},
      {"huge stop does not overflow", "a.mkv", 0, INT32_MAX, false, {0, INT32_MAX, 0, INT32_MAX - 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SourceCuts got = CutsForSource(c.path, c.start, c.stop, c.copy);
    EXPECT_EQ(c.expected.openStart, got.openStart);
    EXPECT_EQ(c.expected.openStop, got.openStop);
    EXPECT_EQ(c.expected.startCut, got.startCut);
    EXPECT_EQ(c.expected.stopCut, got.stopCut);
  }
}

class PickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    job_.Clear();
    SetJobText(job_.settings.audioCodec, "MP3ENC");
    SetJobText(job_.settings.videoCodec, "H264ENC");
    SetJobText(job_.settings.writerTag, "[FFM]MP4");
    job_.settings.sourceMode = SOURCE_MODE_OWN_ONLY;
    modules_.AddWriter("[FFM]MP4", {1, 1}, AcceptAny());
    modules_.AddWriter("SUBTITLE", {0, 0}, AcceptAny());
    modules_.AddDecoder(kMpeg2, {"DEC", AcceptOnly({kMpeg2}), {Video(MEDIASUBTYPE_YV12)}});
    modules_.AddDecoder(kAc3, {"[FFM]AC3", AcceptOnly({kAc3}), {Audio(MEDIASUBTYPE_PCM)}});
  }

  // Readers the picking left open are ours unless the graph took them.
  void TearDown() override {
    for (IMediaModule* reader : readers_) {
      if (graph_.Lists(reader)) continue;
      reader->Close();
      reader->Release();
    }
  }

  void AddSource(const char* path, int32_t start = 0, int32_t stop = 0) {
    JobInput& in = job_.inputs.inputs[job_.inputs.count++];
    SetJobText(in.path, path);
    in.start = start;
    in.stop = stop;
  }

  HRESULT Pick(std::string* out = nullptr) {
    limits_ = TrackLimits{};
    modules_.CreateWriter(job_.settings.writerTag, &limits_.writer)->Release();
    testing::internal::CaptureStdout();
    std::vector<IMediaModule*> opened;
    HRESULT hr = PickStreams(graph_, modules_, job_.inputs, job_.settings, picked_, opened, limits_,
                             job_.settings.sourceMode, subtitles_);
    readers_.insert(readers_.end(), opened.begin(), opened.end());
    std::string printed = testing::internal::GetCapturedStdout();
    if (out) *out = printed;
    return hr;
  }

  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  ConvertJob job_;
  FakeModuleSource modules_;
  RecordingGraph graph_;
  TrackLimits limits_;
  std::vector<PickedStream> picked_;
  std::vector<IMediaModule*> readers_;
  SubtitleWriterTable subtitles_{};
};

TEST_F(PickTest, WriterLimitDropsExtraAudioWithALineEach) {
  modules_.AddReader("three.ac3", {{Audio(kAc3)}, {Audio(kAc3)}, {Audio(kAc3)}});
  AddSource("three.ac3");
  std::string out;
  ASSERT_EQ(S_OK, Pick(&out));
  ASSERT_EQ(1u, picked_.size());
  EXPECT_EQ(0u, picked_[0].pin);
  EXPECT_EQ(2, Count(out, "ignore a audio stream dure to track limits\n"));
}

TEST_F(PickTest, OnlyTheFirstVideoIsConvertedEvenWhenTheWriterTakesTwo) {
  modules_.AddWriter("[FFM]MP4", {2, 2}, AcceptAny());
  // Audio first in the file: the picked order is still video, then audio.
  modules_.AddReader("two.mpg", {{Audio(kAc3)}, {Video(kMpeg2)}, {Video(kMpeg2)}, {Audio(kAc3)}});
  AddSource("two.mpg", 40, 100);
  std::string out;
  ASSERT_EQ(S_OK, Pick(&out));
  ASSERT_EQ(3u, picked_.size());
  EXPECT_EQ(1u, picked_[0].pin);
  EXPECT_EQ(0u, picked_[1].pin);
  EXPECT_EQ(3u, picked_[2].pin);
  EXPECT_EQ(2, limits_.videoTaken);
  EXPECT_EQ(0, Count(out, "ignore a video stream"));
  for (const PickedStream& p : picked_) {
    EXPECT_EQ(15, p.startCut);
    EXPECT_EQ(75, p.stopCut);
  }
  auto* reader = dynamic_cast<FakeReader*>(picked_[0].reader);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ(25, reader->openStart);
  EXPECT_EQ(105, reader->openStop);
}

TEST_F(PickTest, NoneCodecsDropStreamsSilently) {
  modules_.AddReader("av.mpg", {{Video(kMpeg2)}, {Audio(kAc3)}, {Audio(kAc3)}});
  AddSource("av.mpg");
  SetJobText(job_.settings.audioCodec, "none");
  std::string out;
  ASSERT_EQ(S_OK, Pick(&out));
  ASSERT_EQ(1u, picked_.size());
  EXPECT_EQ(0u, picked_[0].pin);
  EXPECT_EQ(0, Count(out, "ignore"));
  SetJobText(job_.settings.videoCodec, "NONE");
  ASSERT_EQ(S_OK, Pick());
  EXPECT_TRUE(picked_.empty());
}

TEST_F(PickTest, SelectedStreamsOnly) {
  modules_.AddReader("av.mpg", {{Video(kMpeg2)}, {Audio(kAc3)}, {Audio(kAc3)}});
  AddSource("av.mpg");
  job_.inputs.inputs[0].selectedCount = 1;
  job_.inputs.inputs[0].selected[0] = 2;
  ASSERT_EQ(S_OK, Pick());
  ASSERT_EQ(1u, picked_.size());
  EXPECT_EQ(2u, picked_[0].pin);
}

TEST_F(PickTest, EachSourceGetsItsOwnStreamDescriptionsBeforeItOpens) {
  modules_.AddReader("dvd:1,1,1,/disc", {{Video(kMpeg2)}});
  modules_.AddReader("dvd:2,1,1,/disc", {{Audio(kAc3)}});
  modules_.AddReader("plain.mpg", {{Audio(kAc3)}});
  AddSource("dvd:1,1,1,/disc");
  AddSource("dvd:2,1,1,/disc");
  AddSource("plain.mpg");
  JobInput& first = job_.inputs.inputs[0];
  first.descriptionCount = 2;
  SetJobText(first.descriptions[0], "\"TYPE\"=0");
  SetJobText(first.descriptions[1], "\"TYPE\"=1,\"STREAMID\"=128");
  // A field without its terminator is cut at its size; a count past the table is bounded.
  JobInput& second = job_.inputs.inputs[1];
  second.descriptionCount = kMaxStreamDescriptions + 5;
  std::memset(second.descriptions[0], 'x', kJobParamField);
  ASSERT_EQ(S_OK, Pick());
  ASSERT_EQ(3u, readers_.size());
  auto* a = dynamic_cast<FakeReader*>(readers_[0]);
  auto* b = dynamic_cast<FakeReader*>(readers_[1]);
  auto* c = dynamic_cast<FakeReader*>(readers_[2]);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->openedDescriptions, (std::vector<std::string>{"\"TYPE\"=0", "\"TYPE\"=1,\"STREAMID\"=128"}));
  ASSERT_EQ(b->openedDescriptions.size(), static_cast<size_t>(kMaxStreamDescriptions));
  EXPECT_EQ(b->openedDescriptions[0], std::string(kJobParamField, 'x'));
  EXPECT_EQ(b->openedDescriptions[1], "");
  EXPECT_TRUE(c->openedDescriptions.empty());
}

TEST_F(PickTest, SubtitleBeforeVideoIsNotRendered) {
  const TypeSpec text = Other(MEDIATYPE_Text, GUID_NULL);
  modules_.AddReader("subs.mkv", {{text}, {Video(kMpeg2)}, {text}, {text}});
  AddSource("subs.mkv");
  ASSERT_EQ(S_OK, Pick());
  // Two text streams after the video, each with its own subtitle writer.
  ASSERT_NE(nullptr, subtitles_[0]);
  ASSERT_NE(nullptr, subtitles_[1]);
  EXPECT_EQ(nullptr, subtitles_[2]);
  IMediaModule* fed = nullptr;
  uint32_t pin = 0;
  ASSERT_TRUE(graph_.FindConnection(subtitles_[0], 0, &fed, &pin, 0));
  EXPECT_EQ(2u, pin);
  ASSERT_TRUE(graph_.FindConnection(subtitles_[1], 0, &fed, &pin, 0));
  EXPECT_EQ(3u, pin);
}

TEST_F(PickTest, SourceErrors) {
  modules_.unknownFiles["notes.xyz"] = 1;
  struct Case {
    const char* path;
    int32_t mode;
    HRESULT expected;
  };
  const Case cases[] = {
      {"missing.mpg", SOURCE_MODE_OWN_ONLY, E_SOURCE_NOT_FOUND},
      {"notes.xyz", SOURCE_MODE_OWN_ONLY, E_UNKNOWN_SOURCE_FORMAT},
      // No DirectShow source reader is registered: the own result stands.
      {"missing.mpg", SOURCE_MODE_OWN_OR_DSHOW, E_SOURCE_NOT_FOUND},
      {"notes.xyz", SOURCE_MODE_PREFER_DSHOW, E_UNKNOWN_SOURCE_FORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    job_.inputs.count = 0;
    AddSource(c.path);
    job_.settings.sourceMode = c.mode;
    EXPECT_EQ(c.expected, Pick());
  }
}

TEST_F(PickTest, ReaderOpenErrorIsTheResult) {
  modules_.AddReader("bad.mpg", {{Video(kMpeg2)}});
  modules_.openResult = MakeHResult(0x80040001u);
  AddSource("bad.mpg");
  EXPECT_EQ(MakeHResult(0x80040001u), Pick());
  EXPECT_EQ(1, modules_.Made<FakeReader>("bad.mpg")->closes);
}

TEST_F(PickTest, DecodableStreamsAreCounted) {
  modules_.AddReader("mixed.mpg", {{Video(kMpeg2)}, {Audio(FourccGuid(MakeFourcc('X', 'X', 'X', 'X')))}});
  IMediaModule* reader = nullptr;
  testing::internal::CaptureStdout();
  ASSERT_EQ(S_OK, OpenSourceReader(modules_, "mixed.mpg", 0, 0, &reader, SOURCE_MODE_OWN_WHEN_DECODABLE));
  const std::string out = testing::internal::GetCapturedStdout();
  // Not every stream decodes, so the DirectShow reader was asked (and there is none).
  EXPECT_NE(std::string::npos, out.find("dshow 0 0\n"));
  EXPECT_TRUE(HasDecoderFor(modules_, reader, 0));
  EXPECT_FALSE(HasDecoderFor(modules_, reader, 1));
  reader->Release();
}

TEST(StreamKinds, KindAndRaw) {
  FakeReader reader("r", {{Video(MEDIASUBTYPE_YV12)},
                          {Audio(kAc3), Audio(MEDIASUBTYPE_PCM)},
                          {Other(kSubtitleMajorType, kSubtitleSsa)},
                          {Other(MEDIATYPE_Stream, GUID_NULL)},
                          {}});
  int32_t raw = -1;
  EXPECT_EQ(STREAM_VIDEO, StreamKindAndRaw(&reader, 0, &raw));
  EXPECT_EQ(1, raw);
  EXPECT_EQ(STREAM_AUDIO, StreamKindAndRaw(&reader, 1, &raw));
  EXPECT_EQ(1, raw);
  EXPECT_EQ(STREAM_TEXT, StreamKind(&reader, 2));
  EXPECT_EQ(STREAM_OTHER, StreamKind(&reader, 3));
  EXPECT_EQ(STREAM_OTHER, StreamKindAndRaw(&reader, 4, &raw));
  EXPECT_EQ(0, raw);
}

// ---- the runner's results before the graph runs ----

class RunnerTest : public PickTest {
 protected:
  HRESULT Run() {
    testing::internal::CaptureStdout();
    HRESULT hr = RunConvertJobWith(job_, graph_, modules_, nullptr, false);
    testing::internal::GetCapturedStdout();
    return hr;
  }
};

TEST_F(RunnerTest, EarlyResults) {
  EXPECT_EQ(E_NO_STREAM_PICKED, Run());  // empty source list

  SetJobText(job_.settings.writerTag, "[FFM]NOSUCH");
  AddSource("missing.mpg");
  EXPECT_EQ(E_NO_WRITER, Run());

  SetJobText(job_.settings.writerTag, "[FFM]MP4");
  EXPECT_EQ(E_SOURCE_NOT_FOUND, Run());
}

TEST_F(RunnerTest, WriterGetsPathAndTargetWords) {
  SetJobText(job_.output.path, "/tmp/out.mp4");
  job_.output.targetWord1 = 7;
  job_.output.targetWord2 = -2;
  job_.output.targetValue = 0x0000000500000009LL;
  job_.output.numbered = 1;
  IMediaModule* writer = nullptr;
  TrackLimits limits;
  ASSERT_EQ(S_OK, OpenWriter(modules_, "[FFM]MP4", job_.output, &writer, &limits));
  auto* fake = dynamic_cast<FakeWriter*>(writer);
  EXPECT_EQ("/tmp/out.mp4", fake->outputPath);
  const int32_t expected[6] = {7, -2, 9, 5, 1, 0};
  EXPECT_TRUE(std::equal(expected, expected + 6, fake->targetWords));
  EXPECT_EQ(1, limits.writer.maxAudio);
  writer->Release();
}

TEST_F(RunnerTest, ChainFailureIsTheResult) {
  modules_.AddReader("odd.mpg", {{Video(FourccGuid(MakeFourcc('O', 'D', 'D', '1')))}});
  AddSource("odd.mpg");
  EXPECT_EQ(E_NO_VIDEO_CODER, Run());
}

TEST_F(RunnerTest, EarlyEndsCloseWhatTheGraphDidNotTake) {
  modules_.AddReader("av.mpg", {{Video(kMpeg2)}, {Audio(kAc3)}});
  modules_.AddReader("data.bin", {{Other(MEDIATYPE_Stream, GUID_NULL)}});
  modules_.AddReader("odd.mpg", {{Video(FourccGuid(MakeFourcc('O', 'D', 'D', '1')))}});
  struct Case {
    const char* label;
    std::vector<const char*> sources;
    HRESULT expected;
  };
  const Case cases[] = {
      {"no stream picked", {"data.bin"}, E_NO_STREAM_PICKED},
      {"second source missing", {"av.mpg", "missing.mpg"}, E_SOURCE_NOT_FOUND},
      {"no decoder", {"odd.mpg"}, E_NO_VIDEO_CODER},
      // The decoder joins the graph, then the encoder is missing.
      {"half-built video chain", {"data.bin", "av.mpg"}, E_NO_VIDEO_CODER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    job_.inputs.count = 0;
    for (const char* path : c.sources) AddSource(path);
    EXPECT_EQ(c.expected, Run());
  }
  ExpectEachModuleClosedOnceOrTaken(modules_, graph_);
  ASSERT_NE(nullptr, modules_.Made("DEC"));
  EXPECT_TRUE(graph_.Lists(modules_.Made("DEC")));
}

TEST_F(RunnerTest, FinishedJobClosesReadersItNeverConnected) {
  const GUID h264 = FourccGuid(MakeFourcc('H', '2', '6', '4'));
  modules_.Add(CoderList::VideoEncoder, {"H264ENC", AcceptOnly({MEDIASUBTYPE_YV12}), {Video(h264)}});
  modules_.Add(CoderList::AudioEncoder, {"MP3ENC", AcceptOnly({MEDIASUBTYPE_PCM}), {Audio(FourccGuid(0x55))}});
  modules_.AddReader("av.mpg", {{Video(kMpeg2)}, {Audio(kAc3)}});
  modules_.AddReader("data.bin", {{Other(MEDIATYPE_Stream, GUID_NULL)}});
  AddSource("data.bin");
  AddSource("av.mpg");
  EXPECT_EQ(S_OK, Run());
  EXPECT_EQ(1, modules_.Made<FakeReader>("data.bin")->closes);
  EXPECT_TRUE(graph_.Lists(modules_.Made<FakeWriter>("[FFM]MP4")));
  ExpectEachModuleClosedOnceOrTaken(modules_, graph_);
}

TEST_F(RunnerTest, EarlyEndRemovesOnlyAnOutputFileItCreated) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "runner_output";
  fs::create_directories(dir);
  modules_.writersCreateFiles = true;
  modules_.AddReader("data.bin", {{Other(MEDIATYPE_Stream, GUID_NULL)}});
  AddSource("data.bin");

  const fs::path fresh = dir / "fresh.mp4";
  fs::remove(fresh);
  SetJobText(job_.output.path, fresh.c_str());
  EXPECT_EQ(E_NO_STREAM_PICKED, Run());
  EXPECT_EQ(fresh.string(), modules_.Made<FakeWriter>("[FFM]MP4")->outputPath);
  EXPECT_FALSE(fs::exists(fresh));

  const fs::path kept = dir / "kept.mp4";
  {
    std::ofstream out(kept, std::ios::binary | std::ios::trunc);
    out << "user data";
  }
  SetJobText(job_.output.path, kept.c_str());
  EXPECT_EQ(E_NO_STREAM_PICKED, Run());
  std::ifstream in(kept, std::ios::binary);
  EXPECT_EQ("user data", std::string(std::istreambuf_iterator<char>(in), {}));
}

}  // namespace
