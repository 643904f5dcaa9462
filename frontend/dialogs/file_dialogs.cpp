#include "frontend/dialogs/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace {

// The filter the user picked last, kept for the life of the process.
QString& LastFilter() {
  static QString filter;
  return filter;
}

// "description NUL pattern NUL ... NUL" as Qt name filters "description (p1 p2)".
QStringList NameFilters(const std::string& filterString) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < filterString.size()) {
    const size_t end = filterString.find('\0', at);
    const std::string part = filterString.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (part.empty()) break;
    parts.push_back(part);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  QStringList filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = QString::fromStdString(parts[i + 1]);
    patterns.replace(';', ' ');
    filters << QString::fromStdString(parts[i]) + " (" + patterns.simplified() + ")";
  }
  return filters;
}

}  // namespace

int CFileFilter::Add(std::string_view description, std::string_view pattern) {
  descriptions_.emplace_back(description);
  patterns_.emplace_back(pattern);
  built_ = false;
  filter_.clear();
  return static_cast<int>(descriptions_.size()) - 1;
}

const std::string& CFileFilter::GetFilterString() {
  if (!built_) {
    filter_.clear();
    for (size_t i = 0; i < descriptions_.size(); ++i) {
      filter_ += descriptions_[i];
      filter_ += '\0';
      filter_ += patterns_[i];
      filter_ += '\0';
    }
    filter_ += '\0';
    built_ = true;
  }
  return filter_;
}

bool BrowseForFiles(QWidget* owner, const std::string& title, const std::string& initialFolder,
                    const std::string& filterString, bool multiple, std::vector<std::string>& out) {
  QFileDialog dialog(owner, QString::fromStdString(title), QString::fromStdString(initialFolder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontResolveSymlinks);
  const QStringList filters = NameFilters(filterString);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.contains(LastFilter()) ? LastFilter() : filters.front());
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  LastFilter() = dialog.selectedNameFilter();
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  for (const QString& file : files) out.push_back(QDir::cleanPath(file).toStdString());
  return true;
}
