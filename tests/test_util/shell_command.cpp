#include "tests/test_util/shell_command.h"

#include <sys/wait.h>

#include <cstdio>

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

CommandRun RunStagedTool(const std::string& tool, const std::vector<std::string>& args) {
  std::string command = ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/" + tool);
  for (const std::string& a : args) {
    command += ' ';
    command += ShellQuote(a);
  }
  return RunCommand(command + " 2>&1");
}
