// Taking the copies of memory that the report's dump shows.
#pragma once

#include <cstdint>
#include <optional>

#include "reporter/debugdata/MemoryReader.h"
#include "reporter/report/CpuBlock.h"

// The 16 stack slots at stackPointer and the 256 bytes at codeAddress, or
// nothing when either range is not wholly readable (or stops being readable
// while it is copied).
std::optional<TReportMemoryDump> CaptureMemoryDump(TVexlorMemoryReader& memory,
                                                   std::uint64_t stackPointer,
                                                   std::uint64_t codeAddress);
