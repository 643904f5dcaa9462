#include "frontend/ui/shell.h"

#include <sys/stat.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "frontend/ui/message_box.h"

namespace {

constexpr size_t kMaxPathBytes = 259;  // what a path field holds

class DesktopShell final : public ShellSink {
 public:
  bool BrowseForFolder(QWidget* owner, std::string& path) override {
    const QString initial = QString::fromStdString(path);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Accepting at once chooses the folder shown.
    if (!initial.isEmpty() && QFileInfo(initial).isDir()) dialog.setDirectory(initial);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    const std::string folder = QDir::cleanPath(chosen.front()).toStdString();
    if (folder.size() > kMaxPathBytes) {
      ShowMessageBox(owner,
                     "The folder path is too long (" + std::to_string(folder.size()) + " bytes, at most " +
                         std::to_string(kMaxPathBytes) + "):\n" + folder,
                     nullptr, MB_ICONEXCLAMATION);
      return false;
    }
    path = folder;
    return true;
  }
  ShellOpenResult Open(QWidget*, const std::string& path) override {
    // Web and mail addresses go to the desktop's browser or mail program.
    const QUrl url(QString::fromStdString(path), QUrl::StrictMode);
    static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
                                         QStringLiteral("mailto")};
    if (url.isValid() && kSchemes.contains(url.scheme().toLower())) {
      return QDesktopServices::openUrl(url) ? ShellOpenResult::kOpened : ShellOpenResult::kNoAssociation;
    }
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
