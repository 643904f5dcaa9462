// What the main window asks of the model: the DVD drives read from the
// system's files, the track lines of its lists, and the track and deinterlace
// choices of a title's tasks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/codec_tables.h"
#include "frontend/model/dvd_drives.h"
#include "frontend/model/media_info.h"
#include "frontend/model/task.h"
#include "frontend/model/title_choices.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// ---- drives ----

TEST(DvdDrives, MountTableFieldsAndEscapes) {
  const std::vector<MountEntry> m = ParseMountTable(
      "/dev/sr0 /media/u/MY\\040DISC udf ro,nosuid 0 0\n"
      "\n"
      "proc /proc proc rw 0 0\n"
      "/dev/loop3 /mnt/tab\\011and\\134slash iso9660 ro 0 0\n"
      "short line\n"
      "/dev/sda1 /bad\\9escape ext4 rw 0 0");  // no final newline
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].source, "/dev/sr0");
  EXPECT_EQ(m[0].mountPoint, "/media/u/MY DISC");
  EXPECT_EQ(m[0].type, "udf");
  EXPECT_EQ(m[2].mountPoint, "/mnt/tab\tand\\slash");
  EXPECT_EQ(m[3].mountPoint, "/bad\\9escape");  // not an octal escape: kept as it is
  EXPECT_EQ(DecodeLabelName("MY\\x20DISC\\x2fTWO"), "MY DISC/TWO");
  EXPECT_EQ(DecodeLabelName("ODD\\x2"), "ODD\\x2");
  EXPECT_EQ(DecodeLabelName("\\xZZ"), "\\xZZ");
}

TEST(DvdDrives, OpticalDrivesInNumberOrderThenMountedDiscVolumes) {
  TempDir dir;
  DriveSystemFiles files{dir.File("sys/block"), dir.File("mounts"), dir.File("by-label")};
  for (const char* name : {"sr10", "sda", "sr2", "sr0", "srx", "loop3"})
    fs::create_directories(dir.File("sys/block/") + name);
  Write(files.mounts,
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sr2 /media/u/FILM\\040ONE udf ro 0 0\n"
        "/dev/sr2 /mnt/again udf ro 0 0\n"
        "/dev/loop3 /mnt/image udf ro 0 0\n"
        "/dev/loop4 /mnt/data ext4 ro 0 0\n"
        "/srv/disc.iso /mnt/iso iso9660 ro 0 0\n");
  fs::create_directories(files.labels);
  ASSERT_EQ(0, symlink("../../sr2", (files.labels + "/FILM\\x20ONE").c_str()));
  ASSERT_EQ(0, symlink("../../loop3", (files.labels + "/IMAGE").c_str()));
  ASSERT_EQ(0, symlink("../../sda1", (files.labels + "/root").c_str()));

  const std::vector<DvdDrive> drives = ListDvdDrives(files);
  const struct {
    const char* root;
    const char* label;
    const char* device;
  } expected[] = {
      {"/dev/sr0", "", "/dev/sr0"},                   // no disc mounted: the device itself
      {"/media/u/FILM ONE", "FILM ONE", "/dev/sr2"},  // its first mount point
      {"/dev/sr10", "", "/dev/sr10"},
      {"/mnt/image", "IMAGE", "/dev/loop3"},  // a mounted disc image
      {"/mnt/iso", "", "/srv/disc.iso"},
  };
  ASSERT_EQ(drives.size(), std::size(expected));
  for (size_t i = 0; i < drives.size(); ++i) {
    EXPECT_EQ(drives[i].root, expected[i].root) << i;
    EXPECT_EQ(drives[i].label, expected[i].label) << i;
    EXPECT_EQ(drives[i].device, expected[i].device) << i;
  }
}

TEST(DvdDrives, MissingFilesGiveNoDrivesAndTheListStopsAtThirtyTwo) {
  TempDir dir;
  EXPECT_TRUE(ListDvdDrives({dir.File("none"), dir.File("none"), dir.File("none")}).empty());
  for (int i = 0; i < 40; ++i) fs::create_directories(dir.File("block/sr") + std::to_string(i));
  const std::vector<DvdDrive> drives =
      SystemDvdDriveList({dir.File("block"), dir.File("none"), dir.File("none")}).Drives();
  ASSERT_EQ(drives.size(), kMaxDvdDrives);
  EXPECT_EQ(drives.back().device, "/dev/sr31");
}

// ---- track lines ----

TEST(TrackLines, ByTypeTable) {
  const std::string ac3 = std::to_string(static_cast<int32_t>(ParseFourCC("AC3A")));
  const std::string mpg2 = std::to_string(static_cast<int32_t>(ParseFourCC("MPG2")));
  const std::string cases[][2] = {
      {"\"STREAMID\"=128,\"LANG\"=\"English\",\"TYPE\"=1,\"CHANNEL\"=2,\"VFCC\"=" + ac3, "[0x80] English AC-3 2 ch"},
      {"\"STREAMID\"=192,\"TYPE\"=1,\"CHANNEL\"=6,\"VFCC\"=\"MP2A\"", "[0xC0] MP2 6 ch"},
      {"\"TYPE\"=1,\"LANG\"=\"de\",\"FCC\"=80", " de 0x00000050 0 ch"},  // no id, no codec code
      {"\"STREAMID\"=33,\"LANG\"=\"fr\",\"TYPE\"=2,\"VFCC\"=\"DVDS\"", "[0x21] fr"},
      {"\"TYPE\"=2", ""},
      {"\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=576,\"PNAN\"=2304,\"PNAD\"=1620,\"VFCC\"=" + mpg2,
       "720x576[16:9],MPEG-2 Video"},
      {"\"TYPE\"=0,\"WIDTH\"=352,\"HEIGHT\"=576,\"PNAN\"=2304,\"PNAD\"=1056,\"BITRATE\"=4000000,\"VFCC\"=" + mpg2,
       "352x576[4:3],4000kb/s,MPEG-2 Video"},
      {"\"TYPE\"=9,\"STREAMID\"=1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c[1], TrackSummaryText(c[0], TestCodecTable())) << c[0];
}

// ---- choices over a title's tasks ----

const std::vector<std::string> kDvdTracks = {
    "\"STREAMID\"=224,\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=576",
    "\"STREAMID\"=128,\"LANG\"=\"en\",\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2",
    "\"STREAMID\"=192,\"LANG\"=\"de\",\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2",
    "\"STREAMID\"=32,\"LANG\"=\"en\",\"TYPE\"=2",
    "\"STREAMID\"=33,\"LANG\"=\"fr\",\"TYPE\"=2",
};

TEST(TitleChoices, OneTrackPerTypeAndNoSubtitleKeepsTheVideo) {
  std::string message;
  std::unique_ptr<CTask> task = MakeTask("dvd:1,1,3,/disc", *Probe(kDvdTracks), Mp4Choice(), TaskOptions{}, message);
  ASSERT_TRUE(task) << message;
  const int32_t* chosen = task->sources.front()->chosen;
  EXPECT_EQ(CurrentTrack(*task, kStreamAudio), 1);  // the lowest stream id by default
  EXPECT_EQ(CurrentTrack(*task, kStreamSubtitle), -1);

  ASSERT_TRUE(ChooseTrack(*task, kStreamAudio, 2));
  EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 0, 1, 0, 0}));
  ASSERT_TRUE(ChooseTrack(*task, kStreamSubtitle, 4));
  ASSERT_TRUE(ChooseTrack(*task, kStreamSubtitle, 3));
  EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 0, 1, 1, 0}));
  EXPECT_EQ(CurrentTrack(*task, kStreamSubtitle), 3);
  // "No subtitle" is index 0: every subtitle cleared, the video stays.
  ASSERT_TRUE(ChooseTrack(*task, kStreamSubtitle, 0));
  EXPECT_EQ((std::vector<int32_t>(chosen, chosen + 5)), (std::vector<int32_t>{1, 0, 1, 0, 0}));
  // An index past the tracks only clears.
  ASSERT_TRUE(ChooseTrack(*task, kStreamAudio, 31));
  EXPECT_EQ(CurrentTrack(*task, kStreamAudio), -1);
  EXPECT_EQ(chosen[31], 0);
  CTask empty;
  EXPECT_FALSE(ChooseTrack(empty, kStreamAudio, 1));
}

TEST(TitleChoices, DeinterlaceIsOneHeadEntry) {
  std::string message;
  std::unique_ptr<CTask> task = MakeTask("dvd:1,1,3,/disc", *Probe(kDvdTracks), Mp4Choice(), TaskOptions{}, message);
  ASSERT_TRUE(task) << message;
  task->PrependVideoFilter("VLEVELS", "\"GAMMA\"=F1", 0);
  const size_t base = task->VideoFilters().size();
  EXPECT_FALSE(HasForcedDeinterlace(*task));
  ASSERT_TRUE(SetForcedDeinterlace(*task, true));
  ASSERT_TRUE(SetForcedDeinterlace(*task, true));
  ASSERT_EQ(task->VideoFilters().size(), base + 1);
  EXPECT_STREQ(task->VideoFilters().front().key, "VDEINT");
  EXPECT_EQ(task->VideoFilters().front().params, "");
  EXPECT_EQ(task->VideoFilters().front().flags, 0);
  EXPECT_STREQ(task->VideoFilters()[1].key, "VLEVELS");
  ASSERT_TRUE(SetForcedDeinterlace(*task, false));
  ASSERT_EQ(task->VideoFilters().size(), base);
  // Only a head entry is the choice: one further down stays.
  task->AppendVideoFilter("vdeint", "", 2);
  ASSERT_TRUE(SetForcedDeinterlace(*task, false));
  EXPECT_EQ(task->VideoFilters().size(), base + 1);
  EXPECT_FALSE(HasForcedDeinterlace(*task));
  // The key is compared without case.
  task->PrependVideoFilter("VDeint", "", 0);
  EXPECT_TRUE(HasForcedDeinterlace(*task));
}

}  // namespace
