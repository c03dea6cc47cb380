// Building the MX query and decoding the answer's names and records, every
// read checked against the message's end.
#include "reporter/delivery/DnsMessage.h"

namespace {

constexpr std::uint16_t kTypeMX = 15;
constexpr std::uint16_t kClassIN = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxNameLength = 255;

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value & 0xFF);
}

std::uint16_t Get16(std::string_view message, std::size_t offset) {
  return static_cast<std::uint16_t>((static_cast<unsigned char>(message[offset]) << 8) |
                                    static_cast<unsigned char>(message[offset + 1]));
}

TMxAnswer Invalid(std::string reason) {
  TMxAnswer answer;
  answer.Reason = std::move(reason);
  return answer;
}

TMxAnswer NoExchange(std::string reason) {
  TMxAnswer answer;
  answer.Status = TMxAnswer::TStatus::NoExchange;
  answer.Reason = std::move(reason);
  return answer;
}

}  // namespace

std::string MailDomainOf(std::string_view address) {
  const std::size_t at = address.find('@');
  return std::string(at == std::string_view::npos ? address : address.substr(at + 1));
}

std::string BuildMxQuery(std::string_view domain, std::uint16_t identifier) {
  if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  if (domain.empty() || domain.size() + 1 > kMaxNameLength) return {};
  std::string query;
  Put16(query, identifier);
  Put16(query, 0x0100);  // recursion desired
  Put16(query, 1);
  Put16(query, 0);
  Put16(query, 0);
  Put16(query, 0);
  std::size_t start = 0;
  while (start <= domain.size()) {
    std::size_t dot = domain.find('.', start);
    if (dot == std::string_view::npos) dot = domain.size();
    const std::size_t length = dot - start;
    if (length == 0 || length > 63) return {};
    query += static_cast<char>(length);
    query.append(domain.substr(start, length));
    start = dot + 1;
  }
  query += '\0';
  Put16(query, kTypeMX);
  Put16(query, kClassIN);
  return query;
}

bool DecodeDnsName(std::string_view message, std::size_t& offset, std::string& name) {
  name.clear();
  std::size_t p = offset;
  std::size_t resume = std::string_view::npos;
  int pointers = 0;
  for (;;) {
    if (p >= message.size()) return false;
    const unsigned length = static_cast<unsigned char>(message[p]);
    if ((length & 0xC0) == 0xC0) {
      if (p + 1 >= message.size() || ++pointers > kMaxNamePointers) return false;
      if (resume == std::string_view::npos) resume = p + 2;
      p = ((length & 0x3F) << 8) | static_cast<unsigned char>(message[p + 1]);
      continue;
    }
    if (length & 0xC0) return false;  // reserved label kinds
    if (length == 0) {
      ++p;
      break;
    }
    if (p + 1 + length > message.size()) return false;
    name.append(message.substr(p + 1, length));
    name += '.';
    if (name.size() > kMaxNameLength) return false;
    p += 1 + length;
  }
  if (!name.empty()) name.pop_back();
  offset = resume != std::string_view::npos ? resume : p;
  return true;
}

TMxAnswer ParseMxAnswer(std::string_view message, std::uint16_t identifier) {
  if (message.size() < kHeaderSize) return Invalid("answer shorter than its header");
  if (Get16(message, 0) != identifier) return Invalid("answer to another query");
  const std::uint16_t flags = Get16(message, 2);
  if (!(flags & 0x8000)) return Invalid("not an answer");
  if (const unsigned rcode = flags & 0x000F; rcode != 0)
    return NoExchange("server answered with code " + std::to_string(rcode));
  const std::uint16_t questions = Get16(message, 4);
  const std::uint16_t answers = Get16(message, 6);
  if (answers == 0) return NoExchange("no answer record");

  std::size_t p = kHeaderSize;
  std::string name;
  for (unsigned i = 0; i < questions; ++i) {
    if (!DecodeDnsName(message, p, name) || p + 4 > message.size())
      return Invalid("malformed question");
    p += 4;
  }
  TMxAnswer best = NoExchange("no MX record among the answers");
  unsigned bestPreference = 0x10000;
  for (unsigned i = 0; i < answers; ++i) {
    if (!DecodeDnsName(message, p, name) || p + 10 > message.size())
      return best.Status == TMxAnswer::TStatus::Exchange ? best : Invalid("malformed answer");
    const std::uint16_t type = Get16(message, p);
    const std::uint16_t klass = Get16(message, p + 2);
    const std::uint16_t length = Get16(message, p + 8);
    const std::size_t data = p + 10;
    if (data + length > message.size())
      return best.Status == TMxAnswer::TStatus::Exchange ? best : Invalid("answer data cut off");
    p = data + length;
    if (type != kTypeMX || klass != kClassIN || length < 3) continue;
    const unsigned preference = Get16(message, data);
    // The exchange's own labels must lie inside this record's data.
    std::size_t at = data + 2;
    std::string exchange;
    if (!DecodeDnsName(message.substr(0, data + length), at, exchange)) continue;
    // An empty exchange ("." alone) says the domain takes no mail.
    if (exchange.empty() || preference >= bestPreference) continue;
    bestPreference = preference;
    best.Status = TMxAnswer::TStatus::Exchange;
    best.Exchange = std::move(exchange);
    best.Reason.clear();
  }
  return best;
}
