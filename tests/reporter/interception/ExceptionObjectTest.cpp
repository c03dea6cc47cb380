// Exception objects' names, messages, bases and abort test, and the objects
// made for operating-system exception codes.
#include "reporter/interception/ExceptionObject.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "reporter/interception/OsExceptionObjects.h"
#include "runtime/Exceptions.h"

namespace {

struct TMixinBase {
  virtual ~TMixinBase() = default;
  int tag = 5;
};
// Two bases: the Exception subobject is not at the object's address.
struct EMixed : TMixinBase, EConvertError {
  EMixed() : EConvertError("mixed") {}
};

template <class T>
TVexlorExceptionObject Thrown(T& object) {
  return {&object, &typeid(object)};
}

TEST(ExceptionObjectTest, ClassNamesMessagesAndAncestors) {
  EReadError read("past the end");
  const auto e = Thrown(read);
  EXPECT_EQ(ExceptionClassName(e), "EReadError");
  EXPECT_EQ(ExceptionMessage(e), "past the end");
  EXPECT_TRUE(InheritsFromName(*e.Type, "EStreamError"));
  EXPECT_TRUE(InheritsFromName(*e.Type, "std::exception"));
  EXPECT_FALSE(InheritsFromName(*e.Type, "EConvertError"));

  std::runtime_error standard("standard text");
  EXPECT_EQ(ExceptionClassName(Thrown(standard)), "std::runtime_error");
  EXPECT_EQ(ExceptionMessage(Thrown(standard)), "standard text");
  EXPECT_TRUE(HasExceptionMessage(Thrown(standard)));
}

TEST(ExceptionObjectTest, MultipleInheritanceAdjustsToTheBase) {
  EMixed mixed;
  const auto e = Thrown(mixed);
  EXPECT_EQ(ExceptionMessage(e), "mixed");
  EXPECT_EQ(ExceptionObjectAs<Exception>(e), static_cast<Exception*>(&mixed));
  EXPECT_NE(static_cast<void*>(ExceptionObjectAs<Exception>(e)), static_cast<void*>(&mixed));
  EXPECT_TRUE(InheritsFromName(*e.Type, "(anonymous namespace)::TMixinBase"));
  EXPECT_TRUE(InheritsFromName(*e.Type, "Exception"));
}

TEST(ExceptionObjectTest, ObjectsWithoutMessageAndAbort) {
  int code = 42;
  const TVexlorExceptionObject thrownInt{&code, &typeid(int)};
  EXPECT_EQ(ExceptionClassName(thrownInt), "int");
  EXPECT_FALSE(HasExceptionMessage(thrownInt));
  EXPECT_EQ(ExceptionMessage(thrownInt), "");
  EXPECT_FALSE(IsAbortException(thrownInt));
  EXPECT_FALSE(IsAbortException({}));

  EAbort abort("silent");
  EXPECT_TRUE(IsAbortException(Thrown(abort)));

  // The answer for a class is remembered; other classes still get their own.
  EConvertError convert("loud");
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(IsAbortException(Thrown(convert)));
    EXPECT_TRUE(IsAbortException(Thrown(abort)));
  }
  // A class without an object is never remembered as no abort.
  EXPECT_FALSE(IsAbortException({nullptr, &typeid(EAbort)}));
  EXPECT_TRUE(IsAbortException(Thrown(abort)));
}

TEST(OsExceptionObjectsTest, CodesBecomeClassLibraryObjects) {
  int probe = 0;
  const void* at = &probe;
  auto av = CreateOsExceptionObject(0xC0000005, reinterpret_cast<const void*>(0x140001234), 1, 0,
                                    "C:\\apps\\Player.exe");
  EXPECT_NE(dynamic_cast<EAccessViolation*>(av.get()), nullptr);
  EXPECT_EQ(av->Message(),
            "Access violation at address 0000000140001234 in module 'Player.exe'. Write of "
            "address 0000000000000000");
  EXPECT_EQ(av->ExceptionCode(), 0xC0000005u);

  EXPECT_NE(dynamic_cast<EDivByZero*>(CreateOsExceptionObject(0xC0000094, at, 0, 0, "").get()),
            nullptr);
  EXPECT_NE(dynamic_cast<EStackOverflow*>(CreateOsExceptionObject(0xC00000FD, at, 0, 0, "").get()),
            nullptr);
  auto other = CreateOsExceptionObject(0xE0001234, at, 0, 0, "");
  EXPECT_NE(dynamic_cast<EExternalException*>(other.get()), nullptr);
  EXPECT_EQ(other->Message(), "External exception E0001234");
}

TEST(OsExceptionObjectsTest, OnlyErrorsAndWarningsAreReported) {
  EXPECT_TRUE(IsReportableOsExceptionCode(0xC0000005));
  EXPECT_TRUE(IsReportableOsExceptionCode(0x80000003));  // breakpoint
  EXPECT_TRUE(IsReportableOsExceptionCode(0xE06D7363));
  EXPECT_FALSE(IsReportableOsExceptionCode(0x40010006));  // debugger output
  EXPECT_FALSE(IsReportableOsExceptionCode(0x406D1388));  // thread naming
  EXPECT_FALSE(IsReportableOsExceptionCode(0x000006BA));  // RPC status
  EXPECT_FALSE(IsReportableOsExceptionCode(kGccThrowCode));
  EXPECT_FALSE(IsReportableOsExceptionCode(kGccUnwindCode));
}

}  // namespace
