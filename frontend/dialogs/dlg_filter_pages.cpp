#include "frontend/dialogs/dlg_filter_pages.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "frontend/controls/drag_list.h"
#include "frontend/dialogs/dlg_filter_list.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"

namespace {

DialogTemplate PageTemplate(bool audio) {
  return {
      audio ? IDD_AUDIO_FILTER : IDD_VIDEO_FILTER,
      audio ? "Audio filter" : "Video filter",
      260,
      160,
      {
          {CtrlKind::Placeholder, IDC_FILTERS, "", 7, 7, 246, 124},
          {CtrlKind::PushButton, IDC_FILTER_ADD, "Add...", 7, 139, 44, 14},
          {CtrlKind::PushButton, IDC_FILTER_CONFIG, "Config...", 55, 139, 44, 14},
          {CtrlKind::PushButton, IDC_FILTER_DELETE, "Delete", 103, 139, 44, 14},
          {CtrlKind::PushButton, IDC_FILTER_UP, "Moveup", 161, 139, 44, 14},
          {CtrlKind::PushButton, IDC_FILTER_DOWN, "Movedown", 209, 139, 44, 14},
      },
  };
}

const char* TypeText(int32_t flags) {
  if ((flags & kFilterSystem) == 0) return kFilterManual;
  return (flags & kFilterDeletable) != 0 ? kFilterAutomaticRemovable : kFilterAutomatic;
}

}  // namespace

CFilterListPage::CFilterListPage(bool audio, CTask& task, const PreviewFrameOptions& preview, std::string dataFolder)
    : CPropertyPage(PageTemplate(audio)),
      audio_(audio),
      task_(task),
      preview_(preview),
      dataFolder_(std::move(dataFolder)) {
  list_ = SubclassItem(IDC_FILTERS, new CDragListCtrl);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateConfigButton(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    const int row = list_->GetSelectedRow();
    if (row >= 0 && size_t(row) < items_.size() && items_[size_t(row)].enableAdv != 0) ConfigSelected();
  });
}

CFilterListPage::~CFilterListPage() = default;

void CFilterListPage::SetDescriptions(std::vector<FilterDesc> descriptions) {
  descriptions_ = std::move(descriptions);
  haveDescriptions_ = true;
}

std::vector<FilterEntry>& CFilterListPage::Entries() { return audio_ ? task_.AudioFilters() : task_.VideoFilters(); }

bool CFilterListPage::OnInitDialog() {
  if (list_->columnCount() == 0) {
    list_->InsertColumn(0, QStringLiteral("No."), 80);
    list_->InsertColumn(1, QStringLiteral("Filter"), 180);
    list_->InsertColumn(2, QStringLiteral("Type"), 80);
  }
  if (!haveDescriptions_) {
    LoadFilterDescs(audio_ ? 1 : 0, descriptions_);
    haveDescriptions_ = true;
  }
  Fill();
  return true;
}

bool CFilterListPage::OnSetActive() {
  Fill();
  return true;
}

void CFilterListPage::Fill() {
  list_->DeleteAllItems();
  items_.clear();
  std::vector<FilterEntry>& entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    items_.push_back(MakeFilterItem(entries[i], int(i), descriptions_));
    const int row = list_->InsertItem(int(i), QString::number(i));
    list_->SetItemText(row, 1, QString::fromStdString(items_.back().displayName));
    list_->SetItemText(row, 2, QString::fromUtf8(TypeText(entries[i].flags)));
  }
  UpdateConfigButton();
}

void CFilterListPage::UpdateConfigButton() {
  const int row = list_->GetSelectedRow();
  EnableItem(IDC_FILTER_CONFIG, row >= 0 && size_t(row) < items_.size() && items_[size_t(row)].enableAdv != 0);
}

bool CFilterListPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return CPropertyPage::OnCommand(id, code);
  switch (id) {
    case IDC_FILTER_ADD:
      AddFilter();
      return true;
    case IDC_FILTER_CONFIG:
      ConfigSelected();
      return true;
    case IDC_FILTER_DELETE:
      DeleteSelected();
      return true;
    case IDC_FILTER_UP:
      MoveSelected(-1);
      return true;
    case IDC_FILTER_DOWN:
      MoveSelected(1);
      return true;
    default:
      return CPropertyPage::OnCommand(id, code);
  }
}

bool CFilterListPage::Configure(FilterItem& item) {
  FilterSetupContext context;
  context.owner = this;
  context.task = &task_;
  context.preview = preview_;
  context.dataFolder = dataFolder_;
  return audio_ ? EditAudioFilterParams(context, item) : EditVideoFilterParams(context, item);
}

void CFilterListPage::AddFilter() {
  CDlgFilterList picker(this);
  picker.SetCatalogue(&descriptions_);
  if (picker.DoModal() != IDOK || picker.Chosen() == nullptr) return;
  const FilterDesc desc = *picker.Chosen();
  int32_t flags = kFilterDeletable;
  if (desc.changeSize != 0) flags |= kFilterKeepPlace;
  if (desc.changeFps != 0) flags |= kFilterFrameRate;
  FilterEntry* entry = audio_ ? task_.AddAudioFilter(desc.name, desc.option, flags)
                              : task_.AddVideoFilter(desc.name, desc.option, flags);
  if (entry == nullptr) {
    ShowMessageBox(this, "The filter \"" + desc.name + "\" cannot be added to the task.", nullptr, MB_ICONSTOP);
    return;
  }
  const size_t index = size_t(entry - Entries().data());
  FilterItem item = MakeFilterItem(desc);
  item.entryIndex = int(index);
  if (item.enableAdv != 0) {
    if (!Configure(item)) {
      if (audio_)
        task_.RemoveAudioFilter(&Entries()[index]);
      else
        task_.RemoveVideoFilter(&Entries()[index]);
      return;
    }
    Entries()[index].params = item.params;
  }
  Fill();
  list_->SelectRow(int(index));
}

void CFilterListPage::ConfigSelected() {
  const int row = list_->GetSelectedRow();
  if (row < 0 || size_t(row) >= items_.size()) return;
  FilterItem& item = items_[size_t(row)];
  if (item.enableAdv == 0) return;  // no description, nothing to configure
  if (!Configure(item)) return;
  std::vector<FilterEntry>& entries = Entries();
  if (item.entryIndex >= 0 && size_t(item.entryIndex) < entries.size())
    entries[size_t(item.entryIndex)].params = item.params;
}

void CFilterListPage::DeleteSelected() {
  const int row = list_->GetSelectedRow();
  if (row < 0) return;
  std::string message;
  const bool done = audio_ ? task_.DeleteAudioFilter(row, message) : task_.DeleteVideoFilter(row, message);
  if (!done) {
    ShowMessageBox(this, message, nullptr, MB_ICONSTOP);
    return;
  }
  Fill();
}

void CFilterListPage::MoveSelected(int delta) {
  const int row = list_->GetSelectedRow();
  if (row < 0) return;
  std::string message;
  bool done;
  if (delta < 0)
    done = audio_ ? task_.MoveAudioFilterUp(row, message) : task_.MoveVideoFilterUp(row, message);
  else
    done = audio_ ? task_.MoveAudioFilterDown(row, message) : task_.MoveVideoFilterDown(row, message);
  if (!done) {
    ShowMessageBox(this, message, nullptr, MB_ICONSTOP);
    return;
  }
  if (!list_->MoveItem(row, delta)) return;  // the first row up, the last down: nothing moved
  std::swap(items_[size_t(row)], items_[size_t(row + delta)]);
  std::swap(items_[size_t(row)].entryIndex, items_[size_t(row + delta)].entryIndex);
  for (int i = 0; i < list_->GetItemCount(); ++i) list_->SetItemText(i, 0, QString::number(i));
}
