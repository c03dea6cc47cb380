// Exception tables written by hand in the layout GCC emits: a header, a
// call-site table (uleb128), an action table and a type table.
#include "reporter/interception/GccLsda.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/Exceptions.h"

namespace {

constexpr std::uintptr_t kStart = 0x1000;

struct TCallSite {
  std::uint8_t start, length, landingPad, action;
};

// Type entries are 8-byte absolute pointers (encoding 0x00) unless pcRel, in
// which case they are GCC's "indirect, pc-relative, sdata4" (0x9B) entries
// pointing at slots that hold the type_info addresses.
class TLsdaBuilder {
 public:
  std::vector<TCallSite> Sites;
  std::vector<std::uint8_t> Actions;
  std::vector<const std::type_info*> Types;  // filter 1 is Types[0]
  bool PcRel = false;

  const std::uint8_t* Build() {
    bytes_.clear();
    const std::size_t entrySize = PcRel ? 4 : 8;
    std::vector<std::uint8_t> body;
    body.push_back(0x01);  // call sites: uleb128
    body.push_back(static_cast<std::uint8_t>(Sites.size() * 4));
    for (const auto& s : Sites)
      body.insert(body.end(), {s.start, s.length, s.landingPad, s.action});
    body.insert(body.end(), Actions.begin(), Actions.end());
    bytes_.push_back(0xFF);  // no landing-pad base
    bytes_.push_back(PcRel ? 0x9B : 0x00);
    bytes_.push_back(static_cast<std::uint8_t>(body.size() + Types.size() * entrySize));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    const std::size_t tableEnd = bytes_.size() + Types.size() * entrySize;
    // The slots follow the tables in the same block: a 32-bit displacement
    // reaches them.
    const std::size_t slotsAt = (tableEnd + 7) & ~std::size_t{7};
    bytes_.resize(slotsAt + Types.size() * 8);
    if (!Types.empty()) std::memcpy(bytes_.data() + slotsAt, Types.data(), Types.size() * 8);
    // Entries are stored backwards from the end of the table.
    for (std::size_t i = 0; i < Types.size(); ++i) {
      std::uint8_t* entry = bytes_.data() + tableEnd - (i + 1) * entrySize;
      if (PcRel) {
        const std::uint8_t* slot = bytes_.data() + slotsAt + 8 * i;
        const auto rel = static_cast<std::int32_t>(slot - entry);
        std::memcpy(entry, &rel, 4);
      } else {
        std::memcpy(entry, &Types[i], 8);
      }
    }
    return bytes_.data();
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

template <class T>
TVexlorExceptionObject Thrown(T& object) {
  return {&object, &typeid(object)};
}

// try { call at 0x10..0x1F } catch (std::runtime_error&) {} catch (...) {}
// plus a cleanup-only region at 0x20..0x2F; nothing covers 0x30 on.
TLsdaBuilder TypicalFunction(bool pcRel) {
  TLsdaBuilder b;
  b.PcRel = pcRel;
  b.Sites = {{0x10, 0x10, 0x40, 3}, {0x20, 0x10, 0x50, 0}};
  // Action 1: filter 2 (catch-all), end. Action 3: filter 1, next = action 1.
  b.Actions = {0x02, 0x00, 0x01, 0x7D};
  b.Types = {&typeid(std::runtime_error), nullptr};
  return b;
}

TEST(GccLsdaTest, TypedCatchCatchAllCleanupAndTerminate) {
  for (bool pcRel : {false, true}) {
    TLsdaBuilder b = TypicalFunction(pcRel);
    const std::uint8_t* lsda = b.Build();
    std::overflow_error derived("derived");
    EConvertError unrelated("unrelated");
    EXPECT_EQ(ClassifyGccFrame(lsda, kStart, kStart + 0x14, Thrown(derived)), TFrameCatch::Typed);
    EXPECT_EQ(ClassifyGccFrame(lsda, kStart, kStart + 0x1F, Thrown(unrelated)),
              TFrameCatch::CatchAll);
    EXPECT_EQ(ClassifyGccFrame(lsda, kStart, kStart + 0x20, Thrown(derived)), TFrameCatch::None);
    // Before the first region and after the last: the function lets nothing out.
    EXPECT_EQ(ClassifyGccFrame(lsda, kStart, kStart + 0x08, Thrown(derived)),
              TFrameCatch::Terminate);
    EXPECT_EQ(ClassifyGccFrame(lsda, kStart, kStart + 0x30, Thrown(derived)),
              TFrameCatch::Terminate);
  }
}

TEST(GccLsdaTest, RegionWithoutLandingPadPassesTheException) {
  TLsdaBuilder b;
  b.Sites = {{0x00, 0x40, 0x00, 0}};
  std::runtime_error e("x");
  EXPECT_EQ(ClassifyGccFrame(b.Build(), kStart, kStart + 0x10, Thrown(e)), TFrameCatch::None);
}

TEST(GccLsdaTest, CatchOfABaseClassAndOfPointers) {
  TLsdaBuilder b;
  b.Sites = {{0x00, 0x40, 0x48, 1}};
  b.Actions = {0x01, 0x00};
  b.Types = {&typeid(Exception)};
  EReadError derived("x");
  std::runtime_error other("y");
  EXPECT_EQ(ClassifyGccFrame(b.Build(), kStart, kStart + 1, Thrown(derived)), TFrameCatch::Typed);
  EXPECT_EQ(ClassifyGccFrame(b.Build(), kStart, kStart + 1, Thrown(other)), TFrameCatch::None);

  // catch (Exception*) sees a thrown EReadError* through the stored pointer.
  EReadError* pointer = &derived;
  b.Types = {&typeid(Exception*)};
  const TVexlorExceptionObject thrownPointer{&pointer, &typeid(EReadError*)};
  EXPECT_EQ(ClassifyGccFrame(b.Build(), kStart, kStart + 1, thrownPointer), TFrameCatch::Typed);
}

TEST(GccLsdaTest, ThrowSpecifications) {
  // Action 1: filter -1 (spec list at the type table's base: type 1, end).
  TLsdaBuilder b;
  b.Sites = {{0x00, 0x40, 0x48, 1}};
  b.Actions = {0x7F, 0x00};
  b.Types = {&typeid(std::runtime_error)};
  const std::uint8_t* lsda = b.Build();
  // The spec list follows the type table: patch it in after building.
  std::vector<std::uint8_t> withSpec(lsda, lsda + 3 + 2 + 4 + 2 + 8);
  withSpec.push_back(0x01);
  withSpec.push_back(0x00);
  std::runtime_error listed("x");
  EConvertError unlisted("y");
  EXPECT_EQ(ClassifyGccFrame(withSpec.data(), kStart, kStart + 1, Thrown(listed)),
            TFrameCatch::None);
  EXPECT_EQ(ClassifyGccFrame(withSpec.data(), kStart, kStart + 1, Thrown(unlisted)),
            TFrameCatch::Terminate);
}

}  // namespace
