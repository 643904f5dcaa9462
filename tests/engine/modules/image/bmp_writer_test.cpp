// The bitmap frame writer fed by hand: which frame it saves, the file's
// layout, frames of any size, short and long samples, failed writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/image/bmp_file.h"
#include "engine/modules/image/bmp_writer.h"
#include "plugin-api/media_type_helpers.h"

namespace fs = std::filesystem;

namespace {

fs::path TestDir() {
  const fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "bmp_writer" /
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// An RGB32 type of the frame size; VideoInfo2 when asked.
struct Rgb32Type {
  AM_MEDIA_TYPE mt;
  Rgb32Type(int32_t w, int32_t h, bool info2 = false, WORD bits = 32) {
    InitMediaType(&mt);
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB32;
    mt.formattype = info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
    EXPECT_TRUE(AllocMediaTypeFormat(&mt, info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER)));
    std::memset(mt.pbFormat, 0, mt.cbFormat);
    BITMAPINFOHEADER* bih = info2 ? &reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->bmiHeader
                                  : &reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
    bih->biSize = 40;
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = bits;
    bih->biSizeImage = static_cast<DWORD>(int64_t{w} * (h < 0 ? -h : h) * 4);
  }
  ~Rgb32Type() { ClearMediaTypeFormat(&mt); }
};

// A writer with one pin of w x h and its output path.
struct Writer {
  IMediaModule* module = nullptr;
  CBmpWriter* bmp = nullptr;
  int32_t stopWord = 0;
  int32_t position = -1;

  Writer(int32_t w, int32_t h, const fs::path& path, int32_t frameNumber, bool withStopWord = true) {
    module = CBmpWriter::Create(nullptr);
    bmp = static_cast<CBmpWriter*>(module);
    Rgb32Type type(w, h);
    EXPECT_EQ(module->AddInputPin(&type.mt, 0), S_OK);
    bmp->SetOutput(path.c_str(), nullptr);
    CParamList params;
    params.SetInt("FRAMENUM", frameNumber);
    if (withStopWord) params.SetPtr("STOPPTR", &stopWord);
    module->SetParams(&params);
    bmp->ReportPositionTo(&position);
    module->Run();
  }
  ~Writer() {
    module->Close();
    module->Release();
  }

  // Delivers a sample over the bytes with a start time; checks it is released once.
  void Send(std::vector<uint8_t>& bytes, REFERENCE_TIME start, LONG length = -1) {
    auto* sample = new CMediaSample(nullptr, bytes.data(), static_cast<LONG>(bytes.size()));
    sample->SetActualDataLength(length < 0 ? static_cast<LONG>(bytes.size()) : length);
    REFERENCE_TIME stop = start + 400000;
    sample->SetTime(&start, &stop);
    sample->AddRef();  // ours
    sample->AddRef();  // the one delivered
    EXPECT_EQ(module->Receive(0, sample), S_OK);
    EXPECT_EQ(sample->RefCount(), 1) << "the writer keeps no reference";
    sample->Release();
  }
  void End() { EXPECT_EQ(module->Receive(0, nullptr), S_OK); }
};

// Frame i of a w x h clip: every byte i + 1, the alpha bytes 0.
std::vector<uint8_t> Frame(int32_t w, int32_t h, int i) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * h * 4, static_cast<uint8_t>(i + 1));
  for (size_t a = 3; a < f.size(); a += 4) f[a] = 0;
  return f;
}

// What the file's pixels hold for a frame: its bytes with alpha 255.
std::vector<uint8_t> Opaque(std::vector<uint8_t> f) {
  for (size_t a = 3; a < f.size(); a += 4) f[a] = 255;
  return f;
}

std::vector<uint8_t> Pixels(const std::vector<uint8_t>& file) {
  return file.size() < kBmpHeaderBytes ? std::vector<uint8_t>{}
                                       : std::vector<uint8_t>(file.begin() + kBmpHeaderBytes, file.end());
}

constexpr int64_t kFrameTime = 400000;  // 25 frames per second

}  // namespace

TEST(BmpWriter, SavesFrameNOrTheLastKeptOne) {
  const int32_t w = 8, h = 6;
  struct Case {
    const char* label;
    int32_t frameNumber;
    int frames;
    int saved;          // frame in the file, -1 black
    bool stopWordSet;   // set only when frame N itself came
    int reportedFrame;  // whose start time is reported (-1: none came)
  };
  const Case cases[] = {
      {"N = 0 saves the first frame", 0, 3, 0, true, 0},
      {"N = 3 saves the fourth frame", 3, 6, 3, true, 3},
      {"N beyond the end keeps the last frame", 10, 4, 3, false, 3},
      {"a stream of exactly N frames keeps frame N - 2", 4, 4, 2, false, 3},
      {"N = 1 and one frame: nothing was kept, black", 1, 1, -1, false, 0},
      {"no frame at all: black", 2, 0, -1, false, -1},
      {"a negative N counts as 0", -5, 2, 0, true, 0},
  };
  const fs::path dir = TestDir();
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path path = dir / ("f" + std::to_string(n++) + ".bmp");
    Writer writer(w, h, path, c.frameNumber);
    EXPECT_EQ(writer.bmp->GetState(), 0);
    for (int i = 0; i < c.frames; ++i) {
      std::vector<uint8_t> frame = Frame(w, h, i);
      writer.Send(frame, i * kFrameTime);
    }
    EXPECT_EQ(writer.stopWord, c.stopWordSet ? 1 : 0);
    writer.End();
    EXPECT_EQ(writer.bmp->GetState(), 1);
    EXPECT_EQ(writer.bmp->CloseOutput(), S_OK);
    const std::vector<uint8_t> expected =
        c.saved < 0 ? Opaque(std::vector<uint8_t>(static_cast<size_t>(w) * h * 4, 0)) : Opaque(Frame(w, h, c.saved));
    EXPECT_EQ(Pixels(ReadAll(path)), expected);
    EXPECT_EQ(writer.position, c.reportedFrame < 0 ? 0 : static_cast<int32_t>(c.reportedFrame * kFrameTime / 10000));
  }
  // Only the files themselves: no temporary left beside them.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), n);
}

TEST(BmpWriter, FileLayout) {
  const fs::path dir = TestDir();
  struct Case {
    int32_t w, h;
  };
  // A PAL frame, a top-down one (negative height kept), a frame past the
  // 1920 x 1080 x 4 the writer once held.
  for (const Case c : {Case{720, 576}, Case{64, -32}, Case{3840, 2160}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const fs::path path = dir / ("f" + std::to_string(c.w) + ".bmp");
    const size_t length = static_cast<size_t>(c.w) * (c.h < 0 ? -c.h : c.h) * 4;
    Writer writer(c.w, c.h, path, 0);
    std::vector<uint8_t> frame(length);
    for (size_t i = 0; i < length; ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 4099);
    writer.Send(frame, 0);
    const std::vector<uint8_t> file = ReadAll(path);
    ASSERT_EQ(file.size(), kBmpHeaderBytes + length);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), kBmpHeaderBytes + length);
    EXPECT_EQ(Le32(file, 6), 0u);
    EXPECT_EQ(Le32(file, 10), kBmpHeaderBytes);
    // The info header is the input's, unchanged.
    Rgb32Type type(c.w, c.h);
    EXPECT_EQ(0, std::memcmp(file.data() + 14, &reinterpret_cast<VIDEOINFOHEADER*>(type.mt.pbFormat)->bmiHeader, 40));
    EXPECT_EQ(Pixels(file), Opaque(frame));
  }
  EXPECT_EQ(54u + 1658880u, fs::file_size(dir / "f720.bmp"));
}

TEST(BmpWriter, SampleLengthsAreBoundedAndTheRestIsBlack) {
  const fs::path dir = TestDir();
  const int32_t w = 4, h = 4;
  const size_t length = w * h * 4;
  {
    // Half a frame kept, then the end: the missing half is black.
    Writer writer(w, h, dir / "short.bmp", 5);
    std::vector<uint8_t> frame = Frame(w, h, 8);
    writer.Send(frame, 0, static_cast<LONG>(length / 2));
    writer.End();
    std::vector<uint8_t> expected = Frame(w, h, 8);
    std::fill(expected.begin() + length / 2, expected.end(), 0);
    EXPECT_EQ(Pixels(ReadAll(dir / "short.bmp")), Opaque(expected));
  }
  {
    // A sample longer than the frame: only the frame's bytes are written.
    Writer writer(w, h, dir / "long.bmp", 0);
    std::vector<uint8_t> big = Frame(w, h * 3, 2);
    writer.Send(big, 0);
    EXPECT_EQ(Pixels(ReadAll(dir / "long.bmp")), Opaque(Frame(w, h, 2)));
  }
}

TEST(BmpWriter, FailedWriteLeavesNoFileSetsTheStopWordAndIsReported) {
  const fs::path dir = TestDir();
  std::ofstream(dir / "plain") << "a file, not a folder";
  for (const fs::path& path : {dir / "plain" / "x.bmp", dir / "missing" / "x.bmp", dir / "folder"}) {
    SCOPED_TRACE(path.string());
    fs::create_directories(dir / "folder");
    Writer writer(4, 4, path, 0);
    std::vector<uint8_t> frame = Frame(4, 4, 0);
    writer.Send(frame, 0);
    EXPECT_EQ(writer.stopWord, 1);
    writer.End();
    EXPECT_EQ(writer.bmp->CloseOutput(), E_FAIL);
  }
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  // Nothing beside the plain file and the folder, which stays empty.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
  EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

TEST(BmpWriter, WithoutAStopWordTheWriterGoesOnToTheEnd) {
  const fs::path dir = TestDir();
  Writer writer(4, 4, dir / "f.bmp", 1, false);
  for (int i = 0; i < 5; ++i) {
    std::vector<uint8_t> frame = Frame(4, 4, i);
    writer.Send(frame, i * kFrameTime);
  }
  EXPECT_EQ(writer.bmp->GetState(), 0);
  writer.End();
  EXPECT_EQ(writer.bmp->GetState(), 1);
  EXPECT_EQ(Pixels(ReadAll(dir / "f.bmp")), Opaque(Frame(4, 4, 1)));
  // The position is the saved frame's, not the last one's.
  EXPECT_EQ(writer.position, static_cast<int32_t>(kFrameTime / 10000));
}

TEST(BmpWriter, InputPin) {
  IMediaModule* module = CBmpWriter::Create(nullptr);
  ASSERT_NE(module, nullptr);
  const struct {
    const char* label;
    Rgb32Type type;
    bool accepted;
  } cases[] = {
      {"VideoInfo", Rgb32Type(64, 48), true},
      {"VideoInfo2", Rgb32Type(64, 48, true), true},
      {"top-down", Rgb32Type(64, -48), true},
      {"24 bits", Rgb32Type(64, 48, false, 24), false},
      {"no width", Rgb32Type(0, 48), false},
      {"no height", Rgb32Type(64, 0), false},
      {"larger than any frame written", Rgb32Type(100000, 100000), false},
      {"width times height overflowing 32 bits", Rgb32Type(65536, 65536), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(module->AddInputPin(&c.type.mt, 1), c.accepted ? S_OK : S_FALSE);
  }
  EXPECT_EQ(module->GetInputPinCount(), 0u) << "flag 1 only tests";
  Rgb32Type yuv(64, 48);
  yuv.mt.subtype = MEDIASUBTYPE_YV12;
  EXPECT_EQ(module->AddInputPin(&yuv.mt, 0), S_FALSE);
  Rgb32Type type(64, 48);
  type.mt.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
  EXPECT_EQ(module->AddInputPin(&type.mt, 0), S_FALSE) << "format block too short";
  type.mt.cbFormat = sizeof(VIDEOINFOHEADER);
  EXPECT_EQ(module->AddInputPin(&type.mt, 0), S_OK);
  EXPECT_EQ(module->AddInputPin(&type.mt, 0), S_FALSE) << "one pin only";
  EXPECT_EQ(module->GetInputPinCount(), 1u);

  AM_MEDIA_TYPE got;
  InitMediaType(&got);
  EXPECT_EQ(module->GetInputType(0, 0, &got), S_OK);
  EXPECT_EQ(got.subtype, MEDIASUBTYPE_RGB32);
  ClearMediaTypeFormat(&got);
  EXPECT_EQ(module->GetInputType(0, 1, &got), MODULE_E_NO_TYPE);
  EXPECT_EQ(module->GetInputType(1, 0, &got), MODULE_E_NO_TYPE);
  ALLOCATOR_PROPERTIES props{};
  EXPECT_EQ(module->GetAllocatorRequirements(0, &props), S_OK);
  EXPECT_EQ(props.cBuffers, 1);
  EXPECT_EQ(props.cbBuffer, 64 * 48 * 4);
  EXPECT_EQ(props.cbAlign, 32);
  EXPECT_EQ(props.cbPrefix, 0);
  EXPECT_STREQ(static_cast<const char*>(module->GetRegistration()), "Bmp writer");
  module->Close();
  module->Release();
}
