#include "engine/jobs/job_cleanup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/diagnostics.h"

void CTakeoverGraph::Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination,
                             uint32_t destinationPin) {
  inner_.Connect(source, sourcePin, destination, destinationPin);
  if (source) taken_.insert(source);
  if (destination) taken_.insert(destination);
}

void CModuleLeftovers::Add(IMediaModule* module) {
  if (!module) return;
  const auto same = [module](const Ref<IMediaModule>& kept) { return kept.Get() == module; };
  if (std::find_if(modules_.begin(), modules_.end(), same) == modules_.end()) modules_.emplace_back(module);
}

void CModuleLeftovers::ReleaseNow() {
  std::vector<Ref<IMediaModule>> modules;
  modules.swap(modules_);
  for (Ref<IMediaModule>& module : modules) {
    if (graph_.Took(module.Get()))
      module.Detach();  // the graph holds this reference now
    else
      module->Close();
  }
  // The rest are released here, once every one of them is closed.
}

CNewOutputPath::CNewOutputPath(const char* path) : path_(path ? path : "") {
  struct stat st {};
  existed_ = path_.empty() || lstat(path_.c_str(), &st) == 0 || errno != ENOENT;
}

bool CNewOutputPath::RemoveIfCreated() {
  if (existed_) return false;
  struct stat st {};
  if (lstat(path_.c_str(), &st) != 0) return false;
  bool removed = false;
  if (S_ISREG(st.st_mode))
    removed = unlink(path_.c_str()) == 0;
  else if (S_ISDIR(st.st_mode))
    removed = rmdir(path_.c_str()) == 0;  // only when empty
  if (removed) Diag(DiagLevel::kNote, "removed the unwritten output '%s'", path_.c_str());
  return removed;
}

HRESULT CJobSetup::End(HRESULT result) {
  graph_.Release();
  leftovers_.ReleaseNow();
  RemoveNewOutputs();
  return result;
}
