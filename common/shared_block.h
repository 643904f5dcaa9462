// A named shared-memory block with its named mutex, as both programs use them.
// Results: bool, true when done.
//
// A block name becomes its object names by replacing every '/', ':' and '\'
// with '_'; the mapping is "Local\MEMSHARE/<converted>" and the mutex
// "Global\SHAREMUTEX/<converted>". A name that begins with ':' lives in memory
// only; any other name is also the path of a file mirroring the block, written
// on each flush.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/named_objects.h"

std::string ConvertBlockName(std::string_view blockName);
std::string BlockMappingName(std::string_view blockName);  // "Local\MEMSHARE/..."
std::string BlockMutexName(std::string_view blockName);    // "Global\SHAREMUTEX/..."

class CSharedBlock {
 public:
  enum class Backing { ByName, PagingOnly };

  CSharedBlock() = default;
  ~CSharedBlock() { Close(); }
  CSharedBlock(const CSharedBlock&) = delete;
  CSharedBlock& operator=(const CSharedBlock&) = delete;

  // Creates the block of `size` bytes, or opens it when it exists (its contents
  // kept, its own size used). A fresh block is zero-filled, or holds the backing
  // file's bytes when a file backs it. On failure everything is closed again.
  bool Create(std::string_view blockName, size_t size, Backing backing = Backing::ByName);
  // Opens an existing block only; never backed by a file.
  bool OpenExisting(std::string_view blockName);
  void Close();

  uint8_t* View() const { return static_cast<uint8_t*>(mapping_.View()); }
  size_t Size() const { return mapping_.Size(); }
  bool IsOpen() const { return mapping_.IsOpen(); }
  bool Created() const { return mapping_.Created(); }
  bool IsPaging() const { return fileFd_ < 0; }
  NamedMutex& Mutex() { return mutex_; }

  // Writes the view to the backing file (nothing when paging-only).
  void Flush();

  // Whether a block of that name exists (has an open handle somewhere).
  static bool Exists(std::string_view blockName);

 private:
  SharedMemory mapping_;
  NamedMutex mutex_;
  int fileFd_ = -1;
};
