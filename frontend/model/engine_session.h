// The front end's side of one engine process: the job block "HWND_%08X" (with
// "_n" when that name is taken) holding the serialised job record, the
// control block ":CTRLDATA_%08X" of the window, shared by every session of
// that window, and the process with its exit state. Frame renders and media
// probes are sessions that are waited for.
//
// The static operations accept a null session (reading as "no session")
// unless they take a reference. Results: bool for done.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/control_block.h"
#include "common/data_stream.h"
#include "common/job_records.h"
#include "common/media_info_record.h"
#include "common/shared_block.h"
#include "frontend/model/engine_process.h"

constexpr uint32_t kFrameRenderTimeoutMs = 8000;
constexpr uint32_t kProbeTimeoutMs = 15000;
// RET of a probe record when the probe failed.
constexpr HRESULT kProbeFailedCode = MakeHResult(0x80040202u);

class EngineSession {
 public:
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // Whether the engine has ended (its code stored in *code), is running, or
  // cannot be asked (null session, no process).
  static EngineExitState GetExitCode(EngineSession* session, HRESULT* code);
  // Kills the engine; its code then reads kEngineTerminatedCode. False for
  // null and for an engine that had ended already.
  static bool Terminate(EngineSession* session);
  static int32_t GetProcessId(const EngineSession* session);
  // The control block's view, null for null.
  static uint8_t* GetControl(const EngineSession* session);
  // The result word (reported position), 0 for null.
  static int32_t GetResult(const EngineSession* session);
  // The stop level word; nothing for null.
  static void SetValue(EngineSession* session, int32_t value);
  static void RequestStop(EngineSession& session);
  static void Pause(EngineSession& session);
  static void Resume(EngineSession& session);
  static void SetPlayerPause(EngineSession& session, int32_t flag);
  // Seek target (100-ns units), then the seek request and seek pending words.
  static void PostSeek(EngineSession& session, int64_t time);
  // Releases the blocks and the process handle; the engine itself is not
  // stopped. Nothing for null.
  static void Close(std::unique_ptr<EngineSession>& session) { session.reset(); }

  const std::string& JobBlockName() const { return jobName_; }
  // Waits up to ms for the engine to end; true when it has.
  bool WaitForEnd(uint32_t ms) { return process_.WaitFor(ms); }

 private:
  friend std::unique_ptr<EngineSession> StartEngineWithBytes(uint32_t, char, const std::vector<uint8_t>&, std::string*);
  friend bool WaitEngine(EngineSession*, uint32_t);
  EngineSession() = default;
  void WriteWord(size_t offset, int32_t value);

  CSharedBlock control_;
  CSharedBlock job_;
  std::string jobName_;
  EngineProcess process_;
};

// Opens the window's control block, or creates it with the header words
// cleared. False when it cannot be made at its full size.
bool OpenControlBlock(uint32_t window, CSharedBlock& block);

// Starts the engine in mode `letter` for a window: creates (or shares) the
// window's control block, writes the record into a new job block and starts
// "trivox_free -<letter> <job block>". Null (with the reason in *error when
// given) when a block cannot be made or the engine cannot be started.
std::unique_ptr<EngineSession> StartEngine(uint32_t window, char letter, IDataRecord& record,
                                           std::string* error = nullptr);
// The same with a record already serialised.
std::unique_ptr<EngineSession> StartEngineWithBytes(uint32_t window, char letter, const std::vector<uint8_t>& bytes,
                                                    std::string* error = nullptr);
std::unique_ptr<EngineSession> StartEngineConvert(uint32_t window, ConvertJob& job, std::string* error = nullptr);
std::unique_ptr<EngineSession> StartEngineMerge(uint32_t window, ConvertJob& job, std::string* error = nullptr);
std::unique_ptr<EngineSession> StartEnginePlayer(uint32_t window, ConvertJob& job, std::string* error = nullptr);

// True when the engine ended within ms with code 0. When the time runs out
// the engine is killed (its code then reads kEngineTimeoutCode). False for null.
bool WaitEngine(EngineSession* session, uint32_t ms);

// Renders one frame (mode b): true when the engine ended in time with code
// 0; result := the reported position word, sign-extended.
bool RunEngineBitmap(uint32_t window, FrameJob& job, int64_t& result, uint32_t timeoutMs = kFrameRenderTimeoutMs,
                     std::string* error = nullptr);

// Probes one file with "trivox_free -l :PROC_<pid> "<path>" <number>" into
// out. True when the engine ended in time with code 0 (out then holds the
// engine's record, whose RET tells whether the file was recognised); else
// false with out cleared and its RET kProbeFailedCode. Probes of one process
// run one after another (they share the probe block).
bool ProbeMedia(std::string_view path, int32_t number, MediaInfoRecord& out, uint32_t timeoutMs = kProbeTimeoutMs,
                std::string* error = nullptr);
