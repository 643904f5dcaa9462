// How a process reports its 32-bit result: exit status, the exact code on the
// file descriptor named by TRIVOX_RESULT_FD, and a last output line.
#pragma once

#include "platform/win_types.h"

// 0 exactly when the result is 0, else its low byte, or 255 when that byte is 0.
int ExitStatusForResult(HRESULT result);

// Writes the result once per process: 4 little-endian bytes to the descriptor
// named by TRIVOX_RESULT_FD (when set) and, after what standard output holds,
// the line "RESULT=%08X". Later calls do nothing.
void ReportResult(HRESULT result);

// Flushes standard streams, reports the result and ends the process with _exit.
[[noreturn]] void ExitWithResult(HRESULT result);

// Windows-style fault code of a fatal signal (0 for other signals).
HRESULT FaultCodeForSignal(int signal);

// Installs handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL that report the
// matching fault code as the result and end the process.
void InstallFaultHandler();
