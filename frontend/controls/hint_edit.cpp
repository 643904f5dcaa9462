#include "frontend/controls/hint_edit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/sys_colors.h"

namespace {

// The most bytes a dropped path may hold.
constexpr qsizetype kMaxDropPath = 259;

bool HasLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

}  // namespace

CHintEdit::CHintEdit(QWidget* parent) : QLineEdit(parent) {
  setAcceptDrops(true);
  // What the user types or pastes is the text too.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& now) {
    if (!settingText_) text_ = now;
  });
  UpdateColours();
}

void CHintEdit::SetHint(const QString& hint) {
  hint_ = hint;
  if (!hasFocus_ && text_.isEmpty()) ShowWindowText(hint_);
  UpdateColours();
}

void CHintEdit::SetText(const QString& text) {
  text_ = text;
  ShowWindowText(text_);
  UpdateColours();
}

void CHintEdit::SetTextOrHint(const QString& text) {
  if (!text.isEmpty()) {
    SetText(text);
    return;
  }
  text_.clear();
  hasFocus_ = false;
  ShowWindowText(hint_);
  UpdateColours();
}

void CHintEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  hasFocus_ = true;
  if (text_.isEmpty()) ShowWindowText(QString());
  UpdateColours();
}

void CHintEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  hasFocus_ = false;
  if (text_.isEmpty()) ShowWindowText(hint_);
  UpdateColours();
}

void CHintEdit::keyPressEvent(QKeyEvent* event) {
  // Typing into a box that still shows its hint replaces the hint.
  if (ShowsHint() && (!event->text().isEmpty() || event->matches(QKeySequence::Paste))) {
    hasFocus_ = hasFocus();
    ShowWindowText(QString());
    UpdateColours();
  }
  QLineEdit::keyPressEvent(event);
}

void CHintEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (HasLocalFile(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CHintEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (HasLocalFile(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CHintEdit::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data == nullptr || !data->hasUrls()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (path.isEmpty() || path.toUtf8().size() > kMaxDropPath) continue;
    SetText(path);
    SendParentMessage(this, WM_HINT_EDIT_DROP, 0, 0);
    return;
  }
}

void CHintEdit::ShowWindowText(const QString& text) {
  settingText_ = true;
  setText(text);
  settingText_ = false;
}

void CHintEdit::UpdateColours() {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, SysColor(COLOR_WINDOW));
  pal.setColor(QPalette::Text, SysColor(ShowsHint() ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
  setPalette(pal);
}
