// Choosing files and folders: the filter list of the open-file dialog, the
// open-file dialog with single or multiple selection, and the folder browser.
// Results: bool, true when the user chose.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/ui/shell.h"

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

// The folder browser, BrowseForFolderWithShell, is the shell's (frontend/ui/shell.h),
// so that tests can answer it.
