// The reporter inside the player, end to end: the test build of
// KiravaneVP.exe fails in its timer tick (a raise, an access violation, a
// fault on every tick); each time the exception dialog comes up, is answered
// here, the report lands in KiravaneVP.vlf beside the program, the class
// library's own box never shows, and the player goes on unless the operator
// restarts it.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlayerProcess.h"

namespace {

constexpr int idOk = 2;
constexpr int idRestart = 3;
constexpr int idMessage = 101;
const std::wstring kIni = L"[Options]\r\nMonitor=1\r\n";

std::vector<HWND> ErrorDialogs(const TPlayerProcess& player) {
  std::vector<HWND> dialogs;
  for (const TFoundWindow& w : player.Windows()) {
    if (w.ClassName == L"#32770" && w.Text == L"Error." && IsWindowVisible(w.Handle)) {
      dialogs.push_back(w.Handle);
    }
  }
  return dialogs;
}

// The class library's own message box carries the application's title.
bool FrameworkBoxShown(const TPlayerProcess& player) {
  for (const TFoundWindow& w : player.Windows()) {
    if (w.ClassName == L"#32770" && w.Text == L"Kiravane VideoPlayer") return true;
  }
  return false;
}

// Waits for the dialog, checking meanwhile that it is the only one and that
// the framework's box stays away.
HWND WaitForErrorDialog(const TPlayerProcess& player, DWORD milliseconds = 30000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    EXPECT_FALSE(FrameworkBoxShown(player));
    const std::vector<HWND> dialogs = ErrorDialogs(player);
    EXPECT_LE(dialogs.size(), 1u);
    if (!dialogs.empty()) return dialogs.front();
    Pause(100);
  }
  return nullptr;
}

void Answer(HWND dialog, int button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// The log beside the program once it holds `reports` reports.
std::string WaitForLog(const TPlayerProcess& player, std::size_t reports) {
  std::string text;
  for (int i = 0; i < 100; ++i) {
    std::ifstream in(std::filesystem::path(player.Folder() + L"\\KiravaneVP.vlf"),
                     std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    text = content.str();
    std::size_t count = 0;
    for (std::size_t at = text.find("VexlorLog "); at != std::string::npos;
         at = text.find("VexlorLog ", at + 1)) {
      ++count;
    }
    if (count >= reports) return text;
    Pause(100);
  }
  return text;
}

std::vector<std::string> Reports(const std::string& log) {
  std::vector<std::string> reports;
  std::size_t at = log.find("VexlorLog ");
  while (at != std::string::npos) {
    const std::size_t next = log.find("VexlorLog ", at + 1);
    reports.push_back(log.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return reports;
}

std::string HeaderValue(const std::string& report, const std::string& number) {
  std::smatch found;
  const std::regex line("  " + number + " [^:\\r\\n]*: ([^\\r\\n]*)");
  return std::regex_search(report, found, line) ? found[1].str() : std::string();
}

// Procedure and unit of the call stack's first row.
std::pair<std::string, std::string> FirstStackRow(const std::string& report) {
  std::smatch found;
  const std::regex row("\\|[0-9A-F]{16}\\|[^|]*\\|([^|]*)\\|[^|]*\\|([^|]*)\\|");
  const std::size_t table = report.find("Call Stack Information:");
  if (table == std::string::npos) return {};
  const std::string rest = report.substr(table);
  if (!std::regex_search(rest, found, row)) return {};
  auto trim = [](std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  };
  return {trim(found[2].str()), trim(found[1].str())};
}

TEST(PlayerReporter, ARaiseInTheTimerIsShownStoredAndThePlayerGoesOn) {
  TPlayerProcess player(kIni, BuiltTestPlayer(), L"--fault=raise");
  ASSERT_TRUE(player.Start());
  HWND dialog = WaitForErrorDialog(player);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, idMessage)), L"Test fault: the media control failed.");
  Answer(dialog, idOk);
  const std::vector<std::string> reports = Reports(WaitForLog(player, 1));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(HeaderValue(reports[0], "2.4"), "EConvertError");
  EXPECT_EQ(HeaderValue(reports[0], "2.5"), "Test fault: the media control failed.");
  EXPECT_EQ(FirstStackRow(reports[0]).first, "FailMediaControl");
  EXPECT_EQ(FirstStackRow(reports[0]).second, "PlayerFaults.cpp");
  Pause(2500);  // more ticks, no more faults
  EXPECT_TRUE(player.Running());
  EXPECT_TRUE(ErrorDialogs(player).empty());
  EXPECT_FALSE(FrameworkBoxShown(player));
}

TEST(PlayerReporter, AnAccessViolationIsReportedAndThePlayerGoesOn) {
  TPlayerProcess player(kIni, BuiltTestPlayer(), L"--fault=av");
  ASSERT_TRUE(player.Start());
  HWND dialog = WaitForErrorDialog(player);
  ASSERT_NE(dialog, nullptr);
  Answer(dialog, idOk);
  const std::vector<std::string> reports = Reports(WaitForLog(player, 1));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(HeaderValue(reports[0], "2.4"), "EAccessViolation");
  EXPECT_NE(HeaderValue(reports[0], "2.5").find("Write of address 0"), std::string::npos)
      << HeaderValue(reports[0], "2.5");
  EXPECT_EQ(FirstStackRow(reports[0]).first, "CorruptPlaylist");
  Pause(2500);
  EXPECT_TRUE(player.Running());
  EXPECT_TRUE(ErrorDialogs(player).empty());
}

// Whether a call-stack row of the report names the procedure of the unit.
bool HasStackRow(const std::string& report, const std::string& unit, const std::string& procedure) {
  const std::regex row("\\|[0-9A-F]{16}\\|[^|]*\\|" + unit + " *\\|[^|]*\\|" + procedure + " *\\|");
  return std::regex_search(report, row);
}

// The exception dialog of a player whose main thread is frozen: looked for
// without a message to any window, which the frozen thread would hold up.
HWND ErrorDialogOfFrozenPlayer(const TPlayerProcess& player, DWORD milliseconds) {
  struct TSearch {
    DWORD Process;
    HWND Found = nullptr;
  } search{player.ProcessId()};
  for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Pause(100)) {
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<TSearch*>(data);
          DWORD process = 0;
          GetWindowThreadProcessId(window, &process);
          wchar_t text[16] = {};
          InternalGetWindowText(window, text, 16);
          if (process == s->Process && ClassOf(window) == L"#32770" &&
              std::wstring(text) == L"Error." && IsWindowVisible(window))
            s->Found = window;
          return s->Found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.Found) return search.Found;
  }
  return nullptr;
}

// Every form of the player is owned by the class library's hidden
// application window, so none passes the application-window test; the
// watcher finds the window the main thread serves all the same.
TEST(PlayerReporter, AMainThreadThatStopsAnsweringIsReportedAndStored) {
  TPlayerProcess player(kIni, BuiltFreezeTestPlayer(), L"--fault=freeze@3");
  ASSERT_TRUE(player.Start());
  HWND video = player.WaitForWindow(L"TfrmVideo", 10000);
  ASSERT_NE(video, nullptr);
  HWND dialog = ErrorDialogOfFrozenPlayer(player, 30000);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, idMessage)), L"The application seems to be frozen.");
  // The report is shown while the freeze lasts...
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutW(video, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 300, &result), 0);
  // ...and answered once the main thread runs again: answered sooner, the
  // rest of the freeze would be the next report.
  bool answering = false;
  for (int wait = 0; wait < 100 && !answering; ++wait) {
    answering = SendMessageTimeoutW(video, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &result) != 0;
    if (!answering) Pause(100);
  }
  EXPECT_TRUE(answering);
  EXPECT_EQ(ErrorDialogs(player).size(), 1u);
  Answer(dialog, idOk);
  const std::vector<std::string> reports = Reports(WaitForLog(player, 1));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(HeaderValue(reports[0], "2.4"), "EFrozenApplication");
  EXPECT_EQ(HeaderValue(reports[0], "2.5"), "The application seems to be frozen.");
  EXPECT_TRUE(HasStackRow(reports[0], "PlayerFaults.cpp", "FreezePlayer")) << reports[0];
  Pause(2500);
  EXPECT_TRUE(player.Running());
  EXPECT_TRUE(ErrorDialogs(player).empty());
  EXPECT_EQ(Reports(WaitForLog(player, 1)).size(), 1u);
}

TEST(PlayerReporter, AFaultOnEveryTickShowsOneDialogAtATime) {
  TPlayerProcess player(kIni, BuiltTestPlayer(), L"--fault=raise:3");
  ASSERT_TRUE(player.Start());
  for (int i = 0; i < 3; ++i) {
    HWND dialog = WaitForErrorDialog(player);
    ASSERT_NE(dialog, nullptr) << "dialog " << i + 1;
    // Ticks keep coming while the operator reads: still one dialog.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2500) {
      EXPECT_EQ(ErrorDialogs(player).size(), 1u);
      Pause(100);
    }
    Answer(dialog, idOk);
    for (int wait = 0; wait < 50 && IsWindow(dialog); ++wait) Pause(100);
  }
  EXPECT_EQ(Reports(WaitForLog(player, 3)).size(), 3u);
  Pause(2500);
  EXPECT_TRUE(ErrorDialogs(player).empty());
  // Still usable: the tray opens the settings window.
  HWND tray = player.WaitForWindow(L"TCoolTrayIconWindow", 5000);
  HWND main = player.WaitForWindow(L"TfrmVPMain", 5000);
  ASSERT_TRUE(tray && main);
  SendMessageW(tray, 0x800, 1, WM_LBUTTONDBLCLK);
  for (int wait = 0; wait < 50 && !IsWindowVisible(main); ++wait) Pause(100);
  EXPECT_TRUE(IsWindowVisible(main));
}

// The new instance the restart started: a player window of another process
// that runs our copy.
DWORD RestartedPlayer(DWORD old) {
  struct TSearch {
    DWORD Old;
    DWORD Found = 0;
  } search{old};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != s->Old && ClassOf(window) == L"TfrmVideo") s->Found = process;
        return s->Found == 0;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

TEST(PlayerReporter, RestartEndsThePlayerAndStartsItAgain) {
  TPlayerProcess player(kIni, BuiltTestPlayer(), L"--fault=raise");
  ASSERT_TRUE(player.Start());
  HWND dialog = WaitForErrorDialog(player);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, idRestart)), L"&Restart");
  Answer(dialog, idRestart);
  DWORD code = 0;
  ASSERT_TRUE(player.WaitForExit(20000, &code));
  EXPECT_EQ(code, 1u);
  DWORD restarted = 0;
  for (int wait = 0; wait < 200 && !restarted; ++wait) {
    Pause(100);
    restarted = RestartedPlayer(player.ProcessId());
  }
  ASSERT_NE(restarted, 0u);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, restarted);
  ASSERT_NE(process, nullptr);
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  EXPECT_GE(Reports(WaitForLog(player, 1)).size(), 1u);
}

}  // namespace
