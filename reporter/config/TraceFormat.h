// The text forms of the internal trace: parameter values, whole lines, the
// header, the command-line switches and the Windows version text. Pure
// functions, so the formats are tested without a running trace.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "reporter/config/Trace.h"

// What the trace may learn about an address: the module it lies in and
// whether bytes there can be read. The Windows side asks the loader and the
// memory manager; natively there are no modules, so nothing is ever added.
class TAddressInspector {
 public:
  virtual ~TAddressInspector() = default;
  // The file name (with folder) of the loaded module holding address, or
  // empty when it lies in none.
  virtual std::string ModuleFileName(const void* address) const = 0;
  // Copies size bytes from address when all of them are committed, readable
  // memory; false (and nothing copied) otherwise.
  virtual bool ReadBytes(const void* address, void* out, std::size_t size) const = 0;
};

// The inspector of this platform; tests and the capture layer may replace it.
const TAddressInspector& CurrentAddressInspector();
void SetAddressInspector(const TAddressInspector* inspector);  // null restores

std::string FormatTraceValue(const TraceValue& value, const TAddressInspector& inspector);
// "(a, b, c)", or empty for no parameters.
std::string FormatTraceParams(TraceParams params, const TAddressInspector& inspector);
// "dd/mm/yy hh:nn:ss" of a local time.
std::string FormatTraceTime(const std::tm& local);
std::string FormatTraceLine(std::string_view time, std::string_view thread, int indent,
                            std::string_view routine, std::string_view params);

// Addresses and ids are printed at pointer width in upper-case hexadecimal.
std::string HexDigits(std::uint64_t value, int digits);

struct TTraceSwitches {
  bool Enabled = false;
  bool SaveEachLine = false;
};
// Only the last command-line parameter counts; "DEBUG" and "SAVE" in any
// letter case anywhere inside it.
TTraceSwitches TraceSwitchesFromParameters(const std::vector<std::string>& parameters,
                                           bool designEnvironment);

// Splits a Windows command line (program first) by blanks, with double quotes
// grouping blanks into one parameter.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// platformId: 1 = 9x family, 2 = NT family (as GetVersionEx reports them).
std::string WindowsVersionText(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                               std::string_view servicePack);

// The compiler's product name and version, from its own macros.
std::string CompilerVersionText();
// "VexlorLog 4.5.8", the compiler, the system, a dashed line.
std::vector<std::string> TraceHeaderLines(const std::string& systemVersion);
// The file name without its folder, upper-cased (runtime/FileNames.h has
// the other parts of file names).
std::string UpperFileName(std::string_view fileName);

// The upper-case executable name of the design environment.
constexpr std::string_view kDesignEnvironmentExecutable = "VEXLORIDE.EXE";
