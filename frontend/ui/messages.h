// Window ids and messages. Every window that takes messages is a MessageTarget
// with a 32-bit id while it is open. Posting is queued and safe from any
// thread; a message for a window that is gone (or closes before the message
// is delivered) is dropped. Sending calls the window directly and waits.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

class QObject;
class QThread;

using WindowId = uint32_t;

struct UiMessage {
  uint32_t msg = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  std::shared_ptr<void> data;  // an owned payload; freed when the message is dropped
};

class MessageTarget {
 public:
  MessageTarget();
  virtual ~MessageTarget();
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

  // 0 while closed.
  WindowId Handle() const { return id_; }

 protected:
  // Gives the target a new id (closing the old one); messages are delivered on
  // the calling thread, which must run an event loop.
  WindowId OpenHandle();
  // Drops the id and every message still queued for it.
  void CloseHandle();
  // A posted or sent message; the answer goes back to SendMessage.
  virtual intptr_t OnMessage(const UiMessage& message) = 0;

 private:
  friend class MessageReceiver;
  friend bool PostMessage(WindowId, UiMessage);
  friend intptr_t SendMessage(WindowId, UiMessage);
  WindowId id_ = 0;
  QObject* receiver_ = nullptr;
};

// Queues a message; false (and the payload freed) when no window has that id.
bool PostMessage(WindowId to, UiMessage message);
inline bool PostMessage(WindowId to, uint32_t msg, uint64_t wParam = 0, int64_t lParam = 0,
                        std::shared_ptr<void> data = {}) {
  return PostMessage(to, UiMessage{msg, wParam, lParam, std::move(data)});
}

// Delivers a message at once and returns the target's answer: directly on the
// target's thread, else waiting for that thread to handle it. 0 when gone.
intptr_t SendMessage(WindowId to, UiMessage message);
inline intptr_t SendMessage(WindowId to, uint32_t msg, uint64_t wParam = 0, int64_t lParam = 0) {
  return SendMessage(to, UiMessage{msg, wParam, lParam, {}});
}

// A message number for a name, the same for the same name within the process,
// from 0xC000 up.
uint32_t RegisterUiMessage(std::string_view name);
