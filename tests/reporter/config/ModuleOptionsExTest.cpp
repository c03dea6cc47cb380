// Publishing through the module options mapping and switching freeze
// detection. Runs natively and under Wine (real named file mappings there).
#include "reporter/config/ModuleOptionsEx.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "reporter/config/FreezeWatchControl.h"
#include "reporter/config/ModuleMapping.h"
#include "reporter/config/TracePlatform.h"
#include "runtime/Streams.h"

namespace {

class TCountingFreezeWatch : public TFreezeWatchControl {
 public:
  void Start() override { ++starts; }
  void Stop() override { ++stops; }
  int starts = 0;
  int stops = 0;
};

TVexlorModuleOptions* currentOptions = nullptr;
TVexlorModuleOptions* CurrentForTest() {
  return currentOptions;
}

TVexlorOptionsFields ReadBack() {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(ReadPublishedModuleOptions(ThisModuleHandle(), bytes));
  TVexlorModuleOptions options("", false);
  TMemoryStream stream(bytes);
  options.LoadFromStream(stream);
  EXPECT_EQ(stream.Remaining(), 0);
  return options.Fields();
}

}  // namespace

TEST(ModuleMapping, NameIsProcessModuleAndSuffix) {
  EXPECT_EQ(ModuleMappingName(0xF2C, 0x140000000, "MODULE"), "00000F2C0000000140000000MODULE");
}

TEST(ModuleMapping, OpenOnlyFindsNothingUnpublished) {
  std::uint8_t* data = nullptr;
  EXPECT_EQ(OpenOrCreateModuleMapping(0x7A5E0000, kModuleOptionsSuffix, 0, &data), nullptr);
  EXPECT_EQ(data, nullptr);
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(ReadPublishedModuleOptions(0x7A5E0000, bytes));
}

TEST(ModuleMapping, BlockLayoutAndSharing) {
  std::uint8_t* data = nullptr;
  TModuleMappingHandle first = OpenOrCreateModuleMapping(0x12340000, "TEST", 10, &data);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ModuleMappingDataSize(data), 10u);
  data[9] = 0x5A;
  // A second opening sees the same block at its first size.
  std::uint8_t* again = nullptr;
  TModuleMappingHandle second = OpenOrCreateModuleMapping(0x12340000, "TEST", 99, &again);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ModuleMappingDataSize(again), 10u);
  EXPECT_EQ(again[9], 0x5A);
  CloseModuleMapping(second, again);
  CloseModuleMapping(first, data);
  CloseModuleMapping(nullptr, nullptr);
  EXPECT_EQ(OpenOrCreateModuleMapping(0x12340000, "TEST", 0, &data), nullptr);
}

TEST(ModuleOptionsEx, PublishesEveryChangeOfTheOwnModule) {
  ASSERT_TRUE(CreateOwnModuleOptionsMapping());
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(ReadPublishedModuleOptions(ThisModuleHandle(), bytes));

  TVexlorModuleOptionsEx own(PlatformExecutablePath(), true);
  // Created with publishing on: the defaults are out at once.
  EXPECT_EQ(ReadBack().SMTPPort, 25);
  own.SetSMTPHost("relay.example.invalid");
  own.SetText(2, "Fehler.");
  TVexlorOptionsFields seen = ReadBack();
  EXPECT_EQ(seen.SMTPHost, "relay.example.invalid");
  EXPECT_EQ(seen.CustomizedTexts[2], "Fehler.");
  // A bigger set replaces the block.
  own.SetEmailMessage(std::string(20000, 'm'));
  EXPECT_EQ(ReadBack().EmailMessage.size(), 20000u);

  // Copies of other modules, or with publishing off, leave the block alone.
  TVexlorModuleOptionsEx working("", false);
  working.SetSMTPHost("other");
  TVexlorModuleOptionsEx foreign("C:\\elsewhere\\lib.dll", true);
  foreign.SetSMTPHost("other");
  EXPECT_EQ(ReadBack().SMTPHost, "relay.example.invalid");

  CloseOwnModuleOptionsMapping();
  EXPECT_FALSE(ReadPublishedModuleOptions(ThisModuleHandle(), bytes));
}

TEST(ModuleOptionsEx, OnlyTheCurrentCopySwitchesFreezeDetection) {
  TCountingFreezeWatch watch;
  SetFreezeWatchControl(&watch);
  TVexlorModuleOptionsEx current("", false);
  TVexlorModuleOptionsEx other("", false);
  currentOptions = &current;
  SetCurrentVexlorLogOptionsFunc(CurrentForTest);

  other.SetFreezeActivate(true);
  EXPECT_EQ(watch.starts + watch.stops, 0);
  current.SetFreezeActivate(true);
  EXPECT_EQ(watch.starts, 1);
  current.SetFreezeActivate(true);  // unchanged: nothing
  EXPECT_EQ(watch.starts, 1);
  current.SetActive(false);
  EXPECT_EQ(watch.stops, 1);
  current.SetFreezeActivate(false);  // changed, still not both on
  EXPECT_EQ(watch.stops, 2);
  current.SetActive(true);
  EXPECT_EQ(watch.starts, 1);
  EXPECT_EQ(watch.stops, 3);
  // Assign goes through the setter too.
  current.Assign(&other);
  EXPECT_EQ(watch.starts, 2);

  SetCurrentVexlorLogOptionsFunc(nullptr);
  SetFreezeWatchControl(nullptr);
  currentOptions = nullptr;
  current.SetFreezeActivate(false);  // no control installed: nothing to call
}

TEST(ModuleOptionsEx, AFailingWatcherNeverReachesTheApplication) {
  class TFailingWatch : public TFreezeWatchControl {
   public:
    void Start() override { throw std::runtime_error("no thread"); }
    void Stop() override { throw std::runtime_error("no thread"); }
  } watch;
  SetFreezeWatchControl(&watch);
  TVexlorModuleOptionsEx current("", false);
  currentOptions = &current;
  SetCurrentVexlorLogOptionsFunc(CurrentForTest);
  EXPECT_NO_THROW(current.SetFreezeActivate(true));
  EXPECT_TRUE(current.FreezeActivate());
  EXPECT_NO_THROW(current.SetActive(false));
  SetCurrentVexlorLogOptionsFunc(nullptr);
  SetFreezeWatchControl(nullptr);
  currentOptions = nullptr;
}
