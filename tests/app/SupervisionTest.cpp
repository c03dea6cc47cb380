// The supervision tick against a scripted control: what each playback mode
// does in each play state, and which failures it swallows.
#include "app/Supervision.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "runtime/Exceptions.h"

namespace {

// A control whose play state is scripted read by read, and which records
// every call the tick makes.
class ScriptedControl : public IPlayerControl {
 public:
  std::deque<int> states;  // one entry per read; the last one repeats
  std::wstring url;
  std::vector<std::string> calls;
  bool failUrl = false;
  bool failPlay = false;

  int playState() override {
    calls.push_back("playState");
    int state = states.front();
    if (states.size() > 1) states.pop_front();
    return state;
  }
  std::wstring URL() override {
    calls.push_back("URL");
    if (failUrl) throw EOleException("no URL", 0x80004005L);
    return url;
  }
  void SetURL(const std::wstring& value) override {
    calls.push_back("SetURL");
    if (failUrl) throw EOleException("no URL", 0x80004005L);
    url = value;
  }
  void play() override {
    calls.push_back("play");
    if (failPlay) throw EOleException("cannot play", 0x80004005L);
  }
  void stop() override { calls.push_back("stop"); }
  void pause() override { calls.push_back("pause"); }

  std::vector<std::string> Actions() const {
    std::vector<std::string> actions;
    for (const auto& call : calls)
      if (call != "playState" && call != "URL") actions.push_back(call);
    return actions;
  }
};

using Actions = std::vector<std::string>;

std::wstring Tick(ScriptedControl& control, int mode, const std::wstring& fileName) {
  std::wstring label = L"(unset)";
  PlayerTick(&control, mode, fileName, [&](const std::wstring& text) { label = text; });
  return label;
}

}  // namespace

TEST(PlayStateText, EveryStateOfTheTable) {
  const wchar_t* expected[] = {
      L"неизвестно",  L"остановлен", L"пауза",        L"воспроизведение", L"",     L"",
      L"буферизация", L"ожидание",   L"файл окончен", L"подготовка",      L"готов"};
  for (int state = 0; state <= 10; ++state) EXPECT_EQ(PlayStateText(state), expected[state]);
  EXPECT_EQ(PlayStateText(11), L"");
  EXPECT_EQ(PlayStateText(-1), L"");
}

TEST(PlayerTick, NoVideoWindowEndsTheTickWithoutALabel) {
  bool labelled = false;
  PlayerTick(nullptr, pmPlay, L"a.avi", [&](const std::wstring&) { labelled = true; });
  EXPECT_FALSE(labelled);
}

TEST(PlayerTick, StopIsCalledOnEveryTickWhateverTheState) {
  for (int state : {0, 1, 3, 8}) {
    ScriptedControl control;
    control.states = {state};
    Tick(control, pmStop, L"a.avi");
    EXPECT_EQ(control.Actions(), Actions{"stop"}) << state;
  }
}

TEST(PlayerTick, PlayingTheConfiguredFileDoesNothing) {
  ScriptedControl control;
  control.states = {3};
  control.url = L"C:\\media\\a.avi";
  EXPECT_EQ(Tick(control, pmPlay, L"C:\\media\\a.avi"), L"воспроизведение");
  EXPECT_TRUE(control.Actions().empty());
}

TEST(PlayerTick, FileChangedWhilePlayingIsLoaded) {
  ScriptedControl control;
  control.states = {3};
  control.url = L"C:\\media\\a.avi";
  Tick(control, pmPlay, L"C:\\media\\b.avi");
  EXPECT_EQ(control.Actions(), Actions{"SetURL"});
  EXPECT_EQ(control.url, L"C:\\media\\b.avi");
}

TEST(PlayerTick, UrlComparisonIsCaseSensitive) {
  ScriptedControl control;
  control.states = {3};
  control.url = L"C:\\Media\\A.avi";
  Tick(control, pmPlay, L"C:\\media\\a.avi");
  EXPECT_EQ(control.Actions(), Actions{"SetURL"});
}

TEST(PlayerTick, EndedOrStoppedFileWithTheSameUrlPlaysAgain) {
  // Looping: the end of the clip (8, or 1 on some hosts), resume after
  // pause (2), stop then play (1) and a ready control (10) all restart it.
  for (int state : {1, 2, 8, 10}) {
    ScriptedControl control;
    control.states = {state};
    control.url = L"a.avi";
    Tick(control, pmPlay, L"a.avi");
    EXPECT_EQ(control.Actions(), Actions{"play"}) << state;
  }
}

TEST(PlayerTick, StartUpLoadsTheFileIntoAnEmptyControl) {
  ScriptedControl control;
  control.states = {0};
  EXPECT_EQ(Tick(control, pmPlay, L"a.avi"), L"неизвестно");
  EXPECT_EQ(control.Actions(), Actions{"SetURL"});
  EXPECT_EQ(control.url, L"a.avi");
}

TEST(PlayerTick, BusyOrUnknownStatesAreLeftAlone) {
  for (int state : {4, 5, 6, 7, 9, 11, 42}) {
    ScriptedControl control;
    control.states = {state};
    control.url = L"other.avi";
    std::wstring label = Tick(control, pmPlay, L"a.avi");
    EXPECT_TRUE(control.Actions().empty()) << state;
    if (state >= 11) {
      EXPECT_EQ(label, L"");
    }
  }
}

TEST(PlayerTick, EveryReadOfTheStateIsFresh) {
  // Label from the first read; the playing test sees 1, the restart test 8.
  ScriptedControl control;
  control.states = {3, 1, 8};
  control.url = L"a.avi";
  EXPECT_EQ(Tick(control, pmPlay, L"a.avi"), L"воспроизведение");
  EXPECT_EQ(control.calls, (Actions{"playState", "playState", "playState", "URL", "play"}));
}

TEST(PlayerTick, FailuresWhileRestartingAreSwallowed) {
  ScriptedControl control;
  control.states = {8};
  control.url = L"a.avi";
  control.failPlay = true;
  EXPECT_NO_THROW(Tick(control, pmPlay, L"a.avi"));
  control.failUrl = true;
  EXPECT_NO_THROW(Tick(control, pmPlay, L"b.avi"));
}

TEST(PlayerTick, FailuresWhilePlayingReachTheCaller) {
  ScriptedControl control;
  control.states = {3};
  control.failUrl = true;
  EXPECT_THROW(Tick(control, pmPlay, L"a.avi"), EOleException);
}

TEST(PlayerTick, PauseWaitsForPlayback) {
  ScriptedControl control;
  control.states = {6};
  Tick(control, pmPause, L"a.avi");
  EXPECT_TRUE(control.Actions().empty());
  control.states = {3};
  Tick(control, pmPause, L"a.avi");
  EXPECT_EQ(control.Actions(), Actions{"pause"});
}

TEST(PlayerTick, UnknownModeOnlyShowsTheState) {
  ScriptedControl control;
  control.states = {3};
  EXPECT_EQ(Tick(control, 7, L"a.avi"), L"воспроизведение");
  EXPECT_TRUE(control.Actions().empty());
}
