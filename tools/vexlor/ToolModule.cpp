// A module read for the tool: the attached data from the resource or the file
// tail, or debug data built from the file's DWARF.
#include "tools/vexlor/ToolModule.h"

#include <cstring>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Exceptions.h"
#include "runtime/Streams.h"
#include "tools/vexlor/DebugDataWriter.h"
#include "tools/vexlor/DwarfExtractor.h"

namespace {

constexpr std::uint16_t kRcData = 10;

}  // namespace

std::string FileNamePart(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

bool ReadOptionsStream(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                       std::size_t& consumed) {
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    TVexlorModuleOptions options("", false);
    const std::uint16_t previous = CurrentOptionsStreamVersion();
    SetCurrentOptionsStreamVersion(version);
    try {
      options.LoadFromStream(stream);
    } catch (...) {
      SetCurrentOptionsStreamVersion(previous);
      throw;
    }
    SetCurrentOptionsStreamVersion(previous);
    consumed = static_cast<std::size_t>(stream.Position());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool ReadAttachedData(const TPeFile& pe, TReporterData& data, TDataOrigin& origin) {
  if (const auto resource = pe.FindResource(kRcData, kReporterResourceName)) {
    origin = TDataOrigin::Resource;
    return ReadReporterResource(resource->data(), resource->size(), ReadOptionsStream, data);
  }
  const std::vector<std::uint8_t>& bytes = pe.Bytes();
  auto readAt = [&](std::uint64_t offset, std::size_t count, std::uint8_t* buffer) {
    if (offset > bytes.size() || count > bytes.size() - offset) return false;
    std::memcpy(buffer, bytes.data() + offset, count);
    return true;
  };
  if (!HasReporterFileTail(bytes.size(), readAt)) return false;
  origin = TDataOrigin::FileTail;
  return ReadReporterFileTail(bytes.size(), readAt, ReadOptionsStream, data);
}

bool BuildDebugData(const std::string& fileName, std::vector<std::uint8_t>& data,
                    std::string& error, std::string* summary, const std::string& moduleName) {
  TExtractedModule extracted;
  if (!ExtractDebugSource(fileName, extracted, error, moduleName)) return false;
  if (extracted.LineRows == 0) {
    error = fileName + ": no DWARF line information (build with -g, attach before stripping)";
    return false;
  }
  data = WriteDebugData(extracted.Source, kVexlorDataVersion);
  if (summary != nullptr)
    *summary = std::to_string(extracted.LineRows) + " line rows, " +
               std::to_string(extracted.SymbolSegments) + " symbol-only ranges, " +
               std::to_string(extracted.Source.Procedures.size()) + " procedures";
  return true;
}

bool LoadToolModule(const std::string& fileName, TToolModule& module, std::string& error) {
  if (!module.Pe.Load(fileName, error)) return false;
  TVexlorModuleInfo& info = module.Info;
  info.Handle = static_cast<std::uintptr_t>(module.Pe.ImageBase());
  info.FileName = FileNamePart(fileName);
  info.ModuleKind = module.Pe.IsLibrary() ? mkLibrary : mkExecutable;
  if (ReadAttachedData(module.Pe, module.Data, module.Origin)) {
    info.DebugVersion = module.Data.Version;
    info.DebugStamp = module.Data.Stamp;
    info.DebugData = module.Data.DebugData;
    BuildDebugUnitIndex(info.DebugData.data(), info.DebugData.size(), info.DebugVersion,
                        info.DebugUnitIndex);
    return true;
  }
  if (module.Origin != TDataOrigin::Dwarf) {
    error = fileName + ": the attached reporter data is damaged";
    return false;
  }
  if (!BuildDebugData(fileName, info.DebugData, error)) return false;
  BuildDebugUnitIndex(info.DebugData.data(), info.DebugData.size(), info.DebugVersion,
                      info.DebugUnitIndex);
  return true;
}
