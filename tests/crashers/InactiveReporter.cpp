// With the option Active off nothing is reported: the program ends as it
// would without the reporter (the C++ runtime's terminate and abort).
// expect: exit=3
// expect: reports=0
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"

__attribute__((noinline)) void Fail() {
  throw EConvertError("not reported");
}

int main() {
  CurrentVexlorLogOptions().SetActive(false);
  Fail();
  return 0;
}
