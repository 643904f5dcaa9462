// The watermark dialog against the engine: a picture placed in the dialog on a
// task's "VWATERMARK" entry is converted by trivox_free exactly where the
// dialog's preview showed it inside the frame outline.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
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
#include "tests/test_util/e2e_job.h"

namespace {

bool Ffmpeg(const std::string& args) {
  int status = -1;
  RunShell("ffmpeg -v error -y " + args, &status);
  return status == 0;
}

enum class Seen { None, White, Dark, Other };

Seen OfLuma(int v) {
  if (v > 180) return Seen::White;
  if (v > 30 && v < 110) return Seen::Dark;
  if (v < 30) return Seen::None;  // the black source
  return Seen::Other;
}

Seen OfPreview(const QColor& c) {
  if (c == QColor(255, 255, 255)) return Seen::White;
  if (c == QColor(64, 64, 64)) return Seen::Dark;
  if (c == QColor(128, 128, 128)) return Seen::None;  // the preview's field
  return Seen::Other;
}

void DropFile(CHintEdit& edit, const std::string& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&edit, &enter);
  QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&edit, &drop);
}

TEST(WatermarkDialogE2e, TheEnginePutsThePictureWhereTheDialogShowedIt) {
  const std::string folder = MakeConvertFolder("fe_watermark_dialog");
  const int W = 160, H = 120;
  const std::string source = folder + "/black.mpg";
  ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=black:s=160x120:r=25:d=0.2 -c:v mpeg2video -q:v 2 " + ShellQuote(source)));
  // Wider than the frame, so that the placement cuts it; dark lines every 7
  // columns and 5 rows show which part of it is where.
  QImage mark(170, 30, QImage::Format_RGB32);
  for (int y = 0; y < mark.height(); ++y)
    for (int x = 0; x < mark.width(); ++x)
      mark.setPixelColor(x, y, x % 7 == 0 || y % 5 == 0 ? QColor(64, 64, 64) : QColor(255, 255, 255));
  const std::string markPath = folder + "/mark.png";
  ASSERT_TRUE(mark.save(QString::fromStdString(markPath), "PNG"));

  struct Case {
    const char* name;
    int anchorId;  // 0: a custom position reached with the spin buttons
  };
  const Case cases[] = {{"bottom_right", 1203}, {"top_centre", 1196}, {"custom", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTask task;
    task.outputVideo.width = W;
    task.outputVideo.height = H;
    CDlgWatermark dialog;
    dialog.SetSource(task.outputVideo.width, task.outputVideo.height, task.GetTargetAspect());
    QImage shot;
    QRect frame;
    ModalScript script;
    script.Then([&](UiDialog&) {
      DropFile(*dialog.FileEdit(), markPath);
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

    const std::string output = folder + "/" + c.name + ".avi";
    ASSERT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec",
                                           "raw", "--raw-video", "YV12", "--vtag", "YV12", "--writer", "[FFM]AVI",
                                           "--vfilter", "VWATERMARK=" + params}));
    const EngineRun run = RunEngine(folder, {"-m", "test"});
    ASSERT_EQ(0u, JobResult(run)) << run.output;
    const std::string grey = folder + "/" + c.name + ".gray";
    ASSERT_TRUE(Ffmpeg("-i " + ShellQuote(output) + " -vf 'select=eq(n\\,2)' -frames:v 1 -f rawvideo -pix_fmt gray " +
                       ShellQuote(grey)));
    const std::vector<uint8_t> luma = ReadFileBytes(grey);
    ASSERT_EQ(luma.size(), size_t(W * H));
    SaveArtifact(QImage(luma.data(), W, H, W, QImage::Format_Grayscale8).copy(), std::string(c.name) + "_engine.png");

    int picture = 0, differ = 0;
    std::string first;
    for (int y = 1; y < H - 1; ++y) {
      for (int x = 1; x < W - 1; ++x) {
        const Seen engine = OfLuma(luma[size_t(y * W + x)]);
        const Seen preview = OfPreview(shot.pixelColor(frame.topLeft() + QPoint(x, y)));
        picture += engine != Seen::None;
        if ((engine != preview || engine == Seen::Other) && differ++ == 0)
          first = std::to_string(x) + "," + std::to_string(y);
      }
    }
    EXPECT_GT(picture, 2000) << "the watermark shows in the engine's frame";
    EXPECT_EQ(differ, 0) << "first difference at frame pixel " << first << " of " << params;
  }
}

}  // namespace
