// The rows of the Call Stack and Modules pages and the add-in's record.
#include <gtest/gtest.h>

#include "reporter/dialogs/DialogRows.h"

namespace {

TVexlorModuleInfo Module(const std::string& name, std::uint8_t kind) {
  TVexlorModuleInfo module;
  module.FileName = name;
  module.ModuleKind = kind;
  return module;
}

TVexlorDebugInfo Item(std::uint8_t kind, TVexlorModuleInfo* module) {
  TVexlorDebugInfo item;
  item.Kind = kind;
  item.ModuleInfo = module;
  item.Address = 0x4012AB;
  item.UnitName = "Main.cpp";
  item.ProcedureName = "Tick";
  return item;
}

}  // namespace

TEST(DialogRows, CallStackRowsNameAProcedureButNoExportOfTheExecutable) {
  TVexlorModuleInfo exe = Module("C:\\Kiosk\\player.exe", mkExecutable);
  TVexlorModuleInfo dll = Module("C:\\Windows\\system32\\user32.dll", mkLibrary);
  EXPECT_FALSE(ShownInCallStackPage(Item(dikAddressOnly, nullptr)));
  EXPECT_FALSE(ShownInCallStackPage(Item(dikModule, &dll)));
  EXPECT_TRUE(ShownInCallStackPage(Item(dikProcedure, &exe)));
  EXPECT_FALSE(ShownInCallStackPage(Item(dikExportName, &exe)));
  EXPECT_TRUE(ShownInCallStackPage(Item(dikExportName, &dll)));
  EXPECT_TRUE(ShownInCallStackPage(Item(dikSourceLine, &exe)));
}

TEST(DialogRows, RowImagesByKindModuleAndExtension) {
  TVexlorModuleInfo exe = Module("player.exe", mkExecutable);
  TVexlorModuleInfo package = Module("rtl.bpl", mkPackage);
  TVexlorModuleInfo dll = Module("user32.dll", mkLibrary);
  EXPECT_EQ(StackRowImage(Item(dikSourceLine, &dll)), riPAS);
  EXPECT_EQ(StackRowImage(Item(dikProcedure, &exe)), riVCL);
  EXPECT_EQ(StackRowImage(Item(dikProcedure, &package)), riBPL);
  EXPECT_EQ(StackRowImage(Item(dikExportName, &dll)), riDLL);
  EXPECT_EQ(StackRowImage(Item(dikProcedure, nullptr)), riDLL);
  EXPECT_EQ(ModuleRowImage("C:\\a\\rtl.bpl"), riBPL);
  EXPECT_EQ(ModuleRowImage("design.DPL"), riBPL);
  EXPECT_EQ(ModuleRowImage("C:\\Kiosk\\Player.Exe"), riVCL);
  EXPECT_EQ(ModuleRowImage("kernel32.dll"), riDLL);
}

TEST(DialogRows, CellsArePointerWideWithEmptyLineForZero) {
  TVexlorModuleInfo exe = Module("C:\\Kiosk\\player.exe", mkExecutable);
  TVexlorDebugInfo item = Item(dikSourceLine, &exe);
  item.Line = 212;
  EXPECT_EQ(StackRowCells(item),
            (TRowCells{"00000000004012AB", "player.exe", "Main.cpp", "", "Tick", "212"}));
  item.Line = 0;
  EXPECT_EQ(StackRowCells(item)[5], "");

  exe.Handle = 0x400000;
  exe.Version = "1.1.0.248";
  exe.FileSize = 709120;
  exe.Description = "Video\tPlayer";
  EXPECT_EQ(ModuleRowCells(exe), (TRowCells{"0000000000400000", "player.exe", "Video Player",
                                            "1.1.x", "692 Kb", "C:\\Kiosk"}));
}

TEST(DialogRows, VersionsAndSizes) {
  EXPECT_EQ(ShortVersion("5.1.2600.2180"), "5.1.x");
  EXPECT_EQ(ShortVersion("1.2"), "1.2");
  EXPECT_EQ(ShortVersion(""), "");
  EXPECT_EQ(SizeInKb(0), "0 Kb");
  EXPECT_EQ(SizeInKb(1536), "2 Kb");
  EXPECT_EQ(SizeInKb(2560), "2 Kb");
  EXPECT_EQ(SizeInKb(2561), "3 Kb");
}

TEST(DialogRows, MailSlotRecordHoldsTheUnitAndTheLine) {
  auto record = MailSlotRecord("Main.cpp", 212);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data())), "Main.cpp");
  EXPECT_EQ(record[2048], 212);
  EXPECT_EQ(record[2049], 0);
  record = MailSlotRecord(std::string(3000, 'u'), 0x01020304);
  EXPECT_EQ(record[2046], 'u');
  EXPECT_EQ(record[2047], 0);
  EXPECT_EQ(record[2048], 4);
  EXPECT_EQ(record[2051], 1);
}
