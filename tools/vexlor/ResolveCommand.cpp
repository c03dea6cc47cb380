// vexlor resolve EXE ADDRESS...: what the running reporter reports for code
// addresses of EXE, through the same lookup (an address in inlined code is
// followed by indented lines for the calls it stands for). Addresses are taken at the
// executable's preferred image base, as nm and addr2line print them.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "reporter/debugdata/AddressLookup.h"
#include "tools/vexlor/Commands.h"
#include "tools/vexlor/ToolModule.h"

namespace {

bool ParseAddress(std::string text, std::uint64_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (text.empty() || text.size() > 16) return false;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 16);
  return end != nullptr && *end == '\0';
}

}  // namespace

std::string FormatResolvedLine(const TVexlorDebugInfo& info) {
  char address[24];
  std::snprintf(address, sizeof address, "%016" PRIX64, static_cast<std::uint64_t>(info.Address));
  const std::string module = info.ModuleInfo != nullptr ? info.ModuleInfo->FileName : "";
  return std::string(address) + "\t" + std::to_string(info.Kind) + "\t" + module + "\t" +
         info.UnitName + "\t" + info.ClassName + "\t" + info.ProcedureName + "\t" +
         std::to_string(info.Line);
}

TVexlorDebugInfo ResolveToolAddress(TToolModule& module, std::uint64_t address) {
  const std::uint64_t base = module.Info.Handle;
  if (address < base || address - base >= module.Pe.SizeOfImage()) {
    TVexlorDebugInfo outside;
    outside.Address = static_cast<std::uintptr_t>(address);
    return outside;
  }
  return ResolveInModule(&module.Info, static_cast<std::uintptr_t>(address));
}

int RunResolveCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: vexlor resolve EXE ADDRESS...\n");
    return 2;
  }
  std::vector<std::uint64_t> addresses;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::uint64_t value = 0;
    if (!ParseAddress(args[i], value)) {
      std::fprintf(stderr, "vexlor resolve: '%s' is no hexadecimal address\n", args[i].c_str());
      return 1;
    }
    addresses.push_back(value);
  }
  TToolModule module;
  std::string error;
  if (!LoadToolModule(args[0], module, error)) {
    std::fprintf(stderr, "vexlor resolve: %s\n", error.c_str());
    return 1;
  }
  // Below an address in inlined code, indented, the calls it was inlined
  // through, innermost first: the rows a report shows for it.
  for (std::uint64_t address : addresses) {
    std::printf("%s\n", FormatResolvedLine(ResolveToolAddress(module, address)).c_str());
    const std::uint64_t base = module.Info.Handle;
    if (address < base || address - base >= module.Pe.SizeOfImage()) continue;
    for (const TVexlorDebugInfo& caller :
         ResolveInlineCallers(&module.Info, static_cast<std::uintptr_t>(address)))
      std::printf("  %s\n", FormatResolvedLine(caller).c_str());
  }
  return 0;
}
