// velmo-gallery colour-picker: a colour picker in a small dialog, its pop-up
// opened, arrow keys typed into it, then Enter (--accept) or Escape; prints
// every message the dialog heard and the colour the picker ends with.
#include <QApplication>
#include <QKeyEvent>
#include <cstdio>
#include <string>

#include "frontend/controls/colour_picker.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/ui_dialog.h"

namespace {

constexpr int kPickerId = 1192;

const DialogTemplate kHostTemplate = {
    611, "Colour picker", 160, 40, {{CtrlKind::Placeholder, kPickerId, "", 7, 7, 90, 14}}};

// "default" or the COLORREF in hexadecimal (BBGGRR).
std::string ColourWord(uint32_t colour) {
  if (colour == kDefaultColour) return "default";
  char text[16];
  std::snprintf(text, sizeof(text), "%06X", static_cast<unsigned>(colour));
  return text;
}

class PickerHost : public UiDialog {
 public:
  PickerHost() : UiDialog(kHostTemplate) { picker = SubclassItem(kPickerId, new CColourPickerXP); }
  CColourPickerXP* picker;
  bool ended = false;

 protected:
  intptr_t OnMessage(const UiMessage& m) override {
    if (m.msg < WM_COLOUR_CHANGED || m.msg > WM_COLOUR_ENDCANCEL) return 0;
    std::printf("message=%u,%s\n", m.msg, ColourWord(static_cast<uint32_t>(m.wParam)).c_str());
    if (m.msg == WM_COLOUR_ENDOK || m.msg == WM_COLOUR_ENDCANCEL) {
      ended = true;
      std::printf("result=%s\n", m.msg == WM_COLOUR_ENDOK ? "OK" : "CANCEL");
    }
    return 0;
  }
};

// "default", a colour's name from the grid, or six hexadecimal digits
// (0xBBGGRR, blue first), with or without "0x".
uint32_t ParseColour(const std::string& option, const std::string& text) {
  if (text == "default") return kDefaultColour;
  for (const NamedColour& named : NamedColours())
    if (QString::fromUtf8(named.name).trimmed().compare(QString::fromStdString(text), Qt::CaseInsensitive) == 0)
      return named.colour;
  uint32_t colour = 0;
  if (!ParseBgrHex(text, &colour))
    GalleryUsage("--" + option + " takes \"default\", a colour name or BBGGRR in hexadecimal, not \"" + text + "\"");
  return colour;
}

int KeyOf(const std::string& word) {
  if (word == "left") return Qt::Key_Left;
  if (word == "right") return Qt::Key_Right;
  if (word == "up") return Qt::Key_Up;
  if (word == "down") return Qt::Key_Down;
  GalleryUsage("--key takes left, right, up or down, not \"" + word + "\"");
}

void Press(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
}

int RunColourPicker(GalleryArgs& args) {
  const uint32_t start = ParseColour("colour", args.Value("colour", "default"));
  std::vector<int> keys;
  for (const std::string& word : args.Values("key")) keys.push_back(KeyOf(word));
  const bool answerDialog = args.Has("dialog-colour");
  const uint32_t dialogColour = answerDialog ? ParseColour("dialog-colour", args.Value("dialog-colour")) : 0;
  // The colour dialog cannot be answered offscreen: it answers as told.
  ColourDialogHook previous =
      SetColourDialogHook([answerDialog, dialogColour](QWidget*, uint32_t, CustomColours&, uint32_t* chosen) {
        std::printf("colour-dialog=%s\n", answerDialog ? "OK" : "CANCEL");
        if (answerDialog) *chosen = dialogColour;
        return answerDialog;
      });

  PickerHost host;
  CColourPickerXP& picker = *host.picker;
  picker.SetColor(start);
  if (args.Has("default-colour")) picker.SetDefaultColor(ParseColour("default-colour", args.Value("default-colour")));
  if (args.Has("default-text")) picker.SetDefaultText(QString::fromStdString(args.Value("default-text")));
  if (args.Has("custom-text")) picker.SetCustomText(QString::fromStdString(args.Value("custom-text")));
  if (args.Has("section")) picker.SetRegSection(args.Value("section"));
  picker.SetStyle(args.Has("combo"));
  picker.SetShowColourName(args.Has("show-name"));
  picker.SetTrackSelection(args.Has("track"));
  host.Create();
  QCoreApplication::processEvents();

  picker.click();
  CColourGridPopup* popup = picker.Popup();
  if (popup == nullptr) {
    SetColourDialogHook(previous);
    return GalleryFailed("the pop-up did not open");
  }
  for (int key : keys) Press(popup, key);
  QCoreApplication::processEvents();
  if (!args.Screenshot().empty() && !SaveWidgetPicture(*popup, args.Screenshot())) args.screenshotFailed = true;
  Press(popup, args.Accept() ? Qt::Key_Return : Qt::Key_Escape);
  QCoreApplication::processEvents();
  SetColourDialogHook(previous);

  std::printf("colour=%s\n", ColourWord(picker.GetColor()).c_str());
  const int named = FindNamedColour(picker.GetColor());
  if (named >= 0) std::printf("name=%s\n", QString::fromUtf8(NamedColours()[named].name).trimmed().toUtf8().data());
  std::printf("text=%s\n", picker.ColourText().toUtf8().data());
  host.DestroyWindow();
  return host.ended ? 0 : GalleryFailed("the pop-up did not end");
}

const GalleryRegistrar kColourPicker({"colour-picker",
                                      "the colour picker's pop-up: keys typed into it, the colour chosen",
                                      {
                                          {"colour", "COLOUR", "the colour it opens with (default: \"default\")"},
                                          {"default-colour", "COLOUR", "the colour shown for \"default\""},
                                          {"default-text", "TEXT", "the default box's text (empty: no box)"},
                                          {"custom-text", "TEXT", "the custom box's text (empty: no box)"},
                                          {"section", "NAME", "the registry section of the custom colours"},
                                          {"combo", nullptr, "the combo look"},
                                          {"show-name", nullptr, "named colours with their components"},
                                          {"track", nullptr, "the picker follows the selection"},
                                          {"key", "KEY", "left, right, up or down typed into the pop-up (repeatable)"},
                                          {"dialog-colour", "COLOUR",
                                           "answer the colour dialog with OK and this "
                                           "colour (else it is cancelled)"},
                                      },
                                      RunColourPicker});

}  // namespace
