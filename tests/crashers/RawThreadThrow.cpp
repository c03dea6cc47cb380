// An exception escaping a thread made with CreateThread: reported with the
// thread's stack followed by its creator's; the thread ends, the program goes
// on.
// expect: exit=0
// expect: reports=1
// expect: type=std::runtime_error
// expect: message=decoder lost its input.
// expect: stack=RawThreadThrow.cpp||DecodeNext|@raise
// expect: stack=RawThreadThrow.cpp||main|@start
// expect: output=main goes on
#include <windows.h>

#include <cstdio>
#include <stdexcept>

__attribute__((noinline)) void DecodeNext() {
  throw std::runtime_error("decoder lost its input");  // mark: raise
}

DWORD WINAPI Decoder(LPVOID) {
  DecodeNext();
  return 0;
}

int main() {
  HANDLE thread = CreateThread(nullptr, 0, &Decoder, nullptr, 0, nullptr);  // mark: start
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  std::printf("main goes on\n");
  return 0;
}
