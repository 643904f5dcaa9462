// velmo-gallery clip-range: the clip range dialog over a task of one source of
// a given length, with a stored range to open on and times typed into the
// pickers; prints what the pickers show and, after OK, the stored range and
// the task's duration. Frames stay blank (no engine).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frontend/controls/time_picker.h"
#include "frontend/dialogs/dlg_clip_range.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/task.h"
#include "frontend/tools/velmo-gallery/gallery.h"
#include "platform/win_types.h"

namespace fs = std::filesystem;

namespace {

// "A,B" as two whole numbers from 0 up.
void ParsePair(const std::string& option, const std::string& text, int32_t* first, int32_t* second) {
  char* end = nullptr;
  const long a = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != ',') GalleryUsage("bad value \"" + text + "\" for --" + option);
  const char* rest = end + 1;
  const long b = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || a < 0 || b < 0 || a > 86399 || b > 86399)
    GalleryUsage("bad value \"" + text + "\" for --" + option + " (seconds 0..86399)");
  *first = int32_t(a);
  *second = int32_t(b);
}

std::string Shown(UiDialog& d, int id) {
  auto* picker = dynamic_cast<CTimePicker*>(d.Item(id));
  return picker != nullptr ? picker->text().toStdString() : "";
}

int RunClipRange(GalleryArgs& args) {
  char* end = nullptr;
  const std::string lengthText = args.Value("length", "60");
  const double length = std::strtod(lengthText.c_str(), &end);
  if (end == lengthText.c_str() || *end != '\0' || !(length >= 0 && length < 1e7))
    GalleryUsage("--length takes seconds from 0");
  int32_t stored[2] = {0, 0}, typed[2] = {-1, -1};
  if (args.Has("range")) ParsePair("range", args.Value("range"), &stored[0], &stored[1]);
  if (args.Has("type")) ParsePair("type", args.Value("type"), &typed[0], &typed[1]);

  auto record = std::make_unique<MediaInfoRecord>();
  *record = MediaInfoRecord{};
  record->length = length;
  record->trackCount = 1;
  const std::string video = "\"TYPE\"=0,\"STREAMID\"=0,\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', '4', 'V')) +
                            ",\"WIDTH\"=320,\"HEIGHT\"=240,\"FRAMERATE\"=F25";
  SetJobText(record->tracks[0], video);
  OutputSettings output;
  SetJobText(output.muxer, "[FFM]AVI");
  SetJobText(output.videoCodec, "[FFM]MPEG4");
  SetJobText(output.audioCodec, "NONE");
  SetJobText(output.ext, "avi");
  std::string message;
  std::unique_ptr<CTask> task = MakeTask("/media/clip.avi", *record, output, {}, message);
  if (!task) return GalleryFailed(message);
  task->sources[0]->clipStart = stored[0];
  task->sources[0]->clipEnd = stored[1];

  std::string pattern = (fs::temp_directory_path() / "velmo-gallery-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return GalleryFailed("cannot make a folder for the frames");
  ClipRangeSettings settings;
  settings.dataFolder = pattern;
  FrameRenderer previous = SetFrameRenderer([](WindowId, FrameJob&) { return false; });
  CDlgClipRange dialog(*task, settings);
  std::string start, stop, clip;
  const int result = args.RunModal([&dialog] { return dialog.DoModal(); },
                                   [&](UiDialog& d) {
                                     auto picker = [&d](int id) { return dynamic_cast<CTimePicker*>(d.Item(id)); };
                                     if (typed[0] >= 0) {
                                       picker(IDC_CLIP_START)->setTime(QTime(0, 0).addSecs(typed[0]));
                                       picker(IDC_CLIP_END)->setTime(QTime(0, 0).addSecs(typed[1]));
                                     }
                                     start = Shown(d, IDC_CLIP_START);
                                     stop = Shown(d, IDC_CLIP_END);
                                     clip = Shown(d, IDC_CLIP_TIME);
                                   });
  WaitForFrameRenderWorkers(10000);
  SetFrameRenderer(previous);
  std::error_code ec;
  fs::remove_all(pattern, ec);

  std::printf("result=%s\n", result == IDOK ? "OK" : "CANCEL");
  std::printf("pickers=%s,%s,%s\n", start.c_str(), stop.c_str(), clip.c_str());
  std::printf("clip=%d,%d\n", task->sources[0]->clipStart, task->sources[0]->clipEnd);
  std::printf("duration=%s\n", task->GetDurationText().c_str());
  return result == IDOK ? 0 : 1;
}

const GalleryRegistrar kClipRange({"clip-range",
                                   "the clip range dialog over one video source: pickers, slider, the range OK stores",
                                   {
                                       {"length", "SECONDS", "the source's probed length (default 60)"},
                                       {"range", "START,END", "the stored clip it opens on (END 0: to the end)"},
                                       {"type", "START,END", "times typed into the start and end pickers"},
                                   },
                                   RunClipRange});

}  // namespace
