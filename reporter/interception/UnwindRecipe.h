// A frame's x64 unwind data reduced to what a stack walk needs in the common
// case: which nonvolatile registers the function saved where, and how far up
// the return address lies. The system's unwinder interprets the same codes
// for every frame of every raise; the reduced form lets the walk apply a
// function's frame layout with a few loads instead.
#pragma once

#include <cstddef>
#include <cstdint>

struct TRegisterSave {
  std::uint8_t Register = 0;  // x64 register number (0 RAX ... 15 R15)
  std::uint32_t Offset = 0;   // from the stack pointer of the function's body
};

// The nonvolatile general registers: RBX, RBP, RSI, RDI, R12 ... R15.
constexpr std::size_t kMaxRegisterSaves = 8;

struct TUnwindRecipe {
  // Distance from the body's stack pointer to the return address.
  std::uint32_t ReturnSlot = 0;
  std::uint8_t SaveCount = 0;
  TRegisterSave Saves[kMaxRegisterSaves];
  // The language handler (for C++ catches) and where its data starts.
  bool HasExceptionHandler = false;
  std::uint32_t HandlerRva = 0;
  std::size_t HandlerDataOffset = 0;  // from the start of the unwind data
};

// Reduces the unwind data of a function for an address past its prologue.
// False when the data describes something the reduced form cannot express
// (a frame register, chained data, an interrupt frame, an address inside
// the prologue, data that does not fit `size`): the caller then asks the
// system's unwinder, which handles every form.
bool ReadUnwindRecipe(const std::uint8_t* unwindInfo, std::size_t size,
                      std::uint32_t offsetInFunction, TUnwindRecipe& recipe);

// True when the instruction at `code` may start an epilogue (a stack
// release, a pop, a return or a tail jump): a frame stopped there is half
// torn down, and only the system's unwinder can replay the rest.
bool MayStartEpilogue(const std::uint8_t* code);
