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

class DvdDiscView;  // common/dvd/dvd_disc_view.h

// A stretch of a title that could not be read and was skipped.
struct DvdSkippedSpan {
  int64_t startTicks = 0;    // title time (90 kHz from the title's start) where the lost data begin
  int64_t endTicks = -1;     // where reading resumed; -1 while it has not
  uint32_t firstSector = 0;  // first sector of the title set not delivered
  uint32_t lastSector = 0;   // last sector skipped (once reading resumed)
  bool resumed = false;
  // The stream's own clock (90 kHz) at both ends, when known: how its stamps jump over the span.
  bool clocked = false;
  int64_t clockBefore = 0;
  int64_t clockAfter = 0;
};

// The last VOBU whose navigation pack was read.
struct DvdVobuMark {
  bool valid = false;
  uint32_t nav = 0;        // sector of its navigation pack
  uint32_t last = 0;       // its last sector
  uint32_t delivered = 0;  // blocks after the navigation pack delivered so far
  int64_t startTicks = 0;  // title time of its start
  int64_t duration = 0;    // 90 kHz ticks, 0 when unknown
  int64_t startClock = 0;  // its first presentation time (stream clock)
  int64_t lastScr = -1;    // clock reference of the last pack delivered in it
};

// The navigator back end's handle: one disc opened twice (navigator and reader).
// Used by one thread at a time.
struct DvdNavHandle {
  DvdNavHandle();
  ~DvdNavHandle();

  std::string path;
  std::unique_ptr<DvdDiscView> view;  // what the libraries open; outlives both
  DvdReaderPtr reader;
  DvdIfoPtr vmg;  // closed before the reader it was read from
  DvdNavPtr nav;
  int32_t title = 0;
  int32_t chapter = 0;
  const std::vector<DvdChapterRecord>* chapterList = nullptr;  // borrowed from the started DvdTitle
  bool ended = false;
  bool justSought = false;  // set by a seek; read clears it when it excuses a backward chapter change
  bool readFailed = false;  // reading gave up on damage before the title's end
  // Damage bookkeeping of the current reading (cleared by start and seek).
  DvdIfoPtr playVts;                  // the started title's title set: address map and PGCs
  DvdVobuMark vobu;                   // where reading is
  std::vector<DvdSkippedSpan> spans;  // skipped so far; the last one may still be open
  int failures = 0;                   // failed reads since the last navigation pack read
  // Set by the navigation pack just read when the stream's clock there does not run on from where
  // the last VOBU ended (a new clock at a cell or VOB file, a cell played again): how far it jumps
  // (90 kHz) and the title time there. The reader of the blocks takes it.
  bool clockJumped = false;
  int64_t clockJump = 0;
  int64_t clockJumpTicks = 0;
  int idleEvents = 0;  // navigator events since the last block
};
using DvdNavHandlePtr = std::unique_ptr<DvdNavHandle>;

// dvdnav_get_next_block, except that a cache block behind a failed call (a navigation pack that
// was read but cannot be parsed) goes back to the library: it keeps it otherwise, and then never
// frees its cache.
dvdnav_status_t DvdNextBlock(dvdnav_t* nav, uint8_t* buffer, int32_t* event, int32_t* length);

// A navigator over a disc view with read-ahead and PGC positioning on; null on failure.
DvdNavPtr DvdOpenNavigator(const DvdDiscView& view);

// Back-end operations (slots of the navigator back end).
DvdNavHandlePtr DvdNavInit(const char* path);  // null when the disc cannot be opened
// What the check of the disc's IFO files found at the last init on this thread (a backup read
// instead of its IFO, a title set left out, a disc refused), one line each; empty when nothing.
const std::vector<std::string>& DvdOpenNotes();
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
