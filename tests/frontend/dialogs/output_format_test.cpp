// The "Output format" dialog over the staged profile tree: every shipped
// profile fills the settings pages from its descriptions and gives the output
// settings the profile stands for; the summary line and the profile row follow
// the values; custom profiles saved, read back and deleted; the defaults file;
// the chosen settings converted by the engine as a task's job; missing icons,
// a stored node or profile that is gone, and a node of more than 256 rows.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTreeWidget>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "frontend/controls/column_tree.h"
#include "frontend/controls/option_combo.h"
#include "frontend/controls/page_frame.h"
#include "frontend/controls/tab_ctrl.h"
#include "frontend/dialogs/dlg_output_format.h"
#include "frontend/model/engine_process.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/param_text.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/task_list.h"
#include "frontend/model/vfw_driver.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

std::string Str(const QString& s) { return s.toStdString(); }

void UseProgramFolder(const std::string& program) {
  SetProfileFolders(ProfileFolders{program, UserDataFolder()});
  TheProfileIniCache().Load(program.c_str(), (program + "/formats.dat").c_str());
}

// Types or picks a value in one of a page's combos, as a user would.
bool SetValue(CDlgCodecSettings* page, const std::string& key, const std::string& value) {
  COptionCombo* combo = page != nullptr ? page->ComboFor(key) : nullptr;
  if (combo == nullptr || !combo->isEnabled()) return false;
  if (combo->isEditable()) {
    combo->setFocus();
    combo->setEditText(QString::fromStdString(value));
    combo->lineEdit()->setModified(true);
    return combo->CommitEdit();
  }
  for (int i = 0; i < combo->count(); ++i) {
    combo->setCurrentIndex(i);
    if (combo->GetValueText() == value) {
      emit combo->activated(i);
      return true;
    }
  }
  return false;
}

// Picks the codec shown as text in a page's codec combo.
bool PickCodec(CDlgCodecSettings* page, const std::string& text) {
  auto* combo = page->ItemAs<QComboBox>(page->CodecComboId());
  const int at = combo->findText(QString::fromStdString(text));
  if (at < 0) return false;
  combo->setCurrentIndex(at);
  emit combo->activated(at);
  return true;
}

std::string Summary(CDlgOutputFormat& d) {
  std::string text, node;
  int32_t number = 0;
  d.FormatProfileSummary(text, node, number);
  return text;
}

std::vector<std::string> TabTexts(CDlgOutputFormat& d) {
  std::vector<std::string> texts;
  for (int i = 0; i < d.Tabs()->GetItemCount(); ++i) texts.push_back(Str(d.Tabs()->GetItemText(i)));
  return texts;
}

std::string RowText(CDlgOutputFormat& d, int32_t number, int column) {
  return Str(CColumnTreeCtrl::GetItemText(d.ProfileRow(number), column));
}

class OutputFormat : public testing::Test {
 protected:
  static void SetUpTestSuite() { SetAppName("Velmo DVD Converter"); }
  void SetUp() override { UseProgramFolder(TRIVOX_STAGE_DIR); }
  void TearDown() override {
    if (dlg != nullptr) dlg->DestroyWindow();
    dlg.reset();
    UseProgramFolder(TRIVOX_STAGE_DIR);
    std::error_code ec;
    fs::remove_all(UserDataFolder(), ec);
  }

  // Opens the dialog without a modal loop.
  CDlgOutputFormat& Open(const std::string& node, int32_t number, const OutputSettings* settings = nullptr) {
    if (dlg != nullptr) dlg->DestroyWindow();
    dlg = std::make_unique<CDlgOutputFormat>();
    dlg->SetCurrentProfile(node, number);
    if (settings != nullptr) dlg->Settings() = *settings;
    dlg->Create();
    EXPECT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
    return *dlg;
  }

  // Runs the dialog modally; step runs once it shows, then OK is pressed.
  int RunWithOk(CDlgOutputFormat& d, const std::function<void(CDlgOutputFormat&)>& step = {}) {
    ModalScript script;
    script.Then([&](UiDialog&) {
      if (step) step(d);
      d.OnCommand(IDOK, BN_CLICKED);
      if (d.InModalLoop() && d.isVisible()) d.EndDialog(IDABORT);
    });
    return d.DoModal();
  }

  std::unique_ptr<CDlgOutputFormat> dlg;
  MessageBoxRecorder boxes;
};

// ---- every shipped profile ----

struct Shipped {
  ProfileNode node;
  OutputProfile profile;
};

std::vector<Shipped> ShippedProfiles() {
  std::vector<Shipped> out;
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  for (const ProfileNode& n : nodes) {
    std::vector<OutputProfile> profiles;
    EnumNodeProfiles(n.folder, profiles);
    for (const OutputProfile& p : profiles) out.push_back({n, p});
  }
  return out;
}

TEST_F(OutputFormat, EveryShippedProfileFillsItsPagesFromItsDescriptions) {
  const std::vector<Shipped> shipped = ShippedProfiles();
  ASSERT_GE(shipped.size(), 15u);
  for (const Shipped& s : shipped) {
    SCOPED_TRACE(s.node.folder + "/" + std::to_string(s.profile.number));
    CDlgOutputFormat d;
    d.SetCurrentProfile(s.node.folder, s.profile.number);
    MuxerDesc muxer;
    LoadMuxerDesc(s.profile.muxer, muxer);
    const int result = RunWithOk(d, [&](CDlgOutputFormat& f) {
      ASSERT_NE(f.CurrentProfile(), nullptr);
      EXPECT_EQ(f.CurrentNode()->folder, s.node.folder);
      EXPECT_EQ(Str(f.Frame()->Caption()), s.profile.desc);
      EXPECT_EQ(f.Item(IDC_DELETE_PROFILE)->isEnabled(), s.node.kind == 'C');
      EXPECT_EQ(f.ProfileList()->Tree().currentItem(), f.ProfileRow(s.profile.number));
      std::vector<std::string> tabs;
      if (!s.profile.videoCodec.empty()) tabs.push_back("Video Setting");
      if (!s.profile.audioCodec.empty()) tabs.push_back("Audio Setting");
      EXPECT_EQ(TabTexts(f), tabs);
      EXPECT_EQ(f.VideoPage() != nullptr, !s.profile.videoCodec.empty());
      EXPECT_EQ(f.AudioPage() != nullptr, !s.profile.audioCodec.empty());
      // Each page offers the muxer's codecs of its kind and shows the profile's.
      const auto check = [&](CDlgCodecSettings* page, const std::vector<CodecDesc>& list, const std::string& name) {
        if (page == nullptr) return;
        ASSERT_NE(page->GetCodec(), nullptr);
        EXPECT_EQ(page->GetCodec()->name, name);
        auto* combo = page->ItemAs<QComboBox>(page->CodecComboId());
        EXPECT_EQ(Str(combo->currentText()), page->GetCodec()->displayName);
        EXPECT_GE(combo->count(), static_cast<int>(list.size()));
        for (size_t i = 0; i < list.size(); ++i)
          EXPECT_EQ(Str(combo->itemText(static_cast<int>(i))), list[i].displayName);
        EXPECT_EQ(page->Item(IDC_CODEC_ADVANCE)->isEnabled(), page->GetCodec()->enableAdv != 0);
        for (int i = 0; i < 4; ++i) {
          COptionCombo* value = page->ValueCombo(i);
          ASSERT_NE(value, nullptr);
          const char* key = page->Keys()[static_cast<size_t>(i)];
          EXPECT_FALSE(value->isHidden()) << key;
          const std::string shown = value->GetValueText(), held = FormatOptionValue(page->GetParamList(), key);
          if (value->OptionType() == kOptionFloat)
            EXPECT_DOUBLE_EQ(std::stod(shown), std::stod(held)) << key;
          else
            EXPECT_EQ(shown, held) << key;
        }
      };
      check(f.VideoPage(), muxer.videoCodecs, s.profile.videoCodec);
      check(f.AudioPage(), muxer.audioCodecs, s.profile.audioCodec);
    });
    ASSERT_EQ(result, IDOK);
    // The same settings as the profile taken as it stands, but for the frame period.
    OutputSettings expected;
    std::string error;
    ASSERT_TRUE(SettingsFromProfile(s.profile, expected, &error)) << error;
    OutputSettings& got = d.Settings();
    EXPECT_STREQ(got.name, expected.name);
    EXPECT_STREQ(got.muxer, expected.muxer);
    EXPECT_STREQ(got.ext, expected.ext);
    EXPECT_STREQ(got.audioCodec, expected.audioCodec);
    EXPECT_STREQ(got.videoCodec, expected.videoCodec);
    EXPECT_STREQ(got.audioParams, expected.audioParams);
    EXPECT_STREQ(got.videoParams, expected.videoParams);
    EXPECT_STREQ(got.muxerParams, expected.muxerParams);
    const std::initializer_list<std::pair<int32_t, int32_t>> numbers = {{got.sampleRate, expected.sampleRate},
                                                                        {got.channels, expected.channels},
                                                                        {got.audioBitrate, expected.audioBitrate},
                                                                        {got.volume, expected.volume},
                                                                        {got.width, expected.width},
                                                                        {got.height, expected.height},
                                                                        {got.videoBitrate, expected.videoBitrate},
                                                                        {got.rawBitsPerPixel, expected.rawBitsPerPixel},
                                                                        {got.jobWordA, expected.jobWordA},
                                                                        {got.jobWordB, expected.jobWordB}};
    int field = 0;
    for (const auto& [a, b] : numbers) EXPECT_EQ(a, b) << "number " << field++;
    if (expected.frameNum == 0) {
      EXPECT_EQ(0, got.frameNum);
      EXPECT_EQ(0, got.frameDen);
    } else {
      EXPECT_NEAR(double(got.frameDen) / got.frameNum, double(expected.frameDen) / expected.frameNum, 0.01);
    }
  }
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(OutputFormat, TabsFollowTheKindsAndTheLastShownPage) {
  CDlgOutputFormat& d = Open("A_110_MP3", 1);
  EXPECT_EQ(TabTexts(d), std::vector<std::string>{"Audio Setting"});
  EXPECT_EQ(d.AudioTab(), 0);
  EXPECT_EQ(d.VideoTab(), kNoTab);
  EXPECT_EQ(d.VideoPage(), nullptr);
  ASSERT_NE(d.AudioPage(), nullptr);
  EXPECT_TRUE(d.AudioPage()->isVisible());
  EXPECT_EQ(Summary(d), "A_110_MP3/MP3 [44.1 kHZ 128 kb/s stereo MP3]");

  // Another node: its first profile is chosen, both pages built, the video page shown.
  d.NodeTree()->setCurrentItem(d.NodeItem("V_20_AVI"));
  ASSERT_NE(d.CurrentProfile(), nullptr);
  EXPECT_EQ(d.CurrentNode()->folder, "V_20_AVI");
  EXPECT_EQ(d.CurrentProfile()->number, 1);
  EXPECT_EQ(TabTexts(d), (std::vector<std::string>{"Video Setting", "Audio Setting"}));
  ASSERT_NE(d.VideoPage(), nullptr);
  EXPECT_TRUE(d.VideoPage()->isVisible());
  EXPECT_FALSE(d.AudioPage()->isVisible());
  EXPECT_EQ(Str(d.Frame()->Caption()), d.CurrentProfile()->desc);

  // The user's tab stays the shown kind across profiles.
  d.Tabs()->Bar()->setCurrentIndex(d.AudioTab());
  EXPECT_TRUE(d.AudioPage()->isVisible());
  EXPECT_FALSE(d.VideoPage()->isVisible());
  d.NodeTree()->setCurrentItem(d.NodeItem("V_10_MP4"));
  d.ProfileList()->Tree().setCurrentItem(d.ProfileRow(2));
  EXPECT_EQ(d.CurrentProfile()->number, 2);
  EXPECT_EQ(d.Tabs()->GetCurSel(), d.AudioTab());
  EXPECT_TRUE(d.AudioPage()->isVisible());
  EXPECT_FALSE(d.VideoPage()->isVisible());
  // A root names no node: the choice stays.
  d.NodeTree()->setCurrentItem(d.NodeTree()->topLevelItem(0));
  EXPECT_EQ(d.CurrentNode()->folder, "V_10_MP4");
  EXPECT_EQ(d.CurrentProfile()->number, 2);
}

TEST_F(OutputFormat, SummaryAndRowFollowTheValues) {
  CDlgOutputFormat& d = Open("V_10_MP4", 1);
  EXPECT_EQ(Summary(d), "V_10_MP4/MP4 [1200kb/s,orginal fps H.264;  44.1 kHZ 128 kb/s stereo AAC]");
  EXPECT_EQ(RowText(d, 1, 2), "1328 Kbps");
  EXPECT_EQ(RowText(d, 1, 3), "N/A");
  EXPECT_EQ(RowText(d, 2, 0), "2");
  EXPECT_EQ(RowText(d, 2, 1), "MP4 MPEG-4 + AAC");

  ASSERT_TRUE(SetValue(d.VideoPage(), "WIDTH", "640"));
  ASSERT_TRUE(SetValue(d.VideoPage(), "HEIGHT", "480"));
  ASSERT_TRUE(SetValue(d.VideoPage(), "FRAMERATE", "25"));
  ASSERT_TRUE(SetValue(d.VideoPage(), "BITRATE", "800"));
  ASSERT_TRUE(SetValue(d.AudioPage(), "CHANNEL", "1"));
  EXPECT_EQ(Summary(d), "V_10_MP4/MP4 [640x480,800kb/s,25fps H.264;  44.1 kHZ 128 kb/s mono AAC]");
  // The row follows each accepted change (the page tells the dialog).
  EXPECT_EQ(RowText(d, 1, 2), "928 Kbps");
  EXPECT_EQ(RowText(d, 1, 3), "640x480");
  EXPECT_EQ(RowText(d, 2, 2), "1128 Kbps");  // other rows keep their file's figures

  // A refused value changes nothing and says why.
  EXPECT_FALSE(SetValue(d.VideoPage(), "WIDTH", "5000"));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The input value should between 16 and 1920!"});
  EXPECT_EQ(d.VideoPage()->GetParamList().GetInt("WIDTH", -1), 640);

  // Another codec keeps what it allows; copying the stream leaves nothing to set.
  ASSERT_TRUE(PickCodec(d.VideoPage(), "MPEG-4 Visual (Xvid, DivX)"));
  EXPECT_EQ(d.VideoPage()->GetCodec()->name, "mpeg4");
  EXPECT_EQ(d.VideoPage()->GetParamList().GetInt("WIDTH", -1), 640);
  ASSERT_TRUE(PickCodec(d.VideoPage(), "Copy the video stream"));
  EXPECT_EQ(Summary(d), "V_10_MP4/MP4 [copy video stream;  44.1 kHZ 128 kb/s mono AAC]");
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(d.VideoPage()->ValueCombo(i)->isEnabled()) << i;
  EXPECT_FALSE(d.VideoPage()->Item(IDC_CODEC_ADVANCE)->isEnabled());
  EXPECT_EQ(RowText(d, 1, 2), "128 Kbps");
}

TEST_F(OutputFormat, PageValuesFollowLimitsCodecsAndAdvance) {
  CDlgOutputFormat& d = Open("V_30_3GP", 1);
  CDlgVideoSettings* video = d.VideoPage();
  EXPECT_EQ(Summary(d), "V_30_3GP/3GP [176x144,128kb/s,orginal fps H.263;  8 kHZ 12.2 kb/s mono AMR-NB]");
  // A width of another LIMIT combination brings its height.
  ASSERT_TRUE(SetValue(video, "WIDTH", "352"));
  EXPECT_EQ(video->ComboFor("HEIGHT")->GetValueText(), "288");
  EXPECT_EQ(RowText(d, 1, 3), "352x288");
  // The codec's own advanced settings: the dialog over its options, its OK taken.
  CDlgAudioSettings* audio = d.AudioPage();
  ModalScript script;
  script.Then([](UiDialog& ui) {
    EXPECT_EQ(ui.TemplateId(), 120);
    ui.OnCommand(IDCANCEL, BN_CLICKED);
  });
  const std::string before = audio->ParamText();
  audio->OnCommand(IDC_CODEC_ADVANCE, BN_CLICKED);
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(audio->ParamText(), before);

  // Another codec keeps what it allows and fits what it does not.
  CDlgOutputFormat& mp4 = Open("V_10_MP4", 1);
  ASSERT_TRUE(PickCodec(mp4.VideoPage(), "MPEG-2 Video"));
  ASSERT_TRUE(SetValue(mp4.VideoPage(), "BITRATE", "30000"));
  ASSERT_TRUE(SetValue(mp4.VideoPage(), "WIDTH", "1900"));
  ASSERT_TRUE(PickCodec(mp4.VideoPage(), "H.264 (MPEG-4 AVC)"));
  CParamList& list = mp4.VideoPage()->GetParamList();
  EXPECT_EQ(list.GetInt("WIDTH", 0), 1900);
  EXPECT_LE(list.GetInt("BITRATE", 0), 20000) << ParamListText(list);
  EXPECT_EQ(mp4.VideoPage()->ComboFor("BITRATE")->GetValueText(), std::to_string(list.GetInt("BITRATE", 0)));
  EXPECT_EQ(RowText(mp4, 1, 3), "N/A");  // a width alone is no picture size
}

TEST_F(OutputFormat, PagesOpenWithTheCallersValues) {
  OutputSettings given;
  std::strcpy(given.videoCodec, "[PLUGIN]MPEG4");
  std::strcpy(given.videoParams, "\"WIDTH\"=320,\"HEIGHT\"=240,\"BITRATE\"=700,\"FRAMERATE\"=F29.97");
  std::strcpy(given.audioCodec, "[FFM]NOSUCH");  // offered by no codec: the profile's stays
  std::strcpy(given.audioParams, "\"SAMPLERATE\"=22050");
  CDlgOutputFormat& d = Open("V_10_MP4", 1, &given);
  EXPECT_EQ(d.VideoPage()->GetCodec()->name, "mpeg4");
  EXPECT_EQ(d.VideoPage()->ValueCombo(0)->GetValueText(), "320");
  EXPECT_EQ(d.AudioPage()->GetCodec()->name, "aac");
  EXPECT_EQ(d.AudioPage()->GetParamList().GetInt("SAMPLERATE", 0), 44100);
  EXPECT_EQ(Summary(d), "V_10_MP4/MP4 [320x240,700kb/s,29.97fps MPEG-4;  44.1 kHZ 128 kb/s stereo AAC]");
  ASSERT_EQ(RunWithOk(d), IDOK);
  EXPECT_EQ(d.Settings().frameNum, 1001);
  EXPECT_EQ(d.Settings().frameDen, 30000);
  EXPECT_STREQ(d.Settings().videoCodec, "[PLUGIN]MPEG4");
}

// ---- saving ----

TEST_F(OutputFormat, AddCustomWritesAProfileTheDatabaseReadsBack) {
  int32_t freeVideo = 0, freeAudio = 0;
  FindFreeProfileNumber(freeVideo, freeAudio);
  CDlgOutputFormat& d = Open("V_10_MP4", 1);
  ASSERT_TRUE(SetValue(d.VideoPage(), "WIDTH", "320"));
  ASSERT_TRUE(SetValue(d.VideoPage(), "HEIGHT", "240"));

  std::vector<std::string> names;
  {
    ModalScript script;
    script.Then([&](UiDialog& ui) {
      auto& add = static_cast<CDlgAddCustom&>(ui);
      EXPECT_EQ(add.TemplateId(), IDD_ADD_CUSTOM);
      names.push_back(Str(add.ItemText(IDC_CUSTOM_NAME)));
      add.ItemAs<QAbstractButton>(IDC_CUSTOM_AUDIO)->click();
      names.push_back(Str(add.ItemText(IDC_CUSTOM_NAME)));
      add.ItemAs<QAbstractButton>(IDC_CUSTOM_VIDEO)->click();
      names.push_back(Str(add.ItemText(IDC_CUSTOM_NAME)));
      add.SetItemText(IDC_CUSTOM_NAME, QStringLiteral("   "));
      add.OnCommand(IDOK, BN_CLICKED);  // refused: no name
      EXPECT_TRUE(add.isVisible());
      add.SetItemText(IDC_CUSTOM_NAME, QStringLiteral("Phone 320"));
      add.ItemAs<QAbstractButton>(IDC_CUSTOM_AUDIO)->click();
      add.ItemAs<QAbstractButton>(IDC_CUSTOM_VIDEO)->click();
      names.push_back(Str(add.ItemText(IDC_CUSTOM_NAME)));  // a typed name stays
      EXPECT_EQ(add.ItemAs<QLineEdit>(IDC_CUSTOM_NAME)->maxLength(), 32);
      add.OnCommand(IDOK, BN_CLICKED);
    });
    d.OnCommand(IDC_SAVE_SETTING, BN_CLICKED);
    EXPECT_EQ(script.Remaining(), 0u);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Custom video " + std::to_string(freeVideo),
                                             "Custom audio " + std::to_string(freeAudio),
                                             "Custom video " + std::to_string(freeVideo), "Phone 320"}));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please enter a name for the custom profile."});

  // In the per-user folder, and read back by the database.
  const std::string file = UserDataFolder() + "/tree/C_91_VIDEO/" + std::to_string(freeVideo) + ".ini";
  ASSERT_TRUE(fs::is_regular_file(file)) << file;
  std::vector<OutputProfile> custom;
  EnumNodeProfiles("C_91_VIDEO", custom);
  ASSERT_EQ(custom.size(), 1u);
  EXPECT_EQ(custom[0].displayName, "Phone 320");
  EXPECT_EQ(custom[0].number, freeVideo);
  EXPECT_EQ(custom[0].muxer, "MP4");
  EXPECT_EQ(custom[0].ext, "mp4");
  EXPECT_EQ(custom[0].videoCodec, "h264");
  EXPECT_EQ(custom[0].audioCodec, "aac");
  EXPECT_EQ(custom[0].videoOptions, ParamListText(d.VideoPage()->GetParamList()));
  EXPECT_EQ(custom[0].audioOptions, ParamListText(d.AudioPage()->GetParamList()));
  EXPECT_EQ(custom[0].muxerOptions, "\"GLOBALHEADER\"=1");
  EXPECT_EQ(custom[0].desc, "Custom format MP4[h264/aac]");

  // The next dialog lists it under Custom; it opens on it and deletes it.
  CDlgOutputFormat& again = Open("C_91_VIDEO", freeVideo);
  ASSERT_NE(again.CurrentProfile(), nullptr);
  EXPECT_EQ(again.NodeItem("C_91_VIDEO")->parent()->text(0), QStringLiteral("Custom"));
  EXPECT_EQ(Summary(again),
            "C_91_VIDEO/Custom video [320x240,1200kb/s,orginal fps H.264;  44.1 kHZ 128 kb/s stereo AAC]");
  EXPECT_TRUE(again.Item(IDC_DELETE_PROFILE)->isEnabled());
  again.OnCommand(IDC_DELETE_PROFILE, BN_CLICKED);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(again.ProfileList()->Tree().topLevelItemCount(), 0);
  EXPECT_EQ(again.CurrentProfile(), nullptr);
  // OK without a profile is Cancel.
  EXPECT_EQ(RunWithOk(again), IDCANCEL);
}

TEST_F(OutputFormat, SaveAndSaveAsDefault) {
  CDlgOutputFormat& d = Open("A_110_MP3", 2);
  ASSERT_TRUE(SetValue(d.AudioPage(), "BITRATE", "192"));
  // "Save" writes the whole profile over the shipped one, in the user's folder.
  d.OnCommand(IDC_SAVE_PROFILE, BN_CLICKED);
  std::vector<OutputProfile> profiles;
  EnumNodeProfiles("A_110_MP3", profiles);
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[1].audioOptions, ParamListText(d.AudioPage()->GetParamList()));
  EXPECT_NE(profiles[1].audioOptions.find("\"BITRATE\"=D0000000000006840"), std::string::npos)
      << profiles[1].audioOptions;
  EXPECT_EQ(profiles[1].desc, d.CurrentProfile()->desc);
  EXPECT_TRUE(fs::is_regular_file(UserDataFolder() + "/tree/A_110_MP3/2.ini"));

  d.OnCommand(IDC_SAVE_DEFAULT, BN_CLICKED);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Save the settings as default finished."});
  std::string node, summary, from;
  int32_t number = 0;
  OutputSettings read;
  ASSERT_EQ(LoadDefaultSettings(node, number, summary, read, &from), 1);
  EXPECT_EQ(from, UserDataFolder() + "/default_2_0_0_0.cfg");
  EXPECT_EQ(node, "A_110_MP3");
  EXPECT_EQ(number, 2);
  EXPECT_EQ(summary, Summary(d));
  EXPECT_EQ(read.audioBitrate, 192000);
  EXPECT_STREQ(read.audioParams, d.Settings().audioParams);
}

// ---- bad input ----

TEST_F(OutputFormat, AStoredNodeOrProfileThatIsGoneChoosesNothing) {
  struct Case {
    const char* node;
    int32_t number;
    int rows;  // the node's rows listed
  };
  const Case cases[] = {{"V_99_GONE", 1, 0}, {"", 1, 0}, {"V_10_MP4", 42, 2}, {"../V_10_MP4", 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.node) + "/" + std::to_string(c.number));
    CDlgOutputFormat d;
    d.SetCurrentProfile(c.node, c.number);
    std::strcpy(d.Settings().name, "untouched");
    const int result = RunWithOk(d, [&](CDlgOutputFormat& f) {
      EXPECT_EQ(f.CurrentProfile(), nullptr);
      EXPECT_EQ(f.VideoPage(), nullptr);
      EXPECT_EQ(f.AudioPage(), nullptr);
      EXPECT_EQ(f.Tabs()->GetItemCount(), 0);
      EXPECT_EQ(f.ProfileList()->Tree().topLevelItemCount(), c.rows);
      EXPECT_EQ(f.ProfileList()->Tree().currentItem(), nullptr);
      EXPECT_TRUE(f.Frame()->Caption().isEmpty());
      // Saving needs a profile.
      f.OnCommand(IDC_SAVE_SETTING, BN_CLICKED);
      f.OnCommand(IDC_SAVE_DEFAULT, BN_CLICKED);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(d.Settings().name, "untouched");
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{"Please select a profile first!", "Please select a profile first!"}));
    boxes.Clear();
  }
}

// A 16x16 picture of one colour with a magenta corner, saved as BMP.
void WriteIcon(const std::string& path, QColor color, int width = 16) {
  fs::create_directories(fs::path(path).parent_path());
  QImage image(width, 16, QImage::Format_RGB32);
  image.fill(color);
  image.setPixelColor(0, 0, QColor(255, 0, 255));
  ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP")) << path;
}

class OutputFormatFolder : public OutputFormat {
 protected:
  void SetUp() override {
    CopyStagedProfiles(program.path());
    UseProgramFolder(program.path());
  }
  TempDir program;
};

TEST_F(OutputFormatFolder, MissingIconsLeaveTheirImagesOut) {
  struct Case {
    std::vector<std::string> present;  // of a, v, c, o
    bool mp4Icon;
  };
  const Case cases[] = {
      {{"a", "v", "c", "o"}, true},
      {{"v", "c", "o"}, false},  // no audio picture: the others keep theirs
      {{"a", "c"}, false},       // no "other" picture: nodes without their own show none
      {{}, false},
  };
  const std::map<std::string, QColor> colors = {
      {"a", Qt::red}, {"v", Qt::green}, {"c", Qt::blue}, {"o", Qt::yellow}, {"mp4", Qt::cyan}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.present));
    // Only the pictures of the case: the staged ones go.
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::recursive_directory_iterator(program.File("tree")))
      if (entry.path().extension() == ".bmp") pictures.push_back(entry.path());
    for (const fs::path& picture : pictures) fs::remove(picture);
    for (const std::string& name : c.present) WriteIcon(program.File("tree/" + name + ".bmp"), colors.at(name));
    if (c.mp4Icon) WriteIcon(program.File("tree/V_10_MP4/info.bmp"), colors.at("mp4"));

    CDlgOutputFormat& d = Open("V_10_MP4", 1);
    const auto colorOf = [&](QTreeWidgetItem* item) -> std::string {
      const int image = CDlgOutputFormat::ItemImage(item);
      if (image < 0) return "none";
      const QImage picture = d.Images().Image(image).toImage();
      EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);  // the magenta corner is transparent
      for (const auto& [name, color] : colors)
        if (picture.pixelColor(8, 8) == color) return name;
      return "?";
    };
    const auto expect = [&](const std::string& name) {
      return std::find(c.present.begin(), c.present.end(), name) != c.present.end() ? name : std::string("none");
    };
    QTreeWidget* tree = d.NodeTree();
    EXPECT_EQ(colorOf(tree->topLevelItem(0)), expect("v"));
    EXPECT_EQ(colorOf(tree->topLevelItem(1)), expect("a"));
    EXPECT_EQ(colorOf(tree->topLevelItem(2)), expect("c"));
    EXPECT_EQ(colorOf(d.NodeItem("V_10_MP4")), c.mp4Icon ? "mp4" : expect("o"));
    EXPECT_EQ(colorOf(d.NodeItem("A_110_MP3")), expect("o"));
    EXPECT_NE(d.CurrentProfile(), nullptr);
  }
}

// The node tree over the staged pictures: each root shows its kind's picture
// and each node its own info.bmp, as drawn on the screen.
TEST_F(OutputFormat, TheNodeTreeShowsTheStagedPictures) {
  CDlgOutputFormat& d = Open("V_10_MP4", 1);
  QTreeWidget* tree = d.NodeTree();
  tree->scrollToTop();
  Pump(50);
  const QImage shot = tree->viewport()->grab().toImage();
  SaveArtifact(tree->grab().toImage(), "output_format_tree.png");
  const struct {
    QTreeWidgetItem* item;
    std::string picture;
  } rows[] = {{tree->topLevelItem(0), "tree/v.bmp"},
              {tree->topLevelItem(1), "tree/a.bmp"},
              {tree->topLevelItem(2), "tree/c.bmp"},
              {d.NodeItem("V_20_AVI"), "tree/V_20_AVI/info.bmp"},  // not the selected row
              {d.NodeItem("A_110_MP3"), "tree/A_110_MP3/info.bmp"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.picture);
    ASSERT_NE(row.item, nullptr);
    const QImage picture(QString::fromStdString(std::string(TRIVOX_STAGE_DIR) + "/" + row.picture));
    ASSERT_FALSE(picture.isNull());
    const QRect r = tree->visualItemRect(row.item);
    ASSERT_TRUE(r.isValid());
    // The picture's opaque pixels, found along the row's left part.
    int drawn = 0, best = 0;
    for (int ox = std::max(0, r.left() - 24); ox <= r.left() + 8; ++ox)
      for (int oy = r.top(); oy + 16 <= r.bottom() + 2; ++oy) {
        int n = 0, m = 0;
        for (int y = 0; y < 16; ++y)
          for (int x = 0; x < 16; ++x) {
            if (picture.pixelColor(x, y) == QColor(255, 0, 255)) continue;
            ++n;
            if (shot.valid(ox + x, oy + y) && Near(shot.pixelColor(ox + x, oy + y), picture.pixelColor(x, y), 12)) ++m;
          }
        drawn = n;
        best = std::max(best, m);
      }
    EXPECT_GT(drawn, 40);
    EXPECT_GE(best * 10, drawn * 8);
  }
}

TEST_F(OutputFormatFolder, ANodeOfMoreThan256RowsAndNodeNumbersPast255) {
  const std::string node = program.File("tree/V_15_MANY");
  fs::create_directories(node);
  std::ofstream(node + "/info.ini") << "[CONFIG]\nDSPNAME=Many\nPARENTID=-1\n";
  const int count = 300;
  for (int n = 1; n <= count; ++n) {
    // 300 nests under 1; 5 names a later profile and stays at the top.
    const int parent = n == count ? 1 : n == 5 ? 299 : 0;
    std::ofstream(node + "/" + std::to_string(n) + ".ini")
        << "[CONFIG]\nDSPNAME=Profile " << n << "\nMUXER=MP4\nACODEC=aac\nVCODEC=h264\nEXT=mp4\nPARENTID=" << parent
        << "\nDESC=Number " << n << "\nAOPTION=\"\"BITRATE\"=F128\"\nVOPTION=\"\"WIDTH\"=0,\"BITRATE\"=" << n + 100
        << "\"\n";
  }
  const std::string big = program.File("tree/V_400_BIG");
  fs::create_directories(big);
  std::ofstream(big + "/info.ini") << "[CONFIG]\nDSPNAME=Big\nPARENTID=15\n";

  CDlgOutputFormat& d = Open("V_15_MANY", count);
  ASSERT_NE(d.CurrentProfile(), nullptr);
  EXPECT_EQ(d.CurrentProfile()->number, count);
  EXPECT_EQ(d.Profiles().size(), size_t(count));
  CCustomTreeChildCtrl& tree = d.ProfileList()->Tree();
  EXPECT_EQ(tree.topLevelItemCount(), count - 1);
  QTreeWidgetItem* last = d.ProfileRow(count);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->parent(), d.ProfileRow(1));
  EXPECT_EQ(tree.currentItem(), last);
  EXPECT_EQ(d.ProfileRow(5)->parent(), nullptr);
  EXPECT_EQ(RowText(d, 257, 1), "Profile 257");
  EXPECT_EQ(RowText(d, 257, 2), "485 Kbps");
  EXPECT_EQ(Str(d.Frame()->Caption()), "Number 300");
  // Row 290 is chosen like any other.
  tree.setCurrentItem(d.ProfileRow(290));
  EXPECT_EQ(d.CurrentProfile()->number, 290);
  EXPECT_EQ(Summary(d), "V_15_MANY/Many [390kb/s,orginal fps H.264;  44.1 kHZ 128 kb/s stereo AAC]");
  // A node numbered past 255 is listed under its parent.
  ASSERT_NE(d.NodeItem("V_400_BIG"), nullptr);
  EXPECT_EQ(d.NodeItem("V_400_BIG")->parent(), d.NodeItem("V_15_MANY"));
}

// ---- the VP6 codec's own state ----

class Vp6Codec : public OutputFormat {
 protected:
  void SetUp() override {
    OutputFormat::SetUp();
    root = std::string(TRIVOX_BINARY_DIR) + "/fixtures/fe-dialogs/vp6-output-format";
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root + "/registry.ini") << "[" << kDrivers32Key << "]\nvidc.vp62=" << FAKE_VFW_DRIVER << "\n";
    previous = GetVfwDriverFolders();
    SetVfwDriverFolders(VfwDriverFolders{RegistryFiles{root + "/registry.ini", ""}, root});
    setenv("FAKE_VFW_LOG", (root + "/driver.log").c_str(), 1);
  }
  void TearDown() override {
    SetVfwDriverFolders(previous);
    unsetenv("FAKE_VFW_LOG");
    OutputFormat::TearDown();
  }
  std::vector<std::string> StateLines() {
    std::ifstream in(root + "/driver.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("state VP62", 0) == 0) lines.push_back(line);
    return lines;
  }
  std::string root;
  VfwDriverFolders previous;
};

TEST_F(Vp6Codec, OkAndAdvancePutTheBitRateIntoTheCodecsState) {
  CDlgOutputFormat& d = Open("V_40_FLV", 2);
  ASSERT_EQ(d.VideoPage()->GetCodec()->encoder, kVp62Encoder);
  // "Advance..." runs the codec's own dialog over the page's bit rate and shows its answer.
  d.VideoPage()->OnCommand(IDC_CODEC_ADVANCE, BN_CLICKED);
  EXPECT_EQ(StateLines(), std::vector<std::string>{"state VP62 512 1"});
  EXPECT_EQ(d.VideoPage()->ComboFor("BITRATE")->GetValueText(), "1512");
  EXPECT_EQ(d.VideoPage()->GetParamList().GetInt("BITRATE", 0), 512);  // the list keeps its own

  ASSERT_TRUE(SetValue(d.VideoPage(), "BITRATE", "768"));
  ASSERT_EQ(RunWithOk(d), IDOK);
  EXPECT_EQ(d.Settings().videoBitrate, 768000);
  EXPECT_EQ(StateLines(), (std::vector<std::string>{"state VP62 512 1", "state VP62 768 1"}));
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(OutputFormat, WithoutTheVp6CodecAdvanceSaysSoAndOkStillEnds) {
  VfwDriverFolders previous = GetVfwDriverFolders();
  TempDir empty;
  std::ofstream(empty.File("registry.ini")) << "\n";
  SetVfwDriverFolders(VfwDriverFolders{RegistryFiles{empty.File("registry.ini"), ""}, empty.path()});
  CDlgOutputFormat& d = Open("V_40_FLV", 2);
  d.VideoPage()->OnCommand(IDC_CODEC_ADVANCE, BN_CLICKED);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_NE(boxes.Shown()[0].text.find("The VP6 codec can not be opened"), std::string::npos);
  EXPECT_EQ(RunWithOk(d), IDOK);
  SetVfwDriverFolders(previous);
}

// ---- the chosen settings converted by the engine ----

std::string ProbeLines(const std::string& path, const std::string& stream, const std::string& entries) {
  return RunCommand("ffprobe -v error -select_streams " + stream + " -show_entries stream=" + entries +
                    " -of default=nw=1 " + ShellQuote(path))
      .output;
}

TEST_F(OutputFormat, TheChosenSettingsBecomeATaskJobTheEngineConverts) {
  if (RunCommand("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null").status != 0)
    GTEST_SKIP() << "ffmpeg or ffprobe missing";
  TempDir work;
  const std::string clip = work.File("clip.mp4");
  const CommandRun made = RunCommand(
      "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=30:duration=2 -f lavfi -i "
      "sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -c:v mpeg4 -q:v 4 -c:a aac -shortest " +
      ShellQuote(clip) + " 2>&1");
  ASSERT_EQ(0, made.status) << made.output;

  CDlgOutputFormat d;
  d.SetCurrentProfile("V_10_MP4", 1);
  const int result = RunWithOk(d, [](CDlgOutputFormat& f) {
    EXPECT_TRUE(SetValue(f.VideoPage(), "WIDTH", "320"));
    EXPECT_TRUE(SetValue(f.VideoPage(), "HEIGHT", "240"));
    EXPECT_TRUE(SetValue(f.VideoPage(), "BITRATE", "500"));
    EXPECT_TRUE(SetValue(f.AudioPage(), "SAMPLERATE", "22050"));
    EXPECT_TRUE(SetValue(f.AudioPage(), "CHANNEL", "1"));
  });
  ASSERT_EQ(result, IDOK);
  const OutputSettings& settings = d.Settings();

  CTaskList tasks;
  tasks.SetOutputFolder(work.path());
  std::string message;
  auto record = Probe({"\"TYPE\"=0,\"STREAMID\"=0,\"WIDTH\"=640,\"HEIGHT\"=480,\"FRAMERATE\"=F30",
                       "\"TYPE\"=1,\"STREAMID\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"BITSIZE\"=16"},
                      2.0);
  CTask* task = tasks.AddTask(clip, *record, OutputSettings(), TaskOptions(), message);
  ASSERT_NE(task, nullptr) << message;
  // As the main window applies a new choice to its tasks.
  ASSERT_TRUE(tasks.ApplyProfile(settings, 0, message)) << message;
  fs::create_directories(work.File("out"));
  OutputNameList names;
  names.SetFolder(work.File("out"));
  ASSERT_TRUE(task->MakeOutputPath(names, message)) << message;
  SetEngineProgram(std::string(TRIVOX_STAGE_DIR) + "/trivox_free");
  std::string error;
  std::unique_ptr<EngineSession> session = StartEngineConvert(0x4040, task->job, &error);
  ASSERT_NE(session, nullptr) << error;
  const bool ended = WaitEngine(session.get(), 120000);
  SetEngineProgram("");
  HRESULT code = 0;
  EngineSession::GetExitCode(session.get(), &code);
  ASSERT_TRUE(ended) << std::hex << code;

  const std::string written = task->job.output.path;
  EXPECT_EQ(written, work.File("out/clip.mp4"));
  ASSERT_TRUE(fs::is_regular_file(written)) << written;
  const std::string video = ProbeLines(written, "v:0", "codec_name,width,height,r_frame_rate");
  EXPECT_EQ(video, "codec_name=h264\nwidth=320\nheight=240\nr_frame_rate=30/1\n");
  const std::string audio = ProbeLines(written, "a:0", "codec_name,sample_rate,channels");
  EXPECT_EQ(audio, "codec_name=aac\nsample_rate=22050\nchannels=1\n");
}

}  // namespace
