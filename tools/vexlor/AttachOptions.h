// The options stream attached with the debug data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// From an options INI (the "vexlor options" format), or the defaults when
// iniFile is empty. False with a message for an unreadable or bad INI.
bool BuildOptionsStream(const std::string& iniFile, std::vector<std::uint8_t>& stream,
                        std::string& error);
