#include "frontend/tools/velmo-cli/dvd_source.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/dvd/dvd_title_list.h"
#include "frontend/model/dvd_titles.h"
#include "frontend/tools/velmo-cli/cli.h"

namespace {

constexpr char kDvdForms[] = "dvd:TITLE,FIRST,LAST,DISC or dvd:DISC";

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append(1, '"').append(text).append(1, '"');
  return quoted;
}

// One number of the list at text[at]: an optional sign, digits, then a comma.
// Sets end to the comma; false when the text there is no such number.
bool ListNumber(std::string_view text, size_t at, size_t& end) {
  end = at;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const size_t digits = end;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  return end > digits && end < text.size() && text[end] == ',';
}

// The length of chapters first..last of a scanned title: the title's end when
// last is at or past the last chapter the scan knows of, unless the scan's
// chapter table is full (the title may go on past it).
double RangeLength(const DvdTitleInfo& info, int32_t chapters, int32_t first, int32_t last, bool toEnd) {
  double before = 0.0, through = 0.0;
  for (int32_t c = 1; c < first; ++c) before += info.chapters[c - 1].duration;
  for (int32_t c = first; c <= std::min(last, chapters); ++c) through += info.chapters[c - 1].duration;
  const double length = toEnd ? info.duration - before : through;
  return std::max(length, 0.0);
}

}  // namespace

bool IsDvdSource(std::string_view source) { return source.size() >= 4 && strncasecmp(source.data(), "dvd:", 4) == 0; }

bool ParseDvdSource(std::string_view source, DvdSourceRange& range, std::string& message) {
  const auto malformed = [&](const std::string& why) {
    message = "malformed DVD source " + Quoted(source) + ": " + why + " (give " + kDvdForms + ")";
    return false;
  };
  if (!IsDvdSource(source)) return malformed("it does not begin with dvd:");
  const std::string_view rest = source.substr(4);
  int32_t numbers[3] = {};
  size_t at = 0;
  int count = 0;
  for (size_t end = 0; count < 3 && ListNumber(rest, at, end); ++count, at = end + 1) {
    const char* begin = rest.data() + at + (rest[at] == '+' ? 1 : 0);
    const auto [stop, ec] = std::from_chars(begin, rest.data() + end, numbers[count]);
    if (ec != std::errc() || stop != rest.data() + end)
      return malformed(Quoted(rest.substr(at, end - at)) + " is not a number in range");
  }
  if (count == 0) {
    // "dvd:DISC": the engine reads title 1, chapter 1.
    if (rest.empty()) return malformed("no disc path");
    range = DvdSourceRange{1, 1, 1, std::string(rest)};
    return true;
  }
  if (count < 3) return malformed("the numbers before the disc path are not TITLE,FIRST,LAST");
  if (at >= rest.size()) return malformed("no disc path after TITLE,FIRST,LAST");
  if (numbers[0] < 1) return malformed("titles are numbered from 1");
  if (numbers[1] < 1) return malformed("chapters are numbered from 1");
  if (numbers[2] < numbers[1]) return malformed("the last chapter is below the first");
  range = DvdSourceRange{numbers[0], numbers[1], numbers[2], std::string(rest.substr(at))};
  return true;
}

CTask* MakeDvdTaskFromArgs(const TaskArgs& args, CTaskList& tasks, std::string& message) {
  DvdSourceRange range;
  if (!ParseDvdSource(args.source, range, message)) return nullptr;
  const std::string path = AbsolutePath(range.path);
  const int32_t t = range.title;

  // One scan table, zeroed, as the main window's load has.
  std::vector<DvdTitleInfo> table(kDvdInfoMaxTitles);
  int count = 0;
  {
    TracesToStderr traces;
    count = DvdFillTitleInfo(path.c_str(), table.data(), static_cast<int>(table.size()), true);
  }
  if (count <= 0) {
    message = "cannot read a DVD-Video structure at " + Quoted(path) +
              ": it is no disc or folder with a VIDEO_TS folder, or its titles cannot be read";
    return nullptr;
  }
  if (t > count) {
    message = Quoted(path) + " has " + std::to_string(count) + (count == 1 ? " title" : " titles") + ": no title " +
              std::to_string(t);
    return nullptr;
  }
  const DvdTitleInfo& info = table[t - 1];
  if (info.valid == 0) {
    message = "title " + std::to_string(t) + " of " + Quoted(path) + " cannot be read";
    return nullptr;
  }

  // The chapters as the main window counts them; without a chapter table the
  // title is one range.
  const int32_t chapters = std::clamp(info.chapterCount, 0, kDvdInfoMaxChapters);
  const bool fullTable = chapters == kDvdInfoMaxChapters;
  const int32_t known = std::max(chapters, 1);
  if (range.firstChapter > known) {
    message = "title " + std::to_string(t) + " of " + Quoted(path) +
              (fullTable ? " has more chapters than the scan holds (" + std::to_string(chapters) + ")"
                         : " has " + std::to_string(known) + (known == 1 ? " chapter" : " chapters")) +
              ": no chapter " + std::to_string(range.firstChapter);
    return nullptr;
  }
  const bool toEnd = chapters == 0 || (fullTable ? range.lastChapter > chapters : range.lastChapter >= chapters);
  const bool wholeTitle = range.firstChapter == 1 && toEnd;
  const int32_t lastShown = toEnd && !fullTable ? known : range.lastChapter;

  auto record = std::make_unique<MediaInfoRecord>();
  std::vector<std::string> notes;
  MakeDvdTitleRecord(info, t, RangeLength(info, chapters, range.firstChapter, range.lastChapter, toEnd), *record,
                     &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "note: %s\n", note.c_str());
  // The tracks and length given on the command line win, as for files.
  if (args.record->trackCount > 0) {
    std::memcpy(record->tracks, args.record->tracks, sizeof(record->tracks));
    record->trackCount = args.record->trackCount;
  }
  if (args.lengthGiven) record->length = args.record->length;

  TaskOptions options = DvdTaskOptions(args.options);
  if (args.scaleModeGiven) options.scaleMode = args.options.scaleMode;
  const std::string source = DvdSourceText(t, range.firstChapter, range.lastChapter, path);
  CTask* task = wholeTitle ? AddDvdTask(source, *record, DvdTaskTitle(t), DvdTaskDescription(path, t), true,
                                        args.settings, options, tasks, message)
                           : AddDvdTask(source, *record, DvdTaskTitle(t, range.firstChapter, lastShown),
                                        DvdTaskDescription(path, t, range.firstChapter, lastShown), true, args.settings,
                                        options, tasks, message);
  if (!task) return nullptr;
  if (wholeTitle && !args.lengthGiven) task->duration = DvdWholeSeconds(info.duration);
  if (!GiveOutputPath(args, *task, message)) return nullptr;
  return task;
}
