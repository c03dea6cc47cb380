// Reading the names table and the units' line tables, with an index of the
// units so a lookup decodes only the unit that holds the address.
#include "reporter/debugdata/DebugData.h"

#include <algorithm>
#include <cstring>

bool TDebugDataReader::Seek(std::size_t position) {
  if (position > FSize) return false;
  FPos = position;
  return true;
}

bool TDebugDataReader::ReadU8(std::uint8_t& value) {
  if (FSize - FPos < 1) return false;
  value = FData[FPos++];
  return true;
}

bool TDebugDataReader::ReadU16(std::uint16_t& value) {
  if (FSize - FPos < 2) return false;
  value = static_cast<std::uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
  FPos += 2;
  return true;
}

bool TDebugDataReader::ReadU32(std::uint32_t& value) {
  if (FSize - FPos < 4) return false;
  value = static_cast<std::uint32_t>(FData[FPos]) |
          (static_cast<std::uint32_t>(FData[FPos + 1]) << 8) |
          (static_cast<std::uint32_t>(FData[FPos + 2]) << 16) |
          (static_cast<std::uint32_t>(FData[FPos + 3]) << 24);
  FPos += 4;
  return true;
}

bool TDebugDataReader::ReadName(std::string& name) {
  std::uint8_t length = 0;
  if (!ReadU8(length) || FSize - FPos < length) return false;
  name.resize(length);
  for (std::size_t i = 0; i < length; ++i)
    name[i] = static_cast<char>(FData[FPos + i] ^ kDebugNameKey);
  FPos += length;
  return true;
}

namespace {

// Line deltas live in a signed 16-bit field: 0x8000..0xFFFF step back, 0x10000
// wraps to 0.
std::int32_t AsLineDelta(std::uint32_t value) {
  return static_cast<std::int16_t>(value & 0xFFFF);
}

}  // namespace

bool ReadLineTableEntry(TDebugDataReader& reader, std::uint16_t version, TLineTableEntry& entry) {
  const std::size_t start = reader.Position();
  std::uint8_t first = 0;
  if (!reader.ReadU8(first)) return false;
  if ((first & 1) == 0) {
    entry = {static_cast<std::uint32_t>(((first >> 1) & 0x1F) + 1), ((first >> 6) & 3) + 1, false};
    return true;
  }
  if ((first & 2) == 0) {
    entry = {static_cast<std::uint32_t>(((first >> 2) & 7) + 1), ((first >> 5) & 7) + 1, true};
    return true;
  }
  reader.Seek(start);
  const bool hasName = (first & 4) != 0;
  if ((first & 8) == 0) {
    std::uint16_t word = 0;
    if (!reader.ReadU16(word)) return false;
    entry = {static_cast<std::uint32_t>(((word >> 4) & 0x7F) + 1), ((word >> 11) & 0x1F) + 1,
             hasName};
    return true;
  }
  std::uint32_t dword = 0;
  if (!reader.ReadU32(dword)) return false;
  if ((dword >> 4) == 0x0FFEFFFE && version >= kEscapeEntryVersion) {
    std::uint16_t lineWord = 0, addrWord = 0;
    if (!reader.ReadU16(lineWord) || !reader.ReadU16(addrWord)) return false;
    entry = {static_cast<std::uint32_t>(addrWord) + 1, AsLineDelta(lineWord + 1u), hasName};
    return true;
  }
  const std::uint32_t addrField = dword >> 20;
  entry = {addrField == 0xFFF ? 0 : addrField + 1, AsLineDelta(((dword >> 4) & 0xFFFF) + 1),
           hasName};
  return true;
}

std::string CompleteUnitName(const std::string& name) {
  return name.find('.') == std::string::npos ? name + kUnitExtension : name;
}

namespace {

bool SkipNamesTable(TDebugDataReader& reader, std::uint16_t version) {
  if (version < kNamesTableVersion) return true;
  std::uint32_t length = 0;
  return reader.ReadU32(length) && reader.Skip(length);
}

}  // namespace

bool ForEachDebugName(
    const std::uint8_t* data, std::size_t size, std::uint16_t version,
    const std::function<bool(const std::string& name, std::uint32_t offset)>& visit) {
  if (version < kNamesTableVersion) return true;
  TDebugDataReader reader(data, size);
  std::uint32_t length = 0;
  if (!reader.ReadU32(length) || length > size - reader.Position()) return false;
  const std::size_t end = reader.Position() + length;
  std::string name;
  while (reader.Position() < end) {
    std::uint32_t offset = 0, reserved = 0;
    if (!reader.ReadName(name) || !reader.ReadU32(offset) || !reader.ReadU32(reserved))
      return false;
    if (reader.Position() > end) return false;
    if (!visit(name, offset)) return true;
  }
  return true;
}

bool ForEachDebugUnit(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                      const std::function<bool(const TDebugUnit& unit)>& visit) {
  TDebugDataReader reader(data, size);
  std::uint32_t count = 0;
  if (!SkipNamesTable(reader, version) || !reader.ReadU32(count)) return false;
  TDebugUnit unit;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string name;
    if (!reader.ReadName(name) || !reader.ReadU32(unit.FirstLine) || !reader.ReadU32(unit.Offset) ||
        !reader.ReadU32(unit.CodeSize) || !reader.ReadU32(unit.TableSize))
      return false;
    unit.Name = CompleteUnitName(name);
    unit.TableStart = reader.Position();
    if (!reader.Skip(unit.TableSize)) return false;
    if (!visit(unit)) return true;
  }
  return true;
}

namespace {

// A name of at most 255 bytes, kept without allocating: a table may carry
// thousands of names and a lookup runs after a fault.
struct TShortName {
  char Text[256];
  std::uint8_t Length = 0;
  void Assign(const char* text, std::size_t length) {
    Length = static_cast<std::uint8_t>(length);
    std::memcpy(Text, text, Length);
  }
  std::string Str() const { return std::string(Text, Length); }
};

// Decodes one unit's line table until the address is found.
class TLineTableWalk {
 public:
  TLineTableWalk(std::uint16_t version, std::uint64_t unitStart, std::uint64_t unitLast,
                 std::uint32_t firstLine)
      : FVersion(version),
        FAddress(unitStart),
        FUnitLast(unitLast),
        FLine(static_cast<std::int32_t>(firstLine)) {}

  bool Find(TDebugDataReader& reader, std::size_t tableEnd, std::uint64_t address,
            TVexlorDebugInfo& info) {
    while (reader.Position() < tableEnd && FAddress <= address) {
      TLineTableEntry entry;
      if (!ReadLineTableEntry(reader, FVersion, entry)) return false;
      if (entry.HasName && !TakeName(reader)) return false;
      if (reader.Position() > tableEnd) return false;
      if (entry.AddrDelta > 0 && address < FAddress + entry.AddrDelta) return Hit(info);
      FProcedure = FLastName;
      // Wraps instead of overflowing on hostile data.
      FLine = static_cast<std::int32_t>(static_cast<std::uint32_t>(FLine) +
                                        static_cast<std::uint32_t>(entry.LineDelta));
      FAddress += entry.AddrDelta;
    }
    // The run after the last entry reaches to the unit's last byte.
    if (reader.Position() >= tableEnd && FAddress <= address && address <= FUnitLast)
      return Hit(info);
    return false;
  }

 private:
  bool TakeName(TDebugDataReader& reader) {
    std::uint8_t length = 0;
    char name[256];
    if (!reader.ReadU8(length)) return false;
    for (std::size_t i = 0; i < length; ++i) {
      std::uint8_t byte = 0;
      if (!reader.ReadU8(byte)) return false;
      name[i] = static_cast<char>(byte ^ kDebugNameKey);
    }
    const char* dot = static_cast<const char*>(std::memchr(name, '.', length));
    TShortName className;
    const char* procedure = name;
    std::size_t procedureLength = length;
    if (length > 0 && name[0] == '.') {
      className = FSavedClass;
      procedure = name + 1;
      procedureLength = length - 1u;
    } else if (dot != nullptr) {
      className.Assign(name, static_cast<std::size_t>(dot - name));
      procedure = dot + 1;
      procedureLength = length - static_cast<std::size_t>(dot - name) - 1;
    }
    FLastName.Assign(procedure, procedureLength);
    if (FLastName.Length > 0 && FLastName.Text[0] == '@') FLastName.Text[0] = '_';
    if (className.Length > 0) FSavedClass = className;
    FClass = className;
    if (FProcedure.Length == 0) FProcedure = FLastName;
    return true;
  }

  bool Hit(TVexlorDebugInfo& info) const {
    info.Kind = dikSourceLine;
    info.ClassName = FClass.Str();
    info.ProcedureName = FProcedure.Str();
    info.Line = FLine;
    return true;
  }

  std::uint16_t FVersion;
  std::uint64_t FAddress;
  std::uint64_t FUnitLast;
  std::int32_t FLine;
  TShortName FClass, FSavedClass, FProcedure, FLastName;
};

}  // namespace

namespace {

// Reads one unit header without decoding its name. False past the data.
bool ReadUnitHeader(TDebugDataReader& reader, std::uint32_t& offset, std::uint32_t& codeSize,
                    std::size_t& headerPosition) {
  headerPosition = reader.Position();
  std::uint8_t nameLength = 0;
  std::uint32_t firstLine = 0, tableSize = 0;
  return reader.ReadU8(nameLength) && reader.Skip(nameLength) && reader.ReadU32(firstLine) &&
         reader.ReadU32(offset) && reader.ReadU32(codeSize) && reader.ReadU32(tableSize) &&
         reader.Skip(tableSize);
}

// Decodes the unit whose header is at headerPosition when it holds address.
bool LookupInUnit(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                  std::uint64_t codeBase, std::size_t headerPosition, std::uint64_t address,
                  TVexlorDebugInfo& info) {
  TDebugDataReader reader(data, size);
  reader.Seek(headerPosition);
  TDebugUnit unit;
  std::string name;
  if (!reader.ReadName(name) || !reader.ReadU32(unit.FirstLine) || !reader.ReadU32(unit.Offset) ||
      !reader.ReadU32(unit.CodeSize) || !reader.ReadU32(unit.TableSize))
    return false;
  unit.TableStart = reader.Position();
  if (unit.CodeSize == 0 || unit.TableSize > size - unit.TableStart) return false;
  const std::uint64_t first = codeBase + unit.Offset;
  const std::uint64_t last = first + unit.CodeSize - 1;
  if (address < first || address > last) return false;
  TVexlorDebugInfo result;
  TLineTableWalk walk(version, first, last, unit.FirstLine);
  if (!walk.Find(reader, unit.TableStart + unit.TableSize, address, result)) return false;
  info.Kind = result.Kind;
  info.Address = static_cast<std::uintptr_t>(address);
  info.UnitName = CompleteUnitName(name);
  info.ClassName = std::move(result.ClassName);
  info.ProcedureName = std::move(result.ProcedureName);
  info.Line = result.Line;
  return true;
}

}  // namespace

void BuildDebugUnitIndex(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                         TDebugUnitIndex& index) {
  index.clear();
  TDebugDataReader reader(data, size);
  std::uint32_t count = 0;
  if (!SkipNamesTable(reader, version) || !reader.ReadU32(count)) return;
  std::uint64_t previousEnd = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    TDebugUnitIndexEntry entry{};
    if (!ReadUnitHeader(reader, entry.Offset, entry.CodeSize, entry.HeaderPosition) ||
        entry.Offset < previousEnd) {
      index.clear();  // out of order or cut short: lookups scan
      return;
    }
    previousEnd = static_cast<std::uint64_t>(entry.Offset) + entry.CodeSize;
    if (entry.CodeSize != 0) index.push_back(entry);
  }
}

bool LookupDebugData(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                     std::uintptr_t base, std::uintptr_t address, TVexlorDebugInfo& info,
                     const TDebugUnitIndex* index) {
  const std::uint64_t codeBase = static_cast<std::uint64_t>(base) + kCodeOffsetBase;
  if (address < codeBase) return false;
  if (index != nullptr && !index->empty()) {
    const std::uint64_t offset = address - codeBase;
    std::size_t low = 0, high = index->size();
    while (low < high) {  // first unit starting above the offset
      const std::size_t middle = (low + high) / 2;
      if ((*index)[middle].Offset <= offset)
        low = middle + 1;
      else
        high = middle;
    }
    if (low == 0) return false;
    const TDebugUnitIndexEntry& unit = (*index)[low - 1];
    if (offset - unit.Offset >= unit.CodeSize) return false;
    return LookupInUnit(data, size, version, codeBase, unit.HeaderPosition, address, info);
  }
  // Units are tried in their order; the first that holds the address answers.
  TDebugDataReader reader(data, size);
  std::uint32_t count = 0;
  if (!SkipNamesTable(reader, version) || !reader.ReadU32(count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t offset = 0, codeSize = 0;
    std::size_t headerPosition = 0;
    if (!ReadUnitHeader(reader, offset, codeSize, headerPosition)) return false;
    const std::uint64_t first = codeBase + offset;
    if (codeSize != 0 && address >= first && address - first < codeSize &&
        LookupInUnit(data, size, version, codeBase, headerPosition, address, info))
      return true;
  }
  return false;
}

std::optional<std::uint32_t> FindProcedureOffset(const std::uint8_t* data, std::size_t size,
                                                 std::uint16_t version, const std::string& name) {
  std::optional<std::uint32_t> result;
  ForEachDebugName(data, size, version, [&](const std::string& entry, std::uint32_t offset) {
    if (entry == name) result = offset;
    return !result;
  });
  return result;
}

namespace {

// Where the units end: behind the table of the unit written last.
bool EndOfUnits(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                const TDebugUnitIndex* index, std::size_t& end) {
  if (index && !index->empty()) {
    std::size_t last = 0;
    for (const TDebugUnitIndexEntry& entry : *index) last = std::max(last, entry.HeaderPosition);
    TDebugDataReader reader(data, size);
    std::string name;
    std::uint32_t firstLine = 0, offset = 0, codeSize = 0, tableSize = 0;
    if (!reader.Seek(last) || !reader.ReadName(name) || !reader.ReadU32(firstLine) ||
        !reader.ReadU32(offset) || !reader.ReadU32(codeSize) || !reader.ReadU32(tableSize) ||
        !reader.Skip(tableSize))
      return false;
    end = reader.Position();
    return true;
  }
  TDebugDataReader reader(data, size);
  std::uint32_t count = 0;
  if (!SkipNamesTable(reader, version) || !reader.ReadU32(count)) return false;
  end = reader.Position();
  return ForEachDebugUnit(data, size, version, [&](const TDebugUnit& unit) {
    end = std::max(end, unit.TableStart + unit.TableSize);
    return true;
  });
}

}  // namespace

void LookupInlineCallers(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                         std::uintptr_t base, std::uintptr_t address,
                         std::vector<TVexlorDebugInfo>& callers, const TDebugUnitIndex* index) {
  callers.clear();
  std::size_t end = 0;
  if (address < base + kCodeOffsetBase || !EndOfUnits(data, size, version, index, end)) return;
  const std::uint64_t offset = address - base - kCodeOffsetBase;
  TDebugDataReader reader(data, size);
  std::uint32_t tag = 0, length = 0, nameCount = 0, siteCount = 0;
  if (!reader.Seek(end) || !reader.ReadU32(tag) || tag != kInlineSitesTag ||
      !reader.ReadU32(length) || length > size - reader.Position())
    return;
  TDebugDataReader part(data + reader.Position(), length);
  if (!part.ReadU32(nameCount) || nameCount > length) return;
  std::vector<std::string> names(nameCount);
  for (std::string& name : names)
    if (!part.ReadName(name)) return;
  if (!part.ReadU32(siteCount)) return;
  struct TFound {
    std::uint8_t Depth;
    TVexlorDebugInfo Info;
  };
  std::vector<TFound> found;
  for (std::uint32_t i = 0; i < siteCount; ++i) {
    std::uint32_t start = 0, codeSize = 0, line = 0, unit = 0, cls = 0, procedure = 0;
    std::uint8_t depth = 0;
    if (!part.ReadU32(start) || !part.ReadU32(codeSize) || !part.ReadU8(depth) ||
        !part.ReadU32(line) || !part.ReadU32(unit) || !part.ReadU32(cls) ||
        !part.ReadU32(procedure))
      break;
    if (start > offset) break;  // the sites are in address order
    if (offset - start >= codeSize) continue;
    if (unit >= nameCount || cls >= nameCount || procedure >= nameCount) continue;
    TVexlorDebugInfo info;
    info.Kind = dikSourceLine;
    info.Address = address;
    info.UnitName = CompleteUnitName(names[unit]);
    info.ClassName = names[cls];
    info.ProcedureName = names[procedure];
    info.Line = line;
    found.push_back({depth, std::move(info)});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const TFound& a, const TFound& b) { return a.Depth > b.Depth; });
  for (TFound& site : found) callers.push_back(std::move(site.Info));
}
