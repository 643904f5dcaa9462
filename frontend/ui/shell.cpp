#include "frontend/ui/shell.h"

#include <sys/stat.h>

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "frontend/ui/message_box.h"

namespace {

class DesktopShell final : public ShellSink {
 public:
  bool BrowseForFolder(QWidget* owner, std::string& path) override {
    const QString chosen =
        QFileDialog::getExistingDirectory(owner, QString(), QString::fromStdString(path), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return false;
    path = chosen.toStdString();
    return true;
  }
  ShellOpenResult Open(QWidget*, const std::string& path) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return ShellOpenResult::kNotFound;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))
               ? ShellOpenResult::kOpened
               : ShellOpenResult::kNoAssociation;
  }
};

ShellSink*& CurrentSink() {
  static ShellSink* sink = nullptr;
  return sink;
}

ShellSink& Sink() {
  static DesktopShell desktop;
  return CurrentSink() != nullptr ? *CurrentSink() : desktop;
}

}  // namespace

ShellSink* SetShellSink(ShellSink* sink) {
  ShellSink* previous = CurrentSink();
  CurrentSink() = sink;
  return previous;
}

bool BrowseForFolderWithShell(QWidget* owner, std::string& path) { return Sink().BrowseForFolder(owner, path); }

ShellOpenResult OpenWithShell(QWidget* owner, const std::string& path) { return Sink().Open(owner, path); }

ShellScript::ShellScript() : previous_(SetShellSink(this)) {}

ShellScript::~ShellScript() { SetShellSink(previous_); }

bool ShellScript::BrowseForFolder(QWidget*, std::string& path) {
  folderRequests_.push_back(path);
  if (folders_.empty()) return false;
  FolderAnswer answer = folders_.front();
  folders_.pop_front();
  if (answer.chosen) path = answer.folder;
  return answer.chosen;
}

ShellOpenResult ShellScript::Open(QWidget*, const std::string& path) {
  opened_.push_back(path);
  if (openAnswers_.empty()) return ShellOpenResult::kOpened;
  ShellOpenResult result = openAnswers_.front();
  openAnswers_.pop_front();
  return result;
}

void OpenFolderWithShell(QWidget* owner, const std::string& folder) {
  switch (OpenWithShell(owner, folder)) {
    case ShellOpenResult::kNoAssociation:
      ShowMessageBox(owner, "Can not open the folder.", nullptr, MB_ICONEXCLAMATION);
      break;
    case ShellOpenResult::kNotFound:
      ShowMessageBox(owner, "Can not find the folder.", nullptr, MB_ICONEXCLAMATION);
      break;
    case ShellOpenResult::kOpened:
      break;
  }
}
