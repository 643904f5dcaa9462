// The engine's process-wide log ring ":VIVEZAZAD", opened before the entry runs.
#pragma once

#include <cstdarg>

class CLogRing;

// The process-wide ring (null once closed).
CLogRing* EngineLogRing();

// The ring is also the diagnostics sink (platform/diagnostics.h): lines of
// Diag from kNote up land here as well as on standard output.

// Writes one user line, stamped with the local time, into the ring. The line
// is formatted with a bound (2,048 bytes) and the ring keeps its first 511 bytes.
int EngineLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
int EngineLogV(const char* format, va_list args);

// Closes the ring; used before the process ends with _exit.
void CloseEngineLog();
