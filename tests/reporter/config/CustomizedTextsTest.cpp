// The default texts, their identifiers both ways, and the editor's groups.
#include "reporter/config/CustomizedTexts.h"

#include <gtest/gtest.h>

#include <set>

TEST(CustomizedTexts, DefaultsAreTheEnglishWording) {
  const TCustomizedTexts& texts = DefaultCustomizedTexts();
  EXPECT_EQ(texts[static_cast<int>(TCustomizedText::DialogCaption)], "Error.");
  EXPECT_EQ(texts[static_cast<int>(TCustomizedText::CPUMemoryDump)], "Memory Dump");
  EXPECT_EQ(texts[3],
            "An error has occurred during program execution.\r\n"
            "Please read the following information for further details.");
  // Equal wording, separate entries.
  EXPECT_EQ(texts[12], texts[61]);
  EXPECT_EQ(texts[29], texts[54]);
  for (const std::string& text : texts) EXPECT_FALSE(text.empty());
}

TEST(CustomizedTexts, IdentifiersAreUniqueAndRoundTrip) {
  std::set<std::string_view> seen;
  for (int i = 0; i < CustomizedTextCount; ++i) {
    std::string_view id = CustomizedTextIdentifier(i);
    EXPECT_TRUE(seen.insert(id).second) << id;
    EXPECT_EQ(CustomizedTextIndex(id), i);
  }
  EXPECT_EQ(CustomizedTextIdentifier(0), "MsgCaptionInformation");
  EXPECT_EQ(CustomizedTextIdentifier(54), "SendMessage");
  EXPECT_EQ(CustomizedTextIdentifier(71), "");
  EXPECT_EQ(CustomizedTextIndex("NoSuchText"), -1);
}

TEST(CustomizedTexts, EditorLabelsUseTheNineGroups) {
  std::set<std::string_view> groups(CustomizedTextGroups().begin(), CustomizedTextGroups().end());
  ASSERT_EQ(groups.size(), 9u);
  std::set<std::string_view> used;
  for (int i = 0; i < CustomizedTextCount; ++i) {
    TCustomizedTextLabel label = CustomizedTextLabel(i);
    EXPECT_TRUE(groups.count(label.Group)) << label.Group;
    EXPECT_FALSE(label.Item.empty());
    used.insert(label.Group);
  }
  // Every group but the root holds items: 9 group labels + 71 item labels.
  EXPECT_EQ(used.size(), 8u);
  EXPECT_EQ(CustomizedTextLabel(62).Group, "Log / Modules List");
  EXPECT_EQ(CustomizedTextLabel(62).Item, "Handle");
}
