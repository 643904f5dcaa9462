#pragma once
// Title list of a disc: one DvdTitleInfo per title and the disc's main title.

#include <cstddef>
#include <cstdint>

constexpr int kDvdInfoMaxTitles = 100;
constexpr int kDvdInfoMaxChapters = 100;
constexpr int kDvdInfoMaxAudio = 16;
constexpr int kDvdInfoMaxSubtitles = 32;

// The record layout is the front end's: plain fields, no initialisers (a value-initialised
// array is all zero bytes, and the fill leaves the unused areas as they are).
struct DvdChapterInfo {
  double duration;  // seconds
  uint8_t unused[72];
};

struct DvdAudioInfo {
  int32_t codec;     // 0x800 AC-3, 0x1000 MPEG audio, 0x2000 LPCM, 0x4000 DTS
  int32_t streamId;  // 0xC0+n for MPEG audio, else the sub-stream byte
  int32_t sampleRate;
  int32_t channels;
  char language[60];
  int32_t codeExtension;
  int32_t unused;
};

struct DvdSubtitleInfo {
  int32_t zero;
  int32_t streamId;  // sub-stream byte 0x20+s
  char language[64];
  int32_t codeExtension;
};

struct DvdTitleInfo {
  char label[128];  // kept by the caller; first byte cleared for an unusable title
  double duration;  // seconds
  int32_t chapterCount;
  DvdChapterInfo chapters[kDvdInfoMaxChapters];
  int32_t videoKind;  // 10 MPEG-1, 11 MPEG-2
  int32_t videoStreamId;
  int32_t width;
  int32_t height;
  int32_t videoFormat;  // the "NTSC flag": 0 NTSC, 1 PAL
  int32_t aspect;       // 0 4:3, 3 16:9
  DvdAudioInfo audio[kDvdInfoMaxAudio];
  DvdSubtitleInfo subtitles[kDvdInfoMaxSubtitles];
  int32_t audioCount;
  int32_t subtitleCount;
  int32_t unused;
  uint32_t palette[16];
  int32_t valid;
};
static_assert(sizeof(DvdChapterInfo) == 80 && sizeof(DvdAudioInfo) == 84 && sizeof(DvdSubtitleInfo) == 76);
static_assert(sizeof(DvdTitleInfo) == 12024);
static_assert(offsetof(DvdTitleInfo, chapters) == 144 && offsetof(DvdTitleInfo, videoKind) == 8144 &&
              offsetof(DvdTitleInfo, audio) == 8168 && offsetof(DvdTitleInfo, subtitles) == 9512 &&
              offsetof(DvdTitleInfo, audioCount) == 11944 && offsetof(DvdTitleInfo, palette) == 11956 &&
              offsetof(DvdTitleInfo, valid) == 12020);

// Scans every title of the disc at path into info (room for capacity elements; the
// three-argument form assumes kDvdInfoMaxTitles) and picks the main title, by the menu vote
// when asked and the disc has more than 30 titles. Yields the number of titles filled, 0
// when the disc cannot be opened (the main title is then kept).
int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, bool vote);
int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, int capacity, bool vote);

// Main title of the last successful fill, 0-based.
int DvdMainTitleIndex();
int GetMainTitleIndex();

// Orders DvdSubtitleInfo entries by sub-stream id (a less-than for std::sort).
bool CompareSubtitleEntry(const DvdSubtitleInfo& a, const DvdSubtitleInfo& b);
