// vexlor debug dump EXE: the reporter data of an executable in readable form.
// vexlor debug same-code A B: checks that two links of one program have the
// same code bytes and symbol addresses (the build's guard after embedding).
#include <cinttypes>
#include <cstdio>
#include <map>

#include "reporter/debugdata/DebugData.h"
#include "tools/vexlor/CoffObject.h"
#include "tools/vexlor/Commands.h"
#include "tools/vexlor/ToolModule.h"

namespace {

const char* OriginText(TDataOrigin origin) {
  switch (origin) {
    case TDataOrigin::Resource:
      return "resource VLDATA";
    case TDataOrigin::FileTail:
      return "file tail";
    case TDataOrigin::Dwarf:
      return "none attached; built from DWARF";
  }
  return "";
}

int Dump(const std::string& fileName) {
  TToolModule module;
  std::string error;
  if (!LoadToolModule(fileName, module, error)) {
    std::fprintf(stderr, "vexlor debug: %s\n", error.c_str());
    return 1;
  }
  const TVexlorModuleInfo& info = module.Info;
  std::printf("file\t%s\nreporter data\t%s\n", fileName.c_str(), OriginText(module.Origin));
  if (module.Origin != TDataOrigin::Dwarf)
    std::printf("version\t%u\nattached\t%s UTC\noptions stream\t%zu bytes\n", info.DebugVersion,
                FormatDayStamp(info.DebugStamp).c_str(), module.Data.Options.size());
  std::printf("image base\t%016" PRIX64 "\ndebug data\t%zu bytes\n",
              static_cast<std::uint64_t>(info.Handle), info.DebugData.size());
  const std::uint64_t codeBase = info.Handle + kCodeOffsetBase;
  std::printf("\n[names]\n");
  const bool namesOk =
      ForEachDebugName(info.DebugData.data(), info.DebugData.size(), info.DebugVersion,
                       [&](const std::string& name, std::uint32_t offset) {
                         std::printf("%016" PRIX64 "\t%s\n", codeBase + offset, name.c_str());
                         return true;
                       });
  std::printf("\n[units]\n");
  const bool unitsOk = ForEachDebugUnit(
      info.DebugData.data(), info.DebugData.size(), info.DebugVersion, [&](const TDebugUnit& unit) {
        std::printf("%016" PRIX64 "-%016" PRIX64 "\t%s\tline %u\t%u table bytes\n",
                    codeBase + unit.Offset,
                    codeBase + unit.Offset + unit.CodeSize - (unit.CodeSize ? 1 : 0),
                    unit.Name.c_str(), unit.FirstLine, unit.TableSize);
        return true;
      });
  if (!namesOk || !unitsOk) {
    std::fprintf(stderr, "vexlor debug: the debug data ends early\n");
    return 1;
  }
  return 0;
}

struct TCodeFacts {
  std::vector<std::uint8_t> Text;
  std::map<std::string, std::uint64_t> Symbols;  // name -> address (first one)
};

bool ReadCodeFacts(const std::string& fileName, TCodeFacts& facts, std::string& error) {
  TCoffObject file;
  if (!OpenCoffObject(fileName, false, file, error)) return false;
  const llvm::object::COFFObjectFile* coff = file.Coff;
  for (const llvm::object::SectionRef& section : coff->sections()) {
    auto name = section.getName();
    auto contents = section.getContents();
    if (name && *name == ".text" && contents) facts.Text.assign(contents->begin(), contents->end());
    if (!name) llvm::consumeError(name.takeError());
    if (!contents) llvm::consumeError(contents.takeError());
  }
  for (const llvm::object::SymbolRef& symbol : coff->symbols()) {
    auto name = symbol.getName();
    auto address = symbol.getAddress();
    // Debug sections are not loaded and shift behind the added resources.
    if (name && address && !name->startswith(".debug") && !name->startswith(".rsrc"))
      facts.Symbols.emplace(name->str(), *address);
    if (!name) llvm::consumeError(name.takeError());
    if (!address) llvm::consumeError(address.takeError());
  }
  return true;
}

int SameCode(const std::string& first, const std::string& second) {
  TCodeFacts a, b;
  std::string error;
  if (!ReadCodeFacts(first, a, error) || !ReadCodeFacts(second, b, error)) {
    std::fprintf(stderr, "vexlor debug: %s\n", error.c_str());
    return 1;
  }
  int differences = 0;
  if (a.Text != b.Text) {
    std::fprintf(stderr, "vexlor debug: the code sections differ (%zu and %zu bytes)\n",
                 a.Text.size(), b.Text.size());
    ++differences;
  }
  for (const auto& [name, address] : a.Symbols) {
    auto it = b.Symbols.find(name);
    if (it != b.Symbols.end() && it->second != address && differences < 20) {
      std::fprintf(stderr, "vexlor debug: %s moved from %016" PRIX64 " to %016" PRIX64 "\n",
                   name.c_str(), address, it->second);
      ++differences;
    }
  }
  if (differences != 0) return 1;
  std::printf("same code: %zu code bytes, %zu symbols\n", a.Text.size(), a.Symbols.size());
  return 0;
}

}  // namespace

int RunDebugCommand(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "dump") return Dump(args[1]);
  if (args.size() == 3 && args[0] == "same-code") return SameCode(args[1], args[2]);
  std::fprintf(stderr, "usage: vexlor debug dump EXE | same-code EXE1 EXE2\n");
  return 2;
}
