// The reporter data in both forms round trip; damaged data is refused.
#include "reporter/debugdata/ReporterData.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Options streams in these tests are a length byte and that many bytes.
bool ReadTestOptions(const std::uint8_t* data, std::size_t size, std::uint16_t,
                     std::size_t& consumed) {
  if (size < 1 || size - 1 < data[0]) return false;
  consumed = 1u + data[0];
  return true;
}

TReporterData Sample(std::uint16_t version) {
  TReporterData data;
  data.Version = version;
  data.Stamp = 46000.25;
  data.Options = {3, 'a', 'b', 'c'};
  for (int i = 0; i < 5000; ++i) data.DebugData.push_back(static_cast<std::uint8_t>(i % 7));
  return data;
}

TEST(ReporterData, ResourceRoundTripCompressedAndPlain) {
  for (std::uint16_t version : {std::uint16_t(458), std::uint16_t(449)}) {
    const TReporterData source = Sample(version);
    const std::vector<std::uint8_t> bytes = BuildReporterResource(source);
    std::uint32_t marker = 0;
    std::memcpy(&marker, bytes.data(), 4);
    EXPECT_EQ(marker, kReporterDataMarker);
    if (version >= 450) {
      EXPECT_LT(bytes.size(), 1000u);  // compressed
    }
    TReporterData read;
    ASSERT_TRUE(ReadReporterResource(bytes.data(), bytes.size(), ReadTestOptions, read)) << version;
    EXPECT_EQ(read.Version, version);
    EXPECT_EQ(read.Stamp, source.Stamp);
    EXPECT_EQ(read.Options, source.Options);
    EXPECT_EQ(read.DebugData, source.DebugData);
  }
}

TEST(ReporterData, DamagedResourcesAreRefused) {
  const std::vector<std::uint8_t> bytes = BuildReporterResource(Sample(458));
  TReporterData read;
  for (std::size_t size = 0; size < bytes.size(); ++size)
    EXPECT_FALSE(ReadReporterResource(bytes.data(), size, ReadTestOptions, read)) << size;
  std::vector<std::uint8_t> wrongMarker = bytes;
  wrongMarker[0] ^= 1;
  EXPECT_FALSE(ReadReporterResource(wrongMarker.data(), wrongMarker.size(), ReadTestOptions, read));
  // A payload that inflates beyond the limit is not taken.
  EXPECT_FALSE(ReadReporterResource(bytes.data(), bytes.size(), ReadTestOptions, read, 100));
  // A debug-data length beyond the payload.
  TReporterData lying = Sample(449);
  std::vector<std::uint8_t> plain = BuildReporterResource(lying);
  plain[kReporterHeaderSize + 4] = 0xFF;
  plain[kReporterHeaderSize + 7] = 0x7F;
  EXPECT_FALSE(ReadReporterResource(plain.data(), plain.size(), ReadTestOptions, read));
}

TEST(ReporterData, FileTailAfterAnyContent) {
  std::vector<std::uint8_t> file(3000, 0x90);
  const TReporterData source = Sample(458);
  const std::vector<std::uint8_t> tail = BuildReporterFileTail(source);
  file.insert(file.end(), tail.begin(), tail.end());
  auto readAt = [&](std::uint64_t offset, std::size_t count, std::uint8_t* buffer) {
    if (offset > file.size() || count > file.size() - offset) return false;
    std::memcpy(buffer, file.data() + offset, count);
    return true;
  };
  ASSERT_TRUE(HasReporterFileTail(file.size(), readAt));
  TReporterData read;
  ASSERT_TRUE(ReadReporterFileTail(file.size(), readAt, ReadTestOptions, read));
  EXPECT_EQ(read.Version, 458);
  EXPECT_EQ(read.Stamp, source.Stamp);
  EXPECT_EQ(read.DebugData, source.DebugData);

  // A block length that reaches before the file's start.
  file[file.size() - 5] = 0x7F;
  EXPECT_FALSE(ReadReporterFileTail(file.size(), readAt, ReadTestOptions, read));
  EXPECT_FALSE(HasReporterFileTail(3, readAt));
}

TEST(ReporterData, DayStampsCountFrom1899) {
  EXPECT_EQ(FormatDayStamp(25569.0), "1970-01-01 00:00:00");
  EXPECT_EQ(FormatDayStamp(46000.5), "2025-12-09 12:00:00");
  EXPECT_EQ(FormatDayStamp(-1), "invalid");
  EXPECT_GT(CurrentDayStamp(), 45000.0);
}

}  // namespace
