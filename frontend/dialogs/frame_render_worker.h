// Preview frames rendered off the user-interface thread: a worker renders one
// frame job with the engine and posts a message to the window that asked when
// the frame is there. Nothing waits for a worker; a window closed first simply
// never gets the message.
#pragma once

#include <cstdint>
#include <functional>

#include "common/job_records.h"
#include "frontend/ui/messages.h"

// Message posted by a preview worker when its frame is rendered (no parameters).
constexpr uint32_t WM_PREVIEW_RENDERED = 4024;

// Renders the job for the window; true when the frame was written in time.
// Called on a worker thread.
using FrameRenderer = std::function<bool(WindowId window, FrameJob& job)>;

// The renderer workers use: the engine (mode b, killed after 8,000 ms) unless
// another was set. Setting null restores the engine; returns the previous one.
FrameRenderer SetFrameRenderer(FrameRenderer renderer);

// Starts a worker on a copy of the job: it renders, then posts `message`
// (wParam 0, lParam 0) to the window when the renderer succeeded.
void StartFrameRenderWorker(const FrameJob& job, WindowId window, uint32_t message = WM_PREVIEW_RENDERED);

// Waits until every worker started so far has ended; false when ms passed
// first. Workers still running when the program ends are waited for then.
bool WaitForFrameRenderWorkers(uint32_t ms);
