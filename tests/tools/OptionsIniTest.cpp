// The options INI: escapes, the defaults' text, partial input, and bad input
// that names its line and changes nothing.
#include "tools/vexlor/OptionsIni.h"

#include <gtest/gtest.h>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Exceptions.h"

TEST(OptionsIni, EscapesRoundTrip) {
  std::string raw = "a\\b\r\nc\td=e;\xE9";
  EXPECT_EQ(EscapeIniValue(raw), "a\\\\b\\r\\nc\\td=e;\xE9");
  EXPECT_EQ(UnescapeIniValue(EscapeIniValue(raw)), raw);
  EXPECT_THROW(UnescapeIniValue("x\\q"), EConvertError);
  EXPECT_THROW(UnescapeIniValue("x\\"), EConvertError);
}

TEST(OptionsIni, DefaultsTextShape) {
  std::string ini = OptionsToIni(TVexlorModuleOptions("", false));
  EXPECT_EQ(ini.rfind("[Options]\nStoredFlag=1\nExceptionFiltersActive=1\nReportFlags=0\n", 0), 0u);
  EXPECT_NE(ini.find("\nLogItems=4294967295\n"), std::string::npos);
  EXPECT_NE(ini.find("\nEmailMessage=\n\n[ExceptionFilters]\n\n[Texts]\nMsgCaptionInformation="
                     "Information.\n"),
            std::string::npos);
  EXPECT_NE(ini.find("\nDialogErrorMessage=An error has occurred during program execution.\\r\\n"),
            std::string::npos);
  EXPECT_EQ(ini.substr(ini.size() - 26), "CPUMemoryDump=Memory Dump\n");
}

TEST(OptionsIni, ReadsKeysAndKeepsMissingOnes) {
  TVexlorModuleOptions options("", false);
  IniToOptions(
      "; edited by hand\r\n[Options]\r\nSMTPHost=relay.invalid\r\nEmailSubject = spaced "
      "\r\nSMTPPort=587\r\n"
      "EmailSendMode=2\r\nErrorsNumberToSave=0\r\n"
      "[ExceptionFilters]\nMessage2=third\nClass0=EAbort\n[Texts]\nDialogCaption=Fehler.\n",
      options);
  EXPECT_EQ(options.SMTPHost(), "relay.invalid");
  EXPECT_EQ(options.EmailSubject(), " spaced ");  // a value is every byte after '='
  EXPECT_EQ(options.SMTPPort(), 587);
  EXPECT_EQ(options.EmailSendMode(), TEmailSendMode::SMTPClient);
  EXPECT_EQ(options.ErrorsNumberToSave(), 1);
  EXPECT_EQ(options.ExceptionFilterClasses(), (std::vector<std::string>{"EAbort", "", ""}));
  EXPECT_EQ(options.ExceptionFilterMessages(), (std::vector<std::string>{"", "", "third"}));
  EXPECT_EQ(options.Text(2), "Fehler.");
  EXPECT_EQ(options.FreezeTimeout(), 60);
}

TEST(OptionsIni, BadInputNamesTheLineAndChangesNothing) {
  TVexlorModuleOptions options("", false);
  std::string before = OptionsToIni(options);
  struct {
    const char* ini;
    const char* message;
  } cases[] = {
      {"[Options]\nSMTPHost=x\nSMTPPort=70000\n", "line 3: SMTPPort: 70000 is outside 0..65535"},
      {"[Options]\nStoredFlag=yes\n", "line 2: StoredFlag: 'yes' is not a decimal number"},
      {"[Options]\nShowExceptionDialog=2\n", "line 2: ShowExceptionDialog: 2 is outside 0..1"},
      {"[Options]\nNoSuchKey=1\n", "line 2: unknown key 'NoSuchKey' in [Options]"},
      {"[Other]\n", "line 1: unknown section [Other]"},
      {"SMTPHost=x\n", "line 1: key 'SMTPHost' outside a section"},
      {"[Texts]\nNoSuchText=x\n", "line 2: unknown text 'NoSuchText'"},
      {"[ExceptionFilters]\nClassX=E\n", "line 2: expected Class<i> or Message<i>"},
      {"[Options]\nSMTPHost=a\\qb\n", "line 2: SMTPHost: unknown escape \\q"},
  };
  for (const auto& c : cases) {
    try {
      IniToOptions(c.ini, options);
      ADD_FAILURE() << c.ini;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message().substr(0, std::string(c.message).size()), c.message) << e.Message();
    }
    EXPECT_EQ(OptionsToIni(options), before);
  }
}
