// Named kernel objects shared between processes: memory, mutexes and events.
//
// Each object is a POSIX shared-memory object in a per-user namespace. Every open
// handle holds a shared flock on its object; the last handle to close unlinks it,
// and an object found with no holder (left by a crash) is removed and made anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The value of TRIVOX_SHM_NAMESPACE when set, else "trivox-<uid>-<token>": the
// token is the user's own random one, kept in a private file
// ($XDG_RUNTIME_DIR/trivox-shm-namespace, else <settings folder>/shm-namespace),
// so that other users cannot guess the names. "trivox-<uid>" when neither
// place can hold it.
std::string ShmNamespace();

// Why the last SharedMemory::Open of this thread refused an object it found
// under its name (someone else's, open to others, not a shared-memory
// object); empty when it refused none. The reason is printed on stderr too.
const std::string& SharedMemoryRefusal();

// Removes the objects of this namespace that belong to this user and that no
// process holds: leftovers of processes that were killed. Returns how many.
int RemoveLeftoverObjects();

// The names of the objects of this namespace whose names begin with prefix
// (names shortened with a hash are not listed), sorted.
std::vector<std::string> NamedObjectsWithPrefix(const std::string& prefix);

// The POSIX name of a named object: "/" + namespace + "." + object name, with '/'
// and '%' escaped; names too long for the system are shortened with a hash.
std::string PosixShmName(const std::string& objectName);

// One mapped shared-memory object. Objects are created exclusively with mode
// 0600; an existing one is used only when it is this user's with mode 0600,
// else the open fails (see SharedMemoryRefusal). One that nobody holds is a
// leftover: it is removed, never reused.
class SharedMemory {
 public:
  enum class Mode { OpenOrCreate, OpenExisting, CreateFresh };

  SharedMemory() = default;
  ~SharedMemory() { Close(); }
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;

  // OpenOrCreate: opens the object of that name, or creates it with `size`
  // zero-filled bytes (then `onCreate` runs on the fresh view before any other
  // process can use it). An existing object keeps its own size.
  // OpenExisting: opens the object only when it exists (size is ignored).
  // CreateFresh: always creates a new zero-filled object under the name; holders
  // of an older object of that name keep theirs, cut off from the name.
  bool Open(const std::string& objectName, size_t size, Mode mode,
            const std::function<void(void*, size_t)>& onCreate = {});
  void Close();

  void* View() const { return view_; }
  size_t Size() const { return size_; }
  bool IsOpen() const { return view_ != nullptr; }
  // True when this handle created the object.
  bool Created() const { return created_; }

  // Whether an object of that name exists now with at least one holder, or
  // is one that Open refuses (a name taken all the same).
  static bool Exists(const std::string& objectName);
  // Removes the object of that name when it is this user's and nobody holds
  // it (a leftover of a process that died). True when it was removed.
  static bool RemoveIfUnheld(const std::string& objectName);

 private:
  // Takes over an open, locked and mapped object.
  void Adopt(int fd, void* view, size_t size, bool created, const std::string& posixName);

  int fd_ = -1;
  void* view_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
  int cleanupSlot_ = -1;  // crash clean-up registration
  std::string posixName_;
};

// A robust, recursive, process-shared mutex in a small shared object of its own.
// A holder that dies releases it: the next waiter gets it as abandoned.
class NamedMutex {
 public:
  enum class LockResult { Acquired, Abandoned, Timeout, Failed };
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  NamedMutex() = default;
  ~NamedMutex() { Close(); }
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  NamedMutex(NamedMutex&&) noexcept = default;
  NamedMutex& operator=(NamedMutex&&) noexcept = default;

  // mode as for SharedMemory (OpenExisting: fails when nobody holds the mutex).
  bool Open(const std::string& objectName, SharedMemory::Mode mode = SharedMemory::Mode::OpenOrCreate);
  void Close() { mem_.Close(); }
  bool IsOpen() const { return mem_.IsOpen(); }

  // Waits up to `timeoutMs` (kInfinite: no time-out).
  LockResult Lock(uint32_t timeoutMs = kInfinite);
  bool Unlock();

 private:
  SharedMemory mem_;
};

// Locks a NamedMutex for a scope; an abandoned mutex counts as acquired.
class NamedMutexLock {
 public:
  explicit NamedMutexLock(NamedMutex& m) : m_(m) {
    auto r = m_.Lock();
    held_ = r == NamedMutex::LockResult::Acquired || r == NamedMutex::LockResult::Abandoned;
  }
  ~NamedMutexLock() {
    if (held_) m_.Unlock();
  }
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;
  bool Held() const { return held_; }

 private:
  NamedMutex& m_;
  bool held_ = false;
};

// An event as a futex word in shared memory. Auto-reset events release one
// waiter per Set and clear themselves; manual-reset events stay set until Reset.
// The kind is fixed by whoever creates the event.
class NamedEvent {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  NamedEvent() = default;
  ~NamedEvent() { Close(); }
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  // mode as for SharedMemory; an existing event keeps its kind and state.
  bool Open(const std::string& objectName, bool manualReset, bool initialState,
            SharedMemory::Mode mode = SharedMemory::Mode::OpenOrCreate);
  void Close() { mem_.Close(); }
  bool IsOpen() const { return mem_.IsOpen(); }

  bool Set();
  bool Reset();
  // True when signalled within `timeoutMs`, false on time-out or error.
  bool Wait(uint32_t timeoutMs = kInfinite);

 private:
  SharedMemory mem_;
};
