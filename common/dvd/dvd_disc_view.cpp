#include "common/dvd/dvd_disc_view.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include <dvdread/dvd_udf.h>

#include "common/dvd/dvd_ifo_check.h"
#include "common/dvd/dvd_trace.h"

namespace fs = std::filesystem;

namespace {

// Larger than any IFO: a file this long is not read whole.
constexpr uint64_t kMaxIfoBytes = 64ull << 20;

std::string IfoName(int titleSet, bool backup) {
  char name[16];
  if (titleSet == 0)
    std::snprintf(name, sizeof name, "VIDEO_TS.%s", backup ? "BUP" : "IFO");
  else
    std::snprintf(name, sizeof name, "VTS_%02d_0.%s", titleSet, backup ? "BUP" : "IFO");
  return name;
}

// The IFO files of a disc as bytes: from a folder (names found as libdvdread finds them,
// whatever their case) or from the UDF file system of an image or drive.
class IfoSource {
 public:
  virtual ~IfoSource() = default;
  // The file's bytes; none when it is missing or cannot be read.
  virtual std::optional<std::vector<uint8_t>> Read(const std::string& name) = 0;
};

class FolderSource : public IfoSource {
 public:
  explicit FolderSource(fs::path folder) : folder_(std::move(folder)) {}

  // The file of that name in the folder, whatever its case.
  std::optional<fs::path> Find(const std::string& name) const {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec))
      if (strcasecmp(e.path().filename().c_str(), name.c_str()) == 0) return e.path();
    return std::nullopt;
  }

  std::optional<std::vector<uint8_t>> Read(const std::string& name) override {
    const std::optional<fs::path> file = Find(name);
    if (!file) return std::nullopt;
    std::error_code ec;
    if (!fs::is_regular_file(*file, ec)) return std::nullopt;
    const uintmax_t size = fs::file_size(*file, ec);
    if (ec || size > kMaxIfoBytes) return std::nullopt;
    std::FILE* f = std::fopen(file->c_str(), "rb");
    if (f == nullptr) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    const bool ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!ok) return std::nullopt;
    return bytes;
  }

  const fs::path& folder() const { return folder_; }

 private:
  fs::path folder_;
};

class ImageSource : public IfoSource {
 public:
  explicit ImageSource(const std::string& path) : path_(path) {
    reader_ = DVDOpen2(nullptr, &kDvdReadLogger, path.c_str());
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  ~ImageSource() override {
    if (reader_ != nullptr) DVDClose(reader_);
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return reader_ != nullptr && fd_ >= 0; }

  std::optional<std::vector<uint8_t>> Read(const std::string& name) override {
    if (!ok()) return std::nullopt;
    uint32_t size = 0;
    const std::string inDisc = "/VIDEO_TS/" + name;
    const uint32_t sector = UDFFindFile(reader_, inDisc.c_str(), &size);
    if (sector == 0 || size > kMaxIfoBytes) return std::nullopt;
    std::vector<uint8_t> bytes(size);
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = pread(fd_, bytes.data() + got, bytes.size() - got,
                              static_cast<off_t>(sector) * 2048 + static_cast<off_t>(got));
      if (n <= 0) return std::nullopt;
      got += static_cast<size_t>(n);
    }
    return bytes;
  }

 private:
  std::string path_;
  dvd_reader_t* reader_ = nullptr;
  int fd_ = -1;
};

// The folder that holds a folder disc's IFO files, as libdvdread looks for them: the path
// itself (without a trailing VIDEO_TS), then its VIDEO_TS and video_ts folders.
std::optional<fs::path> IfoFolder(const std::string& path) {
  std::string root = path;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.size() > 9 && strcasecmp(root.c_str() + root.size() - 9, "/video_ts") == 0) root.resize(root.size() - 9);
  if (root.empty()) root = "/";
  const fs::path candidates[] = {fs::path(root), fs::path(root) / "VIDEO_TS", fs::path(root) / "video_ts"};
  for (const fs::path& candidate : candidates) {
    FolderSource source(candidate);
    if (source.Find(IfoName(0, false)) || source.Find(IfoName(0, true))) return candidate;
  }
  // No video manager at all: still a DVD folder when it has a title set's files.
  for (const fs::path& candidate : candidates) {
    FolderSource source(candidate);
    if (source.Find(IfoName(1, false)) || source.Find(IfoName(1, true))) return candidate;
  }
  return std::nullopt;
}

enum class Use { kIfo, kBackup, kNeither };

struct Choice {
  Use use = Use::kIfo;
  DvdIfoFacts facts;
};

// Checks a title set's (or the video manager's) IFO, then its backup when the IFO fails.
// accept: a further check of a file that passed (the titles the video manager gives it).
template <typename Accept>
Choice Choose(IfoSource& source, int titleSet, std::vector<std::string>& notes, Accept accept) {
  const DvdIfoKind kind = titleSet == 0 ? DvdIfoKind::kVideoManager : DvdIfoKind::kTitleSet;
  std::string problems[2];
  for (int backup = 0; backup < 2; ++backup) {
    Choice choice;
    const std::optional<std::vector<uint8_t>> bytes = source.Read(IfoName(titleSet, backup != 0));
    if (!bytes) {
      problems[backup] = "missing or unreadable";
      continue;
    }
    problems[backup] = DvdCheckIfo(*bytes, kind, &choice.facts);
    if (problems[backup].empty()) problems[backup] = accept(choice.facts);
    if (!problems[backup].empty()) continue;
    choice.use = backup != 0 ? Use::kBackup : Use::kIfo;
    if (backup != 0)
      notes.push_back(IfoName(titleSet, false) + " is " +
                      (problems[0] == "missing or unreadable" ? problems[0] : "damaged (" + problems[0] + ")") + ": " +
                      IfoName(titleSet, true) + " is read instead");
    return choice;
  }
  notes.push_back(IfoName(titleSet, false) + " (" + problems[0] + ") and " + IfoName(titleSet, true) + " (" +
                  problems[1] + ") cannot be used: " +
                  (titleSet == 0 ? std::string("the disc cannot be read")
                                 : "title set " + std::to_string(titleSet) + " is left out"));
  return Choice{Use::kNeither, {}};
}

}  // namespace

DvdDiscView::~DvdDiscView() {
  if (linkFolder_.empty()) return;
  std::error_code ec;
  fs::remove_all(linkFolder_, ec);  // the links only: remove_all does not follow them
}

std::unique_ptr<DvdDiscView> DvdDiscView::Open(const char* path) {
  std::unique_ptr<DvdDiscView> view(new DvdDiscView);
  view->path_ = path != nullptr ? path : "";
  struct stat st {};
  if (stat(view->path_.c_str(), &st) != 0) return view;  // the libraries say what is wrong

  std::unique_ptr<IfoSource> source;
  std::optional<fs::path> folder;
  if (S_ISDIR(st.st_mode)) {
    folder = IfoFolder(view->path_);
    if (!folder) return view;  // no DVD-Video here: the libraries refuse it
    source = std::make_unique<FolderSource>(*folder);
  } else {
    auto image = std::make_unique<ImageSource>(view->path_);
    if (!image->ok()) return view;
    source = std::move(image);
  }

  const Choice vmg = Choose(*source, 0, view->notes_, [](const DvdIfoFacts&) { return std::string(); });
  if (vmg.use == Use::kNeither) {
    view->usable_ = false;
    return view;
  }
  std::vector<Use> uses(static_cast<size_t>(vmg.facts.titleSets) + 1, Use::kIfo);
  uses[0] = vmg.use;
  for (int set = 1; set <= vmg.facts.titleSets; ++set) {
    // The video manager's titles in this set must be titles the set has.
    int needed = 0;
    for (const DvdIfoFacts::Title& t : vmg.facts.titles)
      if (t.titleSet == set) needed = std::max(needed, t.vtsTitle);
    const Choice choice = Choose(*source, set, view->notes_, [needed](const DvdIfoFacts& facts) {
      return facts.vtsTitles >= needed
                 ? std::string()
                 : "it has " + std::to_string(facts.vtsTitles) + " titles, the disc names " + std::to_string(needed);
    });
    uses[static_cast<size_t>(set)] = choice.use;
    if (choice.use == Use::kNeither) view->refused_.push_back(set);
  }
  const bool asIs = std::all_of(uses.begin(), uses.end(), [](Use u) { return u == Use::kIfo; });
  if (asIs) return view;

  if (!folder) {
    // An image or a drive: no view in which a backup can stand in.
    for (size_t set = 0; set < uses.size(); ++set) {
      if (uses[set] != Use::kBackup) continue;
      view->notes_.push_back(
          IfoName(static_cast<int>(set), true) + " cannot stand in for " + IfoName(static_cast<int>(set), false) +
          " in an image: " +
          (set == 0 ? std::string("the disc cannot be read") : "title set " + std::to_string(set) + " is left out"));
      if (set == 0) view->usable_ = false;
      view->refused_.push_back(static_cast<int>(set));
    }
    return view;
  }

  // A folder of links in which the backups stand in and refused title sets are missing.
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/trivox-dvd-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    view->notes_.push_back("no folder for the repaired view of the disc: " + pattern);
    view->usable_ = false;
    return view;
  }
  view->linkFolder_ = pattern;
  const fs::path links = fs::path(pattern) / "VIDEO_TS";
  std::error_code ec;
  fs::create_directory(links, ec);
  FolderSource original(*folder);
  for (const fs::directory_entry& e : fs::directory_iterator(*folder, ec)) {
    const std::string name = e.path().filename().string();
    bool ifoFile = false;
    for (size_t set = 0; set < uses.size() && !ifoFile; ++set)
      ifoFile = strcasecmp(name.c_str(), IfoName(static_cast<int>(set), false).c_str()) == 0 ||
                strcasecmp(name.c_str(), IfoName(static_cast<int>(set), true).c_str()) == 0;
    if (!ifoFile) fs::create_symlink(fs::absolute(e.path()), links / name, ec);
  }
  for (size_t set = 0; set < uses.size(); ++set) {
    if (uses[set] == Use::kNeither) continue;
    const std::optional<fs::path> ifo = original.Find(IfoName(static_cast<int>(set), false));
    const std::optional<fs::path> bup = original.Find(IfoName(static_cast<int>(set), true));
    const std::optional<fs::path>& good = uses[set] == Use::kBackup ? bup : ifo;
    if (!good) continue;
    fs::create_symlink(fs::absolute(*good), links / IfoName(static_cast<int>(set), false), ec);
    fs::create_symlink(fs::absolute(*good), links / IfoName(static_cast<int>(set), true), ec);
  }
  view->libraryPath_ = links.string();
  return view;
}

bool DvdDiscView::Refused(int titleSet) const {
  return std::find(refused_.begin(), refused_.end(), titleSet) != refused_.end();
}

dvd_reader_t* DvdDiscView::OpenReader() const {
  if (!usable_) return nullptr;
  return DVDOpen2(nullptr, &kDvdReadLogger, libraryPath().c_str());
}

dvdnav_t* DvdDiscView::OpenNavigator() const {
  if (!usable_) return nullptr;
  dvdnav_t* nav = nullptr;
  if (dvdnav_open2(&nav, nullptr, &kDvdNavLogger, libraryPath().c_str()) != DVDNAV_STATUS_OK) {
    if (nav != nullptr) dvdnav_close(nav);
    return nullptr;
  }
  return nav;
}
