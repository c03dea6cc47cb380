// The DWARF reading through LLVM: line rows and function ranges painted over
// one another, inlined calls, and symbol-table names for code without lines.
#include "tools/vexlor/DwarfExtractor.h"

#include <llvm/DebugInfo/DWARF/DWARFContext.h>
#include <llvm/Demangle/Demangle.h>
#include <llvm/Object/COFF.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <unordered_map>

#include "reporter/debugdata/DebugData.h"
#include "reporter/debugdata/ProcedureName.h"
#include "tools/vexlor/CoffObject.h"

namespace {

using llvm::DWARFDie;

std::string TakeDemangled(char* text) {
  std::string result = text != nullptr ? text : "";
  std::free(text);
  return result;
}

std::string BaseName(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

// Scope of a DIE without a linkage name, from its declaration's parents.
std::string ScopeOf(DWARFDie die) {
  for (int hops = 0; hops < 8; ++hops) {
    DWARFDie next = die.getAttributeValueAsReferencedDie(llvm::dwarf::DW_AT_specification);
    if (!next) next = die.getAttributeValueAsReferencedDie(llvm::dwarf::DW_AT_abstract_origin);
    if (!next) break;
    die = next;
  }
  std::string scope;
  for (DWARFDie parent = die.getParent(); parent; parent = parent.getParent()) {
    const auto tag = parent.getTag();
    const char* name = parent.getName(llvm::DINameKind::ShortName);
    std::string part;
    if (tag == llvm::dwarf::DW_TAG_namespace) {
      part = name != nullptr ? name : "(anonymous namespace)";
    } else if (tag == llvm::dwarf::DW_TAG_class_type || tag == llvm::dwarf::DW_TAG_structure_type ||
               tag == llvm::dwarf::DW_TAG_union_type) {
      part = name != nullptr ? name : "<lambda>";  // closure types have no name
    } else if (tag == llvm::dwarf::DW_TAG_subprogram && name != nullptr) {
      // A local class: the function it lives in, with that function's scope.
      const std::string outer = ScopeOf(parent);
      scope = (outer.empty() ? "" : outer + "::") + name + (scope.empty() ? "" : "::" + scope);
      break;
    } else {
      break;
    }
    scope = scope.empty() ? part : part + "::" + scope;
  }
  return scope;
}

struct TFunctionName {
  std::string Scope;
  std::string Name;
};

TFunctionName NameOf(DWARFDie die) {
  TFunctionName result;
  if (const char* linkage = die.getLinkageName();
      linkage != nullptr && SplitMangledName(linkage, result.Scope, result.Name))
    return result;
  const char* name = die.getName(llvm::DINameKind::ShortName);
  result.Name = name != nullptr ? name : "";
  result.Scope = ScopeOf(die);
  return result;
}

// Non-overlapping painted ranges: a later paint wins over what it covers.
class TRangePainter {
 public:
  void Paint(std::uint64_t low, std::uint64_t high, int value) {
    if (high <= low) return;
    auto it = FRanges.lower_bound(low);
    if (it != FRanges.begin()) {
      auto prev = std::prev(it);
      if (prev->second.first > low) {
        const auto [prevEnd, prevValue] = prev->second;
        prev->second.first = low;
        if (prevEnd > high) FRanges[high] = {prevEnd, prevValue};
      }
    }
    it = FRanges.lower_bound(low);
    while (it != FRanges.end() && it->first < high) {
      if (it->second.first > high) {
        FRanges[high] = it->second;
        FRanges.erase(it);
        break;
      }
      it = FRanges.erase(it);
    }
    FRanges[low] = {high, value};
  }
  // Pieces of [low, high) with their value (-1 where nothing was painted).
  template <typename Visit>
  void Cut(std::uint64_t low, std::uint64_t high, Visit visit) const {
    auto it = FRanges.upper_bound(low);
    if (it != FRanges.begin() && std::prev(it)->second.first > low) --it;
    std::uint64_t at = low;
    for (; it != FRanges.end() && it->first < high && at < high; ++it) {
      if (it->first > at) visit(at, it->first, -1);
      const std::uint64_t start = std::max(at, it->first);
      const std::uint64_t end = std::min(high, it->second.first);
      if (end > start) visit(start, end, it->second.second);
      at = std::max(at, end);
    }
    if (at < high) visit(at, high, -1);
  }
  bool Covers(std::uint64_t address) const {
    auto it = FRanges.upper_bound(address);
    return it != FRanges.begin() && std::prev(it)->second.first > address;
  }

 private:
  std::map<std::uint64_t, std::pair<std::uint64_t, int>> FRanges;
};

class TExtractor {
 public:
  TExtractor(const llvm::object::COFFObjectFile& coff, TExtractedModule& result)
      : FCoff(coff), FResult(result) {}

  bool Run(std::string& error) {
    FResult.ImageBase = FCoff.getImageBase();
    if (!FindCode(error)) return false;
    auto context = llvm::DWARFContext::create(FCoff);
    for (const auto& unit : context->compile_units()) {
      FContext = context.get();
      FUnit = unit.get();
      CollectFunctions(unit->getUnitDIE(false), 0);
    }
    std::vector<std::pair<int, std::size_t>> order;  // paint outer functions first
    for (std::size_t i = 0; i < FIntervals.size(); ++i) order.emplace_back(FIntervals[i].Depth, i);
    std::stable_sort(order.begin(), order.end());
    for (const auto& [depth, index] : order)
      FFunctions.Paint(FIntervals[index].Low, FIntervals[index].High, FIntervals[index].Function);
    for (const auto& unit : context->compile_units()) CollectLines(*context, *unit);
    CollectSymbols();
    AssignProcedureFiles();
    return true;
  }

 private:
  struct TInterval {
    std::uint64_t Low, High;
    int Depth;
    int Function;
  };

  bool FindCode(std::string& error) {
    for (const llvm::object::SectionRef& section : FCoff.sections()) {
      auto name = section.getName();
      if (!name || *name != ".text") continue;
      FCodeLow = section.getAddress();
      FCodeHigh = FCodeLow + section.getSize();
    }
    if (FCodeHigh == 0) {
      error = "no .text section";
      return false;
    }
    if (FCodeLow < FResult.ImageBase + kCodeOffsetBase) {
      error = "the code section starts below image base + 0x1000";
      return false;
    }
    return true;
  }

  bool InCode(std::uint64_t address) const { return address >= FCodeLow && address < FCodeHigh; }
  std::uint32_t Offset(std::uint64_t address) const {
    return static_cast<std::uint32_t>(address - FResult.ImageBase - kCodeOffsetBase);
  }

  int FunctionIndex(DWARFDie die) {
    TFunctionName name = NameOf(die);
    const std::string key = name.Scope + "\n" + name.Name;
    auto [it, added] = FFunctionIndex.emplace(key, static_cast<int>(FNames.size()));
    if (added) FNames.push_back(std::move(name));
    return it->second;
  }

  void CollectFunctions(DWARFDie die, int depth) {
    if (!die) return;
    const auto tag = die.getTag();
    int childDepth = depth;
    if (tag == llvm::dwarf::DW_TAG_subprogram || tag == llvm::dwarf::DW_TAG_inlined_subroutine) {
      auto ranges = die.getAddressRanges();
      if (!ranges) {
        llvm::consumeError(ranges.takeError());
      } else if (!ranges->empty()) {
        const int function = FunctionIndex(die);
        bool any = false;
        for (const auto& range : *ranges) {
          if (!InCode(range.LowPC)) continue;  // discarded duplicates sit at 0
          FIntervals.push_back({range.LowPC, std::min(range.HighPC, FCodeHigh), depth, function});
          any = true;
        }
        if (any && tag == llvm::dwarf::DW_TAG_inlined_subroutine) CollectInlineSite(die, depth);
        if (any && tag == llvm::dwarf::DW_TAG_subprogram) {
          const std::uint64_t low =
              die.getLowAndHighPC(FLowPC, FHighPC, FSectionIndex) ? FLowPC : ranges->front().LowPC;
          if (InCode(low)) {
            const TFunctionName& name = FNames[static_cast<std::size_t>(function)];
            FResult.Source.Procedures.push_back(
                {BaseName(die.getDeclFile(llvm::DILineInfoSpecifier::FileLineInfoKind::RawValue)),
                 name.Scope, name.Name, Offset(low)});
          }
        }
        childDepth = depth + 1;
      }
    }
    for (DWARFDie child : die.children()) CollectFunctions(child, childDepth);
  }

  // The call an inlined copy stands for: where it is (file and line of the
  // call) and in which function (the enclosing function or inlined copy).
  void CollectInlineSite(DWARFDie die, int depth) {
    DWARFDie caller = die.getParent();
    while (caller && caller.getTag() != llvm::dwarf::DW_TAG_subprogram &&
           caller.getTag() != llvm::dwarf::DW_TAG_inlined_subroutine)
      caller = caller.getParent();
    if (!caller) return;
    std::uint32_t file = 0, line = 0, column = 0, discriminator = 0;
    die.getCallerFrame(file, line, column, discriminator);
    std::string fileName;
    if (const llvm::DWARFDebugLine::LineTable* table = FContext->getLineTableForUnit(FUnit))
      table->getFileNameByIndex(file, FUnit->getCompilationDir(),
                                llvm::DILineInfoSpecifier::FileLineInfoKind::RawValue, fileName);
    if (fileName.empty() || line == 0) return;
    const TFunctionName name = NameOf(caller);
    auto ranges = die.getAddressRanges();
    if (!ranges) {
      llvm::consumeError(ranges.takeError());
      return;
    }
    for (const auto& range : *ranges) {
      if (!InCode(range.LowPC)) continue;
      FResult.Source.InlineSites.push_back({Offset(range.LowPC),
                                            Offset(std::min(range.HighPC, FCodeHigh)),
                                            static_cast<std::uint8_t>(std::min(depth, 255)),
                                            BaseName(fileName), line, name.Scope, name.Name});
    }
  }

  void CollectLines(llvm::DWARFContext& context, llvm::DWARFUnit& unit) {
    const llvm::DWARFDebugLine::LineTable* table = context.getLineTableForUnit(&unit);
    if (table == nullptr) return;
    std::unordered_map<std::uint64_t, std::string> files;
    auto fileName = [&](std::uint64_t index) -> const std::string& {
      auto it = files.find(index);
      if (it != files.end()) return it->second;
      std::string name;
      table->getFileNameByIndex(index, unit.getCompilationDir(),
                                llvm::DILineInfoSpecifier::FileLineInfoKind::RawValue, name);
      return files[index] = BaseName(name);
    };
    for (const auto& sequence : table->Sequences) {
      for (std::uint32_t i = sequence.FirstRowIndex;
           i + 1 < sequence.LastRowIndex && i + 1 < table->Rows.size(); ++i) {
        const auto& row = table->Rows[i];
        const auto& next = table->Rows[i + 1];
        if (row.EndSequence) continue;
        const std::uint64_t low = row.Address.Address;
        const std::uint64_t high = std::min<std::uint64_t>(next.Address.Address, FCodeHigh);
        if (!InCode(low) || high <= low) continue;
        ++FResult.LineRows;
        FLineCovered.Paint(low, high, 0);
        const std::string& file = fileName(row.File);
        FFunctions.Cut(low, high, [&](std::uint64_t a, std::uint64_t b, int function) {
          TCodeSegment segment{Offset(a), Offset(b), file, row.Line, "", ""};
          if (function >= 0) {
            segment.ClassName = FNames[static_cast<std::size_t>(function)].Scope;
            segment.ProcedureName = FNames[static_cast<std::size_t>(function)].Name;
          }
          FResult.Source.Segments.push_back(std::move(segment));
        });
      }
    }
  }

  // Code without line rows (run-time libraries built without DWARF) is named
  // from the symbol table, with line 0. Its unit is the module file itself:
  // the ".file" records of the symbol table are cut to 18 characters and do
  // not reliably precede their object's code.
  void CollectSymbols() {
    struct TSymbol {
      std::uint64_t Address;
      bool IsFunction;
      std::string Name;
    };
    std::vector<TSymbol> symbols;
    const std::uint32_t count = FCoff.getNumberOfSymbols();
    for (std::uint32_t i = 0; i < count; ++i) {
      auto symbol = FCoff.getSymbol(i);
      if (!symbol) {
        llvm::consumeError(symbol.takeError());
        break;
      }
      if (!symbol->isFileRecord() && symbol->getSectionNumber() > 0) {
        auto section = FCoff.getSection(symbol->getSectionNumber());
        auto name = FCoff.getSymbolName(*symbol);
        if (section && name) {
          const std::uint64_t address =
              FResult.ImageBase + (*section)->VirtualAddress + symbol->getValue();
          // Every symbol ends the range of the one before; only functions
          // name a range of their own.
          const bool isFunction = symbol->getComplexType() == llvm::COFF::IMAGE_SYM_DTYPE_FUNCTION;
          if (InCode(address)) symbols.push_back({address, isFunction, name->str()});
        }
        if (!section) llvm::consumeError(section.takeError());
        if (!name) llvm::consumeError(name.takeError());
      }
      i += symbol->getNumberOfAuxSymbols();
    }
    std::stable_sort(symbols.begin(), symbols.end(),
                     [](const TSymbol& a, const TSymbol& b) { return a.Address < b.Address; });
    for (std::size_t i = 0; i < symbols.size(); ++i) {
      const std::uint64_t low = symbols[i].Address;
      std::size_t next = i + 1;
      while (next < symbols.size() && symbols[next].Address == low) ++next;
      const std::uint64_t high = next < symbols.size() ? symbols[next].Address : FCodeHigh;
      if (!symbols[i].IsFunction || high <= low) continue;
      std::string scope, name;
      if (!SplitMangledName(symbols[i].Name, scope, name)) name = symbols[i].Name;
      FLineCovered.Cut(low, high, [&](std::uint64_t a, std::uint64_t b, int covered) {
        if (covered >= 0) return;
        if (a != low && b - a < 16) return;  // alignment padding behind described code
        ++FResult.SymbolSegments;
        FResult.Source.Segments.push_back({Offset(a), Offset(b), FModuleFile, 0, scope, name});
      });
    }
  }

  // Procedures are listed under the unit that holds their first byte.
  void AssignProcedureFiles() {
    std::vector<const TCodeSegment*> bySTart;
    for (const TCodeSegment& segment : FResult.Source.Segments) bySTart.push_back(&segment);
    std::sort(bySTart.begin(), bySTart.end(),
              [](const TCodeSegment* a, const TCodeSegment* b) { return a->Start < b->Start; });
    for (TProcedureEntry& entry : FResult.Source.Procedures) {
      auto it = std::upper_bound(
          bySTart.begin(), bySTart.end(), entry.Offset,
          [](std::uint32_t offset, const TCodeSegment* s) { return offset < s->Start; });
      if (it != bySTart.begin() && (*std::prev(it))->End > entry.Offset)
        entry.File = (*std::prev(it))->File;
    }
  }

 public:
  std::string FModuleFile;

 private:
  const llvm::object::COFFObjectFile& FCoff;
  TExtractedModule& FResult;
  std::uint64_t FCodeLow = 0, FCodeHigh = 0;
  std::uint64_t FLowPC = 0, FHighPC = 0, FSectionIndex = 0;
  llvm::DWARFContext* FContext = nullptr;
  llvm::DWARFUnit* FUnit = nullptr;
  std::vector<TInterval> FIntervals;
  std::vector<TFunctionName> FNames;
  std::unordered_map<std::string, int> FFunctionIndex;
  TRangePainter FFunctions;
  TRangePainter FLineCovered;
};

}  // namespace

bool SplitMangledName(const std::string& mangled, std::string& scope, std::string& name) {
  if (mangled.size() < 3 || mangled[0] != '_' || mangled[1] != 'Z') return false;
  llvm::ItaniumPartialDemangler demangler;
  if (demangler.partialDemangle(mangled.c_str())) {
    // Clone suffixes (".constprop.0", ".cold") defeat the partial demangler.
    const std::string demangled = DemangleName(mangled);
    if (demangled.empty()) return false;
    SplitDemangledName(demangled, scope, name);
    return true;
  }
  if (!demangler.isFunction()) return false;
  std::size_t size = 0;
  scope = TakeDemangled(demangler.getFunctionDeclContextName(nullptr, &size));
  const std::string full = TakeDemangled(demangler.getFunctionName(nullptr, &size));
  if (scope.empty())
    name = full;
  else if (full.compare(0, scope.size() + 2, scope + "::") == 0)
    name = full.substr(scope.size() + 2);
  else
    name = TakeDemangled(demangler.getFunctionBaseName(nullptr, &size));
  return true;
}

bool ExtractDebugSource(const std::string& fileName, TExtractedModule& result, std::string& error,
                        const std::string& moduleName) {
  TCoffObject file;
  if (!OpenCoffObject(fileName, true, file, error)) return false;
  TExtractor extractor(*file.Coff, result);
  extractor.FModuleFile = moduleName.empty() ? BaseName(fileName) : moduleName;
  if (!extractor.Run(error)) {
    error = fileName + ": " + error;
    return false;
  }
  return true;
}
