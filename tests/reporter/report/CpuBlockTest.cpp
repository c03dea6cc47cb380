// The processor block with and without registers and dump, and with custom
// labels.
#include "reporter/report/CpuBlock.h"

#include <gtest/gtest.h>

namespace {

const TCpuBlockLabels kDefaultLabels{"Registers", "Stack", "Memory Dump"};

const char* const kHeadings =
    "Stack:                               Memory Dump:\r\n"
    "----------------------------------   "
    "-----------------------------------------------------------------------------------\r\n";

TReportCpuContext SampleContext() {
  TReportCpuContext c;
  c.Rax = 0;
  c.Rdi = 0x12F5A8;
  c.Rbx = 0xA61F30;
  c.Rsi = 0x12F6B4;
  c.Rcx = 1;
  c.Rsp = 0x12F590;
  c.Rdx = 0x48C1F2;
  c.Rip = 0x7FF6A1B2C3D4;
  c.R8 = 8;
  c.R9 = 9;
  c.R10 = 0x10;
  c.R11 = 0x11;
  c.R12 = 0x12;
  c.R13 = 0x13;
  c.R14 = 0x14;
  c.R15 = 0xFFFFFFFFFFFFFFFF;
  return c;
}

}  // namespace

TEST(CpuBlock, RegistersInPairsWithoutDump) {
  EXPECT_EQ(BuildCpuText(kDefaultLabels, SampleContext(), std::nullopt),
            std::string("Registers:\r\n"
                        "---------------------------------------------\r\n"
                        "RAX: 0000000000000000   RDI: 000000000012F5A8\r\n"
                        "RBX: 0000000000A61F30   RSI: 000000000012F6B4\r\n"
                        "RCX: 0000000000000001   RSP: 000000000012F590\r\n"
                        "RDX: 000000000048C1F2   RIP: 00007FF6A1B2C3D4\r\n"
                        "R8 : 0000000000000008   R9 : 0000000000000009\r\n"
                        "R10: 0000000000000010   R11: 0000000000000011\r\n"
                        "R12: 0000000000000012   R13: 0000000000000013\r\n"
                        "R14: 0000000000000014   R15: FFFFFFFFFFFFFFFF\r\n"
                        "\r\n") +
                kHeadings);
}

TEST(CpuBlock, NullContextKeepsTheLayout) {
  const std::string text = BuildCpuText(kDefaultLabels, std::nullopt, std::nullopt);
  EXPECT_EQ(text, std::string("Registers:\r\n"
                              "---------------------------------------------\r\n"
                              "RAX: ????????           RDI: ????????        \r\n"
                              "RBX: ????????           RSI: ????????        \r\n"
                              "RCX: ????????           RSP: ????????        \r\n"
                              "RDX: ????????           RIP: ????????        \r\n"
                              "R8 : ????????           R9 : ????????        \r\n"
                              "R10: ????????           R11: ????????        \r\n"
                              "R12: ????????           R13: ????????        \r\n"
                              "R14: ????????           R15: ????????        \r\n"
                              "\r\n") +
                      kHeadings);
}

TEST(CpuBlock, DumpRowsPairStackSlotsWithCodeBytes) {
  TReportMemoryDump dump;
  dump.StackPointer = 0x12F590;
  dump.CodeAddress = 0x48C1F2;
  for (std::size_t i = 0; i < dump.Stack.size(); ++i) dump.Stack[i] = static_cast<std::uint8_t>(i);
  const std::uint8_t code[16] = {0x8B, 0x45, 0xFC, 0x8B, 0x00, 0xE8, 0x11, 0x22,
                                 0x33, 0x44, 0x5F, 0x5E, 0x5B, 0xC3, 0x7E, 0x20};
  for (std::size_t i = 0; i < dump.Code.size(); ++i) dump.Code[i] = code[i % 16];
  dump.Code[255] = 0x7F;

  const std::string text = BuildCpuText(kDefaultLabels, std::nullopt, dump);
  const std::size_t dumpStart = text.find(kHeadings);
  ASSERT_NE(dumpStart, std::string::npos);
  const std::string rows = text.substr(dumpStart + std::string(kHeadings).size());
  const std::string row0 =
      "000000000012F590: 0706050403020100   000000000048C1F2: "
      "8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 7E 20  .E.....\"3D_^[.~ \r\n";
  const std::string row1 =
      "000000000012F598: 0F0E0D0C0B0A0908   000000000048C202: "
      "8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 7E 20  .E.....\"3D_^[.~ \r\n";
  const std::string row15 =
      "000000000012F608: 7F7E7D7C7B7A7978   000000000048C2E2: "
      "8B 45 FC 8B 00 E8 11 22 33 44 5F 5E 5B C3 7E 7F  .E.....\"3D_^[.~.\r\n";
  EXPECT_EQ(rows.size(), 16 * row0.size());
  EXPECT_EQ(rows.substr(0, row0.size()), row0);
  EXPECT_EQ(rows.substr(row0.size(), row1.size()), row1);
  EXPECT_EQ(rows.substr(15 * row0.size()), row15);
}

TEST(CpuBlock, CustomLabelsAndALongStackHeading) {
  // 36 characters with the colon still get padded to the column...
  const std::string label35(35, 'S');
  const std::string padded = BuildCpuText({"CPU", label35, "Dump"}, std::nullopt, std::nullopt);
  EXPECT_NE(padded.find("\r\n" + label35 + ": Dump:\r\n"), std::string::npos);
  // ...37 and more run straight into the memory-dump label.
  const std::string label36(36, 'S');
  const std::string joined = BuildCpuText({"CPU", label36, "Dump"}, std::nullopt, std::nullopt);
  EXPECT_NE(joined.find("\r\n" + label36 + ":Dump:\r\n"), std::string::npos);
  EXPECT_EQ(joined.rfind("CPU:\r\n", 0), 0u);
}
