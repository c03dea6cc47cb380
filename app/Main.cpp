// The settings window built in code: its controls and tray menu, the settings
// kept in the INI file, and the timer that hands each tick to the supervision.
#include "app/Main.h"

#include "app/Autorun.h"
#include "app/MonitorNames.h"
#include "app/PlayerSettings.h"
#include "app/Supervision.h"
#include "app/TestHooks.h"
#include "app/VersionText.h"
#include "app/Video.h"
#include "runtime/Dialogs.h"
#include "runtime/IniFilesWin.h"
#include "tray/CoolTrayIcon.h"

TfrmVPMain* frmVPMain = nullptr;

namespace {

const wchar_t kFileFilter[] = L"Файлы с видео|*.avi;*.wmv;|Списки воспроизведения|*.wpl;";

}  // namespace

TfrmVPMain::TfrmVPMain(TComponent* AOwner)
    : TForm(AOwner, {L"TfrmVPMain", L"Kiravane Player", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                     WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT, 580, 164}) {
  using F = TfrmVPMain;
  auto on = [this](void (F::*method)(TObject*)) {
    return TNotifyEvent([this, method](TObject* sender) { (this->*method)(sender); });
  };
  Panel1 = new TPanel(this, this, 0, 0, 580, 46);
  btnPlay = new TButton(this, Panel1, L"Воспр", 8, 10, 80, 26);
  btnStop = new TButton(this, Panel1, L"Стоп", 94, 10, 80, 26);
  btnPause = new TButton(this, Panel1, L"Пауза", 180, 10, 80, 26);
  cbxMonitor = new TComboBox(this, Panel1, 372, 12, 200, 24);
  Label3 = new TLabel(this, this, L"Видео файл", 8, 56, 200, 16);
  edtFileName = new TEdit(this, this, 8, 74, 468, 24);
  btnOpenFile = new TButton(this, this, L"Выбрать...", 484, 73, 88, 26);
  Label1 = new TLabel(this, this, L"", 8, 106, 300, 16);
  cbxAutorun = new TCheckBox(this, this, L"Запуск при старте Windows", 8, 132, 230, 22);
  btnExit = new TButton(this, this, L"Завершить программу", 246, 130, 160, 26);
  btnSaveOptions = new TButton(this, this, L"Сохранить настройки", 412, 130, 160, 26);

  mnuPopup = new TPopupMenu(this);
  mnuAbout = new TMenuItem(this);
  mnuAbout->Caption = L"О программе...";
  mnuOptions = new TMenuItem(this);
  mnuOptions->Caption = L"Параметры программы";
  mnuOptions->Default = true;
  N1 = new TMenuItem(this);
  N1->Caption = L"-";
  mnuExit = new TMenuItem(this);
  mnuExit->Caption = L"Завершить";
  for (TMenuItem* item : {mnuAbout, mnuOptions, N1, mnuExit}) mnuPopup->Items()->Add(item);

  timPlayer = new TTimer(this);
  timPlayer->SetInterval(1000);
  ApplicationEvents = new TApplicationEvents(this);

  btnPlay->OnClick = on(&F::btnPlayClick);
  btnStop->OnClick = on(&F::btnStopClick);
  btnPause->OnClick = on(&F::btnPauseClick);
  cbxMonitor->OnChange = on(&F::cbxMonitorChange);
  btnOpenFile->OnClick = on(&F::btnOpenFileClick);
  cbxAutorun->OnClick = on(&F::cbxAutorunClick);
  btnExit->OnClick = on(&F::btnExitClick);
  btnSaveOptions->OnClick = on(&F::btnSaveOptionsClick);
  mnuAbout->OnClick = on(&F::mnuAboutClick);
  mnuOptions->OnClick = on(&F::mnuOptionsClick);
  mnuExit->OnClick = on(&F::mnuExitClick);
  timPlayer->OnTimer = on(&F::timPlayerTimer);
  ApplicationEvents->OnMessage = [this](MSG& msg, bool& handled) {
    ApplicationEventsMessage(msg, handled);
  };
}

void TfrmVPMain::FormCreate(TObject*) {
  SetCaption(Application->Title());

  TrayIcon = new TCoolTrayIcon(nullptr);
  TrayIcon->SetIcon(Application->Icon());
  TrayIcon->SetPopupMenu(mnuPopup);
  TrayIcon->SetHint(Application->Title());
  TrayIcon->SetShowHint(true);
  TrayIcon->SetIconVisible(true);

  std::vector<bool> primary;
  for (const TMonitor& monitor : TScreen::Monitors()) primary.push_back(monitor.Primary);
  for (const std::wstring& name : MonitorNames(primary)) cbxMonitor->AddItem(name);
  cbxMonitor->Tag = 1;

  LoadSettings();
  PlaybackMode = pmPlay;
}

void TfrmVPMain::FormShow(TObject*) {
  edtFileName->SetText(FileName);
  cbxMonitor->Tag = 0;
  try {
    cbxMonitor->SetItemIndex(MonitorIndex);
  } catch (...) {
    // A stored index the list cannot show leaves it without a selection.
  }
  cbxMonitor->Tag = 1;
  cbxAutorun->SetChecked(IsAutorunEnabled());
}

void TfrmVPMain::FormActivate(TObject*) {
  if (Tag == qsCreated) Tag = qsActivated;
}

void TfrmVPMain::FormClose(TObject*, TCloseAction& Action) {
  if (Tag != QuitRequested) {
    // Closing only hides: the program goes on in the tray.
    Action = TCloseAction::caNone;
    Hide();
    return;
  }
  if (frmVideo) frmVideo->MayClose = true;
  Action = TCloseAction::caFree;
}

void TfrmVPMain::FormDestroy(TObject*) {
  delete TrayIcon;
  TrayIcon = nullptr;
}

void TfrmVPMain::btnPlayClick(TObject*) {
  PlaybackMode = pmPlay;
}
void TfrmVPMain::btnStopClick(TObject*) {
  PlaybackMode = pmStop;
}
void TfrmVPMain::btnPauseClick(TObject*) {
  PlaybackMode = pmPause;
}

void TfrmVPMain::cbxMonitorChange(TObject*) {
  if (cbxMonitor->Tag == 0) return;
  // After a cancelled shutdown the video window is gone for good; there is
  // nothing left to move.
  if (!frmVideo) return;
  frmVideo->SetVisible(true);
  frmVideo->PlaceOnMonitor(cbxMonitor->ItemIndex());
  btnSaveOptions->SetEnabled(true);
}

void TfrmVPMain::btnOpenFileClick(TObject*) {
  TOpenDialog dialog(nullptr);
  dialog.Filter = kFileFilter;
  if (dialog.Execute(Handle())) {
    edtFileName->SetText(dialog.FileName);
    btnSaveOptions->SetEnabled(true);
  }
}

void TfrmVPMain::cbxAutorunClick(TObject*) {
  btnSaveOptions->SetEnabled(true);
}

void TfrmVPMain::btnSaveOptionsClick(TObject*) {
  FileName = edtFileName->Text();
  MonitorIndex = cbxMonitor->ItemIndex();
  SetAutorun(cbxAutorun->Checked());
  SaveSettings();
  btnSaveOptions->SetEnabled(false);
}

void TfrmVPMain::btnExitClick(TObject* Sender) {
  mnuExitClick(Sender);
}

void TfrmVPMain::mnuExitClick(TObject*) {
  Tag = QuitRequested;
  Close();
}

void TfrmVPMain::mnuOptionsClick(TObject*) {
  Show();
}

void TfrmVPMain::mnuAboutClick(TObject*) {
  ::MessageBoxW(Handle(), AboutText(Caption(), GetVersionText()).c_str(), L"О программе",
                MB_OK | MB_ICONINFORMATION);
}

void TfrmVPMain::timPlayerTimer(TObject*) {
  TestHookTimerTick();
  if (!frmVideo || !frmVideo->WindowsMediaPlayer1) return;
  TWindowsMediaPlayerControl control(*frmVideo->WindowsMediaPlayer1);
  PlayerTick(&control, PlaybackMode, FileName,
             [this](const std::wstring& text) { Label1->SetCaption(text); });
  // A newly opened file may have brought a renderer window of its own.
  frmVideo->WindowsMediaPlayer1->AdoptRendererWindows();
}

void TfrmVPMain::ApplicationEventsMessage(MSG& Msg, bool& Handled) {
  if (Msg.message != WM_QUERYENDSESSION) return;
  ::MessageBoxW(nullptr, L"Application: QueryEndSession", L"start", MB_OK);
  Handled = true;
}

LRESULT TfrmVPMain::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_QUERYENDSESSION:
      return 1;
    case WM_ENDSESSION:
      Tag = QuitRequested;
      Close();
      return 0;
    default:
      return TForm::WndProc(Msg, wParam, lParam);
  }
}

void TfrmVPMain::LoadSettings() {
  TIniFile ini(SettingsFileFor(ExePath()));
  ReadPlayerSettings(ini);
}

void TfrmVPMain::SaveSettings() {
  TIniFile ini(SettingsFileFor(ExePath()));
  WritePlayerSettings(ini);
}
