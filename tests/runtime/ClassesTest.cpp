// Component ownership and free notifications, menu defaults and clicks, and
// the INI integer conversions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "runtime/IniFiles.h"
#include "runtime/Menus.h"

namespace {

class Watcher : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* watched = nullptr;
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove && c == watched) watched = nullptr;
  }
};

class Counted : public TComponent {
 public:
  Counted(TComponent* owner, std::vector<int>& log, int id)
      : TComponent(owner), log_(log), id_(id) {}
  ~Counted() override { log_.push_back(id_); }

 private:
  std::vector<int>& log_;
  int id_;
};

}  // namespace

TEST(Components, OwnerFreesLastCreatedFirst) {
  std::vector<int> log;
  {
    TComponent owner(nullptr);
    new Counted(&owner, log, 1);
    new Counted(&owner, log, 2);
    auto* three = new Counted(&owner, log, 3);
    delete three;  // leaves its owner's list
    EXPECT_EQ(owner.ComponentCount(), 2);
  }
  EXPECT_EQ(log, (std::vector<int>{3, 2, 1}));
}

TEST(Components, FreeNotificationClearsReferences) {
  Watcher watcher(nullptr);
  auto* other = new TComponent(nullptr);
  watcher.watched = other;
  watcher.FreeNotification(other);
  delete other;
  EXPECT_EQ(watcher.watched, nullptr);
}

TEST(Components, WatcherGoingFirstLeavesNoDanglingNotification) {
  TComponent target(nullptr);
  {
    Watcher watcher(nullptr);
    watcher.FreeNotification(&target);
  }
  // Destroying target now must not touch the freed watcher (ASan would tell).
}

TEST(Menus, DefaultItemIsTheFirstMarkedInMenuOrder) {
  TComponent form(nullptr);
  TPopupMenu menu(&form);
  EXPECT_EQ(menu.DefaultItem(), nullptr);
  auto* a = new TMenuItem(&form);
  auto* sub = new TMenuItem(&form);
  auto* nested = new TMenuItem(&form);
  auto* b = new TMenuItem(&form);
  menu.Items()->Add(a);
  menu.Items()->Add(sub);
  sub->Add(nested);
  menu.Items()->Add(b);
  b->Default = true;
  nested->Default = true;
  EXPECT_EQ(menu.DefaultItem(), nested);
  delete nested;  // freed by its owner first: it leaves the tree
  EXPECT_EQ(sub->Count(), 0);
  EXPECT_EQ(menu.DefaultItem(), b);
}

TEST(Menus, ClickRunsOnlyEnabledItems) {
  TMenuItem item(nullptr);
  int clicks = 0;
  item.OnClick = [&](TObject*) { ++clicks; };
  item.Click();
  item.Enabled = false;
  item.Click();
  EXPECT_EQ(clicks, 1);
}

TEST(IniConversions, IntegersAsTheyAreWritten) {
  EXPECT_EQ(StrToIntDef(L"1", 9), 1);
  EXPECT_EQ(StrToIntDef(L" -1 ", 9), -1);
  EXPECT_EQ(StrToIntDef(L"$10", 9), 16);
  EXPECT_EQ(StrToIntDef(L"0x1f", 9), 31);
  EXPECT_EQ(StrToIntDef(L"$FFFFFFFF", 9), -1);
  EXPECT_EQ(StrToIntDef(L"2147483647", 9), 2147483647);
  EXPECT_EQ(StrToIntDef(L"-2147483648", 9), -2147483647 - 1);
  for (const wchar_t* bad : {L"", L"  ", L"-", L"$", L"1a", L"2147483648", L"0x", L"1 2"})
    EXPECT_EQ(StrToIntDef(bad, 9), 9) << bad;
}
