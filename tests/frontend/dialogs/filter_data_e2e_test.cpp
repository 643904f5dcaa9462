// Filters added through the filter pages over the shipped descriptions, their
// dialogs set as a user would, and the task's filter entries converted by the
// engine: levels and tweak, watermark, subtitle and a vertical flip (no
// dialog) on a clip whose top half is darker than its bottom half; the
// equaliser on a tone on each channel.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "frontend/controls/hint_edit.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/dialogs/dlg_filter_list.h"
#include "frontend/dialogs/dlg_filter_pages.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task.h"
#include "frontend/ui/modal_script.h"
#include "tests/test_util/e2e_job.h"

namespace {

constexpr int kWidth = 160, kHeight = 120, kFrames = 25;  // 1 s at 25 fps
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3 / 2;
constexpr int kShown = 12;  // a frame inside the subtitle's interval

const char* const kSrt = "1\n00:00:00,200 --> 00:00:00,800\nHello\n";

void UseShippedFilters() {
  SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""});
  TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
}

// Adds the filter the picker shows as name; step runs in its dialog, which is
// then accepted (a filter without settings opens none).
void PickFilter(CFilterListPage& page, const char* name, const std::function<void(UiDialog&)>& step = {}) {
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto* list = d.ItemAs<QListWidget>(IDC_FILTER_LIST);
    const QList<QListWidgetItem*> found = list->findItems(QString::fromUtf8(name), Qt::MatchExactly);
    EXPECT_EQ(1, found.size()) << name;
    if (!found.empty()) list->setCurrentItem(found.front());
    d.OnCommand(found.empty() ? IDCANCEL : IDOK, BN_CLICKED);
  });
  if (step)
    script.Then([&](UiDialog& d) {
      step(d);
      d.OnCommand(IDOK, BN_CLICKED);
    });
  page.AddFilter();
  EXPECT_EQ(0u, script.Remaining()) << name;
  EXPECT_EQ(0, script.Unscripted()) << name;
}

// The trivox_job options that carry a task's filter list.
std::vector<std::string> FilterOptions(const std::vector<FilterEntry>& entries, const char* option) {
  std::vector<std::string> out;
  for (const FilterEntry& e : entries) out.insert(out.end(), {option, std::string(e.key) + "=" + e.params});
  return out;
}

class PickedVideoFilters : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("fe_filter_data_e2e", {"vsubtitle.so"});
    source_ = folder_ + "/bands.mp4";
    ASSERT_TRUE(
        RunFfmpeg("-f lavfi -i color=c=0x505050:s=160x120:r=25:d=1,drawbox=x=0:y=60:w=160:h=60:"
                  "color=0x909090:t=fill,format=yuv420p -c:v mpeg4 -q:v 2 " +
                  ShellQuote(source_)));
    srt_ = folder_ + "/clip.srt";
    WriteFile(srt_, std::vector<uint8_t>(kSrt, kSrt + std::string(kSrt).size()));
    mark_ = folder_ + "/mark.png";
    QImage white(24, 16, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(QString::fromStdString(mark_), "PNG"));
    plain_ = Convert("plain", {});
  }

  void SetUp() override {
    UseShippedFilters();
    task_.outputVideo.width = kWidth;
    task_.outputVideo.height = kHeight;
    page_ = std::make_unique<CDlgFilter>(task_, PreviewFrameOptions{}, folder_);
    page_->Create();
  }
  void TearDown() override {
    page_->DestroyWindow();
    SetProfileFolders(ProfileFolders{});
  }

  // The clip converted with a video filter list, as raw 4:2:0 frames.
  static std::vector<uint8_t> Convert(const std::string& name, const std::vector<FilterEntry>& entries) {
    const std::string output = folder_ + "/" + name + ".avi";
    std::vector<std::string> options = {"--source", source_,    "--output",    output, "--acodec", "NONE",
                                        "--vcodec", "raw",      "--raw-video", "YV12", "--vtag",   "YV12",
                                        "--writer", "[FFM]AVI", "--width",     "160",  "--height", "120"};
    const std::vector<std::string> filters = FilterOptions(entries, "--vfilter");
    options.insert(options.end(), filters.begin(), filters.end());
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    const std::string raw = folder_ + "/" + name + ".yuv";
    EXPECT_TRUE(RunFfmpeg("-i " + ShellQuote(output) + " -f rawvideo -pix_fmt yuv420p " + ShellQuote(raw)));
    std::vector<uint8_t> frames = ReadFileBytes(raw);
    EXPECT_EQ(kFrameBytes * kFrames, frames.size());
    return frames;
  }

  // Mean luma of a rectangle of frame n (rows and columns from..to, inclusive).
  static double Mean(const std::vector<uint8_t>& f, int n, int top, int bottom, int left = 0, int right = kWidth - 1) {
    if (f.size() < kFrameBytes * size_t(n + 1)) return -1;
    double sum = 0;
    for (int r = top; r <= bottom; ++r)
      for (int c = left; c <= right; ++c) sum += f[kFrameBytes * size_t(n) + size_t(r) * kWidth + size_t(c)];
    return sum / double((bottom - top + 1) * (right - left + 1));
  }

  // Luma bytes of frame n that differ between two conversions.
  static int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int n) {
    int count = 0;
    for (size_t i = kFrameBytes * size_t(n); i < kFrameBytes * size_t(n) + size_t(kWidth) * kHeight; ++i)
      if (i < a.size() && i < b.size() && a[i] != b[i]) ++count;
    return count;
  }

  static std::string folder_, source_, srt_, mark_;
  static std::vector<uint8_t> plain_;
  CTask task_;
  std::unique_ptr<CDlgFilter> page_;
};
std::string PickedVideoFilters::folder_, PickedVideoFilters::source_, PickedVideoFilters::srt_,
    PickedVideoFilters::mark_;
std::vector<uint8_t> PickedVideoFilters::plain_;

TEST_F(PickedVideoFilters, LevelsInvertAndTweakBrightensBothBands) {
  PickFilter(*page_, "Levels", [](UiDialog& d) {
    auto* combo = d.ItemAs<QComboBox>(IDC_ADJUST_PRESET);
    combo->setCurrentIndex(combo->findText("Invert the image"));
    d.OnCommand(IDC_ADJUST_PRESET, CBN_SELCHANGE);
  });
  PickFilter(*page_, "Tweak", [](UiDialog& d) { static_cast<CDlgTweak&>(d).Slider(IDC_TWEAK_BRIGHTNESS)->SetPos(20); });
  ASSERT_EQ(2u, task_.VideoFilters().size());
  const std::vector<uint8_t> out = Convert("levels_tweak", task_.VideoFilters());
  // Inverted inside the TV range (Y -> 251 - Y), then lifted by 51.
  for (const auto& [top, bottom] : {std::pair{8, 52}, std::pair{68, 112}}) {
    SCOPED_TRACE(top);
    const double before = Mean(plain_, kShown, top, bottom);
    EXPECT_NEAR(Mean(out, kShown, top, bottom), 251 - before + 51, 3.0) << before;
  }
}

TEST_F(PickedVideoFilters, AWatermarkAnchoredTopLeft) {
  PickFilter(*page_, "Watermark", [&](UiDialog& d) {
    auto& w = static_cast<CDlgWatermark&>(d);
    SendFileDrop(*w.FileEdit(), mark_);
    w.OnCommand(IDC_WM_ALIGN_TL, BN_CLICKED);
  });
  ASSERT_EQ(1u, task_.VideoFilters().size());
  ASSERT_NE(std::string::npos, task_.VideoFilters()[0].params.find(mark_));
  const std::vector<uint8_t> out = Convert("watermark", task_.VideoFilters());
  EXPECT_GT(Mean(out, kShown, 2, 13, 2, 21), 200) << "the white picture at the top left";
  EXPECT_NEAR(Mean(out, kShown, 2, 13, 60, 150), Mean(plain_, kShown, 2, 13, 60, 150), 1.0);
}

TEST_F(PickedVideoFilters, ASubtitleFileShowsInItsInterval) {
  PickFilter(*page_, "Subtitle", [&](UiDialog& d) { SendFileDrop(*static_cast<CDlgSubtitle&>(d).FileEdit(), srt_); });
  ASSERT_EQ(1u, task_.VideoFilters().size());
  ASSERT_NE(std::string::npos, task_.VideoFilters()[0].params.find(srt_));
  const std::vector<uint8_t> out = Convert("subtitle", task_.VideoFilters());
  EXPECT_EQ(0, Differing(out, plain_, 2)) << "before the interval";
  EXPECT_GT(Differing(out, plain_, kShown), 50) << "inside it";
}

TEST_F(PickedVideoFilters, AFlipWithoutDialogTurnsThePictureUpsideDown) {
  PickFilter(*page_, "Flip vertical");
  ASSERT_EQ(1u, task_.VideoFilters().size());
  EXPECT_EQ("VFLIPVERTICAL", std::string(task_.VideoFilters()[0].key));
  const std::vector<uint8_t> out = Convert("flip", task_.VideoFilters());
  EXPECT_NEAR(Mean(out, kShown, 8, 52), Mean(plain_, kShown, 68, 112), 1.0);
  EXPECT_NEAR(Mean(out, kShown, 68, 112), Mean(plain_, kShown, 8, 52), 1.0);
}

TEST(PickedAudioFilter, AnEqualizerPresetRaisesTheBassAndLowersTheMiddle) {
  UseShippedFilters();
  CTask task;
  const std::string folder = MakeConvertFolder("fe_filter_data_eq_e2e");
  {
    CDlgAFilter page(task, PreviewFrameOptions{}, folder);
    page.Create();
    PickFilter(page, "Equalizer", [](UiDialog& d) {
      auto* combo = d.ItemAs<QComboBox>(IDC_EQ_PRESET);
      combo->setCurrentIndex(combo->findText("Full Bass"));
      d.OnCommand(IDC_EQ_PRESET, CBN_SELCHANGE);
    });
    page.DestroyWindow();
  }
  SetProfileFolders(ProfileFolders{});
  ASSERT_EQ(1u, task.AudioFilters().size());
  EXPECT_EQ("AEQ", std::string(task.AudioFilters()[0].key));

  // 100 Hz on the left, 2 kHz on the right: the 60-170 Hz band (+5.92 dB)
  // raises the left by 20/15 x 5.92 dB, the 1-3 kHz band (-2.88 dB) lowers
  // the right by 20/15 x 2.88 dB.
  const std::string source = folder + "/in.wav";
  const std::string output = folder + "/out.wav";
  ASSERT_TRUE(RunFfmpeg(
      "-f lavfi -i sine=frequency=100:sample_rate=44100:duration=3 -f lavfi -i "
      "sine=frequency=2000:sample_rate=44100:duration=3 -filter_complex '[0][1]amerge=inputs=2' -c:a pcm_s16le " +
      ShellQuote(source)));
  std::vector<std::string> options = {"--source",    source, "--output",      output, "--acodec", "RAW",
                                      "--raw-audio", "PC16", "--vcodec",      "NONE", "--writer", "[FFM]WAV",
                                      "--channels",  "2",    "--sample-rate", "44100"};
  const std::vector<std::string> filters = FilterOptions(task.AudioFilters(), "--afilter");
  options.insert(options.end(), filters.begin(), filters.end());
  ASSERT_EQ("", WriteConvertJob(folder, options));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_NEAR(MeanVolumeDb(output, 0) - MeanVolumeDb(source, 0), 20.0 / 15 * 5.92, 0.3);
  EXPECT_NEAR(MeanVolumeDb(output, 1) - MeanVolumeDb(source, 1), -20.0 / 15 * 2.88, 0.3);
}

}  // namespace
