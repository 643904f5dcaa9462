#pragma once
// DVD title reader: opens a disc, folder or image and scans its titles into chapters,
// cells, audio and subpicture streams and a palette (navigator back end over libdvdnav
// and libdvdread).

#include <cstdint>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_types.h>

#include "common/dvd/dvd_ptr_list.h"

constexpr int kDvdMaxCells = 99;  // cell table of one chapter
constexpr int kDvdLanguageNameSize = 1024;

// Codec kinds of audio records.
constexpr int32_t kDvdAudioAc3 = 2048;
constexpr int32_t kDvdAudioMpeg = 4096;
constexpr int32_t kDvdAudioLpcm = 8192;
constexpr int32_t kDvdAudioDts = 16384;

// Video kinds.
constexpr int32_t kDvdVideoMpeg1 = 10;
constexpr int32_t kDvdVideoMpeg2 = 11;

struct DvdCell {
  int32_t first_sector;
  int32_t last_sector;
  int64_t duration;    // 90 kHz ticks
  int32_t cell_index;  // 0-based index into the PGC's cell table
};

struct DvdChapterRecord {
  int32_t number;  // 1-based
  int32_t pgc;
  int32_t program;
  int32_t last_sector;
  int64_t duration;  // 90 kHz ticks, all cells of the chapter
  DvdCell cells[kDvdMaxCells];
  int32_t cell_count;  // cells stored; a longer chapter keeps its first 99
};

struct DvdAudio {
  int32_t stream_id;
  int32_t codec;
  int32_t sample_rate;
  int32_t channels;
  char language[kDvdLanguageNameSize];
  uint8_t code_extension;
};

struct DvdSubtitle {
  int32_t stream_id;
  char language[kDvdLanguageNameSize];
  uint8_t code_extension;
};

struct DvdTitle {
  int32_t number;    // 1-based
  int64_t duration;  // 90 kHz ticks
  double aspect;     // 0 = 4:3, 3 = 16:9
  int32_t width;
  int32_t height;
  int32_t video_format;  // 0 NTSC, 1 PAL
  int32_t video_stream_id;
  int32_t video_kind;
  uint32_t palette[16];  // 0x00YYCrCb
  PtrList* chapters;     // DvdChapterRecord*
  PtrList* audio;        // DvdAudio*
  PtrList* subtitles;    // DvdSubtitle*
};

struct DvdNavHandle {
  char* path;
  dvdnav_t* nav;
  dvd_reader_t* reader;
  ifo_handle_t* vmg;
  int32_t title;
  int32_t chapter;
  PtrList* chapter_list;  // borrowed from the started DvdTitle
  int32_t ended;
  int32_t just_sought;  // set by a seek; read clears it when it excuses a backward chapter change
  int32_t read_failed;  // reading stopped on a failure, not at the title's end
};

// Back-end operations (slots of the navigator back end).
DvdNavHandle* DvdNavInit(const char* path);
void DvdNavClose(DvdNavHandle** handle);
const char* DvdNavName(const char* path);  // static buffer, overwritten by the next call
int DvdNavTitleCount(DvdNavHandle* handle);
DvdTitle* DvdNavTitleScan(DvdNavHandle* handle, int title);
int DvdNavAngleCount(DvdNavHandle* handle);
int DvdNavSetAngle(DvdNavHandle* handle, int angle);

void DvdTitleClose(DvdTitle** title);

// Chapter of (PGC, program): the record of that PGC with the greatest program number
// not above program (a program that is not a chapter belongs to the chapter before it).
// 0 when there is none.
int DvdChapterFind(const PtrList* chapters, int pgc, int program);

// Scan helpers over an opened title set IFO.
int64_t DvdTimeToMs(const dvd_time_t& time);
// Index of the cell after cell in a walk (an angle block is visited by its first cell only).
int DvdNextCell(const pgc_t* pgc, int cell);
// Duration in ticks of the PGC chain that starts at (pgc, program); 0 when out of range.
int64_t DvdChainDuration(const ifo_handle_t* vts, int pgc, int program);
// Builds title number `title` from the title set's title vts_ttn; null when rejected.
DvdTitle* DvdBuildTitle(const ifo_handle_t* vts, int vts_ttn, int title);
