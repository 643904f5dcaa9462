// Field-by-field little-endian serialisation of records: CDataSizer counts the
// bytes a record takes, CDataWriter writes into and reads from one buffer.
// Results: writes answer the write position; ReadString/ReadBlob 1 stored, 0 not; bool for "loaded".
#pragma once

#include <cstdint>
#include <string>

// Byte layout: values back to back, little-endian, no tags or padding; strings
// and blobs are an int32 length followed by the bytes (no terminator).
// The virtual slots 0..19 keep their order; BytesLeft is appended after them.
class CDataStream {
 public:
  // Writes return the new write position (a sizer returns its count).
  virtual int32_t WriteInt32(int32_t value) = 0;
  virtual int32_t WriteUInt32(uint32_t value) = 0;
  virtual int32_t WriteInt64(int64_t value) = 0;
  virtual int32_t WriteFloat(float value) = 0;
  // NUL-terminated text; null writes an empty string.
  virtual int32_t WriteString(const char* text) = 0;
  virtual int32_t WriteInt16(int16_t value) = 0;
  virtual int32_t WriteUInt16(uint16_t value) = 0;
  virtual int32_t WriteDouble(double value) = 0;
  virtual int32_t WriteByte(uint8_t value) = 0;
  // A negative length writes an empty blob.
  virtual int32_t WriteBlob(const void* data, int32_t length) = 0;

  virtual int32_t ReadInt32() = 0;
  virtual double ReadDouble() = 0;
  virtual float ReadFloat() = 0;
  virtual uint32_t ReadUInt32() = 0;
  // capacity in: bytes available at buffer; out: L + 1 for a stored length L.
  // Returns 1 when the text (and a terminator) was stored and the position moved,
  // 0 when the capacity is too small (position unchanged: ask again). A stored
  // length that is negative or runs past the end of the data sets the capacity
  // to -1, returns 0 and moves the read position to the end.
  virtual int32_t ReadString(char* buffer, int32_t* capacity) = 0;
  virtual int16_t ReadInt16() = 0;
  virtual uint16_t ReadUInt16() = 0;
  virtual int64_t ReadInt64() = 0;
  virtual uint8_t ReadByte() = 0;
  // As ReadString without a terminator: capacity out is L.
  virtual int32_t ReadBlob(void* buffer, int32_t* capacity) = 0;

  // Bytes not yet read (0 for a sizer).
  virtual int32_t BytesLeft() = 0;

 protected:
  ~CDataStream() = default;
};

// Serialisable record or table: slot 0 Write, slot 1 Read.
class IDataRecord {
 public:
  virtual void Write(CDataStream& stream) = 0;
  virtual void Read(CDataStream& stream) = 0;

 protected:
  ~IDataRecord() = default;
};

// Counts the bytes that writes would take; reads give zeros.
class CDataSizer final : public CDataStream {
 public:
  CDataSizer() = default;
  int32_t GetSize() const { return count_; }

  int32_t WriteInt32(int32_t) override { return Add(4); }
  int32_t WriteUInt32(uint32_t) override { return Add(4); }
  int32_t WriteInt64(int64_t) override { return Add(8); }
  int32_t WriteFloat(float) override { return Add(4); }
  int32_t WriteString(const char* text) override;
  int32_t WriteInt16(int16_t) override { return Add(2); }
  int32_t WriteUInt16(uint16_t) override { return Add(2); }
  int32_t WriteDouble(double) override { return Add(8); }
  int32_t WriteByte(uint8_t) override { return Add(1); }
  int32_t WriteBlob(const void* data, int32_t length) override;

  int32_t ReadInt32() override { return 0; }
  double ReadDouble() override { return 0.0; }
  float ReadFloat() override { return 0.0f; }
  uint32_t ReadUInt32() override { return 0; }
  int32_t ReadString(char*, int32_t*) override { return 0; }
  int16_t ReadInt16() override { return 0; }
  uint16_t ReadUInt16() override { return 0; }
  int64_t ReadInt64() override { return 0; }
  uint8_t ReadByte() override { return 0; }
  int32_t ReadBlob(void*, int32_t*) override { return 0; }
  int32_t BytesLeft() override { return 0; }

 private:
  int32_t Add(int64_t bytes);
  int32_t count_ = 0;
};

// Writes into and reads from one caller-owned buffer, with independent read and
// write positions. Writes past the buffer's end store nothing but still move the
// write position, so an overrun shows as GetWritePos() > GetBufferSize(). Reads
// past the end give zeros and leave the read position at the end.
class CDataWriter final : public CDataStream {
 public:
  CDataWriter() = default;
  void Attach(void* buffer, int32_t size);

  int32_t GetBufferSize() const { return size_; }
  int32_t GetReadPos() const { return readPos_; }
  int32_t GetWritePos() const { return writePos_; }

  int32_t WriteInt32(int32_t value) override;
  int32_t WriteUInt32(uint32_t value) override;
  int32_t WriteInt64(int64_t value) override;
  int32_t WriteFloat(float value) override;
  int32_t WriteString(const char* text) override;
  int32_t WriteInt16(int16_t value) override;
  int32_t WriteUInt16(uint16_t value) override;
  int32_t WriteDouble(double value) override;
  int32_t WriteByte(uint8_t value) override;
  int32_t WriteBlob(const void* data, int32_t length) override;

  int32_t ReadInt32() override;
  double ReadDouble() override;
  float ReadFloat() override;
  uint32_t ReadUInt32() override;
  int32_t ReadString(char* buffer, int32_t* capacity) override;
  int16_t ReadInt16() override;
  uint16_t ReadUInt16() override;
  int64_t ReadInt64() override;
  uint8_t ReadByte() override;
  int32_t ReadBlob(void* buffer, int32_t* capacity) override;
  int32_t BytesLeft() override;

 private:
  int32_t Put(const void* bytes, int64_t length);
  uint64_t Take(int length);  // little-endian value of the next length bytes, 0 past the end
  int32_t ReadCounted(void* buffer, int32_t* capacity, bool terminate);

  uint8_t* buffer_ = nullptr;
  int32_t size_ = 0;
  int32_t readPos_ = 0;
  int32_t writePos_ = 0;
};

// Reads a whole data file and lets the record read itself from it; false
// (record untouched) when it is not a readable regular file of at most the size limit.
bool LoadDataFile(IDataRecord& record, const std::string& path);
