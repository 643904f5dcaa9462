// velmo-gallery levels: the levels dialog over a "VLEVELS" parameter text, run
// through its settings interface; a preset may be chosen and the gamma typed.
// Prints the preset shown on opening and the text it returns, one key a line.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "frontend/dialogs/dlg_levels.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

int PresetOf(const std::string& name) {
  const std::vector<LevelsPreset>& presets = LevelsPresets();
  for (size_t i = 0; i < presets.size(); ++i)
    if (name == presets[i].name) return static_cast<int>(i);
  GalleryUsage("--preset takes a preset's name, not \"" + name + "\"");
}

int RunLevels(GalleryArgs& args) {
  const std::string params = args.Value("params");
  const int preset = args.Has("preset") ? PresetOf(args.Value("preset")) : -1;

  CDlgLevels dialog;
  dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  const HRESULT hr =
      args.RunModal([&dialog] { return dialog.Edit(nullptr); },
                    [&](UiDialog&) {
                      const int shown = dialog.PresetIndex();
                      std::printf("preset=%s\n", shown >= 0 ? LevelsPresets()[size_t(shown)].name : "");
                      if (preset >= 0) dialog.ChoosePreset(preset);
                      if (args.Has("gamma"))
                        dialog.SetItemText(IDC_LEVELS_GAMMA, QString::fromStdString(args.Value("gamma")));
                      QCoreApplication::processEvents();
                    });
  return PrintSetupResult(hr, dialog);
}

const GalleryRegistrar kLevels({"levels",
                                "the levels dialog: the \"VLEVELS\" text it returns, one key a line",
                                {
                                    {"params", "TEXT", "the parameter text it opens with (default: empty)"},
                                    {"preset", "NAME", "a preset chosen in the list (\"PC->TV\", ...)"},
                                    {"gamma", "TEXT", "typed into the gamma field"},
                                },
                                RunLevels});

}  // namespace
