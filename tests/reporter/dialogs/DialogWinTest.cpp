// The real exception and request dialogs on the test display: each runs in a
// thread of its own, as in the handler thread, while the test finds it by
// its caption and answers it with messages.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "reporter/capture/GoNotify.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/dialogs/DialogGeometryWin.h"
#include "reporter/dialogs/ExceptionDialogWin.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/ConsoleReport.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/MainWindowWin.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"

namespace {

constexpr int idOk = 2;
constexpr int idTerminate = 3;
constexpr int idDetails = 4;
constexpr int idMessage = 101;
constexpr int idTabs = 1000;
constexpr int idSend = 3000;
constexpr int idScreenshot = 4000;
constexpr int idCopy = 5000;

std::string TextOf(HWND window) {
  char text[4096] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

// A visible dialog of this process with that caption.
HWND FindDialog(const std::string& caption) {
  struct TSearch {
    std::string Caption;
    HWND Found = nullptr;
  } search{caption};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char name[32] = {};
        GetClassNameA(window, name, sizeof name);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            std::string(name) == "#32770" && TextOf(window) == s->Caption) {
          s->Found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND WaitForDialog(const std::string& caption, DWORD milliseconds = 20000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (HWND found = FindDialog(caption)) return found;
    Sleep(20);
  }
  return nullptr;
}

void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The exception dialog, not the message box that may stand in for it (both
// are "Error." dialogs).
bool IsExceptionDialog(HWND window) {
  char name[32] = {};
  HWND tabs = GetDlgItem(window, idTabs);
  return tabs && GetClassNameA(tabs, name, sizeof name) && std::string(name) == "SysTabControl32";
}

// Details at once: the toggle is done when this returns.
void ToggleDetails(HWND dialog) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(idDetails, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, idDetails)));
}

bool Visible(HWND dialog, int id) {
  return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// The current page's list view (control 103 of the tab control's child).
HWND PageContent(HWND dialog) {
  HWND page = FindWindowExA(GetDlgItem(dialog, idTabs), nullptr, "#32770", nullptr);
  return page ? GetDlgItem(page, 103) : nullptr;
}

void SelectTab(HWND dialog, int index) {
  HWND tabs = GetDlgItem(dialog, idTabs);
  SendMessageA(tabs, TCM_SETCURSEL, index, 0);
  NMHDR header{tabs, static_cast<UINT_PTR>(idTabs), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageA(dialog, WM_NOTIFY, idTabs, reinterpret_cast<LPARAM>(&header));
}

std::string ListCell(HWND list, int row, int column) {
  char text[512] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

int ListRows(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// Runs a dialog in a thread of its own until it returns.
class TDialogThread {
 public:
  explicit TDialogThread(std::function<void()> body) : thread_(std::move(body)) {}
  ~TDialogThread() {
    if (thread_.joinable()) thread_.join();
  }
  void Join() { thread_.join(); }

 private:
  std::thread thread_;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePrivateProfileStringA(kCoordinatesSection, nullptr, nullptr, kDialogIniFile);
    options_.SetEmailSendMode(TEmailSendMode::SMTPClient);
    options_.SetAttachScreenshot(true);
    options_.SetTerminateButtonErrors(0);
    input_.Options = &options_;
    input_.Message = "Unknown monitor 7.";
    input_.GeneralText = "VexlorLog 4.5.8\r\n\r\nApplication:\r\n---\r\n";
    input_.CPUText = "Registers:\r\n";
    input_.SendAvailable = true;
    input_.ErrorsSoFar = 1;
    TDialogRow withLine{
        riPAS, {"0000000000401000", "x.exe", "Main.cpp", "", "Tick", "42"}, "Main.cpp", 42};
    TDialogRow withoutLine{
        riDLL, {"00007FF000001000", "user32.dll", "", "", "Dispatch", ""}, "", 0};
    input_.StackRows = {withLine, withoutLine};
    input_.ModuleRows = {
        {riVCL, {"0000000000400000", "x.exe", "", "1.0.x", "12 Kb", "C:\\"}, {}, 0}};
  }
  void TearDown() override {
    WritePrivateProfileStringA(kCoordinatesSection, nullptr, nullptr, kDialogIniFile);
  }

  // Shows the dialog, lets `drive` answer it, and returns the choice.
  TExceptionDialogChoice Run(const std::function<void(HWND)>& drive, bool send = true,
                             std::function<bool()> confirm = {}) {
    TExceptionDialogChoice choice;
    choice.Send = send;
    choice.Screenshot = true;
    bool reached = false;
    TDialogThread dialog([&] { reached = ShowDialog(input_, choice, confirm); });
    HWND window = WaitForDialog("Error.");
    EXPECT_NE(window, nullptr);
    if (window) drive(window);
    dialog.Join();
    EXPECT_TRUE(reached);
    return choice;
  }

  TVexlorModuleOptionsEx options_{"dialog_tests.exe", false};
  TExceptionDialogInput input_;
};

TEST_F(DialogTest, CollapsedDialogShowsTheMessageAndTheBoxesOfTheSendMode) {
  Run([](HWND dialog) {
    EXPECT_EQ(TextOf(GetDlgItem(dialog, idMessage)), "Unknown monitor 7.");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, idDetails)), "&Details >>");
    EXPECT_FALSE(Visible(dialog, idTabs));
    EXPECT_TRUE(Visible(dialog, idSend));
    EXPECT_TRUE(Visible(dialog, idScreenshot));
    EXPECT_TRUE(Visible(dialog, idCopy));
    EXPECT_TRUE(Visible(dialog, idTerminate));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, idTerminate)), "&Restart");
    EXPECT_GE(WindowRect(dialog).right - WindowRect(dialog).left, 250);
    Press(dialog, idOk);
  });
  // No e-mail: neither the send box nor the screenshot box.
  options_.SetEmailSendMode(TEmailSendMode::None);
  input_.SendAvailable = false;
  options_.SetTerminateButtonErrors(3);
  Run(
      [](HWND dialog) {
        EXPECT_FALSE(Visible(dialog, idSend));
        EXPECT_FALSE(Visible(dialog, idScreenshot));
        EXPECT_TRUE(Visible(dialog, idCopy));
        EXPECT_FALSE(Visible(dialog, idTerminate));
        Press(dialog, idOk);
      },
      false);
  // E-mail without a screenshot: the send box alone.
  options_.SetEmailSendMode(TEmailSendMode::EmailClient);
  options_.SetAttachScreenshot(false);
  input_.SendAvailable = true;
  Run([](HWND dialog) {
    EXPECT_TRUE(Visible(dialog, idSend));
    EXPECT_FALSE(Visible(dialog, idScreenshot));
    Press(dialog, idOk);
  });
}

// Paints of this thread's windows are held back until `paintsFrom`, then
// asked for again (a slow machine; or, never, a session where nothing can be
// seen).
thread_local DWORD paintsFrom = 0;
thread_local std::vector<HWND> heldBack;
LRESULT CALLBACK HoldPaints(int code, WPARAM remove, LPARAM message) {
  auto* msg = reinterpret_cast<MSG*>(message);
  if (code >= 0 && remove == PM_REMOVE) {
    if (static_cast<LONG>(GetTickCount() - paintsFrom) < 0) {
      if (msg->message == WM_PAINT) {
        heldBack.push_back(GetAncestor(msg->hwnd, GA_ROOT));
        ValidateRect(msg->hwnd, nullptr);
        msg->message = WM_NULL;
      }
    } else {
      for (HWND window : heldBack) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      }
      heldBack.clear();
    }
  }
  return CallNextHookEx(nullptr, code, remove, message);
}

TEST_F(DialogTest, ADialogThatPaintsLateIsShownOneThatNeverPaintsFallsBackToABox) {
  for (const DWORD delay : {400u, 600000u}) {
    ClearLastInternalWarning();
    TExceptionDialogChoice choice;
    bool reached = false;
    TDialogThread dialog([&] {
      paintsFrom = GetTickCount() + delay;
      HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, &HoldPaints, nullptr, GetCurrentThreadId());
      reached = ShowDialog(input_, choice, {});
      UnhookWindowsHookEx(hook);
    });
    HWND window = WaitForDialog("Error.");
    ASSERT_NE(window, nullptr);
    if (delay == 400) {
      // Still the dialog (the box has no tab control), well after its first
      // timer tick.
      Sleep(1000);
      EXPECT_TRUE(IsWindow(window) && IsExceptionDialog(window));
      Press(window, idOk);
      dialog.Join();
      EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeNone);
    } else {
      // After the wait the message box stands in for it.
      HWND box = nullptr;
      for (int i = 0; i < 500 && !box; ++i) {
        Sleep(20);
        HWND found = FindDialog("Error.");
        if (found && !IsExceptionDialog(found)) box = found;
      }
      ASSERT_NE(box, nullptr);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      dialog.Join();
      EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeShowError);
      EXPECT_EQ(LastInternalWarning().Message, "Cannot show the DialogBox window.");
    }
    EXPECT_TRUE(reached);
  }
}

TEST_F(DialogTest, UncheckingSendDisablesTheScreenshotBoxAndTheChoicesComeBack) {
  const TExceptionDialogChoice choice = Run([](HWND dialog) {
    HWND screenshot = GetDlgItem(dialog, idScreenshot);
    EXPECT_TRUE(IsWindowEnabled(screenshot));
    SendMessageA(GetDlgItem(dialog, idSend), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(screenshot));
    SendMessageA(GetDlgItem(dialog, idSend), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(screenshot));
    SendMessageA(GetDlgItem(dialog, idSend), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, idCopy), BM_CLICK, 0, 0);
    Press(dialog, idOk);
  });
  EXPECT_FALSE(choice.Send);
  EXPECT_TRUE(choice.Screenshot);
  EXPECT_TRUE(choice.Copy);
  EXPECT_FALSE(choice.Terminate);
}

TEST_F(DialogTest, DetailsShowFourPagesWithTheirRows) {
  Run([](HWND dialog) {
    ToggleDetails(dialog);
    EXPECT_TRUE(Visible(dialog, idTabs));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, idDetails)), "<< &Details");
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, idTabs), TCM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_NE(TextOf(PageContent(dialog)).find("Application:"), std::string::npos);
    SelectTab(dialog, 1);
    HWND stack = PageContent(dialog);
    ASSERT_EQ(ListRows(stack), 2);
    EXPECT_EQ(ListCell(stack, 0, 0), "0000000000401000");
    EXPECT_EQ(ListCell(stack, 0, 4), "Tick");
    EXPECT_EQ(ListCell(stack, 0, 5), "42");
    // The first column is wide enough for 16 digits.
    EXPECT_GT(SendMessageA(stack, LVM_GETCOLUMNWIDTH, 0, 0), 80);
    SelectTab(dialog, 2);
    EXPECT_EQ(ListCell(PageContent(dialog), 0, 1), "x.exe");
    SelectTab(dialog, 3);
    EXPECT_EQ(TextOf(PageContent(dialog)), "Registers:\r\n");
    Press(dialog, idOk);
  });
}

TEST_F(DialogTest, ClosingExpandedAndOpeningAgainRestoresTheGeometry) {
  auto expand = [](HWND dialog) { ToggleDetails(dialog); };
  Run([&](HWND dialog) {
    expand(dialog);
    SetWindowPos(dialog, nullptr, 100, 80, 700, 450, SWP_NOZORDER);
    Press(dialog, idOk);
  });
  EXPECT_EQ(ReadDialogValue("Width"), "700");
  EXPECT_EQ(ReadDialogValue("Left"), "100");
  Run([&](HWND dialog) {
    expand(dialog);
    const RECT rect = WindowRect(dialog);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 80);
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_EQ(rect.bottom - rect.top, 450);
    ShowWindow(dialog, SW_MAXIMIZE);
    Press(dialog, idOk);
  });
  EXPECT_EQ(ReadDialogValue("WindowsState"), "3");
  Run([&](HWND dialog) {
    expand(dialog);
    EXPECT_TRUE(IsZoomed(dialog));
    Press(dialog, idOk);
  });
}

// A key on the row as the keyboard gives it: focused, through the dialog's
// own loop (which asks the focused control whether it wants the key).
void PressKeyOnRow(HWND dialog, HWND list, int row, WPARAM key) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
  LVITEMA item{};
  item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  PostMessageA(list, WM_KEYDOWN, key, 1);
  PostMessageA(list, WM_KEYUP, key, 0xC0000001);
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = 5000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= milliseconds) return false;
    Sleep(20);
  }
  return true;
}

// Ends with the dialog closed by `key` on the current page's list, or closes
// it with OK after the failure.
void ExpectKeyEndsDialog(HWND dialog, WPARAM key) {
  PressKeyOnRow(dialog, PageContent(dialog), 0, key);
  if (!WaitUntil([&] { return !IsWindowVisible(dialog); })) {
    ADD_FAILURE() << "key " << key << " left the dialog open";
    Press(dialog, idOk);
  }
}

TEST_F(DialogTest, AnActivatedRowWithALineReachesTheMailSlot) {
  HANDLE slot = CreateMailslotA("\\\\.\\mailslot\\VexlorLog", 0, 0, nullptr);
  ASSERT_NE(slot, INVALID_HANDLE_VALUE);
  // Reads what has come so far; the units of all records read.
  std::vector<std::string> units;
  auto records = [&] {
    DWORD next = 0;
    while (GetMailslotInfo(slot, nullptr, &next, nullptr, nullptr) && next != MAILSLOT_NO_MESSAGE) {
      unsigned char record[2052] = {};
      DWORD read = 0;
      if (!ReadFile(slot, record, sizeof record, &read, nullptr)) break;
      EXPECT_EQ(read, 2052u);
      EXPECT_EQ(record[2048], 42);
      units.emplace_back(reinterpret_cast<const char*>(record));
    }
    return units.size();
  };
  // A double-click on the row.
  auto activate = [](HWND list, int row) {
    RECT item{};
    item.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
  };
  Run([&](HWND dialog) {
    ToggleDetails(dialog);
    SelectTab(dialog, 1);
    HWND stack = PageContent(dialog);
    activate(stack, 1);  // no line: nothing sent
    activate(stack, 0);
    EXPECT_EQ(records(), 1u);
    // Enter activates the focused row and leaves the dialog open. One key at
    // a time: the row is chosen by a sent message, which overtakes a key still
    // posted, so the next row is chosen only once the key before it is handled.
    PressKeyOnRow(dialog, stack, 0, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return records() == 2; }));
    EXPECT_TRUE(IsWindowVisible(dialog));
    PressKeyOnRow(dialog, stack, 1, VK_RETURN);  // no line: nothing sent (counted at the end)
    // The Modules list has no activation: Enter is the default button's.
    SelectTab(dialog, 2);
    ExpectKeyEndsDialog(dialog, VK_RETURN);
  });
  // Escape in the Call Stack list still closes the dialog.
  Run([&](HWND dialog) {
    ToggleDetails(dialog);
    SelectTab(dialog, 1);
    ExpectKeyEndsDialog(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(records(), 2u);
  EXPECT_EQ(units, std::vector<std::string>({"Main.cpp", "Main.cpp"}));
  CloseHandle(slot);
}

TEST_F(DialogTest, TerminateIsShownAgainWhenAHandlerCancelsIt) {
  int shown = 0;
  int asked = 0;
  const TExceptionDialogChoice choice = Run(
      [&](HWND dialog) {
        ++shown;
        Press(dialog, idTerminate);
        // The second dialog, after the handler's "no".
        HWND again = nullptr;
        for (int i = 0; i < 500 && !again; ++i) {
          Sleep(20);
          again = FindDialog("Error.");
          if (again == dialog && IsWindow(dialog)) again = nullptr;
        }
        ASSERT_NE(again, nullptr);
        ++shown;
        Press(again, idTerminate);
      },
      true, [&] { return ++asked > 1; });
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(choice.Terminate);
}

TEST_F(DialogTest, TheRequestDialogGivesTheTrimmedText) {
  std::string steps;
  TDialogThread request([&] { steps = ShowRequestDialog(options_); });
  HWND dialog = WaitForDialog("Request");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 100)), "Please describe the steps to reproduce the error:");
  SetDlgItemTextA(dialog, 101, "  Opened the clip.\r\nPressed Play.\r\n  ");
  Press(dialog, 2);
  request.Join();
  EXPECT_EQ(steps, "Opened the clip.\r\nPressed Play.");
}

// The copy choice: the clipboard belongs to the program's main window.
TEST(CopyChoice, TheClipboardIsOpenedForTheMainWindow) {
  HWND tool = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "tool", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                              10, nullptr, nullptr, nullptr, nullptr);
  HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_TRUE(tool && main);
  EXPECT_EQ(MainWindowOfProcess(GetCurrentProcessId()), main);
  ASSERT_TRUE(CopyTextToClipboard("the report"));
  EXPECT_EQ(GetClipboardOwner(), main);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(data)), "the report");
  GlobalUnlock(data);
  CloseClipboard();
  DestroyWindow(main);
  DestroyWindow(tool);
}

// The road of a real report: the pipeline shows the dialog with the call
// stack of this raise, asks for the steps and stores them with the report.
__attribute__((noinline)) void ChooseMonitor(int index) {
  throw EConvertError("Unknown monitor " + std::to_string(index) + ".");  // raise line
}
constexpr int kRaiseLine = __LINE__ - 2;

TEST(DialogPipeline, TheReportsDialogAndRequestReachTheLog) {
  ASSERT_TRUE(ReporterFlags().Active) << "the test program carries no reporter data";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("vexlor-dialog-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetShowExceptionDialog(true);
  options.SetSaveLogFile(true);
  options.SetOutputPath(folder.string());
  options.SetReportFlags(rfAskReproduceSteps);
  options.SetEmailSendMode(TEmailSendMode::None);

  std::vector<std::string> rows;
  std::thread operatorThread([&] {
    HWND dialog = WaitForDialog("Error.");
    if (!dialog) return;
    ToggleDetails(dialog);
    SelectTab(dialog, 1);
    HWND stack = PageContent(dialog);
    rows = {ListCell(stack, 0, 2), ListCell(stack, 0, 4), ListCell(stack, 0, 5)};
    Press(dialog, idOk);
    HWND request = WaitForDialog("Request");
    if (!request) return;
    SetDlgItemTextA(request, 101, "Chose monitor 7.");
    Press(request, 2);
  });
  try {
    ChooseMonitor(7);
  } catch (...) {
    EXPECT_FALSE(ExceptionManager());
  }
  operatorThread.join();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0].ends_with("DialogWinTest.cpp")) << rows[0];
  EXPECT_EQ(rows[1], "ChooseMonitor");
  EXPECT_EQ(rows[2], std::to_string(kRaiseLine));

  std::ifstream in(folder / "dialog_tests.vlf", std::ios::binary);
  std::stringstream log;
  log << in.rdbuf();
  EXPECT_NE(log.str().find("Unknown monitor 7."), std::string::npos);
  EXPECT_NE(log.str().find("\r\nRequest:\r\n" + std::string(40, '-') + "\r\nChose monitor 7."),
            std::string::npos);
  options.SetReportFlags(0);
  options.SetOutputPath("");
  in.close();
  std::filesystem::remove_all(folder);
}

}  // namespace

// Run by the test below in a process of its own: the user ends the program
// with the Terminate button.
TEST(DialogChild, DISABLED_ChooseTerminate) {
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetSaveLogFile(false);
  options.SetTerminateButtonAction(TTerminateButtonAction::Terminate);
  options.SetShowTerminateButton(true);
  options.SetTerminateButtonErrors(0);
  std::thread operatorThread([] {
    if (HWND dialog = WaitForDialog("Error.")) {
      EXPECT_EQ(TextOf(GetDlgItem(dialog, idTerminate)), "&Terminate");
      Press(dialog, idTerminate);
    }
  });
  operatorThread.detach();
  try {
    ChooseMonitor(3);
  } catch (...) {
    ExceptionManager();
  }
  ADD_FAILURE() << "the program went on after Terminate";
}

TEST(DialogEnd, TerminateEndsTheProgramWithExitCode1) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command =
      std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=DialogChild.*";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child));
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  EXPECT_EQ(code, 1u);
  TerminateProcess(child.hProcess, 99);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
}

// A log that cannot be opened (here a folder stands where the file would be)
// hides no repeat: the report is still shown, and the storing step records
// the "Log" warning.
TEST(DialogPipeline, AnUnreadableLogStillLetsTheReportBeShown) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("vexlor-badlog-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder / "dialog_tests.vlf");
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetShowExceptionDialog(true);
  options.SetSaveLogFile(true);
  options.SetOutputPath(folder.string());
  options.SetReportFlags(rfNoDuplicateErrors);
  bool shown = false;
  std::thread operatorThread([&] {
    if (HWND dialog = WaitForDialog("Error.")) {
      shown = true;
      Press(dialog, idOk);
    }
  });
  try {
    ChooseMonitor(9);
  } catch (...) {
    EXPECT_FALSE(ExceptionManager());
  }
  operatorThread.join();
  EXPECT_TRUE(shown);
  EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeLogError);
  EXPECT_EQ(LastInternalWarning().Message.rfind("[Log] ", 0), 0u) << LastInternalWarning().Message;
  options.SetReportFlags(0);
  options.SetOutputPath("");
  std::filesystem::remove_all(folder);
}

namespace {

// Writes "NAME left top right bottom" for take-screenshots.sh, then waits
// until the script has taken its picture (it deletes the file).
void Pose(const std::string& folder, const std::string& name, HWND window) {
  Sleep(300);  // painted
  const RECT r = WindowRect(window);
  const std::string file = folder + "\\pose.txt";
  std::ofstream(file) << name << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom
                      << '\n';
  for (int i = 0; i < 600 && GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    Sleep(100);
  }
}

__attribute__((noinline)) void OpenClip(const std::string& name) {
  throw EConvertError("Cannot open \"" + name + "\": the file is not a video.");
}

}  // namespace

// Not a check: poses a real report's dialogs for the screenshots in docs/,
// with CustomDialogStyle on and off.
TEST(DialogScreenshots, DISABLED_Pose) {
  char folder[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("VEXLOR_SHOT_DIR", folder, MAX_PATH)) GTEST_SKIP();
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetSaveLogFile(false);
  options.SetEmailSendMode(TEmailSendMode::SMTPClient);
  options.SetAttachScreenshot(true);
  options.SetReportFlags(rfAskReproduceSteps);
  options.SetTerminateButtonErrors(0);
  WritePrivateProfileStringA(kCoordinatesSection, nullptr, nullptr, kDialogIniFile);
  for (const bool custom : {true, false}) {
    options.SetCustomDialogStyle(custom);
    const std::string suffix = custom ? "" : "-plain";
    std::thread operatorThread([&] {
      HWND dialog = WaitForDialog("Error.");
      if (!dialog) return;
      Pose(folder, "dialog-collapsed" + suffix, dialog);
      ToggleDetails(dialog);
      const char* pages[4] = {"general", "callstack", "modules", "cpu"};
      for (int page = 0; page < 4; ++page) {
        SelectTab(dialog, page);
        Pose(folder, std::string("dialog-") + pages[page] + suffix, dialog);
      }
      ToggleDetails(dialog);
      Press(dialog, idOk);
      HWND request = WaitForDialog("Request");
      if (!request) return;
      SetDlgItemTextA(request, 101, "Opened the clip from the settings window.\r\nPressed Play.");
      Pose(folder, "dialog-request" + suffix, request);
      Press(request, 2);
    });
    try {
      OpenClip("C:\\Kiravane\\intro.txt");
    } catch (...) {
      ExceptionManager();
    }
    operatorThread.join();
  }
  options.SetReportFlags(0);
  WritePrivateProfileStringA(kCoordinatesSection, nullptr, nullptr, kDialogIniFile);
}
