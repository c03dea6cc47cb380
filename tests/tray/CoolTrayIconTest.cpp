// The tray component on a real Wine session: the record it hands the shell,
// cycling through a real image list, and the icon's return after the taskbar
// is re-created.
#include "tray/CoolTrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Forms.h"

namespace {

bool TrayShowsIcons() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  return tray && IsWindowVisible(tray);
}

bool WaitForTray(bool wanted) {
  for (int i = 0; i < 50; ++i) {
    if (TrayShowsIcons() == wanted) return true;
    Sleep(100);
  }
  return false;
}

struct TrayFixture : ::testing::Test {
  TApplication app;
  void SetUp() override { app.Initialize(); }
};

}  // namespace

TEST_F(TrayFixture, RecordAndTooltip) {
  TCoolTrayIcon icon(nullptr);
  const NOTIFYICONDATAW& data = icon.IconData();
  EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
  EXPECT_EQ(data.uID, 1u);
  EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(data.uCallbackMessage, 0x800u);
  EXPECT_EQ(data.hWnd, icon.Handle());
  EXPECT_TRUE(icon.IconVisible());  // believed visible, though not added yet

  icon.SetHint(std::wstring(200, L'ж'));
  EXPECT_EQ(std::wstring(icon.IconData().szTip), std::wstring(127, L'ж'));
  icon.SetShowHint(false);
  EXPECT_EQ(std::wstring(icon.IconData().szTip), L"");
  icon.SetShowHint(true);
  icon.SetHint(L"Kiravane VideoPlayer");
  EXPECT_EQ(std::wstring(icon.IconData().szTip), L"Kiravane VideoPlayer");

  icon.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  EXPECT_NE(icon.IconData().hIcon, nullptr);
  EXPECT_NE(icon.IconData().hIcon, LoadIconW(nullptr, IDI_APPLICATION)) << "must be a copy";
}

TEST_F(TrayFixture, IconComesBackAfterTheTaskbarIsRecreated) {
  {
    TCoolTrayIcon icon(nullptr);
    icon.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
    icon.SetIconVisible(true);
    ASSERT_TRUE(WaitForTray(true));
    // The shell forgets the icon, as when it restarts, and says so.
    NOTIFYICONDATAW gone = icon.IconData();
    Shell_NotifyIconW(NIM_DELETE, &gone);
    ASSERT_TRUE(WaitForTray(false));
    SendMessageW(app.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitForTray(true));
  }
  EXPECT_TRUE(WaitForTray(false)) << "destruction must remove the icon";
}

TEST_F(TrayFixture, CyclingThroughThreeIconsFiresOneTwoZeroOne) {
  TComponent owner(nullptr);
  auto* list = new TImageList(&owner, 32, 32);
  for (LPCWSTR id : {IDI_APPLICATION, IDI_WARNING, IDI_ERROR})
    ASSERT_GE(list->AddIcon(LoadIconW(nullptr, id)), 0);
  TCoolTrayIcon icon(nullptr);
  std::vector<int> fired;
  icon.OnCycle = [&](TObject*, int next) { fired.push_back(next); };
  icon.SetIconList(list);
  icon.SetIconIndex(7);
  EXPECT_EQ(icon.IconIndex(), 2);
  icon.SetCycleIcons(true);
  EXPECT_EQ(icon.IconIndex(), 0);
  for (int i = 0; i < 4; ++i) icon.CycleTick(&icon);
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(icon.IconIndex(), 1);
  delete list;  // the component lets go of it
  EXPECT_EQ(icon.IconList(), nullptr);
  EXPECT_EQ(icon.IconIndex(), 0);
  icon.CycleTick(&icon);  // without a list: nothing
  EXPECT_EQ(fired.size(), 4u);
}

TEST_F(TrayFixture, DoubleClickRunsTheDefaultItemOfTheMenu) {
  TComponent form(nullptr);
  auto* menu = new TPopupMenu(&form);
  auto* options = new TMenuItem(&form);
  options->Default = true;
  int runs = 0;
  options->OnClick = [&](TObject*) { ++runs; };
  menu->Items()->Add(options);
  TCoolTrayIcon icon(nullptr);
  icon.SetPopupMenu(menu);
  int clicks = 0, doubles = 0;
  icon.OnClick = [&](TObject*) { ++clicks; };
  icon.OnDblClick = [&](TObject*) { ++doubles; };
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageW(icon.Handle(), TCoolTrayIcon::WM_TRAYNOTIFY, 1, m);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(SendMessageW(icon.Handle(), WM_QUERYENDSESSION, 0, 0), 1);
  delete menu;
  EXPECT_EQ(icon.PopupMenu(), nullptr);
}
