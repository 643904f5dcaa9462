// The control block of the job this engine process runs, for the modules that
// write into its frame area (frame capture). The job channel sets it when it
// opens the block and clears it before closing.
#pragma once

#include <cstddef>
#include <cstdint>

// view null (or size 0): there is no control block.
void SetEngineControlBlock(uint8_t* view, size_t size);
// The block's view and its size in *size; null when there is none.
uint8_t* EngineControlBlock(size_t* size);
