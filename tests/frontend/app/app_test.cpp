// The application: ini reading rules, options, user folders, registry files,
// codec availability, file sizes, velmo's start-up as a process, and the main
// frame with its title tree drawn offscreen.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "frontend/app/app_settings.h"
#include "frontend/app/codec_availability.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/ini_access.h"
#include "frontend/app/registry.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/model/crop_resize.h"
#include "frontend/model/ini_file.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder for one test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "velmo-app-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- ini rules ----

TEST(IniFiles, IntegersFollowTheSystemReadersRule) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {{"4", 4},   {"abc", 0},  {"12abc", 12}, {"-3", -3}, {"+8", 8},
               {"  7", 7}, {"0x1F", 0}, {"0xg", 0},    {"", 0},    {"4294967295", INT32_MAX}};
  for (const Case& c : cases) EXPECT_EQ(ParseIniInt(c.text), c.want) << c.text;
}

TEST(IniFiles, SectionsAndKeysIgnoreCaseAndTheFirstMatchWins) {
  TempDir dir;
  std::string ini = dir / "a.ini";
  WriteText(ini,
            "; comment\r\n[option]\r\n mode = 3 \r\nName=\"quoted value\"\r\nEMPTY=\r\n"
            "[OPTION]\r\nMODE=9\r\nOTHER=1\r\n[Config]\r\nPATH=/x\r\n");
  EXPECT_EQ(ReadIniInt(ini, "OPTION", "MODE", 4), 3);
  EXPECT_EQ(ReadIniString(ini, "Option", "name", "-"), "quoted value");
  EXPECT_EQ(ReadIniInt(ini, "OPTION", "EMPTY", 20), 20);      // empty: the default
  EXPECT_EQ(ReadIniString(ini, "OPTION", "EMPTY", "-"), "");  // as text: empty
  EXPECT_EQ(ReadIniInt(ini, "OPTION", "OTHER", 5), 5);        // only the first [OPTION] counts
  EXPECT_EQ(ReadIniString(ini, "CONFIG", "path", ""), "/x");
  EXPECT_EQ(ReadIniString(dir / "missing.ini", "A", "B", "dflt"), "dflt");
  EXPECT_EQ(ReadIniString(dir.path(), "A", "B", "dflt"), "dflt");  // a folder is not a file
  EXPECT_TRUE(IniHasSection(ini, "config"));
  EXPECT_FALSE(IniHasSection(ini, "nope"));
}

TEST(IniFiles, WritingReplacesAddsAndKeepsTheRest) {
  TempDir dir;
  std::string ini = dir / "w.ini";
  ASSERT_TRUE(WriteIniString(ini, "CONFIG", "CONVERTOUTPATH", "/out"));
  ASSERT_TRUE(WriteIniString(ini, "OPTION", "MODE", "2"));
  ASSERT_TRUE(WriteIniString(ini, "config", "convertoutpath", "/out2"));
  ASSERT_TRUE(WriteIniString(ini, "CONFIG", "OTHER", "x"));
  EXPECT_EQ(ReadText(ini), "[CONFIG]\r\nCONVERTOUTPATH=/out2\r\nOTHER=x\r\n[OPTION]\r\nMODE=2\r\n");
  EXPECT_FALSE(WriteIniString(ini, "CONFIG", "BAD", "two\nlines"));
  EXPECT_FALSE(WriteIniString(dir / "no/folder/x.ini", "A", "B", "C"));
  chmod(ini.c_str(), 0444);
  EXPECT_FALSE(WriteIniString(ini, "CONFIG", "OTHER", "y"));  // read-only, even for root
  EXPECT_EQ(ReadIniString(ini, "CONFIG", "OTHER", ""), "x");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);  // no temp left
}

// ---- options ----

TEST(Options, MissingFileGivesTheDefaultsAndBadNumbersReadAsZero) {
  TempDir dir;
  LoadOptionSettingsFrom(dir / "none.ini");
  OptionSettings* o = GetOptionSettings();
  EXPECT_EQ(o->mode, 4);
  EXPECT_EQ(o->preframe, 2);
  EXPECT_EQ(o->overwrite, 0);
  EXPECT_EQ(o->presec, 20);
  WriteText(dir / "setting.ini", "[OPTION]\nMODE=abc\nPRESEC=7\nOVERWRITE=1\n");
  LoadOptionSettingsFrom(dir / "setting.ini");
  EXPECT_EQ(o->mode, 0);
  EXPECT_EQ(o->presec, 7);
  EXPECT_EQ(o->overwrite, 1);
  EXPECT_EQ(o->preframe, 2);
}

// ---- user folders ----

TEST(UserFolders, XdgThenHomeThenTheAccountThenTheSessionFolder) {
  TempDir dir;
  const uid_t me = getuid();
  const std::string runtime = dir / "run";
  fs::create_directories(runtime);
  chmod(runtime.c_str(), 0700);
  const std::string shared = dir / "shared-run";
  fs::create_directories(shared);
  chmod(shared.c_str(), 0777);
  WriteText(dir / "run-file", "x");
  struct Case {
    UserFolderEnv env;
    const char* data;
    const char* config;
    const char* cache;
    std::string runtime;
    const char* documents;
  } cases[] = {
      {{"/x/data", "/x/cfg", "/x/cache", runtime, "/home/u", "/home/p", me, ""},
       "/x/data/velmo",
       "/x/cfg/velmo",
       "/x/cache/velmo",
       runtime,
       "/home/u/Documents"},
      {{"", "", "", "", "/home/u/", "/home/p", me, ""},
       "/home/u/.local/share/velmo",
       "/home/u/.config/velmo",
       "/home/u/.cache/velmo",
       "",
       "/home/u/Documents"},
      // Relative values are ignored, the runtime folder among them.
      {{"rel/data", "rel", "rel", "run", "/home/u", "", me, ""},
       "/home/u/.local/share/velmo",
       "/home/u/.config/velmo",
       "/home/u/.cache/velmo",
       "",
       "/home/u/Documents"},
      // No HOME: the account's home.
      {{"", "", "", "", "", "/home/p", me, "/tmp/s"},
       "/home/p/.local/share/velmo",
       "/home/p/.config/velmo",
       "/home/p/.cache/velmo",
       "",
       "/home/p/Documents"},
      // No home at all: the session folder, never a fixed path.
      {{"", "", "", "", "relative", "", me, "/tmp/velmo-home-ab12"},
       "/tmp/velmo-home-ab12/.local/share/velmo",
       "/tmp/velmo-home-ab12/.config/velmo",
       "/tmp/velmo-home-ab12/.cache/velmo",
       "",
       "/tmp/velmo-home-ab12/Documents"},
      {{"/d", "", "", "", "", "", me, ""}, "/d/velmo", "", "", "", ""},
      // A runtime folder that is not a folder, is someone else's or is open to others does not count.
      {{"", "", "", dir / "run-file", "/h", "", me, ""},
       "/h/.local/share/velmo",
       "/h/.config/velmo",
       "/h/.cache/velmo",
       "",
       "/h/Documents"},
      {{"", "", "", runtime, "/h", "", me + 1, ""},
       "/h/.local/share/velmo",
       "/h/.config/velmo",
       "/h/.cache/velmo",
       "",
       "/h/Documents"},
      {{"", "", "", shared, "/h", "", me, ""},
       "/h/.local/share/velmo",
       "/h/.config/velmo",
       "/h/.cache/velmo",
       "",
       "/h/Documents"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("home " + c.env.home + " runtime " + c.env.xdgRuntimeDir);
    UserFolders f = ResolveUserFolders(c.env);
    EXPECT_EQ(f.data, c.data);
    EXPECT_EQ(f.config, c.config);
    EXPECT_EQ(f.cache, c.cache);
    EXPECT_EQ(f.runtime, c.runtime);
    EXPECT_EQ(f.documents, c.documents);
  }
  EXPECT_FALSE(NeedsSessionHome(UserFolderEnv{"", "", "", "", "", "/home/p", me, ""}));
  EXPECT_TRUE(NeedsSessionHome(UserFolderEnv{"/d", "/c", "", "", "relative", "", me, ""}));
}

TEST(UserFolders, TheDocumentsFolderComesFromTheDesktopsUserDirs) {
  TempDir dir;
  WriteText(dir / "cfg/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  UserFolderEnv env{"", dir / "cfg", "", "", "/home/u", "", 1, ""};
  EXPECT_EQ(ResolveUserFolders(env).documents, "/home/u/Dokumente");
  WriteText(dir / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n");
  EXPECT_EQ(ResolveUserFolders(env).documents, "/srv/docs");
  WriteText(dir / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"relative\"\n");
  EXPECT_EQ(ResolveUserFolders(env).documents, "/home/u/Documents");
}

TEST(UserFolders, OldSettingsAreMovedOnceAndTheNewPlaceWins) {
  TempDir dir;
  const std::string oldFolder = dir / "data/velmo";
  const std::string newFolder = dir / "cfg/velmo";
  WriteText(oldFolder + "/setting.ini", "[OPTION]\nMODE=3\n");
  WriteText(oldFolder + "/recent.lst", "old list");
  WriteText(oldFolder + "/default_2_0_0_0.cfg", "profile overlay");
  WriteText(newFolder + "/recent.lst", "new list");
  EXPECT_EQ(MoveOldSettings(oldFolder, newFolder), 1);
  EXPECT_EQ(ReadText(newFolder + "/setting.ini"), "[OPTION]\nMODE=3\n");
  EXPECT_FALSE(fs::exists(oldFolder + "/setting.ini"));
  // Both places hold a list: the new one is kept, the old one left alone.
  EXPECT_EQ(ReadText(newFolder + "/recent.lst"), "new list");
  EXPECT_EQ(ReadText(oldFolder + "/recent.lst"), "old list");
  // The profile overlay stays in the data folder.
  EXPECT_TRUE(fs::exists(oldFolder + "/default_2_0_0_0.cfg"));
  EXPECT_FALSE(fs::exists(newFolder + "/default_2_0_0_0.cfg"));

  // Later starts move nothing, even when an old file shows up again.
  WriteText(oldFolder + "/setting.ini", "[OPTION]\nMODE=1\n");
  EXPECT_EQ(MoveOldSettings(oldFolder, newFolder), 0);
  EXPECT_EQ(ReadText(newFolder + "/setting.ini"), "[OPTION]\nMODE=3\n");
  EXPECT_EQ(MoveOldSettings(newFolder, newFolder), 0);
  EXPECT_EQ(MoveOldSettings(dir / "none", newFolder), 0);
}

// A child process that runs until its pipe is closed.
class LiveChild {
 public:
  LiveChild() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[1]);
      char c;
      while (read(fds[0], &c, 1) < 0) {
      }
      _exit(0);
    }
    close(fds[0]);
    write_ = fds[1];
  }
  ~LiveChild() { End(); }
  pid_t pid() const { return pid_; }
  void End() {
    if (write_ >= 0) close(write_);
    write_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
  int write_ = -1;
};

// The pid of a process that has ended.
pid_t DeadPid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(InstanceFolders, TwoInstancesRenderCropPreviewsWithoutTouchingEachOther) {
  for (bool withRuntime : {true, false}) {
    SCOPED_TRACE(withRuntime ? "runtime folder" : "cache folder");
    TempDir dir;
    UserFolders folders;
    folders.cache = dir / "cache/velmo";
    if (withRuntime) {
      folders.runtime = dir / "run";
      fs::create_directories(folders.runtime);
    }
    LiveChild other;
    ASSERT_GT(other.pid(), 0);
    InstanceFolder mine;
    InstanceFolder theirs;
    std::string message;
    ASSERT_TRUE(mine.Create(folders, getpid(), getuid(), &message)) << message;
    ASSERT_TRUE(theirs.Create(folders, other.pid(), getuid(), &message)) << message;
    EXPECT_EQ(mine.Path(), withRuntime ? folders.runtime + "/velmo-" + std::to_string(getpid())
                                       : folders.cache + "/" + std::to_string(getpid()));
    EXPECT_NE(mine.Path(), theirs.Path());
    EXPECT_EQ(ModeOf(mine.Path()), 0700u);
    EXPECT_EQ(ModeOf(theirs.Path()), 0700u);
    // A start-up sweep leaves running instances alone.
    EXPECT_EQ(SweepStaleInstanceFolders(folders, getuid()), 0);

    // Each instance's crop dialog writes its blank frame and has its preview rendered at once.
    auto job = std::make_unique<FrameJob>();
    CDlgCropResize first;
    CDlgCropResize second;
    ASSERT_EQ(S_OK, first.SetSource(720, 576, 1.0, 1.0, *job, mine.Path()));
    ASSERT_EQ(S_OK, second.SetSource(352, 240, 1.0, 1.0, *job, theirs.Path()));
    std::thread a([&] { WriteSolidBitmap(first.PreviewPath(), 0x0000FF, 720, 576); });
    std::thread b([&] { WriteSolidBitmap(second.PreviewPath(), 0x00FF00, 352, 240); });
    a.join();
    b.join();
    for (const auto& [folder, size, colour] : {std::tuple{mine.Path(), QSize(720, 576), QColor(255, 0, 0)},
                                               std::tuple{theirs.Path(), QSize(352, 240), QColor(0, 255, 0)}}) {
      std::vector<std::string> names;
      for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, (std::vector<std::string>{"blank.bmp", "preview.bmp"}));
      EXPECT_EQ(QImage(QString::fromStdString(folder + "/blank.bmp")).size(), size);
      const QImage preview(QString::fromStdString(folder + "/preview.bmp"));
      EXPECT_EQ(preview.size(), size);
      EXPECT_EQ(preview.pixelColor(1, 1), colour);
    }

    // Once the other instance has gone, the next start sweeps its folder; this one's stays.
    other.End();
    EXPECT_EQ(SweepStaleInstanceFolders(folders, getuid()), 1);
    EXPECT_FALSE(fs::exists(theirs.Path()));
    EXPECT_TRUE(fs::is_directory(mine.Path()));
    const std::string path = mine.Path();
    mine.Remove();
    EXPECT_FALSE(fs::exists(path));
  }
}

TEST(InstanceFolders, TheSweepTakesOnlyFoldersOfDeadVelmoProcesses) {
  TempDir dir;
  UserFolders folders;
  folders.runtime = dir / "run";
  folders.cache = dir / "cache/velmo";
  const std::string dead = std::to_string(DeadPid());
  const std::string self = std::to_string(getpid());
  WriteText(folders.runtime + "/velmo-" + dead + "/preview.bmp", "x");
  WriteText(folders.cache + "/" + dead + "/blank.bmp", "x");
  WriteText(folders.runtime + "/velmo-" + self + "/preview.bmp", "x");  // running
  WriteText(folders.runtime + "/velmo-12ab/keep", "x");                 // not a pid
  WriteText(folders.runtime + "/other-" + dead + "/keep", "x");         // not velmo's
  WriteText(folders.runtime + "/velmo-99999999999/keep", "x");          // out of range
  WriteText(dir / "target/keep", "x");
  const std::string link = folders.runtime + "/velmo-" + std::to_string(DeadPid());
  fs::create_directory_symlink(dir / "target", link);  // a link is never followed
  EXPECT_EQ(SweepStaleInstanceFolders(folders, getuid()), 2);
  EXPECT_FALSE(fs::exists(folders.runtime + "/velmo-" + dead));
  EXPECT_FALSE(fs::exists(folders.cache + "/" + dead));
  for (const std::string& kept :
       {folders.runtime + "/velmo-" + self + "/preview.bmp", folders.runtime + "/velmo-12ab/keep",
        folders.runtime + "/other-" + dead + "/keep", folders.runtime + "/velmo-99999999999/keep", dir / "target/keep"})
    EXPECT_TRUE(fs::exists(kept)) << kept;
  EXPECT_TRUE(fs::is_symlink(link));
  // Someone else's folder is not swept (as another uid sees it).
  WriteText(folders.runtime + "/velmo-" + dead + "/preview.bmp", "x");
  EXPECT_EQ(SweepStaleInstanceFolders(folders, getuid() + 1), 0);
}

TEST(InstanceFolders, ALeftoverOfOurPidIsReusedEmptyAndAForeignNameRefused) {
  TempDir dir;
  UserFolders folders;
  folders.runtime = dir / "run";
  WriteText(folders.runtime + "/velmo-" + std::to_string(getpid()) + "/preview.bmp", "stale");
  std::string message;
  {
    InstanceFolder folder;
    ASSERT_TRUE(folder.Create(folders, getpid(), getuid(), &message)) << message;
    EXPECT_TRUE(fs::is_empty(folder.Path()));
    EXPECT_EQ(ModeOf(folder.Path()), 0700u);
  }
  EXPECT_FALSE(fs::exists(folders.runtime + "/velmo-" + std::to_string(getpid())));  // removed with the object

  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", folders.runtime + "/velmo-" + std::to_string(getpid()));
  InstanceFolder folder;
  EXPECT_FALSE(folder.Create(folders, getpid(), getuid(), &message));
  EXPECT_NE(message.find("preview folder"), std::string::npos) << message;
  EXPECT_TRUE(folder.Path().empty());
  EXPECT_FALSE(folder.Create(UserFolders{}, getpid(), getuid(), &message));
  ASSERT_TRUE(folder.CreateTemporary(&message)) << message;
  EXPECT_EQ(ModeOf(folder.Path()), 0700u);
}

// ---- registry files ----

constexpr const char* kDrivers32 = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

TEST(Registry, TheMachineFileAnswersForKeysItHoldsAndTheUserFileForTheRest) {
  TempDir dir;
  RegistryFiles files{dir / "machine.ini", dir / "user/registry.ini"};
  std::string v;
  EXPECT_FALSE(RegistryReadValue(files, kVp6DriverValue, v, 260));
  WriteText(files.user, std::string("[") + kDrivers32 + "]\nvidc.vp62=/user/vp6.so\n");
  ASSERT_TRUE(RegistryReadValue(files, kVp6DriverValue, v, 260));
  EXPECT_EQ(v, "/user/vp6.so");
  // Once the machine file holds the key, a missing value there does not fall back.
  WriteText(files.machine, std::string("[") + kDrivers32 + "]\nmsacm.other=x\n");
  EXPECT_FALSE(RegistryReadValue(files, kVp6DriverValue, v, 260));
  // A value that does not fit is refused, never cut.
  WriteText(files.machine, std::string("[") + kDrivers32 + "]\nvidc.vp62=" + std::string(300, 'a') + "\n");
  EXPECT_FALSE(RegistryReadValue(files, kVp6DriverValue, v, 260));
  EXPECT_FALSE(RegistryReadValue(files, "novaluepath", v, 260));
}

TEST(Registry, WritesGoToTheUserFileWhenTheMachineFileCannotBeWritten) {
  TempDir dir;
  RegistryFiles files{dir / "machine.ini", dir / "cfg/velmo/registry.ini"};
  ASSERT_TRUE(RegistryWriteValue(files, kVp6DriverValue, "/a.so"));
  EXPECT_NE(ReadText(files.machine).find("vidc.vp62=/a.so"), std::string::npos);
  EXPECT_FALSE(fs::exists(files.user));

  chmod(files.machine.c_str(), 0444);  // a read-only machine file
  ASSERT_TRUE(RegistryWriteValue(files, kVp6DriverValue, "/b.so"));
  EXPECT_NE(ReadText(files.user).find("vidc.vp62=/b.so"), std::string::npos);
  EXPECT_NE(ReadText(files.machine).find("/a.so"), std::string::npos);

  RegistryFiles folderInWay{dir.path(), dir / "u2/registry.ini"};  // not a file at all
  EXPECT_TRUE(RegistryWriteValue(folderInWay, kVp6DriverValue, "/c.so"));
  EXPECT_TRUE(fs::exists(dir / "u2/registry.ini"));
  RegistryFiles nowhere{"/proc/nope/registry.ini", "/proc/nope/user.ini"};
  EXPECT_FALSE(RegistryWriteValue(nowhere, kVp6DriverValue, "/d.so"));
}

// ---- codec availability ----

TEST(CodecAvailability, Vp6CountsOnlyWhenTheNamedLibraryLoadsAndExportsItsEntry) {
  TempDir dir;
  RegistryFiles files{dir / "machine.ini", dir / "user.ini"};
  EXPECT_FALSE(IsVp6Installed(files));
  auto set = [&](const std::string& value) {
    WriteText(files.machine, std::string("[") + kDrivers32 + "]\nvidc.vp62=" + value + "\n");
  };
  set(VP6_DRIVER_SO);
  EXPECT_TRUE(IsVp6Installed(files));
  set(VP6_PLAIN_SO);
  EXPECT_FALSE(IsVp6Installed(files));
  set(dir / "missing.so");
  EXPECT_FALSE(IsVp6Installed(files));
  WriteText(dir / "garbage.so", "not an elf file");
  set(dir / "garbage.so");
  EXPECT_FALSE(IsVp6Installed(files));
  set("");
  EXPECT_FALSE(IsVp6Installed(files));
}

TEST(CodecAvailability, RegisteringNeedsTheProgramsOwnCopyAndFallsBackToTheUserFile) {
  TempDir dir;
  RegistryFiles files{dir / "prog/registry.ini", dir / "cfg/registry.ini"};
  fs::create_directories(dir / "prog/plugin");
  EXPECT_FALSE(RegisterVp6Codec(dir / "prog", files));
  EXPECT_FALSE(fs::exists(files.machine));  // the registry is not touched
  EXPECT_FALSE(fs::exists(files.user));

  fs::copy_file(VP6_DRIVER_SO, dir / "prog/plugin/vp6vfw.so");
  ASSERT_TRUE(RegisterVp6Codec(dir / "prog", files));
  EXPECT_TRUE(IsVp6Installed(files));
  std::string v;
  ASSERT_TRUE(RegistryReadValue(files, kVp6DriverValue, v, 260));
  EXPECT_EQ(v, dir / "prog/plugin/vp6vfw.so");

  fs::remove(files.machine);
  fs::create_directories(files.machine);  // the machine file cannot be written
  ASSERT_TRUE(RegisterVp6Codec(dir / "prog", files));
  EXPECT_TRUE(fs::exists(files.user));
  EXPECT_TRUE(IsVp6Installed(files));
}

TEST(CodecAvailability, RealMediaNeedsOneDecoderInTheFolderOfEitherKey) {
  TempDir dir;
  RegistryFiles files{dir / "machine.ini", dir / "user.ini"};
  EXPECT_FALSE(IsRealMediaInstalled(files));
  std::string codecs = dir / "real/";
  fs::create_directories(codecs);
  WriteText(files.machine, "[SOFTWARE\\Classes\\Software\\RealNetworks\\Preferences\\DT_Codecs]\n@=" + codecs + "\n");
  EXPECT_FALSE(IsRealMediaInstalled(files));
  WriteText(codecs + "cook3260.so", "x");
  EXPECT_TRUE(IsRealMediaInstalled(files));
  fs::remove(codecs + "cook3260.so");
  // The first key's folder lacks them; the second key's has drvc.
  std::string helix = dir / "helix/";
  WriteText(helix + "drvc.so", "x");
  WriteText(files.user, "[SOFTWARE\\Classes\\Helix\\HelixSDK\\10.0\\Preferences\\DT_Codecs]\n@=" + helix + "\n");
  EXPECT_TRUE(IsRealMediaInstalled(files));
}

// ---- file sizes ----

TEST(FileSize, RegularFilesOnly) {
  TempDir dir;
  WriteText(dir / "f.bin", std::string(1234, 'x'));
  EXPECT_EQ(GetFileSize64(dir / "f.bin"), 1234);
  EXPECT_EQ(GetFileSize64(dir / "missing"), -1);
  EXPECT_EQ(GetFileSize64(dir.path()), -1);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(GetFileSize64(dir / "pipe"), -1);  // returns at once
}

// ---- velmo as a process ----

std::string Velmo() { return ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/velmo"); }

std::string Line(const std::string& output, const std::string& name) {
  size_t at = output.find("\n" + name + "=");
  if (at == std::string::npos && output.rfind(name + "=", 0) == 0)
    at = static_cast<size_t>(-1);
  else if (at == std::string::npos)
    return "<none>";
  size_t start = at + 1 + name.size() + 1;
  return output.substr(start, output.find('\n', start) - start);
}

TEST(VelmoProcess, AFirstRunCreatesTheFoldersAndTakesTheDefaultOptions) {
  TempDir dir;
  CommandRun run = RunCommand("env HOME=" + ShellQuote(dir / "home") + " XDG_DATA_HOME=" + ShellQuote(dir / "data") +
                              " XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " QT_QPA_PLATFORM=offscreen " + Velmo() +
                              " --exit-after-init 2>&1");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "MODE"), "4") << run.output;
  EXPECT_EQ(Line(run.output, "PREFRAME"), "2");
  EXPECT_EQ(Line(run.output, "OVERWRITE"), "0");
  EXPECT_EQ(Line(run.output, "PRESEC"), "20");
  EXPECT_EQ(Line(run.output, "DATA"), dir / "data/velmo");
  EXPECT_EQ(Line(run.output, "OUTPUT"), dir / "home/Documents/Velmo DVD Converter");
  EXPECT_NE(Line(run.output, "CODECS"), "0");  // the staged codec table was loaded
  EXPECT_TRUE(fs::is_directory(dir / "data/velmo"));
  EXPECT_TRUE(fs::is_directory(dir / "home/Documents/Velmo DVD Converter"));
}

TEST(VelmoProcess, ReadsTheSettingsFileAndSurvivesBadValues) {
  TempDir dir;
  WriteText(dir / "cfg/velmo/setting.ini",
            "[OPTION]\nMODE=abc\nPREFRAME=9\nOVERWRITE=1\nPRESEC=33\n[CONFIG]\nCONVERTOUTPATH=" + (dir / "out") + "\n");
  // No HOME: the XDG folders and the configured output folder are enough.
  CommandRun run = RunCommand("env -u HOME XDG_DATA_HOME=" + ShellQuote(dir / "data") +
                              " XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " QT_QPA_PLATFORM=offscreen " + Velmo() +
                              " --exit-after-init 2>&1");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "MODE"), "0");
  EXPECT_EQ(Line(run.output, "PREFRAME"), "9");
  EXPECT_EQ(Line(run.output, "OVERWRITE"), "1");
  EXPECT_EQ(Line(run.output, "PRESEC"), "33");
  EXPECT_EQ(Line(run.output, "OUTPUT"), dir / "out");
}

TEST(VelmoProcess, TakesTheSettingsFromTheOldDataFolderOnce) {
  TempDir dir;
  WriteText(dir / "data/velmo/setting.ini", "[OPTION]\nMODE=3\nPRESEC=12\n");
  WriteText(dir / "data/velmo/recent2.lst", "list");
  const std::string velmo = "env HOME=" + ShellQuote(dir / "home") + " XDG_DATA_HOME=" + ShellQuote(dir / "data") +
                            " XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " QT_QPA_PLATFORM=offscreen " + Velmo() +
                            " --exit-after-init 2>&1";
  CommandRun run = RunCommand(velmo);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "MODE"), "3");
  EXPECT_EQ(Line(run.output, "PRESEC"), "12");
  EXPECT_EQ(Line(run.output, "CONFIG"), dir / "cfg/velmo");
  EXPECT_EQ(ReadText(dir / "cfg/velmo/setting.ini"), "[OPTION]\nMODE=3\nPRESEC=12\n");
  EXPECT_TRUE(fs::exists(dir / "cfg/velmo/recent2.lst"));
  EXPECT_FALSE(fs::exists(dir / "data/velmo/setting.ini"));
  // An old file that shows up again does not replace the settings in use.
  WriteText(dir / "data/velmo/setting.ini", "[OPTION]\nMODE=1\n");
  run = RunCommand(velmo);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "MODE"), "3");
}

TEST(VelmoProcess, ThePreviewFolderIsPrivateToTheRunAndGoneAfterIt) {
  for (bool withRuntime : {true, false}) {
    SCOPED_TRACE(withRuntime ? "runtime folder" : "cache folder");
    TempDir dir;
    const std::string runtime = dir / "run";
    fs::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    const std::string stale = withRuntime ? runtime + "/velmo-" + std::to_string(DeadPid())
                                          : dir / ("cache/velmo/" + std::to_string(DeadPid()));
    WriteText(stale + "/preview.bmp", "x");
    const std::string runtimeVar = withRuntime ? " XDG_RUNTIME_DIR=" + ShellQuote(runtime) : " -u XDG_RUNTIME_DIR";
    CommandRun run = RunCommand(
        "env" + runtimeVar + " HOME=" + ShellQuote(dir / "home") + " XDG_DATA_HOME=" + ShellQuote(dir / "data") +
        " XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " XDG_CACHE_HOME=" + ShellQuote(dir / "cache") +
        " QT_QPA_PLATFORM=offscreen " + Velmo() + " --exit-after-init 2>&1");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string folder = Line(run.output, "PREVIEW");
    if (withRuntime)
      EXPECT_EQ(folder.rfind(runtime + "/velmo-", 0), 0u) << run.output;
    else
      EXPECT_EQ(folder.rfind(dir / "cache/velmo/", 0), 0u) << run.output;
    EXPECT_FALSE(fs::exists(folder)) << folder;  // removed at exit
    EXPECT_FALSE(fs::exists(stale));             // a dead run's folder swept at start
  }
}

TEST(VelmoProcess, WithoutXdgVariablesTheFoldersGoBelowHome) {
  TempDir dir;
  CommandRun run = RunCommand("env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME=" + ShellQuote(dir.path()) +
                              " QT_QPA_PLATFORM=offscreen " + Velmo() + " --exit-after-init 2>&1");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Line(run.output, "DATA"), dir / ".local/share/velmo");
  EXPECT_TRUE(fs::is_directory(dir / ".local/share/velmo"));
}

TEST(VelmoProcess, HelpUsageErrorsAndAMissingDisplay) {
  CommandRun help = RunCommand(Velmo() + " --help 2>&1");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--exit-after-init"), std::string::npos);
  CommandRun bad = RunCommand("env QT_QPA_PLATFORM=offscreen " + Velmo() + " --bogus 2>&1");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.output.find("unknown argument '--bogus'"), std::string::npos);
  CommandRun headless = RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Velmo() + " 2>&1");
  EXPECT_EQ(headless.status, 1);
  EXPECT_NE(headless.output.find("no display"), std::string::npos);
}

// ---- the main frame, drawn ----

TEST(MainFrame, TheEmptyFrameAndATitleTreeWithThreeRows) {
  CDlgDvdMain dlg;
  ModalScript script;
  QImage frame, tree;
  CColumnTreeCtrl* ct = dlg.TitleTree();
  script.Then([&](UiDialog& d) {
    ASSERT_TRUE(WaitUntil([&] { return d.isVisible(); }));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Velmo DVD Converter"));
    EXPECT_EQ(d.ItemRect(IDC_TITLE_TREE), d.MapDialogRect(QRect(7, 20, 339, 145)));
    ASSERT_EQ(ct->ColumnCount(), 5);
    const char* titles[] = {"Title", "Duration", "Estimated size", "Output size", "Status"};
    const int widths[] = {150, 80, 95, 95, 60};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(ct->Header().model()->headerData(i, Qt::Horizontal).toString(), QString::fromUtf8(titles[i]));
      EXPECT_EQ(ct->ColumnWidth(i), widths[i]);
    }
    frame = d.grab().toImage();

    CCustomTreeChildCtrl& t = ct->Tree();
    const char* rows[][5] = {{"Title 1", "01:32:10", "1.20GB", "", "Ready"},
                             {"Title 2", "00:03:05", "40.50MB", "", "Ready"},
                             {"Title 3", "00:00:41", "9.10MB", "", "Ready"}};
    for (int r = 0; r < 3; ++r) {
      QTreeWidgetItem* item = t.InsertItem(QString());
      for (int c = 0; c < 5; ++c) ct->SetItemText(item, c, QString::fromUtf8(rows[r][c]));
      t.SetCheck(item, r < 2 ? 2 : 0);
    }
    ct->Layout();
    tree = ct->grab().toImage();
    // The menu's Exit ends the window with OK.
    d.MenuAction(ID_FILE_EXIT)->trigger();
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  ASSERT_FALSE(frame.isNull());
  ASSERT_FALSE(tree.isNull());
  SaveArtifact(frame, "main_frame.png");
  SaveArtifact(tree, "title_tree.png");

  // The empty frame: header text drawn, the tree below it blank.
  QRect treeRect = dlg.ItemRect(IDC_TITLE_TREE).translated(dlg.Client()->pos());
  int headerHeight = ct->HeaderHeight();
  QColor window = SysColor(COLOR_WINDOW);
  EXPECT_GT(CountOtherThan(frame, QRect(treeRect.left() + 4, treeRect.top() + 2, 40, headerHeight - 4),
                           ct->Header().palette().color(QPalette::Button)),
            10);
  QRect blank(treeRect.left() + 10, treeRect.top() + headerHeight + 10, 200, 80);
  EXPECT_EQ(CountOtherThan(frame, blank, window, 0), 0)
      << treeRect.x() << "," << treeRect.y() << " first " << frame.pixelColor(blank.topLeft()).name().toStdString();

  // The tree: checked boxes differ from the unchecked one, texts in the columns, the grid.
  CCustomTreeChildCtrl& t = ct->Tree();
  auto rowTop = [&](int r) { return headerHeight + t.visualItemRect(t.topLevelItem(r)).top(); };
  QRect box0 = t.StateIconRect(t.topLevelItem(0)).translated(0, headerHeight);
  QRect box2 = t.StateIconRect(t.topLevelItem(2)).translated(0, headerHeight);
  ASSERT_FALSE(box0.isNull());
  QImage checked = tree.copy(box0);
  QImage unchecked = tree.copy(box2);
  EXPECT_EQ(checked, tree.copy(t.StateIconRect(t.topLevelItem(1)).translated(0, headerHeight)));
  EXPECT_NE(checked, unchecked);
  int rowHeight = t.visualItemRect(t.topLevelItem(0)).height();
  for (int r = 0; r < 3; ++r) {
    // "Status" column (starts at 420) and the first column both hold text.
    EXPECT_GT(CountOtherThan(tree, QRect(420 + 8, rowTop(r) + 2, 50, rowHeight - 4), window), 5) << r;
    EXPECT_GT(CountOtherThan(tree, QRect(box0.right() + 3, rowTop(r) + 2, 40, rowHeight - 4), window), 5) << r;
    // The grid line right of the first column.
    EXPECT_EQ(tree.pixelColor(150 - 2, rowTop(r) + rowHeight / 2), SysColor(COLOR_3DLIGHT)) << r;
  }
  // "Output size" is empty in every row; the row's bottom edge is grid.
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(CountOtherThan(tree, QRect(325 + 8, rowTop(r) + 2, 80, rowHeight - 4), window, 0), 0) << r;
    EXPECT_EQ(tree.pixelColor(325 + 40, rowTop(r) + rowHeight - 1), SysColor(COLOR_3DLIGHT)) << r;
  }
}

TEST(MainFrame, TheCloseBoxEndsTheWindowAsCancel) {
  CDlgDvdMain dlg;
  ModalScript script;
  script.Then([](UiDialog& d) { d.close(); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(script.Unscripted(), 0);
}

}  // namespace
