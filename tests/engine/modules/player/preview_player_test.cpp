// The preview player fed by hand under the test clock: the types it takes,
// pacing of pictures and sound, hold and pause, seek markers, late packets,
// the end of the streams, and a wave output that cannot open or stalls, a
// window without a surface.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "common/param_list.h"
#include "common/preview_surface.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "engine/modules/player/preview_player.h"
#include "engine/modules/player/window_renderer.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/engine/modules/player/player_test_kit.h"

namespace {

constexpr int32_t kWidth = 16;
constexpr int32_t kHeight = 8;
constexpr uint32_t kWindow = 0x00C0FFEE;
constexpr int64_t kMs = 10000;                // 100-ns units
constexpr uint32_t kAudioPacketBytes = 7680;  // 40 ms
constexpr size_t kBytesPerMs = 192;

struct OwnedType {
  AM_MEDIA_TYPE mt;
  OwnedType() { InitMediaType(&mt); }
  ~OwnedType() { ClearMediaTypeFormat(&mt); }
};

std::unique_ptr<OwnedType> WaveType(WORD tag, DWORD rate, WORD channels, WORD bits, ULONG formatBytes = 18) {
  auto t = std::make_unique<OwnedType>();
  t->mt.majortype = MEDIATYPE_Audio;
  t->mt.subtype = MEDIASUBTYPE_PCM;
  t->mt.formattype = FORMAT_WaveFormatEx;
  EXPECT_TRUE(AllocMediaTypeFormat(&t->mt, formatBytes));
  std::memset(t->mt.pbFormat, 0, formatBytes);
  WAVEFORMATEX w{};
  w.wFormatTag = tag;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = bits;
  w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  w.nAvgBytesPerSec = rate * w.nBlockAlign;
  std::memcpy(t->mt.pbFormat, &w, std::min<size_t>(formatBytes, sizeof w));
  return t;
}

std::unique_ptr<OwnedType> VideoType(const GUID& subtype, int32_t w, int32_t h, WORD bits, bool info2 = false) {
  auto t = std::make_unique<OwnedType>();
  t->mt.majortype = MEDIATYPE_Video;
  t->mt.subtype = subtype;
  t->mt.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  const ULONG bytes = info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  EXPECT_TRUE(AllocMediaTypeFormat(&t->mt, bytes));
  std::memset(t->mt.pbFormat, 0, bytes);
  BITMAPINFOHEADER* bih = info2 ? &reinterpret_cast<VIDEOINFOHEADER2*>(t->mt.pbFormat)->bmiHeader
                                : &reinterpret_cast<VIDEOINFOHEADER*>(t->mt.pbFormat)->bmiHeader;
  bih->biSize = 40;
  bih->biWidth = w;
  bih->biHeight = h;
  bih->biPlanes = 1;
  bih->biBitCount = bits;
  bih->biSizeImage = static_cast<DWORD>((w * bits / 8 + 3) / 4 * 4 * (h < 0 ? -h : h));
  return t;
}

// The source's sound: every 16-bit sample nonzero and told apart by its frame.
std::vector<uint8_t> SourcePcm(int64_t fromMs, uint32_t bytes) {
  std::vector<uint8_t> pcm(bytes);
  const int64_t first = fromMs * 48;
  for (uint32_t i = 0; i + 4 <= bytes; i += 4) {
    const int64_t frame = first + i / 4;
    const int16_t left = static_cast<int16_t>(frame % 30000 + 1);
    const int16_t right = static_cast<int16_t>(-(frame / 30000 + 1));
    std::memcpy(&pcm[i], &left, 2);
    std::memcpy(&pcm[i + 2], &right, 2);
  }
  return pcm;
}

// The player with queues that never push back: the test feeds whole streams at once.
class TestPlayer final : public CPreviewPlayer {
 public:
  bool GetQueueLimits(uint32_t, int32_t* packets, int64_t* bytes) override {
    *packets = 100000;
    *bytes = int64_t{1} << 40;
    return true;
  }
};

class PreviewPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(control_, 0, sizeof control_);
    clock_.OnTick([this](int64_t ms) {
      if (device_.live) device_.live->PlayUntil(ms);
    });
  }

  void TearDown() override {
    clock_.FreeRun();
    if (player_) {
      player_->Close();
      player_->Release();
    }
  }

  // A running player with the pins asked for (video first), drawing into the
  // window's surface when there is one.
  void Start(bool video, bool audio, bool surface = true, const AM_MEDIA_TYPE* audioType = nullptr) {
    if (surface) {
      ASSERT_TRUE(surface_.Create(kWindow, kWidth, kHeight));
    }
    player_ = new TestPlayer;
    ASSERT_EQ(player_->Open(nullptr), S_OK);
    if (video) {
      auto type = VideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight, 24);
      ASSERT_EQ(player_->AddInputPin(&type->mt, 0), S_OK);
    }
    if (audio) {
      auto type = WaveType(1, 48000, 2, 16);
      ASSERT_EQ(player_->AddInputPin(audioType ? audioType : &type->mt, 0), S_OK);
    }
    CParamList params;
    params.SetInt("HWND", static_cast<int32_t>(kWindow));
    params.SetInt("WIDTH", kWidth);
    params.SetInt("HEIGHT", kHeight);
    player_->SetParams(&params);
    player_->SetClock(&clock_);
    player_->SetControlBlock(control_);
    player_->SetWaveOutFactory([this] { return std::make_unique<FakeWaveOut>(&device_, &clock_); });
    ASSERT_EQ(player_->Run(), S_OK);
    ASSERT_TRUE(clock_.Settle(Finished()));
  }

  std::function<bool()> Finished() {
    return [this] { return player_->GetState() == WRITER_FINISHED; };
  }
  ::testing::AssertionResult RunUntil(int64_t ms) { return clock_.RunUntil(ms, Finished()); }

  void Send(uint32_t pin, const std::vector<uint8_t>& bytes, int64_t start, bool timed = true) {
    auto* sample = new CMediaSample(nullptr, const_cast<uint8_t*>(bytes.data()), static_cast<LONG>(bytes.size()));
    sample->AddRef();
    sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
    if (timed) {
      REFERENCE_TIME stop = start + 1;
      sample->SetTime(&start, &stop);
    }
    ASSERT_EQ(player_->Receive(pin, sample), S_OK);
  }
  // Frame n: every byte n + 1.
  void SendFrame(int64_t ms, int n) {
    Send(static_cast<uint32_t>(player_->VideoPin()), std::vector<uint8_t>(kWidth * kHeight * 3, uint8_t(n + 1)),
         ms * kMs);
  }
  void SendFrames(int64_t fromMs, int64_t toMs) {
    for (int64_t ms = fromMs; ms < toMs; ms += 40) SendFrame(ms, static_cast<int>(ms / 40));
  }
  void SendAudio(int64_t fromMs, int64_t toMs) {
    for (int64_t ms = fromMs; ms < toMs; ms += 40)
      Send(static_cast<uint32_t>(player_->AudioPin()), SourcePcm(ms, kAudioPacketBytes), ms * kMs);
  }
  void SendMarker(int32_t pin) {
    auto* sample = new CMediaSample(nullptr, nullptr, 0);
    sample->AddRef();
    sample->SetActualDataLength(0);
    sample->SetDiscontinuity(1);
    ASSERT_EQ(player_->Receive(static_cast<uint32_t>(pin), sample), S_OK);
  }
  void SendEnd(int32_t pin) { ASSERT_EQ(player_->Receive(static_cast<uint32_t>(pin), nullptr), S_OK); }

  int32_t Word(size_t offset) { return BlockWord(control_, offset).load(); }
  uint32_t Frames() { return surface_.FrameCounter(); }
  // The time (ms) and first byte of the picture on the surface.
  std::pair<int64_t, int> Shown() {
    PreviewFrameInfo info;
    std::vector<uint8_t> pixels;
    if (!surface_.ReadFrame(&info, &pixels)) return {-1, -1};
    return {info.time / kMs, pixels[0]};
  }
  // Where the device's sound comes from: the source time (ms) of the played
  // bytes at `at`, -1 for silence, -2 for bytes that are not the source's.
  int64_t SourceMsAt(size_t at) {
    const auto& p = device_.played;
    if (at + 4 > p.size()) return -3;
    int16_t left, right;
    std::memcpy(&left, &p[at], 2);
    std::memcpy(&right, &p[at + 2], 2);
    if (left == 0 && right == 0) return -1;
    if (left <= 0 || right >= 0) return -2;
    const int64_t frame = int64_t{-right - 1} * 30000 + (left - 1);
    return frame / 48;
  }

  void CheckHold(bool byPause);

  TestClock clock_;
  DeviceLog device_;
  alignas(8) uint8_t control_[ControlBlock::kPixels];
  CPreviewSurface surface_;
  TestPlayer* player_ = nullptr;
};

TEST(PreviewPlayerTypes, TakesPcmAndRgb24OnlyOneOfEach) {
  struct Case {
    const char* label;
    std::unique_ptr<OwnedType> type;
    bool taken;
  };
  std::vector<Case> cases;
  cases.push_back({"PCM 48 kHz 16-bit stereo", WaveType(1, 48000, 2, 16), true});
  cases.push_back({"PCM 44.1 kHz 8-bit mono", WaveType(1, 44100, 1, 8), true});
  cases.push_back({"RGB24 VideoInfo", VideoType(MEDIASUBTYPE_RGB24, 320, 240, 24), true});
  cases.push_back({"RGB24 VideoInfo2, rows top-down", VideoType(MEDIASUBTYPE_RGB24, 320, -240, 24, true), true});
  cases.push_back({"PCM 24-bit", WaveType(1, 48000, 2, 24), false});
  cases.push_back({"float samples", WaveType(3, 48000, 2, 16), false});
  cases.push_back({"PCM of 9 channels", WaveType(1, 48000, 9, 16), false});
  cases.push_back({"PCM at 4 kHz", WaveType(1, 4000, 2, 16), false});
  cases.push_back({"a format block of 16 bytes", WaveType(1, 48000, 2, 16, 16), false});
  cases.push_back({"RGB32", VideoType(MEDIASUBTYPE_RGB32, 320, 240, 32), false});
  cases.push_back({"YV12", VideoType(MEDIASUBTYPE_YV12, 320, 240, 12), false});
  cases.push_back({"RGB24 of no width", VideoType(MEDIASUBTYPE_RGB24, 0, 240, 24), false});
  {
    auto cut = VideoType(MEDIASUBTYPE_RGB24, 320, 240, 24);
    cut->mt.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    cases.push_back({"RGB24 whose format block ends inside its header", std::move(cut), false});
  }
  {
    auto unset = WaveType(1, 48000, 2, 16);
    reinterpret_cast<WAVEFORMATEX*>(unset->mt.pbFormat)->nBlockAlign = 0;
    cases.push_back({"PCM whose block size is not filled in", std::move(unset), true});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    IMediaModule* m = CPreviewPlayer::Create(nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->AddInputPin(&c.type->mt, 1), c.taken ? S_OK : S_FALSE);
    EXPECT_EQ(m->GetInputPinCount(), 0u) << "a test stores nothing";
    EXPECT_EQ(m->AddInputPin(&c.type->mt, 0), c.taken ? S_OK : S_FALSE);
    EXPECT_EQ(m->GetInputPinCount(), c.taken ? 1u : 0u);
    if (c.taken) {
      EXPECT_EQ(m->AddInputPin(&c.type->mt, 0), S_FALSE) << "a second pin of that kind";
    }
    m->Close();
    m->Release();
  }
  IMediaModule* m = CPreviewPlayer::Create(nullptr);
  EXPECT_EQ(m->AddInputPin(nullptr, 0), S_FALSE);
  m->Release();
}

TEST(PreviewPlayerTypes, PinsAnswerTheirTypeBuffersAndQueueLimits) {
  auto* player = static_cast<CPreviewPlayer*>(CPreviewPlayer::Create(nullptr));
  auto video = VideoType(MEDIASUBTYPE_RGB24, 320, 240, 24);
  auto audio = WaveType(1, 48000, 2, 16);
  ASSERT_EQ(player->AddInputPin(&video->mt, 0), S_OK);
  ASSERT_EQ(player->AddInputPin(&audio->mt, 0), S_OK);
  OwnedType out;
  EXPECT_EQ(player->GetInputType(1, 1, &out.mt), MODULE_E_NO_TYPE);
  ASSERT_EQ(player->GetInputType(1, 0, &out.mt), S_OK);
  EXPECT_TRUE(out.mt.majortype == MEDIATYPE_Audio);
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(player->GetAllocatorRequirements(0, &props), S_OK);
  EXPECT_EQ(props.cBuffers, 1);
  EXPECT_EQ(props.cbBuffer, 320 * 240 * 3);
  EXPECT_EQ(props.cbAlign, 32);
  EXPECT_EQ(props.cbPrefix, 0);
  int32_t packets = 0;
  int64_t bytes = 0;
  EXPECT_TRUE(player->GetQueueLimits(0, &packets, &bytes));
  EXPECT_EQ(packets, 2);
  EXPECT_EQ(bytes, 31457280);
  EXPECT_TRUE(player->GetQueueLimits(1, &packets, &bytes));
  EXPECT_EQ(packets, 30);
  player->Close();
  player->Release();
}

// The clock starts at 10 ms (the player's first wake-up); a picture shows
// once the clock has passed its time; the device's byte at test time 10 + t
// is the sound of clock time t.
constexpr int64_t k0 = 10;

TEST_F(PreviewPlayer, PicturesAndSoundKeepToTheClock) {
  Start(true, true);
  SendFrames(0, 1000);
  SendAudio(0, 1000);
  for (int64_t t : {1, 39, 41, 401, 601}) {
    ASSERT_TRUE(RunUntil(k0 + t));
    EXPECT_EQ(Frames(), static_cast<uint32_t>((t + 39) / 40)) << "at " << t << " ms";
    EXPECT_EQ(Shown().first, (t - 1) / 40 * 40);
    EXPECT_EQ(Word(ControlBlock::kReportedPosition), (t - 1) / 40 * 40);
  }
  ASSERT_GE(device_.played.size(), (k0 + 600) * kBytesPerMs);
  for (int64_t t = 0; t < 600; t += 20) EXPECT_EQ(SourceMsAt((k0 + t) * kBytesPerMs), t) << "at " << t << " ms";
  // No more than 300 ms (and the buffer being filled) go to the device ahead of the clock.
  EXPECT_LE(device_.live->QueuedCount() * CPreviewPlayer::kWaveBufferBytes, 300 * kBytesPerMs + 8192);
}

// Hold (the control block's word, or the graph paused) after the picture at
// 400 ms, for 5 s: nothing shows meanwhile, and afterwards the clock goes on
// from 400 ms, so no picture is late.
void PreviewPlayer::CheckHold(bool byPause) {
  Start(true, false);
  SendFrames(0, 2000);
  ASSERT_TRUE(RunUntil(k0 + 401));
  ASSERT_EQ(Shown().first, 400);
  if (byPause)
    player_->Pause(1);
  else
    BlockWord(control_, ControlBlock::kHold).store(1);
  ASSERT_TRUE(RunUntil(k0 + 5401));
  EXPECT_EQ(Frames(), 11u) << "nothing shown while held";
  if (byPause)
    player_->Pause(0);
  else
    BlockWord(control_, ControlBlock::kHold).store(0);
  ASSERT_TRUE(RunUntil(clock_.NowMs() + 420));
  EXPECT_EQ(Shown().first, 800);
  EXPECT_EQ(Frames(), 21u) << "every picture shown";
}

TEST_F(PreviewPlayer, HoldWordKeepsTheClock) { CheckHold(false); }

TEST_F(PreviewPlayer, PausedGraphKeepsTheClock) { CheckHold(true); }

TEST_F(PreviewPlayer, HoldWithSoundRestartsAtTheLastAudioHandedToTheDevice) {
  Start(true, true);
  SendFrames(0, 2000);
  SendAudio(0, 2000);
  ASSERT_TRUE(RunUntil(k0 + 401));
  BlockWord(control_, ControlBlock::kHold).store(1);
  ASSERT_TRUE(RunUntil(k0 + 2400));
  EXPECT_EQ(device_.live->QueuedCount(), 0u) << "the device is reset";
  const size_t heard = device_.played.size();
  BlockWord(control_, ControlBlock::kHold).store(0);
  const int64_t released = clock_.NowMs();
  ASSERT_TRUE(RunUntil(released + 400));
  // Audio up to 680 ms had gone to the device: the clock goes on from there,
  // so the pictures of 440 to 560 ms are too late.
  EXPECT_GE(Shown().first, 1040);
  EXPECT_LE(Shown().first, 1080);
  EXPECT_EQ(Frames(), 11u + 2u + static_cast<uint32_t>((Shown().first - 640) / 40)) << "600 and 640 shown late";
  // The device plays on from the buffer it was filling (source 682 ms), in order.
  size_t at = heard;
  while (at < device_.played.size() && SourceMsAt(at) == -1) at += 4;
  const int64_t resumedAt = SourceMsAt(at);
  EXPECT_GE(resumedAt, 680);
  EXPECT_LT(resumedAt, 720);
  for (int64_t step = 0; step < 300; step += 20) EXPECT_EQ(SourceMsAt(at + step * kBytesPerMs), resumedAt + step);
}

TEST_F(PreviewPlayer, SeekMarkerFlushesReportsAndRestartsTheClock) {
  Start(true, true);
  SendFrames(0, 1000);
  SendAudio(0, 1000);
  ASSERT_TRUE(RunUntil(k0 + 401));
  const size_t heard = device_.played.size();
  BlockWord(control_, ControlBlock::kSeekPending).store(1);
  // The reader's marker reaches the video pin first: the audio queued behind
  // it is flushed at once, and what audio still comes before its own marker
  // is dropped.
  SendMarker(player_->VideoPin());
  ASSERT_TRUE(RunUntil(clock_.NowMs() + 100));
  EXPECT_TRUE(ReaderSeekDone());
  EXPECT_EQ(Word(ControlBlock::kSeekPending), 0);
  EXPECT_EQ(Word(ControlBlock::kReportedPosition), CPreviewPlayer::kReportedFlushed);
  EXPECT_EQ(device_.live->QueuedCount(), 0u);
  SendAudio(1000, 1200);
  ASSERT_TRUE(RunUntil(clock_.NowMs() + 50));
  SendMarker(player_->AudioPin());
  SendFrames(2000, 3000);
  SendAudio(2000, 3000);
  EXPECT_EQ(Word(ControlBlock::kReportedPosition), CPreviewPlayer::kReportedFlushed)
      << "until the first picture after the seek shows";
  ASSERT_TRUE(RunUntil(clock_.NowMs() + 410));
  EXPECT_GE(Shown().first, 2360);
  EXPECT_LE(Shown().first, 2400);
  EXPECT_EQ(Word(ControlBlock::kReportedPosition), Shown().first);
  // The sound after the seek is the source's from 2,000 ms on, nothing from before it.
  size_t at = heard;
  for (; at < device_.played.size(); at += 4) {
    const int64_t from = SourceMsAt(at);
    if (from == -1) continue;
    if (from >= 2000) break;
    ASSERT_LT(from, 720) << "sound from before the seek that was not on the device yet";
  }
  EXPECT_EQ(SourceMsAt(at), 2000);
  for (int64_t step = 0; step < 300; step += 20)
    EXPECT_EQ(SourceMsAt(at + step * kBytesPerMs), 2000 + step) << "in order, at the clock's pace";
}

TEST_F(PreviewPlayer, SeekKeepsAnEndOfStreamThatIsQueued) {
  Start(true, true);
  SendFrames(0, 1000);
  SendAudio(0, 1000);
  SendEnd(player_->AudioPin());
  ASSERT_TRUE(RunUntil(k0 + 100));
  SendMarker(player_->VideoPin());
  SendFrames(500, 700);
  SendEnd(player_->VideoPin());
  ASSERT_TRUE(RunUntil(clock_.NowMs() + 1000));
  EXPECT_EQ(player_->GetState(), WRITER_FINISHED) << "the audio's end of stream was flushed away";
}

TEST_F(PreviewPlayer, LatePicturesAreDroppedOthersShown) {
  Start(true, false);
  SendFrame(0, 0);
  ASSERT_TRUE(RunUntil(k0 + 200));
  ASSERT_EQ(Frames(), 1u);
  testing::internal::CaptureStdout();
  SendFrame(50, 1);   // 150 ms late
  SendFrame(110, 2);  // 90 ms late
  SendFrame(240, 3);  // 40 ms ahead
  ASSERT_TRUE(RunUntil(k0 + 230));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("drop video data\n"), std::string::npos) << out;
  EXPECT_EQ(Frames(), 2u);
  EXPECT_EQ(Shown(), std::make_pair(int64_t{110}, 3));
  ASSERT_TRUE(RunUntil(k0 + 241));
  EXPECT_EQ(Shown(), std::make_pair(int64_t{240}, 4));
}

TEST_F(PreviewPlayer, EndOfStreamFinishesAndTheSoundPlaysOut) {
  Start(true, true);
  SendFrames(0, 400);
  SendAudio(0, 400);
  SendEnd(player_->VideoPin());
  SendEnd(player_->AudioPin());
  ASSERT_TRUE(RunUntil(k0 + 1000));
  EXPECT_EQ(player_->GetState(), WRITER_FINISHED);
  EXPECT_EQ(Frames(), 10u);
  player_->Close();  // waits for the device to play what it was given
  const size_t whole = 400 * kBytesPerMs / CPreviewPlayer::kWaveBufferBytes * CPreviewPlayer::kWaveBufferBytes;
  size_t data = 0;
  for (size_t at = 0; at < device_.played.size(); at += 4) data += SourceMsAt(at) >= 0 ? 4 : 0;
  EXPECT_EQ(data, whole) << "whole buffers only; the last partial one is never sent";
}

TEST_F(PreviewPlayer, SoundAloneReportsItsPosition300MsBehind) {
  Start(false, true);
  SendAudio(0, 2000);
  ASSERT_TRUE(RunUntil(k0 + 1000));
  // Audio up to 1,280 ms has gone to the device (300 ms ahead): reported 300 ms less.
  EXPECT_EQ(Word(ControlBlock::kReportedPosition), 1280 - 300);
  for (int64_t t = 0; t < 1000; t += 50) EXPECT_EQ(SourceMsAt((k0 + t) * kBytesPerMs), t);
}

TEST_F(PreviewPlayer, SoundShorterThanOneBufferIsNeverSent) {
  Start(false, true);
  Send(static_cast<uint32_t>(player_->AudioPin()), SourcePcm(0, 5000), 0);
  SendEnd(player_->AudioPin());
  ASSERT_TRUE(RunUntil(k0 + 500));
  EXPECT_EQ(player_->GetState(), WRITER_FINISHED);
  player_->Close();
  for (size_t at = 0; at < device_.played.size(); at += 4) ASSERT_EQ(SourceMsAt(at), -1);
}

TEST_F(PreviewPlayer, NoAudioDeviceDropsTheSoundAndKeepsPicturesPaced) {
  device_.failOpen = true;
  Start(true, true);
  EXPECT_FALSE(player_->AudioOpen());
  SendFrames(0, 1000);
  SendAudio(0, 1000);
  for (int64_t t : {201, 521}) {
    ASSERT_TRUE(RunUntil(k0 + t));
    EXPECT_EQ(Shown().first, (t - 1) / 40 * 40);
    EXPECT_EQ(Frames(), static_cast<uint32_t>((t + 39) / 40));
  }
  SendEnd(player_->VideoPin());
  SendEnd(player_->AudioPin());
  ASSERT_TRUE(RunUntil(k0 + 1500));
  EXPECT_EQ(player_->GetState(), WRITER_FINISHED);
}

TEST_F(PreviewPlayer, StalledDeviceIsGivenUpAfterABoundedWait) {
  device_.stalled = true;
  Start(true, true);
  SendFrames(0, 6000);
  SendAudio(0, 6000);
  SendEnd(player_->VideoPin());
  SendEnd(player_->AudioPin());
  // 20 buffers (0.85 s) fill up; the 21st waits 2 s, then the sound is dropped.
  ASSERT_TRUE(RunUntil(k0 + 3500));
  EXPECT_FALSE(player_->AudioOpen());
  const uint32_t before = Frames();
  ASSERT_TRUE(RunUntil(k0 + 4001));
  EXPECT_GE(Frames(), before + 12) << "pictures go on at their pace";
  EXPECT_EQ(Shown().first, 4000);
  ASSERT_TRUE(RunUntil(k0 + 7000));
  EXPECT_EQ(player_->GetState(), WRITER_FINISHED);
}

TEST_F(PreviewPlayer, WindowWithoutSurfaceDropsPicturesOnly) {
  Start(true, true, false);
  EXPECT_FALSE(player_->Renderer().Drawing());
  SendFrames(0, 1000);
  SendAudio(0, 1000);
  ASSERT_TRUE(RunUntil(k0 + 601));
  EXPECT_EQ(Word(ControlBlock::kReportedPosition), 600);
  for (int64_t t = 0; t < 600; t += 20) EXPECT_EQ(SourceMsAt((k0 + t) * kBytesPerMs), t);
}

TEST_F(PreviewPlayer, MuteSilencesTheSoundAtTheSamePace) {
  Start(false, true);
  SendAudio(0, 2000);
  ASSERT_TRUE(RunUntil(k0 + 400));
  SetPreviewPlayerMute(true);
  ASSERT_TRUE(RunUntil(k0 + 800));
  SetPreviewPlayerMute(false);
  ASSERT_TRUE(RunUntil(k0 + 1200));
  EXPECT_EQ(SourceMsAt((k0 + 300) * kBytesPerMs), 300);
  EXPECT_EQ(SourceMsAt((k0 + 600) * kBytesPerMs), -1);
  EXPECT_EQ(SourceMsAt((k0 + 1100) * kBytesPerMs), 1100) << "the sound went on while muted";
}

TEST_F(PreviewPlayer, SoundOfAnotherRatePlaysAtItsOwnRate) {
  auto mono = WaveType(1, 22050, 1, 16);
  Start(false, true, true, &mono->mt);
  EXPECT_EQ(device_.format.nSamplesPerSec, 22050u);
  EXPECT_EQ(device_.format.nChannels, 1);
  EXPECT_EQ(device_.format.nAvgBytesPerSec, 44100u);
}

TEST(WindowRenderer, DrawsBottomUpPicturesTopDownAndScales) {
  CPreviewSurface surface;
  ASSERT_TRUE(surface.Create(kWindow + 1, 8, 8));
  BITMAPINFOHEADER bih{};
  bih.biSize = 40;
  bih.biWidth = 2;
  bih.biHeight = 2;  // bottom-up
  bih.biBitCount = 24;
  // Rows of 8 bytes (6 and 2 of padding): the bottom row blue-ish, the top row red-ish.
  const std::vector<uint8_t> picture = {200, 10, 10, 200, 10, 10, 0, 0, 10, 10, 200, 10, 10, 200, 0, 0};
  CWindowRenderer renderer;
  ASSERT_TRUE(renderer.Begin(kWindow + 1, 0, 0, bih));
  ASSERT_FALSE(renderer.Draw(picture.data(), picture.size() - 1, 0)) << "a short picture";
  ASSERT_TRUE(renderer.Draw(picture.data(), picture.size(), 123 * kMs));
  PreviewFrameInfo info;
  std::vector<uint8_t> pixels;
  ASSERT_TRUE(surface.ReadFrame(&info, &pixels));
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.stride, 8);
  EXPECT_EQ(info.format, PreviewSurface::kFormatBgrx32);
  EXPECT_EQ(info.time, 123 * kMs);
  const std::vector<uint8_t> topDown = {10, 10, 200, 255, 10, 10, 200, 255, 200, 10, 10, 255, 200, 10, 10, 255};
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 16), topDown);

  ASSERT_TRUE(renderer.Begin(kWindow + 1, 8, 8, bih));
  ASSERT_TRUE(renderer.Draw(picture.data(), picture.size(), 0));
  ASSERT_TRUE(surface.ReadFrame(&info, &pixels));
  EXPECT_EQ(info.width, 8);
  EXPECT_EQ(info.counter, 2u);
  EXPECT_EQ(pixels[2], 200) << "the top row stays red";
  EXPECT_EQ(pixels[7 * 32], 200) << "the bottom row stays blue";

  EXPECT_FALSE(renderer.Begin(kWindow + 1, 16, 16, bih)) << "larger than the surface";
  EXPECT_FALSE(renderer.Begin(kWindow + 2, 0, 0, bih)) << "a window without a surface";
}

}  // namespace
