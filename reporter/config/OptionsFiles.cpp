// Where a module's log file goes. Paths follow Windows rules on every
// platform: the result is always used on Windows.
#include "reporter/config/ModuleOptions.h"
#include "reporter/config/Trace.h"
#include "reporter/config/TraceFormat.h"
#include "runtime/FileNames.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::string TVexlorModuleOptions::OutputFile(const std::string& fileName) const {
  TraceEnter("TVexlorModuleOptions.OutputFile", {ModuleName(), fileName});
  std::string result;
  if (Lower(ExtractFileExt(OutputPath())) != ".vlf") {
    std::string folder = OutputPath().empty() ? ExtractFilePath(fileName) : OutputPath();
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    result = folder + ExtractFileName(fileName);
  } else {
    result = OutputPath();
  }
  TraceExit("TVexlorModuleOptions.OutputFile", {result});
  return result;
}

std::string TVexlorModuleOptions::OutputLogFile() const {
  TraceEnter("TVexlorModuleOptions.OutputLogFile", {ModuleName()});
  std::string result = ChangeFileExt(OutputFile(ModuleName()), ".vlf");
  TraceExit("TVexlorModuleOptions.OutputLogFile", {result});
  return result;
}
