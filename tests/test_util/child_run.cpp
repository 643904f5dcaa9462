#include "tests/test_util/child_run.h"

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
