// Jump patches at the limits of the near jump's reach and beyond them.
#include "reporter/hooking/JumpPatch.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

std::int32_t Rel32(const TJumpPatch& patch) {
  std::int32_t rel = 0;
  std::memcpy(&rel, &patch.Bytes[1], 4);
  return rel;
}

TEST(JumpPatchTest, NearDestinationsUseRelativeJumpAtTheReachLimits) {
  const std::uintptr_t from = 0x140001000;
  const TJumpPatch forward = BuildJumpPatch(from, from + 5 + 0x7FFFFFFF);
  ASSERT_EQ(forward.Size, 5u);
  EXPECT_EQ(forward.Bytes[0], 0xE9);
  EXPECT_EQ(Rel32(forward), 0x7FFFFFFF);

  const TJumpPatch backward = BuildJumpPatch(from, from + 5 - 0x80000000ull);
  ASSERT_EQ(backward.Size, 5u);
  EXPECT_EQ(Rel32(backward), INT32_MIN);
}

TEST(JumpPatchTest, FarDestinationsUseAbsoluteJump) {
  const std::uintptr_t from = 0x140001000;
  const std::uintptr_t destinations[] = {from + 5 + 0x80000000ull, from + 4 - 0x80000000ull,
                                         0x7FF812345678ull};
  for (const std::uintptr_t to : destinations) {
    const TJumpPatch patch = BuildJumpPatch(from, to);
    ASSERT_EQ(patch.Size, 14u);
    EXPECT_EQ(patch.Bytes[0], 0xFF);
    EXPECT_EQ(patch.Bytes[1], 0x25);
    EXPECT_EQ(patch.Bytes[2] | patch.Bytes[3] | patch.Bytes[4] | patch.Bytes[5], 0);
    std::uint64_t absolute = 0;
    std::memcpy(&absolute, &patch.Bytes[6], 8);
    EXPECT_EQ(absolute, to);
  }
}

}  // namespace
