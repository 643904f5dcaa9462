// "Output format": the profile tree on the left (Video, Audio and Custom
// nodes), the numbered profiles of the chosen node in a column list, and the
// video and audio settings pages of the chosen profile on two tabs inside a
// page frame captioned with the profile's description. Its product is one
// OutputSettings record, filled by the caller before the dialog runs and read
// back after OK; it also saves the choice as the default, saves an edited
// profile, saves it as a custom profile ("Add custom") and deletes custom
// profiles.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frontend/controls/image_list.h"
#include "frontend/dialogs/dlg_codec_settings.h"
#include "frontend/model/output_format.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"
#include "frontend/ui/ui_dialog.h"

class CColumnTreeCtrl;
class CPageFrame;
class CTabCtrl;
class QTreeWidget;
class QTreeWidgetItem;

constexpr int IDD_OUTPUT_FORMAT = 109;
constexpr int IDD_ADD_CUSTOM = 122;
constexpr int IDC_NODE_TREE = 1105;
constexpr int IDC_SETTING_TABS = 1108;
constexpr int IDC_PROFILE_LIST = 1233;
constexpr int IDC_SAVE_SETTING = 1133;
constexpr int IDC_SAVE_DEFAULT = 1134;
constexpr int IDC_SAVE_PROFILE = 1136;
constexpr int IDC_DELETE_PROFILE = 1241;
constexpr int IDC_CUSTOM_VIDEO = 1131;
constexpr int IDC_CUSTOM_AUDIO = 1132;
constexpr int IDC_CUSTOM_NAME = 1255;
constexpr int IDC_PAGE_FRAME = 0xFFFF;

// The images of the node tree's roots and of nodes without a picture of their own.
enum NodeImageSlot { kImageAudio = 0, kImageVideo = 1, kImageCustom = 2, kImageOther = 3 };
constexpr int kNoTab = 255;

class CDlgOutputFormat : public UiDialog {
 public:
  explicit CDlgOutputFormat(QWidget* parent = nullptr);
  ~CDlgOutputFormat() override;

  // The node folder and profile number chosen when the dialog opens.
  void SetCurrentProfile(const std::string& nodeFolder, int32_t number);
  // The record being edited: the caller's copy before, the choice after OK.
  OutputSettings& Settings() { return settings_; }
  // The summary line of the current choice, with its node folder and profile
  // number; an empty line (and number 0) when nothing is chosen.
  void FormatProfileSummary(std::string& text, std::string& nodeFolder, int32_t& number);

  // What the dialog shows.
  const ProfileNode* CurrentNode() const;
  const OutputProfile* CurrentProfile() const;
  const std::vector<ProfileNode>& Nodes() const { return nodes_; }
  const std::vector<OutputProfile>& Profiles() const { return profiles_; }
  CDlgAudioSettings* AudioPage() const { return audioPage_.get(); }
  CDlgVideoSettings* VideoPage() const { return videoPage_.get(); }
  QTreeWidget* NodeTree() const { return nodeTree_; }
  CColumnTreeCtrl* ProfileList() const { return profileList_; }
  CTabCtrl* Tabs() const { return tabs_; }
  CPageFrame* Frame() const { return frame_; }
  const CImageList& Images() const { return images_; }
  // The tree item of a node folder, and the image index it shows (-1 for none).
  QTreeWidgetItem* NodeItem(const std::string& folder) const;
  static int ItemImage(const QTreeWidgetItem* item);
  // The row of a profile number, or null.
  QTreeWidgetItem* ProfileRow(int32_t number) const;
  int VideoTab() const { return videoTab_; }
  int AudioTab() const { return audioTab_; }
  // The current choice as the model takes it.
  OutputChoice Choice() const;

  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  void Layout();
  int AddPicture(const std::string& relativePath);
  void FillNodeTree();
  void SelectStoredProfile();
  void LoadNodeProfiles(int node);
  void BuildPages();
  void ShowPages();
  void SelectRow(int profile);
  void OnNodeChosen();
  void OnProfileChosen();
  void OnTabChosen();
  void RefreshSelectedRow();
  bool FillSettings(bool tell);

  void OnSaveSetting();
  void OnSaveDefault();
  void OnSaveProfile();
  void OnDeleteProfile();

  // What the caller sets.
  OutputSettings settings_;
  std::string storedNode_;
  int32_t storedNumber_ = 0;

  std::vector<ProfileNode> nodes_;
  std::vector<QTreeWidgetItem*> nodeItems_;  // by node, null when not shown
  std::vector<OutputProfile> profiles_;
  std::vector<std::pair<QTreeWidgetItem*, int32_t>> rows_;  // (row, profile number) in insertion order
  int currentNode_ = -1;
  int currentProfile_ = -1;
  MuxerDesc muxer_;

  std::unique_ptr<CDlgAudioSettings> audioPage_;
  std::unique_ptr<CDlgVideoSettings> videoPage_;
  int videoTab_ = kNoTab;
  int audioTab_ = kNoTab;
  int lastShown_ = 0;  // 0 video, 1 audio

  CImageList images_;
  std::map<NodeImageSlot, int> slotImages_;  // the pictures that loaded
  std::map<int32_t, int> nodeImages_;        // node number -> image

  QTreeWidget* nodeTree_ = nullptr;
  CColumnTreeCtrl* profileList_ = nullptr;
  CTabCtrl* tabs_ = nullptr;
  CPageFrame* frame_ = nullptr;
  bool ready_ = false;
  bool filling_ = true;
};

// "Add custom": the group a custom profile goes into (video or audio) and its
// name, "Custom video <n>" or "Custom audio <n>" until the user types another.
class CDlgAddCustom : public UiDialog {
 public:
  explicit CDlgAddCustom(QWidget* parent = nullptr);

  // In: the free numbers and the kind (0 video, 1 audio). Out: kind and name.
  int32_t videoNumber = 1;
  int32_t audioNumber = 1;
  int kind = 0;
  std::string name;

  static std::string DefaultName(int kind, int32_t number);

  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};
