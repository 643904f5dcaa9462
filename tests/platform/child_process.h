// A helper process for multi-process tests: started with posix_spawn (exec),
// with pipes on its standard input and output.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, in[1]);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &fa, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
  }
  ~ChildProcess() {
    CloseStdin();
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (stdout_ >= 0) close(stdout_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // One line of output without its newline; empty on time-out or end.
  std::string ReadLine(int timeoutMs = 10000) {
    std::string line;
    char c;
    while (true) {
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return line;
      if (read(stdout_, &c, 1) != 1 || c == '\n') return line;
      line += c;
    }
  }
  void WriteLine(const std::string& s) {
    std::string l = s + "\n";
    if (write(stdin_, l.data(), l.size()) < 0) {
    }
  }
  void CloseStdin() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
  }
  void Kill() { Signal(SIGKILL); }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }
  pid_t Pid() const { return pid_; }
  // Exit status, 128 + signal for a killed process, -1 when not started.
  int Wait() {
    if (pid_ <= 0) return status_;
    int st = 0;
    while (waitpid(pid_, &st, 0) < 0) {
      if (errno != EINTR) {
        pid_ = -1;
        return status_;
      }
    }
    pid_ = -1;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int status_ = -1;
};
