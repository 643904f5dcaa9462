#include "platform/result_channel.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

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

}  // namespace
