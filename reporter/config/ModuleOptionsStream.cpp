// SaveToStream and LoadFromStream: the field order of the options stream and
// the rules for streams of older layouts.
#include <algorithm>

#include "reporter/config/ModuleOptions.h"
#include "reporter/config/OptionsStream.h"
#include "reporter/config/Trace.h"

namespace {

// Texts that streams before a version did not store; they keep their value.
bool TextAbsent(int index, std::uint16_t version) {
  if (index == 15 && version < 420) return true;
  if (index == 14 && version < 421) return true;
  if (version >= 450) return false;
  return (index >= 8 && index <= 11) || (index >= 16 && index <= 18) || index == 23 ||
         index == 37 || index == 45 || index == 47 || index == 48 || index >= 53;
}

void ReadFields(TOptionsReader& in, TVexlorOptionsFields& f, std::uint16_t v) {
  f.StoredFlag = in.Bool();
  f.ExceptionFiltersActive = in.Bool();
  f.ReportFlags = in.Byte();
  f.ShowExceptionDialog = in.Bool();
  // Older layouts stored the opposite flag.
  if (v < 450) f.ShowExceptionDialog = !f.ShowExceptionDialog;
  f.AppendLogToMessage = in.Bool();
  if (v >= 450) {
    f.SendEntireLog = in.Bool();
    f.AttachScreenshot = in.Bool();
    f.ShowSendDialog = in.Bool();
  }
  if (v >= 401) {
    f.SaveLogFile = in.Bool();
    f.DetailsPageIndex = in.Byte();
  }
  if (v >= 403) f.CustomDialogStyle = in.Bool();
  if (v >= 420) {
    f.FreezeActivate = in.Bool();
    f.FreezeTimeout = in.I32();
    // Older layouts stored milliseconds.
    if (v < 422) f.FreezeTimeout /= 1000;
    f.FreezeMessage = in.String();
    if (v >= 450) f.SMTPFrom = in.String();
    f.SMTPHost = in.String();
  }
  if (v >= 450) f.SMTPPort = in.U16();
  if (v >= 421) {
    f.SMTPUserID = in.String();
    f.SMTPPassword = in.String();
    f.TerminateButtonAction = static_cast<TTerminateButtonAction>(in.Byte());
  }
  f.ShowTerminateButton = in.Bool();
  f.ErrorsNumberToSave = in.I32();
  if (f.ErrorsNumberToSave == 0) f.ErrorsNumberToSave = 1;
  f.TerminateButtonErrors = in.I32();
  f.EmailAddresses = in.String();
  f.EmailSubject = in.String();
  f.EmailSendMode = static_cast<TEmailSendMode>(in.Byte());
  // Older layouts knew only "send", by a server when one was named.
  if (v < 450 && f.EmailSendMode != TEmailSendMode::None)
    f.EmailSendMode = f.SMTPHost.empty() ? TEmailSendMode::EmailClient : TEmailSendMode::SMTPClient;
  f.LogItems = in.U32();
  if (v < 450) in.Byte();
  f.OutputPath = in.String();
  f.ExceptionFilterClasses.clear();
  f.ExceptionFilterMessages.clear();
  // Each row is at least two empty strings, 8 bytes.
  std::int32_t rows = in.Count(8);
  f.ExceptionFilterClasses.reserve(static_cast<std::size_t>(rows));
  f.ExceptionFilterMessages.reserve(static_cast<std::size_t>(rows));
  for (std::int32_t i = 0; i < rows; ++i) {
    f.ExceptionFilterClasses.push_back(in.String());
    f.ExceptionFilterMessages.push_back(in.String());
  }
  f.EmailMessage = in.String();
  for (int i = 0; i < CustomizedTextCount; ++i)
    if (!TextAbsent(i, v)) f.CustomizedTexts[i] = in.String();
}

}  // namespace

void TVexlorModuleOptions::SaveToStream(TStream& stream) const {
  Trace("TVexlorModuleOptions.SaveToStream", {ModuleName()});
  TOptionsWriter out(stream);
  const TVexlorOptionsFields& f = f_;
  out.Bool(f.StoredFlag);
  out.Bool(f.ExceptionFiltersActive);
  out.Byte(f.ReportFlags);
  out.Bool(f.ShowExceptionDialog);
  out.Bool(f.AppendLogToMessage);
  out.Bool(f.SendEntireLog);
  out.Bool(f.AttachScreenshot);
  out.Bool(f.ShowSendDialog);
  out.Bool(f.SaveLogFile);
  out.Byte(f.DetailsPageIndex);
  out.Bool(f.CustomDialogStyle);
  out.Bool(f.FreezeActivate);
  out.I32(f.FreezeTimeout);
  out.String(f.FreezeMessage);
  out.String(f.SMTPFrom);
  out.String(f.SMTPHost);
  out.U16(f.SMTPPort);
  out.String(f.SMTPUserID);
  out.String(f.SMTPPassword);
  out.Byte(static_cast<std::uint8_t>(f.TerminateButtonAction));
  out.Bool(f.ShowTerminateButton);
  out.I32(f.ErrorsNumberToSave);
  out.I32(f.TerminateButtonErrors);
  out.String(f.EmailAddresses);
  out.String(f.EmailSubject);
  out.Byte(static_cast<std::uint8_t>(f.EmailSendMode));
  out.U32(f.LogItems);
  out.String(f.OutputPath);
  std::size_t rows = std::max(f.ExceptionFilterClasses.size(), f.ExceptionFilterMessages.size());
  out.I32(static_cast<std::int32_t>(rows));
  static const std::string& missing = *new std::string;
  for (std::size_t i = 0; i < rows; ++i) {
    out.String(i < f.ExceptionFilterClasses.size() ? f.ExceptionFilterClasses[i] : missing);
    out.String(i < f.ExceptionFilterMessages.size() ? f.ExceptionFilterMessages[i] : missing);
  }
  out.String(f.EmailMessage);
  for (const std::string& text : f.CustomizedTexts) out.String(text);
}

void TVexlorModuleOptions::LoadFromStream(TStream& stream) {
  Trace("TVexlorModuleOptions.LoadFromStream", {ModuleName()});
  TUpdateBracket bracket(*this);
  // Read into a copy: nothing of a stream that turns out damaged sticks.
  TVexlorOptionsFields read = f_;
  TOptionsReader in(stream);
  ReadFields(in, read, CurrentOptionsStreamVersion());
  f_ = std::move(read);
}
