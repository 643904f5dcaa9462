// The choices the main window's selection panel makes for a title's tasks:
// which audio or subtitle track is converted, and forced deinterlacing.
#pragma once

#include <cstdint>

class CTask;

inline constexpr char kDeinterlaceFilter[] = "VDEINT";

// Among the tracks of the task's first source of this type (audio or
// subtitle), only track index is chosen: every track of the type is cleared,
// then track index is set (whatever its type, so index 0 for "no subtitle"
// keeps the video track chosen). An index outside the source's tracks only
// clears. False when the task has no source.
bool ChooseTrack(CTask& task, int32_t type, int32_t index);

// The track of the type that the list of that type shows as current: the last
// chosen one, -1 when none is chosen.
int32_t CurrentTrack(const CTask& task, int32_t type);

// Whether the head of the video filter list is the deinterlace filter.
bool HasForcedDeinterlace(const CTask& task);
// Puts the deinterlace filter at the head of the video filter list (once), or
// removes it from the head. False when it could not be added.
bool SetForcedDeinterlace(CTask& task, bool force);
