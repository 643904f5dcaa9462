#include "common/dvd/dvd_trace.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<DvdTraceSink> g_sink{nullptr};

void Emit(const char* text) {
  DvdTraceSink sink = g_sink.load();
  if (sink != nullptr) {
    sink(text);
  } else {
    std::fputs(text, stdout);
    std::fflush(stdout);
  }
}

void LibraryLog(const char* library, const char* format, va_list args) {
  char message[1024];
  std::vsnprintf(message, sizeof message, format, args);
  char line[1100];
  std::snprintf(line, sizeof line, "%s: %s\n", library, message);
  Emit(line);
}

void ReadLog(void*, dvd_logger_level_t, const char* format, va_list args) { LibraryLog("libdvdread", format, args); }

void NavLog(void*, dvdnav_logger_level_t, const char* format, va_list args) { LibraryLog("libdvdnav", format, args); }

}  // namespace

const dvd_logger_cb kDvdReadLogger = {ReadLog};
const dvdnav_logger_cb kDvdNavLogger = {NavLog};

void DvdTraceV(const char* format, va_list args) {
  char text[2048];
  std::vsnprintf(text, sizeof text, format, args);
  Emit(text);
}

void DvdTrace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  DvdTraceV(format, args);
  va_end(args);
}

DvdTraceSink DvdSetTraceSink(DvdTraceSink sink) { return g_sink.exchange(sink); }
