// How a process reports its 32-bit result: exit status, the exact code on the
// file descriptor named by TRIVOX_RESULT_FD, and a last output line; and the
// engine's signal handling around it (faults, broken pipes, stop signals).
#pragma once

#include "platform/win_types.h"

// 0 exactly when the result is 0, else its low byte, or 255 when that byte is 0.
int ExitStatusForResult(HRESULT result);

// Writes the result once per process: 4 little-endian bytes to the descriptor
// named by TRIVOX_RESULT_FD (when set) and, after what standard output holds,
// the line "RESULT=%08X". Later calls do nothing. A reader that has gone
// (a closed pipe) loses the report, never the process.
void ReportResult(HRESULT result);

// Flushes standard streams, reports the result and ends the process with _exit.
[[noreturn]] void ExitWithResult(HRESULT result);

// Windows-style fault code of a fatal signal (0 for other signals).
HRESULT FaultCodeForSignal(int signal);

// Reads TRIVOX_RESULT_FD, ignores SIGPIPE (writes to a gone reader fail with
// EPIPE instead) and installs handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT that remove the process's unheld shared objects and registered
// files (crash_cleanup.h), report the matching fault code as the result and
// end the process. The calling thread gets an alternate signal stack.
void InstallFaultHandler();

// Gives the calling thread its own alternate signal stack (freed when the
// thread ends), so that a stack overflow on it is still reported.
void UseFaultStackOnThisThread();

// SIGTERM and SIGINT: the first asks the job to stop (StopSignalled turns
// true), a second one ends the process at once as the fault handler does,
// with STATUS_CONTROL_C_EXIT.
void InstallStopSignals();
bool StopSignalled();
