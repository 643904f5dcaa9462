// The parent's side of a forked child whose standard output and result
// descriptor are pipes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ChildRun {
  int status = -1;                   // exit status, or -1 when it did not exit normally
  std::string output;                // standard output
  std::vector<uint8_t> resultBytes;  // what arrived on the result descriptor
};

// Reads both pipes to their end, closes them and waits for the child.
ChildRun CollectChild(pid_t pid, int outputFd, int resultFd);

// Runs fn in a forked child without the capabilities that pass over file permissions (as
// setpriv would drop them; root then obeys the permission bits like any user) and returns the
// child's exit status (fn's result), or -1 when it did not end normally. For checks that only
// hold for an unprivileged user (root writes into read-only folders).
int RunUnprivileged(const std::function<int()>& fn);
