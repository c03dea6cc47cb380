// The report's processor block: the registers at the exception and a dump of
// the stack beside the code at the exception address.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The integer registers of an x64 context.
struct TReportCpuContext {
  std::uint64_t Rax = 0, Rbx = 0, Rcx = 0, Rdx = 0, Rsi = 0, Rdi = 0, Rsp = 0, Rip = 0;
  std::uint64_t R8 = 0, R9 = 0, R10 = 0, R11 = 0, R12 = 0, R13 = 0, R14 = 0, R15 = 0;
};

// Copies of the memory the dump shows, taken while it was readable: 16 stack
// slots from the stack pointer and 16 rows of 16 bytes from the exception
// address.
struct TReportMemoryDump {
  static constexpr std::size_t StackBytes = 16 * 8;
  static constexpr std::size_t CodeBytes = 16 * 16;

  std::uint64_t StackPointer = 0;
  std::array<std::uint8_t, StackBytes> Stack{};
  std::uint64_t CodeAddress = 0;
  std::array<std::uint8_t, CodeBytes> Code{};
};

struct TCpuBlockLabels {
  std::string_view Registers;   // "Registers"
  std::string_view Stack;       // "Stack"
  std::string_view MemoryDump;  // "Memory Dump"
};

// A missing context prints placeholders in the same layout; a missing dump
// leaves the dump empty under its heading.
std::string BuildCpuText(const TCpuBlockLabels& labels,
                         const std::optional<TReportCpuContext>& context,
                         const std::optional<TReportMemoryDump>& dump);
