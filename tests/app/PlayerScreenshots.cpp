// Not a check: poses the player for the screenshots in docs/. Run by
// take-screenshots.sh, which photographs the display at each pose.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "PlayerProcess.h"

namespace {

// Writes "NAME left top right bottom" for the host script, then waits until
// the script has taken its picture (it deletes the file).
void Pose(const std::wstring& dir, const char* name, HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  std::wstring file = dir + L"\\pose.txt";
  FILE* f = _wfopen(file.c_str(), L"w");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
  std::fclose(f);
  for (int i = 0; i < 600 && GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
    Pause(100);
}

}  // namespace

TEST(PlayerScreenshots, DISABLED_Pose) {
  wchar_t dir[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"KVP_SHOT_DIR", dir, MAX_PATH)) GTEST_SKIP();
  // The file name field shows the clip's path: the script puts the clip where
  // an operator would and names it here.
  wchar_t clip[MAX_PATH] = {};
  std::wstring file =
      GetEnvironmentVariableW(L"KVP_SHOT_CLIP", clip, MAX_PATH) ? clip : SampleClip();
  TPlayerProcess player(L"[Options]\r\nFileName=" + file + L"\r\nMonitor=1\r\n");
  ASSERT_TRUE(player.Start());
  HWND video = player.WaitForWindow(L"TfrmVideo", 20000);
  HWND main = player.WaitForWindow(L"TfrmVPMain", 5000);
  HWND tray = player.WaitForWindow(L"TCoolTrayIconWindow", 5000);
  ASSERT_TRUE(video && main && tray);
  Pause(3500);  // playing, picture laid over the window
  Pose(dir, "video", video);
  SendMessageW(tray, 0x800, 1, WM_LBUTTONDBLCLK);
  Pause(2500);  // one more tick writes the state label
  Pose(dir, "settings", main);
}
