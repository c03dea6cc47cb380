// The exception dialog: collapsed (message, buttons, check boxes) or expanded
// (four tab pages, resizable, geometry remembered), and the loop that shows
// it until the user has decided.
#include "reporter/dialogs/ExceptionDialogWin.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptions.h"
#include "reporter/config/Trace.h"
#include "reporter/dialogs/DialogGeometryWin.h"
#include "reporter/dialogs/DialogLayout.h"
#include "reporter/dialogs/DialogLook.h"
#include "reporter/dialogs/DialogPagesWin.h"

namespace {

constexpr int idOk = 2;
constexpr int idTerminate = 3;
constexpr int idDetails = 4;
constexpr int idMessage = 101;
constexpr int idTabs = 1000;
constexpr int idSeparator = 2000;
constexpr int idSend = 3000;
constexpr int idScreenshot = 4000;
constexpr int idCopy = 5000;
constexpr UINT_PTR kPaintTimer = 1;
constexpr UINT kPaintTimerPeriodMs = 50;

const std::string& Text(const TVexlorModuleOptions& options, TCustomizedText id) {
  return options.CustomizedTexts()[static_cast<std::size_t>(id)];
}

struct TDialogState {
  const TExceptionDialogInput* Input = nullptr;
  TExceptionDialogChoice* Choice = nullptr;
  HWND Dialog = nullptr;
  bool Painted = false;
  bool Expanded = false;
  bool ScreenshotOffered = false;
  int CheckBand = 20;
  DWORD OpenedAt = 0;
  std::unique_ptr<TDialogLook> Look;
  TPageContext Pages;
  HBITMAP Monitor = nullptr;
  HWND Page = nullptr;
  // The expanded window's size and place as the user left it.
  TDialogGeometry Geometry;
  bool WidthRemembered = false;

  const TVexlorModuleOptions& Options() const { return *Input->Options; }
};

HWND Item(HWND dialog, int id) {
  return GetDlgItem(dialog, id);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

void SetItemFont(HWND dialog, int id, HFONT font) {
  SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Place(HWND dialog, int id, const TBox& box) {
  if (HWND control = Item(dialog, id)) MoveWindow(control, box.X, box.Y, box.W, box.H, TRUE);
}

void Show(HWND dialog, int id, bool shown) {
  if (HWND control = Item(dialog, id)) ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

int ScreenWidth() {
  return GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight() {
  return GetSystemMetrics(SM_CYSCREEN);
}

void SaveGeometry(TDialogState& state) {
  if (!state.WidthRemembered) return;
  TDialogGeometry stored = state.Geometry;
  stored.Height -= state.CheckBand;
  WriteDialogGeometry(stored);
}

void ShowPage(TDialogState& state, int index) {
  if (state.Page) {
    DestroyWindow(state.Page);
    state.Page = nullptr;
  }
  state.Page = CreateDialogPage(Item(state.Dialog, idTabs), index, state.Pages);
}

// The collapsed window: as large as its message needs, centred.
void Collapse(TDialogState& state) {
  HWND dialog = state.Dialog;
  const TVexlorModuleOptions& options = state.Options();
  SetItemText(dialog, idMessage, state.Input->Message);
  TCollapsedInput input;
  HDC dc = GetDC(Item(dialog, idMessage));
  HGDIOBJ old = SelectObject(dc, state.Look->Fonts().Message());
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  input.LineHeight = metrics.tmHeight;
  auto measure = [&](const std::string& line) {
    SIZE size{};
    GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
    input.LineWidths.push_back(size.cx);
  };
  const std::string& message = state.Input->Message;
  std::size_t start = 0;
  while (start <= message.size()) {
    std::size_t end = message.find('\n', start);
    if (end == std::string::npos) end = message.size();
    std::string line = message.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    measure(line);
    start = end + 1;
  }
  measure(Text(options, TCustomizedText::DialogEmailCheck) + "    " +
          Text(options, TCustomizedText::DialogCopyButton));
  SelectObject(dc, old);
  ReleaseDC(Item(dialog, idMessage), dc);

  input.FrameWidth = GetSystemMetrics(SM_CXFIXEDFRAME);
  input.FrameHeight = GetSystemMetrics(SM_CYFIXEDFRAME);
  input.CaptionMetric = state.Look->CaptionMetric();
  input.CheckBand = state.CheckBand;
  input.ScreenWidth = ScreenWidth();
  input.ScreenHeight = ScreenHeight();
  const TCollapsedLayout layout = CollapsedLayoutFor(input);
  Show(dialog, idTabs, false);
  if (IsZoomed(dialog) || IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
  SetWindowPos(dialog, nullptr, layout.Window.X, layout.Window.Y, layout.Window.W, layout.Window.H,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Place(dialog, idMessage, layout.Message);
}

// The expanded window where the user left it last time.
void Expand(TDialogState& state) {
  HWND dialog = state.Dialog;
  const TVexlorModuleOptions& options = state.Options();
  SetItemText(dialog, idMessage, Text(options, TCustomizedText::DialogErrorMessage));
  const TDialogGeometry geometry =
      ReadDialogGeometry(ScreenWidth(), ScreenHeight(), state.CheckBand);
  // What is saved again if the user changes nothing; the size handler keeps
  // the window's height, check band included.
  state.Geometry = geometry;
  state.Geometry.Height += state.CheckBand;
  state.WidthRemembered = true;
  Show(dialog, idTabs, true);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(dialog, &placement);
  placement.rcNormalPosition = {geometry.Left, geometry.Top, geometry.Left + geometry.Width,
                                geometry.Top + geometry.Height + state.CheckBand};
  placement.showCmd = geometry.State == kShowMaximized   ? SW_SHOWMAXIMIZED
                      : geometry.State == kShowMinimized ? SW_SHOWMINIMIZED
                                                         : SW_SHOWNORMAL;
  SetWindowPlacement(dialog, &placement);
  // Placement alone may keep the old size when the state does not change.
  if (geometry.State != kShowMaximized && geometry.State != kShowMinimized) {
    SetWindowPos(dialog, nullptr, geometry.Left, geometry.Top, geometry.Width,
                 geometry.Height + state.CheckBand, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void ApplyDetails(TDialogState& state) {
  HWND dialog = state.Dialog;
  const TVexlorModuleOptions& options = state.Options();
  const bool custom = state.Look->CustomStyle();
  if (!custom) {
    SetFlatButtons(dialog, {idOk, idTerminate, idDetails, idSend, idScreenshot, idCopy}, false);
  }
  LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
  LONG_PTR expandedStyle = WS_THICKFRAME | WS_MAXIMIZEBOX | (custom ? 0 : WS_SYSMENU);
  style = state.Expanded ? style | expandedStyle : style & ~expandedStyle;
  SetWindowLongPtrA(dialog, GWL_STYLE, style);
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  state.Look->SetExpanded(state.Expanded);
  if (state.Expanded) {
    Expand(state);
  } else {
    Collapse(state);
  }
  SetItemText(
      dialog, idDetails,
      DetailsButtonText(Text(options, TCustomizedText::DialogDetailsButton), state.Expanded));
  state.Look->RepaintFrame();
}

void OnSize(TDialogState& state, WPARAM kind, int cx, int cy) {
  HWND dialog = state.Dialog;
  const TVexlorModuleOptions& options = state.Options();
  const TSizeLayout layout = SizeLayoutFor(cx, cy, state.CheckBand);
  Place(dialog, idTabs, layout.Tabs);
  if (state.Expanded) Place(dialog, idMessage, layout.Message);
  Place(dialog, idOk, layout.OkButton);
  Place(dialog, idTerminate, layout.TerminateButton);
  Place(dialog, idDetails, layout.DetailsButton);
  Show(dialog, idTerminate,
       TerminateButtonShown(options.ShowTerminateButton(), state.Input->ErrorsSoFar,
                            options.TerminateButtonErrors()));
  Show(dialog, idSeparator, false);
  Place(dialog, idSend, layout.SendBox);
  Place(dialog, idCopy, layout.CopyBox);
  Place(dialog, idScreenshot, layout.ScreenshotBox);
  if (state.Expanded) {
    if (kind == SIZE_MAXIMIZED) {
      state.Geometry.State = kShowMaximized;
    } else if (kind == SIZE_MINIMIZED) {
      state.Geometry.State = kShowMinimized;
    } else {
      state.Geometry.State = kShowNormal;
      RECT window{};
      GetWindowRect(dialog, &window);
      state.Geometry.Width = window.right - window.left;
      state.Geometry.Height = window.bottom - window.top;
      state.WidthRemembered = true;
    }
  }
  if (state.Page) FitDialogPage(Item(dialog, idTabs), state.Page);
}

void OnMove(TDialogState& state) {
  if (!state.Expanded || IsZoomed(state.Dialog) || IsIconic(state.Dialog)) return;
  RECT window{};
  GetWindowRect(state.Dialog, &window);
  state.Geometry.Left = window.left;
  state.Geometry.Top = window.top;
}

void InitDialog(TDialogState& state) {
  HWND dialog = state.Dialog;
  const TVexlorModuleOptions& options = state.Options();
  state.Look = std::make_unique<TDialogLook>(dialog, options.CustomDialogStyle(), false);
  state.ScreenshotOffered = options.AttachScreenshot();
  state.CheckBand = CheckBandHeight(state.Input->SendAvailable, state.ScreenshotOffered);
  SetForegroundWindow(dialog);
  state.Expanded = false;

  HINSTANCE module = DialogResourceModule();
  state.Monitor = LoadBitmapA(module, "MONITOR");
  const char* rowBitmaps[4] = {"DLL", "BPL", "VCL", "PAS"};
  for (int i = 0; i < 4; ++i) state.Pages.RowBitmaps[i] = LoadBitmapA(module, rowBitmaps[i]);
  state.Pages.White = CreateSolidBrush(RGB(255, 255, 255));
  state.Pages.Input = state.Input;
  state.Pages.Look = state.Look.get();

  const HFONT message = state.Look->Fonts().Message();
  for (int id : {idMessage, idOk, idTerminate, idDetails, idSend, idScreenshot, idCopy, idTabs}) {
    SetItemFont(dialog, id, message);
  }
  SetItemText(dialog, idOk, Text(options, TCustomizedText::DialogOKButton));
  SetItemText(dialog, idTerminate,
              Text(options, options.TerminateButtonAction() == TTerminateButtonAction::Restart
                                ? TCustomizedText::DialogRestartButton
                                : TCustomizedText::DialogTerminateButton));
  SetItemText(dialog, idSend, Text(options, TCustomizedText::DialogEmailCheck));
  SetItemText(dialog, idScreenshot, Text(options, TCustomizedText::DialogScreenshotCheck));
  SetItemText(dialog, idCopy, Text(options, TCustomizedText::DialogCopyButton));

  const bool emailOn = options.EmailSendMode() != TEmailSendMode::None;
  CheckDlgButton(dialog, idSend, state.Choice->Send ? BST_CHECKED : BST_UNCHECKED);
  if (!state.Input->SendAvailable) {
    Show(dialog, idSend, false);
    Show(dialog, idScreenshot, false);
  }
  if (!state.ScreenshotOffered) Show(dialog, idScreenshot, false);
  CheckDlgButton(dialog, idScreenshot, state.Choice->Screenshot ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(Item(dialog, idScreenshot), emailOn);
  CheckDlgButton(dialog, idCopy, BST_UNCHECKED);

  state.Look->SetCaption(Text(options, TCustomizedText::DialogCaption));
  HWND tabs = Item(dialog, idTabs);
  const TCustomizedText captions[4] = {
      TCustomizedText::DialogGeneralCaption, TCustomizedText::DialogCallStackCaption,
      TCustomizedText::DialogModulesCaption, TCustomizedText::DialogCPUCaption};
  for (int i = 0; i < 4; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    std::string caption = Text(options, captions[i]);
    item.pszText = caption.data();
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  const int page = options.DetailsPageIndex() <= 3 ? options.DetailsPageIndex() : 0;
  SendMessageA(tabs, TCM_SETCURSEL, page, 0);
  SetFocus(Item(dialog, idOk));
  ShowPage(state, page);
  ApplyDetails(state);
  RECT client{};
  GetClientRect(dialog, &client);
  OnSize(state, SIZE_RESTORED, client.right, client.bottom);
  state.OpenedAt = GetTickCount();
  SetTimer(dialog, kPaintTimer, kPaintTimerPeriodMs, nullptr);
}

void OnDestroy(TDialogState& state) {
  HWND dialog = state.Dialog;
  KillTimer(dialog, kPaintTimer);
  state.Choice->Send = IsDlgButtonChecked(dialog, idSend) == BST_CHECKED;
  state.Choice->Screenshot = IsDlgButtonChecked(dialog, idScreenshot) == BST_CHECKED;
  state.Choice->Copy = IsDlgButtonChecked(dialog, idCopy) == BST_CHECKED;
  if (state.Page) {
    DestroyWindow(state.Page);
    state.Page = nullptr;
  }
  if (state.Expanded) SaveGeometry(state);
  for (HBITMAP& bitmap : state.Pages.RowBitmaps) {
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (state.Monitor) DeleteObject(state.Monitor);
  state.Monitor = nullptr;
  if (state.Pages.White) DeleteObject(state.Pages.White);
  state.Pages.White = nullptr;
  state.Pages.Look = nullptr;
  state.Look.reset();
}

// The monitor picture in the corner; its bottom-left pixel's colour is
// transparent.
void OnPaint(TDialogState& state) {
  state.Painted = true;
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(state.Dialog, &paint);
  if (state.Monitor) {
    BITMAP info{};
    GetObjectA(state.Monitor, sizeof info, &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, state.Monitor);
    const COLORREF transparent = GetPixel(source, 0, info.bmHeight - 1);
    GdiTransparentBlt(dc, 8, 8, info.bmWidth, info.bmHeight, source, 0, 0, info.bmWidth,
                      info.bmHeight, transparent);
    SelectObject(source, old);
    DeleteDC(source);
  }
  EndPaint(state.Dialog, &paint);
}

INT_PTR OnCommand(TDialogState& state, int id, int code) {
  HWND dialog = state.Dialog;
  switch (id) {
    case idOk:
      EndDialog(dialog, idOk);
      return TRUE;
    case idTerminate:
      state.Choice->Terminate = true;
      EndDialog(dialog, idTerminate);
      return TRUE;
    case idDetails:
      if (state.Expanded) SaveGeometry(state);
      state.Expanded = !state.Expanded;
      InvalidateRect(dialog, nullptr, TRUE);
      ApplyDetails(state);
      return TRUE;
    case idSend:
      if (code == BN_CLICKED) {
        EnableWindow(Item(dialog, idScreenshot), IsDlgButtonChecked(dialog, idSend) == BST_CHECKED);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR Dispatch(TDialogState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = 0;
  if (state.Look && state.Look->Handle(message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_TIMER:
      if (wParam == kPaintTimer) {
        if (state.Painted) {
          KillTimer(state.Dialog, kPaintTimer);
        } else if (GetTickCount() - state.OpenedAt >= kNotPaintedWaitMs) {
          // Never painted after a generous wait: no one can see it.
          KillTimer(state.Dialog, kPaintTimer);
          EndDialog(state.Dialog, 0);
        }
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      return OnCommand(state, LOWORD(wParam), HIWORD(wParam));
    case WM_SIZE:
      OnSize(state, wParam, LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_MOVE:
      OnMove(state);
      return TRUE;
    case WM_PAINT:
      OnPaint(state);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == idTabs && header->code == TCN_SELCHANGE) {
        ShowPage(state, static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      OnDestroy(state);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK ExceptionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* state = reinterpret_cast<TDialogState*>(lParam);
      state->Dialog = dialog;
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitDialog(*state);
      return FALSE;  // the focus is set
    }
    auto* state = reinterpret_cast<TDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!state) return FALSE;
    return Dispatch(*state, message, wParam, lParam);
  } catch (...) {
    // Nothing may leave a window procedure; the dialog goes on as it can.
    Trace("ExceptionDialogProc", {"failed", message});
    return FALSE;
  }
}

void RegisterCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
}

}  // namespace

bool ShowDialog(const TExceptionDialogInput& input, TExceptionDialogChoice& choice,
                const std::function<bool()>& confirmTerminate) {
  TraceEnter("ShowDialog");
  HWND foreground = GetForegroundWindow();
  MessageBeep(MB_ICONHAND);
  RegisterCommonControls();
  bool reached = false;
  bool painted = false;
  for (;;) {
    TDialogState state;
    state.Input = &input;
    state.Choice = &choice;
    choice.Terminate = false;
    DialogBoxParamA(DialogResourceModule(), "DIALOG", nullptr, &ExceptionDialogProc,
                    reinterpret_cast<LPARAM>(&state));
    painted = state.Painted;
    reached = reached || painted;
    if (!painted) {
      const int answer =
          MessageBoxA(nullptr, input.Message.c_str(),
                      Text(*input.Options, TCustomizedText::DialogCaption).c_str(),
                      MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST | MB_SERVICE_NOTIFICATION);
      reached = reached || answer != 0;
    }
    if (choice.Terminate && confirmTerminate && !confirmTerminate()) {
      choice.Terminate = false;
      continue;  // a handler cancelled the end: the user decides again
    }
    break;
  }
  if (!painted) {
    ReportInternalWarning(TVexlorLogErrorCode::eeShowError, "Cannot show the DialogBox window.");
  }
  if (foreground) SetForegroundWindow(foreground);
  TraceExit("ShowDialog", {reached});
  return reached;
}
