// The exception dialog's tab pages and the Call Stack rows' message to an
// IDE add-in.
#include "reporter/dialogs/DialogPagesWin.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "reporter/config/ModuleOptions.h"
#include "reporter/config/Trace.h"
#include "reporter/dialogs/DialogGeometryWin.h"
#include "reporter/pipeline/ReporterStateWin.h"

namespace {

constexpr int idLabel = 102;
constexpr int idContent = 103;

constexpr const char* kTemplates[4] = {"TAB_MEMO", "TAB_LIST", "TAB_LIST1", "TAB_MEMO1"};
constexpr TCustomizedText kLabels[4] = {
    TCustomizedText::DialogGeneralHeader, TCustomizedText::DialogCallStackHeader,
    TCustomizedText::DialogModulesHeader, TCustomizedText::DialogCPUHeader};

struct TListColumns {
  const char* KeyPrefix;
  TCustomizedText Labels[6];
  int Defaults[6];
  int Formats[6];
};
const TListColumns kStackColumns = {
    "Col",
    {TCustomizedText::CallStackAddress, TCustomizedText::CallStackModule,
     TCustomizedText::CallStackUnit, TCustomizedText::CallStackClass,
     TCustomizedText::CallStackProcedure, TCustomizedText::CallStackLine},
    {80, 102, 105, 118, 137, 48},
    {LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT}};
const TListColumns kModuleColumns = {
    "ColMod",
    {TCustomizedText::ModulesHandle, TCustomizedText::ModulesName,
     TCustomizedText::ModulesDescription, TCustomizedText::ModulesVersion,
     TCustomizedText::ModulesSize, TCustomizedText::ModulesPath},
    {80, 100, 130, 65, 65, 150},
    {LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_LEFT}};

struct TPageState {
  TPageContext* Context = nullptr;
  int Index = 0;
};

bool IsList(int index) {
  return index == dpCallStack || index == dpModules;
}

const TListColumns& ColumnsOf(int index) {
  return index == dpCallStack ? kStackColumns : kModuleColumns;
}

const std::string& Text(const TPageContext& context, TCustomizedText id) {
  return context.Input->Options->CustomizedTexts()[static_cast<std::size_t>(id)];
}

// The first column holds a pointer-wide hex number after its row image.
int AddressColumnWidth(HWND list, HFONT font) {
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, "0000000000000000", 16, &size);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  return size.cx + 16 + 14;
}

void FillList(HWND page, TPageState& state) {
  TPageContext& context = *state.Context;
  HWND list = GetDlgItem(page, idContent);
  const TListColumns& columns = ColumnsOf(state.Index);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageA(list, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
  SendMessageA(list, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
  SendMessageA(list, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));

  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 4);
  for (HBITMAP bitmap : context.RowBitmaps) {
    // Adding with a mask blackens the masked pixels: add a copy.
    HBITMAP copy =
        bitmap ? static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))
               : nullptr;
    if (!copy) continue;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    const COLORREF transparent = GetPixel(dc, 0, 15);
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_AddMasked(images, copy, transparent);
    DeleteObject(copy);
  }
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));

  const int addressWidth = AddressColumnWidth(list, context.Look->Fonts().Fixed());
  for (int i = 0; i < 6; ++i) {
    int fallback = columns.Defaults[i];
    if (i == 0) fallback = std::max(fallback, addressWidth);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = columns.Formats[i];
    column.cx = IniNumber(ReadDialogValue(columns.KeyPrefix + std::to_string(i)), fallback);
    std::string label = Text(context, columns.Labels[i]);
    column.pszText = label.data();
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  const auto& rows =
      state.Index == dpCallStack ? context.Input->StackRows : context.Input->ModuleRows;
  SendMessageA(list, LVM_SETITEMCOUNT, rows.size(), 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(r);
    item.iImage = rows[r].Image;
    std::string first = rows[r].Cells[0];
    item.pszText = first.data();
    const int at =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = 1; c < 6; ++c) {
      LVITEMA cell{};
      cell.iSubItem = c;
      std::string text = rows[r].Cells[static_cast<std::size_t>(c)];
      cell.pszText = text.data();
      SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&cell));
    }
  }
}

void StoreColumnWidths(HWND page, const TPageState& state) {
  HWND list = GetDlgItem(page, idContent);
  const TListColumns& columns = ColumnsOf(state.Index);
  for (int i = 0; i < 6; ++i) {
    const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    if (width > 0) WriteDialogValue(columns.KeyPrefix + std::to_string(i), std::to_string(width));
  }
}

void Activate(const TPageState& state, int row) {
  const auto& rows = state.Context->Input->StackRows;
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
  const TDialogRow& chosen = rows[static_cast<std::size_t>(row)];
  // Only a row that names a line can take the IDE there.
  if (chosen.Cells[5].empty()) return;
  SendRowToAddIn(chosen.Unit, chosen.Line);
}

constexpr const char* kListProcProperty = "VexlorListProc";

bool IsEnterKey(UINT message, WPARAM key) {
  return (message == WM_KEYDOWN && key == VK_RETURN) || (message == WM_CHAR && key == '\r');
}

// Enter in the Call Stack list activates its focused row, as a double-click
// does. The dialog manager gives Enter to the default button (OK, which ends
// the dialog) unless the focused control asks for the key, so the list asks
// for it and answers it here. The list view is a Unicode window: a W
// procedure leaves its messages as they are.
LRESULT CALLBACK StackListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropA(list, kListProcProperty));
  if (!original) return DefWindowProcW(list, message, wParam, lParam);
  try {
    switch (message) {
      case WM_GETDLGCODE: {
        const LRESULT code = CallWindowProcW(original, list, message, wParam, lParam);
        const auto* asked = reinterpret_cast<const MSG*>(lParam);
        return asked && IsEnterKey(asked->message, asked->wParam) ? code | DLGC_WANTALLKEYS : code;
      }
      case WM_KEYDOWN:
      case WM_CHAR:
        if (!IsEnterKey(message, wParam)) break;
        if (message == WM_KEYDOWN) {
          const auto* state =
              reinterpret_cast<const TPageState*>(GetWindowLongPtrA(GetParent(list), DWLP_USER));
          if (state) {
            Activate(*state,
                     static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED)));
          }
        }
        return 0;  // the list's own search would take the Enter character for a letter
      case WM_NCDESTROY:
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(list, kListProcProperty);
        break;
      default:
        break;
    }
  } catch (...) {
    Trace("DialogStackList", {"failed", message});
  }
  return CallWindowProcW(original, list, message, wParam, lParam);
}

void HookStackList(HWND list) {
  const auto original = GetWindowLongPtrW(list, GWLP_WNDPROC);
  if (!original || !SetPropA(list, kListProcProperty, reinterpret_cast<HANDLE>(original))) return;
  SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StackListProc));
}

void InitPage(HWND page, TPageState& state) {
  TPageContext& context = *state.Context;
  const TDialogFonts& fonts = context.Look->Fonts();
  SetDlgItemTextA(page, idLabel, Text(context, kLabels[state.Index]).c_str());
  SendDlgItemMessageA(page, idLabel, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Message()), TRUE);
  SendDlgItemMessageA(page, idContent, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Fixed()), TRUE);
  if (IsList(state.Index)) {
    FillList(page, state);
    if (state.Index == dpCallStack) HookStackList(GetDlgItem(page, idContent));
  } else {
    SendDlgItemMessageA(page, idContent, EM_SETLIMITTEXT, 0, 0);
    const std::string& text =
        state.Index == dpGeneral ? context.Input->GeneralText : context.Input->CPUText;
    SetDlgItemTextA(page, idContent, text.c_str());
  }
}

INT_PTR PageDispatch(HWND page, TPageState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      // The report's text is always black on white, whatever the look.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == idContent) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, OPAQUE);
        return reinterpret_cast<INT_PTR>(state.Context->White);
      }
      return reinterpret_cast<INT_PTR>(state.Context->Look->Background(dc));
    }
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(
          state.Context->Look->Background(reinterpret_cast<HDC>(wParam)));
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (state.Index == dpCallStack && header->idFrom == idContent &&
          header->code == LVN_ITEMACTIVATE) {
        Activate(state, reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      if (IsList(state.Index)) StoreColumnWidths(page, state);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(page, DWLP_USER, lParam);
      InitPage(page, *reinterpret_cast<TPageState*>(lParam));
      return FALSE;
    }
    auto* state = reinterpret_cast<TPageState*>(GetWindowLongPtrA(page, DWLP_USER));
    if (!state) return FALSE;
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(page, DWLP_USER, 0);
      delete state;
      return FALSE;
    }
    return PageDispatch(page, *state, message, wParam, lParam);
  } catch (...) {
    Trace("DialogPageProc", {"failed", message});
    return FALSE;
  }
}

}  // namespace

HINSTANCE DialogResourceModule() {
  return reinterpret_cast<HINSTANCE>(ReporterModuleHandle());
}

HWND CreateDialogPage(HWND tabs, int index, TPageContext& context) {
  if (index < 0 || index > 3) index = 0;
  auto state = std::make_unique<TPageState>();
  state->Context = &context;
  state->Index = index;
  HWND page = CreateDialogParamA(DialogResourceModule(), kTemplates[index], tabs, &PageProc,
                                 reinterpret_cast<LPARAM>(state.get()));
  if (!page) return nullptr;
  state.release();  // the page frees it when it is destroyed
  FitDialogPage(tabs, page);
  ShowWindow(page, SW_SHOW);
  return page;
}

void FitDialogPage(HWND tabs, HWND page) {
  RECT area{};
  GetClientRect(tabs, &area);
  SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  const TPageLayout layout = PageLayoutFor({area.left, area.top, area.right, area.bottom});
  MoveWindow(page, layout.Page.X, layout.Page.Y, layout.Page.W, layout.Page.H, TRUE);
  if (HWND content = GetDlgItem(page, idContent)) {
    MoveWindow(content, layout.Content.X, layout.Content.Y, layout.Content.W, layout.Content.H,
               TRUE);
  }
}

bool SendRowToAddIn(const std::string& unit, int line) {
  HANDLE slot = CreateFileA(kMailSlotName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (slot == INVALID_HANDLE_VALUE) return false;
  const auto record = MailSlotRecord(unit, line);
  DWORD written = 0;
  const bool whole =
      WriteFile(slot, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
      written == record.size();
  CloseHandle(slot);
  return whole;
}
