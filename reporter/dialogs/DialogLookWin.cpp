// The dialog look on Win32: fonts from the system's metrics and the user's
// code page, the style step, and the frame painted in the window's DC.
#include "reporter/dialogs/DialogLook.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

COLORREF Rgb(TLookColour colour) {
  return RGB(colour.R, colour.G, colour.B);
}

RECT ToRect(const TLookRect& rect) {
  return {rect.Left, rect.Top, rect.Right, rect.Bottom};
}

NONCLIENTMETRICSA NonClientMetrics() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // An older system knows the structure without its last field.
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  }
  return metrics;
}

void Fill(HDC dc, const TLookRect& rect, TLookColour colour) {
  HBRUSH brush = CreateSolidBrush(Rgb(colour));
  const RECT r = ToRect(rect);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Outline(HDC dc, const TLookRect& rect, TLookColour colour) {
  HBRUSH brush = CreateSolidBrush(Rgb(colour));
  const RECT r = ToRect(rect);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

TLookFaces DialogFaces() {
  char codePage[16] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, codePage, sizeof codePage);
  CHARSETINFO info{};
  const auto page = static_cast<std::uintptr_t>(std::strtoul(codePage, nullptr, 10));
  unsigned charset = kAnsiCharset + 1;  // unknown: not Western
  if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(page), &info, TCI_SRCCODEPAGE)) {
    charset = info.ciCharset;
  }
  return FacesForCharset(charset);
}

TDialogFonts::TDialogFonts(HWND window) {
  const TLookFaces faces = DialogFaces();
  const NONCLIENTMETRICSA metrics = NonClientMetrics();
  title_ = CreateFontA(metrics.lfCaptionFont.lfHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY,
                       VARIABLE_PITCH | FF_ROMAN, faces.Proportional.c_str());
  message_ = CreateFontIndirectA(&metrics.lfMessageFont);
  HDC dc = GetDC(window);
  const int pixelsPerInch = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(window, dc);
  fixed_ = CreateFontA(FixedFontHeight(faces.FixedPoints, pixelsPerInch), 0, 0, 0, FW_NORMAL, FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DRAFT_QUALITY, FIXED_PITCH | FF_MODERN, faces.Fixed.c_str());
}

TDialogFonts::~TDialogFonts() {
  for (HFONT font : {title_, message_, fixed_}) {
    if (font) DeleteObject(font);
  }
}

int DialogCaptionMetric(bool customStyle) {
  return GetSystemMetrics(customStyle ? SM_CYSMCAPTION : SM_CYCAPTION);
}

int ApplyDialogStyle(HWND dialog, bool customStyle) {
  if (!customStyle) {
    const LONG_PTR style = GetWindowLongPtrA(dialog, GWL_EXSTYLE);
    SetWindowLongPtrA(dialog, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return DialogCaptionMetric(customStyle);
}

void AdjustDialogHeight(HWND dialog, int captionMetric) {
  RECT window{};
  GetWindowRect(dialog, &window);
  SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left,
               AdjustedDialogHeight(window.bottom - window.top, captionMetric),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFlatButtons(HWND dialog, std::initializer_list<int> ids, bool flat) {
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) continue;
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    SetWindowLongPtrA(control, GWL_STYLE,
                      flat ? style | BS_FLAT : style & ~static_cast<LONG_PTR>(BS_FLAT));
    InvalidateRect(control, nullptr, TRUE);
  }
}

void PaintDialogFrame(HWND dialog, bool active, const std::string& caption, bool expanded,
                      HFONT titleFont, int captionMetric) {
  RECT window{};
  GetWindowRect(dialog, &window);
  const bool sizing = (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_THICKFRAME) != 0;
  const TFrameLayout layout = FrameLayoutFor(
      window.right - window.left, window.bottom - window.top,
      GetSystemMetrics(sizing ? SM_CXSIZEFRAME : SM_CXFIXEDFRAME),
      GetSystemMetrics(sizing ? SM_CYSIZEFRAME : SM_CYFIXEDFRAME), captionMetric, expanded);
  const TFrameColours colours = FrameColoursFor(active);
  HDC dc = GetWindowDC(dialog);
  if (!dc) return;
  for (const TGradientStep& step : CaptionGradient(layout.Caption, colours.CaptionStart)) {
    Fill(dc, step.Rect, step.Colour);
  }
  for (const TLookRect& outline : layout.Outlines) Outline(dc, outline, colours.Border);
  for (const TLookRect& band : layout.FrameBands) Fill(dc, band, colours.Frame);

  HGDIOBJ oldFont = SelectObject(dc, titleFont);
  SetBkMode(dc, TRANSPARENT);
  auto title = [&](int left, TLookColour colour) {
    RECT box = ToRect(layout.TitleBox);
    box.left = left;
    SetTextColor(dc, Rgb(colour));
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  };
  if (colours.Shadow) title(layout.TitleLeft + 1, colours.ShadowColour);
  title(layout.TitleLeft, colours.Title);
  SelectObject(dc, oldFont);
  ReleaseDC(dialog, dc);
}

TDialogLook::TDialogLook(HWND dialog, bool customStyle, bool adjustHeight)
    : dialog_(dialog),
      customStyle_(customStyle),
      captionMetric_(ApplyDialogStyle(dialog, customStyle)),
      fonts_(dialog),
      grey_(CreateSolidBrush(Rgb(kLookBackground))) {
  if (adjustHeight) AdjustDialogHeight(dialog, captionMetric_);
}

TDialogLook::~TDialogLook() {
  if (grey_) DeleteObject(grey_);
}

void TDialogLook::SetCaption(const std::string& caption) {
  caption_ = caption;
  SetWindowTextA(dialog_, caption.c_str());
  RepaintFrame();
}

void TDialogLook::SetExpanded(bool expanded) {
  expanded_ = expanded;
}

void TDialogLook::RepaintFrame() {
  if (customStyle_) RedrawWindow(dialog_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

HBRUSH TDialogLook::Background(HDC dc) const {
  if (!customStyle_) return nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  return grey_;
}

bool TDialogLook::Handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  (void)lParam;
  switch (message) {
    case WM_NCACTIVATE:
    case WM_NCPAINT:
      if (!customStyle_) return false;
      if (message == WM_NCACTIVATE) active_ = wParam != 0;
      PaintDialogFrame(dialog_, active_, caption_, expanded_, fonts_.Title(), captionMetric_);
      // Handled: the system draws no frame or caption of its own.
      SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
      result = TRUE;
      return true;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush = Background(reinterpret_cast<HDC>(wParam))) {
        result = reinterpret_cast<INT_PTR>(brush);
        return true;
      }
      return false;
    default:
      return false;
  }
}
