// velmo-gallery file-info: the "File info" sheet over a task of one source;
// a name typed on the first page and tags on the second; prints the task's
// output name fields and tag head after OK.
#include <QComboBox>
#include <cstdio>
#include <string>

#include "frontend/dialogs/dlg_file_info.h"
#include "frontend/model/file_info.h"
#include "frontend/model/task.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "platform/utf_text.h"

namespace {

int RunFileInfo(GalleryArgs& args) {
  const std::string page = args.Value("page", "0");
  if (page != "0" && page != "1") GalleryUsage("--page takes 0 or 1, not \"" + page + "\"");
  auto record = std::make_unique<MediaInfoRecord>();
  *record = MediaInfoRecord{};
  std::string message;
  std::unique_ptr<CTask> task =
      MakeTask(args.Value("source", "/media/clip.mp4"), *record, OutputSettings(), TaskOptions(), message);
  if (task == nullptr) return GalleryFailed(message);
  OutputFileName current;
  if (!SplitOutputFileName(args.Value("output", task->title + ".mp4"), "mp4", 0, current, message))
    GalleryUsage("--output: " + message);
  task->title = current.title;
  task->outputExt = current.ext;
  task->outputNumber = std::atoi(args.Value("number", "0").c_str());

  const int result = args.RunModal(
      [&] { return RunFileInfoSheet(nullptr, *task, args.Value("folder", "/home/user/Videos"), page == "1") ? 1 : 0; },
      [&](UiDialog& d) {
        auto& sheet = static_cast<CMyPropSheet&>(d);
        CPropertyPage* names = sheet.GetPage(0);
        if (args.Has("type")) names->SetItemText(IDC_NAMES_OUTPUT, QString::fromStdString(args.Value("type")));
        if (args.Has("overwrite")) names->CheckRadio(IDC_NAMES_RENAME, IDC_NAMES_OVERWRITE, IDC_NAMES_OVERWRITE);
        const bool tags = args.Has("tag-title") || args.Has("tag-artist") || args.Has("tag-genre");
        if (!tags) return;
        sheet.SetActivePage(1);
        CPropertyPage* meta = sheet.GetPage(1);
        meta->SetItemCheck(IDC_META_ENABLE, 1);
        meta->OnCommand(IDC_META_ENABLE, BN_CLICKED);
        meta->SetItemText(IDC_META_TITLE, QString::fromStdString(args.Value("tag-title")));
        meta->SetItemText(IDC_META_ARTIST, QString::fromStdString(args.Value("tag-artist")));
        meta->SetItemText(IDC_META_GENRE, QString::fromStdString(args.Value("tag-genre")));
      });
  std::printf("result=%s\n", result == 1 ? "OK" : "CANCEL");
  if (result != 1) return 0;
  const TagInfo& tags = task->sources.front()->record.tags;
  std::printf("title=%s\next=%s\nnumber=%d\noverwrite=%d\nname=%s\n", task->title.c_str(), task->outputExt.c_str(),
              task->outputNumber, task->overwrite, task->GetOutputFileName().c_str());
  std::printf("tags.enabled=%d\ntags.title=%s\ntags.artist=%s\ntags.genre=%s\n", tags.enabled,
              Utf16FieldToUtf8(tags.title, 128).c_str(), Utf16FieldToUtf8(tags.artist, 128).c_str(), tags.genre);
  return 0;
}

const GalleryRegistrar kFileInfo({"file-info",
                                  "the \"File info\" sheet of a task: its output name fields and tags after OK",
                                  {
                                      {"source", "PATH", "the task's source (default /media/clip.mp4)"},
                                      {"output", "NAME", "the task's output name before (default: TITLE.mp4)"},
                                      {"number", "N", "the task's output number before"},
                                      {"folder", "DIR", "the output folder the name page shows"},
                                      {"page", "0|1", "the page shown first"},
                                      {"type", "NAME", "a name typed on the name page"},
                                      {"overwrite", nullptr, "choose \"Overwrite existing files\""},
                                      {"tag-title", "TEXT", "tags typed on the metadata page, with it enabled"},
                                      {"tag-artist", "TEXT", ""},
                                      {"tag-genre", "TEXT", ""},
                                  },
                                  RunFileInfo});

}  // namespace
