// The MX answer reader on arbitrary datagrams: it must never read outside
// them, and an exchanger it returns is a well-formed dotted name.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/delivery/DnsMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  const TMxAnswer answer = ParseMxAnswer(datagram, 0x4141);
  if (answer.Status == TMxAnswer::TStatus::Exchange) {
    if (answer.Exchange.empty() || answer.Exchange.size() > 255 || answer.Exchange.back() == '.')
      std::abort();
  }
  std::string name;
  std::size_t offset = size / 2;
  if (DecodeDnsName(datagram, offset, name) && (offset > size || name.size() > 255)) std::abort();
  return 0;
}
