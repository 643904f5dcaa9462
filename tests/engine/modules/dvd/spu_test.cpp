// DVD subpictures: the packet decoder over made packets (a table of good,
// odd and broken ones), the palettes, the real packets of the fixture disc's
// subpicture streams, and the "VSUBTITLEDVD" overlay's times and blending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/dvd/dvd_title_reader.h"
#include "common/job_records.h"
#include "common/param_list.h"
#include "engine/modules/bitstream/bit_io.h"
#include "engine/modules/dvd/spu_decoder.h"
#include "engine/modules/dvd/subtitle_dvd_filter.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "platform/media_sample.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

// ---------------------------------------------------------------- packet making

class ByteVectorSink : public ByteSink {
 public:
  void PutByte(uint8_t byte) override { bytes.push_back(byte); }
  std::vector<uint8_t> bytes;
};

struct RleRun {
  uint8_t colour;
  int length;  // 0: to the end of the line
};

// Two-bit run-length field: one vector of runs per line.
std::vector<uint8_t> EncodeField(const std::vector<std::vector<RleRun>>& lines) {
  ByteVectorSink sink;
  BitWriter bits;
  bits.Init(&sink);
  for (const auto& line : lines) {
    for (const RleRun& r : line) {
      const uint32_t code = uint32_t(r.length) << 2 | r.colour;
      if (r.length == 0)
        bits.PutBits(code, 16);
      else if (r.length < 4)
        bits.PutBits(code, 4);
      else if (r.length < 16)
        bits.PutBits(code, 8);
      else if (r.length < 64)
        bits.PutBits(code, 12);
      else
        bits.PutBits(code, 16);
    }
    bits.AlignByte();
  }
  return sink.bytes;
}

struct Sequence {
  uint16_t date = 0;
  std::vector<uint8_t> commands;  // without the closing 0xFF
  int next = -1;                  // index of the next sequence; -1: itself (the last)
  bool close = true;              // append 0xFF
};

std::vector<uint8_t> Area(int x1, int x2, int y1, int y2) {
  return {0x05,        uint8_t(x1 >> 4), uint8_t((x1 & 15) << 4 | x2 >> 8),
          uint8_t(x2), uint8_t(y1 >> 4), uint8_t((y1 & 15) << 4 | y2 >> 8),
          uint8_t(y2)};
}
std::vector<uint8_t> Fields(int first, int second) {
  return {0x06, uint8_t(first >> 8), uint8_t(first), uint8_t(second >> 8), uint8_t(second)};
}
// Entry i of the picture's palette: colour[i] and alpha[i].
std::vector<uint8_t> Colours(const uint8_t (&c)[4]) {
  return {0x03, uint8_t(c[3] << 4 | c[2]), uint8_t(c[1] << 4 | c[0])};
}
std::vector<uint8_t> Alphas(const uint8_t (&a)[4]) {
  return {0x04, uint8_t(a[3] << 4 | a[2]), uint8_t(a[1] << 4 | a[0])};
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A two-byte-form packet: size, control offset, data, control sequences.
// The data (field bytes) start at offset 4.
std::vector<uint8_t> Packet(const std::vector<uint8_t>& data, const std::vector<Sequence>& sequences) {
  std::vector<size_t> at;
  size_t offset = 4 + data.size();
  for (const Sequence& s : sequences) {
    at.push_back(offset);
    offset += 4 + s.commands.size() + (s.close ? 1 : 0);
  }
  std::vector<uint8_t> p = {uint8_t(offset >> 8), uint8_t(offset), uint8_t(at[0] >> 8), uint8_t(at[0])};
  p.insert(p.end(), data.begin(), data.end());
  for (size_t i = 0; i < sequences.size(); ++i) {
    const Sequence& s = sequences[i];
    const size_t next = s.next < 0 ? at[i] : at[size_t(s.next)];
    p.insert(p.end(), {uint8_t(s.date >> 8), uint8_t(s.date), uint8_t(next >> 8), uint8_t(next)});
    p.insert(p.end(), s.commands.begin(), s.commands.end());
    if (s.close) p.push_back(0xFF);
  }
  return p;
}

// A 6x3 picture at (10, 20): rows "112233" / "3....3" / "...22." ('.' colour 0).
const std::vector<uint8_t> kField0 = EncodeField({{{1, 2}, {2, 2}, {3, 0}}, {{0, 3}, {2, 2}, {0, 1}}});
const std::vector<uint8_t> kField1 = EncodeField({{{3, 1}, {0, 4}, {3, 1}}});
const std::vector<uint8_t> kData = Join({kField0, kField1});
const int kF0 = 4, kF1 = 4 + int(kField0.size());
const uint8_t kColour[4] = {0, 1, 2, 3};  // palette words 0..3
const uint8_t kOpaque[4] = {0, 15, 15, 15};

std::vector<uint8_t> GoodPacket(uint16_t stopDate = 180) {
  return Packet(kData,
                {{0, Join({{0x01}, Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 22), Fields(kF0, kF1)}), 1},
                 {stopDate, {0x02}}});
}

const uint32_t kDiscPalette[16] = {0x108080, 0xEB8080, 0xD29210, 0x51F05A};  // black, white, yellow, red

std::string Rows(const DvdSubpicture& p) {
  std::string out;
  for (int r = 0; r < p.height; ++r) {
    for (int c = 0; c < p.width; ++c) out += char('0' + p.bitmap[size_t(r * p.rowBytes + c)]);
    out += '/';
  }
  return out;
}

uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFF; }

// ---------------------------------------------------------------- the decoder

TEST(SpuDecoder, DecodesAreaFieldsTimesAndColours) {
  const std::vector<uint8_t> packet = GoodPacket();
  DvdSubpicture p;
  ASSERT_EQ(SpuResult::kPicture, SpuDecode(packet.data(), int32_t(packet.size()), kDiscPalette, &p));
  EXPECT_EQ(0, p.startDisplayMs);
  EXPECT_EQ(2048, p.stopDisplayMs);  // date 180
  EXPECT_FALSE(p.forceDisplay);
  EXPECT_EQ(1, p.pictureCount);
  EXPECT_EQ(10, p.x);
  EXPECT_EQ(20, p.y);
  EXPECT_EQ(6, p.width);
  EXPECT_EQ(3, p.height);  // both ends of the area count
  EXPECT_EQ("112233/300003/000220/", Rows(p));
  ASSERT_EQ(4u, p.palette.size());
  EXPECT_EQ(0u, p.palette[0] >> 24);  // alpha 0
  EXPECT_EQ(0x000000u, Rgb(p.palette[0]));
  EXPECT_EQ(15u, p.palette[1] >> 24);  // the alpha as it stands
  EXPECT_EQ(0xFFFFFFu, Rgb(p.palette[1]));
  EXPECT_EQ(0xFFFF00u, Rgb(p.palette[2]));
  EXPECT_EQ(0xFE0000u, Rgb(p.palette[3]));  // red
}

TEST(SpuDecoder, TableOfPackets) {
  auto seq = [](std::vector<uint8_t> commands, int next = -1, uint16_t date = 0) {
    Sequence s;
    s.commands = std::move(commands);
    s.next = next;
    s.date = date;
    return s;
  };
  const std::vector<uint8_t> picture =
      Join({Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 22), Fields(kF0, kF1)});
  std::vector<uint8_t> fourByteForm;
  {
    // Size and control offset as 32-bit values at 2 and 6, offsets in sequences 4 bytes.
    std::vector<uint8_t> cmds = Join({{0x01}, Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 22)});
    const size_t control = 10 + kData.size();
    const uint8_t f0 = 10, f1 = uint8_t(10 + kField0.size());
    cmds.insert(cmds.end(), {0x86, 0, 0, 0, f0, 0, 0, 0, f1, 0x02, 0xFF});
    fourByteForm = {0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(control)};
    fourByteForm.insert(fourByteForm.end(), kData.begin(), kData.end());
    fourByteForm.insert(fourByteForm.end(), {0, 90, 0, 0, 0, uint8_t(control)});
    fourByteForm.insert(fourByteForm.end(), cmds.begin(), cmds.end());
  }
  std::vector<uint8_t> operandsPastEnd = Packet(kData, {seq(Join({{0x01}, picture}))});
  operandsPastEnd.insert(operandsPastEnd.end() - 1, {0x83, 1, 2, 3});  // 768 bytes promised, 3 given
  std::vector<uint8_t> fieldPastEnd =
      Packet(kData, {seq(Join({{0x01}, Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 22), Fields(kF0, 4000)}))});
  // Four rows; the second field starts at the packet's last byte (0xFF: two
  // runs of colour 3 filling row 1), so row 3 finds no data left.
  std::vector<uint8_t> truncatedField =
      Packet(kData, {seq(Join({Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 23), Fields(kF0, 0)}))});
  {
    const size_t control = size_t(truncatedField[2]) << 8 | truncatedField[3];
    const size_t second = control + 4 + 6 + 7 + 3;  // colours, alphas, area, 0x06 and the first offset
    truncatedField[second] = uint8_t((truncatedField.size() - 1) >> 8);
    truncatedField[second + 1] = uint8_t(truncatedField.size() - 1);
  }
  const std::vector<uint8_t> good = GoodPacket();
  struct Case {
    const char* label;
    std::vector<uint8_t> packet;
    SpuResult result;
    std::string rows;  // when a picture is expected
    int start = 0, stop = 0;
  };
  const Case cases[] = {
      {"nine bytes", std::vector<uint8_t>(good.begin(), good.begin() + 9), SpuResult::kRefused, ""},
      {"date 90 is 1024 ms", Packet(kData, {seq(Join({{0x01}, picture}), 1), seq({0x02}, -1, 90)}),
       SpuResult::kPicture, "112233/300003/000220/", 0, 1024},
      {"no stop command", Packet(kData, {seq(Join({{0x01}, picture}))}), SpuResult::kPicture,
       "112233/300003/000220/", 0, 0},
      {"start date", Packet(kData, {seq(Join({{0x01}, picture}), -1, 45)}), SpuResult::kPicture,
       "112233/300003/000220/", 512, 0},
      {"one-row area (y2 = y1)",
       Packet(kData, {seq(Join({Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 20), Fields(kF0, kF1)}))}),
       SpuResult::kPicture, "112233/"},
      {"area upside down",
       Packet(kData, {seq(Join({Colours(kColour), Alphas(kOpaque), Area(10, 15, 22, 20), Fields(kF0, kF1)}))}),
       SpuResult::kNoPicture, ""},
      {"no field offsets", Packet(kData, {seq(Join({Colours(kColour), Alphas(kOpaque), Area(10, 15, 20, 22)}))}),
       SpuResult::kNoPicture, ""},
      {"next sequence points back: read once", Packet(kData, {seq(picture, 1), seq({0x02}, 0, 90)}),
       SpuResult::kPicture, "112233/300003/000220/", 0, 1024},
      {"next sequence past the end", [&] {
         std::vector<uint8_t> p = Packet(kData, {seq(Join({{0x02}, picture}), -1, 90)});
         const size_t control = size_t(p[2]) << 8 | p[3];
         p[control + 2] = 0x7F;  // far past the packet
         return p;
       }(),
       SpuResult::kPicture, "112233/300003/000220/", 0, 1024},
      {"control table past the end", [&] {
         std::vector<uint8_t> p = GoodPacket();
         p[2] = 0xFF;
         return p;
       }(),
       SpuResult::kNoPicture, ""},
      {"operands past the end", operandsPastEnd, SpuResult::kRefused, ""},
      {"second field outside the packet", fieldPastEnd, SpuResult::kPicture, "112233/000000/000220/"},
      {"field data ending early", truncatedField, SpuResult::kPicture, "112233/333333/000220/000000/"},
      {"four-byte form", fourByteForm, SpuResult::kPicture, "112233/300003/000220/", 1024, 1024},
      {"eight-bit colour without a palette", Packet(kData, {seq(Join({picture, {0x85, 0, 0xA0, 0x0F, 0x01, 0x41, 0x16}}))}),
       SpuResult::kRefused, ""},
      {"unknown command ends the commands", Packet(kData, {seq(Join({{0x01}, picture, {0x42, 0x02}}), -1, 90)}),
       SpuResult::kPicture, "112233/300003/000220/", 1024, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    DvdSubpicture p;
    EXPECT_EQ(c.result, SpuDecode(c.packet.data(), int32_t(c.packet.size()), kDiscPalette, &p));
    if (c.result != SpuResult::kPicture) {
      EXPECT_EQ(0, p.pictureCount);
      continue;
    }
    EXPECT_EQ(c.rows, Rows(p));
    EXPECT_EQ(c.start, p.startDisplayMs);
    EXPECT_EQ(c.stop, p.stopDisplayMs);
  }
}

TEST(SpuDecoder, EightBitColourUsesItsOwnPaletteAndAlphas) {
  // Run: length follows (1), 8-bit colour (1), colour 7, 3-bit length (0) 2 -> 4 pixels; then fill with 2-bit colour 0.
  ByteVectorSink sink;
  BitWriter bits;
  bits.Init(&sink);
  for (int line = 0; line < 2; ++line) {
    bits.PutBits(1, 1), bits.PutBits(1, 1), bits.PutBits(7, 8), bits.PutBits(0, 1), bits.PutBits(2, 3);
    bits.PutBits(1, 1), bits.PutBits(0, 1), bits.PutBits(0, 2), bits.PutBits(1, 1), bits.PutBits(0, 7);
    bits.AlignByte();
  }
  std::vector<uint8_t> ycbcr(768, 128), alphas(256, 255);
  ycbcr[21] = 235;  // entry 7: white
  alphas[7] = 0;    // 255 - 0: opaque
  const std::vector<uint8_t> commands =
      Join({{0x83}, ycbcr, {0x84}, alphas, {0x85, 0, 0x00, 5, 0, 0x00, 1}, Fields(4, 4 + int(sink.bytes.size() / 2))});
  const std::vector<uint8_t> packet = Packet(sink.bytes, {{0, commands}});
  DvdSubpicture p;
  ASSERT_EQ(SpuResult::kPicture, SpuDecode(packet.data(), int32_t(packet.size()), nullptr, &p));
  EXPECT_EQ("777700/777700/", [&] {
    std::string s;
    for (int r = 0; r < p.height; ++r) {
      for (int c = 0; c < p.width; ++c) s += p.bitmap[size_t(r * p.width + c)] == 7 ? '7' : '0';
      s += '/';
    }
    return s;
  }());
  ASSERT_EQ(256u, p.palette.size());
  EXPECT_EQ(0xFFFFFFFFu, p.palette[7]);
  EXPECT_EQ(0u, p.palette[0] >> 24);  // byte 255: transparent
}

TEST(SpuDecoder, TrimmingCutsTransparentEdgesUnlessForced) {
  // A 6x4 picture whose opaque pixels lie in its middle: rows "000000" "001100" "002200" "000000".
  const std::vector<uint8_t> f0 = EncodeField({{{0, 0}}, {{0, 2}, {2, 2}, {0, 0}}});
  const std::vector<uint8_t> f1 = EncodeField({{{0, 2}, {1, 2}, {0, 0}}, {{0, 0}}});
  const std::vector<uint8_t> data = Join({f0, f1});
  const std::vector<uint8_t> base =
      Join({Colours(kColour), Alphas(kOpaque), Area(100, 105, 50, 53), Fields(4, 4 + int(f0.size()))});
  const std::vector<uint8_t> packet = Packet(data, {{0, base}});
  DvdSubpicture p;
  ASSERT_TRUE(SpuDecodeVisible(packet.data(), int32_t(packet.size()), kDiscPalette, &p));
  EXPECT_EQ(102, p.x);
  EXPECT_EQ(51, p.y);
  EXPECT_EQ("11/22/", Rows(p));

  const std::vector<uint8_t> forced = Packet(data, {{0, Join({{0x00}, base})}});
  ASSERT_TRUE(SpuDecodeVisible(forced.data(), int32_t(forced.size()), kDiscPalette, &p));
  EXPECT_TRUE(p.forceDisplay);
  EXPECT_EQ(100, p.x);
  EXPECT_EQ("000000/001100/002200/000000/", Rows(p));

  // Every colour transparent: nothing to show.
  const uint8_t none[4] = {0, 0, 0, 0};
  const std::vector<uint8_t> clear = Packet(
      data, {{0, Join({Colours(kColour), Alphas(none), Area(100, 105, 50, 53), Fields(4, 4 + int(f0.size()))})}});
  EXPECT_FALSE(SpuDecodeVisible(clear.data(), int32_t(clear.size()), kDiscPalette, &p));
  EXPECT_EQ(0, p.pictureCount);
}

TEST(SpuPalette, GreyLevelsWithoutADiscPalette) {
  struct Case {
    const char* label;
    uint8_t colour[4];
    uint8_t alpha[4];
    uint32_t want[4];
  };
  const Case cases[] = {
      {"three opaque colours: black, white, black",
       {5, 6, 7, 8},
       {0, 15, 15, 15},
       {0, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
      {"one colour is black", {1, 2, 2, 2}, {0, 15, 0, 0}, {0, 0xFF000000, 0, 0}},
      {"two colours: white, black", {0, 4, 9, 0}, {0, 8, 15, 0}, {0, 0x88FFFFFF, 0xFF000000, 0}},
      {"four colours", {1, 2, 3, 4}, {15, 15, 15, 15}, {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
      {"a colour met again keeps its grey, with its own alpha",
       {3, 3, 4, 3},
       {0, 15, 15, 5},
       {0, 0xFFFFFFFF, 0xFF000000, 0x55FFFFFF}},
      {"nothing visible", {1, 2, 3, 4}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    uint32_t out[4];
    DvdSubPaletteFromClut(out, c.colour, c.alpha, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.want[i], out[i]) << i;
  }
}

TEST(SpuPalette, YCbCrToRgb) {
  struct Case {
    uint8_t y, cb, cr, alpha;
    uint32_t want;
  };
  const Case cases[] = {
      {235, 128, 128, 15, 0x0FFFFFFF}, {16, 128, 128, 255, 0xFF000000}, {210, 16, 146, 0, 0x00FFFF00},
      {0, 128, 128, 1, 0x01000000},    {255, 255, 255, 9, 0x09FF7DFF},  {81, 90, 240, 3, 0x03FE0000},
  };
  for (const Case& c : cases) {
    const uint8_t triple[3] = {c.y, c.cb, c.cr};
    uint32_t out = 0;
    SpuPaletteToRgba(triple, &c.alpha, &out, 1);
    EXPECT_EQ(c.want, out) << int(c.y) << "," << int(c.cb) << "," << int(c.cr);
  }
}

// ---------------------------------------------------------------- the fixture disc

struct DiscPacket {
  int id;
  double seconds;  // from the title's first video frame
  std::vector<uint8_t> bytes;
};

std::vector<DiscPacket> SubpicturePackets(const std::string& vob) {
  std::vector<DiscPacket> out;
  FFDemuxer demuxer;
  if (demuxer.Open(vob.c_str()) < 0 || demuxer.FindStreamInfo() < 0) return out;
  std::map<int, FFStreamDesc> streams;
  int64_t videoStart = 0;
  for (int i = 0; i < demuxer.StreamCount(); ++i) {
    FFStreamDesc s;
    demuxer.GetStream(i, &s);
    streams[i] = s;
    if (s.codec.codec_type == CODEC_TYPE_VIDEO) videoStart = s.startTime;
  }
  FFPacket packet;
  while (demuxer.ReadPacket(&packet) >= 0) {
    const FFStreamDesc& s = streams[packet.streamIndex()];
    if (s.codec.codec_type == CODEC_TYPE_SUBTITLE && packet.pts() != kNoTimestamp)
      out.push_back({s.id, double(packet.pts() - videoStart) * s.timeBase.num / s.timeBase.den,
                     std::vector<uint8_t>(packet.data(), packet.data() + packet.size())});
    packet.Unref();
  }
  return out;
}

// The fixture's spumux pictures: boxes of one colour with a 6-pixel black border.
TEST(SpuDisc, RealPacketsDecodeToTheBoxesAtTheirPlacesTimesAndColours) {
  REQUIRE_DVD_FIXTURES();
  DvdNavHandlePtr handle = DvdNavInit(DvdFixture("basic").c_str());
  ASSERT_TRUE(handle);
  DvdTitlePtr title = DvdNavTitleScan(*handle, 1);
  ASSERT_TRUE(title);
  const std::array<uint32_t, 16> palette = title->palette;
  DvdNavClose(handle);

  const std::vector<DiscPacket> packets = SubpicturePackets(DvdFixture("basic/VIDEO_TS/VTS_01_1.VOB"));
  struct Want {
    int id;
    double start, stop;  // seconds, as spumux was told
    int x, y, w, h;
    uint32_t inside;  // colour of the box's inside
  };
  const Want wants[] = {
      {0x20, 0.5, 2.0, 200, 470, 320, 60, 0xFFFFFF},  // white box
      {0x20, 3.0, 4.5, 100, 60, 200, 40, 0xFFFF00},   // yellow box
      {0x21, 1.0, 3.0, 100, 60, 200, 40, 0xFFFF00},
  };
  // Title 1 is the file's first program chain: its packets come first.
  std::vector<const DiscPacket*> firsts;
  for (const Want& w : wants)
    for (const DiscPacket& p : packets)
      if (p.id == w.id && std::abs(p.seconds - w.start) < 0.05 &&
          std::find(firsts.begin(), firsts.end(), &p) == firsts.end()) {
        firsts.push_back(&p);
        break;
      }
  ASSERT_EQ(3u, firsts.size()) << packets.size() << " subpicture packets";
  for (size_t i = 0; i < 3; ++i) {
    const Want& w = wants[i];
    SCOPED_TRACE(std::to_string(w.id) + " at " + std::to_string(w.start));
    DvdSubpicture p;
    const std::vector<uint8_t>& bytes = firsts[i]->bytes;
    ASSERT_TRUE(SpuDecodeVisible(bytes.data(), int32_t(bytes.size()), palette.data(), &p));
    EXPECT_EQ(w.x, p.x);
    EXPECT_EQ(w.y, p.y);
    EXPECT_EQ(w.w, p.width);
    EXPECT_EQ(w.h, p.height);
    EXPECT_NEAR(w.start, firsts[i]->seconds + p.startDisplayMs / 1000.0, 0.02);
    EXPECT_NEAR(w.stop, firsts[i]->seconds + p.stopDisplayMs / 1000.0, 0.02);
    auto colourAt = [&](int x, int y) { return p.palette[p.bitmap[size_t(y * p.rowBytes + x)]]; };
    EXPECT_EQ(w.inside, Rgb(colourAt(p.width / 2, p.height / 2)));
    EXPECT_NE(0u, colourAt(p.width / 2, p.height / 2) >> 24);
    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{0, 0}, {p.width - 1, p.height - 1}, {3, p.height / 2}}) {
      EXPECT_EQ(0x000000u, Rgb(colourAt(x, y))) << x << "," << y;  // the border
      EXPECT_NE(0u, colourAt(x, y) >> 24);
    }
  }
}

// ---------------------------------------------------------------- the overlay filter

// A frame of w x h, Y 16, U and V 128, with its plane records.
struct Frame {
  Frame(int w, int h) : width(w), height(h), y(size_t(w * h), 16), u(size_t(w / 2 * h / 2), 128), v(u) {
    planes.pitch[0] = w;
    planes.pitch[1] = planes.pitch[2] = w / 2;
    planes.rows[0] = h;
    planes.rows[1] = planes.rows[2] = h / 2;
    planes.planeCount = 3;
    planes.pointer[0] = y.data();
    planes.pointer[1] = u.data();
    planes.pointer[2] = v.data();
  }
  uint8_t Y(int x, int row) const { return y[size_t(row * width + x)]; }
  int width, height;
  std::vector<uint8_t> y, u, v;
  FramePlanes planes{};
};

FrameFormat Yuv420(int w, int h) {
  FrameFormat f{};
  f.width = w;
  f.height = h;
  f.colourType = kColourYuv420;
  f.durationNum = 1;
  f.durationDen = 25;
  return f;
}

// A sample holding a packet, stamped at start (100-ns units).
IMediaSample* PacketSample(std::vector<uint8_t>& bytes, int64_t start) {
  auto* s = new CMediaSample(nullptr, bytes.data(), LONG(bytes.size()));
  s->AddRef();  // the reference the filter's caller gives up
  s->SetActualDataLength(LONG(bytes.size()));
  REFERENCE_TIME t = start, stop = start + 10000;
  s->SetTime(&t, &stop);
  return s;
}

int32_t Hand(IVideoFilter* filter, IMediaSample* sample, int startTime = -1) {
  CParamList params;
  if (startTime != -1) params.SetInt("STARTTIME", startTime);
  params.SetPtr("SAMPLE", sample);
  const int32_t answer = filter->SetParams(&params);
  sample->Release();
  return answer;
}

constexpr int64_t kMs = 10000;

TEST(SubtitleDvdFilter, ShowsEachOverlayInsideItsIntervalOnly) {
  IVideoFilter* filter = CSubtitleDvdFilter::Create(nullptr);
  auto* dvd = static_cast<CSubtitleDvdFilter*>(filter);
  FrameFormat format = Yuv420(32, 32);
  ASSERT_EQ(0, filter->SetFormat(&format));
  FrameFormat rgb = format;
  rgb.colourType = kColourRgb24;
  EXPECT_EQ(1, filter->SetFormat(&rgb));

  CParamList setup;
  setup.SetInt("STARTTIME", 2);
  setup.SetInt("VFCC", int32_t(MakeFourcc('D', 'V', 'D', 'S')));
  EXPECT_EQ(1, filter->SetParams(&setup));  // no sample: in place

  // Picture 6x3 at (10, 20), shown 0 to 2048 ms after its stamp; the stamp is
  // 3 s, 2 s of which the start cut takes away.
  std::vector<uint8_t> packet = GoodPacket();
  EXPECT_EQ(0, Hand(filter, PacketSample(packet, 30000000)));
  EXPECT_EQ(1u, dvd->PendingOverlays());
  const int64_t start = 1000 * kMs, end = start + 2048 * kMs;

  struct Step {
    int64_t time;
    bool shown;
    size_t pending;
  };
  const Step steps[] = {
      {start - 1, false, 1}, {start, true, 1}, {end - 1, true, 1}, {end, false, 1}, {end + 1, false, 0}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.time);
    Frame frame(32, 32);
    int64_t time = s.time;
    EXPECT_EQ(0, filter->Process(&time, &frame.planes, nullptr));
    // Pixel (10, 20) is colour 1: black of the grey guess (no job palette).
    EXPECT_EQ(s.shown, frame.Y(10, 20) != 16);
    EXPECT_EQ(16, frame.Y(9, 20));
    EXPECT_EQ(s.pending, dvd->PendingOverlays());
  }
  filter->Destroy();
}

TEST(SubtitleDvdFilter, ColoursComeFromTheDiscPaletteAndLaterPacketsLieOnTop) {
  uint32_t palette[16];
  std::copy(std::begin(kDiscPalette), std::end(kDiscPalette), palette);
  IVideoFilter* filter = CSubtitleDvdFilter::Create(nullptr);
  CParamList withPalette;
  withPalette.SetPtr("PALETTE", palette);
  ASSERT_EQ(1, filter->SetParams(&withPalette));
  FrameFormat format = Yuv420(32, 32);
  ASSERT_EQ(0, filter->SetFormat(&format));
  std::vector<uint8_t> first = GoodPacket();
  // The second packet: the same picture two pixels to the left, colours 3 (red) only.
  const uint8_t reds[4] = {3, 3, 3, 3};
  std::vector<uint8_t> second = Packet(
      kData,
      {{0, Join({{0x01}, Colours(reds), Alphas(kOpaque), Area(8, 13, 20, 22), Fields(kF0, kF1)}), 1}, {180, {0x02}}});
  EXPECT_EQ(0, Hand(filter, PacketSample(first, 0)));
  EXPECT_EQ(0, Hand(filter, PacketSample(second, 0)));
  Frame frame(32, 32);
  int64_t time = 100 * kMs;
  filter->Process(&time, &frame.planes, nullptr);
  // (10, 20): white under the first picture, red of the second on top.
  const uint8_t redY = uint8_t((306 * 254 + 512) >> 10);
  EXPECT_EQ(redY, frame.Y(10, 20));
  EXPECT_EQ(226, frame.Y(14, 22));               // yellow of the first only
  EXPECT_GT(frame.v[size_t(10 * 16 + 5)], 200);  // red chroma at (10, 20)
  filter->Destroy();
}

TEST(SubtitleDvdFilter, PicturesReachingPastTheFrameAreCut) {
  IVideoFilter* filter = CSubtitleDvdFilter::Create(nullptr);
  FrameFormat format = Yuv420(16, 16);
  ASSERT_EQ(0, filter->SetFormat(&format));
  // The area from (12, 14) to (200, 200); only its top-left corner is on the frame.
  const std::vector<uint8_t> field = EncodeField(std::vector<std::vector<RleRun>>(8, {{1, 0}}));
  std::vector<uint8_t> packet = Packet(
      field, {{0, Join({{0x01, 0x00}, Colours(kColour), Alphas(kOpaque), Area(12, 200, 14, 200), Fields(4, 4)}), 1},
              {90, {0x02}}});
  EXPECT_EQ(0, Hand(filter, PacketSample(packet, 0)));
  Frame frame(16, 16);
  int64_t time = 0;
  filter->Process(&time, &frame.planes, nullptr);
  EXPECT_NE(16, frame.Y(15, 15));
  EXPECT_NE(16, frame.Y(12, 14));
  EXPECT_EQ(16, frame.Y(11, 15));
  // An area wholly off the frame adds nothing.
  std::vector<uint8_t> away = Packet(
      field, {{0, Join({{0x01, 0x00}, Colours(kColour), Alphas(kOpaque), Area(100, 120, 100, 120), Fields(4, 4)}), 1},
              {90, {0x02}}});
  EXPECT_EQ(0, Hand(filter, PacketSample(away, 0)));
  EXPECT_EQ(1u, static_cast<CSubtitleDvdFilter*>(filter)->PendingOverlays());
  filter->Destroy();

  // Blending cuts an overlay that starts left of and above the frame.
  DvdSubpicture picture;
  picture.x = -3;
  picture.y = -1;
  picture.width = picture.rowBytes = 6;
  picture.height = 3;
  picture.bitmap.assign(18, 1);
  picture.palette = {0, 0xFFFFFFFF, 0, 0};
  picture.stopDisplayMs = 10;
  Frame small(16, 16);
  BlendSubtitleOverlay(MakeSubtitleOverlay(picture, 0), 16, 16, &small.planes);
  EXPECT_EQ(255, small.Y(0, 0));
  EXPECT_EQ(255, small.Y(2, 1));
  EXPECT_EQ(16, small.Y(3, 0));
  EXPECT_EQ(16, small.Y(0, 2));
}

TEST(SubtitleDvdFilter, PacketsThatShowNothingAddNothing) {
  IVideoFilter* filter = CSubtitleDvdFilter::Create(nullptr);
  auto* dvd = static_cast<CSubtitleDvdFilter*>(filter);
  FrameFormat format = Yuv420(32, 32);
  ASSERT_EQ(0, filter->SetFormat(&format));
  std::vector<uint8_t> tiny(9, 1);
  std::vector<uint8_t> broken = GoodPacket();
  broken[(size_t(broken[2]) << 8 | broken[3]) + 4] = 0x83;  // a palette of 768 bytes that are not there
  EXPECT_EQ(0, Hand(filter, PacketSample(tiny, 0)));
  EXPECT_EQ(0, Hand(filter, PacketSample(broken, 0)));
  EXPECT_EQ(0u, dvd->PendingOverlays());
  CParamList empty;
  EXPECT_EQ(1, filter->SetParams(&empty));
  filter->Destroy();
}

}  // namespace
