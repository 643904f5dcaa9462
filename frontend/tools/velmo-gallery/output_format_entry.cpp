// velmo-gallery output-format: the "Output format" dialog opened on a node and
// profile of the profile tree, optionally with another node or profile chosen
// and values typed, then the summary line and the output settings it returns.
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <cstdio>
#include <string>

#include "frontend/controls/column_tree.h"
#include "frontend/controls/option_combo.h"
#include "frontend/controls/tab_ctrl.h"
#include "frontend/dialogs/dlg_output_format.h"
#include "frontend/model/profile_db.h"
#include "frontend/tools/velmo-gallery/gallery.h"

namespace {

int ParseNumber(const std::string& option, const std::string& text) {
  try {
    size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (...) {
  }
  GalleryUsage("--" + option + " takes a number, not \"" + text + "\"");
}

// "video.KEY=VALUE" or "audio.KEY=VALUE": typed or picked on that page.
void SetValue(CDlgOutputFormat& dialog, const std::string& assignment) {
  const size_t dot = assignment.find('.'), eq = assignment.find('=');
  const std::string kind = dot != std::string::npos ? assignment.substr(0, dot) : "";
  if ((kind != "video" && kind != "audio") || eq == std::string::npos || eq < dot) {
    std::fprintf(stderr, "velmo-gallery output-format: --set takes video.KEY=VALUE or audio.KEY=VALUE, not \"%s\"\n",
                 assignment.c_str());
    return;
  }
  const std::string key = assignment.substr(dot + 1, eq - dot - 1), value = assignment.substr(eq + 1);
  CDlgCodecSettings* page = kind == "video" ? static_cast<CDlgCodecSettings*>(dialog.VideoPage())
                                            : static_cast<CDlgCodecSettings*>(dialog.AudioPage());
  COptionCombo* combo = page != nullptr ? page->ComboFor(key) : nullptr;
  if (combo == nullptr || !combo->isEnabled()) {
    std::fprintf(stderr, "velmo-gallery output-format: the %s page shows no value \"%s\"\n", kind.c_str(), key.c_str());
    return;
  }
  if (combo->isEditable()) {
    combo->setEditText(QString::fromStdString(value));
    combo->lineEdit()->setModified(true);
    combo->CommitEdit();
    return;
  }
  for (int i = 0; i < combo->count(); ++i) {
    combo->setCurrentIndex(i);
    if (combo->GetValueText() == value || combo->itemText(i) == QString::fromStdString(value)) {
      emit combo->activated(i);
      return;
    }
  }
  std::fprintf(stderr, "velmo-gallery output-format: \"%s\" is not one of the values of %s\n", value.c_str(),
               key.c_str());
}

void PrintSettings(OutputSettings& s) {
  std::printf("settings.name=%s\nsettings.muxer=%s\nsettings.ext=%s\n", s.name, s.muxer, s.ext);
  std::printf("settings.audio-codec=%s\nsettings.sample-rate=%d\nsettings.channels=%d\n", s.audioCodec, s.sampleRate,
              s.channels);
  std::printf("settings.audio-bitrate=%d\nsettings.volume=%d\n", s.audioBitrate, s.volume);
  std::printf("settings.video-codec=%s\nsettings.width=%d\nsettings.height=%d\n", s.videoCodec, s.width, s.height);
  std::printf("settings.video-bitrate=%d\nsettings.frame=%d/%d\nsettings.bpp=%d\n", s.videoBitrate, s.frameNum,
              s.frameDen, s.rawBitsPerPixel);
  std::printf("settings.audio-fourcc=%d\nsettings.video-fourcc=%d\n", s.jobWordA, s.jobWordB);
  std::printf("settings.muxer-params=%s\nsettings.audio-params=%s\nsettings.video-params=%s\n", s.muxerParams,
              s.audioParams, s.videoParams);
}

int RunOutputFormat(GalleryArgs& args) {
  CDlgOutputFormat dialog;
  dialog.SetCurrentProfile(args.Value("node", "V_10_MP4"), ParseNumber("profile", args.Value("profile", "1")));
  const std::string chooseNode = args.Value("choose-node");
  const bool chooseProfile = args.Has("choose-profile");
  const int chosenNumber = chooseProfile ? ParseNumber("choose-profile", args.Value("choose-profile")) : 0;
  const std::string tab = args.Value("tab");
  if (!tab.empty() && tab != "video" && tab != "audio") GalleryUsage("--tab takes video or audio");
  const std::vector<std::string> sets = args.Values("set");

  const int result =
      args.RunModal([&dialog] { return dialog.DoModal(); },
                    [&](UiDialog&) {
                      if (!chooseNode.empty()) {
                        if (QTreeWidgetItem* item = dialog.NodeItem(chooseNode))
                          dialog.NodeTree()->setCurrentItem(item);
                        else
                          std::fprintf(stderr, "velmo-gallery output-format: no node \"%s\"\n", chooseNode.c_str());
                      }
                      if (chooseProfile) {
                        if (QTreeWidgetItem* row = dialog.ProfileRow(chosenNumber))
                          dialog.ProfileList()->Tree().setCurrentItem(row);
                        else
                          std::fprintf(stderr, "velmo-gallery output-format: no profile %d\n", chosenNumber);
                      }
                      for (const std::string& s : sets) SetValue(dialog, s);
                      const int wanted = tab == "audio" ? dialog.AudioTab() : dialog.VideoTab();
                      if (!tab.empty() && wanted != kNoTab) {
                        dialog.Tabs()->SetCurSel(wanted);
                        dialog.OnNotify(UiNotify{dialog.Tabs(), IDC_SETTING_TABS, TCN_SELCHANGE});
                      }
                    });
  std::printf("result=%s\n", result == IDOK ? "OK" : "CANCEL");
  std::string summary, node;
  int32_t number = 0;
  dialog.FormatProfileSummary(summary, node, number);
  std::printf("node=%s\nprofile=%d\nsummary=%s\n", node.c_str(), number, summary.c_str());
  if (const OutputProfile* profile = dialog.CurrentProfile()) std::printf("desc=%s\n", profile->desc.c_str());
  if (result == IDOK) PrintSettings(dialog.Settings());
  return 0;
}

const GalleryRegistrar kOutputFormat({"output-format",
                                      "the \"Output format\" dialog on a node and profile of the profile tree",
                                      {
                                          {"node", "FOLDER", "the node folder it opens on (default V_10_MP4)"},
                                          {"profile", "N", "the profile number it opens on (default 1)"},
                                          {"choose-node", "FOLDER", "choose another node once it shows"},
                                          {"choose-profile", "N", "choose another profile row once it shows"},
                                          {"set", "KIND.KEY=VALUE",
                                           "type or pick a value on the video or audio page (repeatable)"},
                                          {"tab", "KIND", "show the video or audio page"},
                                      },
                                      RunOutputFormat});

}  // namespace
