#include "common/dvd/dvd_title_list.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_disc_view.h"
#include "common/dvd/dvd_menu_vote.h"

namespace {

constexpr int kVoteMinTitles = 31;

std::atomic<int32_t> g_mainTitle{1};

// Copies text, cut to fit dest with its terminator.
template <size_t N>
void CopyText(char (&dest)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  std::memcpy(dest, text.data(), n);
  dest[n] = 0;
}

void FillFromTitle(DvdTitleInfo& info, const DvdTitle& title) {
  info.valid = 1;
  info.duration = static_cast<double>(title.duration) / 90000.0;

  info.chapterCount = static_cast<int32_t>(std::min<size_t>(title.chapters.size(), kDvdInfoMaxChapters));
  for (int i = 0; i < info.chapterCount; ++i)
    info.chapters[i].duration = static_cast<double>(title.chapters[i].duration) / 90000.0;

  info.audioCount = static_cast<int32_t>(std::min<size_t>(title.audio.size(), kDvdInfoMaxAudio));
  for (int i = 0; i < info.audioCount; ++i) {
    const DvdAudio& a = title.audio[i];
    DvdAudioInfo& out = info.audio[i];
    out.codec = a.codec;
    out.streamId = a.codec == kDvdAudioMpeg ? a.streamId : (a.streamId >> 8) & 0xFF;
    out.sampleRate = a.sampleRate;
    out.channels = a.channels;
    CopyText(out.language, a.language);
    out.codeExtension = a.codeExtension;
  }

  info.subtitleCount = static_cast<int32_t>(std::min<size_t>(title.subtitles.size(), kDvdInfoMaxSubtitles));
  for (int i = 0; i < info.subtitleCount; ++i) {
    const DvdSubtitle& s = title.subtitles[i];
    DvdSubtitleInfo& out = info.subtitles[i];
    out.zero = 0;
    out.streamId = (s.streamId >> 8) & 0xFF;
    CopyText(out.language, s.language);
    out.codeExtension = s.codeExtension;
  }
  std::sort(info.subtitles, info.subtitles + info.subtitleCount, CompareSubtitleEntry);

  info.videoKind = title.videoKind;
  info.videoStreamId = title.videoStreamId;
  info.width = title.width;
  info.height = title.height;
  info.videoFormat = title.videoFormat;
  info.aspect = static_cast<int32_t>(title.aspect + 0.1);
  std::copy(title.palette.begin(), title.palette.end(), info.palette);
}

void MarkUnusable(DvdTitleInfo& info) {
  info.valid = 0;
  info.duration = 0;
  info.chapterCount = 0;
  info.audioCount = 0;
  info.subtitleCount = 0;
  info.label[0] = 0;
  info.unused = 0;
}

// 1-based index of the longest element; the first of equally long ones, 1 when none lasts.
int LongestTitle(const DvdTitleInfo* info, int count) {
  int longest = 0;
  double longestDuration = 0.0;
  for (int i = 0; i < count; ++i) {
    if (info[i].duration > longestDuration) {
      longestDuration = info[i].duration;
      longest = i;
    }
  }
  return longest + 1;
}

}  // namespace

bool CompareSubtitleEntry(const DvdSubtitleInfo& a, const DvdSubtitleInfo& b) { return a.streamId < b.streamId; }

int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, bool vote) {
  return DvdFillTitleInfo(path, info, kDvdInfoMaxTitles, vote);
}

int DvdFillTitleInfo(const char* path, DvdTitleInfo* info, int capacity, bool vote) {
  if (path == nullptr || info == nullptr || capacity <= 0) return 0;
  DvdNavHandlePtr handle = DvdInit(path);
  if (!handle) return 0;

  const int count = std::min(DvdTitleCount(*handle), capacity);
  for (int t = 1; t <= count; ++t) {
    if (const DvdTitlePtr title = DvdTitleScan(*handle, t))
      FillFromTitle(info[t - 1], *title);
    else
      MarkUnusable(info[t - 1]);
  }

  g_mainTitle = 0;
  int main = 0;
  // The vote plays the disc's menus, which may lead into a title set the libraries must not open.
  const bool anyRefused = handle->view && handle->view->AnyRefused();
  if (vote && count >= kVoteMinTitles && !anyRefused) {
    const int voted = DvdFindMainTitle(handle->nav.get());
    // Only a title that scanned is worth preselecting.
    if (voted >= 1 && voted <= count && info[voted - 1].valid) main = voted;
  }
  if (main == 0) main = LongestTitle(info, count);
  g_mainTitle = main;
  DvdClose(handle);
  return count;
}

int DvdMainTitleIndex() { return g_mainTitle - 1; }

int GetMainTitleIndex() { return DvdMainTitleIndex(); }
