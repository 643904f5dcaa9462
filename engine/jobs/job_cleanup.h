// Cleanup for runners that end before their graph runs: which modules the
// graph took over, closing the ones the runner still owns, and removing an
// output file the job created but never wrote.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/jobs/job_graph.h"
#include "platform/unknown.h"

// Passes everything on to another graph and remembers each module handed to
// Connect: the graph owns those from then on.
class CTakeoverGraph final : public IJobGraph {
 public:
  explicit CTakeoverGraph(IJobGraph& inner) : inner_(inner) {}

  void Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination, uint32_t destinationPin) override;
  bool SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook) override {
    return inner_.SetHook(source, sourcePin, hook);
  }
  bool FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** other, uint32_t* otherPin,
                      int direction) override {
    return inner_.FindConnection(module, pin, other, otherPin, direction);
  }
  HRESULT Run() override { return inner_.Run(); }
  int32_t GetState() override { return inner_.GetState(); }
  HRESULT Stop() override { return inner_.Stop(); }
  HRESULT Pause(int32_t pause) override { return inner_.Pause(pause); }
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh) override { return inner_.Seek(timeLow, timeHigh); }
  HRESULT CloseWriters() override { return inner_.CloseWriters(); }
  void Release() override { inner_.Release(); }

  bool Took(IMediaModule* module) const { return taken_.count(module) != 0; }

 private:
  IJobGraph& inner_;
  std::unordered_set<IMediaModule*> taken_;
};

// Modules a runner made and owns until the graph takes them. ReleaseNow (and
// the destructor) closes and releases each one the graph did not take, once.
class CModuleLeftovers {
 public:
  explicit CModuleLeftovers(const CTakeoverGraph& graph) : graph_(graph) {}
  ~CModuleLeftovers() { ReleaseNow(); }
  CModuleLeftovers(const CModuleLeftovers&) = delete;
  CModuleLeftovers& operator=(const CModuleLeftovers&) = delete;

  void Add(IMediaModule* module);
  void ReleaseNow();

 private:
  const CTakeoverGraph& graph_;
  std::vector<Ref<IMediaModule>> modules_;
};

// Notes whether the output path exists before the writer gets it, so that a
// job ending before its graph runs removes only a file (or empty folder) it
// created itself, never one that was there before.
class CNewOutputPath {
 public:
  explicit CNewOutputPath(const char* path);
  // Call once the writer is closed. True when something was removed.
  bool RemoveIfCreated();

 private:
  std::string path_;
  bool existed_ = true;
};

// What a runner sets up before its graph runs, undone when the job ends
// early: End releases the graph, closes the modules the graph did not take and
// removes the outputs this job created, and answers the result it is given.
class CJobSetup {
 public:
  explicit CJobSetup(IJobGraph& graph) : graph_(graph), leftovers_(graph_) {}
  CJobSetup(const CJobSetup&) = delete;
  CJobSetup& operator=(const CJobSetup&) = delete;

  // The graph to build on; it notes the modules it takes.
  CTakeoverGraph& Graph() { return graph_; }
  // A module of the runner's until the graph takes it (null is ignored).
  void Keep(IMediaModule* module) { leftovers_.Add(module); }
  // Call before the writer gets the path.
  void NewOutput(const char* path) { outputs_.emplace_back(path); }
  HRESULT End(HRESULT result);
  // After the graph ran: removes the outputs this job created (a stopped job
  // whose writer wrote in place).
  void RemoveNewOutputs() {
    for (CNewOutputPath& output : outputs_) output.RemoveIfCreated();
  }

 private:
  CTakeoverGraph graph_;
  CModuleLeftovers leftovers_;
  std::vector<CNewOutputPath> outputs_;
};
