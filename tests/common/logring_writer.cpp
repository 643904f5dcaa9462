// Writer process for the log ring tests: NAME PROC THREADS LINES PACE_US.
// Prints "ready" once the ring is open, starts writing on the first stdin line.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "common/log_ring.h"

int main(int argc, char** argv) {
  if (argc != 6) return 2;
  CLogRing* ring = LogRingCreate(argv[1]);
  if (!ring->IsOpen()) return 3;
  int proc = atoi(argv[2]), threads = atoi(argv[3]), lines = atoi(argv[4]), pace = atoi(argv[5]);
  printf("ready\n");
  fflush(stdout);
  std::string go;
  std::getline(std::cin, go);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([=] {
      for (int n = 0; n < lines; ++n) {
        LogRingPrintf(ring, "P%d T%d N%d %s", proc, t, n, "payload-payload-payload-payload");
        std::this_thread::sleep_for(std::chrono::microseconds(pace));
      }
    });
  for (auto& w : workers) w.join();
  LogRingDestroy(ring);
  return 0;
}
