// The user chose Restart after a report: the process ends with exit code 1
// and a new instance starts with the same command line. The first instance
// leaves "<exe>.started", the restarted one "<exe>.restarted", each holding
// the command line it got and the directory it started in. The first one
// moves elsewhere before the raise: the new one starts where it started.
// expect: exit=1
// expect: reports=1
// expect: type=EReadError
// expect: message=Frame 5 is truncated.
// expect: absent=thread ended
// expect: args=--screen 2 "Hall B.mp4"
// expect: restart
#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/Thread.h"
#include "tests/crashers/TerminateRequestHandler.h"

namespace {

std::string MarkerName(const char* suffix) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  return std::string(exe) + suffix;
}

// Written whole, then renamed, so that the runner never reads half a marker.
void WriteMarker(const char* suffix) {
  const std::string name = MarkerName(suffix);
  const std::string partial = name + ".part";
  if (std::FILE* file = std::fopen(partial.c_str(), "wb")) {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    const std::string facts = std::string(GetCommandLineA()) + "\n" + directory;
    std::fwrite(facts.data(), 1, facts.size(), file);
    std::fclose(file);
    MoveFileExA(partial.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

}  // namespace

__attribute__((noinline)) void ReadFrame(int index) {
  throw EReadError("Frame " + std::to_string(index) + " is truncated");
}

class TReaderThread : public TThread {
 public:
  // Started once the whole object exists: a thread started from the base
  // constructor could reach Execute before this class's part is built.
  TReaderThread() : TThread(true) { Start(); }

 protected:
  void Execute() override { ReadFrame(5); }
};

int main() {
  if (GetFileAttributesA(MarkerName(".started").c_str()) != INVALID_FILE_ATTRIBUTES) {
    WriteMarker(".restarted");
    return 0;
  }
  WriteMarker(".started");
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  SetCurrentDirectoryA(system);
  RequestTerminateAfterReport();
  TReaderThread thread;
  thread.WaitFor();
  std::printf("thread ended\n");
  return 0;
}
