// Message boxes. Every box goes through one sink: the desktop's message box
// normally, a recorder in tests. A box without a caption of its own shows the
// application name. User-interface thread only.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/ui/win_defs.h"

class QWidget;

// The application's display name, the caption of boxes that give none.
void SetAppName(std::string_view name);
const std::string& AppName();

struct MessageBoxRequest {
  QWidget* owner = nullptr;
  std::string text;
  std::string caption;  // already the application name when none was given
  unsigned flags = MB_OK;
};

class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;
  // The id of the button pressed (IDOK, IDCANCEL, IDYES, ...).
  virtual int Show(const MessageBoxRequest& request) = 0;
};

// Installs a sink (null: the desktop's boxes again); returns the previous one.
MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink);

// Shows a box; caption null or empty means the application name.
int ShowMessageBox(QWidget* owner, std::string_view text, const char* caption = nullptr, unsigned flags = MB_OK);
inline int ShowMessageBox(std::string_view text, unsigned flags = MB_OK) {
  return ShowMessageBox(nullptr, text, nullptr, flags);
}

// The button a box of these flags presses by default: the MB_DEFBUTTONn of its
// buttons, else the first.
int DefaultMessageBoxAnswer(unsigned flags);

// A sink for tests: records every box and answers from a script (then with the
// default button). Installs itself for its lifetime.
class MessageBoxRecorder final : public MessageBoxSink {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder() override;
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  void Answer(int id) { answers_.push_back(id); }
  const std::vector<MessageBoxRequest>& Shown() const { return shown_; }
  // Texts only, in order.
  std::vector<std::string> Texts() const;
  void Clear() { shown_.clear(); }

  int Show(const MessageBoxRequest& request) override;

 private:
  MessageBoxSink* previous_;
  std::deque<int> answers_;
  std::vector<MessageBoxRequest> shown_;
};
