#include "engine/modules/bitstream/bit_io.h"

#include <cstddef>

void BitReader::SetData(const uint8_t* data, int32_t length) {
  if (data == nullptr || length <= 0) {
    data_.clear();
  } else {
    data_.assign(data, data + length);
  }
  byteIndex_ = 0;
  bitIndex_ = 0;
}

uint32_t BitReader::ReadBits(int n) {
  if (n < 1 || n > 32) return 0;
  const int64_t size = static_cast<int64_t>(data_.size());
  uint32_t value = 0;
  while (n > 0) {
    const int avail = 8 - bitIndex_;
    const int take = n < avail ? n : avail;
    uint32_t byte = byteIndex_ < size ? data_[static_cast<std::size_t>(byteIndex_)] : 0;
    uint32_t bits = (byte >> (avail - take)) & ((1u << take) - 1);
    value = (value << take) | bits;
    bitIndex_ += take;
    if (bitIndex_ == 8) {
      bitIndex_ = 0;
      ++byteIndex_;
    }
    n -= take;
  }
  return value;
}

void BitReader::AlignByte() {
  if (bitIndex_ != 0) {
    bitIndex_ = 0;
    ++byteIndex_;
  }
}

void ByteSink::WriteBytes(const uint8_t* data, int32_t length) {
  for (int32_t i = 0; i < length; ++i) PutByte(data[i]);
}

void MemoryByteSink::PutByte(uint8_t byte) {
  if (data_ != nullptr && count_ < capacity_) data_[count_++] = byte;
}

void BitWriter::Init(ByteSink* sink) {
  sink_ = sink;
  bytesWritten_ = 0;
  pendingByte_ = 0;
  pendingBits_ = 0;
}

void BitWriter::PutBits(uint32_t value, int n) {
  if (n <= 0) return;
  if (n > 32) n = 32;
  while (pendingBits_ + n >= 8) {
    const int take = 8 - pendingBits_;
    const uint32_t bits = static_cast<uint32_t>((static_cast<uint64_t>(value) >> (n - take)) & ((1u << take) - 1));
    pendingByte_ |= bits;
    if (sink_ != nullptr) sink_->PutByte(static_cast<uint8_t>(pendingByte_));
    ++bytesWritten_;
    pendingByte_ = 0;
    pendingBits_ = 0;
    n -= take;
  }
  if (n > 0) {
    const uint32_t bits = value & ((1u << n) - 1);
    pendingByte_ |= bits << (8 - pendingBits_ - n);
    pendingBits_ += n;
  }
}

void BitWriter::AlignByte() {
  if (pendingBits_ > 0) PutBits(0, 8 - pendingBits_);
}
