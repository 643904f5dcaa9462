// velmo-gallery tweak: the tweak dialog over a "VTWEAK" parameter text, run
// through its settings interface; "&Reset" may be pressed. Prints the four
// slider positions shown on opening and the text it returns, one key a line.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

int RunTweak(GalleryArgs& args) {
  const std::string params = args.Value("params");

  CDlgTweak dialog;
  dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  const HRESULT hr = args.RunModal([&dialog] { return dialog.Edit(nullptr); },
                                   [&](UiDialog&) {
                                     std::printf("positions=%d,%d,%d,%d\n", dialog.Slider(IDC_TWEAK_HUE)->GetPos(),
                                                 dialog.Slider(IDC_TWEAK_SATURATION)->GetPos(),
                                                 dialog.Slider(IDC_TWEAK_BRIGHTNESS)->GetPos(),
                                                 dialog.Slider(IDC_TWEAK_CONTRAST)->GetPos());
                                     if (args.Has("reset")) dialog.OnCommand(IDC_TWEAK_RESET, BN_CLICKED);
                                     QCoreApplication::processEvents();
                                   });
  return PrintSetupResult(hr, dialog);
}

const GalleryRegistrar kTweak({"tweak",
                               "the tweak dialog: the \"VTWEAK\" text it returns, one key a line",
                               {
                                   {"params", "TEXT", "the parameter text it opens with (default: empty)"},
                                   {"reset", nullptr, "press \"&Reset\""},
                               },
                               RunTweak});

}  // namespace
