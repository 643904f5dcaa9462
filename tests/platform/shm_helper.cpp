// Helper process for the shared-memory tests. Commands (argv):
//   block NAME SIZE VALUE  create/open the block, store VALUE at offset 0 under
//                          its mutex, print "ready <created>"; then on each stdin
//                          line print the word at offset 4; exit at end of input
//   mutex NAME             lock the named mutex, print "ready", wait for end of input
//   wait NAME MANUAL MS    wait on the named event; exit 0 when signalled, 1 on time-out
//   namespace -            print the namespace
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "common/control_block.h"
#include "common/shared_block.h"
#include "platform/named_objects.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string cmd = argv[1];
  if (cmd == "block" && argc == 5) {
    CSharedBlock block;
    if (!block.Create(argv[2], strtoul(argv[3], nullptr, 10))) return 3;
    {
      NamedMutexLock lock(block.Mutex());
      BlockWord(block.View(), 0).store(static_cast<int32_t>(strtoul(argv[4], nullptr, 0)));
    }
    printf("ready %d\n", block.Created() ? 1 : 0);
    fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
      printf("%08X\n", static_cast<unsigned>(BlockWord(block.View(), 4).load()));
      fflush(stdout);
    }
    return 0;
  }
  if (cmd == "mutex") {
    NamedMutex m;
    if (!m.Open(argv[2])) return 3;
    if (m.Lock() != NamedMutex::LockResult::Acquired) return 4;
    printf("ready\n");
    fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    m.Unlock();
    return 0;
  }
  if (cmd == "wait" && argc == 5) {
    NamedEvent e;
    if (!e.Open(argv[2], atoi(argv[3]) != 0, false)) return 3;
    printf("ready\n");
    fflush(stdout);
    return e.Wait(static_cast<uint32_t>(strtoul(argv[4], nullptr, 10))) ? 0 : 1;
  }
  if (cmd == "namespace") {
    printf("%s\n", ShmNamespace().c_str());
    return 0;
  }
  return 2;
}
