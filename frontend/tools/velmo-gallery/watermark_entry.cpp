// velmo-gallery watermark: the watermark dialog over a "VWATERMARK" parameter
// text and an output frame size, run through its settings interface; a
// picture dropped on its file field, an anchor clicked, a "*.wam" file loaded
// or saved; prints where the preview puts the picture and the text it
// returns as one "key=value" line per key.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "frontend/controls/hint_edit.h"
#include "frontend/controls/previews.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/modal_script.h"

namespace {

void ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  try {
    if (x != std::string::npos) {
      *width = std::stoi(text.substr(0, x));
      *height = std::stoi(text.substr(x + 1));
      if (*width > 0 && *height > 0 && *width <= 4096 && *height <= 4096) return;
    }
  } catch (const std::exception&) {
  }
  GalleryUsage("--frame takes WIDTHxHEIGHT (1 to 4096 each), not \"" + text + "\"");
}

int ParseAlign(const std::string& text) {
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '9') return text[0] - '0';
  GalleryUsage("--align takes a keypad anchor 1 to 9, not \"" + text + "\"");
}

int RunWatermark(GalleryArgs& args) {
  const std::string params = args.Value("params");
  int width = 720, height = 480;
  if (args.Has("frame")) ParseSize(args.Value("frame"), &width, &height);
  const int align = args.Has("align") ? ParseAlign(args.Value("align")) : 0;
  const std::string load = args.Value("load"), save = args.Value("save");
  WamFileChooser previous = SetWamFileChooser([&](QWidget*, bool saving, std::string& path) {
    path = saving ? save : load;
    return !path.empty();
  });

  CDlgWatermark dialog;
  dialog.SetSource(width, height, 1.0);
  dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  const HRESULT hr = args.RunModal([&dialog] { return dialog.Edit(nullptr); },
                                   [&](UiDialog&) {
                                     if (!load.empty()) dialog.OnCommand(IDC_WM_LOAD, BN_CLICKED);
                                     if (args.Has("file")) SendFileDrop(*dialog.FileEdit(), args.Value("file"));
                                     if (align != 0) dialog.OnCommand(kWatermarkAlignIds[align - 1], BN_CLICKED);
                                     if (!save.empty()) dialog.OnCommand(IDC_WM_SAVE, BN_CLICKED);
                                     QCoreApplication::processEvents();
                                     const QRect frame = dialog.Preview()->FrameRect();
                                     const QPoint picture = dialog.Preview()->PicturePos();
                                     std::printf("picture=%dx%d\n", dialog.PictureWidth(), dialog.PictureHeight());
                                     std::printf("in-frame=%d,%d\n", picture.x() - frame.x(), picture.y() - frame.y());
                                   });
  SetWamFileChooser(previous);
  return PrintSetupResult(hr, dialog);
}

const GalleryRegistrar kWatermark({"watermark",
                                   "the watermark dialog: where the preview puts the picture and the \"VWATERMARK\" "
                                   "text it returns, one key a line",
                                   {
                                       {"params", "TEXT", "the parameter text it opens with (default: empty)"},
                                       {"frame", "WxH", "the output frame size (default 720x480)"},
                                       {"file", "PATH", "a picture dropped on the file field"},
                                       {"align", "N", "the keypad anchor clicked, 1 to 9"},
                                       {"load", "PATH", "a \"*.wam\" file loaded first"},
                                       {"save", "PATH", "a \"*.wam\" file saved last"},
                                   },
                                   RunWatermark});

}  // namespace
