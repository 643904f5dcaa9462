#include "engine/graph/current_job_inputs.h"

#include <atomic>

namespace {

std::atomic<const JobInputList*> g_inputs{nullptr};

}  // namespace

void SetCurrentJobInputs(const JobInputList* inputs) { g_inputs.store(inputs); }

const JobInputList* CurrentJobInputs() { return g_inputs.load(); }
