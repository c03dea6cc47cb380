// vexlor attach EXE [--options INI] [--resource OUT] [--name FILE]: builds the
// reporter data
// of an executable from its DWARF and either appends it to the file (file-tail
// form; the image itself is not touched) or writes the resource bytes for the
// build to embed as RCDATA "VLDATA". --name is the product's file name when
// EXE is a copy of it (code without line information is listed under it).
#include <cstdio>
#include <fstream>
#include <iterator>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Streams.h"
#include "tools/vexlor/AttachOptions.h"
#include "tools/vexlor/Commands.h"
#include "tools/vexlor/ToolModule.h"

namespace {

bool WriteFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes, bool append) {
  std::ofstream file(fileName, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

int Usage() {
  std::fprintf(stderr, "usage: vexlor attach EXE [--options INI] [--resource OUT] [--name FILE]\n");
  return 2;
}

}  // namespace

int RunAttachCommand(const std::vector<std::string>& args) {
  std::string exe, ini, resourceOut, moduleName;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--options" && i + 1 < args.size())
      ini = args[++i];
    else if (args[i] == "--name" && i + 1 < args.size())
      moduleName = args[++i];
    else if (args[i] == "--resource" && i + 1 < args.size())
      resourceOut = args[++i];
    else if (exe.empty() && !args[i].empty() && args[i][0] != '-')
      exe = args[i];
    else
      return Usage();
  }
  if (exe.empty()) return Usage();

  TPeFile pe;
  std::string error;
  if (!pe.Load(exe, error)) {
    std::fprintf(stderr, "vexlor attach: %s\n", error.c_str());
    return 1;
  }
  TReporterData existing;
  TDataOrigin origin = TDataOrigin::Dwarf;
  const bool attached = ReadAttachedData(pe, existing, origin);
  if (origin == TDataOrigin::Resource || (origin == TDataOrigin::FileTail && !attached)) {
    std::fprintf(stderr, "vexlor attach: %s already carries %s reporter data\n", exe.c_str(),
                 attached ? "resource" : "damaged");
    return 1;
  }
  TReporterData data;
  data.Version = kVexlorDataVersion;
  data.Stamp = CurrentDayStamp();
  if (!BuildOptionsStream(ini, data.Options, error)) {
    std::fprintf(stderr, "vexlor attach: %s\n", error.c_str());
    return 1;
  }
  std::string summary;
  if (!BuildDebugData(exe, data.DebugData, error, &summary, moduleName)) {
    std::fprintf(stderr, "vexlor attach: %s\n", error.c_str());
    return 1;
  }
  if (!resourceOut.empty()) {
    const std::vector<std::uint8_t> resource = BuildReporterResource(data);
    if (resource.empty() || !WriteFile(resourceOut, resource, false)) {
      std::fprintf(stderr, "vexlor attach: cannot write %s\n", resourceOut.c_str());
      return 1;
    }
    std::printf("vexlor attach: %s: %s; %zu bytes of debug data, resource %zu bytes\n", exe.c_str(),
                summary.c_str(), data.DebugData.size(), resource.size());
    return 0;
  }
  // A file tail written before is replaced, not stacked.
  std::vector<std::uint8_t> file = pe.Bytes();
  if (attached) {
    const std::size_t blockSize = existing.Options.size() + existing.DebugData.size() + 4 + 10;
    file.resize(file.size() - blockSize - 8);
  }
  const std::vector<std::uint8_t> tail = BuildReporterFileTail(data);
  file.insert(file.end(), tail.begin(), tail.end());
  const std::string temporary = exe + ".attach-tmp";
  if (!WriteFile(temporary, file, false) || std::rename(temporary.c_str(), exe.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "vexlor attach: cannot write %s\n", exe.c_str());
    return 1;
  }
  std::printf("vexlor attach: %s: %s; %zu bytes of debug data appended\n", exe.c_str(),
              summary.c_str(), data.DebugData.size());
  return 0;
}
