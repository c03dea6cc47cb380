// An executable file read by the tool the way the running reporter sees the
// module: its reporter data (resource or file tail) or, for a file that has
// none yet, debug data built from its DWARF on the spot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reporter/debugdata/ModuleInfo.h"
#include "reporter/debugdata/ReporterData.h"
#include "tools/vexlor/PeFile.h"

enum class TDataOrigin { Resource, FileTail, Dwarf };

struct TToolModule {
  TPeFile Pe;
  TVexlorModuleInfo Info;  // Handle = the preferred image base
  TDataOrigin Origin = TDataOrigin::Dwarf;
  TReporterData Data;
};

// Reads an options stream of the given version with the options class,
// reporting how many bytes it took.
bool ReadOptionsStream(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                       std::size_t& consumed);

// The reporter data the file carries, if any (resource first, then tail).
bool ReadAttachedData(const TPeFile& pe, TReporterData& data, TDataOrigin& origin);

bool LoadToolModule(const std::string& fileName, TToolModule& module, std::string& error);

// Debug data built from the file's DWARF and symbols.
bool BuildDebugData(const std::string& fileName, std::vector<std::uint8_t>& data,
                    std::string& error, std::string* summary = nullptr,
                    const std::string& moduleName = "");

std::string FileNamePart(const std::string& path);
