// The version text of the About box.
#pragma once

#include <cstdint>
#include <string>

// "major.minor.release build N" from the two words of a fixed file version.
std::wstring FormatVersionText(uint32_t FileVersionMS, uint32_t FileVersionLS);
// "\"caption\" версия version".
std::wstring AboutText(const std::wstring& Caption, const std::wstring& Version);
