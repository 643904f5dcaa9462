// dvdscan PATH: prints the title scan of a DVD disc, folder or image.
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_title_list.h"
#include "common/dvd/dvd_trace.h"

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

void PrintTitle(const DvdTitle* title) {
  const bool pal = title->video_format == 1;
  std::printf(
      "Title: %02d, Valid: 1, Length: %.3f, Chapters: %d, Video: MPEG-%d, Id: 0x%02X, Width: %d, "
      "Height: %d, Format: %s, FPS: %s, Aspect: %s, Audio streams: %d, Subpictures: %d\n",
      title->number, static_cast<double>(title->duration) / 90000.0, PtrListCount(title->chapters),
      title->video_kind == kDvdVideoMpeg2 ? 2 : 1, title->video_stream_id, title->width, title->height,
      pal                        ? "PAL"
      : title->video_format == 0 ? "NTSC"
                                 : "reserved",
      pal                        ? "25.00"
      : title->video_format == 0 ? "29.97"
                                 : "0",
      title->aspect == 3 ? "16/9" : "4/3", PtrListCount(title->audio), PtrListCount(title->subtitles));
  for (int i = 0; i < PtrListCount(title->chapters); ++i) {
    const auto* c = static_cast<const DvdChapterRecord*>(PtrListItem(title->chapters, i));
    std::printf("\tChapter: %02d, Length: %.3f, PGC: %d, Program: %d, Cells: %d, Last sector: %d\n", c->number,
                static_cast<double>(c->duration) / 90000.0, c->pgc, c->program, c->cell_count, c->last_sector);
    for (int k = 0; k < c->cell_count; ++k) {
      const DvdCell& cell = c->cells[k];
      std::printf("\t\tCell: %02d, Sectors: %d-%d, Length: %.3f\n", cell.cell_index + 1, cell.first_sector,
                  cell.last_sector, static_cast<double>(cell.duration) / 90000.0);
    }
  }
  for (int i = 0; i < PtrListCount(title->audio); ++i) {
    const auto* a = static_cast<const DvdAudio*>(PtrListItem(title->audio, i));
    std::printf(
        "\tAudio: %d, Id: 0x%X, Format: %s, Frequency: %d, Channels: %d, Language: %s, "
        "Extension: %d\n",
        i + 1, a->stream_id, CodecName(a->codec), a->sample_rate, a->channels, a->language, a->code_extension);
  }
  for (int i = 0; i < PtrListCount(title->subtitles); ++i) {
    const auto* s = static_cast<const DvdSubtitle*>(PtrListItem(title->subtitles, i));
    std::printf("\tSubpicture: %d, Id: 0x%X, Language: %s, Extension: %d\n", i + 1, s->stream_id, s->language,
                s->code_extension);
  }
  std::printf("\tPalette:");
  for (uint32_t colour : title->palette) std::printf(" %06x", colour);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-v") == 0)
      verbose = true;
    else if (path == nullptr)
      path = argv[i];
    else
      path = "";
  }
  if (path == nullptr || path[0] == 0) {
    std::fprintf(stderr,
                 "usage: dvdscan [-v] PATH\n  PATH: DVD device, VIDEO_TS folder or image;"
                 " -v shows the DVD libraries' messages on standard error\n");
    return 2;
  }
  DvdSetTraceSink(verbose ? TraceToStderr : TraceNowhere);

  DvdNavHandle* handle = DvdInit(path);
  if (handle == nullptr) {
    std::fprintf(stderr, "dvdscan: cannot open a DVD at \"%s\"\n", path);
    return 1;
  }
  const char* volume = g_dvd_backend->name(path);
  std::printf("Volume: %s\n", volume != nullptr ? volume : "");
  const int count = DvdTitleCount(handle);
  std::printf("Titles: %d\n", count);
  for (int t = 1; t <= count; ++t) {
    DvdTitle* title = DvdTitleScan(handle, t);
    if (title == nullptr) {
      std::printf("Title: %02d, Valid: 0\n", t);
      continue;
    }
    PrintTitle(title);
    DvdTitleClose(&title);
  }
  DvdClose(&handle);

  auto info = std::make_unique<DvdTitleInfo[]>(kDvdInfoMaxTitles);
  if (DvdFillTitleInfo(path, info.get(), 1) > 0)
    std::printf("Main title: %d\n", DvdMainTitleIndex() + 1);
  else
    std::printf("Main title: none\n");
  return 0;
}
