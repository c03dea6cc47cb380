// The rows' cells and images, sizes in rounded kilobytes, short versions, and
// the add-in's fixed-size record of unit name and line.
#include "reporter/dialogs/DialogRows.h"

#include <algorithm>
#include <cstring>

#include "reporter/report/SystemFormats.h"
#include "reporter/report/TextFilters.h"
#include "runtime/FileNames.h"

namespace {

constexpr std::size_t kPointerDigits = sizeof(std::uintptr_t) * 2;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

bool ShownInCallStackPage(const TVexlorDebugInfo& item) {
  if (item.Kind < dikProcedure || item.Kind > dikSourceLine) return false;
  return !(item.Kind == dikExportName && item.ModuleInfo &&
           item.ModuleInfo->ModuleKind == mkExecutable);
}

TRowImage StackRowImage(const TVexlorDebugInfo& item) {
  if (item.Kind == dikSourceLine) return riPAS;
  const int kind = item.ModuleInfo ? item.ModuleInfo->ModuleKind : int{mkNotDetermined};
  switch (kind) {
    case mkExecutable:
      return riVCL;
    case mkPackage:
      return riBPL;
    default:
      return riDLL;
  }
}

TRowCells StackRowCells(const TVexlorDebugInfo& item) {
  return {HexText(item.Address, kPointerDigits),
          item.Kind == dikAddressOnly || !item.ModuleInfo
              ? std::string()
              : ReplaceControlChars(ExtractFileName(item.ModuleInfo->FileName)),
          ReplaceControlChars(item.UnitName),
          ReplaceControlChars(item.ClassName),
          ReplaceControlChars(item.ProcedureName),
          item.Line == 0 ? std::string() : std::to_string(item.Line)};
}

TRowImage ModuleRowImage(const std::string& fileName) {
  const std::string extension = Upper(ExtractFileExt(fileName));
  if (extension == ".BPL" || extension == ".DPL") return riBPL;
  if (extension == ".EXE") return riVCL;
  return riDLL;
}

TRowCells ModuleRowCells(const TVexlorModuleInfo& module) {
  return {HexText(module.Handle, kPointerDigits),
          ReplaceControlChars(ExtractFileName(module.FileName)),
          ReplaceControlChars(module.Description),
          ShortVersion(module.Version),
          SizeInKb(module.FileSize),
          ReplaceControlChars(ExtractFileDir(module.FileName))};
}

std::string ShortVersion(const std::string& version) {
  const std::size_t first = version.find('.');
  if (first == std::string::npos) return version;
  const std::size_t second = version.find('.', first + 1);
  if (second == std::string::npos) return version;
  return version.substr(0, second + 1) + "x";
}

std::string SizeInKb(std::uint64_t bytes) {
  std::uint64_t whole = bytes / 1024;
  const std::uint64_t rest = bytes % 1024;
  if (rest > 512 || (rest == 512 && whole % 2 == 1)) ++whole;
  return std::to_string(whole) + " Kb";
}

std::array<std::uint8_t, kMailSlotRecordSize> MailSlotRecord(const std::string& unit,
                                                             std::int32_t line) {
  std::array<std::uint8_t, kMailSlotRecordSize> record{};
  std::memcpy(record.data(), unit.data(), std::min<std::size_t>(unit.size(), 2047));
  const auto value = static_cast<std::uint32_t>(line);
  for (int i = 0; i < 4; ++i) record[2048 + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return record;
}
