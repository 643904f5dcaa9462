// The shipped filter descriptions in the filter pages: the picker lists every
// one by its display name; picking one opens its own dialog (or "Advance
// settings", or nothing for a filter without settings), and accepting the
// dialog unchanged gives the description's OPTION text; "Config..." on the
// new row opens the same dialog again.
#include <gtest/gtest.h>

#include <QListWidget>
#include <string>
#include <vector>

#include "frontend/controls/drag_list.h"
#include "frontend/dialogs/dlg_advance_settings.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/dialogs/dlg_filter_list.h"
#include "frontend/dialogs/dlg_filter_pages.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/param_text.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task.h"
#include "frontend/ui/modal_script.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

// The kind of a dialog the filter page opened.
std::string KindOf(UiDialog& d) {
  if (dynamic_cast<CDlgCropResize*>(&d) != nullptr) return "crop";
  if (dynamic_cast<CDlgLevels*>(&d) != nullptr) return "levels";
  if (dynamic_cast<CDlgTweak*>(&d) != nullptr) return "tweak";
  if (dynamic_cast<CDlgWatermark*>(&d) != nullptr) return "watermark";
  if (dynamic_cast<CDlgSubtitle*>(&d) != nullptr) return "subtitle";
  if (dynamic_cast<CDlgEqualizer*>(&d) != nullptr) return "equalizer";
  if (dynamic_cast<CDlgAdvanceSettings*>(&d) != nullptr) return "advance " + d.windowTitle().toStdString();
  return "other";
}

// A parameter text in the list's own text form, so that F1 and D... compare equal.
std::string Canonical(const std::string& text) {
  CParamList list;
  ParseParamText(list, text);
  return ParamListText(list);
}

struct Shipped {
  const char* name;  // shown by the picker
  const char* key;
  const char* dialog;  // "" for none
};

const std::vector<Shipped> kVideo = {
    {"Deinterlace", "VDEINT", ""},
    {"Flip horizontal", "VFLIPHORIZONTAL", ""},
    {"Flip vertical", "VFLIPVERTICAL", ""},
    {"Grey scale", "VGREYSCALE", ""},
    {"Levels", "VLEVELS", "levels"},
    {"Crop, resize and pad", "VRESIZE", "crop"},
    {"Subtitle", "VSUBTITLE", "subtitle"},
    {"Tweak", "VTWEAK", "tweak"},
    {"Watermark", "VWATERMARK", "watermark"},
};

const std::vector<Shipped> kAudio = {
    {"Audio delay", "ADELAY", "advance AUDIO DELAY"},
    {"Equalizer", "AEQ", "equalizer"},
    {"Normalize", "ANORMALIZE", ""},
    {"Volume", "AVOL", "advance VOLUME"},
};

class ShippedFilters : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetProfileFolders(ProfileFolders{TRIVOX_STAGE_DIR, ""});
    TheProfileIniCache().Load(TRIVOX_STAGE_DIR, TRIVOX_STAGE_DIR "/formats.dat");
    SetFrameRenderer([](WindowId, FrameJob&) { return false; });
    task_.outputVideo.width = 320;
    task_.outputVideo.height = 240;
    task_.sourceVideo.width = 320;
    task_.sourceVideo.height = 240;
    if (Audio())
      page_ = std::make_unique<CDlgAFilter>(task_, PreviewFrameOptions{}, dir_.path());
    else
      page_ = std::make_unique<CDlgFilter>(task_, PreviewFrameOptions{}, dir_.path());
    page_->Create();  // loads the descriptions of the staged folder
  }
  void TearDown() override {
    page_->DestroyWindow();
    SetFrameRenderer(nullptr);
    SetProfileFolders(ProfileFolders{});
  }
  bool Audio() const { return GetParam(); }
  const std::vector<Shipped>& Expected() const { return Audio() ? kAudio : kVideo; }
  std::vector<FilterEntry>& Entries() { return Audio() ? task_.AudioFilters() : task_.VideoFilters(); }

  CTask task_;
  TempDir dir_;
  std::unique_ptr<CFilterListPage> page_;
};

TEST_P(ShippedFilters, ThePickerListsEveryFilterWithItsTip) {
  std::vector<std::string> names, tips;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto* list = d.ItemAs<QListWidget>(IDC_FILTER_LIST);
    for (int i = 0; i < list->count(); ++i) {
      names.push_back(list->item(i)->text().toStdString());
      list->setCurrentRow(i);
      d.OnCommand(IDC_FILTER_LIST, LBN_SELCHANGE);
      tips.push_back(d.ItemText(IDC_FILTER_DESCRIPTION).toStdString());
    }
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  page_->AddFilter();
  EXPECT_EQ(0u, script.Remaining());
  std::vector<std::string> wanted;
  for (const Shipped& s : Expected()) wanted.push_back(s.name);
  EXPECT_EQ(wanted, names);
  for (size_t i = 0; i < tips.size(); ++i) EXPECT_FALSE(tips[i].empty()) << names[i];
  EXPECT_TRUE(Entries().empty());
}

TEST_P(ShippedFilters, EachOpensItsDialogFromThePickerAndFromConfig) {
  std::vector<FilterDesc> descriptions;
  LoadFilterDescs(Audio() ? 1 : 0, descriptions);
  for (const Shipped& s : Expected()) {
    SCOPED_TRACE(s.name);
    const FilterDesc* desc = nullptr;
    for (const FilterDesc& d : descriptions)
      if (d.name == s.key) desc = &d;
    ASSERT_NE(nullptr, desc);
    EXPECT_EQ(s.name, desc->displayName);
    const bool hasDialog = *s.dialog != '\0';
    EXPECT_EQ(hasDialog ? 1 : 0, desc->enableAdv);

    // Picked and accepted unchanged.
    std::string opened;
    ModalScript script;
    script.Then([&](UiDialog& d) {
      auto* list = d.ItemAs<QListWidget>(IDC_FILTER_LIST);
      const QList<QListWidgetItem*> found = list->findItems(QString::fromUtf8(s.name), Qt::MatchExactly);
      EXPECT_EQ(1, found.size());
      if (!found.empty()) list->setCurrentItem(found.front());
      d.OnCommand(found.empty() ? IDCANCEL : IDOK, BN_CLICKED);
    });
    if (hasDialog)
      script.Then([&](UiDialog& d) {
        opened = KindOf(d);
        d.OnCommand(IDOK, BN_CLICKED);
      });
    const size_t before = Entries().size();
    page_->AddFilter();
    EXPECT_EQ(0u, script.Remaining());
    EXPECT_EQ(0, script.Unscripted()) << "a filter without settings opens nothing";
    EXPECT_EQ(s.dialog, opened);
    ASSERT_EQ(before + 1, Entries().size());
    const int row = page_->List()->GetSelectedRow();
    ASSERT_GE(row, 0);
    const FilterEntry& entry = Entries()[size_t(row)];
    EXPECT_EQ(s.key, std::string(entry.key));
    EXPECT_EQ(s.name, page_->List()->GetItemText(row, 1).toStdString());
    // The description's OPTION is what the dialog writes for its defaults.
    if (std::string(s.key) != "VRESIZE") {
      EXPECT_EQ(Canonical(desc->option), Canonical(entry.params));
    }

    // "Config..." on the new row: the same dialog, or greyed without one.
    EXPECT_EQ(hasDialog, page_->Item(IDC_FILTER_CONFIG)->isEnabled());
    std::string again;
    ModalScript config;
    if (hasDialog)
      config.Then([&](UiDialog& d) {
        again = KindOf(d);
        d.OnCommand(IDCANCEL, BN_CLICKED);
      });
    page_->OnCommand(IDC_FILTER_CONFIG, BN_CLICKED);
    EXPECT_EQ(0u, config.Remaining());
    EXPECT_EQ(0, config.Unscripted());
    EXPECT_EQ(s.dialog, again);
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, ShippedFilters, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Audio" : "Video"; });

}  // namespace
