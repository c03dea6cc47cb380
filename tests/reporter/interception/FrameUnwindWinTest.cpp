// The walk's own unwinding against the system's, frame by frame, on real
// frames of this program compiled in several shapes.
#include "reporter/interception/FrameUnwindWin.h"

#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct TStep {
  DWORD64 Rip, Rsp, Rbx, Rbp, Rsi, Rdi, R12, R13, R14, R15;
  std::uintptr_t Handler;
  void* HandlerData;
};

TStep StepOf(const CONTEXT& c, std::uintptr_t handler, void* data) {
  return {c.Rip, c.Rsp, c.Rbx, c.Rbp, c.Rsi, c.Rdi, c.R12, c.R13, c.R14, c.R15, handler, data};
}

bool operator==(const TStep& a, const TStep& b) {
  return std::memcmp(&a, &b, sizeof(TStep)) == 0;
}

void PrintTo(const TStep& s, std::ostream* os) {
  *os << std::hex << "rip " << s.Rip << " rsp " << s.Rsp << " rbx " << s.Rbx << " rbp " << s.Rbp
      << " rsi " << s.Rsi << " rdi " << s.Rdi << " r12 " << s.R12 << " r15 " << s.R15 << " handler "
      << s.Handler;
}

// Both walks, from the same start, as far as this module's frames go.
void CompareWalks(const CONTEXT& start, std::vector<TStep>& ours) {
  CONTEXT mine = start, system = start;
  const auto own = reinterpret_cast<DWORD64>(GetModuleHandleA(nullptr));
  ours.clear();
  for (int depth = 0; depth < 64; ++depth) {
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(system.Rip - 1, &imageBase, nullptr);
    if (!function || imageBase != own) break;
    void* data = nullptr;
    DWORD64 establisher = 0;
    const auto handler = reinterpret_cast<std::uintptr_t>(RtlVirtualUnwind(
        UNW_FLAG_EHANDLER, imageBase, system.Rip, function, &system, &data, &establisher, nullptr));
    TUnwoundFrame frame;
    ASSERT_EQ(UnwindFrame(mine, mine.Rip - 1, frame), TUnwindStep::Unwound) << depth;
    EXPECT_EQ(frame.FunctionStart, imageBase + function->BeginAddress);
    const TStep expected = StepOf(system, handler, data);
    const TStep actual = StepOf(mine, frame.Handler, frame.HandlerData);
    ASSERT_EQ(actual, expected) << "frame " << depth;
    ours.push_back(actual);
  }
}

int volatile noise = 1;
CONTEXT captured;
std::vector<TStep> firstWalk, secondWalk;

// Walks while every frame is still on the stack.
void WalkFromHere() {
  RtlCaptureContext(&captured);
  CompareWalks(captured, firstWalk);
  // The second walk comes from the per-thread cache.
  CompareWalks(captured, secondWalk);
}

void (*volatile atBottom)() = &WalkFromHere;

__attribute__((noinline)) void CaptureHere() {
  atBottom();
  noise = noise + 1;
}

// Callee-saved registers live across the call: the prologue pushes them.
__attribute__((noinline)) int ManyLiveValues(int a) {
  int v1 = noise * a, v2 = noise + a, v3 = noise ^ a, v4 = noise - a, v5 = noise * 3 + a;
  int v6 = a * a + noise, v7 = noise << 2;
  CaptureHere();
  noise = v1 + v2 * v3 + v4 * v5 + v6 * v7;
  return noise;
}

// A frame larger than a page: the allocation takes the large form.
__attribute__((noinline)) int LargeFrame(int a) {
  volatile char buffer[9000];
  buffer[a] = static_cast<char>(noise);
  const int result = ManyLiveValues(a + buffer[a]);
  return result + buffer[8999 - a];
}

// A variable-sized allocation needs a frame register.
__attribute__((noinline)) int DynamicFrame(int a) {
  auto* block = static_cast<volatile char*>(alloca(64 + (noise & 0xF) * 16));
  block[0] = static_cast<char>(a);
  return LargeFrame(a + block[0] % 2) + block[0];
}

// A frame with a language handler and exception tables.
__attribute__((noinline)) int CatchingFrame(int a) {
  try {
    return DynamicFrame(a) + noise;
  } catch (const std::exception&) {
    return -1;
  }
}

TEST(FrameUnwind, AgreesWithTheSystemUnwinderOnEveryFrameShape) {
  noise = CatchingFrame(3);
  const std::vector<TStep>& first = firstWalk;
  ASSERT_GE(first.size(), 6u);  // the test functions, and the test's callers
  EXPECT_TRUE(first == secondWalk);
  const bool someHandler =
      std::any_of(first.begin(), first.end(), [](const TStep& s) { return s.Handler != 0; });
  EXPECT_TRUE(someHandler);
}

TEST(FrameUnwind, UnreadableStackEndsTheWalkWithoutAFault) {
  noise = CatchingFrame(1);
  CONTEXT broken = captured;
  broken.Rsp = 0x10;  // the first page is never mapped
  TUnwoundFrame frame;
  EXPECT_EQ(UnwindFrame(broken, broken.Rip - 1, frame), TUnwindStep::Unreadable);
  // A fault address (ip == Rip) takes the system's path and its probe.
  broken.Rip = captured.Rip;
  EXPECT_EQ(UnwindFrame(broken, broken.Rip, frame), TUnwindStep::Unreadable);
}

TEST(FrameUnwind, CodeWithoutUnwindDataIsReported) {
  CONTEXT context = captured;
  context.Rip = 0x1000;
  TUnwoundFrame frame;
  EXPECT_EQ(UnwindFrame(context, context.Rip - 1, frame), TUnwindStep::NoEntry);
}

}  // namespace
