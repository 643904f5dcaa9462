// The clip range of a task's sources: whole seconds of each source, an end of
// 0 meaning to the end of the source; the rules for storing a range and the
// task's duration after clipping.
#pragma once

#include <cstdint>
#include <string>

class CTask;
struct MediaInfo;

// A source's length in whole seconds for the range controls: its probed
// length plus 0.1, truncated; 1 when that is not above 0.
int32_t ClipSourceLength(double length);

// Reads a typed time "H:M:S" (each part one or two digits; hours 0..23,
// minutes and seconds 0..59, surrounding blanks allowed) into seconds; false,
// seconds untouched, when the text is not a time.
bool ParseClipTime(const std::string& text, int32_t& seconds);

// Checks a range typed for a source of length seconds before it is stored:
// the start must lie before the end of the source and the end within it.
// Empty when it may be stored, else the message that says why not.
std::string CheckClipRange(int32_t start, int32_t end, int32_t length);

// Stores a range into a source: an end before the start (and not 0) becomes
// start + 1, an end equal to the source length becomes 0 (to the end).
void StoreClipRange(MediaInfo& source, int32_t start, int32_t end, int32_t length);

// The length a clipped source contributes (sourceLength: its probed length in
// whole seconds); -1 when the range lies past the end of the source.
int64_t ClippedLength(int64_t sourceLength, int64_t start, int64_t end);

// The task's duration := the largest clipped length over its sources (0 with
// no sources, or none that counts).
void UpdateClipDuration(CTask& task);

// The index of the first track of the source that is chosen for the task and
// holds video (its text's TYPE is 0); -1 when there is none.
int32_t ClipVideoTrack(const MediaInfo& source);
