// What the progress dialog shows, as arithmetic: bars, status lines, fps
// across a pause, elapsed and remaining time, long durations; the merge
// engine's job and its frame rate; and the reader of the log ring with damaged
// indexes and a ring that overran.
#include "frontend/model/convert_progress.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/control_block.h"
#include "common/job_records.h"
#include "frontend/model/dvd_titles.h"
#include "frontend/model/log_reader.h"
#include "frontend/model/task.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

TEST(ProgressFigures, HmsBarsAndFps) {
  EXPECT_EQ("00:00:00", FormatHms(0));
  EXPECT_EQ("00:00:59", FormatHms(59));
  EXPECT_EQ("01:00:00", FormatHms(3600));
  EXPECT_EQ("100:00:01", FormatHms(360001));
  EXPECT_EQ("00:00:00", FormatHms(-5));

  EXPECT_EQ(1, ProgressBarUpper(0));
  EXPECT_EQ(1, ProgressBarUpper(-3));
  EXPECT_EQ(65536, ProgressBarUpper(65536));  // no 16-bit bound
  EXPECT_EQ(INT32_MAX, ProgressBarUpper(int64_t{3} * UINT32_MAX));

  EXPECT_EQ(0, FramesPerSecond(50, 0, 0));  // no time yet: no division
  EXPECT_EQ(0, FramesPerSecond(10, 50, 1000));
  EXPECT_EQ(25, FramesPerSecond(75, 25, 2000));
}

TEST(ProgressMeter, StatusLinesWithFramesWithPositionOnlyAndBeforeAnyReport) {
  ConvertProgressMeter m;
  m.StartRun(0, 150);
  m.StartTask(1000, 100);
  ConvertProgressMeter::Reading r = m.Read(1000, 0, 0);
  EXPECT_FALSE(r.taskLine.has_value());
  EXPECT_EQ("0%,total 00:02:30,current 00:00:00", r.totalLine);

  r = m.Read(1000, 500, 12);  // frames at once: fps 0, not a division by zero
  EXPECT_EQ("0%,00:00:00,12 frames, 0 fps ", r.taskLine.value());

  r = m.Read(3000, 2000, 50);
  EXPECT_EQ("2%,00:00:02,50 frames, 25 fps ", r.taskLine.value());
  EXPECT_EQ(2, r.current);
  EXPECT_EQ(2, r.total);

  r = m.Read(4000, 75500, 0);  // audio only: the position alone
  EXPECT_EQ("75%,00:01:15", r.taskLine.value());
  EXPECT_EQ("50%,total 00:02:30,current 00:01:15", r.totalLine);
  EXPECT_EQ(75500, m.LastFrames());

  r = m.Read(5000, 999999, 0);  // past the duration: held at the end
  EXPECT_EQ(100, r.current);
  EXPECT_EQ("100%,00:01:40", r.taskLine.value());

  r = m.Read(5000, -4000, 0);  // a negative time stamp counts as 0
  EXPECT_EQ(0, r.current);
}

TEST(ProgressMeter, FpsAndRemainingTimeContinueRightAfterAPause) {
  ConvertProgressMeter m;
  m.StartRun(0, 100);
  m.StartTask(0, 100);
  EXPECT_EQ("00:00:00 Elapsed,--:--:-- Remaining", m.TimeLine(0));
  EXPECT_EQ("00:00:05 Elapsed,--:--:-- Remaining", m.TimeLine(5000));  // nothing known yet
  m.Read(10000, 10000, 250);                                           // 10 s of media in 10 s at 25 fps
  EXPECT_EQ("00:00:10 Elapsed,00:01:30 Remaining", m.TimeLine(10000));
  // Paused for 20 s: nothing is read; then resumed.
  m.Resume(30000);
  EXPECT_EQ(250, m.FramesBase());
  const ConvertProgressMeter::Reading r = m.Read(32000, 12000, 300);
  // 50 frames in the 2 s since the resume, not 300 in 2 s or 300 in 32 s.
  EXPECT_EQ("12%,00:00:12,300 frames, 25 fps ", r.taskLine.value());
  // 12% after 32 s: 266.666 s in all, 234 s to go.
  EXPECT_EQ("00:00:32 Elapsed,00:03:54 Remaining", m.TimeLine(32000));
  m.Read(40000, 100000, 2500);
  EXPECT_EQ("00:00:40 Elapsed,00:00:00 Remaining", m.TimeLine(40000));
  EXPECT_EQ("00:00:50 Elapsed,00:00:00 Remaining", m.TimeLine(50000));  // never below 0
}

TEST(ProgressMeter, TasksAddUpAndZeroDurationsCountOne) {
  ConvertProgressMeter m;
  m.StartRun(0, 0);
  EXPECT_EQ(1, m.TotalUpper());
  m.StartTask(0, 0);
  EXPECT_EQ(1, m.CurrentUpper());
  EXPECT_EQ("100%,total 00:00:01,current 00:00:01", m.Read(100, 1500, 0).totalLine);

  m.StartRun(0, 90);
  m.StartTask(0, 30);
  m.TaskEnded(30);
  m.StartTask(5000, 60);
  const ConvertProgressMeter::Reading r = m.Read(6000, 15000, 0);
  EXPECT_EQ(15, r.current);
  EXPECT_EQ(45, r.total);
  EXPECT_EQ("50%,total 00:01:30,current 00:00:45", r.totalLine);
}

TEST(ProgressMeter, DurationsOver65535SecondsKeepTheirBars) {
  ConvertProgressMeter m;
  m.StartRun(0, 200000);
  m.StartTask(0, 100000);
  EXPECT_EQ(100000, m.CurrentUpper());
  EXPECT_EQ(200000, m.TotalUpper());
  const ConvertProgressMeter::Reading r = m.Read(1000, 70000000, 0);
  EXPECT_EQ(70000, r.current);
  EXPECT_EQ(70000, r.total);
  EXPECT_EQ("70%,19:26:40", r.taskLine.value());
  EXPECT_EQ("35%,total 55:33:20,current 19:26:40", r.totalLine);

  m.StartRun(0, int64_t{3} * UINT32_MAX);  // more than a bar can count
  m.StartTask(0, UINT32_MAX);
  EXPECT_EQ(INT32_MAX, m.TotalUpper());
  EXPECT_EQ(INT32_MAX, m.CurrentUpper());
  EXPECT_EQ(INT32_MAX / 1000, m.Read(0, INT32_MAX, 0).current);
}

TEST(ProgressMeter, StoppingLineCountsDownToZero) {
  ConvertProgressMeter m;
  m.Stopped(1000);
  EXPECT_EQ("Stopping...(wait about 15s to stop)", m.StoppingLine(1000, 15000));
  EXPECT_EQ("Stopping...(wait about 12s to stop)", m.StoppingLine(4500, 15000));
  EXPECT_EQ("Stopping...(wait about 0s to stop)", m.StoppingLine(30000, 15000));
}

TEST(ProgressMeter, StatusOfAnEndedTask) {
  CTask task;
  EXPECT_EQ("", TaskStatusText(task));  // never ended, or stopped
  task.finished = 1;
  EXPECT_EQ("Done", TaskStatusText(task));
  task.resultCode = static_cast<int32_t>(0x80040203u);
  EXPECT_EQ("Failed(0x80040203)", TaskStatusText(task));
}

// DvdTitleInfo::videoFormat.
constexpr int32_t kNtsc = 0;
constexpr int32_t kPal = 1;

// The probe record the front end makes for a DVD title of that video format.
std::unique_ptr<MediaInfoRecord> DvdTitleRecord(int32_t videoFormat) {
  auto info = std::make_unique<DvdTitleInfo>();
  *info = DvdTitleInfo{};
  info->videoKind = 11;
  info->videoStreamId = 0xE0;
  info->width = 720;
  info->height = videoFormat == kNtsc ? 480 : 576;
  info->videoFormat = videoFormat;
  auto record = std::make_unique<MediaInfoRecord>();
  *record = MediaInfoRecord{};
  MakeDvdTitleRecord(*info, 1, 8.0, *record, nullptr);
  return record;
}

TEST(MergeJob, ARateLeftToTheSourceIsTheFirstTasksSourceRate) {
  OutputSettings profileRate = Mp4Choice();
  profileRate.frameNum = 1;
  profileRate.frameDen = 30;
  const struct {
    const char* what;
    std::unique_ptr<MediaInfoRecord> record;
    OutputSettings settings;
    int32_t num, den;  // the merge job's seconds per frame
  } cases[] = {
      {"NTSC title", DvdTitleRecord(kNtsc), Mp4Choice(), 1001, 30000},
      {"PAL title", DvdTitleRecord(kPal), Mp4Choice(), 1, 25},
      {"probed 23.976", Probe({"\"TYPE\"=0,\"WIDTH\"=640,\"HEIGHT\"=360,\"FRAMERATE\"=F23.976"}), Mp4Choice(), 1001,
       24000},
      {"probed 12.5", Probe({"\"TYPE\"=0,\"WIDTH\"=640,\"HEIGHT\"=360,\"FRAMERATE\"=F12.5"}), Mp4Choice(), 800, 10000},
      {"the profile's own rate", DvdTitleRecord(kNtsc), profileRate, 1, 30},
      // Nothing to take: the engine says which rate it writes.
      {"no source rate", Probe({"\"TYPE\"=0,\"WIDTH\"=640,\"HEIGHT\"=360"}), Mp4Choice(), 0, 0},
      {"audio only", Probe({"\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2"}), Mp4Choice(), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string message;
    std::unique_ptr<CTask> task = MakeTask("/media/a.mpg", *c.record, c.settings, TaskOptions{}, message);
    ASSERT_NE(nullptr, task) << message;
    ASSERT_TRUE(task->BuildJobSources(message)) << message;
    task->job.settings.passFlag = 1;
    const ConvertJob before = task->job;

    const std::unique_ptr<ConvertJob> job = MakeMergeJob(*task);
    EXPECT_EQ(c.num, job->settings.frameRateNum);
    EXPECT_EQ(c.den, job->settings.frameRateDen);
    // Otherwise the task's job, which keeps its own rate.
    ConvertJob expected = before;
    expected.settings.frameRateNum = c.num;
    expected.settings.frameRateDen = c.den;
    EXPECT_EQ(SerialiseRecord(expected), SerialiseRecord(*job));
    EXPECT_EQ(before.settings.frameRateNum, task->job.settings.frameRateNum);
    EXPECT_EQ(before.settings.frameRateDen, task->job.settings.frameRateDen);
  }
}

// The ring as the engine writes it, beside the reader under test.
class LogRingRead : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writer_.Open(CLogRing::kName));
    ASSERT_TRUE(reader_.Open());
    SetIndexes(0, 0);
  }
  void SetIndexes(int32_t read, int32_t write) {
    BlockWord(writer_.View(), LogRingLayout::kReadIndex).store(read);
    BlockWord(writer_.View(), LogRingLayout::kWriteIndex).store(write);
  }
  int32_t ReadIndex() { return BlockWord(writer_.View(), LogRingLayout::kReadIndex).load(); }
  int32_t WriteIndex() { return BlockWord(writer_.View(), LogRingLayout::kWriteIndex).load(); }
  std::vector<std::string> DrainTexts() {
    std::vector<LogEntry> entries;
    reader_.Drain(entries);
    std::vector<std::string> texts;
    for (const LogEntry& e : entries) texts.push_back(LogLineText(e.text));
    return texts;
  }

  CLogRing writer_;
  LogRingReader reader_;
};

TEST_F(LogRingRead, EntriesInOrderAndAnEmptyRingLeftAlone) {
  LogEntry entry;
  EXPECT_EQ(LogRingReader::ReadResult::kEmpty, reader_.ReadEntry(entry));
  EXPECT_EQ(0, ReadIndex());
  EXPECT_EQ(0, WriteIndex());

  SetIndexes(510, 510);  // the lines wrap from 511 to 0
  for (const char* line : {"Start converting media file \"a.vob\"...", "Cannot render audio\n", "third"})
    writer_.Append(line);
  ASSERT_EQ(LogRingReader::ReadResult::kTaken, reader_.ReadEntry(entry));
  EXPECT_EQ("Start converting media file \"a.vob\"...", entry.text);
  EXPECT_EQ(511, ReadIndex());
  EXPECT_EQ((std::vector<std::string>{"Cannot render audio", "third"}), DrainTexts());
  EXPECT_EQ(1, ReadIndex());
  EXPECT_TRUE(DrainTexts().empty());
}

TEST_F(LogRingRead, AnIndexOutsideTheRingResetsTheReader) {
  const struct {
    int32_t read, write;
  } cases[] = {{-1, 3}, {512, 3}, {600, 3}, {700, 3}, {3, -1}, {3, 600}, {3, 700}, {-1, 700}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.read) + "," + std::to_string(c.write));
    SetIndexes(c.read, c.write);
    LogEntry entry;
    EXPECT_EQ(LogRingReader::ReadResult::kReset, reader_.ReadEntry(entry));
    EXPECT_EQ(0, ReadIndex());
    EXPECT_EQ(c.write, WriteIndex());  // the writer's own to mend
    SetIndexes(c.read, c.write);
    EXPECT_TRUE(DrainTexts().empty());  // a drain returns, whatever the ring holds
    EXPECT_EQ(0, ReadIndex());
  }
  // A write index of 600: the writer resets it and drops that line, then
  // fills entry 0, which the reader takes.
  SetIndexes(3, 600);
  EXPECT_TRUE(DrainTexts().empty());
  writer_.Append("dropped");
  writer_.Append("kept");
  EXPECT_EQ((std::vector<std::string>{"kept"}), DrainTexts());
}

TEST_F(LogRingRead, AnOverrunRingGivesItsNewestLinesOnce) {
  // 600 lines before one read: the writer went round once and 88 further.
  for (int i = 1; i <= 600; ++i) writer_.Append(("line " + std::to_string(i)).c_str());
  const std::vector<std::string> texts = DrainTexts();
  ASSERT_EQ(88u, texts.size());
  EXPECT_EQ("line 513", texts.front());
  EXPECT_EQ("line 600", texts.back());
  EXPECT_TRUE(DrainTexts().empty());
}

TEST(LogLinesKept, TimesAndTextsInOrder) {
  LogLines lines;
  LogEntry entry;
  entry.time = SYSTEMTIME{2024, 5, 3, 17, 9, 8, 7, 6};
  entry.text = "Conversion finished,the destination file is \"/out/a.mp4\".\r\n";
  lines.Add(entry);
  lines.Add("10:00:00.000", "second");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("09:08:07.006", lines[0].time);
  EXPECT_EQ("Conversion finished,the destination file is \"/out/a.mp4\".", lines[0].text);
  EXPECT_EQ("second", lines[1].text);
}

}  // namespace
