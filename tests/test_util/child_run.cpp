#include "tests/test_util/child_run.h"

#include <errno.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof(buf))) > 0) text.append(buf, static_cast<size_t>(n));
  return text;
}

}  // namespace

ChildRun CollectChild(pid_t pid, int outputFd, int resultFd) {
  ChildRun run;
  run.output = ReadAll(outputFd);
  const std::string bytes = ReadAll(resultFd);
  run.resultBytes.assign(bytes.begin(), bytes.end());
  close(outputFd);
  close(resultFd);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

int RunUnprivileged(const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    // Root keeps its user but loses the capabilities that pass over file permissions, also for
    // the programs it runs (the bounding set).
    constexpr int kFileOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
    for (const int cap : kFileOverrides)
      if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EINVAL) _exit(126);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) _exit(126);
    for (const int cap : kFileOverrides) {
      data[cap / 32].effective &= ~(1u << (cap % 32));
      data[cap / 32].permitted &= ~(1u << (cap % 32));
      data[cap / 32].inheritable &= ~(1u << (cap % 32));
    }
    if (syscall(SYS_capset, &header, data) != 0) _exit(126);
    _exit(fn());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
