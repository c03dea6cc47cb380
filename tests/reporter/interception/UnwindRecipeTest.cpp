// The reduced form of a frame's unwind data, from unwind data as a compiler
// writes it.
#include "reporter/interception/UnwindRecipe.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

enum : std::uint8_t { RBX = 3, RBP = 5, RSI = 6, RDI = 7, R12 = 12, R15 = 15 };

// Builds unwind data: version 1, codes in unwinding order.
struct TUnwindInfo {
  std::uint8_t Flags = 0;
  std::uint8_t PrologSize = 16;
  std::uint8_t FrameRegister = 0;
  std::vector<std::uint16_t> Slots;

  TUnwindInfo& Code(std::uint8_t prologOffset, std::uint8_t operation, std::uint8_t operand) {
    Slots.push_back(static_cast<std::uint16_t>(prologOffset | (operation | operand << 4) << 8));
    return *this;
  }
  TUnwindInfo& Slot(std::uint16_t value) {
    Slots.push_back(value);
    return *this;
  }
  std::vector<std::uint8_t> Bytes(std::uint32_t handlerRva = 0) const {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(1 | Flags << 3), PrologSize,
                                       static_cast<std::uint8_t>(Slots.size()), FrameRegister};
    for (const std::uint16_t slot : Slots) {
      bytes.push_back(slot & 0xFF);
      bytes.push_back(slot >> 8);
    }
    if (Flags & 1) {
      if (Slots.size() % 2) bytes.insert(bytes.end(), {0, 0});
      for (int i = 0; i < 4; ++i) bytes.push_back((handlerRva >> (8 * i)) & 0xFF);
      bytes.insert(bytes.end(), {0xAA, 0xBB});  // the handler's own data
    }
    return bytes;
  }
};

TUnwindRecipe Read(const std::vector<std::uint8_t>& bytes, bool expected = true,
                   std::uint32_t offset = 0x40) {
  TUnwindRecipe recipe;
  EXPECT_EQ(ReadUnwindRecipe(bytes.data(), bytes.size(), offset, recipe), expected);
  return recipe;
}

TEST(UnwindRecipe, PushesAndAllocationsGiveSaveSlotsAndReturnSlot) {
  // push rbx; push rsi; sub rsp, 0x28
  const TUnwindRecipe recipe =
      Read(TUnwindInfo().Code(6, 2, 4).Code(2, 0, RSI).Code(1, 0, RBX).Bytes());
  ASSERT_EQ(recipe.SaveCount, 2);
  EXPECT_EQ(recipe.Saves[0].Register, RSI);
  EXPECT_EQ(recipe.Saves[0].Offset, 0x28u);
  EXPECT_EQ(recipe.Saves[1].Register, RBX);
  EXPECT_EQ(recipe.Saves[1].Offset, 0x30u);
  EXPECT_EQ(recipe.ReturnSlot, 0x38u);
  EXPECT_FALSE(recipe.HasExceptionHandler);
}

TEST(UnwindRecipe, LargeAllocationsAndMovedSaves) {
  // push rdi; sub rsp, 0x1000 (scaled form); mov [rsp+0x20], r12
  const TUnwindRecipe scaled = Read(TUnwindInfo()
                                        .Code(12, 4, R12)
                                        .Slot(0x20 / 8)
                                        .Code(8, 1, 0)
                                        .Slot(0x1000 / 8)
                                        .Code(1, 0, RDI)
                                        .Bytes());
  ASSERT_EQ(scaled.SaveCount, 2);
  EXPECT_EQ(scaled.Saves[0].Register, R12);
  EXPECT_EQ(scaled.Saves[0].Offset, 0x20u);  // from the body's stack pointer
  EXPECT_EQ(scaled.Saves[1].Offset, 0x1000u);
  EXPECT_EQ(scaled.ReturnSlot, 0x1008u);

  // sub rsp, 0x123450 (unscaled 32-bit form); mov [rsp+0x10008], r15 (far form)
  const TUnwindRecipe unscaled = Read(TUnwindInfo()
                                          .Code(12, 5, R15)
                                          .Slot(0x0008)
                                          .Slot(0x0001)
                                          .Code(8, 1, 1)
                                          .Slot(0x3450)
                                          .Slot(0x0012)
                                          .Bytes());
  ASSERT_EQ(unscaled.SaveCount, 1);
  EXPECT_EQ(unscaled.Saves[0].Offset, 0x10008u);
  EXPECT_EQ(unscaled.ReturnSlot, 0x123450u);

  // Saved vector registers take their slots but need no replay.
  const TUnwindRecipe vectors = Read(
      TUnwindInfo().Code(12, 8, 6).Slot(2).Code(9, 9, 7).Slot(0).Slot(1).Code(4, 2, 7).Bytes());
  EXPECT_EQ(vectors.SaveCount, 0);
  EXPECT_EQ(vectors.ReturnSlot, 0x40u);
}

TEST(UnwindRecipe, HandlerFollowsThePaddedCodes) {
  TUnwindInfo odd;
  odd.Flags = 1;
  odd.Code(1, 0, RBX);
  const std::vector<std::uint8_t> oddBytes = odd.Bytes(0x12345678);
  const TUnwindRecipe recipe = Read(oddBytes);
  EXPECT_TRUE(recipe.HasExceptionHandler);
  EXPECT_EQ(recipe.HandlerRva, 0x12345678u);
  ASSERT_LT(recipe.HandlerDataOffset, oddBytes.size());
  EXPECT_EQ(oddBytes[recipe.HandlerDataOffset], 0xAA);

  TUnwindInfo even = odd;
  even.Code(0, 0, RBP);
  const std::vector<std::uint8_t> evenBytes = even.Bytes(0x10);
  EXPECT_EQ(evenBytes[Read(evenBytes).HandlerDataOffset], 0xAA);

  // A termination handler alone is no exception handler.
  TUnwindInfo termination = odd;
  termination.Flags = 2;
  EXPECT_FALSE(Read(termination.Bytes()).HasExceptionHandler);
}

TEST(UnwindRecipe, FormsLeftToTheSystemUnwinder) {
  TUnwindInfo framePointer;
  framePointer.FrameRegister = RBP;
  framePointer.Code(4, 3, 0).Code(1, 0, RBP);
  Read(framePointer.Bytes(), false);

  TUnwindInfo chained;
  chained.Flags = 4;
  chained.Code(1, 0, RBX);
  Read(chained.Bytes(), false);

  Read(TUnwindInfo().Code(1, 10, 0).Bytes(), false);         // interrupt frame
  Read(TUnwindInfo().Code(1, 0, RBX).Bytes(), false, 3);     // inside the prologue
  Read(TUnwindInfo().Code(4, 1, 2).Slot(1).Bytes(), false);  // unknown allocation form

  std::vector<std::uint8_t> version2 = TUnwindInfo().Code(1, 0, RBX).Bytes();
  version2[0] = (version2[0] & ~7) | 2;
  Read(version2, false);
}

TEST(UnwindRecipe, TruncatedDataIsRefused) {
  TUnwindInfo info;
  info.Flags = 1;
  info.Code(8, 1, 0).Slot(0x200).Code(1, 0, RBX);
  const std::vector<std::uint8_t> bytes = info.Bytes(0x40);
  for (std::size_t size = 0; size < bytes.size() - 2; ++size) {
    TUnwindRecipe recipe;
    EXPECT_FALSE(ReadUnwindRecipe(bytes.data(), size, 0x40, recipe)) << size;
  }
  // An allocation whose size slots run past the code count.
  std::vector<std::uint8_t> cut = TUnwindInfo().Code(8, 1, 1).Slot(0x10).Bytes();
  Read(cut, false);
}

TEST(UnwindRecipe, EpilogueStarts) {
  struct TCase {
    std::vector<std::uint8_t> Code;
    bool Epilogue;
  };
  const TCase cases[] = {
      {{0x48, 0x83, 0xC4, 0x28}, true},         // add rsp, 0x28
      {{0x48, 0x81, 0xC4, 0, 1, 0, 0}, true},   // add rsp, 0x100
      {{0x48, 0x8D, 0x65, 0xF0}, true},         // lea rsp, [rbp-0x10]
      {{0x5B, 0x90}, true},                     // pop rbx
      {{0x41, 0x5C, 0x90}, true},               // pop r12
      {{0xC3, 0x90}, true},                     // ret
      {{0xF3, 0xC3}, true},                     // rep ret
      {{0xE9, 0, 0, 0, 0}, true},               // jmp
      {{0xFF, 0xE0}, true},                     // jmp rax
      {{0xFF, 0x25, 0, 0, 0, 0}, true},         // jmp [rip+n]
      {{0x48, 0x89, 0xC1}, false},              // mov rcx, rax
      {{0x48, 0x8D, 0x4C, 0x24, 0x20}, false},  // lea rcx, [rsp+0x20]
      {{0x83, 0xC4, 0x08}, false},              // add esp, 8: not the stack pointer's release
      {{0xFF, 0xD0}, false},                    // call rax
      {{0x90, 0xC3}, false},                    // the nop a compiler puts after a call
      {{0x85, 0xC0}, false},                    // test eax, eax
  };
  for (const TCase& c : cases) {
    std::vector<std::uint8_t> code = c.Code;
    code.resize(8, 0x90);
    EXPECT_EQ(MayStartEpilogue(code.data()), c.Epilogue) << int(c.Code[0]) << " " << int(c.Code[1]);
  }
}

}  // namespace
