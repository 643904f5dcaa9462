#include "frontend/dialogs/dlg_file_info.h"

#include <QComboBox>
#include <QLineEdit>

#include "frontend/model/file_info.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"

namespace {

constexpr int IDC_LABEL = IDC_STATIC;
constexpr int IDC_RENAME_GROUP = 1300;

const DialogTemplate kNamesTemplate = {
    IDD_OUTPUT_NAMES,
    "Filename",
    260,
    140,
    {
        {CtrlKind::Text, IDC_LABEL, "Source filename:", 7, 7, 246, 8},
        {CtrlKind::Edit, IDC_NAMES_SOURCE, "", 7, 17, 246, 13, kCtrlReadOnly},
        {CtrlKind::Text, IDC_LABEL, "Output folder:", 7, 35, 246, 8},
        {CtrlKind::Edit, IDC_NAMES_FOLDER, "", 7, 45, 246, 13, kCtrlReadOnly},
        {CtrlKind::Text, IDC_LABEL, "Output filename:", 7, 63, 246, 8},
        {CtrlKind::Edit, IDC_NAMES_OUTPUT, "", 7, 73, 246, 13},
        {CtrlKind::GroupBox, IDC_RENAME_GROUP, "Rename rule", 7, 93, 246, 40},
        {CtrlKind::Radio, IDC_NAMES_RENAME, "Automatic rename files", 15, 105, 230, 10, kCtrlGroup},
        {CtrlKind::Radio, IDC_NAMES_OVERWRITE, "Overwrite existing files", 15, 118, 230, 10},
    },
};

const DialogTemplate kMetadataTemplate = {
    IDD_METADATA,
    "Metadata",
    260,
    140,
    {
        {CtrlKind::CheckBox, IDC_META_ENABLE, "Enable Metadata", 7, 7, 120, 10},
        {CtrlKind::Text, IDC_LABEL, "Title:", 7, 26, 36, 8},
        {CtrlKind::Edit, IDC_META_TITLE, "", 45, 24, 208, 13},
        {CtrlKind::Text, IDC_LABEL, "Artist:", 7, 44, 36, 8},
        {CtrlKind::Edit, IDC_META_ARTIST, "", 45, 42, 140, 13},
        {CtrlKind::Text, IDC_LABEL, "Track:", 191, 44, 24, 8},
        {CtrlKind::Edit, IDC_META_TRACK, "", 217, 42, 36, 13},
        {CtrlKind::Text, IDC_LABEL, "Album:", 7, 62, 36, 8},
        {CtrlKind::Edit, IDC_META_ALBUM, "", 45, 60, 140, 13},
        {CtrlKind::Text, IDC_LABEL, "Year:", 191, 62, 24, 8},
        {CtrlKind::Edit, IDC_META_YEAR, "", 217, 60, 36, 13},
        {CtrlKind::Text, IDC_LABEL, "Genre:", 7, 80, 36, 8},
        {CtrlKind::ComboDropDown, IDC_META_GENRE, "", 45, 78, 140, 120},
        {CtrlKind::Text, IDC_LABEL, "Comment:", 7, 98, 36, 8},
        {CtrlKind::Edit, IDC_META_COMMENT, "", 45, 96, 208, 13},
    },
};

constexpr int kMetaTextIds[] = {IDC_META_TITLE, IDC_META_ARTIST, IDC_META_ALBUM, IDC_META_COMMENT};
constexpr int kMetaFieldIds[] = {IDC_META_TITLE, IDC_META_ARTIST,  IDC_META_TRACK, IDC_META_ALBUM,
                                 IDC_META_YEAR,  IDC_META_COMMENT, IDC_META_GENRE};

std::u16string U16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

}  // namespace

// ---- file name ----

CDlgOutputNames::CDlgOutputNames() : CPropertyPage(kNamesTemplate) {}

bool CDlgOutputNames::OnInitDialog() {
  ItemAs<QLineEdit>(IDC_NAMES_OUTPUT)->setMaxLength(kOutputFileNameChars);
  if (task_ == nullptr) return true;
  SetItemText(IDC_NAMES_SOURCE, Qs(task_->GetSourceName()));
  SetItemText(IDC_NAMES_FOLDER, Qs(folder_));
  SetItemText(IDC_NAMES_OUTPUT, Qs(task_->GetOutputFileName()));
  CheckRadio(IDC_NAMES_RENAME, IDC_NAMES_OVERWRITE, task_->overwrite ? IDC_NAMES_OVERWRITE : IDC_NAMES_RENAME);
  return true;
}

bool CDlgOutputNames::OnApply() {
  if (task_ == nullptr) return true;
  OutputFileName name;
  std::string message;
  if (!SplitOutputFileName(ItemText(IDC_NAMES_OUTPUT).toStdString(), task_->outputExt, task_->outputNumber, name,
                           message)) {
    ShowMessageBox(this, message, nullptr, MB_ICONEXCLAMATION);
    FocusItem(IDC_NAMES_OUTPUT);
    return false;
  }
  task_->title = name.title;
  task_->outputExt = name.ext;
  task_->outputNumber = name.number;
  task_->overwrite = IsItemChecked(IDC_NAMES_OVERWRITE);
  return true;
}

// ---- metadata ----

CDlgMetadata::CDlgMetadata() : CPropertyPage(kMetadataTemplate) {}

bool CDlgMetadata::OnInitDialog() {
  for (int id : kMetaTextIds) ItemAs<QLineEdit>(id)->setMaxLength(kTagTextUnits);
  auto* genre = ItemAs<QComboBox>(IDC_META_GENRE);
  genre->setInsertPolicy(QComboBox::NoInsert);
  genre->lineEdit()->setMaxLength(kGenreChars);
  for (const char* name : kGenreNames) genre->addItem(QString::fromLatin1(name));
  if (task_ == nullptr || task_->sources.empty()) {
    EnableItem(IDC_META_ENABLE, false);
    EnableFields(false);
    return true;
  }
  const TagFields f = ShowTagFields(task_->sources.front()->record.tags);
  SetItemText(IDC_META_ALBUM, Qs(f.album));
  SetItemText(IDC_META_TITLE, Qs(f.title));
  SetItemText(IDC_META_ARTIST, Qs(f.artist));
  SetItemText(IDC_META_COMMENT, Qs(f.comment));
  SetItemText(IDC_META_TRACK, Qs(f.track));
  SetItemText(IDC_META_YEAR, Qs(f.year));
  genre->setEditText(Qs(f.genre));
  SetItemCheck(IDC_META_ENABLE, f.enabled ? 1 : 0);
  EnableFields(f.enabled);
  return true;
}

void CDlgMetadata::EnableFields(bool enable) {
  for (int id : kMetaFieldIds) EnableItem(id, enable);
}

bool CDlgMetadata::OnCommand(int id, int code) {
  if (id == IDC_META_ENABLE && code == BN_CLICKED) {
    EnableFields(IsItemChecked(IDC_META_ENABLE));
    return true;
  }
  return CPropertyPage::OnCommand(id, code);
}

bool CDlgMetadata::OnApply() {
  if (task_ == nullptr || task_->sources.empty()) return true;
  TagFields f;
  f.enabled = IsItemChecked(IDC_META_ENABLE);
  f.album = U16(ItemText(IDC_META_ALBUM));
  f.title = U16(ItemText(IDC_META_TITLE));
  f.artist = U16(ItemText(IDC_META_ARTIST));
  f.comment = U16(ItemText(IDC_META_COMMENT));
  f.track = ItemText(IDC_META_TRACK).toStdString();
  f.year = ItemText(IDC_META_YEAR).toStdString();
  f.genre = ItemAs<QComboBox>(IDC_META_GENRE)->currentText().toStdString();
  StoreTagFields(f, task_->sources.front()->record.tags);
  return true;
}

bool RunFileInfoSheet(QWidget* parent, CTask& task, const std::string& outputFolder, int startPage) {
  CDlgOutputNames names;
  names.SetTask(&task);
  names.SetOutputFolder(outputFolder);
  CDlgMetadata metadata;
  metadata.SetTarget(&task);
  CMyPropSheet sheet(QStringLiteral("File info"), parent, startPage);
  sheet.AddPage(&names);
  sheet.AddPage(&metadata);
  return sheet.DoModal() == IDOK;
}
