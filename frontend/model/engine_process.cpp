#include "frontend/model/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/program_folder.h"
#include "platform/result_channel.h"

extern char** environ;

namespace {

constexpr int kResultFd = 3;
constexpr char kResultFdEntry[] = "TRIVOX_RESULT_FD=3";
constexpr char kOutputVariable[] = "TRIVOX_ENGINE_OUTPUT";
constexpr int kPollStepMs = 10;

std::mutex& ConfigLock() {
  static std::mutex lock;
  return lock;
}
std::string& ConfiguredProgram() {
  static std::string path;
  return path;
}
// -1: from the environment; 0 / 1: set.
int& ConfiguredOutput() {
  static int shown = -1;
  return shown;
}

// The engine's environment: ours, with the result descriptor named.
std::vector<std::string> EngineEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, "TRIVOX_RESULT_FD=", 17) != 0) env.emplace_back(*e);
  env.emplace_back(kResultFdEntry);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#else
  (void)pid;
#endif
  return -1;
}

// Resets what the engine must not inherit of this process's signal state.
void SetDefaultSignals(posix_spawnattr_t& attr) {
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  // Its own process group: a terminal's Ctrl-C reaches the front end, which
  // asks the engine to stop through the control block.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
}

}  // namespace

void SetEngineProgram(const std::string& path) {
  std::lock_guard<std::mutex> lock(ConfigLock());
  ConfiguredProgram() = path;
}

std::string EngineProgram() {
  {
    std::lock_guard<std::mutex> lock(ConfigLock());
    if (!ConfiguredProgram().empty()) return ConfiguredProgram();
  }
  return BesideProgram("trivox_free");
}

void SetEngineOutputShown(bool shown) {
  std::lock_guard<std::mutex> lock(ConfigLock());
  ConfiguredOutput() = shown ? 1 : 0;
}

bool EngineOutputShown() {
  {
    std::lock_guard<std::mutex> lock(ConfigLock());
    if (ConfiguredOutput() >= 0) return ConfiguredOutput() == 1;
  }
  const char* value = std::getenv(kOutputVariable);
  return value && *value && std::strcmp(value, "0") != 0;
}

uint32_t NewToolWindowId() {
  static std::atomic<uint32_t> counter{0};
  uint32_t n = ++counter & 0xFFu;
  if (n == 0) n = ++counter & 0xFFu;
  return ((static_cast<uint32_t>(getpid()) & 0xFFFFFFu) << 8) | n;
}

EngineProcess::~EngineProcess() {
  std::lock_guard<std::mutex> lock(lock_);
  if (pid_ > 0 && !reaped_ && !ReapLocked(false)) {
    // Still running: nobody waits for it any more, so it is reaped where it ends.
    const pid_t pid = pid_;
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
  if (pidFd_ >= 0) close(pidFd_);
  if (resultFd_ >= 0) close(resultFd_);
}

bool EngineProcess::Start(const std::vector<std::string>& args, std::string& error) {
  std::lock_guard<std::mutex> lock(lock_);
  if (pid_ > 0) {
    error = "the engine process was started already";
    return false;
  }
  const std::string program = EngineProgram();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot make the result pipe: ") + std::strerror(errno);
    return false;
  }
  // Above the standard descriptors, so that moving it to 3 never meets itself.
  const int writeEnd = fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
  close(fds[1]);
  if (writeEnd < 0) {
    error = std::string("cannot make the result pipe: ") + std::strerror(errno);
    close(fds[0]);
    return false;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeEnd, kResultFd);
  if (!EngineOutputShown()) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  SetDefaultSignals(attr);

  std::vector<std::string> argStrings;
  argStrings.push_back(program);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv = Pointers(argStrings);
  std::vector<std::string> envStrings = EngineEnvironment();
  std::vector<char*> envp = Pointers(envStrings);

  pid_t pid = -1;
  const int spawnError = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(writeEnd);
  if (spawnError != 0) {
    close(fds[0]);
    error = "cannot start the engine \"" + program + "\": " + std::strerror(spawnError);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  pid_ = pid;
  resultFd_ = fds[0];
  pidFd_ = OpenPidFd(pid);
  return true;
}

bool EngineProcess::ReapLocked(bool block) {
  if (reaped_) return true;
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return false;
  reaped_ = true;
  if (done < 0) {
    // Reaped by someone else (SIGCHLD ignored): ended, code unknown.
    lost_ = true;
    code_ = kEngineSignalledCode;
    return true;
  }
  status_ = status;
  ReadResultLocked();
  if (killSent_ && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
    code_ = killCode_;
  } else if (resultBytes_.size() == 4) {
    code_ = static_cast<HRESULT>(resultBytes_[0] | resultBytes_[1] << 8 | resultBytes_[2] << 16 |
                                 static_cast<uint32_t>(resultBytes_[3]) << 24);
  } else if (WIFSIGNALED(status)) {
    const HRESULT fault = FaultCodeForSignal(WTERMSIG(status));
    code_ = fault ? fault : kEngineSignalledCode;
  } else {
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : kEngineSignalledCode;
  }
  return true;
}

void EngineProcess::ReadResultLocked() {
  if (resultFd_ < 0) return;
  uint8_t bytes[8];
  for (;;) {
    const ssize_t n = read(resultFd_, bytes, sizeof(bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    resultBytes_.insert(resultBytes_.end(), bytes, bytes + n);
  }
  // Only a whole first report counts.
  if (resultBytes_.size() > 4) resultBytes_.resize(4);
}

EngineExitState EngineProcess::Poll(HRESULT* code) {
  std::lock_guard<std::mutex> lock(lock_);
  if (pid_ <= 0) return EngineExitState::kUnknown;
  if (!ReapLocked(false)) return EngineExitState::kRunning;
  if (lost_) return EngineExitState::kUnknown;
  if (code) *code = code_;
  return EngineExitState::kEnded;
}

bool EngineProcess::WaitFor(uint32_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      if (pid_ <= 0) return false;
      if (ReapLocked(false)) return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    const int step = static_cast<int>(std::min<long long>(left, pidFd_ >= 0 ? 1000 : kPollStepMs));
    if (pidFd_ >= 0) {
      pollfd p{pidFd_, POLLIN, 0};
      poll(&p, 1, step);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
  }
}

bool EngineProcess::Kill(HRESULT code) {
  std::lock_guard<std::mutex> lock(lock_);
  if (pid_ <= 0 || ReapLocked(false)) return false;
  killSent_ = true;
  killCode_ = code;
  kill(pid_, SIGKILL);
  ReapLocked(true);
  return true;
}
