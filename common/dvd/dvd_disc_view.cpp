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
#include <dvdread/ifo_read.h>

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

// A scratch folder under TMPDIR (or /tmp), removed with its contents when the owner goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/trivox-dvd-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool WriteWhole(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

// The tables a file's header names that libdvdread could not read from it. The navigator
// needs every table named, where libdvdread's own open does without some of them.
std::string UnreadTable(const ifo_handle_t& ifo, int titleSet) {
  if (titleSet == 0) {
    const vmgi_mat_t* mat = ifo.vmgi_mat;
    if (mat == nullptr) return "its header";
    if (mat->vmgm_pgci_ut != 0 && ifo.pgci_ut == nullptr) return "the menu table";
    if (mat->ptl_mait != 0 && ifo.ptl_mait == nullptr) return "the parental table";
    if (mat->vmgm_vobu_admap != 0 && ifo.menu_vobu_admap == nullptr) return "the menu address map";
    return {};
  }
  const vtsi_mat_t* mat = ifo.vtsi_mat;
  if (mat == nullptr) return "its header";
  if (mat->vtsm_pgci_ut != 0 && ifo.pgci_ut == nullptr) return "the menu table";
  if (mat->vts_tmapt != 0 && ifo.vts_tmapt == nullptr) return "the time map table";
  if (mat->vtsm_c_adt != 0 && ifo.menu_c_adt == nullptr) return "the menu cell addresses";
  if (mat->vtsm_vobu_admap != 0 && ifo.menu_vobu_admap == nullptr) return "the menu address map";
  return {};
}

// Whether libdvdread reads the file's tables from these bytes alone: they are offered under both
// the IFO's and the backup's name, so that its own fall-back to the backup cannot hide damage
// that the navigator, which reads the IFO, would meet. Empty when it does.
std::string LibraryProblem(const std::vector<uint8_t>& bytes, int titleSet) {
  ScratchFolder scratch;
  if (scratch.path().empty()) return "no scratch folder to try it in";
  const fs::path folder = fs::path(scratch.path()) / "VIDEO_TS";
  std::error_code ec;
  fs::create_directory(folder, ec);
  if (ec || !WriteWhole(folder / IfoName(titleSet, false), bytes) ||
      !WriteWhole(folder / IfoName(titleSet, true), bytes))
    return "no scratch folder to try it in";
  dvd_reader_t* reader = DVDOpen2(nullptr, &kDvdReadLogger, scratch.path().c_str());
  if (reader == nullptr) return "the DVD library cannot open it";
  ifo_handle_t* ifo = ifoOpen(reader, titleSet);
  std::string problem = ifo == nullptr ? std::string("the DVD library cannot read its tables") : std::string();
  if (ifo != nullptr) {
    if (const std::string table = UnreadTable(*ifo, titleSet); !table.empty())
      problem = "the DVD library cannot read " + table;
    ifoClose(ifo);
  }
  DVDClose(reader);
  return problem;
}

enum class Use { kIfo, kBackup, kNeither };

struct Choice {
  Use use = Use::kIfo;
  DvdIfoFacts facts;
  std::string problems[2];  // of the IFO and of its backup, when checked
};

// Checks a title set's (or the video manager's) IFO, then its backup when the IFO fails.
// accept: a further check of a file that passed (the titles the video manager gives it).
template <typename Accept>
Choice Choose(IfoSource& source, int titleSet, Accept accept) {
  const DvdIfoKind kind = titleSet == 0 ? DvdIfoKind::kVideoManager : DvdIfoKind::kTitleSet;
  Choice choice;
  for (int backup = 0; backup < 2; ++backup) {
    const std::optional<std::vector<uint8_t>> bytes = source.Read(IfoName(titleSet, backup != 0));
    std::string& problem = choice.problems[backup];
    if (!bytes) {
      problem = "missing or unreadable";
      continue;
    }
    problem = DvdCheckIfo(*bytes, kind, &choice.facts);
    if (problem.empty()) problem = accept(choice.facts);
    if (problem.empty()) problem = LibraryProblem(*bytes, titleSet);
    if (!problem.empty()) continue;
    choice.use = backup != 0 ? Use::kBackup : Use::kIfo;
    return choice;
  }
  choice.use = Use::kNeither;
  return choice;
}

std::string LeftOut(int titleSet) {
  return titleSet == 0 ? std::string("the disc cannot be read")
                       : "title set " + std::to_string(titleSet) + " is left out";
}

// The note of a choice; empty for an IFO used as it is.
std::string NoteOf(int titleSet, const Choice& choice, bool folder) {
  const std::string ifo = IfoName(titleSet, false);
  const std::string bup = IfoName(titleSet, true);
  const std::string& problem = choice.problems[0];
  const std::string damage =
      ifo + " is " + (problem == "missing or unreadable" ? problem : "damaged (" + problem + ")");
  switch (choice.use) {
    case Use::kIfo:
      return {};
    case Use::kBackup:
      return folder ? damage + ": " + bup + " is read instead"
                    : damage + ": its backup cannot stand in for it in an image: " + LeftOut(titleSet);
    case Use::kNeither:
      break;
  }
  return ifo + " (" + problem + ") and " + bup + " (" + choice.problems[1] + ") cannot be used: " + LeftOut(titleSet);
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

  const bool inFolder = folder.has_value();
  std::vector<Choice> choices;
  choices.push_back(Choose(*source, 0, [](const DvdIfoFacts&) { return std::string(); }));
  const DvdIfoFacts vmg = choices[0].facts;
  if (choices[0].use != Use::kNeither) {
    for (int set = 1; set <= vmg.titleSets; ++set) {
      // The video manager's titles in this set must be titles the set has.
      int needed = 0;
      for (const DvdIfoFacts::Title& t : vmg.titles)
        if (t.titleSet == set) needed = std::max(needed, t.vtsTitle);
      choices.push_back(Choose(*source, set, [needed](const DvdIfoFacts& facts) {
        return facts.vtsTitles >= needed
                   ? std::string()
                   : "it has " + std::to_string(facts.vtsTitles) + " titles, the disc names " + std::to_string(needed);
      }));
    }
  }
  for (size_t set = 0; set < choices.size(); ++set) {
    const std::string note = NoteOf(static_cast<int>(set), choices[set], inFolder);
    if (!note.empty()) view->notes_.push_back(note);
    // Without a folder of links, a title set that needs its backup cannot be given one.
    const bool out = choices[set].use == Use::kNeither || (!inFolder && choices[set].use == Use::kBackup);
    if (!out) continue;
    if (set == 0) view->usable_ = false;
    if (set > 0) view->refused_.push_back(static_cast<int>(set));
  }
  if (!view->usable_) return view;
  std::vector<Use> uses;
  for (const Choice& choice : choices) uses.push_back(choice.use);
  const bool asIs = std::all_of(uses.begin(), uses.end(), [](Use u) { return u == Use::kIfo; });
  if (asIs || !inFolder) return view;

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
