#include "app/WMPLib.h"

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
