// The media player control hosted for real: URL, play state, the display
// options and the transport, including pause where the control has none.
#include "app/WMPLib.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <functional>
#include <memory>

#include "PlayerProcess.h"
#include "runtime/Forms.h"

namespace {

class THostForm : public TForm {
 public:
  explicit THostForm(TComponent* owner)
      : TForm(owner, {L"THostForm", L"host", WS_POPUP, 0, 320, 240}) {}
};

struct WMPFixture : ::testing::Test {
  void SetUp() override {
    OleInitialize(nullptr);
    app = std::make_unique<TApplication>();
    app->Initialize();
    app->CreateForm(form);
    form->Show();
    player = new TWindowsMediaPlayer(form, form);
  }
  void TearDown() override {
    app.reset();
    OleUninitialize();
  }
  // Pumps messages (the control's events arrive through them) until the
  // condition holds or the time is up.
  bool Until(const std::function<bool()>& condition, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (!condition()) {
      if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
      app->ProcessMessages();
      Sleep(20);
    }
    return true;
  }

  std::unique_ptr<TApplication> app;
  THostForm* form = nullptr;
  TWindowsMediaPlayer* player = nullptr;
};

}  // namespace

TEST_F(WMPFixture, PlaysPausesResumesAndEnds) {
  EXPECT_EQ(player->URL(), L"");
  EXPECT_EQ(player->playState(), 0);
  EXPECT_NO_THROW(player->SetUiMode(L"none"));
  EXPECT_NO_THROW(player->SetStretchToFit(true));
  EXPECT_NO_THROW(player->SetWindowlessVideo(true));

  player->SetURL(SampleClip());
  EXPECT_EQ(player->URL(), SampleClip()) << "the URL must read back exactly";
  ASSERT_TRUE(Until([&] { return player->playState() == 3; }, 15000)) << player->playState();

  player->controls().pause();
  EXPECT_TRUE(Until([&] { return player->playState() == 2; }, 3000));
  Until([] { return false; }, 500);
  EXPECT_EQ(player->playState(), 2) << "a pause must hold";
  player->controls().play();
  ASSERT_TRUE(Until([&] { return player->playState() == 3; }, 5000));

  // The 2 s clip ends on its own.
  EXPECT_TRUE(Until(
      [&] {
        int s = player->playState();
        return s == 8 || s == 1;
      },
      10000));
  player->controls().stop();
  player->controls().stop();  // harmless when already stopped
  EXPECT_TRUE(Until([&] { return player->playState() == 1; }, 3000));
}
