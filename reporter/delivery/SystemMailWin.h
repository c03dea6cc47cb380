// The user's own mail program as a way out: Simple MAPI through the
// registered mail client (or "mapi32.dll"), and the "mailto:" command of the
// shell. Both answer whether the mail was handed over and record failures as
// internal warnings (eeEmailMAPIError, eeEmailShellError).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// MainWindowOfProcess, shared with the clipboard copy.
#include "reporter/pipeline/MainWindowWin.h"

// The library loaded when the registry names no mail client, or its client
// does not load. Tests name another to see the paths that follow.
inline constexpr const char* kMapiFallbackLibrary = "mapi32.dll";

bool SendMailByMAPI(const std::string& recipients, const std::string& subject,
                    const std::string& body, const std::vector<std::string>& attachments,
                    const char* fallbackLibrary = kMapiFallbackLibrary);

// Starts the registered "mailto" command with the recipients, the subject
// and the body (which the caller has already given the report). No
// attachments; a long body is cut so that the command can start.
bool SendMailByShell(const std::string& recipients, const std::string& subject,
                     const std::string& body);
