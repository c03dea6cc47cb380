// Writing the debug data: the names table, each unit's line table in small
// delta steps, and the inlined call sites after the units.
#include "tools/vexlor/DebugDataWriter.h"

#include <algorithm>
#include <map>

#include "reporter/debugdata/DebugData.h"

void WriteU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

namespace {

void WriteU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The largest steps one entry can make: the escape form's 16-bit address
// word, and a signed 16-bit line delta.
constexpr std::uint64_t kMaxAddrStep = 0x10000;
constexpr std::int64_t kMaxLineStep = 32767;

// One entry whose deltas are known to fit (addr <= 0x10000, line in int16).
void WriteOneEntry(std::vector<std::uint8_t>& out, std::uint16_t version, std::uint32_t addr,
                   std::int32_t line, const std::string* name) {
  const std::uint32_t nameBit = name != nullptr ? 4u : 0u;
  if (addr >= 1 && addr <= 32 && line >= 1 && line <= 4 && name == nullptr) {
    out.push_back(static_cast<std::uint8_t>(((line - 1) << 6) | ((addr - 1) << 1)));
  } else if (addr >= 1 && addr <= 8 && line >= 1 && line <= 8 && name != nullptr) {
    out.push_back(static_cast<std::uint8_t>(((line - 1) << 5) | ((addr - 1) << 2) | 1));
  } else if (addr >= 1 && addr <= 128 && line >= 1 && line <= 32) {
    WriteU16(out, static_cast<std::uint16_t>(((line - 1) << 11) | ((addr - 1) << 4) | nameBit | 3));
  } else {
    const std::uint32_t lineField = static_cast<std::uint32_t>(line - 1) & 0xFFFF;
    const std::uint32_t addrField = addr == 0 ? 0xFFF : addr - 1;
    const bool isEscapePattern = lineField == 0xFFFE && addrField == 0xFFE;
    if (addr <= 0xFFF && !(isEscapePattern && version >= kEscapeEntryVersion)) {
      WriteU32(out, (addrField << 20) | (lineField << 4) | nameBit | 0xB);
    } else {
      WriteU32(out, (0xFFEu << 20) | (0xFFFEu << 4) | nameBit | 0xB);
      WriteU16(out, static_cast<std::uint16_t>(lineField));
      WriteU16(out, static_cast<std::uint16_t>(addr - 1));
    }
  }
  if (name != nullptr) WriteScrambledName(out, *name);
}

}  // namespace

void WriteScrambledName(std::vector<std::uint8_t>& out, const std::string& name) {
  const std::size_t length = std::min<std::size_t>(name.size(), 255);
  out.push_back(static_cast<std::uint8_t>(length));
  for (std::size_t i = 0; i < length; ++i)
    out.push_back(static_cast<std::uint8_t>(name[i]) ^ kDebugNameKey);
}

void WriteLineEntries(std::vector<std::uint8_t>& out, std::uint16_t version,
                      std::uint64_t addrDelta, std::int64_t lineDelta, const std::string* name,
                      bool nameOnFirst) {
  // The code bytes belong to the current line, so address steps beyond one
  // entry go first without a line step; line steps beyond 16 bits follow
  // without code bytes.
  const std::uint64_t maxAddr = version >= kEscapeEntryVersion ? kMaxAddrStep : 0xFFF;
  std::vector<std::pair<std::uint32_t, std::int32_t>> steps;
  while (addrDelta > maxAddr) {
    steps.emplace_back(static_cast<std::uint32_t>(maxAddr), 0);
    addrDelta -= maxAddr;
  }
  const std::int64_t firstLine = std::clamp(lineDelta, -kMaxLineStep, kMaxLineStep);
  steps.emplace_back(static_cast<std::uint32_t>(addrDelta), static_cast<std::int32_t>(firstLine));
  lineDelta -= firstLine;
  while (lineDelta != 0) {
    const std::int64_t step = std::clamp(lineDelta, -kMaxLineStep, kMaxLineStep);
    steps.emplace_back(0, static_cast<std::int32_t>(step));
    lineDelta -= step;
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const bool carries = name != nullptr && (nameOnFirst ? i == 0 : i + 1 == steps.size());
    WriteOneEntry(out, version, steps[i].first, steps[i].second, carries ? name : nullptr);
  }
}

std::string StoredUnitName(const std::string& fileName) {
  std::string name = fileName.substr(fileName.find_last_of("/\\") + 1);
  const std::string extension = kUnitExtension;
  if (name.size() > extension.size() &&
      name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
    return name.substr(0, name.size() - extension.size());
  if (name.find('.') == std::string::npos) name += '.';
  return name;
}

namespace {

std::string Sanitized(std::string text) {
  // A dot would split the stored name in the wrong place.
  std::replace(text.begin(), text.end(), '.', '_');
  return text;
}

struct TUnitState {
  std::string SavedClass;
  std::string Class;
  std::string Procedure;
};

// The line-table name that makes the reader switch to (cls, proc).
std::string NameFor(const TUnitState& state, const std::string& cls, const std::string& proc) {
  if (cls.empty()) return Sanitized(proc);
  const std::string name = (cls == state.SavedClass ? "" : Sanitized(cls)) + "." + proc;
  return name;
}

void AfterName(TUnitState& state, const std::string& cls, const std::string& proc) {
  if (!cls.empty()) state.SavedClass = Sanitized(cls);
  state.Class = cls;
  state.Procedure = proc;
}

// Writes one unit (segments contiguous, one file) with its line table.
void WriteUnit(std::vector<std::uint8_t>& out, std::uint16_t version,
               const std::vector<TCodeSegment>& segs, std::size_t first, std::size_t last) {
  std::vector<std::uint8_t> table;
  TUnitState state;
  // Where the previous segment's entry starts, and whether it carries a name,
  // so a change of procedure can ride on it instead of a separate entry.
  std::uint64_t pendingAddr = 0;
  std::int64_t pendingLine = 0;
  bool pendingHasName = false;
  std::string pendingName;
  auto flush = [&](const std::string* name) {
    WriteLineEntries(table, version, pendingAddr, pendingLine, name, pendingHasName);
  };
  for (std::size_t i = first; i <= last; ++i) {
    const TCodeSegment& seg = segs[i];
    const std::string cls = Sanitized(seg.ClassName);
    const bool changes =
        i == first || cls != Sanitized(state.Class) || seg.ProcedureName != state.Procedure;
    if (i == first) {
      pendingHasName = true;
      pendingName = NameFor(state, cls, seg.ProcedureName);
      AfterName(state, cls, seg.ProcedureName);
    } else if (changes) {
      const std::string name = NameFor(state, cls, seg.ProcedureName);
      if (!pendingHasName && cls == Sanitized(state.Class)) {
        flush(&name);  // the class stays, so the name may ride on the previous run
      } else {
        flush(pendingHasName ? &pendingName : nullptr);
        WriteLineEntries(table, version, 0, 0, &name, true);
      }
      AfterName(state, cls, seg.ProcedureName);
      pendingHasName = false;
    } else {
      flush(pendingHasName ? &pendingName : nullptr);
      pendingHasName = false;
    }
    pendingAddr = seg.End - seg.Start;
    pendingLine =
        i < last ? static_cast<std::int64_t>(segs[i + 1].Line) - static_cast<std::int64_t>(seg.Line)
                 : 0;
  }
  // The last run needs no entry: the reader gives the rest of the unit the
  // line reached. Only a name still to be delivered needs one.
  if (pendingHasName) WriteLineEntries(table, version, 0, 0, &pendingName, true);
  WriteScrambledName(out, StoredUnitName(segs[first].File));
  WriteU32(out, segs[first].Line);
  WriteU32(out, segs[first].Start);
  WriteU32(out, segs[last].End - segs[first].Start);
  WriteU32(out, static_cast<std::uint32_t>(table.size()));
  out.insert(out.end(), table.begin(), table.end());
}

// The call sites of inlined code, after the units where a reader that does
// not know them never looks: a tag, the part's length, its names (each
// stored once), then the sites in address order.
void WriteInlineSites(std::vector<std::uint8_t>& out, std::vector<TInlineSite> sites) {
  std::stable_sort(sites.begin(), sites.end(), [](const TInlineSite& a, const TInlineSite& b) {
    return a.Start != b.Start ? a.Start < b.Start : a.Depth < b.Depth;
  });
  std::vector<std::string> names;
  std::map<std::string, std::uint32_t> index;
  auto nameIndex = [&](const std::string& name) {
    const std::string stored = name.size() > 255 ? name.substr(0, 255) : name;
    auto [it, added] = index.emplace(stored, static_cast<std::uint32_t>(names.size()));
    if (added) names.push_back(stored);
    return it->second;
  };
  std::vector<std::uint8_t> body;
  std::uint32_t count = 0;
  for (const TInlineSite& site : sites) {
    if (site.End <= site.Start) continue;
    WriteU32(body, site.Start);
    WriteU32(body, site.End - site.Start);
    body.push_back(site.Depth);
    WriteU32(body, site.Line);
    WriteU32(body, nameIndex(StoredUnitName(site.File)));
    WriteU32(body, nameIndex(site.ClassName));
    WriteU32(body, nameIndex(site.ProcedureName));
    ++count;
  }
  std::vector<std::uint8_t> part;
  WriteU32(part, static_cast<std::uint32_t>(names.size()));
  for (const std::string& name : names) WriteScrambledName(part, name);
  WriteU32(part, count);
  part.insert(part.end(), body.begin(), body.end());
  WriteU32(out, kInlineSitesTag);
  WriteU32(out, static_cast<std::uint32_t>(part.size()));
  out.insert(out.end(), part.begin(), part.end());
}

}  // namespace

std::vector<std::uint8_t> WriteDebugData(const TDebugSource& source, std::uint16_t version) {
  std::vector<TCodeSegment> segs = source.Segments;
  std::stable_sort(segs.begin(), segs.end(),
                   [](const TCodeSegment& a, const TCodeSegment& b) { return a.Start < b.Start; });
  // Drop empty and overlapping segments; merge neighbours that say the same.
  std::vector<TCodeSegment> clean;
  for (TCodeSegment& seg : segs) {
    if (!clean.empty() && seg.Start < clean.back().End) seg.Start = clean.back().End;
    if (seg.End <= seg.Start) continue;
    if (!clean.empty()) {
      TCodeSegment& prev = clean.back();
      if (prev.End == seg.Start && prev.File == seg.File && prev.Line == seg.Line &&
          prev.ClassName == seg.ClassName && prev.ProcedureName == seg.ProcedureName) {
        prev.End = seg.End;
        continue;
      }
    }
    clean.push_back(std::move(seg));
  }
  std::vector<std::uint8_t> out;
  if (version >= kNamesTableVersion) {
    std::vector<std::uint8_t> names;
    for (const TProcedureEntry& entry : source.Procedures) {
      std::string name = StoredUnitName(entry.File);
      if (!entry.ClassName.empty()) name += "." + entry.ClassName;
      name += "." + entry.ProcedureName;
      if (name.size() > 255) continue;  // could never be asked for in full
      WriteScrambledName(names, name);
      WriteU32(names, entry.Offset);
      WriteU32(names, 0);
    }
    WriteU32(out, static_cast<std::uint32_t>(names.size()));
    out.insert(out.end(), names.begin(), names.end());
  }
  std::vector<std::pair<std::size_t, std::size_t>> units;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    if (!units.empty() && clean[i - 1].End == clean[i].Start && clean[i - 1].File == clean[i].File)
      units.back().second = i;
    else
      units.emplace_back(i, i);
  }
  WriteU32(out, static_cast<std::uint32_t>(units.size()));
  for (const auto& [first, last] : units) WriteUnit(out, version, clean, first, last);
  if (!source.InlineSites.empty()) WriteInlineSites(out, source.InlineSites);
  return out;
}
