// Shared pieces of the velmo-cli commands: usage errors, option parsing with
// getopt_long, numbers and whole-file writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A usage error: the command prints the message and exits with status 2.
struct UsageError {
  std::string message;
};
[[noreturn]] void Usage(const std::string& message);

struct CliOption {
  const char* name;
  bool hasValue;
  const char* value;  // the value's name in the help
  const char* help;
};

// Parses the command's options (argv[0] is the command's name); calls handle
// with the option's index in options and its value ("" without one). The
// option "help" is always known and sets *help. Returns the words that are
// not options. Throws UsageError.
std::vector<std::string> ParseOptions(int argc, char** argv, const std::vector<CliOption>& options,
                                      const std::function<void(size_t, const std::string&)>& handle, bool* help);

// One line per option, for --help.
std::string OptionHelp(const std::vector<CliOption>& options);

int32_t ParseInt32(const std::string& option, const std::string& text);
double ParseDouble(const std::string& option, const std::string& text);

// Writes the bytes to path through a temporary file renamed over it; false
// with the reason when any step fails (no partial file is left).
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& message);

// The path made absolute and normal; an empty path is the current folder.
std::string AbsolutePath(const std::string& path);
// A source as the task takes it: a file path made absolute, or a "dvd:" source
// whose disc path is made absolute.
std::string AbsoluteSource(const std::string& source);

// Sends standard output to standard error while it lives: the DVD libraries
// and the title reader trace to standard output, which holds a command's results.
class TracesToStderr {
 public:
  TracesToStderr();
  ~TracesToStderr();
  TracesToStderr(const TracesToStderr&) = delete;
  TracesToStderr& operator=(const TracesToStderr&) = delete;

 private:
  int saved_ = -1;
};

// Failure of a command that was used correctly: message on standard error, status 1.
int CommandFailed(const std::string& message);
