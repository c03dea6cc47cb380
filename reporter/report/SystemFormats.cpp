// The texts of the machine's and the exception's facts: addresses, sizes in
// bytes and gibibytes, the argument list and the Windows version names.
#include "reporter/report/SystemFormats.h"

#include <cstdio>

#include "reporter/report/TextFilters.h"

std::string HexText(std::uint64_t value, std::size_t digits) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
  std::string text(buffer);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

std::string ExceptionAddressText(std::uint64_t address) {
  return address == 0 ? std::string() : HexText(address, 16);
}

std::string ExceptionTypeText(const TReportExceptionObject& object) {
  return object.ClassName ? *object.ClassName : "Unknown exception type.";
}

std::string ExceptionMessageText(const TReportExceptionObject& object) {
  std::string text =
      object.ClassName && object.Message ? *object.Message : "Unknown error message.";
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

std::string MemoryText(std::uint64_t bytes) {
  std::uint64_t whole = bytes >> 20;
  const std::uint64_t rest = bytes & 0xFFFFF;
  if (rest > 0x80000 || (rest == 0x80000 && (whole & 1) != 0)) ++whole;
  return std::to_string(whole) + " Mb";
}

std::string DiskText(std::uint64_t bytes, char decimalSeparator) {
  // Hundredths of a gibibyte, half up, exact for any 64-bit size.
  const unsigned __int128 scaled = static_cast<unsigned __int128>(bytes) * 100;
  const unsigned __int128 unit = static_cast<unsigned __int128>(1) << 30;
  const auto hundredths = static_cast<std::uint64_t>((scaled + unit / 2) / unit);
  std::string text = std::to_string(hundredths / 100);
  const std::uint64_t fraction = hundredths % 100;
  if (fraction != 0) {
    text += decimalSeparator;
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return text + " Gb";
}

std::string ParametersText(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text += '"';
    text += argument;
    text += '"';
  }
  return text;
}

std::string OSTypeText(const TOSVersion& version) {
  std::string text = "Microsoft Windows ";
  const std::string servicePack = Trim(version.ServicePack);
  if (version.PlatformId == 1) {
    if (version.Minor < 10) {
      text += servicePack == "B" ? "95 OSR 2" : "95";
    } else if (version.Minor < 90) {
      text += servicePack == "A" ? "98 SE" : "98";
    } else if (version.Minor == 90) {
      text += "ME";
    }
  } else if (version.PlatformId == 2) {
    if (version.Major == 4) {
      text += "NT 4.0";
    } else if (version.Major == 5 && version.Minor == 0) {
      text += "2000";
    } else if (version.Major == 5 && version.Minor == 1) {
      text += "XP";
    } else if (version.Major == 5 && version.Minor == 2) {
      text += "2003";
    }
  }
  return text;
}

std::string OSBuildText(const TOSVersion& version) {
  return std::to_string(version.PlatformId == 2 ? version.Build : version.Build & 0xFFFF);
}

std::string OSUpdateText(const TOSVersion& version) {
  return Trim(version.ServicePack);
}

std::optional<std::uint16_t> LanguageIdOfLocale(std::string_view locale) {
  if (locale.size() < 8) return std::nullopt;
  std::uint16_t id = 0;
  for (char c : locale.substr(4, 4)) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    id = static_cast<std::uint16_t>(id * 16 + digit);
  }
  return id;
}
