// Scripted modal loops for tests: while a ModalScript lives, each modal loop
// that starts (UiDialog::DoModal) runs the script's next step once it is
// showing. A loop that starts with no step left is ended with IDCANCEL and
// counted, so a test never waits on a dialog nobody answers.
#pragma once

#include <deque>
#include <functional>
#include <string>

class QWidget;
class UiDialog;

class ModalScript {
 public:
  ModalScript();
  ~ModalScript();
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;

  // A step gets the dialog whose loop started; it usually ends it.
  ModalScript& Then(std::function<void(UiDialog&)> step);
  size_t Remaining() const { return steps_.size(); }
  // Loops that started with no step left.
  int Unscripted() const { return unscripted_; }

  // Used by UiDialog::DoModal.
  static ModalScript* Active();
  void RunNext(UiDialog& dialog);

 private:
  ModalScript* previous_;
  std::deque<std::function<void(UiDialog&)>> steps_;
  int unscripted_ = 0;
};

// Scripted input: a drag of one local file entering the widget, then its drop
// (a drop reaches a widget only after it accepted the drag's entry).
void SendFileDrop(QWidget& target, const std::string& path);
