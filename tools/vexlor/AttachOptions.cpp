// The options INI read into a fresh options object (defaults without one) and
// written out as the options stream.
#include "tools/vexlor/AttachOptions.h"

#include <fstream>
#include <iterator>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Streams.h"
#include "tools/vexlor/OptionsIni.h"

bool BuildOptionsStream(const std::string& iniFile, std::vector<std::uint8_t>& stream,
                        std::string& error) {
  try {
    TVexlorModuleOptions options("", false);
    if (!iniFile.empty()) {
      std::ifstream file(iniFile, std::ios::binary);
      if (!file) {
        error = iniFile + ": cannot open";
        return false;
      }
      const std::string text((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
      IniToOptions(text, options);
    }
    TMemoryStream memory;
    options.SaveToStream(memory);
    stream = memory.Bytes();
    return true;
  } catch (const std::exception& e) {
    error = (iniFile.empty() ? std::string("default options") : iniFile) + ": " + e.what();
    return false;
  }
}
