// vexlor options defaults | dump FILE [--stream-version N] | write INI OUT:
// reporter options between their stream form and INI text.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Exceptions.h"
#include "runtime/Streams.h"
#include "tools/vexlor/Commands.h"
#include "tools/vexlor/OptionsIni.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vexlor options defaults\n"
               "       vexlor options dump FILE [--stream-version N]   (N defaults to %u)\n"
               "       vexlor options write INI OUT\n",
               static_cast<unsigned>(kCurrentOptionsStreamVersion));
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vexlor options: %s\n", message.c_str());
  return 1;
}

void Print(const TVexlorModuleOptions& options) {
  std::string ini = OptionsToIni(options);
  std::fwrite(ini.data(), 1, ini.size(), stdout);
}

int Dump(const std::string& fileName, std::uint16_t version) {
  TMemoryStream stream;
  stream.LoadFromFile(fileName);
  SetCurrentOptionsStreamVersion(version);
  TVexlorModuleOptions options("", false);
  options.LoadFromStream(stream);
  if (stream.Remaining() != 0)
    return Fail(fileName + ": " + std::to_string(stream.Remaining()) +
                " bytes follow the options of a version-" + std::to_string(version) + " stream");
  Print(options);
  return 0;
}

int Write(const std::string& iniName, const std::string& outName) {
  std::ifstream file(iniName, std::ios::binary);
  if (!file) return Fail("cannot read " + iniName);
  std::string ini((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  TVexlorModuleOptions options("", false);
  try {
    IniToOptions(ini, options);
  } catch (const EConvertError& e) {
    return Fail(iniName + ": " + e.Message());
  }
  TMemoryStream stream;
  options.SaveToStream(stream);
  stream.SaveToFile(outName);
  return 0;
}

}  // namespace

int RunOptionsCommand(const std::vector<std::string>& args) {
  try {
    if (args.size() == 1 && args[0] == "defaults") {
      Print(TVexlorModuleOptions("", false));
      return 0;
    }
    if (args.size() == 2 && args[0] == "dump") return Dump(args[1], kCurrentOptionsStreamVersion);
    if (args.size() == 4 && args[0] == "dump" && args[2] == "--stream-version") {
      unsigned version = 0;
      const std::string& text = args[3];
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), version);
      if (error != std::errc() || end != text.data() + text.size() || version > 65535)
        return Fail("--stream-version: '" + text + "' is not a number from 0 to 65535");
      return Dump(args[1], static_cast<std::uint16_t>(version));
    }
    if (args.size() == 3 && args[0] == "write") return Write(args[1], args[2]);
  } catch (const Exception& e) {
    return Fail(e.Message());
  }
  return Usage();
}
