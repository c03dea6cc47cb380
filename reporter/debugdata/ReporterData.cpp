// Building and reading the reporter data in both forms, the resource's zlib
// payload inflated only up to a limit, and the day stamps of the data.
#include "reporter/debugdata/ReporterData.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutHeaderTail(std::vector<std::uint8_t>& out, const TReporterData& data) {
  out.push_back(static_cast<std::uint8_t>(data.Version));
  out.push_back(static_cast<std::uint8_t>(data.Version >> 8));
  std::uint8_t stamp[8];
  std::memcpy(stamp, &data.Stamp, 8);
  out.insert(out.end(), stamp, stamp + 8);
}

std::vector<std::uint8_t> PlainPayload(const TReporterData& data) {
  std::vector<std::uint8_t> payload = data.Options;
  PutU32(payload, static_cast<std::uint32_t>(data.DebugData.size()));
  payload.insert(payload.end(), data.DebugData.begin(), data.DebugData.end());
  return payload;
}

bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t limit,
             std::vector<std::uint8_t>& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(size, 0x7FFFFFFF));
  std::uint8_t chunk[16384];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const std::size_t produced = sizeof chunk - stream.avail_out;
    if (out.size() + produced > limit) {
      status = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), chunk, chunk + produced);
    if (status == Z_OK && produced == 0 && stream.avail_in == 0) status = Z_BUF_ERROR;  // truncated
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END;
}

// Options stream, 32-bit length, debug data.
bool SplitPayload(const std::uint8_t* data, std::size_t size,
                  const TOptionsStreamReader& readOptions, TReporterData& result) {
  std::size_t consumed = 0;
  if (!readOptions(data, size, result.Version, consumed) || consumed > size || size - consumed < 4)
    return false;
  const std::uint32_t length = LoadU32(data + consumed);
  if (length > size - consumed - 4) return false;
  result.Options.assign(data, data + consumed);
  result.DebugData.assign(data + consumed + 4, data + consumed + 4 + length);
  return true;
}

}  // namespace

bool ReadReporterResource(const std::uint8_t* data, std::size_t size,
                          const TOptionsStreamReader& readOptions, TReporterData& result,
                          std::size_t maxPayload) {
  if (size < kReporterHeaderSize || LoadU32(data) != kReporterDataMarker) return false;
  result.Version = static_cast<std::uint16_t>(data[4] | (data[5] << 8));
  std::memcpy(&result.Stamp, data + 6, 8);
  if (result.Version < kCompressedPayloadVersion)
    return SplitPayload(data + kReporterHeaderSize, size - kReporterHeaderSize, readOptions,
                        result);
  std::vector<std::uint8_t> payload;
  if (!Inflate(data + kReporterHeaderSize, size - kReporterHeaderSize, maxPayload, payload))
    return false;
  return SplitPayload(payload.data(), payload.size(), readOptions, result);
}

bool HasReporterFileTail(std::uint64_t fileSize, const TFileReadAt& readAt) {
  std::uint8_t marker[4];
  return fileSize >= 4 && readAt(fileSize - 4, 4, marker) && LoadU32(marker) == kReporterDataMarker;
}

bool ReadReporterFileTail(std::uint64_t fileSize, const TFileReadAt& readAt,
                          const TOptionsStreamReader& readOptions, TReporterData& result) {
  std::uint8_t tail[8];
  if (fileSize < 8 || !readAt(fileSize - 8, 8, tail) || LoadU32(tail + 4) != kReporterDataMarker)
    return false;
  const std::uint32_t blockSize = LoadU32(tail);
  if (blockSize < 10 || blockSize > fileSize - 8) return false;
  std::vector<std::uint8_t> block(blockSize);
  if (!readAt(fileSize - 8 - blockSize, blockSize, block.data())) return false;
  result.Version = static_cast<std::uint16_t>(block[0] | (block[1] << 8));
  std::memcpy(&result.Stamp, block.data() + 2, 8);
  return SplitPayload(block.data() + 10, block.size() - 10, readOptions, result);
}

std::vector<std::uint8_t> BuildReporterResource(const TReporterData& data) {
  std::vector<std::uint8_t> out;
  PutU32(out, kReporterDataMarker);
  PutHeaderTail(out, data);
  std::vector<std::uint8_t> payload = PlainPayload(data);
  if (data.Version < kCompressedPayloadVersion) {
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
  }
  uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, payload.data(), static_cast<uLong>(payload.size()),
                9) != Z_OK)
    return {};
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
  return out;
}

std::vector<std::uint8_t> BuildReporterFileTail(const TReporterData& data) {
  std::vector<std::uint8_t> out;
  PutHeaderTail(out, data);
  const std::vector<std::uint8_t> payload = PlainPayload(data);
  out.insert(out.end(), payload.begin(), payload.end());
  const auto blockSize = static_cast<std::uint32_t>(out.size());
  PutU32(out, blockSize);
  PutU32(out, kReporterDataMarker);
  return out;
}

double CurrentDayStamp() {
  // 25569 days lie between 1899-12-30 and the Unix epoch.
  return 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
}

std::string FormatDayStamp(double stamp) {
  if (!std::isfinite(stamp) || stamp < 0 || stamp > 2958466) return "invalid";
  const double seconds = std::floor((stamp - 25569.0) * 86400.0 + 0.5);
  const std::int64_t total = static_cast<std::int64_t>(seconds);
  std::int64_t days = total / 86400, rest = total % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from a day count (proleptic Gregorian).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                static_cast<long long>(rest % 60));
  return text;
}
