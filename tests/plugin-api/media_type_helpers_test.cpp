#include "plugin-api/media_type_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/task_allocator.h"

namespace {

AM_MEDIA_TYPE MakeType(const GUID& major, const GUID& format, ULONG size) {
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  mt.majortype = major;
  mt.formattype = format;
  if (size != 0) {
    EXPECT_EQ(AllocMediaTypeFormat(&mt, size), 1);
    std::memset(mt.pbFormat, 0, size);
  }
  return mt;
}

std::vector<BYTE> FormatBytes(const AM_MEDIA_TYPE& mt) {
  BYTE* out = reinterpret_cast<BYTE*>(1);
  int32_t len = -1;
  GetMediaTypeFormatBytes(&mt, &out, &len);
  std::vector<BYTE> bytes;
  if (out == nullptr) {
    EXPECT_EQ(len, 0);
  } else {
    EXPECT_GT(len, 0);
    bytes.assign(out, out + len);
    CoTaskMemFree(out);
  }
  return bytes;
}

struct Fraction {
  int32_t num;
  int32_t den;
  friend bool operator==(const Fraction&, const Fraction&) = default;
};

std::ostream& operator<<(std::ostream& os, const Fraction& f) { return os << f.num << "/" << f.den; }

Fraction SnapDuration(int64_t d) {
  Fraction f{-1, -1};
  SnapFrameDuration(d, &f.num, &f.den);
  return f;
}

Fraction SnapRate(double r) {
  Fraction f{-1, -1};
  SnapFrameRate(r, &f.num, &f.den);
  return f;
}

TEST(FrameSnapping, DurationTable) {
  const struct {
    int64_t duration;
    Fraction want;
  } cases[] = {
      {400000, {1, 25}},       {400024, {1, 25}},    {400025, {400, 10000}},
      {417083, {1001, 24000}}, {416667, {1, 24}},    {416666, {1, 24}},
      {333667, {1001, 30000}}, {333333, {1, 30}},    {166666, {1, 60}},
      {10000000, {1, 1}},      {9999976, {1, 1}},    {9999975, {9999, 10000}},
      {123456, {123, 10000}},  {999, {1, 24}},       {0, {1, 24}},
      {-400000, {1, 24}},      {INT64_MIN, {1, 24}}, {INT64_MAX, {INT32_MAX, 10000}},
  };
  for (const auto& c : cases) EXPECT_EQ(SnapDuration(c.duration), c.want) << "duration " << c.duration;

  // Every standard rate snaps to itself, in table order.
  std::vector<Fraction> table;
  for (int n = 1; n <= 23; ++n) table.push_back({1, n});
  table.push_back({1001, 24000});
  for (int n = 24; n <= 29; ++n) table.push_back({1, n});
  table.push_back({1001, 30000});
  for (int n = 30; n <= 60; ++n) table.push_back({1, n});
  ASSERT_EQ(table.size(), 62u);
  for (const Fraction& f : table) {
    const int64_t d = int64_t{10000000} * f.num / f.den;
    EXPECT_EQ(SnapDuration(d), f) << "duration " << d;
    EXPECT_EQ(SnapRate(static_cast<double>(f.den) / f.num), f);
  }
}

TEST(FrameSnapping, RateTable) {
  const struct {
    double rate;
    Fraction want;
  } cases[] = {
      {29.97, {1001, 30000}},
      {23.976, {1001, 24000}},
      {25.0, {1, 25}},
      {24.0, {1, 24}},
      {12.5, {800, 10000}},
      {59.94, {166, 10000}},
      {1.0, {1, 1}},
      {0.0, {1, 24}},
      {-25.0, {1, 24}},
      {std::numeric_limits<double>::quiet_NaN(), {1, 24}},
      {std::numeric_limits<double>::infinity(), {1, 24}},
      {-std::numeric_limits<double>::infinity(), {1, 24}},
      {std::numeric_limits<double>::denorm_min(), {INT32_MAX, 10000}},
      {1e-3, {10000000, 10000}},
      {1e-6, {INT32_MAX, 10000}},
      {1e9, {1, 24}},
  };
  for (const auto& c : cases) EXPECT_EQ(SnapRate(c.rate), c.want) << "rate " << c.rate;
}

TEST(MediaTypeArray, SampleSizes) {
  auto vih = [](LONG w, LONG h, DWORD image, const GUID& format) {
    AM_MEDIA_TYPE mt = MakeType(MEDIATYPE_Video, format, format == FORMAT_MPEGVideo ? 100 : 88);
    auto* v = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat);
    v->bmiHeader.biWidth = w;
    v->bmiHeader.biHeight = h;
    v->bmiHeader.biSizeImage = image;
    return mt;
  };
  auto vih2 = [](LONG w, LONG h, DWORD image, const GUID& format) {
    AM_MEDIA_TYPE mt = MakeType(MEDIATYPE_Video, format, format == FORMAT_MPEG2Video ? 140 : 112);
    auto* v = reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat);
    v->bmiHeader.biWidth = w;
    v->bmiHeader.biHeight = h;
    v->bmiHeader.biSizeImage = image;
    return mt;
  };
  const struct {
    std::string name;
    AM_MEDIA_TYPE mt;
    int32_t want;
  } cases[] = {
      {"wave", MakeType(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 18), 1152000},
      {"vih 720x576", vih(720, 576, 0, FORMAT_VideoInfo), 1658944},
      {"vih top-down", vih(720, -576, 0, FORMAT_VideoInfo), 1658944},
      {"vih image size", vih(720, 576, 12345, FORMAT_VideoInfo), 12345},
      {"vih zero width", vih(0, 576, 0, FORMAT_VideoInfo), 64},
      {"vih negative width", vih(-720, 576, 0, FORMAT_VideoInfo), 8294400},
      {"vih huge", vih(100000, 100000, 0, FORMAT_VideoInfo), INT32_MAX},
      {"mpeg1", vih(352, 288, 0, FORMAT_MPEGVideo), 352 * 288 * 4 + 64},
      {"vih2", vih2(1920, 1080, 0, FORMAT_VideoInfo2), 1920 * 1080 * 4 + 64},
      {"vih2 INT_MIN height", vih2(2, INT32_MIN, 0, FORMAT_VideoInfo2), INT32_MAX},
      {"mpeg2", vih2(720, 480, 0, FORMAT_MPEG2Video), 720 * 480 * 4 + 64},
      {"mpeg2 image size", vih2(720, 480, 99, FORMAT_MPEG2Video), 99},
      {"short block", MakeType(MEDIATYPE_Video, FORMAT_VideoInfo2, 88), 8294400},
      {"no block", MakeType(MEDIATYPE_Video, FORMAT_VideoInfo, 0), 8294400},
      {"other format", MakeType(MEDIATYPE_Video, FORMAT_None, 0), 8294400},
  };
  CMediaTypeArray pins;
  EXPECT_EQ(pins.GetSampleSize(0), 0);
  EXPECT_EQ(pins.GetSampleSize(-1), 0);
  EXPECT_EQ(pins.GetSampleSize(CMediaTypeArray::kMaxPins), 0);
  for (const auto& c : cases) {
    AM_MEDIA_TYPE mt = c.mt;
    ASSERT_EQ(pins.Set(3, 1, &mt), S_OK);
    EXPECT_EQ(pins.GetSampleSize(3), c.want) << c.name;
    ClearMediaTypeFormat(&mt);
  }
}

TEST(MediaTypeCopy, DeepCopiesOwnTheirBlocks) {
  AM_MEDIA_TYPE src = MakeType(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 24);
  src.subtype = MEDIASUBTYPE_PCM;
  src.bFixedSizeSamples = 1;
  src.lSampleSize = 4;
  for (ULONG i = 0; i < 24; ++i) src.pbFormat[i] = static_cast<BYTE>(i + 1);

  AM_MEDIA_TYPE dst = MakeType(MEDIATYPE_Video, FORMAT_VideoInfo, 88);  // its old block is freed
  ASSERT_EQ(CopyMediaTypeDeep(&dst, &src), 1);
  EXPECT_EQ(dst.majortype, MEDIATYPE_Audio);
  EXPECT_EQ(dst.subtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(dst.formattype, FORMAT_WaveFormatEx);
  EXPECT_EQ(dst.bFixedSizeSamples, 1);
  EXPECT_EQ(dst.lSampleSize, 4u);
  ASSERT_EQ(dst.cbFormat, 24u);
  EXPECT_NE(dst.pbFormat, src.pbFormat);
  EXPECT_EQ(std::memcmp(dst.pbFormat, src.pbFormat, 24), 0);
  dst.pbFormat[0] = 99;
  EXPECT_EQ(src.pbFormat[0], 1);

  EXPECT_EQ(CopyMediaTypeDeep(&dst, &dst), 1);  // copying onto itself keeps the block
  EXPECT_EQ(dst.cbFormat, 24u);
  EXPECT_EQ(dst.pbFormat[0], 99);

  AM_MEDIA_TYPE* clone = CloneMediaType(&src);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->majortype, src.majortype);
  EXPECT_EQ(std::memcmp(GetMediaTypeFormat(clone), src.pbFormat, 24), 0);
  EXPECT_NE(GetMediaTypeFormat(clone), src.pbFormat);
  DeleteOwnMediaType(clone);
  DeleteOwnMediaType(nullptr);

  AM_MEDIA_TYPE* empty = CloneMediaType(nullptr);
  ASSERT_NE(empty, nullptr);
  AM_MEDIA_TYPE zero;
  std::memset(&zero, 0, sizeof(zero));
  EXPECT_EQ(std::memcmp(empty, &zero, sizeof(zero)), 0);
  DeleteOwnMediaType(empty);

  // A source without a block never shares a pointer with its copy.
  AM_MEDIA_TYPE blockless = MakeType(MEDIATYPE_Video, FORMAT_None, 0);
  BYTE stray = 0;
  blockless.pbFormat = &stray;
  ASSERT_EQ(CopyMediaTypeDeep(&dst, &blockless), 1);
  EXPECT_EQ(dst.cbFormat, 0u);
  EXPECT_EQ(dst.pbFormat, nullptr);

  // A shallow copy sharing src's block gets its own without freeing src's.
  AM_MEDIA_TYPE shallow = src;
  ASSERT_EQ(CopyMediaTypeDeep(&shallow, &src), 1);
  EXPECT_NE(shallow.pbFormat, src.pbFormat);
  EXPECT_EQ(std::memcmp(shallow.pbFormat, src.pbFormat, 24), 0);
  ClearMediaTypeFormat(&shallow);

  ClearMediaTypeFormat(&src);
  EXPECT_EQ(src.cbFormat, 0u);
  EXPECT_EQ(src.pbFormat, nullptr);
  ClearMediaTypeFormat(&dst);

  MediaTypeHolder holder;
  ASSERT_NE(holder.Get(), nullptr);
  EXPECT_EQ(holder.Get()->cbFormat, 0u);
  EXPECT_EQ(AllocMediaTypeFormat(holder.Get(), 40), 1);  // freed with the holder
}

TEST(MediaTypeCopy, ResizeKeepsThePrefix) {
  AM_MEDIA_TYPE mt = MakeType(MEDIATYPE_Video, FORMAT_VideoInfo, 4);
  std::memcpy(mt.pbFormat, "\x01\x02\x03\x04", 4);
  ASSERT_EQ(ResizeMediaTypeFormat(&mt, 8), 1);
  ASSERT_EQ(mt.cbFormat, 8u);
  EXPECT_EQ(std::memcmp(mt.pbFormat, "\x01\x02\x03\x04\0\0\0\0", 8), 0);
  ASSERT_EQ(ResizeMediaTypeFormat(&mt, 2), 1);
  EXPECT_EQ(mt.cbFormat, 2u);
  EXPECT_EQ(std::memcmp(mt.pbFormat, "\x01\x02", 2), 0);
  ASSERT_EQ(ResizeMediaTypeFormat(&mt, 0), 1);
  EXPECT_EQ(mt.cbFormat, 0u);
  EXPECT_EQ(mt.pbFormat, nullptr);
  ASSERT_EQ(AllocMediaTypeFormat(&mt, 16), 1);
  EXPECT_EQ(mt.cbFormat, 16u);
  ASSERT_EQ(AllocMediaTypeFormat(&mt, 0), 1);
  EXPECT_EQ(mt.pbFormat, nullptr);
}

TEST(MediaTypeFormat, CodecBytesInAndOut) {
  const BYTE config[5] = {0x12, 0x10, 0x56, 0xE5, 0x00};

  AM_MEDIA_TYPE audio = MakeType(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 18);
  reinterpret_cast<WAVEFORMATEX*>(audio.pbFormat)->nChannels = 2;
  EXPECT_EQ(FormatBytes(audio), std::vector<BYTE>{});
  ASSERT_EQ(BuildMediaTypeFromFormat(&audio, config, 5), 5);
  EXPECT_EQ(audio.cbFormat, 23u);
  EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(audio.pbFormat)->cbSize, 5);
  EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(audio.pbFormat)->nChannels, 2);
  EXPECT_EQ(FormatBytes(audio), std::vector<BYTE>(config, config + 5));
  ASSERT_EQ(BuildMediaTypeFromFormat(&audio, config, 2), 2);  // replaces, not grows
  EXPECT_EQ(audio.cbFormat, 20u);
  EXPECT_EQ(FormatBytes(audio), std::vector<BYTE>(config, config + 2));

  AM_MEDIA_TYPE video = MakeType(MEDIATYPE_Video, FORMAT_VideoInfo, 88);
  reinterpret_cast<VIDEOINFOHEADER*>(video.pbFormat)->bmiHeader.biWidth = 640;
  EXPECT_EQ(FormatBytes(video), std::vector<BYTE>{});
  ASSERT_EQ(BuildMediaTypeFromFormat(&video, config, 5), 5);
  EXPECT_EQ(video.cbFormat, 93u);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(video.pbFormat)->bmiHeader.biSize, 45u);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(video.pbFormat)->bmiHeader.biWidth, 640);
  EXPECT_EQ(FormatBytes(video), std::vector<BYTE>(config, config + 5));

  // Nothing is done for other types, empty input, or more than cbSize can count.
  AM_MEDIA_TYPE vih2 = MakeType(MEDIATYPE_Video, FORMAT_VideoInfo2, 112);
  BYTE* before = vih2.pbFormat;
  EXPECT_EQ(BuildMediaTypeFromFormat(&vih2, config, 5), 0);
  EXPECT_EQ(vih2.pbFormat, before);
  EXPECT_EQ(vih2.cbFormat, 112u);
  EXPECT_EQ(BuildMediaTypeFromFormat(&audio, config, 0), 0);
  EXPECT_EQ(BuildMediaTypeFromFormat(&audio, config, -3), 0);
  std::vector<BYTE> big(0x10000, 7);
  EXPECT_EQ(BuildMediaTypeFromFormat(&audio, big.data(), static_cast<int32_t>(big.size())), 0);
  EXPECT_EQ(audio.cbFormat, 20u);
  AM_MEDIA_TYPE text = MakeType(MEDIATYPE_Text, FORMAT_WaveFormatEx, 18);
  EXPECT_EQ(BuildMediaTypeFromFormat(&text, config, 5), 0);
  EXPECT_EQ(text.cbFormat, 18u);

  ClearMediaTypeFormat(&audio);
  ClearMediaTypeFormat(&video);
  ClearMediaTypeFormat(&vih2);
  ClearMediaTypeFormat(&text);
}

TEST(MediaTypeFormat, BytesByFormatTypeStayInsideTheBlock) {
  auto with = [](const GUID& major, const GUID& format, ULONG size, size_t countAt, DWORD count, size_t dataAt) {
    AM_MEDIA_TYPE mt = MakeType(major, format, size);
    for (ULONG i = static_cast<ULONG>(dataAt); i < size; ++i) mt.pbFormat[i] = static_cast<BYTE>(i);
    if (countAt != 0) std::memcpy(mt.pbFormat + countAt, &count, format == FORMAT_WaveFormatEx ? 2 : 4);
    return mt;
  };
  auto span = [](size_t from, size_t n) {
    std::vector<BYTE> v;
    for (size_t i = from; i < from + n; ++i) v.push_back(static_cast<BYTE>(i));
    return v;
  };
  const size_t mpeg1Count = offsetof(MPEG1VIDEOINFO, cbSequenceHeader);
  const size_t mpeg2Count = offsetof(MPEG2VIDEOINFO, cbSequenceHeader);
  const struct {
    std::string name;
    AM_MEDIA_TYPE mt;
    std::vector<BYTE> want;
  } cases[] = {
      {"wave", with(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 22, 16, 4, 18), span(18, 4)},
      {"wave cbSize past block", with(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 22, 16, 5, 18), {}},
      {"wave short block", with(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 10, 0, 0, 0), {}},
      {"vih", with(MEDIATYPE_Video, FORMAT_VideoInfo, 91, 0, 0, 88), span(88, 3)},
      {"vih2", with(MEDIATYPE_Video, FORMAT_VideoInfo2, 117, 0, 0, 112), span(112, 5)},
      {"vih2 header only", with(MEDIATYPE_Video, FORMAT_VideoInfo2, 112, 0, 0, 112), {}},
      {"mpeg2", with(MEDIATYPE_Video, FORMAT_MPEG2Video, 140, mpeg2Count, 6, 132), span(132, 6)},
      {"mpeg2 zero", with(MEDIATYPE_Video, FORMAT_MPEG2Video, 140, mpeg2Count, 0, 132), {}},
      {"mpeg2 past block", with(MEDIATYPE_Video, FORMAT_MPEG2Video, 140, mpeg2Count, 1000000000, 132), {}},
      {"mpeg2 short block", with(MEDIATYPE_Video, FORMAT_MPEG2Video, 100, 0, 0, 0), {}},
      {"mpeg1", with(MEDIATYPE_Video, FORMAT_MPEGVideo, 104, mpeg1Count, 8, 96), span(96, 8)},
      {"mpeg1 past block", with(MEDIATYPE_Video, FORMAT_MPEGVideo, 104, mpeg1Count, 9, 96), {}},
      {"audio with video format", with(MEDIATYPE_Audio, FORMAT_VideoInfo, 100, 0, 0, 88), {}},
      {"other", with(MEDIATYPE_Text, FORMAT_None, 30, 0, 0, 0), {}},
  };
  for (const auto& c : cases) {
    AM_MEDIA_TYPE mt = c.mt;
    EXPECT_EQ(FormatBytes(mt), c.want) << c.name;
    ClearMediaTypeFormat(&mt);
  }
}

TEST(MediaTypeArray, SetGetAndFree) {
  CMediaTypeArray pins;
  AM_MEDIA_TYPE mt = MakeType(MEDIATYPE_Video, FORMAT_VideoInfo, 88);
  mt.subtype = MEDIASUBTYPE_YV12;

  AM_MEDIA_TYPE out = MakeType(MEDIATYPE_Audio, FORMAT_WaveFormatEx, 18);
  BYTE* outBlock = out.pbFormat;
  EXPECT_EQ(pins.Get(0, &out), E_FAIL);  // empty: caller's type unchanged
  EXPECT_EQ(out.pbFormat, outBlock);
  EXPECT_EQ(out.majortype, MEDIATYPE_Audio);

  ASSERT_EQ(pins.Set(0, 1, &mt), S_OK);
  AM_MEDIA_TYPE* held = pins.types[0];
  ASSERT_NE(held, nullptr);
  EXPECT_NE(held->pbFormat, mt.pbFormat);
  mt.subtype = MEDIASUBTYPE_I420;
  ASSERT_EQ(pins.Set(0, 1, &mt), S_OK);  // into the held type
  EXPECT_EQ(pins.types[0], held);
  EXPECT_EQ(held->subtype, MEDIASUBTYPE_I420);
  ASSERT_EQ(pins.Set(0, 1, held), S_OK);  // its own type
  EXPECT_EQ(held->cbFormat, 88u);

  ASSERT_EQ(pins.Get(0, &out), S_OK);
  EXPECT_EQ(out.majortype, MEDIATYPE_Video);
  EXPECT_EQ(out.subtype, MEDIASUBTYPE_I420);
  EXPECT_EQ(out.cbFormat, 88u);
  EXPECT_NE(out.pbFormat, held->pbFormat);

  EXPECT_EQ(pins.Set(-1, 1, &mt), E_INVALIDARG);
  EXPECT_EQ(pins.Set(CMediaTypeArray::kMaxPins, 1, &mt), E_INVALIDARG);
  EXPECT_EQ(pins.Get(CMediaTypeArray::kMaxPins, &out), E_FAIL);
  EXPECT_EQ(pins.Set(1, 1, nullptr), E_POINTER);

  ASSERT_EQ(pins.Set(0, 0, nullptr), S_OK);  // frees the slot
  EXPECT_EQ(pins.types[0], nullptr);

  ASSERT_EQ(pins.Set(19, 1, &mt), S_OK);
  AM_MEDIA_TYPE* kept = pins.types[19];
  pins.Clear();  // forgets without freeing
  EXPECT_EQ(pins.types[19], nullptr);
  DeleteOwnMediaType(kept);

  ASSERT_EQ(pins.Set(5, 1, &mt), S_OK);
  pins.FreeAll();
  EXPECT_EQ(pins.types[5], nullptr);
  ASSERT_EQ(pins.Set(6, 1, &mt), S_OK);  // left for the destructor

  ClearMediaTypeFormat(&mt);
  ClearMediaTypeFormat(&out);
}

TEST(TextAndNumberHelpers, CopyTextBoundedAndAbs64) {
  const struct {
    const char* src;
    int32_t capacity;
    std::string want;
  } cases[] = {
      {"abcdef", 4, "abc"}, {"abcdef", 7, "abcdef"}, {"abcdef", 100, "abcdef"},
      {"abcdef", 1, ""},    {nullptr, 5, ""},        {"", 5, ""},
  };
  for (const auto& c : cases) {
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    CopyTextBounded(buf, c.capacity > 8 ? 8 : c.capacity, c.src);
    EXPECT_EQ(std::string(buf), c.want) << "capacity " << c.capacity;
  }
  for (int32_t capacity : {0, -1, INT32_MIN}) {
    char guard[3] = {'#', '#', '#'};
    CopyTextBounded(guard + 1, capacity, "xyz");
    EXPECT_EQ(std::string(guard, 3), "###");
  }

  EXPECT_EQ(Abs64(0), 0);
  EXPECT_EQ(Abs64(-5), 5);
  EXPECT_EQ(Abs64(5), 5);
  EXPECT_EQ(Abs64(INT64_MAX), INT64_MAX);
  EXPECT_EQ(Abs64(-INT64_MAX), INT64_MAX);
  EXPECT_EQ(Abs64(INT64_MIN), INT64_MAX);
}

}  // namespace
