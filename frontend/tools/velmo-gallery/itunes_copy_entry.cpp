// velmo-gallery itunes-copy: adding converted files to the music library. No
// library exists on this system: the window says so, closes, and every file
// keeps the status 1 (pending).
#include <cstdio>

#include "frontend/dialogs/dlg_itunes_copy.h"
#include "frontend/model/file_copy.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

int RunItunesCopy(GalleryArgs& args) {
  const std::string source = args.Value("source");
  std::vector<ConvertResult> results;
  for (const std::string& name : args.Values("file")) {
    ConvertResult r{name, name, 0, 1, 0, 1};
    r.size = FileSize64(JoinFolder(source, name));
    results.push_back(r);
  }
  CDlgItunesCopy dialog;
  dialog.SetItems(&results, source);
  args.RunModal([&dialog] { return dialog.DoModal(); });
  for (const ConvertResult& r : results) std::printf("status=%s|%d\n", r.outputFile.c_str(), r.copyStatus);
  return 0;
}

const GalleryRegistrar kItunesCopy({"itunes-copy",
                                    "the music-library copy: says no library is present on this system",
                                    {
                                        {"source", "DIR", "the output folder of the converted files"},
                                        {"file", "NAME", "a converted file in it (repeat for more)"},
                                    },
                                    RunItunesCopy});

}  // namespace
