// Percent-encoding for "mailto:" and the mail program's command line, with the
// body cut so the whole command stays within the system's limit.
#include "reporter/delivery/MailtoUrl.h"

namespace {

bool Unchanged(unsigned char c) {
  return c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         c >= 128;
}

std::size_t EncodedSize(unsigned char c) {
  return Unchanged(c) ? 1 : 3;
}

std::size_t CountOf(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size()))
    ++count;
  return count;
}

std::string Replaced(std::string_view command, std::string_view url) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t at = command.find("%1"); at != std::string_view::npos;
       at = command.find("%1", start)) {
    out.append(command.substr(start, at - start));
    out.append(url);
    start = at + 2;
  }
  out.append(command.substr(start));
  return out;
}

}  // namespace

std::string MailtoEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (Unchanged(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string MailtoUrl(std::string_view recipients, std::string_view subject,
                      std::string_view body) {
  return "mailto:" + std::string(recipients) + "?Subject=" + MailtoEncode(subject) +
         "&Body=" + MailtoEncode(body);
}

std::string MailtoCommandLine(std::string_view command, std::string_view recipients,
                              std::string_view subject, std::string_view body, std::size_t limit) {
  const std::size_t uses = CountOf(command, "%1");
  if (uses > 0) {
    const std::size_t fixed = command.size() - 2 * uses;
    const std::size_t head = MailtoUrl(recipients, subject, {}).size();
    // What each copy of the URL may hold of the body, once encoded.
    const std::size_t room = limit > fixed + head * uses ? (limit - fixed) / uses - head : 0;
    std::size_t kept = 0;
    for (std::size_t used = 0; kept < body.size(); ++kept) {
      used += EncodedSize(static_cast<unsigned char>(body[kept]));
      if (used > room) break;
    }
    // A line end is not split in two.
    if (kept < body.size() && kept > 0 && body[kept - 1] == '\r') --kept;
    body = body.substr(0, kept);
  }
  return Replaced(command, MailtoUrl(recipients, subject, body));
}
