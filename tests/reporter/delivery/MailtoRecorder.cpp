// The "mailto" handler of the tests: writes its command line to the file
// named by VEXLOR_MAILTO_RECORD and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char file[1024] = {};
  const DWORD n = GetEnvironmentVariableA("VEXLOR_MAILTO_RECORD", file, sizeof file);
  if (n == 0 || n >= sizeof file) return 1;
  FILE* f = std::fopen(file, "wb");
  if (!f) return 1;
  const char* line = GetCommandLineA();
  std::fwrite(line, 1, std::strlen(line), f);
  std::fclose(f);
  return 0;
}
