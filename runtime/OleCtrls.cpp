// The container's COM objects (client site, in-place site and frame, event
// sink) and the control's creation, activation and resizing in its window.
#include "runtime/OleCtrls.h"

#include <ocidl.h>

#include "runtime/Forms.h"
#include "runtime/OsExceptionsWin.h"
#include "runtime/UtilWindow.h"

// The site lives as long as its control object; the control's references to
// it are dropped (SetClientSite(null), Close) before that ends.
class TOleSite : public IOleClientSite, public IOleInPlaceSiteEx, public IOleInPlaceFrame {
 public:
  explicit TOleSite(HWND Host) : host_(Host) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite || riid == IID_IOleInPlaceSiteEx)
      // Some controls (and Wine's) activate in place only for the Ex site.
      *out = static_cast<IOleInPlaceSiteEx*>(this);
    else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return refs_ > 1 ? --refs_ : 1; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the site and the frame)
  STDMETHODIMP GetWindow(HWND* wnd) override {
    if (!wnd) return E_POINTER;
    *wnd = host_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (doc) *doc = nullptr;
    if (pos) GetClientRect(host_, pos);
    if (clip) GetClientRect(host_, clip);
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = GetAncestor(host_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override {
    if (noRedraw) *noRedraw = FALSE;
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
  STDMETHODIMP RequestUIActivate() override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, no toolbars.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND host_;
  ULONG refs_ = 1;
};

class TOleEventSink : public IDispatch {
 public:
  TOleEventSink(const IID& Iid, TOleEventHandler Handler)
      : iid_(Iid), handler_(std::move(Handler)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid_) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return refs_ > 1 ? --refs_ : 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    // The control called us: nothing may escape back into it.
    try {
      TOsExceptionScope faults;
      if (handler_) handler_(id, params);
    } catch (...) {
      if (Application) Application->HandleException(nullptr);
    }
    return S_OK;
  }

 private:
  IID iid_;
  TOleEventHandler handler_;
  ULONG refs_ = 1;
};

TOleControl::TOleControl(TComponent* AOwner, TWinControl* AParent, const CLSID& ClassId)
    : TWinControl(AOwner) {
  EnsureWindowClass(L"TOleControl", &TWinControl::ContainerProc, 0, nullptr,
                    static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  CreateHandle(L"TOleControl", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
               AParent ? AParent->ClientWidth() : 0, AParent ? AParent->ClientHeight() : 0,
               AParent);
  site_ = std::make_unique<TOleSite>(Handle());
  OleCheck(CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                            reinterpret_cast<void**>(oleObject_.Put())));
  OleCheck(oleObject_->SetClientSite(site_.get()));
  if (auto init = oleObject_.As<IPersistStreamInit>()) init->InitNew();
  RECT r;
  GetClientRect(Handle(), &r);
  OleCheck(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, Handle(), &r));
}

TOleControl::~TOleControl() {
  if (connection_) connection_->Unadvise(cookie_);
  connection_.Reset();
  if (oleObject_) {
    if (auto inPlace = oleObject_.As<IOleInPlaceObject>()) inPlace->InPlaceDeactivate();
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
    oleObject_.Reset();
  }
}

void TOleControl::ConnectEvents(const IID& EventsIid, TOleEventHandler Handler) {
  auto container = oleObject_.As<IConnectionPointContainer>();
  if (!container) OleCheck(E_NOINTERFACE);
  TComPtr<IConnectionPoint> point;
  OleCheck(container->FindConnectionPoint(EventsIid, point.Put()));
  if (connection_) connection_->Unadvise(cookie_);
  sink_ = std::make_unique<TOleEventSink>(EventsIid, std::move(Handler));
  OleCheck(point->Advise(sink_.get(), &cookie_));
  connection_ = point;
}

void TOleControl::UpdateObjectRects() {
  if (!oleObject_) return;
  RECT r;
  GetClientRect(Handle(), &r);
  if (auto inPlace = oleObject_.As<IOleInPlaceObject>()) inPlace->SetObjectRects(&r, &r);
}

LRESULT TOleControl::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (Msg == WM_SIZE) UpdateObjectRects();
  return TWinControl::WndProc(Msg, wParam, lParam);
}
