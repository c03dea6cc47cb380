// The reporter dialogs' shared look, for every dialog procedure that wants
// it (the exception and request dialogs here, the SMTP progress window of
// e-mail delivery): the three fonts, the caption metric, the style step and
// height adjustment, the grey background, flat buttons, and with
// CustomDialogStyle the frame and caption painted by the dialog itself.
//
// Typical use in a dialog procedure:
//   WM_INITDIALOG: look = std::make_unique<TDialogLook>(dialog, customStyle, true);
//                  look->SetCaption("SMTP.");
//                  SendDlgItemMessageA(dialog, 100, WM_SETFONT, (WPARAM)look->Fonts().Message(),
//                  0);
//   every message: INT_PTR result; if (look && look->Handle(message, wParam, lParam, result))
//                  return result;
//   WM_DESTROY:    look.reset();
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "reporter/dialogs/LookRules.h"

// The faces of the user's default ANSI code page (LookRules.h).
TLookFaces DialogFaces();

// The title, message and fixed fonts; created for a window, deleted with the
// object.
class TDialogFonts {
 public:
  explicit TDialogFonts(HWND window);
  ~TDialogFonts();
  TDialogFonts(const TDialogFonts&) = delete;
  TDialogFonts& operator=(const TDialogFonts&) = delete;

  HFONT Title() const { return title_; }      // the painted caption
  HFONT Message() const { return message_; }  // labels, buttons, boxes, tabs
  HFONT Fixed() const { return fixed_; }      // report contents

 private:
  HFONT title_ = nullptr;
  HFONT message_ = nullptr;
  HFONT fixed_ = nullptr;
};

// The height of a small caption with the custom style, of a normal one
// otherwise.
int DialogCaptionMetric(bool customStyle);

// The style step: the template's tool-window style stays with the custom
// style and goes without it. Returns the caption metric.
int ApplyDialogStyle(HWND dialog, bool customStyle);

// The request and progress windows: height = as created + caption metric -
// 18; position and width unchanged.
void AdjustDialogHeight(HWND dialog, int captionMetric);

// The flat style on or off for the dialog's controls with these ids.
void SetFlatButtons(HWND dialog, std::initializer_list<int> ids, bool flat);

// Frame and caption in the look's colours, the title in `titleFont`.
void PaintDialogFrame(HWND dialog, bool active, const std::string& caption, bool expanded,
                      HFONT titleFont, int captionMetric);

// One dialog's look: the style step (and height adjustment), the fonts and
// the grey brush, and the look's share of the dialog procedure.
class TDialogLook {
 public:
  TDialogLook(HWND dialog, bool customStyle, bool adjustHeight);
  ~TDialogLook();
  TDialogLook(const TDialogLook&) = delete;
  TDialogLook& operator=(const TDialogLook&) = delete;

  const TDialogFonts& Fonts() const { return fonts_; }
  int CaptionMetric() const { return captionMetric_; }
  bool CustomStyle() const { return customStyle_; }

  // The window's text and the painted title.
  void SetCaption(const std::string& caption);
  // The exception dialog's expanded state changes the painted outlines.
  void SetExpanded(bool expanded);
  // Paints the frame again (after a style or size change).
  void RepaintFrame();

  // Colour requests of the dialog and its static controls: with the custom
  // style transparent black text on the grey brush, else null (the system's
  // default).
  HBRUSH Background(HDC dc) const;

  // Call first in the dialog procedure: non-client paint and activation
  // (painted here with the custom style, reported as handled) and colour
  // requests. True when the message was the look's; the procedure then
  // returns `result`.
  bool Handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

 private:
  HWND dialog_;
  bool customStyle_;
  int captionMetric_;
  TDialogFonts fonts_;
  HBRUSH grey_;
  std::string caption_;
  bool expanded_ = false;
  bool active_ = true;
};
