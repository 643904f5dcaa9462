#include "frontend/dialogs/dlg_output_format.h"

#include <strings.h>

#include <QLineEdit>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "frontend/controls/column_tree.h"
#include "frontend/controls/page_frame.h"
#include "frontend/controls/tab_ctrl.h"
#include "frontend/model/param_text.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"
#include "frontend/ui/vfw_codec_setup.h"
#include "platform/text_case.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_OUTPUT_FORMAT,
    "Output format",
    420,
    290,
    {
        {CtrlKind::Placeholder, IDC_NODE_TREE, "", 4, 4, 110, 258},
        {CtrlKind::Placeholder, IDC_PROFILE_LIST, "", 124, 20, 288, 100},
        {CtrlKind::Placeholder, IDC_SETTING_TABS, "", 124, 126, 288, 130},
        {CtrlKind::PushButton, IDC_SAVE_SETTING, "Save setting...", 4, 270, 60, 14},
        {CtrlKind::PushButton, IDC_SAVE_DEFAULT, "Save as default", 68, 270, 60, 14},
        {CtrlKind::PushButton, IDC_SAVE_PROFILE, "Save", 132, 270, 40, 14},
        {CtrlKind::PushButton, IDC_DELETE_PROFILE, "&Delete", 176, 270, 40, 14},
        {CtrlKind::DefPushButton, IDOK, "OK", 310, 270, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 364, 270, 50, 14},
    },
};

const DialogTemplate kAddCustomTemplate = {
    IDD_ADD_CUSTOM,
    "Add custom",
    186,
    86,
    {
        {CtrlKind::GroupBox, IDC_STATIC, "Add into group", 7, 7, 172, 30},
        {CtrlKind::Radio, IDC_CUSTOM_VIDEO, "Custom video", 16, 19, 70, 10, kCtrlGroup},
        {CtrlKind::Radio, IDC_CUSTOM_AUDIO, "Custom audio", 96, 19, 70, 10},
        {CtrlKind::Text, IDC_STATIC, "Name:", 7, 46, 30, 8},
        {CtrlKind::Edit, IDC_CUSTOM_NAME, "", 40, 44, 139, 13},
        {CtrlKind::DefPushButton, IDOK, "OK", 75, 65, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 129, 65, 50, 14},
    },
};

constexpr int kNameLimit = 32;
constexpr int kCaptionHeight = 22;
constexpr int kDataRole = Qt::UserRole;       // a node's index + 1 (0 for the roots)
constexpr int kImageRole = Qt::UserRole + 1;  // the image index shown, -1 for none

// Profile rows carry their profile's index + 1.
quintptr RowData(int profile) { return static_cast<quintptr>(profile) + 1; }
int RowProfile(const QTreeWidgetItem* row) {
  return row == nullptr ? -1 : static_cast<int>(CMutiTreeCtrl::ItemData(row)) - 1;
}

// The node tree: a plain tree that tells its parent of a new selection.
class CNodeTree final : public QTreeWidget {
 public:
  explicit CNodeTree(QWidget* parent = nullptr) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { NotifyParent(this, TVN_SELCHANGED, current); });
  }
};

}  // namespace

// ---- CDlgOutputFormat ----

CDlgOutputFormat::CDlgOutputFormat(QWidget* parent) : UiDialog(kTemplate, parent), images_(16, 16) {
  nodeTree_ = SubclassItem(IDC_NODE_TREE, new CNodeTree);
  profileList_ = SubclassItem(IDC_PROFILE_LIST, new CColumnTreeCtrl);
  tabs_ = SubclassItem(IDC_SETTING_TABS, new CTabCtrl);
}

CDlgOutputFormat::~CDlgOutputFormat() {
  // The pages go before the tab control that holds them.
  audioPage_.reset();
  videoPage_.reset();
}

void CDlgOutputFormat::SetCurrentProfile(const std::string& nodeFolder, int32_t number) {
  storedNode_ = nodeFolder.substr(0, 63);
  storedNumber_ = number;
}

const ProfileNode* CDlgOutputFormat::CurrentNode() const {
  return currentNode_ >= 0 ? &nodes_[static_cast<size_t>(currentNode_)] : nullptr;
}

const OutputProfile* CDlgOutputFormat::CurrentProfile() const {
  return currentProfile_ >= 0 ? &profiles_[static_cast<size_t>(currentProfile_)] : nullptr;
}

OutputChoice CDlgOutputFormat::Choice() const {
  OutputChoice choice;
  choice.profile = CurrentProfile();
  choice.muxer = &muxer_;
  if (audioPage_ != nullptr && audioPage_->GetCodec() != nullptr)
    choice.audio = {audioPage_->GetCodec(), &audioPage_->GetParamList()};
  if (videoPage_ != nullptr && videoPage_->GetCodec() != nullptr)
    choice.video = {videoPage_->GetCodec(), &videoPage_->GetParamList()};
  return choice;
}

QTreeWidgetItem* CDlgOutputFormat::NodeItem(const std::string& folder) const {
  for (size_t i = 0; i < nodes_.size(); ++i)
    if (EqualsIgnoringCase(nodes_[i].folder, folder)) return nodeItems_[i];
  return nullptr;
}

int CDlgOutputFormat::ItemImage(const QTreeWidgetItem* item) {
  return item == nullptr ? -1 : item->data(0, kImageRole).toInt();
}

QTreeWidgetItem* CDlgOutputFormat::ProfileRow(int32_t number) const {
  for (const auto& [row, n] : rows_)
    if (n == number) return row;
  return nullptr;
}

// ---- initialisation ----

void CDlgOutputFormat::Layout() {
  const QRect client = Client()->rect();
  nodeTree_->setGeometry(5, 5, 193, client.height() - 40);
  const QRect frame = client.adjusted(203, 5, -5, -35);
  frame_->setGeometry(frame);
  const int left = frame.left() + 6, width = frame.width() - 12;
  const int listTop = frame.top() + kCaptionHeight + 6;
  const int listHeight = (frame.height() - kCaptionHeight) * 2 / 5;
  profileList_->setGeometry(left, listTop, width, listHeight);
  const int tabTop = listTop + listHeight + 8;
  tabs_->setGeometry(left, tabTop, width, frame.bottom() - 6 - tabTop);
  // The buttons on the band below.
  const int top = client.height() - 30;
  int x = 5;
  for (int id : {IDC_SAVE_SETTING, IDC_SAVE_DEFAULT, IDC_SAVE_PROFILE, IDC_DELETE_PROFILE}) {
    QWidget* button = Item(id);
    const int w = std::max(button->sizeHint().width(), id == IDC_SAVE_PROFILE || id == IDC_DELETE_PROFILE ? 70 : 100);
    button->setGeometry(x, top, w, 24);
    x += w + 6;
  }
  Item(IDCANCEL)->setGeometry(client.width() - 5 - 80, top, 80, 24);
  Item(IDOK)->setGeometry(client.width() - 5 - 80 - 6 - 80, top, 80, 24);
}

bool CDlgOutputFormat::OnInitDialog() {
  profileList_->InsertColumn(0, QStringLiteral("ID"), HDF_LEFT, 45);
  profileList_->InsertColumn(1, QStringLiteral("Profile"), HDF_LEFT, 170);
  profileList_->InsertColumn(3, QStringLiteral("Dimensions"), HDF_LEFT, 80);
  profileList_->InsertColumn(2, QStringLiteral("Average bitrate"), HDF_LEFT, 115);
  profileList_->Tree().ModifyTreeStyle(
      0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_FULLROWSELECT);
  profileList_->OnInitialize();

  frame_ = new CPageFrame;
  frame_->Create(Client(), QRect(), IDC_PAGE_FRAME);
  frame_->lower();  // behind the list and the tabs it frames
  frame_->SetCaptionVisible(true);
  frame_->SetCaption(QString(), QPixmap());
  frame_->SetCaptionHeight(kCaptionHeight);
  frame_->SetPage(tabs_);
  Layout();

  FillNodeTree();
  ready_ = false;
  SelectStoredProfile();
  ready_ = true;
  return true;
}

int CDlgOutputFormat::AddPicture(const std::string& relativePath) {
  return images_.AddFile(ResolveProfileFile(relativePath));
}

void CDlgOutputFormat::FillNodeTree() {
  images_.Clear();
  slotImages_.clear();
  nodeImages_.clear();
  // A picture that is missing is left out; the others keep their own images.
  const std::pair<NodeImageSlot, const char*> pictures[] = {{kImageAudio, "tree/a.bmp"},
                                                            {kImageVideo, "tree/v.bmp"},
                                                            {kImageCustom, "tree/c.bmp"},
                                                            {kImageOther, "tree/o.bmp"}};
  for (const auto& [slot, path] : pictures) {
    const int image = AddPicture(path);
    if (image >= 0) slotImages_[slot] = image;
  }
  const auto slotImage = [this](NodeImageSlot slot) {
    auto it = slotImages_.find(slot);
    return it != slotImages_.end() ? it->second : -1;
  };

  nodes_.clear();
  EnumProfileNodes(nodes_);
  for (const ProfileNode& node : nodes_) {
    const int image = AddPicture("tree/" + node.folder + "/info.bmp");
    nodeImages_[node.number] = image >= 0 ? image : slotImage(kImageOther);
  }

  const auto setImage = [this](QTreeWidgetItem* item, int image) {
    item->setData(0, kImageRole, image);
    if (image >= 0) item->setIcon(0, QIcon(images_.Image(image)));
  };
  nodeTree_->clear();
  nodeItems_.assign(nodes_.size(), nullptr);
  auto* video = new QTreeWidgetItem(nodeTree_, QStringList(QStringLiteral("Video")));
  auto* audio = new QTreeWidgetItem(nodeTree_, QStringList(QStringLiteral("Audio")));
  auto* custom = new QTreeWidgetItem(nodeTree_, QStringList(QStringLiteral("Custom")));
  setImage(video, slotImage(kImageVideo));
  setImage(audio, slotImage(kImageAudio));
  setImage(custom, slotImage(kImageCustom));
  for (QTreeWidgetItem* root : {video, audio, custom}) root->setData(0, kDataRole, 0);

  std::map<int32_t, QTreeWidgetItem*> byId;
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const ProfileNode& node = nodes_[i];
    QTreeWidgetItem* parent = nullptr;
    if (auto it = byId.find(node.parentId); it != byId.end()) parent = it->second;
    if (parent == nullptr) parent = node.kind == 'V' ? video : node.kind == 'A' ? audio : custom;
    auto* item = new QTreeWidgetItem(parent, QStringList(Qs(node.displayName)));
    item->setData(0, kDataRole, static_cast<int>(i) + 1);
    setImage(item, nodeImages_[node.number]);
    if (byId.count(node.number) == 0) byId[node.number] = item;
    nodeItems_[i] = item;
  }
  for (QTreeWidgetItem* root : {video, audio, custom}) root->setExpanded(true);
}

void CDlgOutputFormat::SelectStoredProfile() {
  int node = -1;
  for (size_t i = 0; i < nodes_.size() && node < 0; ++i)
    if (EqualsIgnoringCase(nodes_[i].folder, storedNode_)) node = static_cast<int>(i);
  if (node < 0) return;  // nothing chosen
  currentNode_ = node;
  LoadNodeProfiles(node);
  int profile = -1;
  for (size_t i = 0; i < profiles_.size() && profile < 0; ++i)
    if (profiles_[i].number == storedNumber_) profile = static_cast<int>(i);

  QTreeWidgetItem* item = nodeItems_[static_cast<size_t>(node)];
  nodeTree_->setCurrentItem(item);
  if (item->parent() != nullptr) nodeTree_->scrollToItem(item->parent(), QAbstractItemView::PositionAtTop);
  if (profile < 0) return;  // the node's profiles, none chosen

  currentProfile_ = profile;
  BuildPages();
  if (audioPage_ != nullptr && settings_.audioCodec[0] != '\0')
    audioPage_->SetCodecList(this, nullptr, settings_.audioCodec, settings_.audioParams);
  if (videoPage_ != nullptr && settings_.videoCodec[0] != '\0')
    videoPage_->SetCodecList(this, nullptr, settings_.videoCodec, settings_.videoParams);
  frame_->SetCaption(Qs(profiles_[static_cast<size_t>(profile)].desc), QPixmap());
  SelectRow(profile);
}

void CDlgOutputFormat::SelectRow(int profile) {
  CCustomTreeChildCtrl& tree = profileList_->Tree();
  // Top-level rows in order, the children of a row before the row itself.
  std::function<QTreeWidgetItem*(QTreeWidgetItem*)> find = [&](QTreeWidgetItem* row) -> QTreeWidgetItem* {
    for (int i = 0; i < row->childCount(); ++i)
      if (QTreeWidgetItem* hit = find(row->child(i))) return hit;
    return RowProfile(row) == profile ? row : nullptr;
  };
  for (int i = 0; i < tree.topLevelItemCount(); ++i) {
    if (QTreeWidgetItem* hit = find(tree.topLevelItem(i))) {
      tree.setCurrentItem(hit);
      tree.scrollToItem(hit);
      return;
    }
  }
}

// ---- a node's profiles ----

void CDlgOutputFormat::LoadNodeProfiles(int node) {
  currentProfile_ = -1;
  const ProfileNode& n = nodes_[static_cast<size_t>(node)];
  EnableItem(IDC_DELETE_PROFILE, n.kind == 'C');
  profiles_.clear();
  EnumNodeProfiles(n.folder, profiles_);

  CCustomTreeChildCtrl& tree = profileList_->Tree();
  profileList_->setUpdatesEnabled(false);
  filling_ = false;
  tree.clear();
  filling_ = true;
  rows_.clear();
  std::map<int32_t, QTreeWidgetItem*> byNumber;
  for (size_t i = 0; i < profiles_.size(); ++i) {
    const OutputProfile& p = profiles_[i];
    QTreeWidgetItem* parent = nullptr;
    if (p.parentId != 0)
      if (auto it = byNumber.find(p.parentId); it != byNumber.end()) parent = it->second;
    QTreeWidgetItem* row = tree.InsertItem(QString(), parent, TreeInsert::Last, RowData(static_cast<int>(i)));
    rows_.emplace_back(row, p.number);
    if (byNumber.count(p.number) == 0) byNumber[p.number] = row;
    const ProfileFigures figures = ComputeProfileFigures(p.audioOptions, p.videoOptions);
    profileList_->SetItemText(row, 0, QString::number(p.number));
    profileList_->SetItemText(row, 1, Qs(p.displayName));
    profileList_->SetItemText(row, 2, Qs(ProfileBitrateText(figures)));
    profileList_->SetItemText(row, 3, Qs(figures.dimensions));
  }
  for (const auto& [row, number] : rows_)
    if (row->childCount() > 0) row->setExpanded(true);
  profileList_->setUpdatesEnabled(true);
  profileList_->Layout();
}

// ---- the pages of the current profile ----

void CDlgOutputFormat::BuildPages() {
  const OutputProfile& profile = profiles_[static_cast<size_t>(currentProfile_)];
  const bool hadAudio = audioPage_ != nullptr, hadVideo = videoPage_ != nullptr;
  LoadMuxerDesc(profile.muxer, muxer_);

  const auto prepare = [&](auto& page, bool audio, const std::string& codecName, const std::string& options) {
    using Page = typename std::decay_t<decltype(page)>::element_type;
    std::vector<CodecDesc>& list = audio ? muxer_.audioCodecs : muxer_.videoCodecs;
    bool listed = false;
    for (const CodecDesc& codec : list) listed = listed || EqualsIgnoringCase(codec.name, codecName);
    if (!listed) {
      CodecDesc codec;
      if (audio)
        LoadAudioCodecDesc(codecName, codec);
      else
        LoadVideoCodecDesc(codecName, codec);
      list.push_back(std::move(codec));
    }
    if (page == nullptr) {
      page = std::make_unique<Page>();
      page->Create(tabs_);
    }
    page->SetCodecList(this, &list, codecName, options);
  };
  if (!profile.audioCodec.empty())
    prepare(audioPage_, true, profile.audioCodec, profile.audioOptions);
  else
    audioPage_.reset();
  if (!profile.videoCodec.empty())
    prepare(videoPage_, false, profile.videoCodec, profile.videoOptions);
  else
    videoPage_.reset();

  if (hadAudio != (audioPage_ != nullptr) || hadVideo != (videoPage_ != nullptr)) {
    tabs_->DeleteAllItems();
    videoTab_ = audioTab_ = kNoTab;
    if (videoPage_ != nullptr) videoTab_ = tabs_->InsertItem(tabs_->GetItemCount(), QStringLiteral("Video Setting"));
    if (audioPage_ != nullptr) audioTab_ = tabs_->InsertItem(tabs_->GetItemCount(), QStringLiteral("Audio Setting"));
  }
  const int lastTab = lastShown_ == 1 ? audioTab_ : videoTab_;
  if (lastTab != kNoTab)
    tabs_->SetCurSel(lastTab);
  else if (tabs_->GetItemCount() > 0)
    tabs_->SetCurSel(0);
  ShowPages();
}

void CDlgOutputFormat::ShowPages() {
  const QRect area = tabs_->DisplayRect();
  for (UiDialog* page : {static_cast<UiDialog*>(videoPage_.get()), static_cast<UiDialog*>(audioPage_.get())})
    if (page != nullptr) page->setGeometry(area);
  UiDialog* shown = lastShown_ == 1 && audioPage_ != nullptr ? static_cast<UiDialog*>(audioPage_.get())
                    : videoPage_ != nullptr                  ? static_cast<UiDialog*>(videoPage_.get())
                                                             : static_cast<UiDialog*>(audioPage_.get());
  for (UiDialog* page : {static_cast<UiDialog*>(videoPage_.get()), static_cast<UiDialog*>(audioPage_.get())})
    if (page != nullptr) page->setVisible(page == shown);
}

// ---- choosing ----

void CDlgOutputFormat::OnNodeChosen() {
  const int node = nodeTree_->currentItem() != nullptr ? nodeTree_->currentItem()->data(0, kDataRole).toInt() - 1 : -1;
  // A root names no node: the choice stays.
  if (node < 0 || node == currentNode_) return;
  currentNode_ = node;
  LoadNodeProfiles(node);
  CCustomTreeChildCtrl& tree = profileList_->Tree();
  if (tree.topLevelItemCount() > 0) tree.setCurrentItem(tree.topLevelItem(0));
}

void CDlgOutputFormat::OnProfileChosen() {
  const int profile = RowProfile(profileList_->Tree().currentItem());
  if (profile < 0 || static_cast<size_t>(profile) >= profiles_.size() || profile == currentProfile_) return;
  frame_->SetCaption(Qs(profiles_[static_cast<size_t>(profile)].desc), QPixmap());
  currentProfile_ = profile;
  BuildPages();
}

void CDlgOutputFormat::OnTabChosen() {
  const int tab = tabs_->GetCurSel();
  if (tab == kNoTab || tab < 0) return;
  if (tab == audioTab_) {
    if (audioPage_ != nullptr) audioPage_->show();
    if (videoPage_ != nullptr) videoPage_->hide();
    lastShown_ = 1;
  } else {
    if (videoPage_ != nullptr) videoPage_->show();
    if (audioPage_ != nullptr) audioPage_->hide();
    lastShown_ = 0;
  }
}

intptr_t CDlgOutputFormat::OnNotify(const UiNotify& notify) {
  switch (notify.idFrom) {
    case IDC_NODE_TREE:
      if (notify.code == TVN_SELCHANGED && ready_) OnNodeChosen();
      return 0;
    case IDC_PROFILE_LIST:
      if (notify.code == TVN_SELCHANGED && ready_ && filling_) OnProfileChosen();
      return 0;
    case IDC_SETTING_TABS:
      if (notify.code == TCN_SELCHANGE) OnTabChosen();
      return 0;
    default:
      return UiDialog::OnNotify(notify);
  }
}

// ---- the record ----

bool CDlgOutputFormat::FillSettings(bool tell) {
  std::string message;
  if (FillOutputSettings(Choice(), settings_, message)) return true;
  if (tell) ShowMessageBox(this, "The settings can not be used: " + message, nullptr, MB_ICONEXCLAMATION);
  return false;
}

void CDlgOutputFormat::RefreshSelectedRow() {
  QTreeWidgetItem* row = profileList_->Tree().currentItem();
  if (row == nullptr || CurrentProfile() == nullptr || !FillSettings(false)) return;
  const ProfileFigures figures = ComputeProfileFigures(settings_.audioParams, settings_.videoParams);
  profileList_->SetItemText(row, 2, Qs(ProfileBitrateText(figures, true)));
  profileList_->SetItemText(row, 3, Qs(figures.dimensions));
  profileList_->Tree().viewport()->update();
}

intptr_t CDlgOutputFormat::OnMessage(const UiMessage& message) {
  if (message.msg == WM_SETTINGS_CHANGED) {
    RefreshSelectedRow();
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgOutputFormat::FormatProfileSummary(std::string& text, std::string& nodeFolder, int32_t& number) {
  const ProfileNode* node = CurrentNode();
  const OutputProfile* profile = CurrentProfile();
  nodeFolder = node != nullptr ? node->folder : std::string();
  number = profile != nullptr ? profile->number : 0;
  text = node != nullptr && profile != nullptr ? ProfileSummaryLine(node->folder, node->displayName, Choice()) : "";
}

void CDlgOutputFormat::OnOK() {
  if (CurrentProfile() == nullptr) {
    EndDialog(IDCANCEL);
    return;
  }
  // A value still being typed counts.
  for (CDlgCodecSettings* page :
       {static_cast<CDlgCodecSettings*>(videoPage_.get()), static_cast<CDlgCodecSettings*>(audioPage_.get())})
    if (page != nullptr && page->isVisible() && !page->CommitTyping()) return;
  if (!FillSettings(true)) return;
  if (EqualsIgnoringCase(settings_.videoCodec, kVp62Encoder)) {
    CVfwCodecSetup vp6;
    if (vp6.Open(MakeFourcc('V', 'P', '6', '2'), true) == S_OK)
      PutVp62Bitrate(vp6, static_cast<uint32_t>(settings_.videoBitrate) / 1000);
  }
  EndDialog(IDOK);
}

// ---- the buttons ----

void CDlgOutputFormat::OnSaveDefault() {
  if (CurrentProfile() == nullptr) {
    ShowMessageBox(this, "Please select a profile first!", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  if (!FillSettings(true)) return;
  std::string summary, node;
  int32_t number = 0;
  FormatProfileSummary(summary, node, number);
  if (!SaveDefaultSettings(node, number, summary, settings_)) {
    ShowMessageBox(this, "The settings could not be saved as default.", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  ShowMessageBox(this, "Save the settings as default finished.", nullptr, MB_ICONINFORMATION);
}

void CDlgOutputFormat::OnSaveSetting() {
  if (CurrentProfile() == nullptr) {
    ShowMessageBox(this, "Please select a profile first!", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  CDlgAddCustom add(this);
  FindFreeProfileNumber(add.videoNumber, add.audioNumber);
  add.kind = videoPage_ == nullptr && audioPage_ != nullptr ? 1 : 0;
  if (add.DoModal() != IDOK) return;
  const OutputProfile profile = ProfileOfChoice(Choice());
  const int32_t number = add.kind == 1 ? add.audioNumber : add.videoNumber;
  if (!SaveCustomProfile(add.kind == 1, number, add.name, profile))
    ShowMessageBox(this, "The custom profile could not be saved.", nullptr, MB_ICONEXCLAMATION);
}

void CDlgOutputFormat::OnSaveProfile() {
  const ProfileNode* node = CurrentNode();
  if (node == nullptr || CurrentProfile() == nullptr) return;
  const OutputProfile profile = ProfileOfChoice(Choice());
  if (!FormatProfileText(UserProfilePath(node->folder, profile.number), profile))
    ShowMessageBox(this, "The profile could not be saved.", nullptr, MB_ICONEXCLAMATION);
}

void CDlgOutputFormat::OnDeleteProfile() {
  const ProfileNode* node = CurrentNode();
  const OutputProfile* profile = CurrentProfile();
  if (node == nullptr || profile == nullptr || node->kind != 'C') return;
  const std::string relative = "tree/" + node->folder + "/" + std::to_string(profile->number) + ".ini";
  std::error_code ec;
  // The user's copy, else a file of the program folder.
  if (!std::filesystem::remove(UserProfilePath(node->folder, profile->number), ec))
    std::filesystem::remove(ResolveProfileFile(relative), ec);
  LoadNodeProfiles(currentNode_);
  CCustomTreeChildCtrl& tree = profileList_->Tree();
  if (tree.topLevelItemCount() > 0) tree.setCurrentItem(tree.topLevelItem(0));
}

bool CDlgOutputFormat::OnCommand(int id, int code) {
  switch (id) {
    case IDC_SAVE_SETTING:
      OnSaveSetting();
      return true;
    case IDC_SAVE_DEFAULT:
      OnSaveDefault();
      return true;
    case IDC_SAVE_PROFILE:
      OnSaveProfile();
      return true;
    case IDC_DELETE_PROFILE:
      OnDeleteProfile();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}

// ---- CDlgAddCustom ----

CDlgAddCustom::CDlgAddCustom(QWidget* parent) : UiDialog(kAddCustomTemplate, parent) {}

std::string CDlgAddCustom::DefaultName(int kind, int32_t number) {
  return (kind == 1 ? "Custom audio " : "Custom video ") + std::to_string(number);
}

bool CDlgAddCustom::OnInitDialog() {
  CheckRadio(IDC_CUSTOM_VIDEO, IDC_CUSTOM_AUDIO, kind == 1 ? IDC_CUSTOM_AUDIO : IDC_CUSTOM_VIDEO);
  auto* edit = ItemAs<QLineEdit>(IDC_CUSTOM_NAME);
  edit->setMaxLength(kNameLimit);
  edit->setText(Qs(DefaultName(kind, kind == 1 ? audioNumber : videoNumber)));
  return true;
}

bool CDlgAddCustom::OnCommand(int id, int code) {
  if ((id == IDC_CUSTOM_VIDEO || id == IDC_CUSTOM_AUDIO) && code == BN_CLICKED) {
    const int chosen = id == IDC_CUSTOM_AUDIO ? 1 : 0;
    if (chosen != kind) {
      const std::string previous = DefaultName(kind, kind == 1 ? audioNumber : videoNumber);
      // A name the user typed stays.
      if (ItemText(IDC_CUSTOM_NAME).toStdString() == previous)
        SetItemText(IDC_CUSTOM_NAME, Qs(DefaultName(chosen, chosen == 1 ? audioNumber : videoNumber)));
      kind = chosen;
    }
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgAddCustom::OnOK() {
  const std::string typed = ItemText(IDC_CUSTOM_NAME).toStdString();
  if (typed.find_first_not_of(" \t") == std::string::npos) {
    ShowMessageBox(this, "Please enter a name for the custom profile.", nullptr, MB_ICONEXCLAMATION);
    FocusItem(IDC_CUSTOM_NAME);
    return;
  }
  name = typed;
  EndDialog(IDOK);
}
