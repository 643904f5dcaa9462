// velmo-gallery subtitle: the subtitle dialog over a "VSUBTITLE" parameter
// text, run through its settings interface; a file dropped on its file field,
// a text colour picked, the font dialog answered; prints the text it returns
// as one "key=value" line per key.
#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <string>

#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/font_dialog.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/modal_script.h"

namespace {

uint32_t ParseColour(const std::string& text) {
  uint32_t colour = 0;
  if (!ParseBgrHex(text, &colour)) GalleryUsage("--text-colour takes BBGGRR in hexadecimal, not \"" + text + "\"");
  return colour;
}

// "FACE:POINTS".
LogFont ParseFont(const std::string& text) {
  const size_t colon = text.rfind(':');
  double points = 0;
  try {
    points = colon != std::string::npos ? std::stod(text.substr(colon + 1)) : 0;
  } catch (const std::exception&) {
    points = 0;
  }
  if (colon == 0 || colon == std::string::npos || !(points >= 1 && points <= 500))
    GalleryUsage("--font takes FACE:POINTS (1 to 500 points), not \"" + text + "\"");
  LogFont font;
  font.faceName = text.substr(0, colon);
  font.height = -static_cast<int32_t>(std::lround(points * ScreenPixelsPerInchY() / 72.0));
  return font;
}

int RunSubtitle(GalleryArgs& args) {
  const std::string params = args.Value("params");
  const bool dropFile = args.Has("file");
  const bool pickColour = args.Has("text-colour");
  const uint32_t colour = pickColour ? ParseColour(args.Value("text-colour")) : 0;
  const bool answerFont = args.Has("font");
  const LogFont chosenFont = answerFont ? ParseFont(args.Value("font")) : LogFont{};

  CDlgSubtitle dialog;
  dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  FontDialogHook previous = SetFontDialogHook([&chosenFont](QWidget*, LogFont& font) {
    const int32_t weight = font.weight;
    const int32_t charSet = font.charSet;
    font = chosenFont;
    font.weight = weight;
    font.charSet = charSet;
    return true;
  });
  const HRESULT hr = args.RunModal([&dialog] { return dialog.Edit(nullptr); },
                                   [&](UiDialog&) {
                                     if (dropFile) SendFileDrop(*dialog.FileEdit(), args.Value("file"));
                                     if (pickColour) dialog.Picker(IDC_SUB_TEXT_COLOUR)->SetColor(colour);
                                     if (answerFont) dialog.OnCommand(IDC_SUB_FONT, 0);
                                     QCoreApplication::processEvents();
                                   });
  SetFontDialogHook(previous);
  return PrintSetupResult(hr, dialog);
}

const GalleryRegistrar kSubtitle({"subtitle",
                                  "the subtitle dialog: the \"VSUBTITLE\" text it returns, one key a line",
                                  {
                                      {"params", "TEXT", "the parameter text it opens with (default: empty)"},
                                      {"file", "PATH", "a file dropped on the subtitle file field"},
                                      {"text-colour", "BBGGRR", "the text colour picked, in hexadecimal"},
                                      {"font", "FACE:POINTS", "answer the font dialog with this face and size"},
                                  },
                                  RunSubtitle});

}  // namespace
