#include "engine/jobs/job_channel.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/control_block.h"
#include "engine/graph/engine_control.h"

namespace {

std::atomic<JobChannel*> g_current{nullptr};

uint32_t HexPrefix(std::string_view s) {
  uint32_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      break;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

}  // namespace

std::string ControlBlockNameForJob(std::string_view jobName) {
  uint32_t window = 0;
  if (jobName.size() > 6) window = HexPrefix(jobName.substr(5));
  return ControlBlock::NameForWindow(window);
}

int32_t ClampedRecordSize(const uint8_t* view, size_t mappingSize) {
  if (!view || mappingSize < 4) return 0;
  int32_t word;
  memcpy(&word, view, 4);
  if (word <= 0) return 0;
  size_t room = mappingSize - 4;
  if (static_cast<size_t>(word) > room) return static_cast<int32_t>(room > 0x7FFFFFFF ? 0x7FFFFFFF : room);
  return word;
}

JobChannel* OpenJobChannel(std::string_view jobName) {
  auto* channel = new JobChannel;
  JobBlock& job = channel->job;
  if (!job.block.OpenExisting(jobName)) {
    if (!SharedMemoryRefusal().empty()) {
      channel->refusal = SharedMemoryRefusal();
    } else if (job.block.Create(jobName, 4, CSharedBlock::Backing::PagingOnly) && job.block.Created()) {
      // Missing: an empty block in memory, whose size word is 0 when we made it.
      BlockWord(job.block.View(), 0).store(0);
    } else if (!SharedMemoryRefusal().empty()) {
      channel->refusal = SharedMemoryRefusal();
    }
  }
  if (job.block.IsOpen() && job.block.Size() >= 4) {
    job.data = job.block.View() + 4;
    job.size = ClampedRecordSize(job.block.View(), job.block.Size());
  } else {
    job.block.Close();
  }

  if (channel->control.Create(ControlBlockNameForJob(jobName), ControlBlock::kSize) &&
      channel->control.Size() < ControlBlock::kSize) {
    channel->control.Close();  // a foreign block too small for the layout
  } else if (!channel->control.IsOpen() && channel->refusal.empty()) {
    channel->refusal = SharedMemoryRefusal();
  }
  return channel;
}

void CloseJobBlock(JobChannel* channel) {
  if (!channel) return;
  channel->job.block.Close();
  channel->job.data = nullptr;
  channel->job.size = 0;
}

void CloseJobChannel(JobChannel* channel) {
  if (!channel) return;
  JobChannel* self = channel;
  g_current.compare_exchange_strong(self, nullptr);
  channel->control.Close();
  CloseJobBlock(channel);
  delete channel;
}

uint8_t* GetControlData(const JobChannel* channel) {
  return channel && channel->control.IsOpen() ? channel->control.View() : nullptr;
}

JobBlock* GetJobBlock(JobChannel* channel) { return channel ? &channel->job : nullptr; }

void SetControlPosition(JobChannel* channel, int32_t milliseconds) {
  if (uint8_t* view = GetControlData(channel)) BlockWord(view, ControlBlock::kPosition).exchange(milliseconds);
}

void SetControlFrameCount(JobChannel* channel, int32_t count) {
  if (uint8_t* view = GetControlData(channel)) BlockWord(view, ControlBlock::kFrames).exchange(count);
}

JobChannel* CurrentJobChannel() { return g_current.load(); }

void SetCurrentJobChannel(JobChannel* channel) {
  g_current.store(channel);
  // The frame capture writes into the control block through this.
  SetEngineControlBlock(GetControlData(channel), GetControlData(channel) ? channel->control.Size() : 0);
}
