// The texts of addresses, exception types, memory and disk sizes, parameters,
// system names and languages.
#include "reporter/report/SystemFormats.h"

#include <gtest/gtest.h>

TEST(SystemFormats, HexIsUpperCaseAndZeroFilled) {
  EXPECT_EQ(HexText(0x40ABCD, 16), "000000000040ABCD");
  EXPECT_EQ(HexText(0xFFFFFFFFFFFFFFFFull, 16), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(HexText(0x400000, 18), "000000000000400000");
  EXPECT_EQ(HexText(0xABC, 2), "ABC");
  EXPECT_EQ(ExceptionAddressText(0x40ABCD), "000000000040ABCD");
  EXPECT_EQ(ExceptionAddressText(0), "");
}

TEST(SystemFormats, ExceptionTypeAndMessage) {
  const TReportExceptionObject none;
  EXPECT_EQ(ExceptionTypeText(none), "Unknown exception type.");
  EXPECT_EQ(ExceptionMessageText(none), "Unknown error message.");

  // A class outside the exception hierarchy: its name, but no message.
  const TReportExceptionObject foreign{"TStringList", std::nullopt};
  EXPECT_EQ(ExceptionTypeText(foreign), "TStringList");
  EXPECT_EQ(ExceptionMessageText(foreign), "Unknown error message.");

  EXPECT_EQ(ExceptionMessageText({"EAccessViolation", "Access violation"}), "Access violation.");
  EXPECT_EQ(ExceptionMessageText({"EAccessViolation", "Done."}), "Done.");
  EXPECT_EQ(ExceptionMessageText({"Exception", ""}), "");
  EXPECT_EQ(ExceptionMessageText({"Exception", "Two\r\nlines"}), "Two\r\nlines.");
  // A message without a class is not trusted (the object was unreadable).
  EXPECT_EQ(ExceptionMessageText({std::nullopt, "stale"}), "Unknown error message.");
}

TEST(SystemFormats, MemoryInWholeMebibytesHalvesToEven) {
  EXPECT_EQ(MemoryText(536326144), "511 Mb");
  EXPECT_EQ(MemoryText(0), "0 Mb");
  EXPECT_EQ(MemoryText(1048576 / 2), "0 Mb");                // 0.5 -> 0
  EXPECT_EQ(MemoryText(1048576 + 1048576 / 2), "2 Mb");      // 1.5 -> 2
  EXPECT_EQ(MemoryText(2 * 1048576 + 1048576 / 2), "2 Mb");  // 2.5 -> 2
  EXPECT_EQ(MemoryText(2 * 1048576 + 1048576 / 2 + 1), "3 Mb");
  // Machines with more than 4 GiB: no 32-bit wrap.
  EXPECT_EQ(MemoryText(64ull << 30), "65536 Mb");
}

TEST(SystemFormats, DiskInGibibytesWithUpToTwoDecimals) {
  const std::uint64_t gib = 1ull << 30;
  EXPECT_EQ(DiskText(gib + gib / 2, '.'), "1.5 Gb");
  EXPECT_EQ(DiskText(gib + gib / 2, ','), "1,5 Gb");
  EXPECT_EQ(DiskText(2 * gib, '.'), "2 Gb");
  EXPECT_EQ(DiskText(40007729152ull, '.'), "37.26 Gb");
  EXPECT_EQ(DiskText(13314398618ull, '.'), "12.4 Gb");
  EXPECT_EQ(DiskText(gib / 8, '.'), "0.13 Gb");  // exactly 0.125: the half rounds up
  EXPECT_EQ(DiskText(gib / 201, '.'), "0 Gb");
  EXPECT_EQ(DiskText(gib * 100 - 1, '.'), "100 Gb");
  EXPECT_EQ(DiskText(0, '.'), "0 Gb");
  EXPECT_EQ(DiskText(0xFFFFFFFFFFFFFFFFull, '.'), "17179869184 Gb");
}

TEST(SystemFormats, ParametersAreQuotedOneByOne) {
  EXPECT_EQ(ParametersText({}), "");
  EXPECT_EQ(ParametersText({"a", "b c"}), "\"a\" \"b c\"");
  // Inner quotes are not escaped.
  EXPECT_EQ(ParametersText({"say \"hi\"", ""}), "\"say \"hi\"\" \"\"");
}

TEST(SystemFormats, OperatingSystemNames) {
  auto type = [](std::uint32_t platform, std::uint32_t major, std::uint32_t minor,
                 const char* pack) {
    return OSTypeText({platform, major, minor, 0, pack});
  };
  EXPECT_EQ(type(1, 4, 0, ""), "Microsoft Windows 95");
  EXPECT_EQ(type(1, 4, 0, " B "), "Microsoft Windows 95 OSR 2");
  EXPECT_EQ(type(1, 4, 10, "A"), "Microsoft Windows 98 SE");
  EXPECT_EQ(type(1, 4, 89, ""), "Microsoft Windows 98");
  EXPECT_EQ(type(1, 4, 90, "A"), "Microsoft Windows ME");
  EXPECT_EQ(type(1, 4, 91, ""), "Microsoft Windows ");
  EXPECT_EQ(type(2, 4, 0, "Service Pack 6"), "Microsoft Windows NT 4.0");
  EXPECT_EQ(type(2, 5, 0, ""), "Microsoft Windows 2000");
  EXPECT_EQ(type(2, 5, 1, "Service Pack 2"), "Microsoft Windows XP");
  EXPECT_EQ(type(2, 5, 2, ""), "Microsoft Windows 2003");
  EXPECT_EQ(type(2, 10, 0, ""), "Microsoft Windows ");

  EXPECT_EQ(OSBuildText({2, 5, 1, 2600, ""}), "2600");
  EXPECT_EQ(OSBuildText({1, 4, 10, 0x040A08AE, ""}), "2222");  // 9x keeps the low word
  EXPECT_EQ(OSUpdateText({2, 5, 1, 2600, " Service Pack 2\t"}), "Service Pack 2");
}

TEST(SystemFormats, LanguageIdOfLocaleText) {
  EXPECT_EQ(LanguageIdOfLocale("00000409"), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale("00010c0a"), 0x0C0A);
  EXPECT_EQ(LanguageIdOfLocale("0419"), std::nullopt);
  EXPECT_EQ(LanguageIdOfLocale("000004G9"), std::nullopt);
}
