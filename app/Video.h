// The video window: borderless, on top, covering one whole monitor, with the
// media player control filling it. It refuses to close until the program
// ends or Windows shuts down.
#pragma once

#include "app/WMPLib.h"
#include "runtime/Forms.h"

class TfrmVideo : public TForm {
 public:
  explicit TfrmVideo(TComponent* AOwner);

  TWindowsMediaPlayer* WindowsMediaPlayer1 = nullptr;
  bool MayClose = false;

  // Covers monitor Index (system order) whole; an index outside the list
  // leaves the window where it is.
  void PlaceOnMonitor(int Index);

  void FormCreate(TObject* Sender) override;
  void FormResize(TObject* Sender) override;
  void FormCloseQuery(TObject* Sender, bool& CanClose) override;
  void FormClose(TObject* Sender, TCloseAction& Action) override;
  void FormDestroy(TObject* Sender) override;

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;
};

// The shared reference to the video window; null once it is destroyed.
extern TfrmVideo* frmVideo;
