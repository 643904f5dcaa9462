// Writing a file whole: the data goes to a hidden temporary name beside the
// target and takes the target's name only once it is complete.
#pragma once

#include <string>

// A hidden name beside the target, unique in this process and among
// processes, ending in the target's extension: "dir/.name.trivox-PID-N.ext".
std::string TemporarySibling(const std::string& target);

// Flushes a closed file's data to the disk before it takes the target's name.
void SyncFile(const std::string& path);
