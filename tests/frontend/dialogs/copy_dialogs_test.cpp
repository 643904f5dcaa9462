// The copy, music-library and PSP follow-ups of a finished run.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "frontend/controls/drag_list.h"
#include "frontend/controls/folder_check_tree.h"
#include "frontend/controls/skin_progress.h"
#include "frontend/dialogs/dlg_convert_done.h"
#include "frontend/dialogs/dlg_copy_file.h"
#include "frontend/dialogs/dlg_folder_copy.h"
#include "frontend/dialogs/dlg_itunes_copy.h"
#include "frontend/dialogs/dlg_psp_transfer.h"
#include "frontend/model/file_copy.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/shell.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

std::string WriteBytes(const std::string& path, size_t bytes, char fill = 'x') {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, fill);
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FakeVolumes final : public IVolumeList {
 public:
  std::vector<Volume> list;
  std::vector<Volume> Volumes() override { return list; }
};

std::vector<std::string> Column(QTreeWidget* list, int column) {
  std::vector<std::string> out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out.push_back(list->topLevelItem(i)->text(column).toStdString());
  return out;
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const char* name) {
  for (int i = 0; i < item->childCount(); ++i)
    if (item->child(i)->text(0) == name) return item->child(i);
  return nullptr;
}

// An output folder with two converted files and a volume with a target folder.
struct CopySetup {
  std::string out, volume, target;
  FakeVolumes volumes;
  std::vector<ConvertResult> results;

  explicit CopySetup(const std::string& base)
      : out(base + "/out"), volume(base + "/vol"), target(base + "/vol/Target") {
    WriteBytes(out + "/A.mp4", 3000, 'a');
    WriteBytes(out + "/B.mp4", (2 << 20) + 5, 'b');
    fs::create_directories(target);
    WriteBytes(target + "/A.mp4", 4, 'o');  // a name already taken
    volumes.list = {{volume, "BACKUP", false}};
    results = {{"Title 1", "A.mp4", 0, 1, 0, 0}, {"Title 2", "B.mp4", 0, 1, 0, 0}, {"Title 3", "", 0, 0, 0, 0}};
  }
};

void CheckTarget(CDlgCopyFile& dlg, const char* folder) {
  QTreeWidgetItem* root = dlg.Tree()->topLevelItem(0);
  dlg.Tree()->CheckItem(ChildNamed(root, folder), true);
}

TEST(CopyFileDialog, CopiesUnderFreeNamesWithStatuses) {
  CopySetup s(TestFolder());
  MessageBoxRecorder boxes;
  ModalScript script;
  int progressSteps = 0;
  script
      .Then([&](UiDialog& d) {
        auto& dlg = static_cast<CDlgCopyFile&>(d);
        EXPECT_EQ("Copy file", d.windowTitle().toStdString());
        EXPECT_EQ((std::vector<std::string>{s.out + "/A.mp4", s.out + "/B.mp4", s.out + "/"}), Column(dlg.Files(), 0));
        EXPECT_EQ((std::vector<std::string>{"2.93KB", "2.00MB", "0.00KB"}), Column(dlg.Files(), 1));
        EXPECT_EQ((std::vector<std::string>{"Appending", "Appending", "Appending"}), Column(dlg.Files(), 2));
        EXPECT_EQ(3000 + (2 << 20) + 5, dlg.AppendingTotal());
        EXPECT_EQ("", dlg.SpaceBar()->FormatText());
        ASSERT_EQ(1, dlg.Tree()->topLevelItemCount());
        EXPECT_EQ(QString::fromStdString(s.volume + " [BACKUP]"), dlg.Tree()->topLevelItem(0)->text(0));

        CheckTarget(dlg, "Target");
        EXPECT_EQ(s.target + "/", dlg.Destination());
        const std::string text = dlg.SpaceBar()->Label();
        EXPECT_NE(std::string::npos, text.find(" used,2MB appending,")) << text;
        EXPECT_NE(std::string::npos, text.find(" free")) << text;
        EXPECT_GT(dlg.SpaceBar()->GetPos(), 0);
        SaveArtifact(d.grab().toImage(), "copy_file.png");

        d.OnCommand(IDC_COPY_TO_FOLDER, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"Copyed", "Copyed", "Error"}), Column(dlg.Files(), 2));
        // The checks are cleared and the bar empties.
        EXPECT_EQ("", dlg.Destination());
        EXPECT_EQ(nullptr, dlg.Tree()->CheckedItem());
        EXPECT_EQ("", dlg.SpaceBar()->Label());
        EXPECT_EQ(0, dlg.SpaceBar()->GetPos());
        d.OnCommand(IDCANCEL, BN_CLICKED);
      })
      .Then([&](UiDialog& d) {
        ++progressSteps;
        EXPECT_EQ("Copy progress", d.windowTitle().toStdString());
        d.OnCommand(IDOK, BN_CLICKED);  // Enter does not close it
      });
  CDlgCopyFile dlg;
  dlg.SetSource(s.out, &s.results);
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
  EXPECT_EQ(1, progressSteps);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(0, s.results[0].copyStatus);
  EXPECT_EQ(0, s.results[1].copyStatus);
  EXPECT_EQ(2, s.results[2].copyStatus);
  EXPECT_EQ(3000, s.results[0].size);
  EXPECT_EQ("oooo", ReadAll(s.target + "/A.mp4"));
  EXPECT_EQ(ReadAll(s.out + "/A.mp4"), ReadAll(s.target + "/A1.mp4"));
  EXPECT_EQ(ReadAll(s.out + "/B.mp4"), ReadAll(s.target + "/B.mp4"));
}

TEST(CopyFileDialog, NoFolderViewAndAVanishedSource) {
  CopySetup s(TestFolder());
  MessageBoxRecorder boxes;
  ShellScript shell;
  shell.OpenAnswer(ShellOpenResult::kOpened);
  shell.OpenAnswer(ShellOpenResult::kNotFound);
  ModalScript script;
  script
      .Then([&](UiDialog& d) {
        auto& dlg = static_cast<CDlgCopyFile&>(d);
        d.OnCommand(IDC_COPY_TO_FOLDER, BN_CLICKED);
        d.OnCommand(IDC_COPY_VIEW, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"Please select a folder.", "Please select a folder."}), boxes.Texts());
        CheckTarget(dlg, "Target");
        d.OnCommand(IDC_COPY_VIEW, BN_CLICKED);
        d.OnCommand(IDC_COPY_VIEW, BN_CLICKED);
        // Selecting, then clearing every check: no destination, an empty bar.
        dlg.Tree()->CheckItem(dlg.Tree()->CheckedItem(), false);
        EXPECT_EQ("", dlg.Destination());
        EXPECT_EQ("", dlg.SpaceBar()->Label());
        CheckTarget(dlg, "Target");
        fs::remove(s.out + "/A.mp4");  // gone between listing and copying
        d.OnCommand(IDC_COPY_TO_FOLDER, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"Error", "Copyed", "Error"}), Column(dlg.Files(), 2));
        EXPECT_FALSE(dlg.Files()->topLevelItem(0)->toolTip(2).isEmpty());
        d.OnCommand(IDCANCEL, BN_CLICKED);
      })
      .Then([](UiDialog&) {});
  CDlgCopyFile dlg;
  dlg.SetSource(s.out, &s.results);
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
  EXPECT_EQ((std::vector<std::string>{s.target + "/", s.target + "/"}), shell.Opened());
  ASSERT_EQ(3u, boxes.Texts().size());
  EXPECT_EQ("Can not find the folder.", boxes.Texts()[2]);
  EXPECT_FALSE(fs::exists(s.target + "/A1.mp4"));
  EXPECT_EQ(2, s.results[0].copyStatus);
}

TEST(FolderCopy, CancelStopsAfterTheCurrentFileAndKeepsTheRestPending) {
  CopySetup s(TestFolder());
  std::atomic<bool> held{false}, release{false};
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgFolderCopy&>(d);
    ASSERT_TRUE(WaitUntil([&] { return held.load() && d.ItemText(IDC_COPY_FILE) == "Copying file A.mp4"; }));
    EXPECT_EQ("Copying file A.mp4", d.ItemText(IDC_COPY_FILE).toStdString());
    EXPECT_EQ(0, dlg.Percent());  // A is 3000 of 2 MB: under one percent
    SaveArtifact(d.grab().toImage(), "copy_progress_mid.png");
    d.OnCommand(IDCANCEL, BN_CLICKED);
    EXPECT_TRUE(d.InModalLoop());  // open until the worker says done
    release = true;
  });
  s.results[0].size = 3000;
  s.results[1].size = (2 << 20) + 5;
  CDlgFolderCopy dlg;
  dlg.SetItems(&s.results, s.out, s.target);
  dlg.SetBeforeItemHook([&](size_t index) {
    if (index != 1) return;
    held = true;
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  });
  for (auto& r : s.results) r.copyStatus = 1;
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(0, s.results[0].copyStatus);
  EXPECT_EQ(1, s.results[1].copyStatus);
  EXPECT_EQ(1, s.results[2].copyStatus);
  EXPECT_TRUE(fs::exists(s.target + "/A1.mp4"));
  EXPECT_FALSE(fs::exists(s.target + "/B.mp4"));
}

TEST(FolderCopy, NothingToCountEndsAtZeroPercent) {
  const std::string base = TestFolder();
  WriteBytes(base + "/out/empty.mp4", 0);
  fs::create_directories(base + "/dest");
  std::vector<ConvertResult> results = {{"E", "empty.mp4", 0, 1, 0, 1}, {"M", "missing.mp4", 0, 1, 0, 1}};
  ModalScript script;
  script.Then([](UiDialog&) {});
  CDlgFolderCopy dlg;
  dlg.SetItems(&results, base + "/out", base + "/dest");
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(0, dlg.TotalBytes());
  EXPECT_EQ(0, dlg.Percent());
  EXPECT_EQ(0, results[0].copyStatus);
  EXPECT_EQ(2, results[1].copyStatus);
  EXPECT_TRUE(fs::exists(base + "/dest/empty.mp4"));
  EXPECT_FALSE(fs::exists(base + "/dest/missing.mp4"));
}

// ---- the music library ----

struct FakeLibraryState {
  std::atomic<int> polls{0};
  std::atomic<bool> hold{false};  // adds stay in progress while set
  std::vector<std::string> added;
  bool noPlaylist = false;
};

class FakeOperation final : public IMusicLibraryOperation {
 public:
  FakeOperation(FakeLibraryState& s, int busy) : s_(s), busy_(busy) {}
  bool InProgress() override {
    ++s_.polls;
    return s_.hold.load() || busy_-- > 0;
  }

 private:
  FakeLibraryState& s_;
  int busy_;
};

class FakePlaylist final : public IMusicLibraryPlaylist {
 public:
  explicit FakePlaylist(FakeLibraryState& s) : s_(s) {}
  std::unique_ptr<IMusicLibraryOperation> AddFile(const std::string& path) override {
    if (path.find("bad") != std::string::npos) return nullptr;
    s_.added.push_back(path);
    return std::make_unique<FakeOperation>(s_, 2);
  }

 private:
  FakeLibraryState& s_;
};

class FakeLibrary final : public IMusicLibraryApp {
 public:
  explicit FakeLibrary(FakeLibraryState& s) : s_(s) {}
  std::unique_ptr<IMusicLibraryPlaylist> GetLibraryPlaylist() override {
    if (s_.noPlaylist) return nullptr;
    return std::make_unique<FakePlaylist>(s_);
  }

 private:
  FakeLibraryState& s_;
};

MusicLibraryFactory FakeFactory(FakeLibraryState& s) {
  return [&s] { return std::make_unique<FakeLibrary>(s); };
}

TEST(MusicLibraryCopy, AddsEachFileAndCountsWholeFilesOnly) {
  FakeLibraryState state;
  state.hold = true;
  std::vector<ConvertResult> results = {
      {"1", "one.m4a", 0, 1, 100, 1}, {"2", "bad.m4a", 0, 1, 100, 1}, {"3", "three.m4a", 0, 1, 200, 1}};
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgItunesCopy&>(d);
    // The first add is in progress: no byte progress meanwhile.
    // The file line arrives as a posted message, so it may trail the polls.
    ASSERT_TRUE(
        WaitUntil([&] { return state.polls.load() >= 3 && d.ItemText(IDC_COPY_FILE) == "Copying file one.m4a"; }));
    EXPECT_EQ(0, dlg.Percent());
    state.hold = false;
  });
  CDlgItunesCopy dlg;
  dlg.SetItems(&results, "/music/out");
  dlg.SetLibrary(FakeFactory(state));
  dlg.SetTimings(5, 0);
  dlg.DoModal();
  EXPECT_EQ((std::vector<std::string>{"/music/out/one.m4a", "/music/out/three.m4a"}), state.added);
  EXPECT_EQ(0, results[0].copyStatus);
  EXPECT_EQ(2, results[1].copyStatus);
  EXPECT_EQ(0, results[2].copyStatus);
  EXPECT_EQ(75, dlg.Percent());
}

TEST(MusicLibraryCopy, CancelStopsWaitingAndAddsNoMore) {
  FakeLibraryState state;
  state.hold = true;
  std::vector<ConvertResult> results = {{"1", "one.m4a", 0, 1, 100, 1}, {"2", "two.m4a", 0, 1, 100, 1}};
  ModalScript script;
  script.Then([&](UiDialog& d) {
    ASSERT_TRUE(WaitUntil([&] { return state.polls.load() >= 2; }));
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgItunesCopy dlg;
  dlg.SetItems(&results, "/music/out");
  dlg.SetLibrary(FakeFactory(state));
  dlg.SetTimings(5, 5000);  // a cancel also cuts the final pause short
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_LT(timer.elapsed(), 4000);
  EXPECT_EQ(1u, state.added.size());
  EXPECT_EQ(1, results[0].copyStatus);
  EXPECT_EQ(1, results[1].copyStatus);
}

TEST(MusicLibraryCopy, NoLibraryOrNoPlaylistSaysSoAndChangesNothing) {
  std::vector<ConvertResult> results = {{"1", "one.m4a", 0, 1, 100, 1}};
  {
    MessageBoxRecorder boxes;
    ModalScript script;
    script.Then([](UiDialog&) {});
    CDlgItunesCopy dlg;  // the system's: none on this platform
    dlg.SetItems(&results, "/music/out");
    dlg.DoModal();
    ASSERT_EQ(1u, boxes.Shown().size());
    EXPECT_EQ("System does not detect iTunes. Please install iTunes first.", boxes.Shown()[0].text);
    EXPECT_EQ(MB_ICONEXCLAMATION, boxes.Shown()[0].flags & 0xF0);
    EXPECT_EQ(1, results[0].copyStatus);
  }
  FakeLibraryState state;
  state.noPlaylist = true;
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([](UiDialog&) {});
  CDlgItunesCopy dlg;
  dlg.SetItems(&results, "/music/out");
  dlg.SetLibrary(FakeFactory(state));
  dlg.DoModal();
  EXPECT_EQ(std::vector<std::string>{"Error in get iTunes library."}, boxes.Texts());
  EXPECT_EQ(1, results[0].copyStatus);
}

// ---- the completion dialog's follow-ups ----

TEST(CompletionFollowUps, CopyToOpensTheWindowOfTheKind) {
  CopySetup s(TestFolder());
  for (TransferKind kind : {TransferKind::kFolderCopy, TransferKind::kDvd, TransferKind::kSvcd, TransferKind::kVcd,
                            TransferKind::kPsp, TransferKind::kItunes}) {
    const int index = static_cast<int>(kind);
    MessageBoxRecorder boxes;
    ModalScript script;
    std::string opened;
    bool buttonShown = true;
    script.Then([&](UiDialog& d) {
      d.OnCommand(IDC_DONE_COPY, BN_CLICKED);
      buttonShown = !d.Item(IDC_DONE_COPY)->isHidden();
      d.OnCommand(IDOK, BN_CLICKED);
    });
    // The follow-up window (none for the library: it has none here).
    if (kind != TransferKind::kItunes)
      script.Then([&](UiDialog& d) {
        opened = d.windowTitle().toStdString();
        d.OnCommand(IDCANCEL, BN_CLICKED);
      });
    else
      script.Then([](UiDialog&) {});
    FakeVolumes noDrives;
    CDlgConvertDone dlg;
    dlg.SetResults(&s.results, TransferChoice{kind, 320, 240, true}, s.out, false);
    ConvertDoneFollowUps followUps;
    followUps.copy = [&](CDlgCopyFile& c) { c.SetVolumeList(&s.volumes); };
    followUps.psp = [&](CDlgPspTransfer& p) { p.SetVolumeList(&noDrives); };
    dlg.SetFollowUps(followUps);
    dlg.DoModal();
    switch (kind) {
      case TransferKind::kPsp:
        EXPECT_EQ("PSP transfer", opened);
        break;
      case TransferKind::kItunes:
        EXPECT_EQ(std::vector<std::string>{kNoLibraryText}, boxes.Texts());
        for (const ConvertResult& r : s.results) EXPECT_EQ(1, r.copyStatus);
        EXPECT_EQ(3000, s.results[0].size);
        EXPECT_EQ(0, s.results[2].size);
        break;
      default:
        EXPECT_EQ("Copy file", opened) << index;
        break;
    }
    EXPECT_EQ(kind != TransferKind::kDvd, buttonShown) << index;
  }
}

// ---- the PSP transfer ----

struct PspSetup {
  std::string base, files, driveA, driveB;
  FakeVolumes volumes;
  explicit PspSetup(const std::string& folder)
      : base(folder), files(folder + "/files"), driveA(folder + "/usbA"), driveB(folder + "/usbB") {
    WriteBytes(files + "/small.mp4", 1000, 's');
    WriteBytes(files + "/small.THM", 50, 't');
    WriteBytes(files + "/wide.mp4", 2000, 'w');
    WriteBytes(files + "/song.mp3", 500, 'm');
    fs::create_directories(driveA);
    fs::create_directories(driveB + "/PSP");
    volumes.list = {{folder, "", false}, {driveA, "", true}, {driveB, "PSP", true}};
  }
};

TEST(PspTransfer, NoDriveSaysNotConnected) {
  PspSetup s(TestFolder());
  s.volumes.list.resize(1);  // a fixed volume only
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgPspTransfer&>(d);
    EXPECT_EQ(1, dlg.Drives()->count());
    EXPECT_EQ(kPspNotConnected, dlg.Drives()->currentText().toStdString());
    EXPECT_FALSE(dlg.Drives()->isEnabled());
    EXPECT_FALSE(dlg.SpaceBar()->isEnabled());
    EXPECT_EQ("", dlg.CurrentDrive());
    d.OnCommand(IDC_PSP_COPY, BN_CLICKED);
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgPspTransfer dlg;
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
  EXPECT_EQ(std::vector<std::string>{"Please connect PSP to PC."}, boxes.Texts());
}

TEST(PspTransfer, PollingKeepsOrRenewsTheDrive) {
  PspSetup s(TestFolder());
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgPspTransfer&>(d);
    // The drive with a PSP folder is preferred over the first.
    EXPECT_EQ(2, dlg.Drives()->count());
    EXPECT_EQ(s.driveB, dlg.CurrentDrive());
    EXPECT_TRUE(d.HasTimer(kPspPollTimer));
    // A third drive: the selection stays.
    const std::string driveC = s.base + "/usbC";
    fs::create_directories(driveC + "/PSP");
    s.volumes.list.push_back({driveC, "", true});
    dlg.OnTimer(kPspPollTimer);
    EXPECT_EQ(3, dlg.Drives()->count());
    EXPECT_EQ(s.driveB, dlg.CurrentDrive());
    EXPECT_EQ(s.driveB, dlg.Drives()->currentText().toStdString());
    // The selected drive goes: the first with a PSP folder is chosen.
    s.volumes.list.erase(s.volumes.list.begin() + 2);
    dlg.OnTimer(kPspPollTimer);
    EXPECT_EQ(2, dlg.Drives()->count());
    EXPECT_EQ(driveC, dlg.CurrentDrive());
    // A "PSP" that is only a link to a folder is not preferred.
    s.volumes.list = {{s.driveA, "", true}};
    fs::create_directory_symlink(s.driveB + "/PSP", s.driveA + "/PSP");
    dlg.OnTimer(kPspPollTimer);
    EXPECT_EQ(s.driveA, dlg.CurrentDrive());
    s.volumes.list.clear();
    dlg.OnTimer(kPspPollTimer);
    EXPECT_EQ("", dlg.CurrentDrive());
    EXPECT_EQ(kPspNotConnected, dlg.Drives()->currentText().toStdString());
    // The user picks another drive from the combo.
    s.volumes.list = {{s.driveA, "", true}, {s.driveB, "", true}};
    dlg.OnTimer(kPspPollTimer);
    EXPECT_EQ(s.driveB, dlg.CurrentDrive());
    dlg.Drives()->setCurrentIndex(0);
    d.OnCommand(IDC_PSP_DRIVES, CBN_SELCHANGE);
    EXPECT_EQ(s.driveA, dlg.CurrentDrive());
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgPspTransfer dlg;
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
}

TEST(PspTransfer, CopiesIntoTheDeviceFoldersUnderItsNames) {
  PspSetup s(TestFolder());
  WriteBytes(s.driveB + "/VIDEO/wide.mp4", 3, 'o');  // taken on the device
  MessageBoxRecorder boxes;
  ModalScript script;
  script
      .Then([&](UiDialog& d) {
        auto& dlg = static_cast<CDlgPspTransfer&>(d);
        dlg.AddItem(s.files + "/small.mp4", 320, 240, true);
        dlg.AddItem(s.files + "/wide.mp4", 480, 272, true);
        dlg.AddItem(s.files + "/song.mp3", 0, 0, false);
        EXPECT_EQ((std::vector<std::string>{"Video", "Video", "Audio"}), Column(dlg.Files(), 0));
        EXPECT_EQ((std::vector<std::string>{"MP_ROOT/101ANV01", "VIDEO", "MUSIC"}), Column(dlg.Files(), 2));
        EXPECT_EQ((std::vector<std::string>{"0.98KB", "1.95KB", "0.49KB"}), Column(dlg.Files(), 4));
        EXPECT_EQ(1050 + 2000 + 500, dlg.AppendingTotal());
        // Reorder: the song first, then back.
        dlg.Files()->setCurrentItem(dlg.Files()->topLevelItem(2));
        d.OnCommand(ID_PSP_UP, BN_CLICKED);
        d.OnCommand(ID_PSP_UP, BN_CLICKED);
        d.OnCommand(ID_PSP_UP, BN_CLICKED);  // already first
        EXPECT_EQ((std::vector<std::string>{"Audio", "Video", "Video"}), Column(dlg.Files(), 0));
        EXPECT_EQ("song.mp3", dlg.Items()[0]->fileName);
        d.OnCommand(ID_PSP_DOWN, BN_CLICKED);
        d.OnCommand(ID_PSP_DOWN, BN_CLICKED);
        EXPECT_EQ("song.mp3", dlg.Items()[2]->fileName);

        d.OnCommand(IDC_PSP_COPY, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"MAQ00001.MP4", "wide1.mp4", "song.mp3"}), Column(dlg.Files(), 3));
        EXPECT_EQ((std::vector<std::string>{"Copyed", "Copyed", "Copyed"}), Column(dlg.Files(), 5));
        EXPECT_EQ(0, dlg.AppendingTotal());
        // Removing a copied row leaves the total alone; nothing is left to copy.
        dlg.Files()->setCurrentItem(dlg.Files()->topLevelItem(1));
        d.OnCommand(ID_PSP_REMOVE, BN_CLICKED);
        EXPECT_EQ(2, dlg.Files()->topLevelItemCount());
        EXPECT_EQ(0, dlg.AppendingTotal());
        EXPECT_EQ(0, dlg.Files()->indexOfTopLevelItem(dlg.Files()->currentItem()));
        d.OnCommand(IDC_PSP_COPY, BN_CLICKED);
        // A pending row removed takes its size off.
        dlg.AddItem(s.files + "/song.mp3", 0, 0, false);
        EXPECT_EQ(500, dlg.AppendingTotal());
        dlg.Files()->setCurrentItem(dlg.Files()->topLevelItem(2));
        d.OnCommand(ID_PSP_REMOVE, BN_CLICKED);
        EXPECT_EQ(0, dlg.AppendingTotal());
        d.OnCommand(IDCANCEL, BN_CLICKED);
      })
      .Then([](UiDialog& d) { EXPECT_EQ("Copy progress", d.windowTitle().toStdString()); });
  CDlgPspTransfer dlg;
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
  EXPECT_EQ(std::vector<std::string>{"Please add video files to copy to PSP."}, boxes.Texts());
  for (const char* f : kPspFolders) EXPECT_TRUE(fs::is_directory(s.driveB + "/" + f)) << f;
  EXPECT_EQ(ReadAll(s.files + "/small.mp4"), ReadAll(s.driveB + "/MP_ROOT/101ANV01/MAQ00001.MP4"));
  EXPECT_EQ(ReadAll(s.files + "/small.THM"), ReadAll(s.driveB + "/MP_ROOT/101ANV01/MAQ00001.THM"));
  EXPECT_EQ(ReadAll(s.files + "/wide.mp4"), ReadAll(s.driveB + "/VIDEO/wide1.mp4"));
  EXPECT_EQ("ooo", ReadAll(s.driveB + "/VIDEO/wide.mp4"));
  EXPECT_EQ(ReadAll(s.files + "/song.mp3"), ReadAll(s.driveB + "/MUSIC/song.mp3"));
}

TEST(PspTransfer, RowsAreDraggedToANewPlaceAndTheCopyFollowsTheirOrder) {
  PspSetup s(TestFolder());
  ModalScript script;
  script
      .Then([&](UiDialog& d) {
        auto& dlg = static_cast<CDlgPspTransfer&>(d);
        CDragListCtrl* list = dlg.Files();
        EXPECT_TRUE(list->RowDragEnabled());
        dlg.AddItem(s.files + "/small.mp4", 320, 240, true);
        dlg.AddItem(s.files + "/wide.mp4", 480, 272, true);
        dlg.AddItem(s.files + "/song.mp3", 0, 0, false);
        // The song dragged above the first row.
        ASSERT_TRUE(list->BeginRowDrag(2));
        const QRect top = list->visualItemRect(list->topLevelItem(0));
        const QPoint at = list->viewport()->mapToGlobal(QPoint(20, top.center().y()));
        list->DragMoveTo(at);
        EXPECT_EQ(0, list->DropIndex());
        list->DragReleaseAt(at);
        EXPECT_EQ((std::vector<std::string>{"Audio", "Video", "Video"}), Column(list, 0));
        std::vector<std::string> names;
        for (const PspCopyItem* item : dlg.Items()) names.push_back(item->fileName);
        EXPECT_EQ((std::vector<std::string>{"song.mp3", "small.mp4", "wide.mp4"}), names);
        // Removing goes by the row's own item.
        list->setCurrentItem(list->topLevelItem(1));
        d.OnCommand(ID_PSP_REMOVE, BN_CLICKED);
        EXPECT_EQ(500 + 2000, dlg.AppendingTotal());
        d.OnCommand(IDC_PSP_COPY, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"song.mp3", "wide.mp4"}), Column(list, 3));
        EXPECT_EQ((std::vector<std::string>{"Copyed", "Copyed"}), Column(list, 5));
        d.OnCommand(IDCANCEL, BN_CLICKED);
      })
      .Then([](UiDialog& d) { EXPECT_EQ("Copy progress", d.windowTitle().toStdString()); });
  CDlgPspTransfer dlg;
  dlg.SetVolumeList(&s.volumes);
  dlg.DoModal();
  EXPECT_EQ(ReadAll(s.files + "/song.mp3"), ReadAll(s.driveB + "/MUSIC/song.mp3"));
  EXPECT_EQ(ReadAll(s.files + "/wide.mp4"), ReadAll(s.driveB + "/VIDEO/wide.mp4"));
  EXPECT_FALSE(fs::exists(s.driveB + "/MP_ROOT/101ANV01/MAQ00001.MP4")) << "the removed row is not copied";
}

TEST(PspTransfer, PresetResultsAndAFailedCopy) {
  PspSetup s(TestFolder());
  std::vector<ConvertResult> results = {{"1", "small.mp4", 0, 1, 0, 0}, {"2", "lost.mp4", 0, 1, 0, 0}};
  ModalScript script;
  script
      .Then([&](UiDialog& d) {
        auto& dlg = static_cast<CDlgPspTransfer&>(d);
        EXPECT_EQ((std::vector<std::string>{"MP_ROOT/100MNV01", "MP_ROOT/100MNV01"}), Column(dlg.Files(), 2));
        EXPECT_EQ(1050, dlg.AppendingTotal());
        EXPECT_FALSE(dlg.SpaceBar()->Label().empty());
        d.OnCommand(IDC_PSP_COPY, BN_CLICKED);
        EXPECT_EQ((std::vector<std::string>{"Copyed", "Error"}), Column(dlg.Files(), 5));
        EXPECT_EQ((std::vector<std::string>{"M4V00001.MP4", ""}), Column(dlg.Files(), 3));
        SaveArtifact(d.grab().toImage(), "psp_transfer.png");
        d.OnCommand(IDCANCEL, BN_CLICKED);
      })
      .Then([](UiDialog&) {});
  CDlgPspTransfer dlg;
  dlg.SetVolumeList(&s.volumes);
  dlg.SetFiles(&results, s.files, 176, 144, false);
  dlg.DoModal();
  EXPECT_TRUE(fs::exists(s.driveB + "/MP_ROOT/100MNV01/M4V00001.MP4"));
  EXPECT_TRUE(fs::exists(s.driveB + "/MP_ROOT/100MNV01/M4V00001.THM"));
  EXPECT_FALSE(fs::exists(s.driveB + "/MP_ROOT/100MNV01/M4V00002.MP4"));
}

}  // namespace
