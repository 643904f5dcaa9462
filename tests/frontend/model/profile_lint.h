// A lint over a profile tree against the engine's catalogue: every profile
// resolves its muxer and codecs, every default, limit and profile value fits
// its description, every writer, coder and filter tag is one the engine's
// registry has and can build, the codes are the codec and muxer tables' own,
// and the defaults file names a profile and matches it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/registry/module_registry.h"
#include "frontend/model/profile_db.h"

struct LintReport {
  std::vector<std::string> problems;  // each one fails the lint
  std::vector<std::string> notes;     // unavailable items, with their reasons
  std::string Text() const;
};

// "file | reason" lines (relative paths of the tree); '#' lines and blank lines skipped.
std::map<std::string, std::string> ReadUnavailableList(const std::string& path, std::vector<std::string>* problems);

// The engine's codec and muxer tables from stageFolder and its registry with
// the plug-ins of pluginFolder.
class EngineCatalogue {
 public:
  EngineCatalogue(const std::string& stageFolder, const std::string& pluginFolder);
  CModuleRegistry& Registry() { return registry_; }

 private:
  CModuleRegistry registry_;
};

// Lints the tree under folder (read as a program folder without a user overlay).
LintReport LintProfileTree(const std::string& folder, CModuleRegistry& registry,
                           const std::map<std::string, std::string>& unavailable);

// Why the profile of the node cannot be converted on this build: the reason of
// its own file, its muxer description or one of its codec descriptions in the
// unavailable list; "" when none is listed.
std::string ProfileUnavailableReason(const std::string& nodeFolder, const OutputProfile& profile,
                                     const std::map<std::string, std::string>& unavailable);
