#include "platform/named_objects.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
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
#include <mutex>
#include <thread>
#include <utility>

#include "platform/crash_cleanup.h"
#include "platform/diagnostics.h"
#include "platform/user_folders.h"

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

thread_local std::string t_refusal;

std::string OwnerText(const struct stat& st) {
  char text[64];
  snprintf(text, sizeof(text), "owner uid %u, mode %04o", static_cast<unsigned>(st.st_uid),
           static_cast<unsigned>(st.st_mode & 07777));
  return text;
}

// Records and prints why an object found under a name is not used.
void Refuse(const std::string& posixName, const std::string& why) {
  t_refusal = "shared-memory object \"" + posixName + "\" refused: " + why;
  Diag(DiagLevel::kWarning, "%s", t_refusal.c_str());
}

// Only our own objects, open to nobody else, are used.
bool CheckOwnObject(int fd, const std::string& posixName) {
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    Refuse(posixName, std::string("cannot stat it: ") + strerror(errno));
    return false;
  }
  if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    char expected[48];
    snprintf(expected, sizeof(expected), " (expected uid %u, mode 0600)", static_cast<unsigned>(geteuid()));
    Refuse(posixName, (S_ISREG(st.st_mode) ? "" : "not a shared-memory object, ") + OwnerText(st) + expected);
    return false;
  }
  return true;
}

// Why an existing object could not be opened at all.
void RefuseUnopenable(const std::string& posixName, int error) {
  struct stat st {};
  std::string path = "/dev/shm" + posixName;
  std::string why = strerror(error);
  if (lstat(path.c_str(), &st) == 0) why += ", " + OwnerText(st);
  Refuse(posixName, why);
}

// The per-user secret part of the default namespace, kept in a private file:
// $XDG_RUNTIME_DIR/trivox-shm-namespace, else <settings folder>/shm-namespace.
// Empty when neither place can hold it.
bool PrivateDirectory(const std::string& dir) {
  struct stat st {};
  return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

std::string ReadToken(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st {};
  char text[33] = {};
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0)
    n = read(fd, text, 32);
  close(fd);
  if (n != 32) return {};
  for (char c : std::string(text, 32))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
  return std::string(text, 32);
}

std::string MakeToken(const std::string& dir, const std::string& file) {
  const std::string path = dir + "/" + file;
  std::string token = ReadToken(path);
  if (!token.empty()) return token;
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof(bytes), 0) != static_cast<ssize_t>(sizeof(bytes))) return {};
  char text[33];
  for (int i = 0; i < 16; ++i) snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  // Written whole under a private name, then linked in: a reader never sees half a token.
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  bool written = fchmod(fd, 0600) == 0 && write(fd, text, 32) == 32;
  written = close(fd) == 0 && written;
  if (written) link(temp.c_str(), path.c_str());  // the first one linked wins
  unlink(temp.c_str());
  return ReadToken(path);
}

// Makes the settings folder's last two levels when missing (never the home).
bool MakeSettingsFolder(const std::string& dir) {
  const size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) mkdir(dir.substr(0, slash).c_str(), 0700);
  mkdir(dir.c_str(), 0700);
  return PrivateDirectory(dir);
}

std::string NamespaceToken() {
  static std::mutex lock;
  static std::string token;
  static bool tried = false;
  std::lock_guard<std::mutex> guard(lock);
  if (tried) return token;
  tried = true;
  const UserFolders folders = ResolveUserFolders(CurrentUserFolderEnv());
  if (!folders.runtime.empty() && PrivateDirectory(folders.runtime))
    token = MakeToken(folders.runtime, "trivox-shm-namespace");
  if (!token.empty()) return token;
  const std::string& settings = folders.config;
  if (!settings.empty() && MakeSettingsFolder(settings)) token = MakeToken(settings, "shm-namespace");
  return token;
}

}  // namespace

std::string ShmNamespace() {
  const char* env = getenv("TRIVOX_SHM_NAMESPACE");
  if (env && *env) return env;
  std::string ns = "trivox-" + std::to_string(static_cast<unsigned>(getuid()));
  const std::string token = NamespaceToken();
  return token.empty() ? ns : ns + "-" + token;
}

const std::string& SharedMemoryRefusal() { return t_refusal; }

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

void SharedMemory::Adopt(int fd, void* view, size_t size, bool created, const std::string& posixName) {
  fd_ = fd;
  view_ = view;
  size_ = size;
  created_ = created;
  posixName_ = posixName;
  cleanupSlot_ = TrackSharedObject(fd_, posixName_.c_str());
}

bool SharedMemory::Open(const std::string& objectName, size_t size, Mode mode,
                        const std::function<void(void*, size_t)>& onCreate) {
  Close();
  t_refusal.clear();
  if (mode != Mode::OpenExisting && size == 0) return false;
  const std::string name = PosixShmName(objectName);

  for (int attempt = 0; attempt < 2000; ++attempt) {
    if (attempt > 0) BackOff(attempt);
    if (mode != Mode::OpenExisting) {
      int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        // A new object of ours; the mode is set again in case the umask took bits away.
        if (fchmod(fd, 0600) != 0 || FlockRetry(fd, LOCK_EX) != 0) {
          if (NameRefersTo(fd, name)) shm_unlink(name.c_str());
          close(fd);
          return false;
        }
        if (!NameRefersTo(fd, name)) {
          close(fd);  // taken for a leftover before we locked it: start again
          continue;
        }
        void* v = MAP_FAILED;
        if (ftruncate(fd, static_cast<off_t>(size)) == 0)
          v = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (v == MAP_FAILED) {
          shm_unlink(name.c_str());  // no holder may find an object of the wrong size
          close(fd);
          return false;
        }
        if (onCreate) onCreate(v, size);
        FlockRetry(fd, LOCK_SH);
        Adopt(fd, v, size, true, name);
        return true;
      }
      if (errno != EEXIST) return false;
    }

    // The name exists: a live object to join, a leftover, or someone else's.
    int fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
      if (errno != ENOENT) {
        RefuseUnopenable(name, errno);
        return false;
      }
      if (mode == Mode::OpenExisting) return false;
      continue;  // removed in between
    }
    if (!CheckOwnObject(fd, name)) {
      close(fd);
      return false;
    }

    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
      // No holder: left behind by a process that died (or being made this
      // instant, whose maker then starts again). Never reused: removed.
      if (NameRefersTo(fd, name)) shm_unlink(name.c_str());
      close(fd);
      if (mode == Mode::OpenExisting) return false;
      continue;
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
      continue;
    }
    size_t existing = static_cast<size_t>(st.st_size);
    void* v = mmap(nullptr, existing, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (v == MAP_FAILED) {
      close(fd);
      return false;
    }
    Adopt(fd, v, existing, false, name);
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
  // A name we cannot open, or an object we would refuse, is taken all the same.
  if (fd < 0) return errno != ENOENT;
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    close(fd);
    return true;
  }
  // Held by someone (shared by users, or exclusively by its initialiser).
  bool held = FlockRetry(fd, LOCK_SH | LOCK_NB) != 0;
  if (!held) {
    // We got a shared lock: held when an exclusive one is refused.
    held = FlockRetry(fd, LOCK_EX | LOCK_NB) != 0;
  }
  close(fd);
  return held;
}

namespace {

// Unlinks the object under posixName when it is ours and nobody holds it.
bool RemoveOwnUnheld(const std::string& posixName) {
  int fd = shm_open(posixName.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st {};
  bool removed = false;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && FlockRetry(fd, LOCK_EX | LOCK_NB) == 0 &&
      NameRefersTo(fd, posixName))
    removed = shm_unlink(posixName.c_str()) == 0;
  close(fd);
  return removed;
}

}  // namespace

bool SharedMemory::RemoveIfUnheld(const std::string& objectName) { return RemoveOwnUnheld(PosixShmName(objectName)); }

int RemoveLeftoverObjects() {
  // Every object name of the namespace begins with the escaped "namespace.".
  const std::string head = PosixShmName("").substr(1);
  if (head.find('~') != std::string::npos) return 0;
  std::vector<std::string> names;
  if (DIR* dir = opendir("/dev/shm")) {
    while (dirent* entry = readdir(dir))
      if (strncmp(entry->d_name, head.c_str(), head.size()) == 0) names.push_back(std::string("/") + entry->d_name);
    closedir(dir);
  }
  int removed = 0;
  for (const std::string& name : names)
    if (RemoveOwnUnheld(name)) ++removed;
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
