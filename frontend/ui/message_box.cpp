#include "frontend/ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace {

std::string& AppNameText() {
  static std::string name;
  return name;
}

struct ButtonRow {
  int id;
  QMessageBox::StandardButton button;
};

std::vector<ButtonRow> ButtonsOf(unsigned flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{IDOK, QMessageBox::Ok}, {IDCANCEL, QMessageBox::Cancel}};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, QMessageBox::Abort}, {IDRETRY, QMessageBox::Retry}, {IDIGNORE, QMessageBox::Ignore}};
    case MB_YESNOCANCEL:
      return {{IDYES, QMessageBox::Yes}, {IDNO, QMessageBox::No}, {IDCANCEL, QMessageBox::Cancel}};
    case MB_YESNO:
      return {{IDYES, QMessageBox::Yes}, {IDNO, QMessageBox::No}};
    case MB_RETRYCANCEL:
      return {{IDRETRY, QMessageBox::Retry}, {IDCANCEL, QMessageBox::Cancel}};
    default:
      return {{IDOK, QMessageBox::Ok}};
  }
}

size_t DefaultIndex(unsigned flags, size_t count) {
  size_t index = 0;
  if (flags & MB_DEFBUTTON3) {
    index = 2;
  } else if (flags & MB_DEFBUTTON2) {
    index = 1;
  }
  return index < count ? index : 0;
}

// The desktop's message box.
class DesktopSink final : public MessageBoxSink {
 public:
  int Show(const MessageBoxRequest& request) override {
    QMessageBox box(request.owner);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    switch (request.flags & MB_ICONMASK) {
      case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
      case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
      case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
      case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
      default:
        break;
    }
    std::vector<ButtonRow> rows = ButtonsOf(request.flags);
    for (const ButtonRow& row : rows) box.addButton(row.button);
    box.setDefaultButton(rows[DefaultIndex(request.flags, rows.size())].button);
    int pressed = box.exec();
    for (const ButtonRow& row : rows) {
      if (pressed == row.button) return row.id;
    }
    // Closed without a button: Cancel where the box has one, else its only answer.
    for (const ButtonRow& row : rows) {
      if (row.id == IDCANCEL) return IDCANCEL;
    }
    return rows.size() == 1 ? rows[0].id : IDCANCEL;
  }
};

DesktopSink& Desktop() {
  static DesktopSink sink;
  return sink;
}

MessageBoxSink*& CurrentSink() {
  static MessageBoxSink* sink = &Desktop();
  return sink;
}

}  // namespace

void SetAppName(std::string_view name) { AppNameText() = std::string(name); }
const std::string& AppName() { return AppNameText(); }

MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink) {
  MessageBoxSink* previous = CurrentSink();
  CurrentSink() = sink != nullptr ? sink : &Desktop();
  return previous;
}

int ShowMessageBox(QWidget* owner, std::string_view text, const char* caption, unsigned flags) {
  MessageBoxRequest request;
  request.owner = owner;
  request.text = std::string(text);
  request.caption = caption != nullptr && *caption != '\0' ? std::string(caption) : AppName();
  request.flags = flags;
  return CurrentSink()->Show(request);
}

int DefaultMessageBoxAnswer(unsigned flags) {
  std::vector<ButtonRow> rows = ButtonsOf(flags);
  return rows[DefaultIndex(flags, rows.size())].id;
}

MessageBoxRecorder::MessageBoxRecorder() : previous_(SetMessageBoxSink(this)) {}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxSink(previous_); }

std::vector<std::string> MessageBoxRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const MessageBoxRequest& r : shown_) texts.push_back(r.text);
  return texts;
}

int MessageBoxRecorder::Show(const MessageBoxRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) return DefaultMessageBoxAnswer(request.flags);
  int answer = answers_.front();
  answers_.pop_front();
  return answer;
}
