// What a process that dies on a fatal signal removes on its way out: the
// shared-memory objects it has open that no other process holds (as a last
// close would), and files it registered while writing them (temporary
// outputs). Registration is cheap and thread-safe; the clean-up itself is
// async-signal-safe and runs from the fault handler.
#pragma once

// Slots are fixed; registering beyond them only loses the clean-up.
constexpr int kCrashCleanupSlots = 256;
constexpr int kCrashCleanupPathBytes = 512;

// A shared-memory object open on fd under its POSIX name ("/ns.name").
// Returns the slot to release, or -1 when none was free.
int TrackSharedObject(int fd, const char* posixName);
void UntrackSharedObject(int slot);

// A file (a name of the process's own, such as a temporary output) to remove
// when the process dies before it unregisters it; it may be registered
// before it is created.
int RegisterCrashFile(const char* path);
void UnregisterCrashFile(int slot);

// Removes what is registered (async-signal-safe). Objects another process
// holds stay; registered paths are removed when they are regular files.
void CleanUpAfterCrash();
