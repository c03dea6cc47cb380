// Control-byte filters, padding and trimming.
#include "reporter/report/TextFilters.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(TextFilters, ControlCharsBecomeSpacesWithoutChangingTheLength) {
  EXPECT_EQ(ReplaceControlChars("Line one\r\nLine\ttwo"), "Line one  Line two");
  EXPECT_EQ(ReplaceControlChars("a\0b\x1f"s), "a b ");
  // Bytes of the system code page above 0x7F are text, not control bytes.
  EXPECT_EQ(ReplaceControlChars("\xCE\xF8\xE8\xE1\xEA\xE0\x7F"), "\xCE\xF8\xE8\xE1\xEA\xE0\x7F");
  EXPECT_EQ(ReplaceControlChars(""), "");
}

TEST(TextFilters, KeepLinesVariantKeepsOnlyCrAndLf) {
  EXPECT_EQ(ReplaceControlCharsKeepLines("Access violation.\r\nRead\tof\x01"),
            "Access violation.\r\nRead of ");
  EXPECT_EQ(ReplaceControlCharsKeepLines("\n\r\0"s), "\n\r ");
}

TEST(TextFilters, PadRightWidensOnlyShorterTexts) {
  EXPECT_EQ(PadRight("Unit", 8), "Unit    ");
  EXPECT_EQ(PadRight("Unit", 4), "Unit");
  EXPECT_EQ(PadRight("Procedure", 4), "Procedure");
  EXPECT_EQ(PadRight("", 2), "  ");
}

TEST(TextFilters, TrimDropsBlanksAndControlsAtBothEnds) {
  EXPECT_EQ(Trim("  Service Pack 2\t\r\n"), "Service Pack 2");
  EXPECT_EQ(Trim(" \x01 "), "");
  EXPECT_EQ(Trim("B"), "B");
}
