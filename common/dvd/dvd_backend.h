#pragma once
// The DVD back-end table and the dispatch functions callers use.

#include <cstdint>

#include "common/dvd/dvd_title_reader.h"

struct DvdBuffer;  // pooled 2048-byte block buffer of the playback side

struct DvdBackend {
  DvdNavHandle* (*init)(const char* path);
  void (*close)(DvdNavHandle** handle);
  const char* (*name)(const char* path);
  int (*title_count)(DvdNavHandle* handle);
  DvdTitle* (*title_scan)(DvdNavHandle* handle, int title);
  int (*start)(DvdNavHandle* handle, DvdTitle* title, int chapter);
  void (*stop)(DvdNavHandle* handle);
  int (*seek)(DvdNavHandle* handle, int first_chapter, int last_chapter, int64_t time);
  int (*read)(DvdNavHandle* handle, DvdBuffer* buffer);
  int (*chapter)(DvdNavHandle* handle);
  int (*angle_count)(DvdNavHandle* handle);
  int (*set_angle)(DvdNavHandle* handle, int angle);
};

// The navigator back end over libdvdnav and libdvdread.
extern const DvdBackend kDvdNavBackend;
// The current table; always the navigator back end.
extern const DvdBackend* const g_dvd_backend;

// Playing operations of the navigator back end (time in 100-ns units).
int DvdNavStart(DvdNavHandle* handle, DvdTitle* title, int chapter);
void DvdNavStop(DvdNavHandle* handle);
int DvdNavSeek(DvdNavHandle* handle, int first_chapter, int last_chapter, int64_t time);
int DvdNavRead(DvdNavHandle* handle, DvdBuffer* buffer);
int DvdNavChapter(DvdNavHandle* handle);

DvdNavHandle* DvdInit(const char* path);
void DvdClose(DvdNavHandle** handle);
int DvdTitleCount(DvdNavHandle* handle);
DvdTitle* DvdTitleScan(DvdNavHandle* handle, int title);
int DvdStart(DvdNavHandle* handle, DvdTitle* title, int chapter);
void DvdStop(DvdNavHandle* handle);
int DvdSeek(DvdNavHandle* handle, int first_chapter, int last_chapter, int64_t time);
int DvdRead(DvdNavHandle* handle, DvdBuffer* buffer);
int DvdChapter(DvdNavHandle* handle);
