#include "common/dvd/dvd_title_list.h"

#include <cstdlib>
#include <cstring>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_menu_vote.h"

namespace {

int32_t g_main_title = 1;

// Copies text, cut to fit dest with its terminator.
void CopyText(char* dest, size_t size, const char* text) {
  const size_t n = strnlen(text, size - 1);
  std::memcpy(dest, text, n);
  dest[n] = 0;
}

void FillFromTitle(DvdTitleInfo& info, const DvdTitle* title) {
  info.valid = 1;
  info.duration = static_cast<double>(title->duration) / 90000.0;

  const int chapters = PtrListCount(title->chapters);
  info.chapter_count = chapters < kDvdInfoMaxChapters ? chapters : kDvdInfoMaxChapters;
  for (int i = 0; i < info.chapter_count; ++i) {
    const auto* c = static_cast<const DvdChapterRecord*>(PtrListItem(title->chapters, i));
    info.chapters[i].duration = static_cast<double>(c->duration) / 90000.0;
  }

  const int audio = PtrListCount(title->audio);
  info.audio_count = audio < kDvdInfoMaxAudio ? audio : kDvdInfoMaxAudio;
  for (int i = 0; i < info.audio_count; ++i) {
    const auto* a = static_cast<const DvdAudio*>(PtrListItem(title->audio, i));
    DvdAudioInfo& out = info.audio[i];
    out.codec = a->codec;
    out.stream_id = a->codec == kDvdAudioMpeg ? a->stream_id : (a->stream_id >> 8) & 0xFF;
    out.sample_rate = a->sample_rate;
    out.channels = a->channels;
    CopyText(out.language, sizeof out.language, a->language);
    out.code_extension = a->code_extension;
  }

  const int subtitles = PtrListCount(title->subtitles);
  info.subtitle_count = subtitles < kDvdInfoMaxSubtitles ? subtitles : kDvdInfoMaxSubtitles;
  for (int i = 0; i < info.subtitle_count; ++i) {
    const auto* s = static_cast<const DvdSubtitle*>(PtrListItem(title->subtitles, i));
    DvdSubtitleInfo& out = info.subtitles[i];
    out.zero = 0;
    out.stream_id = (s->stream_id >> 8) & 0xFF;
    CopyText(out.language, sizeof out.language, s->language);
    out.code_extension = s->code_extension;
  }
  std::qsort(info.subtitles, info.subtitle_count, sizeof(DvdSubtitleInfo), CompareSubtitleEntry);

  info.video_kind = title->video_kind;
  info.video_stream_id = title->video_stream_id;
  info.width = title->width;
  info.height = title->height;
  info.video_format = title->video_format;
  info.aspect = static_cast<int32_t>(title->aspect + 0.1);
  for (int i = 0; i < 16; ++i) info.palette[i] = title->palette[i];
}

void MarkUnusable(DvdTitleInfo& info) {
  info.valid = 0;
  info.duration = 0;
  info.chapter_count = 0;
  info.audio_count = 0;
  info.subtitle_count = 0;
  info.label[0] = 0;
  info.unused = 0;
}

}  // namespace

int CompareSubtitleEntry(const void* a, const void* b) {
  const int32_t x = static_cast<const DvdSubtitleInfo*>(a)->stream_id;
  const int32_t y = static_cast<const DvdSubtitleInfo*>(b)->stream_id;
  return (x > y) - (x < y);
}

int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, int vote) {
  return DvdFillTitleInfo(path, info, kDvdInfoMaxTitles, vote);
}

int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, int capacity, int vote) {
  if (path == nullptr || info == nullptr || capacity <= 0) return 0;
  DvdNavHandle* handle = DvdInit(path);
  if (handle == nullptr) return 0;

  int count = DvdTitleCount(handle);
  if (count > capacity) count = capacity;
  for (int t = 1; t <= count; ++t) {
    DvdTitle* title = DvdTitleScan(handle, t);
    if (title != nullptr) {
      FillFromTitle(info[t - 1], title);
      DvdTitleClose(&title);
    } else {
      MarkUnusable(info[t - 1]);
    }
  }

  g_main_title = 0;
  if (vote && count > 30) {
    const int voted = DvdFindMainTitle(handle->nav);
    // Only a title that scanned is worth preselecting.
    if (voted >= 1 && voted <= count && info[voted - 1].valid) {
      g_main_title = voted;
      DvdClose(&handle);
      return count;
    }
  }
  int longest = 0;
  double longest_duration = 0.0;
  for (int i = 0; i < count; ++i) {
    if (info[i].duration > longest_duration) {
      longest_duration = info[i].duration;
      longest = i;
    }
  }
  g_main_title = longest + 1;
  DvdClose(&handle);
  return count;
}

int DvdMainTitleIndex() { return g_main_title - 1; }

int GetMainTitleIndex() { return DvdMainTitleIndex(); }
