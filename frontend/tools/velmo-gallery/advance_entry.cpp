// velmo-gallery advance: the "Advance settings" dialog over one codec or filter
// description, run through its settings object as the settings pages run it.
#include <QLineEdit>
#include <cstdio>
#include <string>

#include "frontend/controls/option_combo.h"
#include "frontend/dialogs/adv_codec_setup.h"
#include "frontend/dialogs/dlg_advance_settings.h"
#include "frontend/model/profile_db.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

struct Description {
  std::vector<OptionDesc> options;
  std::vector<std::string> limits;
  std::string defaultParams;
  std::string label;
};

bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// "vcodec/NAME", "acodec/NAME" or NAME (video first, then audio).
bool LoadCodec(const std::string& what, Description& out, std::string& error) {
  std::string folder, name = what;
  if (size_t slash = what.find('/'); slash != std::string::npos) {
    folder = what.substr(0, slash);
    name = what.substr(slash + 1);
    if (folder != "vcodec" && folder != "acodec") {
      error = "--codec takes vcodec/NAME, acodec/NAME or NAME";
      return false;
    }
  }
  if (!PlainName(name)) {
    error = "\"" + what + "\" is not a codec description name";
    return false;
  }
  CodecDesc desc;
  bool found = false;
  if (folder.empty() || folder == "vcodec") {
    found = LoadVideoCodecDesc(name, desc) != 0;
    if (found) folder = "vcodec";
  }
  if (!found && (folder.empty() || folder == "acodec")) {
    found = LoadAudioCodecDesc(name, desc) != 0;
    if (found) folder = "acodec";
  }
  if (!found) {
    error = "no codec description \"" + what + "\"";
    return false;
  }
  out.options = std::move(desc.options);
  out.limits = std::move(desc.limits);
  out.label = folder + "/" + name;
  return true;
}

// "video/FILE" or "audio/FILE" of the filter folder.
bool LoadFilter(const std::string& what, Description& out, std::string& error) {
  size_t slash = what.find('/');
  std::string kind = slash != std::string::npos ? what.substr(0, slash) : "";
  std::string file = slash != std::string::npos ? what.substr(slash + 1) : "";
  if ((kind != "video" && kind != "audio") || !PlainName(file)) {
    error = "--filter takes video/FILE or audio/FILE";
    return false;
  }
  const std::string relative = "filter/" + kind + "/" + file;
  FilterDesc desc;
  if (!ProfileFileExists(relative) || LoadFilterDesc(ResolveProfileFile(relative), desc) == 0) {
    error = "no filter description \"" + what + "\"";
    return false;
  }
  out.options = std::move(desc.options);
  out.limits = std::move(desc.limits);
  out.defaultParams = desc.option;
  out.label = relative;
  return true;
}

// Types or picks KEY=VALUE in the dialog the way a user would.
void SetValue(CDlgAdvanceSettings& dialog, const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos) {
    std::fprintf(stderr, "velmo-gallery advance: --set takes KEY=VALUE, not \"%s\"\n", assignment.c_str());
    return;
  }
  const std::string key = assignment.substr(0, eq), value = assignment.substr(eq + 1);
  COptionCombo* combo = dialog.ComboFor(key);
  if (combo == nullptr) {
    std::fprintf(stderr, "velmo-gallery advance: the dialog shows no option \"%s\"\n", key.c_str());
    return;
  }
  combo->setFocus();
  if (combo->isEditable()) {
    combo->setEditText(QString::fromStdString(value));
    combo->lineEdit()->setModified(true);
    combo->CommitEdit();
    return;
  }
  const QString wanted = QString::fromStdString(value);
  const int before = combo->currentIndex();
  for (int i = 0; i < combo->count(); ++i) {
    combo->setCurrentIndex(i);
    if (combo->GetValueText() == value || combo->itemText(i) == wanted) {
      emit combo->activated(i);
      return;
    }
  }
  combo->setCurrentIndex(before);
  std::fprintf(stderr, "velmo-gallery advance: \"%s\" is not one of the values of %s\n", value.c_str(), key.c_str());
}

void PrintRows(CDlgAdvanceSettings& dialog) {
  for (COptionCombo* combo : dialog.Combos()) {
    const OptionDesc& o = combo->Option();
    std::printf("row=%s|%s|%s|%s\n", o.name.c_str(), o.displayName.c_str(), combo->currentText().toStdString().c_str(),
                o.unit.c_str());
  }
}

int RunAdvance(GalleryArgs& args) {
  Description desc;
  std::string error;
  if (args.Has("codec") == args.Has("filter")) GalleryUsage("give one of --codec and --filter");
  bool loaded =
      args.Has("codec") ? LoadCodec(args.Value("codec"), desc, error) : LoadFilter(args.Value("filter"), desc, error);
  if (!loaded) return GalleryFailed(error);

  CAdvCodecSetup setup;
  HRESULT attach = setup.Attach(&desc.options, &desc.limits);
  std::printf("description=%s\n", desc.label.c_str());
  std::printf("advanced=%s\n", attach == S_OK ? "yes" : "no");
  const std::string params = args.Value("params", desc.defaultParams);
  setup.SetParams(params.data(), static_cast<uint32_t>(params.size()));
  if (args.Has("title") || args.Has("title2")) setup.SetTitles(args.Value("title"), args.Value("title2"));

  const bool rows = args.Has("rows");
  const std::vector<std::string> sets = args.Values("set");
  HRESULT hr = args.RunModal([&setup] { return setup.Edit(nullptr); },
                             [&](UiDialog& d) {
                               auto& dialog = static_cast<CDlgAdvanceSettings&>(d);
                               for (const std::string& s : sets) SetValue(dialog, s);
                               if (rows) PrintRows(dialog);
                             });
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof(code), "%08X", static_cast<unsigned>(hr));
    return GalleryFailed(std::string("the dialog could not be run (0x") + code + ")");
  }
  std::printf("result=%s\n", hr == S_OK ? "OK" : "CANCEL");
  std::string text;
  if (FAILED(ReadSetupParams(setup, text))) return GalleryFailed("the settings could not be read back");
  if (!text.empty() && text.back() == '\0') text.pop_back();
  std::printf("params=%s\n", text.c_str());
  return 0;
}

const GalleryRegistrar kAdvance({"advance",
                                 "the \"Advance settings\" dialog of a codec or filter description",
                                 {
                                     {"codec", "DESC", "vcodec/NAME, acodec/NAME or NAME (video first)"},
                                     {"filter", "DESC", "video/FILE or audio/FILE of the filter folder"},
                                     {"params", "TEXT", "the parameter text to start from"},
                                     {"title", "TEXT", "the window title"},
                                     {"title2", "TEXT", "the caption of the second group"},
                                     {"set", "KEY=VALUE", "type or pick a value once the dialog shows (repeatable)"},
                                     {"rows", nullptr, "print each row as row=KEY|label|shown value|unit"},
                                 },
                                 RunAdvance});

}  // namespace
