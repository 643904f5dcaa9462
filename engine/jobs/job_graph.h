// The media graph as the job runners use it: pin-to-pin connections and
// hooks while chains are built, then run, pause, seek, stop and teardown.
// Results: bool for "done" or "found"; HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "engine/graph/media_graph.h"
#include "plugin-api/module_interfaces.h"

class IJobGraph {
 public:
  virtual ~IJobGraph() = default;

  // Connects an output pin to an input pin (replacing an earlier destination
  // of that output pin); the graph owns connected modules.
  virtual void Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination,
                       uint32_t destinationPin) = 0;
  // false when the pin has no connection.
  virtual bool SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook) = 0;
  // direction 1: the destination fed by (module, pin); 0: the source feeding
  // input (module, pin). true when found.
  virtual bool FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** other, uint32_t* otherPin,
                              int direction) = 0;

  virtual HRESULT Run() = 0;
  // 0 running, 1 every writer finished (or none), 2 some finished.
  virtual int32_t GetState() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause(int32_t pause) = 0;
  virtual HRESULT Seek(uint32_t timeLow, int32_t timeHigh) = 0;
  virtual HRESULT CloseWriters() = 0;
  // Closes every module and forgets them.
  virtual void Release() = 0;
};

// The engine's own graph.
class CMediaJobGraph final : public IJobGraph {
 public:
  void Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination, uint32_t destinationPin) override {
    graph_.Connect(source, sourcePin, destination, destinationPin);
  }
  bool SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook) override {
    return graph_.SetHook(source, sourcePin, hook);
  }
  bool FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** other, uint32_t* otherPin,
                      int direction) override {
    return graph_.FindConnection(module, pin, other, otherPin, direction);
  }
  HRESULT Run() override { return graph_.Run(); }
  int32_t GetState() override { return graph_.GetState(); }
  HRESULT Stop() override { return graph_.Stop(); }
  HRESULT Pause(int32_t pause) override { return graph_.Pause(pause); }
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh) override { return graph_.Seek(timeLow, timeHigh); }
  HRESULT CloseWriters() override { return graph_.CloseWriters(); }
  void Release() override { graph_.Release(); }

  CMediaGraph& Graph() { return graph_; }

 private:
  CMediaGraph graph_;
};
