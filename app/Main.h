// The settings window, owner of the shared settings' INI file, the tray icon,
// the monitor list, the playback mode and the supervision timer.
#pragma once

#include "runtime/AppEvts.h"
#include "runtime/ExtCtrls.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "runtime/StdCtrls.h"

class TCoolTrayIcon;

// Values of the quit state kept in the window's Tag.
enum : int { qsCreated = 0, qsActivated = 1, QuitRequested = 2 };

class TfrmVPMain : public TForm {
 public:
  explicit TfrmVPMain(TComponent* AOwner);

  TPanel* Panel1;
  TButton* btnPlay;
  TButton* btnStop;
  TButton* btnPause;
  TComboBox* cbxMonitor;
  TLabel* Label3;
  TEdit* edtFileName;
  TButton* btnOpenFile;
  TLabel* Label1;
  TCheckBox* cbxAutorun;
  TButton* btnExit;
  TButton* btnSaveOptions;
  TPopupMenu* mnuPopup;
  TMenuItem* mnuAbout;
  TMenuItem* mnuOptions;
  TMenuItem* N1;
  TMenuItem* mnuExit;
  TTimer* timPlayer;
  TApplicationEvents* ApplicationEvents;

  // 0 Stop, 1 Play, 2 Pause; only the three buttons change it.
  int PlaybackMode = 0;
  TCoolTrayIcon* TrayIcon = nullptr;

  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;
  void FormActivate(TObject* Sender) override;
  void FormClose(TObject* Sender, TCloseAction& Action) override;
  void FormDestroy(TObject* Sender) override;

  void btnPlayClick(TObject* Sender);
  void btnStopClick(TObject* Sender);
  void btnPauseClick(TObject* Sender);
  void cbxMonitorChange(TObject* Sender);
  void btnOpenFileClick(TObject* Sender);
  void cbxAutorunClick(TObject* Sender);
  void btnSaveOptionsClick(TObject* Sender);
  void btnExitClick(TObject* Sender);
  void mnuExitClick(TObject* Sender);
  void mnuOptionsClick(TObject* Sender);
  void mnuAboutClick(TObject* Sender);
  void timPlayerTimer(TObject* Sender);
  void ApplicationEventsMessage(MSG& Msg, bool& Handled);

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void LoadSettings();
  void SaveSettings();
};

extern TfrmVPMain* frmVPMain;
