// Helper process for the block-queue tests. Commands (argv):
//   write QUEUE ID COUNT   open the queue (retrying up to 10 s) and write COUNT
//                          messages: int32 ID, int32 counter, then 0 to 300 filler
//                          bytes; print "done" and exit 0, else print the result
//   serve QUEUE N SIZE     create the queue, print "ready", wait for end of input
//   lock QUEUE             take the queue's write mutex, print "ready", wait for end of input
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "common/xqueue.h"

namespace {

void WaitForEndOfInput() {
  std::string line;
  while (std::getline(std::cin, line)) {
  }
}

int Write(const std::string& queueName, int32_t id, int32_t count) {
  CXQueue queue;
  XQueueResult r = XQueueResult::kOpenFailed;
  for (int tries = 0; tries < 1000 && r != XQueueResult::kOk; ++tries) {
    r = queue.Open(queueName);
    if (r != XQueueResult::kOk) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (r != XQueueResult::kOk) {
    std::printf("open %d\n", static_cast<int>(r));
    return 3;
  }
  std::vector<uint8_t> message(8 + 300);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t filler = static_cast<uint32_t>((i * 37 + id * 11) % 301);
    std::memcpy(message.data(), &id, 4);
    std::memcpy(message.data() + 4, &i, 4);
    for (uint32_t k = 0; k < filler; ++k) message[8 + k] = static_cast<uint8_t>(id + i + k);
    r = queue.Write(message.data(), 8 + filler, CXQueue::kInfinite);
    if (r != XQueueResult::kOk) {
      std::printf("write %d at %d\n", static_cast<int>(r), static_cast<int>(i));
      return 4;
    }
  }
  std::printf("done\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  if (command == "write" && argc == 5) return Write(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (command == "serve" && argc == 5) {
    CXQueue queue;
    XQueueResult r = queue.Create(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)),
                                  static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)));
    if (r != XQueueResult::kOk) return 3;
    std::printf("ready\n");
    std::fflush(stdout);
    WaitForEndOfInput();
    return 0;
  }
  if (command == "lock") {
    NamedMutex mutex;
    if (!mutex.Open(CXQueue::WriteMutexName(argv[2]), SharedMemory::Mode::OpenExisting)) return 3;
    if (mutex.Lock() != NamedMutex::LockResult::Acquired) return 4;
    std::printf("ready\n");
    std::fflush(stdout);
    WaitForEndOfInput();
    mutex.Unlock();
    return 0;
  }
  return 2;
}
