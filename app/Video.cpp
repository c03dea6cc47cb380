// The video window: laid over the chosen monitor with the display kept awake,
// and closed only when the program ends or the Windows session does.
#include "app/Video.h"

#include "app/PlayerSettings.h"

TfrmVideo* frmVideo = nullptr;

namespace {

// While the video shows, the display must neither sleep nor give way to the
// screensaver: a kiosk is watched, not worked at.
void KeepDisplayOn(bool On) {
  SetThreadExecutionState(On ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
                             : ES_CONTINUOUS);
}

}  // namespace

TfrmVideo::TfrmVideo(TComponent* AOwner)
    : TForm(AOwner, {L"TfrmVideo", L"Видео", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST, 467, 397}) {
  SetBounds(-646, Top(), Width(), Height());
  WindowsMediaPlayer1 = new TWindowsMediaPlayer(this, this);
  WindowsMediaPlayer1->SetBounds(15, 20, 245, 240);
}

void TfrmVideo::FormCreate(TObject*) {
  std::vector<TMonitor> monitors = TScreen::Monitors();
  if (!monitors.empty()) SetTop(monitors[0].BoundsRect.bottom);
  SetVisible(true);
  KeepDisplayOn(true);
  PlaceOnMonitor(MonitorIndex);
}

void TfrmVideo::PlaceOnMonitor(int Index) {
  std::vector<TMonitor> monitors = TScreen::Monitors();
  if (Index < 0 || Index > static_cast<int>(monitors.size()) - 1) return;
  const RECT& r = monitors[Index].BoundsRect;
  SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TfrmVideo::FormResize(TObject*) {
  if (!Visible() || !WindowsMediaPlayer1) return;
  WindowsMediaPlayer1->SetParent(nullptr);
  WindowsMediaPlayer1->SetBounds(0, 0, ClientWidth(), ClientHeight());
  WindowsMediaPlayer1->SetParent(this);
  WindowsMediaPlayer1->SetStretchToFit(true);
  WindowsMediaPlayer1->SetWindowlessVideo(true);
  WindowsMediaPlayer1->SetUiMode(L"none");
}

void TfrmVideo::FormCloseQuery(TObject*, bool& CanClose) {
  CanClose = MayClose;
}

void TfrmVideo::FormClose(TObject*, TCloseAction& Action) {
  Action = TCloseAction::caFree;
}

void TfrmVideo::FormDestroy(TObject*) {
  SetVisible(false);
  KeepDisplayOn(false);
  if (WindowsMediaPlayer1) {
    WindowsMediaPlayer1->SetParent(nullptr);
    delete WindowsMediaPlayer1;
    WindowsMediaPlayer1 = nullptr;
  }
  if (frmVideo == this) frmVideo = nullptr;
}

LRESULT TfrmVideo::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_QUERYENDSESSION:
      // Playback ends and the window goes before Windows goes on.
      MayClose = true;
      Close();
      if (frmVideo == this) Free(this);
      return 1;
    case WM_ENDSESSION:
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
      break;
    default:
      break;
  }
  return TForm::WndProc(Msg, wParam, lParam);
}
