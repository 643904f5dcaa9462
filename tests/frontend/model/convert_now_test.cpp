// Starting a run without the window: the output folder probe, which tasks take
// part and the merge and stream-copy refusals, the frame-rate records of
// copied video, the follow-up choice and the results.
#include "frontend/model/convert_now.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task_list.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

std::string Video(const std::string& vfcc = "MPG2", double rate = 25) {
  return "\"TYPE\"=0,\"STREAMID\"=480,\"VFCC\"=\"" + vfcc + "\",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F" +
         std::to_string(rate);
}
std::string Audio(const std::string& vfcc = "AC3A") {
  return "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=\"" + vfcc + "\",\"SAMPLERATE\"=48000,\"CHANNEL\"=2";
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OutputFolderCheck, FilesMissingFoldersAndUnwritableFoldersAreRefused) {
  TempDir dir;
  const std::string file = Touch(dir.File("a file"));
  const struct {
    std::string path;
    OutputFolderState want;
  } cases[] = {
      {dir.path(), OutputFolderState::kUsable},
      {dir.path() + "/", OutputFolderState::kUsable},
      {file, OutputFolderState::kNotADirectory},
      {dir.File("missing"), OutputFolderState::kNotADirectory},
      {"", OutputFolderState::kNotADirectory},
      // No file can be created under /proc, whoever runs the test.
      {"/proc", OutputFolderState::kNotWritable},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, CheckOutputFolder(c.path)) << c.path;
}

TEST(OutputFolderCheck, TheProbeLeavesTheUsersFilesAndNothingElseBehind) {
  TempDir dir;
  // A user's file with the name a careless probe would use keeps its bytes.
  std::ofstream(dir.File("___1.txt")) << "keep me";
  Touch(dir.File(".velmo-write-AAAAAA"), 5);
  const std::vector<std::string> before = Listing(dir.path());
  for (int i = 0; i < 20; ++i) ASSERT_EQ(OutputFolderState::kUsable, CheckOutputFolder(dir.path()));
  EXPECT_EQ(before, Listing(dir.path()));
  std::ifstream in(dir.File("___1.txt"));
  std::string text;
  std::getline(in, text);
  EXPECT_EQ("keep me", text);
  EXPECT_EQ(5u, fs::file_size(dir.File(".velmo-write-AAAAAA")));
}

class RunTasks : public testing::Test {
 protected:
  void SetUp() override { SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""}); }
  void TearDown() override {
    TheProfileIniCache().Free();
    SetProfileFolders(ProfileFolders{});
  }
  CTask& Add(const std::vector<std::string>& tracks, const std::string& path, OutputSettings settings) {
    std::string message;
    CTask* task = tasks.AddTask(path, *Probe(tracks), settings, TaskOptions{}, message);
    EXPECT_TRUE(task) << message;
    return *task;
  }
  static OutputSettings Choice(const char* video, const char* audio, int width = 640, int height = 480) {
    OutputSettings s = Mp4Choice();
    std::snprintf(s.videoCodec, sizeof(s.videoCodec), "%s", video);
    std::snprintf(s.audioCodec, sizeof(s.audioCodec), "%s", audio);
    s.width = width;
    s.height = height;
    return s;
  }
  CTaskList tasks;
};

TEST_F(RunTasks, OnlyTakingPartTasksAreMarkedAndGetTheirSourcesWithTheFrameRateRecordCleared) {
  CTask& a = Add({Video(), Audio()}, "/media/a.vob", Mp4Choice());
  CTask& b = Add({Video(), Audio()}, "/media/b.vob", Mp4Choice());
  b.checked = 1;
  a.job.frameRate = {1, 1001, 24000};
  const RunCheck check = PrepareRunTasks(tasks, {true, false}, false, "MP4", 0);
  ASSERT_TRUE(check.ok) << check.message;
  EXPECT_FALSE(check.needsRealMedia);
  EXPECT_TRUE(a.checked);
  EXPECT_FALSE(b.checked);
  EXPECT_EQ(0, a.job.frameRate.enabled);
  EXPECT_EQ(0, a.job.frameRate.numerator);
  EXPECT_EQ(0, a.job.frameRate.denominator);
  EXPECT_EQ(1, a.job.inputs.count);
  EXPECT_STREQ("/media/a.vob", a.job.inputs.inputs[0].path);
}

TEST_F(RunTasks, MergeAndStreamCopyRulesRefuseWithTheirMessages) {
  const struct {
    const char* what;
    OutputSettings first, second;
    bool merge;
    std::string format;
    std::string message;  // empty: accepted
  } cases[] = {
      {"merge without a target size", Choice("h264", "aac", 0, 480), Choice("h264", "aac"), true, "MP4",
       kMergeSizeMessage},
      {"merge without video needs no size", Choice("NONE", "aac", 0, 0), Choice("NONE", "aac", 0, 0), true, "MP4", ""},
      {"merge with copied audio", Choice("h264", "COPY"), Choice("h264", "aac"), true, "MP4", kMergeCopyMessage},
      {"merge with copied video", Choice("copy", "aac"), Choice("h264", "aac"), true, "MP4", kMergeCopyMessage},
      {"merge of differing video counts", Choice("h264", "aac"), Choice("NONE", "aac", 0, 0), true, "MP4",
       kMergeTracksMessage},
      {"merge of differing audio counts", Choice("h264", "aac"), Choice("h264", "NONE"), true, "MP4",
       kMergeTracksMessage},
      {"AC-3 copied into FLV", Choice("h264", "COPY"), Choice("h264", "aac"), false, "FLV",
       "The muxer can not accept the audio track of \n'/media/a.vob' in stream copy mode."},
      {"MPEG-2 copied into 3GP", Choice("COPY", "aac"), Choice("h264", "aac"), false, "3GP",
       "The muxer can not accept the video track of \n'/media/a.vob' in stream copy mode."},
      {"AC-3 and MPEG-2 copied into MP4", Choice("COPY", "COPY"), Choice("COPY", "COPY"), false, "MP4", ""},
      {"an unknown muxer takes no copy", Choice("h264", "COPY"), Choice("h264", "aac"), false, "NOSUCH",
       "The muxer can not accept the audio track of \n'/media/a.vob' in stream copy mode."},
  };
  for (const auto& c : cases) {
    tasks.Clear();
    Add({Video(), Audio()}, "/media/a.vob", c.first);
    Add({Video(), Audio()}, "/media/b.vob", c.second);
    const RunCheck check = PrepareRunTasks(tasks, {true, true}, c.merge, c.format, 0);
    EXPECT_EQ(c.message.empty(), check.ok) << c.what;
    EXPECT_EQ(c.message, check.message) << c.what;
  }
}

TEST_F(RunTasks, MergeCountsSkipCodecsThatAreNone) {
  CTask& a = Add({Video(), Audio(), Audio()}, "/media/a.vob", Choice("NONE", "aac", 0, 0));
  for (int32_t i = 0; i < 3; ++i) a.sources[0]->chosen[i] = 1;
  ASSERT_TRUE(PrepareRunTasks(tasks, {true}, true, "MP4", 0).ok);
  EXPECT_EQ(0, a.job.settings.videoTrackCount);
  EXPECT_EQ(2, a.job.settings.audioTrackCount);
}

TEST_F(RunTasks, RealVideoNeedsTheDecodersAndCopiedVideoListsOnlyTakingPartTasksWithVideo) {
  CTask& real = Add({Video("RV40"), Audio("cook")}, "/media/r.rm", Choice("COPY", "aac"));
  Add({Video(), Audio()}, "/media/skipped.vob", Choice("COPY", "aac"));
  Add({Audio()}, "/media/sound.vob", Choice("COPY", "aac"));
  Add({Video(), Audio()}, "/media/e.vob", Choice("h264", "aac"));
  // A RealVideo copy into an unknown muxer is refused, and still reported.
  const RunCheck refused = PrepareRunTasks(tasks, {true, false, true, true}, false, "NOSUCH", 0);
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.needsRealMedia);
  // Encoded instead of copied, it passes.
  std::snprintf(real.job.settings.videoCodec, sizeof(real.job.settings.videoCodec), "h264");
  const RunCheck accepted = PrepareRunTasks(tasks, {true, false, true, true}, false, "MP4", 0);
  ASSERT_TRUE(accepted.ok) << accepted.message;
  EXPECT_TRUE(accepted.needsRealMedia);
  std::snprintf(real.job.settings.videoCodec, sizeof(real.job.settings.videoCodec), "copy");
  EXPECT_EQ(std::vector<CTask*>{&real}, CopiedVideoTasks(tasks));
}

TEST_F(RunTasks, EveryTaskVisitedGetsTheOverwriteOptionTakingPartOrNot) {
  // Each task starts with the opposite of the option, so an unvisited task shows.
  const struct {
    const char* what;
    bool merge;
    const char* audio;  // of the third task
    const char* format;
    bool option;
    bool ok;
    std::vector<bool> want;  // the four tasks' overwrite flags after
  } cases[] = {
      {"encoded", false, "aac", "MP4", true, true, {true, true, true, true}},
      {"the option off clears the flag", false, "aac", "MP4", false, true, {false, false, false, false}},
      {"copied audio the muxer takes", false, "COPY", "MP4", true, true, {true, true, true, true}},
      {"merged", true, "aac", "MP4", true, true, {true, true, true, true}},
      // The refused task and those after it are not visited.
      {"refused at the third task", false, "COPY", "FLV", true, false, {true, true, false, false}},
  };
  for (const auto& c : cases) {
    tasks.Clear();
    Add({Video(), Audio()}, "/media/a.vob", Choice("h264", "aac"));
    Add({Video(), Audio()}, "/media/b.vob", Choice("h264", "aac"));
    Add({Video(), Audio()}, "/media/c.vob", Choice("h264", c.audio));
    Add({Video(), Audio()}, "/media/d.vob", Choice("h264", "aac"));
    for (size_t i = 0; i < tasks.size(); ++i) tasks[i].overwrite = !c.option;
    const RunCheck check = PrepareRunTasks(tasks, {true, false, true, true}, c.merge, c.format, c.option);
    EXPECT_EQ(c.ok, check.ok) << c.what << ": " << check.message;
    std::vector<bool> flags;
    for (size_t i = 0; i < tasks.size(); ++i) flags.push_back(tasks[i].overwrite);
    EXPECT_EQ(c.want, flags) << c.what;
  }
}

TEST(FrameRateRecords, StartSnapOfferAndForce) {
  const auto task = [](double rate) {
    auto t = std::make_unique<CTask>();
    t->sourceVideo.frameRate = rate;
    return t;
  };
  const struct {
    double source;
    int32_t forced, num, den;
  } starts[] = {{0, 1, 1001, 24000}, {NAN, 1, 1001, 24000},   {121, 1, 1001, 24000},
                {25, 0, 1, 25},      {29.97, 0, 1001, 30000}, {1, 0, 1, 1}};
  for (const auto& s : starts) {
    auto t = task(s.source);
    InitFrameRateRecord(*t);
    EXPECT_EQ(s.forced, t->job.frameRate.enabled) << s.source;
    EXPECT_EQ(s.num, t->job.frameRate.numerator) << s.source;
    EXPECT_EQ(s.den, t->job.frameRate.denominator) << s.source;
  }
  // A forced 23.976 selects the 23.976 entry.
  auto zero = task(0);
  InitFrameRateRecord(*zero);
  EXPECT_EQ(1, FindFrameRate(OfferedFrameRates(0), RecordedFrameRate(*zero)));

  EXPECT_EQ(7u, OfferedFrameRates(50).size());
  EXPECT_EQ(50, OfferedFrameRates(50).back());
  EXPECT_EQ(6u, OfferedFrameRates(23.98).size());
  EXPECT_EQ(6u, OfferedFrameRates(200).size());
  for (double bad : {0.5, 0.999, 120.01, 121.0, double(NAN), -1.0}) EXPECT_FALSE(IsUsableFrameRate(bad)) << bad;
  for (double good : {1.0, 12.5, 120.0}) EXPECT_TRUE(IsUsableFrameRate(good)) << good;

  // OK forces a task read at another rate, keeps a forced one forced and
  // leaves one read at its own rate alone.
  auto changed = task(25), same = task(25), forced = task(0);
  for (CTask* t : {changed.get(), same.get(), forced.get()}) InitFrameRateRecord(*t);
  SetRecordedFrameRate(*changed, 12.5);
  EXPECT_NEAR(12.5, RecordedFrameRate(*changed), 0.001);
  ForceChangedFrameRates({changed.get(), same.get(), forced.get()});
  EXPECT_EQ(1, changed->job.frameRate.enabled);
  EXPECT_EQ(0, same->job.frameRate.enabled);
  EXPECT_EQ(1, forced->job.frameRate.enabled);
}

TEST(ConvertRun, TransferKindsAndResults) {
  const struct {
    const char* name;
    TransferKind kind;
  } kinds[] = {{"DVD", TransferKind::kDvd},    {"svcd", TransferKind::kSvcd},   {"VCD", TransferKind::kVcd},
               {"Psp", TransferKind::kPsp},    {"IPOD", TransferKind::kItunes}, {"MP4", TransferKind::kFolderCopy},
               {"", TransferKind::kFolderCopy}};
  for (const auto& k : kinds) {
    OutputSettings s;
    std::snprintf(s.name, sizeof(s.name), "%s", k.name);
    s.width = 320;
    s.height = 240;
    std::snprintf(s.videoCodec, sizeof(s.videoCodec), "[PLUGIN]H264");
    const TransferChoice t = ChooseTransfer(s);
    EXPECT_EQ(k.kind, t.kind) << k.name;
    EXPECT_EQ(k.kind == TransferKind::kPsp ? 320 : 0, t.width) << k.name;
    EXPECT_EQ(k.kind == TransferKind::kPsp, t.h264) << k.name;
  }

  std::string message;
  auto made = MakeTask("/media/clip.vob", *Probe({Video(), Audio()}), Mp4Choice(), TaskOptions{}, message);
  ASSERT_TRUE(made) << message;
  made->finished = 1;
  ConvertResult done = MakeConvertResult(*made);
  EXPECT_EQ("/media/clip.vob", done.title);
  EXPECT_EQ("clip.mp4", done.outputFile);
  EXPECT_TRUE(done.success);
  made->displayName = "Title 01";
  made->resultCode = static_cast<int32_t>(0x80004005);
  ConvertResult failed = MakeConvertResult(*made);
  EXPECT_EQ("Title 01", failed.title);
  EXPECT_EQ("", failed.outputFile);
  EXPECT_FALSE(failed.success);
}

}  // namespace
