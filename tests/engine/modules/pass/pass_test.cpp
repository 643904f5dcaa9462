// Pass writer and pass reader in one process: the message format, padding in
// whole sample frames and whole black frames, the writer's end of segment,
// refusals and failures, the reader's pins and queue names, and two segments
// joined into one time line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/param_list.h"
#include "common/xqueue.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/pass/pass_message.h"
#include "engine/modules/pass/pass_reader.h"
#include "engine/modules/pass/pass_writer.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/shm_namespace.h"

namespace L = xqueue_layout;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kSecond = 10000000;
constexpr int32_t kNoSuchProcess = 0x7FFFFFF0;

int32_t Me() { return static_cast<int32_t>(getpid()); }

class Passthru : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RemoveNamespaceObjects(); }
  void SetUp() override { ClearSourceReadFailure(); }
  void TearDown() override { EXPECT_EQ(NamespaceObjects(), std::vector<std::string>{}); }
};

struct OwnedType {
  AM_MEDIA_TYPE mt{};
  OwnedType() { InitMediaType(&mt); }
  ~OwnedType() { ClearMediaTypeFormat(&mt); }
  OwnedType(const OwnedType&) = delete;
  OwnedType& operator=(const OwnedType&) = delete;
};

void VideoType(OwnedType& t, int32_t width, int32_t height, int64_t duration, bool info2 = false,
               GUID subtype = MEDIASUBTYPE_YV12) {
  t.mt.majortype = MEDIATYPE_Video;
  t.mt.subtype = subtype;
  t.mt.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  const size_t size = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  ASSERT_TRUE(AllocMediaTypeFormat(&t.mt, static_cast<ULONG>(size)));
  std::memset(t.mt.pbFormat, 0, size);
  BITMAPINFOHEADER bmi{};
  bmi.biSize = sizeof bmi;
  bmi.biWidth = width;
  bmi.biHeight = height;
  bmi.biSizeImage = static_cast<DWORD>(width * height * 3 / 2);
  std::memcpy(t.mt.pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame), &duration, sizeof duration);
  std::memcpy(t.mt.pbFormat + (info2 ? offsetof(VIDEOINFOHEADER2, bmiHeader) : offsetof(VIDEOINFOHEADER, bmiHeader)),
              &bmi, sizeof bmi);
}

void PcmType(OwnedType& t, int32_t rate, int32_t channels, GUID subtype = MEDIASUBTYPE_PCM) {
  t.mt.majortype = MEDIATYPE_Audio;
  t.mt.subtype = subtype;
  t.mt.formattype = FORMAT_WaveFormatEx;
  ASSERT_TRUE(AllocMediaTypeFormat(&t.mt, sizeof(WAVEFORMATEX)));
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(channels);
  wave.nSamplesPerSec = static_cast<DWORD>(rate);
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = static_cast<WORD>(channels * 2);
  wave.nAvgBytesPerSec = static_cast<DWORD>(rate * channels * 2);
  std::memcpy(t.mt.pbFormat, &wave, sizeof wave);
}

struct Pool {
  IMemAllocator* alloc = nullptr;
  Pool(LONG count, LONG size) {
    EXPECT_EQ(CreateMemoryAllocator(&alloc), S_OK);
    ALLOCATOR_PROPERTIES req{count, size, 16, 0}, act{};
    EXPECT_EQ(alloc->SetProperties(&req, &act), S_OK);
    EXPECT_EQ(alloc->Commit(), S_OK);
  }
  ~Pool() {
    alloc->Decommit();
    alloc->Release();
  }
  // A sample of `length` bytes (byte i = seed + i), timed when start >= 0.
  IMediaSample* Sample(LONG length, int64_t start, int64_t stop, uint8_t seed = 0) {
    IMediaSample* s = nullptr;
    EXPECT_EQ(alloc->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    BYTE* p = nullptr;
    s->GetPointer(&p);
    for (LONG i = 0; i < length; ++i) p[i] = static_cast<uint8_t>(seed + i);
    s->SetActualDataLength(length);
    if (start >= 0) s->SetTime(&start, stop >= 0 ? &stop : nullptr);
    return s;
  }
};

struct Message {
  pass::MessageHeader header;
  std::vector<uint8_t> data;
};

std::vector<Message> Drain(CXQueue& queue) {
  std::vector<Message> out;
  std::vector<uint8_t> buffer(2 << 20);
  for (;;) {
    uint32_t length = static_cast<uint32_t>(buffer.size()), sequence = 0;
    if (queue.Peek(buffer.data(), &length, &sequence, nullptr, 1000) != XQueueResult::kOk) return out;
    Message m;
    EXPECT_TRUE(pass::DecodeHeader(buffer.data(), length, &m.header));
    EXPECT_EQ(length, static_cast<uint32_t>(m.header.length) + pass::kOverhead);
    m.data.assign(buffer.begin() + pass::kHeaderBytes, buffer.begin() + pass::kHeaderBytes + m.header.length);
    out.push_back(std::move(m));
  }
}

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

CPassWriter* NewWriter(int32_t pid) {
  auto* writer = static_cast<CPassWriter*>(CPassWriter::Create(nullptr));
  CParamList params;
  params.SetInt("PID", pid);
  writer->SetParams(&params);
  return writer;
}

}  // namespace

TEST_F(Passthru, MessageEncoding) {
  pass::MessageHeader h;
  h.flags = pass::kSyncPoint | pass::kStartValid | pass::kStopValid;
  h.start = 0x0102030405060708LL;
  h.stop = -5;
  h.length = 3;
  std::vector<uint8_t> m(pass::kOverhead + 3, 0xAA);
  pass::EncodeHeader(h, m.data());
  const uint8_t want[32] = {0x1A, 0,    0,    0,    0,    0,    0,    0,    8, 7, 6, 5, 4, 3, 2, 1,  // flags, 0, start
                            0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                          // stop
                            3,    0,    0,    0,    0,    0,    0,    0};  // length, writer word
  EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.begin() + 32), std::vector<uint8_t>(want, want + 32));
  pass::MessageHeader back;
  ASSERT_TRUE(pass::DecodeHeader(m.data(), m.size(), &back));
  EXPECT_EQ(back.flags, h.flags);
  EXPECT_EQ(back.start, h.start);
  EXPECT_EQ(back.stop, h.stop);
  EXPECT_EQ(back.length, 3);

  // Lengths are checked against the message.
  EXPECT_FALSE(pass::DecodeHeader(m.data(), 31, &back));
  EXPECT_TRUE(pass::DecodeHeader(m.data(), 35, &back));
  EXPECT_FALSE(pass::DecodeHeader(m.data(), 34, &back));
  h.length = -1;
  pass::EncodeHeader(h, m.data());
  EXPECT_FALSE(pass::DecodeHeader(m.data(), m.size(), &back));

  EXPECT_EQ(pass::QueueName(120, true, 0), "PID120_V0");
  EXPECT_EQ(pass::QueueName(7, false, 11), "PID7_A11");
  // 16-bit samples: 176,400 bytes of 44,100 Hz stereo last one second.
  EXPECT_EQ(pass::AudioEndTime(5, 176400, 2, 44100), 5 + kSecond);
  EXPECT_EQ(pass::AudioEndTime(5, 100, 0, 44100), 5);
  const auto black = pass::BlackYv12Frame(4, 2);
  EXPECT_EQ(black, (std::vector<uint8_t>{16, 16, 16, 16, 16, 16, 16, 16, 128, 128, 128, 128}));
}

TEST_F(Passthru, SilenceInWholeSampleFrames) {
  struct Case {
    int32_t rate, channels;
    int64_t span;
    std::vector<uint32_t> bytes;
  } cases[] = {
      // The audio of a pin ends 1.1 s before the video: four quarter seconds and 0.1 s.
      {44100, 2, 11000000, {44100, 44100, 44100, 44100, 17640}},
      // A quarter second of 22,050 Hz is 5,512.5 frames: whole frames instead.
      {22050, 2, 11000000, {22048, 22048, 22048, 22048, 8828}},
      {22050, 1, 3000000, {11024, 2206}},
      {8000, 1, 1000, {2}},
      {48000, 6, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz x " + std::to_string(c.channels));
    const int64_t from = 123456789;
    std::vector<uint32_t> sizes;
    std::vector<int64_t> starts;
    EXPECT_TRUE(pass::PlanSilence(from, from + c.span, c.rate, c.channels, [&](int64_t start, uint32_t bytes) {
      starts.push_back(start);
      sizes.push_back(bytes);
      return true;
    }));
    EXPECT_EQ(sizes, c.bytes);
    int64_t frames = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
      EXPECT_EQ(sizes[i] % (2 * c.channels), 0u) << "chunk " << i;
      // Each chunk starts where the frames before it end.
      EXPECT_EQ(starts[i], from + frames * kSecond / c.rate);
      frames += sizes[i] / (2 * c.channels);
    }
    EXPECT_EQ(frames, (c.span * c.rate + kSecond / 2) / kSecond);
  }
  int calls = 0;
  EXPECT_FALSE(pass::PlanSilence(0, kSecond, 44100, 2, [&](int64_t, uint32_t) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
}

TEST_F(Passthru, BlackFramesEndByTheSegmentsEnd) {
  // The next segment's first picture starts at `to`: no black frame may reach
  // past it, or it takes that picture's frame slot.
  struct Case {
    int64_t from, to, duration;
    std::vector<int64_t> starts;
  } cases[] = {
      {0, 1200000, 400000, {0, 400000, 800000}},
      {0, 1000000, 400000, {0, 400000}},
      {5, 333671, 333666, {5}},
      {30030000, 30100000, 333667, {}},  // NTSC video 7 ms short of its sound
      {0, 833333, 0, {0, 416666}},       // no duration: the default one
      {700, 700, 400000, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to) + " by " + std::to_string(c.duration));
    std::vector<int64_t> starts;
    EXPECT_TRUE(pass::PlanBlackFrames(c.from, c.to, c.duration, [&](int64_t start) {
      starts.push_back(start);
      return true;
    }));
    EXPECT_EQ(starts, c.starts);
  }
  int calls = 0;
  EXPECT_FALSE(pass::PlanBlackFrames(0, 10 * kSecond, 400000, [&](int64_t) { return ++calls < 3; }));
  EXPECT_EQ(calls, 3);

  // The segment's end moved on to the video's next frame boundary.
  EXPECT_EQ(pass::FrameAlignedEnd(30030000, 30100000, 333667), 30363667);
  EXPECT_EQ(pass::FrameAlignedEnd(30000000, 30400000, 400000), 30400000);  // on a boundary already
  EXPECT_EQ(pass::FrameAlignedEnd(30000000, 20000000, 400000), 30000000);  // the video is the longest
  EXPECT_EQ(pass::FrameAlignedEnd(0, 500000, 0), 833332);                  // no duration: the default one
}

TEST_F(Passthru, TheSegmentEndsOnAWholeVideoFrame) {
  // Video 0.4 s, sound 0.45 s: both end at 0.48 s, the video with two black
  // frames, the sound with 0.03 s of silence.
  CXQueue video, audio;
  ASSERT_EQ(video.Create(pass::QueueName(Me(), true, 0), 32, 384 + 40), XQueueResult::kOk);
  ASSERT_EQ(audio.Create(pass::QueueName(Me(), false, 0), 32, 1600 + 40), XQueueResult::kOk);
  CPassWriter* writer = NewWriter(Me());
  OwnedType vt, at;
  VideoType(vt, 16, 16, 400000);
  PcmType(at, 8000, 1);
  ASSERT_EQ(writer->AddInputPin(&vt.mt, 0), S_OK);
  ASSERT_EQ(writer->AddInputPin(&at.mt, 0), S_OK);
  ASSERT_EQ(writer->Run(), S_OK);
  Pool frames(2, 384), chunks(2, 1600);
  for (int k = 0; k < 10; ++k) ASSERT_EQ(writer->Receive(0, frames.Sample(384, k * 400000LL, -1)), S_OK);
  for (int k = 0; k < 9; ++k) ASSERT_EQ(writer->Receive(1, chunks.Sample(800, k * 500000LL, -1)), S_OK);
  writer->Receive(0, nullptr);
  writer->Receive(1, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_EQ(writer->CloseOutput(), S_OK);
  writer->Release();

  const auto v = Drain(video);
  ASSERT_EQ(v.size(), 10u + 2u + 1u);
  EXPECT_EQ(v[10].header.start, 4000000);
  EXPECT_EQ(v[11].header.start, 4400000);
  EXPECT_EQ(v[11].data, pass::BlackYv12Frame(16, 16));
  EXPECT_EQ(v[12].header.flags, pass::kStartValid | pass::kEndOfSegment);
  EXPECT_EQ(v[12].header.start, 4800000);

  const auto a = Drain(audio);
  ASSERT_EQ(a.size(), 9u + 1u + 1u);
  EXPECT_EQ(a[9].header.start, 4500000);
  EXPECT_EQ(a[9].data.size(), 480u);  // 240 samples of 8 kHz
  EXPECT_EQ(a[10].header.flags, pass::kStartValid | pass::kEndOfSegment);
  EXPECT_EQ(a[10].header.start, 4800000);
}

TEST_F(Passthru, WriterPadsTheShorterStreamAndEndsTheSegment) {
  // The merging side's queues, large enough to hold the whole segment.
  CXQueue video, audio;
  ASSERT_EQ(video.Create(pass::QueueName(Me(), true, 0), 128, 384 + 40), XQueueResult::kOk);
  ASSERT_EQ(audio.Create(pass::QueueName(Me(), false, 0), 64, 30000), XQueueResult::kOk);

  CPassWriter* writer = NewWriter(Me());
  OwnedType vt, at;
  VideoType(vt, 16, 16, 400000);
  PcmType(at, 22050, 2);
  ASSERT_EQ(writer->AddInputPin(&vt.mt, 0), S_OK);
  ASSERT_EQ(writer->AddInputPin(&at.mt, 0), S_OK);
  ASSERT_EQ(writer->Run(), S_OK);

  Pool frames(2, 384), chunks(2, 8820);
  // Video: 50 frames = 2.0 s. Audio: nine 0.1-s chunks = 0.9 s, 1.1 s short.
  for (int k = 0; k < 50; ++k) {
    IMediaSample* s = frames.Sample(384, k * 400000LL, (k + 1) * 400000LL, static_cast<uint8_t>(k));
    s->SetSyncPoint(k == 0);
    ASSERT_EQ(writer->Receive(0, s), S_OK);
  }
  for (int k = 0; k < 9; ++k) {
    IMediaSample* s = chunks.Sample(8820, k * 1000000LL, -1);
    if (k == 0) {
      s->SetDiscontinuity(1);
      s->SetPreroll(1);
    }
    ASSERT_EQ(writer->Receive(1, s), S_OK);
    // A start time of 0 leaves the end where it was.
    if (k == 0) {
      EXPECT_EQ(writer->EndTime(1), 0);
    }
  }
  EXPECT_EQ(writer->EndTime(0), 2 * kSecond);
  EXPECT_EQ(writer->EndTime(1), 9000000);
  EXPECT_EQ(writer->GetState(), WRITER_RUNNING);
  writer->Receive(0, nullptr);
  writer->Receive(1, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  EXPECT_EQ(writer->CloseOutput(), S_OK);
  writer->Release();

  const auto v = Drain(video);
  ASSERT_EQ(v.size(), 51u);
  EXPECT_EQ(v[0].header.flags, pass::kSyncPoint | pass::kStartValid | pass::kStopValid);
  EXPECT_EQ(v[1].header.flags, pass::kStartValid | pass::kStopValid);
  EXPECT_EQ(v[7].header.start, 7 * 400000);
  EXPECT_EQ(v[7].data[0], 7);
  EXPECT_EQ(v[50].header.flags, pass::kStartValid | pass::kEndOfSegment);
  EXPECT_EQ(v[50].header.start, 2 * kSecond);
  EXPECT_EQ(v[50].header.length, 0);

  const auto a = Drain(audio);
  ASSERT_EQ(a.size(), 9u + 5u + 1u);
  EXPECT_EQ(a[0].header.flags, pass::kDiscontinuity | pass::kPreroll | pass::kStartValid);
  int64_t frameCount = 0;
  for (size_t i = 9; i < 14; ++i) {
    SCOPED_TRACE("silence " + std::to_string(i - 9));
    EXPECT_EQ(a[i].header.flags, pass::kStartValid | pass::kStopValid);
    EXPECT_EQ(a[i].header.start, 9000000 + frameCount * kSecond / 22050);
    EXPECT_EQ(a[i].header.stop, a[i].header.start + 100);
    EXPECT_EQ(a[i].data.size() % 4, 0u);
    EXPECT_EQ(a[i].data, std::vector<uint8_t>(a[i].data.size(), 0));
    frameCount += static_cast<int64_t>(a[i].data.size() / 4);
  }
  EXPECT_EQ(frameCount, 24255);  // 1.1 s of 22,050 Hz
  EXPECT_EQ(a[14].header.flags, pass::kStartValid | pass::kEndOfSegment);
  EXPECT_EQ(a[14].header.start, 2 * kSecond);  // both streams end where the longer one does
}

TEST_F(Passthru, WriterPinsAndOversizedSample) {
  CPassWriter* writer = NewWriter(Me());
  OwnedType yv12, yv12v2, rgb, pcm, ieee, small;
  VideoType(yv12, 16, 16, 5000);  // a duration below 10,000 becomes 416,666
  VideoType(yv12v2, 32, 32, 400000, true);
  VideoType(rgb, 16, 16, 400000, false, MEDIASUBTYPE_RGB24);
  PcmType(pcm, 44100, 2);
  PcmType(ieee, 44100, 2, FourccGuid(3));
  small.mt = yv12.mt;
  small.mt.pbFormat = nullptr;
  small.mt.cbFormat = 0;
  struct Case {
    const char* label;
    const AM_MEDIA_TYPE* type;
    HRESULT result;
  } cases[] = {
      {"YV12, VIDEOINFOHEADER", &yv12.mt, S_OK},
      {"YV12, VIDEOINFOHEADER2", &yv12v2.mt, S_OK},
      {"RGB24", &rgb.mt, S_FALSE},
      {"PCM", &pcm.mt, S_OK},
      {"IEEE float", &ieee.mt, S_FALSE},
      {"no format block", &small.mt, S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const uint32_t before = writer->GetInputPinCount();
    EXPECT_EQ(writer->AddInputPin(c.type, 1), c.result);
    EXPECT_EQ(writer->GetInputPinCount(), before);  // a test adds nothing
  }
  ASSERT_EQ(writer->AddInputPin(&yv12.mt, 0), S_OK);
  ASSERT_EQ(writer->AddInputPin(&pcm.mt, 0), S_OK);
  ASSERT_EQ(writer->GetInputPinCount(), 2u);
  OwnedType got;
  EXPECT_EQ(writer->GetInputType(1, 0, &got.mt), S_OK);
  EXPECT_EQ(got.mt.subtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(writer->GetInputType(1, 1, &got.mt), MODULE_E_NO_TYPE);
  EXPECT_EQ(writer->GetOutputType(0, 0, &got.mt), S_FALSE);
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(writer->GetAllocatorRequirements(0, &props), S_OK);
  EXPECT_EQ(props.cBuffers, 1);
  EXPECT_EQ(props.cbBuffer, 384);
  EXPECT_EQ(props.cbAlign, 32);
  ASSERT_EQ(writer->GetAllocatorRequirements(1, &props), S_OK);
  EXPECT_EQ(props.cbBuffer, 1152000);
  EXPECT_EQ(writer->SetOutput("/nonexistent/folder/out.mp4", nullptr), S_OK);
  for (uint32_t i = 2; i < CPassWriter::kMaxPins; ++i) ASSERT_EQ(writer->AddInputPin(&pcm.mt, 0), S_OK);
  EXPECT_EQ(writer->AddInputPin(&pcm.mt, 0), S_FALSE);  // a 21st pin
  writer->Release();

  // A sample larger than the pin's buffer goes out with no data, its times and flags kept.
  CXQueue queue;
  ASSERT_EQ(queue.Create(pass::QueueName(Me(), true, 0), 8, 384 + 40), XQueueResult::kOk);
  writer = NewWriter(Me());
  ASSERT_EQ(writer->AddInputPin(&yv12.mt, 0), S_OK);
  ASSERT_EQ(writer->Run(), S_OK);
  Pool big(1, 1000);
  IMediaSample* s = big.Sample(1000, 800000, 1200000);
  s->SetSyncPoint(1);
  EXPECT_EQ(writer->Receive(0, s), S_OK);
  EXPECT_EQ(writer->Receive(5, big.Sample(10, 0, 0)), S_FALSE);  // no such pin
  writer->Receive(0, nullptr);
  ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
  writer->CloseOutput();
  writer->Release();
  const auto m = Drain(queue);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].header.length, 0);
  EXPECT_EQ(m[0].header.flags, pass::kSyncPoint | pass::kStartValid | pass::kStopValid);
  EXPECT_EQ(m[0].header.start, 800000);
  EXPECT_EQ(m[0].header.stop, 1200000);
  EXPECT_EQ(m[1].header.start, 800000 + 416666);  // the end of segment
}

TEST_F(Passthru, WriterEndsWhenTheMergingProcessIsMissingOrGone) {
  OwnedType pcm;
  PcmType(pcm, 8000, 1);
  Pool chunks(2, 1600);
  // No merging process at all: no waiting for its queues.
  {
    CPassWriter* writer = NewWriter(kNoSuchProcess);
    ASSERT_EQ(writer->AddInputPin(&pcm.mt, 0), S_OK);
    const auto t = Clock::now();
    EXPECT_EQ(writer->Run(), E_PASS_QUEUE_FAILED);
    EXPECT_LT(Clock::now() - t, std::chrono::seconds(1));
    EXPECT_EQ(writer->GetState(), WRITER_FINISHED);
    EXPECT_EQ(writer->Receive(0, chunks.Sample(1600, 1000, 2000)), S_OK);  // dropped
    EXPECT_EQ(writer->CloseOutput(), E_PASS_QUEUE_FAILED);
    writer->Release();
  }
  // A running merging process without the queue: a bounded number of tries.
  {
    CPassWriter* writer = NewWriter(Me());
    writer->SetOpenRetry(3, 10);
    ASSERT_EQ(writer->AddInputPin(&pcm.mt, 0), S_OK);
    EXPECT_EQ(writer->Run(), E_PASS_QUEUE_FAILED);
    EXPECT_EQ(writer->GetState(), WRITER_FINISHED);
    writer->Release();
  }
  // The merging side closes its queue while samples still come.
  {
    CXQueue queue;
    ASSERT_EQ(queue.Create(pass::QueueName(Me(), false, 0), 2, 1600 + 40), XQueueResult::kOk);
    CPassWriter* writer = NewWriter(Me());
    ASSERT_EQ(writer->AddInputPin(&pcm.mt, 0), S_OK);
    ASSERT_EQ(writer->Run(), S_OK);
    EXPECT_EQ(writer->Receive(0, chunks.Sample(1600, 1000, 2000)), S_OK);
    EXPECT_EQ(writer->GetState(), WRITER_RUNNING);
    queue.Close();
    EXPECT_EQ(writer->Receive(0, chunks.Sample(1600, 2000, 3000)), S_OK);
    EXPECT_EQ(writer->GetState(), WRITER_FINISHED);
    EXPECT_EQ(writer->CloseOutput(), E_PASS_QUEUE_FAILED);
    writer->Release();
  }
}

TEST_F(Passthru, ReaderPinsAndNames) {
  auto* reader = static_cast<CPassReader*>(CPassReader::Create(nullptr));
  CParamList params;
  params.SetInt("VWIDTH", 320);
  params.SetInt("VHEIGHT", 240);
  params.SetInt("VFRAMERATENUM", 1001);
  params.SetInt("VFRAMERATEDEN", 30000);
  params.SetInt("ASAMPLERATE", 48000);
  params.SetInt("ACHANNEL", 2);
  params.SetInt("VTRACK", 1);
  params.SetInt("ATRACK", 2);
  reader->SetParams(&params);
  ASSERT_EQ(reader->GetOutputPinCount(), 3u);
  EXPECT_EQ(reader->GetInputPinCount(), 0u);
  const std::string pid = std::to_string(Me());
  EXPECT_EQ(reader->QueueNameOf(0), "PID" + pid + "_V0");
  EXPECT_EQ(reader->QueueNameOf(1), "PID" + pid + "_A0");
  EXPECT_EQ(reader->QueueNameOf(2), "PID" + pid + "_A1");

  OwnedType video, audio;
  ASSERT_EQ(reader->GetOutputType(0, 0, &video.mt), S_OK);
  EXPECT_EQ(video.mt.majortype, MEDIATYPE_Video);
  EXPECT_EQ(video.mt.subtype, MEDIASUBTYPE_YV12);
  EXPECT_EQ(video.mt.formattype, FORMAT_VideoInfo);
  EXPECT_EQ(video.mt.bTemporalCompression, 1);
  ASSERT_EQ(video.mt.cbFormat, 88u);
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, video.mt.pbFormat, sizeof vih);
  EXPECT_EQ(vih.bmiHeader.biWidth, 320);
  EXPECT_EQ(vih.bmiHeader.biHeight, 240);
  EXPECT_EQ(vih.bmiHeader.biBitCount, 12);
  EXPECT_EQ(vih.bmiHeader.biSizeImage, 115200u);
  EXPECT_EQ(vih.bmiHeader.biCompression, MakeFourcc('Y', 'V', '1', '2'));
  EXPECT_EQ(vih.AvgTimePerFrame, 333666);
  ASSERT_EQ(reader->GetOutputType(2, 0, &audio.mt), S_OK);
  ASSERT_EQ(audio.mt.cbFormat, 18u);
  WAVEFORMATEX wave;
  std::memcpy(&wave, audio.mt.pbFormat, sizeof wave);
  EXPECT_EQ(wave.wFormatTag, 1);
  EXPECT_EQ(wave.nChannels, 2);
  EXPECT_EQ(wave.nSamplesPerSec, 48000u);
  EXPECT_EQ(wave.nBlockAlign, 4);
  EXPECT_EQ(wave.nAvgBytesPerSec, 192000u);
  EXPECT_EQ(reader->GetOutputType(0, 1, &video.mt), MODULE_E_NO_TYPE);
  EXPECT_EQ(reader->GetOutputType(3, 0, &video.mt), S_FALSE);
  ALLOCATOR_PROPERTIES props{};
  EXPECT_EQ(reader->GetAllocatorRequirements(0, &props), E_FAIL);

  // Queues exist for the pins whose type was set, named after this process.
  EXPECT_EQ(reader->SetOutputType(0, &video.mt, 1), S_OK);
  EXPECT_EQ(reader->SetOutputType(2, &audio.mt, 0), S_OK);
  ASSERT_EQ(reader->Run(), S_OK);
  EXPECT_FALSE(SharedMemory::Exists(CXQueue::MappingName("PID" + pid + "_V0")));  // only tested
  EXPECT_FALSE(SharedMemory::Exists(CXQueue::MappingName("PID" + pid + "_A0")));
  CXQueue client;
  ASSERT_EQ(client.Open("PID" + pid + "_A1"), XQueueResult::kOk);
  EXPECT_EQ(client.Geometry().blocks, 2u);
  EXPECT_EQ(client.Geometry().payload, 1152128u - 24u);  // 1,152,040 + 24 rounded up to 128
  client.Close();
  reader->Close();
  reader->Release();

  // A picture size that does not fit a sample has no type.
  params.SetInt("VWIDTH", 0);
  reader = static_cast<CPassReader*>(CPassReader::Create(nullptr));
  reader->SetParams(&params);
  EXPECT_EQ(reader->GetOutputType(0, 0, &video.mt), MODULE_E_NO_TYPE);
  params.SetInt("VWIDTH", 60000);
  params.SetInt("VHEIGHT", 60000);
  reader->SetParams(&params);
  EXPECT_EQ(reader->GetOutputType(0, 0, &video.mt), MODULE_E_NO_TYPE);
  params.SetInt("VTRACK", 15);
  params.SetInt("ATRACK", 15);
  reader->SetParams(&params);
  EXPECT_EQ(reader->GetOutputPinCount(), CPassReader::kMaxPins);
  reader->Release();
}

namespace {

// Collects what a reader's output pins deliver.
struct Collected {
  std::mutex lock;
  std::vector<int64_t> starts, stops;
  std::vector<std::vector<uint8_t>> data;
  std::atomic<bool> ended{false};
};

HRESULT Collect(IMediaSample* sample, void* context) {
  auto* c = static_cast<Collected*>(context);
  if (!sample) {
    c->ended = true;
    return S_OK;
  }
  REFERENCE_TIME start = -1, stop = -1;
  sample->GetTime(&start, &stop);
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  std::lock_guard<std::mutex> guard(c->lock);
  c->starts.push_back(start);
  c->stops.push_back(stop);
  c->data.emplace_back(p, p + sample->GetActualDataLength());
  sample->Release();
  return S_OK;
}

CPassReader* RunReader(Collected* video, Collected* audio, Pool& videoPool, Pool& audioPool) {
  auto* reader = static_cast<CPassReader*>(CPassReader::Create(nullptr));
  CParamList params;
  params.SetInt("VWIDTH", 16);
  params.SetInt("VHEIGHT", 16);
  params.SetInt("VFRAMERATENUM", 1);
  params.SetInt("VFRAMERATEDEN", 25);
  params.SetInt("ASAMPLERATE", 8000);
  params.SetInt("ACHANNEL", 1);
  params.SetInt("VTRACK", 1);
  params.SetInt("ATRACK", 1);
  reader->SetParams(&params);
  OwnedType t;
  for (uint32_t pin = 0; pin < 2; ++pin) {
    EXPECT_EQ(reader->GetOutputType(pin, 0, &t.mt), S_OK);
    EXPECT_EQ(reader->SetOutputType(pin, &t.mt, 0), S_OK);
  }
  reader->SetOutputAllocator(0, videoPool.alloc);
  reader->SetOutputAllocator(1, audioPool.alloc);
  reader->SetOutputCallback(0, Collect, video);
  reader->SetOutputCallback(1, Collect, audio);
  EXPECT_EQ(reader->Run(), S_OK);
  return reader;
}

}  // namespace

TEST_F(Passthru, TwoSegmentsMakeOneTimeline) {
  Collected video, audio;
  Pool videoPool(4, 384), audioPool(4, 1600);
  CPassReader* reader = RunReader(&video, &audio, videoPool, audioPool);

  // Two conversions of 10 s each, one after the other.
  OwnedType vt, at;
  VideoType(vt, 16, 16, 400000);
  PcmType(at, 8000, 1);
  for (int segment = 0; segment < 2; ++segment) {
    SCOPED_TRACE("segment " + std::to_string(segment));
    CPassWriter* writer = NewWriter(Me());
    ASSERT_EQ(writer->AddInputPin(&vt.mt, 0), S_OK);
    ASSERT_EQ(writer->AddInputPin(&at.mt, 0), S_OK);
    ASSERT_EQ(writer->Run(), S_OK);
    Pool frames(2, 384), chunks(2, 1600);
    std::thread audioFeed([&] {
      for (int k = 0; k < 100; ++k)
        writer->Receive(1, chunks.Sample(1600, k * 1000000LL, (k + 1) * 1000000LL, static_cast<uint8_t>(segment)));
      writer->Receive(1, nullptr);
    });
    for (int k = 0; k < 250; ++k)
      writer->Receive(0, frames.Sample(384, k * 400000LL, (k + 1) * 400000LL, static_cast<uint8_t>(k + segment)));
    writer->Receive(0, nullptr);
    audioFeed.join();
    ASSERT_TRUE(WaitFor([&] { return writer->GetState() == WRITER_FINISHED; }));
    EXPECT_EQ(writer->CloseOutput(), S_OK);
    writer->Release();
  }
  // Stop ends each stream after what is queued.
  EXPECT_EQ(reader->Stop(), S_OK);
  ASSERT_TRUE(WaitFor([&] { return video.ended && audio.ended; }));

  ASSERT_EQ(video.starts.size(), 500u);
  ASSERT_EQ(audio.starts.size(), 200u);
  for (int k = 0; k < 500; ++k) {
    ASSERT_EQ(video.starts[k], k * 400000LL) << k;
    ASSERT_EQ(video.stops[k], (k + 1) * 400000LL) << k;
  }
  EXPECT_EQ(video.data[260].size(), 384u);
  EXPECT_EQ(video.data[260][0], static_cast<uint8_t>(10 + 1));  // frame 10 of the second segment
  for (int k = 0; k < 200; ++k) ASSERT_EQ(audio.starts[k], k * 1000000LL) << k;
  EXPECT_EQ(audio.stops.back(), 20 * kSecond);
  EXPECT_EQ(audio.data[150][0], 1);
  reader->Close();
  reader->Release();
}

TEST_F(Passthru, DamagedQueueEndsItsStreamAsAFailure) {
  Collected video, audio;
  Pool videoPool(2, 384), audioPool(2, 1600);
  CPassReader* reader = RunReader(&video, &audio, videoPool, audioPool);
  EXPECT_FALSE(SourceReadFailed());
  {
    SharedMemory raw;
    ASSERT_TRUE(raw.Open(CXQueue::MappingName(reader->QueueNameOf(1)), 0, SharedMemory::Mode::OpenExisting));
    auto word = [&](size_t offset) {
      return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(static_cast<uint8_t*>(raw.View()) + offset));
    };
    word(L::kUsedHead).store(7);  // past the two blocks
    word(L::kUsedCount).store(1);
    word(L::kFreeCount).store(1);
  }
  ASSERT_TRUE(WaitFor([&] { return audio.ended.load(); }, 5000));
  EXPECT_TRUE(SourceReadFailed());
  EXPECT_FALSE(video.ended);
  reader->Close();  // ends the other stream too
  EXPECT_TRUE(video.ended);
  reader->Release();
}
