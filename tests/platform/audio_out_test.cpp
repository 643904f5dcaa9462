// The wave output: the buffer queue a device plays from (order, hand-back,
// reset, mute, refusals), and SDL's devices with the drivers that need no
// sound card, a driver that does not exist and one that stalls.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_out.h"

namespace {

WAVEFORMATEX Format() {
  WAVEFORMATEX f{};
  f.wFormatTag = 1;
  f.nChannels = 2;
  f.nSamplesPerSec = 48000;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 192000;
  return f;
}

// The buffers handed back, in order; a device's thread adds to it.
struct Returned {
  std::mutex lock;
  std::vector<WaveBuffer*> buffers;
  static void Done(void* context, WaveBuffer* buffer) {
    auto* self = static_cast<Returned*>(context);
    std::lock_guard<std::mutex> guard(self->lock);
    self->buffers.push_back(buffer);
  }
  size_t Count() {
    std::lock_guard<std::mutex> guard(lock);
    return buffers.size();
  }
};

class QueueOnly final : public CWaveQueue {
 public:
  ~QueueOnly() override {
    if (IsOpen()) Close();
  }

 protected:
  HRESULT OpenDevice(const WAVEFORMATEX&) override { return S_OK; }
  void CloseDevice() override {}
};

struct Buffer {
  std::vector<uint8_t> bytes;
  WaveBuffer header;
  Buffer(size_t n, uint8_t first) : bytes(n) {
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    header.data = bytes.data();
    header.length = static_cast<uint32_t>(n);
  }
};

TEST(WaveQueue, PlaysBuffersInOrderAndHandsEachBack) {
  QueueOnly out;
  Returned returned;
  ASSERT_EQ(out.Open(Format(), &Returned::Done, &returned), S_OK);
  Buffer a(6, 1), b(4, 101);
  EXPECT_EQ(out.Write(&a.header), E_INVALIDARG) << "not prepared";
  ASSERT_EQ(out.Prepare(&a.header), S_OK);
  ASSERT_EQ(out.Prepare(&b.header), S_OK);
  ASSERT_EQ(out.Write(&a.header), S_OK);
  ASSERT_EQ(out.Write(&b.header), S_OK);
  EXPECT_EQ(out.Write(&b.header), E_INVALIDARG) << "already queued";
  EXPECT_EQ(out.Unprepare(&a.header), WAVE_E_STILL_PLAYING);

  std::vector<uint8_t> played(4);
  EXPECT_EQ(out.Pull(played.data(), 4), 4u);
  EXPECT_TRUE(returned.buffers.empty());
  EXPECT_EQ(played, (std::vector<uint8_t>{1, 2, 3, 4}));
  played.assign(8, 0xEE);
  EXPECT_EQ(out.Pull(played.data(), 8), 6u) << "the rest of a, all of b, then silence";
  EXPECT_EQ(played, (std::vector<uint8_t>{5, 6, 101, 102, 103, 104, 0, 0}));
  ASSERT_EQ(returned.buffers.size(), 2u);
  EXPECT_EQ(returned.buffers[0], &a.header);
  EXPECT_EQ(returned.buffers[1], &b.header);
  EXPECT_TRUE(a.header.flags & WAVE_BUFFER_DONE);
  EXPECT_FALSE(a.header.flags & WAVE_BUFFER_QUEUED);
  EXPECT_EQ(out.Unprepare(&a.header), S_OK);
  EXPECT_EQ(out.QueuedCount(), 0u);
}

TEST(WaveQueue, ResetHandsBackAtOnceAndMutePlaysSilenceAtThePace) {
  QueueOnly out;
  Returned returned;
  EXPECT_EQ(out.Write(nullptr), E_POINTER);
  EXPECT_EQ(out.Open(WAVEFORMATEX{}, &Returned::Done, &returned), E_INVALIDARG);
  ASSERT_EQ(out.Open(Format(), &Returned::Done, &returned), S_OK);
  Buffer a(8, 1), b(8, 50);
  out.Prepare(&a.header);
  out.Prepare(&b.header);
  out.Write(&a.header);
  out.Write(&b.header);
  out.SetMute(true);
  std::vector<uint8_t> played(4, 0xEE);
  EXPECT_EQ(out.Pull(played.data(), 4), 4u) << "muted data still counts as played";
  EXPECT_EQ(played, (std::vector<uint8_t>(4, 0)));
  out.SetMute(false);
  EXPECT_EQ(out.Pull(played.data(), 4), 4u);
  EXPECT_EQ(played, (std::vector<uint8_t>{5, 6, 7, 8}));
  ASSERT_EQ(out.Reset(), S_OK);
  EXPECT_EQ(returned.buffers.size(), 2u);
  EXPECT_EQ(out.QueuedCount(), 0u);
  EXPECT_EQ(out.Pull(played.data(), 4), 0u) << "nothing left after a reset";
  // Written again, handed back by Close.
  out.Write(&a.header);
  ASSERT_EQ(out.Close(), S_OK);
  EXPECT_EQ(returned.buffers.size(), 3u);
  EXPECT_EQ(out.Write(&a.header), WAVE_E_NOT_OPEN);
}

// SDL's devices, chosen by SDL_AUDIODRIVER.
class SdlWaveOut : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("SDL_DISKAUDIODELAY");
    dir_ = std::filesystem::path(TRIVOX_BINARY_DIR) / "fixtures" / "audio_out";
    std::filesystem::create_directories(dir_);
  }
  std::filesystem::path dir_;
};

TEST_F(SdlWaveOut, DummyAndDiskDevicesPlayWhatIsWritten) {
  const std::string diskFile = (dir_ / "disk.raw").string();
  std::filesystem::remove(diskFile);
  setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
  for (const char* driver : {"dummy", "disk"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    auto out = CreateSdlWaveOut();
    Returned returned;
    ASSERT_EQ(out->Open(Format(), &Returned::Done, &returned), S_OK);
    std::vector<Buffer> buffers;
    for (int i = 0; i < 4; ++i) buffers.emplace_back(9600, static_cast<uint8_t>(1 + i));  // 50 ms each
    for (Buffer& b : buffers) {
      ASSERT_EQ(out->Prepare(&b.header), S_OK);
      ASSERT_EQ(out->Write(&b.header), S_OK);
    }
    // 200 ms of sound; the device's thread hands every buffer back.
    for (int i = 0; i < 300 && returned.Count() < 4; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(returned.Count(), 4u);
    EXPECT_EQ(out->Close(), S_OK);
  }
  // The disk device wrote the buffers' bytes in order, after any silence.
  std::ifstream file(diskFile, std::ios::binary);
  std::vector<uint8_t> disk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  size_t at = 0;
  while (at < disk.size() && disk[at] == 0) ++at;
  ASSERT_GE(disk.size(), at + 4 * 9600);
  for (int i = 0; i < 4; ++i)
    for (size_t k = 0; k < 9600; k += 997)
      ASSERT_EQ(disk[at + i * 9600 + k], static_cast<uint8_t>(1 + i + k)) << "buffer " << i << " byte " << k;
}

TEST_F(SdlWaveOut, MissingDriverAndStalledDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  Returned returned;
  EXPECT_EQ(CreateSdlWaveOut()->Open(Format(), &Returned::Done, &returned), WAVE_E_NO_DEVICE);

  // The disk device sleeps 2.5 s between its buffers: Close gives up after a
  // second and leaves the device to close on its own.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", (dir_ / "stalled.raw").c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "2500", 1);
  auto out = CreateSdlWaveOut();
  ASSERT_EQ(out->Open(Format(), &Returned::Done, &returned), S_OK);
  Buffer b(192000, 1);
  out->Prepare(&b.header);
  out->Write(&b.header);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(out->Close(), S_OK);
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, std::chrono::milliseconds(2000));
  ASSERT_EQ(returned.Count(), 1u) << "the buffer came back by the reset";
  out.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // the device's own close ends
  unsetenv("SDL_DISKAUDIODELAY");
}

}  // namespace
