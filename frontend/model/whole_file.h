// Whole-file reads and writes and sorted folder listings for the model's data files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// True when the path names a regular file (after symbolic links).
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);

// Reads a whole regular file of at most maxBytes; false (out emptied) otherwise.
bool ReadWholeFile(const std::string& path, std::string* out, uint64_t maxBytes = 64u << 20);

// Writes the bytes to a temporary file beside the path and renames it over the
// path, so the file is either written whole or left as it was. Creates missing
// parent folders when makeFolders is set. False on any failure.
bool WriteWholeFile(const std::string& path, std::string_view bytes, bool makeFolders = false);
// The same for a file made piece by piece: fill passes each piece to put (which
// answers false once a write has failed) and returns false to give up.
using WholeFilePut = std::function<bool(std::string_view bytes)>;
bool WriteWholeFileFrom(const std::string& path, const std::function<bool(const WholeFilePut& put)>& fill,
                        bool makeFolders = false);

// Names in a folder, sorted by byte value: the sub-folders (folders true) or the
// regular files. Empty when the folder cannot be read. "." and ".." are left out.
std::vector<std::string> ListFolder(const std::string& folder, bool folders);

// "a/b" from "a" and "b"; a side that is empty gives the other.
std::string JoinPath(const std::string& a, const std::string& b);
