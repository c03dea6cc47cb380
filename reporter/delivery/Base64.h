// Base64 as mail carries it: the standard alphabet, lines of at most 80
// characters (60 input bytes), every line ended by CR LF, the last included.
// Used for attachments and for the SMTP login.
#pragma once

#include <string>
#include <string_view>

// An empty input gives an empty text, without a line end.
std::string EncodeBase64Lines(std::string_view bytes);
