// The translation of processor faults into the class library's exceptions: a
// vectored handler, last in the chain, redirects the faulting thread into a
// small stub that throws, as if the faulting instruction had called it, so
// the C++ unwinder finds every frame from the fault outward.
#include "runtime/OsExceptionsWin.h"

#include <windows.h>

#include <mutex>

#include "runtime/OsExceptions.h"

extern "C" {
// Entered with the faulting address as its return address; realigns the
// stack (a leaf function may fault with it misaligned) and throws.
void VexlorOsExceptionStub();
[[noreturn]] void VexlorThrowPendingOsException();
}

asm(R"(
  .text
  .globl VexlorOsExceptionStub
  .def VexlorOsExceptionStub; .scl 2; .type 32; .endef
  .seh_proc VexlorOsExceptionStub
VexlorOsExceptionStub:
  push %rbp
  .seh_pushreg %rbp
  mov %rsp, %rbp
  .seh_setframe %rbp, 0
  .seh_endprologue
  and $-16, %rsp
  sub $32, %rsp
  call VexlorThrowPendingOsException
  int3
  .seh_endproc
)");

namespace {

thread_local int scopeDepth = 0;

struct TPendingFault {
  DWORD Code = 0;
  void* Address = nullptr;
  ULONG_PTR AccessKind = 0;
  ULONG_PTR AccessAddress = 0;
};
thread_local TPendingFault pending;

bool IsProcessorFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
      return true;
    default:
      return false;
  }
}

// The program's own code: the image of the executable.
bool InOwnCode(const void* address) {
  HMODULE module = nullptr;
  return GetModuleHandleExW(
             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
             static_cast<LPCWSTR>(address), &module) &&
         module == GetModuleHandleW(nullptr);
}

LONG CALLBACK TranslateFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (scopeDepth == 0 || !IsProcessorFault(record.ExceptionCode) ||
      (record.ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_NONCONTINUABLE)) ||
      !InOwnCode(record.ExceptionAddress)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  pending = {record.ExceptionCode, record.ExceptionAddress,
             record.NumberParameters >= 1 ? record.ExceptionInformation[0] : 0,
             record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0};
  CONTEXT& context = *pointers->ContextRecord;
  context.Rsp -= sizeof(DWORD64);
  *reinterpret_cast<DWORD64*>(context.Rsp) = context.Rip;
  context.Rip = reinterpret_cast<DWORD64>(&VexlorOsExceptionStub);
  return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallTranslation() {
  static std::once_flag once;
  // Last in the chain: a crash reporter's handler sees the fault first.
  std::call_once(once, [] { AddVectoredExceptionHandler(0, &TranslateFault); });
}

std::string ModuleNameOf(const void* address) {
  HMODULE module = nullptr;
  char name[MAX_PATH] = {};
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    GetModuleFileNameA(module, name, MAX_PATH);
  }
  return name;
}

}  // namespace

extern "C" void VexlorThrowPendingOsException() {
  const TPendingFault fault = pending;
  RaiseOsException(fault.Code, fault.Address, fault.AccessKind, fault.AccessAddress,
                   ModuleNameOf(fault.Address));
}

TOsExceptionScope::TOsExceptionScope() {
  InstallTranslation();
  ++scopeDepth;
}

TOsExceptionScope::~TOsExceptionScope() {
  --scopeDepth;
}
