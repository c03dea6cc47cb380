// The processor block's text: register pairs in two columns, then the dump
// rows, stack beside code.
#include "reporter/report/CpuBlock.h"

#include "reporter/report/SystemFormats.h"

namespace {

constexpr std::size_t kValueDigits = 16;
// "RAX: " + value + "   " + "RDI: " + value
constexpr std::size_t kRegisterRowWidth = 5 + kValueDigits + 3 + 5 + kValueDigits;
// "address: value   ", the stack half of a dump row.
constexpr std::size_t kStackColumnWidth = kValueDigits + 2 + kValueDigits + 3;
constexpr std::size_t kMemoryColumnWidth = kValueDigits + 2 + 16 * 3 + 1 + 16;

std::string RegisterText(const std::optional<TReportCpuContext>& context,
                         std::uint64_t TReportCpuContext::*field) {
  if (!context) return "????????        ";
  return HexText((*context).*field, kValueDigits);
}

void AppendDumpRows(std::string& text, const TReportMemoryDump& dump) {
  for (std::size_t row = 0; row < 16; ++row) {
    std::uint64_t slot = 0;  // the slot as the little-endian machine stored it
    for (std::size_t i = 8; i-- > 0;) slot = slot << 8 | dump.Stack[row * 8 + i];
    text += HexText(dump.StackPointer + row * 8, kValueDigits);
    text += ": ";
    text += HexText(slot, kValueDigits);
    text += "   ";
    text += HexText(dump.CodeAddress + row * 16, kValueDigits);
    text += ": ";
    const std::uint8_t* bytes = dump.Code.data() + row * 16;
    for (std::size_t i = 0; i < 16; ++i) {
      text += HexText(bytes[i], 2);
      text += ' ';
    }
    text += ' ';
    for (std::size_t i = 0; i < 16; ++i) {
      text += bytes[i] >= 0x20 && bytes[i] <= 0x7E ? static_cast<char>(bytes[i]) : '.';
    }
    text += "\r\n";
  }
}

}  // namespace

std::string BuildCpuText(const TCpuBlockLabels& labels,
                         const std::optional<TReportCpuContext>& context,
                         const std::optional<TReportMemoryDump>& dump) {
  struct Row {
    const char* leftName;
    std::uint64_t TReportCpuContext::*left;
    const char* rightName;
    std::uint64_t TReportCpuContext::*right;
  };
  static constexpr Row kRows[] = {
      {"RAX", &TReportCpuContext::Rax, "RDI", &TReportCpuContext::Rdi},
      {"RBX", &TReportCpuContext::Rbx, "RSI", &TReportCpuContext::Rsi},
      {"RCX", &TReportCpuContext::Rcx, "RSP", &TReportCpuContext::Rsp},
      {"RDX", &TReportCpuContext::Rdx, "RIP", &TReportCpuContext::Rip},
      {"R8 ", &TReportCpuContext::R8, "R9 ", &TReportCpuContext::R9},
      {"R10", &TReportCpuContext::R10, "R11", &TReportCpuContext::R11},
      {"R12", &TReportCpuContext::R12, "R13", &TReportCpuContext::R13},
      {"R14", &TReportCpuContext::R14, "R15", &TReportCpuContext::R15},
  };

  std::string text;
  text.append(labels.Registers);
  text += ":\r\n";
  text.append(kRegisterRowWidth, '-');
  text += "\r\n";
  for (const Row& row : kRows) {
    text += row.leftName;
    text += ": ";
    text += RegisterText(context, row.left);
    text += "   ";
    text += row.rightName;
    text += ": ";
    text += RegisterText(context, row.right);
    text += "\r\n";
  }
  text += "\r\n";

  // A stack label too long for its column runs straight into the next one.
  std::string stackHeading(labels.Stack);
  stackHeading += ':';
  if (stackHeading.size() < kStackColumnWidth) {
    stackHeading.append(kStackColumnWidth - stackHeading.size(), ' ');
  }
  text += stackHeading;
  text.append(labels.MemoryDump);
  text += ":\r\n";
  text.append(kValueDigits + 2 + kValueDigits, '-');
  text += "   ";
  text.append(kMemoryColumnWidth, '-');
  text += "\r\n";
  if (dump) AppendDumpRows(text, *dump);
  return text;
}
