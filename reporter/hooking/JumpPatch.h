// The jump written over a hooked procedure's first bytes. Portable: only
// arithmetic on addresses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Longest patch: "jmp [rip+0]" followed by the 64-bit destination.
constexpr std::size_t kMaxJumpPatchSize = 14;

struct TJumpPatch {
  std::array<std::uint8_t, kMaxJumpPatchSize> Bytes{};
  std::size_t Size = 0;
};

// "E9 rel32" (5 bytes) when the destination lies within reach of a 32-bit
// displacement from the end of the patch, else the 14-byte absolute jump.
TJumpPatch BuildJumpPatch(std::uintptr_t from, std::uintptr_t to);
