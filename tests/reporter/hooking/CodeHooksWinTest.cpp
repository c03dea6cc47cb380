// Code-overwrite and import hooks applied to this test program's own code.
#include <windows.h>

#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "reporter/hooking/HookRegistryWin.h"
#include "reporter/hooking/HooksWin.h"

namespace {

// Targets are kept out of line and out of reach of the optimiser's cloning,
// so that the hooked bytes are the bytes every call executes.
#define HOOK_TARGET extern "C" __attribute__((noinline, noclone, used))

HOOK_TARGET long long SumTarget(long long a, long long b, long long c, long long d, long long e,
                                long long f, long long g) {
  return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g;
}
HOOK_TARGET double ScaleTarget(double x, float y, int n) {
  return x * y + n;
}
HOOK_TARGET int ThrowingTarget(int code) {
  if (code != 0) throw std::runtime_error("target failed");
  return 7;
}

void* sumTrampoline = nullptr;
void* scaleTrampoline = nullptr;
void* throwTrampoline = nullptr;
int replacementCalls = 0;

HOOK_TARGET long long SumReplacement(long long a, long long b, long long c, long long d,
                                     long long e, long long f, long long g) {
  ++replacementCalls;
  using Fn =
      long long (*)(long long, long long, long long, long long, long long, long long, long long);
  return 1000 + reinterpret_cast<Fn>(sumTrampoline)(a, b, c, d, e, f, g);
}
HOOK_TARGET double ScaleReplacement(double x, float y, int n) {
  using Fn = double (*)(double, float, int);
  return -reinterpret_cast<Fn>(scaleTrampoline)(x, y, n);
}
HOOK_TARGET int ThrowingReplacement(int code) {
  using Fn = int (*)(int);
  return reinterpret_cast<Fn>(throwTrampoline)(code) + 100;
}

// Calls through a volatile pointer so the compiler cannot fold the target.
template <class Fn>
Fn Opaque(Fn fn) {
  Fn volatile copy = fn;
  return copy;
}

// An executable page holding "jmp [rip+x]" to the given function: the shape
// of mingw's import thunks.
class TThunkPage {
 public:
  explicit TThunkPage(void* destination) {
    page_ = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    const std::int32_t rel = 64 - 6;
    page_[0] = 0xFF;
    page_[1] = 0x25;
    std::memcpy(page_ + 2, &rel, 4);
    std::memcpy(page_ + 64, &destination, 8);
  }
  ~TThunkPage() { VirtualFree(page_, 0, MEM_RELEASE); }
  void* Thunk() const { return page_; }

 private:
  std::uint8_t* page_;
};

class HookingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    UndoAllHooks();
    replacementCalls = 0;
  }
};

TEST_F(HookingTest, ReplacementReachesTargetWithAllArguments) {
  sumTrampoline = HookProcedure(reinterpret_cast<void*>(&SumTarget),
                                reinterpret_cast<void*>(&SumReplacement), "SumTarget");
  ASSERT_NE(sumTrampoline, nullptr);
  // Seven arguments: four in registers, three on the stack.
  EXPECT_EQ(Opaque(&SumTarget)(1, 2, 3, 4, 5, 6, 7), 1000 + 140);
  EXPECT_EQ(Opaque(&SumTarget)(7, 6, 5, 4, 3, 2, 1), 1000 + 84);
  EXPECT_EQ(replacementCalls, 2);

  scaleTrampoline = HookProcedure(reinterpret_cast<void*>(&ScaleTarget),
                                  reinterpret_cast<void*>(&ScaleReplacement), "ScaleTarget");
  EXPECT_DOUBLE_EQ(Opaque(&ScaleTarget)(1.5, 4.0f, 3), -9.0);
}

TEST_F(HookingTest, UnhookRestoresTheBytes) {
  std::uint8_t before[16];
  std::memcpy(before, reinterpret_cast<void*>(&SumTarget), sizeof(before));
  sumTrampoline = HookProcedure(reinterpret_cast<void*>(&SumTarget),
                                reinterpret_cast<void*>(&SumReplacement), "SumTarget");
  EXPECT_NE(std::memcmp(before, reinterpret_cast<void*>(&SumTarget), sizeof(before)), 0);

  UnhookProcedure(HookRecordOfTrampoline(sumTrampoline));
  EXPECT_EQ(std::memcmp(before, reinterpret_cast<void*>(&SumTarget), sizeof(before)), 0);
  EXPECT_EQ(Opaque(&SumTarget)(1, 1, 1, 1, 1, 1, 1), 28);
  EXPECT_EQ(replacementCalls, 0);
  UnhookProcedure(nullptr);  // does nothing
}

TEST_F(HookingTest, ImportThunksAreFollowedForTargetAndReplacement) {
  TThunkPage targetThunk(reinterpret_cast<void*>(&SumTarget));
  TThunkPage replacementThunk(reinterpret_cast<void*>(&SumReplacement));
  sumTrampoline = HookProcedure(targetThunk.Thunk(), replacementThunk.Thunk(), "SumTarget");
  // The thunk page is untouched; the function it jumps to is patched, and
  // the patch leads straight to the replacement, not to its thunk.
  EXPECT_EQ(static_cast<std::uint8_t*>(targetThunk.Thunk())[0], 0xFF);
  EXPECT_EQ(Opaque(&SumTarget)(0, 0, 0, 0, 0, 0, 1), 1007);
  const auto* patch = reinterpret_cast<const std::uint8_t*>(&SumTarget);
  ASSERT_EQ(patch[0], 0xE9);
  std::int32_t rel = 0;
  std::memcpy(&rel, patch + 1, 4);
  EXPECT_EQ(patch + 5 + rel, reinterpret_cast<const std::uint8_t*>(&SumReplacement));
}

TEST_F(HookingTest, NullProcedureRaisesWithItsName) {
  try {
    HookProcedure(nullptr, reinterpret_cast<void*>(&SumReplacement), "Forms.Missing");
    FAIL() << "no exception";
  } catch (const EProcNull& e) {
    EXPECT_STREQ(e.what(), "Cannot hook a null procedure (\"Forms.Missing\").");
  }
  EXPECT_THROW(HookImport(GetModuleHandleA(nullptr), nullptr, nullptr, false, false, "x"),
               EProcNull);
}

TEST_F(HookingTest, RaisingTargetStaysUnpatchedUntilRehooked) {
  throwTrampoline = HookProcedure(reinterpret_cast<void*>(&ThrowingTarget),
                                  reinterpret_cast<void*>(&ThrowingReplacement), "ThrowingTarget");
  EXPECT_EQ(Opaque(&ThrowingTarget)(0), 107);

  // The exception crosses the trampoline's frame to this catch; the target's
  // bytes were restored for the call and not patched again.
  EXPECT_THROW(Opaque(&ThrowingTarget)(1), std::runtime_error);
  EXPECT_EQ(Opaque(&ThrowingTarget)(0), 7);

  RehookProcedure(throwTrampoline);
  EXPECT_EQ(Opaque(&ThrowingTarget)(0), 107);
}

TEST_F(HookingTest, PatchOutOfReachUsesAnAbsoluteJump) {
  // A replacement distant away from the image: only the 14-byte form reaches it.
  auto* distant =
      static_cast<std::uint8_t*>(VirtualAlloc(reinterpret_cast<void*>(0x7F0000000000ull), 4096,
                                              MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!distant) GTEST_SKIP() << "no memory distant from the image";
  // mov eax, 42; ret
  const std::uint8_t code[] = {0xB8, 42, 0, 0, 0, 0xC3};
  std::memcpy(distant, code, sizeof(code));
  HookProcedure(reinterpret_cast<void*>(&ThrowingTarget), distant, "ThrowingTarget");
  const auto* patch = reinterpret_cast<const std::uint8_t*>(&ThrowingTarget);
  EXPECT_EQ(patch[0], 0xFF);
  EXPECT_EQ(patch[1], 0x25);
  EXPECT_EQ(Opaque(&ThrowingTarget)(1), 42);
  UndoAllHooks();
  VirtualFree(distant, 0, MEM_RELEASE);
}

}  // namespace
