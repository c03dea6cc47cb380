// Byte-level text helpers of the report: control-character filters, column
// padding and the parts of Windows file names the report prints.
#pragma once

#include <string>
#include <string_view>

// Every byte below 0x20 (CR, LF and tab included) becomes one space; the
// length never changes, so a value can never break a report line.
std::string ReplaceControlChars(std::string_view text);

// As ReplaceControlChars, but CR and LF survive: for texts shown with their
// line breaks (the exception dialog's message).
std::string ReplaceControlCharsKeepLines(std::string_view text);

// The text followed by (width - length) spaces when width exceeds its length;
// otherwise the text unchanged.
std::string PadRight(std::string_view text, std::size_t width);

// The text without leading and trailing blanks and control characters.
std::string Trim(std::string_view text);
