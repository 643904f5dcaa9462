#include "frontend/ui/messages.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

const QEvent::Type kUiMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// A queued message; a sent one carries the sender's reply slot, answered 0
// when the event is dropped undelivered.
struct MessageEvent final : QEvent {
  explicit MessageEvent(UiMessage m, std::shared_ptr<std::promise<intptr_t>> r = {})
      : QEvent(kUiMessageEvent), message(std::move(m)), reply(std::move(r)) {}
  ~MessageEvent() override {
    if (reply) reply->set_value(0);
  }
  void Answer(intptr_t value) {
    if (reply) reply->set_value(value);
    reply.reset();
  }
  UiMessage message;
  std::shared_ptr<std::promise<intptr_t>> reply;
};

// Open targets by id. Posting happens under the lock, and a target leaves the
// table under the same lock before its receiver goes, so no post can race a
// receiver's destruction.
std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_map<WindowId, MessageTarget*>& Table() {
  static std::unordered_map<WindowId, MessageTarget*> table;
  return table;
}

WindowId NextId() {
  static uint32_t counter = 0;
  uint32_t pidMix = static_cast<uint32_t>(getpid()) * 2654435761u;
  for (;;) {
    ++counter;
    WindowId id = (pidMix & 0xFFF00000u) | (counter & 0x000FFFFFu);
    if (id != 0 && Table().find(id) == Table().end()) return id;
  }
}

}  // namespace

class MessageReceiver final : public QObject {
 public:
  explicit MessageReceiver(MessageTarget* target) : target_(target) {}
  bool event(QEvent* e) override {
    // The event was queued under the table lock: taking it here makes that
    // hand-over visible to thread checkers as well.
    { std::lock_guard<std::mutex> lock(TableLock()); }
    if (e->type() != kUiMessageEvent) return QObject::event(e);
    auto* m = static_cast<MessageEvent*>(e);
    m->Answer(target_->OnMessage(m->message));
    return true;
  }
  intptr_t Deliver(const UiMessage& message) { return target_->OnMessage(message); }

 private:
  MessageTarget* target_;
};

MessageTarget::MessageTarget() = default;

MessageTarget::~MessageTarget() { CloseHandle(); }

WindowId MessageTarget::OpenHandle() {
  CloseHandle();
  auto* receiver = new MessageReceiver(this);
  std::lock_guard<std::mutex> lock(TableLock());
  id_ = NextId();
  receiver_ = receiver;
  Table()[id_] = this;
  return id_;
}

void MessageTarget::CloseHandle() {
  QObject* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(TableLock());
    if (id_ != 0) Table().erase(id_);
    id_ = 0;
    receiver = receiver_;
    receiver_ = nullptr;
  }
  if (receiver != nullptr) {
    QCoreApplication::removePostedEvents(receiver, kUiMessageEvent);
    delete receiver;
  }
}

bool PostMessage(WindowId to, UiMessage message) {
  std::lock_guard<std::mutex> lock(TableLock());
  auto it = Table().find(to);
  if (it == Table().end() || it->second->receiver_ == nullptr) return false;
  QCoreApplication::postEvent(it->second->receiver_, new MessageEvent(std::move(message)));
  return true;
}

intptr_t SendMessage(WindowId to, UiMessage message) {
  MessageReceiver* receiver = nullptr;
  std::future<intptr_t> answer;
  {
    std::lock_guard<std::mutex> lock(TableLock());
    auto it = Table().find(to);
    if (it == Table().end() || it->second->receiver_ == nullptr) return 0;
    receiver = static_cast<MessageReceiver*>(it->second->receiver_);
    if (receiver->thread() != QThread::currentThread()) {
      auto reply = std::make_shared<std::promise<intptr_t>>();
      answer = reply->get_future();
      QCoreApplication::postEvent(receiver, new MessageEvent(std::move(message), std::move(reply)),
                                  Qt::HighEventPriority);
    }
  }
  if (answer.valid()) return answer.get();
  return receiver->Deliver(message);
}

uint32_t RegisterUiMessage(std::string_view name) {
  static std::mutex lock;
  static std::map<std::string, uint32_t> names;
  std::lock_guard<std::mutex> guard(lock);
  auto [it, added] = names.emplace(std::string(name), 0xC000u + static_cast<uint32_t>(names.size()));
  return it->second;
}
