// Adding the converted files to the music library, in the "Copy progress"
// window: the worker asks the library for its playlist, adds each file and
// waits (polling every 100 ms) until the library has taken it. Without a
// library the window says so and closes, leaving every status at 1.
#pragma once

#include <string>
#include <vector>

#include "frontend/dialogs/dlg_folder_copy.h"
#include "frontend/model/music_library.h"

// Message 0x407 codes of this window beyond the copy's.
enum MusicLibraryCode : uint64_t {
  kLibraryMissing = 3,
  kLibraryUnreachable = 4,
};

inline constexpr char kNoLibraryText[] = "System does not detect iTunes. Please install iTunes first.";
inline constexpr char kNoPlaylistText[] = "Error in get iTunes library.";

class CDlgItunesCopy : public CCopyProgressDialog {
 public:
  CDlgItunesCopy();

  // Not owned; the results' sizes and statuses are set by the caller.
  void SetItems(std::vector<ConvertResult>* items, const std::string& source) {
    items_ = items;
    source_ = source;
  }
  // The library (the system's, which has none, unless set).
  void SetLibrary(MusicLibraryFactory factory) { factory_ = std::move(factory); }
  // The poll period of an add in progress and the pause before "done".
  void SetTimings(int pollMs, int finishMs) {
    pollMs_ = pollMs;
    finishMs_ = finishMs;
  }

 protected:
  int64_t ComputeTotal() const override;
  void Work() override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  std::vector<ConvertResult>* items_ = nullptr;
  std::string source_;
  MusicLibraryFactory factory_;
  int pollMs_ = 100;
  int finishMs_ = 1000;
};
