// A program that fails while it answers a web request. Built as a console
// program it is run as CGI (REQUEST_METHOD set), built as a windowed one as
// Win-CGI (the request file as its first argument); either way its report is
// the page of its response. It names on standard error the steps its action
// handler hears of ("showing", "shown"). With the argument "long" the
// message is long enough that its page overflows any pipe.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "reporter/pipeline/EventHandlers.h"
#include "runtime/Exceptions.h"

__attribute__((noinline)) void ParseQuery(const std::string& query) {
  throw EConvertError("Bad query <" + query + "> & \"more\"");
}

int main(int argc, char** argv) {
  SetGlobalActionNotify([](TVexlorExceptionRecord&, TVexlorAction action, bool&) {
    if (action == TVexlorAction::atShowingExceptionInfo) std::fputs("showing\n", stderr);
    if (action == TVexlorAction::atShowedExceptionInfo) std::fputs("shown\n", stderr);
    std::fflush(stderr);
  });
  const bool longQuery = argc > 1 && std::strcmp(argv[1], "long") == 0;
  ParseQuery(longQuery ? std::string(400000, 'q') : "id=7");
  return 0;
}
