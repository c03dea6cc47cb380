// The internal error boxes on Windows: 8-bit text, no owner window (the
// flags include the service-notification bit, which requires none).
#include <windows.h>

#include "reporter/config/InternalErrors.h"

int PlatformMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
}
