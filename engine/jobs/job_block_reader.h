// The engine's side of its shared blocks, as the entry uses them: the job
// block, the control block, the engine word and the log ring.
// Results: S_OK or E_FAIL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Opens the job channel for the block name (the control block derived from it
// stays open until CloseJobChannel), copies the serialised record that follows
// the block's size word into bytes under the block's mutex, closes the job
// block, and stores the control block's address into the engine word.
// A missing block yields an empty record (no bytes) and S_OK. A job or control
// block whose object is refused (not this user's, or open to others) fails
// with the reason in *why.
HRESULT ReadJobFromBlock(const std::string& blockName, std::vector<uint8_t>& bytes, std::string* why = nullptr);

// Closes the control block opened by ReadJobFromBlock (no-op when none is open).
void CloseJobChannel();

// Removes the engine words (":LID%08X" mapping and mutex objects) of processes
// that are gone and that nobody holds: leftovers of engines that were killed.
// Returns how many objects were removed.
int RemoveStaleEngineWords();

// Opens / closes the engine word ":LID%08X" (pid), after removing stale ones.
// Failures leave it unset; false only when an object found under its name was
// refused (the reason then in *why).
bool OpenEngineWord(std::string* why = nullptr);
void CloseEngineWord();

// Writes one user line (printf format) to the log ring.
void LogEngineLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
