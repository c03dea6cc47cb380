// The response that carries a report's page. Each kind writes it where its
// client reads: an ISAPI extension through the server's callbacks of the
// request that raised, a CGI program to standard output, a Win-CGI program
// into the output file its request names.
#include <windows.h>

#include <httpext.h>

#include <functional>

#include "reporter/config/CustomizedTexts.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/ProcessMemory.h"
#include "reporter/interception/ExtensionControlBlockWin.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/report/ReportText.h"
#include "reporter/web/WebKindsWin.h"
#include "reporter/web/WebOutputWin.h"
#include "reporter/web/WebPage.h"
#include "runtime/Exceptions.h"

namespace {

// Writes all of the data, in as many calls as the handle takes.
bool WriteAll(HANDLE handle, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
    if (!WriteFile(handle, data.data() + done, part, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

// Runs in the thread of the request that raised: the control block is that
// thread's, and the server expects the request's answer from it.
bool SendISAPIResponse(const std::string& header, const std::string& html) {
  auto* block = static_cast<EXTENSION_CONTROL_BLOCK*>(CurrentExtensionControlBlock());
  if (!block) {
    ReportInternalWarning(TVexlorLogErrorCode::eeShowError, "ISAPI: ServerECB = nil");
    return false;
  }
  if (!IsValidAddress(reinterpret_cast<std::uintptr_t>(block), sizeof(EXTENSION_CONTROL_BLOCK)) ||
      !block->ServerSupportFunction || !block->WriteClient) {
    ReportInternalWarning(TVexlorLogErrorCode::eeShowError,
                          "ISAPI: The extension control block is not readable.");
    return false;
  }
  block->dwHttpStatusCode = 200;
  std::string status = kWebReportStatus;
  std::string headers = header;
  DWORD statusSize = static_cast<DWORD>(status.size());
  const bool headerSent =
      block->ServerSupportFunction(block->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, status.data(),
                                   &statusSize, reinterpret_cast<LPDWORD>(headers.data())) != FALSE;
  std::string page = html;
  DWORD length = static_cast<DWORD>(page.size());
  const bool pageSent =
      headerSent && block->WriteClient(block->ConnID, page.data(), &length, 0) != FALSE;
  if (!pageSent) {
    ReportInternalWarning(TVexlorLogErrorCode::eeShowError,
                          "ISAPI: The server did not take the response.");
  }
  return pageSent;
}

bool SendCGIResponse(const std::string& header, const std::string& html) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  // The page is checked as the header is: a client that got the header
  // alone did not get the report.
  if (!output || output == INVALID_HANDLE_VALUE || !WriteAll(output, header) ||
      !WriteAll(output, html)) {
    ReportInternalWarning(TVexlorLogErrorCode::eeShowError, "CGI: Cannot write in the ouput file.");
    return false;
  }
  FlushFileBuffers(output);
  return true;
}

class TFileHandle {
 public:
  explicit TFileHandle(HANDLE handle) : handle_(handle) {}
  ~TFileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool SendWinCGIResponse(const std::string& outputFile, const std::string& header,
                        const std::string& html) {
  try {
    const TFileHandle file(CreateFileA(outputFile.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
      throw EWriteError("Cannot open the output file " + outputFile + " (error " +
                        std::to_string(GetLastError()) + ").");
    }
    // The file ends with the response: an older, longer content must not
    // trail it.
    if (!WriteAll(file.Get(), header) || !WriteAll(file.Get(), html) || !SetEndOfFile(file.Get())) {
      throw EWriteError("Cannot write the output file " + outputFile + " (error " +
                        std::to_string(GetLastError()) + ").");
    }
    return true;
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeShowError, "WinCGI");
    return false;
  }
}

}  // namespace

bool SendWebResponse(const std::string& html) {
  TraceEnter("SendWebResponse", {html.size()});
  TWebKindSystem& system = WindowsWebKindSystem();
  bool result = true;
  switch (WebApplicationKind(system)) {
    case TWebKind::ISAPI: {
      const std::string header = WebResponseHeader(false, html.size());
      result = false;
      RunInRaisingThread([&] { result = SendISAPIResponse(header, html); });
      break;
    }
    case TWebKind::CGI:
      result = SendCGIResponse(WebResponseHeader(true, html.size()), html);
      break;
    case TWebKind::WinCGI:
      if (const std::optional<std::string> output = WinCGIOutputFile(system)) {
        result = SendWinCGIResponse(*output, WebResponseHeader(true, html.size()), html);
      }
      break;
    case TWebKind::IntraWeb:
    case TWebKind::None:
      break;
  }
  TraceExit("SendWebResponse", {result});
  return result;
}

bool ShowReportOnWeb(const std::string& text) {
  TraceEnter("ShowReportOnWeb");
  const std::string& caption =
      WorkingOptions().CustomizedTexts()[static_cast<std::size_t>(TCustomizedText::DialogCaption)];
  const bool result = SendWebResponse(WebReportPage(caption, CurrentReport().IntroText, text));
  TraceExit("ShowReportOnWeb", {result});
  return result;
}
