#include "platform/result_channel.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/crash_cleanup.h"

namespace {

constexpr size_t kFaultStackBytes = 64 * 1024;

std::atomic<bool> g_reported{false};
std::atomic<int> g_resultFd{-2};  // -2: not read yet, -1: none
std::atomic<int> g_stopSignals{0};

// Async-signal-safe; a failed write (EPIPE: the reader has gone) gives up.
void WriteAll(int fd, const void* data, size_t length) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    ssize_t n = write(fd, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    length -= static_cast<size_t>(n);
  }
}

// A non-negative descriptor number, or -1.
int ParseFd(const char* text) {
  if (!text || !*text) return -1;
  long fd = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return -1;
    fd = fd * 10 + (*p - '0');
    if (fd > 1000000) return -1;
  }
  return static_cast<int>(fd);
}

void ReadResultFd() {
  int expected = -2;
  g_resultFd.compare_exchange_strong(expected, ParseFd(getenv("TRIVOX_RESULT_FD")));
}

// Async-signal-safe: no stdio, no environment.
void WriteResult(HRESULT result) {
  if (g_reported.exchange(true)) return;
  uint32_t code = static_cast<uint32_t>(result);
  const int fd = g_resultFd.load();
  if (fd >= 0) {
    unsigned char bytes[4] = {static_cast<unsigned char>(code), static_cast<unsigned char>(code >> 8),
                              static_cast<unsigned char>(code >> 16), static_cast<unsigned char>(code >> 24)};
    WriteAll(fd, bytes, sizeof(bytes));
  }
  static const char kHex[] = "0123456789ABCDEF";
  char line[] = "RESULT=00000000\n";
  for (int i = 0; i < 8; ++i) line[7 + i] = kHex[(code >> (28 - 4 * i)) & 0xF];
  WriteAll(STDOUT_FILENO, line, sizeof(line) - 1);
}

[[noreturn]] void DieWithResult(HRESULT code) {
  CleanUpAfterCrash();
  WriteResult(code);
  _exit(ExitStatusForResult(code));
}

void FaultHandler(int signal) { DieWithResult(FaultCodeForSignal(signal)); }

void StopHandler(int) {
  if (g_stopSignals.fetch_add(1) > 0) DieWithResult(STATUS_CONTROL_C_EXIT);
}

struct FaultStack {
  void* memory = nullptr;
  ~FaultStack() {
    if (!memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    std::free(memory);
  }
};

thread_local FaultStack t_faultStack;

}  // namespace

int ExitStatusForResult(HRESULT result) {
  if (result == 0) return 0;
  int low = static_cast<int>(static_cast<uint32_t>(result) & 0xFFu);
  return low == 0 ? 255 : low;
}

void ReportResult(HRESULT result) {
  if (g_reported.load()) return;
  ReadResultFd();
  std::fflush(stdout);
  WriteResult(result);
}

void ExitWithResult(HRESULT result) {
  std::fflush(nullptr);
  ReportResult(result);
  _exit(ExitStatusForResult(result));
}

HRESULT FaultCodeForSignal(int signal) {
  switch (signal) {
    case SIGSEGV:
    case SIGBUS:
      return STATUS_ACCESS_VIOLATION;
    case SIGFPE:
      return STATUS_INTEGER_DIVIDE_BY_ZERO;
    case SIGILL:
      return STATUS_ILLEGAL_INSTRUCTION;
    case SIGABRT:
      return STATUS_STACK_BUFFER_OVERRUN;
    default:
      return 0;
  }
}

void UseFaultStackOnThisThread() {
  if (t_faultStack.memory) return;
  void* memory = std::malloc(kFaultStackBytes);
  if (!memory) return;
  stack_t ss{};
  ss.ss_sp = memory;
  ss.ss_size = kFaultStackBytes;
  if (sigaltstack(&ss, nullptr) != 0) {
    std::free(memory);
    return;
  }
  t_faultStack.memory = memory;
}

void InstallFaultHandler() {
  ReadResultFd();
  signal(SIGPIPE, SIG_IGN);
  UseFaultStackOnThisThread();
  struct sigaction action {};
  action.sa_handler = FaultHandler;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(signal, &action, nullptr);
}

void InstallStopSignals() {
  ReadResultFd();
  struct sigaction action {};
  action.sa_handler = StopHandler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT}) sigaction(signal, &action, nullptr);
}

bool StopSignalled() { return g_stopSignals.load() > 0; }
