// What the preview window computes without drawing: the play job made from a
// task, the position bar's arithmetic, the time text, and snapshots taken from
// the frame the engine's frame-capture filter leaves in the control block.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "frontend/model/engine_session.h"

class CTask;

constexpr int32_t kPreviewBarRange = 300;     // the position bar runs 0..300
constexpr int32_t kPlayerEndMark = 0xFFFFFF;  // reported position after a flush or at the end

// Turns a copy of `chosen` into the play job of the preview: only its first
// source, from its start, no clip range, its filters at the output's size and
// layout, each picture then scaled to width x height into the window's preview
// surface, audio as 48 kHz stereo PCM, the frame-capture filter first.
// preview.duration becomes the first source's length in whole seconds. False
// with a message when the task has no source or the job cannot take it.
bool MakePlayerTask(const CTask& chosen, CTask& preview, uint32_t window, int32_t width, int32_t height,
                    std::string& message);

// Bar position of a reported position (ms); 0 for a duration of 0.
int32_t BarPositionForMs(int32_t ms, uint32_t durationSeconds);
// Seek target in 100-ns units for a bar position.
int64_t SeekTargetForBar(int32_t position, uint32_t durationSeconds);
// "hh:mm:ss/<duration text>".
std::string PositionText(int32_t ms, const std::string& durationText);

// The engine session as the preview uses it; tests put a fake over a control
// block in memory.
class IPlayerSession {
 public:
  virtual ~IPlayerSession() = default;
  virtual uint8_t* Control() = 0;  // the control block's view
  virtual EngineExitState GetExitCode(HRESULT* code) = 0;
  virtual bool Terminate() = 0;
  virtual int32_t GetResult() = 0;
  virtual void SetValue(int32_t value) = 0;
  virtual void RequestStop() = 0;
  virtual void SetPlayerPause(int32_t flag) = 0;
  virtual void PostSeek(int64_t time) = 0;
};

class IPlayerStarter {
 public:
  virtual ~IPlayerStarter() = default;
  // Starts the engine in play mode for the window; null with a reason.
  virtual std::unique_ptr<IPlayerSession> Start(uint32_t window, ConvertJob& job, std::string& error) = 0;
};

// The real engine (StartEnginePlayer).
IPlayerStarter& EnginePlayerStarter();

// Snapshots. A picture of 24 bits a pixel, bytes B, G, R, rows bottom-up and
// 3 x width bytes each.
struct SnapshotPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rows;
};

// Takes the control block's frame lock (0 -> 1), trying `tries` times with
// sleepMs between; true when taken.
bool LockCapturedFrame(uint8_t* control, int tries = 200, int sleepMs = 10);
void UnlockCapturedFrame(uint8_t* control);

// The captured frame as a picture of the frame's width and the height
// corrected by the source aspect (height / aspect, rounded down to a multiple
// of 4). The caller holds the frame lock. False when the frame's size is not
// 1..1999 each way, does not fit the pixel area, its layout is unknown, or the
// corrected height comes to 0. An aspect that is not a positive number counts
// as 1.
bool MakeSnapshotPicture(const uint8_t* control, double aspect, SnapshotPicture& out);

// "<folder>/SNAP-YYYY-MM-DD hh mm ss.jpg" for the local time; when that file
// exists, " (2)", " (3)" ... before the extension.
std::string SnapshotFilePath(const std::string& folder, const std::tm& local);
