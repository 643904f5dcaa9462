// Where the running program lives, and paths beside it.
#pragma once

#include <string>

// Folder of the running executable (from /proc/self/exe), without a trailing '/'.
std::string ProgramFolder();

// "<program folder>/<name>".
std::string BesideProgram(const std::string& name);
