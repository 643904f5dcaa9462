#pragma once
// DVD title reader: opens a disc, folder or image and scans its titles into chapters,
// cells, audio and subpicture streams and a palette (navigator back end over libdvdnav
// and libdvdread).

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_types.h>

constexpr int kDvdMaxCells = 99;  // cell table of one chapter

// Codec kinds of audio records.
constexpr int32_t kDvdAudioAc3 = 2048;
constexpr int32_t kDvdAudioMpeg = 4096;
constexpr int32_t kDvdAudioLpcm = 8192;
constexpr int32_t kDvdAudioDts = 16384;

// Video kinds.
constexpr int32_t kDvdVideoMpeg1 = 10;
constexpr int32_t kDvdVideoMpeg2 = 11;

// Owners of the library handles.
struct DvdNavCloser {
  void operator()(dvdnav_t* nav) const { dvdnav_close(nav); }
};
struct DvdReaderCloser {
  void operator()(dvd_reader_t* reader) const { DVDClose(reader); }
};
struct DvdIfoCloser {
  void operator()(ifo_handle_t* ifo) const;
};
struct DvdFileCloser {
  void operator()(dvd_file_t* file) const { DVDCloseFile(file); }
};
using DvdNavPtr = std::unique_ptr<dvdnav_t, DvdNavCloser>;
using DvdReaderPtr = std::unique_ptr<dvd_reader_t, DvdReaderCloser>;
using DvdIfoPtr = std::unique_ptr<ifo_handle_t, DvdIfoCloser>;
using DvdFilePtr = std::unique_ptr<dvd_file_t, DvdFileCloser>;

struct DvdCell {
  int32_t firstSector = 0;
  int32_t lastSector = 0;
  int64_t duration = 0;   // 90 kHz ticks
  int32_t cellIndex = 0;  // 0-based index into the PGC's cell table
};

struct DvdChapterRecord {
  int32_t number = 0;  // 1-based
  int32_t pgc = 0;
  int32_t program = 0;
  int32_t lastSector = 0;
  int64_t duration = 0;        // 90 kHz ticks, all cells of the chapter
  std::vector<DvdCell> cells;  // at most kDvdMaxCells: a longer chapter keeps its first 99
};

struct DvdAudio {
  int32_t streamId = 0;
  int32_t codec = 0;
  int32_t sampleRate = 0;
  int32_t channels = 0;
  std::string language;
  uint8_t codeExtension = 0;
};

struct DvdSubtitle {
  int32_t streamId = 0;
  std::string language;
  uint8_t codeExtension = 0;
};

struct DvdTitle {
  int32_t number = 0;    // 1-based
  int64_t duration = 0;  // 90 kHz ticks
  double aspect = 0;     // 0 = 4:3, 3 = 16:9
  int32_t width = 0;
  int32_t height = 0;
  int32_t videoFormat = 0;  // 0 NTSC, 1 PAL
  int32_t videoStreamId = 0xE0;
  int32_t videoKind = 0;
  std::array<uint32_t, 16> palette{};  // 0x00YYCrCb
  std::vector<DvdChapterRecord> chapters;
  std::vector<DvdAudio> audio;
  std::vector<DvdSubtitle> subtitles;
};
using DvdTitlePtr = std::unique_ptr<DvdTitle>;

// The navigator back end's handle: one disc opened twice (navigator and reader).
// Used by one thread at a time.
struct DvdNavHandle {
  std::string path;
  DvdReaderPtr reader;
  DvdIfoPtr vmg;  // closed before the reader it was read from
  DvdNavPtr nav;
  int32_t title = 0;
  int32_t chapter = 0;
  const std::vector<DvdChapterRecord>* chapterList = nullptr;  // borrowed from the started DvdTitle
  bool ended = false;
  bool justSought = false;  // set by a seek; read clears it when it excuses a backward chapter change
  bool readFailed = false;  // reading stopped on a failure, not at the title's end
};
using DvdNavHandlePtr = std::unique_ptr<DvdNavHandle>;

// Back-end operations (slots of the navigator back end).
DvdNavHandlePtr DvdNavInit(const char* path);  // null when the disc cannot be opened
void DvdNavClose(DvdNavHandlePtr& handle);
std::optional<std::string> DvdNavName(const char* path);  // the volume identifier
int DvdNavTitleCount(DvdNavHandle& handle);               // 0 when the navigator cannot tell
DvdTitlePtr DvdNavTitleScan(DvdNavHandle& handle, int title);
int DvdNavAngleCount(DvdNavHandle& handle);
// true when the navigator accepted the angle.
bool DvdNavSetAngle(DvdNavHandle& handle, int angle);

// Chapter of (PGC, program): the record of that PGC with the greatest program number
// not above program (a program that is not a chapter belongs to the chapter before it).
// 0 when there is none.
int DvdChapterFind(const std::vector<DvdChapterRecord>& chapters, int pgc, int program);

// Scan helpers over an opened title set IFO.
int64_t DvdTimeToMs(const dvd_time_t& time);
// Index of the cell after cell in a walk (an angle block is visited by its first cell only).
int DvdNextCell(const pgc_t* pgc, int cell);
// Duration in ticks of the PGC chain that starts at (pgc, program); 0 when out of range.
int64_t DvdChainDuration(const ifo_handle_t* vts, int pgc, int program);
// Builds title number `title` from the title set's title vtsTtn; null when rejected.
DvdTitlePtr DvdBuildTitle(const ifo_handle_t* vts, int vtsTtn, int title);
