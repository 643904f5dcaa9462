#pragma once
// Growable list of item pointers used by the DVD title reader.

#include <cstdint>

struct PtrList {
  void** items;
  int32_t capacity;
  int32_t count;
};

// A new empty list with room for 20 items, or null when memory runs out.
PtrList* PtrListCreate();
// Appends item (a null item is ignored); grows by 20 when full. 1 on success, 0 when out of memory.
int PtrListAppend(PtrList* list, void* item);
// Item at index, or null outside 0..count-1.
void* PtrListItem(const PtrList* list, int index);
// Removes the item with that pointer value and shifts the rest down.
void PtrListRemove(PtrList* list, void* item);
int PtrListCount(const PtrList* list);
// Frees the array and the header (not the items) and clears the caller's pointer.
void PtrListClose(PtrList** list);
