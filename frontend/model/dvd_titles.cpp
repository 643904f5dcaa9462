#include "frontend/model/dvd_titles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "frontend/model/param_text.h"
#include "platform/win_types.h"

namespace {

constexpr int32_t kVideoFormatNtsc = 0;  // the title's video format: 0 NTSC, 1 PAL
constexpr int32_t kAspect16x9 = 3;       // aspect code: 0 4:3, 3 16:9
constexpr double kNtscFrameRate = 30000.0 / 1001.0;
constexpr double kPalFrameRate = 25.0;

std::string Printf(const char* format, int32_t a, int32_t b = 0, int32_t c = 0) {
  char text[160];
  std::snprintf(text, sizeof(text), format, a, b, c);
  return text;
}

// A text field of the scan, up to its terminator or its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

int32_t Clamp(int32_t value, int32_t high) { return std::clamp(value, 0, high); }

// a x b, or 0 when it leaves the int32 range.
int32_t Product(int32_t a, int32_t b) {
  const int64_t p = int64_t{a} * b;
  return p < std::numeric_limits<int32_t>::min() || p > std::numeric_limits<int32_t>::max() ? 0
                                                                                            : static_cast<int32_t>(p);
}

bool SetTrack(MediaInfoRecord& record, CParamList& list) {
  const bool fits = SetJobText(record.tracks[record.trackCount], ParamListText(list));
  list.Clear();
  if (fits) ++record.trackCount;
  return fits;
}

void AddVideoTrack(const DvdTitleInfo& info, MediaInfoRecord& record) {
  CParamList list;
  list.SetInt("STREAMID", info.videoStreamId);
  list.SetInt("TYPE", 0);
  list.SetInt("WIDTH", info.width);
  list.SetInt("HEIGHT", info.height);
  list.SetDouble("FRAMERATE", info.videoFormat == kVideoFormatNtsc ? kNtscFrameRate : kPalFrameRate);
  const bool wide = info.aspect == kAspect16x9;
  list.SetInt("PNAN", Product(info.height, wide ? 16 : 4));
  list.SetInt("PNAD", Product(info.width, wide ? 9 : 3));
  const int32_t code =
      info.videoKind == 10 ? static_cast<int32_t>(MakeFourcc("MPG1")) : static_cast<int32_t>(MakeFourcc("MPG2"));
  list.SetInt("FCC", code);
  list.SetInt("VFCC", code);
  SetTrack(record, list);
}

struct AudioCodes {
  int32_t format;
  int32_t fcc;
  char vfcc[5];
};
constexpr AudioCodes kAudioCodes[] = {
    {0x800, 0x2000, "AC3A"}, {0x4000, 0x2001, "DTSA"}, {0x2000, 0x3026, "DPCM"}, {0x1000, 0x50, "MP2A"}};

void AddAudioTrack(const DvdAudioInfo& a, MediaInfoRecord& record) {
  CParamList list;
  list.SetInt("STREAMID", a.streamId);
  list.SetString("LANG", FieldText(a.language).c_str());
  list.SetInt("TYPE", 1);
  list.SetInt("SAMPLERATE", a.sampleRate);
  list.SetInt("CHANNEL", a.channels);
  for (const AudioCodes& c : kAudioCodes)
    if (a.codec == c.format) {
      list.SetInt("FCC", c.fcc);
      list.SetInt("VFCC", static_cast<int32_t>(MakeFourcc(c.vfcc)));
    }
  SetTrack(record, list);
}

void AddSubpictureTrack(const DvdSubtitleInfo& s, MediaInfoRecord& record) {
  CParamList list;
  list.SetInt("STREAMID", s.streamId);
  list.SetString("LANG", FieldText(s.language).c_str());
  list.SetInt("TYPE", 2);
  list.SetInt("FCC", 0);
  list.SetInt("VFCC", static_cast<int32_t>(MakeFourcc("DVDS")));
  SetTrack(record, list);
}

}  // namespace

std::string DvdSourceText(int32_t title, int32_t firstChapter, int32_t lastChapter, std::string_view path) {
  return Printf("dvd:%d,%d,%d,", title, firstChapter, lastChapter) + std::string(path);
}

std::string DvdTaskTitle(int32_t title, int32_t firstChapter, int32_t lastChapter) {
  if (firstChapter <= 0) return Printf("Title-%02d", title);
  if (lastChapter == firstChapter) return Printf("Title-%02d-chap-%02d", title, firstChapter);
  return Printf("Title-%02d-chap-%02d-%02d", title, firstChapter, lastChapter);
}

std::string DvdTaskDescription(std::string_view path, int32_t title, int32_t firstChapter, int32_t lastChapter) {
  std::string text(path);
  if (firstChapter <= 0) return text + Printf(",Title %02d", title);
  if (lastChapter == firstChapter) return text + Printf(",Title %02d,Chapter %02d", title, firstChapter);
  return text + Printf(",Title %02d,Chapters %02d-%02d", title, firstChapter, lastChapter);
}

uint32_t DvdWholeSeconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return seconds >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(seconds);
}

TaskOptions DvdTaskOptions(const TaskOptions& options) {
  TaskOptions dvdOptions = options;
  dvdOptions.scaleMode = 1;
  dvdOptions.pickSubtitle = false;
  return dvdOptions;
}

CTask* AddDvdTask(const std::string& source, const MediaInfoRecord& record, const std::string& title,
                  const std::string& description, bool checked, const OutputSettings& settings,
                  const TaskOptions& options, CTaskList& tasks, std::string& message) {
  CTask* task = tasks.AddTask(source, record, settings, options, message);
  if (!task) return nullptr;
  task->title = title;
  task->displayName = description;
  task->checked = checked;
  task->PrependVideoFilter(kDvdLevelsFilter, kDvdLevelsParams, 0);
  return task;
}

void MakeDvdTitleRecord(const DvdTitleInfo& info, int32_t number, double length, MediaInfoRecord& record,
                        std::vector<std::string>* notes) {
  std::memset(&record, 0, sizeof(record));
  std::memcpy(record.palette, info.palette, sizeof(record.palette));
  record.paletteValid = 1;
  record.result = 0;
  record.length = length;

  const auto note = [&](const std::string& line) {
    if (notes) notes->push_back(line);
  };
  const int32_t audio = Clamp(info.audioCount, kDvdInfoMaxAudio);
  const int32_t subpictures = Clamp(info.subtitleCount, kDvdInfoMaxSubtitles);
  if (audio != info.audioCount)
    note(Printf("Title %02d: the scan gives %d audio tracks; %d are read.", number, info.audioCount, audio));
  if (subpictures != info.subtitleCount)
    note(Printf("Title %02d: the scan gives %d subpicture tracks; %d are read.", number, info.subtitleCount,
                subpictures));

  static_assert(1 + kDvdInfoMaxAudio <= kDvdMaxTracks, "every audio track of a title has its slot");
  AddVideoTrack(info, record);
  for (int32_t i = 0; i < audio; ++i) AddAudioTrack(info.audio[i], record);
  const int32_t subpicturesKept = std::min(subpictures, kDvdMaxTracks - 1 - audio);
  for (int32_t i = 0; i < subpicturesKept; ++i) AddSubpictureTrack(info.subtitles[i], record);
  if (subpicturesKept < subpictures)
    note(Printf("Title %02d: subpicture tracks %d to %d left out", number, subpicturesKept + 1, subpictures) +
         Printf(": a title holds %d tracks (the video, the %d audio tracks, then subpictures by stream id).",
                kDvdMaxTracks, audio));
}

bool AddDvdTitles(const DvdTitleInfo* table, int32_t count, int32_t mainIndex, const std::string& path,
                  const OutputSettings& settings, const TaskOptions& options, CTaskList& tasks, IDvdTitleView& view,
                  DvdLoadReport& report) {
  const TaskOptions dvdOptions = DvdTaskOptions(options);
  auto record = std::make_unique<MediaInfoRecord>();
  std::string message;
  bool selected = false;
  for (int32_t t = 1; table && t <= count; ++t) {
    const DvdTitleInfo& info = table[t - 1];
    if (info.valid == 0) {
      report.notes.push_back(Printf("Title %02d cannot be read: no row.", t));
      continue;
    }
    const int32_t chapters = Clamp(info.chapterCount, kDvdInfoMaxChapters);
    // A full (or empty) chapter table may not name the title's last chapter:
    // the title's source then reads to the title's end.
    const bool wholeByEnd = chapters == 0 || chapters == kDvdInfoMaxChapters;
    if (chapters == kDvdInfoMaxChapters)
      report.notes.push_back(
          Printf("Title %02d: rows for its first %d chapters; the title's row converts the "
                 "whole title.",
                 t, kDvdInfoMaxChapters));
    const bool checked = t == mainIndex + 1;

    MakeDvdTitleRecord(info, t, info.duration, *record, &report.notes);
    CTask* title =
        AddDvdTask(DvdSourceText(t, 1, wholeByEnd ? kDvdLastChapterOfAnyTitle : chapters, path), *record,
                   DvdTaskTitle(t), DvdTaskDescription(path, t), checked, settings, dvdOptions, tasks, message);
    if (!title) {
      report.notes.push_back(Printf("Title %02d: no row: ", t) + message);
      continue;
    }
    title->duration = DvdWholeSeconds(info.duration);
    const IDvdTitleView::Row row = view.AddTaskRow(*title, title->title, nullptr, checked);
    ++report.titles;
    ++report.rows;
    if (checked && !selected) {
      view.SelectRow(row);
      selected = true;
    }
    if (chapters <= 1) continue;
    for (int32_t i = 1; i <= chapters; ++i) {
      record->length = info.chapters[i - 1].duration;
      CTask* chapter = AddDvdTask(DvdSourceText(t, i, i, path), *record, DvdTaskTitle(t, i, i),
                                  DvdTaskDescription(path, t, i, i), checked, settings, dvdOptions, tasks, message);
      if (!chapter) {
        report.notes.push_back(Printf("Title %02d, chapter %02d: no row: ", t, i) + message);
        continue;
      }
      view.AddTaskRow(*chapter, chapter->title, row, checked);
      ++report.rows;
    }
  }
  if (report.titles == 0) {
    report.message = count > 0 ? "\"" + path + "\" holds no title that can be converted." +
                                     (message.empty() ? std::string() : " " + message)
                               : "\"" + path + "\" holds no DVD-Video title.";
    return false;
  }
  return true;
}

bool LoadDvdTitles(const std::string& path, const OutputSettings& settings, const TaskOptions& options,
                   CTaskList& tasks, IDvdTitleView& view, DvdLoadReport& report) {
  report = DvdLoadReport();
  view.BeginLoad();
  tasks.Clear();
  // One scan table, zeroed, for this load only.
  std::vector<DvdTitleInfo> table(kDvdInfoMaxTitles);
  const int count = DvdFillTitleInfo(path.c_str(), table.data(), static_cast<int>(table.size()), true);
  bool loaded = false;
  if (count <= 0)
    report.message = "Cannot read a DVD-Video structure at \"" + path +
                     "\": it is no disc or folder with a VIDEO_TS folder, or its titles cannot be read.";
  else
    loaded = AddDvdTitles(table.data(), count, GetMainTitleIndex(), path, settings, options, tasks, view, report);
  view.EndLoad();
  return loaded;
}
