// The web kind tests over a scripted system, and the reading of a mapped
// library image's exports.
#include "reporter/web/WebKinds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace {

// A program's surroundings as plain values; INI files are text.
class TFakeSystem : public TWebKindSystem {
 public:
  bool Console = false;
  bool ExtensionLibrary = false;
  std::set<std::string> Environment;
  std::vector<std::string> Args;
  std::map<std::string, std::string> Files;

  bool IsConsoleProgram() override { return Console; }
  bool IsExtensionLibrary() override { return ExtensionLibrary; }
  bool HasEnvironmentVariable(const std::string& name) override {
    return Environment.count(name) != 0;
  }
  std::vector<std::string> Arguments() override { return Args; }
  std::optional<std::uint64_t> FileSize(const std::string& name) override {
    const auto file = Files.find(name);
    if (file == Files.end()) return std::nullopt;
    return file->second.size();
  }
  std::string IniValue(const std::string& name, const std::string& section,
                       const std::string& key) override {
    const auto file = Files.find(name);
    if (file == Files.end()) return "";
    std::istringstream lines(file->second);
    std::string line, current;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > 1 && line.front() == '[') {
        current = line.substr(1, line.find(']') - 1);
      } else if (current == section && line.rfind(key + "=", 0) == 0) {
        return line.substr(key.size() + 1);
      }
    }
    return "";
  }
  bool FileExists(const std::string& name) override { return Files.count(name) != 0; }
};

TEST(WebKinds, CgiIsAConsoleProgramWithARequestMethod) {
  TFakeSystem system;
  system.Console = true;
  EXPECT_EQ(WebApplicationKind(system), TWebKind::None);
  EXPECT_FALSE(IsGUIApplication(system));
  system.Environment.insert("REQUEST_METHOD");
  EXPECT_EQ(WebApplicationKind(system), TWebKind::CGI);
  system.Console = false;
  EXPECT_FALSE(IsCGIApplication(system));
  EXPECT_TRUE(IsGUIApplication(system));
}

TEST(WebKinds, WinCgiNeedsTheRequestFileAndAnExistingOutputFile) {
  TFakeSystem system;
  system.Files["req.ini"] = "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File=out.txt\r\n";
  system.Args = {"req.ini"};
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);  // no output file yet
  system.Files["out.txt"] = "";
  EXPECT_EQ(WinCGIOutputFile(system), "out.txt");
  EXPECT_EQ(WebApplicationKind(system), TWebKind::WinCGI);
  EXPECT_FALSE(IsGUIApplication(system));

  // The third argument names the output file before the request file does.
  system.Args = {"req.ini", "", "third.txt"};
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);
  system.Files["third.txt"] = "";
  EXPECT_EQ(WinCGIOutputFile(system), "third.txt");

  // A console program, an empty method, a request file too long: no Win-CGI.
  system.Console = true;
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);
  system.Console = false;
  system.Files["req.ini"] = "[CGI]\r\nRequest Method=\r\n";
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);
  system.Files["req.ini"] =
      "[CGI]\r\nRequest Method=POST\r\n;" + std::string(kWinCGIMaxRequestFileSize, 'x');
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);
  system.Args = {};
  EXPECT_EQ(WinCGIOutputFile(system), std::nullopt);
}

TEST(WebKinds, IsapiComesFirstAndIntraWebNeverApplies) {
  TFakeSystem system;
  system.Console = true;
  system.Environment.insert("REQUEST_METHOD");
  system.ExtensionLibrary = true;
  EXPECT_EQ(WebApplicationKind(system), TWebKind::ISAPI);
  EXPECT_FALSE(IsIntraWebApplication());
}

// A 64-bit image as mapped: headers, then an export directory naming two
// functions.
std::vector<std::uint8_t> Image(std::uint16_t characteristics) {
  std::vector<std::uint8_t> image(0x400, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&image[at], &v, 2); };
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&image[at], &v, 4); };
  put16(0, 0x5A4D);
  put32(60, 0x80);
  put32(0x80, 0x00004550);
  put16(0x84 + 18, characteristics);
  put16(0x98, 0x20B);
  put32(0x98 + 112, 0x200);  // export directory
  put32(0x98 + 116, 0x100);
  put32(0x200 + 24, 2);      // names
  put32(0x200 + 32, 0x280);  // their RVAs
  put32(0x280, 0x300);
  put32(0x284, 0x320);
  std::strcpy(reinterpret_cast<char*>(&image[0x300]), "GetExtensionVersion");
  std::strcpy(reinterpret_cast<char*>(&image[0x320]), "HttpExtensionProc");
  return image;
}

TEST(WebKinds, LibraryImageAndItsExports) {
  const std::vector<std::uint8_t> library = Image(0x2022);
  EXPECT_TRUE(IsLibraryImage(library.data(), library.size()));
  EXPECT_TRUE(ImageExportsName(library.data(), library.size(), "HttpExtensionProc"));
  EXPECT_FALSE(ImageExportsName(library.data(), library.size(), "HttpExtension"));
  EXPECT_FALSE(ImageExportsName(library.data(), library.size(), "TerminateExtension"));

  const std::vector<std::uint8_t> program = Image(0x0022);
  EXPECT_FALSE(IsLibraryImage(program.data(), program.size()));

  std::vector<std::uint8_t> damaged = library;
  damaged[60] = 0xF0;  // the PE offset leads outside the image
  EXPECT_FALSE(IsLibraryImage(damaged.data(), damaged.size()));
  EXPECT_FALSE(ImageExportsName(damaged.data(), damaged.size(), "HttpExtensionProc"));
  // Names that run past the readable part are not read.
  EXPECT_FALSE(ImageExportsName(library.data(), 0x330, "HttpExtensionProc"));
  EXPECT_FALSE(IsLibraryImage(library.data(), 64));
}

}  // namespace
