#include "platform/result_channel.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool> g_reported{false};

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

// Parses a non-negative descriptor number without locale or allocation.
int ResultFd() {
  const char* text = getenv("TRIVOX_RESULT_FD");
  if (!text || !*text) return -1;
  long fd = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return -1;
    fd = fd * 10 + (*p - '0');
    if (fd > 1000000) return -1;
  }
  return static_cast<int>(fd);
}

// Async-signal-safe: no stdio.
void WriteResult(HRESULT result) {
  if (g_reported.exchange(true)) return;
  uint32_t code = static_cast<uint32_t>(result);
  int fd = ResultFd();
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

void FaultHandler(int signal) {
  HRESULT code = FaultCodeForSignal(signal);
  WriteResult(code);
  _exit(ExitStatusForResult(code));
}

}  // namespace

int ExitStatusForResult(HRESULT result) {
  if (result == 0) return 0;
  int low = static_cast<int>(static_cast<uint32_t>(result) & 0xFFu);
  return low == 0 ? 255 : low;
}

void ReportResult(HRESULT result) {
  if (g_reported.load()) return;
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
    default:
      return 0;
  }
}

void InstallFaultHandler() {
  // An alternate stack lets a stack overflow still be reported.
  static char* altStack = nullptr;
  if (!altStack) {
    size_t size = 64 * 1024;
    altStack = static_cast<char*>(std::malloc(size));
    if (altStack) {
      stack_t ss{};
      ss.ss_sp = altStack;
      ss.ss_size = size;
      sigaltstack(&ss, nullptr);
    }
  }
  struct sigaction action {};
  action.sa_handler = FaultHandler;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(signal, &action, nullptr);
}
