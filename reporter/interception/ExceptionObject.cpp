// Reading the exception object: the catch clause's own base-class test, the
// demangled class name, the message, and the remembered non-abort class.
#include "reporter/interception/ExceptionObject.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>

#include "runtime/Exceptions.h"

void* ExceptionObjectAs(const TVexlorExceptionObject& e, const std::type_info& base) {
  if (!e.Assigned()) return nullptr;
  // The same test a catch clause makes; it adjusts the pointer to the base.
  void* adjusted = e.Object;
  if (!base.__do_catch(e.Type, &adjusted, 1)) return nullptr;
  return adjusted;
}

std::string DemangledTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  if (status == 0 && name) return name.get();
  return type.name();
}

std::string ExceptionClassName(const TVexlorExceptionObject& e) {
  return e.Type ? DemangledTypeName(*e.Type) : std::string();
}

bool InheritsFromName(const std::type_info& type, const std::string& className) {
  if (DemangledTypeName(type) == className) return true;
  if (const auto* si = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
    return InheritsFromName(*si->__base_type, className);
  }
  if (const auto* vmi = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
    for (unsigned i = 0; i < vmi->__base_count; ++i) {
      if (InheritsFromName(*vmi->__base_info[i].__base_type, className)) return true;
    }
  }
  return false;
}

bool HasExceptionMessage(const TVexlorExceptionObject& e) {
  return ExceptionObjectAs<std::exception>(e) != nullptr;
}

std::string ExceptionMessage(const TVexlorExceptionObject& e) {
  if (const auto* own = ExceptionObjectAs<Exception>(e)) return own->Message();
  if (const auto* standard = ExceptionObjectAs<std::exception>(e)) return standard->what();
  return {};
}

bool IsAbortException(const TVexlorExceptionObject& e) {
  // Asked at every raise, and the answer for a thrown class depends on the
  // class alone: the last class found not to be one is remembered. (A stale
  // value seen by another thread only costs the full test.)
  static std::atomic<const std::type_info*> lastOtherClass{nullptr};
  const bool classObject = e.Assigned() && !e.Type->__is_pointer_p();
  if (classObject && e.Type == lastOtherClass.load(std::memory_order_relaxed)) return false;
  const bool abort = ExceptionObjectAs<EAbort>(e) != nullptr;
  if (!abort && classObject) lastOtherClass.store(e.Type, std::memory_order_relaxed);
  return abort;
}
