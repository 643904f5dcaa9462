#include "common/dvd/dvd_ptr_list.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int32_t kGrowBy = 20;
}

PtrList* PtrListCreate() {
  auto* list = static_cast<PtrList*>(std::calloc(1, sizeof(PtrList)));
  if (list == nullptr) return nullptr;
  list->items = static_cast<void**>(std::calloc(kGrowBy, sizeof(void*)));
  if (list->items == nullptr) {
    std::free(list);
    return nullptr;
  }
  list->capacity = kGrowBy;
  return list;
}

int PtrListAppend(PtrList* list, void* item) {
  if (list == nullptr) return 0;
  if (item == nullptr) return 1;
  if (list->count >= list->capacity) {
    if (list->capacity > INT32_MAX - kGrowBy) return 0;
    const int32_t capacity = list->capacity + kGrowBy;
    auto* items = static_cast<void**>(std::realloc(list->items, sizeof(void*) * capacity));
    if (items == nullptr) return 0;
    list->items = items;
    list->capacity = capacity;
  }
  list->items[list->count++] = item;
  return 1;
}

void* PtrListItem(const PtrList* list, int index) {
  if (list == nullptr || index < 0 || index >= list->count) return nullptr;
  return list->items[index];
}

void PtrListRemove(PtrList* list, void* item) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < list->count; ++i) {
    if (list->items[i] == item) {
      std::memmove(&list->items[i], &list->items[i + 1], sizeof(void*) * (list->count - i - 1));
      --list->count;
      return;
    }
  }
}

int PtrListCount(const PtrList* list) { return list != nullptr ? list->count : 0; }

void PtrListClose(PtrList** list) {
  if (list == nullptr || *list == nullptr) return;
  std::free((*list)->items);
  std::free(*list);
  *list = nullptr;
}
