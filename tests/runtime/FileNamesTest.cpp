// Parts of Windows file names, as the player and the reporter take them apart.
#include <gtest/gtest.h>

#include "runtime/FileNames.h"

TEST(FileNames, ChangeFileExtTouchesOnlyTheLastElement) {
  EXPECT_EQ(ChangeFileExt("C:\\App\\player.exe", ".log"), "C:\\App\\player.log");
  EXPECT_EQ(ChangeFileExt("C:\\my.dir\\player", ".log"), "C:\\my.dir\\player.log");
  EXPECT_EQ(ChangeFileExt(L"C:\\a\\KiravaneVP.exe", L".ini"), L"C:\\a\\KiravaneVP.ini");
  EXPECT_EQ(ChangeFileExt(L"C:\\a.b\\player", L".ini"), L"C:\\a.b\\player.ini");
  EXPECT_EQ(ChangeFileExt(L"x.tar.gz", L".ini"), L"x.tar.ini");
  EXPECT_EQ(ExtractFilePath("D:\\Logs\\all.vlf"), "D:\\Logs\\");
}

TEST(FileNames, FoldersAndDrives) {
  // Folders lose their trailing backslash, roots keep it.
  EXPECT_EQ(ExtractFileDir("C:\\WINDOWS\\system32\\ntdll.dll"), "C:\\WINDOWS\\system32");
  EXPECT_EQ(ExtractFileDir("C:\\player.exe"), "C:\\");
  EXPECT_EQ(ExtractFileDir("\\\\server\\share\\x.dll"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDir("\\x.dll"), "\\");
  EXPECT_EQ(ExtractFileDir("x.dll"), "");

  EXPECT_EQ(ExtractFileDrive("C:\\Kiosk\\player.exe"), "C:");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir\\player.exe"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("Kiosk\\player.exe"), "");
}
