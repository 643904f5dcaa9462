// Helpers of the model tests: a fresh folder per test, files in it, and probe
// records built from stream descriptors.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/media_info_record.h"

// A fresh, empty folder named after the running test.
std::string TestFolder();
// Creates a file with a few bytes; its path.
std::string Touch(const std::string& path, size_t bytes = 3);
// A probe record with these track texts and length.
std::unique_ptr<MediaInfoRecord> Probe(const std::vector<std::string>& tracks, double length = 10.0);
