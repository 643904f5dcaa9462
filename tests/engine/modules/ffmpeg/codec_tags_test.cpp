#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include "common/codec_tables.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr uint32_t F(const char (&s)[5]) { return MakeFourcc(s[0], s[1], s[2], s[3]); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Rows in order, by FFmpeg codec name, kind (0 video, 1 audio) and FOURCC.
struct NamedRow {
  const char* codec;
  uint32_t kind;
  const char* fourcc;
};
const NamedRow kExpectedRows[] = {
    {"MPEG4", 0, "MP4V"},        {"MSMPEG4V3", 0, "MP43"},     {"MSMPEG4V2", 0, "MP42"},  {"MSMPEG4V1", 0, "MP41"},
    {"MPEG2VIDEO", 0, "MPG2"},   {"FLV1", 0, "FLV1"},          {"FLASHSV", 0, "FLSV"},    {"NELLYMOSER", 1, "NELL"},
    {"SPEEX", 1, "SPEE"},        {"ADPCM_IMA_WAV", 1, "AIMA"}, {"ADPCM_MS", 1, "MSAD"},   {"ADPCM_IMA_QT", 1, "QTAD"},
    {"MPEG1VIDEO", 0, "MPG1"},   {"H263", 0, "H263"},          {"H263P", 0, "P263"},      {"H261", 0, "H261"},
    {"WMV1", 0, "WMV1"},         {"WMV2", 0, "WMV2"},          {"VC1", 0, "WMV3"},        {"WMV3", 0, "WMV3"},
    {"DVVIDEO", 0, "DV50"},      {"SVQ1", 0, "SVQ1"},          {"SVQ3", 0, "SVQ3"},       {"CINEPAK", 0, "CVID"},
    {"SMC", 0, "SMCV"},          {"TIFF", 0, "TIFF"},          {"GIF", 0, "GIF2"},        {"VP3", 0, "VP31"},
    {"VP6F", 0, "VP62"},         {"VP6A", 0, "VP6A"},          {"VP6", 0, "VP62"},        {"THEORA", 0, "THEO"},
    {"H264", 0, "H264"},         {"RV10", 0, "RV10"},          {"RV20", 0, "RV20"},       {"INDEO3", 0, "IV32"},
    {"MSVIDEO1", 0, "CRAM"},     {"MSRLE", 0, "MRLE"},         {"MJPEG", 0, "MJPG"},      {"CINEPAK", 0, "CVID"},
    {"APE", 1, "APEA"},          {"GSM_MS", 1, "GSMA"},        {"ALAC", 1, "ALAC"},       {"ADPCM_SWF", 1, "DSWF"},
    {"ADPCM_IMA_QT", 1, "DIQT"}, {"PCM_MULAW", 1, "MLAW"},     {"PCM_ALAW", 1, "ALAW"},   {"FLAC", 1, "FLAC"},
    {"AC3", 1, "AC3A"},          {"DTS", 1, "DTSA"},           {"VORBIS", 1, "VORB"},     {"PCM_DVD", 1, "DPCM"},
    {"PCM_BLURAY", 1, "BPCM"},   {"TRUEHD", 1, "TRHD"},        {"RV10", 0, "RV10"},       {"RA_288", 1, "28_8"},
    {"RA_144", 1, "14_4"},       {"PCM_S16BE", 1, "LPCM"},     {"EAC3", 1, "EAC3"},       {"QDM2", 1, "QDM2"},
    {"MP3", 1, "MP3A"},          {"MP2", 1, "MP2A"},           {"ADPCM_G726", 1, "G726"}, {"AAC", 1, "MP4A"},
    {"AMR_NB", 1, "AMRN"},       {"AMR_WB", 1, "AMRW"},        {"PCM_S16LE", 1, "PCMA"},  {"VC1", 1, "WVC1"},
    {"COOK", 1, "COOK"},         {"ATRAC3", 1, "ATRC"},
};

uint32_t Fcc(const char* s) { return MakeFourcc(s[0], s[1], s[2], s[3]); }

TEST(CodecTags, CodecTagTableByFfmpegName) {
  ASSERT_EQ(CodecTagTableCount, 70);
  ASSERT_EQ(std::size(kExpectedRows), 70u);
  for (int i = 0; i < 70; ++i) {
    const CodecTagRow& row = CodecTagTable[i];
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(avcodec_get_name(static_cast<AVCodecID>(row.codecId)), Lower(kExpectedRows[i].codec));
    EXPECT_EQ(row.kind, kExpectedRows[i].kind);
    EXPECT_EQ(row.fourcc, Fcc(kExpectedRows[i].fourcc));
  }
}

TEST(CodecTags, PixelFormatTableByFfmpegName) {
  struct Row {
    const char* name;
    int bits;
    const char* fourcc;
  } expected[] = {{"yuv420p", 12, "I420"},  {"bgr24", 24, "RG24"},   {"bgra", 32, "RG32"},    {"rgb555le", 16, "RG55"},
                  {"rgb565le", 16, "RG56"}, {"yuyv422", 16, "YUY2"}, {"uyvy422", 16, "UYVY"}, {nullptr, 12, "YV12"}};
  ASSERT_EQ(PixelFormatTableCount, 8);
  for (int i = 0; i < 8; ++i) {
    const PixelFormatRow& row = PixelFormatTable[i];
    if (expected[i].name) {
      EXPECT_STREQ(av_get_pix_fmt_name(static_cast<AVPixelFormat>(row.pixelFormat)), expected[i].name);
    } else {
      EXPECT_EQ(row.pixelFormat, -1);
    }
    EXPECT_EQ(row.bitsPerPixel, expected[i].bits);
    EXPECT_EQ(row.fourcc, Fcc(expected[i].fourcc));
  }
}

// A small codec table of our own, so the cases do not depend on installed data.
class CodecTagsWithTable : public testing::Test {
 protected:
  static constexpr GUID kRgb24 = MEDIASUBTYPE_RGB24;
  void SetUp() override {
    FreeCodecTables();
    Add("VP62", {FourccGuid(F("VP62")), FourccGuid(F("VP6F"))});
    Add("WMV3", {FourccGuid(F("WMV3"))});
    Add("YV12", {MEDIASUBTYPE_YV12});
    Add("RG24", {kRgb24});
    Add("MP4V", {FourccGuid(F("XVID")), FourccGuid(F("MP4V"))});
    Add("MP3A", {FourccGuid(0x55), MEDIASUBTYPE_MPEG2_AUDIO, FourccGuid(0x5555)});
  }
  void TearDown() override { FreeCodecTables(); }
  static void Add(const char (&code)[5], std::vector<GUID> guids) {
    VfccEntry e;
    e.code = static_cast<int32_t>(F(code));
    e.guids = std::move(guids);
    TheVfccTable().Append(e);
  }
};

TEST_F(CodecTagsWithTable, LookupsFollowFirstRow) {
  int32_t id = -1;
  ASSERT_TRUE(FindCodecIdByTag(F("VP62"), &id));
  EXPECT_EQ(id, AV_CODEC_ID_VP6F);
  ASSERT_TRUE(FindCodecIdByTag(F("WVC1"), &id));
  EXPECT_EQ(id, AV_CODEC_ID_VC1);
  ASSERT_TRUE(FindCodecIdByTag(F("WMV3"), &id));
  EXPECT_EQ(id, AV_CODEC_ID_VC1);
  id = -7;
  EXPECT_FALSE(FindCodecIdByTag(F("ZZZZ"), &id));
  EXPECT_EQ(id, -7);

  GUID mt[2];
  ASSERT_TRUE(MediaTypeFromCodecId(AV_CODEC_ID_VP6, mt));
  EXPECT_EQ(mt[0], MEDIATYPE_Video);
  EXPECT_EQ(mt[1], FourccGuid(F("VP62")));
  ASSERT_TRUE(MediaTypeFromCodecId(AV_CODEC_ID_VC1, mt));
  EXPECT_EQ(mt[0], MEDIATYPE_Video);
  EXPECT_EQ(mt[1], FourccGuid(F("WMV3")));
  ASSERT_TRUE(MediaTypeFromCodecId(AV_CODEC_ID_MP3, mt));
  EXPECT_EQ(mt[0], MEDIATYPE_Audio);
  EXPECT_EQ(mt[1], FourccGuid(0x55));
  ASSERT_TRUE(MediaTypeFromCodecId(AV_CODEC_ID_H264, mt));  // no code table entry
  EXPECT_EQ(mt[1], GUID_NULL);
  EXPECT_FALSE(MediaTypeFromCodecId(AV_CODEC_ID_HEVC, mt));

  AM_MEDIA_TYPE t{};
  t.subtype = MEDIASUBTYPE_MPEG2_AUDIO;
  ASSERT_TRUE(FindCodecIdByMediaType(&t, &id));
  EXPECT_EQ(id, AV_CODEC_ID_MP3);
  t.subtype = FourccGuid(F("H264"));  // unknown to the code table
  EXPECT_FALSE(FindCodecIdByMediaType(&t, &id));
}

TEST_F(CodecTagsWithTable, PixelFormats) {
  AM_MEDIA_TYPE t{};
  int32_t fmt = -5, bits = -5;
  t.subtype = kRgb24;
  ASSERT_TRUE(FindPixelFormatByMediaType(&t, &fmt, &bits));
  EXPECT_EQ(fmt, AV_PIX_FMT_BGR24);
  EXPECT_EQ(bits, 24);
  t.subtype = MEDIASUBTYPE_YV12;
  ASSERT_TRUE(FindPixelFormatByMediaType(&t, &fmt, &bits));
  EXPECT_EQ(fmt, -1);
  EXPECT_EQ(bits, 12);
  t.subtype = FourccGuid(F("XVID"));
  EXPECT_FALSE(FindPixelFormatByMediaType(&t, &fmt, &bits));

  GUID mt[2];
  ASSERT_TRUE(MediaTypeFromPixelFormat(AV_PIX_FMT_BGR24, mt, &bits));
  EXPECT_EQ(mt[0], MEDIATYPE_Video);
  EXPECT_EQ(mt[1], kRgb24);
  EXPECT_FALSE(MediaTypeFromPixelFormat(AV_PIX_FMT_NV12, mt, &bits));

  EXPECT_TRUE(IsRawPixelFormat(MEDIASUBTYPE_YV12));
  EXPECT_TRUE(IsRawPixelFormat(kRgb24));
  EXPECT_FALSE(IsRawPixelFormat(FourccGuid(F("MP4V"))));
  EXPECT_FALSE(IsRawPixelFormat(FourccGuid(F("QQQQ"))));
  EXPECT_TRUE(IsPcmSubtype(MEDIASUBTYPE_PCM));
  EXPECT_FALSE(IsPcmSubtype(FourccGuid(2)));
}

TEST(CodecTags, ContainerTagRules) {
  struct Case {
    const char* format;
    int32_t codec;
    uint32_t tagIn;
    uint32_t tagOut;
  } cases[] = {
      {"MP4", AV_CODEC_ID_AAC, 0xFF, 0},
      {"avi", AV_CODEC_ID_AAC, 0xFF, 0xFF},
      {"flv", AV_CODEC_ID_AAC, 0xFF, 10},
      {"nosuchformat", AV_CODEC_ID_AAC, 0x1610, 0xFF},
      {"avi", AV_CODEC_ID_MPEG4, F("XVID"), F("XVID")},
      {"avi", AV_CODEC_ID_H263P, F("P263"), F("H263")},
      {"3gp", AV_CODEC_ID_H263, F("H263"), F("s263")},
      {"mov", AV_CODEC_ID_H264, F("H264"), 0},
      {"FLV", AV_CODEC_ID_FLV1, F("FLV1"), 2},
      {"flv", AV_CODEC_ID_VP6F, F("VP62"), 4},
      {"flv", AV_CODEC_ID_VP6A, F("VP6A"), 5},
      {"flv", AV_CODEC_ID_H264, F("H264"), 7},
      {"aiff", AV_CODEC_ID_PCM_S16BE, F("twos"), 0},
      {"mpeg", AV_CODEC_ID_MP2, 0x50, 0x50},  // no tag tables: left alone
      // Tags the muxer would refuse fall back to 0.
      {"flv", AV_CODEC_ID_MP3, 0x55, 0},
      {"avi", AV_CODEC_ID_MPEG4, F("H264"), 0},
      {"wav", AV_CODEC_ID_MP3, 0x55, 0x55},
  };
  for (const Case& c : cases) {
    uint32_t tag = c.tagIn;
    ChooseContainerCodecTag(c.format, c.codec, &tag);
    EXPECT_EQ(tag, c.tagOut) << c.format << " " << avcodec_get_name(static_cast<AVCodecID>(c.codec));
  }
}

TEST(CodecTags, OwnAudioCoresByCodecId) {
  EXPECT_EQ(OwnAudioDecoderOf(AV_CODEC_ID_AAC), AudioCore::kAac);
  EXPECT_EQ(OwnAudioDecoderOf(AV_CODEC_ID_AMR_NB), AudioCore::kAmrNb);
  EXPECT_EQ(OwnAudioDecoderOf(AV_CODEC_ID_AMR_WB), AudioCore::kAmrWb);
  EXPECT_EQ(OwnAudioDecoderOf(AV_CODEC_ID_MP3), std::nullopt);
  EXPECT_EQ(OwnAudioEncoderOf(AV_CODEC_ID_AAC), std::nullopt) << "FFmpeg encodes AAC";
  EXPECT_EQ(OwnAudioEncoderOf(AV_CODEC_ID_AMR_NB), AudioCore::kAmrNb);
  EXPECT_EQ(OwnAudioEncoderOf(AV_CODEC_ID_AMR_WB), AudioCore::kAmrWb);
}

TEST_F(CodecTagsWithTable, MediaTypeListOffersEveryGuid) {
  AM_MEDIA_TYPE t{};
  t.majortype = MEDIATYPE_Audio;
  t.subtype = MEDIASUBTYPE_MPEG2_AUDIO;
  t.formattype = FORMAT_WaveFormatEx;
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = 0x1234;
  wfx.nChannels = 2;
  t.cbFormat = sizeof(wfx);
  t.pbFormat = reinterpret_cast<BYTE*>(&wfx);
  CMediaTypeList list;
  ASSERT_TRUE(list.Add(&t));
  ASSERT_EQ(list.GetCount(), 3);
  const GUID want[] = {FourccGuid(0x55), MEDIASUBTYPE_MPEG2_AUDIO, FourccGuid(0x5555)};
  const WORD tags[] = {0x55, 0x1234, 0x5555};  // a non-FOURCC GUID keeps the tag
  for (int i = 0; i < 3; ++i) {
    AM_MEDIA_TYPE* item = list.GetAt(i);
    EXPECT_EQ(item->subtype, want[i]);
    ASSERT_EQ(item->cbFormat, sizeof(WAVEFORMATEX));
    EXPECT_NE(item->pbFormat, t.pbFormat);
    const auto* w = reinterpret_cast<const WAVEFORMATEX*>(item->pbFormat);
    EXPECT_EQ(w->wFormatTag, tags[i]);
    EXPECT_EQ(w->nChannels, 2);
  }
  EXPECT_EQ(wfx.wFormatTag, 0x1234);  // the source is untouched

  // A block shorter than a WAVEFORMATEX is copied unchanged.
  BYTE shortBlock[10] = {0x34, 0x12, 9, 9, 9, 9, 9, 9, 9, 9};
  t.cbFormat = sizeof(shortBlock);
  t.pbFormat = shortBlock;
  list.Clear();
  ASSERT_TRUE(list.Add(&t));
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(std::memcmp(list.GetAt(0)->pbFormat, shortBlock, sizeof(shortBlock)), 0);

  // Unknown subtype: one deep copy.
  t.subtype = FourccGuid(F("QQQQ"));
  list.Add(&t);
  EXPECT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list.GetAt(3)->subtype, t.subtype);
  EXPECT_EQ(list.GetAt(4), nullptr);
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetCapacity(), 0);
}

TEST_F(CodecTagsWithTable, MediaTypeListGrowsBy32) {
  AM_MEDIA_TYPE t{};
  t.majortype = MEDIATYPE_Video;
  t.subtype = FourccGuid(F("QQQQ"));
  CMediaTypeList list;
  EXPECT_EQ(list.GetCapacity(), 0);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(list.Add(&t), 1);
  EXPECT_EQ(list.GetCapacity(), 32);
  ASSERT_TRUE(list.Add(&t));  // the 33rd
  EXPECT_EQ(list.GetCapacity(), 64);
  EXPECT_EQ(list.GetCount(), 33);
  list.Clear();
}

TEST(CodecTags, PicturesWrapAndCopy) {
  const int w = 6, h = 4;  // chroma planes 3 x 2
  const int size = w * h * 3 / 2;
  std::vector<uint8_t> src(size);
  for (int i = 0; i < size; ++i) src[i] = static_cast<uint8_t>(i);
  AVFrame* pic = av_frame_alloc();
  WrapPictureBuffer(src.data(), w, h, pic, 0);
  EXPECT_EQ(pic->data[0], src.data());
  EXPECT_EQ(pic->data[1], src.data() + w * h);
  EXPECT_EQ(pic->data[2], src.data() + w * h + 6);
  WrapPictureBuffer(src.data(), w, h, pic, 1);
  EXPECT_EQ(pic->data[1], src.data() + w * h + 6);
  EXPECT_EQ(pic->data[2], src.data() + w * h);

  // Copy with exchange undoes the exchange of the wrap: the bytes come back as they were.
  std::vector<uint8_t> out(size + 5, 0xEE);
  int32_t cap = size - 1;
  CopyPictureToBuffer(pic, w, h, out.data(), &cap, 1);
  EXPECT_EQ(cap, size - 1);
  EXPECT_EQ(out[0], 0xEE);  // nothing written
  cap = size + 5;
  uint8_t* before[4] = {pic->data[0], pic->data[1], pic->data[2], pic->data[3]};
  CopyPictureToBuffer(pic, w, h, out.data(), &cap, 1);
  EXPECT_EQ(cap, size);
  EXPECT_TRUE(std::equal(src.begin(), src.end(), out.begin()));
  EXPECT_EQ(out[size], 0xEE);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pic->data[i], before[i]);  // source picture unchanged
  av_frame_free(&pic);
}

}  // namespace
