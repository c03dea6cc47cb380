// The console report on Windows: the subsystem read from the executable's
// header, the report written whole to the standard output, and the clipboard.
#include "reporter/pipeline/ConsoleReport.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "reporter/pipeline/MainWindowWin.h"
#include "runtime/Exceptions.h"

bool IsConsoleApplication() {
  const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void WriteConsoleReport(const std::string& introText, const std::string& reportText) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!output || output == INVALID_HANDLE_VALUE) {
    throw EWriteError("The standard output is not available.");
  }
  const std::string text = introText + reportText + "\r\n";
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
    if (!WriteFile(output, text.data() + done, part, &written, nullptr) || written == 0) {
      throw EWriteError("Cannot write the report to the standard output (error " +
                        std::to_string(GetLastError()) + ").");
    }
    done += written;
  }
  FlushFileBuffers(output);
}

bool CopyTextToClipboard(const std::string& text) {
  // Opened for the program's main window: emptied with no owner, the
  // clipboard may refuse the data that follows. Another program may hold it
  // open for a moment.
  const HWND owner = MainWindowOfProcess(GetCurrentProcessId());
  bool open = false;
  for (int attempt = 0; attempt < 20 && !open; ++attempt) {
    open = OpenClipboard(owner) != FALSE;
    if (!open) Sleep(10);
  }
  if (!open) return false;
  bool done = false;
  EmptyClipboard();
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* data = GlobalLock(block)) {
      std::memcpy(data, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      done = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!done) GlobalFree(block);
  }
  CloseClipboard();
  return done;
}
