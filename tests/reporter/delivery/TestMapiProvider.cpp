// A Simple MAPI provider for the tests: it writes what it is handed to the
// file named by VEXLOR_MAPI_RECORD, one "key: value" line each, and refuses
// the step named by VEXLOR_MAPI_REFUSE ("logon", "resolve", "send").
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Env(const char* name) {
  char value[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value) : std::string();
}

bool Refused(const char* step) {
  return Env("VEXLOR_MAPI_REFUSE") == step;
}

void Record(const std::string& line) {
  const std::string file = Env("VEXLOR_MAPI_RECORD");
  if (file.empty()) return;
  if (FILE* f = std::fopen(file.c_str(), "ab")) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputs("\n", f);
    std::fclose(f);
  }
}

std::string Text(const char* text) {
  return text ? text : "(null)";
}

}  // namespace

extern "C" {

__declspec(dllexport) ULONG WINAPI
    MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS flags, ULONG, LPLHANDLE session) {
  Record("logon: flags " + std::to_string(flags));
  if (Refused("logon")) return MAPI_E_LOGIN_FAILURE;
  *session = 0x5150;
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
  Record("logoff: " + std::to_string(session));
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR name, FLAGS, ULONG, lpMapiRecipDesc* recipient) {
  Record("resolve: " + Text(name));
  if (Refused("resolve")) return MAPI_E_UNKNOWN_RECIPIENT;
  // One block, freed by MAPIFreeBuffer: the descriptor, then its texts.
  const std::string display = "Display " + Text(name);
  const std::string address = "SMTP:" + Text(name);
  const std::size_t size = sizeof(MapiRecipDesc) + display.size() + address.size() + 8;
  auto* block = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
  auto* desc = reinterpret_cast<MapiRecipDesc*>(block);
  char* texts = block + sizeof(MapiRecipDesc);
  std::memcpy(texts, display.c_str(), display.size() + 1);
  std::memcpy(texts + display.size() + 1, address.c_str(), address.size() + 1);
  desc->ulRecipClass = MAPI_TO;
  desc->lpszName = texts;
  desc->lpszAddress = texts + display.size() + 1;
  desc->ulEIDSize = 3;
  desc->lpEntryID = texts + display.size() + 1;  // "SMT"
  *recipient = desc;
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI MAPIFreeBuffer(LPVOID buffer) {
  Record("free");
  HeapFree(GetProcessHeap(), 0, buffer);
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
  Record("send: session " + std::to_string(session) + " flags " + std::to_string(flags));
  Record("subject: " + Text(message->lpszSubject));
  Record("body: " + Text(message->lpszNoteText));
  for (ULONG i = 0; i < message->nRecipCount; ++i) {
    const MapiRecipDesc& r = message->lpRecips[i];
    Record("to: " + std::to_string(r.ulRecipClass) + " " + Text(r.lpszName) + " <" +
           Text(r.lpszAddress) + "> " +
           std::string(static_cast<const char*>(r.lpEntryID), r.ulEIDSize));
  }
  for (ULONG i = 0; i < message->nFileCount; ++i) {
    const MapiFileDesc& f = message->lpFiles[i];
    Record("file: " + Text(f.lpszFileName) + " at " + Text(f.lpszPathName) + " position " +
           std::to_string(static_cast<long>(f.nPosition)));
  }
  return Refused("send") ? MAPI_E_FAILURE : SUCCESS_SUCCESS;
}

}  // extern "C"
