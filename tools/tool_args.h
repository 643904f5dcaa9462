// Command-line parsing shared by the tools: getopt_long over a table of long
// options (with an optional short letter), -h and --help, and the remaining
// words in order. Usage errors are reported by the caller with exit status 2.
#pragma once

#include <getopt.h>

#include <functional>
#include <string>
#include <vector>

struct ToolOption {
  const char* name;
  bool hasValue;
  char letter = 0;  // short form, 0 for none
};

struct ToolArgs {
  std::vector<std::string> words;  // what is not an option, in order
  bool help = false;
  std::string error;  // empty when the command line parsed
};

// Parses argv[1..argc). handle(index, value) runs for each option in the
// order given (value "" for a flag) and answers an error text, or "" when the
// value is good. Options and words may mix; "--" ends the options.
inline ToolArgs ParseToolArgs(int argc, char** argv, const std::vector<ToolOption>& options,
                              const std::function<std::string(size_t, const std::string&)>& handle) {
  ToolArgs args;
  const int helpId = static_cast<int>(options.size()) + 1000;
  std::vector<option> table;
  std::string letters = ":h";
  for (size_t i = 0; i < options.size(); ++i) {
    const int id = options[i].letter ? options[i].letter : static_cast<int>(i) + 1000 + 1 + helpId;
    table.push_back({options[i].name, options[i].hasValue ? required_argument : no_argument, nullptr, id});
    if (options[i].letter) {
      letters += options[i].letter;
      if (options[i].hasValue) letters += ':';
    }
  }
  table.push_back({"help", no_argument, nullptr, helpId});
  table.push_back({nullptr, 0, nullptr, 0});
  opterr = 0;
  optind = 1;
  for (;;) {
    const int id = getopt_long(argc, argv, letters.c_str(), table.data(), nullptr);
    if (id == -1) break;
    if (id == 'h' || id == helpId) {
      args.help = true;
      continue;
    }
    if (id == ':' || id == '?') {
      const std::string given = optopt != 0 && optopt < 256 && optopt != '?' ? std::string("-") + char(optopt)
                                                                             : std::string(argv[optind - 1]);
      args.error = id == ':' ? given + " needs a value" : "unknown option " + given;
      return args;
    }
    size_t index = options.size();
    for (size_t i = 0; i < options.size(); ++i)
      if ((options[i].letter && id == options[i].letter) ||
          (!options[i].letter && id == static_cast<int>(i) + 1000 + 1 + helpId))
        index = i;
    if (index == options.size()) continue;
    args.error = handle(index, optarg ? optarg : "");
    if (!args.error.empty()) return args;
  }
  for (int i = optind; i < argc; ++i) args.words.push_back(argv[i]);
  return args;
}
