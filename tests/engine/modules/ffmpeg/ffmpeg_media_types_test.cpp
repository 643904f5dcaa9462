#include <gtest/gtest.h>

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

#include "common/codec_tables.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr uint32_t F(const char (&s)[5]) { return MakeFourcc(s[0], s[1], s[2], s[3]); }

class FfmpegTypes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR)); }
  void SetUp() override { InitMediaType(&mt_); }
  void TearDown() override { ClearMediaTypeFormat(&mt_); }

  // A block of exactly the given bytes, so that a read past it is seen by ASan.
  void SetBlock(const GUID& major, const GUID& sub, const GUID& format, const void* bytes, size_t size) {
    mt_.majortype = major;
    mt_.subtype = sub;
    ASSERT_TRUE(AllocMediaTypeFormat(&mt_, static_cast<ULONG>(size)));
    mt_.formattype = format;
    std::memcpy(mt_.pbFormat, bytes, size);
  }
  template <class T>
  T Block() const {
    T out{};
    EXPECT_GE(mt_.cbFormat, sizeof(T));
    std::memcpy(&out, mt_.pbFormat, sizeof(T));
    return out;
  }

  AM_MEDIA_TYPE mt_;
};

WAVEFORMATEX Wave(WORD tag, WORD channels, DWORD rate, WORD bits, WORD cbSize = 0) {
  WAVEFORMATEX w{};
  w.wFormatTag = tag;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = bits;
  w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * rate;
  w.cbSize = cbSize;
  return w;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

TEST(SnapFrameTime, StandardRatesWithinTenUnits) {
  struct Case {
    int64_t t;
    int32_t num, den;
  } cases[] = {
      {333667, 1001, 30000}, {333333, 1, 30},  {400005, 1, 25}, {400010, 4000, 100000}, {417083, 1001, 24000},
      {416660, 1, 24},       {10000000, 1, 1}, {166667, 1, 60}, {0, 0, 100000},         {-400000, -4000, 100000},
  };
  for (const Case& c : cases) {
    FFRational r;
    SnapFrameTimeToRate(c.t, &r);
    EXPECT_EQ(r.num, c.num) << c.t;
    EXPECT_EQ(r.den, c.den) << c.t;
  }
  EXPECT_EQ(FrameDurationFromRate({1001, 30000}), 333666);
  EXPECT_EQ(FrameDurationFromRate({1, 0}), 0);
}

TEST_F(FfmpegTypes, PcmWaveFormatsSetWidthAndBlockAlign) {
  struct Case {
    WORD bits;
    int32_t id;
    int32_t blockAlign;
    int32_t sampleFmt;
  } cases[] = {
      {8, AV_CODEC_ID_PCM_U8, 2, SAMPLE_FMT_U8}, {16, AV_CODEC_ID_PCM_S16LE, 4, 77},  // sample_fmt untouched
      {24, AV_CODEC_ID_PCM_S24LE, 6, 77},        {32, AV_CODEC_ID_PCM_S32LE, 8, SAMPLE_FMT_S32},
      {12, AV_CODEC_ID_PCM_S16LE, 3, 77},  // odd width: nothing changed beyond the copy
  };
  for (const Case& c : cases) {
    WAVEFORMATEX w = Wave(1, 2, 44100, c.bits);
    SetBlock(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, &w, sizeof(w));
    CodecContext ctx;
    ctx.sample_fmt = 77;
    ASSERT_TRUE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_PCM_S16LE, 0, 0, 1));
    EXPECT_EQ(ctx.codec_id, c.id) << c.bits;
    EXPECT_EQ(ctx.block_align, c.blockAlign) << c.bits;
    EXPECT_EQ(ctx.sample_fmt, c.sampleFmt) << c.bits;
    EXPECT_EQ(ctx.codec_type, CODEC_TYPE_AUDIO);
    EXPECT_EQ(ctx.sample_rate, 44100);
    EXPECT_EQ(ctx.channels, 2);
    EXPECT_EQ(ctx.time_base.num, 1);
    EXPECT_EQ(ctx.time_base.den, 44100);
    EXPECT_EQ(ctx.bit_rate, static_cast<int64_t>(w.nAvgBytesPerSec) * 8);
  }
}

TEST_F(FfmpegTypes, Mpeg1WaveFormatLayers) {
  struct Case {
    WORD layer;
    int32_t subId;
    uint32_t tag;
  } cases[] = {{1, 1, 0x50}, {2, 2, 0x50}, {3, 3, 0x55}, {4, 3, 0x55}};
  for (const Case& c : cases) {
    MPEG1WAVEFORMAT m{};
    m.wfx = Wave(0x50, 2, 48000, 0, 22);
    m.fwHeadLayer = c.layer;
    SetBlock(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Payload, FORMAT_WaveFormatEx, &m, sizeof(m));
    CodecContext ctx;
    ASSERT_TRUE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_MP2, 0, 0, 0x50));
    EXPECT_EQ(ctx.sub_id, c.subId) << c.layer;
    EXPECT_EQ(ctx.codec_tag, c.tag) << c.layer;
    EXPECT_TRUE(ctx.extradata.empty());
  }
}

// Vorbis headers of 30, 200 and 3000 bytes.
struct VorbisHeaders {
  std::vector<uint8_t> h[3] = {Pattern(30, 1), Pattern(200, 2), Pattern(3000, 3)};

  std::vector<uint8_t> LengthForm() const {
    std::vector<uint8_t> out;
    for (const auto& x : h) {
      out.push_back(static_cast<uint8_t>(x.size() >> 8));
      out.push_back(static_cast<uint8_t>(x.size()));
      out.insert(out.end(), x.begin(), x.end());
    }
    return out;
  }
  std::vector<uint8_t> XiphForm() const {
    std::vector<uint8_t> out = {2, 30, 200};
    for (const auto& x : h) out.insert(out.end(), x.begin(), x.end());
    return out;
  }
};

TEST_F(FfmpegTypes, VorbisBothExtradataFormsGiveTheSameBlock) {
  VorbisHeaders v;
  std::vector<uint8_t> blocks[2];
  int i = 0;
  for (const auto& extradata : {v.LengthForm(), v.XiphForm()}) {
    CodecContext ctx;
    ctx.codec_type = CODEC_TYPE_AUDIO;
    ctx.codec_id = AV_CODEC_ID_VORBIS;
    ctx.channels = 2;
    ctx.sample_rate = 44100;
    ctx.bits_per_sample = 16;
    ctx.extradata = extradata;
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    ASSERT_TRUE(CodecContextToMediaType(&ctx, &mt));
    EXPECT_EQ(mt.formattype, FORMAT_VorbisFormat);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Audio);
    ASSERT_EQ(mt.cbFormat, 3254u);
    int32_t f[6];
    std::memcpy(f, mt.pbFormat, sizeof(f));
    EXPECT_EQ(f[0], 2);
    EXPECT_EQ(f[1], 44100);
    EXPECT_EQ(f[2], 16);
    EXPECT_EQ(f[3], 30);
    EXPECT_EQ(f[4], 200);
    EXPECT_EQ(f[5], 3000);
    EXPECT_EQ(0, std::memcmp(mt.pbFormat + 24 + 230, v.h[2].data(), 3000));
    blocks[i++].assign(mt.pbFormat, mt.pbFormat + mt.cbFormat);
    ClearMediaTypeFormat(&mt);
  }
  EXPECT_EQ(blocks[0], blocks[1]);

  // And back: the block becomes Xiph extra data again.
  SetBlock(MEDIATYPE_Audio, GUID_NULL, FORMAT_VorbisFormat, blocks[0].data(), blocks[0].size());
  CodecContext ctx;
  ASSERT_TRUE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_VORBIS, 0, 0, 0));
  EXPECT_EQ(ctx.extradata, v.XiphForm());
  EXPECT_EQ(ctx.channels, 2);
  EXPECT_EQ(ctx.sample_rate, 44100);
  EXPECT_EQ(ctx.time_base.den, 44100);
}

TEST_F(FfmpegTypes, VorbisExtradataThatLiesIsRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    bool result;
    uint32_t sizes[3];
  } cases[] = {
      {"length form, second header runs past", {0x00, 0x1E}, 0, {}},
      {"length form, third length missing",
       [] {
         std::vector<uint8_t> d = {0x00, 0x1E};
         d.resize(32);
         d.push_back(0);
         d.push_back(1);
         d.push_back(0xAA);
         return d;
       }(),
       0,
       {}},
      {"xiph form, lacing never ends", {2, 255, 255, 255}, 0, {}},
      {"xiph form, negative third size", {2, 10, 10, 1, 2, 3}, 0, {}},
      {"neither form: sizes zero", {7, 1, 2, 3}, 1, {0, 0, 0}},
      {"empty", {}, 1, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    CodecContext ctx;
    ctx.codec_type = CODEC_TYPE_AUDIO;
    ctx.codec_id = AV_CODEC_ID_VORBIS;
    ctx.channels = 1;
    ctx.extradata = c.data;
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    EXPECT_EQ(CodecContextToMediaType(&ctx, &mt), c.result) << c.what;
    if (c.result) {
      ASSERT_EQ(mt.cbFormat, 24u) << c.what;
      uint32_t sizes[3];
      std::memcpy(sizes, mt.pbFormat + 12, sizeof(sizes));
      EXPECT_EQ(0, std::memcmp(sizes, c.sizes, sizeof(sizes))) << c.what;
    }
    ClearMediaTypeFormat(&mt);
  }
}

TEST_F(FfmpegTypes, MalformedFormatBlocksAreRefusedWithoutReadingPastThem) {
  const std::vector<uint8_t> zeros(200, 0);
  struct Case {
    const char* what;
    GUID major, sub, format;
    size_t size;
  } cases[] = {
      {"VIDEOINFOHEADER cut short", MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoInfo, 87},
      {"MPEG1VIDEOINFO cut short", MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo, 40},
      {"VIDEOINFOHEADER2 cut short", MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoInfo2, 111},
      {"MPEG2VIDEOINFO cut short", MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video, 88},
      {"WAVEFORMATEX cut short", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 17},
      {"Vorbis block cut short", MEDIATYPE_Audio, GUID_NULL, FORMAT_VorbisFormat, 23},
      {"no block", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 0},
      {"unknown format type", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_None, 100},
  };
  for (const Case& c : cases) {
    mt_.majortype = c.major;
    mt_.subtype = c.sub;
    mt_.formattype = c.format;
    if (c.size) {
      ASSERT_TRUE(AllocMediaTypeFormat(&mt_, static_cast<ULONG>(c.size)));
      std::memset(mt_.pbFormat, 0x7F, c.size);
    } else {
      ClearMediaTypeFormat(&mt_);
    }
    CodecContext ctx;
    ctx.width = 1234;
    ctx.codec_id = 99;
    EXPECT_FALSE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_H264, 0, 0, 0)) << c.what;
    EXPECT_EQ(ctx.width, 1234) << c.what;
    EXPECT_EQ(ctx.codec_id, 99) << c.what;
    EXPECT_FALSE(RawMediaTypeToEncoderContext(&mt_, &ctx, AV_CODEC_ID_MPEG4)) << c.what;
    ClearMediaTypeFormat(&mt_);
  }

  // Sizes inside the block that point past it.
  int32_t vorbis[6] = {2, 44100, 16, 30, 200, 1};
  SetBlock(MEDIATYPE_Audio, GUID_NULL, FORMAT_VorbisFormat, vorbis, sizeof(vorbis));
  CodecContext ctx;
  EXPECT_FALSE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_VORBIS, 0, 0, 0));
  int32_t huge[6] = {2, 44100, 16, -1, -1, -1};
  SetBlock(MEDIATYPE_Audio, GUID_NULL, FORMAT_VorbisFormat, huge, sizeof(huge));
  EXPECT_FALSE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_VORBIS, 0, 0, 0));

  // A cbSize larger than the block: accepted, but no extra data is taken.
  WAVEFORMATEX w = Wave(0xFF, 2, 48000, 16, 500);
  SetBlock(MEDIATYPE_Audio, FourccGuid(0xFF), FORMAT_WaveFormatEx, &w, sizeof(w));
  EXPECT_TRUE(MediaTypeToCodecContext(&mt_, &ctx, AV_CODEC_ID_AAC, 0, 0, 0xFF));
  EXPECT_TRUE(ctx.extradata.empty());

  // An MPEG1WAVEFORMAT that claims 22 more bytes than the block holds.
  WAVEFORMATEX m = Wave(0x50, 2, 48000, 0, 22);
  SetBlock(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Payload, FORMAT_WaveFormatEx, &m, sizeof(m));
  CodecContext mp;
  EXPECT_TRUE(MediaTypeToCodecContext(&mt_, &mp, AV_CODEC_ID_MP2, 0, 0, 0x50));
  EXPECT_EQ(mp.sub_id, 0);
  EXPECT_TRUE(mp.extradata.empty());

  // A VIDEOINFOHEADER whose MPEG sequence-header count runs past the block.
  std::vector<uint8_t> mpeg1(sizeof(MPEG1VIDEOINFO), 0);
  DWORD bogus = 1000;
  std::memcpy(mpeg1.data() + offsetof(MPEG1VIDEOINFO, cbSequenceHeader), &bogus, 4);
  SetBlock(MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo, mpeg1.data(), mpeg1.size());
  CodecContext video;
  EXPECT_TRUE(MediaTypeToCodecContext(&mt_, &video, AV_CODEC_ID_MPEG1VIDEO, 0, 0, 0));
  EXPECT_TRUE(video.extradata.empty());
}

TEST_F(FfmpegTypes, DecodedContexts) {
  CodecContext a;
  a.codec_type = CODEC_TYPE_AUDIO;
  a.channels = 2;
  a.sample_rate = 48000;
  a.sample_fmt = SAMPLE_FMT_S16;
  ASSERT_TRUE(DecodedContextToMediaType(&a, &mt_));
  auto w = Block<WAVEFORMATEX>();
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(w.nBlockAlign, 4);
  EXPECT_EQ(w.nAvgBytesPerSec, 192000u);
  EXPECT_EQ(w.wBitsPerSample, 16);
  a.sample_fmt = SAMPLE_FMT_S32;
  ASSERT_TRUE(DecodedContextToMediaType(&a, &mt_));
  EXPECT_EQ(Block<WAVEFORMATEX>().nBlockAlign, 8);

  CodecContext v;
  v.codec_type = CODEC_TYPE_VIDEO;
  v.width = 175;
  v.height = 143;
  v.pix_fmt = AV_PIX_FMT_YUV420P;
  v.time_base = {1, 25};
  ASSERT_TRUE(DecodedContextToMediaType(&v, &mt_));
  auto vih = Block<VIDEOINFOHEADER>();
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_I420);
  EXPECT_EQ(vih.bmiHeader.biCompression, F("I420"));
  EXPECT_EQ(vih.bmiHeader.biBitCount, 12);
  EXPECT_EQ(vih.bmiHeader.biSizeImage, 175u * 143 + 2 * (88 * 72));  // chroma rounded up
  EXPECT_EQ(mt_.lSampleSize, vih.bmiHeader.biSizeImage);
  EXPECT_EQ(vih.AvgTimePerFrame, 400000);
  EXPECT_EQ(mt_.bFixedSizeSamples, 1);
  v.pix_fmt = AV_PIX_FMT_BGR24;
  ASSERT_TRUE(DecodedContextToMediaType(&v, &mt_));
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(Block<VIDEOINFOHEADER>().bmiHeader.biSizeImage, 175u * 143 * 3);

  CodecContext s;
  s.codec_type = CODEC_TYPE_SUBTITLE;
  EXPECT_FALSE(DecodedContextToMediaType(&s, &mt_));
}

TEST_F(FfmpegTypes, RawVideoWithoutTableRow) {
  CodecContext c;
  c.codec_type = CODEC_TYPE_VIDEO;
  c.codec_id = AV_CODEC_ID_RAWVIDEO;
  c.pix_fmt = AV_PIX_FMT_RGB555LE;
  c.width = 64;
  c.height = 48;
  ASSERT_TRUE(CodecContextToMediaType(&c, &mt_));
  EXPECT_EQ(c.pix_fmt, AV_PIX_FMT_RGB565LE);
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_RGB565);
  EXPECT_EQ(Block<VIDEOINFOHEADER>().bmiHeader.biBitCount, 16);
  EXPECT_EQ(Block<VIDEOINFOHEADER>().bmiHeader.biSizeImage, 64u * 48 * 2);

  ClearMediaTypeFormat(&mt_);
  c.pix_fmt = AV_PIX_FMT_YUV420P;
  c.codec_tag = F("YV12");
  ASSERT_TRUE(CodecContextToMediaType(&c, &mt_));
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_YV12);
  EXPECT_EQ(Block<VIDEOINFOHEADER>().bmiHeader.biCompression, F("YV12"));

  ClearMediaTypeFormat(&mt_);
  c.pix_fmt = AV_PIX_FMT_GBRP;  // no table row
  EXPECT_FALSE(CodecContextToMediaType(&c, &mt_));

  // Another codec without a row: its tag decides; none is refused.
  ClearMediaTypeFormat(&mt_);
  CodecContext u;
  u.codec_type = CODEC_TYPE_VIDEO;
  u.codec_id = AV_CODEC_ID_HEVC;
  EXPECT_FALSE(CodecContextToMediaType(&u, &mt_));
  ClearMediaTypeFormat(&mt_);
  u.codec_tag = 3;
  ASSERT_TRUE(CodecContextToMediaType(&u, &mt_));
  EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_RGB565);
  EXPECT_EQ(u.pix_fmt, AV_PIX_FMT_RGB565LE);
  ClearMediaTypeFormat(&mt_);
  u.codec_tag = F("hvc1");
  ASSERT_TRUE(CodecContextToMediaType(&u, &mt_));
  EXPECT_EQ(mt_.subtype, FourccGuid(F("hvc1")));
  EXPECT_EQ(Block<VIDEOINFOHEADER>().bmiHeader.biCompression, F("hvc1"));
}

TEST_F(FfmpegTypes, VideoInfoWithTwentyCodecBytes) {
  std::vector<uint8_t> block(sizeof(VIDEOINFOHEADER) + 20);
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = 400000;
  vih.dwBitRate = 800000;
  vih.bmiHeader.biSize = 60;
  vih.bmiHeader.biWidth = 320;
  vih.bmiHeader.biHeight = 240;
  vih.bmiHeader.biBitCount = 24;
  std::memcpy(block.data(), &vih, sizeof(vih));
  auto codec = Pattern(20, 9);
  std::memcpy(block.data() + sizeof(vih), codec.data(), 20);
  SetBlock(MEDIATYPE_Video, FourccGuid(F("H264")), FORMAT_VideoInfo, block.data(), block.size());
  CodecContext ctx;
  ASSERT_TRUE(MediaTypeToDecoderContext(&mt_, &ctx));
  EXPECT_EQ(ctx.extradata_size(), 20);
  EXPECT_EQ(ctx.extradata, codec);
  EXPECT_EQ(ctx.codec_id, AV_CODEC_ID_H264);
  EXPECT_EQ(ctx.codec_tag, F("H264"));
  EXPECT_EQ(ctx.width, 320);
  EXPECT_EQ(ctx.bits_per_sample, 24);
  EXPECT_EQ(ctx.time_base.num, 1);
  EXPECT_EQ(ctx.time_base.den, 25);
  EXPECT_EQ(ctx.bit_rate, 800000);
}

// A context, turned into a media type and back through the decoder's reading,
// keeps what both sides describe.
TEST_F(FfmpegTypes, ContextToTypeToContextRoundTrips) {
  struct Case {
    const char* what;
    int32_t type, id;
    uint32_t tag;
    int32_t w, h, rate, channels, frameSize;
    size_t extra;
    GUID format;
    uint32_t expectTag;
  } cases[] = {
      {"mpeg4", CODEC_TYPE_VIDEO, AV_CODEC_ID_MPEG4, 0, 320, 240, 0, 0, 0, 40, FORMAT_VideoInfo, F("FMP4")},
      {"h264", CODEC_TYPE_VIDEO, AV_CODEC_ID_H264, 0, 176, 144, 0, 0, 0, 35, FORMAT_VideoInfo, F("H264")},
      {"mpeg2", CODEC_TYPE_VIDEO, AV_CODEC_ID_MPEG2VIDEO, 0, 720, 576, 0, 0, 0, 0, FORMAT_MPEG2Video, F("mpg2")},
      {"mpeg1", CODEC_TYPE_VIDEO, AV_CODEC_ID_MPEG1VIDEO, 0, 352, 288, 0, 0, 0, 0, FORMAT_MPEGVideo, F("mpg1")},
      {"aac", CODEC_TYPE_AUDIO, AV_CODEC_ID_AAC, 0, 0, 0, 44100, 2, 1024, 2, FORMAT_WaveFormatEx, 0xFF},
      {"ac3", CODEC_TYPE_AUDIO, AV_CODEC_ID_AC3, 0, 0, 0, 48000, 6, 1536, 0, FORMAT_WaveFormatEx, 0x2000},
      {"mp3", CODEC_TYPE_AUDIO, AV_CODEC_ID_MP3, 0, 0, 0, 44100, 2, 1152, 0, FORMAT_WaveFormatEx, 0x55},
      {"wmav2 (no row)", CODEC_TYPE_AUDIO, AV_CODEC_ID_WMAV2, 0x161, 0, 0, 44100, 2, 0, 10, FORMAT_WaveFormatEx, 0x161},
  };
  for (const Case& c : cases) {
    CodecContext in;
    in.codec_type = c.type;
    in.codec_id = c.id;
    in.codec_tag = c.tag;
    in.width = c.w;
    in.height = c.h;
    in.pix_fmt = c.type == CODEC_TYPE_VIDEO ? AV_PIX_FMT_YUV420P : -1;
    in.time_base = c.type == CODEC_TYPE_VIDEO ? FFRational{1, 25} : FFRational{1, c.rate};
    in.bit_rate = 128000;
    in.sample_rate = c.rate;
    in.channels = c.channels;
    in.frame_size = c.frameSize;
    in.block_align = c.frameSize ? 0 : 1487;
    in.extradata = Pattern(c.extra, 5);
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    ASSERT_TRUE(CodecContextToMediaType(&in, &mt)) << c.what;
    EXPECT_EQ(mt.formattype, c.format) << c.what;
    EXPECT_EQ(mt.majortype, c.type == CODEC_TYPE_VIDEO ? MEDIATYPE_Video : MEDIATYPE_Audio) << c.what;
    EXPECT_EQ(GuidToFourcc(mt.subtype), c.expectTag) << c.what;

    CodecContext out;
    if (c.id == AV_CODEC_ID_WMAV2) {
      ASSERT_TRUE(MediaTypeToCodecContext(&mt, &out, c.id, 0, 0, GuidToFourcc(mt.subtype))) << c.what;
      EXPECT_EQ(out.block_align, 1487);
    } else {
      ASSERT_TRUE(MediaTypeToDecoderContext(&mt, &out)) << c.what;
    }
    EXPECT_EQ(out.codec_id, c.id) << c.what;
    EXPECT_EQ(out.codec_type, c.type) << c.what;
    EXPECT_EQ(out.codec_tag, c.expectTag) << c.what;
    if (c.id != AV_CODEC_ID_MP3) {  // MP3 keeps its 12 layer-3 bytes
      EXPECT_EQ(out.extradata, in.extradata) << c.what;
    }
    EXPECT_EQ(out.bit_rate, 128000) << c.what;
    if (c.type == CODEC_TYPE_VIDEO) {
      EXPECT_EQ(out.width, c.w) << c.what;
      EXPECT_EQ(out.height, c.h) << c.what;
      EXPECT_EQ(out.time_base.num, 1) << c.what;
      EXPECT_EQ(out.time_base.den, 25) << c.what;
    } else {
      EXPECT_EQ(out.sample_rate, c.rate) << c.what;
      EXPECT_EQ(out.channels, c.channels) << c.what;
    }
    ClearMediaTypeFormat(&mt);
  }
}

TEST_F(FfmpegTypes, MpegAudioLayersAndPcmWithoutRow) {
  CodecContext mp2;
  mp2.codec_type = CODEC_TYPE_AUDIO;
  mp2.codec_id = AV_CODEC_ID_MP3;
  mp2.sub_id = 2;
  mp2.channels = 2;
  mp2.sample_rate = 48000;
  mp2.bit_rate = 192001;
  mp2.frame_size = 1152;
  ASSERT_TRUE(CodecContextToMediaType(&mp2, &mt_));
  ASSERT_EQ(mt_.cbFormat, 40u);
  EXPECT_EQ(mt_.subtype.Data1, 0x50u);
  auto m = Block<MPEG1WAVEFORMAT>();
  EXPECT_EQ(m.wfx.wFormatTag, 0x50);
  EXPECT_EQ(m.wfx.cbSize, 22);
  EXPECT_EQ(m.fwHeadLayer, 2);
  EXPECT_EQ(m.wfx.nAvgBytesPerSec, 24000u);
  EXPECT_EQ(m.wfx.nBlockAlign, 1152);

  ClearMediaTypeFormat(&mt_);
  mp2.sub_id = 3;
  ASSERT_TRUE(CodecContextToMediaType(&mp2, &mt_));
  ASSERT_EQ(mt_.cbFormat, 30u);
  EXPECT_EQ(Block<MPEGLAYER3WAVEFORMAT>().wfx.cbSize, 12);

  struct Pcm {
    int32_t id;
    WORD bits;
  } pcms[] = {{AV_CODEC_ID_PCM_U8, 8}, {AV_CODEC_ID_PCM_S24LE, 24}, {AV_CODEC_ID_PCM_S32LE, 32}};
  for (const Pcm& p : pcms) {
    ClearMediaTypeFormat(&mt_);
    CodecContext c;
    c.codec_type = CODEC_TYPE_AUDIO;
    c.codec_id = p.id;
    c.codec_tag = 1;
    c.channels = 2;
    c.sample_rate = 44100;
    c.block_align = 2 * p.bits / 8;
    ASSERT_TRUE(CodecContextToMediaType(&c, &mt_));
    EXPECT_EQ(mt_.subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(Block<WAVEFORMATEX>().wBitsPerSample, p.bits);
    // Back through the PCM rules to the same codec.
    CodecContext back;
    ASSERT_TRUE(MediaTypeToCodecContext(&mt_, &back, AV_CODEC_ID_PCM_S16LE, 0, 0, 1));
    EXPECT_EQ(back.codec_id, p.id);
    EXPECT_EQ(back.block_align, c.block_align);
  }
}

TEST_F(FfmpegTypes, RawTypesForEncoders) {
  WAVEFORMATEX w = Wave(1, 2, 48000, 16);
  SetBlock(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, &w, sizeof(w));
  CodecContext ctx;
  ASSERT_TRUE(RawMediaTypeToEncoderContext(&mt_, &ctx, AV_CODEC_ID_MP2));
  EXPECT_EQ(ctx.sample_fmt, SAMPLE_FMT_S16);
  EXPECT_EQ(ctx.channels, 2);
  EXPECT_EQ(ctx.sample_rate, 48000);
  EXPECT_EQ(ctx.bits_per_sample, 16);

  w = Wave(1, 2, 48000, 24);
  SetBlock(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, &w, sizeof(w));
  CodecContext c24;
  EXPECT_FALSE(RawMediaTypeToEncoderContext(&mt_, &c24, AV_CODEC_ID_AC3));
  EXPECT_EQ(c24.codec_id, AV_CODEC_ID_AC3);  // set before the refusal

  VIDEOINFOHEADER2 v2{};
  v2.AvgTimePerFrame = 333667;
  v2.bmiHeader.biWidth = 720;
  v2.bmiHeader.biHeight = 480;
  SetBlock(MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoInfo2, &v2, sizeof(v2));
  CodecContext video;
  ASSERT_TRUE(RawMediaTypeToEncoderContext(&mt_, &video, AV_CODEC_ID_MPEG2VIDEO));
  EXPECT_EQ(video.pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video.width, 720);
  EXPECT_EQ(video.time_base.num, 1001);
  EXPECT_EQ(video.time_base.den, 30000);

  SetBlock(MEDIATYPE_Video, MEDIASUBTYPE_YV12, FORMAT_VideoInfo2, &v2, sizeof(v2));
  EXPECT_FALSE(RawMediaTypeToEncoderContext(&mt_, &video, AV_CODEC_ID_MPEG2VIDEO));
}

TEST_F(FfmpegTypes, MuxerContextRawPicturesAndTags) {
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = 400000;
  vih.bmiHeader.biWidth = 64;
  vih.bmiHeader.biHeight = 48;
  vih.bmiHeader.biBitCount = 12;
  SetBlock(MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoInfo, &vih, sizeof(vih));
  CodecContext ctx;
  ASSERT_TRUE(MediaTypeToMuxerContext(&mt_, &ctx, "avi"));
  EXPECT_EQ(ctx.codec_id, AV_CODEC_ID_RAWVIDEO);
  EXPECT_EQ(ctx.pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(ctx.bits_per_sample, 12);

  // A subtype the codec table does not know is still muxed (id 0), not refused.
  SetBlock(MEDIATYPE_Video, FourccGuid(F("ZZZZ")), FORMAT_VideoInfo, &vih, sizeof(vih));
  CodecContext unknown;
  ASSERT_TRUE(MediaTypeToMuxerContext(&mt_, &unknown, "avi"));
  EXPECT_EQ(unknown.codec_id, 0);
  CodecContext decoder;
  EXPECT_FALSE(MediaTypeToDecoderContext(&mt_, &decoder));
}

}  // namespace
