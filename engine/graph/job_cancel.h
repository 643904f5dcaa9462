// A job ended from outside the job (SIGTERM or SIGINT): the run loop stops the
// graph and sets this latch, and writers drop their output instead of keeping
// the part written so far.
#pragma once

// Latched until cleared; safe from any thread.
void ReportJobCancelled();
bool JobCancelled();
void ClearJobCancelled();
