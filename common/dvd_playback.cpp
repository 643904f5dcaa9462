// Playing half of the navigator back end. Not built yet: every operation reports failure.
#include "dvd_backend.h"

int DvdNavStart(DvdNavHandle *, DvdTitle *, int) { return 0; }

void DvdNavStop(DvdNavHandle *) {}

int DvdNavSeek(DvdNavHandle *, int, int, int64_t) { return 0; }

int DvdNavRead(DvdNavHandle *, DvdBuffer *) { return 0; }

int DvdNavChapter(DvdNavHandle *) { return -1; }
