// The name of the system's default language among the installed locales
// (Windows).
#pragma once

#include <string>

// "English (United States)"; empty when no installed locale matches.
std::string SystemDefaultLanguageName();
