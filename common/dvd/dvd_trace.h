#pragma once
// Debug trace of the DVD reader: standard output by default, never a user message.
// libdvdread and libdvdnav log through the logger tables below into this trace.

#include <cstdarg>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>

void DvdTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DvdTraceV(const char* format, va_list args);

// Receives each formatted trace text; null restores standard output.
using DvdTraceSink = void (*)(const char* text);
// Installs a sink and yields the previous one (null when it was standard output).
DvdTraceSink DvdSetTraceSink(DvdTraceSink sink);

extern const dvd_logger_cb kDvdReadLogger;
extern const dvdnav_logger_cb kDvdNavLogger;
