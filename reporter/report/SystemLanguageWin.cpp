// The default language found by enumerating the installed locales, the answer
// passed through statics under a lock since the callback takes no context.
#include "reporter/report/SystemLanguageWin.h"

#include <windows.h>

#include <mutex>

#include "reporter/config/ReporterLock.h"
#include "reporter/report/SystemFormats.h"

namespace {

// EnumSystemLocalesA's callback takes no context, so the answer travels
// through these; the lock keeps two enumerations from sharing them.
// Each enumeration starts from a cleared answer: a dead holder leaves nothing
// to repair.
TVexlorLock languageLock;
std::string languageResult;
LANGID languageWanted = 0;

std::string LocaleText(LCID locale, LCTYPE type) {
  wchar_t buffer[1024] = {};
  const int length = GetLocaleInfoW(locale, type, buffer, 1024);
  if (length <= 1) return {};
  const int bytes =
      WideCharToMultiByte(CP_ACP, 0, buffer, length - 1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, buffer, length - 1, text.data(), bytes, nullptr, nullptr);
  return text;
}

BOOL CALLBACK OnLocale(LPSTR localeText) {
  try {
    if (localeText == nullptr) return TRUE;
    const auto language = LanguageIdOfLocale(localeText);
    if (!language || *language != languageWanted) return TRUE;
    const LCID locale = MAKELCID(*language, SORT_DEFAULT);
    if (LocaleText(locale, LOCALE_SABBREVLANGNAME).empty()) return TRUE;
    languageResult = LocaleText(locale, LOCALE_SLANGUAGE);
    return FALSE;
  } catch (...) {
    // An exception must not unwind through the system's enumeration.
    return FALSE;
  }
}

}  // namespace

std::string SystemDefaultLanguageName() {
  std::lock_guard<TVexlorLock> guard(languageLock);
  languageResult.clear();
  languageWanted = GetSystemDefaultLangID();
  EnumSystemLocalesA(OnLocale, LCID_INSTALLED);
  return languageResult;
}
