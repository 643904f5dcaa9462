#include "frontend/ui/ui_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include "frontend/ui/modal_script.h"

namespace {

// Static texts show "&x" as x and "&&" as "&".
QString StripMnemonics(const char* text) {
  QString in = QString::fromUtf8(text != nullptr ? text : "");
  QString out;
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == '&' && i + 1 < in.size()) ++i;
    out += in[i];
  }
  return out;
}

bool IsPushButton(const QWidget* w) { return qobject_cast<const QPushButton*>(w) != nullptr; }

}  // namespace

UiDialog::UiDialog(const DialogTemplate& tpl, QWidget* parent) : QDialog(parent), templateId_(tpl.id) {
  setWindowTitle(QString::fromUtf8(tpl.caption != nullptr ? tpl.caption : ""));
  setFont(DialogFont(tpl.fontFace, tpl.fontPoints));
  setSizeGripEnabled(false);
  units_ = BaseUnitsOf(font());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  client_ = new QWidget(this);
  client_->setFixedSize(DialogUnitsToPixelsX(tpl.cx, units_), DialogUnitsToPixelsY(tpl.cy, units_));
  layout->addWidget(client_);
  BuildControls(tpl);
}

UiDialog::~UiDialog() {
  KillAllTimers();
  CloseHandle();
}

void UiDialog::BuildControls(const DialogTemplate& tpl) {
  QButtonGroup* radioGroup = nullptr;
  for (const ControlTemplate& row : tpl.controls) {
    // Radio buttons in a row form one group; a group bit or another control ends it.
    if ((row.style & kCtrlGroup) || row.kind != CtrlKind::Radio) radioGroup = nullptr;
    QWidget* control = MakeControl(row, radioGroup);
    QRect r = DialogUnitsToPixels(QRect(row.x, row.y, row.cx, row.cy), units_);
    // A combo box's template height includes its drop-down list.
    if (qobject_cast<QComboBox*>(control) != nullptr) r.setHeight(control->sizeHint().height());
    control->setGeometry(r);
    SetControlId(control, row.id);
    if (row.style & kCtrlDisabled) control->setEnabled(false);
    if (row.style & kCtrlHidden) control->setVisible(false);
    if (row.id != IDC_STATIC) items_[row.id] = control;
    if (row.kind == CtrlKind::DefPushButton) defaultId_ = row.id;
    HookCommands(control);
  }
}

QWidget* UiDialog::MakeControl(const ControlTemplate& row, QButtonGroup*& radioGroup) {
  QString text = QString::fromUtf8(row.text != nullptr ? row.text : "");
  switch (row.kind) {
    case CtrlKind::Text:
    case CtrlKind::TextRight:
    case CtrlKind::TextCenter: {
      auto* label = new QLabel(StripMnemonics(row.text), client_);
      label->setWordWrap(true);
      Qt::Alignment h = row.kind == CtrlKind::TextRight    ? Qt::AlignRight
                        : row.kind == CtrlKind::TextCenter ? Qt::AlignHCenter
                                                           : Qt::AlignLeft;
      label->setAlignment(h | Qt::AlignTop);
      return label;
    }
    case CtrlKind::Frame: {
      auto* frame = new QFrame(client_);
      frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
      return frame;
    }
    case CtrlKind::Placeholder:
      return new QWidget(client_);
    case CtrlKind::GroupBox:
      return new QGroupBox(text, client_);
    case CtrlKind::PushButton:
    case CtrlKind::DefPushButton: {
      auto* button = new QPushButton(text, client_);
      button->setAutoDefault(false);  // Enter is routed by the dialog
      return button;
    }
    case CtrlKind::CheckBox:
    case CtrlKind::CheckBox3: {
      auto* box = new QCheckBox(text, client_);
      box->setTristate(row.kind == CtrlKind::CheckBox3);
      return box;
    }
    case CtrlKind::Radio: {
      auto* radio = new QRadioButton(text, client_);
      radio->setAutoExclusive(false);
      if (radioGroup == nullptr) {
        radioGroup = new QButtonGroup(client_);
        radioGroup->setExclusive(true);
      }
      radioGroup->addButton(radio);
      return radio;
    }
    case CtrlKind::Edit: {
      auto* edit = new QLineEdit(text, client_);
      edit->setReadOnly(row.style & kCtrlReadOnly);
      if (row.style & kCtrlPassword) edit->setEchoMode(QLineEdit::Password);
      if (row.style & kCtrlNumber) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      return edit;
    }
    case CtrlKind::EditMulti: {
      auto* edit = new QPlainTextEdit(text, client_);
      edit->setReadOnly(row.style & kCtrlReadOnly);
      if ((row.style & kCtrlWantReturn) == 0) edit->installEventFilter(this);
      return edit;
    }
    case CtrlKind::ComboDropList:
    case CtrlKind::ComboDropDown: {
      auto* combo = new QComboBox(client_);
      combo->setEditable(row.kind == CtrlKind::ComboDropDown);
      if (row.style & kCtrlSort) combo->setInsertPolicy(QComboBox::InsertAlphabetically);
      return combo;
    }
    case CtrlKind::ListBox: {
      auto* list = new QListWidget(client_);
      list->setSortingEnabled(row.style & kCtrlSort);
      return list;
    }
  }
  return new QWidget(client_);
}

void UiDialog::HookCommands(QWidget* control) {
  QPointer<QWidget> w(control);
  auto command = [this, w](int code) {
    if (w) OnCommand(ControlId(w), code);
  };
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, [command] { command(BN_CLICKED); });
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    connect(combo, &QComboBox::activated, this, [command] { command(CBN_SELCHANGE); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    connect(edit, &QLineEdit::textChanged, this, [command] { command(EN_CHANGE); });
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(control)) {
    connect(multi, &QPlainTextEdit::textChanged, this, [command] { command(EN_CHANGE); });
  } else if (auto* list = qobject_cast<QListWidget*>(control)) {
    connect(list, &QListWidget::currentRowChanged, this, [command] { command(LBN_SELCHANGE); });
    connect(list, &QListWidget::itemDoubleClicked, this, [command] { command(LBN_DBLCLK); });
  }
}

void UiDialog::ReplaceItem(int id, QWidget* control) {
  QWidget* old = Item(id);
  control->setParent(client_);
  if (old != nullptr) {
    control->setGeometry(old->geometry());
    control->setEnabled(old->isEnabled());
    control->setVisible(!old->isHidden());
    control->stackUnder(old);
    if (QWidget::focusWidget() == old) control->setFocus();
    delete old;
  } else {
    control->show();
  }
  SetControlId(control, id);
  items_[id] = control;
  HookCommands(control);
}

QWidget* UiDialog::Item(int id) const {
  auto it = items_.find(id);
  return it != items_.end() ? it->second : nullptr;
}

QString UiDialog::ItemText(int id) const {
  QWidget* w = Item(id);
  if (w == nullptr) return {};
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) return multi->toPlainText();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  QVariant v = w->property("text");
  return v.isValid() ? v.toString() : w->windowTitle();
}

void UiDialog::SetItemText(int id, const QString& text) {
  QWidget* w = Item(id);
  if (w == nullptr) return;
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) {
    multi->setPlainText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->isEditable()) combo->setEditText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(text);
  } else if (!w->setProperty("text", text)) {
    w->setWindowTitle(text);
  }
}

int UiDialog::ItemInt(int id, bool* ok) const {
  bool parsed = false;
  int value = ItemText(id).trimmed().toInt(&parsed);
  if (ok != nullptr) *ok = parsed;
  return parsed ? value : 0;
}

void UiDialog::SetItemInt(int id, int value) { SetItemText(id, QString::number(value)); }

int UiDialog::ItemCheck(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Item(id));
  if (button == nullptr || !button->isCheckable()) return -1;
  if (auto* box = qobject_cast<QCheckBox*>(button)) {
    switch (box->checkState()) {
      case Qt::Checked:
        return 1;
      case Qt::PartiallyChecked:
        return 2;
      default:
        return 0;
    }
  }
  return button->isChecked() ? 1 : 0;
}

void UiDialog::SetItemCheck(int id, int check) {
  auto* button = qobject_cast<QAbstractButton*>(Item(id));
  if (button == nullptr) return;
  if (auto* box = qobject_cast<QCheckBox*>(button)) {
    box->setCheckState(check == 2 && box->isTristate() ? Qt::PartiallyChecked
                       : check != 0                    ? Qt::Checked
                                                       : Qt::Unchecked);
  } else if (auto* radio = qobject_cast<QRadioButton*>(button); radio != nullptr && check == 0) {
    // An exclusive group refuses to clear its checked button directly.
    QButtonGroup* group = radio->group();
    if (group != nullptr) group->setExclusive(false);
    radio->setChecked(false);
    if (group != nullptr) group->setExclusive(true);
  } else {
    button->setChecked(check != 0);
  }
}

void UiDialog::CheckRadio(int first, int last, int check) {
  for (int id = first; id <= last; ++id) {
    if (Item(id) != nullptr) SetItemCheck(id, id == check ? 1 : 0);
  }
}

void UiDialog::EnableItem(int id, bool enable) {
  if (QWidget* w = Item(id)) w->setEnabled(enable);
}

void UiDialog::ShowItem(int id, bool show) {
  if (QWidget* w = Item(id)) w->setVisible(show);
}

void UiDialog::FocusItem(int id) {
  if (QWidget* w = Item(id)) w->setFocus(Qt::OtherFocusReason);
}

QRect UiDialog::ItemRect(int id) const {
  QWidget* w = Item(id);
  return w != nullptr ? w->geometry() : QRect();
}

void UiDialog::SetMenu(const std::vector<MenuItem>& popups) {
  delete menuBar_;
  menuBar_ = BuildMenuBar(this, popups, [this](int id) { OnCommand(id, 0); });
  static_cast<QVBoxLayout*>(layout())->setMenuBar(menuBar_);
}

QAction* UiDialog::MenuAction(int id) const { return menuBar_ != nullptr ? FindMenuAction(menuBar_, id) : nullptr; }

bool UiDialog::SetTimer(int id, int milliseconds) {
  KillTimer(id);
  int qtId = startTimer(milliseconds < 0 ? 0 : milliseconds);
  if (qtId == 0) return false;
  timers_[id] = qtId;
  return true;
}

bool UiDialog::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  killTimer(it->second);
  timers_.erase(it);
  return true;
}

void UiDialog::KillAllTimers() {
  for (auto& [id, qtId] : timers_) killTimer(qtId);
  timers_.clear();
}

void UiDialog::timerEvent(QTimerEvent* event) {
  for (auto& [id, qtId] : timers_) {
    if (qtId == event->timerId()) {
      OnTimer(id);
      return;
    }
  }
  QDialog::timerEvent(event);
}

void UiDialog::OnTimer(int) {}

intptr_t UiDialog::OnMessage(const UiMessage&) { return 0; }

bool UiDialog::OnCommand(int id, int) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

intptr_t UiDialog::OnNotify(const UiNotify&) { return 0; }

void UiDialog::OnClose() {
  QWidget* cancel = Item(IDCANCEL);
  if (cancel != nullptr && !cancel->isEnabled()) return;
  OnCommand(IDCANCEL, BN_CLICKED);
}

void UiDialog::RouteReturn() {
  QWidget* focus = QWidget::focusWidget();
  if (focus != nullptr && IsPushButton(focus) && client_->isAncestorOf(focus) && ControlId(focus) != IDC_STATIC) {
    OnCommand(ControlId(focus), BN_CLICKED);
    return;
  }
  QWidget* def = Item(defaultId_);
  if (def != nullptr && !def->isEnabled()) return;
  OnCommand(defaultId_, BN_CLICKED);
}

void UiDialog::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
    QDialog::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      RouteReturn();
      event->accept();
      return;
    case Qt::Key_Escape:
      OnCommand(IDCANCEL, BN_CLICKED);
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

bool UiDialog::eventFilter(QObject* watched, QEvent* event) {
  // Multi-line edits without "want return" leave Enter to the dialog.
  if (event->type() == QEvent::KeyPress && qobject_cast<QPlainTextEdit*>(watched) != nullptr) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
      RouteReturn();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void UiDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (open_) OnClose();
}

void UiDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (inLoop_) done(result);
}

int UiDialog::DoModal() {
  ended_ = false;
  result_ = IDCANCEL;
  open_ = true;
  OpenHandle();
  OnInitDialog();
  if (!ended_) {
    inLoop_ = true;
    if (ModalScript* script = ModalScript::Active()) {
      QTimer::singleShot(0, this, [this, script] {
        if (inLoop_ && ModalScript::Active() == script) script->RunNext(*this);
      });
    }
    exec();
    inLoop_ = false;
  }
  Close();
  return result_;
}

void UiDialog::Create(QWidget* childOf) {
  if (childOf != nullptr) {
    setParent(childOf, Qt::Widget);
  }
  ended_ = false;
  open_ = true;
  OpenHandle();
  OnInitDialog();
  show();
}

void UiDialog::DestroyWindow() {
  if (open_) Close();
}

void UiDialog::Close() {
  KillAllTimers();
  CloseHandle();
  open_ = false;
  hide();
  OnDestroy();
}
