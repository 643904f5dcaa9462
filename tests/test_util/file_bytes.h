// Whole files as bytes, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
