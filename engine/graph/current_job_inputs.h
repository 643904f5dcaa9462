// The source list of the running conversion or frame job, kept for the
// modules that need more of the job than their parameters: the DVD
// subpicture overlay reads the disc palette from it.
#pragma once

class JobInputList;

// The runner sets it before the graph runs and clears it when the job ends;
// the list must outlive the graph. Safe to read from any thread.
void SetCurrentJobInputs(const JobInputList* inputs);
// Null when no job is running.
const JobInputList* CurrentJobInputs();

// Sets the list for the life of one scope.
class CCurrentJobInputsScope {
 public:
  explicit CCurrentJobInputsScope(const JobInputList* inputs) { SetCurrentJobInputs(inputs); }
  ~CCurrentJobInputsScope() { SetCurrentJobInputs(nullptr); }
  CCurrentJobInputsScope(const CCurrentJobInputsScope&) = delete;
  CCurrentJobInputsScope& operator=(const CCurrentJobInputsScope&) = delete;
};
