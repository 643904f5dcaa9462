// Shell commands run from tests.
#pragma once

#include <string>
#include <vector>

struct CommandRun {
  int status = -1;     // exit status, or -1 when the command did not exit normally
  std::string output;  // standard output (add "2>&1" to the command for errors too)
};

// One shell word: the text in single quotes, quotes inside it escaped.
std::string ShellQuote(const std::string& s);

CommandRun RunCommand(const std::string& command);

// Runs <stage>/<tool> with the arguments quoted; standard error goes with the output.
CommandRun RunStagedTool(const std::string& tool, const std::vector<std::string>& args);
