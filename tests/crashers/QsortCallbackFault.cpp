// A fault in a comparison callback called by the C runtime's qsort: the stack
// goes from the callback through qsort to its caller, with nothing of the
// reporter's own between them.
// expect: exit=1
// expect: reports=1
// expect: type=EAccessViolation
// expect: stack=QsortCallbackFault.cpp||CompareTracks|@fault
// expect: stack=*|*|*qsort*|*
// expect: stack=QsortCallbackFault.cpp||SortTracks|@sort
// expect: stack=QsortCallbackFault.cpp||main|@main
#include <cstdio>
#include <cstdlib>

struct TTrack {
  const int* Length;
};

__attribute__((noinline)) int CompareTracks(const void* a, const void* b) {
  const auto* left = static_cast<const TTrack*>(a);
  const auto* right = static_cast<const TTrack*>(b);
  return *left->Length - *right->Length;  // mark: fault
}

__attribute__((noinline)) void SortTracks(TTrack* tracks, std::size_t count) {
  std::qsort(tracks, count, sizeof(TTrack), &CompareTracks);  // mark: sort
  asm volatile("" ::: "memory");
}

int main() {
  static const int lengths[] = {3, 1};
  TTrack tracks[] = {{&lengths[0]}, {nullptr}, {&lengths[1]}};
  SortTracks(tracks, 3);  // mark: main
  std::printf("%d\n", *tracks[0].Length);
  return 0;
}
