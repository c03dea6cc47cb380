// Reading a mail server's replies: the reply code, whether a reply is
// complete (so the client need not wait for the line to fall silent), and
// the extensions an EHLO reply lists.
#pragma once

#include <string_view>

// The run of decimal digits at the start of the text; -1 without one (or for
// a run too long to be a reply code).
int SmtpReplyCode(std::string_view reply);

// True once the text ends with a reply's last line: three digits, then a
// space or nothing, then the line end. "250-a\r\n" still waits for more.
bool SmtpReplyComplete(std::string_view reply);

// Whether an EHLO reply lists the extension (its keyword, any case), e.g.
// "STARTTLS" in "250-STARTTLS\r\n".
bool SmtpReplyOffers(std::string_view reply, std::string_view keyword);
