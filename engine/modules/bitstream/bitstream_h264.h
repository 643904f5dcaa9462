// H.264 NAL units in Annex B form (3- or 4-byte start codes) or length-prefixed
// form (1-, 2- or 4-byte lengths), and the parameter sets set aside for muxing.
// Results: bool, true when the data could be parsed (and the packet rewritten).
#pragma once

#include <cstdint>
#include <vector>

// Sequence and picture parameter sets kept for one stream, each unit preceded by
// 00 00 00 01. Empty means none seen yet; once set they are not replaced.
struct AvcParamSets {
  std::vector<uint8_t> sps;
  std::vector<uint8_t> pps;
  int32_t nalLengthSize = 0;  // 0 = Annex B input, else 1, 2 or 4
};

struct NalUnit {
  int32_t offset = 0;  // payload offset in the packet
  int32_t size = 0;    // payload size
  uint8_t type = 0;    // low 5 bits of the first payload byte
};

struct NalUnitList {
  std::vector<NalUnit> units;
  int32_t count() const { return static_cast<int32_t>(units.size()); }
};

// A packet the rewriters work on. They either edit `data` in place or build a
// new buffer, which `data` then points into and the packet owns.
struct H264Packet {
  H264Packet(uint8_t* d, int32_t n) : data(d), size(n) {}
  H264Packet(const H264Packet&) = delete;
  H264Packet& operator=(const H264Packet&) = delete;

  bool owned() const { return !buffer.empty() && data == buffer.data(); }

  uint8_t* data;
  int32_t size;
  std::vector<uint8_t> buffer;
};

// Splits a packet into NAL units by paramSets.nalLengthSize; false when Annex B
// data does not begin with a start code, the length size is not 0, 1, 2 or 4,
// or a length-prefixed unit runs past the end. Data of 4 bytes or less gives an
// empty list and true. Empty units are left out.
bool ParseNalUnits(const uint8_t* data, int32_t length, const AvcParamSets& paramSets, NalUnitList* list);

// For containers with a global header: keeps the packet's SPS and PPS in
// paramSets (when none is kept yet) and leaves the other units with 4-byte start
// codes. false, with the packet unchanged, when it cannot be parsed.
bool ExtractParamSetsForGlobalHeader(H264Packet* packet, AvcParamSets* paramSets);

// For in-band parameter sets: the packet becomes SPS, PPS, then its other units,
// each with a 4-byte start code. false, with the packet unchanged, when it cannot be parsed.
bool PrependParamSets(H264Packet* packet, AvcParamSets* paramSets);

// Gives every unit a 4-byte start code: 4-byte lengths are overwritten in place,
// other layouts are rebuilt unless the data already begins with 00 00 00 01.
// false, with the packet unchanged, when it cannot be parsed.
bool ToFourByteStartCodes(H264Packet* packet, const AvcParamSets& paramSets);

// Reads a stream's codec data: an AVC decoder configuration record (sets the
// NAL length size and the parameter sets) or Annex B units (first SPS and
// PPS, NAL length size 0). false for data that is neither or is cut short;
// then paramSets is unchanged.
bool ParseAvcCodecData(const uint8_t* data, int32_t length, AvcParamSets* paramSets);
