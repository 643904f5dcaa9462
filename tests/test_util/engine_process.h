// Runs a copy of the staged engine as a child process, for entry tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_util/child_run.h"

// Exit status, standard output and what arrived on TRIVOX_RESULT_FD.
struct EngineRun : ChildRun {
  std::string LastLine() const;
  bool HasLine(const std::string& line) const;
};

// A fresh folder holding a copy of the staged trivox_free, named after the test.
std::string MakeEngineFolder(const std::string& name);

// Runs <folder>/trivox_free with the arguments; the result pipe goes to fd 3.
EngineRun RunEngine(const std::string& folder, const std::vector<std::string>& args, bool resultFd = true);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
