// A program that links the reporter, crashes and mails its report: through
// the configured server, straight to the recipients' exchangers, through the
// user's mail program, and with the progress window on screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <list>

#include "tests/reporter/delivery/MailServersWin.h"

namespace {

std::string Folder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Starts the crash program; `watch` runs while it runs.
DWORD RunCrashMailer(const std::string& program, const std::string& way,
                     const std::function<void(HANDLE process)>& watch = nullptr) {
  const std::string trace = Folder() + program + ".log";
  DeleteFileA(trace.c_str());
  std::string line = "\"" + Folder() + program + ".exe\" " + way;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "cannot start " << line;
    return 0xFFFFFFFF;
  }
  if (watch) watch(process.hProcess);
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << program << " " << way << " did not end";
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::string Base64Decoded(const std::string& text) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (char c : text) {
    const std::size_t digit = alphabet.find(c);
    if (digit == std::string::npos) continue;  // line ends, padding
    value = (value << 6) | static_cast<unsigned>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

// The content of the attachment named `name` in a stored message.
std::string Attachment(const std::string& message, const std::string& name) {
  const std::size_t at = message.find("filename=\"" + name + "\"\r\n\r\n");
  if (at == std::string::npos) return {};
  const std::size_t start = message.find("\r\n\r\n", at) + 4;
  const std::size_t end = message.find("--=_xcjvnxkbhvfkxzhfdbvzldjhfv", start);
  return Base64Decoded(message.substr(start, end - start));
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

}  // namespace

TEST(DeliveryEndToEnd, CrashMailsItsReportWithTheReportFileAndTheScreenshot) {
  const std::size_t before = StoredMessages("smtp").size();
  RunCrashMailer("crash_mailer", "smtpclient");
  const std::vector<std::string> stored = StoredMessages("smtp");
  ASSERT_EQ(stored.size(), before + 1);
  const std::string& message = stored.back();
  EXPECT_NE(message.find("\r\nFrom: <player@kiosk.test>\r\nSubject: Crash of CrashMailer\r\n"
                         "To: <ops@site.test>\r\n"),
            std::string::npos);
  EXPECT_NE(message.find("8bit\r\n\r\nThe player stopped.\r\n"), std::string::npos);
  const std::string report = Attachment(message, "crash_mailer.vlf");
  EXPECT_NE(report.find("'seven' is not a valid number"), std::string::npos)
      << message.substr(0, 2000);
  EXPECT_EQ(Attachment(message, "Screenshot.png").substr(0, 8),
            std::string("\x89PNG\r\n\x1A\n", 8));
  // The temporary files are gone.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  EXPECT_EQ(GetFileAttributesA((std::string(temp) + "Screenshot.png").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((std::string(temp) + "crash_mailer.vlf").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(DeliveryEndToEnd, StraightToTheExchangersOfTwoDomains) {
  const std::size_t one = StoredMessages("mx1").size();
  const std::size_t two = StoredMessages("mx2").size();
  const std::string dnsLog = WinePath(MailState("dnslog"));
  const std::size_t lookups = Count(ReadWholeFile(dnsLog), "query[MX] ");
  RunCrashMailer("crash_mailer", "smtpserver");
  ASSERT_EQ(StoredMessages("mx1").size(), one + 1);
  ASSERT_EQ(StoredMessages("mx2").size(), two + 1);
  EXPECT_NE(StoredMessages("mx1").back().find("To: <ops@one.test>"), std::string::npos);
  EXPECT_NE(StoredMessages("mx2").back().find("To: <ops@two.test>"), std::string::npos);
  const std::string log = ReadWholeFile(dnsLog);
  EXPECT_EQ(Count(log, "query[MX] ") - lookups, 3u) << log;
  const std::string trace = ReadWholeFile(Folder() + "crash_mailer.log");
  // The unresolved first recipient is recorded and skipped.
  EXPECT_NE(trace.find("Cannot resolve the \"nowhere.test\" MX record."), std::string::npos);
  for (const char* status :
       {"Message 1/3: Resolving MX record...", "Message 2/3: Connecting with SMTP server...",
        "Message 3/3: Sending message..."})
    EXPECT_NE(trace.find(status), std::string::npos) << status;
}

TEST(DeliveryEndToEnd, WithoutAnyMapiLibraryTheMailtoCommandGetsTheReport) {
  const std::string recorded = WinePath(MailState("dir") + "/mailto-e2e.txt");
  DeleteFileA(recorded.c_str());
  SetEnvironmentVariableA("VEXLOR_MAILTO_RECORD", recorded.c_str());
  // No mail client; the harness has switched Wine's own "mapi32.dll" off.
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("NoSuchClient"), 13);
  RegCloseKey(key);
  HKEY command;
  RegCreateKeyExA(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &command, nullptr);
  char old[1024] = {};
  DWORD oldSize = sizeof old;
  const bool hadOld = RegQueryValueExA(command, nullptr, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(old), &oldSize) == ERROR_SUCCESS;
  const std::string mine = "\"" + Folder() + "vexlor_mailto_recorder.exe\" \"%1\"";
  RegSetValueExA(command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(mine.c_str()),
                 static_cast<DWORD>(mine.size() + 1));
  RunCrashMailer("crash_mailer", "emailclient");
  if (hadOld)
    RegSetValueExA(command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old), oldSize);
  RegCloseKey(command);

  const std::string line = ReadWholeFile(recorded);
  EXPECT_NE(line.find("\"mailto:ops@site.test?Subject=Crash%20of%20CrashMailer&Body=The%20player"
                      "%20stopped%2E%0D%0A%0D%0A%0D%0A"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("seven"), std::string::npos);
  const std::string trace = ReadWholeFile(Folder() + "crash_mailer.log");
  EXPECT_NE(trace.find("Cannot open the MAPI dll."), std::string::npos);
}

// The exception dialog of the crash program: the "Error." window with the
// send box (3000).
struct TDialogSearch {
  DWORD ProcessId;
  HWND Dialog;
};
BOOL CALLBACK FindExceptionDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TDialogSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->ProcessId || !IsWindowVisible(window) || !GetDlgItem(window, 3000))
    return TRUE;
  search->Dialog = window;
  return FALSE;
}

TEST(DeliveryEndToEnd, DialogThenProgressWindowShowingEachStep) {
  const std::size_t before = StoredMessages("slow").size();
  std::list<std::string> statuses;
  bool topmost = false;
  bool sendTicked = false;
  RunCrashMailer("crash_mailer_gui", "progress", [&](HANDLE process) {
    // Closes the exception dialog with its send box as it comes, then
    // watches the progress window until the program ends.
    HWND dialog = nullptr;
    HWND window = nullptr;
    while (WaitForSingleObject(process, 20) == WAIT_TIMEOUT) {
      if (!dialog) {
        TDialogSearch search{GetProcessId(process), nullptr};
        EnumWindows(&FindExceptionDialog, reinterpret_cast<LPARAM>(&search));
        if (!search.Dialog) continue;
        dialog = search.Dialog;
        sendTicked = IsDlgButtonChecked(dialog, 3000) == BST_CHECKED;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, 2)));
      }
      if (!window)
        window = FindWindowA(reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(32770)), "SMTP.");
      if (!window) continue;
      topmost = topmost || (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
      char text[256] = {};
      GetDlgItemTextA(window, 100, text, sizeof text);
      if (*text && (statuses.empty() || statuses.back() != text)) statuses.push_back(text);
    }
  });
  EXPECT_TRUE(sendTicked);
  EXPECT_EQ(StoredMessages("slow").size(), before + 1);
  EXPECT_TRUE(topmost);
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back(), "Message 1/1: Sending message...");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Message 1/1: Connected with SMTP server."),
            statuses.end());
}
