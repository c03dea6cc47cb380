// Import-slot hooks, on a hand-made module image and on this program's own
// import of a kernel32 function.
#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "reporter/hooking/HooksWin.h"

namespace {

// A minimal image: headers naming a code range at 0x1000, slots at 0x2000.
class TFakeModule {
 public:
  static constexpr std::size_t kCode = 0x1000, kCodeSize = 0x100, kSlots = 0x2000;

  TFakeModule() {
    base_ = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 0x3000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base_);
    dos->e_magic = IMAGE_DOS_SIGNATURE;
    dos->e_lfanew = 0x80;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base_ + 0x80);
    nt->Signature = IMAGE_NT_SIGNATURE;
    nt->OptionalHeader.BaseOfCode = kCode;
    nt->OptionalHeader.SizeOfCode = kCodeSize;
    std::memset(base_ + kCode, 0x90, kCodeSize);
  }
  ~TFakeModule() { VirtualFree(base_, 0, MEM_RELEASE); }

  HMODULE Handle() const { return reinterpret_cast<HMODULE>(base_); }
  void** Slot(int index) const { return reinterpret_cast<void**>(base_ + kSlots + 8 * index); }
  // "jmp [rip+x]" (0x25) or "call [rip+x]" (0x15) at a code offset, reading a slot.
  void Reference(std::size_t offset, std::uint8_t form, int slot) {
    std::uint8_t* at = base_ + kCode + offset;
    const auto rel =
        static_cast<std::int32_t>(reinterpret_cast<std::uint8_t*>(Slot(slot)) - (at + 6));
    at[0] = 0xFF;
    at[1] = form;
    std::memcpy(at + 2, &rel, 4);
  }

 private:
  std::uint8_t* base_;
};

void* const kReplaced = reinterpret_cast<void*>(0x1111);
void* const kReplacement = reinterpret_cast<void*>(0x2222);
void* const kOther = reinterpret_cast<void*>(0x3333);

TEST(ImportHookingTest, EveryMatchingSlotIsPatchedAndRestored) {
  TFakeModule module;
  *module.Slot(0) = kReplaced;
  *module.Slot(1) = kReplaced;
  *module.Slot(2) = kOther;
  module.Reference(0x10, 0x25, 0);
  module.Reference(0x30, 0x15, 1);
  module.Reference(0x50, 0x25, 2);
  module.Reference(0x70, 0x15, 0);  // a second reader of slot 0

  EXPECT_EQ(HookImport(module.Handle(), kReplaced, kReplacement, false, false, "k.F"), kReplaced);
  EXPECT_EQ(*module.Slot(0), kReplacement);
  EXPECT_EQ(*module.Slot(1), kReplacement);
  EXPECT_EQ(*module.Slot(2), kOther);

  UndoAllHooks();
  EXPECT_EQ(*module.Slot(0), kReplaced);
  EXPECT_EQ(*module.Slot(1), kReplaced);
}

TEST(ImportHookingTest, NoMatchingSlot) {
  TFakeModule module;
  *module.Slot(0) = kOther;
  module.Reference(0x10, 0x25, 0);
  EXPECT_EQ(HookImport(module.Handle(), kReplaced, kReplacement, false, true, "k.F"), nullptr);
  try {
    HookImport(module.Handle(), kReplaced, kReplacement, false, false, "kernel32.dll.F");
    FAIL() << "no exception";
  } catch (const EHookingError& e) {
    EXPECT_STREQ(e.what(), "Cannot hook the procedure \"kernel32.dll.F\".");
  }
  EXPECT_EQ(*module.Slot(0), kOther);
}

TEST(ImportHookingTest, ReferenceAtTheEndOfTheRangeIsSeenWhole) {
  TFakeModule module;
  *module.Slot(0) = kReplaced;
  // The last complete instruction ends exactly at the end of the range.
  module.Reference(TFakeModule::kCodeSize - 6, 0x15, 0);
  EXPECT_EQ(HookImport(module.Handle(), kReplaced, kReplacement, true, true, "k.F"), kReplaced);
  EXPECT_EQ(*module.Slot(0), kReplacement);
}

UINT WINAPI FakeOemCp() {
  return 4242;
}
// Reads the import slot at every call (inline, the compiler would load it once).
__attribute__((noinline)) UINT CallGetOEMCP() {
  return GetOEMCP();
}

TEST(ImportHookingTest, OwnImportOfKernel32IsRedirected) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  void* real = nullptr;
  const UINT before = CallGetOEMCP();
  EXPECT_TRUE(HookImportInModules({"", "", exe, "not-loaded.dll"}, "kernel32.dll", true, real,
                                  reinterpret_cast<void*>(&FakeOemCp), "GetOEMCP"));
  EXPECT_EQ(real,
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetOEMCP")));
  EXPECT_EQ(CallGetOEMCP(), 4242u);
  UndoAllHooks();
  EXPECT_EQ(CallGetOEMCP(), before);

  // A function this program does not import: nothing patched, real address
  // still returned.
  void* real2 = nullptr;
  EXPECT_FALSE(HookImportInModules({exe}, "kernel32.dll", true, real2,
                                   reinterpret_cast<void*>(&FakeOemCp),
                                   "GetSystemDefaultUILanguage"));
  EXPECT_NE(real2, nullptr);
}

}  // namespace
