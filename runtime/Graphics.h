// Icons and image lists (the tray icon's picture and its animation frames).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "runtime/Classes.h"

// An owned icon handle. Assigning copies the picture.
class TIcon {
 public:
  TIcon() = default;
  ~TIcon() { ReleaseHandle(); }
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  HICON Handle() const { return handle_; }
  bool Empty() const { return handle_ == nullptr; }
  // Takes ownership of Icon.
  void SetHandle(HICON Icon);
  // A copy of Icon; the caller keeps its own.
  void Assign(HICON Icon);
  void Assign(const TIcon& Source) { Assign(Source.Handle()); }

 private:
  void ReleaseHandle();
  HICON handle_ = nullptr;
};

class TImageList : public TComponent {
 public:
  TImageList(TComponent* AOwner, int Width = 16, int Height = 16);
  ~TImageList() override;

  int Count() const;
  int AddIcon(HICON Icon);
  // Puts a copy of image Index into Icon; false when there is no such image.
  bool GetIcon(int Index, TIcon& Icon) const;
  HIMAGELIST Handle() const { return handle_; }

 private:
  HIMAGELIST handle_ = nullptr;
};
