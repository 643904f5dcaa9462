#include "frontend/ui/modal_script.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "frontend/ui/ui_dialog.h"

namespace {
ModalScript*& Current() {
  static ModalScript* script = nullptr;
  return script;
}
}  // namespace

ModalScript::ModalScript() : previous_(Current()) { Current() = this; }

ModalScript::~ModalScript() { Current() = previous_; }

ModalScript& ModalScript::Then(std::function<void(UiDialog&)> step) {
  steps_.push_back(std::move(step));
  return *this;
}

ModalScript* ModalScript::Active() { return Current(); }

void ModalScript::RunNext(UiDialog& dialog) {
  if (steps_.empty()) {
    ++unscripted_;
    dialog.EndDialog(IDCANCEL);
    return;
  }
  auto step = std::move(steps_.front());
  steps_.pop_front();
  step(dialog);
}

void SendFileDrop(QWidget& target, const std::string& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &drop);
}
