// The lookup tests' subjects: a method, a free function, a lambda and a
// template, each giving an address inside itself and its own line.
#include "tests/reporter/debugdata/LookupSubjects.h"

__attribute__((noinline)) std::uintptr_t SiteHere() {
  // The caller's return address, one byte back: inside the call instruction.
  return reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)) - 1;
}

__attribute__((noinline)) TCodeSite vp::TLookupSubject::Method() {
  return {SiteHere(), __LINE__};
}

__attribute__((noinline)) TCodeSite FreeSubject() {
  return {SiteHere(), __LINE__};
}

__attribute__((noinline)) TCodeSite LambdaSubject() {
  auto lambda = []() __attribute__((noinline)) {
    return TCodeSite{SiteHere(), __LINE__};
  };
  return lambda();
}

template <typename T>
__attribute__((noinline)) TCodeSite TemplateSubject(T value) {
  return {SiteHere() + 0 * static_cast<std::uintptr_t>(value), __LINE__};
}
template TCodeSite TemplateSubject<int>(int);

int CollectSubjectCases(TSubjectCase* cases, int capacity) {
  if (capacity < 5) return 0;
  vp::TLookupSubject subject;
  cases[0] = {"method", subject.Method(), "LookupSubjects.cpp", "vp::TLookupSubject", "Method"};
  cases[1] = {"free function", FreeSubject(), "LookupSubjects.cpp", "", "FreeSubject"};
  cases[2] = {"lambda", LambdaSubject(), "LookupSubjects.cpp", "LambdaSubject::<lambda>",
              "operator()"};
  cases[3] = {"template", TemplateSubject<int>(3), "LookupSubjects.cpp", "",
              "TemplateSubject<int>"};
  cases[4] = {"header", HeaderSubject(), "LookupSubjects.h", "", "HeaderSubject"};
  return 5;
}
