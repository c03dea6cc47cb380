// LoadFromStream on arbitrary bytes, at every stream version the reader knows.
// First byte: which version; the rest: the stream. A stream that loads must
// come back unchanged through SaveToStream; one that fails must leave the
// options exactly as they were.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Exceptions.h"
#include "runtime/Streams.h"

namespace {

constexpr std::uint16_t kVersions[] = {458, 400, 401, 403, 420, 421, 422, 450};

std::vector<std::uint8_t> Saved(const TVexlorModuleOptions& options) {
  TMemoryStream stream;
  options.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  SetCurrentOptionsStreamVersion(kVersions[data[0] % std::size(kVersions)]);
  TVexlorModuleOptions options("", false);
  options.AddExceptionFilter("EAbort", "kept when the load fails");
  std::vector<std::uint8_t> before = Saved(options);
  TMemoryStream stream(std::vector<std::uint8_t>(data + 1, data + size));
  try {
    options.LoadFromStream(stream);
  } catch (const EReadError&) {
    if (Saved(options) != before || options.UpdateCount() != 0) std::abort();
    return 0;
  }
  if (options.UpdateCount() != 0) std::abort();
  std::vector<std::uint8_t> once = Saved(options);
  SetCurrentOptionsStreamVersion(kCurrentOptionsStreamVersion);
  TVexlorModuleOptions again("", false);
  TMemoryStream copy(once);
  again.LoadFromStream(copy);
  if (Saved(again) != once || copy.Remaining() != 0) std::abort();
  return 0;
}
