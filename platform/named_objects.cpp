#include "platform/named_objects.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/crash_cleanup.h"

namespace {

constexpr size_t kMaxPosixName = 200;  // well under NAME_MAX (255)

uint64_t Fnv1a64(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

int FlockRetry(int fd, int op) {
  int r;
  do {
    r = flock(fd, op);
  } while (r != 0 && errno == EINTR);
  return r;
}

// True while the name still refers to the object open on fd.
bool NameRefersTo(int fd, const std::string& posixName) {
  struct stat a {
  }, b{};
  if (fstat(fd, &a) != 0) return false;
  std::string path = "/dev/shm" + posixName;
  if (stat(path.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void BackOff(int attempt) {
  if (attempt < 4)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

}  // namespace

std::string ShmNamespace() {
  const char* env = getenv("TRIVOX_SHM_NAMESPACE");
  if (env && *env) return env;
  return "trivox-" + std::to_string(static_cast<unsigned>(getuid()));
}

std::string PosixShmName(const std::string& objectName) {
  std::string full = ShmNamespace() + "." + objectName;
  std::string escaped;
  escaped.reserve(full.size());
  for (char c : full) {
    if (c == '/')
      escaped += "%2F";
    else if (c == '%')
      escaped += "%25";
    else
      escaped += c;
  }
  if (escaped.size() > kMaxPosixName) {
    char hash[24];
    snprintf(hash, sizeof(hash), "~%016llx", static_cast<unsigned long long>(Fnv1a64(full)));
    escaped.resize(kMaxPosixName - 17);
    escaped += hash;
  }
  return "/" + escaped;
}

// ---------------------------------------------------------------- SharedMemory

SharedMemory::SharedMemory(SharedMemory&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)),
      view_(std::exchange(o.view_, nullptr)),
      size_(std::exchange(o.size_, 0)),
      created_(std::exchange(o.created_, false)),
      cleanupSlot_(std::exchange(o.cleanupSlot_, -1)),
      posixName_(std::move(o.posixName_)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = std::exchange(o.fd_, -1);
    view_ = std::exchange(o.view_, nullptr);
    size_ = std::exchange(o.size_, 0);
    created_ = std::exchange(o.created_, false);
    cleanupSlot_ = std::exchange(o.cleanupSlot_, -1);
    posixName_ = std::move(o.posixName_);
  }
  return *this;
}

bool SharedMemory::Open(const std::string& objectName, size_t size, Mode mode,
                        const std::function<void(void*, size_t)>& onCreate) {
  Close();
  if (mode != Mode::OpenExisting && size == 0) return false;
  const std::string name = PosixShmName(objectName);

  for (int attempt = 0; attempt < 2000; ++attempt) {
    int flags = O_RDWR | O_CLOEXEC | (mode == Mode::OpenExisting ? 0 : O_CREAT);
    int fd = shm_open(name.c_str(), flags, 0600);
    if (fd < 0) return false;

    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
      // No other holder: a fresh object, or one left behind by a crash.
      if (!NameRefersTo(fd, name)) {
        close(fd);
        BackOff(attempt);
        continue;
      }
      if (mode == Mode::OpenExisting) {
        // Nobody holds it, so as a named object it no longer exists.
        shm_unlink(name.c_str());
        close(fd);
        return false;
      }
      if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        shm_unlink(name.c_str());  // no holder may find an object of the wrong size
        close(fd);
        return false;
      }
      void* v = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (v == MAP_FAILED) {
        shm_unlink(name.c_str());
        close(fd);
        return false;
      }
      if (onCreate) onCreate(v, size);
      FlockRetry(fd, LOCK_SH);
      fd_ = fd;
      view_ = v;
      size_ = size;
      created_ = true;
      posixName_ = name;
      cleanupSlot_ = TrackSharedObject(fd_, posixName_.c_str());
      return true;
    }

    if (mode == Mode::CreateFresh) {
      // Held by others: cut their object off from the name and start a new one.
      if (NameRefersTo(fd, name)) shm_unlink(name.c_str());
      close(fd);
      continue;
    }

    // Others hold it: wait out any initialiser, then join.
    if (FlockRetry(fd, LOCK_SH) != 0) {
      close(fd);
      return false;
    }
    struct stat st {};
    if (!NameRefersTo(fd, name) || fstat(fd, &st) != 0 || st.st_size <= 0) {
      // Unlinked by its last closer, or not initialised yet: start again.
      close(fd);
      BackOff(attempt);
      continue;
    }
    size_t existing = static_cast<size_t>(st.st_size);
    void* v = mmap(nullptr, existing, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (v == MAP_FAILED) {
      close(fd);
      return false;
    }
    fd_ = fd;
    view_ = v;
    size_ = existing;
    created_ = false;
    posixName_ = name;
    cleanupSlot_ = TrackSharedObject(fd_, posixName_.c_str());
    return true;
  }
  return false;
}

void SharedMemory::Close() {
  // Untracked before the descriptor can be reused.
  UntrackSharedObject(cleanupSlot_);
  cleanupSlot_ = -1;
  if (view_) munmap(view_, size_);
  view_ = nullptr;
  size_ = 0;
  created_ = false;
  if (fd_ >= 0) {
    // The last holder removes the name.
    if (FlockRetry(fd_, LOCK_EX | LOCK_NB) == 0 && NameRefersTo(fd_, posixName_)) shm_unlink(posixName_.c_str());
    close(fd_);
    fd_ = -1;
  }
  posixName_.clear();
}

bool SharedMemory::Exists(const std::string& objectName) {
  const std::string name = PosixShmName(objectName);
  int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  // Held by someone (shared by users, or exclusively by its initialiser).
  bool held = FlockRetry(fd, LOCK_SH | LOCK_NB) != 0;
  if (!held) {
    // We got a shared lock: held when an exclusive one is refused.
    held = FlockRetry(fd, LOCK_EX | LOCK_NB) != 0;
  }
  close(fd);
  return held;
}

bool SharedMemory::RemoveIfUnheld(const std::string& objectName) {
  const std::string name = PosixShmName(objectName);
  int fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  bool removed = false;
  if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0 && NameRefersTo(fd, name)) removed = shm_unlink(name.c_str()) == 0;
  close(fd);
  return removed;
}

std::vector<std::string> NamedObjectsWithPrefix(const std::string& prefix) {
  // The escaped form of "namespace.prefix" is what the files' names begin with.
  const std::string head = PosixShmName(prefix).substr(1);
  std::vector<std::string> names;
  if (head.find('~') != std::string::npos) return names;  // a shortened prefix lists nothing
  const std::string space = ShmNamespace() + ".";
  DIR* dir = opendir("/dev/shm");
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    const std::string file = entry->d_name;
    if (file.compare(0, head.size(), head) != 0) continue;
    // Undo the escapes; a shortened name cannot be undone.
    std::string plain;
    bool whole = true;
    for (size_t i = 0; i < file.size(); ++i) {
      if (file.compare(i, 3, "%2F") == 0) {
        plain += '/';
        i += 2;
      } else if (file.compare(i, 3, "%25") == 0) {
        plain += '%';
        i += 2;
      } else {
        plain += file[i];
      }
    }
    if (plain.compare(0, space.size(), space) != 0 || PosixShmName(plain.substr(space.size())) != "/" + file)
      whole = false;
    if (whole) names.push_back(plain.substr(space.size()));
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// ------------------------------------------------------------------ NamedMutex

namespace {

struct MutexCell {
  pthread_mutex_t mutex;
};

void InitMutexCell(void* view, size_t) {
  auto* cell = static_cast<MutexCell*>(view);
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&cell->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
}

}  // namespace

bool NamedMutex::Open(const std::string& objectName, SharedMemory::Mode mode) {
  if (!mem_.Open(objectName, sizeof(MutexCell), mode, InitMutexCell)) return false;
  if (mem_.Size() < sizeof(MutexCell)) {
    mem_.Close();
    return false;
  }
  return true;
}

NamedMutex::LockResult NamedMutex::Lock(uint32_t timeoutMs) {
  if (!mem_.IsOpen()) return LockResult::Failed;
  auto* cell = static_cast<MutexCell*>(mem_.View());
  int r;
  if (timeoutMs == kInfinite) {
    r = pthread_mutex_lock(&cell->mutex);
  } else {
    // Finite waits poll trylock, which (unlike timedlock) reports an abandoned
    // mutex the same way to every tool that watches lock ownership.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int spins = 0;; ++spins) {
      r = pthread_mutex_trylock(&cell->mutex);
      if (r != EBUSY) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        r = ETIMEDOUT;
        break;
      }
      if (spins < 16)
        std::this_thread::yield();
      else
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  switch (r) {
    case 0:
      return LockResult::Acquired;
    case EOWNERDEAD:
      pthread_mutex_consistent(&cell->mutex);
      return LockResult::Abandoned;
    case ETIMEDOUT:
      return LockResult::Timeout;
    default:
      return LockResult::Failed;
  }
}

bool NamedMutex::Unlock() {
  if (!mem_.IsOpen()) return false;
  return pthread_mutex_unlock(&static_cast<MutexCell*>(mem_.View())->mutex) == 0;
}

// ------------------------------------------------------------------ NamedEvent

namespace {

struct EventCell {
  uint32_t state;   // 1 = signalled
  uint32_t manual;  // 1 = manual reset
};

long Futex(uint32_t* word, int op, uint32_t val, const timespec* timeout) {
  return syscall(SYS_futex, word, op, val, timeout, nullptr, 0);
}

}  // namespace

bool NamedEvent::Open(const std::string& objectName, bool manualReset, bool initialState, SharedMemory::Mode mode) {
  auto init = [&](void* view, size_t) {
    auto* cell = static_cast<EventCell*>(view);
    cell->manual = manualReset ? 1 : 0;
    cell->state = initialState ? 1 : 0;
  };
  if (!mem_.Open(objectName, sizeof(EventCell), mode, init)) return false;
  if (mem_.Size() < sizeof(EventCell)) {
    mem_.Close();
    return false;
  }
  return true;
}

bool NamedEvent::Set() {
  if (!mem_.IsOpen()) return false;
  auto* cell = static_cast<EventCell*>(mem_.View());
  std::atomic_ref<uint32_t>(cell->state).store(1);
  bool manual = std::atomic_ref<uint32_t>(cell->manual).load() != 0;
  Futex(&cell->state, FUTEX_WAKE, manual ? INT_MAX : 1, nullptr);
  return true;
}

bool NamedEvent::Reset() {
  if (!mem_.IsOpen()) return false;
  auto* cell = static_cast<EventCell*>(mem_.View());
  std::atomic_ref<uint32_t>(cell->state).store(0);
  return true;
}

bool NamedEvent::Wait(uint32_t timeoutMs) {
  if (!mem_.IsOpen()) return false;
  auto* cell = static_cast<EventCell*>(mem_.View());
  std::atomic_ref<uint32_t> state(cell->state);
  const bool manual = std::atomic_ref<uint32_t>(cell->manual).load() != 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (manual) {
      if (state.load() == 1) return true;
    } else {
      uint32_t expected = 1;
      if (state.compare_exchange_strong(expected, 0)) return true;
    }
    if (timeoutMs == kInfinite) {
      Futex(&cell->state, FUTEX_WAIT, 0, nullptr);
      continue;
    }
    auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds(0)) return false;
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    Futex(&cell->state, FUTEX_WAIT, 0, &ts);
  }
}
