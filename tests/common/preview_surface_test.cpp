// The preview surface between the engine's renderer and the front end:
// creation and opening, frames written and read back, and the bounds that
// hold whatever the block's header claims.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/preview_surface.h"

namespace {

std::vector<uint8_t> Picture(int32_t w, int32_t h, uint8_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(seed + i);
  return p;
}

TEST(PreviewSurface, FramesWrittenByOneHandleAreReadByAnother) {
  CPreviewSurface frontEnd, engine;
  EXPECT_FALSE(engine.Open(0x1234)) << "no surface yet";
  ASSERT_TRUE(frontEnd.Create(0x1234, 64, 48));
  EXPECT_EQ(frontEnd.Capacity(), 64u * 48u * 4u);
  ASSERT_TRUE(engine.Open(0x1234));
  PreviewFrameInfo info;
  std::vector<uint8_t> pixels;
  EXPECT_FALSE(frontEnd.ReadFrame(&info, &pixels)) << "no frame yet";
  EXPECT_EQ(frontEnd.FrameCounter(), 0u);

  // Rows taken from a wider buffer (pitch 48 for 32 + 16 bytes of padding).
  std::vector<uint8_t> rows(48 * 6);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(engine.WriteFrame(8, 6, rows.data(), 48, 1234567, 100));
  ASSERT_TRUE(frontEnd.ReadFrame(&info, &pixels));
  EXPECT_EQ(info.width, 8);
  EXPECT_EQ(info.height, 6);
  EXPECT_EQ(info.stride, 32);
  EXPECT_EQ(info.format, PreviewSurface::kFormatBgrx32);
  EXPECT_EQ(info.counter, 1u);
  EXPECT_EQ(info.time, 1234567);
  ASSERT_EQ(pixels.size(), 32u * 6u);
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 32; ++c) ASSERT_EQ(pixels[r * 32 + c], rows[r * 48 + c]);

  const std::vector<uint8_t> whole = Picture(64, 48, 7);
  ASSERT_TRUE(engine.WriteFrame(64, 48, whole.data(), 256, -5, 100));
  ASSERT_TRUE(frontEnd.ReadFrame(&info, &pixels));
  EXPECT_EQ(pixels, whole);
  EXPECT_EQ(info.time, -5);
  EXPECT_EQ(frontEnd.FrameCounter(), 2u);
  EXPECT_FALSE(engine.WriteFrame(64, 49, whole.data(), 256, 0, 100)) << "more than the capacity";
  EXPECT_FALSE(engine.WriteFrame(8, 6, rows.data(), 16, 0, 100)) << "a pitch shorter than a row";
  EXPECT_EQ(frontEnd.FrameCounter(), 2u);
}

TEST(PreviewSurface, RefusesBadSizesAndBlocksThatAreNoSurface) {
  CPreviewSurface s;
  EXPECT_FALSE(s.Create(1, 0, 10));
  EXPECT_FALSE(s.Create(1, 10, -1));
  EXPECT_FALSE(s.Create(1, PreviewSurface::kMaxSide + 1, 10));
  // Some other block under the surface's name.
  CSharedBlock other;
  ASSERT_TRUE(other.Create(PreviewSurface::NameForWindow(2), 4096));
  EXPECT_FALSE(s.Open(2));
  EXPECT_FALSE(s.Create(2, 8, 8));
  // A header whose capacity runs past the block.
  CSharedBlock tiny;
  ASSERT_TRUE(tiny.Create(PreviewSurface::NameForWindow(3), 128));
  for (auto [at, v] : {std::pair<size_t, uint32_t>{4, 1}, {8, 64}, {12, 1 << 20}, {0, PreviewSurface::kMagic}})
    BlockWord(tiny.View(), at).store(static_cast<int32_t>(v));
  EXPECT_FALSE(s.Open(3));
}

TEST(PreviewSurface, ReadsStayInsideTheBlockWhateverTheHeaderSays) {
  CPreviewSurface engine, frontEnd;
  ASSERT_TRUE(frontEnd.Create(4, 16, 16));
  ASSERT_TRUE(engine.Open(4));
  const std::vector<uint8_t> p = Picture(16, 16, 1);
  ASSERT_TRUE(engine.WriteFrame(16, 16, p.data(), 64, 0, 100));
  CSharedBlock raw;
  ASSERT_TRUE(raw.OpenExisting(PreviewSurface::NameForWindow(4)));
  PreviewFrameInfo info;
  std::vector<uint8_t> pixels;
  struct Lie {
    size_t at;
    int32_t value;
  };
  for (Lie lie : {Lie{PreviewSurface::kHeight, 17}, Lie{PreviewSurface::kStride, 1 << 30},
                  Lie{PreviewSurface::kWidth, 0x7FFFFFFF}, Lie{PreviewSurface::kStride, 8}}) {
    BlockWord(raw.View(), lie.at).store(lie.value);
    EXPECT_FALSE(frontEnd.ReadFrame(&info, &pixels)) << "word " << lie.at << " = " << lie.value;
    ASSERT_TRUE(engine.WriteFrame(16, 16, p.data(), 64, 0, 100));
  }
  EXPECT_TRUE(frontEnd.ReadFrame(&info, &pixels));
}

TEST(PreviewSurface, WriterGivesUpWhenTheLockIsHeld) {
  CPreviewSurface engine, frontEnd;
  ASSERT_TRUE(frontEnd.Create(5, 4, 4));
  ASSERT_TRUE(engine.Open(5));
  CSharedBlock raw;
  ASSERT_TRUE(raw.OpenExisting(PreviewSurface::NameForWindow(5)));
  std::atomic<bool> held{false}, release{false};
  std::thread reader([&] {
    NamedMutexLock lock(raw.Mutex());
    held = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::vector<uint8_t> p = Picture(4, 4, 1);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(engine.WriteFrame(4, 4, p.data(), 16, 0, 20));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
  release = true;
  reader.join();
  EXPECT_TRUE(engine.WriteFrame(4, 4, p.data(), 16, 0, 20));
}

}  // namespace
