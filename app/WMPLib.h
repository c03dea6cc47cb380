// The media player control: the members of the player's default interface
// that the video window and the supervision timer use, called through the
// control's own interfaces (some hosts of the control offer no automation
// dispatch at all).
#pragma once

#include <windows.h>

#include <wmp.h>

#include <string>

#include "app/Supervision.h"
#include "runtime/OleCtrls.h"

class TWindowsMediaPlayer;

// The transport object; a fresh reference is taken for every use.
class TWMPControls {
 public:
  TWMPControls(TComPtr<IWMPControls> Controls, TWindowsMediaPlayer& Player)
      : controls_(std::move(Controls)), player_(Player) {}
  void play();
  void stop();
  // Where the control cannot pause, playback stops, the position is kept
  // (when the control tells it) and play resumes there; meanwhile the play
  // state reads as paused.
  void pause();

 private:
  TComPtr<IWMPControls> controls_;
  TWindowsMediaPlayer& player_;
};

class TWindowsMediaPlayer : public TOleControl {
 public:
  TWindowsMediaPlayer(TComponent* AOwner, TWinControl* AParent);

  std::wstring URL();
  void SetURL(const std::wstring& Value);
  // From the control; where it does not implement the property, the last
  // state its events reported (0 before the first one).
  int playState();
  // Display options a control may lack: a missing one is skipped.
  void SetUiMode(const std::wstring& Value);
  void SetStretchToFit(bool Value);
  void SetWindowlessVideo(bool Value);
  TWMPControls controls();
  // Some hosts of the control (Wine's) draw the picture in a top-level
  // renderer window of its own instead of inside the control. Takes such
  // windows of this process into the control and sizes them to it; a no-op
  // where the control renders inside itself.
  void AdoptRendererWindows();

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class TWMPControls;
  void OnPlayStateChange(int NewState);

  TComPtr<IWMPPlayer4> player_;
  int lastEventState_ = 0;
  bool pausedByStop_ = false;
  double pausedAt_ = -1;
};

// The supervision timer's view of the control.
class TWindowsMediaPlayerControl : public IPlayerControl {
 public:
  explicit TWindowsMediaPlayerControl(TWindowsMediaPlayer& Player) : player_(Player) {}
  int playState() override { return player_.playState(); }
  std::wstring URL() override { return player_.URL(); }
  void SetURL(const std::wstring& Value) override { player_.SetURL(Value); }
  void play() override { player_.controls().play(); }
  void stop() override { player_.controls().stop(); }
  void pause() override { player_.controls().pause(); }

 private:
  TWindowsMediaPlayer& player_;
};
