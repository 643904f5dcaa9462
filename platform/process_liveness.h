// Whether another process is still running, for waits on a peer that may have died.
#pragma once

#include <cstdint>

// True while the process exists and has not ended (a zombie waiting for its
// parent counts as ended). pid <= 0 is never alive.
bool ProcessIsAlive(int32_t pid);

// This process's id and the calling thread's id.
int32_t CurrentProcessId();
uint32_t CurrentThreadId();
