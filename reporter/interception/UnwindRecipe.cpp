// Reducing a function's unwind codes to its recipe, and the test for an
// epilogue start; anything the recipe cannot hold is left to the system.
#include "reporter/interception/UnwindRecipe.h"

namespace {

// Operation codes of the x64 unwind data.
enum : std::uint8_t {
  kPushNonvolatile = 0,
  kAllocLarge = 1,
  kAllocSmall = 2,
  kSetFrameRegister = 3,
  kSaveNonvolatile = 4,
  kSaveNonvolatileFar = 5,
  kSaveXmm128 = 8,
  kSaveXmm128Far = 9,
  kPushMachineFrame = 10,
};

constexpr std::uint8_t kFlagExceptionHandler = 0x1;
constexpr std::uint8_t kFlagChainInfo = 0x4;
constexpr std::size_t kHeaderSize = 4;

bool AddSave(TUnwindRecipe& recipe, std::uint8_t reg, std::uint32_t offset) {
  if (recipe.SaveCount == kMaxRegisterSaves) return false;
  recipe.Saves[recipe.SaveCount++] = {reg, offset};
  return true;
}

}  // namespace

bool ReadUnwindRecipe(const std::uint8_t* info, std::size_t size, std::uint32_t offsetInFunction,
                      TUnwindRecipe& recipe) {
  recipe = {};
  if (!info || size < kHeaderSize) return false;
  const std::uint8_t version = info[0] & 0x07;
  const std::uint8_t flags = info[0] >> 3;
  const std::uint8_t prologSize = info[1];
  const std::uint8_t codeCount = info[2];
  const std::uint8_t frameRegister = info[3] & 0x0F;
  // Version 2 adds epilogue descriptions: left to the system.
  if (version != 1 || (flags & kFlagChainInfo) || frameRegister != 0 ||
      offsetInFunction < prologSize) {
    return false;
  }
  const std::size_t codesEnd = kHeaderSize + 2 * static_cast<std::size_t>(codeCount);
  if (codesEnd > size) return false;
  const std::uint8_t* codes = info + kHeaderSize;

  std::uint64_t offset = 0;  // of the next slot to pop, from the body's stack pointer
  for (std::size_t i = 0; i < codeCount;) {
    const std::uint8_t operation = codes[2 * i + 1] & 0x0F;
    const std::uint8_t operand = codes[2 * i + 1] >> 4;
    auto slot = [&](std::size_t k) -> std::uint32_t {
      return static_cast<std::uint32_t>(codes[2 * (i + k)] | (codes[2 * (i + k) + 1] << 8));
    };
    std::size_t slots = 1;
    switch (operation) {
      case kPushNonvolatile:
        if (!AddSave(recipe, operand, static_cast<std::uint32_t>(offset))) return false;
        offset += 8;
        break;
      case kAllocSmall:
        offset += 8u * operand + 8;
        break;
      case kAllocLarge:
        if (operand == 0) {
          slots = 2;
          if (i + slots > codeCount) return false;
          offset += 8u * slot(1);
        } else if (operand == 1) {
          slots = 3;
          if (i + slots > codeCount) return false;
          offset += slot(1) | (static_cast<std::uint64_t>(slot(2)) << 16);
        } else {
          return false;
        }
        break;
      case kSaveNonvolatile:
        slots = 2;
        if (i + slots > codeCount || !AddSave(recipe, operand, 8u * slot(1))) return false;
        break;
      case kSaveNonvolatileFar:
        slots = 3;
        if (i + slots > codeCount ||
            !AddSave(recipe, operand, slot(1) | (static_cast<std::uint32_t>(slot(2)) << 16))) {
          return false;
        }
        break;
      case kSaveXmm128:
        // The walk needs no vector registers: skip the save.
        slots = 2;
        break;
      case kSaveXmm128Far:
        slots = 3;
        break;
      case kSetFrameRegister:
      case kPushMachineFrame:
      default:
        return false;
    }
    i += slots;
    if (i > codeCount || offset > 0xFFFFFFFFu) return false;
  }
  recipe.ReturnSlot = static_cast<std::uint32_t>(offset);

  if (flags & kFlagExceptionHandler) {
    // The handler's address follows the codes, padded to an even count.
    const std::size_t handlerAt = kHeaderSize + 2 * static_cast<std::size_t>((codeCount + 1) & ~1);
    if (handlerAt + 4 > size) return false;
    recipe.HasExceptionHandler = true;
    recipe.HandlerRva = static_cast<std::uint32_t>(info[handlerAt]) |
                        static_cast<std::uint32_t>(info[handlerAt + 1]) << 8 |
                        static_cast<std::uint32_t>(info[handlerAt + 2]) << 16 |
                        static_cast<std::uint32_t>(info[handlerAt + 3]) << 24;
    recipe.HandlerDataOffset = handlerAt + 4;
  }
  return true;
}

bool MayStartEpilogue(const std::uint8_t* code) {
  // One optional REX prefix, then the instructions an epilogue may begin with.
  const bool rex = (code[0] & 0xF0) == 0x40;
  const std::uint8_t* p = rex ? code + 1 : code;
  const std::uint8_t opcode = p[0];
  const std::uint8_t modrmRegister = (p[1] >> 3) & 7;
  const bool pop = opcode >= 0x58 && opcode <= 0x5F;
  const bool ret = opcode == 0xC2 || opcode == 0xC3 || (opcode == 0xF3 && p[1] == 0xC3);
  const bool jump = opcode == 0xE9 || opcode == 0xEB ||
                    (opcode == 0xFF && (modrmRegister == 4 || modrmRegister == 5));
  const bool releaseStack = rex && (((opcode == 0x81 || opcode == 0x83) && p[1] == 0xC4) ||
                                    (opcode == 0x8D && modrmRegister == 4));  // add/lea rsp
  return pop || ret || jump || releaseStack;
}
