// velmo-gallery equalizer: the equaliser dialog over an "AEQ" parameter text,
// run through its settings interface; a preset may be chosen and a band
// dragged while it is open. Prints the preset shown on opening, the read-out
// after a drag, and the text it returns as one "key=value" line per key.
#include <QComboBox>
#include <QCoreApplication>
#include <QMouseEvent>
#include <cstdio>
#include <string>

#include "frontend/controls/bitmap_slider.h"
#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

int PresetOf(const std::string& name) {
  const std::vector<EqualizerPreset>& presets = EqualizerPresets();
  for (size_t i = 0; i < presets.size(); ++i)
    if (name == presets[i].name) return static_cast<int>(i);
  GalleryUsage("--preset takes a preset's name, not \"" + name + "\"");
}

// "INDEX:POSITION": the slider of DB<INDEX> dragged to a position.
void ParseDrag(const std::string& text, int* index, int* position) {
  const size_t colon = text.find(':');
  try {
    *index = std::stoi(text.substr(0, colon));
    *position = std::stoi(text.substr(colon + 1));
  } catch (const std::exception&) {
    *index = -1;
  }
  if (colon == std::string::npos || *index < 0 || *index >= kEqualizerSettings || *position < 0 ||
      *position > kEqualizerMax)
    GalleryUsage("--drag takes INDEX:POSITION (0 to 10, 0 to 63), not \"" + text + "\"");
}

void Drag(CBitmapSlider& slider, int position) {
  const auto send = [&slider](QEvent::Type type, int y) {
    const QPointF at(slider.width() / 2, y);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, slider.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider, &e);
  };
  // Grab the thumb where it is, then move it to the first pixel that gives
  // the position.
  int to = 0;
  while (to < slider.height() && slider.PositionOfPixel(to) < position) ++to;
  send(QEvent::MouseButtonPress, slider.PixelOfPosition(slider.GetPos()));
  send(QEvent::MouseMove, to);
  send(QEvent::MouseButtonRelease, to);
}

int RunEqualizer(GalleryArgs& args) {
  const std::string params = args.Value("params");
  const int preset = args.Has("preset") ? PresetOf(args.Value("preset")) : -1;
  int dragIndex = -1, dragPosition = 0;
  if (args.Has("drag")) ParseDrag(args.Value("drag"), &dragIndex, &dragPosition);

  CDlgEqualizer dialog;
  dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  const HRESULT hr =
      args.RunModal([&dialog] { return dialog.Edit(nullptr); },
                    [&](UiDialog&) {
                      const int shown = dialog.PresetIndex();
                      std::printf("preset=%s\n", shown >= 0 ? EqualizerPresets()[size_t(shown)].name : "");
                      if (preset >= 0) dialog.ChoosePreset(preset);
                      if (dragIndex >= 0) {
                        Drag(*dialog.Slider(dragIndex), dragPosition);
                        QCoreApplication::processEvents();
                        std::printf("readout=%s\n", dialog.ItemText(IDC_EQ_READOUT).toStdString().c_str());
                      }
                      QCoreApplication::processEvents();
                    });
  return PrintSetupResult(hr, dialog);
}

const GalleryRegistrar kEqualizer({"equalizer",
                                   "the equaliser dialog: the \"AEQ\" text it returns, one key a line",
                                   {
                                       {"params", "TEXT", "the parameter text it opens with (default: empty)"},
                                       {"preset", "NAME", "a preset chosen in the list (\"Rock\", \"Flat\", ...)"},
                                       {"drag", "INDEX:POSITION", "the slider of DB<INDEX> dragged to a position"},
                                   },
                                   RunEqualizer});

}  // namespace
