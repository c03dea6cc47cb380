// Prints where the subjects of the lookup tests lie and what the running
// reporter resolves them to, one tab-separated line per subject: the offset
// from the module base, then kind, module, unit, class, procedure and line.
// A script compares these with what "vexlor resolve" says for the same
// addresses of the file.
#include <cinttypes>
#include <cstdio>

#include "reporter/config/ModuleMapping.h"
#include "reporter/debugdata/DebugLookup.h"
#include "tests/reporter/debugdata/LookupSubjects.h"

int main() {
  TSubjectCase cases[8];
  const int count = CollectSubjectCases(cases, 8);
  const std::uintptr_t base = ThisModuleHandle();
  for (int i = 0; i < count; ++i) {
    const TVexlorDebugInfo info = GetDebugInfo(cases[i].Site.Address);
    std::printf("%" PRIX64 "\t%d\t%s\t%s\t%s\t%s\t%d\n",
                static_cast<std::uint64_t>(cases[i].Site.Address - base), info.Kind,
                info.ModuleInfo ? info.ModuleInfo->FileName.c_str() : "", info.UnitName.c_str(),
                info.ClassName.c_str(), info.ProcedureName.c_str(), info.Line);
  }
  return count == 5 ? 0 : 1;
}
