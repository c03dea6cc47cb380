// The reporter data a module carries: options and debug data, either as the
// "VLDATA" resource (marker, version, stamp, zlib payload) or appended to the
// module file (file-tail form, never compressed). Portable: the running
// process and the vexlor tool read and write through this code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr std::uint32_t kReporterDataMarker = 0x000FAB10;
constexpr std::uint16_t kCompressedPayloadVersion = 450;
inline constexpr const char kReporterResourceName[] = "VLDATA";
// Resource header: marker, version, stamp.
constexpr std::size_t kReporterHeaderSize = 14;

struct TReporterData {
  std::uint16_t Version = 0;
  double Stamp = 0;                     // days since 1899-12-30
  std::vector<std::uint8_t> Options;    // the options stream as stored
  std::vector<std::uint8_t> DebugData;  // may be empty
};

// Reads an options stream of the given version from the front of the bytes
// and says how many bytes it took; false when the stream is damaged.
using TOptionsStreamReader = std::function<bool(const std::uint8_t* data, std::size_t size,
                                                std::uint16_t version, std::size_t& consumed)>;

// The resource form. False for a missing marker, a damaged payload, or a
// payload that inflates beyond maxPayload bytes.
bool ReadReporterResource(const std::uint8_t* data, std::size_t size,
                          const TOptionsStreamReader& readOptions, TReporterData& result,
                          std::size_t maxPayload = 256u << 20);

// The file-tail form: readAt(offset, count, buffer) reads from the file of
// the given size.
using TFileReadAt =
    std::function<bool(std::uint64_t offset, std::size_t count, std::uint8_t* buffer)>;
bool HasReporterFileTail(std::uint64_t fileSize, const TFileReadAt& readAt);
bool ReadReporterFileTail(std::uint64_t fileSize, const TFileReadAt& readAt,
                          const TOptionsStreamReader& readOptions, TReporterData& result);

// Writers of both forms (level-9 zlib for the resource from version 450 on).
std::vector<std::uint8_t> BuildReporterResource(const TReporterData& data);
std::vector<std::uint8_t> BuildReporterFileTail(const TReporterData& data);

// The current time as a day count since 1899-12-30, the stamp's unit.
double CurrentDayStamp();
// "YYYY-MM-DD hh:mm:ss" of a stamp (UTC), for listings.
std::string FormatDayStamp(double stamp);
