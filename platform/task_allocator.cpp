#include "platform/task_allocator.h"

#include <cstdlib>

void* CoTaskMemAlloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }

void* CoTaskMemRealloc(void* p, size_t size) { return std::realloc(p, size == 0 ? 1 : size); }

void CoTaskMemFree(void* p) { std::free(p); }
