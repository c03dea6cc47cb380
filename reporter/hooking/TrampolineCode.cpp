// The trampoline's emitter: a frame that saves the argument registers, copies
// the stack arguments, and calls out to restore and re-patch around the target.
#include "reporter/hooking/TrampolineCode.h"

#include <cstring>
#include <limits>

namespace {

// Offsets inside the frame: the target's shadow space and stack arguments
// first, then the save area for the argument registers and the result.
constexpr std::uint32_t kShadowSize = 0x20;
constexpr std::uint32_t kGprSave = kShadowSize + kTrampolineStackArgs * 8;  // 0xA0
constexpr std::uint32_t kXmmSave = kGprSave + 0x20;                         // 0xC0
static_assert(kXmmSave + 0x40 <= kTrampolineFrameSize);
static_assert(kTrampolineFrameSize % 16 == 8, "RSP must be 16-byte aligned inside the frame");
// The caller's stack arguments, seen from inside the frame.
constexpr std::uint32_t kCallerArgs = kTrampolineFrameSize + 8 + kShadowSize;

class TEmitter {
 public:
  explicit TEmitter(std::uintptr_t base) : base_(base) {}

  void Bytes(std::initializer_list<std::uint8_t> bytes) { code_.insert(code_.end(), bytes); }
  void U32(std::uint32_t value) { Raw(&value, 4); }
  void U64(std::uint64_t value) { Raw(&value, 8); }

  // op [rsp+disp32] with ModRM reg field given in modrm (mod=10, rm=100).
  void RspDisp(std::initializer_list<std::uint8_t> opcode, std::uint8_t modrm, std::uint32_t disp) {
    Bytes(opcode);
    Bytes({modrm, 0x24});
    U32(disp);
  }

  // call [rip+rel32]
  void CallSlot(std::uintptr_t slot) {
    Bytes({0xFF, 0x15});
    const std::uintptr_t next = base_ + code_.size() + 4;
    const auto rel = static_cast<std::int64_t>(slot - next);
    if (rel < std::numeric_limits<std::int32_t>::min() ||
        rel > std::numeric_limits<std::int32_t>::max()) {
      failed_ = true;
    }
    U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(rel)));
  }

  bool Failed() const { return failed_; }
  std::vector<std::uint8_t> Take() { return std::move(code_); }

 private:
  void Raw(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    code_.insert(code_.end(), p, p + size);
  }

  std::uintptr_t base_;
  std::vector<std::uint8_t> code_;
  bool failed_ = false;
};

// ModRM reg fields (mod=10, rm=100 → SIB with base RSP).
constexpr std::uint8_t kRcx = 0x8C, kRdx = 0x94, kR8 = 0x84, kR9 = 0x8C, kRax = 0x84;
constexpr std::uint8_t kXmm[4] = {0x84, 0x8C, 0x94, 0x9C};

void SaveArgumentRegisters(TEmitter& e) {
  e.RspDisp({0x48, 0x89}, kRcx, kGprSave);
  e.RspDisp({0x48, 0x89}, kRdx, kGprSave + 8);
  e.RspDisp({0x4C, 0x89}, kR8, kGprSave + 16);
  e.RspDisp({0x4C, 0x89}, kR9, kGprSave + 24);
  for (int i = 0; i < 4; ++i) e.RspDisp({0x0F, 0x11}, kXmm[i], kXmmSave + 16 * i);  // movups
}

void LoadArgumentRegisters(TEmitter& e) {
  e.RspDisp({0x48, 0x8B}, kRcx, kGprSave);
  e.RspDisp({0x48, 0x8B}, kRdx, kGprSave + 8);
  e.RspDisp({0x4C, 0x8B}, kR8, kGprSave + 16);
  e.RspDisp({0x4C, 0x8B}, kR9, kGprSave + 24);
  for (int i = 0; i < 4; ++i) e.RspDisp({0x0F, 0x10}, kXmm[i], kXmmSave + 16 * i);
}

void CallWithRecord(TEmitter& e, std::uintptr_t record, std::uintptr_t slot) {
  e.Bytes({0x48, 0xB9});  // mov rcx, imm64
  e.U64(record);
  e.CallSlot(slot);
}

}  // namespace

std::vector<std::uint8_t> EmitTrampoline(const TTrampolineAddresses& at) {
  TEmitter e(at.Code);
  e.Bytes({0x48, 0x81, 0xEC});  // sub rsp, imm32 (the whole prologue)
  e.U32(kTrampolineFrameSize);

  SaveArgumentRegisters(e);
  CallWithRecord(e, at.Record, at.RestoreSlot);
  // The caller's stack arguments move into this frame at the place the target
  // expects them; RAX is free on entry in this calling convention.
  for (std::uint32_t i = 0; i < kTrampolineStackArgs; ++i) {
    e.RspDisp({0x48, 0x8B}, kRax, kCallerArgs + 8 * i);
    e.RspDisp({0x48, 0x89}, kRax, kShadowSize + 8 * i);
  }
  LoadArgumentRegisters(e);
  e.CallSlot(at.TargetSlot);

  // Keep the result (RAX or XMM0) across the re-patch call.
  e.RspDisp({0x48, 0x89}, kRax, kGprSave);
  e.RspDisp({0x0F, 0x11}, kXmm[0], kXmmSave);
  CallWithRecord(e, at.Record, at.RepatchSlot);
  e.RspDisp({0x48, 0x8B}, kRax, kGprSave);
  e.RspDisp({0x0F, 0x10}, kXmm[0], kXmmSave);

  e.Bytes({0x48, 0x81, 0xC4});  // add rsp, imm32; ret: an epilogue the unwinder knows
  e.U32(kTrampolineFrameSize);
  e.Bytes({0xC3});
  if (e.Failed()) return {};
  return e.Take();
}

std::array<std::uint8_t, 8> TrampolineUnwindInfo() {
  const std::uint16_t slots = kTrampolineFrameSize / 8;
  return {
      0x01,                   // version 1, no handler
      kTrampolinePrologSize,  // prologue size
      0x02,                   // two unwind-code slots
      0x00,                   // no frame register
      kTrampolinePrologSize,  // code offset: end of "sub rsp, imm32"
      0x01,                   // UWOP_ALLOC_LARGE, size / 8 in the next slot
      static_cast<std::uint8_t>(slots & 0xFF),
      static_cast<std::uint8_t>(slots >> 8),
  };
}
