// How the report writes the raw facts of the machine and of the exception.
// Pure functions: the platform answers are gathered elsewhere (SystemInfo.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Upper-case hexadecimal with leading zeros to at least `digits` digits.
std::string HexText(std::uint64_t value, std::size_t digits);

// Pointer-width address; empty for 0 (no address is known).
std::string ExceptionAddressText(std::uint64_t address);

// What the report knows of the exception object. ClassName is set when the
// object is a readable object of a known class; Message is set when that class
// descends from the general exception class, whose message it then is.
struct TReportExceptionObject {
  std::optional<std::string> ClassName;
  std::optional<std::string> Message;
};

std::string ExceptionTypeText(const TReportExceptionObject& object);
// The message with a closing '.', unless it already has one or is empty.
std::string ExceptionMessageText(const TReportExceptionObject& object);

// Bytes in whole mebibytes, halves to even: "511 Mb".
std::string MemoryText(std::uint64_t bytes);
// Bytes in gibibytes with at most two decimals, trailing zeros dropped and
// the locale's decimal separator: "37.26 Gb", "2 Gb".
std::string DiskText(std::uint64_t bytes, char decimalSeparator);

// Every argument after the program name in double quotes, joined by spaces.
std::string ParametersText(const std::vector<std::string>& arguments);

// The version facts the operating system reports.
struct TOSVersion {
  std::uint32_t PlatformId = 0;  // 1 = Windows 9x family, 2 = NT family
  std::uint32_t Major = 0;
  std::uint32_t Minor = 0;
  std::uint32_t Build = 0;
  std::string ServicePack;  // szCSDVersion
};

// "Microsoft Windows " plus the name of a system the table knows.
std::string OSTypeText(const TOSVersion& version);
std::string OSBuildText(const TOSVersion& version);
std::string OSUpdateText(const TOSVersion& version);

// The language id of a locale as EnumSystemLocales names it ("00000409" ->
// 0x0409), or nothing for a text that is not one.
std::optional<std::uint16_t> LanguageIdOfLocale(std::string_view locale);
