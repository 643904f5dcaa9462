// velmo-cli dvd-scan: the title tree the main window shows for a disc or DVD folder.
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "frontend/model/dvd_titles.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "frontend/tools/velmo-cli/profile_option.h"

namespace {

enum Option { kProfile, kFolder, kOut };

const std::vector<CliOption> kOptions = {
    {"profile", true, "CHOICE", "the output choice: FIELD=VALUE (repeatable) or a profile NAME (NODE/NUMBER too)"},
    {"folder", true, "DIR", "output folder of the selected title's task (default: the current folder)"},
    {"out", true, "FILE", "also write the convert record of the selected title's task to FILE"},
};

void PrintHelp() {
  std::printf(
      "Usage: velmo-cli dvd-scan PATH [OPTION]...\n"
      "Scans the DVD disc image, drive or folder at PATH as the main window loads it and prints\n"
      "its title tree: one row per title, \"[x]\" for the checked (main) title, which comes first\n"
      "and is selected, with its duration and \"dvd:\" source; under it each track (\"*\" where\n"
      "the task converts it) and one row per chapter. Lines starting \"note:\" (standard error)\n"
      "say what was left out.\n\n%s\nProfile fields (--profile FIELD=VALUE):\n%s",
      OptionHelp(kOptions).c_str(), ProfileFieldHelp().c_str());
}

// The tree as the main window would hold it.
class TreeView final : public IDvdTitleView {
 public:
  struct Node {
    CTask* task = nullptr;
    std::string text;
    bool checked = false;
  };

  void BeginLoad() override {
    nodes_.clear();
    roots_.clear();
    children_.clear();
    selected_ = nullptr;
  }
  Row AddTaskRow(CTask& task, const std::string& text, Row parent, bool checked) override {
    const Node& node = nodes_.emplace_back(Node{&task, text, checked});
    if (parent)
      children_[static_cast<const Node*>(parent)].push_back(&node);
    else if (checked)
      roots_.insert(roots_.begin(), &node);
    else
      roots_.push_back(&node);
    return &node;
  }
  void SelectRow(Row row) override { selected_ = static_cast<const Node*>(row); }
  void EndLoad() override {}

  const std::vector<const Node*>& Roots() const { return roots_; }
  std::vector<const Node*> Children(const Node* node) const {
    const auto it = children_.find(node);
    return it == children_.end() ? std::vector<const Node*>() : it->second;
  }
  const Node* Selected() const { return selected_; }

 private:
  std::deque<Node> nodes_;  // addresses stay put as rows are added
  std::vector<const Node*> roots_;
  std::map<const Node*, std::vector<const Node*>> children_;
  const Node* selected_ = nullptr;
};

void PrintRow(const TreeView::Node& node, int depth) {
  const CTask& task = *node.task;
  std::printf("%*s[%c] %s  %s  %s\n", 4 * depth, "", node.checked ? 'x' : ' ', node.text.c_str(),
              task.GetDurationText().c_str(), task.GetSourceName().c_str());
}

void PrintTracks(const CTask& task) {
  if (task.sources.empty()) return;
  const MediaInfo& source = *task.sources.front();
  for (int32_t k = 0; k < source.record.TrackCount(); ++k) {
    StreamCodes codes;
    const std::string text = ParseStreamParams(source.record.Track(k), codes);
    std::printf("      %2d %c %s\n", k, source.chosen[k] ? '*' : ' ', text.c_str());
  }
}

}  // namespace

int DvdScanCommand(int argc, char** argv) {
  std::string folder, out, message;
  OutputSettings settings;
  DefaultOutputSettings(settings);
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, kOptions,
      [&](size_t id, const std::string& value) {
        switch (id) {
          case kProfile:
            if (!ApplyProfileOption(settings, value, message)) Usage(message);
            break;
          case kFolder:
            folder = value;
            break;
          case kOut:
            out = value;
            break;
        }
      },
      &help);
  if (help) {
    PrintHelp();
    return 0;
  }
  if (rest.size() != 1 || rest.front().empty())
    Usage(rest.empty() ? "dvd-scan needs the PATH of a disc or DVD folder" : "dvd-scan takes one PATH");

  // Codec names for the track texts; without the table the texts show codes.
  LoadCodecTables();
  CTaskList tasks;
  TreeView view;
  DvdLoadReport report;
  bool loaded = false;
  {
    TracesToStderr traces;
    loaded = LoadDvdTitles(AbsolutePath(rest.front()), settings, TaskOptions{}, tasks, view, report);
  }
  for (const std::string& note : report.notes) std::fprintf(stderr, "note: %s\n", note.c_str());
  if (!loaded) return CommandFailed(report.message);

  for (const TreeView::Node* title : view.Roots()) {
    PrintRow(*title, 0);
    PrintTracks(*title->task);
    for (const TreeView::Node* chapter : view.Children(title)) PrintRow(*chapter, 1);
  }
  std::printf("%d titles, %d rows; selected: %s\n", report.titles, report.rows,
              view.Selected() ? view.Selected()->text.c_str() : "none");

  if (out.empty()) return 0;
  if (!view.Selected()) return CommandFailed("no title is selected: no convert record written");
  CTask& task = *view.Selected()->task;
  OutputNameList names;
  names.SetFolder(AbsolutePath(folder));
  if (!task.MakeOutputPath(names, message)) return CommandFailed(message);
  if (!WriteWholeFile(out, SerialiseRecord(task.job), message)) return CommandFailed(message);
  std::printf("convert record of %s written to %s; output %s\n", view.Selected()->text.c_str(), out.c_str(),
              task.job.output.path);
  return 0;
}
