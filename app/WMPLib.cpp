// The media player control through its COM interfaces: missing properties are skipped, a
// missing pause becomes a stop that resumes there, and stray renderer windows are laid over it.
#include "app/WMPLib.h"

#include <vector>

namespace {

const CLSID kWindowsMediaPlayer = {
    0x6bf52a52, 0x394a, 0x11d3, {0xb1, 0x53, 0x00, 0xc0, 0x4f, 0x79, 0xfa, 0xa6}};
// _WMPOCXEvents.PlayStateChange(NewState).
constexpr DISPID kDispidPlayStateChange = 5101;

// Properties of the control's stored start-up state: where a control lacks
// one it keeps its own default.
void Optional(HRESULT hr) {
  if (hr != E_NOTIMPL) OleCheck(hr);
}

// The caption of a video renderer window that nobody has given an owner.
const wchar_t kRendererCaption[] = L"ActiveMovie Window";

bool IsRendererWindow(HWND wnd) {
  wchar_t caption[64] = {};
  GetWindowTextW(wnd, caption, 64);
  return wcscmp(caption, kRendererCaption) == 0;
}

}  // namespace

TWindowsMediaPlayer::TWindowsMediaPlayer(TComponent* AOwner, TWinControl* AParent)
    : TOleControl(AOwner, AParent, kWindowsMediaPlayer) {
  player_ = Interface<IWMPPlayer4>();
  if (!player_) OleCheck(E_NOINTERFACE);
  ConnectEvents(__uuidof(_WMPOCXEvents), [this](DISPID id, DISPPARAMS* params) {
    if (id != kDispidPlayStateChange || !params || params->cArgs < 1) return;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4)))
      OnPlayStateChange(value.lVal);
    VariantClear(&value);
  });
  TComPtr<IWMPSettings> settings;
  OleCheck(player_->get_settings(settings.Put()));
  OleCheck(settings->put_autoStart(VARIANT_TRUE));
  Optional(settings->put_playCount(1));
  Optional(settings->put_rate(1.0));
  Optional(settings->put_volume(50));
  Optional(settings->put_enableErrorDialogs(VARIANT_FALSE));
  SetUiMode(L"full");
  SetStretchToFit(false);
  SetWindowlessVideo(false);
  Optional(player_->put_enabled(VARIANT_TRUE));
  Optional(player_->put_enableContextMenu(VARIANT_TRUE));
  Optional(player_->put_fullScreen(VARIANT_FALSE));
}

void TWindowsMediaPlayer::OnPlayStateChange(int NewState) {
  lastEventState_ = NewState;
}

std::wstring TWindowsMediaPlayer::URL() {
  TBStr url;
  OleCheck(player_->get_URL(url.Put()));
  return url.Str();
}

void TWindowsMediaPlayer::SetURL(const std::wstring& Value) {
  TBStr url(Value);
  OleCheck(player_->put_URL(url.Get()));
  pausedByStop_ = false;
}

int TWindowsMediaPlayer::playState() {
  WMPPlayState state = wmppsUndefined;
  HRESULT hr = player_->get_playState(&state);
  if (pausedByStop_) return 2;
  if (hr == E_NOTIMPL) return lastEventState_;
  OleCheck(hr);
  return static_cast<int>(state);
}

void TWindowsMediaPlayer::SetUiMode(const std::wstring& Value) {
  TBStr mode(Value);
  Optional(player_->put_uiMode(mode.Get()));
}

void TWindowsMediaPlayer::SetStretchToFit(bool Value) {
  Optional(player_->put_stretchToFit(Value ? VARIANT_TRUE : VARIANT_FALSE));
}

void TWindowsMediaPlayer::SetWindowlessVideo(bool Value) {
  Optional(player_->put_windowlessVideo(Value ? VARIANT_TRUE : VARIANT_FALSE));
}

TWMPControls TWindowsMediaPlayer::controls() {
  TComPtr<IWMPControls> controls;
  OleCheck(player_->get_controls(controls.Put()));
  if (!controls) OleCheck(E_POINTER);
  return TWMPControls(controls, *this);
}

void TWMPControls::play() {
  bool resume = player_.pausedByStop_;
  double position = player_.pausedAt_;
  player_.pausedByStop_ = false;
  OleCheck(controls_->play());
  // A position the control cannot take back means a restart from the start.
  if (resume && position > 0) controls_->put_currentPosition(position);
}

void TWMPControls::stop() {
  player_.pausedByStop_ = false;
  OleCheck(controls_->stop());
}

void TWMPControls::pause() {
  HRESULT hr = controls_->pause();
  if (hr != E_NOTIMPL) {
    OleCheck(hr);
    return;
  }
  double position = -1;
  if (FAILED(controls_->get_currentPosition(&position))) position = -1;
  OleCheck(controls_->stop());
  player_.pausedByStop_ = true;
  player_.pausedAt_ = position;
}

void TWindowsMediaPlayer::AdoptRendererWindows() {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{GetCurrentProcessId(), {}};
  EnumWindows(
      [](HWND wnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        if (pid == s->pid && IsRendererWindow(wnd)) s->found.push_back(wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found.empty()) return;
  // The renderer runs in a thread of its own: it stays a top-level window,
  // frameless, laid over the control and kept directly above the video
  // window in the z-order, so windows brought forward later stay on top.
  RECT r{};
  GetWindowRect(Handle(), &r);
  HWND host = GetAncestor(Handle(), GA_ROOT);
  bool shown = IsWindowVisible(Handle()) != FALSE;
  for (HWND wnd : search.found) {
    UINT flags = SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
    LONG_PTR frameless = style & ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU |
                                                        WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    if (frameless != style) {
      SetWindowLongPtrW(wnd, GWL_STYLE, frameless | WS_POPUP);
      flags |= SWP_FRAMECHANGED;
    }
    HWND above = GetWindow(host, GW_HWNDPREV);
    if (above == wnd) flags |= SWP_NOZORDER;
    SetWindowPos(wnd, above ? above : HWND_TOPMOST, r.left, r.top, r.right - r.left,
                 r.bottom - r.top, flags);
  }
}

LRESULT TWindowsMediaPlayer::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = TOleControl::WndProc(Msg, wParam, lParam);
  if (Msg == WM_SIZE) AdoptRendererWindows();
  return result;
}
