#include "frontend/controls/prop_sheet.h"

#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

namespace {

constexpr int kTabsId = 0x3020;

const DialogTemplate kSheetTemplate = {0,
                                       "",
                                       120,
                                       60,
                                       {
                                           {CtrlKind::Placeholder, kTabsId, "", 4, 4, 112, 30},
                                           {CtrlKind::DefPushButton, IDOK, "OK", 12, 40, 50, 14},
                                           {CtrlKind::PushButton, IDCANCEL, "Cancel", 66, 40, 50, 14},
                                       }};

}  // namespace

CPropertyPage::CPropertyPage(const DialogTemplate& tpl) : UiDialog(tpl) {}

void CPropertyPage::OnOK() {
  if (sheet_ != nullptr) sheet_->OnCommand(IDOK, BN_CLICKED);
}

void CPropertyPage::OnCancel() {
  if (sheet_ != nullptr) sheet_->OnCommand(IDCANCEL, BN_CLICKED);
}

CMyPropSheet::CMyPropSheet(const QString& caption, QWidget* parent, int startPage)
    : UiDialog(kSheetTemplate, parent), startPage_(startPage) {
  setWindowTitle(caption);
  tabs_ = SubclassItem(kTabsId, new QTabWidget);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { OnTabChosen(index); });
  Relayout();
}

CMyPropSheet::~CMyPropSheet() {
  // The pages belong to the caller: take them out before Qt deletes the children.
  for (CPropertyPage* page : pages_) {
    page->sheet_ = nullptr;
    page->setParent(nullptr);
  }
}

bool CMyPropSheet::AddPage(CPropertyPage* page) {
  if (page == nullptr || std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return false;
  page->sheet_ = this;
  pages_.push_back(page);
  created_.push_back(false);
  // The page joins one of our children, so its destruction removes it from us.
  connect(page, &QObject::destroyed, this, [this](QObject* gone) {
    for (size_t i = 0; i < pages_.size(); ++i)
      if (pages_[i] == gone) {
        pages_.erase(pages_.begin() + long(i));
        created_.erase(created_.begin() + long(i));
        if (current_ >= int(i)) current_ = current_ == int(i) ? -1 : current_ - 1;
        break;
      }
  });
  switching_ = true;
  tabs_->addTab(page, page->Title());
  switching_ = false;
  Relayout();
  if (IsOpen()) {
    if (current_ < 0) Activate(GetPageCount() - 1);
    tabs_->setCurrentIndex(current_);
  }
  return true;
}

CPropertyPage* CMyPropSheet::GetPage(int index) const {
  return index >= 0 && index < GetPageCount() ? pages_[size_t(index)] : nullptr;
}

int CMyPropSheet::GetActiveIndex() const { return current_; }

bool CMyPropSheet::SetActivePage(int index) {
  if (index < 0 || index >= GetPageCount()) return false;
  if (index == current_) return true;
  if (current_ >= 0 && !pages_[size_t(current_)]->OnKillActive()) return false;
  Activate(index);
  return true;
}

bool CMyPropSheet::OnInitDialog() {
  current_ = -1;
  if (GetPageCount() > 0) Activate(std::clamp(startPage_, 0, GetPageCount() - 1));
  return true;
}

void CMyPropSheet::OnOK() {
  if (current_ >= 0 && !pages_[size_t(current_)]->OnKillActive()) return;
  for (int i = 0; i < GetPageCount(); ++i) {
    if (!created_[size_t(i)]) continue;
    if (!pages_[size_t(i)]->OnApply()) {
      Activate(i);
      return;
    }
  }
  EndDialog(IDOK);
}

void CMyPropSheet::OnDestroy() {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (created_[i]) {
      pages_[i]->DestroyWindow();
      created_[i] = false;
    }
  current_ = -1;
}

void CMyPropSheet::Activate(int index) {
  switching_ = true;
  tabs_->setCurrentIndex(index);
  switching_ = false;
  current_ = index;
  CPropertyPage* page = pages_[size_t(index)];
  if (!created_[size_t(index)]) {
    created_[size_t(index)] = true;
    page->Create();  // already a child of the tabs
  }
  page->OnSetActive();
}

void CMyPropSheet::OnTabChosen(int index) {
  if (switching_ || !IsOpen() || index < 0 || index == current_) return;
  if (current_ >= 0 && !pages_[size_t(current_)]->OnKillActive()) {
    switching_ = true;
    tabs_->setCurrentIndex(current_);
    switching_ = false;
    return;
  }
  Activate(index);
}

void CMyPropSheet::Relayout() {
  const QRect margins = MapDialogRect(QRect(0, 0, 7, 7));
  const QRect button = MapDialogRect(QRect(0, 0, 50, 14));
  const int gap = MapDialogRect(QRect(0, 0, 4, 4)).width();
  QSize tabsSize = tabs_->sizeHint().expandedTo(MapDialogRect(QRect(0, 0, 212, 60)).size());
  tabs_->setGeometry(margins.width(), margins.height(), tabsSize.width(), tabsSize.height());
  const int buttonsTop = margins.height() + tabsSize.height() + margins.height();
  const int right = margins.width() + tabsSize.width();
  Item(IDCANCEL)->setGeometry(right - button.width(), buttonsTop, button.width(), button.height());
  Item(IDOK)->setGeometry(right - 2 * button.width() - gap, buttonsTop, button.width(), button.height());
  Client()->setFixedSize(right + margins.width(), buttonsTop + button.height() + margins.height());
  adjustSize();
}
