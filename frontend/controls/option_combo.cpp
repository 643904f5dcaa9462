#include "frontend/controls/option_combo.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <charconv>
#include <cmath>

#include "frontend/ui/message_box.h"

namespace {

constexpr double kSameNumber = 0.0001;

// A whole decimal number (no blanks, no exponent); false otherwise.
bool ReadNumber(const std::string& text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::string WordOf(const OptionDesc& option, const std::string& value) {
  for (const WordEntry& entry : option.words)
    if (entry.value == value) return entry.word;
  return {};
}

}  // namespace

COptionCombo::COptionCombo(QWidget* parent) : QComboBox(parent) {
  setInsertPolicy(QComboBox::NoInsert);
  connect(this, &QComboBox::activated, this, [this](int index) { OnPicked(index); });
}

COptionCombo::~COptionCombo() { ReleaseEdit(); }

void COptionCombo::SetOption(const OptionDesc& option) {
  ReleaseEdit();
  option_ = option;
  setUpdatesEnabled(false);
  const bool editable = option_.editable != 0;
  if (isEditable() != editable) setEditable(editable);
  if (editable) {
    // Typed digits must stay as typed, never completed to an item.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    HookEdit();
  }
  setEnabled(option_.enable != 0);
  type_ = option_.type;
  const QSignalBlocker block(this);
  clear();
  items_.clear();
  for (const std::string& value : option_.values) {
    std::string word = WordOf(option_, value);
    std::string shown = word.empty() ? value : word;
    addItem(QString::fromStdString(shown));
    items_.emplace_back(value, shown);
  }
  setUpdatesEnabled(true);
}

void COptionCombo::SetValueText(const std::string& value) {
  int found = -1;
  if (type_ == kOptionFloat) {
    double number = 0.0;
    if (ReadNumber(value, number)) {
      for (size_t i = 0; i < items_.size() && found < 0; ++i) {
        double item = 0.0;
        if (ReadNumber(items_[i].first, item) && std::fabs(item - number) < kSameNumber) found = static_cast<int>(i);
      }
    }
  } else {
    for (size_t i = 0; i < items_.size() && found < 0; ++i)
      if (items_[i].first == value) found = static_cast<int>(i);
  }
  const QSignalBlocker block(this);
  setCurrentIndex(found);
  if (isEditable()) setEditText(found >= 0 ? itemText(found) : QString::fromStdString(value));
}

std::string COptionCombo::GetValueText() const {
  std::string shown = currentText().toStdString();
  for (const auto& [value, text] : items_)
    if (text == shown) return value;
  return shown;
}

void COptionCombo::SetValidator(OptionValidator validator) { validator_ = std::move(validator); }

bool COptionCombo::Validate(std::string& value, bool& takeBack) {
  validating_ = true;
  std::string message;
  takeBack = false;
  bool accepted = validator_ ? validator_(value, option_, takeBack, message)
                             : ValidateOptionValue(value, option_, takeBack, message);
  if (!accepted) ShowMessageBox(this, message, nullptr, MB_OK | MB_ICONEXCLAMATION);
  validating_ = false;
  return accepted;
}

void COptionCombo::OnPicked(int index) {
  if (type_ == kOptionTypeNone || validating_ || index < 0 || static_cast<size_t>(index) >= items_.size()) return;
  std::string value = items_[static_cast<size_t>(index)].first;
  bool takeBack = false;
  Validate(value, takeBack);
}

bool COptionCombo::CommitEdit() {
  if (type_ == kOptionTypeNone) return true;
  if (validating_) return false;
  std::string value = GetValueText();
  bool takeBack = false;
  if (!Validate(value, takeBack)) {
    setFocus(Qt::OtherFocusReason);
    return false;
  }
  if (takeBack) SetValueText(value);
  return true;
}

void COptionCombo::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // Dropping the list down is not leaving the box, nor is another window
  // coming to the front (or this one closing).
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
  if (type_ == kOptionTypeNone || validating_) return;
  if (!isVisible() || QApplication::activeWindow() != window()) return;
  CommitEdit();
}

bool COptionCombo::DropsKey(const QKeyEvent* event) const {
  if (type_ != kOptionInt && type_ != kOptionFloat) return false;
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  for (char32_t ch : event->text().toUcs4()) {
    if (ch < 0x20 || ch == 0x7F) continue;  // Enter, Esc, Tab and the like are the dialog's
    if (!OptionCharPasses(type_, ch)) return true;
  }
  return false;
}

void COptionCombo::keyPressEvent(QKeyEvent* event) {
  if (isEditable() && DropsKey(event)) {
    event->accept();
    return;
  }
  QComboBox::keyPressEvent(event);
}

bool COptionCombo::eventFilter(QObject* watched, QEvent* event) {
  if (hookedEdit_ != nullptr && watched == hookedEdit_.data() && event->type() == QEvent::KeyPress &&
      DropsKey(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void COptionCombo::HookEdit() {
  if (QLineEdit* edit = lineEdit()) {
    edit->installEventFilter(this);
    hookedEdit_ = edit;
  }
}

void COptionCombo::ReleaseEdit() {
  if (hookedEdit_ != nullptr) hookedEdit_->removeEventFilter(this);
  hookedEdit_ = nullptr;
}
