// The player as the operator meets it: a real process on the two-monitor
// test display, driven through its windows from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "PlayerProcess.h"

namespace {

std::wstring Ini(const std::wstring& file, int monitor) {
  return L"[Options]\r\nFileName=" + file + L"\r\nMonitor=" + std::to_wstring(monitor) + L"\r\n";
}

void DumpAllWindows() {
  EnumWindows(
      [](HWND wnd, LPARAM) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        RECT r{};
        GetWindowRect(wnd, &r);
        std::printf("%5lu %-32ls %-30ls vis=%d (%ld,%ld,%ld,%ld)\n", pid, ClassOf(wnd).c_str(),
                    TextOf(wnd).c_str(), IsWindowVisible(wnd), r.left, r.top, r.right, r.bottom);
        return TRUE;
      },
      0);
}

// Wine shows notification-area icons in a window of its own, visible while
// it holds at least one icon.
bool TrayShowsIcons() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  return tray && IsWindowVisible(tray);
}

bool WaitFor(bool (*condition)(), bool wanted, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (condition() != wanted) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    Pause(100);
  }
  return true;
}

// The program answers on its own thread: on a loaded machine a fixed pause
// may end before it has.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 10000) {
  DWORD end = GetTickCount() + ms;
  while (!condition()) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    Pause(50);
  }
  return true;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Clicks a button of the settings window the way the button itself would
// tell its parent.
void ClickButton(HWND button) {
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

class PlayerFixture : public ::testing::Test {
 protected:
  explicit PlayerFixture(int monitor = 1) : player(Ini(SampleClip(), monitor)) {}
  void SetUp() override {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    ASSERT_TRUE(player.Start());
    video = player.WaitForWindow(L"TfrmVideo", 20000);
    ASSERT_NE(video, nullptr) << "no video window";
    main = player.WaitForWindow(L"TfrmVPMain", 15000);
    ASSERT_NE(main, nullptr);
    tray = player.WaitForWindow(L"TCoolTrayIconWindow", 15000);
    ASSERT_NE(tray, nullptr);
  }
  RECT VideoRect() const {
    RECT r{};
    GetWindowRect(video, &r);
    return r;
  }
  void ShowSettings() {
    // A double click on the icon runs the menu's default item.
    SendMessageW(tray, 0x800, 1, WM_LBUTTONDOWN);
    SendMessageW(tray, 0x800, 1, WM_LBUTTONUP);
    SendMessageW(tray, 0x800, 1, WM_LBUTTONDBLCLK);
    SendMessageW(tray, 0x800, 1, WM_LBUTTONUP);
    Pause(300);
  }

  TPlayerProcess player;
  HWND video = nullptr;
  HWND main = nullptr;
  HWND tray = nullptr;
};

}  // namespace

TEST_F(PlayerFixture, VideoCoversTheConfiguredMonitorAndSettingsStayHidden) {
  EXPECT_TRUE(SameRect(VideoRect(), MonitorRect(1)))
      << Describe(VideoRect()) << " vs " << Describe(MonitorRect(1));
  EXPECT_TRUE(IsWindowVisible(video));
  EXPECT_TRUE(GetWindowLongW(video, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongW(video, GWL_STYLE) & WS_CAPTION);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(TextOf(main), L"Kiravane VideoPlayer");
  EXPECT_TRUE(WaitFor(TrayShowsIcons, true, 15000)) << "no tray icon";
}

TEST_F(PlayerFixture, TheClipPlaysAndLoops) {
  HWND state = TPlayerProcess::FindChild(main, L"Static", L"воспроизведение");
  for (int i = 0; i < 200 && !state; ++i) {
    Pause(100);
    state = TPlayerProcess::FindChild(main, L"Static", L"воспроизведение");
  }
  ASSERT_NE(state, nullptr) << "the state label never said playing";
  // Where the control draws into a renderer window of its own (Wine), the
  // player lays that window over the video window.
  Pause(1200);
  for (const TFoundWindow& w : player.Windows()) {
    if (w.Text != L"ActiveMovie Window" || !IsWindowVisible(w.Handle)) continue;
    RECT r{};
    GetWindowRect(w.Handle, &r);
    EXPECT_TRUE(SameRect(r, VideoRect())) << Describe(r);
    EXPECT_FALSE(GetWindowLongW(w.Handle, GWL_STYLE) & WS_CAPTION);
  }
  // The 2 s clip ends; the next ticks restart it.
  bool ended = false, again = false;
  for (int i = 0; i < 200 && !again; ++i) {
    Pause(100);
    std::wstring text = TextOf(state);
    if (text != L"воспроизведение") ended = true;
    if (ended && text == L"воспроизведение") again = true;
  }
  EXPECT_TRUE(ended && again) << "no restart after the end of the clip";
}

TEST_F(PlayerFixture, AltF4OnTheVideoWindowChangesNothing) {
  RECT before = VideoRect();
  SetForegroundWindow(video);
  PostMessageW(video, WM_SYSKEYDOWN, VK_F4, 0x20000000);
  PostMessageW(video, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(video, WM_CLOSE, 0, 0);
  Pause(1500);
  ASSERT_TRUE(IsWindow(video));
  EXPECT_TRUE(IsWindowVisible(video));
  EXPECT_TRUE(SameRect(VideoRect(), before));
  EXPECT_TRUE(player.Running());
}

TEST_F(PlayerFixture, ClosingTheSettingsWindowOnlyHidesIt) {
  ShowSettings();
  ASSERT_TRUE(IsWindowVisible(main)) << "double click on the icon did not show the settings";
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }));
  EXPECT_TRUE(player.Running());
}

TEST_F(PlayerFixture, ExitCommandEndsTheProgramAndRemovesTheIcon) {
  ASSERT_TRUE(WaitFor(TrayShowsIcons, true, 15000));
  HWND exit = TPlayerProcess::FindChild(main, L"Button", L"Завершить программу");
  ASSERT_NE(exit, nullptr);
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(exit), BN_CLICKED),
               reinterpret_cast<LPARAM>(exit));
  DWORD code = 99;
  ASSERT_TRUE(player.WaitForExit(15000, &code)) << "still running";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor(TrayShowsIcons, false, 15000)) << "icon left behind";
}

TEST_F(PlayerFixture, SaveWritesTheIniAndTheRunValue) {
  ShowSettings();
  ASSERT_TRUE(IsWindowVisible(main));
  HWND edit = TPlayerProcess::FindChild(main, L"Edit", L"");
  HWND combo = TPlayerProcess::FindChild(main, L"ComboBox", L"");
  HWND autorun = TPlayerProcess::FindChild(main, L"Button", L"Запуск при старте Windows");
  HWND save = TPlayerProcess::FindChild(main, L"Button", L"Сохранить настройки");
  ASSERT_TRUE(edit && combo && autorun && save);
  EXPECT_EQ(TextOf(edit), SampleClip());
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);

  // Another file typed in, the first monitor picked: the window moves at once.
  std::wstring other = player.Folder() + L"\\Другой клип.avi";
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  EXPECT_TRUE(WaitUntil([&] { return SameRect(VideoRect(), MonitorRect(0)); }))
      << Describe(VideoRect());
  if (SendMessageW(autorun, BM_GETCHECK, 0, 0) != BST_CHECKED) {
    SendMessageW(autorun, BM_SETCHECK, BST_CHECKED, 0);
    ClickButton(autorun);
  }
  ClickButton(save);
  // The button goes grey once the settings are written.
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(save); }));

  wchar_t value[1024] = {};
  GetPrivateProfileStringW(L"Options", L"FileName", L"?", value, 1024, player.IniPath().c_str());
  EXPECT_EQ(std::wstring(value), other);
  EXPECT_EQ(GetPrivateProfileIntW(L"Options", L"Monitor", 7, player.IniPath().c_str()), 0u);

  HKEY run;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          0, KEY_ALL_ACCESS, &run),
            ERROR_SUCCESS);
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  LONG rc =
      RegQueryValueExW(run, L"kiravaneVP", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  EXPECT_EQ(rc, ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(data), player.ExePath());

  // Unticked and saved again: the value goes.
  ClickButton(autorun);  // BN_CLICKED after the box toggles itself
  SendMessageW(autorun, BM_SETCHECK, BST_UNCHECKED, 0);
  ClickButton(save);
  EXPECT_TRUE(WaitUntil([&] {
    return RegQueryValueExW(run, L"kiravaneVP", nullptr, nullptr, nullptr, nullptr) !=
           ERROR_SUCCESS;
  }));
  RegDeleteValueW(run, L"kiravaneVP");
  RegCloseKey(run);
}

TEST_F(PlayerFixture, AboutBoxNamesTheProgramAndItsVersion) {
  // Right button on the icon opens the menu; Down and Enter choose its
  // first item, "О программе...".
  PostMessageW(tray, 0x800, 1, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  for (int i = 0; i < 50 && !menu; ++i) {
    Pause(100);
    menu = FindWindowW(L"#32768", nullptr);
  }
  ASSERT_NE(menu, nullptr) << "no pop-up menu";
  PostMessageW(tray, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(tray, WM_KEYDOWN, VK_RETURN, 0);
  HWND box = nullptr;
  for (int i = 0; i < 50 && !box; ++i) {
    Pause(100);
    for (const TFoundWindow& w : player.Windows())
      if (w.ClassName == L"#32770" && w.Text == L"О программе") box = w.Handle;
  }
  ASSERT_NE(box, nullptr) << "no About box";
  std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
  EXPECT_EQ(text.rfind(L"\"Kiravane VideoPlayer\" версия ", 0), 0u) << text.size();
  EXPECT_NE(text.find(L" build "), std::wstring::npos);
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(PlayerFixture, ShutdownQueryFreesTheVideoWindowAndEndSessionEndsTheProgram) {
  // The system asks the video window first: it lets Windows go on, and goes.
  EXPECT_EQ(SendMessageW(video, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 1);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(video); }));
  EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 1);
  // Shutdown cancelled: the program runs on without its video window, and
  // picking a monitor is harmless.
  Pause(1500);
  ASSERT_TRUE(player.Running());
  HWND combo = TPlayerProcess::FindChild(main, L"ComboBox", L"");
  ASSERT_NE(combo, nullptr);
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  Pause(1200);
  EXPECT_TRUE(player.Running());
  // The session ends (whatever its flag says): so does the program.
  EXPECT_EQ(SendMessageW(main, WM_ENDSESSION, FALSE, 0), 0);
  DWORD code = 99;
  ASSERT_TRUE(player.WaitForExit(15000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(PlayerFixture, PostedShutdownQueryShowsTheFilterBox) {
  PostMessageW(main, WM_QUERYENDSESSION, 0, 0);
  HWND box = nullptr;
  for (int i = 0; i < 50 && !box; ++i) {
    Pause(100);
    for (const TFoundWindow& w : player.Windows())
      if (w.ClassName == L"#32770" && w.Text == L"start") box = w.Handle;
  }
  ASSERT_NE(box, nullptr) << "no message box";
  EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), L"Application: QueryEndSession");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  Pause(500);
  EXPECT_TRUE(player.Running());
  EXPECT_TRUE(IsWindow(video));
}

TEST_F(PlayerFixture, ChosenFileOnlyFillsTheEditUntilSaved) {
  ShowSettings();
  ASSERT_TRUE(IsWindowVisible(main));
  HWND save = TPlayerProcess::FindChild(main, L"Button", L"Сохранить настройки");
  HWND edit = TPlayerProcess::FindChild(main, L"Edit", L"");
  HWND open = TPlayerProcess::FindChild(main, L"Button", L"Выбрать...");
  ASSERT_TRUE(save && edit && open);
  // Saved once, so the button starts disabled.
  ClickButton(save);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(save); }));
  std::wstring chosen = player.Folder() + L"\\KiravaneVP.exe";  // any existing file
  PostMessageW(GetParent(open), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(open), BN_CLICKED),
               reinterpret_cast<LPARAM>(open));
  HWND dialog = nullptr;
  for (int i = 0; i < 100 && !dialog; ++i) {
    Pause(100);
    for (const TFoundWindow& w : player.Windows())
      if (w.ClassName == L"#32770" && IsWindowVisible(w.Handle)) dialog = w.Handle;
  }
  ASSERT_NE(dialog, nullptr) << "no file dialog";
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
  HWND name = GetDlgItem(dialog, 0x47C);  // the file name box
  if (ClassOf(name) == L"ComboBox") name = FindWindowExW(name, nullptr, L"Edit", nullptr);
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 50 && IsWindow(dialog); ++i) Pause(100);
  ASSERT_FALSE(IsWindow(dialog));
  EXPECT_EQ(TextOf(edit), chosen);
  EXPECT_TRUE(IsWindowEnabled(save));
  // Not saved: the INI and the playing file stay as they were.
  wchar_t value[1024] = {};
  GetPrivateProfileStringW(L"Options", L"FileName", L"?", value, 1024, player.IniPath().c_str());
  EXPECT_EQ(std::wstring(value), SampleClip());
}

TEST(PlayerEndToEnd, DISABLED_DumpWindows) {
  TPlayerProcess player(Ini(SampleClip(), 1));
  ASSERT_TRUE(player.Start());
  Pause(6000);
  DumpAllWindows();
}
