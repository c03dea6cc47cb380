// An icon that owns its handle, and the image list on the common controls.
#include "runtime/Graphics.h"

void TIcon::ReleaseHandle() {
  if (handle_) DestroyIcon(handle_);
  handle_ = nullptr;
}

void TIcon::SetHandle(HICON Icon) {
  if (Icon == handle_) return;
  ReleaseHandle();
  handle_ = Icon;
}

void TIcon::Assign(HICON Icon) {
  SetHandle(Icon ? CopyIcon(Icon) : nullptr);
}

TImageList::TImageList(TComponent* AOwner, int Width, int Height) : TComponent(AOwner) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  handle_ = ImageList_Create(Width, Height, ILC_COLOR32 | ILC_MASK, 4, 4);
}

TImageList::~TImageList() {
  if (handle_) ImageList_Destroy(handle_);
}

int TImageList::Count() const {
  return handle_ ? ImageList_GetImageCount(handle_) : 0;
}

int TImageList::AddIcon(HICON Icon) {
  return handle_ ? ImageList_AddIcon(handle_, Icon) : -1;
}

bool TImageList::GetIcon(int Index, TIcon& Icon) const {
  if (!handle_ || Index < 0 || Index >= Count()) return false;
  HICON icon = ImageList_GetIcon(handle_, Index, ILD_NORMAL);
  if (!icon) return false;
  Icon.SetHandle(icon);
  return true;
}
