#pragma once
// Structure check of a DVD-Video information file (IFO or its backup) on its bytes, before the
// DVD libraries read it. They trust much of what they read (counts, table offsets, program and
// cell numbers) and a damaged file can make them read out of bounds, free twice or abort. The
// check holds the file to its own header (its size against the last sector the header gives,
// every table inside the file) and every count and cross reference the libraries follow to
// their ranges. It does not judge what a well-formed file means.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DvdIfoKind {
  kVideoManager,  // VIDEO_TS.IFO
  kTitleSet,      // VTS_nn_0.IFO
};

// What a file that passed the check says of the disc, for checks across files.
struct DvdIfoFacts {
  int titleSets = 0;  // video manager: the number of title sets
  struct Title {
    int titleSet = 0;
    int vtsTitle = 0;  // the title's number in its title set
  };
  std::vector<Title> titles;  // video manager: the title table
  int vtsTitles = 0;          // title set: the number of its titles (PTT search table)
};

// Empty when the bytes pass; otherwise what is wrong, for a log line.
std::string DvdCheckIfo(const uint8_t* data, size_t size, DvdIfoKind kind, DvdIfoFacts* facts = nullptr);
inline std::string DvdCheckIfo(const std::vector<uint8_t>& bytes, DvdIfoKind kind, DvdIfoFacts* facts = nullptr) {
  return DvdCheckIfo(bytes.data(), bytes.size(), kind, facts);
}
