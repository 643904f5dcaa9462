// velmo-gallery: the entry point; the entries are the other sources of this folder.
#include <stdlib.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>

#include "frontend/app/product.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/model/whole_file.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/ui_dialog.h"

namespace {

std::map<std::string, GalleryEntry>& Registry() {
  static std::map<std::string, GalleryEntry> entries;
  return entries;
}

const std::vector<GalleryOption> kCommonOptions = {
    {"accept", nullptr, "press OK (else Cancel) once the dialog shows"},
    {"screenshot", "FILE", "save a picture of the dialog or control as PNG"},
    {"program-folder", "DIR", "the folder of the profile files (default: this program's folder)"},
    {"user-folder", "DIR", "the per-user overlay of the profile files (default: the user's data folder)"},
};

// Message boxes are printed and answered with their default button.
class PrintingBoxes final : public MessageBoxSink {
 public:
  int Show(const MessageBoxRequest& request) override {
    std::fprintf(stderr, "message: %s\n", request.text.c_str());
    return DefaultMessageBoxAnswer(request.flags);
  }
};

std::string OptionLines(const std::vector<GalleryOption>& options) {
  std::string out;
  for (const GalleryOption& o : options) {
    std::string left = std::string("--") + o.name + (o.value != nullptr ? std::string(" ") + o.value : "");
    char line[512];
    std::snprintf(line, sizeof(line), "  %-26s %s\n", left.c_str(), o.help);
    out += line;
  }
  return out;
}

void PrintHelp() {
  std::printf(
      "Usage: velmo-gallery ENTRY [OPTION]...\n"
      "Opens one dialog or control of the front end offscreen with the given inputs,\n"
      "prints what it returns (name=value lines) and can save a screenshot.\n\nEntries:\n");
  for (const auto& [name, entry] : Registry()) std::printf("  %-12s %s\n", name.c_str(), entry.summary);
  std::printf("\nOptions of every entry:\n%s", OptionLines(kCommonOptions).c_str());
  std::printf("\nvelmo-gallery ENTRY --help lists the entry's own options.\n");
}

const GalleryOption* FindOption(const GalleryEntry& entry, const std::string& name) {
  for (const GalleryOption& o : kCommonOptions)
    if (name == o.name) return &o;
  for (const GalleryOption& o : entry.options)
    if (name == o.name) return &o;
  return nullptr;
}

// "--name value" or "--name=value"; throws GalleryUsageError.
GalleryArgs ParseArgs(const GalleryEntry& entry, int argc, char** argv, bool& help) {
  GalleryArgs args;
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      help = true;
      continue;
    }
    if (word.rfind("--", 0) != 0) GalleryUsage("unexpected argument \"" + word + "\"");
    std::string name = word.substr(2), value;
    bool inlineValue = false;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const GalleryOption* option = FindOption(entry, name);
    if (option == nullptr) GalleryUsage("unknown option --" + name);
    if (option->value == nullptr) {
      if (inlineValue) GalleryUsage("--" + name + " takes no value");
    } else if (!inlineValue) {
      if (i + 1 >= argc) GalleryUsage("--" + name + " needs a value (" + option->value + ")");
      value = argv[++i];
    }
    args.values_[name].push_back(value);
  }
  return args;
}

void OpenProfiles(const GalleryArgs& args) {
  ProfileFolders folders = DefaultProfileFolders();
  folders.program = args.Value("program-folder", folders.program);
  folders.user = args.Value("user-folder", folders.user);
  SetProfileFolders(folders);
  TheProfileIniCache().Load(folders.program.c_str(), JoinPath(folders.program, "formats.dat").c_str());
}

}  // namespace

GalleryRegistrar::GalleryRegistrar(GalleryEntry entry) { Registry().emplace(entry.name, std::move(entry)); }

const std::map<std::string, GalleryEntry>& GalleryEntries() { return Registry(); }

void GalleryUsage(const std::string& message) { throw GalleryUsageError{message}; }

int GalleryFailed(const std::string& message) {
  std::fprintf(stderr, "velmo-gallery: %s\n", message.c_str());
  return 1;
}

int PrintSetupResult(HRESULT hr, IFilterSetup& setup) {
  std::printf("result=%s\n", hr == S_OK ? "OK" : "CANCEL");
  if (hr != S_OK) return 0;
  std::string text;
  if (FAILED(ReadSetupParams(setup, text))) return GalleryFailed("the dialog returned no text");
  if (!text.empty() && text.back() == '\0') text.pop_back();
  for (const std::string& line : ParamTextLines(text)) std::printf("%s\n", line.c_str());
  return 0;
}

std::string GalleryArgs::Value(const std::string& name, const std::string& def) const {
  auto it = values_.find(name);
  return it != values_.end() && !it->second.empty() ? it->second.back() : def;
}

std::vector<std::string> GalleryArgs::Values(const std::string& name) const {
  auto it = values_.find(name);
  return it != values_.end() ? it->second : std::vector<std::string>();
}

bool SaveWidgetPicture(QWidget& widget, const std::string& path) {
  QCoreApplication::processEvents();
  return widget.grab().save(QString::fromStdString(path), "PNG");
}

int GalleryArgs::RunModal(const std::function<int()>& open, const std::function<void(UiDialog&)>& whileOpen) {
  ModalScript script;
  script.Then([this, whileOpen](UiDialog& dialog) {
    if (whileOpen) whileOpen(dialog);
    if (!Screenshot().empty() && !SaveWidgetPicture(dialog, Screenshot())) screenshotFailed = true;
    if (Accept()) {
      dialog.OnCommand(IDOK, 0);
      if (dialog.isVisible()) {  // ending the loop hides it
        std::fprintf(stderr, "velmo-gallery: the dialog stayed open after OK; cancelled\n");
        dialog.EndDialog(IDCANCEL);
      }
    } else {
      dialog.OnCommand(IDCANCEL, 0);
    }
  });
  return open();
}

bool GalleryArgs::ShowControl(QWidget& control) {
  control.show();
  QCoreApplication::processEvents();
  if (Screenshot().empty()) return true;
  if (SaveWidgetPicture(control, Screenshot())) return true;
  screenshotFailed = true;
  return false;
}

int main(int argc, char** argv) {
  const std::string name = argc > 1 ? argv[1] : "";
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp();
    return 0;
  }
  auto found = Registry().find(name);
  if (found == Registry().end()) {
    std::fprintf(stderr, "velmo-gallery: %s (see velmo-gallery --help)\n",
                 name.empty() ? "no entry given" : ("unknown entry \"" + name + "\"").c_str());
    return 2;
  }
  const GalleryEntry& entry = found->second;
  bool help = false;
  GalleryArgs args;
  try {
    args = ParseArgs(entry, argc - 2, argv + 2, help);
  } catch (const GalleryUsageError& error) {
    std::fprintf(stderr, "velmo-gallery %s: %s (see velmo-gallery %s --help)\n", entry.name, error.message.c_str(),
                 entry.name);
    return 2;
  }
  if (help) {
    std::printf("Usage: velmo-gallery %s [OPTION]...\n%s\n\nOptions:\n%s%s", entry.name, entry.summary,
                OptionLines(entry.options).c_str(), OptionLines(kCommonOptions).c_str());
    return 0;
  }

  // Always offscreen, in the same style the tests draw with.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  SetAppName(kProductDisplayName);
  PrintingBoxes boxes;
  MessageBoxSink* previous = SetMessageBoxSink(&boxes);
  OpenProfiles(args);
  int status = 0;
  try {
    status = entry.run(args);
  } catch (const GalleryUsageError& error) {
    std::fprintf(stderr, "velmo-gallery %s: %s (see velmo-gallery %s --help)\n", entry.name, error.message.c_str(),
                 entry.name);
    status = 2;
  }
  SetMessageBoxSink(previous);
  if (status == 0 && args.screenshotFailed) status = GalleryFailed("cannot write the screenshot " + args.Screenshot());
  std::fflush(stdout);
  return status;
}
