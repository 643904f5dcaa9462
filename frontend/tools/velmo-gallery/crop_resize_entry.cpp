// velmo-gallery crop-resize: the crop, resize and pad dialog over a source
// size and a "VRESIZE" text, optionally with a frame of a clip rendered by the
// engine; layout buttons, bands and pads applied as the pages apply typed
// values; prints the text OK gives and what the previews show.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frontend/controls/page_tab.h"
#include "frontend/controls/previews.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace fs = std::filesystem;

namespace {

// Four integers "A,B,C,D" (or two for a size "WxH").
void ParseInts(const std::string& option, const std::string& text, char separator, int32_t* values, int count) {
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    const bool last = i + 1 == count;
    if (end == p || v < -100000 || v > 100000 || (last ? *end != '\0' : *end != separator))
      GalleryUsage("bad value \"" + text + "\" for --" + option);
    values[i] = int32_t(v);
    p = end + 1;
  }
}

// A fresh folder for the blank and rendered frames, removed with the object.
struct DataFolder {
  DataFolder(const std::string& given) : path(given) {
    if (!path.empty()) return;
    std::string pattern = (fs::temp_directory_path() / "velmo-gallery-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern, owned = true;
  }
  ~DataFolder() {
    std::error_code ec;
    if (owned) fs::remove_all(path, ec);
  }
  std::string path;
  bool owned = false;
};

int RunCropResize(GalleryArgs& args) {
  int32_t size[2] = {0, 0};
  if (!args.Has("source")) GalleryUsage("--source WxH is required");
  ParseInts("source", args.Value("source"), 'x', size, 2);
  if (size[0] <= 0 || size[1] <= 0) GalleryUsage("--source takes a positive size");
  int32_t bands[4] = {}, pads[4] = {};
  if (args.Has("bands")) ParseInts("bands", args.Value("bands"), ',', bands, 4);
  if (args.Has("pads")) ParseInts("pads", args.Value("pads"), ',', pads, 4);
  int32_t layout = 0;
  if (args.Has("layout")) {
    ParseInts("layout", args.Value("layout"), ',', &layout, 1);
    if (layout < 1 || layout > 5) GalleryUsage("--layout takes 1..5");
  }
  int32_t at = 0;
  if (args.Has("at")) ParseInts("at", args.Value("at"), ',', &at, 1);
  const std::string page = args.Value("page", "pad");
  if (page != "pad" && page != "crop") GalleryUsage("--page takes crop or pad");
  const std::string clip = args.Value("clip");

  DataFolder data(args.Value("data-folder"));
  if (data.path.empty()) return GalleryFailed("cannot make a folder for the frames");
  const std::string previewPath = (fs::path(data.path) / "preview.bmp").string();
  std::error_code ec;
  fs::remove(previewPath, ec);
  auto job = std::make_unique<FrameJob>();
  if (!SetJobText(job->sourcePath, clip) || !SetJobText(job->outputPath, previewPath))
    GalleryUsage("--clip or --data-folder is too long for a frame job");
  job->startSeconds = at;
  FrameRenderer previous;
  if (clip.empty()) previous = SetFrameRenderer([](WindowId, FrameJob&) { return false; });

  CDlgCropResize dialog;
  dialog.SetSource(size[0], size[1], 1.0, 1.0, *job, data.path);
  const std::string text = args.Value("text");
  dialog.SetParams(text.c_str(), uint32_t(text.size() + 1));
  bool rendered = false, frameShown = false;
  const int result = args.RunModal(
      [&dialog] { return dialog.Edit(nullptr) == S_OK ? IDOK : IDCANCEL; },
      [&](UiDialog& d) {
        auto& dlg = static_cast<CDlgCropResize&>(d);
        if (layout != 0) dlg.OnCommand(LayoutButtonOf(layout), BN_CLICKED);
        if (args.Has("keep-ratio")) dlg.PadPage()->SetKeepRatio(true);
        const FrameSide sides[] = {FrameSide::kLeft, FrameSide::kRight, FrameSide::kTop, FrameSide::kBottom};
        for (int i = 0; i < 4; ++i) {
          if (args.Has("bands")) dlg.CropPage()->ApplyBand(sides[i], bands[i]);
          if (args.Has("pads")) dlg.PadPage()->ApplyPad(sides[i], pads[i]);
        }
        const int index = page == "crop" ? 0 : 1;
        dlg.Tabs()->SetCurSel(index);
        dlg.Tabs()->SelectPage(index);
        if (!clip.empty()) {
          // The worker's message reloads the previews; give the engine its 8 s.
          QElapsedTimer timer;
          timer.start();
          while (timer.elapsed() < 9000 && !WaitForFrameRenderWorkers(20)) QCoreApplication::processEvents();
          rendered = fs::exists(previewPath);
          for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        }
        frameShown = dlg.PadPage()->Preview()->IsValid();
      });
  WaitForFrameRenderWorkers(10000);
  if (clip.empty()) SetFrameRenderer(previous);

  std::printf("result=%s\n", result == IDOK ? "OK" : "CANCEL");
  std::printf("frame=%s,%s\n", rendered ? "rendered" : "blank", frameShown ? "shown" : "not-shown");
  const FrameGeometry& g = dialog.Geometry();
  std::printf("picture=%dx%d\n", PictureWidth(g), PictureHeight(g));
  std::printf("scale-mode=%d\n", dialog.ScaleMode());
  if (result == IDOK && dialog.ResultText()) std::printf("text=%s\n", dialog.ResultText()->c_str());
  return result == IDOK ? 0 : 1;
}

const GalleryRegistrar kCropResize({"crop-resize",
                                    "the crop, resize and pad dialog: layout, bands, pads, the text OK gives",
                                    {
                                        {"source", "WxH", "the source picture's size (required)"},
                                        {"text", "TEXT", "the \"VRESIZE\" parameter text it opens with"},
                                        {"layout", "MODE", "click a layout button: 1 letterbox .. 5 manual"},
                                        {"bands", "L,R,T,B", "crop bands applied as typed"},
                                        {"pads", "L,R,T,B", "pads applied as typed"},
                                        {"keep-ratio", nullptr, "keep ratio on before the pads"},
                                        {"page", "crop|pad", "the page shown (default: pad)"},
                                        {"clip", "FILE", "render the preview from this clip with the engine"},
                                        {"at", "SECONDS", "the clip's time of the preview (default 0)"},
                                        {"data-folder", "DIR", "where the frames go (default: a temporary one)"},
                                    },
                                    RunCropResize});

}  // namespace
