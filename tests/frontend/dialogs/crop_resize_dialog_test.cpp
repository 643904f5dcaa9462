// The crop, resize and pad dialog and the Resize page, offscreen: the settings
// interface's return codes, the layout buttons, typed and stepped values, the
// frame-render worker over an injected renderer (a frame, a failure, a dialog
// closed first), the gate several frames share, and the page over a task.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "frontend/controls/page_tab.h"
#include "frontend/controls/previews.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_aspect.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/param_text.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "platform/win_types.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// A renderer that writes a solid frame of one colour, as the engine would
// write the rendered one.
FrameRenderer SolidRenderer(uint32_t colour, int32_t width, int32_t height) {
  return [=](WindowId, FrameJob& job) { return WriteSolidBitmap(job.outputPath, colour, width, height); };
}

QColor CentreOf(CFramePreviewCtrl* preview) {
  const QImage shot = preview->grab().toImage();
  return shot.pixelColor(preview->ShownRect().center());
}

// Waits (bounded) until flag is set.
void AwaitFlag(const std::atomic<bool>& flag) {
  for (int i = 0; i < 1000 && !flag.load(); ++i) std::this_thread::sleep_for(5ms);
}

class CropResize : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFrameRenderer([](WindowId, FrameJob&) { return false; });
    job_ = std::make_unique<FrameJob>();
    SetJobText(job_->sourcePath, "/media/in/clip.mpg");
    SetJobText(job_->outputPath, dir_.File("preview.bmp"));
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForFrameRenderWorkers(10000));
    SetFrameRenderer(nullptr);
  }
  void Prepare(CDlgCropResize& d, const std::string& text, int32_t w = 720, int32_t h = 576) {
    ASSERT_EQ(S_OK, d.SetSource(w, h, 1.0, 1.0, *job_, dir_.path()));
    ASSERT_EQ(S_OK, d.SetParams(text.c_str(), uint32_t(text.size() + 1)));
  }

  TempDir dir_;
  std::unique_ptr<FrameJob> job_;
};

TEST_F(CropResize, ReturnCodesOfTheSettingsInterface) {
  {
    CDlgCropResize d;
    Prepare(d, "\"WIDTH\"=0,\"HEIGHT\"=0,\"LEFTBAND\"=8,\"SCALEMODE\"=5");
    EXPECT_EQ(720, d.Geometry().outputWidth);
    EXPECT_EQ(576, d.Geometry().outputHeight);
    uint32_t length = 0;
    EXPECT_EQ(SETUP_E_NO_SETTINGS, d.GetParams(nullptr, &length));
    ModalScript script;
    script.Then([](UiDialog& dialog) { dialog.OnCommand(IDCANCEL, BN_CLICKED); });
    EXPECT_EQ(S_FALSE, d.Edit(nullptr));
    EXPECT_EQ(SETUP_E_NO_SETTINGS, d.GetParams(nullptr, &length));
    EXPECT_EQ(0u, script.Remaining());
  }
  CDlgCropResize d;
  Prepare(d, "\"WIDTH\"=640,\"HEIGHT\"=480,\"LEFTBAND\"=8,\"CRPAD\"=255,\"SCALEMODE\"=5");
  ModalScript script;
  script.Then([](UiDialog& dialog) { dialog.OnCommand(IDOK, BN_CLICKED); });
  EXPECT_EQ(S_OK, d.Edit(nullptr));
  const std::string want =
      "\"WIDTH\"=640,\"HEIGHT\"=480,\"LEFTBAND\"=8,\"RIGHTBAND\"=0,\"TOPBAND\"=0,\"BOTTOMBAND\"=0,\"LEFTPAD\"=0,"
      "\"RIGHTPAD\"=0,\"TOPPAD\"=0,\"BOTTOMPAD\"=0,\"CRPAD\"=255,\"SCALEMODE\"=5";
  uint32_t length = 0;
  EXPECT_EQ(SETUP_E_BUFFER_TOO_SMALL, d.GetParams(nullptr, &length));
  EXPECT_EQ(want.size() + 1, length);
  std::string small(length - 1, '\0');
  uint32_t smallLength = length - 1;
  EXPECT_EQ(SETUP_E_BUFFER_TOO_SMALL, d.GetParams(small.data(), &smallLength));
  EXPECT_EQ(length, smallLength);
  std::string bytes;
  ASSERT_EQ(S_OK, ReadSetupParams(d, bytes));
  EXPECT_EQ(want + '\0', bytes);
  EXPECT_EQ(E_POINTER, d.GetParams(nullptr, nullptr));
}

TEST_F(CropResize, LayoutButtonsLayOutTheFrameAndLockThePages) {
  CDlgCropResize d;
  Prepare(d, "\"WIDTH\"=720,\"HEIGHT\"=480,\"SCALEMODE\"=1", 720, 576);
  ScaleLayout letterbox;
  ASSERT_TRUE(ComputeScaleLayout(720, 576, 1.0, 720, 480, 1.0, letterbox, kScaleLetterbox));
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    CDlgResizePadPage* pad = dlg.PadPage();
    CDlgCropPage* crop = dlg.CropPage();
    EXPECT_EQ(1, dlg.Tabs()->GetCurSel());
    EXPECT_EQ(1, dlg.ItemCheck(IDC_LAYOUT_LETTERBOX));
    EXPECT_EQ(letterbox.leftPad, dlg.Geometry().layout.leftPad);
    EXPECT_EQ(QString::number(PictureWidth(dlg.Geometry())), pad->ItemText(IDC_PICTURE_WIDTH));
    EXPECT_TRUE(pad->KeepRatio());
    EXPECT_FALSE(pad->Item(IDC_LEFT_PAD)->isEnabled());
    EXPECT_FALSE(pad->Item(IDC_LEFT_PAD_SPIN)->isEnabled());
    EXPECT_FALSE(crop->Item(IDC_LEFT_BAND)->isEnabled());
    EXPECT_TRUE(crop->Item(IDC_LEFT_BAND_SPIN)->isEnabled()) << "the crop spins stay usable";

    dlg.OnCommand(IDC_LAYOUT_STRETCH, BN_CLICKED);
    EXPECT_FALSE(pad->KeepRatio());
    EXPECT_EQ(kScaleStretch, dlg.ScaleMode());
    EXPECT_EQ(0, dlg.Geometry().layout.leftPad + dlg.Geometry().layout.topPad);
    const std::string stretched = VResizeText(dlg.Geometry(), 0);
    dlg.OnCommand(IDC_LAYOUT_MANUAL, BN_CLICKED);
    EXPECT_EQ(kScaleManual, dlg.ScaleMode());
    EXPECT_EQ(stretched, VResizeText(dlg.Geometry(), 0)) << "manual recomputes nothing";
    EXPECT_TRUE(pad->Item(IDC_LEFT_PAD)->isEnabled());
    EXPECT_TRUE(crop->Item(IDC_LEFT_BAND)->isEnabled());
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(S_OK, d.Edit(nullptr));
  EXPECT_EQ(kScaleManual, d.ScaleMode());
}

TEST_F(CropResize, TypedAndSteppedValuesSettleAndThePadPageFollowsTheCrop) {
  CDlgCropResize d;
  Prepare(d, "\"SCALEMODE\"=5");
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    CDlgCropPage* crop = dlg.CropPage();
    CDlgResizePadPage* pad = dlg.PadPage();
    auto* spin = dynamic_cast<CSpinButtonCtrl*>(crop->Item(IDC_LEFT_BAND_SPIN));
    ASSERT_NE(nullptr, spin);
    EXPECT_EQ(kCropSpinMax, spin->Upper());
    spin->Step(1);
    EXPECT_EQ(2, dlg.Geometry().layout.leftBand) << "a click steps by 2";
    EXPECT_EQ(2, spin->GetPos());
    spin->Step(-1);
    spin->Step(-1);
    EXPECT_EQ(0, dlg.Geometry().layout.leftBand);
    EXPECT_EQ("0", crop->ItemText(IDC_LEFT_BAND));

    // Keep ratio on; a crop to half the height makes the picture fill the width.
    pad->SetItemCheck(IDC_KEEP_RATIO, 1);
    pad->OnCommand(IDC_KEEP_RATIO, BN_CLICKED);
    EXPECT_TRUE(pad->KeepRatio());
    crop->ApplyBand(FrameSide::kTop, 288);
    EXPECT_EQ(288, dlg.Geometry().layout.topPad);
    EXPECT_EQ("288", pad->ItemText(IDC_PICTURE_HEIGHT));
    EXPECT_EQ("720", pad->ItemText(IDC_PICTURE_WIDTH));

    // A width typed below 2 and an odd band typed, left in their edits: OK applies them.
    pad->OnCommand(IDC_KEEP_RATIO, BN_CLICKED);  // reads the box, still checked
    pad->SetItemCheck(IDC_KEEP_RATIO, 0);
    pad->OnCommand(IDC_KEEP_RATIO, BN_CLICKED);
    EXPECT_FALSE(pad->KeepRatio());
    dlg.Tabs()->SelectPage(0);
    auto* band = qobject_cast<QLineEdit*>(crop->Item(IDC_RIGHT_BAND));
    band->setFocus();
    band->selectAll();
    QTest::keyClicks(band, "9");
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(S_OK, d.Edit(nullptr));
  EXPECT_EQ(8, d.Geometry().layout.rightBand);
}

TEST_F(CropResize, PadSliderSplitsThePadsWhenLetGo) {
  CDlgCropResize d;
  Prepare(d, "\"LEFTPAD\"=30,\"RIGHTPAD\"=50,\"SCALEMODE\"=5");
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    auto* slider = dynamic_cast<CSliderCtrl*>(dlg.PadPage()->Item(IDC_PAD_SLIDER_ACROSS));
    ASSERT_NE(nullptr, slider);
    EXPECT_EQ(80, slider->maximum());
    EXPECT_EQ(30, slider->GetPos());
    slider->SetPos(61);
    EXPECT_EQ(30, dlg.Geometry().layout.leftPad) << "nothing until the mouse lets go";
    QTest::mouseRelease(slider, Qt::LeftButton);
    EXPECT_EQ(60, dlg.Geometry().layout.leftPad);
    EXPECT_EQ(20, dlg.Geometry().layout.rightPad);
    EXPECT_EQ("20", dlg.PadPage()->ItemText(IDC_RIGHT_PAD));
    dlg.OnCommand(IDCANCEL, BN_CLICKED);
  });
  EXPECT_EQ(S_FALSE, d.Edit(nullptr));
}

TEST_F(CropResize, PadColourFromTheChooser) {
  CDlgCropResize d;
  Prepare(d, "\"SCALEMODE\"=5");
  std::vector<uint32_t> offered;
  SetPadColourChooser([&](QWidget*, uint32_t& colour) {
    offered.push_back(colour);
    colour = 0x00FF0000;
    return offered.size() == 1;  // OK the first time, Cancel the second
  });
  ModalScript script;
  script.Then([](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    dlg.PadPage()->OnCommand(IDC_PAD_COLOR, BN_CLICKED);
    dlg.Geometry().layout.padColor = 0x123456;
    dlg.PadPage()->OnCommand(IDC_PAD_COLOR, BN_CLICKED);
    EXPECT_EQ(0x123456u, dlg.Geometry().layout.padColor) << "cancel keeps the colour";
    dlg.OnCommand(IDCANCEL, BN_CLICKED);
  });
  d.Edit(nullptr);
  SetPadColourChooser(nullptr);
  EXPECT_EQ((std::vector<uint32_t>{0, 0x123456}), offered);
}

TEST_F(CropResize, TheRenderedFrameReplacesTheBlankOne) {
  SetFrameRenderer(SolidRenderer(0x0000FF, 720, 576));  // red
  CDlgCropResize d;
  Prepare(d, "\"SCALEMODE\"=5");
  MessageBoxRecorder recorder;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    CFramePreviewCtrl* preview = dlg.PadPage()->Preview();
    EXPECT_TRUE(WaitUntil([&] { return CentreOf(preview) == QColor(Qt::red); }, 5000));
    dlg.Tabs()->SelectPage(0);
    EXPECT_TRUE(WaitUntil([&] { return CentreOf(dlg.CropPage()->Preview()) == QColor(Qt::red); }, 2000));
    SaveArtifact(dlg.grab().toImage(), "rendered_frame.png");
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(S_OK, d.Edit(nullptr));
  EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(CropResize, AFailedRenderKeepsTheBlankFrameWithoutAMessage) {
  std::atomic<int> calls{0};
  std::string seenOutput;
  SetFrameRenderer([&](WindowId, FrameJob& job) {
    seenOutput = job.outputPath;
    ++calls;
    std::this_thread::sleep_for(100ms);  // the engine ran out of time
    return false;
  });
  CDlgCropResize d;
  Prepare(d, "\"SCALEMODE\"=5");
  MessageBoxRecorder recorder;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    EXPECT_TRUE(WaitForFrameRenderWorkers(5000));
    Pump(50);
    CFramePreviewCtrl* preview = dlg.PadPage()->Preview();
    EXPECT_TRUE(preview->IsValid());
    EXPECT_EQ(QColor(Qt::black), CentreOf(preview));
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(S_OK, d.Edit(nullptr));
  EXPECT_EQ(1, calls.load());
  EXPECT_EQ(dir_.File("preview.bmp"), seenOutput);
  EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(CropResize, ADialogClosedBeforeTheFrameComesLosesTheMessage) {
  std::atomic<bool> started{false}, release{false};
  WindowId window = 0;
  SetFrameRenderer([&](WindowId w, FrameJob& job) {
    window = w;
    started = true;
    AwaitFlag(release);
    return WriteSolidBitmap(job.outputPath, 0x0000FF, 720, 576);
  });
  {
    CDlgCropResize d;
    Prepare(d, "\"SCALEMODE\"=5");
    ModalScript script;
    script.Then([&](UiDialog& dialog) {
      AwaitFlag(started);
      dialog.OnCommand(IDOK, BN_CLICKED);
    });
    EXPECT_EQ(S_OK, d.Edit(nullptr));
  }
  ASSERT_TRUE(started.load());
  release = true;
  EXPECT_TRUE(WaitForFrameRenderWorkers(5000));
  Pump(50);
  EXPECT_NE(0u, window);
  EXPECT_FALSE(PostMessage(window, WM_FRAME_RENDERED)) << "the window is gone";
}

TEST(FrameRenderGate, OneRenderAtATimeNewestOfASlotOnlyNoneOnceClosed) {
  std::mutex lock;
  std::vector<int> rendered;
  std::atomic<bool> release{false};
  std::atomic<int> running{0};
  const FrameRenderer previous = SetFrameRenderer([&](WindowId, FrameJob& job) {
    ++running;
    AwaitFlag(release);
    std::lock_guard<std::mutex> guard(lock);
    rendered.push_back(job.startSeconds);
    --running;
    return false;
  });
  auto gate = std::make_shared<FrameRenderGate>();
  const auto start = [&](int slot, int seconds) {
    FrameRenderRequest r;
    r.job.startSeconds = seconds;
    r.gate = gate;
    r.slot = slot;
    StartFrameRenderWorker(std::move(r));
  };
  const auto waitFor = [](const std::function<bool()>& pred) {
    for (int i = 0; i < 1000 && !pred(); ++i) std::this_thread::sleep_for(5ms);
    return pred();
  };
  start(1, 10);
  ASSERT_TRUE(waitFor([&] { return running == 1; }));
  // A request counts from the moment it is made, before its thread runs, and
  // the newest is the one made last whatever thread starts first.
  start(1, 11);
  EXPECT_EQ(2, gate->InFlight());
  start(1, 12);
  start(2, 20);
  EXPECT_EQ(4, gate->InFlight());
  release = true;
  ASSERT_TRUE(WaitForFrameRenderWorkers(5000));
  EXPECT_EQ(0, running.load());
  std::sort(rendered.begin() + 1, rendered.end());
  EXPECT_EQ((std::vector<int>{10, 12, 20}), rendered) << "11 was no longer its slot's newest";

  // Closing: the running render ends, the waiting one is dropped.
  rendered.clear();
  release = false;
  start(1, 30);
  ASSERT_TRUE(waitFor([&] { return running == 1; }));
  start(2, 40);
  EXPECT_EQ(2, gate->InFlight());
  EXPECT_FALSE(gate->Close(50)) << "one still renders";
  release = true;
  EXPECT_TRUE(gate->Close(5000));
  ASSERT_TRUE(WaitForFrameRenderWorkers(5000));
  EXPECT_EQ((std::vector<int>{30}), rendered);
  gate->Reopen();
  EXPECT_FALSE(gate->Closing());
  SetFrameRenderer(previous);
}

// ---- the Resize page ----

std::string VideoTrack(int w, int h) {
  return "\"TYPE\"=0,\"STREAMID\"=480,\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', 'G', '2')) +
         ",\"WIDTH\"=" + std::to_string(w) + ",\"HEIGHT\"=" + std::to_string(h) + ",\"FRAMERATE\"=F25";
}

std::unique_ptr<CTask> PageTask(bool video) {
  OutputSettings settings = Mp4Choice();
  settings.width = 640;
  settings.height = 480;
  std::string message;
  const std::string audio = "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=\"AC3A\",\"SAMPLERATE\"=48000,\"CHANNEL\"=2";
  auto task =
      MakeTask("/media/in/clip.mpg",
               *Probe(video ? std::vector<std::string>{VideoTrack(720, 576), audio} : std::vector<std::string>{audio}),
               settings, TaskOptions{0, 0, 9, 0}, message);
  EXPECT_TRUE(task) << message;
  return task;
}

FilterEntry* ResizeEntry(CTask& task) {
  for (FilterEntry& e : task.VideoFilters())
    if (std::string(e.key) == "VRESIZE") return &e;
  return nullptr;
}

TEST(ResizePage, ShowsTheTaskAndWritesChoicesIntoIt) {
  auto task = PageTask(true);
  TempDir dir;
  CDlgAspect page(*task, {}, dir.path());
  page.Create();
  auto* modes = page.ItemAs<QComboBox>(IDC_ASPECT_RESIZE_MODE);
  EXPECT_EQ("720x576", page.ItemText(IDC_ASPECT_SOURCE_SIZE));
  EXPECT_EQ("640x480", page.ItemText(IDC_ASPECT_OUTPUT_SIZE));
  EXPECT_EQ("Manu", modes->currentText()) << "scale mode 9 shows as manual";
  EXPECT_EQ(5, modes->count());
  EXPECT_TRUE(modes->isEnabled());

  // Square source pixels: a 720x576 picture is narrower than 640x480.
  auto* source = page.ItemAs<QComboBox>(IDC_ASPECT_SOURCE);
  source->setCurrentIndex(kAspectSquare);
  emit source->activated(kAspectSquare);
  EXPECT_EQ(kAspectSquare, task->sourceAspectMode);
  modes->setCurrentIndex(0);
  emit modes->activated(0);
  EXPECT_EQ(kScaleLetterbox, task->scaleMode);
  FilterEntry* entry = ResizeEntry(*task);
  ASSERT_NE(nullptr, entry);
  CParamList params;
  ParseParamText(params, entry->params);
  EXPECT_EQ(kScaleLetterbox, params.GetInt("SCALEMODE", 0));
  EXPECT_GT(params.GetInt("LEFTPAD", 0), 0);
  EXPECT_EQ(params.GetInt("LEFTPAD", 0), params.GetInt("RIGHTPAD", 0));

  auto* target = page.ItemAs<QComboBox>(IDC_ASPECT_OUTPUT);
  target->setCurrentIndex(kAspect16x9);
  emit target->activated(kAspect16x9);
  EXPECT_EQ(kAspect16x9, task->targetAspectMode);
  task->sourceAspectMode = kAspect4x3;
  page.OnSetActive();
  EXPECT_EQ("4:3", source->currentText()) << "each activation reads the task again";
  page.DestroyWindow();

  auto audio = PageTask(false);
  CDlgAspect audioPage(*audio, {}, dir.path());
  audioPage.Create();
  for (int id : {IDC_ASPECT_SOURCE, IDC_ASPECT_OUTPUT, IDC_ASPECT_RESIZE_MODE})
    EXPECT_FALSE(audioPage.Item(id)->isEnabled()) << id;
  audioPage.DestroyWindow();
}

TEST(ResizePage, CustomResizeEditsTheSystemEntry) {
  SetFrameRenderer([](WindowId, FrameJob&) { return false; });
  auto task = PageTask(true);
  TempDir dir;
  CDlgAspect page(*task, {0, 0, 5}, dir.path());
  page.Create();
  std::string seenJob;
  {
    ModalScript script;
    script.Then([&](UiDialog& dialog) {
      auto& dlg = static_cast<CDlgCropResize&>(dialog);
      EXPECT_EQ(720, dlg.Geometry().sourceWidth);
      dlg.OnCommand(IDC_LAYOUT_LEFT_RIGHT, BN_CLICKED);
      dlg.OnCommand(IDOK, BN_CLICKED);
    });
    page.OnCommand(IDC_ASPECT_CUSTOM, BN_CLICKED);
    EXPECT_EQ(0u, script.Remaining());
  }
  EXPECT_EQ(kScaleBlackLeftRight, task->scaleMode);
  CParamList params;
  ParseParamText(params, ResizeEntry(*task)->params);
  EXPECT_EQ(kScaleBlackLeftRight, params.GetInt("SCALEMODE", 0));
  EXPECT_EQ(640, params.GetInt("WIDTH", 0));
  EXPECT_TRUE(fs::exists(dir.File("blank.bmp")));

  // Cancel changes nothing; an entry the user added is not the resize filter.
  const std::string before = ResizeEntry(*task)->params;
  {
    ModalScript script;
    script.Then([](UiDialog& dialog) {
      dialog.OnCommand(IDC_LAYOUT_STRETCH, BN_CLICKED);
      dialog.OnCommand(IDCANCEL, BN_CLICKED);
    });
    page.OnCommand(IDC_ASPECT_CUSTOM, BN_CLICKED);
  }
  EXPECT_EQ(before, ResizeEntry(*task)->params);
  EXPECT_EQ(kScaleBlackLeftRight, task->scaleMode);

  ResizeEntry(*task)->flags |= kFilterDeletable;
  MessageBoxRecorder boxes;
  ModalScript none;
  page.OnCommand(IDC_ASPECT_CUSTOM, BN_CLICKED);
  EXPECT_EQ(0, none.Unscripted()) << "no dialog";
  ASSERT_EQ(1u, boxes.Shown().size());
  EXPECT_EQ("Cannot find resize filter in filter map.", boxes.Shown()[0].text);
  EXPECT_EQ(unsigned(MB_ICONEXCLAMATION), boxes.Shown()[0].flags & MB_ICONMASK);
  page.DestroyWindow();
  EXPECT_TRUE(WaitForFrameRenderWorkers(10000));
  SetFrameRenderer(nullptr);
}

}  // namespace
