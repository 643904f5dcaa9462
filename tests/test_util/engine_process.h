// Runs a copy of the staged engine as a child process, for entry tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_util/child_run.h"

// Exit status, standard output and what arrived on TRIVOX_RESULT_FD.
struct EngineRun : ChildRun {
  std::string LastLine() const;
  bool HasLine(const std::string& line) const;
};

// A fresh folder holding the staged trivox_free (hard-linked), named after the test.
std::string MakeEngineFolder(const std::string& name);

// Runs <folder>/trivox_free with the arguments; the result pipe goes to fd 3.
EngineRun RunEngine(const std::string& folder, const std::vector<std::string>& args, bool resultFd = true);

// The same, started without waiting: signal it by pid, then collect its run.
struct StartedEngine {
  pid_t pid = -1;
  int outputFd = -1;
  int resultFd = -1;
};
StartedEngine StartEngine(const std::string& folder, const std::vector<std::string>& args, bool resultFd = true);
EngineRun FinishEngine(StartedEngine& engine);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
