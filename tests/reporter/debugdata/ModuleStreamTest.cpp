// The module stream over memory that is readable only in part.
#include "reporter/debugdata/ModuleStream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Memory readable only in its first half.
class THalfReadable : public TVexlorMemoryReader {
 public:
  explicit THalfReadable(const std::uint8_t* bytes)
      : FBase(reinterpret_cast<std::uintptr_t>(bytes)) {}
  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return address >= FBase && address + count <= FBase + 8;
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    if (!IsValid(address, count)) return false;
    std::memcpy(buffer, reinterpret_cast<const void*>(address), count);
    return true;
  }

 private:
  std::uintptr_t FBase;
};

TEST(THModuleStream, ReadsInPlaceWithinItsSize) {
  const std::uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  THModuleStream stream(bytes, 10);
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(buffer[3], 4);
  EXPECT_EQ(stream.Read(buffer, 16), 6);  // cut at the size
  EXPECT_EQ(buffer[5], 10);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  EXPECT_EQ(stream.Seek(-2, TSeekOrigin::soEnd), 8);
  EXPECT_EQ(stream.Read(buffer, 1), 1);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  EXPECT_THROW(stream.WriteBuffer(bytes, 1), EWriteError);
  EXPECT_THROW(stream.SetSize(3), EStreamError);
  EXPECT_EQ(THModuleStream(bytes).Size(), 0x7FFFFFFF);
}

TEST(THModuleStream, UnreadableMemoryEndsTheRead) {
  const std::uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  THalfReadable reader(bytes);
  THModuleStream stream(bytes, 16, &reader);
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 8);
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_THROW(stream.ReadBuffer(buffer, 4), EReadError);
}

}  // namespace
