#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/modules/bitstream/bit_io.h"
#include "engine/modules/bitstream/bitstream_adts.h"
#include "engine/modules/bitstream/bitstream_h264.h"
#include "engine/modules/bitstream/bitstream_mpeg4.h"
#include "engine/modules/bitstream/bitstream_mpeg_audio.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---- MPEG audio ----

TEST(MpegAudioHeader, FrameLengthAndSamplesPerFrame) {
  const struct {
    const char* what;
    uint8_t b1, b2;
    int32_t length, samples;
  } cases[] = {
      {"MPEG-1 L3 128k 44100", 0xFB, 0x90, 417, 1152}, {"MPEG-1 L3 128k 44100 padded", 0xFB, 0x92, 418, 1152},
      {"MPEG-2 L3 64k 22050", 0xF3, 0x80, 208, 576},   {"MPEG-2 L3 32k 16000", 0xF3, 0x48, 144, 576},
      {"MPEG-2.5 L3 16k 8000", 0xE3, 0x28, 144, 576},  {"MPEG-2.5 L3 8k 11025 padded", 0xE3, 0x12, 53, 576},
      {"MPEG-1 L2 192k 48000", 0xFD, 0xA4, 576, 1152}, {"MPEG-2 L2 160k 24000", 0xF5, 0xE4, 960, 1152},
      {"MPEG-1 L1 384k 32000", 0xFF, 0xC8, 576, 384},  {"MPEG-1 L1 384k 32000 padded", 0xFF, 0xCA, 580, 384},
  };
  for (const auto& c : cases) {
    const uint8_t header[4] = {0xFF, c.b1, c.b2, 0x00};
    int32_t samples = -7;
    EXPECT_EQ(ParseMpegAudioHeader(header, 4, &samples), c.length) << c.what;
    EXPECT_EQ(samples, c.samples) << c.what;
  }
}

TEST(MpegAudioHeader, UnusableHeadersGiveNoHeaderAndLeaveSamplesAlone) {
  const struct {
    const char* what;
    uint8_t b0, b1, b2;
  } cases[] = {
      {"no sync", 0xFF, 0x7B, 0x90},          {"sync low byte", 0xFE, 0xFB, 0x90},
      {"layer 00", 0xFF, 0xF9, 0x90},         {"free format", 0xFF, 0xFB, 0x00},
      {"bitrate 15", 0xFF, 0xFB, 0xF0},       {"sampling index 3", 0xFF, 0xFB, 0x9C},
      {"reserved version", 0xFF, 0xEB, 0x90},
  };
  for (const auto& c : cases) {
    const uint8_t header[4] = {c.b0, c.b1, c.b2, 0x00};
    int32_t samples = -7;
    EXPECT_EQ(ParseMpegAudioHeader(header, 4, &samples), kNoMpegAudioHeader) << c.what;
    EXPECT_EQ(samples, -7) << c.what;
  }
  // a good header cut short
  std::unique_ptr<uint8_t[]> three(new uint8_t[3]{0xFF, 0xFB, 0x90});
  int32_t samples = -7;
  EXPECT_EQ(ParseMpegAudioHeader(three.get(), 3, &samples), kNoMpegAudioHeader);
  EXPECT_EQ(ParseMpegAudioHeader(nullptr, 4, &samples), kNoMpegAudioHeader);
  EXPECT_EQ(samples, -7);
}

// ---- ADTS ----

struct AdtsFields {
  uint32_t protectionAbsent = 1, profile = 1, samplingIndex = 4, channels = 2, frameLength = 100, rawBlocks = 0;
};

class VectorSink : public ByteSink {
 public:
  void PutByte(uint8_t byte) override { bytes.push_back(byte); }
  Bytes bytes;
};

// A whole ADTS frame (header, CRC when present, then payload bytes) of f.frameLength bytes,
// or just its header when headerOnly.
Bytes MakeAdts(const AdtsFields& f, bool headerOnly = false) {
  VectorSink sink;
  BitWriter w;
  w.Init(&sink);
  w.PutBits(0xFFF, 12);
  w.PutBits(0, 1);
  w.PutBits(0, 2);
  w.PutBits(f.protectionAbsent, 1);
  w.PutBits(f.profile, 2);
  w.PutBits(f.samplingIndex, 4);
  w.PutBits(0, 1);
  w.PutBits(f.channels, 3);
  w.PutBits(0, 4);
  w.PutBits(f.frameLength, 13);
  w.PutBits(0x7FF, 11);
  w.PutBits(f.rawBlocks, 2);
  if (!f.protectionAbsent) w.PutBits(0xBEEF, 16);
  Bytes out = sink.bytes;
  if (!headerOnly) {
    while (out.size() < f.frameLength) out.push_back(static_cast<uint8_t>(out.size()));
  }
  return out;
}

int32_t ParseAdts(const Bytes& data, AdtsHeader* header) {
  BitReader reader;
  reader.SetData(data.data(), static_cast<int32_t>(data.size()));
  if (reader.ReadBits(12) != 0xFFF) return -2;
  return ParseAdtsHeader(reader, header);
}

TEST(AdtsHeader, FieldsOfAnAacLcFrame) {
  AdtsHeader h;
  ASSERT_EQ(ParseAdts(MakeAdts({}), &h), 100);
  EXPECT_EQ(h.sampleRate, 44100);
  EXPECT_EQ(h.samplesPerFrame, 1024);
  EXPECT_EQ(h.bitRate, 100 * 44100 * 8 / 1024);
  EXPECT_EQ(h.protectionAbsent, 1);
  EXPECT_EQ(h.objectType, 2);
  EXPECT_EQ(h.samplingIndex, 4);
  EXPECT_EQ(h.channelConfig, 2);
  EXPECT_EQ(h.rawBlocks, 1);
}

TEST(AdtsHeader, ResultsOverTheHeaderForms) {
  const struct {
    const char* what;
    AdtsFields f;
    int32_t result;
  } cases[] = {
      {"CRC, one block", {.protectionAbsent = 0}, 100},
      {"CRC, two blocks", {.protectionAbsent = 0, .rawBlocks = 1}, -1},
      {"no CRC, four blocks", {.rawBlocks = 3}, 100},
      {"frame length 6", {.frameLength = 6}, -1},
      {"frame length 7", {.frameLength = 7}, 7},
      {"CRC with frame length 8", {.protectionAbsent = 0, .frameLength = 8}, -1},
      {"index 13", {.samplingIndex = 13}, 100},
  };
  for (const auto& c : cases) {
    AdtsHeader h;
    EXPECT_EQ(ParseAdts(MakeAdts(c.f, true), &h), c.result) << c.what;
  }
  AdtsHeader h;
  ParseAdts(MakeAdts({.rawBlocks = 3}, true), &h);
  EXPECT_EQ(h.samplesPerFrame, 4096);
  EXPECT_EQ(h.rawBlocks, 4);
  ParseAdts(MakeAdts({.samplingIndex = 13}, true), &h);
  EXPECT_EQ(h.sampleRate, 0);
  // the largest frame at 96 kHz does not overflow the bit rate
  ParseAdts(MakeAdts({.samplingIndex = 0, .frameLength = 8191}, true), &h);
  EXPECT_EQ(h.bitRate, 8191LL * 96000 * 8 / 1024);
}

TEST(AdtsHeader, TruncatedHeadersGiveMinusOne) {
  const Bytes header = MakeAdts({.protectionAbsent = 0}, true);
  for (size_t n = 2; n < 7; ++n) {
    const Bytes cut(header.begin(), header.begin() + static_cast<long>(n));
    AdtsHeader h;
    EXPECT_EQ(ParseAdts(cut, &h), -1) << n << " bytes";
  }
}

TEST(StripAdtsHeader, StripsWholeFramesAndBuildsTheConfig) {
  Bytes codecData;
  Bytes frame = MakeAdts({});
  EXPECT_EQ(StripAdtsHeader(frame.data(), 100, &codecData), 7);
  EXPECT_EQ(codecData, (Bytes{0x12, 0x10}));

  // an existing configuration stays
  codecData = {0xAA};
  EXPECT_EQ(StripAdtsHeader(frame.data(), 100, &codecData), 7);
  EXPECT_EQ(codecData, (Bytes{0xAA}));

  codecData.clear();
  frame = MakeAdts({.protectionAbsent = 0, .profile = 3, .samplingIndex = 11, .channels = 1});
  EXPECT_EQ(StripAdtsHeader(frame.data(), 100, &codecData), 9);
  // object type 4, index 11, one channel: 00100 1011 0001 000
  EXPECT_EQ(codecData, (Bytes{0x25, 0x88}));
}

TEST(StripAdtsHeader, LeavesOtherPacketsAlone) {
  const struct {
    const char* what;
    Bytes data;
    int32_t length;
  } cases[] = {
      {"frame length differs from packet", MakeAdts({}), 99},
      {"packet longer than frame", Cat({MakeAdts({}), Bytes(5, 0)}), 105},
      {"two raw blocks with CRC", MakeAdts({.protectionAbsent = 0, .rawBlocks = 1}), 100},
      {"no sync", Cat({Bytes{0x00}, MakeAdts({})}), 101},
      {"6 bytes", Bytes{0xFF, 0xF1, 0x50, 0x80, 0x00, 0xDF}, 6},
      {"reserved sampling index", MakeAdts({.samplingIndex = 14}), 100},
  };
  for (const auto& c : cases) {
    Bytes codecData;
    const Bytes data(c.data.begin(), c.data.begin() + c.length);  // exact size for the sanitizer
    EXPECT_EQ(StripAdtsHeader(data.data(), c.length, &codecData), 0) << c.what;
    EXPECT_TRUE(codecData.empty()) << c.what;
  }
}

TEST(StripAdtsHeader, TruncatedFramesAreLeftAlone) {
  const Bytes frame = MakeAdts({.frameLength = 20});
  for (int32_t n = 0; n < 20; ++n) {
    std::unique_ptr<uint8_t[]> cut(new uint8_t[static_cast<size_t>(n)]);  // exact size for the sanitizer
    std::copy(frame.begin(), frame.begin() + n, cut.get());
    Bytes codecData;
    EXPECT_EQ(StripAdtsHeader(cut.get(), n, &codecData), 0) << n;
  }
}

// ---- MPEG-4 video ----

TEST(Mpeg4PictureStart, FindsGroupOrVopStartCode) {
  const Bytes vol = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x09, 0x00, 0x00, 0x01, 0x20, 0x08};
  const Bytes vop = {0x00, 0x00, 0x01, 0xB6, 0x10, 0x60};
  const Bytes gov = {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10};
  EXPECT_EQ(FindMpeg4PictureStart(Cat({vol, vop}).data(), static_cast<int32_t>(vol.size() + vop.size())),
            static_cast<int32_t>(vol.size()));
  const Bytes both = Cat({vol, gov, vop});
  EXPECT_EQ(FindMpeg4PictureStart(both.data(), static_cast<int32_t>(both.size())), static_cast<int32_t>(vol.size()));
  EXPECT_EQ(FindMpeg4PictureStart(vop.data(), 6), 0);
  EXPECT_EQ(FindMpeg4PictureStart(vol.data(), static_cast<int32_t>(vol.size())), 0);
  // a start code cut after 00 00 01 is not a picture
  const Bytes cut = {0x00, 0x00, 0x01, 0xB0, 0x00, 0x00, 0x01};
  EXPECT_EQ(FindMpeg4PictureStart(cut.data(), static_cast<int32_t>(cut.size())), 0);
  EXPECT_EQ(FindMpeg4PictureStart(nullptr, 10), 0);
}

// ---- H.264 ----

const Bytes kSps = {0x67, 0x64, 0x00, 0x1F, 0xAC, 0xD9, 0x40};
const Bytes kSps2 = {0x67, 0x42, 0x00, 0x0A, 0xF8};
const Bytes kPps = {0x68, 0xEB, 0xE3, 0xCB, 0x22, 0xC0};
const Bytes kSei = {0x06, 0x05, 0x11, 0x80};
const Bytes kIdr = {0x65, 0x88, 0x84, 0x00, 0x33, 0xFF, 0x12};
const Bytes kSlice = {0x41, 0x9A, 0x21, 0x6C, 0x41};
const Bytes kSc4 = {0, 0, 0, 1};
const Bytes kSc3 = {0, 0, 1};

Bytes Len(const Bytes& unit, int size) {
  Bytes out;
  for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(unit.size() >> (8 * i)));
  return Cat({out, unit});
}

Bytes DropLast(Bytes b) {
  b.pop_back();
  return b;
}

std::vector<uint8_t> Types(const NalUnitList& list) {
  std::vector<uint8_t> types;
  for (const NalUnit& u : list.units) types.push_back(u.type);
  return types;
}

Bytes PacketBytes(const H264Packet& p) { return Bytes(p.data, p.data + p.size); }

TEST(NalUnits, ParsesEveryLayout) {
  const struct {
    const char* what;
    Bytes data;
    int32_t lengthSize;
  } cases[] = {
      {"4-byte start codes", Cat({kSc4, kSps, kSc4, kPps, kSc4, kIdr}), 0},
      {"3-byte start codes", Cat({kSc3, kSps, kSc3, kPps, kSc3, kIdr}), 0},
      {"mixed start codes", Cat({kSc4, kSps, kSc3, kPps, kSc4, kIdr}), 0},
      {"3-byte then 4-byte", Cat({kSc3, kSps, kSc4, kPps, kSc3, kIdr}), 0},
      {"1-byte lengths", Cat({Len(kSps, 1), Len(kPps, 1), Len(kIdr, 1)}), 1},
      {"2-byte lengths", Cat({Len(kSps, 2), Len(kPps, 2), Len(kIdr, 2)}), 2},
      {"4-byte lengths", Cat({Len(kSps, 4), Len(kPps, 4), Len(kIdr, 4)}), 4},
  };
  for (const auto& c : cases) {
    AvcParamSets ps;
    ps.nalLengthSize = c.lengthSize;
    NalUnitList list;
    ASSERT_TRUE(ParseNalUnits(c.data.data(), static_cast<int32_t>(c.data.size()), ps, &list)) << c.what;
    ASSERT_EQ(list.count(), 3) << c.what;
    EXPECT_EQ(Types(list), (std::vector<uint8_t>{7, 8, 5})) << c.what;
    const Bytes* units[] = {&kSps, &kPps, &kIdr};
    for (int i = 0; i < 3; ++i) {
      const NalUnit& u = list.units[static_cast<size_t>(i)];
      EXPECT_EQ(Bytes(c.data.begin() + u.offset, c.data.begin() + u.offset + u.size), *units[i])
          << c.what << " unit " << i;
    }
  }
}

TEST(NalUnits, RefusesWhatCannotBeSplit) {
  const struct {
    const char* what;
    Bytes data;
    int32_t lengthSize;
    bool result;
    int count;
  } cases[] = {
      {"Annex B without start code", Cat({Bytes{0x01}, kSc4, kIdr}), 0, 0, 0},
      {"length size 3", Cat({Bytes{0, 0}, Len(kIdr, 1)}), 3, 0, 0},
      {"length size 5", Len(kIdr, 4), 5, 0, 0},
      {"4 bytes or less", Bytes{0, 0, 0, 1}, 0, 1, 0},
      {"unit runs past the end", DropLast(Cat({Len(kSps, 4), Len(kIdr, 4)})), 4, 0, 0},
      {"length field cut", Cat({Len(kSps, 4), Bytes{0, 0}}), 4, 0, 0},
      {"empty unit skipped", Cat({Len(kSps, 2), Bytes{0, 0}, Len(kIdr, 2)}), 2, 1, 2},
  };
  for (const auto& c : cases) {
    const Bytes& data = c.data;
    AvcParamSets ps;
    ps.nalLengthSize = c.lengthSize;
    NalUnitList list;
    EXPECT_EQ(ParseNalUnits(data.data(), static_cast<int32_t>(data.size()), ps, &list), c.result) << c.what;
    EXPECT_EQ(list.count(), c.count) << c.what;
  }
}

TEST(NalUnits, KeepsEveryUnitOfLongPackets) {
  Bytes data;
  for (int i = 0; i < 100; ++i) data = Cat({data, kSc3, kSlice});
  AvcParamSets ps;
  NalUnitList list;
  ASSERT_TRUE(ParseNalUnits(data.data(), static_cast<int32_t>(data.size()), ps, &list));
  EXPECT_EQ(list.count(), 100);
  EXPECT_EQ(list.units.back().offset + list.units.back().size, static_cast<int32_t>(data.size()));
}

TEST(NalUnits, KeyFrameForGlobalHeaderKeepsOnlyTheSlice) {
  Bytes data = Cat({kSc4, kSps, kSc4, kPps, kSc3, kSei, kSc3, kIdr});
  AvcParamSets ps;
  H264Packet packet(data.data(), static_cast<int32_t>(data.size()));
  ASSERT_TRUE(ExtractParamSetsForGlobalHeader(&packet, &ps));
  EXPECT_TRUE(packet.owned());
  EXPECT_EQ(PacketBytes(packet), Cat({kSc4, kSei, kSc4, kIdr}));
  EXPECT_EQ(ps.sps, Cat({kSc4, kSps}));
  EXPECT_EQ(ps.pps, Cat({kSc4, kPps}));

  // a later key frame with another SPS does not replace the kept one
  Bytes next = Cat({kSc3, kSps2, kSc3, kPps, kSc3, kIdr});
  H264Packet second(next.data(), static_cast<int32_t>(next.size()));
  ASSERT_TRUE(ExtractParamSetsForGlobalHeader(&second, &ps));
  EXPECT_EQ(PacketBytes(second), Cat({kSc4, kIdr}));
  EXPECT_EQ(ps.sps, Cat({kSc4, kSps}));
}

TEST(NalUnits, KeyFrameForInBandContainerGetsParamSetsInFront) {
  Bytes data = Cat({kSc4, kSps, kSc4, kPps, kSc4, kIdr});
  AvcParamSets ps;
  H264Packet packet(data.data(), static_cast<int32_t>(data.size()));
  ASSERT_TRUE(PrependParamSets(&packet, &ps));
  EXPECT_EQ(PacketBytes(packet), Cat({kSc4, kSps, kSc4, kPps, kSc4, kIdr}));

  // length-prefixed key frame without parameter sets: the kept ones go in front
  Bytes lp = Cat({Len(kSei, 4), Len(kIdr, 4)});
  ps.nalLengthSize = 4;
  H264Packet key(lp.data(), static_cast<int32_t>(lp.size()));
  ASSERT_TRUE(PrependParamSets(&key, &ps));
  EXPECT_EQ(PacketBytes(key), Cat({kSc4, kSps, kSc4, kPps, kSc4, kSei, kSc4, kIdr}));
}

TEST(NalUnits, FourByteStartCodes) {
  // 4-byte lengths: rewritten in place, same size
  Bytes lp4 = Cat({Len(kSei, 4), Len(kSlice, 4)});
  uint8_t* const before = lp4.data();
  AvcParamSets ps4;
  ps4.nalLengthSize = 4;
  H264Packet p4(lp4.data(), static_cast<int32_t>(lp4.size()));
  ASSERT_TRUE(ToFourByteStartCodes(&p4, ps4));
  EXPECT_FALSE(p4.owned());
  EXPECT_EQ(p4.data, before);
  EXPECT_EQ(PacketBytes(p4), Cat({kSc4, kSei, kSc4, kSlice}));

  const struct {
    const char* what;
    Bytes data;
    int32_t lengthSize;
    bool owned;
  } cases[] = {
      {"1-byte lengths", Cat({Len(kSei, 1), Len(kSlice, 1)}), 1, true},
      {"2-byte lengths", Cat({Len(kSei, 2), Len(kSlice, 2)}), 2, true},
      {"3-byte start codes", Cat({kSc3, kSei, kSc3, kSlice}), 0, true},
      {"already 4-byte", Cat({kSc4, kSei, kSc4, kSlice}), 0, false},
  };
  for (const auto& c : cases) {
    Bytes data = c.data;
    AvcParamSets ps;
    ps.nalLengthSize = c.lengthSize;
    H264Packet p(data.data(), static_cast<int32_t>(data.size()));
    ASSERT_TRUE(ToFourByteStartCodes(&p, ps)) << c.what;
    EXPECT_EQ(p.owned(), c.owned) << c.what;
    EXPECT_EQ(PacketBytes(p), Cat({kSc4, kSei, kSc4, kSlice})) << c.what;
  }
}

TEST(NalUnits, TruncatedPacketsAreRefusedAndLeftUnchanged) {
  const struct {
    Bytes data;
    int32_t lengthSize;
  } packets[] = {
      {Cat({Len(kSps, 4), Len(kPps, 4), Len(kIdr, 4)}), 4},
      {Cat({Len(kSps, 2), Len(kPps, 2), Len(kIdr, 2)}), 2},
      {Cat({Len(kSps, 1), Len(kPps, 1), Len(kIdr, 1)}), 1},
  };
  for (const auto& pk : packets) {
    // every cut that does not fall on a unit boundary
    std::vector<size_t> boundaries = {0};
    for (const Bytes* u : {&kSps, &kPps, &kIdr}) {
      boundaries.push_back(boundaries.back() + static_cast<size_t>(pk.lengthSize) + u->size());
    }
    for (size_t n = 5; n < pk.data.size(); ++n) {
      if (std::find(boundaries.begin(), boundaries.end(), n) != boundaries.end()) continue;
      std::unique_ptr<uint8_t[]> cut(new uint8_t[n]);
      std::copy(pk.data.begin(), pk.data.begin() + static_cast<long>(n), cut.get());
      const Bytes original(cut.get(), cut.get() + n);
      AvcParamSets ps;
      ps.nalLengthSize = pk.lengthSize;
      NalUnitList list;
      EXPECT_FALSE(ParseNalUnits(cut.get(), static_cast<int32_t>(n), ps, &list)) << pk.lengthSize << "/" << n;
      H264Packet a(cut.get(), static_cast<int32_t>(n));
      EXPECT_FALSE(ToFourByteStartCodes(&a, ps));
      EXPECT_FALSE(ExtractParamSetsForGlobalHeader(&a, &ps));
      EXPECT_FALSE(PrependParamSets(&a, &ps));
      EXPECT_EQ(Bytes(a.data, a.data + a.size), original);
      EXPECT_TRUE(ps.sps.empty());
    }
  }
}

Bytes AvcC(const std::vector<Bytes>& spss, const std::vector<Bytes>& ppss, uint8_t lengthSizeMinusOne = 3) {
  Bytes out = {0x01,
               0x64,
               0x00,
               0x1F,
               static_cast<uint8_t>(0xFC | lengthSizeMinusOne),
               static_cast<uint8_t>(0xE0 | spss.size())};
  for (const Bytes& s : spss) out = Cat({out, Len(s, 2)});
  out.push_back(static_cast<uint8_t>(ppss.size()));
  for (const Bytes& p : ppss) out = Cat({out, Len(p, 2)});
  return out;
}

TEST(AvcCodecData, ReadsDecoderConfigurationRecords) {
  AvcParamSets ps;
  Bytes record = AvcC({kSps}, {kPps});
  ASSERT_TRUE(ParseAvcCodecData(record.data(), static_cast<int32_t>(record.size()), &ps));
  EXPECT_EQ(ps.nalLengthSize, 4);
  EXPECT_EQ(ps.sps, Cat({kSc4, kSps}));
  EXPECT_EQ(ps.pps, Cat({kSc4, kPps}));

  AvcParamSets two;
  record = AvcC({kSps, kSps2}, {kPps}, 1);
  ASSERT_TRUE(ParseAvcCodecData(record.data(), static_cast<int32_t>(record.size()), &two));
  EXPECT_EQ(two.nalLengthSize, 2);
  EXPECT_EQ(two.sps, Cat({kSc4, kSps, kSc4, kSps2}));

  AvcParamSets noPps;
  record = AvcC({kSps}, {});
  ASSERT_TRUE(ParseAvcCodecData(record.data(), static_cast<int32_t>(record.size()), &noPps));
  EXPECT_TRUE(noPps.pps.empty());
}

TEST(AvcCodecData, ReadsAnnexBCodecData) {
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"4-byte start", Cat({kSc4, kSps, kSc4, kPps, kSc4, kSps2})},
      {"3-byte start", Cat({kSc3, kSps, kSc3, kPps})},
      {"leading junk", Cat({Bytes{0x40, 0x01}, kSc4, kSps, kSc4, kPps})},
  };
  for (const auto& c : cases) {
    AvcParamSets ps;
    ps.nalLengthSize = 4;
    ASSERT_TRUE(ParseAvcCodecData(c.data.data(), static_cast<int32_t>(c.data.size()), &ps)) << c.what;
    EXPECT_EQ(ps.nalLengthSize, 0) << c.what;
    EXPECT_EQ(ps.sps, Cat({kSc4, kSps})) << c.what;
    EXPECT_EQ(ps.pps, Cat({kSc4, kPps})) << c.what;
  }
}

TEST(AvcCodecData, RefusesBadAndTruncatedData) {
  Bytes badSpsType = AvcC({kPps}, {kPps});
  Bytes badPpsType = AvcC({kSps}, {kSps});
  Bytes lengthSize3 = AvcC({kSps}, {kPps}, 2);
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"3 bytes", Bytes{1, 2, 3}},
      {"7-byte record", Bytes{1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}},
      {"no start code", Bytes{0x40, 0x00, 0x00, 0x01, 0x67}},
      {"SPS of another type", badSpsType},
      {"PPS of another type", badPpsType},
      {"length size 3", lengthSize3},
  };
  for (const auto& c : cases) {
    AvcParamSets ps;
    ps.nalLengthSize = 2;
    EXPECT_FALSE(ParseAvcCodecData(c.data.data(), static_cast<int32_t>(c.data.size()), &ps)) << c.what;
    EXPECT_TRUE(ps.sps.empty() && ps.pps.empty()) << c.what;
    EXPECT_EQ(ps.nalLengthSize, 2) << c.what;
  }

  const Bytes record = AvcC({kSps, kSps2}, {kPps});
  for (size_t n = 0; n < record.size(); ++n) {
    std::unique_ptr<uint8_t[]> cut(new uint8_t[n]);
    std::copy(record.begin(), record.begin() + static_cast<long>(n), cut.get());
    AvcParamSets ps;
    EXPECT_FALSE(ParseAvcCodecData(cut.get(), static_cast<int32_t>(n), &ps)) << n << " bytes";
    EXPECT_TRUE(ps.sps.empty() && ps.pps.empty()) << n;
  }
  AvcParamSets ps;
  EXPECT_FALSE(ParseAvcCodecData(nullptr, 100, &ps));
}

}  // namespace
