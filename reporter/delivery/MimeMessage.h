// The e-mail the SMTP client sends: a multipart message with the report's
// text part and one base64 part per attached file, composed byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kMimeBoundary = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";

// A file to attach: its name without folder and its bytes.
struct TMimeAttachment {
  std::string FileName;
  std::string Content;
};

// "image/png" for a ".png" file (any case), otherwise "application/octet-stream".
std::string MimeContentType(std::string_view fileName);

// The MIME name of an 8-bit code page ("windows-1251"); the report's text is
// 8-bit in the system's code page and says so.
std::string CharsetOfCodePage(unsigned codePage);

// The preamble, the text part (declared as 8-bit text in `charset`), the
// attachments in order, the closing boundary.
std::string ComposeMimeBody(std::string_view bodyText,
                            const std::vector<TMimeAttachment>& attachments,
                            std::string_view charset);

struct TMimeHeaders {
  std::string Date;  // FormatReportDate's text
  std::string Sender;
  std::string Recipient;
  std::string Subject;
};

// The headers, a blank line and the composed body; ends with CR LF.
std::string ComposeMimeMessage(const TMimeHeaders& headers, std::string_view composedBody);

// What follows "DATA": every line that starts with "." gets a second one, so
// no line of the message can end it early; then the final ".". The sender
// appends the last CR LF.
std::string SmtpMessageData(std::string_view message);
