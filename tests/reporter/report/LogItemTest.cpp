// The header block's alignment, rules, hidden lines and empty sections.
#include "reporter/report/LogItem.h"

#include <gtest/gtest.h>

TEST(LogItem, AlignsColonsAndRulesEachSection) {
  TLogItem item;
  item.AddSection("Application");
  item.AddItem("Start Date", "Mon, 7 Dec 2026 09:12:05 +0300", true);
  item.AddItem("Name/Description", "Video Player", true);
  item.AddItem("Parameters", "", true);
  item.AddSection("Active Controls");
  item.AddItem("Form Class", "TfrmMain", true);
  item.AddItem("Control Text", "Play", true);
  EXPECT_EQ(item.GetText(),
            "Application:\r\n"
            "------------------------------------------------------\r\n"
            "  1.1 Start Date      : Mon, 7 Dec 2026 09:12:05 +0300\r\n"
            "  1.2 Name/Description: Video Player\r\n"
            "  1.3 Parameters      : \r\n"
            "\r\n"
            "Active Controls:\r\n"
            "----------------------------\r\n"
            "  2.1 Form Class  : TfrmMain\r\n"
            "  2.2 Control Text: Play\r\n");
}

TEST(LogItem, RuleCoversALongSectionLabel) {
  TLogItem item;
  item.AddSection("A rather long operating system heading");
  item.AddItem("Type", "X", true);
  EXPECT_EQ(item.GetText(),
            "A rather long operating system heading:\r\n"
            "---------------------------------------\r\n"
            "  1.1 Type: X\r\n");
}

TEST(LogItem, HiddenLinesKeepTheirNumbers) {
  TLogItem item;
  item.AddSection("Application");
  item.AddItem("Start Date", "a", true);
  item.AddItem("Name/Description", "hidden", false);
  item.AddItem("Version Number", "1.0", true);
  item.AddItem("Parameters", "hidden", false);
  // The hidden label takes no part in the alignment either.
  EXPECT_EQ(item.GetText(),
            "Application:\r\n"
            "-------------------------\r\n"
            "  1.1 Start Date    : a\r\n"
            "  1.3 Version Number: 1.0\r\n");
}

TEST(LogItem, EmptySectionsVanishWithTheirSeparator) {
  TLogItem item;
  item.AddSection("Application");
  item.AddItem("Start Date", "x", false);
  item.AddSection("Exception");
  item.AddItem("Date", "Mon, 7 Dec 2026 09:40:51 +0300", true);
  item.AddItem("Address", "", false);
  item.AddSection("Active Controls");
  item.AddSection("Computer");
  item.AddItem("Name", "KIOSK", false);
  EXPECT_EQ(item.GetText(),
            "Exception:\r\n"
            "------------------------------------------\r\n"
            "  2.1 Date: Mon, 7 Dec 2026 09:40:51 +0300\r\n");
}

TEST(LogItem, EverythingHiddenGivesAnEmptyBlock) {
  TLogItem item;
  EXPECT_EQ(item.GetText(), "");
  item.AddSection("Application");
  item.AddItem("Start Date", "x", false);
  item.AddSection("Exception");
  EXPECT_EQ(item.GetText(), "");
}

TEST(LogItem, LabelWithColonSpaceMovesTheColumn) {
  // Alignment goes by the first ": " of each line: a short label with ": "
  // is pushed right like any other, a long one moves the whole column.
  TLogItem item;
  item.AddSection("Computer");
  item.AddItem("Name", "KIOSK-01", true);
  item.AddItem("RAM: total", "511 Mb", true);
  item.AddItem("User", "operator", true);
  EXPECT_EQ(item.GetText(),
            "Computer:\r\n"
            "-------------------------\r\n"
            "  1.1 Name: KIOSK-01\r\n"
            "  1.2 RAM : total: 511 Mb\r\n"
            "  1.3 User: operator\r\n");

  TLogItem longer;
  longer.AddSection("Computer");
  longer.AddItem("Memory in total: physical", "511 Mb", true);
  longer.AddItem("User", "operator", true);
  EXPECT_EQ(longer.GetText(),
            "Computer:\r\n"
            "---------------------------------------\r\n"
            "  1.1 Memory in total: physical: 511 Mb\r\n"
            "  1.2 User           : operator\r\n");
}

TEST(LogItem, ClearStartsOver) {
  TLogItem item;
  item.AddSection("One");
  item.AddItem("A", "1", true);
  item.Clear();
  item.AddSection("Two");
  item.AddItem("B", "2", true);
  EXPECT_EQ(item.GetText(), "Two:\r\n----------\r\n  1.1 B: 2\r\n");
}
