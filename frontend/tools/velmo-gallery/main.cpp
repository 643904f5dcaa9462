// velmo-gallery: opens one control or dialog of the front end offscreen with
// inputs from the command line, prints what it shows and keeps a screenshot.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

int GalleryFramePreview(int argc, char** argv);

namespace {

struct Entry {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

const Entry kEntries[] = {
    {"frame-preview", GalleryFramePreview, "the frame preview over a frame file, with crop bands or pads"},
};

void PrintHelp() {
  std::printf("Usage: velmo-gallery ENTRY [OPTION]...\n\nEntries:\n");
  for (const Entry& e : kEntries) std::printf("  %-14s %s\n", e.name, e.summary);
  std::printf(
      "\nvelmo-gallery ENTRY --help lists the entry's options. Runs offscreen unless\n"
      "QT_QPA_PLATFORM says otherwise.\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string entry = argc > 1 ? argv[1] : "";
  if (entry == "--help" || entry == "-h") {
    PrintHelp();
    return 0;
  }
  if (entry.empty()) {
    std::fprintf(stderr, "velmo-gallery: no entry given (see velmo-gallery --help)\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  for (const Entry& e : kEntries)
    if (entry == e.name) return e.run(argc - 1, argv + 1);
  std::fprintf(stderr, "velmo-gallery: unknown entry \"%s\" (see velmo-gallery --help)\n", entry.c_str());
  return 2;
}
