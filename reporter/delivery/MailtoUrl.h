// The "mailto:" URL that hands the report to the user's mail program, and the
// command line that starts it, kept within what the system can start.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// "-", digits, letters and every byte of 128 or more stay; any other byte
// becomes "%" and two upper-case hexadecimal digits.
std::string MailtoEncode(std::string_view bytes);

// "mailto:" + recipients + "?Subject=" + subject + "&Body=" + body, both
// encoded.
std::string MailtoUrl(std::string_view recipients, std::string_view subject, std::string_view body);

// The longest command line the system starts, without its terminating zero.
inline constexpr std::size_t kMaxCommandLine = 32766;

// The registered command with every "%1" replaced by the URL. When that
// would pass `limit` characters, the body is cut (never the recipients or
// the subject) until it fits, or left empty.
std::string MailtoCommandLine(std::string_view command, std::string_view recipients,
                              std::string_view subject, std::string_view body,
                              std::size_t limit = kMaxCommandLine);
