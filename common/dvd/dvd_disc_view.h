#pragma once
// What the DVD libraries open for a disc path. The IFO files are checked before either library
// reads them (common/dvd/dvd_ifo_check.h). A disc whose IFO files all pass is opened as it is.
// Otherwise, for a folder disc, the libraries open a temporary folder of links to the disc's
// files in which a good backup (BUP) stands in for each damaged or missing IFO, and a title set
// neither of whose files passes is left out. An image or a drive has no such view: a title set
// that needs its backup is refused, and a damaged video manager refuses the disc. Either way
// the navigator and the reader see the same files. Every choice is noted for the log.

#include <memory>
#include <string>
#include <vector>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>

class DvdDiscView {
 public:
  ~DvdDiscView();  // removes the folder of links
  DvdDiscView(const DvdDiscView&) = delete;
  DvdDiscView& operator=(const DvdDiscView&) = delete;

  // Checks the disc at path. Never null; see usable().
  static std::unique_ptr<DvdDiscView> Open(const char* path);

  // False when the disc cannot be given to the libraries (its video manager cannot be used).
  bool usable() const { return usable_; }
  // A libdvdread reader and a navigator over the view (null on failure); each its own.
  dvd_reader_t* OpenReader() const;
  dvdnav_t* OpenNavigator() const;
  // True when a title set (1-99) is refused: neither library may open it.
  bool Refused(int titleSet) const;
  bool AnyRefused() const { return !refused_.empty(); }
  // What the check found and chose, one line each ("VTS_02_0.IFO is damaged (...): ...").
  const std::vector<std::string>& notes() const { return notes_; }
  // The path the libraries open: the disc's own, or the folder of links.
  const std::string& libraryPath() const { return libraryPath_.empty() ? path_ : libraryPath_; }

 private:
  DvdDiscView() = default;

  std::string path_;         // the disc as given
  std::string libraryPath_;  // the folder of links, when there is one
  std::string linkFolder_;   // its temporary parent, removed at close
  std::vector<int> refused_;
  std::vector<std::string> notes_;
  bool usable_ = true;
};
