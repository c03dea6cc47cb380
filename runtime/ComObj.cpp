// OleCheck and the text of an HRESULT, the system's message with the code behind it.
#include "runtime/ComObj.h"

#include <cstdio>

std::string OleErrorMessage(HRESULT Result) {
  char* text = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(Result), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message;
  if (n && text) {
    message.assign(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
      message.pop_back();
  }
  if (text) LocalFree(text);
  char code[32];
  std::snprintf(code, sizeof code, "OLE error %08lX", static_cast<unsigned long>(Result));
  return message.empty() ? std::string(code) : message + " (" + code + ")";
}

void OleCheck(HRESULT Result) {
  if (FAILED(Result)) throw EOleException(OleErrorMessage(Result), Result);
}
