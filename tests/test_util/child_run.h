// The parent's side of a forked child whose standard output and result
// descriptor are pipes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct ChildRun {
  int status = -1;                   // exit status, or -1 when it did not exit normally
  std::string output;                // standard output
  std::vector<uint8_t> resultBytes;  // what arrived on the result descriptor
};

// Reads both pipes to their end, closes them and waits for the child.
ChildRun CollectChild(pid_t pid, int outputFd, int resultFd);
