// The memory dump over readable, partly readable and failing memory.
#include "reporter/report/MemoryDump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// One readable block of memory at a fixed address; Read can be made to fail
// as if the memory was released after the check.
class TBlockReader : public TVexlorMemoryReader {
 public:
  TBlockReader(std::uintptr_t base, std::size_t size) : base_(base), bytes_(size) {
    for (std::size_t i = 0; i < size; ++i) bytes_[i] = static_cast<std::uint8_t>(i);
  }
  bool failReads = false;

  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return address >= base_ && address - base_ + count <= bytes_.size();
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    if (failReads || !IsValid(address, count)) return false;
    std::memcpy(buffer, bytes_.data() + (address - base_), count);
    return true;
  }

 private:
  std::uintptr_t base_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

TEST(MemoryDump, CopiesStackSlotsAndCodeBytes) {
  TBlockReader memory(0x10000, 0x1000);
  const auto dump = CaptureMemoryDump(memory, 0x10100, 0x10800);
  ASSERT_TRUE(dump);
  EXPECT_EQ(dump->StackPointer, 0x10100u);
  EXPECT_EQ(dump->CodeAddress, 0x10800u);
  EXPECT_EQ(dump->Stack[0], 0x00);
  EXPECT_EQ(dump->Stack[127], 0x7F);
  EXPECT_EQ(dump->Code[255], 0xFF);
}

TEST(MemoryDump, UnreadableMemoryGivesNoDump) {
  TBlockReader memory(0x10000, 0x1000);
  // The last stack slot or the last code byte lies beyond the block.
  EXPECT_FALSE(CaptureMemoryDump(memory, 0x11000 - 127, 0x10000));
  EXPECT_FALSE(CaptureMemoryDump(memory, 0x10000, 0x11000 - 255));
  EXPECT_TRUE(CaptureMemoryDump(memory, 0x11000 - 128, 0x11000 - 256));
  EXPECT_FALSE(CaptureMemoryDump(memory, 0, 0x10000));
  memory.failReads = true;
  EXPECT_FALSE(CaptureMemoryDump(memory, 0x10000, 0x10000));
}

TEST(MemoryDump, AnUnreadableDumpLeavesOnlyTheHeadings) {
  TBlockReader memory(0x10000, 0x100);
  const std::string text = BuildCpuText({"Registers", "Stack", "Memory Dump"}, std::nullopt,
                                        CaptureMemoryDump(memory, 0x10000, 0x20000));
  EXPECT_EQ(text.substr(text.size() - 2 - 120),
            std::string(34, '-') + "   " + std::string(83, '-') + "\r\n");
}
