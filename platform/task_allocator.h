// The COM task allocator: media types and their format blocks live here.
#pragma once

#include <cstddef>

void* CoTaskMemAlloc(size_t size);
void* CoTaskMemRealloc(void* p, size_t size);
void CoTaskMemFree(void* p);
