// Reporter options as INI text, for reading and editing them by hand:
//   [Options]           one key per streamed field, in stream order
//   [ExceptionFilters]  Class<i> and Message<i>, i = 0 .. N-1
//   [Texts]             one key per text identifier
// Booleans are 0/1, sets and numbers decimal; strings escape CR, LF, TAB and
// the backslash as \r \n \t \\ and keep every other byte as it is.
#pragma once

#include <string>
#include <string_view>

class TVexlorModuleOptions;

std::string OptionsToIni(const TVexlorModuleOptions& options);
// Sets every key found; keys that are missing keep their present value. Bad
// input (unknown section or key, a malformed value) raises EConvertError
// naming the line; nothing is changed then.
void IniToOptions(std::string_view ini, TVexlorModuleOptions& options);

std::string EscapeIniValue(std::string_view value);
std::string UnescapeIniValue(std::string_view value);  // EConvertError on a bad escape
