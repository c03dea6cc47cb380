// The size estimate of procedures with and without a frame.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "reporter/debugdata/MemoryReader.h"

namespace {

class TBytes : public TVexlorMemoryReader {
 public:
  explicit TBytes(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}
  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return address >= kBase && address - kBase + count <= FBytes.size();
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    if (!IsValid(address, count)) return false;
    std::memcpy(buffer, FBytes.data() + (address - kBase), count);
    return true;
  }
  static constexpr std::uintptr_t kBase = 0x1000;

 private:
  std::vector<std::uint8_t> FBytes;
};

std::uint32_t Size(std::vector<std::uint8_t> code) {
  TBytes memory(code);
  return EstimateProcedureSize(memory, TBytes::kBase, TBytes::kBase + code.size());
}

TEST(EstimateProcedureSize, ReturnsAndFrameEpilogues) {
  EXPECT_EQ(Size({0x48, 0x83, 0xEC, 0x28, 0xC3, 0x90}), 4u);
  EXPECT_EQ(Size({0x31, 0xC0, 0xC2, 0x08, 0x00}), 2u);
  EXPECT_EQ(Size({0xC3}), 0u);
  // With a frame, a return byte inside an instruction does not end it; only
  // one behind pop rbp or leave does.
  EXPECT_EQ(Size({0x55, 0x48, 0x89, 0xE5, 0xB8, 0xC3, 0, 0, 0, 0x5D, 0xC3}), 10u);
  EXPECT_EQ(Size({0x55, 0x48, 0x89, 0xE5, 0xC9, 0xC3}), 5u);
  // No return before the code ends.
  EXPECT_EQ(Size({0x55, 0x90, 0xC3}), 1u);
  EXPECT_EQ(Size({0x90, 0x90}), 1u);
}

}  // namespace
