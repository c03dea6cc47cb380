// The jump patch's bytes: a near jump when the target is within 2 GB, else an
// indirect jump through the address stored right behind it.
#include "reporter/hooking/JumpPatch.h"

#include <cstring>
#include <limits>

TJumpPatch BuildJumpPatch(std::uintptr_t from, std::uintptr_t to) {
  TJumpPatch patch;
  // Unsigned wrap-around gives the two's-complement displacement.
  const auto displacement = static_cast<std::int64_t>(to - (from + 5));
  if (displacement >= std::numeric_limits<std::int32_t>::min() &&
      displacement <= std::numeric_limits<std::int32_t>::max()) {
    const auto rel32 = static_cast<std::int32_t>(displacement);
    patch.Bytes[0] = 0xE9;
    std::memcpy(&patch.Bytes[1], &rel32, 4);
    patch.Size = 5;
  } else {
    const std::uint64_t absolute = to;
    patch.Bytes[0] = 0xFF;
    patch.Bytes[1] = 0x25;  // jmp [rip+0]: the address follows the instruction
    std::memset(&patch.Bytes[2], 0, 4);
    std::memcpy(&patch.Bytes[6], &absolute, 8);
    patch.Size = 14;
  }
  return patch;
}
