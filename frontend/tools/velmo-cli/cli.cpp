#include "frontend/tools/velmo-cli/cli.h"

#include <getopt.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

void Usage(const std::string& message) { throw UsageError{message}; }

std::vector<std::string> ParseOptions(int argc, char** argv, const std::vector<CliOption>& options,
                                      const std::function<void(size_t, const std::string&)>& handle, bool* help) {
  const int helpId = static_cast<int>(options.size());
  std::vector<option> table;
  for (size_t i = 0; i < options.size(); ++i)
    table.push_back(
        {options[i].name, options[i].hasValue ? required_argument : no_argument, nullptr, static_cast<int>(i)});
  table.push_back({"help", no_argument, nullptr, helpId});
  table.push_back({nullptr, 0, nullptr, 0});

  *help = false;
  opterr = 0;
  optind = 1;
  const std::string command = argv[0];
  for (;;) {
    const int id = getopt_long(argc, argv, ":h", table.data(), nullptr);
    if (id == -1) break;
    if (id == 'h' || id == helpId) {
      *help = true;
    } else if (id == ':') {
      Usage(std::string(argv[optind - 1]) + " needs a value");
    } else if (id == '?') {
      Usage("unknown option " + std::string(argv[optind - 1]) + " for " + command);
    } else {
      handle(static_cast<size_t>(id), optarg != nullptr ? optarg : "");
    }
  }
  return std::vector<std::string>(argv + optind, argv + argc);
}

std::string OptionHelp(const std::vector<CliOption>& options) {
  std::string text;
  for (const CliOption& o : options) {
    std::string left = std::string("--") + o.name + (o.hasValue ? std::string(" ") + o.value : "");
    char line[512];
    std::snprintf(line, sizeof(line), "  %-24s %s\n", left.c_str(), o.help);
    text += line;
  }
  return text + "  --help                   this text\n";
}

int32_t ParseInt32(const std::string& option, const std::string& text) {
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    Usage(option + ": \"" + text + "\" is not a whole number in range");
  return value;
}

double ParseDouble(const std::string& option, const std::string& text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    Usage(option + ": \"" + text + "\" is not a number");
  return value;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& message) {
  const std::string temp = path + ".tmp";
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) {
    message = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    message = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path.empty() ? "." : path, ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

std::string AbsoluteSource(const std::string& source) {
  if (source.size() < 4 || strncasecmp(source.c_str(), "dvd:", 4) != 0) return AbsolutePath(source);
  // "dvd:TITLE,FIRST,LAST,PATH" or "dvd:PATH": only the disc path is a path.
  size_t at = 4;
  for (int field = 0; field < 3; ++field) {
    size_t end = at;
    while (end < source.size() && std::isdigit(static_cast<unsigned char>(source[end]))) ++end;
    if (end == at || end >= source.size() || source[end] != ',') {
      at = 4;
      break;
    }
    at = end + 1;
  }
  return source.substr(0, at) + AbsolutePath(source.substr(at));
}

TracesToStderr::TracesToStderr() {
  std::fflush(stdout);
  saved_ = dup(STDOUT_FILENO);
  if (saved_ >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
}

TracesToStderr::~TracesToStderr() {
  std::fflush(stdout);
  if (saved_ >= 0) {
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
}

int CommandFailed(const std::string& message) {
  std::fprintf(stderr, "velmo-cli: %s\n", message.c_str());
  return 1;
}
