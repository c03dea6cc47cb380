// The stack and code copies of the dump, read only when both are readable whole.
#include "reporter/report/MemoryDump.h"

std::optional<TReportMemoryDump> CaptureMemoryDump(TVexlorMemoryReader& memory,
                                                   std::uint64_t stackPointer,
                                                   std::uint64_t codeAddress) {
  TReportMemoryDump dump;
  dump.StackPointer = stackPointer;
  dump.CodeAddress = codeAddress;
  const auto stack = static_cast<std::uintptr_t>(stackPointer);
  const auto code = static_cast<std::uintptr_t>(codeAddress);
  if (!memory.IsValid(stack, dump.Stack.size()) || !memory.IsValid(code, dump.Code.size())) {
    return std::nullopt;
  }
  if (!memory.Read(stack, dump.Stack.data(), dump.Stack.size()) ||
      !memory.Read(code, dump.Code.data(), dump.Code.size())) {
    return std::nullopt;
  }
  return dump;
}
