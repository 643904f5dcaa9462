#include "engine/modules/dvd/spu_decoder.h"

#include <algorithm>
#include <cstring>

#include "engine/modules/bitstream/bit_io.h"

namespace {

constexpr int32_t kMinPacket = 10;

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// What the control sequences set; kept across sequences of one packet.
struct SpuState {
  uint8_t colour[4] = {};
  uint8_t alpha[4] = {};
  uint8_t alphaTable[256] = {};
  uint8_t ycbcr[256 * 3] = {};
  bool haveYcbcr = false;
  int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  int64_t fieldOffset[2] = {0, 0};
  bool eightBit = false;
  bool forceDisplay = false;
};

// Operand bytes of each command; -1 ends the sequence's commands.
int32_t OperandBytes(uint8_t command) {
  switch (command) {
    case 0x00:
    case 0x01:
    case 0x02:
      return 0;
    case 0x03:
    case 0x04:
      return 2;
    case 0x05:
    case 0x85:
      return 6;
    case 0x06:
      return 4;
    case 0x83:
      return 768;
    case 0x84:
      return 256;
    case 0x86:
      return 8;
    default:
      return -1;
  }
}

// The four nibbles of a colour or alpha command, entry 3 first.
void Nibbles(const uint8_t* p, uint8_t out[4]) {
  out[3] = p[0] >> 4;
  out[2] = p[0] & 15;
  out[1] = p[1] >> 4;
  out[0] = p[1] & 15;
}

// One run: its colour and length (0 = to the end of the line).
struct Run {
  uint8_t colour;
  int32_t length;
};

Run TwoBitRun(BitReader& bits) {
  uint32_t v = 0;
  for (uint32_t t = 1; v < t && t <= 64; t *= 4) v = v * 16 + bits.ReadBits(4);
  return {static_cast<uint8_t>(v & 3), v < 4 ? 0 : static_cast<int32_t>(v >> 2)};
}

Run EightBitRun(BitReader& bits) {
  const bool lengthFollows = bits.ReadBits(1) != 0;
  const uint8_t colour = static_cast<uint8_t>(bits.ReadBits(1) ? bits.ReadBits(8) : bits.ReadBits(2));
  if (!lengthFollows) return {colour, 1};
  if (bits.ReadBits(1)) {
    const int32_t n = static_cast<int32_t>(bits.ReadBits(7));
    return {colour, n == 0 ? 0 : n + 9};
  }
  return {colour, static_cast<int32_t>(bits.ReadBits(3)) + 2};
}

// Decodes one field into rows firstRow, firstRow + 2, ... of the picture.
void DecodeField(const uint8_t* packet, int32_t length, int64_t offset, int32_t firstRow, bool eightBit,
                 DvdSubpicture* picture) {
  if (offset < 0 || offset >= length) return;  // outside the packet: the field stays empty
  BitReader bits;
  bits.SetData(packet + offset, static_cast<int32_t>(length - offset));
  const int32_t width = picture->width;
  for (int32_t row = firstRow; row < picture->height; row += 2) {
    uint8_t* line = picture->bitmap.data() + static_cast<size_t>(row) * static_cast<size_t>(picture->rowBytes);
    int32_t x = 0;
    while (x < width) {
      const Run run = eightBit ? EightBitRun(bits) : TwoBitRun(bits);
      if (bits.Overrun()) return;  // the data ended inside this run
      const int32_t n = run.length == 0 ? width - x : std::min(run.length, width - x);
      std::memset(line + x, run.colour, static_cast<size_t>(n));
      x += n;
    }
    bits.AlignByte();
  }
}

// Area and fields of the state into a new picture (replacing an earlier one).
bool MakePicture(const uint8_t* packet, int32_t length, const SpuState& s, const uint32_t* discPalette,
                 DvdSubpicture* out) {
  // Both ends of the area are inclusive.
  const int32_t width = std::max(0, s.x2 - s.x1 + 1);
  const int32_t height = std::max(0, s.y2 - s.y1 + 1);
  if (width <= 0 || height <= 0) return true;
  out->ClearPicture();
  out->x = s.x1;
  out->y = s.y1;
  out->width = width;
  out->height = height;
  out->rowBytes = width;
  out->bitmap.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  DecodeField(packet, length, s.fieldOffset[0], 0, s.eightBit, out);
  DecodeField(packet, length, s.fieldOffset[1], 1, s.eightBit, out);
  if (s.eightBit) {
    if (!s.haveYcbcr) return false;
    out->palette.assign(256, 0);
    SpuPaletteToRgba(s.ycbcr, s.alphaTable, out->palette.data(), 256);
  } else {
    out->palette.assign(4, 0);
    DvdSubPaletteFromClut(out->palette.data(), s.colour, s.alpha, discPalette);
  }
  out->pictureCount = 1;
  return true;
}

bool Transparent(const DvdSubpicture& p, uint8_t index) {
  return index >= p.palette.size() || (p.palette[index] >> 24) == 0;
}

}  // namespace

void DvdSubpicture::ClearPicture() {
  pictureCount = 0;
  x = y = width = height = rowBytes = 0;
  bitmap.clear();
  palette.clear();
}

void SpuPaletteToRgba(const uint8_t* triples, const uint8_t* alphas, uint32_t* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t y = 1192 * (triples[3 * i] - 16);
    const int32_t cb = triples[3 * i + 1] - 128;
    const int32_t cr = triples[3 * i + 2] - 128;
    const uint8_t r = Clamp8((y + 1634 * cr + 512) >> 10);
    const uint8_t g = Clamp8((y - 401 * cb - 832 * cr + 512) >> 10);
    const uint8_t b = Clamp8((y + 2066 * cb + 512) >> 10);
    out[i] = uint32_t(alphas[i]) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  }
}

void DvdSubPaletteFromClut(uint32_t out[4], const uint8_t colour[4], const uint8_t alpha[4],
                           const uint32_t* discPalette) {
  if (discPalette) {
    uint8_t triples[12];
    for (int i = 0; i < 4; ++i) {
      const uint32_t w = discPalette[colour[i] & 15];
      triples[3 * i] = static_cast<uint8_t>(w >> 16);
      triples[3 * i + 1] = static_cast<uint8_t>(w);
      triples[3 * i + 2] = static_cast<uint8_t>(w >> 8);
    }
    SpuPaletteToRgba(triples, alpha, out, 4);
    return;
  }
  // No disc palette: grey levels by the number of distinct visible colours.
  static const uint8_t kLevels[4][4] = {{0x00}, {0xFF, 0x00}, {0x00, 0xFF, 0x00}, {0x00, 0x00, 0xFF, 0x00}};
  for (int i = 0; i < 4; ++i) out[i] = 0;
  int distinct = 0;
  bool seen[16] = {};
  for (int i = 0; i < 4; ++i) {
    if (alpha[i] == 0 || seen[colour[i] & 15]) continue;
    seen[colour[i] & 15] = true;
    ++distinct;
  }
  if (distinct == 0) return;
  int next = 0;
  for (int i = 0; i < 4; ++i) {
    if (alpha[i] == 0) continue;
    const uint32_t a = uint32_t(alpha[i]) * 17 << 24;
    int earlier = -1;
    for (int j = 0; j < i; ++j)
      if (alpha[j] != 0 && colour[j] == colour[i]) {
        earlier = j;
        break;
      }
    if (earlier >= 0) {
      out[i] = (out[earlier] & 0x00FFFFFFu) | a;
    } else {
      const uint8_t grey = kLevels[distinct - 1][next++];
      out[i] = a | uint32_t(grey) << 16 | uint32_t(grey) << 8 | grey;
    }
  }
}

SpuResult SpuDecode(const uint8_t* packet, int32_t length, const uint32_t* discPalette, DvdSubpicture* out) {
  *out = DvdSubpicture{};
  if (!packet || length < kMinPacket) return SpuResult::kRefused;
  int64_t control;
  int32_t offsetBytes;
  if (packet[0] != 0 || packet[1] != 0) {
    control = Be16(packet + 2);
    offsetBytes = 2;
  } else {
    control = Be32(packet + 6);
    offsetBytes = 4;
  }
  SpuState s;
  while (control + offsetBytes + 2 < length) {
    const uint8_t* sequence = packet + control;
    const uint32_t date = Be16(sequence);
    const int64_t next = offsetBytes == 2 ? Be16(sequence + 2) : Be32(sequence + 2);
    int64_t at = control + 2 + offsetBytes;
    bool fieldsSet = false;
    while (at < length) {
      const uint8_t command = packet[at++];
      const int32_t operands = OperandBytes(command);
      if (operands < 0) break;
      if (at + operands > length) {
        *out = DvdSubpicture{};
        return SpuResult::kRefused;
      }
      const uint8_t* p = packet + at;
      switch (command) {
        case 0x00:
          s.forceDisplay = true;
          break;
        case 0x01:
          out->startDisplayMs = static_cast<int32_t>(date * 1024 / 90);
          break;
        case 0x02:
          out->stopDisplayMs = static_cast<int32_t>(date * 1024 / 90);
          break;
        case 0x03:
          Nibbles(p, s.colour);
          break;
        case 0x04:
          Nibbles(p, s.alpha);
          break;
        case 0x85:
          s.eightBit = true;
          [[fallthrough]];
        case 0x05:
          s.x1 = p[0] * 16 + (p[1] >> 4);
          s.x2 = (p[1] & 15) * 256 + p[2];
          s.y1 = p[3] * 16 + (p[4] >> 4);
          s.y2 = (p[4] & 15) * 256 + p[5];
          break;
        case 0x06:
          s.fieldOffset[0] = Be16(p);
          s.fieldOffset[1] = Be16(p + 2);
          fieldsSet = true;
          break;
        case 0x83:
          std::memcpy(s.ycbcr, p, sizeof s.ycbcr);
          s.haveYcbcr = true;
          break;
        case 0x84:
          for (int i = 0; i < 256; ++i) s.alphaTable[i] = static_cast<uint8_t>(255 - p[i]);
          break;
        case 0x86:
          s.fieldOffset[0] = Be32(p);
          s.fieldOffset[1] = Be32(p + 4);
          fieldsSet = true;
          break;
        default:
          break;
      }
      at += operands;
    }
    if (fieldsSet && !MakePicture(packet, length, s, discPalette, out)) {
      *out = DvdSubpicture{};
      return SpuResult::kRefused;
    }
    // Only forward: a sequence pointing at itself or back ends the table.
    if (next <= control) break;
    control = next;
  }
  out->forceDisplay = s.forceDisplay;
  return out->pictureCount ? SpuResult::kPicture : SpuResult::kNoPicture;
}

bool SpuTrimPicture(DvdSubpicture* p) {
  if (!p->pictureCount) return false;
  auto rowClear = [&](int32_t r) {
    const uint8_t* line = p->bitmap.data() + static_cast<size_t>(r) * static_cast<size_t>(p->rowBytes);
    for (int32_t c = 0; c < p->width; ++c)
      if (!Transparent(*p, line[c])) return false;
    return true;
  };
  auto columnClear = [&](int32_t c, int32_t top, int32_t bottom) {
    for (int32_t r = top; r < bottom; ++r)
      if (!Transparent(*p, p->bitmap[static_cast<size_t>(r) * static_cast<size_t>(p->rowBytes) + c])) return false;
    return true;
  };
  int32_t top = 0, bottom = p->height;
  while (top < bottom && rowClear(top)) ++top;
  if (top == bottom) {
    p->ClearPicture();
    return false;
  }
  while (rowClear(bottom - 1)) --bottom;
  int32_t left = 0, right = p->width;
  while (columnClear(left, top, bottom)) ++left;
  while (columnClear(right - 1, top, bottom)) --right;
  if (top == 0 && left == 0 && bottom == p->height && right == p->width) return true;

  const int32_t width = right - left, height = bottom - top;
  std::vector<uint8_t> cut(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t r = 0; r < height; ++r)
    std::memcpy(cut.data() + static_cast<size_t>(r) * static_cast<size_t>(width),
                p->bitmap.data() + static_cast<size_t>(r + top) * static_cast<size_t>(p->rowBytes) + left,
                static_cast<size_t>(width));
  p->bitmap = std::move(cut);
  p->x += left;
  p->y += top;
  p->width = width;
  p->height = height;
  p->rowBytes = width;
  return true;
}

bool SpuDecodeVisible(const uint8_t* packet, int32_t length, const uint32_t* discPalette, DvdSubpicture* out) {
  if (SpuDecode(packet, length, discPalette, out) != SpuResult::kPicture) return false;
  if (out->forceDisplay) return true;
  return SpuTrimPicture(out);
}
