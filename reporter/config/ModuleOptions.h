// The reporter's options of one module: what the report contains, where the
// log goes, which dialogs appear, whether and how the report is mailed, freeze
// detection, exception filters and the 71 texts. Each module carries its own
// set in its reporter data; one working copy per process is overwritten with
// the chosen module's set at every exception.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reporter/config/CustomizedTexts.h"

class TStream;

enum class TEmailSendMode : std::uint8_t {
  None = 0,
  EmailClient = 1,
  SMTPClient = 2,
  SMTPServer = 3
};
enum class TTerminateButtonAction : std::uint8_t { Terminate = 0, Restart = 1 };

// ReportFlags bits.
constexpr std::uint8_t rfNoDuplicateErrors = 0x01;
constexpr std::uint8_t rfAskReproduceSteps = 0x02;

// Layout version of an options stream written by this build.
constexpr std::uint16_t kCurrentOptionsStreamVersion = 458;

// The stream carries no version of its own: the reader of a module's reporter
// data sets the version from the data's header just before LoadFromStream.
std::uint16_t CurrentOptionsStreamVersion();
void SetCurrentOptionsStreamVersion(std::uint16_t version);

constexpr const char* kDefaultSMTPFrom = "crash-report@vexlorlog.invalid";
constexpr const char* kDefaultFreezeMessage = "The application seems to be frozen.";

// Everything Assign copies and the stream carries.
struct TVexlorOptionsFields {
  std::string SMTPFrom = kDefaultSMTPFrom;
  std::string SMTPHost;
  std::string SMTPUserID;
  std::string SMTPPassword;
  std::uint16_t SMTPPort = 25;
  TTerminateButtonAction TerminateButtonAction = TTerminateButtonAction::Restart;
  bool FreezeActivate = false;
  std::int32_t FreezeTimeout = 60;
  std::string FreezeMessage = kDefaultFreezeMessage;
  bool CustomDialogStyle = true;
  std::uint32_t LogItems = 0xFFFFFFFFu;
  std::vector<std::string> ExceptionFilterClasses;
  std::vector<std::string> ExceptionFilterMessages;
  TCustomizedTexts CustomizedTexts = DefaultCustomizedTexts();
  bool StoredFlag = true;
  bool ExceptionFiltersActive = true;
  bool ShowExceptionDialog = true;
  bool AppendLogToMessage = false;
  bool AttachScreenshot = false;
  bool ShowSendDialog = true;
  bool ShowTerminateButton = true;
  bool SaveLogFile = true;
  bool SendEntireLog = false;
  std::uint8_t ReportFlags = 0;
  std::uint8_t DetailsPageIndex = 0;
  std::int32_t ErrorsNumberToSave = 32;
  std::int32_t TerminateButtonErrors = 3;
  std::string OutputPath;
  std::string EmailAddresses;
  std::string EmailSubject;
  std::string EmailMessage;
  TEmailSendMode EmailSendMode = TEmailSendMode::None;
};

class TVexlorModuleOptions {
 public:
  TVexlorModuleOptions(std::string moduleName, bool publishChanges);
  virtual ~TVexlorModuleOptions();
  TVexlorModuleOptions(const TVexlorModuleOptions&) = delete;
  TVexlorModuleOptions& operator=(const TVexlorModuleOptions&) = delete;

  // Virtual operations, in the order the design lists them.
  virtual void Changed() {}
  virtual void SetActive(bool value);
  virtual void SetFreezeActivate(bool value);
  // Copies every streamed setting, not Active, ModuleName or PublishChanges.
  // A null source raises EConvertError.
  virtual void Assign(const TVexlorModuleOptions* source);
  virtual void SetDefaults();
  virtual void SaveToStream(TStream& stream) const;
  // Reads a stream of CurrentOptionsStreamVersion(). A short or damaged
  // stream raises EReadError and leaves every setting as it was.
  virtual void LoadFromStream(TStream& stream);

  const TVexlorOptionsFields& Fields() const { return f_; }
  bool PublishChanges() const { return publishChanges_; }
  int UpdateCount() const { return updateCount_; }
  const std::string& ModuleName() const { return moduleName_; }
  void SetModuleName(std::string value);
  bool Active() const { return active_; }

  const std::string& SMTPFrom() const { return f_.SMTPFrom; }
  const std::string& SMTPHost() const { return f_.SMTPHost; }
  const std::string& SMTPUserID() const { return f_.SMTPUserID; }
  const std::string& SMTPPassword() const { return f_.SMTPPassword; }
  std::uint16_t SMTPPort() const { return f_.SMTPPort; }
  TTerminateButtonAction TerminateButtonAction() const { return f_.TerminateButtonAction; }
  bool FreezeActivate() const { return f_.FreezeActivate; }
  std::int32_t FreezeTimeout() const { return f_.FreezeTimeout; }
  const std::string& FreezeMessage() const { return f_.FreezeMessage; }
  bool CustomDialogStyle() const { return f_.CustomDialogStyle; }
  std::uint32_t LogItems() const { return f_.LogItems; }
  const std::vector<std::string>& ExceptionFilterClasses() const {
    return f_.ExceptionFilterClasses;
  }
  const std::vector<std::string>& ExceptionFilterMessages() const {
    return f_.ExceptionFilterMessages;
  }
  const TCustomizedTexts& CustomizedTexts() const { return f_.CustomizedTexts; }
  bool StoredFlag() const { return f_.StoredFlag; }
  bool ExceptionFiltersActive() const { return f_.ExceptionFiltersActive; }
  bool ShowExceptionDialog() const { return f_.ShowExceptionDialog; }
  bool AppendLogToMessage() const { return f_.AppendLogToMessage; }
  bool AttachScreenshot() const { return f_.AttachScreenshot; }
  bool ShowSendDialog() const { return f_.ShowSendDialog; }
  bool ShowTerminateButton() const { return f_.ShowTerminateButton; }
  bool SaveLogFile() const { return f_.SaveLogFile; }
  bool SendEntireLog() const { return f_.SendEntireLog; }
  std::uint8_t ReportFlags() const { return f_.ReportFlags; }
  std::uint8_t DetailsPageIndex() const { return f_.DetailsPageIndex; }
  std::int32_t ErrorsNumberToSave() const { return f_.ErrorsNumberToSave; }
  std::int32_t TerminateButtonErrors() const { return f_.TerminateButtonErrors; }
  const std::string& OutputPath() const { return f_.OutputPath; }
  const std::string& EmailAddresses() const { return f_.EmailAddresses; }
  const std::string& EmailSubject() const { return f_.EmailSubject; }
  const std::string& EmailMessage() const { return f_.EmailMessage; }
  TEmailSendMode EmailSendMode() const { return f_.EmailSendMode; }

  void SetSMTPFrom(std::string v) { Store(f_.SMTPFrom, std::move(v)); }
  void SetSMTPHost(std::string v) { Store(f_.SMTPHost, std::move(v)); }
  void SetSMTPUserID(std::string v) { Store(f_.SMTPUserID, std::move(v)); }
  void SetSMTPPassword(std::string v) { Store(f_.SMTPPassword, std::move(v)); }
  void SetSMTPPort(std::uint16_t v) { Store(f_.SMTPPort, v); }
  void SetTerminateButtonAction(TTerminateButtonAction v) { Store(f_.TerminateButtonAction, v); }
  void SetFreezeTimeout(std::int32_t v) { Store(f_.FreezeTimeout, v); }
  void SetFreezeMessage(std::string v) { Store(f_.FreezeMessage, std::move(v)); }
  void SetCustomDialogStyle(bool v) { Store(f_.CustomDialogStyle, v); }
  void SetLogItems(std::uint32_t v) { Store(f_.LogItems, v); }
  void SetStoredFlag(bool v) { Store(f_.StoredFlag, v); }
  void SetExceptionFiltersActive(bool v) { Store(f_.ExceptionFiltersActive, v); }
  void SetShowExceptionDialog(bool v) { Store(f_.ShowExceptionDialog, v); }
  void SetAppendLogToMessage(bool v) { Store(f_.AppendLogToMessage, v); }
  void SetAttachScreenshot(bool v) { Store(f_.AttachScreenshot, v); }
  void SetShowSendDialog(bool v) { Store(f_.ShowSendDialog, v); }
  void SetShowTerminateButton(bool v) { Store(f_.ShowTerminateButton, v); }
  void SetSaveLogFile(bool v) { Store(f_.SaveLogFile, v); }
  void SetSendEntireLog(bool v) { Store(f_.SendEntireLog, v); }
  void SetReportFlags(std::uint8_t v) { Store(f_.ReportFlags, v); }
  void SetDetailsPageIndex(std::uint8_t v) { Store(f_.DetailsPageIndex, v); }
  // A log that keeps no report at all would defeat the log: 0 becomes 1.
  void SetErrorsNumberToSave(std::int32_t v) { Store(f_.ErrorsNumberToSave, v == 0 ? 1 : v); }
  void SetTerminateButtonErrors(std::int32_t v) { Store(f_.TerminateButtonErrors, v); }
  void SetOutputPath(std::string v) { Store(f_.OutputPath, std::move(v)); }
  void SetEmailAddresses(std::string v) { Store(f_.EmailAddresses, std::move(v)); }
  void SetEmailSubject(std::string v) { Store(f_.EmailSubject, std::move(v)); }
  void SetEmailMessage(std::string v) { Store(f_.EmailMessage, std::move(v)); }
  void SetEmailSendMode(TEmailSendMode v) { Store(f_.EmailSendMode, v); }

  // The exception filter lists; every change runs the change check.
  void SetExceptionFilters(std::vector<std::string> classes, std::vector<std::string> messages);
  void AddExceptionFilter(std::string className, std::string message);
  void ClearExceptionFilters();

  // The text with that index, empty for an index beyond the table.
  const std::string& Text(std::uint8_t index) const;
  void SetText(std::uint8_t index, std::string value);
  void SetCustomizedTexts(const TCustomizedTexts& texts);

  // Where the log of the module FileName goes: OutputPath as a folder, or
  // OutputPath itself when it names a ".vlf" file.
  std::string OutputFile(const std::string& fileName) const;
  // OutputFile of ModuleName with the extension ".vlf".
  std::string OutputLogFile() const;

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() { --updateCount_; }

 protected:
  // Publishes through Changed when outside update brackets, publishing is on
  // and the options belong to the running module.
  void ChangeCheck();
  void StoreActive(bool value) { active_ = value; }
  void StoreFreezeActivate(bool value) { f_.FreezeActivate = value; }

  template <class T, class V>
  void Store(T& field, V&& value) {
    field = std::forward<V>(value);
    ChangeCheck();
  }

 private:
  // Ends a bracket opened by BeginUpdate and runs the change check.
  struct TUpdateBracket {
    explicit TUpdateBracket(TVexlorModuleOptions& owner) : owner_(owner) { owner_.BeginUpdate(); }
    ~TUpdateBracket();
    TVexlorModuleOptions& owner_;
  };

  bool publishChanges_;
  int updateCount_ = 0;
  std::string moduleName_;
  bool active_ = true;
  TVexlorOptionsFields f_;
};
