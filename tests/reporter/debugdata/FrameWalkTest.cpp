// The frame walk over a synthetic image with unwind data: faults in prologues
// and epilogues, code without data, and a stack copy without its registers.
#include "reporter/debugdata/FrameWalk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

// A synthetic image with three functions and their unwind data, and a stack
// of the frames a fault in the innermost one leaves:
//   Inner   push rbx; sub rsp,20h            (no frame register)
//   Middle  push rbp; mov rbp,rsp; sub rsp,30h (frame register RBP)
//   Outer   sub rsp,28h
class TSyntheticProcess : public TVexlorMemoryReader {
 public:
  static constexpr std::uintptr_t kBase = 0x140000000;
  static constexpr std::uintptr_t kStack = 0x200000;  // S: Inner's body stack pointer
  static constexpr std::uintptr_t kInnerFault = kBase + 0x1050;
  static constexpr std::uintptr_t kInnerEpilogue = kBase + 0x1080;
  static constexpr std::uintptr_t kMiddleCall = kBase + 0x114B;
  static constexpr std::uintptr_t kOuterCall = kBase + 0x124B;
  static constexpr std::uintptr_t kNoUnwindData = kBase + 0x1400;

  TSyntheticProcess() {
    image_.assign(0x4000, 0x90);
    Put32(0x3C, 0x80);
    Put32(0x80, 0x00004550);
    Put16(0x80 + 24, 0x20B);
    Put32(0x80 + 160, 0x2000);  // exception directory: three entries
    Put32(0x80 + 164, 3 * 12);
    Function(0, 0x1000, 0x1100, 0x3000);
    Function(1, 0x1100, 0x1200, 0x3100);
    Function(2, 0x1200, 0x1300, 0x3200);
    // Unwind data: version 1, prologue size, code count, frame register.
    Bytes(0x3000, {0x01, 5, 2, 0x00, 5, 0x32, 1, 0x30});                 // alloc 20h; push rbx
    Bytes(0x3100, {0x01, 8, 3, 0x05, 8, 0x52, 4, 0x03, 1, 0x50, 0, 0});  // alloc 30h; fp; push rbp
    Bytes(0x3200, {0x01, 4, 1, 0x00, 4, 0x42, 0, 0});                    // alloc 28h
    Bytes(0x1080, {0x48, 0x83, 0xC4, 0x20, 0x5B, 0xC3});  // add rsp,20h; pop rbx; ret
    Bytes(0x114B, {0xE8, 0, 0, 0, 0});
    Bytes(0x124B, {0xE8, 0, 0, 0, 0});

    stack_.assign(0x1000, 0);
    PutStack(0x20, 0xB0B);            // Inner: saved RBX
    PutStack(0x28, kMiddleCall + 5);  // return into Middle
    PutStack(0x60, 0xFEED);           // Middle: saved RBP
    PutStack(0x68, kOuterCall + 5);   // return into Outer
    PutStack(0x98, 0);                // Outer returns nowhere: the end
  }

  TFrameRegisters FaultContext(std::uintptr_t rip) const {
    TFrameRegisters frame;
    frame.Known = kAllRegistersKnown;
    frame.Rip = rip;
    frame.Registers[kRegisterRsp] = kStack;
    frame.Registers[5] = kStack + 0x60;  // Middle's RBP, untouched by Inner
    return frame;
  }
  TVexlorModuleBaseResolver Modules() const {
    return [](std::uintptr_t address) {
      return address >= kBase && address < kBase + 0x4000 ? kBase : std::uintptr_t{0};
    };
  }

  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return Block(address, count) != nullptr;
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    const std::uint8_t* block = Block(address, count);
    if (!block) return false;
    std::memcpy(buffer, block, count);
    return true;
  }

 private:
  const std::uint8_t* Block(std::uintptr_t address, std::size_t count) const {
    if (address >= kBase && address + count <= kBase + image_.size())
      return image_.data() + (address - kBase);
    if (address >= kStack && address + count <= kStack + stack_.size())
      return stack_.data() + (address - kStack);
    return nullptr;
  }
  void Bytes(std::size_t at, std::vector<std::uint8_t> bytes) {
    std::memcpy(image_.data() + at, bytes.data(), bytes.size());
  }
  void Put16(std::size_t at, std::uint16_t v) { std::memcpy(image_.data() + at, &v, 2); }
  void Put32(std::size_t at, std::uint32_t v) { std::memcpy(image_.data() + at, &v, 4); }
  void PutStack(std::size_t at, std::uint64_t v) { std::memcpy(stack_.data() + at, &v, 8); }
  void Function(int index, std::uint32_t begin, std::uint32_t end, std::uint32_t unwind) {
    const std::uint32_t entry[3] = {begin, end, unwind};
    std::memcpy(image_.data() + 0x2000 + index * 12, entry, 12);
  }

  std::vector<std::uint8_t> image_, stack_;
};

using P = TSyntheticProcess;
const std::vector<std::uintptr_t> kProvenFrames = {P::kInnerFault, P::kMiddleCall, P::kOuterCall};

TEST(FrameWalk, EachFrameIsLeftAsItsUnwindDataSays) {
  TSyntheticProcess process;
  TFrameRegisters frame = process.FaultContext(P::kInnerFault);
  ASSERT_EQ(UnwindOneFrame(process, process.Modules(), frame, P::kInnerFault, true),
            TFrameStep::Unwound);
  EXPECT_EQ(frame.Rip, P::kMiddleCall + 5);
  EXPECT_EQ(frame.Rsp(), P::kStack + 0x30);
  EXPECT_EQ(frame.Registers[3], 0xB0Bu);  // RBX restored from its push

  // Middle leaves through its frame register, whatever its stack pointer.
  ASSERT_EQ(UnwindOneFrame(process, process.Modules(), frame, frame.Rip - 1, false),
            TFrameStep::Unwound);
  EXPECT_EQ(frame.Rip, P::kOuterCall + 5);
  EXPECT_EQ(frame.Rsp(), P::kStack + 0x70);
  EXPECT_EQ(frame.Registers[5], 0xFEEDu);

  EXPECT_EQ(WalkFrameAddresses(process, process.Modules(), process.FaultContext(P::kInnerFault),
                               {P::kStack + 0x1000}),
            kProvenFrames);
}

TEST(FrameWalk, FaultsInsideAnEpilogueOrPrologueOrWithoutUnwindData) {
  TSyntheticProcess process;
  const TFrameWalkLimits limits{P::kStack + 0x1000};
  // Stopped at the epilogue: its remaining instructions are replayed.
  std::vector<std::uintptr_t> frames = WalkFrameAddresses(
      process, process.Modules(), process.FaultContext(P::kInnerEpilogue), limits);
  EXPECT_EQ(frames,
            (std::vector<std::uintptr_t>{P::kInnerEpilogue, P::kMiddleCall, P::kOuterCall}));

  // Inside the prologue, after the push and before the allocation: only the
  // push is undone.
  TFrameRegisters early = process.FaultContext(P::kBase + 0x1001);
  early.Registers[kRegisterRsp] = P::kStack + 0x20;
  frames = WalkFrameAddresses(process, process.Modules(), early, limits);
  EXPECT_EQ(frames,
            (std::vector<std::uintptr_t>{P::kBase + 0x1001, P::kMiddleCall, P::kOuterCall}));

  // Code without unwind data at the top (a leaf, a jump into a buffer): its
  // caller's return address is on top of the stack.
  TFrameRegisters leaf = process.FaultContext(P::kNoUnwindData);
  leaf.Registers[kRegisterRsp] = P::kStack + 0x28;
  frames = WalkFrameAddresses(process, process.Modules(), leaf, limits);
  EXPECT_EQ(frames, (std::vector<std::uintptr_t>{P::kNoUnwindData, P::kMiddleCall, P::kOuterCall}));
}

TEST(FrameWalk, UnknownRegistersFallBackToTheScanAndAStackCopyIsReadInPlace) {
  TSyntheticProcess process;
  // A copy of the stack without its registers: Middle needs RBP, nobody
  // knows it, so the scan finds Middle's return address instead.
  std::vector<std::uint8_t> copy(0x100);
  ASSERT_TRUE(process.Read(P::kStack, copy.data(), copy.size()));
  const std::uint64_t changed = 0x42;  // the copy, not the live stack, is what is read
  std::memcpy(copy.data() + 0x20, &changed, 8);
  TStackCopyReader reader(process, P::kStack, copy.data(), copy.size());
  std::uint64_t slot = 0;
  ASSERT_TRUE(reader.Read(P::kStack + 0x20, &slot, 8));
  EXPECT_EQ(slot, 0x42u);
  TFrameRegisters bare;
  bare.Rip = P::kInnerFault;
  bare.Set(kRegisterRsp, P::kStack);
  EXPECT_EQ(WalkFrameAddresses(reader, process.Modules(), bare, {P::kStack + 0x100}),
            kProvenFrames);

  // A limit of frames ends the walk.
  EXPECT_EQ(WalkFrameAddresses(process, process.Modules(), process.FaultContext(P::kInnerFault),
                               {P::kStack + 0x1000, 2})
                .size(),
            2u);
}

TEST(FrameWalk, RepeatedAddressesAreResolvedOnce) {
  TSyntheticProcess process;
  int lookups = 0;
  const TVexlorAddressResolver resolve = [&](std::uintptr_t address) {
    ++lookups;
    TVexlorDebugInfo info;
    info.Address = address;
    return info;
  };
  const auto list = WalkStackFrames(process, process.Modules(), resolve,
                                    process.FaultContext(P::kInnerFault), {P::kStack + 0x1000});
  ASSERT_EQ(list->Count(), 3u);
  EXPECT_EQ(list->Items(1).Address, P::kMiddleCall);
  EXPECT_EQ(lookups, 3);
}

}  // namespace
