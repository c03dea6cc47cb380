// What the mail harness (mail-harness.py) started for these tests: hosts,
// ports and folders from its state file, and the messages the servers stored.
#pragma once

#include <string>
#include <vector>

// A fact of the state file ("port_smtp", "host_smtp", "mail", ...); fails
// the test program when the harness did not start it.
std::string MailState(const std::string& key);
unsigned short MailPort(const std::string& listener);
// A Unix path of the harness as Windows sees it (the Z: drive).
std::string WinePath(const std::string& unixPath);
// The messages a listener stored so far, oldest first.
std::vector<std::string> StoredMessages(const std::string& listener);
// What the listener's clients sent (its transcript).
std::string Transcript(const std::string& listener);
std::string ReadWholeFile(const std::string& name);
void WriteWholeFile(const std::string& name, const std::string& content);
