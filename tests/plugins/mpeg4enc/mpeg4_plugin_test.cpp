// "[PLUGIN]MPEG4": found through the registry after the built-in encoders,
// encoding pictures that the FFmpeg writer puts into AVI and MP4.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/ffmpeg/ffm_writer.h"
#include "engine/registry/module_registry.h"
#include "platform/mem_allocator.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "tests/test_util/ffm_test_media.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrames = 250;  // 10 s at 25 frames/s
constexpr int kFrameBytes = kWidth * kHeight * 3 / 2;

std::string RunText(const std::string& command) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (f == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
  pclose(f);
  return out;
}

std::string OutDir() {
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/fixtures/mpeg4_plugin";
  ffmtest::Shell("mkdir -p '" + dir + "'");
  return dir;
}

// I420 pictures of a moving test pattern, made by the ffmpeg CLI.
const std::string& SourcePictures() {
  static const std::string path = [] {
    const std::string p = OutDir() + "/source.yuv";
    ffmtest::Shell("test -s '" + p +
                   "' || ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 10 "
                   "-pix_fmt yuv420p -f rawvideo '" +
                   p + "'");
    return p;
  }();
  return path;
}

AM_MEDIA_TYPE* PictureType(bool yv12) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  InitMediaType(mt);
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = yv12 ? MEDIASUBTYPE_YV12 : MEDIASUBTYPE_I420;
  mt->formattype = FORMAT_VideoInfo;
  AllocMediaTypeFormat(mt, sizeof(VIDEOINFOHEADER));
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = 400000;
  vih.bmiHeader.biSize = 40;
  vih.bmiHeader.biWidth = kWidth;
  vih.bmiHeader.biHeight = kHeight;
  vih.bmiHeader.biPlanes = 1;
  vih.bmiHeader.biBitCount = 12;
  vih.bmiHeader.biCompression = yv12 ? MakeFourcc('Y', 'V', '1', '2') : MakeFourcc('I', '4', '2', '0');
  vih.bmiHeader.biSizeImage = kFrameBytes;
  std::memcpy(mt->pbFormat, &vih, sizeof(vih));
  mt->bFixedSizeSamples = 1;
  mt->lSampleSize = kFrameBytes;
  return mt;
}

HRESULT ToWriter(IMediaSample* sample, void* context) {
  return static_cast<IMediaWriter*>(context)->Receive(0, sample);
}

class Mpeg4Plugin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
    registry_ = new CModuleRegistry();
    registry_->Init(std::string(TRIVOX_STAGE_DIR) + "/plugin");
  }
  static void TearDownTestSuite() {
    delete registry_;
    registry_ = nullptr;
  }
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
  }

  // Encodes the source pictures through the plug-in into a file; the
  // encoder parameters are given as text. Returns the writer's close result.
  HRESULT Encode(const char* muxer, const std::string& path, bool yv12, const char* params, int globalHeader = 0) {
    std::vector<uint8_t> pictures = ffmtest::ReadFile(SourcePictures());
    EXPECT_EQ(pictures.size(), static_cast<size_t>(kFrames) * kFrameBytes);
    if (pictures.size() < static_cast<size_t>(kFrames) * kFrameBytes) return E_FAIL;

    IMediaModule* encoder = registry_->videoEncoders.CreateByName("[PLUGIN]MPEG4");
    EXPECT_NE(encoder, nullptr);
    if (encoder == nullptr) return E_FAIL;
    AM_MEDIA_TYPE* in = PictureType(yv12);
    EXPECT_EQ(encoder->SetInputType(0, in, 1), S_OK);
    EXPECT_EQ(encoder->SetInputType(0, in, 0), S_OK);
    // "KEY=value;KEY=value" as integer keys.
    CParamList p;
    std::string text = params;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find(';', at);
      if (end == std::string::npos) end = text.size();
      const std::string item = text.substr(at, end - at);
      const size_t eq = item.find('=');
      if (eq != std::string::npos) p.SetInt(item.substr(0, eq).c_str(), std::atoi(item.c_str() + eq + 1));
      at = end + 1;
    }
    p.SetInt("ETYPE", 0);
    EXPECT_EQ(encoder->SetParams(&p), S_OK);

    CParamList wp;
    wp.SetString("NAME", muxer);
    wp.SetInt("GLOBALHEADER", globalHeader);
    auto* writer = QueryAsWriter(CFFMWriter::Create(&wp));
    EXPECT_EQ(writer->SetOutput(path.c_str(), nullptr), S_OK);
    AM_MEDIA_TYPE* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    InitMediaType(out);
    EXPECT_EQ(encoder->GetOutputType(0, 0, out), S_OK);
    EXPECT_EQ(writer->AddInputPin(out, 0), S_OK);

    IMemAllocator* allocator = nullptr;
    CreateMemoryAllocator(&allocator);
    ALLOCATOR_PROPERTIES want{4, kFrameBytes, 32, 0}, got{};
    allocator->SetProperties(&want, &got);
    allocator->Commit();
    encoder->SetOutputAllocator(0, allocator);
    encoder->SetOutputCallback(0, ToWriter, writer);
    writer->Run();
    encoder->Run();

    for (int i = 0; i < kFrames; ++i) {
      std::vector<uint8_t> frame(pictures.begin() + static_cast<long>(i) * kFrameBytes,
                                 pictures.begin() + static_cast<long>(i + 1) * kFrameBytes);
      if (yv12) {
        // V plane before U.
        std::vector<uint8_t> u(frame.begin() + kWidth * kHeight, frame.begin() + kWidth * kHeight * 5 / 4);
        std::copy(frame.begin() + kWidth * kHeight * 5 / 4, frame.end(), frame.begin() + kWidth * kHeight);
        std::copy(u.begin(), u.end(), frame.begin() + kWidth * kHeight * 5 / 4);
      }
      auto* sample = new CMediaSample(nullptr, frame.data(), kFrameBytes);
      sample->AddRef();
      sample->SetActualDataLength(kFrameBytes);
      REFERENCE_TIME start = i * 400000LL, stop = start + 400000;
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(1);
      encoder->Receive(0, sample);
    }
    encoder->Receive(0, nullptr);
    for (int i = 0; i < 3000 && writer->GetState() != WRITER_FINISHED; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    HRESULT closed = writer->CloseOutput();
    writer->Release();
    encoder->SetOutputAllocator(0, nullptr);
    encoder->Release();
    allocator->Decommit();
    allocator->Release();
    DeleteOwnMediaType(in);
    DeleteOwnMediaType(out);
    return closed;
  }

  static CModuleRegistry* registry_;
};

CModuleRegistry* Mpeg4Plugin::registry_ = nullptr;

TEST_F(Mpeg4Plugin, IsFoundByNameAfterTheBuiltInEncoders) {
  const auto& entries = registry_->videoEncoders.Entries();
  ASSERT_FALSE(entries.empty());
  const CoderRegistration* found = registry_->videoEncoders.FindByName("[PLUGIN]MPEG4");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found, entries.back());
  EXPECT_STREQ(entries.front()->name, "[DS]VP62");
  EXPECT_EQ(found->inputMajor, MEDIATYPE_Video);
  EXPECT_EQ(found->inputSubtype, MEDIASUBTYPE_YV12);
  EXPECT_EQ(found->outputSubtype, FourccGuid(MakeFourcc('X', 'V', 'I', 'D')));
}

struct Output {
  std::string codec, tag;
  int width = 0, height = 0;
  int64_t frames = -1;
  double seconds = 0;
  int64_t bytes = 0;
};

Output ProbeOutput(const std::string& path) {
  Output o;
  std::string s = RunText(
      "ffprobe -v error -select_streams v -count_frames -show_entries "
      "stream=codec_name,codec_tag_string,width,height,nb_read_frames -of default=nw=1 '" +
      path + "'");
  char buf[64];
  for (size_t at = 0; at < s.size();) {
    size_t nl = s.find('\n', at);
    std::string line = s.substr(at, nl - at);
    at = nl == std::string::npos ? s.size() : nl + 1;
    if (std::sscanf(line.c_str(), "codec_name=%63s", buf) == 1) o.codec = buf;
    if (std::sscanf(line.c_str(), "codec_tag_string=%63s", buf) == 1) o.tag = buf;
    std::sscanf(line.c_str(), "width=%d", &o.width);
    std::sscanf(line.c_str(), "height=%d", &o.height);
    long long n;
    if (std::sscanf(line.c_str(), "nb_read_frames=%lld", &n) == 1) o.frames = n;
  }
  std::string sizes =
      RunText("ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 '" + path + "'");
  for (size_t at = 0; at < sizes.size();) {
    size_t nl = sizes.find('\n', at);
    if (nl == std::string::npos) nl = sizes.size();
    o.bytes += std::atoll(sizes.substr(at, nl - at).c_str());
    at = nl + 1;
  }
  o.seconds = kFrames / 25.0;
  return o;
}

// Average PSNR of the file's pictures against the source pictures.
double Psnr(const std::string& path) {
  std::string log =
      RunText("ffmpeg -nostdin -hide_banner -i '" + path + "' -f rawvideo -pix_fmt yuv420p -s 320x240 -r 25 -i '" +
              SourcePictures() + "' -lavfi psnr -f null - 2>&1");
  auto at = log.find("average:");
  return at == std::string::npos ? 0 : std::atof(log.c_str() + at + 8);
}

TEST_F(Mpeg4Plugin, AviAndMp4PlayBackAtTheRequestedSizeFramesAndRate) {
  struct Case {
    const char* muxer;
    const char* ext;
    bool yv12;
    const char* params;
    int64_t bitRate;
    int globalHeader;
    bool comparePictures;  // AVI keeps no presentation times: B-frames shift the comparison
  } cases[] = {
      {"avi", "avi", true, "BITRATE=900000;GOP=12", 900000, 0, true},
      {"avi", "avi", false, "BITRATE=800000;GOP=25;MAXBFRAME=2", 800000, 0, false},
      {"mp4", "mp4", true, "BITRATE=600000;GOP=12;MAXBFRAME=1", 600000, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.muxer) + " " + c.params);
    const std::string path = OutDir() + "/out_" + std::to_string(c.bitRate) + "." + c.ext;
    ASSERT_EQ(Encode(c.muxer, path, c.yv12, c.params, c.globalHeader), S_OK);
    Output o = ProbeOutput(path);
    EXPECT_EQ(o.codec, "mpeg4");
    if (std::string(c.muxer) == "avi") {
      EXPECT_EQ(o.tag, "XVID");
    }
    EXPECT_EQ(o.width, kWidth);
    EXPECT_EQ(o.height, kHeight);
    EXPECT_EQ(o.frames, kFrames);
    const double rate = o.bytes * 8.0 / o.seconds;
    EXPECT_NEAR(rate, static_cast<double>(c.bitRate), c.bitRate * 0.15);
    // The colours survive: a swapped chroma plane would fail this.
    if (c.comparePictures) {
      EXPECT_GT(Psnr(path), 30.0);
    }
  }
}

}  // namespace
