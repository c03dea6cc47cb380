#include "reporter/capture/DebugData.h"

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
    std::string name;
    if (!reader.ReadName(name)) return false;
    std::string className, procedure;
    if (!name.empty() && name[0] == '.') {
      className = FSavedClass;
      procedure = name.substr(1);
    } else if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
      className = name.substr(0, dot);
      procedure = name.substr(dot + 1);
    } else {
      procedure = name;
    }
    if (!procedure.empty() && procedure[0] == '@') procedure[0] = '_';
    if (!className.empty()) FSavedClass = className;
    FClass = className;
    if (FProcedure.empty()) FProcedure = procedure;
    FLastName = procedure;
    return true;
  }

  bool Hit(TVexlorDebugInfo& info) const {
    info.Kind = dikSourceLine;
    info.ClassName = FClass;
    info.ProcedureName = FProcedure;
    info.Line = FLine;
    return true;
  }

  std::uint16_t FVersion;
  std::uint64_t FAddress;
  std::uint64_t FUnitLast;
  std::int32_t FLine;
  std::string FClass, FSavedClass, FProcedure, FLastName;
};

}  // namespace

bool LookupDebugData(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                     std::uintptr_t base, std::uintptr_t address, TVexlorDebugInfo& info) {
  const std::uint64_t codeBase = static_cast<std::uint64_t>(base) + kCodeOffsetBase;
  if (address < codeBase) return false;
  bool found = false;
  ForEachDebugUnit(data, size, version, [&](const TDebugUnit& unit) {
    if (unit.CodeSize == 0) return true;
    const std::uint64_t first = codeBase + unit.Offset;
    const std::uint64_t last = first + unit.CodeSize - 1;
    if (address < first || address > last) return true;
    TDebugDataReader reader(data, size);
    reader.Seek(unit.TableStart);
    TVexlorDebugInfo result;
    TLineTableWalk walk(version, first, last, unit.FirstLine);
    if (walk.Find(reader, unit.TableStart + unit.TableSize, address, result)) {
      info.Kind = result.Kind;
      info.Address = address;
      info.UnitName = unit.Name;
      info.ClassName = std::move(result.ClassName);
      info.ProcedureName = std::move(result.ProcedureName);
      info.Line = result.Line;
      found = true;
    }
    return !found;
  });
  return found;
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
