#include "common/data_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct WriteCase {
  const char* name;
  std::function<int32_t(CDataStream&)> write;
  Bytes expected;
};

const std::vector<WriteCase>& WriteCases() {
  static const uint8_t blob16[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  static const std::vector<WriteCase> cases = {
      {"int32", [](CDataStream& s) { return s.WriteInt32(-2); }, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"uint32", [](CDataStream& s) { return s.WriteUInt32(0x80004005u); }, {0x05, 0x40, 0x00, 0x80}},
      {"int64",
       [](CDataStream& s) { return s.WriteInt64(0x0102030405060708LL); },
       {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
      {"float", [](CDataStream& s) { return s.WriteFloat(1.5f); }, {0x00, 0x00, 0xC0, 0x3F}},
      {"string", [](CDataStream& s) { return s.WriteString("abc"); }, {0x03, 0, 0, 0, 'a', 'b', 'c'}},
      {"empty string", [](CDataStream& s) { return s.WriteString(""); }, {0, 0, 0, 0}},
      {"null string", [](CDataStream& s) { return s.WriteString(nullptr); }, {0, 0, 0, 0}},
      {"int16", [](CDataStream& s) { return s.WriteInt16(-3); }, {0xFD, 0xFF}},
      {"uint16", [](CDataStream& s) { return s.WriteUInt16(0xBEEF); }, {0xEF, 0xBE}},
      {"double", [](CDataStream& s) { return s.WriteDouble(-2.0); }, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}},
      {"byte", [](CDataStream& s) { return s.WriteByte(0xA5); }, {0xA5}},
      {"blob", [](CDataStream& s) { return s.WriteBlob(blob16, 3); }, {0x03, 0, 0, 0, 0, 1, 2}},
      {"empty blob", [](CDataStream& s) { return s.WriteBlob(blob16, 0); }, {0, 0, 0, 0}},
      {"negative blob length", [](CDataStream& s) { return s.WriteBlob(blob16, -5); }, {0, 0, 0, 0}},
  };
  return cases;
}

CDataWriter Over(Bytes& bytes) {
  CDataWriter w;
  w.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  return w;
}

TEST(DataStream, EveryWriteGivesItsGoldenBytesAndTheSizerAgrees) {
  for (const WriteCase& c : WriteCases()) {
    SCOPED_TRACE(c.name);
    CDataSizer sizer;
    EXPECT_EQ(c.write(sizer), static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(sizer.GetSize(), static_cast<int32_t>(c.expected.size()));

    Bytes buffer(c.expected.size() + 4, 0xEE);
    CDataWriter writer = Over(buffer);
    EXPECT_EQ(c.write(writer), static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<long>(c.expected.size())), c.expected);
    EXPECT_EQ(buffer[c.expected.size()], 0xEE) << "wrote past its value";
    EXPECT_EQ(writer.GetReadPos(), 0);
  }
}

TEST(DataStream, WritesFollowOneAnotherAndReturnTheWritePosition) {
  CDataSizer sizer;
  uint8_t blob[16] = {};
  sizer.WriteInt32(1);
  sizer.WriteString("abc");
  EXPECT_EQ(sizer.WriteBlob(blob, 16), 31);
  EXPECT_EQ(sizer.GetSize(), 4 + 7 + 20);

  Bytes buffer(31);
  CDataWriter writer = Over(buffer);
  EXPECT_EQ(writer.WriteInt32(1), 4);
  EXPECT_EQ(writer.WriteString("abc"), 11);
  EXPECT_EQ(writer.WriteBlob(blob, 16), 31);
  EXPECT_EQ(buffer[4], 3);
  EXPECT_EQ(buffer[11], 16);
}

TEST(DataStream, ReadsGiveBackEveryWrite) {
  Bytes buffer(128);
  CDataWriter s = Over(buffer);
  s.WriteInt32(-123456);
  s.WriteUInt32(0xFFFFFFFEu);
  s.WriteInt64(-9876543210LL);
  s.WriteFloat(-0.25f);
  s.WriteString("text");
  s.WriteInt16(-32768);
  s.WriteUInt16(65535);
  s.WriteDouble(3.141592653589793);
  s.WriteByte(200);
  const uint8_t blob[5] = {9, 8, 7, 6, 5};
  s.WriteBlob(blob, 5);
  int32_t written = s.GetWritePos();

  EXPECT_EQ(s.ReadInt32(), -123456);
  EXPECT_EQ(s.ReadUInt32(), 0xFFFFFFFEu);
  EXPECT_EQ(s.ReadInt64(), -9876543210LL);
  EXPECT_EQ(s.ReadFloat(), -0.25f);
  char text[8];
  int32_t capacity = sizeof(text);
  EXPECT_EQ(s.ReadString(text, &capacity), 1);
  EXPECT_STREQ(text, "text");
  EXPECT_EQ(capacity, 5);
  EXPECT_EQ(s.ReadInt16(), -32768);
  EXPECT_EQ(s.ReadUInt16(), 65535);
  EXPECT_EQ(s.ReadDouble(), 3.141592653589793);
  EXPECT_EQ(s.ReadByte(), 200);
  uint8_t back[8] = {};
  capacity = sizeof(back);
  EXPECT_EQ(s.ReadBlob(back, &capacity), 1);
  EXPECT_EQ(capacity, 5);
  EXPECT_EQ(Bytes(back, back + 5), Bytes(blob, blob + 5));
  EXPECT_EQ(s.GetReadPos(), written);
  EXPECT_EQ(s.GetWritePos(), written) << "reads must not move the write position";
}

TEST(DataStream, ReadStringTooSmallReportsTheSizeAndDoesNotMove) {
  Bytes buffer(7);
  CDataWriter s = Over(buffer);
  s.WriteString("abc");

  char text[4] = {'x', 'x', 'x', 'x'};
  int32_t capacity = 3;
  EXPECT_EQ(s.ReadString(text, &capacity), 0);
  EXPECT_EQ(capacity, 4);
  EXPECT_EQ(s.GetReadPos(), 0);
  EXPECT_EQ(text[0], 'x') << "a failed read stores nothing";

  capacity = 0;  // size query with no buffer
  EXPECT_EQ(s.ReadString(nullptr, &capacity), 0);
  EXPECT_EQ(capacity, 4);

  capacity = 4;
  EXPECT_EQ(s.ReadString(text, &capacity), 1);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(s.GetReadPos(), 7);
}

TEST(DataStream, EmptyStringReadsIntoAnyCapacityFromOne) {
  Bytes buffer(4);
  CDataWriter s = Over(buffer);
  s.WriteString("");
  char text[2] = {'x', 'x'};
  int32_t capacity = 1;
  EXPECT_EQ(s.ReadString(text, &capacity), 1);
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(capacity, 1);
  EXPECT_EQ(s.GetReadPos(), 4);
}

TEST(DataStream, ReadBlobTooSmallReportsTheSizeAndDoesNotMove) {
  Bytes buffer(8);
  CDataWriter s = Over(buffer);
  const uint8_t data[4] = {1, 2, 3, 4};
  s.WriteBlob(data, 4);
  uint8_t back[4] = {};
  int32_t capacity = 3;
  EXPECT_EQ(s.ReadBlob(back, &capacity), 0);
  EXPECT_EQ(capacity, 4);
  EXPECT_EQ(s.GetReadPos(), 0);
  capacity = 4;
  EXPECT_EQ(s.ReadBlob(back, &capacity), 1);
  EXPECT_EQ(back[3], 4);
}

TEST(DataStream, ReadsPastTheEndGiveZeros) {
  Bytes empty;
  CDataWriter s = Over(empty);
  EXPECT_EQ(s.ReadInt32(), 0);
  EXPECT_EQ(s.ReadInt64(), 0);
  EXPECT_EQ(s.ReadDouble(), 0.0);
  EXPECT_EQ(s.ReadFloat(), 0.0f);
  EXPECT_EQ(s.ReadByte(), 0);
  EXPECT_EQ(s.ReadUInt16(), 0);
  char text[4] = {'x'};
  int32_t capacity = 4;
  EXPECT_EQ(s.ReadString(text, &capacity), 1) << "a missing string reads as empty";
  EXPECT_EQ(text[0], '\0');
  capacity = 0;
  EXPECT_EQ(s.ReadBlob(nullptr, &capacity), 1);
  EXPECT_EQ(capacity, 0);

  // Two bytes left: a 4-byte read gives 0 and leaves the position at the end.
  Bytes two = {0x11, 0x22};
  CDataWriter t = Over(two);
  EXPECT_EQ(t.ReadInt32(), 0);
  EXPECT_EQ(t.GetReadPos(), 2);
  EXPECT_EQ(t.ReadUInt16(), 0);
  EXPECT_EQ(t.BytesLeft(), 0);
}

TEST(DataStream, CorruptStoredLengthsFailWithoutReadingPastTheBuffer) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"negative", {0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
      {"longer than the data", {0x05, 0, 0, 0, 'a', 'b'}},
      {"huge", {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool blob : {false, true}) {
      Bytes bytes = c.bytes;
      CDataWriter s = Over(bytes);
      std::vector<char> out(1 << 20);
      int32_t capacity = static_cast<int32_t>(out.size());
      int32_t r = blob ? s.ReadBlob(out.data(), &capacity) : s.ReadString(out.data(), &capacity);
      EXPECT_EQ(r, 0);
      EXPECT_EQ(capacity, -1);
      EXPECT_EQ(s.BytesLeft(), 0);
      EXPECT_EQ(s.ReadInt32(), 0);
    }
  }
}

TEST(DataStream, WritesPastTheBufferStoreNothingButShowTheOverrun) {
  Bytes buffer(6, 0xEE);
  CDataWriter s;
  s.Attach(buffer.data(), 4);
  EXPECT_EQ(s.WriteString("abc"), 7);
  EXPECT_GT(s.GetWritePos(), s.GetBufferSize());
  EXPECT_EQ(buffer[4], 0xEE);
  EXPECT_EQ(buffer[5], 0xEE);
  EXPECT_EQ(buffer[0], 3) << "what fits is still written";

  CDataWriter none;  // no buffer at all
  EXPECT_EQ(none.WriteInt64(1), 8);
  EXPECT_EQ(none.ReadInt64(), 0);
}

TEST(DataStream, SizerReadsGiveZeroAndLeaveTheCapacity) {
  CDataSizer s;
  s.WriteInt32(5);
  EXPECT_EQ(s.ReadInt32(), 0);
  EXPECT_EQ(s.ReadDouble(), 0.0);
  char text[4];
  int32_t capacity = 4;
  EXPECT_EQ(s.ReadString(text, &capacity), 0);
  EXPECT_EQ(capacity, 4);
  EXPECT_EQ(s.ReadBlob(text, &capacity), 0);
  EXPECT_EQ(capacity, 4);
  EXPECT_EQ(s.GetSize(), 4);
}

class CountingRecord final : public IDataRecord {
 public:
  void Write(CDataStream& s) override { s.WriteInt32(value); }
  void Read(CDataStream& s) override {
    ++reads;
    value = s.ReadInt32();
  }
  int32_t value = 77;
  int reads = 0;
};

TEST(DataStream, LoadDataFileReadsTheRecordOrLeavesItUntouched) {
  CountingRecord record;
  EXPECT_FALSE(LoadDataFile(record, std::string(TRIVOX_BINARY_DIR) + "/no/such/file.dat"));
  EXPECT_EQ(record.value, 77);
  EXPECT_EQ(record.reads, 0);

  std::string path = std::string(TRIVOX_BINARY_DIR) + "/test_data_stream_load.dat";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint8_t bytes[4] = {0x2A, 0, 0, 0};
  std::fwrite(bytes, 1, 4, f);
  std::fclose(f);
  EXPECT_TRUE(LoadDataFile(record, path));
  EXPECT_EQ(record.value, 42);
  std::remove(path.c_str());

  // A folder opens but is not a file: nothing is read, and nothing is reported loaded.
  record.reads = 0;
  EXPECT_FALSE(LoadDataFile(record, TRIVOX_BINARY_DIR));
  EXPECT_EQ(record.reads, 0);
}

}  // namespace
