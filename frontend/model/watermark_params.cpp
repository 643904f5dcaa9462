#include "frontend/model/watermark_params.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/param_list.h"
#include "frontend/model/param_text.h"
#include "frontend/model/whole_file.h"

namespace {

// Field offsets of the file.
constexpr size_t kNameField = 260;
constexpr size_t kPaddingAt = 260;
constexpr size_t kAlphaAt = 264;
constexpr size_t kIntsAt = 272;  // FADEIN .. CUSTOM, 12 words

void PutU32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetU32(std::string_view in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[at + size_t(i)]);
  return v;
}

// The twelve integer words in file order.
int32_t* IntField(WatermarkParams& p, int index) {
  int32_t* const fields[12] = {&p.fadeIn, &p.fadeOut, &p.useStart,       &p.startTime,
                               &p.useEnd, &p.endTime, &p.useTransparent, reinterpret_cast<int32_t*>(&p.transColour),
                               &p.posX,   &p.posY,    &p.align,          &p.custom};
  return fields[index];
}

}  // namespace

WatermarkParams LoadWatermarkParams(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  WatermarkParams p;
  if (list.GetType("FILENAME") == PARAM_TYPE_STRING) p.fileName = list.GetStringPtr("FILENAME");
  p.alpha = list.GetDouble("ALPHA", 1.0);
  p.fadeIn = list.GetInt("FADEIN", 0);
  p.fadeOut = list.GetInt("FADEOUT", 0);
  p.useStart = list.GetInt("BSTART", 0);
  p.startTime = list.GetInt("STARTTIME", 0);
  p.useEnd = list.GetInt("BEND", 0);
  p.endTime = list.GetInt("ENDTIME", 0);
  p.useTransparent = list.GetInt("BTRANS", 0);
  p.transColour = static_cast<uint32_t>(list.GetInt("TRANSCOLOR", 0));
  p.posX = list.GetInt("POSX", 0);
  p.posY = list.GetInt("POSY", 0);
  p.align = list.GetInt("ALIGN", 9);
  p.custom = list.GetInt("CUSTOM", 0);
  return p;
}

std::string WatermarkParamText(const WatermarkParams& p) {
  CParamList list;
  list.SetString("FILENAME", p.fileName.c_str());
  list.SetDouble("ALPHA", p.alpha);
  list.SetInt("FADEIN", p.fadeIn);
  list.SetInt("FADEOUT", p.fadeOut);
  list.SetInt("BSTART", p.useStart);
  list.SetInt("STARTTIME", p.startTime);
  list.SetInt("BEND", p.useEnd);
  list.SetInt("ENDTIME", p.endTime);
  list.SetInt("BTRANS", p.useTransparent);
  list.SetInt("TRANSCOLOR", static_cast<int32_t>(p.transColour));
  list.SetInt("POSX", p.posX);
  list.SetInt("POSY", p.posY);
  list.SetInt("ALIGN", p.align);
  list.SetInt("CUSTOM", p.custom);
  return ParamListText(list);
}

std::string EncodeWatermarkFile(const WatermarkParams& p) {
  std::string out(kWatermarkFileSize, '\0');
  const size_t nameBytes = std::min(p.fileName.size(), kWatermarkFileNameMax);
  std::memcpy(out.data(), p.fileName.data(), nameBytes);
  std::memcpy(out.data() + kPaddingAt, p.padding, sizeof p.padding);
  uint64_t bits = 0;
  std::memcpy(&bits, &p.alpha, sizeof bits);
  PutU32(out, kAlphaAt, static_cast<uint32_t>(bits));
  PutU32(out, kAlphaAt + 4, static_cast<uint32_t>(bits >> 32));
  WatermarkParams copy = p;
  for (int i = 0; i < 12; ++i) PutU32(out, kIntsAt + 4 * size_t(i), static_cast<uint32_t>(*IntField(copy, i)));
  return out;
}

bool DecodeWatermarkFile(std::string_view bytes, WatermarkParams& params) {
  if (bytes.size() < kWatermarkFileSize) return false;
  WatermarkParams p;
  const std::string_view field = bytes.substr(0, kNameField - 1);
  p.fileName = std::string(field.substr(0, field.find('\0')));
  std::memcpy(p.padding, bytes.data() + kPaddingAt, sizeof p.padding);
  const uint64_t bits = GetU32(bytes, kAlphaAt) | (uint64_t(GetU32(bytes, kAlphaAt + 4)) << 32);
  std::memcpy(&p.alpha, &bits, sizeof bits);
  for (int i = 0; i < 12; ++i) *IntField(p, i) = static_cast<int32_t>(GetU32(bytes, kIntsAt + 4 * size_t(i)));
  params = p;
  return true;
}

bool ReadWatermarkFile(const std::string& path, WatermarkParams& params) {
  if (!IsRegularFile(path)) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  std::string bytes(kWatermarkFileSize, '\0');
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  bytes.resize(got);
  return DecodeWatermarkFile(bytes, params);
}

bool WriteWatermarkFile(const std::string& path, const WatermarkParams& params) {
  return WriteWholeFile(path, EncodeWatermarkFile(params));
}
