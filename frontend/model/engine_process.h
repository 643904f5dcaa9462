// One engine process as the front end starts it: posix_spawn without a
// terminal, standard input from /dev/null, standard output and error to
// /dev/null unless asked for, and the result pipe as the engine's fd 3
// (TRIVOX_RESULT_FD). The process has ended only when waitpid says so; its
// code is then what the result pipe carried, else what the exit status or
// the ending signal tells.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Codes of an engine that did not report its own result.
constexpr HRESULT kEngineTerminatedCode = MakeHResult(0x800401C0u);  // ended by Terminate
constexpr HRESULT kEngineTimeoutCode = MakeHResult(0xFFFFFFFFu);     // killed after its wait ran out
constexpr HRESULT kEngineSignalledCode = E_UNEXPECTED;               // another signal ended it

// Where engines are started from: "trivox_free" beside this program unless a
// path is set ("" restores the default). Set before sessions start.
void SetEngineProgram(const std::string& path);
std::string EngineProgram();

// Whether engines keep this program's standard output and error; by default
// only when the environment variable TRIVOX_ENGINE_OUTPUT is set and not "0".
void SetEngineOutputShown(bool shown);
bool EngineOutputShown();

// A 32-bit window id for a program without windows (tools, tests): a
// per-process counter mixed with the process id.
uint32_t NewToolWindowId();

enum class EngineExitState : int32_t {
  kRunning = 0,  // not ended yet
  kEnded = 1,    // ended; the code is known
  kUnknown = 2,  // no process, or it cannot be asked
};

class EngineProcess {
 public:
  EngineProcess() = default;
  // A process still running is left running; it is reaped when it ends.
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // Starts EngineProgram() with the arguments after the program's own name.
  // False with the reason when the program cannot be started.
  bool Start(const std::vector<std::string>& args, std::string& error);

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Whether the process has ended, and its code when it has.
  EngineExitState Poll(HRESULT* code);
  // Waits up to ms for the end; true when the process has ended.
  bool WaitFor(uint32_t ms);
  // Kills the process unless it has ended already; its code then reads as
  // `code`. Waits for the end. False when there was nothing to kill.
  bool Kill(HRESULT code);

 private:
  // Reaps the process when it has ended (blocking: wait for it). Caller holds lock_.
  bool ReapLocked(bool block);
  void ReadResultLocked();

  std::mutex lock_;
  pid_t pid_ = -1;
  int pidFd_ = -1;     // waits without polling, where the system offers it
  int resultFd_ = -1;  // read end of the result pipe
  bool reaped_ = false;
  bool lost_ = false;  // reaped elsewhere: ended, code unknown
  bool killSent_ = false;
  HRESULT killCode_ = 0;
  int status_ = 0;
  std::vector<uint8_t> resultBytes_;
  HRESULT code_ = 0;
};
