#pragma once
// What the DVD libraries open for a disc path. The IFO files are checked before either library
// reads them; a disc whose IFO files all pass is opened as it is. Otherwise the view stands a
// good backup (BUP) in for each damaged or missing IFO: a folder disc through a temporary folder
// of links, an image through a stream that reads the backup's sectors in place of the IFO's.
// A title set whose IFO and backup both fail is hidden from the libraries (logged).

#include <memory>
#include <string>
#include <vector>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>

class DvdDiscView {
 public:
  ~DvdDiscView();
  DvdDiscView(const DvdDiscView&) = delete;
  DvdDiscView& operator=(const DvdDiscView&) = delete;

  // Checks the disc at path; null when it cannot be used at all (no readable video manager).
  static std::unique_ptr<DvdDiscView> Open(const char* path);

  // A libdvdread reader and a navigator over the view (null on failure); each its own.
  dvd_reader_t* OpenReader() const;
  dvdnav_t* OpenNavigator() const;

  const std::string& path() const { return path_; }
  // True when the libraries see a repaired view, not the disc as it is.
  bool repaired() const { return !linkFolder_.empty() || !remaps_.empty() || !hidden_.empty(); }

 private:
  struct Remap;  // a byte range of the image read from elsewhere (or as zeros)

  DvdDiscView() = default;

  std::string path_;        // the disc as given
  std::string linkFolder_;  // the folder of links the libraries open instead (removed at close)
  std::vector<Remap> remaps_;
  std::vector<int> hidden_;  // title sets neither of whose IFO files can be used
};
