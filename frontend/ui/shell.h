// The desktop's shell services a window asks for: choosing a folder, and
// opening a file or folder with its handler. Both go through one sink (the
// desktop normally, a ShellScript in tests). User-interface thread only.
#pragma once

#include <deque>
#include <string>
#include <vector>

class QWidget;

enum class ShellOpenResult {
  kOpened,
  kNotFound,       // the path does not exist
  kNoAssociation,  // nothing on the desktop opens it
};

class ShellSink {
 public:
  virtual ~ShellSink() = default;
  // path holds the initial folder (may be empty or missing) and gets the
  // chosen one; false when nothing was chosen.
  virtual bool BrowseForFolder(QWidget* owner, std::string& path) = 0;
  virtual ShellOpenResult Open(QWidget* owner, const std::string& path) = 0;
};

// Installs a sink (null: the desktop again); returns the previous one.
ShellSink* SetShellSink(ShellSink* sink);

// The folder browser, starting at path (a folder that does not exist starts
// with no selection): true with the chosen folder in path; false when
// cancelled, or (with a message) when the chosen path is longer than the 259
// bytes a path field holds.
bool BrowseForFolderWithShell(QWidget* owner, std::string& path);
// Opens a file or folder with the desktop's handler; a web ("http:", "https:",
// "ftp:") or mail ("mailto:") address with the desktop's browser or mail program.
ShellOpenResult OpenWithShell(QWidget* owner, const std::string& path);
// Opens a folder; says "Can not open the folder." or "Can not find the
// folder." in a message box when that fails.
void OpenFolderWithShell(QWidget* owner, const std::string& folder);

// A sink for tests: answers folder choices from a script (then "cancelled")
// and opens nothing; records what was asked. Installs itself for its lifetime.
class ShellScript final : public ShellSink {
 public:
  ShellScript();
  ~ShellScript() override;
  ShellScript(const ShellScript&) = delete;
  ShellScript& operator=(const ShellScript&) = delete;

  // The next folder choice picks folder.
  void ChooseFolder(const std::string& folder) { folders_.push_back({true, folder}); }
  // The next folder choice is cancelled.
  void CancelFolder() { folders_.push_back({false, {}}); }
  // What the next open answers (kOpened when not set).
  void OpenAnswer(ShellOpenResult result) { openAnswers_.push_back(result); }

  // Initial folders of the folder choices asked for, in order.
  const std::vector<std::string>& FolderRequests() const { return folderRequests_; }
  // Paths asked to be opened, in order.
  const std::vector<std::string>& Opened() const { return opened_; }

  bool BrowseForFolder(QWidget* owner, std::string& path) override;
  ShellOpenResult Open(QWidget* owner, const std::string& path) override;

 private:
  struct FolderAnswer {
    bool chosen;
    std::string folder;
  };
  ShellSink* previous_;
  std::deque<FolderAnswer> folders_;
  std::deque<ShellOpenResult> openAnswers_;
  std::vector<std::string> folderRequests_;
  std::vector<std::string> opened_;
};
