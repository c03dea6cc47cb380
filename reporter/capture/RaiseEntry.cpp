// The link step sends every call of the runtime's throw routine here. The
// wrapper saves the registers of the call before C++ code can change them,
// so the raise is recorded exactly as the application made it, without
// unwinding the reporter's own frames to get there.
#include "reporter/capture/RaiseEntry.h"

#include <cstddef>

static_assert(offsetof(TRaiseEntryRegisters, EFlags) == 0x80);

// Frame: 0x20 shadow space, the register block at 0x20 (0x88 bytes), padding
// so that the stack is 16-byte aligned at the call.
asm(R"(
  .text
  .p2align 4
  .globl __wrap___cxa_throw
  .def __wrap___cxa_throw; .scl 2; .type 32; .endef
  .seh_proc __wrap___cxa_throw
__wrap___cxa_throw:
  subq $0xB8, %rsp
  .seh_stackalloc 0xB8
  .seh_endprologue
  movq %rax, 0x20(%rsp)
  movq %rcx, 0x28(%rsp)
  movq %rdx, 0x30(%rsp)
  movq %rbx, 0x38(%rsp)
  leaq 0xB8(%rsp), %rax
  movq %rax, 0x40(%rsp)
  movq %rbp, 0x48(%rsp)
  movq %rsi, 0x50(%rsp)
  movq %rdi, 0x58(%rsp)
  movq %r8, 0x60(%rsp)
  movq %r9, 0x68(%rsp)
  movq %r10, 0x70(%rsp)
  movq %r11, 0x78(%rsp)
  movq %r12, 0x80(%rsp)
  movq %r13, 0x88(%rsp)
  movq %r14, 0x90(%rsp)
  movq %r15, 0x98(%rsp)
  pushfq
  popq %rax
  movq %rax, 0xA0(%rsp)
  leaq 0x20(%rsp), %r8
  call HookedRaise
  movq 0x28(%rsp), %rcx
  movq 0x30(%rsp), %rdx
  movq 0x60(%rsp), %r8
  addq $0xB8, %rsp
  jmp __real___cxa_throw
  .seh_endproc
)");
