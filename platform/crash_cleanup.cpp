#include "platform/crash_cleanup.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

struct Slot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 in use
  pid_t owner = 0;            // the registering process (a forked child skips its parent's)
  int fd = -1;                // the object's descriptor (objects only)
  char path[kCrashCleanupPathBytes] = {};
};

Slot g_objects[kCrashCleanupSlots];
Slot g_files[kCrashCleanupSlots];

int Claim(Slot (&slots)[kCrashCleanupSlots], const char* path) {
  if (!path || std::strlen(path) >= static_cast<size_t>(kCrashCleanupPathBytes)) return -1;
  for (int i = 0; i < kCrashCleanupSlots; ++i) {
    int expected = 0;
    if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::strcpy(slots[i].path, path);
    slots[i].owner = getpid();
    return i;
  }
  return -1;
}

void Release(Slot (&slots)[kCrashCleanupSlots], int slot) {
  if (slot >= 0 && slot < kCrashCleanupSlots) slots[slot].state.store(0);
}

// "/dev/shm" + name, without allocating.
bool ShmPath(const char* name, char (&out)[kCrashCleanupPathBytes + 16]) {
  const char prefix[] = "/dev/shm";
  const size_t n = strnlen(name, kCrashCleanupPathBytes);
  if (n == 0 || n >= kCrashCleanupPathBytes) return false;
  std::memcpy(out, prefix, sizeof prefix - 1);
  std::memcpy(out + sizeof prefix - 1, name, n);
  out[sizeof prefix - 1 + n] = '\0';
  return true;
}

}  // namespace

int TrackSharedObject(int fd, const char* posixName) {
  const int slot = Claim(g_objects, posixName);
  if (slot < 0) return -1;
  g_objects[slot].fd = fd;
  g_objects[slot].state.store(2);
  return slot;
}

void UntrackSharedObject(int slot) { Release(g_objects, slot); }

int RegisterCrashFile(const char* path) {
  const int slot = Claim(g_files, path);
  if (slot >= 0) g_files[slot].state.store(2);
  return slot;
}

void UnregisterCrashFile(int slot) { Release(g_files, slot); }

void CleanUpAfterCrash() {
  const pid_t self = getpid();
  // Our own shared locks go first: another handle of ours on the same object
  // must not count as a holder.
  for (Slot& s : g_objects)
    if (s.state.load() == 2 && s.owner == self) flock(s.fd, LOCK_UN);
  for (Slot& s : g_objects) {
    if (s.state.load() != 2 || s.owner != self) continue;
    char path[kCrashCleanupPathBytes + 16];
    struct stat mine {
    }, named{};
    if (!ShmPath(s.path, path) || fstat(s.fd, &mine) != 0 || stat(path, &named) != 0) continue;
    if (mine.st_dev != named.st_dev || mine.st_ino != named.st_ino) continue;
    if (flock(s.fd, LOCK_EX | LOCK_NB) == 0) unlink(path);  // nobody else holds it
  }
  for (Slot& s : g_files) {
    if (s.state.load() != 2 || s.owner != self) continue;
    struct stat st {};
    if (lstat(s.path, &st) == 0 && S_ISREG(st.st_mode)) unlink(s.path);
  }
}
