// The shared-memory objects of this test's namespace (TRIVOX_SHM_NAMESPACE).
#pragma once

#include <string>
#include <vector>

// Names under /dev/shm in the namespace; names containing `except` are left out.
std::vector<std::string> NamespaceObjects(const char* except = nullptr);

// Unlinks what a crashed earlier run of the test left in its namespace (but `except`).
void RemoveNamespaceObjects(const char* except = nullptr);
