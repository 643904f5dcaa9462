// Writing a file whole: the data goes to a hidden temporary name beside the
// target and takes the target's name only once it is complete.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// A hidden name beside the target, ending in the target's extension:
// "dir/.name.trivox-PID-R.ext", R a random decimal number, so the name cannot
// be guessed ahead of time.
std::string TemporarySibling(const std::string& target);

// Creates a new temporary file beside the target (mode 0600, never through a
// link, never an existing name: another name is drawn when one is taken).
// Answers the open descriptor (write only, close-on-exec) with its name in
// *path, or -1 with errno set.
int CreateTemporarySibling(const std::string& target, std::string* path);

// Creates a new private folder (0700) beside the target, as above; false with
// errno set when it cannot.
bool CreateTemporaryFolder(const std::string& target, std::string* path);

// Creates a new file by its full name: mode 0600, never through a link, never
// over an existing name. The descriptor or -1 with errno set.
int CreateNewFile(const std::string& path);

// Mode of a new file under the process's umask (0666 less the mask).
mode_t NewFileMode();

// Writes every byte, going on after short writes; false with errno set (EIO
// when the system took nothing and gave no reason).
bool WriteAll(int fd, const void* data, size_t length);
