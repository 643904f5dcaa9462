#include "platform/result_channel.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/crash_cleanup.h"
#include "platform/named_objects.h"

#include "tests/test_util/child_run.h"

namespace {

TEST(ResultChannel, ExitStatusRule) {
  struct Case {
    uint32_t result;
    int status;
  };
  const Case cases[] = {
      {0, 0}, {1, 1}, {0x80004005u, 5}, {0x80040200u, 255}, {0xFFFFFFFFu, 255}, {0xC0000094u, 0x94}, {0x100u, 255},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExitStatusForResult(static_cast<HRESULT>(c.result)), c.status) << std::hex << c.result;
}

// Deep enough to run out of any thread's stack.
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  return depth > (1 << 30) ? frame[0] : Recurse(depth + 1) + frame[0];
}

// Runs body in a child whose standard output and result descriptor are pipes.
ChildRun InChild(const std::function<void()>& body) {
  int out[2], result[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(result), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    setenv("TRIVOX_RESULT_FD", std::to_string(result[1]).c_str(), 1);
    close(out[0]);
    close(result[0]);
    body();
    _exit(99);
  }
  close(out[1]);
  close(result[1]);
  return CollectChild(pid, out[0], result[0]);
}

TEST(ResultChannel, ExitWithResultReportsOnceAllThreeWays) {
  ChildRun run = InChild([] {
    std::printf("buffered line\n");  // flushed before the result line
    ReportResult(static_cast<HRESULT>(0x80040203u));
    ExitWithResult(static_cast<HRESULT>(0x12345678));  // already reported: only the status follows
  });
  EXPECT_EQ(run.output, "buffered line\nRESULT=80040203\n");
  EXPECT_EQ(run.resultBytes, (std::vector<uint8_t>{0x03, 0x02, 0x04, 0x80}));
  EXPECT_EQ(run.status, 0x78);
}

TEST(ResultChannel, FatalSignalsReportTheirFaultCode) {
  struct Case {
    const char* name;
    std::function<void()> fault;
    const char* line;
    std::vector<uint8_t> bytes;
    int status;
  };
  const Case cases[] = {
      {"write to an unmapped page",
       [] {
         volatile uintptr_t address = 16;
         *reinterpret_cast<volatile int*>(address) = 1;
       },
       "RESULT=C0000005",
       {0x05, 0x00, 0x00, 0xC0},
       0x05},
      {"bus error", [] { raise(SIGBUS); }, "RESULT=C0000005", {0x05, 0x00, 0x00, 0xC0}, 0x05},
      {"divide", [] { raise(SIGFPE); }, "RESULT=C0000094", {0x94, 0x00, 0x00, 0xC0}, 0x94},
      {"illegal instruction", [] { raise(SIGILL); }, "RESULT=C000001D", {0x1D, 0x00, 0x00, 0xC0}, 0x1D},
      {"abort", [] { std::abort(); }, "RESULT=C0000409", {0x09, 0x04, 0x00, 0xC0}, 0x09},
      {"stack overflow on a second thread",
       [] {
         std::thread([] {
           UseFaultStackOnThisThread();
           Recurse(1);
         }).join();
       },
       "RESULT=C0000005",
       {0x05, 0x00, 0x00, 0xC0},
       0x05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildRun run = InChild([&] {
      InstallFaultHandler();
      c.fault();
    });
    EXPECT_EQ(run.output, std::string(c.line) + "\n");
    EXPECT_EQ(run.resultBytes, c.bytes);
    EXPECT_EQ(run.status, c.status);
  }
}

TEST(ResultChannel, AGoneReaderCostsTheReportNotTheProcess) {
  // Standard output is a pipe nobody reads any more: writes fail with EPIPE.
  int out[2], result[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(result), 0);
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    close(result[0]);
    setenv("TRIVOX_RESULT_FD", std::to_string(result[1]).c_str(), 1);
    InstallFaultHandler();
    for (int i = 0; i < 1000; ++i) std::printf("a line nobody reads\n");
    ExitWithResult(static_cast<HRESULT>(0x80040203u));
  }
  close(out[0]);
  close(out[1]);
  close(result[1]);
  ChildRun run = CollectChild(pid, -1, result[0]);
  EXPECT_EQ(run.resultBytes, (std::vector<uint8_t>{0x03, 0x02, 0x04, 0x80}));
  EXPECT_EQ(run.status, 0x03) << "ended by SIGPIPE instead of with its result";
}

TEST(ResultChannel, TheFaultHandlerRemovesWhatOnlyTheProcessHeld) {
  const std::string file = std::string(TRIVOX_BINARY_DIR) + "/crash-cleanup-" + std::to_string(getpid()) + ".tmp";
  SharedMemory shared;  // held here too: it must survive the child
  ASSERT_TRUE(shared.Open("crash-shared", 64, SharedMemory::Mode::OpenOrCreate));
  ChildRun run = InChild([&] {
    InstallFaultHandler();
    static SharedMemory own, again, kept;
    own.Open("crash-own", 64, SharedMemory::Mode::OpenOrCreate);
    again.Open("crash-own", 64, SharedMemory::Mode::OpenOrCreate);  // a second handle of our own
    kept.Open("crash-shared", 64, SharedMemory::Mode::OpenOrCreate);
    FILE* f = std::fopen(file.c_str(), "w");
    std::fclose(f);
    RegisterCrashFile(file.c_str());
    raise(SIGSEGV);
  });
  EXPECT_EQ(run.output, "RESULT=C0000005\n");
  EXPECT_FALSE(SharedMemory::Exists("crash-own"));
  EXPECT_EQ(access(("/dev/shm" + PosixShmName("crash-own")).c_str(), F_OK), -1) << "object left in /dev/shm";
  EXPECT_TRUE(SharedMemory::Exists("crash-shared"));
  EXPECT_EQ(access(file.c_str(), F_OK), -1) << "registered file left";
  shared.Close();
  EXPECT_EQ(access(("/dev/shm" + PosixShmName("crash-shared")).c_str(), F_OK), -1);
}

TEST(ResultChannel, StopSignals) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    ChildRun run = InChild([signal] {
      InstallStopSignals();
      raise(signal);
      std::printf("stop %d\n", StopSignalled() ? 1 : 0);
      std::fflush(stdout);
      raise(signal);  // the second one ends the process
      std::printf("still running\n");
    });
    EXPECT_EQ(run.output, "stop 1\nRESULT=C000013A\n");
    EXPECT_EQ(run.resultBytes, (std::vector<uint8_t>{0x3A, 0x01, 0x00, 0xC0}));
    EXPECT_EQ(run.status, 0x3A);
  }
}

}  // namespace
