// Plays the web server for the ISAPI test extension: an extension control
// block whose callbacks record what the extension hands back, and a request
// run on a thread of its own, as a server runs it.
#pragma once

#include <windows.h>

#include <httpext.h>

#include <string>
#include <thread>

// What the extension hands to the server through its callbacks.
struct TConnection {
  bool WriteFails = false;
  std::string Status, Headers, Page;
};

inline BOOL WINAPI RecordSupport(HCONN connection, DWORD request, LPVOID buffer, LPDWORD,
                                 LPDWORD dataType) {
  auto& record = *static_cast<TConnection*>(connection);
  if (request != HSE_REQ_SEND_RESPONSE_HEADER) return FALSE;
  record.Status = buffer ? static_cast<const char*>(buffer) : "";
  record.Headers = dataType ? reinterpret_cast<const char*>(dataType) : "";
  return TRUE;
}

inline BOOL WINAPI RecordWrite(HCONN connection, LPVOID buffer, LPDWORD bytes, DWORD) {
  auto& record = *static_cast<TConnection*>(connection);
  if (record.WriteFails) return FALSE;
  record.Page.append(static_cast<const char*>(buffer), *bytes);
  return TRUE;
}

inline BOOL WINAPI NoVariable(HCONN, LPSTR, LPVOID, LPDWORD) {
  return FALSE;
}
inline BOOL WINAPI NoRead(HCONN, LPVOID, LPDWORD) {
  return FALSE;
}

inline void PrepareBlock(const char* query, TConnection& connection,
                         EXTENSION_CONTROL_BLOCK& block) {
  block = {};
  block.cbSize = sizeof block;
  block.dwVersion = HSE_VERSION;
  block.ConnID = &connection;
  block.lpszMethod = const_cast<char*>("GET");
  block.lpszQueryString = const_cast<char*>(query);
  block.GetServerVariable = NoVariable;
  block.WriteClient = RecordWrite;
  block.ReadClient = NoRead;
  block.ServerSupportFunction = RecordSupport;
}

// True when the extension raised out of HttpExtensionProc.
inline bool Request(PFN_HTTPEXTENSIONPROC extension, const char* query, TConnection& connection,
                    EXTENSION_CONTROL_BLOCK& block) {
  PrepareBlock(query, connection, block);
  bool raised = false;
  std::thread worker([&] {
    try {
      extension(&block);
    } catch (...) {
      raised = true;
    }
  });
  worker.join();
  return raised;
}

// The extension's exports this side calls; all null when one is missing.
struct TExtension {
  PFN_GETEXTENSIONVERSION Version = nullptr;
  PFN_HTTPEXTENSIONPROC Proc = nullptr;
  PFN_TERMINATEEXTENSION Terminate = nullptr;
  int (*ReportsShown)() = nullptr;
  bool (*StaticInitialisationOver)() = nullptr;
  bool (*LeavesReportsToHost)() = nullptr;
  bool Complete() const {
    return Version && Proc && Terminate && ReportsShown && StaticInitialisationOver &&
           LeavesReportsToHost;
  }
};

template <typename T>
void ExportOf(HMODULE library, const char* name, T& function) {
  function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

inline TExtension ExtensionOf(HMODULE library) {
  TExtension extension;
  ExportOf(library, "GetExtensionVersion", extension.Version);
  ExportOf(library, "HttpExtensionProc", extension.Proc);
  ExportOf(library, "TerminateExtension", extension.Terminate);
  ExportOf(library, "ReportsShown", extension.ReportsShown);
  ExportOf(library, "StaticInitialisationOver", extension.StaticInitialisationOver);
  ExportOf(library, "LeavesReportsToHost", extension.LeavesReportsToHost);
  return extension;
}
