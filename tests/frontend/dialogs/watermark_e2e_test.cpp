// The watermark dialog against the engine: a picture placed in the dialog on a
// task's "VWATERMARK" entry is converted by trivox_free exactly where the
// dialog's preview showed it inside the frame outline.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/controls/hint_edit.h"
#include "frontend/controls/previews.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/filter_entry_edit.h"
#include "frontend/model/task.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/controls/watermark_check.h"
#include "tests/test_util/e2e_job.h"

namespace {

TEST(WatermarkDialogE2e, TheEnginePutsThePictureWhereTheDialogShowedIt) {
  using namespace watermark_check;
  const std::string folder = MakeConvertFolder("fe_watermark_dialog");
  std::string source, markPath;
  ASSERT_TRUE(MakeSourceAndMark(folder, &source, &markPath));

  struct Case {
    const char* name;
    int anchorId;  // 0: a custom position reached with the spin buttons
  };
  const Case cases[] = {{"bottom_right", 1203}, {"top_centre", 1196}, {"custom", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTask task;
    task.outputVideo.width = kWidth;
    task.outputVideo.height = kHeight;
    CDlgWatermark dialog;
    dialog.SetSource(task.outputVideo.width, task.outputVideo.height, task.GetTargetAspect());
    QImage shot;
    QRect frame;
    ModalScript script;
    script.Then([&](UiDialog&) {
      SendFileDrop(*dialog.FileEdit(), markPath);
      if (c.anchorId != 0) {
        dialog.OnCommand(c.anchorId, BN_CLICKED);
      } else {
        dialog.SetItemCheck(IDC_WM_CUSTOM_POS, 1);
        dialog.OnCommand(IDC_WM_CUSTOM_POS, BN_CLICKED);
        dialog.SetItemText(IDC_WM_POSX, "-11");
        dialog.SetItemText(IDC_WM_POSY, "21");
        dialog.Spin(IDC_WM_SPIN_X)->Step(1);
        dialog.Spin(IDC_WM_SPIN_Y)->Step(-1);
      }
      frame = dialog.Preview()->FrameRect();
      shot = dialog.Preview()->grab().toImage();
      dialog.OnCommand(IDOK, BN_CLICKED);
    });
    ASSERT_TRUE(EditVideoFilterEntry(nullptr, task, "VWATERMARK", dialog));
    ASSERT_EQ(1u, task.VideoFilters().size());
    const std::string params = task.VideoFilters()[0].params;
    ASSERT_TRUE(shot.rect().contains(frame)) << frame.x() << "," << frame.y();
    SaveArtifact(shot, std::string(c.name) + "_dialog_preview.png");

    std::string error;
    const std::vector<uint8_t> luma = EngineFrameLuma(folder, c.name, source, params, &error);
    ASSERT_FALSE(luma.empty()) << error;
    SaveArtifact(QImage(luma.data(), kWidth, kHeight, kWidth, QImage::Format_Grayscale8).copy(),
                 std::string(c.name) + "_engine.png");

    const Comparison seen = Compare(luma, shot, frame);
    EXPECT_GT(seen.picture, 2000) << "the watermark shows in the engine's frame";
    EXPECT_EQ(seen.differ, 0) << "first difference at frame pixel " << seen.first << " of " << params;
  }
}

}  // namespace
