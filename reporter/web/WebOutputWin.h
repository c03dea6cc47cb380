// The report for the web kinds of program: which kind this program is, and
// the HTTP response that carries the report's page to the client (the
// server's callbacks for an ISAPI extension, standard output for CGI, the
// output file for Win-CGI).
#pragma once

#include <string>

#include "reporter/web/WebKinds.h"

// IsIntraWebApplication() is WebKinds.h's: always false.
bool IsISAPIApplication();
bool IsCGIApplication();
bool IsWinCGIApplication();
bool IsWebApplication();
bool IsGUIApplication();

// The page with the intro text and the text (the report, or only the
// message), sent as the response. False when it did not reach the client
// (an internal warning says why).
bool ShowReportOnWeb(const std::string& text);
// Writes the response for the ISAPI, CGI and Win-CGI kinds; true without
// writing for any other kind.
bool SendWebResponse(const std::string& html);

// Installs the pipeline's web step (start-up).
void InstallWebOutput();
