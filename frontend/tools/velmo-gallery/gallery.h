// velmo-gallery: opens one dialog or control of the front end offscreen with
// inputs from the command line, can press OK, prints what it returns and
// saves a screenshot.
//
// Each entry lives in its own source file of this folder and registers itself
// with a static GalleryRegistrar:
//
//   int RunMyDialog(GalleryArgs& args) { ... }
//   const GalleryRegistrar kMyDialog({"my-dialog", "what it shows",
//                                     {{"input", "TEXT", "what the input is"}}, RunMyDialog});
//
// Every entry also takes the common options --accept, --screenshot FILE,
// --program-folder DIR and --user-folder DIR. Results go to standard output
// as "name=value" lines; message boxes are printed to standard error as
// "message: <text>" and answered with their default button.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win_types.h"

class QWidget;
class IFilterSetup;
class UiDialog;

struct GalleryOption {
  const char* name;
  const char* value;  // the value's name in the help; null for a flag
  const char* help;
};

// The options an entry was given, and the common steps of an entry.
class GalleryArgs {
 public:
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The option's last value, or def.
  std::string Value(const std::string& name, const std::string& def = "") const;
  // Every value of an option given more than once, in order.
  std::vector<std::string> Values(const std::string& name) const;

  bool Accept() const { return Has("accept"); }
  const std::string Screenshot() const { return Value("screenshot"); }

  // Runs open(), which is expected to run one dialog modally. Once the dialog
  // shows, whileOpen runs (it may type values), the screenshot is saved and
  // OK (with --accept) or Cancel is pressed; a dialog that stays open after
  // OK is cancelled. Returns open()'s result.
  int RunModal(const std::function<int()>& open, const std::function<void(UiDialog&)>& whileOpen = {});
  // Shows a control in a window of its own and saves the screenshot.
  bool ShowControl(QWidget& control);

  // Set by the entry point.
  std::map<std::string, std::vector<std::string>> values_;
  bool screenshotFailed = false;
};

struct GalleryEntry {
  const char* name;
  const char* summary;
  std::vector<GalleryOption> options;
  int (*run)(GalleryArgs& args);
};

struct GalleryRegistrar {
  explicit GalleryRegistrar(GalleryEntry entry);
};

// Every registered entry, by name.
const std::map<std::string, GalleryEntry>& GalleryEntries();

// A usage error: the entry point prints it and exits with status 2.
struct GalleryUsageError {
  std::string message;
};
[[noreturn]] void GalleryUsage(const std::string& message);

// A failure of a correctly used entry: the message on standard error, status 1.
int GalleryFailed(const std::string& message);

// After a filter dialog's Edit: prints "result=OK" or "result=CANCEL" and,
// when accepted, the text it returns, one key a line; 0, or 1 when no text came.
int PrintSetupResult(HRESULT hr, IFilterSetup& setup);

// Saves a widget's picture as PNG; false when it cannot be written.
bool SaveWidgetPicture(QWidget& widget, const std::string& path);

// Six hexadecimal digits at most (0xBBGGRR, blue first), with or without "0x".
inline bool ParseBgrHex(const std::string& text, uint32_t* colour) {
  const std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return false;
  *colour = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
  return true;
}
