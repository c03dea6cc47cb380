// The "SMTP" progress window of a delivery: a status line and a progress bar
// in a small topmost window that a thread of its own (TSMTPThread) runs, so
// that it paints while the delivery waits on the network. The delivery
// writes to it by window messages and closes it with the close message.
#pragma once

#include <windows.h>

#include <string>

#include "reporter/delivery/DeliveryFlow.h"

// The message that ends the window: the user-message base + 1234.
inline constexpr UINT kSmtpCloseMessage = WM_USER + 1234;
// How long a delivery waits for the window to take the focus before it goes
// on without it.
inline constexpr DWORD kSmtpWindowFocusWait = 5000;

class TSmtpProgressWindow {
 public:
  TSmtpProgressWindow() = default;
  ~TSmtpProgressWindow() { Close(); }
  TSmtpProgressWindow(const TSmtpProgressWindow&) = delete;
  TSmtpProgressWindow& operator=(const TSmtpProgressWindow&) = delete;

  // Starts the window's thread and waits (polling every 50 ms, at most
  // kSmtpWindowFocusWait) until the window has the focus.
  void Open(bool customStyle, const TSendTexts& texts);
  bool IsOpen() const;
  HWND Handle() const;
  // The recipient being sent to (from 1) and their count; the bar to 0.
  void StartRecipient(int current, int count);
  // "Message 1/2: " + text in the status line (and in the trace).
  void Status(const std::string& text);
  void Progress(int percent);
  // Sends the close message and waits for the thread to end.
  void Close();

 private:
  HANDLE thread_ = nullptr;
  std::string message_ = "Message";
  int current_ = 0;
  int count_ = 0;
};
