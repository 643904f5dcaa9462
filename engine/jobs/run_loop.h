// The end of every job runner: runs the graph and serves the control block's
// stop, pause and seek requests every 200 ms until the writers finish; in the
// preview modes it also follows the shared mute cell.
// A stop signal (SIGTERM, SIGINT) stops the graph like a stop request and
// drops the output.
// Results: S_OK, the first writer's failure code when closing, E_SOURCE_READ_FAILED,
// or STATUS_CONTROL_C_EXIT after a stop signal.
#pragma once

#include <cstdint>

#include "engine/jobs/job_graph.h"

constexpr int kControlPollMilliseconds = 200;

// control: the job's control block view, or null (test jobs: only waits for
// the writers). player: poll the mute cell. Closes the writers, releases the
// graph's modules and returns 0, the first writer failure, or
// E_SOURCE_READ_FAILED when a source reported a read failure.
HRESULT RunGraphLoop(IJobGraph& graph, uint8_t* control, bool player);

// Closes the mute cell the preview modes opened (at the end of the process).
void CloseMuteCell();
