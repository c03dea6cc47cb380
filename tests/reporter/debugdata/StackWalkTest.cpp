// The raw scan over synthetic memory: each call form, import thunks, stale
// values, unreadable stretches, and the design-time filter.
#include "reporter/debugdata/StackWalk.h"

#include <gtest/gtest.h>

#include "reporter/debugdata/ModuleInfo.h"

#include <cstring>
#include <map>
#include <vector>

namespace {

// Memory made of separate blocks; everything else is unreadable. A block can
// be marked to fail reads although it tests valid (memory that went away).
class TSyntheticMemory : public TVexlorMemoryReader {
 public:
  std::vector<std::uint8_t>& Map(std::uintptr_t address, std::size_t size) {
    Block& block = FBlocks[address];
    block.bytes.assign(size, 0xCC);
    return block.bytes;
  }
  void Poison(std::uintptr_t address) { FBlocks.at(address).failReads = true; }
  void Put64(std::uintptr_t address, std::uint64_t value) { Write(address, &value, 8); }
  void Write(std::uintptr_t address, const void* data, std::size_t size) {
    Block* block = Find(address, size);
    ASSERT_NE(block, nullptr);
    std::memcpy(block->bytes.data() + (address - block->base), data, size);
  }
  void Code(std::uintptr_t address, std::vector<std::uint8_t> bytes) {
    Write(address, bytes.data(), bytes.size());
  }

  bool IsValid(std::uintptr_t address, std::size_t count) override {
    ++validityQueries;
    return Find(address, count) != nullptr;
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    Block* block = Find(address, count);
    if (block == nullptr || block->failReads) return false;
    std::memcpy(buffer, block->bytes.data() + (address - block->base), count);
    return true;
  }
  int validityQueries = 0;

 private:
  struct Block {
    std::uintptr_t base = 0;
    std::vector<std::uint8_t> bytes;
    bool failReads = false;
  };
  Block* Find(std::uintptr_t address, std::size_t count) {
    auto it = FBlocks.upper_bound(address);
    if (it == FBlocks.begin()) return nullptr;
    --it;
    it->second.base = it->first;
    if (address - it->first + count > it->second.bytes.size()) return nullptr;
    return &it->second;
  }
  std::map<std::uintptr_t, Block> FBlocks;
};

constexpr std::uintptr_t kStack = 0x10000;
constexpr std::uintptr_t kCode = 0x400000;

TVexlorDebugInfo Resolve(std::uintptr_t address) {
  TVexlorDebugInfo info;
  info.Kind = dikModule;
  info.Address = address;
  return info;
}

std::vector<std::uintptr_t> Addresses(const TVexlorStackList& list) {
  std::vector<std::uintptr_t> result;
  for (const TVexlorDebugInfo& item : list) result.push_back(item.Address);
  return result;
}

void Rel32(std::vector<std::uint8_t>& bytes, std::int64_t value) {
  const auto v = static_cast<std::int32_t>(value);
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
}

class StackWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.Map(kStack, 0x1000);
    memory.Map(kCode, 0x1000);
  }
  std::vector<std::uintptr_t> Walk(std::uintptr_t exceptionAddress = 0,
                                   std::uintptr_t end = kStack + 0xFF8) {
    return Addresses(*WalkStack(memory, Resolve, exceptionAddress, kStack, end));
  }
  TSyntheticMemory memory;
};

TEST_F(StackWalkTest, DirectCallAddsCalleeThenCall) {
  // call 0x400200 at 0x400100; the callee starts with an ordinary byte.
  std::vector<std::uint8_t> call = {0xE8};
  Rel32(call, 0x200 - 0x105);
  memory.Code(kCode + 0x100, call);
  memory.Code(kCode + 0x200, {0x55, 0x48, 0x89, 0xE5, 0x90});
  memory.Put64(kStack + 0x20, kCode + 0x105);
  EXPECT_EQ(Walk(0x401234), (std::vector<std::uintptr_t>{0x401234, kCode + 0x200, kCode + 0x100}));
}

TEST_F(StackWalkTest, DirectCallThroughImportThunkNamesTheImportedTarget) {
  std::vector<std::uint8_t> call = {0xE8};
  Rel32(call, 0x300 - 0x105);
  memory.Code(kCode + 0x100, call);
  // jmp [rip + rel32] with the slot at 0x400800 holding the DLL's entry.
  std::vector<std::uint8_t> thunk = {0xFF, 0x25};
  Rel32(thunk, 0x800 - 0x306);
  memory.Code(kCode + 0x300, thunk);
  const std::uintptr_t dll = 0x7FF000000000;
  memory.Map(dll, 0x100);
  memory.Put64(kCode + 0x800, dll + 0x10);
  memory.Put64(kStack + 0x20, kCode + 0x105);
  EXPECT_EQ(Walk(), (std::vector<std::uintptr_t>{dll + 0x10, kCode + 0x100}));
  EXPECT_EQ(ResolveImportThunk(memory, kCode + 0x300), dll + 0x10);
  EXPECT_EQ(ResolveImportThunk(memory, kCode + 0x100), kCode + 0x100);
  // A slot that points nowhere readable still gives its value; an unreadable
  // slot leaves the address alone.
  std::vector<std::uint8_t> badThunk = {0xFF, 0x25};
  Rel32(badThunk, 0x7000000);
  memory.Code(kCode + 0x400, badThunk);
  EXPECT_EQ(ResolveImportThunk(memory, kCode + 0x400), kCode + 0x400);
}

TEST_F(StackWalkTest, DirectCallToACallAddsOnlyTheCall) {
  std::vector<std::uint8_t> call = {0xE8};
  Rel32(call, 0x200 - 0x105);
  memory.Code(kCode + 0x100, call);
  memory.Code(kCode + 0x200, {0xE8, 0, 0, 0, 0});
  memory.Put64(kStack + 0x20, kCode + 0x105);
  EXPECT_EQ(Walk(), (std::vector<std::uintptr_t>{kCode + 0x100}));
}

TEST_F(StackWalkTest, DirectCallToUnreadableTargetAddsNothing) {
  std::vector<std::uint8_t> call = {0xE8};
  Rel32(call, 0x100000);
  memory.Code(kCode + 0x100, call);
  memory.Put64(kStack + 0x20, kCode + 0x105);
  EXPECT_TRUE(Walk().empty());
}

TEST_F(StackWalkTest, IndirectCallFormsNameTheirFirstByte) {
  struct Form {
    std::vector<std::uint8_t> bytes;
  } forms[] = {
      {{0xFF, 0xD0}},                                // call rax
      {{0x41, 0xFF, 0xD3}},                          // call r11
      {{0xFF, 0x10}},                                // call [rax]
      {{0x41, 0xFF, 0x17}},                          // call [r15]
      {{0xFF, 0x50, 0x08}},                          // call [rax+8]
      {{0x41, 0xFF, 0x55, 0x10}},                    // call [r13+16]
      {{0xFF, 0x90, 0x00, 0x01, 0x00, 0x00}},        // call [rax+0x100]
      {{0x41, 0xFF, 0x97, 0x00, 0x01, 0x00, 0x00}},  // call [r15+0x100]
      {{0xFF, 0x14, 0x24}},                          // call [rsp]
      {{0xFF, 0x54, 0x24, 0x08}},                    // call [rsp+8]
      {{0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00}},  // call [rsp+0x100]
  };
  std::uintptr_t at = kCode + 0x100;
  std::vector<std::uintptr_t> expected;
  std::uintptr_t slot = kStack;
  for (const Form& form : forms) {
    memory.Code(at, form.bytes);
    expected.push_back(at);
    memory.Put64(slot, at + form.bytes.size());
    slot += 8;
    at += 0x20;
  }
  EXPECT_EQ(Walk(), expected);
}

TEST_F(StackWalkTest, RipRelativeCallNeedsAReadableSlot) {
  std::vector<std::uint8_t> good = {0xFF, 0x15};
  Rel32(good, 0x800 - 0x106);
  memory.Code(kCode + 0x100, good);
  std::vector<std::uint8_t> bad = {0xFF, 0x15};
  Rel32(bad, 0x7000000);
  memory.Code(kCode + 0x200, bad);
  memory.Put64(kStack, kCode + 0x206);
  memory.Put64(kStack + 8, kCode + 0x106);
  EXPECT_EQ(Walk(), (std::vector<std::uintptr_t>{kCode + 0x100}));
}

TEST_F(StackWalkTest, ValuesThatFollowNoCallAreIgnored) {
  memory.Put64(kStack, kCode + 0x105);     // readable, no call in front
  memory.Put64(kStack + 8, 0x123456789);   // unreadable
  memory.Put64(kStack + 16, 3);            // below any window
  memory.Put64(kStack + 24, UINTPTR_MAX);  // window wraps nowhere
  EXPECT_TRUE(Walk().empty());
}

TEST_F(StackWalkTest, ReversedRangeGivesOnlyTheExceptionItem) {
  memory.Code(kCode + 0x100, {0xFF, 0xD0});
  memory.Put64(kStack, kCode + 0x102);
  EXPECT_EQ(Addresses(*WalkStack(memory, Resolve, 0x1234, kStack + 8, kStack)),
            (std::vector<std::uintptr_t>{0x1234}));
  EXPECT_TRUE(WalkStack(memory, Resolve, 0, kStack + 8, kStack)->Count() == 0);
}

TEST(StackWalkLimits, RangeIsCutToOneMebibyteAboveItsStart) {
  TSyntheticMemory memory;
  memory.Map(kCode, 0x100);
  memory.Code(kCode + 0x10, {0xFF, 0xD0});
  const std::uintptr_t stack = 0x1000000;
  memory.Map(stack, kStackScanLimit + 0x1000);
  memory.Put64(stack + kStackScanLimit, kCode + 0x12);  // last slot inside the limit
  memory.Put64(stack + kStackScanLimit + 8, kCode + 0x12);
  const auto list = WalkStack(memory, Resolve, 0, stack, stack + kStackScanLimit + 0x800);
  EXPECT_EQ(Addresses(*list), (std::vector<std::uintptr_t>{kCode + 0x10}));
}

TEST(StackWalkLimits, UnreadableStretchesAndFailingReadsAreSkipped) {
  TSyntheticMemory memory;
  memory.Map(kCode, 0x100);
  memory.Code(kCode + 0x10, {0xFF, 0xD0});
  // Three stack pieces with holes between them; the middle one fails reads.
  memory.Map(0x20000, 0x40);
  memory.Map(0x20100, 0x40);
  memory.Map(0x20200, 0x40);
  memory.Put64(0x20000, kCode + 0x12);
  memory.Put64(0x20100, kCode + 0x12);
  memory.Put64(0x20238, kCode + 0x12);
  memory.Poison(0x20100);
  const auto list = WalkStack(memory, Resolve, 0, 0x20000, 0x20238);
  EXPECT_EQ(Addresses(*list), (std::vector<std::uintptr_t>{kCode + 0x10, kCode + 0x10}));
}

TEST(StackWalkLimits, ReadabilityIsTestedPerBlockNotPerSlot) {
  TSyntheticMemory memory;
  memory.Map(0x30000, 0x10000);
  WalkStack(memory, Resolve, 0, 0x30000, 0x30000 + 0x10000 - 8);
  // One test per 400-byte block (the last, shorter one slot by slot) and one
  // window test per value.
  EXPECT_LE(memory.validityQueries, 0x10000 / 8 + 0x10000 / 400 + 2 * 400 / 8);
}

TEST(FilterStackDesignTime, KeepsNamedForeignItemsWithoutRepeats) {
  TVexlorModuleInfo own, other;
  TVexlorStackList list;
  auto add = [&](std::uint8_t kind, TVexlorModuleInfo* module, std::uintptr_t address,
                 const char* proc) {
    TVexlorDebugInfo info;
    info.Kind = kind;
    info.ModuleInfo = module;
    info.Address = address;
    info.ProcedureName = proc;
    list.Add(info);
  };
  add(dikSourceLine, &own, 1, "Notify");
  add(dikSourceLine, &other, 2, "Work");
  add(dikModule, &other, 3, "");
  add(dikSourceLine, &other, 2, "Work");
  add(dikExportName, &other, 4, "HandleException");
  add(dikProcedure, &other, 5, "Run");
  add(dikSourceLine, &other, 5, "Run");
  FilterStackDesignTime(list, &own);
  EXPECT_EQ(Addresses(list), (std::vector<std::uintptr_t>{2, 5}));
}

}  // namespace
