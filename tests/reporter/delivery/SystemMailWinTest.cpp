// MAPI through a provider DLL of ours registered as the mail client, and the
// shell's "mailto:" command through a recorder program of ours.
#include <windows.h>

#include <gtest/gtest.h>

#include <list>

#include "reporter/config/InternalErrors.h"
#include "reporter/delivery/DeliveryStageWin.h"
#include "reporter/delivery/SystemMailWin.h"
#include "runtime/Exceptions.h"
#include "tests/reporter/delivery/MailServersWin.h"

namespace {

std::string Folder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string TempName(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

// Sets a registry string and puts the old one back at the end.
class TRegistryValue {
 public:
  TRegistryValue(HKEY root, std::string path, const char* name, const std::string& value)
      : root_(root), path_(std::move(path)), name_(name ? name : "") {
    HKEY key;
    RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    char old[2048];
    DWORD size = sizeof old;
    had_ = RegQueryValueExA(key, Name(), nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
           ERROR_SUCCESS;
    if (had_) old_.assign(old, strnlen(old, size));
    Set(key, value);
    RegCloseKey(key);
  }
  ~TRegistryValue() {
    HKEY key;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (had_)
      Set(key, old_);
    else
      RegDeleteValueA(key, Name());
    RegCloseKey(key);
  }

 private:
  const char* Name() const { return name_.empty() ? nullptr : name_.c_str(); }
  void Set(HKEY key, const std::string& value) {
    RegSetValueExA(key, Name(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  HKEY root_;
  std::string path_;
  std::string name_;
  bool had_ = false;
  std::string old_;
};

class SystemMail : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = TempName("vexlor-mapi-record.txt");
    DeleteFileA(record_.c_str());
    SetEnvironmentVariableA("VEXLOR_MAPI_RECORD", record_.c_str());
    SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", nullptr);
    SetEnvironmentVariableA("VEXLOR_TEST_FOLDER", Folder().c_str());
    ClearLastInternalWarning();
  }
  void TearDown() override { SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", nullptr); }
  std::string Record() const { return ReadWholeFile(record_); }
  // Our provider as the default mail client, its path given through an
  // environment string as installers write it.
  void RegisterProvider(const std::string& dll = "%VEXLOR_TEST_FOLDER%vexlor_test_mapi.dll") {
    client_.emplace_back(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, "VexlorTest");
    client_.emplace_back(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\VexlorTest", "DLLPath", dll);
  }
  void UnregisterProvider() {
    client_.emplace_back(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, "NoSuchClient");
  }
  std::string record_;
  std::list<TRegistryValue> client_;
};

}  // namespace

TEST_F(SystemMail, MapiProviderReceivesTheWholeMessage) {
  RegisterProvider();
  const std::string report = TempName("Player.vlf");
  const std::string shot = TempName("Screenshot.png");
  WriteWholeFile(report, "report");
  WriteWholeFile(shot, "png");
  ASSERT_TRUE(SendMailByMAPI("a@x.test; b@y.test", "Error report", "Body text",
                             {report, TempName("missing.png"), shot}));
  const std::string expected =
      "logon: flags 1\n"
      "resolve: a@x.test\nfree\n"
      "resolve: b@y.test\nfree\n"
      "send: session 0 flags 1\n"
      "subject: Error report\n"
      "body: Body text\n"
      "to: 1 Display a@x.test <SMTP:a@x.test> SMT\n"
      "to: 1 Display b@y.test <SMTP:b@y.test> SMT\n"
      "file: Player.vlf at " +
      report + " position -1\nfile: Screenshot.png at " + shot +
      " position -1\n"
      "logoff: 20816\n";
  EXPECT_EQ(Record(), expected);
  EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeNone);
}

TEST_F(SystemMail, MapiFailuresAndTheFallbackLibrary) {
  const auto expectWarning = [](const char* text) {
    EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeEmailMAPIError);
    EXPECT_EQ(LastInternalWarning().Message, text);
    ClearLastInternalWarning();
  };
  {
    RegisterProvider();
    SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", "logon");
    EXPECT_FALSE(SendMailByMAPI("a@x.test", "S", "B", {}));
    expectWarning("Cannot LogOn into the MAPI service.");
    SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", "send");
    EXPECT_FALSE(SendMailByMAPI("a@x.test", "S", "B", {}));
    expectWarning("Cannot send the MAPI message.");
    // A recipient that does not resolve stops the send without a warning.
    SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", "resolve");
    DeleteFileA(record_.c_str());
    EXPECT_FALSE(SendMailByMAPI("a@x.test", "S", "B", {}));
    EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeNone);
    EXPECT_EQ(Record().find("send:"), std::string::npos);
    EXPECT_NE(Record().find("logoff:"), std::string::npos);
    SetEnvironmentVariableA("VEXLOR_MAPI_REFUSE", nullptr);
  }
  client_.clear();
  {
    RegisterProvider("kernel32.dll");
    EXPECT_FALSE(SendMailByMAPI("a@x.test", "S", "B", {}));
    expectWarning("Cannot found the MAPI functions.");
  }
  client_.clear();
  UnregisterProvider();
  EXPECT_FALSE(SendMailByMAPI("a@x.test", "S", "B", {}, "vexlor-no-such-mapi.dll"));
  expectWarning("Cannot open the MAPI dll.");
  // Without a registered client the fallback library is the provider.
  DeleteFileA(record_.c_str());
  EXPECT_TRUE(
      SendMailByMAPI("a@x.test", "S", "B", {}, (Folder() + "vexlor_test_mapi.dll").c_str()));
  EXPECT_NE(Record().find("send: "), std::string::npos);
}

TEST_F(SystemMail, ShellStartsTheMailtoCommand) {
  const std::string recorded = TempName("vexlor-mailto-record.txt");
  SetEnvironmentVariableA("VEXLOR_MAILTO_RECORD", recorded.c_str());
  const std::string program = "\"" + Folder() + "vexlor_mailto_recorder.exe\"";
  {
    TRegistryValue command(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", nullptr,
                           program + " \"%1\"");
    ASSERT_TRUE(SendMailByShell("a@x.test;b@y.test", "Error report",
                                "Body\r\n\r\n\r\nReport \xCE\xF8\xE8\xE1\xEA\xE0"));
    EXPECT_EQ(ReadWholeFile(recorded),
              program +
                  " \"mailto:a@x.test;b@y.test?Subject=Error%20report&Body=Body%0D%0A%0D%0A%0D%0A"
                  "Report%20\xCE\xF8\xE8\xE1\xEA\xE0\"");
    // A report far beyond a command line's length is cut, the start kept.
    DeleteFileA(recorded.c_str());
    ASSERT_TRUE(SendMailByShell("a@x.test", "S", "Start " + std::string(100000, '#')));
    const std::string line = ReadWholeFile(recorded);
    EXPECT_GT(line.size(), 30000u);
    EXPECT_NE(line.find("&Body=Start%20%23%23"), std::string::npos);
  }
  {
    TRegistryValue command(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", nullptr,
                           "\"" + Folder() + "no-such-mailer.exe\" \"%1\"");
    EXPECT_FALSE(SendMailByShell("a@x.test", "S", "B"));
    EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeEmailShellError);
    EXPECT_FALSE(LastInternalWarning().Message.empty());
  }
}

TEST_F(SystemMail, InternalErrorsMailTheTraceThroughTheMailClient) {
  // The user answers the internal error's question with "Yes".
  struct TYes : TInternalErrorUI {
    int ShowMessage(const std::string&, const std::string& caption, std::uint32_t) override {
      captions.push_back(caption);
      return IDYES;
    }
    std::vector<std::string> captions;
  } yes;
  SetInternalErrorUI(&yes);
  InstallDelivery();
  RegisterProvider();
  try {
    throw Exception("broken");
  } catch (...) {
    ReportInternalError("Test.1");
  }
  SetInternalErrorUI(nullptr);
  EXPECT_EQ(yes.captions, std::vector<std::string>{"Probably internal bug"});
  const std::string record = Record();
  EXPECT_NE(record.find("resolve: support@vexlorlog.invalid"), std::string::npos) << record;
  EXPECT_NE(record.find("subject: VexlorLog 4.5.8 critical bug."), std::string::npos);
  EXPECT_NE(record.find("file: delivery_win_tests.log at "), std::string::npos) << record;
}
