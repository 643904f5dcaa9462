// Bit fields read and written most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

// Reads bit fields from its own copy of a byte buffer. Bits past the end of the
// copy read as 0 while the position still advances, so callers can compare
// BitPosition() with the size after each field.
class BitReader {
 public:
  BitReader() = default;

  // Replaces any previous data with a copy of `length` bytes and rewinds.
  void SetData(const uint8_t* data, int32_t length);

  // The next n bits (1 to 32) as an unsigned value; other n give 0 and read nothing.
  uint32_t ReadBits(int n);

  // Moves to the start of the next byte unless already on a byte boundary.
  void AlignByte();

  // byte index * 8 + bit index.
  int64_t BitPosition() const { return byteIndex_ * 8 + bitIndex_; }

  // Size of the data in bits.
  int64_t BitLength() const { return static_cast<int64_t>(data_.size()) * 8; }

  // True once a read has gone past the end of the data.
  bool Overrun() const { return BitPosition() > BitLength(); }

 private:
  std::vector<uint8_t> data_;
  int64_t byteIndex_ = 0;
  int bitIndex_ = 0;  // 0 = most significant bit
};

// Where a BitWriter puts its bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Passes the bytes one by one to PutByte.
  virtual void WriteBytes(const uint8_t* data, int32_t length);
  virtual void PutByte(uint8_t byte) = 0;
};

// A sink over a caller's buffer; bytes beyond its capacity are dropped.
class MemoryByteSink : public ByteSink {
 public:
  MemoryByteSink(uint8_t* data, int32_t capacity) : data_(data), capacity_(capacity) {}
  void PutByte(uint8_t byte) override;
  int32_t Count() const { return count_; }

 private:
  uint8_t* data_;
  int32_t capacity_;
  int32_t count_ = 0;
};

// Writes bit fields into a ByteSink.
class BitWriter {
 public:
  BitWriter() = default;

  // Clears the state and writes into `sink` from now on.
  void Init(ByteSink* sink);

  // Appends the n low bits of value (n from 0 to 32), most significant first.
  void PutBits(uint32_t value, int n);

  // Pads the pending byte with zero bits and emits it, if any bits are pending.
  void AlignByte();

  // Bytes handed to the sink so far.
  int32_t BytesWritten() const { return bytesWritten_; }

 private:
  ByteSink* sink_ = nullptr;
  int32_t bytesWritten_ = 0;
  uint32_t pendingByte_ = 0;
  int pendingBits_ = 0;  // 0 to 7
};
