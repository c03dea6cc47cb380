// The hooking layer's failures: their class tree (callers catch EHookError or
// the class library's Exception) and the texts an internal error report shows.
#include <gtest/gtest.h>

#include "reporter/hooking/HookErrors.h"

namespace {

TEST(HookErrorsTest, MessagesNameTheProcedureOrModule) {
  const EProcNull null("Forms.TApplication.HandleException");
  EXPECT_STREQ(null.what(),
               "Cannot hook a null procedure (\"Forms.TApplication.HandleException\").");
  const ESharedArea shared("C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL");
  EXPECT_STREQ(shared.what(),
               "Cannot hook the module \"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL\" located into the "
               "shared-area.");
  const EHookingError failed("");
  EXPECT_STREQ(failed.what(), "Cannot hook the procedure \"\".");

  try {
    throw EHookingError("kernel32.dll.RaiseException");
  } catch (const EHookError& e) {
    EXPECT_STREQ(e.what(), "Cannot hook the procedure \"kernel32.dll.RaiseException\".");
  }
  EXPECT_THROW(throw ESharedArea("x"), Exception);
}

}  // namespace
