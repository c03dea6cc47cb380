// The call-stack and modules tables: which rows print, repeated runs, and
// columns that widen for long cells and labels.
#include "reporter/report/ReportTables.h"

#include <gtest/gtest.h>

namespace {

const std::string kStackTail = "\r\n\r\nModules Information:\r\n";

TVexlorModuleInfo Module(std::uintptr_t handle, std::string fileName) {
  TVexlorModuleInfo info;
  info.Handle = handle;
  info.FileName = std::move(fileName);
  return info;
}

}  // namespace

TEST(ReportTables, OnlyEntriesWithAProcedureArePrinted) {
  TVexlorModuleInfo player = Module(0x140000000, "C:\\Kiosk\\player.exe");
  TVexlorStackList stack;
  stack.Add({dikAddressOnly, nullptr, 0x1000, "", "", "", 0});
  stack.Add({dikModule, &player, 0x140001000, "", "", "", 0});
  stack.Add({dikProcedure, &player, 0x140001234, "", "", "WinMain", 0});
  stack.Add({dikSourceLine, &player, 0x140002000, "Main.cpp", "", "main", 7});
  EXPECT_EQ(BuildCallStackTable(DefaultCustomizedTexts(), &stack),
            "Call Stack Information:\r\n"
            "------------------------------------------------------------------\r\n"
            "|Address         |Module    |Unit    |Class|Procedure/Method|Line|\r\n"
            "------------------------------------------------------------------\r\n"
            "|0000000140001234|player.exe|        |     |WinMain         |    |\r\n"
            "|0000000140002000|player.exe|Main.cpp|     |main            |7   |\r\n"
            "------------------------------------------------------------------" +
                kStackTail);
}

TEST(ReportTables, ARunOfTheSameProcedureAndLineIsPrintedOnceWithItsCount) {
  TVexlorModuleInfo player = Module(0x140000000, "C:\\Kiosk\\player.exe");
  TVexlorStackList stack;
  stack.Add({dikSourceLine, &player, 0x140001000, "Tree.cpp", "", "Descend", 5});
  for (int i = 0; i < 4; ++i)
    stack.Add({dikSourceLine, &player, 0x140001020, "Tree.cpp", "", "Descend", 9});
  // Rows without a line repeat only at the same address.
  stack.Add({dikProcedure, &player, 0x140003000, "", "", "Walk", 0});
  stack.Add({dikProcedure, &player, 0x140003010, "", "", "Walk", 0});
  stack.Add({dikProcedure, &player, 0x140003010, "", "", "Walk", 0});
  stack.Add({dikSourceLine, &player, 0x140002000, "Main.cpp", "", "main", 7});
  const std::string table = BuildCallStackTable(DefaultCustomizedTexts(), &stack);
  EXPECT_NE(table.find("|0000000140001000|player.exe|Tree.cpp|     |Descend         |5   |\r\n"
                       "|0000000140001020|player.exe|Tree.cpp|     |Descend         |9   |\r\n"
                       "  ... repeated 3 more times\r\n"
                       "|0000000140003000|player.exe|        |     |Walk            |    |\r\n"
                       "|0000000140003010|player.exe|        |     |Walk            |    |\r\n"
                       "  ... repeated 1 more time\r\n"
                       "|0000000140002000|player.exe|Main.cpp|     |main            |7   |\r\n"),
            std::string::npos)
      << table;
}

TEST(ReportTables, AStackWithNothingPrintableClosesAtOnce) {
  const std::string empty =
      "Call Stack Information:\r\n"
      "----------------------------------------------------------\r\n"
      "|Address         |Module|Unit|Class|Procedure/Method|Line|\r\n"
      "----------------------------------------------------------\r\n"
      "----------------------------------------------------------" +
      kStackTail;
  TVexlorStackList stack;
  stack.Add({dikModule, nullptr, 0x1000, "", "", "", 0});
  EXPECT_EQ(BuildCallStackTable(DefaultCustomizedTexts(), &stack), empty);
  // A missing list prints like an empty one instead of two rules on a line.
  EXPECT_EQ(BuildCallStackTable(DefaultCustomizedTexts(), nullptr), empty);
}

TEST(ReportTables, LongNamesWidenTheirColumns) {
  TVexlorModuleInfo library =
      Module(0x7FF800000000, "C:\\Program Files\\Vendor\\MediaFoundationBridge.dll");
  TVexlorStackList stack;
  stack.Add({dikSourceLine, &library, 0x7FF800012345, "reporter/capture/StackWalk.cpp",
             "TVexlorStackList", "WalkStackFromTheExceptionAddress", 123456});
  const std::string table = BuildCallStackTable(DefaultCustomizedTexts(), &stack);
  EXPECT_NE(table.find("|Address         |Module                   |Unit                          "
                       "|Class           |Procedure/Method                |Line  |\r\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("|00007FF800012345|MediaFoundationBridge.dll|reporter/capture/StackWalk.cpp"
                       "|TVexlorStackList|WalkStackFromTheExceptionAddress|123456|\r\n"),
            std::string::npos);
}

TEST(ReportTables, ModulePathsAndSizes) {
  TVexlorModuleInfo root = Module(0x400000, "C:\\player.exe");
  root.FileSize = 0;
  TVexlorModuleInfo deep = Module(0x7FFB12340000, "D:\\Apps\\Kiosk\\bin\\codec.dll");
  deep.Description = "Codec\r\nbridge";  // a resource with a line break in it
  deep.Version = "2.0.1.7";
  deep.FileSize = 4294967295u;
  EXPECT_EQ(
      BuildModulesTable(DefaultCustomizedTexts(), {&root, &deep}),
      "--------------------------------------------------------------------------------\r\n"
      "|Handle          |Name      |Description  |Version|Size      |Path             |\r\n"
      "--------------------------------------------------------------------------------\r\n"
      "|0000000000400000|player.exe|             |       |0         |C:\\              |\r\n"
      "|00007FFB12340000|codec.dll |Codec  bridge|2.0.1.7|4294967295|D:\\Apps\\Kiosk\\bin|\r\n"
      "--------------------------------------------------------------------------------");
}

TEST(ReportTables, ALongHandleLabelWidensTheHandles) {
  TCustomizedTexts texts = DefaultCustomizedTexts();
  texts[static_cast<std::size_t>(TCustomizedText::ModulesHandle)] = "Module base address";  // 19
  texts[static_cast<std::size_t>(TCustomizedText::ModulesHandle)].resize(18);
  TVexlorModuleInfo player = Module(0x140000000, "C:\\Kiosk\\player.exe");
  const std::string table = BuildModulesTable(texts, {&player});
  EXPECT_NE(table.find("\r\n|Module base addres|Name      |"), std::string::npos) << table;
  EXPECT_NE(table.find("\r\n|000000000140000000|player.exe|"), std::string::npos) << table;
  EXPECT_EQ(table.find('\n', table.rfind("\r\n") + 2), std::string::npos);  // no final break
}
