#pragma once
// The DVD back-end table and the dispatch functions callers use.

#include <cstdint>
#include <optional>
#include <string>

#include "common/dvd/dvd_title_reader.h"

struct DvdBuffer;  // pooled block buffer of the playback side

// Operations answering bool report success with true: started, positioned, a block
// delivered, the angle accepted. Times are in 100-ns units.
struct DvdBackend {
  DvdNavHandlePtr (*init)(const char* path);
  void (*close)(DvdNavHandlePtr& handle);
  std::optional<std::string> (*name)(const char* path);
  int (*titleCount)(DvdNavHandle& handle);
  DvdTitlePtr (*titleScan)(DvdNavHandle& handle, int title);
  bool (*start)(DvdNavHandle& handle, const DvdTitle& title, int chapter);
  void (*stop)(DvdNavHandle& handle);
  bool (*seek)(DvdNavHandle& handle, int firstChapter, int lastChapter, int64_t time);
  bool (*read)(DvdNavHandle& handle, DvdBuffer& buffer);
  int (*chapter)(DvdNavHandle& handle);
  int (*angleCount)(DvdNavHandle& handle);
  bool (*setAngle)(DvdNavHandle& handle, int angle);
};

// The navigator back end over libdvdnav and libdvdread.
extern const DvdBackend kDvdNavBackend;
// The current table; always the navigator back end.
extern const DvdBackend* const g_dvdBackend;

// Playing operations of the navigator back end.
bool DvdNavStart(DvdNavHandle& handle, const DvdTitle& title, int chapter);
void DvdNavStop(DvdNavHandle& handle);
bool DvdNavSeek(DvdNavHandle& handle, int firstChapter, int lastChapter, int64_t time);
bool DvdNavRead(DvdNavHandle& handle, DvdBuffer& buffer);
int DvdNavChapter(DvdNavHandle& handle);

DvdNavHandlePtr DvdInit(const char* path);
void DvdClose(DvdNavHandlePtr& handle);
int DvdTitleCount(DvdNavHandle& handle);
DvdTitlePtr DvdTitleScan(DvdNavHandle& handle, int title);
// true when the title plays from the chapter (its record number, 1-based).
bool DvdStart(DvdNavHandle& handle, const DvdTitle& title, int chapter);
void DvdStop(DvdNavHandle& handle);
// true when playback was positioned at the time within chapters first..last.
bool DvdSeek(DvdNavHandle& handle, int firstChapter, int lastChapter, int64_t time);
// true when the buffer holds the next block; false at the title's end or on a failure.
bool DvdRead(DvdNavHandle& handle, DvdBuffer& buffer);
// Current chapter; 0 outside every chapter record, -1 when the navigator cannot tell.
int DvdChapter(DvdNavHandle& handle);
