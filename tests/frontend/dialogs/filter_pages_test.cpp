// The filter list pages over a task: rows from the task's entries and the
// descriptions, adding (cancelled, accepted, without a dialog), configuring
// by key through the dialog table, the 1,024-byte rule, deleting and moving
// with the task's refusals; and the "Edit" sheet they sit in.
#include <gtest/gtest.h>

#include <QListWidget>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/controls/drag_list.h"
#include "frontend/dialogs/dlg_advance_settings.h"
#include "frontend/dialogs/dlg_aspect.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/dialogs/dlg_filter_list.h"
#include "frontend/dialogs/dlg_filter_pages.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/task.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

// A settings object that answers as told.
class FakeSetup : public IFilterSetup {
 public:
  HRESULT editResult = S_OK;
  std::string answer;
  std::string given;
  HRESULT Edit(QWidget*) override { return editResult; }
  HRESULT SetParams(const void* bytes, uint32_t length) override {
    given.assign(static_cast<const char*>(bytes), length);
    if (!given.empty() && given.back() == '\0') given.pop_back();
    return S_OK;
  }
  HRESULT GetParams(void* buffer, uint32_t* length) override {
    const uint32_t needed = static_cast<uint32_t>(answer.size() + 1);
    if (buffer == nullptr || *length < needed) {
      *length = needed;
      return SETUP_E_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, answer.c_str(), needed);
    *length = needed;
    return S_OK;
  }
};

TEST(FilterSetupRule, TextsOf1023BytesWithTheirNulAreKeptLongerOnesDropped) {
  struct Case {
    const char* what;
    HRESULT edit;
    size_t answer;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"1,022 characters", S_OK, 1022, true},  {"1,023 characters", S_OK, 1023, false},
      {"5,000 characters", S_OK, 5000, false}, {"empty", S_OK, 0, true},
      {"cancelled", S_FALSE, 10, false},       {"failed", E_FAIL, 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSetup setup;
    setup.editResult = c.edit;
    setup.answer = std::string(c.answer, 'x');
    std::string params = "\"OLD\"=1";
    EXPECT_EQ(c.replaced, RunFilterSetup(nullptr, setup, params));
    EXPECT_EQ("\"OLD\"=1", setup.given);
    EXPECT_EQ(c.replaced ? setup.answer : "\"OLD\"=1", params);
  }
}

FilterDesc Desc(const std::string& name, const std::string& display, int enableAdv, const std::string& option = "",
                int changeSize = 0, int changeFps = 0) {
  FilterDesc d;
  d.name = name;
  d.displayName = display;
  d.enableAdv = enableAdv;
  d.option = option;
  d.changeSize = changeSize;
  d.changeFps = changeFps;
  OptionDesc o;
  o.name = "STRENGTH";
  o.displayName = "Strength";
  o.visible = 1;
  d.options.push_back(o);
  return d;
}

std::vector<FilterDesc> VideoDescs() {
  return {Desc("VRESIZE", "Resize", 1),
          Desc("VSUBTITLE", "Subtitle", 1),
          Desc("VWATERMARK", "Watermark", 1),
          Desc("VLEVELS", "Levels", 1, "\"A\"=1"),
          Desc("VDEINT", "Deinterlace", 0, "\"D\"=2"),
          Desc("VFPS", "Frame rate", 1, "\"FPS\"=25", 1, 1)};
}

std::vector<std::string> Entries(std::vector<FilterEntry>& list) {
  std::vector<std::string> out;
  for (const FilterEntry& f : list) out.push_back(std::string(f.key) + "|" + std::to_string(f.flags) + "|" + f.params);
  return out;
}

std::vector<std::string> Rows(CDragListCtrl* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->GetItemCount(); ++i)
    out.push_back(
        (list->GetItemText(i, 0) + "|" + list->GetItemText(i, 1) + "|" + list->GetItemText(i, 2)).toStdString());
  return out;
}

class FilterPages : public ::testing::Test {
 protected:
  void SetUp() override {
    task_.outputVideo.width = 320;
    task_.outputVideo.height = 240;
    task_.sourceVideo.width = 720;
    task_.sourceVideo.height = 576;
    Add("VLEVELS", "\"A\"=0", 0);
    Add("VRESIZE", "\"WIDTH\"=320", kFilterSystem);
    Add("VWATERMARK", "\"ALIGN\"=3", kFilterDeletable);
    Add("VUNKNOWN", "\"U\"=1", kFilterSystem | kFilterDeletable);
  }
  void Add(const char* key, const char* params, int32_t flags) {
    FilterEntry e;
    e.flags = flags;
    std::strncpy(e.key, key, sizeof e.key - 1);
    e.params = params;
    task_.VideoFilters().push_back(e);
  }
  // An open video page.
  CDlgFilter& Page() {
    page_ = std::make_unique<CDlgFilter>(task_, PreviewFrameOptions{}, dir_.path());
    page_->SetDescriptions(VideoDescs());
    page_->Create();
    return *page_;
  }
  void TearDown() override {
    if (page_) page_->DestroyWindow();
  }

  CTask task_;
  TempDir dir_;
  std::unique_ptr<CDlgFilter> page_;
};

TEST_F(FilterPages, RowsShowTheChainWithNamesAndTypes) {
  CDlgFilter& page = Page();
  EXPECT_EQ("Video filter", page.Title());
  EXPECT_EQ((std::vector<std::string>{"0|Levels|Manual", "1|Resize|Automatic", "2|Watermark|Manual",
                                      "3|VUNKNOWN|Automatic(Removable)"}),
            Rows(page.List()));
  EXPECT_EQ(3, page.List()->columnCount());
  EXPECT_EQ(0, page.Items()[3].enableAdv) << "no description: not configurable";
  EXPECT_EQ("\"U\"=1", page.Items()[3].params);
  EXPECT_EQ("\"A\"=0", page.Items()[0].params) << "the entry's text, not the description's";
  EXPECT_FALSE(page.Item(IDC_FILTER_CONFIG)->isEnabled()) << "nothing selected";
  page.List()->SelectRow(0);
  EXPECT_TRUE(page.Item(IDC_FILTER_CONFIG)->isEnabled());
  page.List()->SelectRow(3);
  EXPECT_FALSE(page.Item(IDC_FILTER_CONFIG)->isEnabled());
  // Every activation reads the task again.
  task_.VideoFilters().pop_back();
  page.OnSetActive();
  EXPECT_EQ(3, page.List()->GetItemCount());
}

TEST_F(FilterPages, ConfigureDispatchesByKey) {
  SetFrameRenderer([](WindowId, FrameJob&) { return false; });
  Add("vsubtitle", "", kFilterDeletable);  // keys compare without case
  Add("VFPS", "\"FPS\"=25", kFilterDeletable);
  CDlgFilter& page = Page();
  struct Case {
    int row;
    const char* dialog;
  };
  const std::vector<Case> cases = {{0, "levels"}, {1, "crop"}, {2, "watermark"}, {4, "subtitle"}, {5, "advance"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialog);
    std::string seen;
    ModalScript script;
    script.Then([&](UiDialog& d) {
      if (dynamic_cast<CDlgWatermark*>(&d) != nullptr) {
        seen = "watermark";
        auto& w = static_cast<CDlgWatermark&>(d);
        EXPECT_EQ(320, w.FrameWidth());
        EXPECT_EQ(240, w.FrameHeight());
        EXPECT_EQ(3, w.AlignIndex() + 1) << "the entry's text";
      } else if (dynamic_cast<CDlgCropResize*>(&d) != nullptr) {
        seen = "crop";
        EXPECT_EQ(720, static_cast<CDlgCropResize&>(d).Geometry().sourceWidth);
      } else if (dynamic_cast<CDlgSubtitle*>(&d) != nullptr) {
        seen = "subtitle";
      } else if (dynamic_cast<CDlgLevels*>(&d) != nullptr) {
        seen = "levels";
      } else if (dynamic_cast<CDlgAdvanceSettings*>(&d) != nullptr) {
        seen = "advance";
        EXPECT_EQ("FRAME RATE", d.windowTitle().toStdString()) << "the display name in capitals";
      }
      d.OnCommand(IDCANCEL, BN_CLICKED);
    });
    page.List()->SelectRow(c.row);
    page.OnCommand(IDC_FILTER_CONFIG, BN_CLICKED);
    EXPECT_EQ(c.dialog, seen);
    EXPECT_EQ(0u, script.Remaining());
  }
  // A row without a description opens nothing, by button or double click.
  ModalScript none;
  page.List()->SelectRow(3);
  page.OnCommand(IDC_FILTER_CONFIG, BN_CLICKED);
  emit page.List()->itemDoubleClicked(page.List()->topLevelItem(3), 1);
  EXPECT_EQ(0, none.Unscripted());
  SetFrameRenderer(nullptr);
}

TEST_F(FilterPages, AnAcceptedConfigurationGoesIntoTheTask) {
  CDlgFilter& page = Page();
  ModalScript script;
  script.Then([](UiDialog& d) {
    auto& w = static_cast<CDlgWatermark&>(d);
    w.OnCommand(1195, BN_CLICKED);
    w.OnCommand(IDOK, BN_CLICKED);
  });
  page.List()->SelectRow(2);
  emit page.List()->itemDoubleClicked(page.List()->topLevelItem(2), 0);
  EXPECT_EQ(0u, script.Remaining());
  EXPECT_NE(std::string::npos, task_.VideoFilters()[2].params.find("\"ALIGN\"=7"));
  EXPECT_EQ(task_.VideoFilters()[2].params, page.Items()[2].params);
}

TEST_F(FilterPages, AddingAFilter) {
  CDlgFilter& page = Page();
  const std::vector<std::string> before = Entries(task_.VideoFilters());
  const auto pick = [](int row) {
    return [row](UiDialog& d) {
      d.ItemAs<QListWidget>(IDC_FILTER_LIST)->setCurrentRow(row);
      d.OnCommand(IDOK, BN_CLICKED);
    };
  };
  // A configurable filter whose dialog is cancelled leaves the chain unchanged.
  {
    ModalScript script;
    script.Then(pick(3)).Then([](UiDialog& d) { d.OnCommand(IDCANCEL, BN_CLICKED); });
    page.AddFilter();
    EXPECT_EQ(0u, script.Remaining());
    EXPECT_EQ(before, Entries(task_.VideoFilters()));
    EXPECT_EQ(4, page.List()->GetItemCount());
  }
  // The picker cancelled: nothing.
  {
    ModalScript script;
    script.Then([](UiDialog& d) { d.OnCommand(IDCANCEL, BN_CLICKED); });
    page.OnCommand(IDC_FILTER_ADD, BN_CLICKED);
    EXPECT_EQ(before, Entries(task_.VideoFilters()));
  }
  // Accepted: the dialog's text, flags 2 (+4 +8 for size and rate changes).
  {
    ModalScript script;
    script.Then(pick(5)).Then([](UiDialog& d) { d.OnCommand(IDOK, BN_CLICKED); });
    page.AddFilter();
    EXPECT_EQ(0u, script.Remaining());
  }
  // Without a dialog: the description's OPTION text.
  {
    ModalScript script;
    script.Then(pick(4));
    page.AddFilter();
    EXPECT_EQ(0, script.Unscripted());
  }
  std::vector<std::string> after = Entries(task_.VideoFilters());
  ASSERT_EQ(6u, after.size());
  EXPECT_EQ("VFPS|14|", after[4].substr(0, 8));
  EXPECT_EQ("VDEINT|2|\"D\"=2", after[5]);
  EXPECT_EQ("5|Deinterlace|Manual", Rows(page.List())[5]);
  EXPECT_EQ(5, page.List()->GetSelectedRow());
}

TEST_F(FilterPages, DeletingAndMovingFollowTheTasksRules) {
  MessageBoxRecorder boxes;
  CDlgFilter& page = Page();
  // A system entry cannot be deleted: the message, the list as it was.
  page.List()->SelectRow(1);
  page.OnCommand(IDC_FILTER_DELETE, BN_CLICKED);
  ASSERT_EQ(1u, boxes.Shown().size());
  EXPECT_EQ(unsigned(MB_ICONSTOP), boxes.Shown()[0].flags & 0xF0u);
  EXPECT_EQ(4, page.List()->GetItemCount());
  // Moving swaps the rows and renumbers them.
  page.List()->SelectRow(2);
  page.OnCommand(IDC_FILTER_UP, BN_CLICKED);
  EXPECT_EQ((std::vector<std::string>{"0|Levels|Manual", "1|Watermark|Manual", "2|Resize|Automatic",
                                      "3|VUNKNOWN|Automatic(Removable)"}),
            Rows(page.List()));
  EXPECT_EQ("VWATERMARK", std::string(task_.VideoFilters()[1].key));
  EXPECT_EQ(1, page.List()->GetSelectedRow());
  EXPECT_EQ("VWATERMARK", page.Items()[1].key);
  EXPECT_EQ(1, page.Items()[1].entryIndex);
  page.OnCommand(IDC_FILTER_DOWN, BN_CLICKED);
  page.OnCommand(IDC_FILTER_DOWN, BN_CLICKED);
  page.OnCommand(IDC_FILTER_DOWN, BN_CLICKED);  // already last: stays
  EXPECT_EQ("3|Watermark|Manual", Rows(page.List())[3]);
  EXPECT_EQ("VWATERMARK", std::string(task_.VideoFilters()[3].key));
  // Deleting a user entry.
  page.OnCommand(IDC_FILTER_DELETE, BN_CLICKED);
  EXPECT_EQ(3, page.List()->GetItemCount());
  EXPECT_EQ(3u, task_.VideoFilters().size());
  EXPECT_EQ(1u, boxes.Shown().size());
  // Nothing selected: nothing happens.
  page.List()->clearSelection();
  page.OnCommand(IDC_FILTER_DELETE, BN_CLICKED);
  EXPECT_EQ(3u, task_.VideoFilters().size());
}

TEST_F(FilterPages, TheAudioPageEditsTheAudioList) {
  FilterEntry e;
  std::strcpy(e.key, "AVOL");
  e.flags = kFilterSystem;
  e.params = "\"VOL\"=100";
  task_.AudioFilters().push_back(e);
  CDlgAFilter page(task_, PreviewFrameOptions{}, dir_.path());
  page.SetDescriptions({Desc("AECHO", "Echo", 1), Desc("AVOL", "Volume", 1)});
  page.Create();
  EXPECT_EQ("Audio filter", page.Title());
  EXPECT_EQ((std::vector<std::string>{"0|Volume|Automatic"}), Rows(page.List()));
  ModalScript script;
  script.Then([](UiDialog& d) {
    d.ItemAs<QListWidget>(IDC_FILTER_LIST)->setCurrentRow(0);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  script.Then([](UiDialog& d) {
    EXPECT_NE(nullptr, dynamic_cast<CDlgAdvanceSettings*>(&d));
    EXPECT_EQ("ECHO", d.windowTitle().toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  page.AddFilter();
  EXPECT_EQ(0u, script.Remaining());
  ASSERT_EQ(2u, task_.AudioFilters().size());
  EXPECT_EQ("AECHO", std::string(task_.AudioFilters()[1].key));
  EXPECT_EQ(2, page.List()->GetItemCount());
  page.DestroyWindow();
}

TEST(FilterDialogTable, KnownKeysHaveDialogsOthersFallToAdvanceSettings) {
  for (const char* key : {"VRESIZE", "vsubtitle", "VWaterMark", "VLEVELS", "vtweak"})
    EXPECT_NE(nullptr, FindFilterDialog(VideoFilterDialogs(), key)) << key;
  EXPECT_NE(nullptr, FindFilterDialog(AudioFilterDialogs(), "aeq"));
  for (const char* key : {"VDEINT", "", "VWATERMARKX"}) EXPECT_EQ(nullptr, FindFilterDialog(VideoFilterDialogs(), key));
  EXPECT_EQ(nullptr, FindFilterDialog(AudioFilterDialogs(), "VRESIZE"));
}

TEST(FilterSheet, ThePagesSitInTheEditSheet) {
  CTask task;
  TempDir dir;
  CDlgAspect resize(task, {}, dir.path());
  CDlgFilter video(task, {}, dir.path());
  CDlgAFilter audio(task, {}, dir.path());
  video.SetDescriptions({});
  audio.SetDescriptions({});
  CMyPropSheet sheet(QStringLiteral("Edit"), nullptr, 2);
  for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{&resize, &video, &audio}) sheet.AddPage(page);
  ModalScript script;
  std::vector<std::string> tabs;
  script.Then([&](UiDialog& d) {
    auto& s = static_cast<CMyPropSheet&>(d);
    EXPECT_EQ(2, s.GetActiveIndex());
    for (int i = 0; i < s.GetPageCount(); ++i) tabs.push_back(s.GetPage(i)->Title().toStdString());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(IDOK, sheet.DoModal());
  EXPECT_EQ((std::vector<std::string>{"Resize", "Video filter", "Audio filter"}), tabs);
}

}  // namespace
