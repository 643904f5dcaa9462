#include "common/data_stream.h"

#include <sys/stat.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Largest data file LoadDataFile reads into memory.
constexpr int64_t kMaxDataFileSize = 256 * 1024 * 1024;

template <typename T>
T FromBits(uint64_t bits) {
  T value;
  if constexpr (sizeof(T) == 8) {
    std::memcpy(&value, &bits, 8);
  } else {
    uint32_t low = static_cast<uint32_t>(bits);
    std::memcpy(&value, &low, 4);
  }
  return value;
}

template <typename T>
std::array<uint8_t, sizeof(T)> LittleEndian(T value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(T));
  std::array<uint8_t, sizeof(T)> out;
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
  return out;
}

int32_t TextLength(const char* text) {
  if (!text) return 0;
  size_t n = std::strlen(text);
  return n > INT32_MAX - 4 ? INT32_MAX - 4 : static_cast<int32_t>(n);
}

}  // namespace

// ---- CDataSizer ----

int32_t CDataSizer::Add(int64_t bytes) {
  int64_t total = static_cast<int64_t>(count_) + bytes;
  count_ = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
  return count_;
}

int32_t CDataSizer::WriteString(const char* text) { return Add(4 + static_cast<int64_t>(TextLength(text))); }

int32_t CDataSizer::WriteBlob(const void*, int32_t length) {
  return Add(4 + static_cast<int64_t>(length > 0 ? length : 0));
}

// ---- CDataWriter ----

void CDataWriter::Attach(void* buffer, int32_t size) {
  buffer_ = static_cast<uint8_t*>(buffer);
  size_ = buffer ? (size > 0 ? size : 0) : 0;
}

int32_t CDataWriter::Put(const void* bytes, int64_t length) {
  int64_t end = static_cast<int64_t>(writePos_) + length;
  if (writePos_ >= 0 && end <= size_ && length > 0)
    std::memcpy(buffer_ + writePos_, bytes, static_cast<size_t>(length));
  writePos_ = end > INT32_MAX ? INT32_MAX : static_cast<int32_t>(end);
  return writePos_;
}

int32_t CDataWriter::WriteInt32(int32_t value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteUInt32(uint32_t value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteInt64(int64_t value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteFloat(float value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteString(const char* text) {
  int32_t length = TextLength(text);
  WriteInt32(length);
  return Put(text, length);
}

int32_t CDataWriter::WriteInt16(int16_t value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteUInt16(uint16_t value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteDouble(double value) { return Put(LittleEndian(value).data(), sizeof value); }

int32_t CDataWriter::WriteByte(uint8_t value) { return Put(&value, 1); }

int32_t CDataWriter::WriteBlob(const void* data, int32_t length) {
  if (length < 0 || !data) length = 0;
  WriteInt32(length);
  return Put(data, length);
}

int32_t CDataWriter::BytesLeft() { return size_ > readPos_ ? size_ - readPos_ : 0; }

uint64_t CDataWriter::Take(int length) {
  if (BytesLeft() < length) {
    readPos_ = size_;
    return 0;
  }
  uint64_t value = 0;
  for (int i = 0; i < length; ++i) value |= static_cast<uint64_t>(buffer_[readPos_ + i]) << (8 * i);
  readPos_ += length;
  return value;
}

int32_t CDataWriter::ReadInt32() { return static_cast<int32_t>(Take(4)); }
uint32_t CDataWriter::ReadUInt32() { return static_cast<uint32_t>(Take(4)); }
int64_t CDataWriter::ReadInt64() { return static_cast<int64_t>(Take(8)); }
double CDataWriter::ReadDouble() { return FromBits<double>(Take(8)); }
float CDataWriter::ReadFloat() { return FromBits<float>(Take(4)); }
int16_t CDataWriter::ReadInt16() { return static_cast<int16_t>(Take(2)); }
uint16_t CDataWriter::ReadUInt16() { return static_cast<uint16_t>(Take(2)); }
uint8_t CDataWriter::ReadByte() { return static_cast<uint8_t>(Take(1)); }

int32_t CDataWriter::ReadCounted(void* buffer, int32_t* capacity, bool terminate) {
  if (!capacity) return 0;
  int32_t given = buffer ? *capacity : 0;
  // A missing or cut length word reads as an empty value.
  int64_t length = 0;
  int32_t header = BytesLeft();
  if (header >= 4) {
    int32_t start = readPos_;
    length = ReadInt32();
    readPos_ = start;
    header = 4;
  }
  if (length < 0 || length > BytesLeft() - header) {
    *capacity = -1;
    readPos_ = size_;
    return 0;
  }
  int64_t needed = length + (terminate ? 1 : 0);
  *capacity = static_cast<int32_t>(needed);
  if (given < needed) return 0;
  if (length > 0) std::memcpy(buffer, buffer_ + readPos_ + header, static_cast<size_t>(length));
  if (terminate) static_cast<char*>(buffer)[length] = '\0';
  readPos_ += header + static_cast<int32_t>(length);
  return 1;
}

int32_t CDataWriter::ReadString(char* buffer, int32_t* capacity) { return ReadCounted(buffer, capacity, true); }

int32_t CDataWriter::ReadBlob(void* buffer, int32_t* capacity) { return ReadCounted(buffer, capacity, false); }

// ---- LoadDataFile ----

bool LoadDataFile(IDataRecord& record, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  struct stat st {};
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxDataFileSize) {
    std::fclose(file);
    return false;  // nothing was read: not loaded
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  CDataWriter stream;
  stream.Attach(bytes.data(), static_cast<int32_t>(got));
  record.Read(stream);
  return true;
}
