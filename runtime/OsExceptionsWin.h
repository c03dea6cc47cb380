// Processor faults inside the class library's window procedures. While such
// a procedure runs on a thread (a TOsExceptionScope lives in it), a fault in
// the program's own code becomes the class library's exception (EAccessViolation,
// EDivByZero ...) at the faulting instruction, so the procedure's handler
// passes it to TApplication::HandleException and the program goes on, as it
// does for any other exception of an event handler. Faults in other modules
// are left to their own guards; a stack overflow is never translated.
#pragma once

class TOsExceptionScope {
 public:
  TOsExceptionScope();
  ~TOsExceptionScope();
  TOsExceptionScope(const TOsExceptionScope&) = delete;
  TOsExceptionScope& operator=(const TOsExceptionScope&) = delete;
};
