// Reading reply codes, the last line of a multi-line reply, and the keywords
// an EHLO reply offers, case-insensitively.
#include "reporter/delivery/SmtpReply.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool HasCodePrefix(std::string_view line) {
  return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

}  // namespace

int SmtpReplyCode(std::string_view reply) {
  int code = 0;
  std::size_t digits = 0;
  while (digits < reply.size() && IsDigit(reply[digits])) {
    if (digits == 5) return -1;  // codes are 16-bit
    code = code * 10 + (reply[digits] - '0');
    ++digits;
  }
  if (digits == 0 || code > 0xFFFF) return -1;
  return code;
}

bool SmtpReplyComplete(std::string_view reply) {
  if (reply.empty() || reply.back() != '\n') return false;
  reply.remove_suffix(1);
  if (!reply.empty() && reply.back() == '\r') reply.remove_suffix(1);
  const std::size_t start = reply.find_last_of('\n');
  const std::string_view last = start == std::string_view::npos ? reply : reply.substr(start + 1);
  return HasCodePrefix(last) && (last.size() == 3 || last[3] == ' ');
}

bool SmtpReplyOffers(std::string_view reply, std::string_view keyword) {
  while (!reply.empty()) {
    std::size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    reply = end == std::string_view::npos ? std::string_view() : reply.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!HasCodePrefix(line) || line.size() < 4 + keyword.size()) continue;
    std::string_view word = line.substr(4, keyword.size());
    bool same = true;
    for (std::size_t i = 0; i < keyword.size() && same; ++i)
      same = Upper(word[i]) == Upper(keyword[i]);
    const std::size_t after = 4 + keyword.size();
    if (same && (line.size() == after || line[after] == ' ')) return true;
  }
  return false;
}
