// DVD subpicture units: one packet of a subpicture stream (0x20-0x3F) decoded
// into an indexed picture with its palette and display times.
// Results: SpuDecode answers a SpuResult; SpuDecodeVisible true when there is something to show.
#pragma once

#include <cstdint>
#include <vector>

// One decoded packet.
struct DvdSubpicture {
  int32_t startDisplayMs = 0;  // from the packet's time stamp
  int32_t stopDisplayMs = 0;
  bool forceDisplay = false;
  int32_t pictureCount = 0;  // 0 or 1
  // The picture: top-left corner, size, one palette index per pixel, rows top-down.
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowBytes = 0;
  std::vector<uint8_t> bitmap;
  std::vector<uint32_t> palette;  // 0xAARRGGBB, 4 or 256 entries

  void ClearPicture();
};

enum class SpuResult {
  kRefused,    // too short, or a command's operands run past the packet
  kNoPicture,  // well formed, but no area and field offsets gave a picture
  kPicture,
};

// Decodes a packet. discPalette: the title's 16 palette words (Y in bits 23-16,
// Cr 15-8, Cb 7-0) for four-colour pictures, or null to guess grey levels.
// Control sequences are followed only forward; a field whose offset lies
// outside the packet stays empty. Nothing of the packet is read past length.
SpuResult SpuDecode(const uint8_t* packet, int32_t length, const uint32_t* discPalette, DvdSubpicture* out);

// SpuDecode, then trimming of the transparent border unless the packet forces
// display. True when a picture is left to show.
bool SpuDecodeVisible(const uint8_t* packet, int32_t length, const uint32_t* discPalette, DvdSubpicture* out);

// Cuts fully transparent rows and columns off the picture's edges and moves
// its position by what was cut at the top and left. False (and no picture)
// when every pixel is transparent.
bool SpuTrimPicture(DvdSubpicture* picture);

// The four palette entries of a two-bit picture from its colour indexes and
// alphas (0-15, command order: entry i uses colour[i] and alpha[i]).
void DvdSubPaletteFromClut(uint32_t out[4], const uint8_t colour[4], const uint8_t alpha[4],
                           const uint32_t* discPalette);

// (Y, Cb, Cr) triples and an alpha byte each to 0xAARRGGBB; the alpha goes
// into the top byte unchanged.
void SpuPaletteToRgba(const uint8_t* triples, const uint8_t* alphas, uint32_t* out, int32_t count);
