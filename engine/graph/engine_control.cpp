#include "engine/graph/engine_control.h"

#include <mutex>

namespace {

std::mutex g_lock;
uint8_t* g_view = nullptr;
size_t g_size = 0;

}  // namespace

void SetEngineControlBlock(uint8_t* view, size_t size) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_view = size != 0 ? view : nullptr;
  g_size = g_view != nullptr ? size : 0;
}

uint8_t* EngineControlBlock(size_t* size) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (size != nullptr) *size = g_size;
  return g_view;
}
