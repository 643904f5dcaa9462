#include "engine/modules/bitstream/bit_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

class VectorSink : public ByteSink {
 public:
  void PutByte(uint8_t byte) override { bytes.push_back(byte); }
  std::vector<uint8_t> bytes;
};

TEST(BitReader, ReadsFieldsMostSignificantFirstAndAligns) {
  const uint8_t a5 = 0xA5;
  BitReader reader;
  reader.SetData(&a5, 1);
  EXPECT_EQ(reader.ReadBits(4), 10u);
  EXPECT_EQ(reader.ReadBits(4), 5u);

  reader.SetData(&a5, 1);
  EXPECT_EQ(reader.ReadBits(3), 5u);
  EXPECT_EQ(reader.BitPosition(), 3);
  reader.AlignByte();
  EXPECT_EQ(reader.BitPosition(), 8);
  reader.AlignByte();
  EXPECT_EQ(reader.BitPosition(), 8);
}

TEST(BitReader, CrossesByteBoundariesUpTo32Bits) {
  const uint8_t data[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
  BitReader reader;
  reader.SetData(data, sizeof data);
  EXPECT_EQ(reader.ReadBits(4), 0x1u);
  EXPECT_EQ(reader.ReadBits(32), 0x23456789u);
  EXPECT_EQ(reader.ReadBits(4), 0xAu);
  EXPECT_FALSE(reader.Overrun());
  EXPECT_EQ(reader.ReadBits(0), 0u);
  EXPECT_EQ(reader.ReadBits(33), 0u);
  EXPECT_EQ(reader.BitPosition(), 40);
}

TEST(BitReader, KeepsItsOwnCopyAndReadsZerosPastTheEnd) {
  std::vector<uint8_t> data = {0xFF};
  BitReader reader;
  reader.SetData(data.data(), 1);
  data.assign(1000, 0);  // the caller's buffer may go away
  EXPECT_EQ(reader.ReadBits(4), 0xFu);
  EXPECT_EQ(reader.ReadBits(8), 0xF0u);
  EXPECT_TRUE(reader.Overrun());
  EXPECT_EQ(reader.BitPosition(), 12);

  reader.SetData(nullptr, 0);
  EXPECT_EQ(reader.BitPosition(), 0);
  EXPECT_EQ(reader.ReadBits(32), 0u);
  EXPECT_TRUE(reader.Overrun());
}

TEST(BitWriter, PacksFieldsAndAligns) {
  VectorSink sink;
  BitWriter writer;
  writer.Init(&sink);
  writer.PutBits(5, 3);
  writer.PutBits(1, 5);
  EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{0xA1}));
  writer.AlignByte();  // nothing pending
  EXPECT_EQ(sink.bytes.size(), 1u);

  writer.PutBits(0xFFFFFFFFu, 1);
  writer.PutBits(0xDEADBEEFu, 32);
  writer.AlignByte();
  EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{0xA1, 0xEF, 0x56, 0xDF, 0x77, 0x80}));
  EXPECT_EQ(writer.BytesWritten(), 6);
}

TEST(BitWriter, RoundTripsThroughTheReader) {
  const struct {
    uint32_t value;
    int bits;
  } fields[] = {{1, 1}, {0x3FF, 10}, {0, 7}, {0x12345, 17}, {0xFFFFFFFF, 32}, {2, 2}, {0xABCDEF01, 32}, {0x55, 7}};
  VectorSink sink;
  BitWriter writer;
  writer.Init(&sink);
  for (const auto& f : fields) writer.PutBits(f.value, f.bits);
  writer.AlignByte();
  BitReader reader;
  reader.SetData(sink.bytes.data(), static_cast<int32_t>(sink.bytes.size()));
  for (const auto& f : fields) EXPECT_EQ(reader.ReadBits(f.bits), f.value) << f.bits;
}

TEST(MemoryByteSink, DropsBytesBeyondItsCapacity) {
  uint8_t buffer[3] = {0, 0, 0x77};
  MemoryByteSink sink(buffer, 2);
  const uint8_t bytes[] = {1, 2, 3};
  sink.WriteBytes(bytes, 3);
  EXPECT_EQ(sink.Count(), 2);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[1], 2);
  EXPECT_EQ(buffer[2], 0x77);
}

}  // namespace
