// The filter list and the file and folder dialogs, answered by the test.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "frontend/dialogs/file_dialogs.h"
#include "frontend/ui/message_box.h"
#include "qt_test_util.h"
#include "tests/frontend/model/fake_engine_folder.h"

namespace fs = std::filesystem;

namespace {

template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// Answers the next file dialog that opens.
void AnswerFileDialog(std::function<void(QFileDialog&)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(*dialog);
    }
  });
  poll->start(20);
}

void TypeAndAccept(QFileDialog& dialog, const QString& text) {
  auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nullptr, edit);
  edit->setText(text);
  QMetaObject::invokeMethod(&dialog, "accept");
}

// The file dialog's model reads folders on Qt's own threads, which hand data
// over through Qt's uninstrumented locks: the thread checker cannot follow them.
#if defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_THREAD_CHECKER() GTEST_SKIP() << "Qt's file-system model threads are not instrumented"
#else
#define SKIP_UNDER_THREAD_CHECKER() (void)0
#endif

std::string Folder(const std::string& name) {
  const fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fe_session" / "file_dialogs" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

TEST(FileFilter, PairsInOrderEachTerminated) {
  CFileFilter filter;
  EXPECT_EQ(std::string(1, '\0'), filter.GetFilterString());
  EXPECT_EQ(0, filter.Add("Video Files(*.mp4)", "*.mp4"));
  EXPECT_EQ(Bytes("Video Files(*.mp4)\0*.mp4\0\0"), filter.GetFilterString());
  EXPECT_EQ(1, filter.Add("Audio Files(*.mp3;*.wma)", "*.mp3;*.wma"));
  EXPECT_EQ(Bytes("Video Files(*.mp4)\0*.mp4\0Audio Files(*.mp3;*.wma)\0*.mp3;*.wma\0\0"), filter.GetFilterString());
}

TEST(FileDialogs, FilesChosenComeBackAsFullPathsInOrder) {
  SKIP_UNDER_THREAD_CHECKER();
  const std::string folder = Folder("files");
  for (const char* name : {"b clip.mp4", "a.mp4", "c.mp3"}) WriteText(folder + "/" + name, "x");
  CFileFilter filter;
  filter.Add("Video Files(*.mp4)", "*.mp4");
  filter.Add("Audio Files(*.mp3;*.wma)", "*.mp3;*.wma");

  QStringList filters;
  AnswerFileDialog([&](QFileDialog& d) {
    filters = d.nameFilters();
    EXPECT_EQ(QFileDialog::ExistingFiles, d.fileMode());
    EXPECT_EQ(QStringLiteral("Select file"), d.windowTitle());
    d.selectNameFilter(filters.value(1));
    TypeAndAccept(d, QStringLiteral("\"b clip.mp4\" \"a.mp4\""));
  });
  std::vector<std::string> chosen;
  ASSERT_TRUE(BrowseForFiles(nullptr, "Select file", folder, filter.GetFilterString(), true, chosen));
  EXPECT_EQ((std::vector<std::string>{folder + "/b clip.mp4", folder + "/a.mp4"}), chosen);
  EXPECT_EQ((QStringList{"Video Files(*.mp4) (*.mp4)", "Audio Files(*.mp3;*.wma) (*.mp3 *.wma)"}), filters);

  // One file of a multiple selection; the filter picked last time comes back.
  QString preselected;
  AnswerFileDialog([&](QFileDialog& d) {
    preselected = d.selectedNameFilter();
    TypeAndAccept(d, QStringLiteral("c.mp3"));
  });
  chosen.clear();
  ASSERT_TRUE(BrowseForFiles(nullptr, "Select file", folder, filter.GetFilterString(), true, chosen));
  EXPECT_EQ(std::vector<std::string>{folder + "/c.mp3"}, chosen);
  EXPECT_EQ(filters.value(1), preselected);

  // Single selection; cancelled.
  AnswerFileDialog([&](QFileDialog& d) {
    EXPECT_EQ(QFileDialog::ExistingFile, d.fileMode());
    d.reject();
  });
  chosen.clear();
  EXPECT_FALSE(BrowseForFiles(nullptr, "Open", folder, filter.GetFilterString(), false, chosen));
  EXPECT_TRUE(chosen.empty());
}

TEST(FileDialogs, FolderBrowserStartsAnywhereAndRefusesLongPaths) {
  SKIP_UNDER_THREAD_CHECKER();
  const std::string root = Folder("folders");
  fs::create_directories(root + "/chosen one");
  std::string path = root + "/does not exist";
  AnswerFileDialog([&](QFileDialog& d) {
    EXPECT_EQ(QFileDialog::Directory, d.fileMode());
    TypeAndAccept(d, QString::fromStdString(root + "/chosen one"));
  });
  ASSERT_TRUE(BrowseForFolderWithShell(nullptr, path));
  EXPECT_EQ(root + "/chosen one", path);

  // Starting at an existing folder: it is shown, and accepting at once chooses it.
  path = root;
  QString startedIn;
  AnswerFileDialog([&](QFileDialog& d) {
    startedIn = d.directory().absolutePath();
    QMetaObject::invokeMethod(&d, "accept");
  });
  EXPECT_TRUE(BrowseForFolderWithShell(nullptr, path));
  EXPECT_EQ(QString::fromStdString(root), startedIn);
  EXPECT_EQ(root, path);

  // Cancelling keeps the path.
  AnswerFileDialog([&](QFileDialog& d) { d.reject(); });
  EXPECT_FALSE(BrowseForFolderWithShell(nullptr, path));
  EXPECT_EQ(root, path);

  std::string deep = root;
  while (deep.size() <= 260) deep += "/a-rather-long-folder-name";
  fs::create_directories(deep);
  MessageBoxRecorder boxes;
  path = root + "/nowhere";
  AnswerFileDialog([&](QFileDialog& d) { TypeAndAccept(d, QString::fromStdString(deep)); });
  EXPECT_FALSE(BrowseForFolderWithShell(nullptr, path));
  EXPECT_EQ(root + "/nowhere", path);
  ASSERT_EQ(1u, boxes.Shown().size());
  EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("too long")) << boxes.Shown()[0].text;
}

}  // namespace
