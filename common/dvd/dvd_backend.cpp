#include "common/dvd/dvd_backend.h"

const DvdBackend kDvdNavBackend = {
    DvdNavInit, DvdNavClose, DvdNavName, DvdNavTitleCount, DvdNavTitleScan,  DvdNavStart,
    DvdNavStop, DvdNavSeek,  DvdNavRead, DvdNavChapter,    DvdNavAngleCount, DvdNavSetAngle,
};

const DvdBackend* const g_dvdBackend = &kDvdNavBackend;

DvdNavHandlePtr DvdInit(const char* path) { return g_dvdBackend->init(path); }
void DvdClose(DvdNavHandlePtr& handle) { g_dvdBackend->close(handle); }
int DvdTitleCount(DvdNavHandle& handle) { return g_dvdBackend->titleCount(handle); }
DvdTitlePtr DvdTitleScan(DvdNavHandle& handle, int title) { return g_dvdBackend->titleScan(handle, title); }
bool DvdStart(DvdNavHandle& handle, const DvdTitle& title, int chapter) {
  return g_dvdBackend->start(handle, title, chapter);
}
void DvdStop(DvdNavHandle& handle) { g_dvdBackend->stop(handle); }
bool DvdSeek(DvdNavHandle& handle, int firstChapter, int lastChapter, int64_t time) {
  return g_dvdBackend->seek(handle, firstChapter, lastChapter, time);
}
bool DvdRead(DvdNavHandle& handle, DvdBuffer& buffer) { return g_dvdBackend->read(handle, buffer); }
int DvdChapter(DvdNavHandle& handle) { return g_dvdBackend->chapter(handle); }
