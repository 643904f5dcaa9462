// The main window's tasks: an owning list, in the order they were added.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/model/task.h"

class CTaskList {
 public:
  CTaskList() = default;
  CTaskList(const CTaskList&) = delete;
  CTaskList& operator=(const CTaskList&) = delete;

  // Makes the task of one probed source (MakeTask) and appends it; null with
  // a message, list unchanged, when the source or choice does not fit a job.
  CTask* AddTask(std::string_view path, const MediaInfoRecord& record, const OutputSettings& settings,
                 const TaskOptions& options, std::string& message);
  // Every task takes the settings' extension and the output choice. False
  // with a message, no task changed, when a text of the choice does not fit.
  bool ApplyProfile(const OutputSettings& settings, int32_t mode, std::string& message);
  // Unlinks and frees the task; false when it is not in the list.
  bool Remove(const CTask* task);
  // Frees every task.
  void Clear();

  // The folder the tasks write into; one trailing '/' is dropped (not from "/").
  void SetOutputFolder(std::string_view folder);
  const std::string& OutputFolder() const { return outputFolder_; }

  size_t size() const { return tasks_.size(); }
  bool empty() const { return tasks_.empty(); }
  CTask& operator[](size_t i) const { return *tasks_[i]; }
  auto begin() const { return tasks_.begin(); }
  auto end() const { return tasks_.end(); }

 private:
  std::vector<std::unique_ptr<CTask>> tasks_;
  std::string outputFolder_;
};
