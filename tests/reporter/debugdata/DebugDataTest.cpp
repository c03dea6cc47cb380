// The debug data's line-table entries in every form, and lookups in a unit
// built byte by byte, cut short anywhere.
#include "reporter/debugdata/DebugData.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void U16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void U32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Name(Bytes& out, const std::string& s) {
  out.push_back(static_cast<std::uint8_t>(s.size()));
  for (char c : s) out.push_back(static_cast<std::uint8_t>(c) ^ kDebugNameKey);
}
std::uint8_t Short(int addr, int line) {
  return static_cast<std::uint8_t>(((line - 1) << 6) | ((addr - 1) << 1));
}
std::uint8_t ShortNamed(int addr, int line) {
  return static_cast<std::uint8_t>(((line - 1) << 5) | ((addr - 1) << 2) | 1);
}
void Word(Bytes& out, int addr, int line, bool named) {
  U16(out,
      static_cast<std::uint16_t>(((line - 1) << 11) | ((addr - 1) << 4) | (named ? 4 : 0) | 3));
}
// addrField 0xFFF means no code bytes.
void Long(Bytes& out, std::uint32_t addrField, std::uint32_t lineField, bool named) {
  U32(out, (addrField << 20) | ((lineField & 0xFFFF) << 4) | (named ? 4 : 0) | 0xB);
}
void Escape(Bytes& out, std::uint16_t lineWord, std::uint16_t addrWord, bool named) {
  Long(out, 0xFFE, 0xFFFE, named);
  U16(out, lineWord);
  U16(out, addrWord);
}

TLineTableEntry ReadOne(const Bytes& bytes, std::uint16_t version = 458,
                        std::size_t* used = nullptr) {
  TDebugDataReader reader(bytes.data(), bytes.size());
  TLineTableEntry entry;
  EXPECT_TRUE(ReadLineTableEntry(reader, version, entry));
  if (used) *used = reader.Position();
  return entry;
}

TEST(LineTableEntry, EveryFormAndItsLimits) {
  TLineTableEntry e = ReadOne({Short(1, 1)});
  EXPECT_EQ(e.AddrDelta, 1u);
  EXPECT_EQ(e.LineDelta, 1);
  EXPECT_FALSE(e.HasName);
  e = ReadOne({Short(32, 4)});
  EXPECT_EQ(e.AddrDelta, 32u);
  EXPECT_EQ(e.LineDelta, 4);

  e = ReadOne({ShortNamed(8, 8)});
  EXPECT_EQ(e.AddrDelta, 8u);
  EXPECT_EQ(e.LineDelta, 8);
  EXPECT_TRUE(e.HasName);

  Bytes word;
  Word(word, 128, 32, true);
  std::size_t used = 0;
  e = ReadOne(word, 458, &used);
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(e.AddrDelta, 128u);
  EXPECT_EQ(e.LineDelta, 32);
  EXPECT_TRUE(e.HasName);

  Bytes longForm;
  Long(longForm, 0xFFE, 0x7FFE, false);  // largest forward step
  e = ReadOne(longForm, 458, &used);
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(e.AddrDelta, 4095u);
  EXPECT_EQ(e.LineDelta, 32767);
  EXPECT_FALSE(e.HasName);
}

TEST(LineTableEntry, LongFormLineDeltaIsSignedSixteenBit) {
  Bytes back;
  Long(back, 0, 0xFFFB, false);  // 0xFFFC acts as -4
  EXPECT_EQ(ReadOne(back).LineDelta, -4);
  Bytes zero;
  Long(zero, 0, 0xFFFF, false);  // 0x10000 wraps to 0
  EXPECT_EQ(ReadOne(zero).LineDelta, 0);
}

TEST(LineTableEntry, AddressFieldFFFConsumesNoCode) {
  Bytes bytes;
  Long(bytes, 0xFFF, 6, true);
  const TLineTableEntry e = ReadOne(bytes);
  EXPECT_EQ(e.AddrDelta, 0u);
  EXPECT_EQ(e.LineDelta, 7);
  EXPECT_TRUE(e.HasName);
}

TEST(LineTableEntry, EscapeCarriesSixteenBitWordsFromVersion423) {
  Bytes bytes;
  Escape(bytes, 999, 0xFFFF, false);
  std::size_t used = 0;
  TLineTableEntry e = ReadOne(bytes, 423, &used);
  EXPECT_EQ(used, 8u);
  EXPECT_EQ(e.AddrDelta, 0x10000u);
  EXPECT_EQ(e.LineDelta, 1000);

  // Before 423 the same first word is an ordinary long entry.
  e = ReadOne(bytes, 422, &used);
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(e.AddrDelta, 4095u);
  EXPECT_EQ(e.LineDelta, -1);
}

TEST(LineTableEntry, TruncatedEntryFails) {
  Bytes bytes;
  Escape(bytes, 1, 1, false);
  bytes.resize(6);
  TDebugDataReader reader(bytes.data(), bytes.size());
  TLineTableEntry entry;
  EXPECT_FALSE(ReadLineTableEntry(reader, 458, entry));
  const Bytes word = {0x03};
  TDebugDataReader wordReader(word.data(), word.size());
  EXPECT_FALSE(ReadLineTableEntry(wordReader, 458, entry));
}

// A module at 0x400000 whose unit "Forms" starts at code offset 0x100.
class UnitLookup : public ::testing::Test {
 protected:
  static constexpr std::uintptr_t kBase = 0x400000;
  static constexpr std::uintptr_t kStart = kBase + 0x1000 + 0x100;

  void Build(const Bytes& table, std::uint32_t codeSize, const std::string& unit = "Forms") {
    data.clear();
    Bytes names;
    Name(names, "Forms.TApp.Run");
    U32(names, 0x100);
    U32(names, 0);
    Name(names, "Forms.Helper");
    U32(names, 0x180);
    U32(names, 0);
    U32(data, static_cast<std::uint32_t>(names.size()));
    data.insert(data.end(), names.begin(), names.end());
    U32(data, 2);
    // A unit before it that does not hold the addresses asked for.
    Name(data, "Other");
    U32(data, 1);
    U32(data, 0x10);
    U32(data, 0x20);
    U32(data, 1);
    data.push_back(Short(32, 1));
    Name(data, unit);
    U32(data, 10);
    U32(data, 0x100);
    U32(data, codeSize);
    U32(data, static_cast<std::uint32_t>(table.size()));
    data.insert(data.end(), table.begin(), table.end());
  }

  TVexlorDebugInfo At(std::uintptr_t offsetInUnit, bool expectHit = true) {
    TVexlorDebugInfo info;
    EXPECT_EQ(LookupDebugData(data.data(), data.size(), 458, kBase, kStart + offsetInUnit, info),
              expectHit)
        << "offset " << offsetInUnit;
    return info;
  }

  Bytes data;
};

TEST_F(UnitLookup, NamesApplyFromTheNextEntryClassesAtOnce) {
  Bytes t;
  t.push_back(ShortNamed(3, 1));  // [0,2] line 10, first name applies at once
  Name(t, "TApp.Run");
  t.push_back(Short(32, 4));  // [3,34] line 11
  Word(t, 100, 20, true);     // [35,134] line 15, still Run
  Name(t, ".Stop");
  Long(t, 3999, static_cast<std::uint32_t>(-5 - 1),
       true);  // [135,4134] line 35, Stop; class TOther at once
  Name(t, "TOther.Go");
  Long(t, 0xFFF, 6, false);     // no code, line 30 -> 37
  Escape(t, 999, 59999, true);  // [4135,64134] line 37, Go
  Name(t, "Plain");
  Build(t, 64134 + 1 + 50);

  TVexlorDebugInfo info = At(0);
  EXPECT_EQ(info.Kind, dikSourceLine);
  EXPECT_EQ(info.Address, kStart);
  EXPECT_EQ(info.UnitName, "Forms.cpp");
  EXPECT_EQ(info.ClassName, "TApp");
  EXPECT_EQ(info.ProcedureName, "Run");
  EXPECT_EQ(info.Line, 10);
  EXPECT_EQ(At(2).Line, 10);
  EXPECT_EQ(At(3).Line, 11);
  EXPECT_EQ(At(34).ProcedureName, "Run");

  info = At(35);
  EXPECT_EQ(info.Line, 15);
  EXPECT_EQ(info.ProcedureName, "Run");
  EXPECT_EQ(info.ClassName, "TApp");

  info = At(135);
  EXPECT_EQ(info.Line, 35);
  EXPECT_EQ(info.ProcedureName, "Stop");
  EXPECT_EQ(info.ClassName, "TOther");  // the class change shows at once

  info = At(4135);
  EXPECT_EQ(info.Line, 37);
  EXPECT_EQ(info.ProcedureName, "Go");
  EXPECT_EQ(info.ClassName, "");  // "Plain" carries no class
  EXPECT_EQ(At(64134).Line, 37);

  // Past the last entry but inside the unit: the line reached at the end.
  info = At(64135);
  EXPECT_EQ(info.Line, 1037);
  EXPECT_EQ(info.ProcedureName, "Plain");
  EXPECT_EQ(At(64134 + 50).Line, 1037);
  At(64134 + 51, false);
}

TEST_F(UnitLookup, UnitNamesAreCompletedOnlyWithoutADot) {
  Bytes t;
  t.push_back(ShortNamed(4, 1));
  Name(t, "@Init");
  Build(t, 8, "Streams.h");
  TVexlorDebugInfo info = At(5);
  EXPECT_EQ(info.UnitName, "Streams.h");
  EXPECT_EQ(info.ProcedureName, "_Init");
  EXPECT_EQ(info.Line, 11);
}

TEST_F(UnitLookup, AddressesOutsideEveryUnitAreNotFound) {
  Build({Short(4, 1)}, 8);
  TVexlorDebugInfo info;
  EXPECT_TRUE(LookupDebugData(data.data(), data.size(), 458, kBase, kBase + 0x1000 + 0x2F, info));
  EXPECT_EQ(info.UnitName, "Other.cpp");
  info = TVexlorDebugInfo();
  EXPECT_FALSE(LookupDebugData(data.data(), data.size(), 458, kBase, kBase + 0x1000 + 0x30, info));
  EXPECT_FALSE(LookupDebugData(data.data(), data.size(), 458, kBase, kBase, info));
  EXPECT_FALSE(LookupDebugData(data.data(), data.size(), 458, kBase, kStart + 8, info));
  EXPECT_EQ(info.Kind, dikAddressOnly);
}

TEST_F(UnitLookup, DataCutAnywhereEndsWithoutAResult) {
  Bytes t;
  t.push_back(ShortNamed(3, 1));
  Name(t, "TApp.Run");
  Word(t, 100, 20, false);
  Build(t, 200);
  const Bytes full = data;
  for (std::size_t size = 0; size < full.size(); ++size) {
    TVexlorDebugInfo info;
    LookupDebugData(full.data(), size, 458, kBase, kStart + 150, info);  // must not read past size
  }
  TVexlorDebugInfo info;
  EXPECT_TRUE(LookupDebugData(full.data(), full.size(), 458, kBase, kStart + 150, info));
}

TEST_F(UnitLookup, ProcedureNamesAreFoundCaseSensitively) {
  Build({Short(4, 1)}, 8);
  EXPECT_EQ(FindProcedureOffset(data.data(), data.size(), 458, "Forms.Helper"), 0x180u);
  EXPECT_EQ(FindProcedureOffset(data.data(), data.size(), 458, "Forms.TApp.Run"), 0x100u);
  EXPECT_FALSE(FindProcedureOffset(data.data(), data.size(), 458, "forms.helper"));
  EXPECT_FALSE(FindProcedureOffset(data.data(), data.size(), 458, "Forms.Missing"));
  // Data without a names table has nothing to find.
  EXPECT_FALSE(FindProcedureOffset(data.data(), data.size(), 404, "Forms.Helper"));
}

TEST(DebugDataWithoutNamesTable, OldVersionsStartWithTheUnitCount) {
  Bytes data;
  U32(data, 1);
  Name(data, "Old");
  U32(data, 5);
  U32(data, 0);
  U32(data, 16);
  U32(data, 1);
  data.push_back(Short(8, 2));
  TVexlorDebugInfo info;
  ASSERT_TRUE(LookupDebugData(data.data(), data.size(), 404, 0x10000, 0x11000 + 9, info));
  EXPECT_EQ(info.UnitName, "Old.cpp");
  EXPECT_EQ(info.Line, 7);
}

}  // namespace
