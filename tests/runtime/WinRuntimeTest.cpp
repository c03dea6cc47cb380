// The Win32 side of the class library, on a real Wine session.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/Forms.h"
#include "runtime/IniFilesWin.h"
#include "runtime/Registry.h"
#include "runtime/StdCtrls.h"
#include "runtime/Thread.h"
#include "runtime/UtilWindow.h"

namespace {

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner)
      : TForm(owner, {L"TTestForm", L"test", WS_OVERLAPPEDWINDOW, 0, 200, 100}) {}
  TCloseAction action = TCloseAction::caHide;
  bool canClose = true;
  int destroyed = 0;
  void FormCloseQuery(TObject*, bool& CanClose) override { CanClose = canClose; }
  void FormClose(TObject*, TCloseAction& Action) override { Action = action; }
  void FormDestroy(TObject*) override { ++destroyed; }
};

}  // namespace

TEST(IniFile, MissingFileGivesDefaultsAndIsNotCreated) {
  std::wstring path = TempFile(L"kvp-missing.ini");
  DeleteFileW(path.c_str());
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString(L"Options", L"FileName", L"dflt"), L"dflt");
  EXPECT_EQ(ini.ReadInteger(L"Options", L"Monitor", 1), 1);
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(IniFile, NegativeNumbersAndCyrillicNamesSurviveARoundTrip) {
  std::wstring path = TempFile(L"kvp-roundtrip.ini");
  DeleteFileW(path.c_str());
  {
    TIniFile ini(path);
    ini.WriteString(L"Options", L"FileName", L"D:\\Видео\\Зал №1.avi");
    ini.WriteInteger(L"Options", L"Monitor", -1);
  }
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString(L"Options", L"FileName", L""), L"D:\\Видео\\Зал №1.avi");
  EXPECT_EQ(ini.ReadInteger(L"Options", L"Monitor", 1), -1);
  std::wstring longValue(5000, L'x');
  ini.WriteString(L"Options", L"Long", longValue);
  EXPECT_EQ(ini.ReadString(L"Options", L"Long", L""), longValue);
  DeleteFileW(path.c_str());
}

TEST(Registry, WriteReadDeleteUnderAnAbsolutePath) {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey(L"\\Software\\KiravaneTest", true));
  reg.WriteString(L"v", L"C:\\путь\\app.exe");
  EXPECT_TRUE(reg.ValueExists(L"v"));
  EXPECT_EQ(reg.ReadString(L"v"), L"C:\\путь\\app.exe");
  EXPECT_TRUE(reg.DeleteValue(L"v"));
  EXPECT_FALSE(reg.DeleteValue(L"v"));
  reg.CloseKey();
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KiravaneTest");
  TRegistry readOnly(KEY_READ);
  readOnly.RootKey = HKEY_CURRENT_USER;
  EXPECT_FALSE(readOnly.OpenKeyReadOnly(L"\\Software\\KiravaneTest"));
  EXPECT_THROW(readOnly.WriteString(L"v", L"x"), ERegistryException);
}

TEST(Thread, ExceptionsStayInTheThread) {
  struct Failing : TThread {
    Failing() : TThread(true) {}
    void Execute() override { throw EConvertError("bad number"); }
  } thread;
  thread.Start();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  ASSERT_TRUE(thread.FatalException());
  EXPECT_THROW(std::rethrow_exception(thread.FatalException()), EConvertError);
}

TEST(Thread, ThreadFreedBeforeItStartedNeverRunsExecute) {
  static std::atomic<int> runs{0};
  struct Counting : TThread {
    Counting() : TThread(true) {}
    void Execute() override { ++runs; }
  };
  { Counting never; }
  EXPECT_EQ(runs, 0);
  {
    Counting once;
    once.Start();
    once.WaitFor();
  }
  EXPECT_EQ(runs, 1);
}

TEST(Application, HandleExceptionRoutesToOnExceptionAndKeepsAbortSilent) {
  TApplication app;
  std::string seen;
  app.OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
  try {
    throw EOleException("no such interface", E_NOINTERFACE);
  } catch (...) {
    app.HandleException(nullptr);
  }
  EXPECT_EQ(seen, "no such interface");
  seen.clear();
  try {
    throw EAbort("quiet");
  } catch (...) {
    app.HandleException(nullptr);
  }
  EXPECT_EQ(seen, "");
  app.HandleException(nullptr);  // outside a handler: nothing to do
}

struct TPoint {
  int X;
};

__attribute__((noinline)) void MovePoint(TPoint* point) {
  static_cast<volatile TPoint*>(point)->X = 3;
}

// A fault in a window procedure is the class library's exception: handled
// like any other, and the program goes on.
TEST(Application, AFaultInAWindowProcedureBecomesAnAccessViolation) {
  TApplication app;
  std::string seen;
  app.OnException = [&](TObject*, const std::exception& e) {
    seen = e.what();
    EXPECT_NE(dynamic_cast<const EAccessViolation*>(&e), nullptr);
  };
  int after = 0;
  TUtilWindow window(L"TFaultTestWindow", [&](UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg == WM_USER) {
      TPoint* volatile none = nullptr;
      MovePoint(none);
    }
    ++after;
    return 0;
  });
  SendMessageW(window.Handle(), WM_USER, 0, 0);
  EXPECT_EQ(seen.rfind("Access violation at address ", 0), 0u) << seen;
  EXPECT_NE(seen.find("Write of address 0000000000000000"), std::string::npos) << seen;
  EXPECT_EQ(after, 0);
  SendMessageW(window.Handle(), WM_USER + 1, 0, 0);
  EXPECT_EQ(after, 1);
}

TEST(Forms, CloseHidesFreesOrRefuses) {
  TApplication app;
  app.Initialize();
  TTestForm* main = nullptr;
  TTestForm* other = nullptr;
  app.CreateForm(main);
  app.CreateForm(other);
  other->Show();
  other->canClose = false;
  other->Close();
  EXPECT_TRUE(other->Visible());
  other->canClose = true;
  other->Close();
  EXPECT_FALSE(other->Visible());
  other->action = TCloseAction::caFree;
  other->Close();
  HWND otherWnd = other->Handle();
  app.ProcessMessages();  // the release runs after the message
  EXPECT_FALSE(IsWindow(otherWnd));
  EXPECT_EQ(app.ComponentCount(), 1);
  main->action = TCloseAction::caNone;
  main->Close();
  app.ProcessMessages();
  EXPECT_FALSE(app.Terminated());
  main->action = TCloseAction::caFree;
  main->Close();
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}

TEST(StdCtrls, ComboIndexAndCheckBoxClicks) {
  TApplication app;
  app.Initialize();
  TTestForm* form = nullptr;
  app.CreateForm(form);
  auto* combo = new TComboBox(form, form, 0, 0, 100, 24);
  combo->AddItem(L"Монитор 1 (основной)");
  combo->AddItem(L"Монитор 2");
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Item(0), L"Монитор 1 (основной)");
  combo->SetItemIndex(5);
  EXPECT_EQ(combo->ItemIndex(), -1);
  auto* box = new TCheckBox(form, form, L"x", 0, 30, 100, 20);
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  box->SetChecked(false);
  EXPECT_EQ(clicks, 0);
  box->SetChecked(true);
  box->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(box->Checked());
}
