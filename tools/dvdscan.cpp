// dvdscan PATH: prints the title scan of a DVD disc, folder or image.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_title_list.h"
#include "common/dvd/dvd_trace.h"
#include "platform/version.h"
#include "tools/tool_args.h"

namespace {

void TraceToStderr(const char* text) { std::fputs(text, stderr); }
void TraceNowhere(const char*) {}

const char* CodecName(int32_t codec) {
  switch (codec) {
    case kDvdAudioAc3:
      return "AC-3";
    case kDvdAudioMpeg:
      return "MPEG";
    case kDvdAudioLpcm:
      return "LPCM";
    case kDvdAudioDts:
      return "DTS";
    default:
      return "unknown";
  }
}

void PrintTitle(const DvdTitle& title) {
  const bool pal = title.videoFormat == 1;
  std::printf(
      "Title: %02d, Valid: 1, Length: %.3f, Chapters: %d, Video: MPEG-%d, Id: 0x%02X, Width: %d, "
      "Height: %d, Format: %s, FPS: %s, Aspect: %s, Audio streams: %d, Subpictures: %d\n",
      title.number, static_cast<double>(title.duration) / 90000.0, static_cast<int>(title.chapters.size()),
      title.videoKind == kDvdVideoMpeg2 ? 2 : 1, title.videoStreamId, title.width, title.height,
      pal                      ? "PAL"
      : title.videoFormat == 0 ? "NTSC"
                               : "reserved",
      pal                      ? "25.00"
      : title.videoFormat == 0 ? "29.97"
                               : "0",
      title.aspect == 3 ? "16/9" : "4/3", static_cast<int>(title.audio.size()),
      static_cast<int>(title.subtitles.size()));
  for (const DvdChapterRecord& c : title.chapters) {
    std::printf("\tChapter: %02d, Length: %.3f, PGC: %d, Program: %d, Cells: %d, Last sector: %d\n", c.number,
                static_cast<double>(c.duration) / 90000.0, c.pgc, c.program, static_cast<int>(c.cells.size()),
                c.lastSector);
    for (const DvdCell& cell : c.cells) {
      std::printf("\t\tCell: %02d, Sectors: %d-%d, Length: %.3f\n", cell.cellIndex + 1, cell.firstSector,
                  cell.lastSector, static_cast<double>(cell.duration) / 90000.0);
    }
  }
  for (size_t i = 0; i < title.audio.size(); ++i) {
    const DvdAudio& a = title.audio[i];
    std::printf(
        "\tAudio: %d, Id: 0x%X, Format: %s, Frequency: %d, Channels: %d, Language: %s, "
        "Extension: %d\n",
        static_cast<int>(i + 1), a.streamId, CodecName(a.codec), a.sampleRate, a.channels, a.language.c_str(),
        a.codeExtension);
  }
  for (size_t i = 0; i < title.subtitles.size(); ++i) {
    const DvdSubtitle& s = title.subtitles[i];
    std::printf("\tSubpicture: %d, Id: 0x%X, Language: %s, Extension: %d\n", static_cast<int>(i + 1), s.streamId,
                s.language.c_str(), s.codeExtension);
  }
  std::printf("\tPalette:");
  for (uint32_t colour : title.palette) std::printf(" %06x", colour);
  std::printf("\n");
}

const char kUsage[] =
    "usage: dvdscan [-v] PATH\n"
    "Prints the titles, chapters, cells, streams and palette of a DVD and its main title.\n"
    "  PATH           DVD device, folder holding VIDEO_TS, or image\n"
    "  -v, --verbose  show the DVD libraries' messages on standard error\n"
    "  -h, --help     this text\n"
    "Exit status: 0 scanned, 1 not a readable DVD, 2 bad arguments.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "dvdscan: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersion(argc, argv, "dvdscan")) return 0;
  bool verbose = false;
  const ToolArgs args = ParseToolArgs(argc, argv, {{"verbose", false, 'v'}}, [&](size_t, const std::string&) {
    verbose = true;
    return std::string();
  });
  if (!args.error.empty()) return UsageError(args.error);
  if (args.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.words.size() != 1 || args.words[0].empty()) return UsageError("give one PATH");
  const char* path = args.words[0].c_str();
  DvdSetTraceSink(verbose ? TraceToStderr : TraceNowhere);

  DvdNavHandlePtr handle = DvdInit(path);
  // What the check of the disc's IFO files found: a backup read instead, a title set left out.
  for (const std::string& note : DvdOpenNotes()) std::fprintf(stderr, "dvdscan: %s\n", note.c_str());
  if (!handle) {
    std::fprintf(stderr, "dvdscan: cannot open a DVD at \"%s\"\n", path);
    return 1;
  }
  const std::optional<std::string> volume = g_dvdBackend->name(path);
  std::printf("Volume: %s\n", volume ? volume->c_str() : "");
  const int count = DvdTitleCount(*handle);
  std::printf("Titles: %d\n", count);
  for (int t = 1; t <= count; ++t) {
    if (const DvdTitlePtr title = DvdTitleScan(*handle, t))
      PrintTitle(*title);
    else
      std::printf("Title: %02d, Valid: 0\n", t);
  }
  DvdClose(handle);

  auto info = std::make_unique<DvdTitleInfo[]>(kDvdInfoMaxTitles);
  if (DvdFillTitleInfo(path, info.get(), true) > 0)
    std::printf("Main title: %d\n", DvdMainTitleIndex() + 1);
  else
    std::printf("Main title: none\n");
  return 0;
}
