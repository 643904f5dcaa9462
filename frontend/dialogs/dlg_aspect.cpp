#include "frontend/dialogs/dlg_aspect.h"

#include <QComboBox>
#include <cstring>
#include <string_view>

#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/model/task.h"
#include "frontend/model/whole_file.h"
#include "frontend/ui/message_box.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_ASPECT,
    "Resize",
    250,
    156,
    {
        {CtrlKind::Text, IDC_STATIC, "Source dimentions:", 7, 10, 90, 8},
        {CtrlKind::Edit, IDC_ASPECT_SOURCE_SIZE, "", 100, 8, 80, 12, kCtrlDisabled},
        {CtrlKind::Text, IDC_STATIC, "Source aspect ratio:", 7, 28, 90, 8},
        {CtrlKind::ComboDropList, IDC_ASPECT_SOURCE, "", 100, 26, 80, 60},
        {CtrlKind::Text, IDC_STATIC, "Destination dimentions:", 7, 50, 90, 8},
        {CtrlKind::Edit, IDC_ASPECT_OUTPUT_SIZE, "", 100, 48, 80, 12, kCtrlDisabled},
        {CtrlKind::Text, IDC_STATIC, "Destination aspect ratio:", 7, 68, 90, 8},
        {CtrlKind::ComboDropList, IDC_ASPECT_OUTPUT, "", 100, 66, 80, 60},
        {CtrlKind::Text, IDC_STATIC, "Picture resize mode:", 7, 88, 90, 8},
        {CtrlKind::ComboDropList, IDC_ASPECT_RESIZE_MODE, "", 100, 86, 80, 70},
        {CtrlKind::PushButton, IDC_ASPECT_CUSTOM, "Custom picture resize...", 100, 106, 100, 14},
        {CtrlKind::Text, IDC_STATIC, "Note: desintination dimentions can be changed in output format setting.", 7, 130,
         236, 18},
    },
};

const char* const kAspects[] = {"Automatic", "4:3", "16:9", "Square pixels"};
const char* const kResizeModes[] = {"Letterbox", "Black left-right", "Black up-down", "Strecth", "Manu"};

std::string_view EntryKey(const FilterEntry& e) { return std::string_view(e.key, strnlen(e.key, sizeof(e.key))); }

bool IsVResize(std::string_view key) {
  constexpr std::string_view kName = "VRESIZE";
  if (key.size() != kName.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(key[i])) != kName[i]) return false;
  return true;
}

}  // namespace

CDlgAspect::CDlgAspect(CTask& task, const PreviewFrameOptions& preview, std::string dataFolder, QWidget* parent)
    : CPropertyPage(kTemplate), task_(task), preview_(preview), dataFolder_(std::move(dataFolder)) {
  if (parent != nullptr) setParent(parent, windowFlags());
}

CDlgAspect::~CDlgAspect() = default;

bool CDlgAspect::OnInitDialog() {
  for (int id : {IDC_ASPECT_SOURCE, IDC_ASPECT_OUTPUT}) {
    auto* combo = ItemAs<QComboBox>(id);
    for (const char* text : kAspects) combo->addItem(QString::fromUtf8(text));
  }
  auto* modes = ItemAs<QComboBox>(IDC_ASPECT_RESIZE_MODE);
  for (const char* text : kResizeModes) modes->addItem(QString::fromUtf8(text));
  Refresh();
  return true;
}

bool CDlgAspect::OnSetActive() {
  Refresh();
  return true;
}

void CDlgAspect::Refresh() {
  const auto select = [this](int id, int index) {
    auto* combo = ItemAs<QComboBox>(id);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  };
  select(IDC_ASPECT_SOURCE, task_.sourceAspectMode);
  select(IDC_ASPECT_OUTPUT, task_.targetAspectMode);
  const int32_t mode = task_.scaleMode;
  select(IDC_ASPECT_RESIZE_MODE, mode >= kScaleLetterbox && mode <= kScaleStretch ? mode - 1 : 4);
  const bool video = task_.hasVideo;
  if (video) {
    SetItemText(IDC_ASPECT_SOURCE_SIZE,
                QStringLiteral("%1x%2").arg(task_.sourceVideo.width).arg(task_.sourceVideo.height));
    SetItemText(IDC_ASPECT_OUTPUT_SIZE,
                QStringLiteral("%1x%2").arg(task_.outputVideo.width).arg(task_.outputVideo.height));
  }
  for (int id : {IDC_ASPECT_SOURCE, IDC_ASPECT_RESIZE_MODE, IDC_ASPECT_OUTPUT}) EnableItem(id, video);
}

bool CDlgAspect::OnCommand(int id, int code) {
  if (code == CBN_SELCHANGE && (id == IDC_ASPECT_SOURCE || id == IDC_ASPECT_OUTPUT || id == IDC_ASPECT_RESIZE_MODE)) {
    const int index = ItemAs<QComboBox>(id)->currentIndex();
    if (index < 0) return true;
    if (id == IDC_ASPECT_SOURCE)
      task_.sourceAspectMode = index;
    else if (id == IDC_ASPECT_OUTPUT)
      task_.targetAspectMode = index;
    else
      task_.scaleMode = index + 1;
    task_.ApplyVideoSize();
    return true;
  }
  if (id == IDC_ASPECT_CUSTOM && code == BN_CLICKED) {
    CustomResize();
    return true;
  }
  return CPropertyPage::OnCommand(id, code);
}

void CDlgAspect::CustomResize() {
  FilterEntry* entry = nullptr;
  for (FilterEntry& e : task_.VideoFilters()) {
    if (IsVResize(EntryKey(e)) && (e.flags & kFilterDeletable) == 0) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) {
    ShowMessageBox(this, "Cannot find resize filter in filter map.", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  // A job the engine cannot run (a path too long for it) leaves the black frame.
  FrameJob job;
  BuildPreviewJob(task_, preview_, JoinPath(dataFolder_, "preview.bmp"), job);

  CDlgCropResize dialog;
  dialog.SetSource(task_.sourceVideo.width, task_.sourceVideo.height, task_.GetSourceAspect(), task_.GetTargetAspect(),
                   job, dataFolder_);
  dialog.SetParams(entry->params.c_str(), static_cast<uint32_t>(entry->params.size() + 1));
  if (dialog.Edit(this) != S_OK) return;
  uint32_t length = 0;
  if (dialog.GetParams(nullptr, &length) != SETUP_E_BUFFER_TOO_SMALL) return;
  std::string buffer(length, '\0');
  if (dialog.GetParams(buffer.data(), &length) != S_OK || length >= kJobParamField || length == 0) return;
  entry->params.assign(buffer.c_str());
  task_.scaleMode = dialog.ScaleMode();
  Refresh();
}
