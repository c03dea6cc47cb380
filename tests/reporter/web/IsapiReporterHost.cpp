// A host that carries the reporter and its data itself, loading the ISAPI
// test extension: the extension's reporter leaves the reports of its requests
// to this program's. Without arguments a request raises out of the extension
// and is caught here; with "fault" a request writes through a null pointer
// and nothing catches it (this program's reporter reports it and ends the
// request's thread). Prints what the request got, one value a line; exit
// code 2 when the extension cannot be used.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tests/reporter/web/IsapiRequest.h"

int main(int argc, char** argv) {
  const bool fault = argc > 1 && std::strcmp(argv[1], "fault") == 0;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string library = path;
  library = library.substr(0, library.find_last_of('\\') + 1) + "web_isapi_extension.dll";
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) return 2;
  const TExtension extension = ExtensionOf(module);
  if (!extension.Complete()) return 2;
  HSE_VERSION_INFO info{};
  extension.Version(&info);
  TConnection connection;
  EXTENSION_CONTROL_BLOCK block;
  bool raised = false;
  if (fault) {
    PrepareBlock("fault", connection, block);
    std::thread([&] { extension.Proc(&block); }).join();
  } else {
    raised = Request(extension.Proc, "fail", connection, block);
  }
  std::printf("active=%d\nleaves=%d\nraised=%d\nstatus=%s\npage=%zu\nshown=%d\n",
              extension.StaticInitialisationOver() ? 1 : 0, extension.LeavesReportsToHost() ? 1 : 0,
              raised ? 1 : 0, connection.Status.c_str(), connection.Page.size(),
              extension.ReportsShown());
  std::fflush(stdout);
  extension.Terminate(0);
  FreeLibrary(module);
  return 0;
}
