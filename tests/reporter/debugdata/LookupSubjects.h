// Functions of known place whose addresses the lookup tests resolve. Each one
// sits on a single source line and reports that line together with an
// address inside itself (the return address of a call it makes).
#pragma once

#include <cstdint>

struct TCodeSite {
  std::uintptr_t Address;  // a call instruction inside the subject
  int Line;
};

std::uintptr_t SiteHere();

// Header code: its line belongs to this header's unit.
inline __attribute__((noinline)) TCodeSite HeaderSubject() {
  return {SiteHere(), __LINE__};
}

namespace vp {
class TLookupSubject {
 public:
  TCodeSite Method();
};
}  // namespace vp

TCodeSite FreeSubject();
TCodeSite LambdaSubject();
template <typename T>
TCodeSite TemplateSubject(T value);
extern template TCodeSite TemplateSubject<int>(int);

// Every subject with the procedure and class the lookup should report.
struct TSubjectCase {
  const char* Name;
  TCodeSite Site;
  const char* Unit;
  const char* ClassName;
  const char* Procedure;
};
int CollectSubjectCases(TSubjectCase* cases, int capacity);
