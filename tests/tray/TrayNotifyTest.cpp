// The tray's mouse rules against a recorder of its events, the tooltip and
// the icon cycling.
#include "tray/TrayNotify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Menus.h"

namespace {

enum : unsigned {
  kMove = 0x200,
  kLDown = 0x201,
  kLUp = 0x202,
  kLDbl = 0x203,
  kRDown = 0x204,
  kRUp = 0x205,
  kRDbl = 0x206,
  kMDown = 0x207,
  kMUp = 0x208,
  kMDbl = 0x209,
};

class Recorder : public ITrayIconEvents {
 public:
  std::vector<std::string> log;
  void Click() override { log.push_back("click"); }
  void DblClick() override { log.push_back("dblclick"); }
  void MouseDown(TMouseButton b) override { log.push_back("down" + Name(b)); }
  void MouseUp(TMouseButton b) override { log.push_back("up" + Name(b)); }
  void MouseMove() override { log.push_back("move"); }
  void ShowPopupMenu() override { log.push_back("popup"); }

 private:
  static std::string Name(TMouseButton b) {
    return b == TMouseButton::mbLeft ? "L" : b == TMouseButton::mbRight ? "R" : "M";
  }
};

using Log = std::vector<std::string>;

struct MenuFixture : ::testing::Test {
  TComponent form{nullptr};
  TPopupMenu menu{&form};
  TMenuItem* about = new TMenuItem(&form);
  TMenuItem* options = new TMenuItem(&form);
  int optionsRuns = 0;
  TTrayMouseState state;
  Recorder events;

  void SetUp() override {
    menu.Items()->Add(about);
    menu.Items()->Add(options);
    options->Default = true;
    options->OnClick = [this](TObject*) {
      ++optionsRuns;
      events.log.push_back("default item");
    };
    state.PopupMenu = &menu;
  }
  void Send(std::initializer_list<unsigned> messages) {
    for (unsigned m : messages) HandleTrayMouseMessage(m, state, events);
  }
};

}  // namespace

TEST_F(MenuFixture, DoubleClickGivesOneClickTheDoubleClickAndTheDefaultItem) {
  // What the shell sends for a double click with the left button.
  Send({kLDown, kLUp, kLDbl, kLUp});
  EXPECT_EQ(events.log, (Log{"downL", "click", "upL", "dblclick", "default item", "upL"}));
}

TEST_F(MenuFixture, NoDefaultItemMeansOnlyTheDoubleClickEvent) {
  options->Default = false;
  Send({kLDbl});
  EXPECT_EQ(events.log, (Log{"dblclick"}));
}

TEST_F(MenuFixture, NoAutomaticPopupMeansNoDefaultItem) {
  menu.AutoPopup = false;
  Send({kLDbl});
  EXPECT_EQ(optionsRuns, 0);
}

TEST_F(MenuFixture, LeftPopupOpensTheMenuOnPressAndSkipsTheDefaultItem) {
  state.LeftPopup = true;
  Send({kLDown, kLUp, kLDbl});
  EXPECT_EQ(events.log, (Log{"downL", "popup", "click", "upL", "dblclick"}));
}

TEST_F(MenuFixture, RightButtonOpensTheMenuAfterItsDownEvent) {
  Send({kRDown, kRUp, kRDbl, kMDown, kMUp, kMDbl, kMove, 0x0400});
  EXPECT_EQ(events.log, (Log{"downR", "popup", "upR", "downM", "upM", "move"}));
}

TEST_F(MenuFixture, DisabledIconIgnoresEverything) {
  state.Enabled = false;
  Send({kMove, kLDown, kLUp, kLDbl, kRDown, kRUp});
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(optionsRuns, 0);
}

TEST_F(MenuFixture, ReleaseWithoutPressIsNoClick) {
  Send({kLUp});
  EXPECT_EQ(events.log, (Log{"upL"}));
}

TEST(TrayTip, HintIsCutTo127Characters) {
  std::wstring hint(200, L'ж');
  EXPECT_EQ(TrayTip(hint, true), std::wstring(127, L'ж'));
  EXPECT_EQ(TrayTip(L"Kiravane VideoPlayer", true), L"Kiravane VideoPlayer");
  EXPECT_EQ(TrayTip(L"Kiravane VideoPlayer", false), L"");
  EXPECT_EQ(TrayTip(L"", true), L"");
}

TEST(TrayCycling, ThreeIconsCycleOneTwoZeroOne) {
  std::vector<int> fired;
  int index = 0;
  for (int tick = 0; tick < 4; ++tick) {
    index = NextCycleIndex(index, 3);
    fired.push_back(index);
  }
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(NextCycleIndex(0, 1), 0);
}

TEST(TrayCycling, IconIndexIsClampedToTheList) {
  EXPECT_EQ(ClampIconIndex(5, 3), 2);
  EXPECT_EQ(ClampIconIndex(-2, 3), 0);
  EXPECT_EQ(ClampIconIndex(4, 0), 0);
}
