// The engine's job channel: the job block it reads its record from and the
// control block of the front end's window, whose name is derived from the job
// block's name ("HWND_0001A2B4_2" -> ":CTRLDATA_0001A2B4").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/shared_block.h"

struct JobBlock {
  CSharedBlock block;       // memory only, whatever the name
  uint8_t* data = nullptr;  // the byte after the size word
  int32_t size = 0;         // record size, clamped to the mapping
};

struct JobChannel {
  CSharedBlock control;
  JobBlock job;
  std::string refusal;  // why an object found under a block's name was not used
};

// ":CTRLDATA_%08X" of the hexadecimal number after "HWND_" (0 for names of six
// characters or fewer).
std::string ControlBlockNameForJob(std::string_view jobName);

// The record size stored in a job block's first word, clamped to what the
// mapping holds (a negative size counts as 0).
int32_t ClampedRecordSize(const uint8_t* view, size_t mappingSize);

// Opens the job block (an empty 4-byte block is created when it is missing)
// and the control block (created when missing). Parts that fail stay closed;
// a block whose object was refused (not this user's, open to others) is named
// in refusal.
JobChannel* OpenJobChannel(std::string_view jobName);
void CloseJobBlock(JobChannel* channel);
void CloseJobChannel(JobChannel* channel);  // null does nothing

uint8_t* GetControlData(const JobChannel* channel);  // null when none
JobBlock* GetJobBlock(JobChannel* channel);
void SetControlPosition(JobChannel* channel, int32_t milliseconds);
void SetControlFrameCount(JobChannel* channel, int32_t count);

// The channel the engine opened for its job (null when none).
JobChannel* CurrentJobChannel();
void SetCurrentJobChannel(JobChannel* channel);
