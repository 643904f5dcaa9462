// A source that stopped on a read failure (not at its end) fails the job: the
// reader reports it, the run loop turns it into the job's result.
#pragma once

#include "platform/win_types.h"

// The job's result when a source could not be read to its end (read fault).
constexpr HRESULT E_SOURCE_READ_FAILED = MakeHResult(0x8007001Eu);

// Latched until cleared; safe from any thread.
void ReportSourceReadFailure();
bool SourceReadFailed();
void ClearSourceReadFailure();
