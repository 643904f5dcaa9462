// Choosing files and folders: the filter list of the open-file dialog, the
// open-file dialog with single or multiple selection, and the folder browser.
// Results: bool, true when the user chose.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class QWidget;

// Pairs of a description and a pattern list ("*.mp3;*.wma"), kept in order.
class CFileFilter {
 public:
  // Adds a pair; its index.
  int Add(std::string_view description, std::string_view pattern);
  // Every pair as description NUL pattern NUL, then one more NUL. Built once
  // and kept until the next Add.
  const std::string& GetFilterString();

  size_t Count() const { return descriptions_.size(); }

 private:
  std::vector<std::string> descriptions_;
  std::vector<std::string> patterns_;
  std::string filter_;
  bool built_ = false;
};

// Runs the open-file dialog: existing files only, links not followed, the
// filter chosen last time preselected. Appends the chosen full paths to out
// in the dialog's order. False when cancelled.
bool BrowseForFiles(QWidget* owner, const std::string& title, const std::string& initialFolder,
                    const std::string& filterString, bool multiple, std::vector<std::string>& out);

// Runs the folder browser starting at path (a folder that does not exist
// starts with no selection); the chosen folder is stored in path. False when
// cancelled, or (with a message) when the chosen path is longer than the
// 259 bytes a path field holds.
bool BrowseForFolder(QWidget* owner, std::string& path);
