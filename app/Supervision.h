// Playback supervision: once a second the settings window's timer shows the
// control's state and moves the control towards the operator's playback mode.
// The control is reached through IPlayerControl, so the tick is plain C++.
#pragma once

#include <functional>
#include <string>

// The members of the media player control that the tick uses. Failures come
// back as exceptions.
class IPlayerControl {
 public:
  virtual ~IPlayerControl() = default;
  virtual int playState() = 0;
  virtual std::wstring URL() = 0;
  virtual void SetURL(const std::wstring& Value) = 0;
  virtual void play() = 0;
  virtual void stop() = 0;
  virtual void pause() = 0;
};

// PlaybackMode values.
enum : int { pmStop = 0, pmPlay = 1, pmPause = 2 };

// The control's play states the tick acts on.
enum : int {
  psUndefined = 0,
  psStopped = 1,
  psPaused = 2,
  psPlaying = 3,
  psBuffering = 6,
  psMediaEnded = 8,
  psTransitioning = 9,
  psReady = 10,
};

// The Russian text shown for a play state; empty for values without one.
std::wstring PlayStateText(int State);

// One tick. Control is null when the video window does not exist. Failures of
// the control outside the restart step are not caught here.
void PlayerTick(IPlayerControl* Control, int PlaybackMode, const std::wstring& FileName,
                const std::function<void(const std::wstring&)>& ShowStateText);
