#include "engine/jobs/job_block_reader.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <thread>

#include "common/control_block.h"
#include "engine/graph/engine_log.h"
#include "engine/jobs/job_channel.h"
#include "platform/diagnostics.h"

namespace {

std::mutex g_wordLock;
CSharedBlock* g_engineWord = nullptr;

// Publishes the engine's own address of the control block's fifth word.
void StoreEngineWord(JobChannel* channel) {
  std::lock_guard<std::mutex> guard(g_wordLock);
  if (!g_engineWord || !g_engineWord->IsOpen()) return;
  uint8_t* control = GetControlData(channel);
  uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(control ? control + 16 : nullptr));
  NamedMutexLock lock(g_engineWord->Mutex());
  if (!lock.Held()) return;
  BlockWord(g_engineWord->View(), 0).store(static_cast<int32_t>(value));
  g_engineWord->Flush();
}

constexpr int kStaleAttempts = 30;

}  // namespace

HRESULT ReadJobFromBlock(const std::string& blockName, std::vector<uint8_t>& bytes, std::string* why) {
  bytes.clear();
  CloseJobChannel();
  JobChannel* channel = OpenJobChannel(blockName);
  if (!channel->refusal.empty()) {
    // Someone else's block: neither its record nor its control words are used.
    if (why) *why = channel->refusal;
    CloseJobChannel(channel);
    return E_FAIL;
  }
  SetCurrentJobChannel(channel);
  JobBlock* job = GetJobBlock(channel);
  if (!job->block.IsOpen()) {
    // Neither opened nor created: there is nothing to read the record from.
    return E_FAIL;
  }
  if (job->block.Created())
    Diag(DiagLevel::kWarning, "the job block \"%s\" does not exist: its record is empty", blockName.c_str());
  {
    NamedMutexLock lock(job->block.Mutex());
    if (!lock.Held()) return E_FAIL;
    // The size word may have changed since opening: clamp it again.
    int32_t size = ClampedRecordSize(job->block.View(), job->block.Size());
    bytes.assign(job->data, job->data + size);
  }
  CloseJobBlock(channel);
  StoreEngineWord(channel);
  return S_OK;
}

void CloseJobChannel() {
  JobChannel* channel = CurrentJobChannel();
  SetCurrentJobChannel(nullptr);
  CloseJobChannel(channel);
}

int RemoveStaleEngineWords() {
  int removed = 0;
  const std::string self = ConvertBlockName(EngineWordName(static_cast<uint32_t>(getpid())));
  for (const std::string& prefix : {BlockMappingName(":LID"), BlockMutexName(":LID")}) {
    for (const std::string& name : NamedObjectsWithPrefix(prefix)) {
      // "<prefix>XXXXXXXX": the owner's process id in hexadecimal.
      const std::string digits = name.substr(prefix.size());
      if (digits.size() != 8 || digits.find_first_not_of("0123456789ABCDEF") != std::string::npos) continue;
      if (name.compare(name.size() - self.size(), self.size(), self) == 0) continue;
      const pid_t owner = static_cast<pid_t>(std::stoul(digits, nullptr, 16));
      if (owner <= 0 || kill(owner, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
      // A process that has just died may still hold its objects for a moment
      // (the kernel releases a mapping's file after the process is gone).
      for (int attempt = 0; attempt < kStaleAttempts; ++attempt) {
        if (SharedMemory::RemoveIfUnheld(name)) {
          ++removed;
          break;
        }
        if (!SharedMemory::Exists(name)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  return removed;
}

bool OpenEngineWord(std::string* why) {
  std::lock_guard<std::mutex> guard(g_wordLock);
  if (g_engineWord) return true;
  RemoveStaleEngineWords();
  auto* word = new CSharedBlock;
  if (!word->Create(EngineWordName(static_cast<uint32_t>(getpid())), kEngineWordSize)) {
    delete word;
    if (SharedMemoryRefusal().empty()) return true;
    if (why) *why = SharedMemoryRefusal();
    return false;
  }
  g_engineWord = word;
  return true;
}

void CloseEngineWord() {
  std::lock_guard<std::mutex> guard(g_wordLock);
  delete g_engineWord;
  g_engineWord = nullptr;
}

void LogEngineLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  EngineLogV(format, args);
  va_end(args);
}
