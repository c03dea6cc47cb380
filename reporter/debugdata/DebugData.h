// The debug data carried by a module: a names table (qualified procedure name
// to code offset) and units with their line tables. Portable: the same code
// reads it in the running process and in the vexlor tool.
//
// Code offsets are relative to module base + 0x1000. All reads are bounds
// checked; data that ends early ends the lookup without a result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reporter/debugdata/DebugInfo.h"

// Key every name byte is XORed with, and the extension a unit name without a
// dot is completed with. The attach tool writes with the same values.
constexpr std::uint8_t kDebugNameKey = 0x3C;
inline constexpr const char kUnitExtension[] = ".cpp";
// Code offsets count from this distance above the module base.
constexpr std::uintptr_t kCodeOffsetBase = 0x1000;
// Names table present from this version on; escape entries from the next.
constexpr std::uint16_t kNamesTableVersion = 405;
constexpr std::uint16_t kEscapeEntryVersion = 423;

// Sequential little-endian reader over a byte block that refuses to run past
// its end instead of reading foreign memory.
class TDebugDataReader {
 public:
  TDebugDataReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  std::size_t Position() const { return FPos; }
  std::size_t Size() const { return FSize; }
  bool Seek(std::size_t position);
  bool Skip(std::size_t count) { return count <= FSize - FPos && Seek(FPos + count); }
  bool ReadU8(std::uint8_t& value);
  bool ReadU16(std::uint16_t& value);
  bool ReadU32(std::uint32_t& value);
  bool ReadName(std::string& name);  // scrambled name: length byte + XORed bytes

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

// One line-table entry: AddrDelta code bytes belong to the current line, then
// the line moves by LineDelta; a scrambled name follows when HasName.
struct TLineTableEntry {
  std::uint32_t AddrDelta = 0;
  std::int32_t LineDelta = 0;
  bool HasName = false;
};

bool ReadLineTableEntry(TDebugDataReader& reader, std::uint16_t version, TLineTableEntry& entry);

// A unit header as stored, the name completed with the unit extension.
struct TDebugUnit {
  std::string Name;
  std::uint32_t FirstLine = 0;
  std::uint32_t Offset = 0;
  std::uint32_t CodeSize = 0;
  std::size_t TableStart = 0;  // position of the line table in the data
  std::uint32_t TableSize = 0;
};

std::string CompleteUnitName(const std::string& name);

// Walks the names table (when the version has one); the callback returns
// false to stop. False when the data ends inside the table.
bool ForEachDebugName(
    const std::uint8_t* data, std::size_t size, std::uint16_t version,
    const std::function<bool(const std::string& name, std::uint32_t offset)>& visit);
// Walks the unit headers; the callback returns false to stop.
bool ForEachDebugUnit(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                      const std::function<bool(const TDebugUnit& unit)>& visit);

// Where each unit's header lies, for lookups without a scan over all unit
// headers. Built once per module; empty when the units are not in ascending,
// non-overlapping address order (then the lookup scans, as the format allows).
struct TDebugUnitIndexEntry {
  std::uint32_t Offset;
  std::uint32_t CodeSize;
  std::size_t HeaderPosition;
};
using TDebugUnitIndex = std::vector<TDebugUnitIndexEntry>;
void BuildDebugUnitIndex(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                         TDebugUnitIndex& index);

// Resolves an address of a module loaded at base. On a hit fills kind 4,
// address, unit, class, procedure and line (the module pointer is the
// caller's business) and returns true.
bool LookupDebugData(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                     std::uintptr_t base, std::uintptr_t address, TVexlorDebugInfo& info,
                     const TDebugUnitIndex* index = nullptr);

// The call sites of inlined code follow the units, as a part of their own:
// the tag "VLIS", its byte length, a 32-bit name count and the scrambled
// names, a 32-bit site count and the sites in address order, each a 32-bit
// code offset and size, an 8-bit depth, a 32-bit line of the call and three
// 32-bit name indexes (unit of the call, class and procedure it lies in).
// Data without the part, and readers that do not know it, stop at the units.
constexpr std::uint32_t kInlineSitesTag = 0x53494C56;

// For an address in inlined code, a row for each call it was inlined
// through, innermost first: the unit and line of the call, the class and
// procedure the call lies in (kind 4, the module pointer is the caller's
// business). Empty when the data has no call sites or the address is in no
// inlined code.
void LookupInlineCallers(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                         std::uintptr_t base, std::uintptr_t address,
                         std::vector<TVexlorDebugInfo>& callers,
                         const TDebugUnitIndex* index = nullptr);

// Code offset of a qualified procedure name ("Unit.Proc", "Unit.Class.Method"),
// compared case-sensitively.
std::optional<std::uint32_t> FindProcedureOffset(const std::uint8_t* data, std::size_t size,
                                                 std::uint16_t version, const std::string& name);
