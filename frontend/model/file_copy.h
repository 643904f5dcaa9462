// Copying finished outputs: a file copy with progress and cancel, the name a
// copy gets in a folder, the size texts of the copy windows, and free space.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// How a copy ended.
enum class CopyOutcome {
  kCopied,
  kCancelled,  // the cancel word was set; the partial target is removed
  kFailed,     // see the error text; the partial target is removed
};

struct CopyResult {
  CopyOutcome outcome = CopyOutcome::kFailed;
  std::string error;  // why it failed; empty otherwise
};

// Called after each block with the bytes of the file copied so far.
using CopyProgress = std::function<void(int64_t copied)>;

// Copies a regular file to a target that must not exist yet (an existing
// target fails and is left alone). cancel, when given, is read between
// blocks; a non-zero value cancels. Whatever the outcome other than kCopied,
// no part of the target is left behind.
CopyResult CopyFileWithProgress(const std::string& from, const std::string& to, const CopyProgress& progress,
                                const std::atomic<int>* cancel);

// folder + "/" + name, without doubling a slash at the end of folder.
std::string JoinFolder(const std::string& folder, const std::string& name);

// Whether anything (file, folder, link, even a dangling one) has that path.
bool PathTaken(const std::string& path);

// The size of a regular file; 0 when it is missing, unreadable or not a file.
int64_t FileSize64(const std::string& path);

// Where a copy of name goes in folder: folder/name when free, else the name
// split at its first '.' into base and extension and folder/<base><n>.<ext>
// for the first free n of 1..19999 ("a.mp4" -> "a2.mp4", "movie.part1.avi"
// -> "movie1.part1.avi"; a name without '.' gets "<name><n>."). Empty when
// every one is taken.
std::string MakeUniqueCopyName(const std::string& folder, const std::string& name);
inline constexpr int kMaxCopyNumber = 19999;

// "%.2fGB" of bytes / 2^30 above 1,073,741,824 bytes or below 0, else "%dMB"
// of bytes >> 20 (exactly 2^30 reads "1024MB"). Independent of the locale.
std::string FormatSpaceSize(int64_t bytes);
// "%.2fMB" of bytes / 2^20 from 1,048,576 bytes on, else "%.2fKB" of bytes / 1024.
std::string FormatFileSize(int64_t bytes);

// (finished + current) * 100 / total, 0 when total is 0 or less.
int CopyPercent(int64_t finished, int64_t current, int64_t total);

// The size of the volume holding path and what an unprivileged user may still
// write there (statvfs); false when the path cannot be asked.
bool GetDiskSpace(const std::string& path, int64_t* total, int64_t* freeAvailable);

// What a disk-space bar shows for a destination: its text and position.
struct SpaceDisplay {
  std::string text;
  int position = 0;
};
// ok false (no destination, or its volume could not be asked): empty and 0.
// Otherwise position = (total - free + appending) * 100 / total (0 for a total
// of 0; past 100 when the files do not fit) and the text
// "<used> used,<appending> appending,<free - appending> free".
SpaceDisplay MakeSpaceDisplay(bool ok, int64_t total, int64_t freeAvailable, int64_t appending);
