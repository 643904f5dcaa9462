#include "frontend/model/engine_session.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/result_text.h"

namespace {

// Choosing a job block name and taking it is one step within this process.
std::mutex& JobNameLock() {
  static std::mutex lock;
  return lock;
}

// Probes of this process share its probe block.
std::mutex& ProbeLock() {
  static std::mutex lock;
  return lock;
}

std::unique_ptr<EngineSession> Refuse(std::string* error, const std::string& why) {
  if (error) *error = why;
  return nullptr;
}

// The reason an object under a block's name was refused, as ": <reason>".
std::string RefusalText() { return SharedMemoryRefusal().empty() ? "" : ": " + SharedMemoryRefusal(); }

// Creates the job block under the first free name: "HWND_%08X", then
// "HWND_%08X_0", "_1", ... A name counts as taken while any process holds it.
bool CreateJobBlock(uint32_t window, size_t size, CSharedBlock& block, std::string& name) {
  char base[32];
  std::snprintf(base, sizeof(base), "HWND_%08X", static_cast<unsigned>(window));
  std::lock_guard<std::mutex> lock(JobNameLock());
  for (int n = -1; n < INT_MAX; ++n) {
    name = n < 0 ? std::string(base) : std::string(base) + "_" + std::to_string(n);
    if (CSharedBlock::Exists(name)) continue;
    if (!block.Create(name, size, CSharedBlock::Backing::PagingOnly)) return false;
    if (block.Created() && block.Size() >= size) return true;
    block.Close();  // another process took it in between
  }
  return false;
}

const char* const kModeLetters = "mdegpb";

}  // namespace

bool OpenControlBlock(uint32_t window, CSharedBlock& block) {
  if (!block.Create(ControlBlock::NameForWindow(window), ControlBlock::kSize) || block.Size() < ControlBlock::kSize) {
    block.Close();
    return false;
  }
  if (block.Created())
    for (size_t offset : ControlBlock::kHeaderWordsClearedOnCreate) BlockWord(block.View(), offset).store(0);
  return true;
}

EngineSession::~EngineSession() = default;

EngineExitState EngineSession::GetExitCode(EngineSession* session, HRESULT* code) {
  if (!session) return EngineExitState::kUnknown;
  return session->process_.Poll(code);
}

bool EngineSession::Terminate(EngineSession* session) {
  return session && session->process_.Kill(kEngineTerminatedCode);
}

int32_t EngineSession::GetProcessId(const EngineSession* session) {
  return session ? static_cast<int32_t>(session->process_.Pid()) : 0;
}

uint8_t* EngineSession::GetControl(const EngineSession* session) {
  return session ? session->control_.View() : nullptr;
}

int32_t EngineSession::GetResult(const EngineSession* session) {
  uint8_t* view = GetControl(session);
  return view ? BlockWord(view, ControlBlock::kReportedPosition).load() : 0;
}

void EngineSession::WriteWord(size_t offset, int32_t value) {
  if (uint8_t* view = control_.View()) BlockWord(view, offset).exchange(value);
}

void EngineSession::SetValue(EngineSession* session, int32_t value) {
  if (session) session->WriteWord(ControlBlock::kStopLevel, value);
}

void EngineSession::RequestStop(EngineSession& session) { session.WriteWord(ControlBlock::kStopRequest, 1); }

void EngineSession::Pause(EngineSession& session) { session.WriteWord(ControlBlock::kPauseRequest, 1); }

void EngineSession::Resume(EngineSession& session) { session.WriteWord(ControlBlock::kPauseRequest, 0); }

void EngineSession::SetPlayerPause(EngineSession& session, int32_t flag) {
  session.WriteWord(ControlBlock::kHold, flag ? 1 : 0);
}

void EngineSession::PostSeek(EngineSession& session, int64_t time) {
  uint8_t* view = session.control_.View();
  if (!view) return;
  WriteSeekTarget(view, time);
  session.WriteWord(ControlBlock::kSeekRequest, 1);
  session.WriteWord(ControlBlock::kSeekPending, 1);
}

std::unique_ptr<EngineSession> StartEngineWithBytes(uint32_t window, char letter, const std::vector<uint8_t>& bytes,
                                                    std::string* error) {
  if (letter == 0 || !std::strchr(kModeLetters, letter))
    return Refuse(error, std::string("unknown engine mode '") + letter + "'");
  if (bytes.size() > static_cast<size_t>(INT32_MAX) - 4)
    return Refuse(error, "the job record of " + std::to_string(bytes.size()) + " bytes is too large");
  std::unique_ptr<EngineSession> session(new EngineSession);

  if (!OpenControlBlock(window, session->control_))
    return Refuse(error,
                  "cannot create the control block \"" + ControlBlock::NameForWindow(window) + "\"" + RefusalText());

  const size_t blockSize = bytes.size() + 4;
  if (!CreateJobBlock(window, blockSize, session->job_, session->jobName_))
    return Refuse(error, "cannot create a job block for window " + Hex8(window) + RefusalText());
  {
    NamedMutexLock lock(session->job_.Mutex());
    if (!lock.Held()) return Refuse(error, "cannot lock the job block \"" + session->jobName_ + "\"");
    BlockWord(session->job_.View(), 0).store(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(session->job_.View() + 4, bytes.data(), bytes.size());
  }

  std::string why;
  if (!session->process_.Start({std::string("-") + letter, session->jobName_}, why)) return Refuse(error, why);
  return session;
}

std::unique_ptr<EngineSession> StartEngine(uint32_t window, char letter, IDataRecord& record, std::string* error) {
  return StartEngineWithBytes(window, letter, SerialiseRecord(record), error);
}

std::unique_ptr<EngineSession> StartEngineConvert(uint32_t window, ConvertJob& job, std::string* error) {
  return StartEngine(window, 'm', job, error);
}

std::unique_ptr<EngineSession> StartEngineMerge(uint32_t window, ConvertJob& job, std::string* error) {
  return StartEngine(window, 'g', job, error);
}

std::unique_ptr<EngineSession> StartEnginePlayer(uint32_t window, ConvertJob& job, std::string* error) {
  return StartEngine(window, 'p', job, error);
}

bool WaitEngine(EngineSession* session, uint32_t ms) {
  if (!session) return false;
  if (!session->WaitForEnd(ms)) {
    session->process_.Kill(kEngineTimeoutCode);
    return false;
  }
  HRESULT code = 0;
  return EngineSession::GetExitCode(session, &code) == EngineExitState::kEnded && code == 0;
}

bool RunEngineBitmap(uint32_t window, FrameJob& job, int64_t& result, uint32_t timeoutMs, std::string* error) {
  std::unique_ptr<EngineSession> session = StartEngine(window, 'b', job, error);
  const bool done = WaitEngine(session.get(), timeoutMs);
  result = static_cast<int64_t>(EngineSession::GetResult(session.get()));
  if (session && !done && error) {
    HRESULT code = 0;
    EngineSession::GetExitCode(session.get(), &code);
    *error = code == kEngineTimeoutCode ? "the engine rendered no frame within " + std::to_string(timeoutMs) + " ms"
                                        : "the frame render ended with code " + ResultWithText(code);
  }
  return done;
}

bool ProbeMedia(std::string_view path, int32_t number, MediaInfoRecord& out, uint32_t timeoutMs, std::string* error) {
  auto fail = [&](const std::string& why) {
    std::memset(static_cast<void*>(&out), 0, sizeof(out));
    out.result = kProbeFailedCode;
    if (error) *error = why;
    return false;
  };
  const std::string pathText(path);
  if (pathText.find('\0') != std::string::npos) return fail("the path holds a NUL character");

  std::lock_guard<std::mutex> probeLock(ProbeLock());
  const std::string name = ProbeBlockName(static_cast<uint32_t>(getpid()));
  CSharedBlock block;
  if (!block.Create(name, kProbeBlockSize, CSharedBlock::Backing::PagingOnly) || block.Size() < kProbeBlockSize)
    return fail("cannot create the probe block \"" + name + "\"" + RefusalText());
  {
    // An engine that writes nothing leaves a failed record, never an earlier one.
    NamedMutexLock lock(block.Mutex());
    if (!lock.Held()) return fail("cannot lock the probe block \"" + name + "\"");
    std::memset(block.View(), 0, kProbeBlockSize);
    auto* record = reinterpret_cast<MediaInfoRecord*>(block.View());
    record->result = kProbeFailedCode;
  }

  EngineProcess engine;
  std::string why;
  if (!engine.Start({"-l", name, "\"" + pathText + "\"", std::to_string(number)}, why)) return fail(why);
  if (!engine.WaitFor(timeoutMs)) {
    engine.Kill(kEngineTimeoutCode);
    return fail("the engine did not finish the probe within " + std::to_string(timeoutMs) + " ms");
  }
  HRESULT code = 0;
  if (engine.Poll(&code) != EngineExitState::kEnded) return fail("the probing engine's end cannot be told");
  if (code != 0) return fail("the probe ended with code " + ResultWithText(code));
  {
    NamedMutexLock lock(block.Mutex());
    if (!lock.Held()) return fail("cannot lock the probe block \"" + name + "\"");
    std::memcpy(static_cast<void*>(&out), block.View(), sizeof(out));
  }
  if (out.result == kProbeFailedCode) return fail("the engine wrote no probe record");
  return true;
}
