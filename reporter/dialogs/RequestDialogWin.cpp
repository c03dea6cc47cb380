// The request for the steps that led to the error: one multi-line edit, read
// and trimmed when the user closes the dialog.
#include <windows.h>

#include <memory>

#include "reporter/config/ModuleOptions.h"
#include "reporter/config/Trace.h"
#include "reporter/dialogs/DialogLook.h"
#include "reporter/dialogs/DialogPagesWin.h"
#include "reporter/dialogs/ExceptionDialogWin.h"
#include "reporter/report/TextFilters.h"

namespace {

constexpr int idLabel = 100;
constexpr int idSteps = 101;
constexpr int idOk = 2;
constexpr UINT_PTR kPaintTimer = 1;

struct TRequestState {
  const TVexlorModuleOptions* Options = nullptr;
  std::unique_ptr<TDialogLook> Look;
  std::string Steps;
  bool Painted = false;
  DWORD OpenedAt = 0;
};

const std::string& Text(const TVexlorModuleOptions& options, TCustomizedText id) {
  return options.CustomizedTexts()[static_cast<std::size_t>(id)];
}

void Init(HWND dialog, TRequestState& state) {
  const TVexlorModuleOptions& options = *state.Options;
  state.Look = std::make_unique<TDialogLook>(dialog, options.CustomDialogStyle(), true);
  state.Look->SetCaption(Text(options, TCustomizedText::ReproduceCaption));
  SetDlgItemTextA(dialog, idLabel, Text(options, TCustomizedText::ReproduceRequest).c_str());
  SetDlgItemTextA(dialog, idOk, Text(options, TCustomizedText::ReproduceOKButton).c_str());
  const TDialogFonts& fonts = state.Look->Fonts();
  SendDlgItemMessageA(dialog, idLabel, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Message()), TRUE);
  SendDlgItemMessageA(dialog, idOk, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Message()), TRUE);
  SendDlgItemMessageA(dialog, idSteps, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Fixed()), TRUE);
  SetForegroundWindow(dialog);
  state.OpenedAt = GetTickCount();
  SetTimer(dialog, kPaintTimer, 50, nullptr);
}

void Finish(HWND dialog, TRequestState& state) {
  HWND edit = GetDlgItem(dialog, idSteps);
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
  state.Steps = Trim(text);
  EndDialog(dialog, idOk);
}

INT_PTR CALLBACK RequestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      Init(dialog, *reinterpret_cast<TRequestState*>(lParam));
      return TRUE;
    }
    auto* state = reinterpret_cast<TRequestState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!state) return FALSE;
    INT_PTR result = 0;
    if (state->Look && state->Look->Handle(message, wParam, lParam, result)) return result;
    switch (message) {
      case WM_PAINT:
        state->Painted = true;
        return FALSE;
      case WM_TIMER:
        // A request no one can see must not hold the report for ever.
        if (state->Painted) {
          KillTimer(dialog, kPaintTimer);
        } else if (GetTickCount() - state->OpenedAt >= kNotPaintedWaitMs) {
          KillTimer(dialog, kPaintTimer);
          EndDialog(dialog, 0);
        }
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wParam) == idOk) {
          Finish(dialog, *state);
          return TRUE;
        }
        return FALSE;
      case WM_DESTROY:
        KillTimer(dialog, kPaintTimer);
        state->Look.reset();
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    Trace("RequestDialogProc", {"failed", message});
    return FALSE;
  }
}

}  // namespace

std::string ShowRequestDialog(const TVexlorModuleOptions& options) {
  TraceEnter("ShowRequestDialog");
  TRequestState state;
  state.Options = &options;
  DialogBoxParamA(DialogResourceModule(), "REQUEST", nullptr, &RequestDialogProc,
                  reinterpret_cast<LPARAM>(&state));
  TraceExit("ShowRequestDialog", {state.Steps});
  return state.Steps;
}
