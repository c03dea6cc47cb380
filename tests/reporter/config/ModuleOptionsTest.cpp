// The options' defaults, copying, filters, output file and the rule for when a
// change is published.
#include "reporter/config/ModuleOptions.h"

#include <gtest/gtest.h>

#include "reporter/config/OptionsStream.h"
#include "reporter/config/TracePlatform.h"
#include "runtime/Exceptions.h"
#include "runtime/Streams.h"

namespace {

// Counts the publications the change check asks for.
class TCountingOptions : public TVexlorModuleOptions {
 public:
  using TVexlorModuleOptions::TVexlorModuleOptions;
  void Changed() override { ++changes; }
  int changes = 0;
};

}  // namespace

TEST(ModuleOptions, DefaultsAndTexts) {
  TVexlorModuleOptions options("C:\\App\\player.exe", false);
  const TVexlorOptionsFields& f = options.Fields();
  EXPECT_EQ(f.SMTPFrom, kDefaultSMTPFrom);
  EXPECT_EQ(f.SMTPPort, 25);
  EXPECT_EQ(f.TerminateButtonAction, TTerminateButtonAction::Restart);
  EXPECT_EQ(f.FreezeTimeout, 60);
  EXPECT_EQ(f.FreezeMessage, "The application seems to be frozen.");
  EXPECT_EQ(f.LogItems, 0xFFFFFFFFu);
  EXPECT_EQ(f.ErrorsNumberToSave, 32);
  EXPECT_EQ(f.TerminateButtonErrors, 3);
  EXPECT_TRUE(f.ShowExceptionDialog && f.SaveLogFile && f.CustomDialogStyle && f.StoredFlag);
  EXPECT_FALSE(f.FreezeActivate || f.AttachScreenshot || f.SendEntireLog);
  EXPECT_EQ(f.EmailSendMode, TEmailSendMode::None);
  EXPECT_TRUE(options.Active());
  EXPECT_EQ(options.UpdateCount(), 0);
  EXPECT_EQ(options.Text(2), "Error.");
  EXPECT_EQ(options.Text(70), "Memory Dump");
  EXPECT_EQ(options.Text(71), "");
  EXPECT_EQ(options.Text(255), "");
}

TEST(ModuleOptions, ErrorsNumberToSaveNeverZero) {
  TVexlorModuleOptions options("", false);
  options.SetErrorsNumberToSave(0);
  EXPECT_EQ(options.ErrorsNumberToSave(), 1);
  TMemoryStream stream;
  options.SaveToStream(stream);
  TVexlorModuleOptions loaded("", false);
  stream.SetPosition(0);
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.ErrorsNumberToSave(), 1);
}

TEST(ModuleOptions, ChangeCheckOnlyForOwnModuleOutsideBrackets) {
  TCountingOptions foreign("C:\\Other\\module.dll", true);
  foreign.SetSMTPHost("x");
  EXPECT_EQ(foreign.changes, 0);
  TCountingOptions silent(PlatformExecutablePath(), false);
  silent.SetSMTPHost("x");
  EXPECT_EQ(silent.changes, 0);

  TCountingOptions own(PlatformExecutablePath(), true);
  own.SetSMTPHost("x");
  EXPECT_EQ(own.changes, 1);
  own.BeginUpdate();
  own.SetSMTPPort(26);
  own.AddExceptionFilter("E", "");
  own.EndUpdate();
  EXPECT_EQ(own.changes, 1);
  // Brackets publish once at their end.
  own.SetDefaults();
  EXPECT_EQ(own.changes, 2);
  own.Assign(&foreign);
  EXPECT_EQ(own.changes, 3);
  TMemoryStream stream;
  foreign.SaveToStream(stream);
  stream.SetPosition(0);
  own.LoadFromStream(stream);
  EXPECT_EQ(own.changes, 4);
  // A damaged stream still ends the bracket.
  TMemoryStream empty;
  EXPECT_THROW(own.LoadFromStream(empty), EReadError);
  EXPECT_EQ(own.changes, 5);
  EXPECT_EQ(own.UpdateCount(), 0);
}

TEST(ModuleOptions, AssignNullIsAConversionError) {
  TVexlorModuleOptions options("a", false);
  try {
    options.Assign(nullptr);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Impossible to assign nil as TVexlorModuleOptions.");
  }
}

TEST(ModuleOptions, AssignCopiesSettingsNotIdentity) {
  TVexlorModuleOptions source("C:\\A\\a.dll", true);
  source.SetSMTPHost("mail.example.invalid");
  source.SetFreezeActivate(true);
  source.SetEmailSendMode(TEmailSendMode::SMTPServer);
  source.SetLogItems(0x00ABCDEF);
  source.SetText(5, "Allgemein");
  source.AddExceptionFilter("EAbort", "");
  source.SetActive(false);
  TVexlorModuleOptions target("C:\\B\\b.exe", false);
  target.Assign(&source);
  EXPECT_EQ(target.SMTPHost(), "mail.example.invalid");
  EXPECT_TRUE(target.FreezeActivate());
  EXPECT_EQ(target.EmailSendMode(), TEmailSendMode::SMTPServer);
  EXPECT_EQ(target.LogItems(), 0x00ABCDEFu);
  EXPECT_EQ(target.Text(5), "Allgemein");
  EXPECT_EQ(target.ExceptionFilterClasses(), std::vector<std::string>{"EAbort"});
  EXPECT_TRUE(target.Active());
  EXPECT_EQ(target.ModuleName(), "C:\\B\\b.exe");
  EXPECT_FALSE(target.PublishChanges());
  EXPECT_EQ(target.UpdateCount(), 0);
  target.Assign(&target);  // itself: nothing happens
  EXPECT_EQ(target.SMTPHost(), "mail.example.invalid");
}

TEST(ModuleOptions, SetDefaultsKeepsTheFilters) {
  TVexlorModuleOptions options("", false);
  options.AddExceptionFilter("EAbort", "quiet");
  options.SetOutputPath("D:\\Logs");
  options.SetDefaults();
  EXPECT_EQ(options.OutputPath(), "");
  EXPECT_EQ(options.ExceptionFilterMessages(), std::vector<std::string>{"quiet"});
}

TEST(ModuleOptions, OutputFileCases) {
  TVexlorModuleOptions options("C:\\App\\player.exe", false);
  EXPECT_EQ(options.OutputLogFile(), "C:\\App\\player.vlf");
  options.SetOutputPath("D:\\Logs");
  EXPECT_EQ(options.OutputLogFile(), "D:\\Logs\\player.vlf");
  options.SetOutputPath("D:\\Logs\\");
  EXPECT_EQ(options.OutputFile("C:\\App\\x.txt"), "D:\\Logs\\x.txt");
  options.SetOutputPath("D:\\Logs\\all.vlf");
  EXPECT_EQ(options.OutputLogFile(), "D:\\Logs\\all.vlf");
  options.SetOutputPath("D:\\Logs\\ALL.VLF");
  EXPECT_EQ(options.OutputFile("C:\\App\\x.exe"), "D:\\Logs\\ALL.VLF");
  // A folder with a dot in its name is still a folder.
  options.SetOutputPath("D:\\my.logs");
  EXPECT_EQ(options.OutputLogFile(), "D:\\my.logs\\player.vlf");
  options.SetOutputPath("");
  EXPECT_EQ(options.OutputFile("player.exe"), "\\player.exe");
  TVexlorModuleOptions dotted("C:\\v1.2\\player", false);
  EXPECT_EQ(dotted.OutputLogFile(), "C:\\v1.2\\player.vlf");
}

TEST(OptionsStrings, FinalLineBreakRule) {
  EXPECT_EQ(StoredOptionsText("abc\r\n"), "abc");
  EXPECT_EQ(StoredOptionsText("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(StoredOptionsText("\r\n"), "");
  EXPECT_EQ(StoredOptionsText("\n"), "\n");
  EXPECT_EQ(StoredOptionsText("abc\n"), "abc\n");
  TMemoryStream stream;
  TOptionsWriter(stream).String("ab\r\n");
  std::vector<std::uint8_t> expected = {2, 0, 0, 0, 'a' ^ 0xA7, 'b' ^ 0xA7};
  EXPECT_EQ(stream.Bytes(), expected);
  stream.SetPosition(0);
  EXPECT_EQ(TOptionsReader(stream).String(), "ab");
}
