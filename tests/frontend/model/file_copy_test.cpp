#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "frontend/model/file_copy.h"
#include "frontend/model/psp_transfer.h"
#include "frontend/model/volumes.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/child_run.h"

namespace fs = std::filesystem;

namespace {

std::string WriteBytes(const std::string& path, size_t bytes, char fill = 'x') {
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, fill);
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CopyNames, UniqueNamesSplitAtTheFirstDot) {
  const std::string folder = TestFolder();
  Touch(folder + "/a.mp4");
  Touch(folder + "/a1.mp4");
  Touch(folder + "/movie.part1.avi");
  Touch(folder + "/noext");
  fs::create_directory(folder + "/taken.mp3");  // a folder takes the name too
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"a.mp4", "a2.mp4"},  {"b.mp4", "b.mp4"},          {"movie.part1.avi", "movie1.part1.avi"},
      {"noext", "noext1."}, {"taken.mp3", "taken1.mp3"},
  };
  for (const auto& c : cases) EXPECT_EQ(folder + "/" + c.expected, MakeUniqueCopyName(folder, c.name)) << c.name;
  // A trailing slash on the folder is not doubled.
  EXPECT_EQ(folder + "/b.mp4", MakeUniqueCopyName(folder + "/", "b.mp4"));
}

TEST(CopyNames, EveryNumberTakenGivesNoName) {
  const std::string folder = TestFolder();
  Touch(folder + "/x.ts");
  for (int n = 1; n <= kMaxCopyNumber; ++n) std::ofstream(folder + "/x" + std::to_string(n) + ".ts");
  EXPECT_EQ("", MakeUniqueCopyName(folder, "x.ts"));
  const CopyResult r = CopyFileWithProgress(folder + "/x.ts", "", {}, nullptr);
  EXPECT_EQ(CopyOutcome::kFailed, r.outcome);
}

TEST(SizeTexts, Boundaries) {
  const int64_t kGiB = int64_t{1} << 30, kMiB = int64_t{1} << 20;
  const struct {
    int64_t bytes;
    const char* space;
    const char* file;
  } cases[] = {
      {0, "0MB", "0.00KB"},
      {1023, "0MB", "1.00KB"},
      {kMiB - 1, "0MB", "1024.00KB"},
      {kMiB, "1MB", "1.00MB"},
      {kGiB, "1024MB", "1024.00MB"},
      {kGiB + 1, "1.00GB", "1024.00MB"},
      {3 * kGiB / 2, "1.50GB", "1536.00MB"},
      {int64_t{5} << 32, "20.00GB", "20480.00MB"},
      {-kGiB / 2, "-0.50GB", "-0.50KB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.space, FormatSpaceSize(c.bytes)) << c.bytes;
    if (c.bytes >= 0) {
      EXPECT_EQ(c.file, FormatFileSize(c.bytes)) << c.bytes;
    }
  }
}

TEST(SpaceDisplay, PositionAndTextIncludingOverflowAndNothingToAsk) {
  const int64_t kGiB = int64_t{1} << 30;
  SpaceDisplay d = MakeSpaceDisplay(true, 10 * kGiB, 4 * kGiB, kGiB);
  EXPECT_EQ(70, d.position);
  EXPECT_EQ("6.00GB used,1024MB appending,3.00GB free", d.text);
  // Files that do not fit: past 100 and a negative free part.
  d = MakeSpaceDisplay(true, 2 * kGiB, kGiB / 2, kGiB);
  EXPECT_EQ(125, d.position);
  EXPECT_EQ("1.50GB used,1024MB appending,-0.50GB free", d.text);
  // Only empty or missing files: nothing appending.
  d = MakeSpaceDisplay(true, 2 * kGiB, kGiB, 0);
  EXPECT_EQ("1024MB used,0MB appending,1024MB free", d.text);
  // No destination, or a volume of size 0: no division by zero.
  EXPECT_EQ("", MakeSpaceDisplay(false, 5, 5, 5).text);
  EXPECT_EQ(0, MakeSpaceDisplay(false, 5, 5, 5).position);
  EXPECT_EQ(0, MakeSpaceDisplay(true, 0, 0, 100).position);

  EXPECT_EQ(0, CopyPercent(0, 0, 0));
  EXPECT_EQ(0, CopyPercent(10, 5, 0));
  EXPECT_EQ(50, CopyPercent(40, 10, 100));
  EXPECT_EQ(100, CopyPercent(int64_t{1} << 40, 0, int64_t{1} << 40));

  int64_t total = 0, free = 0;
  ASSERT_TRUE(GetDiskSpace(TestFolder(), &total, &free));
  EXPECT_GT(total, 0);
  EXPECT_LE(free, total);
  EXPECT_FALSE(GetDiskSpace(TestFolder() + "/missing/deeper", &total, &free));
  EXPECT_FALSE(GetDiskSpace("", &total, &free));
}

TEST(FileCopy, CopiesWithProgressAndRefusesAnExistingTarget) {
  const std::string folder = TestFolder();
  const std::string src = WriteBytes(folder + "/src.bin", (3 << 20) + 17, 'a');
  std::vector<int64_t> steps;
  CopyResult r = CopyFileWithProgress(
      src, folder + "/dst.bin", [&](int64_t n) { steps.push_back(n); }, nullptr);
  ASSERT_EQ(CopyOutcome::kCopied, r.outcome) << r.error;
  EXPECT_EQ(ReadAll(src), ReadAll(folder + "/dst.bin"));
  ASSERT_EQ(4u, steps.size());
  EXPECT_EQ((3 << 20) + 17, steps.back());
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

  // An existing target is never overwritten.
  WriteBytes(folder + "/keep.bin", 5, 'k');
  r = CopyFileWithProgress(src, folder + "/keep.bin", {}, nullptr);
  EXPECT_EQ(CopyOutcome::kFailed, r.outcome);
  EXPECT_NE(std::string::npos, r.error.find("keep.bin"));
  EXPECT_EQ("kkkkk", ReadAll(folder + "/keep.bin"));

  // An empty file copies; a missing source or a folder as source fails and
  // leaves no target.
  WriteBytes(folder + "/empty", 0);
  EXPECT_EQ(CopyOutcome::kCopied, CopyFileWithProgress(folder + "/empty", folder + "/empty2", {}, nullptr).outcome);
  EXPECT_TRUE(fs::exists(folder + "/empty2"));
  for (const std::string& from : {folder + "/gone", folder}) {
    r = CopyFileWithProgress(from, folder + "/none", {}, nullptr);
    EXPECT_EQ(CopyOutcome::kFailed, r.outcome) << from;
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(fs::exists(folder + "/none"));
  }
}

TEST(FileCopy, CancelRemovesThePartialTarget) {
  const std::string folder = TestFolder();
  const std::string src = WriteBytes(folder + "/big.bin", 4 << 20);
  std::atomic<int> cancel{0};
  int calls = 0;
  const CopyResult r = CopyFileWithProgress(
      src, folder + "/part.bin",
      [&](int64_t) {
        ++calls;
        cancel = 1;  // after the first block
      },
      &cancel);
  EXPECT_EQ(CopyOutcome::kCancelled, r.outcome);
  EXPECT_EQ(1, calls);
  EXPECT_FALSE(fs::exists(folder + "/part.bin"));
  // Cancelled before the start: nothing is made either.
  EXPECT_EQ(CopyOutcome::kCancelled, CopyFileWithProgress(src, folder + "/p2.bin", {}, &cancel).outcome);
  EXPECT_FALSE(fs::exists(folder + "/p2.bin"));
}

TEST(FileCopy, ANotWritableFolderFails) {
  const std::string folder = TestFolder();
  const std::string src = WriteBytes(folder + "/a.bin", 10);
  fs::create_directory(folder + "/ro");
  fs::permissions(folder + "/ro", fs::perms::owner_read | fs::perms::owner_exec);
  // Root writes anywhere: the copy runs without that privilege.
  const int status = RunUnprivileged([&] {
    const CopyResult r = CopyFileWithProgress(src, folder + "/ro/a.bin", {}, nullptr);
    if (r.outcome != CopyOutcome::kFailed) return 1;
    return r.error.find("cannot create") == std::string::npos ? 2 : 0;
  });
  fs::permissions(folder + "/ro", fs::perms::owner_all);
  EXPECT_EQ(0, status) << "1: the copy did not fail, 2: the error does not say it cannot create";
  EXPECT_FALSE(fs::exists(folder + "/ro/a.bin"));
}

TEST(FileSizes, MissingAndFoldersAreZero) {
  const std::string folder = TestFolder();
  EXPECT_EQ(7, FileSize64(WriteBytes(folder + "/f", 7)));
  EXPECT_EQ(0, FileSize64(folder + "/missing"));
  EXPECT_EQ(0, FileSize64(folder));
}

TEST(Volumes, MountTableSysfsAndLabels) {
  const std::string folder = TestFolder();
  std::ofstream(folder + "/mounts") << "sysfs /sys sysfs rw 0 0\n"
                                       "/dev/sda2 / ext4 rw 0 0\n"
                                       "/dev/sda3 /home ext4 rw 0 0\n"
                                       "/dev/sdb1 /mnt/usb\\040stick vfat rw 0 0\n"
                                       "/dev/sr0 /media/cd iso9660 ro 0 0\n"
                                       "/dev/loop3 /snap/x squashfs ro 0 0\n"
                                       "/dev/sdc1 /media/me/DISK ext4 rw 0 0\n"
                                       "tmpfs /tmp tmpfs rw 0 0\n";
  const std::string sys = folder + "/sys";
  fs::create_directories(sys + "/sda/sda3");
  fs::create_directories(sys + "/sdb/sdb1");
  std::ofstream(sys + "/sda/removable") << "0\n";
  std::ofstream(sys + "/sdb/removable") << "1\n";
  fs::create_directory_symlink("sda/sda3", sys + "/sda3");
  fs::create_directory_symlink("sdb/sdb1", sys + "/sdb1");
  fs::create_directories(folder + "/labels");
  fs::create_symlink("../../sdb1", folder + "/labels/MY\\x20STICK");

  const std::vector<Volume> v = ListVolumes({folder + "/mounts", sys, folder + "/labels"});
  ASSERT_EQ(4u, v.size());
  EXPECT_EQ("/", v[0].root);
  EXPECT_FALSE(v[0].removable);
  EXPECT_EQ("/home", v[1].root);
  EXPECT_FALSE(v[1].removable);
  EXPECT_EQ("/mnt/usb stick", v[2].root);
  EXPECT_EQ("MY STICK", v[2].label);
  EXPECT_TRUE(v[2].removable);
  EXPECT_EQ("/media/me/DISK", v[3].root);
  EXPECT_TRUE(v[3].removable);  // a desktop mount

  SystemVolumeList list({folder + "/mounts", sys, folder + "/labels"});
  EXPECT_EQ((std::vector<std::string>{"/mnt/usb stick", "/media/me/DISK"}), ListRemovableDrives(list));
  // Nothing readable: the root file system alone.
  EXPECT_EQ(1u, ListVolumes({folder + "/none", folder + "/none", folder + "/none"}).size());
}

TEST(PspRules, FolderAndNameByPictureSize) {
  const std::string folder = TestFolder();
  const std::string small = WriteBytes(folder + "/small.mp4", 100);
  WriteBytes(folder + "/small.THM", 20);
  const std::string wide = WriteBytes(folder + "/wide.mp4", 50);
  const std::string song = WriteBytes(folder + "/song.mp3", 30);
  const struct {
    std::string path;
    int w, h;
    bool h264;
    const char* folder;
    const char* prefix;
    bool numbered, audio, thumb;
    int64_t size;
  } cases[] = {
      {small, 320, 240, true, "MP_ROOT/101ANV01", "MAQ", true, false, true, 120},
      {small, 370, 240, false, "MP_ROOT/100MNV01", "M4V", true, false, true, 120},
      {wide, 480, 272, true, "VIDEO", "", false, false, false, 50},
      {wide, 371, 272, false, "VIDEO", "", false, false, false, 50},
      {song, 0, 0, false, "MUSIC", "", false, true, false, 30},
      {wide, 320, 0, true, "MUSIC", "", false, true, false, 50},
  };
  for (const auto& c : cases) {
    const PspCopyItem item = MakePspItem(c.path, c.w, c.h, c.h264);
    EXPECT_EQ(c.folder, item.pspFolder) << c.path << " " << c.w;
    EXPECT_EQ(c.prefix, item.prefix);
    EXPECT_EQ(c.numbered, item.numbered);
    EXPECT_EQ(c.audio, item.audio);
    EXPECT_EQ(c.thumb, item.hasThumbnail);
    EXPECT_EQ(c.size, item.size);
    EXPECT_EQ(1, item.copyStatus);
  }
  EXPECT_EQ("small.mp4", MakePspItem(small, 0, 0, false).fileName);
  EXPECT_EQ(folder + "/small.THM", MakePspItem(small, 320, 240, true).thumbnailPath);
}

TEST(PspRules, DeviceFoldersAndTargetNames) {
  const std::string root = TestFolder();
  std::string error;
  ASSERT_TRUE(CreatePspFolders(root, &error)) << error;
  for (const char* f : kPspFolders) EXPECT_TRUE(fs::is_directory(root + "/" + f)) << f;
  ASSERT_TRUE(CreatePspFolders(root, &error));  // again: existing folders are fine

  PspCopyItem numbered = MakePspItem("/x/clip.mp4", 320, 240, true);
  EXPECT_EQ(root + "/MP_ROOT/101ANV01/MAQ00001.MP4", MakePspTargetName(root, numbered));
  EXPECT_EQ("MAQ00001.MP4", numbered.pspFileName);
  Touch(root + "/MP_ROOT/101ANV01/MAQ00001.MP4");
  EXPECT_EQ(root + "/MP_ROOT/101ANV01/MAQ00002.MP4", MakePspTargetName(root, numbered));
  PspCopyItem m4v = MakePspItem("/x/clip.mp4", 176, 144, false);
  EXPECT_EQ(root + "/MP_ROOT/100MNV01/M4V00001.MP4", MakePspTargetName(root, m4v));

  PspCopyItem video = MakePspItem("/x/film.mp4", 480, 272, true);
  EXPECT_EQ(root + "/VIDEO/film.mp4", MakePspTargetName(root, video));
  Touch(root + "/VIDEO/film.mp4");
  EXPECT_EQ(root + "/VIDEO/film1.mp4", MakePspTargetName(root, video));
  EXPECT_EQ("film1.mp4", video.pspFileName);
  EXPECT_EQ(root + "/VIDEO/film1.THM", ThumbnailTarget(root + "/VIDEO/film1.mp4"));

  // A device whose folders cannot be made says which (without root's privilege to write anywhere).
  const std::string ro = root + "/ro";
  fs::create_directory(ro);
  fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
  const int status = RunUnprivileged([&] {
    std::string childError;
    if (CreatePspFolders(ro, &childError)) return 1;
    return childError.find("MUSIC") == std::string::npos ? 2 : 0;
  });
  fs::permissions(ro, fs::perms::owner_all);
  EXPECT_EQ(0, status) << "1: the folders were made, 2: the error does not name MUSIC";
}

}  // namespace
