// A program that crashes and mails its report, as a program that links the
// reporter does: nothing but options set at run time. The first argument
// picks the way: "smtpclient" (the harness's plain server, no dialog),
// "smtpserver" (straight to the exchangers of two test domains), "emailclient"
// (the user's mail program), "progress" (a GUI program with the exception
// dialog and then the progress window, the server answering slowly).
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <map>
#include <string>

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Exceptions.h"

namespace {

std::map<std::string, std::string> HarnessState() {
  std::map<std::string, std::string> values;
  if (const char* file = std::getenv("VEXLOR_DELIVERY_STATE")) {
    std::ifstream in("Z:" + std::string(file));
    for (std::string line; std::getline(in, line);) {
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return values;
}

__attribute__((noinline)) void Crash() {
  throw EConvertError("'seven' is not a valid number");
}

}  // namespace

int main(int argc, char** argv) {
  // After its report the exception ends the program quietly (no runtime
  // box that would wait for a click).
  std::set_terminate([] { ExitProcess(1); });
  const std::string way = argc > 1 ? argv[1] : "";
  auto state = HarnessState();
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetShowExceptionDialog(false);
  options.SetAttachScreenshot(true);
  options.SetSaveLogFile(true);
  options.SetEmailSubject("Crash of CrashMailer");
  options.SetEmailMessage("The player stopped.");
  options.SetSMTPFrom("player@kiosk.test");
  options.SetSMTPPort(static_cast<std::uint16_t>(std::atoi(state["port_smtp"].c_str())));
  options.SetSMTPHost(state["host_smtp"]);
  options.SetEmailAddresses("ops@site.test");
  if (way == "smtpclient") {
    options.SetEmailSendMode(TEmailSendMode::SMTPClient);
  } else if (way == "smtpserver") {
    options.SetEmailSendMode(TEmailSendMode::SMTPServer);
    options.SetSMTPPort(static_cast<std::uint16_t>(std::atoi(state["port_mx1"].c_str())));
    options.SetEmailAddresses("ops@nowhere.test; ops@one.test, ops@two.test");
  } else if (way == "emailclient") {
    options.SetEmailSendMode(TEmailSendMode::EmailClient);
  } else if (way == "progress") {
    // The user sees the exception dialog, leaves its send box ticked and
    // closes it; the progress window follows.
    options.SetShowExceptionDialog(true);
    options.SetEmailSendMode(TEmailSendMode::SMTPClient);
    options.SetShowSendDialog(true);
    options.SetSMTPHost(state["host_slow"]);
    options.SetSMTPPort(static_cast<std::uint16_t>(std::atoi(state["port_slow"].c_str())));
  } else {
    return 2;
  }
  // The status texts of the delivery go to the trace file beside the program.
  SetTraceEnabled(true);
  SetTraceSaveEachLine(true);
  Crash();  // nothing catches it: reported, and the program ends
  return 0;
}
