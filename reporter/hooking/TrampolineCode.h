// Machine code of a hook's trampoline: restore the target's bytes, call the
// target with the caller's arguments, write the patch again, return the
// target's result. Portable: it only emits bytes for given addresses.
//
// The trampoline is a real frame with unwind data, so that an exception
// raised by the target unwinds through it to the caller. Register arguments
// (RCX, RDX, R8, R9, XMM0-XMM3) survive the restore call; the first
// kTrampolineStackArgs stack arguments are copied into the target's frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t kTrampolineStackArgs = 16;
// Bytes the prologue subtracts from RSP; with the return address the frame
// stays 16-byte aligned at every call.
constexpr std::uint32_t kTrampolineFrameSize = 0x108;
constexpr std::uint8_t kTrampolinePrologSize = 7;

struct TTrampolineAddresses {
  std::uintptr_t Code = 0;         // where the code will run
  std::uintptr_t Record = 0;       // passed in RCX to the two routines
  std::uintptr_t RestoreSlot = 0;  // 8-byte slots holding the routines and the target
  std::uintptr_t TargetSlot = 0;
  std::uintptr_t RepatchSlot = 0;
};

// Empty when a slot lies out of reach of a 32-bit displacement from the code.
std::vector<std::uint8_t> EmitTrampoline(const TTrampolineAddresses& at);

// The UNWIND_INFO block describing the trampoline's prologue (version 1, one
// large stack allocation).
std::array<std::uint8_t, 8> TrampolineUnwindInfo();
