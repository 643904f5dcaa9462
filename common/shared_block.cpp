#include "common/shared_block.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool WriteAllAt(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void ReadFileInto(int fd, uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::string ConvertBlockName(std::string_view blockName) {
  std::string out(blockName);
  for (char& c : out)
    if (c == '/' || c == ':' || c == '\\') c = '_';
  return out;
}

std::string BlockMappingName(std::string_view blockName) { return "Local\\MEMSHARE/" + ConvertBlockName(blockName); }

std::string BlockMutexName(std::string_view blockName) { return "Global\\SHAREMUTEX/" + ConvertBlockName(blockName); }

bool CSharedBlock::Create(std::string_view blockName, size_t size, Backing backing) {
  Close();
  if (blockName.empty() || size == 0) return false;
  const std::string name(blockName);
  if (backing == Backing::ByName && name[0] != ':') {
    // Fall back to memory only when the file cannot be opened.
    fileFd_ = open(name.c_str(), O_RDWR | O_CREAT | O_DSYNC | O_CLOEXEC, 0644);
  }
  const int file = fileFd_;
  auto onCreate = [file](void* view, size_t n) {
    if (file >= 0) ReadFileInto(file, static_cast<uint8_t*>(view), n);
  };
  if (!mapping_.Open(BlockMappingName(name), size, SharedMemory::Mode::OpenOrCreate, onCreate) ||
      !mutex_.Open(BlockMutexName(name))) {
    Close();
    return false;
  }
  // The backing file takes the block's size, as a file-backed mapping would.
  if (fileFd_ >= 0 && mapping_.Created()) {
    NamedMutexLock lock(mutex_);
    Flush();
  }
  return true;
}

bool CSharedBlock::OpenExisting(std::string_view blockName) {
  Close();
  if (blockName.empty()) return false;
  if (!mapping_.Open(BlockMappingName(blockName), 0, SharedMemory::Mode::OpenExisting) ||
      !mutex_.Open(BlockMutexName(blockName))) {
    Close();
    return false;
  }
  return true;
}

void CSharedBlock::Close() {
  mapping_.Close();
  mutex_.Close();
  if (fileFd_ >= 0) close(fileFd_);
  fileFd_ = -1;
}

void CSharedBlock::Flush() {
  if (fileFd_ < 0 || !mapping_.IsOpen()) return;
  WriteAllAt(fileFd_, View(), Size());
}

bool CSharedBlock::Exists(std::string_view blockName) { return SharedMemory::Exists(BlockMappingName(blockName)); }
