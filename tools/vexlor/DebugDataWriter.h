// Builds the debug data a module carries from a neutral description of its
// code: which source file, line, class and procedure each byte range belongs
// to. The DWARF side (DwarfExtractor) fills the description; this side knows
// only the format, so it is tested without any executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A range of code bytes [Start, End) with one source position. Offsets are
// code offsets (relative to module base + 0x1000).
struct TCodeSegment {
  std::uint32_t Start = 0;
  std::uint32_t End = 0;
  std::string File;  // source file name without directories
  std::uint32_t Line = 0;
  std::string ClassName;  // enclosing scope, "::"-joined; empty for globals
  std::string ProcedureName;
};

// A procedure's entry point, for lookups by name.
struct TProcedureEntry {
  std::string File;
  std::string ClassName;
  std::string ProcedureName;
  std::uint32_t Offset = 0;
};

// Code [Start, End) that was inlined: the call it stands for, in the function
// it was inlined into (File and Line of the call; ClassName, ProcedureName of
// that function). Depth 1 is inlined into an ordinary function, 2 into code
// that was itself inlined, and so on.
struct TInlineSite {
  std::uint32_t Start = 0;
  std::uint32_t End = 0;
  std::uint8_t Depth = 1;
  std::string File;
  std::uint32_t Line = 0;
  std::string ClassName;
  std::string ProcedureName;
};

struct TDebugSource {
  std::vector<TCodeSegment> Segments;  // any order; overlaps are resolved first come
  std::vector<TProcedureEntry> Procedures;
  std::vector<TInlineSite> InlineSites;  // any order
};

// The unit name stored for a source file: ".cpp" files without their
// extension (the reader completes it), others as they are; a name without any
// dot gets a trailing one, so the reader does not take it for a ".cpp" unit.
std::string StoredUnitName(const std::string& fileName);

// Appends one line-table entry in the smallest form that holds it, split into
// several entries when the deltas exceed what one entry holds. A name, when
// given, goes on the first of them (nameOnFirst) or on the last.
void WriteLineEntries(std::vector<std::uint8_t>& out, std::uint16_t version,
                      std::uint64_t addrDelta, std::int64_t lineDelta, const std::string* name,
                      bool nameOnFirst);

void WriteScrambledName(std::vector<std::uint8_t>& out, const std::string& name);
void WriteU32(std::vector<std::uint8_t>& out, std::uint32_t value);

std::vector<std::uint8_t> WriteDebugData(const TDebugSource& source, std::uint16_t version);
