// velmo-gallery copy-file: the copy dialog over one folder standing in for a
// volume; checks a folder of it, copies the converted files there and prints
// the progress window's lines as they change and each file's status. The
// worker is held after the first file while the progress window's picture is
// taken.
#include <QCoreApplication>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "frontend/controls/folder_check_tree.h"
#include "frontend/dialogs/dlg_copy_file.h"
#include "frontend/dialogs/dlg_folder_copy.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "frontend/ui/modal_script.h"

namespace {

class OneVolume final : public IVolumeList {
 public:
  explicit OneVolume(std::string root) : root_(std::move(root)) {}
  std::vector<Volume> Volumes() override { return {{root_, "", false}}; }

 private:
  std::string root_;
};

// Prints the file and percent texts whenever one changes.
struct ProgressPrinter {
  std::string file, percent;
  void Print(UiDialog& d) {
    const std::string f = d.ItemText(IDC_COPY_FILE).toStdString();
    const std::string p = d.ItemText(IDC_COPY_PERCENT).toStdString();
    if (f != file || p != percent) std::printf("progress=%s|%s\n", f.c_str(), p.c_str());
    file = f;
    percent = p;
  }
};

int RunCopyFile(GalleryArgs& args) {
  const std::string source = args.Value("source");
  const std::vector<std::string> names = args.Values("file");
  const std::string volume = args.Value("volume");
  const std::string folder = args.Value("folder");
  const std::string progressShot = args.Value("progress-screenshot");
  if (source.empty() || names.empty() || volume.empty()) GalleryUsage("--source, --file and --volume are needed");

  std::vector<ConvertResult> results;
  for (const std::string& name : names) results.push_back({name, name, 0, 1, 0, 0});
  OneVolume volumes(volume);
  CDlgCopyFile dialog;
  dialog.SetSource(source, &results);
  dialog.SetVolumeList(&volumes);
  std::atomic<bool> held{false}, release{false};
  dialog.SetCopyHook([&](CDlgFolderCopy& progress) {
    progress.SetBeforeItemHook([&](size_t index) {
      if (index != 1) return;
      held = true;
      while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
  });
  bool shotFailed = false;
  args.RunModal([&dialog] { return dialog.DoModal(); },
                [&](UiDialog&) {
                  CFolderCheckTree* tree = dialog.Tree();
                  QTreeWidgetItem* item = tree->topLevelItem(0);
                  if (!folder.empty() && item != nullptr) {
                    tree->ListFolders(item);
                    QTreeWidgetItem* found = nullptr;
                    for (int i = 0; i < item->childCount() && found == nullptr; ++i)
                      if (item->child(i)->text(0).toStdString() == folder) found = item->child(i);
                    item = found;
                  }
                  if (item == nullptr) {
                    std::fprintf(stderr, "velmo-gallery: no folder \"%s\" in %s\n", folder.c_str(), volume.c_str());
                  } else {
                    tree->CheckItem(item, true);
                  }
                  std::printf("destination=%s\n", dialog.Destination().c_str());
                  ModalScript inner;
                  inner.Then([&](UiDialog& progress) {
                    ProgressPrinter printer;
                    while (progress.isVisible() && (names.size() < 2 || !held.load())) {
                      printer.Print(progress);
                      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                    }
                    // Everything about the first file was posted before the worker held.
                    QCoreApplication::processEvents();
                    printer.Print(progress);
                    if (!progressShot.empty() && !SaveWidgetPicture(progress, progressShot)) shotFailed = true;
                    release = true;
                    while (progress.isVisible()) {
                      printer.Print(progress);
                      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                    }
                    printer.Print(progress);
                  });
                  dialog.OnCommand(IDC_COPY_TO_FOLDER, 0);
                  release = true;
                  for (int i = 0; i < dialog.Files()->topLevelItemCount(); ++i) {
                    const QTreeWidgetItem* row = dialog.Files()->topLevelItem(i);
                    std::printf("status=%s|%s|%s\n", row->text(0).toStdString().c_str(),
                                row->text(1).toStdString().c_str(), row->text(2).toStdString().c_str());
                  }
                });
  if (shotFailed) args.screenshotFailed = true;
  return 0;
}

const GalleryRegistrar kCopyFile({"copy-file",
                                  "the copy dialog: copies converted files into a folder and prints the "
                                  "progress lines and each file's status",
                                  {
                                      {"source", "DIR", "the output folder of the converted files"},
                                      {"file", "NAME", "a converted file in it (repeat for more)"},
                                      {"volume", "DIR", "a folder standing in for the volume the tree lists"},
                                      {"folder", "NAME", "the folder of the volume to copy into (default: its root)"},
                                      {"progress-screenshot", "FILE", "a picture of the progress window mid-copy"},
                                  },
                                  RunCopyFile});

}  // namespace
