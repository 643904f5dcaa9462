#include "engine/modules/bitstream/bitstream_h264.h"

#include <cstddef>
#include <utility>

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr uint8_t kTypeSps = 7;
constexpr uint8_t kTypePps = 8;

bool HasStartCode3(const uint8_t* p, int32_t avail) { return avail >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1; }

bool HasStartCode4(const uint8_t* p, int32_t avail) {
  return avail >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1;
}

void AppendUnit(std::vector<uint8_t>* out, const uint8_t* payload, int32_t size) {
  out->insert(out->end(), kStartCode, kStartCode + 4);
  out->insert(out->end(), payload, payload + size);
}

// Annex B: every 00 00 01 starts a unit; zero bytes right before it (the
// fourth start-code byte, trailing zeros) do not belong to the unit before.
bool ParseAnnexB(const uint8_t* data, int32_t length, NalUnitList* list) {
  int32_t pos;
  if (HasStartCode4(data, length)) {
    pos = 4;
  } else if (HasStartCode3(data, length)) {
    pos = 3;
  } else {
    return false;
  }
  int32_t unitStart = pos;
  auto finish = [&](int32_t end) {
    while (end > unitStart && data[end - 1] == 0) --end;
    if (end > unitStart) {
      list->units.push_back({unitStart, end - unitStart, static_cast<uint8_t>(data[unitStart] & 0x1F)});
    }
  };
  while (pos + 3 <= length) {
    if (data[pos] == 0 && data[pos + 1] == 0 && data[pos + 2] == 1) {
      finish(pos);
      pos += 3;
      unitStart = pos;
    } else if (data[pos + 2] > 1) {
      pos += 3;
    } else {
      ++pos;
    }
  }
  // the last unit runs to the end of the data
  if (length > unitStart) {
    list->units.push_back({unitStart, length - unitStart, static_cast<uint8_t>(data[unitStart] & 0x1F)});
  }
  return true;
}

bool ParseLengthPrefixed(const uint8_t* data, int32_t length, int32_t lengthSize, NalUnitList* list) {
  int32_t pos = 0;
  while (pos < length) {
    if (length - pos < lengthSize) return false;
    uint32_t size = 0;
    for (int32_t i = 0; i < lengthSize; ++i) size = (size << 8) | data[pos + i];
    pos += lengthSize;
    if (size > static_cast<uint32_t>(length - pos)) return false;
    if (size > 0) {
      list->units.push_back({pos, static_cast<int32_t>(size), static_cast<uint8_t>(data[pos] & 0x1F)});
    }
    pos += static_cast<int32_t>(size);
  }
  return true;
}

void KeepParamSet(const uint8_t* data, const NalUnit& unit, AvcParamSets* paramSets) {
  std::vector<uint8_t>* target = unit.type == kTypeSps ? &paramSets->sps : &paramSets->pps;
  if (target->empty()) AppendUnit(target, data + unit.offset, unit.size);
}

void ReplaceData(H264Packet* packet, std::vector<uint8_t>&& out) {
  packet->buffer = std::move(out);
  packet->data = packet->buffer.data();
  packet->size = static_cast<int32_t>(packet->buffer.size());
}

}  // namespace

bool ParseNalUnits(const uint8_t* data, int32_t length, const AvcParamSets& paramSets, NalUnitList* list) {
  list->units.clear();
  const int32_t lengthSize = paramSets.nalLengthSize;
  if (lengthSize != 0 && lengthSize != 1 && lengthSize != 2 && lengthSize != 4) return false;
  if (data == nullptr || length <= 4) return true;
  const int ok =
      lengthSize == 0 ? ParseAnnexB(data, length, list) : ParseLengthPrefixed(data, length, lengthSize, list);
  if (!ok) list->units.clear();
  return ok;
}

bool ExtractParamSetsForGlobalHeader(H264Packet* packet, AvcParamSets* paramSets) {
  NalUnitList list;
  if (!ParseNalUnits(packet->data, packet->size, *paramSets, &list)) return false;
  if (list.count() == 0) return true;
  std::vector<uint8_t> out;
  out.reserve(static_cast<std::size_t>(packet->size) + 4 * list.units.size());
  for (const NalUnit& unit : list.units) {
    if (unit.type == kTypeSps || unit.type == kTypePps) {
      KeepParamSet(packet->data, unit, paramSets);
    } else {
      AppendUnit(&out, packet->data + unit.offset, unit.size);
    }
  }
  ReplaceData(packet, std::move(out));
  return true;
}

bool PrependParamSets(H264Packet* packet, AvcParamSets* paramSets) {
  NalUnitList list;
  if (!ParseNalUnits(packet->data, packet->size, *paramSets, &list)) return false;
  if (list.count() == 0) return true;
  for (const NalUnit& unit : list.units) {
    if (unit.type == kTypeSps || unit.type == kTypePps) KeepParamSet(packet->data, unit, paramSets);
  }
  std::vector<uint8_t> out(paramSets->sps);
  out.insert(out.end(), paramSets->pps.begin(), paramSets->pps.end());
  for (const NalUnit& unit : list.units) {
    if (unit.type != kTypeSps && unit.type != kTypePps) AppendUnit(&out, packet->data + unit.offset, unit.size);
  }
  ReplaceData(packet, std::move(out));
  return true;
}

bool ToFourByteStartCodes(H264Packet* packet, const AvcParamSets& paramSets) {
  if (packet->data == nullptr || packet->size <= 4) return true;
  if (paramSets.nalLengthSize == 4) {
    // check every length first so that a bad packet is left untouched
    NalUnitList list;
    if (!ParseNalUnits(packet->data, packet->size, paramSets, &list)) return false;
    int32_t pos = 0;
    while (pos + 4 <= packet->size) {
      const uint32_t size = (uint32_t{packet->data[pos]} << 24) | (uint32_t{packet->data[pos + 1]} << 16) |
                            (uint32_t{packet->data[pos + 2]} << 8) | packet->data[pos + 3];
      for (int i = 0; i < 4; ++i) packet->data[pos + i] = kStartCode[i];
      pos += 4 + static_cast<int32_t>(size);
    }
    return true;
  }
  if (paramSets.nalLengthSize == 0 && HasStartCode4(packet->data, packet->size)) return true;
  NalUnitList list;
  if (!ParseNalUnits(packet->data, packet->size, paramSets, &list)) return false;
  std::vector<uint8_t> out;
  out.reserve(static_cast<std::size_t>(packet->size) + 4 * list.units.size());
  for (const NalUnit& unit : list.units) AppendUnit(&out, packet->data + unit.offset, unit.size);
  ReplaceData(packet, std::move(out));
  return true;
}

bool ParseAvcCodecData(const uint8_t* data, int32_t length, AvcParamSets* paramSets) {
  if (data == nullptr || length <= 3) return false;

  if (data[0] != 1) {
    // Annex B codec data
    int32_t start = 0;
    if (!HasStartCode3(data, length) && !HasStartCode4(data, length)) {
      start = -1;
      for (int32_t i = 0; i + 4 <= length; ++i) {
        if (HasStartCode4(data + i, length - i)) {
          start = i;
          break;
        }
      }
      if (start < 0) return false;
    }
    AvcParamSets annexB;  // nalLengthSize 0
    NalUnitList list;
    if (!ParseNalUnits(data + start, length - start, annexB, &list)) return false;
    for (const NalUnit& unit : list.units) {
      if (unit.type == kTypeSps || unit.type == kTypePps) KeepParamSet(data + start, unit, &annexB);
    }
    if (paramSets->sps.empty()) paramSets->sps = std::move(annexB.sps);
    if (paramSets->pps.empty()) paramSets->pps = std::move(annexB.pps);
    paramSets->nalLengthSize = 0;
    return true;
  }

  // AVC decoder configuration record
  if (length <= 7) return false;
  const int32_t lengthSize = (data[4] & 3) + 1;
  if (lengthSize == 3) return false;
  std::vector<uint8_t> sps;
  std::vector<uint8_t> pps;
  int32_t pos = 6;
  // reads `count` units of the wanted type into `out`; false when cut short or of another type
  auto readUnits = [&](int32_t count, uint8_t type, std::vector<uint8_t>* out) {
    for (int32_t i = 0; i < count; ++i) {
      if (length - pos < 2) return false;
      const int32_t size = (data[pos] << 8) | data[pos + 1];
      pos += 2;
      if (size == 0 || size > length - pos) return false;
      if ((data[pos] & 0x1F) != type) return false;
      AppendUnit(out, data + pos, size);
      pos += size;
    }
    return true;
  };
  if (!readUnits(data[5] & 0x1F, kTypeSps, &sps)) return false;
  if (pos >= length) return false;  // the picture parameter set count is missing
  const int32_t ppsCount = data[pos++];
  if (!readUnits(ppsCount, kTypePps, &pps)) return false;

  if (paramSets->sps.empty()) paramSets->sps = std::move(sps);
  if (paramSets->pps.empty()) paramSets->pps = std::move(pps);
  paramSets->nalLengthSize = lengthSize;
  return true;
}
