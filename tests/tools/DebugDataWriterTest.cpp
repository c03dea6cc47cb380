// The attach tool's writer against the run-time decoder: whatever code map is
// written, every byte of it must read back with its file, line, class and
// procedure, by scan and by unit index alike.
#include "tools/vexlor/DebugDataWriter.h"

#include <gtest/gtest.h>

#include <random>

#include "reporter/debugdata/DebugData.h"

namespace {

constexpr std::uintptr_t kBase = 0x140000000;

void ExpectEveryByteReadsBack(const TDebugSource& source, std::uint16_t version) {
  const std::vector<std::uint8_t> data = WriteDebugData(source, version);
  TDebugUnitIndex index;
  BuildDebugUnitIndex(data.data(), data.size(), version, index);
  ASSERT_FALSE(index.empty());
  for (const TCodeSegment& segment : source.Segments) {
    for (std::uint32_t offset = segment.Start; offset < segment.End; ++offset) {
      const std::uintptr_t address = kBase + kCodeOffsetBase + offset;
      TVexlorDebugInfo scanned, indexed;
      ASSERT_TRUE(LookupDebugData(data.data(), data.size(), version, kBase, address, scanned))
          << offset;
      ASSERT_TRUE(
          LookupDebugData(data.data(), data.size(), version, kBase, address, indexed, &index))
          << offset;
      const std::string unit = CompleteUnitName(StoredUnitName(segment.File));
      ASSERT_EQ(scanned.UnitName, unit) << offset;
      ASSERT_EQ(scanned.Line, static_cast<std::int32_t>(segment.Line)) << offset;
      ASSERT_EQ(scanned.ClassName, segment.ClassName) << offset;
      ASSERT_EQ(scanned.ProcedureName, segment.ProcedureName) << offset;
      ASSERT_EQ(indexed.Line, scanned.Line);
      ASSERT_EQ(indexed.ProcedureName, scanned.ProcedureName);
    }
  }
}

TEST(DebugDataWriter, RandomCodeMapsReadBackExactly) {
  std::mt19937 random(12345);
  const char* files[] = {"Main.cpp", "Streams.h", "vector", "stl_vector.h"};
  const char* classes[] = {"", "TfrmVPMain", "vp::TVideo",
                           "std::vector<int, std::allocator<int> >"};
  const char* procedures[] = {"FormCreate", "Play", "operator()", "push_back", "@Init"};
  for (std::uint16_t version : {std::uint16_t(422), std::uint16_t(458)}) {
    TDebugSource source;
    std::uint32_t at = 0x100;
    std::uint32_t line = 50;
    for (int i = 0; i < 300; ++i) {
      TCodeSegment segment;
      segment.Start = at + (random() % 4 == 0 ? random() % 64 : 0);  // gaps now and then
      // Mostly short runs, some beyond the long and escape forms' reach.
      const std::uint32_t kinds[] = {1, 8, 30, 200, 5000, 70000};
      segment.End = segment.Start + 1 + random() % kinds[random() % (i % 50 == 0 ? 6 : 4)];
      line = random() % 8 == 0
                 ? 1 + random() % 70000
                 : std::max<std::int64_t>(0, line + static_cast<int>(random() % 9) - 3);
      segment.Line = line;
      segment.File = files[random() % 4 == 0 ? random() % 4 : 0];
      segment.ClassName = classes[random() % 4];
      segment.ProcedureName = procedures[random() % 4 == 0 ? random() % 4 : 0];
      source.Segments.push_back(segment);
      at = segment.End;
    }
    ExpectEveryByteReadsBack(source, version);
  }
}

TEST(DebugDataWriter, EntriesUseTheSmallestFormThatFits) {
  std::vector<std::uint8_t> out;
  WriteLineEntries(out, 458, 32, 4, nullptr, true);
  EXPECT_EQ(out.size(), 1u);  // short
  out.clear();
  const std::string name = "A.b";
  WriteLineEntries(out, 458, 8, 8, &name, true);
  EXPECT_EQ(out.size(), 1u + 1 + 3);  // short with name
  out.clear();
  WriteLineEntries(out, 458, 128, 32, nullptr, true);
  EXPECT_EQ(out.size(), 2u);  // word
  out.clear();
  WriteLineEntries(out, 458, 4095, -1, nullptr, true);
  EXPECT_EQ(out.size(), 8u);  // the escape pattern of a long entry must go as escape
  out.clear();
  WriteLineEntries(out, 422, 4095, -1, nullptr, true);
  EXPECT_EQ(out.size(), 4u);  // before escapes existed it is a long entry
  out.clear();
  WriteLineEntries(out, 458, 200000, 0, nullptr, true);
  EXPECT_EQ(out.size(), 3u * 8 + 4);  // three escape entries, the rest in a long one

  TDebugDataReader reader(out.data(), out.size());
  std::uint64_t total = 0;
  TLineTableEntry entry;
  while (reader.Position() < out.size() && ReadLineTableEntry(reader, 458, entry)) {
    total += entry.AddrDelta;
    EXPECT_EQ(entry.LineDelta, 0);
  }
  EXPECT_EQ(total, 200000u);
}

TEST(DebugDataWriter, UnitNamesAndProcedureTable) {
  EXPECT_EQ(StoredUnitName("/src/app/Main.cpp"), "Main");
  EXPECT_EQ(StoredUnitName("C:\\src\\Streams.h"), "Streams.h");
  EXPECT_EQ(StoredUnitName("/usr/include/c++/12/functional"), "functional.");
  EXPECT_EQ(CompleteUnitName(StoredUnitName("Main.cpp")), "Main.cpp");

  TDebugSource source;
  source.Segments.push_back({0, 16, "Main.cpp", 3, "TfrmVPMain", "FormCreate"});
  source.Procedures.push_back({"Main.cpp", "TfrmVPMain", "FormCreate", 0});
  source.Procedures.push_back({"Main.cpp", "", "WinMain", 8});
  const std::vector<std::uint8_t> data = WriteDebugData(source, 458);
  EXPECT_EQ(FindProcedureOffset(data.data(), data.size(), 458, "Main.TfrmVPMain.FormCreate"), 0u);
  EXPECT_EQ(FindProcedureOffset(data.data(), data.size(), 458, "Main.WinMain"), 8u);
  ExpectEveryByteReadsBack(source, 458);
}

TEST(DebugDataWriter, InlineCallSitesFollowTheUnitsAndReadBackInnermostFirst) {
  TDebugSource source;
  source.Segments = {{0x100, 0x140, "Store.cpp", 10, "", "ItemAt"},
                     {0x140, 0x160, "stl_vector.h", 1153, "std::vector<int>", "_M_range_check"},
                     {0x160, 0x200, "Store.cpp", 12, "", "ItemAt"}};
  // _M_range_check inlined into at(), at() inlined into ItemAt.
  source.InlineSites = {{0x140, 0x160, 2, "stl_vector.h", 1194, "std::vector<int>", "at"},
                        {0x130, 0x170, 1, "Store.cpp", 11, "", "ItemAt"}};
  const std::uint16_t version = 458;
  const std::vector<std::uint8_t> data = WriteDebugData(source, version);
  TDebugUnitIndex index;
  BuildDebugUnitIndex(data.data(), data.size(), version, index);

  std::vector<TVexlorDebugInfo> callers;
  const TDebugUnitIndex* const indexes[] = {nullptr, &index};
  for (const TDebugUnitIndex* used : indexes) {
    LookupInlineCallers(data.data(), data.size(), version, kBase, kBase + 0x1000 + 0x150, callers,
                        used);
    ASSERT_EQ(callers.size(), 2u);
    EXPECT_EQ(callers[0].ProcedureName, "at");
    EXPECT_EQ(callers[0].ClassName, "std::vector<int>");
    EXPECT_EQ(callers[0].UnitName, "stl_vector.h");
    EXPECT_EQ(callers[0].Line, 1194);
    EXPECT_EQ(callers[1].ProcedureName, "ItemAt");
    EXPECT_EQ(callers[1].UnitName, "Store.cpp");
    EXPECT_EQ(callers[1].Line, 11);
  }
  LookupInlineCallers(data.data(), data.size(), version, kBase, kBase + 0x1000 + 0x135, callers);
  ASSERT_EQ(callers.size(), 1u);
  LookupInlineCallers(data.data(), data.size(), version, kBase, kBase + 0x1000 + 0x180, callers);
  EXPECT_TRUE(callers.empty());

  // The line tables read as before the part existed, and data without it
  // (or cut before it) answers no callers.
  TVexlorDebugInfo info;
  ASSERT_TRUE(
      LookupDebugData(data.data(), data.size(), version, kBase, kBase + 0x1000 + 0x150, info));
  EXPECT_EQ(info.ProcedureName, "_M_range_check");
  source.InlineSites.clear();
  const std::vector<std::uint8_t> plain = WriteDebugData(source, version);
  ASSERT_LT(plain.size(), data.size());
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), data.begin()));
  LookupInlineCallers(plain.data(), plain.size(), version, kBase, kBase + 0x1000 + 0x150, callers);
  EXPECT_TRUE(callers.empty());
  LookupInlineCallers(data.data(), data.size() - 3, version, kBase, kBase + 0x1000 + 0x150,
                      callers);
  EXPECT_TRUE(callers.empty());
}

}  // namespace
