#include "frontend/model/task_list.h"

#include <algorithm>
#include <cstring>

CTask* CTaskList::AddTask(std::string_view path, const MediaInfoRecord& record, const OutputSettings& settings,
                          const TaskOptions& options, std::string& message) {
  std::unique_ptr<CTask> task = MakeTask(path, record, settings, options, message);
  if (!task) return nullptr;
  tasks_.push_back(std::move(task));
  return tasks_.back().get();
}

bool CTaskList::ApplyProfile(const OutputSettings& settings, int32_t mode, std::string& message) {
  // The choice's texts are the only thing a task can refuse: checked once, up front.
  auto scratch = std::make_unique<JobOutputSettings>();
  if (!BuildJobOutputSettings(*scratch, settings, mode, message)) return false;
  const std::string ext(settings.ext, strnlen(settings.ext, sizeof(settings.ext) - 1));
  for (const auto& task : tasks_) {
    task->outputExt = ext;
    if (!task->ApplyProfile(settings, mode, message)) return false;
  }
  return true;
}

bool CTaskList::Remove(const CTask* task) {
  const auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const auto& t) { return t.get() == task; });
  if (it == tasks_.end()) return false;
  (*it)->Clear();
  tasks_.erase(it);
  return true;
}

void CTaskList::Clear() {
  for (const auto& task : tasks_) task->Clear();
  tasks_.clear();
}

void CTaskList::SetOutputFolder(std::string_view folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  outputFolder_ = folder;
}
