// The reply reader on arbitrary server output: codes stay in range, and a
// reply judged complete really ends with a last line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reporter/delivery/SmtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const int code = SmtpReplyCode(reply);
  if (code < -1 || code > 0xFFFF) std::abort();
  if (SmtpReplyComplete(reply) && (reply.size() < 4 || reply.back() != '\n')) std::abort();
  SmtpReplyOffers(reply, "STARTTLS");
  SmtpReplyOffers(reply, "");
  return 0;
}
