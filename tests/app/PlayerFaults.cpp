// The fault trigger of the player's test build (KiravaneVP_test): chosen on
// the command line, it fails inside the supervision timer's tick the way a
// broken media control or a stray pointer would. The shipped player has no
// such code (app/TestHooks.h).
//
//   --fault=NAME[:COUNT][@TICK]   fail on COUNT ticks (default 1) from tick
//                                 TICK on (default 2)
//   NAME: raise   an EConvertError from FailMediaControl
//         av      a write through a null pointer in CorruptPlaylist
//         freeze  the main thread stops answering for 5 s in FreezePlayer
//                 (a media control that hangs); the freeze test build
//                 watches for that with a one-second time-out
//
// A new kind of fault is one more row of kFaults.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "app/TestHooks.h"
#include "runtime/Exceptions.h"

namespace {

__attribute__((noinline)) void FailMediaControl() {
  throw EConvertError("Test fault: the media control failed.");  // mark: raise
}

struct TPlaylist {
  int Current;
};

// A volatile store: the compiler may not drop it as having no effect.
__attribute__((noinline)) void CorruptPlaylist(TPlaylist* playlist) {
  static_cast<volatile TPlaylist*>(playlist)->Current = 7;  // mark: av
}

__attribute__((noinline)) void FreezePlayer() {
  Sleep(5000);  // mark: freeze
}

void AccessViolation() {
  // Through a volatile, so the compiler cannot see the null.
  TPlaylist* volatile playlist = nullptr;
  CorruptPlaylist(playlist);
}

struct TFault {
  const wchar_t* Name;
  void (*Fail)();
};
const TFault kFaults[] = {
    {L"raise", &FailMediaControl},
    {L"av", &AccessViolation},
    {L"freeze", &FreezePlayer},
};

struct TChosenFault {
  void (*Fail)() = nullptr;
  int Count = 1;
  int FirstTick = 2;
};

TChosenFault ChosenFault() {
  TChosenFault chosen;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring prefix = L"--fault=";
  for (int i = 1; argv && i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.rfind(prefix, 0) != 0) continue;
    arg.erase(0, prefix.size());
    if (const std::size_t at = arg.find(L'@'); at != std::wstring::npos) {
      chosen.FirstTick = std::wcstol(arg.c_str() + at + 1, nullptr, 10);
      arg.erase(at);
    }
    if (const std::size_t colon = arg.find(L':'); colon != std::wstring::npos) {
      chosen.Count = std::wcstol(arg.c_str() + colon + 1, nullptr, 10);
      arg.erase(colon);
    }
    for (const TFault& fault : kFaults) {
      if (arg == fault.Name) chosen.Fail = fault.Fail;
    }
  }
  LocalFree(argv);
  return chosen;
}

}  // namespace

void TestHookTimerTick() {
  static const TChosenFault fault = ChosenFault();
  static int tick = 0;
  ++tick;
  if (fault.Fail && tick >= fault.FirstTick && tick < fault.FirstTick + fault.Count) fault.Fail();
}
