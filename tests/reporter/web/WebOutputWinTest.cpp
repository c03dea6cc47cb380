// The web kinds end to end: a CGI and a Win-CGI program of ours whose
// request fails, and an ISAPI extension library loaded by this program as a
// server would load it, with an extension control block whose callbacks
// record what they get; and the same library in a host that carries the
// reporter itself.
#include <windows.h>

#include <httpext.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "tests/reporter/web/IsapiRequest.h"

namespace {

std::string Beside(const std::string& name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string result = path;
  return result.substr(0, result.find_last_of('\\') + 1) + name;
}

class THandle {
 public:
  explicit THandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return handle_; }
  HANDLE* Out() { return &handle_; }
  void Close() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

struct TRun {
  DWORD ExitCode = 0;
  std::string Output, Errors;
};

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  return text;
}

// Runs a program with its standard output and error in pipes. stopAfterHeader:
// the output is read up to the header's empty line, then its pipe is closed.
TRun RunProgram(const std::string& commandLine, bool stopAfterHeader = false) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  THandle outRead, outWrite, errRead, errWrite;
  EXPECT_TRUE(CreatePipe(outRead.Out(), outWrite.Out(), &inherit, 0));
  EXPECT_TRUE(CreatePipe(errRead.Out(), errWrite.Out(), &inherit, 0));
  SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outWrite.Get();
  startup.hStdError = errWrite.Get();
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  TRun run;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return run;
  }
  THandle processHandle(process.hProcess), threadHandle(process.hThread);
  outWrite.Close();
  errWrite.Close();
  std::thread errors([&] { run.Errors = ReadAll(errRead.Get()); });
  if (stopAfterHeader) {
    char c = 0;
    DWORD read = 0;
    while (run.Output.find("\r\n\r\n") == std::string::npos &&
           ReadFile(outRead.Get(), &c, 1, &read, nullptr) && read == 1) {
      run.Output += c;
    }
    outRead.Close();
  } else {
    run.Output = ReadAll(outRead.Get());
  }
  errors.join();
  EXPECT_EQ(WaitForSingleObject(processHandle.Get(), 60000), WAIT_OBJECT_0);
  GetExitCodeProcess(processHandle.Get(), &run.ExitCode);
  return run;
}

// Splits a response into its header and page and checks the header's form.
std::string PageOf(const std::string& response, bool withStatus) {
  const std::size_t end = response.find("\r\n\r\n");
  EXPECT_NE(end, std::string::npos) << response.substr(0, 200);
  if (end == std::string::npos) return "";
  const std::string header = response.substr(0, end + 4);
  const std::string page = response.substr(end + 4);
  std::string expected = withStatus ? "Status: 200 Error\r\n" : "";
  expected += "Content-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
              "\r\nContent:\r\n\r\n";
  EXPECT_EQ(header, expected);
  return page;
}

void ExpectReportPage(const std::string& page, const std::string& escapedMessage) {
  const std::string head =
      "<html><head><title>Error.</title></head><body><p><small>"
      "<font face=\"Lucida Console,Courier\">";
  const std::string tail = "</font></small></p></body></html>";
  ASSERT_TRUE(page.starts_with(head)) << page.substr(0, 200);
  ASSERT_TRUE(page.ends_with(tail)) << page.substr(page.size() - 60);
  EXPECT_NE(page.find("EConvertError"), std::string::npos);
  EXPECT_NE(page.find(escapedMessage), std::string::npos);
  // Nothing of the report reached the page as markup: its only tags are the
  // line breaks.
  std::string body = page.substr(head.size(), page.size() - head.size() - tail.size());
  for (std::size_t at; (at = body.find("<br>")) != std::string::npos;) body.erase(at, 4);
  EXPECT_EQ(body.find_first_of("<>\"\r\n"), std::string::npos);
}

class TEnvironmentVariable {
 public:
  TEnvironmentVariable(const char* name, const char* value) : name_(name) {
    SetEnvironmentVariableA(name, value);
  }
  ~TEnvironmentVariable() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

TEST(CgiProgram, AnswersWithStatusHeaderAndTheEscapedReport) {
  const TEnvironmentVariable method("REQUEST_METHOD", "GET");
  const TRun run = RunProgram("\"" + Beside("web_cgi_program.exe") + "\"");
  EXPECT_EQ(run.ExitCode, 1u);
  const std::string page = PageOf(run.Output, true);
  ExpectReportPage(page, "Bad&nbsp;query&nbsp;&lt;id=7&gt;&nbsp;&amp;&nbsp;&quot;more&quot;");
  EXPECT_EQ(run.Errors, "showing\r\nshown\r\n");
}

TEST(CgiProgram, APageThatCannotBeWrittenCountsAsNotShown) {
  const TEnvironmentVariable method("REQUEST_METHOD", "GET");
  const TRun run = RunProgram("\"" + Beside("web_cgi_program.exe") + "\" long", true);
  EXPECT_EQ(run.Output.rfind("Status: 200 Error\r\n", 0), 0u);
  EXPECT_EQ(run.Errors, "showing\r\n");
}

TEST(WinCgiProgram, WritesTheResponseIntoTheOutputFileAndCutsIt) {
  const std::string request = Beside("wincgi-request.ini");
  const std::string output = Beside("wincgi-output.txt");
  {
    std::ofstream file(request, std::ios::binary);
    file << "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File=" << output << "\r\n";
    std::ofstream old(output, std::ios::binary);
    old << std::string(300000, 'x');
  }
  const TRun run = RunProgram("\"" + Beside("web_wincgi_program.exe") + "\" \"" + request + "\"");
  EXPECT_EQ(run.ExitCode, 1u);
  std::ifstream file(output, std::ios::binary);
  std::stringstream written;
  written << file.rdbuf();
  const std::string page = PageOf(written.str(), true);
  ExpectReportPage(page, "Bad&nbsp;query&nbsp;&lt;id=7&gt;");
  EXPECT_EQ(page.find("xxx"), std::string::npos);
  DeleteFileA(request.c_str());
  DeleteFileA(output.c_str());
}

std::set<DWORD> ThreadsOfThisProcess() {
  std::set<DWORD> threads;
  THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
  }
  return threads;
}

TEST(IsapiExtension, ARequestThatRaisesGetsTheReportAsItsResponse) {
  const std::set<DWORD> before = ThreadsOfThisProcess();
  HMODULE library = LoadLibraryA(Beside("web_isapi_extension.dll").c_str());
  ASSERT_NE(library, nullptr);
  const TExtension extension = ExtensionOf(library);
  ASSERT_TRUE(extension.Complete());
  // The reporter started from the library's entry and saw its static
  // objects built; this host carries no reporter, so it reports itself.
  EXPECT_TRUE(extension.StaticInitialisationOver());
  EXPECT_FALSE(extension.LeavesReportsToHost());
  HSE_VERSION_INFO info{};
  EXPECT_TRUE(extension.Version(&info));

  TConnection fine;
  EXTENSION_CONTROL_BLOCK block;
  EXPECT_FALSE(Request(extension.Proc, "id=7", fine, block));
  EXPECT_EQ(fine.Page, "ok");

  TConnection failing;
  EXPECT_TRUE(Request(extension.Proc, "fail", failing, block));
  EXPECT_EQ(block.dwHttpStatusCode, 200u);
  EXPECT_EQ(failing.Status, "200 Error");
  const std::string page = PageOf(failing.Headers + failing.Page, false);
  ExpectReportPage(page, "Query&nbsp;&lt;fail&gt;&nbsp;&amp;&nbsp;&quot;more&quot;");
  // The call stack is resolved through the library's own data.
  EXPECT_NE(page.find("IsapiExtension.cpp"), std::string::npos);
  EXPECT_NE(page.find("AnswerQuery"), std::string::npos);
  EXPECT_EQ(extension.ReportsShown(), 1);

  // A client that does not take the page was not shown the report.
  TConnection gone;
  gone.WriteFails = true;
  EXPECT_TRUE(Request(extension.Proc, "fail", gone, block));
  EXPECT_EQ(gone.Status, "200 Error");
  EXPECT_EQ(extension.ReportsShown(), 1);

  EXPECT_TRUE(extension.Terminate(0));
  // The library's freeze watcher ran while it was loaded and is gone with it.
  const std::set<DWORD> loaded = ThreadsOfThisProcess();
  EXPECT_GT(loaded.size(), before.size());
  EXPECT_TRUE(FreeLibrary(library));
  for (DWORD thread : ThreadsOfThisProcess()) {
    EXPECT_TRUE(before.count(thread) != 0 || loaded.count(thread) == 0)
        << "thread " << thread << " of the library outlived it";
  }
}

// In a host carrying reporter data the library's reporter counts its raises
// as handled: the host's reporter has the say, and nothing reaches the client.
// A fault nothing catches is reported once, by the host (its report is
// printed on the console): neither at first chance nor by the last-chance
// filter of the library.
TEST(IsapiExtension, InAHostThatCarriesTheReporterTheLibraryLeavesTheReports) {
  TRun run = RunProgram("\"" + Beside("web_isapi_reporter_host.exe") + "\"");
  std::erase(run.Output, '\r');
  EXPECT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_EQ(run.Output, "active=1\nleaves=1\nraised=1\nstatus=\npage=0\nshown=0\n");

  run = RunProgram("\"" + Beside("web_isapi_reporter_host.exe") + "\" fault");
  std::erase(run.Output, '\r');
  EXPECT_EQ(run.ExitCode, 0u) << run.Errors;
  const std::size_t banner = run.Output.find("VexlorLog ");
  ASSERT_NE(banner, std::string::npos) << run.Output;
  EXPECT_EQ(run.Output.find("\nVexlorLog ", banner + 1), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("EAccessViolation"), std::string::npos);
  EXPECT_TRUE(run.Output.ends_with("active=1\nleaves=1\nraised=0\nstatus=\npage=0\nshown=0\n"))
      << run.Output;
}

}  // namespace
