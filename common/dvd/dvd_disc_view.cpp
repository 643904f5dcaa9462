#include "common/dvd/dvd_disc_view.h"

#include "common/dvd/dvd_trace.h"

struct DvdDiscView::Remap {
  uint64_t from = 0;
  uint64_t to = 0;
  uint64_t length = 0;
  bool zeros = false;
};

DvdDiscView::~DvdDiscView() = default;

std::unique_ptr<DvdDiscView> DvdDiscView::Open(const char* path) {
  std::unique_ptr<DvdDiscView> view(new DvdDiscView);
  view->path_ = path;
  return view;
}

dvd_reader_t* DvdDiscView::OpenReader() const { return DVDOpen2(nullptr, &kDvdReadLogger, path_.c_str()); }

dvdnav_t* DvdDiscView::OpenNavigator() const {
  dvdnav_t* nav = nullptr;
  if (dvdnav_open2(&nav, nullptr, &kDvdNavLogger, path_.c_str()) != DVDNAV_STATUS_OK) {
    if (nav != nullptr) dvdnav_close(nav);
    return nullptr;
  }
  return nav;
}
