// A std::out_of_range from vector::at, three calls deep, built as a user
// builds (-O2): at() and its range check are inlined into ItemAt. The stack
// starts with the C++ library's throw, then the inlined range check, the
// inlined at() at the line of its call, ItemAt at the line of the call of
// at(), then its callers; no leftovers of the library's message formatting.
// expect: exit=1
// expect: reports=1
// expect: type=std::out_of_range
// expect: message=vector::_M_range_check*
// expect: stack=*|*|*__throw_out_of_range_fmt*|*
// expect: stack=stl_vector.h|std::vector<int, std::allocator<int> >|_M_range_check|*
// expect: stack=stl_vector.h|std::vector<int, std::allocator<int> >|at|*
// expect: stack=InlinedAtThrow.cpp||ItemAt|@call
// expect: stack=InlinedAtThrow.cpp||SumRange|@sum
// expect: stack=InlinedAtThrow.cpp||main|@main
#include <cstdio>
#include <vector>

__attribute__((noinline)) int ItemAt(const std::vector<int>& items, std::size_t index) {
  return items.at(index) * 2;  // mark: call
}

__attribute__((noinline)) int SumRange(const std::vector<int>& items, std::size_t count) {
  int sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += ItemAt(items, i);  // mark: sum
  asm volatile("" ::: "memory");
  return sum;
}

int main(int argc, char**) {
  const std::vector<int> items = {1, 2, 3};
  std::printf("%d\n", SumRange(items, 3 + static_cast<std::size_t>(argc)));  // mark: main
  return 0;
}
