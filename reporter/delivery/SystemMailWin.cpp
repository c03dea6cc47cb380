// Simple MAPI loaded from the registered mail client, its recipients resolved
// one by one, and the "mailto:" command run through the shell.
#include "reporter/delivery/SystemMailWin.h"

#include <mapi.h>

#include <cstring>
#include <memory>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/AttachmentFilesWin.h"
#include "reporter/delivery/MailAddresses.h"
#include "reporter/delivery/MailtoUrl.h"
#include "reporter/delivery/SystemErrorTextWin.h"
#include "runtime/FileNames.h"

namespace {

constexpr std::size_t kMapiTextSize = 257;
constexpr DWORD kExpandSize = 2048;

struct TLibrary {
  HMODULE handle = nullptr;
  ~TLibrary() {
    if (handle) FreeLibrary(handle);
  }
};

struct TKey {
  HKEY handle = nullptr;
  ~TKey() {
    if (handle) RegCloseKey(handle);
  }
};

// A string value of a key, without its terminating zero; empty when absent.
std::string RegistryText(HKEY root, const std::string& path, const char* value) {
  TKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key.handle) != ERROR_SUCCESS) return {};
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.handle, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
    return {};
  std::string text(size, '\0');
  if (RegQueryValueExA(key.handle, value, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                       &size) != ERROR_SUCCESS)
    return {};
  text.resize(strnlen(text.data(), size));
  return text;
}

std::string Expanded(const std::string& text) {
  char buffer[kExpandSize] = {};
  const DWORD length = ExpandEnvironmentStringsA(text.c_str(), buffer, kExpandSize);
  return length > 0 && length <= kExpandSize ? std::string(buffer) : text;
}

HMODULE LoadMailClient(const char* fallbackLibrary) {
  const std::string client = RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr);
  if (!client.empty()) {
    const std::string path =
        RegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\" + client, "DLLPath");
    if (!path.empty()) {
      if (HMODULE library = LoadLibraryA(Expanded(path).c_str())) return library;
    }
  }
  return LoadLibraryA(fallbackLibrary);
}

template <class F>
F Function(HMODULE library, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

void MapiWarning(const char* text) {
  ReportInternalWarning(TVexlorLogErrorCode::eeEmailMAPIError, text);
}

// A recipient as the message carries it, in buffers of its own.
struct TRecipient {
  char Name[kMapiTextSize] = {};
  char Address[kMapiTextSize] = {};
  std::string EntryID;
};

void CopyText(char (&into)[kMapiTextSize], const char* text) {
  if (text) std::strncpy(into, text, kMapiTextSize - 1);
}

struct TMapi {
  LPMAPILOGON Logon;
  LPMAPILOGOFF Logoff;
  LPMAPISENDMAIL SendMail;
  LPMAPIRESOLVENAME ResolveName;
  LPMAPIFREEBUFFER FreeBuffer;
};

bool SendThroughSession(const TMapi& mapi, LHANDLE session, const std::string& recipients,
                        const std::string& subject, const std::string& body,
                        const std::vector<std::string>& attachments) {
  std::vector<std::string> paths;
  std::vector<std::string> names;
  for (const std::string& name : attachments) {
    if (!AttachmentFileExists(name)) continue;
    char full[MAX_PATH] = {};
    const std::string trimmed = TrimText(name);
    paths.push_back(GetFullPathNameA(trimmed.c_str(), MAX_PATH, full, nullptr) ? full : trimmed);
    names.push_back(ExtractFileName(paths.back()));
  }
  std::vector<MapiFileDesc> files(paths.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].nPosition = static_cast<ULONG>(-1);
    files[i].lpszPathName = paths[i].data();
    files[i].lpszFileName = names[i].data();
  }

  std::vector<TRecipient> resolved;
  for (const std::string& recipient : SplitRecipients(recipients)) {
    lpMapiRecipDesc found = nullptr;
    if (mapi.ResolveName(session, 0, const_cast<char*>(recipient.c_str()), 0, 0, &found) !=
        SUCCESS_SUCCESS) {
      Trace("SendMailByMAPI", {"recipient does not resolve", recipient});
      return false;
    }
    TRecipient entry;
    if (found) {
      CopyText(entry.Name, found->lpszName);
      CopyText(entry.Address,
               found->lpszAddress && *found->lpszAddress ? found->lpszAddress : found->lpszName);
      if (found->lpEntryID && found->ulEIDSize)
        entry.EntryID.assign(static_cast<const char*>(found->lpEntryID), found->ulEIDSize);
      mapi.FreeBuffer(found);
    }
    // A recipient that resolved to neither a name nor an address is left out.
    if (entry.Name[0] || entry.Address[0]) resolved.push_back(std::move(entry));
  }
  std::vector<MapiRecipDesc> descriptors(resolved.size());
  for (std::size_t i = 0; i < resolved.size(); ++i) {
    descriptors[i].ulRecipClass = MAPI_TO;
    descriptors[i].lpszName = resolved[i].Name;
    descriptors[i].lpszAddress = resolved[i].Address;
    descriptors[i].ulEIDSize = static_cast<ULONG>(resolved[i].EntryID.size());
    descriptors[i].lpEntryID = resolved[i].EntryID.empty() ? nullptr : resolved[i].EntryID.data();
  }

  std::string subjectText = subject;
  std::string noteText = body;
  MapiMessage message{};
  message.lpszSubject = subjectText.data();
  message.lpszNoteText = noteText.data();
  message.nRecipCount = static_cast<ULONG>(descriptors.size());
  message.lpRecips = descriptors.empty() ? nullptr : descriptors.data();
  message.nFileCount = static_cast<ULONG>(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();
  if (mapi.SendMail(0, 0, &message, MAPI_LOGON_UI, 0) != SUCCESS_SUCCESS) {
    MapiWarning("Cannot send the MAPI message.");
    return false;
  }
  return true;
}

}  // namespace

bool SendMailByMAPI(const std::string& recipients, const std::string& subject,
                    const std::string& body, const std::vector<std::string>& attachments,
                    const char* fallbackLibrary) {
  TraceEnter("SendMailByMAPI", {recipients});
  bool sent = false;
  try {
    TLibrary library{LoadMailClient(fallbackLibrary)};
    if (!library.handle) {
      MapiWarning("Cannot open the MAPI dll.");
    } else {
      const TMapi mapi{
          Function<LPMAPILOGON>(library.handle, "MAPILogon"),
          Function<LPMAPILOGOFF>(library.handle, "MAPILogoff"),
          Function<LPMAPISENDMAIL>(library.handle, "MAPISendMail"),
          Function<LPMAPIRESOLVENAME>(library.handle, "MAPIResolveName"),
          Function<LPMAPIFREEBUFFER>(library.handle, "MAPIFreeBuffer"),
      };
      LHANDLE session = 0;
      if (!mapi.Logon || !mapi.Logoff || !mapi.SendMail || !mapi.ResolveName || !mapi.FreeBuffer) {
        MapiWarning("Cannot found the MAPI functions.");
      } else if (mapi.Logon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &session) != SUCCESS_SUCCESS) {
        MapiWarning("Cannot LogOn into the MAPI service.");
      } else {
        try {
          sent = SendThroughSession(mapi, session, recipients, subject, body, attachments);
        } catch (...) {
          mapi.Logoff(session, 0, 0, 0);
          throw;
        }
        mapi.Logoff(session, 0, 0, 0);
      }
    }
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailMAPIError, "MAPI");
    sent = false;
  }
  TraceExit("SendMailByMAPI", {sent});
  return sent;
}

bool SendMailByShell(const std::string& recipients, const std::string& subject,
                     const std::string& body) {
  TraceEnter("SendMailByShell", {recipients});
  bool started = false;
  try {
    const std::string command =
        Expanded(RegistryText(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", nullptr));
    std::string line = MailtoCommandLine(command, recipients, subject, body);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!command.empty() && CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                           CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                                           nullptr, nullptr, &startup, &process)) {
      WaitForInputIdle(process.hProcess, 10000);
      Sleep(2000);
      if (HWND window = MainWindowOfProcess(process.dwProcessId)) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ShowWindow(window, SW_SHOWMAXIMIZED);
      }
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
      started = true;
    } else {
      const DWORD error = command.empty() ? ERROR_NO_ASSOCIATION : GetLastError();
      ReportInternalWarning(TVexlorLogErrorCode::eeEmailShellError, SystemErrorText(error));
    }
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailShellError, "Shell");
  }
  TraceExit("SendMailByShell", {started});
  return started;
}
