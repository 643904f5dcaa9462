// Reading a job record's bytes from a named shared-memory job block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Opens the job channel for the block name (the control block derived from it
// stays open for the rest of the process), copies the serialised record that
// follows the block's size word into bytes under the block's mutex, and closes
// the job block. A missing block yields an empty record (no bytes) and S_OK.
HRESULT ReadJobFromBlock(const std::string& blockName, std::vector<uint8_t>& bytes);

// Closes the control block opened by ReadJobFromBlock (no-op when none is open).
void CloseJobChannel();
