#include "platform/diagnostics.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<DiagSink> g_sink{nullptr};

}  // namespace

void SetDiagSink(DiagSink sink) { g_sink.store(sink); }

void DiagV(DiagLevel level, const char* format, va_list args) {
  char line[2048];
  const int n = std::vsnprintf(line, sizeof line, format, args);
  if (n < 0) return;
  size_t len = std::strlen(line);
  while (len > 0 && line[len - 1] == '\n') line[--len] = '\0';
  std::fprintf(stdout, "%s\n", line);
  if (level == DiagLevel::kTrace) return;
  std::fflush(stdout);
  const DiagSink sink = g_sink.load();
  if (sink) sink(level, line);
}

void Diag(DiagLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  DiagV(level, format, args);
  va_end(args);
}

void ConsoleLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
}
