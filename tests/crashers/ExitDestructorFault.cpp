// A fault in a global object's destructor, after main has returned: the
// process is inside exit and holds the C runtime's exit lock. Reported once,
// then the process ends, with the reporter's trace on as well.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: stack=ExitDestructorFault.cpp|TPlaylistCache|~TPlaylistCache|@fault
// expect: output=main returns
// expect: rerun=DEBUG
#include <cstdio>

struct TEntry {
  int Length;
};

class TPlaylistCache {
 public:
  // Kept out of line: the report's top row is the destructor itself.
  __attribute__((noinline)) ~TPlaylistCache() {
    // The entry was released before the cache: a read through a dead pointer.
    std::printf("cache holds %d\n", last_->Length);  // mark: fault
  }
  TEntry* last_ = nullptr;
};

TPlaylistCache cache;

int main() {
  std::printf("main returns\n");
  std::fflush(stdout);
  return 0;
}
