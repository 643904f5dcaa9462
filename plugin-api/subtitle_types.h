// Media types of subtitle streams, shared by the readers that deliver them,
// the chains that route them and the overlay filters that draw them.
//
// Text subtitles (SRT, SSA, ASS) have the subtitle major type and format type
// below; their format block is a SubtitleFormatHeader followed by the codec's
// header (an SSA/ASS script header, UTF-8; none for SRT). Each sample holds one
// event: the text (SRT, plain text) or the event line of the ASS packet form
// "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text", timed
// from its start to its stop. DVD subpictures carry MEDIATYPE_Subtitle and
// MEDIASUBTYPE_DVD_SUBPICTURE, one subpicture unit a sample.
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/media_types.h"

constexpr GUID kSubtitleMajorType = {0xB36E107F, 0xA938, 0x4387, {0x93, 0xC7, 0x55, 0xE9, 0x66, 0x75, 0x74, 0x73}};
// The major type DVD subpicture readers label their streams with.
constexpr GUID kSubtitleMajorTypeDvd = {0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};
constexpr GUID kSubtitleFormatType = {0xF7239E31, 0x9599, 0x4E43, {0x8D, 0xD5, 0xFB, 0xAF, 0x75, 0xCF, 0x37, 0xF1}};
constexpr GUID kSubtitleUtf8 = {0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};
constexpr GUID kSubtitleSsa = {0x87C0B230, 0x03A8, 0x4FDF, {0x80, 0x10, 0xB2, 0x7A, 0x58, 0x48, 0x20, 0x0D}};
constexpr GUID kSubtitleAss = {0x3020560F, 0x255A, 0x4DDC, {0x80, 0x6E, 0x6C, 0x5C, 0xC6, 0xDC, 0xD7, 0x0A}};
constexpr GUID kSubtitleAss2 = {0x326444F7, 0x686F, 0x47FF, {0xA4, 0xB2, 0xC8, 0xC9, 0x63, 0x07, 0xB4, 0xC2}};
constexpr GUID kSubtitleVobsub = {0x76C421C4, 0xDB89, 0x42EC, {0x93, 0x6E, 0xA9, 0xFB, 0xC1, 0x79, 0x47, 0x14}};

// Start of the format block of a text subtitle stream.
struct SubtitleFormatHeader {
  uint32_t headerOffset;  // where the codec header starts, from the block's start
  uint32_t headerLength;  // its length in bytes
  char language[4];       // ISO 639-2 code, NUL-terminated; empty when unknown
};
static_assert(sizeof(SubtitleFormatHeader) == 12);

// Subtitle codes ("VFCC" of the overlay filters), four letters in FOURCC order.
constexpr uint32_t kSubtitleCodeText = MakeFourcc('T', 'E', 'X', 'T');
constexpr uint32_t kSubtitleCodeUtf8 = MakeFourcc('U', 'T', 'F', '8');
constexpr uint32_t kSubtitleCodeSsa = MakeFourcc('S', 'S', 'A', ' ');
constexpr uint32_t kSubtitleCodeAss = MakeFourcc('A', 'S', 'S', ' ');
constexpr uint32_t kSubtitleCodeAss2 = MakeFourcc('A', 'S', 'S', '2');
constexpr uint32_t kSubtitleCodeVobsub = MakeFourcc('V', 'O', 'B', 'S');
constexpr uint32_t kSubtitleCodeDvd = MakeFourcc('D', 'V', 'D', 'S');
