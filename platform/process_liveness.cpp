#include "platform/process_liveness.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool ProcessIsAlive(int32_t pid) {
  if (pid <= 0) return false;
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* file = std::fopen(path, "re");
  if (!file) return errno != ENOENT;  // without /proc the signal probe decides
  char line[512];
  const size_t n = std::fread(line, 1, sizeof line - 1, file);
  std::fclose(file);
  line[n] = '\0';
  // "pid (comm) S ...": the state follows the last ')'.
  const char* close = std::strrchr(line, ')');
  if (!close || close[1] != ' ') return true;
  const char state = close[2];
  return state != 'Z' && state != 'X' && state != 'x';
}

int32_t CurrentProcessId() { return static_cast<int32_t>(getpid()); }

uint32_t CurrentThreadId() { return static_cast<uint32_t>(gettid()); }
