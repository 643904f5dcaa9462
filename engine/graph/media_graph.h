// CMediaGraph: the modules of one job and the connections between their pins.
// Samples do not pass through the graph: each connection installs a
// forwarder as the upstream module's output callback, which hands every
// sample to the downstream module's Receive and applies the graph's stop and
// pause states on the way.
// Results: bool for "done" or "found"; HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/unknown.h"
#include "plugin-api/module_interfaces.h"

// Called with each real sample and each end of stream (null) before the
// forwarder passes it on.
using SampleHook = void (*)(IMediaSample* sample);

struct GraphConnection {
  IMediaModule* source;
  uint32_t sourcePin;
  IMediaModule* destination;
  uint32_t destinationPin;
  SampleHook hook;
};

class CMediaGraph {
 public:
  CMediaGraph();
  ~CMediaGraph();  // releases the modules when Release was not called
  CMediaGraph(const CMediaGraph&) = delete;
  CMediaGraph& operator=(const CMediaGraph&) = delete;

  // Connects source's output pin to destination's input pin and installs the
  // forwarder. The graph takes over the caller's reference of each module it
  // lists for the first time. false when a module is missing.
  bool Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination, uint32_t destinationPin);
  // false when the pin has no connection.
  bool SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook);
  // direction 1: the destination of (module, pin) as source; direction 0: the
  // source of (module, pin) as destination. true when found.
  bool FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** otherModule, uint32_t* otherPin,
                      int32_t direction);
  // Allocator of the connection from (source, pin), downstream first; false
  // when a connection or a module's allocator is missing.
  bool SetupAllocators(IMediaModule* source, uint32_t sourcePin);
  HRESULT Run();
  HRESULT Stop();
  HRESULT Pause(int32_t pause);
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh);
  // 1 every writer finished (or none), 2 some, 0 none; 2 also for any odd writer state.
  int32_t GetState();
  HRESULT CloseWriters();
  // Closes and releases the readers, then every other module.
  void Release();

  // The listed modules, borrowed.
  std::vector<IMediaModule*> Modules() const;
  std::vector<IMediaModule*> Readers() const;
  size_t ConnectionCount() const { return connections_.size(); }

  // Process-wide states read by every forwarder (one engine process runs one job).
  static bool IsStopped();
  static bool IsPaused();
  // For test programs that run several graphs in one process.
  static void ResetProcessState();

 private:
  GraphConnection* FindBySource(IMediaModule* module, uint32_t pin);
  void List(IMediaModule* module);
  bool IsSetUp(IMediaModule* module, uint32_t pin) const;
  bool SetupAllocatorsFrom(IMediaModule* source, uint32_t sourcePin, int depth);

  std::vector<Ref<IMediaModule>> modules_;  // modules with input pins
  std::vector<Ref<IMediaModule>> readers_;  // modules without input pins
  std::vector<std::unique_ptr<GraphConnection>> connections_;
  std::vector<std::pair<IMediaModule*, uint32_t>> setUp_;  // output pins with an allocator
};

// Display name used in log lines (at most 64 characters).
void ModuleDisplayName(IMediaModule* module, char (&name)[65]);
