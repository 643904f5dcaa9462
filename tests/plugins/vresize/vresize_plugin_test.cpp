#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/video_filter_host.h"
#include "engine/modules/filters/video_media_type.h"
#include "engine/registry/module_registry.h"
#include "platform/dynamic_library.h"
#include "platform/win_types.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/video_filter.h"

TEST(VResizePlugin, ExportsOneVideoFilterObjectThatWorks) {
  const std::string path = std::string(TRIVOX_STAGE_DIR) + "/plugin/vresize.so";
  DynamicLibrary lib;
  std::string error;
  ASSERT_TRUE(lib.Open(path, &error)) << error;
  using GetRegister = uint32_t (*)(void**);
  using GetObject = HRESULT (*)(CParamList*, void**);
  auto getRegister = reinterpret_cast<GetRegister>(lib.Symbol("DllGetRegister"));
  auto getObject = reinterpret_cast<GetObject>(lib.Symbol("DllGetObject"));
  ASSERT_NE(getRegister, nullptr);
  ASSERT_NE(getObject, nullptr);

  void* records = nullptr;
  ASSERT_EQ(getRegister(&records), 1u);
  const auto* bytes = static_cast<const uint8_t*>(records);
  EXPECT_EQ(std::memcmp(bytes, "BOVI", 4), 0) << "kind IVOB stored little-endian";
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 4), "VRESIZE");

  CParamList params;
  params.SetString("PATH", path.c_str());
  params.SetInt("INDEX", 1);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_NE(getObject(&params, &object), 0);
  EXPECT_EQ(object, nullptr);
  params.SetInt("INDEX", 0);
  ASSERT_EQ(getObject(&params, &object), 0);
  auto* filter = static_cast<IVideoFilter*>(object);

  // Crop 8 on each side of 720x576 and scale to 320x240 with 20-row pads.
  FrameFormat fmt{720, 576, kColourYuv420, {0, 0}, 1, 25};
  ASSERT_EQ(filter->SetFormat(&fmt), 0);
  CParamList p;
  p.ParseText("");
  const char* keys[] = {"WIDTH",   "HEIGHT",   "LEFTBAND", "RIGHTBAND", "TOPBAND", "BOTTOMBAND",
                        "LEFTPAD", "RIGHTPAD", "TOPPAD",   "BOTTOMPAD", "CRPAD",   "SCALEMODE"};
  const int32_t values[] = {320, 240, 8, 8, 8, 8, 0, 0, 20, 20, 0, 5};
  for (int i = 0; i < 12; ++i) p.SetInt(keys[i], values[i]);
  EXPECT_EQ(filter->SetParams(&p), 0);
  FrameFormat out{};
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.width, 320);
  EXPECT_EQ(out.height, 240);
  EXPECT_EQ(filter->Start(), 0);
  FramePlanes in{}, op{};
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 720, 576, false, &in));
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 320, 240, false, &op));
  std::vector<uint8_t> src(size_t(FramePlanesSize(in)), 200), dst(size_t(FramePlanesSize(op)), 0);
  SetPlanePointers(&in, src.data());
  SetPlanePointers(&op, dst.data());
  int64_t t = 0;
  EXPECT_EQ(filter->Process(&t, &in, &op), 0);
  EXPECT_EQ(dst[0], 16) << "top pad";
  EXPECT_EQ(dst[size_t(19 * 320)], 16);
  EXPECT_EQ(dst[size_t(20 * 320)], 200) << "picture";
  EXPECT_EQ(dst[size_t(219 * 320 + 319)], 200);
  EXPECT_EQ(dst[size_t(220 * 320)], 16) << "bottom pad";
  EXPECT_EQ(filter->Destroy(), 0);
}

// The way a convert job meets it: found by name among the video filters,
// run inside the video filter host, given the entry's parameter text after
// its input is connected; its output type then carries the new size.
TEST(VResizePlugin, RegisteredAndDrivenThroughTheVideoFilterHost) {
  CModuleRegistry registry;
  ::testing::internal::CaptureStdout();
  const int registered = registry.LoadPlugins(std::string(TRIVOX_STAGE_DIR) + "/plugin");
  ::testing::internal::GetCapturedStdout();
  ASSERT_GE(registered, 1);
  IMediaModule* host = registry.videoFilters.CreateByName("vresize");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->GetRegistration(), registry.videoFilters.FindByName("VRESIZE"));
  ASSERT_NE(static_cast<CVideoFilterHost*>(host)->Filter(), nullptr);

  AM_MEDIA_TYPE in;
  InitMediaType(&in);
  FrameFormat source{720, 576, kColourYuv420, {0, 0}, 1, 25};
  ASSERT_EQ(BuildVideoMediaType(&source, 0, &in), 0);
  ASSERT_EQ(host->SetInputType(0, &in, 0), 0);

  CParamList entry;
  entry.SetInt("WIDTH", 320);
  entry.SetInt("HEIGHT", 240);
  for (const char* band : {"LEFTBAND", "RIGHTBAND", "TOPBAND", "BOTTOMBAND"}) entry.SetInt(band, 8);
  entry.SetInt("TOPPAD", 20);
  entry.SetInt("BOTTOMPAD", 20);
  char* text = entry.ToText();
  CParamList params;
  params.ParseText(text);
  entry.FreeText(text);
  EXPECT_EQ(host->SetParams(&params), 0) << "copy mode";
  EXPECT_FALSE(static_cast<CVideoFilterHost*>(host)->InPlace());

  AM_MEDIA_TYPE out;
  InitMediaType(&out);
  ASSERT_EQ(host->GetOutputType(0, 0, &out), 0);
  FrameFormat offered{};
  FramePlanes planes{};
  ASSERT_TRUE(ParseVideoMediaType(&out, &offered, &planes));
  EXPECT_EQ(offered.width, 320);
  EXPECT_EQ(offered.height, 240);
  EXPECT_EQ(host->SetOutputType(0, &out, 0), 0);
  EXPECT_EQ(host->SetOutputType(0, &in, 0), MODULE_E_NO_TYPE) << "the source size is no longer offered";
  ClearMediaTypeFormat(&out);
  ClearMediaTypeFormat(&in);
  EXPECT_EQ(host->Close(), 0);
  host->Release();
}
