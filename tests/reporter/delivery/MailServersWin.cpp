// The mail harness's state file read once, and the messages and transcripts its
// servers stored, reached through Wine's Z: drive.
#include "tests/reporter/delivery/MailServersWin.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const std::map<std::string, std::string>& State() {
  static const std::map<std::string, std::string> state = [] {
    std::map<std::string, std::string> values;
    const char* file = std::getenv("VEXLOR_DELIVERY_STATE");
    if (!file) {
      std::fprintf(stderr, "run under tests/reporter/delivery/mail-harness.py\n");
      std::exit(2);
    }
    std::ifstream in("Z:" + std::string(file));
    for (std::string line; std::getline(in, line);) {
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
  }();
  return state;
}

}  // namespace

std::string MailState(const std::string& key) {
  const auto found = State().find(key);
  if (found == State().end()) {
    std::fprintf(stderr, "mail harness state has no \"%s\"\n", key.c_str());
    std::exit(2);
  }
  return found->second;
}

unsigned short MailPort(const std::string& listener) {
  return static_cast<unsigned short>(std::stoi(MailState("port_" + listener)));
}

std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteWholeFile(const std::string& name, const std::string& content) {
  std::ofstream out(name, std::ios::binary);
  out << content;
}

std::vector<std::string> StoredMessages(const std::string& listener) {
  std::vector<std::string> messages;
  const std::string folder = WinePath(MailState("mail") + "/" + listener) + "\\";
  for (int n = 1;; ++n) {
    const std::string name = folder + std::to_string(n) + ".eml";
    if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    messages.push_back(ReadWholeFile(name));
  }
  return messages;
}

std::string Transcript(const std::string& listener) {
  return ReadWholeFile(WinePath(MailState("mail") + "/" + listener + ".log"));
}
