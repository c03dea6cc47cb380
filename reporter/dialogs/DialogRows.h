// What the Call Stack and Modules pages show in their rows, and the record a
// Call Stack row sends to an IDE add-in when it is activated.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "reporter/debugdata/DebugInfo.h"
#include "reporter/debugdata/ModuleInfo.h"

// Image indices of the two list pages, in the order the bitmaps are added.
enum TRowImage : int { riDLL = 0, riBPL = 1, riVCL = 2, riPAS = 3 };

using TRowCells = std::array<std::string, 6>;

// Rows name at least a procedure, but not export names of the executable
// itself (its debug data would have named them better).
bool ShownInCallStackPage(const TVexlorDebugInfo& item);
TRowImage StackRowImage(const TVexlorDebugInfo& item);
// Address (pointer-wide hex), module file name, unit, class, procedure, line
// (empty for 0).
TRowCells StackRowCells(const TVexlorDebugInfo& item);

TRowImage ModuleRowImage(const std::string& fileName);
// Handle (pointer-wide hex), file name, description, short version, size in
// Kb, folder.
TRowCells ModuleRowCells(const TVexlorModuleInfo& module);
// Cut after the second dot with "x" appended ("5.1.2600.2180" -> "5.1.x").
std::string ShortVersion(const std::string& version);
// Whole kibibytes, halves to even, and " Kb".
std::string SizeInKb(std::uint64_t bytes);

// The record for the add-in's mail slot: the unit name, zero-terminated, in
// the first 2048 bytes, then the line as 32-bit little-endian.
constexpr std::size_t kMailSlotRecordSize = 2052;
std::array<std::uint8_t, kMailSlotRecordSize> MailSlotRecord(const std::string& unit,
                                                             std::int32_t line);
constexpr const char* kMailSlotName = "\\\\.\\mailslot\\VexlorLog";
