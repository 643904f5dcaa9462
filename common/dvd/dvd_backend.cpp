#include "common/dvd/dvd_backend.h"

const DvdBackend kDvdNavBackend = {
    DvdNavInit, DvdNavClose, DvdNavName, DvdNavTitleCount, DvdNavTitleScan,  DvdNavStart,
    DvdNavStop, DvdNavSeek,  DvdNavRead, DvdNavChapter,    DvdNavAngleCount, DvdNavSetAngle,
};

const DvdBackend* const g_dvd_backend = &kDvdNavBackend;

DvdNavHandle* DvdInit(const char* path) { return g_dvd_backend->init(path); }
void DvdClose(DvdNavHandle** handle) { g_dvd_backend->close(handle); }
int DvdTitleCount(DvdNavHandle* handle) { return g_dvd_backend->title_count(handle); }
DvdTitle* DvdTitleScan(DvdNavHandle* handle, int title) { return g_dvd_backend->title_scan(handle, title); }
int DvdStart(DvdNavHandle* handle, DvdTitle* title, int chapter) {
  return g_dvd_backend->start(handle, title, chapter);
}
void DvdStop(DvdNavHandle* handle) { g_dvd_backend->stop(handle); }
int DvdSeek(DvdNavHandle* handle, int first_chapter, int last_chapter, int64_t time) {
  return g_dvd_backend->seek(handle, first_chapter, last_chapter, time);
}
int DvdRead(DvdNavHandle* handle, DvdBuffer* buffer) { return g_dvd_backend->read(handle, buffer); }
int DvdChapter(DvdNavHandle* handle) { return g_dvd_backend->chapter(handle); }
