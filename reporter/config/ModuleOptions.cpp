// The options' setters, defaults, copying and texts. A change is announced when
// the outermost update bracket ends, and only for the running module's own set.
#include "reporter/config/ModuleOptions.h"

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/Trace.h"
#include "runtime/Exceptions.h"

namespace {
std::atomic<std::uint16_t> currentStreamVersion{kCurrentOptionsStreamVersion};
}  // namespace

std::uint16_t CurrentOptionsStreamVersion() {
  return currentStreamVersion.load();
}
void SetCurrentOptionsStreamVersion(std::uint16_t version) {
  currentStreamVersion.store(version);
}

TVexlorModuleOptions::TUpdateBracket::~TUpdateBracket() {
  owner_.EndUpdate();
  // A destructor must not raise, least of all while a failed load unwinds.
  try {
    owner_.ChangeCheck();
  } catch (...) {
    Trace("TVexlorModuleOptions.Changed", {"failed"});
  }
}

TVexlorModuleOptions::TVexlorModuleOptions(std::string moduleName, bool publishChanges)
    : publishChanges_(publishChanges), moduleName_(std::move(moduleName)) {
  Trace("TVexlorModuleOptions.Create", {moduleName_});
  TVexlorModuleOptions::SetDefaults();
}

TVexlorModuleOptions::~TVexlorModuleOptions() {
  Trace("TVexlorModuleOptions.Destroy", {moduleName_});
}

void TVexlorModuleOptions::ChangeCheck() {
  if (updateCount_ <= 0 && publishChanges_ && IsThisModuleFile(moduleName_)) Changed();
}

void TVexlorModuleOptions::SetModuleName(std::string value) {
  moduleName_ = std::move(value);
}

void TVexlorModuleOptions::SetActive(bool value) {
  active_ = value;
  ChangeCheck();
}

void TVexlorModuleOptions::SetFreezeActivate(bool value) {
  Store(f_.FreezeActivate, value);
}

void TVexlorModuleOptions::SetDefaults() {
  TUpdateBracket bracket(*this);
  TVexlorOptionsFields defaults;
  // The filter lists are the application's own, not a default.
  defaults.ExceptionFilterClasses = std::move(f_.ExceptionFilterClasses);
  defaults.ExceptionFilterMessages = std::move(f_.ExceptionFilterMessages);
  f_ = std::move(defaults);
  active_ = true;
}

void TVexlorModuleOptions::Assign(const TVexlorModuleOptions* source) {
  if (!source) throw EConvertError("Impossible to assign nil as TVexlorModuleOptions.");
  Trace("TVexlorModuleOptions.Assign", {moduleName_, source->moduleName_});
  if (source == this) return;
  TUpdateBracket bracket(*this);
  const TVexlorOptionsFields& s = source->f_;
  SetExceptionFilters(s.ExceptionFilterClasses, s.ExceptionFilterMessages);
  SetCustomizedTexts(s.CustomizedTexts);
  SetStoredFlag(s.StoredFlag);
  SetSaveLogFile(s.SaveLogFile);
  SetCustomDialogStyle(s.CustomDialogStyle);
  SetFreezeActivate(s.FreezeActivate);
  SetFreezeTimeout(s.FreezeTimeout);
  SetFreezeMessage(s.FreezeMessage);
  SetSMTPFrom(s.SMTPFrom);
  SetSMTPHost(s.SMTPHost);
  SetSMTPPort(s.SMTPPort);
  SetSMTPUserID(s.SMTPUserID);
  SetSMTPPassword(s.SMTPPassword);
  SetShowSendDialog(s.ShowSendDialog);
  SetDetailsPageIndex(s.DetailsPageIndex);
  SetExceptionFiltersActive(s.ExceptionFiltersActive);
  SetShowExceptionDialog(s.ShowExceptionDialog);
  SetAppendLogToMessage(s.AppendLogToMessage);
  SetSendEntireLog(s.SendEntireLog);
  SetAttachScreenshot(s.AttachScreenshot);
  SetShowTerminateButton(s.ShowTerminateButton);
  SetTerminateButtonAction(s.TerminateButtonAction);
  SetReportFlags(s.ReportFlags);
  SetErrorsNumberToSave(s.ErrorsNumberToSave);
  SetTerminateButtonErrors(s.TerminateButtonErrors);
  SetOutputPath(s.OutputPath);
  SetEmailAddresses(s.EmailAddresses);
  SetEmailSubject(s.EmailSubject);
  SetEmailMessage(s.EmailMessage);
  SetEmailSendMode(s.EmailSendMode);
  SetLogItems(s.LogItems);
}

void TVexlorModuleOptions::SetExceptionFilters(std::vector<std::string> classes,
                                               std::vector<std::string> messages) {
  f_.ExceptionFilterClasses = std::move(classes);
  Store(f_.ExceptionFilterMessages, std::move(messages));
}

void TVexlorModuleOptions::AddExceptionFilter(std::string className, std::string message) {
  f_.ExceptionFilterClasses.push_back(std::move(className));
  f_.ExceptionFilterMessages.push_back(std::move(message));
  ChangeCheck();
}

void TVexlorModuleOptions::ClearExceptionFilters() {
  f_.ExceptionFilterClasses.clear();
  f_.ExceptionFilterMessages.clear();
  ChangeCheck();
}

const std::string& TVexlorModuleOptions::Text(std::uint8_t index) const {
  // Never destroyed: texts are read by reports made while the process exits.
  static const std::string& empty = *new std::string;
  return index < CustomizedTextCount ? f_.CustomizedTexts[index] : empty;
}

void TVexlorModuleOptions::SetText(std::uint8_t index, std::string value) {
  if (index >= CustomizedTextCount) return;
  Store(f_.CustomizedTexts[index], std::move(value));
}

void TVexlorModuleOptions::SetCustomizedTexts(const TCustomizedTexts& texts) {
  Store(f_.CustomizedTexts, texts);
}
