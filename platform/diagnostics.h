// Diagnostics: the one function for every line that is not one of the fixed
// console lines. Traces go to standard output only; notes, warnings and
// errors also go to the sink a program installs (the engine's log ring, which
// the front end's log window reads).
#pragma once

#include <cstdarg>

enum class DiagLevel {
  kTrace,    // for developers: standard output only
  kNote,     // a line for the user
  kWarning,  // something went wrong and the work goes on
  kError,    // a failure that ends the work
};

// Receives each line of kNote and above, without a line end.
using DiagSink = void (*)(DiagLevel level, const char* text);

// Installs the sink (null removes it). Each program (and each plug-in, which
// holds its own copy of this layer) starts without one.
void SetDiagSink(DiagSink sink);

// Formats one line (bounded at 2,048 bytes, a final line end optional) and
// writes it to standard output and, from kNote up, to the sink.
void Diag(DiagLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void DiagV(DiagLevel level, const char* format, va_list args);

// A fixed console line: written to standard output exactly as formatted and
// never to the sink.
void ConsoleLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
