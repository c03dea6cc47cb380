// The play states' texts and the supervision tick: each playback mode's rule
// for what the control is told, given the state it reports at that moment.
#include "app/Supervision.h"

#include <exception>

std::wstring PlayStateText(int State) {
  switch (State) {
    case 0:
      return L"неизвестно";
    case 1:
      return L"остановлен";
    case 2:
      return L"пауза";
    case 3:
      return L"воспроизведение";
    case 6:
      return L"буферизация";
    case 7:
      return L"ожидание";
    case 8:
      return L"файл окончен";
    case 9:
      return L"подготовка";
    case 10:
      return L"готов";
    default:
      return L"";
  }
}

namespace {

bool MayRestart(int state) {
  return state == psUndefined || state == psStopped || state == psPaused || state == psMediaEnded ||
         state == psReady;
}

// Loads the file when the control holds another one; otherwise starts it
// again (from the start after stop or end, from the position after pause).
void LoadOrRestart(IPlayerControl& control, const std::wstring& fileName) {
  try {
    if (control.URL() != fileName)
      control.SetURL(fileName);  // the control starts it itself: autoStart is on
    else
      control.play();
  } catch (const std::exception&) {
    // A file that cannot be opened now is tried again on the next tick.
  }
}

}  // namespace

void PlayerTick(IPlayerControl* Control, int PlaybackMode, const std::wstring& FileName,
                const std::function<void(const std::wstring&)>& ShowStateText) {
  if (!Control) return;
  // Every read is fresh: the control changes state between them.
  if (ShowStateText) ShowStateText(PlayStateText(Control->playState()));
  switch (PlaybackMode) {
    case pmStop:
      // Held: a stop every tick, whatever the state.
      Control->stop();
      break;
    case pmPlay:
      if (Control->playState() == psPlaying) {
        // Case-sensitive on purpose: another spelling may be another file.
        if (Control->URL() != FileName) Control->SetURL(FileName);
      } else if (MayRestart(Control->playState())) {
        LoadOrRestart(*Control, FileName);
      }
      // Any other state: the control is busy; the next tick looks again.
      break;
    case pmPause:
      if (Control->playState() == psPlaying) Control->pause();
      break;
    default:
      break;
  }
}
