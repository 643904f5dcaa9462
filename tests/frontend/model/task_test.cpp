// The task record: default streams, output choice and filters, names, sizes,
// job sources and copies.
#include "frontend/model/task.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/model/param_text.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

std::string Video(int w, int h, int id = 0x1E0, int pnan = 0, int pnad = 0) {
  std::string t = "\"TYPE\"=0,\"STREAMID\"=" + std::to_string(id) +
                  ",\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', 'G', '2')) + ",\"WIDTH\"=" + std::to_string(w) +
                  ",\"HEIGHT\"=" + std::to_string(h) + ",\"FRAMERATE\"=F25";
  if (pnan || pnad) t += ",\"PNAN\"=" + std::to_string(pnan) + ",\"PNAD\"=" + std::to_string(pnad);
  return t;
}

std::string Audio(int id, int channels = 2) {
  return "\"TYPE\"=1,\"STREAMID\"=" + std::to_string(id) +
         ",\"VFCC\"=\"AC3A\",\"SAMPLERATE\"=48000,\"CHANNEL\"=" + std::to_string(channels) + ",\"BITSIZE\"=16";
}

std::string Subtitle(int id) { return "\"TYPE\"=2,\"STREAMID\"=" + std::to_string(id) + ",\"VFCC\"=\"DVDS\""; }

OutputSettings Settings(int width = 0, int height = 0, int volume = 100) {
  OutputSettings s = Mp4Choice();
  s.volume = volume;
  s.width = width;
  s.height = height;
  return s;
}

std::unique_ptr<CTask> Task(const std::vector<std::string>& tracks, const OutputSettings& settings = Settings(),
                            TaskOptions options = {}, const std::string& path = "/media/in/clip.mpg") {
  std::string message;
  auto task = MakeTask(path, *Probe(tracks), settings, options, message);
  EXPECT_TRUE(task) << message;
  return task;
}

std::vector<std::string> Keys(const std::vector<FilterEntry>& list) {
  std::vector<std::string> keys;
  for (const FilterEntry& e : list) keys.push_back(e.key);
  return keys;
}

int32_t ParamInt(const FilterEntry& e, const char* key) {
  CParamList list;
  ParseParamText(list, e.params);
  return list.GetInt(key, -999);
}

const FilterEntry* Find(const std::vector<FilterEntry>& list, const char* key) {
  for (const FilterEntry& e : list)
    if (std::string(e.key) == key) return &e;
  return nullptr;
}

// ---- making a task ----

TEST(MakeTask, ChoosesDefaultStreams) {
  struct Case {
    const char* label;
    std::vector<std::string> tracks;
    int32_t pickSubtitle;
    std::vector<int> chosen;
  };
  const Case cases[] = {
      {"lowest audio id wins", {Video(720, 480), Audio(0x81), Audio(0x80)}, 0, {0, 2}},
      {"equal ids: the earlier stays", {Video(720, 480), Audio(0x80), Audio(0x80)}, 0, {0, 1}},
      {"ids compared unsigned", {Audio(-1), Audio(5)}, 0, {1}},
      {"no channels, never chosen", {Audio(0x80, 0), Audio(0x81)}, 0, {1}},
      {"first video only", {Video(720, 480), Video(320, 240)}, 0, {0}},
      {"subtitles only when asked", {Video(720, 480), Subtitle(0x21), Subtitle(0x20)}, 0, {0}},
      {"lowest subtitle when asked", {Video(720, 480), Subtitle(0x21), Subtitle(0x20)}, 1, {0, 2}},
      {"untyped track not chosen", {"\"STREAMID\"=1"}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TaskOptions options;
    options.pickSubtitle = c.pickSubtitle;
    auto task = Task(c.tracks, Settings(), options);
    ASSERT_TRUE(task);
    std::vector<int> chosen;
    for (int i = 0; i < kMaxProbeTracks; ++i)
      if (task->sources[0]->chosen[i]) chosen.push_back(i);
    EXPECT_EQ(c.chosen, chosen);
  }
}

TEST(MakeTask, FillsTheRecordAndTheJob) {
  const std::string folder = TestFolder();
  const std::string path = Touch(folder + "/clip.mpg", 1234);
  TaskOptions options;
  options.overwrite = 1;
  options.scaleMode = 5;
  options.mode = 2;
  std::string message;
  auto record = Probe({Video(720, 480), Audio(0x80)}, 10.5);
  auto task = MakeTask(path, *record, Settings(), options, message);
  ASSERT_TRUE(task) << message;
  EXPECT_EQ("clip", task->title);
  EXPECT_EQ("mp4", task->outputExt);
  EXPECT_EQ(11u, task->duration);
  EXPECT_EQ(1234, task->sourceSize);
  EXPECT_TRUE(task->overwrite);
  EXPECT_EQ(5, task->scaleMode);
  EXPECT_EQ(path, task->GetSourceName());
  EXPECT_EQ(path, task->GetOutputTitle());
  task->displayName = "Title 1";
  EXPECT_EQ("Title 1", task->GetOutputTitle());
  // Output target as made: no path yet, the writer's target values.
  EXPECT_STREQ("", task->job.output.path);
  EXPECT_EQ(2, task->job.output.targetWord1);
  EXPECT_EQ(2048000, task->job.output.targetValue);
  EXPECT_EQ(0, task->job.output.numbered);
  EXPECT_EQ(2, task->job.settings.sourceMode);
  EXPECT_EQ(1, task->job.inputs.count);
  EXPECT_TRUE(task->hasVideo);
  EXPECT_TRUE(task->hasAudio);
}

TEST(MakeTask, UnrecognisedSourceGetsPlaceholders) {
  auto record = Probe({Video(720, 480), Audio(0x80)}, 10.0);
  record->result = static_cast<int32_t>(0x80040012);
  std::string message;
  auto task = MakeTask("/nowhere/clip.xyz", *record, Settings(), {}, message);
  ASSERT_TRUE(task) << message;
  EXPECT_EQ(0u, task->duration);
  EXPECT_EQ(0, task->sources[0]->ChosenCount());
  EXPECT_EQ(0, task->sourceSize);
  EXPECT_EQ(0, task->estimatedSize);
  ASSERT_EQ(1, task->job.inputs.count);
  EXPECT_STREQ("abcde", task->job.inputs.inputs[0].path);
  EXPECT_EQ(0, task->job.inputs.inputs[0].selectedCount);
  EXPECT_EQ(0, task->job.inputs.inputs[0].descriptionCount);
  EXPECT_FALSE(task->hasVideo);
  EXPECT_FALSE(task->hasAudio);
}

// ---- output choice ----

TEST(ApplyProfile, SizeTable) {
  struct Case {
    const char* label;
    int sw, sh, width, height, scaleMode;
    int outW, outH;
    int textW, textH, lb, rb, tb, bb, lp, rp, tp, bp, crpad;
  };
  const Case cases[] = {
      {"odd source cropped to multiples of 4", 718, 478, 0, 0, 0, 716, 476, 716, 476, 0, 2, 0, 2, 0, 0, 0, 0, 255},
      {"source already a multiple of 4", 720, 480, 0, 0, 0, 720, 480, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255},
      {"width given, height the source's", 720, 480, 640, 0, 0, 640, 480, 640, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255},
      {"letterboxed into 640x480", 720, 480, 640, 480, 1, 640, 480, 640, 480, 0, 0, 0, 0, 0, 0, 26, 28, 0},
      {"black left-right into 640x480", 720, 480, 640, 480, 2, 640, 480, 640, 480, 40, 40, 0, 0, 0, 0, 0, 0, 0},
      {"stretch into 640x480", 720, 480, 640, 480, 4, 640, 480, 640, 480, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {"manual keeps the text", 720, 480, 640, 480, 5, 640, 480, 640, 480, 0, 0, 0, 0, 0, 0, 0, 0, 255},
      {"source size 0", 0, 0, 640, 480, 1, 640, 480, 640, 480, 0, 0, 0, 0, 0, 0, 0, 0, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TaskOptions options;
    options.scaleMode = c.scaleMode;
    auto task = Task({Video(c.sw, c.sh)}, Settings(c.width, c.height), options);
    ASSERT_TRUE(task);
    EXPECT_EQ(c.outW, task->outputVideo.width);
    EXPECT_EQ(c.outH, task->outputVideo.height);
    const FilterEntry* resize = Find(task->VideoFilters(), "VRESIZE");
    ASSERT_TRUE(resize);
    EXPECT_EQ(kFilterSystem | kFilterKeepPlace, resize->flags);
    EXPECT_EQ(c.textW, ParamInt(*resize, "WIDTH"));
    EXPECT_EQ(c.textH, ParamInt(*resize, "HEIGHT"));
    EXPECT_EQ(c.lb, ParamInt(*resize, "LEFTBAND"));
    EXPECT_EQ(c.rb, ParamInt(*resize, "RIGHTBAND"));
    EXPECT_EQ(c.tb, ParamInt(*resize, "TOPBAND"));
    EXPECT_EQ(c.bb, ParamInt(*resize, "BOTTOMBAND"));
    EXPECT_EQ(c.lp, ParamInt(*resize, "LEFTPAD"));
    EXPECT_EQ(c.rp, ParamInt(*resize, "RIGHTPAD"));
    EXPECT_EQ(c.tp, ParamInt(*resize, "TOPPAD"));
    EXPECT_EQ(c.bp, ParamInt(*resize, "BOTTOMPAD"));
    EXPECT_EQ(c.crpad, ParamInt(*resize, "CRPAD"));
    EXPECT_EQ(c.scaleMode, ParamInt(*resize, "SCALEMODE"));
  }
}

TEST(ApplyProfile, FrameRateAndPixelAspect) {
  OutputSettings s = Settings(640, 480);
  s.frameNum = 1001;
  s.frameDen = 24000;
  SetJobText(s.videoParams, "\"PARNUM\"=32,\"PARDEN\"=27");
  auto task = Task({Video(720, 480, 0x1E0, 8, 9)}, s);
  ASSERT_EQ((std::vector<std::string>{"VREFRAME", "VRESIZE"}), Keys(task->VideoFilters()));
  EXPECT_EQ(kFilterSystem | kFilterFrameRate, task->VideoFilters()[0].flags);
  EXPECT_EQ(1001, ParamInt(task->VideoFilters()[0], "FRAMENUM"));
  EXPECT_EQ(24000, ParamInt(task->VideoFilters()[0], "FRAMEDEN"));
  EXPECT_DOUBLE_EQ(24000.0 / 1001, task->outputVideo.frameRate);
  EXPECT_DOUBLE_EQ(32.0 / 27, task->outputVideo.pixelAspect);
  EXPECT_DOUBLE_EQ(8.0 / 9, task->sourceVideo.pixelAspect);
  // A zero denominator gives square pixels, not infinity.
  SetJobText(s.videoParams, "\"PARNUM\"=32,\"PARDEN\"=0");
  std::string message;
  ASSERT_TRUE(task->ApplyProfile(s, 0, message));
  EXPECT_DOUBLE_EQ(1.0, task->outputVideo.pixelAspect);
}

TEST(ApplyProfile, AudioEntriesByVolume) {
  struct Case {
    int volume;
    std::vector<std::string> keys;
  };
  const Case cases[] = {{100, {"ARESAMPLE"}}, {0, {"ARESAMPLE", "ANORMALIZE"}}, {50, {"ARESAMPLE", "AVOL"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    auto task = Task({Video(720, 480), Audio(0x80), Audio(0x81)}, Settings(0, 0, c.volume));
    EXPECT_EQ(c.keys, Keys(task->AudioFilters()));
    EXPECT_EQ(2, ParamInt(task->AudioFilters()[0], "CHANNEL"));
    EXPECT_EQ(44100, ParamInt(task->AudioFilters()[0], "SAMPLERATE"));
    EXPECT_EQ(16, ParamInt(task->AudioFilters()[0], "BITSPERSAMPLE"));
    for (const FilterEntry& e : task->AudioFilters()) EXPECT_EQ(kFilterSystem, e.flags);
    if (c.volume == 50) {
      EXPECT_EQ(50, ParamInt(task->AudioFilters()[1], "VOL"));
    }
    EXPECT_EQ(1, task->audioStreamCount);
  }
}

TEST(ApplyProfile, AudioOnlyTaskLeavesTheVideoListAlone) {
  auto task = Task({Audio(0x80)});
  EXPECT_FALSE(task->hasVideo);
  EXPECT_EQ(nullptr, Find(task->VideoFilters(), "VRESIZE"));
  task->AppendVideoFilter("VLEVELS", "\"A\"=1", 0);
  task->AppendVideoFilter("VRESIZE", "\"OLD\"=1", 5);
  std::string message;
  ASSERT_TRUE(task->ApplyProfile(Settings(640, 480), 0, message));
  ASSERT_EQ((std::vector<std::string>{"VLEVELS", "VRESIZE"}), Keys(task->VideoFilters()));
  EXPECT_EQ("\"OLD\"=1", task->VideoFilters()[1].params);
  EXPECT_EQ(0.0, task->videoByteRate);
  EXPECT_EQ(16000.0, task->audioByteRate);
}

TEST(ApplyProfile, ReapplyReplacesSystemEntriesAndKeepsUserOnes) {
  OutputSettings s = Settings(640, 480);
  s.frameNum = 1;
  s.frameDen = 25;
  auto task = Task({Video(720, 480), Audio(0x80)}, s);
  task->PrependVideoFilter("VLEVELS", "", 0);
  task->AddVideoFilter("VTWEAK", "\"T\"=1", kFilterDeletable);
  task->AddVideoFilter("VREFPS", "", kFilterFrameRate | kFilterDeletable);
  task->AddAudioFilter("AEQ", "", kFilterDeletable);
  EXPECT_EQ((std::vector<std::string>{"VLEVELS", "VREFPS", "VREFRAME", "VRESIZE", "VTWEAK"}),
            Keys(task->VideoFilters()));
  // The user's entries go back in by the insertion rules: the plain head entry
  // after the system ones, the frame-rate entry before the frame-rate control.
  const std::vector<std::string> reapplied = {"VREFPS", "VREFRAME", "VRESIZE", "VLEVELS", "VTWEAK"};
  std::string message;
  ASSERT_TRUE(task->ApplyProfile(s, 0, message));
  EXPECT_EQ(reapplied, Keys(task->VideoFilters()));
  ASSERT_TRUE(task->ApplyProfile(s, 0, message));
  EXPECT_EQ(reapplied, Keys(task->VideoFilters()));
  EXPECT_EQ("\"T\"=1", Find(task->VideoFilters(), "VTWEAK")->params);
  EXPECT_EQ((std::vector<std::string>{"ARESAMPLE", "AEQ"}), Keys(task->AudioFilters()));
}

TEST(ApplyProfile, RefusedChoiceLeavesTheTask) {
  auto task = Task({Video(720, 480), Audio(0x80)});
  const std::vector<uint8_t> before = SerialiseRecord(task->job);
  OutputSettings s = Settings(320, 240);
  SetJobText(s.muxerParams, ("\"X\"=\"" + std::string(1000, 'x') + "\"").c_str());
  SetJobText(s.videoParams, "\"VRAWFCC\"=\"YV12\"");
  std::string message;
  EXPECT_FALSE(task->ApplyProfile(s, 0, message));
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(before, SerialiseRecord(task->job));
  EXPECT_EQ(720, task->outputVideo.width);
}

TEST(ApplyProfile, ByteRates) {
  OutputSettings s = Settings(320, 240);
  s.audioBitrate = 128007;  // integer division by 8
  auto task = Task({Video(720, 480), Audio(0x80)}, s);
  EXPECT_EQ(16000.0, task->audioByteRate);
  EXPECT_EQ(100000.0, task->videoByteRate);
  // Uncompressed video: frame rate x size x bits per pixel / 8, the source's rate without one of its own.
  s.rawBitsPerPixel = 12;
  std::string message;
  ASSERT_TRUE(task->ApplyProfile(s, 0, message));
  EXPECT_DOUBLE_EQ(25.0 * 320 * 240 * 12 / 8, task->videoByteRate);
}

TEST(Aspect, ByModeTable) {
  struct Case {
    int32_t mode;
    int width, height;
    double aspect;
    int32_t modeAfter;
  };
  const Case cases[] = {
      {kAspectStream, 720, 480, 8.0 / 9, kAspectStream},
      {kAspect4x3, 720, 480, 480 * 4.0 / 720 / 3, kAspect4x3},
      {kAspect16x9, 720, 480, 480 * 16.0 / 720 / 9, kAspect16x9},
      {kAspectSquare, 720, 480, 1.0, kAspectSquare},
      {7, 720, 480, 1.0, kAspectSquare},
      {-1, 720, 480, 1.0, kAspectSquare},
      {kAspect4x3, 0, 480, 0.0, kAspect4x3},  // width 0: 0.0, not infinity
      {kAspect16x9, 0, 0, 0.0, kAspect16x9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    CTask task;
    task.sourceVideo.width = task.outputVideo.width = c.width;
    task.sourceVideo.height = task.outputVideo.height = c.height;
    task.sourceVideo.pixelAspect = task.outputVideo.pixelAspect = 8.0 / 9;
    task.sourceAspectMode = task.targetAspectMode = c.mode;
    EXPECT_DOUBLE_EQ(c.aspect, task.GetSourceAspect());
    EXPECT_DOUBLE_EQ(c.aspect, task.GetTargetAspect());
    EXPECT_EQ(c.modeAfter, task.sourceAspectMode);
    EXPECT_EQ(c.modeAfter, task.targetAspectMode);
  }
}

// ---- filter lists ----

// A task whose video list holds these entries, and whose audio list the same.
std::unique_ptr<CTask> ListTask(const std::vector<std::pair<const char*, int32_t>>& entries) {
  auto task = std::make_unique<CTask>();
  for (const auto& [name, flags] : entries) task->AppendVideoFilter(name, "", flags);
  task->AudioFilters() = task->VideoFilters();
  return task;
}

TEST(Filters, InsertionRules) {
  struct Case {
    const char* label;
    std::vector<std::pair<const char*, int32_t>> list;
    int32_t flags;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {"no tail: appended", {{"A", 0}, {"Z", 5}}, 2, {"A", "Z", "X"}},
      {"before the tail, back over system entries", {{"A", 0}, {"S", 1}, {"T", 17}}, 2, {"A", "X", "S", "T"}},
      {"keep-place stays next to the tail", {{"A", 0}, {"S", 1}, {"T", 17}}, 2 | 4, {"A", "S", "X", "T"}},
      {"frame-rate entry before the frame-rate control", {{"A", 0}, {"R", 9}, {"Z", 5}}, 8 | 2, {"A", "X", "R", "Z"}},
      {"frame-rate entry becomes the head", {{"R", 9}}, 8, {"X", "R"}},
      {"ordinary entry passes the frame-rate control", {{"R", 9}, {"Z", 5}}, 2, {"R", "Z", "X"}},
      {"empty list", {}, 2, {"X"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto task = ListTask(c.list);
    const FilterEntry* added = task->AddVideoFilter("X", "\"P\"=1", c.flags);
    ASSERT_TRUE(added);
    EXPECT_STREQ("X", added->key);
    EXPECT_EQ(c.after, Keys(task->VideoFilters()));
    task->AddAudioFilter("X", "", c.flags);
    EXPECT_EQ(c.after, Keys(task->AudioFilters()));
  }
}

TEST(Filters, PrependAppendRemoveAndNames) {
  auto task = ListTask({{"A", 0}, {"T", 17}});
  task->PrependVideoFilter("H", "", 2);
  task->AppendVideoFilter("E", "", 2);
  EXPECT_EQ((std::vector<std::string>{"H", "A", "T", "E"}), Keys(task->VideoFilters()));
  EXPECT_TRUE(task->RemoveVideoFilter(&task->VideoFilters()[1]));
  FilterEntry stranger;
  EXPECT_FALSE(task->RemoveVideoFilter(&stranger));
  EXPECT_FALSE(task->RemoveAudioFilter(&task->VideoFilters()[0]));
  EXPECT_EQ((std::vector<std::string>{"H", "T", "E"}), Keys(task->VideoFilters()));
  EXPECT_TRUE(task->RemoveAudioFilter(&task->AudioFilters()[0]));
  EXPECT_EQ((std::vector<std::string>{"T"}), Keys(task->AudioFilters()));
  // A name past the 63 bytes of its field is refused, never cut.
  EXPECT_EQ(nullptr, task->AddVideoFilter(std::string(64, 'N'), "", 2));
  EXPECT_EQ(nullptr, task->PrependVideoFilter(std::string(64, 'N'), "", 2));
  EXPECT_NE(nullptr, task->AddAudioFilter(std::string(63, 'N'), "", 2));
}

TEST(Filters, DeleteAndMoveRefusals) {
  const std::string outOfRange = "Filter index out of range";
  const std::string cannotDelete =
      "This filter help keeping proper width,height,frame rate and so on for encoder.\nYou cannot delete it.";
  const std::string cannotUp = "To control the destination video frame rate.\nCannot move this filter up.";
  const std::string cannotDown = "To control the destination video frame rate.\nCannot move this filter down.";
  enum Op { kDelete, kUp, kDown };
  struct Case {
    const char* label;
    Op op;
    int32_t index;
    bool ok;
    std::string message;
    std::vector<std::string> after;
  };
  // List: U(2) F(8|2) R(9) Z(5) W(2)
  const Case cases[] = {
      {"delete index = count", kDelete, 5, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"delete negative index", kDelete, -1, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"delete a system entry", kDelete, 3, false, cannotDelete, {"U", "F", "R", "Z", "W"}},
      {"delete a user entry", kDelete, 0, true, "", {"F", "R", "Z", "W"}},
      {"move the head up", kUp, 0, true, "", {"U", "F", "R", "Z", "W"}},
      {"move the tail down", kDown, 4, true, "", {"U", "F", "R", "Z", "W"}},
      {"move up out of range", kUp, 5, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"move up negative", kUp, -3, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"move down out of range", kDown, 7, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"move down negative", kDown, -1, false, outOfRange, {"U", "F", "R", "Z", "W"}},
      {"frame-rate control up past a frame-rate entry", kUp, 2, false, cannotUp, {"U", "F", "R", "Z", "W"}},
      {"frame-rate entry down past the control", kDown, 1, false, cannotDown, {"U", "F", "R", "Z", "W"}},
      {"ordinary swap up", kUp, 1, true, "", {"F", "U", "R", "Z", "W"}},
      {"ordinary swap down", kDown, 2, true, "", {"U", "F", "Z", "R", "W"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto task = ListTask({{"U", 2}, {"F", 8 | 2}, {"R", 9}, {"Z", 5}, {"W", 2}});
    std::string message, audioMessage;
    bool ok = false, audioOk = false;
    switch (c.op) {
      case kDelete:
        ok = task->DeleteVideoFilter(c.index, message);
        audioOk = task->DeleteAudioFilter(c.index, audioMessage);
        break;
      case kUp:
        ok = task->MoveVideoFilterUp(c.index, message);
        audioOk = task->MoveAudioFilterUp(c.index, audioMessage);
        break;
      case kDown:
        ok = task->MoveVideoFilterDown(c.index, message);
        audioOk = task->MoveAudioFilterDown(c.index, audioMessage);
        break;
    }
    EXPECT_EQ(c.ok, ok);
    EXPECT_EQ(c.message, message);
    EXPECT_EQ(c.after, Keys(task->VideoFilters()));
    EXPECT_EQ(c.ok, audioOk);
    EXPECT_EQ(c.message, audioMessage);
    EXPECT_EQ(c.after, Keys(task->AudioFilters()));
  }
}

// ---- texts ----

TEST(Texts, EstimatedSize) {
  CTask task;
  task.duration = 1;
  task.hasAudio = 1;
  task.audioStreamCount = 1;
  SetJobText(task.job.settings.audioCodec, "[FFM]AAC");
  task.audioByteRate = 1048576 - 2000;
  EXPECT_EQ("1.00MB(*)", task.GetEstimatedSizeText());
  EXPECT_EQ(1048576, task.estimatedSize);
  task.audioByteRate = 1048575 - 2000;
  EXPECT_EQ("1024.00KB(*)", task.GetEstimatedSizeText());
  // With video: duration x video rate + 4,000 on top.
  task.hasVideo = 1;
  task.duration = 10;
  task.audioByteRate = 16000;
  task.videoByteRate = 100000.9;
  EXPECT_EQ("1.11MB(*)", task.GetEstimatedSizeText());
  EXPECT_EQ(10 * 16000 + 2000 + 1000009 + 4000, task.estimatedSize);
  // Stream copy: no estimate, the last one kept.
  SetJobText(task.job.settings.videoCodec, "copy");
  EXPECT_EQ("N/A", task.GetEstimatedSizeText());
  EXPECT_EQ(10 * 16000 + 2000 + 1000009 + 4000, task.estimatedSize);
}

TEST(Texts, Duration) {
  CTask task;
  task.duration = 3725;
  EXPECT_EQ("01:02:05", task.GetDurationText());
  task.duration = 0;
  EXPECT_EQ("00:00:00", task.GetDurationText());
  task.duration = 360000;
  EXPECT_EQ("100:00:00", task.GetDurationText());
}

TEST(Texts, OutputSize) {
  const std::string folder = TestFolder();
  CTask task;
  SetJobText(task.job.output.path, (folder + "/out.mp4").c_str());
  Touch(folder + "/out.mp4", 2048);
  EXPECT_EQ("Unknown", task.GetOutputSizeText());
  task.finished = 1;
  task.resultCode = static_cast<int32_t>(0x80004005);
  EXPECT_EQ("Unknown", task.GetOutputSizeText());
  task.resultCode = 0;
  EXPECT_EQ("2.00KB", task.GetOutputSizeText());
  // A folder output counts every file below it.
  fs::create_directories(folder + "/dvd/VIDEO_TS");
  Touch(folder + "/dvd/a", 1024);
  Touch(folder + "/dvd/VIDEO_TS/b", 1048576);
  EXPECT_EQ(1048576 + 1024, GetFolderSize(folder + "/dvd"));
  SetJobText(task.job.output.path, (folder + "/dvd").c_str());
  EXPECT_EQ("1.00MB", task.GetOutputSizeText());
  SetJobText(task.job.output.path, (folder + "/missing.mp4").c_str());
  EXPECT_EQ("0.00KB", task.GetOutputSizeText());
  EXPECT_EQ(0, GetFolderSize(folder + "/missing"));
}

// ---- output paths ----

std::unique_ptr<CTask> NamedTask(const std::string& source, const std::string& ext, int32_t overwrite) {
  auto task = std::make_unique<CTask>();
  auto info = std::make_unique<MediaInfo>();
  info->path = source;
  task->sources.push_back(std::move(info));
  task->title = TitleFromPath(source);
  task->outputExt = ext;
  task->overwrite = overwrite;
  return task;
}

std::string OutputOf(CTask& task, OutputNameList& names) {
  std::string message;
  EXPECT_TRUE(task.MakeOutputPath(names, message)) << message;
  return fs::path(task.job.output.path).filename().string();
}

TEST(OutputPath, NamesInOneRun) {
  const std::string folder = TestFolder();
  fs::create_directories(folder + "/a");
  fs::create_directories(folder + "/b");
  fs::create_directories(folder + "/out");
  struct Case {
    const char* label;
    std::vector<std::string> sources;  // relative to the test folder
    const char* ext;
    int32_t overwrite;
    std::vector<std::string> existing;  // in out/
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"same-named sources from two folders", {"a/clip.mov", "b/clip.mov"}, "mp4", 0, {}, {"clip.mp4", "clip[1].mp4"}},
      {"the same with overwrite on", {"a/clip.mov", "b/clip.mov"}, "mp4", 1, {}, {"clip.mp4", "clip[1].mp4"}},
      {"existing files skipped", {"a/clip.mov"}, "mp4", 0, {"clip.mp4", "clip[1].mp4"}, {"clip[2].mp4"}},
      {"existing files replaced with overwrite", {"a/clip.mov"}, "mp4", 1, {"clip.mp4"}, {"clip.mp4"}},
      {"own source in the output folder", {"out/clip.mp4"}, "mp4", 0, {"clip.mp4"}, {"clip[1].mp4"}},
      {"own source with overwrite on", {"out/clip.mp4"}, "mp4", 1, {"clip.mp4"}, {"clip[1].mp4"}},
      {"own source, and clip[1] exists", {"out/clip.mp4"}, "mp4", 0, {"clip.mp4", "clip[1].mp4"}, {"clip[2].mp4"}},
      // The source differs from the name only by case: the next number is checked again.
      {"renumbered name checked again", {"out/Clip.MP4"}, "mp4", 0, {"Clip.MP4", "Clip[1].mp4"}, {"Clip[2].mp4"}},
      {"prefix names", {"a/clip.mov", "b/clip.mov"}, "@pre_", 0, {}, {"pre_clip", "pre_clip[1]"}},
      {"different names, no numbers", {"a/one.mov", "b/two.mov"}, "avi", 0, {}, {"one.avi", "two.avi"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const auto& e : fs::directory_iterator(folder + "/out")) fs::remove(e.path());
    for (const std::string& e : c.existing) Touch(folder + "/out/" + e);
    OutputNameList names;
    names.SetFolder(folder + "/out/");
    std::vector<std::string> got;
    for (const std::string& s : c.sources) {
      auto task = NamedTask(folder + "/" + s, c.ext, c.overwrite);
      got.push_back(OutputOf(*task, names));
      EXPECT_EQ(fs::path(task->job.output.path).parent_path(), fs::path(folder + "/out"));
    }
    EXPECT_EQ(c.names, got);
    // What was there is still there, unchanged.
    for (const std::string& e : c.existing) EXPECT_EQ(3u, fs::file_size(folder + "/out/" + e)) << e;
  }
}

TEST(OutputPath, SourceReachedByAnotherPathIsRecognised) {
  const std::string folder = TestFolder();
  fs::create_directories(folder + "/out");
  Touch(folder + "/out/clip.mp4");
  fs::create_directory_symlink(folder + "/out", folder + "/link");
  OutputNameList names;
  names.SetFolder(folder + "/out");
  // Overwrite on, so only the source check can move the name on.
  for (const std::string& source : {folder + "/link/clip.mp4", folder + "/out/../out/clip.mp4"}) {
    SCOPED_TRACE(source);
    names.Clear();
    auto task = NamedTask(source, "mp4", 1);
    EXPECT_EQ("clip[1].mp4", OutputOf(*task, names));
  }
}

TEST(OutputPath, PathPastTheJobFieldIsRefused) {
  OutputNameList names;
  names.SetFolder("/out");
  // "/out/" + title + ".mp4": 5 + 250 + 4 = 259 bytes fit, one more does not.
  auto fits = NamedTask("/in/" + std::string(250, 't') + ".mov", "mp4", 0);
  std::string message;
  EXPECT_TRUE(fits->MakeOutputPath(names, message)) << message;
  EXPECT_EQ(259u, strlen(fits->job.output.path));
  auto tooLong = NamedTask("/in/" + std::string(251, 't') + ".mov", "mp4", 0);
  SetJobText(tooLong->job.output.path, "/before");
  EXPECT_FALSE(tooLong->MakeOutputPath(names, message));
  EXPECT_NE(std::string::npos, message.find("260 bytes long")) << message;
  EXPECT_STREQ("/before", tooLong->job.output.path);
  EXPECT_EQ(1u, names.Entries().size());  // the refused name was not given out
}

// ---- job sources ----

TEST(JobSources, FromTheChosenStreams) {
  auto task = Task({Video(720, 480), Subtitle(0x20), Audio(0x80)});
  MediaInfo& source = *task->sources[0];
  source.clipStart = 3;
  source.clipEnd = 9;
  source.record.paletteValid = 1;
  source.record.palette[15] = 0x00108080;
  source.record.tags.year = 1999;
  auto second = std::make_unique<MediaInfo>();
  second->path = "/media/in/second.mpg";
  second->record = *Probe({Audio(0x81), Video(320, 240)});
  second->chosen[0] = second->chosen[1] = 1;
  task->sources.push_back(std::move(second));
  auto unused = std::make_unique<MediaInfo>();  // nothing chosen: no item
  unused->path = "/media/in/unused.mpg";
  unused->record = *Probe({Audio(0x81)});
  task->sources.insert(task->sources.begin() + 1, std::move(unused));

  std::string message;
  ASSERT_TRUE(task->BuildJobSources(message)) << message;
  const JobInputList& list = task->job.inputs;
  ASSERT_EQ(2, list.count);
  EXPECT_EQ(1999, list.tags.year);
  const JobInput& first = list.inputs[0];
  EXPECT_STREQ("/media/in/clip.mpg", first.path);
  EXPECT_EQ(3, first.start);
  EXPECT_EQ(9, first.stop);
  ASSERT_EQ(2, first.selectedCount);
  EXPECT_EQ(0, first.selected[0]);
  EXPECT_EQ(2, first.selected[1]);
  ASSERT_EQ(3, first.descriptionCount);
  EXPECT_EQ(Subtitle(0x20), first.descriptions[1]);
  EXPECT_EQ(1, first.paletteValid);
  EXPECT_EQ(0x00108080u, first.palette[15]);
  EXPECT_EQ(MakeFourcc('M', 'P', 'G', '2'), task->jobStreams[0].vfcc[0]);
  EXPECT_EQ(kStreamVideo, task->jobStreams[0].type[0]);
  EXPECT_EQ(MakeFourcc('A', 'C', '3', 'A'), task->jobStreams[0].vfcc[1]);
  EXPECT_EQ(kStreamAudio, task->jobStreams[0].type[1]);
  EXPECT_STREQ("/media/in/second.mpg", list.inputs[1].path);
  EXPECT_EQ(2, list.inputs[1].selectedCount);
  EXPECT_EQ(kStreamVideo, task->jobStreams[1].type[1]);
}

TEST(JobSources, RefusalsLeaveTheJob) {
  struct Case {
    const char* label;
    int sources;
    int tracks;
    int chosenTrack;
    size_t pathLength;
    const char* message;
  };
  const Case cases[] = {
      {"nine sources", 9, 1, 0, 20, "at most 8 sources"},
      {"chosen track past the twentieth", 1, 25, 22, 20, "Track 23 of"},
      {"path past its field", 1, 1, 0, 260, "260 bytes long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto task = Task({Video(720, 480)});
    const std::vector<uint8_t> before = SerialiseRecord(task->job);
    task->sources.clear();
    for (int s = 0; s < c.sources; ++s) {
      auto info = std::make_unique<MediaInfo>();
      info->path = std::string(c.pathLength, static_cast<char>('a' + s));
      info->path[0] = '/';
      info->record = *Probe(std::vector<std::string>(static_cast<size_t>(c.tracks), Audio(0x80)));
      info->chosen[0] = 1;
      info->chosen[c.chosenTrack] = 1;
      task->sources.push_back(std::move(info));
    }
    std::string message;
    EXPECT_FALSE(task->BuildJobSources(message));
    EXPECT_NE(std::string::npos, message.find(c.message)) << message;
    EXPECT_EQ(before, SerialiseRecord(task->job));
  }
}

TEST(JobSources, LimitsThatStillFit) {
  // Eight sources, a 259-byte path, and 25 tracks of which the first 20 are kept.
  auto task = Task({Video(720, 480)});
  task->sources.clear();
  for (int s = 0; s < 8; ++s) {
    auto info = std::make_unique<MediaInfo>();
    info->path = std::string(259, static_cast<char>('a' + s));
    info->path[0] = '/';
    info->record = *Probe(std::vector<std::string>(25, Audio(0x80)));
    info->chosen[19] = 1;
    info->chosen[30] = 1;  // past the record's 25 tracks: not a track
    task->sources.push_back(std::move(info));
  }
  std::string message;
  ASSERT_TRUE(task->BuildJobSources(message)) << message;
  EXPECT_EQ(8, task->job.inputs.count);
  EXPECT_EQ(20, task->job.inputs.inputs[7].descriptionCount);
  EXPECT_EQ(1, task->job.inputs.inputs[7].selectedCount);
  EXPECT_EQ(19, task->job.inputs.inputs[7].selected[0]);
  // The record serialises and reads back whole.
  ConvertJob back;
  std::string reason;
  EXPECT_TRUE(ParseJobRecord(back, SerialiseRecord(task->job), reason)) << reason;
  EXPECT_EQ(SerialiseRecord(task->job), SerialiseRecord(back));
}

TEST(JobSources, PlaceholdersRefuseMoreThanEightSources) {
  CTask task;
  for (int s = 0; s < 9; ++s) task.sources.push_back(std::make_unique<MediaInfo>());
  std::string message;
  EXPECT_FALSE(task.BuildPlaceholderSources(message));
  EXPECT_NE(std::string::npos, message.find("at most 8 sources")) << message;
  task.sources.pop_back();
  EXPECT_TRUE(task.BuildPlaceholderSources(message));
  EXPECT_EQ(8, task.job.inputs.count);
  EXPECT_STREQ("abcde", task.job.inputs.inputs[7].path);
}

// ---- copies ----

TEST(CopySettings, CopiesEverything) {
  TaskOptions options;
  options.scaleMode = 1;
  auto task = Task({Video(720, 480), Audio(0x80)}, Settings(640, 480), options);
  task->AddVideoFilter("VTWEAK", "\"T\"=1", kFilterDeletable);
  task->displayName = "shown";
  task->outputNumber = 4;
  task->checked = 1;
  task->finished = 1;
  task->resultCode = 7;
  task->sourceAspectMode = kAspect16x9;
  task->GetEstimatedSizeText();
  CTask copy;
  copy.CopySettings(*task);
  EXPECT_EQ(SerialiseRecord(task->job), SerialiseRecord(copy.job));
  EXPECT_EQ(task->title, copy.title);
  EXPECT_EQ("shown", copy.displayName);
  EXPECT_EQ(4, copy.outputNumber);
  EXPECT_TRUE(copy.checked);
  EXPECT_EQ(7, copy.resultCode);
  EXPECT_EQ(kAspect16x9, copy.sourceAspectMode);
  EXPECT_EQ(task->audioStreamCount, copy.audioStreamCount);
  EXPECT_EQ(task->estimatedSize, copy.estimatedSize);
  EXPECT_EQ(task->GetEstimatedSizeText(), copy.GetEstimatedSizeText());
  EXPECT_EQ(task->jobStreams[0].vfcc[0], copy.jobStreams[0].vfcc[0]);
  // Sources are copies, not shared.
  ASSERT_EQ(1u, copy.sources.size());
  task->sources[0]->clipStart = 99;
  EXPECT_EQ(0, copy.sources[0]->clipStart);
  copy.Clear();
  EXPECT_TRUE(copy.sources.empty());
  EXPECT_TRUE(copy.VideoFilters().empty());
  EXPECT_EQ(0, copy.job.inputs.count);
}

}  // namespace
