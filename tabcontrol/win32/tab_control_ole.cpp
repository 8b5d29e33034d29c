// The OLE side of TabControl: siting, in-place activation, persistence of
// the design-time settings, connection points and class information.
#include <cstring>

#include "corvane/ids.h"
#include "guids.h"
#include "module.h"
#include "tab_control.h"
#include "tab_view.h"

namespace corvane::win {
namespace {

// The persisted design-time state: the paint manager settings and the extent.
// The tabs are not persisted: the container fills them at run time.
constexpr uint32_t kStreamMagic = 0x43545643;  // "CVTC"
constexpr uint16_t kStreamVersion = 1;

// Bits of StreamData::flags.
constexpr uint32_t kShowIcons = 1;
constexpr uint32_t kBoldSelected = 2;
constexpr uint32_t kHotTracking = 4;
constexpr uint32_t kDisableLunaColors = 8;
constexpr uint32_t kHasButtonSelected = 16;
constexpr uint32_t kHasButtonNormal = 32;

#pragma pack(push, 1)
struct StreamData {
    uint32_t magic;
    uint16_t version;
    uint16_t reserved;
    int32_t appearance;
    int32_t color;
    uint32_t flags;
    uint32_t buttonSelected;
    uint32_t buttonNormal;
    int32_t extentCx;
    int32_t extentCy;
};
#pragma pack(pop)

}  // namespace

// --- IOleObject

HRESULT TabControl::SetClientSite(IOleClientSite* pClientSite) {
    if (!pClientSite && view_) InPlaceDeactivate();
    site_ = ComPtr<IOleClientSite>(pClientSite);
    return S_OK;
}

HRESULT TabControl::GetClientSite(IOleClientSite** ppClientSite) {
    if (!ppClientSite) return E_POINTER;
    *ppClientSite = site_.copy();
    return S_OK;
}

HRESULT TabControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT TabControl::Close(DWORD dwSaveOption) {
    ComPtr<TabControl> keep(this);
    InPlaceDeactivate();
    if (dwSaveOption == OLECLOSE_SAVEIFDIRTY && dirty_ && site_) site_->SaveObject();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT TabControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT TabControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT TabControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT TabControl::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    if (ppDataObject) *ppDataObject = nullptr;
    return E_NOTIMPL;
}

HRESULT TabControl::DoVerb(LONG iVerb, LPMSG, IOleClientSite*, LONG, HWND hwndParent, LPCRECT lprcPosRect) {
    try {
        switch (iVerb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE: {
                // UI activation would mean taking the focus, which the strip
                // never does (tab_view.h); in-place activation is all there is.
                CORVANE_RETURN_IF_FAILED(InPlaceActivate(hwndParent, lprcPosRect));
                if (view_) view_->Show(true);
                return S_OK;
            }
            case OLEIVERB_HIDE:
                if (view_) view_->Show(false);
                return S_OK;
            default:
                return E_NOTIMPL;
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TabControl::InPlaceActivate(HWND parent, LPCRECT position) {
    // The container may have destroyed its window, and the strip's with it
    // (a form unloaded and shown again): finish that activation first.
    if (view_ && !view_->hwnd()) InPlaceDeactivate();
    if (view_) {
        if (position) SetObjectRects(position, position);
        return S_OK;
    }
    HWND parentWindow = parent;
    RECT rect = position ? *position : PlacementPixels();
    bool rectGiven = position != nullptr;

    ComPtr<IOleInPlaceSite> inPlaceSite;
    if (site_) site_.As(IID_IOleInPlaceSite, inPlaceSite);  // optional: DoVerb's arguments do without
    if (inPlaceSite) {
        if (inPlaceSite->CanInPlaceActivate() != S_OK) return OLE_E_NOT_INPLACEACTIVE;
        CORVANE_RETURN_IF_FAILED(inPlaceSite->OnInPlaceActivate());
        HWND siteWindow = nullptr;
        if (SUCCEEDED(inPlaceSite->GetWindow(&siteWindow)) && siteWindow) parentWindow = siteWindow;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT pos{};
        RECT clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof(frameInfo);
        if (SUCCEEDED(inPlaceSite->GetWindowContext(frame.put(), document.put(), &pos, &clip, &frameInfo))) {
            rect = pos;
            rectGiven = true;
        }
    }
    if (!parentWindow) {
        if (inPlaceSite) inPlaceSite->OnInPlaceDeactivate();
        return E_INVALIDARG;
    }
    CORVANE_RETURN_IF_FAILED(CreateView(parentWindow, rect, std::move(inPlaceSite)));
    if (rectGiven) PlacementFromPixels(rect);  // the container's pixels now define the placement
    if (site_) site_->ShowObject();
    return S_OK;
}

HRESULT TabControl::CreateView(HWND parent, const RECT& position, ComPtr<IOleInPlaceSite> inPlaceSite) {
    view_ = TabView::Create(*this, parent, position);
    if (!view_) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        if (inPlaceSite) inPlaceSite->OnInPlaceDeactivate();
        return FAILED(hr) ? hr : E_FAIL;
    }
    inPlaceSite_ = std::move(inPlaceSite);
    return S_OK;
}

HRESULT TabControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    if (!ppEnumOleVerb) return E_POINTER;
    *ppEnumOleVerb = nullptr;
    return OleRegEnumVerbs(kClsidTabControl, ppEnumOleVerb);
}

HRESULT TabControl::Update() {
    return S_OK;
}

HRESULT TabControl::IsUpToDate() {
    return S_OK;
}

HRESULT TabControl::GetUserClassID(CLSID* pClsid) {
    if (!pClsid) return E_POINTER;
    *pClsid = kClsidTabControl;
    return S_OK;
}

HRESULT TabControl::GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) {
    if (!pszUserType) return E_POINTER;
    return OleRegGetUserType(kClsidTabControl, dwFormOfType, pszUserType);
}

HRESULT TabControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!psizel) return E_POINTER;
    extent_ = *psizel;
    dirty_ = true;
    return S_OK;
}

HRESULT TabControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (!psizel) return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *psizel = extent_;
    return S_OK;
}

HRESULT TabControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
    if (!pdwConnection) return E_POINTER;
    *pdwConnection = 0;
    if (!adviseHolder_) CORVANE_RETURN_IF_FAILED(CreateOleAdviseHolder(adviseHolder_.put()));
    return adviseHolder_->Advise(pAdvSink, pdwConnection);
}

HRESULT TabControl::Unadvise(DWORD dwConnection) {
    if (!adviseHolder_) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(dwConnection);
}

HRESULT TabControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (!ppenumAdvise) return E_POINTER;
    *ppenumAdvise = nullptr;
    if (!adviseHolder_) return S_OK;  // no connections: no enumerator
    return adviseHolder_->EnumAdvise(ppenumAdvise);
}

HRESULT TabControl::GetMiscStatus(DWORD, DWORD* pdwStatus) {
    if (!pdwStatus) return E_POINTER;
    *pdwStatus = kMiscStatus;
    return S_OK;
}

HRESULT TabControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// --- IOleWindow / IOleInPlaceObject

HRESULT TabControl::GetWindow(HWND* phwnd) {
    if (!phwnd) return E_POINTER;
    *phwnd = view_ ? view_->hwnd() : nullptr;
    return *phwnd ? S_OK : E_FAIL;
}

HRESULT TabControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT TabControl::InPlaceDeactivate() {
    if (!view_) return S_OK;
    ComPtr<TabControl> keep(this);
    std::shared_ptr<TabView> view = std::move(view_);
    view->Detach();
    if (inPlaceSite_) {
        ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        site->OnInPlaceDeactivate();
    }
    return S_OK;
}

HRESULT TabControl::UIDeactivate() {
    return S_OK;
}

// The clip rectangle is not applied: the container's own window clips its
// children (the form never shows the strip partly covered).
HRESULT TabControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    if (!lprcPosRect) return E_POINTER;
    PlacementFromPixels(*lprcPosRect);
    if (view_) view_->Move(*lprcPosRect);
    return S_OK;
}

HRESULT TabControl::ReactivateAndUndo() {
    return E_NOTIMPL;
}

// --- IOleControl

HRESULT TabControl::GetControlInfo(CONTROLINFO* pCI) {
    if (!pCI) return E_POINTER;
    pCI->hAccel = nullptr;  // no mnemonics: the strip takes no keyboard input
    pCI->cAccel = 0;
    pCI->dwFlags = 0;
    return S_OK;
}

HRESULT TabControl::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

HRESULT TabControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT TabControl::FreezeEvents(BOOL bFreeze) {
    if (bFreeze) {
        ++freezeCount_;
    } else if (freezeCount_ > 0) {
        --freezeCount_;
    }
    return S_OK;
}

// --- IPersistStreamInit

HRESULT TabControl::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = kClsidTabControl;
    return S_OK;
}

HRESULT TabControl::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT TabControl::Load(LPSTREAM pStm) {
    if (!pStm) return E_POINTER;
    StreamData data{};
    ULONG read = 0;
    CORVANE_RETURN_IF_FAILED(pStm->Read(&data, sizeof(data), &read));
    if (read != sizeof(data) || data.magic != kStreamMagic) return STG_E_READFAULT;
    if (data.version != kStreamVersion) return STG_E_OLDDLL;  // written by a newer module

    PaintSettings paint;
    paint.appearance = data.appearance;
    paint.color = data.color;
    paint.showIcons = (data.flags & kShowIcons) != 0;
    paint.boldSelected = (data.flags & kBoldSelected) != 0;
    paint.hotTracking = (data.flags & kHotTracking) != 0;
    paint.disableLunaColors = (data.flags & kDisableLunaColors) != 0;
    if (data.flags & kHasButtonSelected) paint.buttonSelected = data.buttonSelected;
    if (data.flags & kHasButtonNormal) paint.buttonNormal = data.buttonNormal;
    paint_ = paint;
    extent_ = SIZEL{data.extentCx, data.extentCy};
    dirty_ = false;
    if (view_) view_->StyleChanged();
    return S_OK;
}

HRESULT TabControl::Save(LPSTREAM pStm, BOOL fClearDirty) {
    if (!pStm) return E_POINTER;
    StreamData data{};
    data.magic = kStreamMagic;
    data.version = kStreamVersion;
    data.appearance = paint_.appearance;
    data.color = paint_.color;
    data.flags = (paint_.showIcons ? kShowIcons : 0u) | (paint_.boldSelected ? kBoldSelected : 0u) |
                 (paint_.hotTracking ? kHotTracking : 0u) | (paint_.disableLunaColors ? kDisableLunaColors : 0u) |
                 (paint_.buttonSelected ? kHasButtonSelected : 0u) | (paint_.buttonNormal ? kHasButtonNormal : 0u);
    data.buttonSelected = paint_.buttonSelected.value_or(0);
    data.buttonNormal = paint_.buttonNormal.value_or(0);
    data.extentCx = extent_.cx;
    data.extentCy = extent_.cy;
    ULONG written = 0;
    CORVANE_RETURN_IF_FAILED(pStm->Write(&data, sizeof(data), &written));
    if (written != sizeof(data)) return STG_E_WRITEFAULT;
    if (fClearDirty) dirty_ = false;
    return S_OK;
}

HRESULT TabControl::GetSizeMax(ULARGE_INTEGER* pCbSize) {
    if (!pCbSize) return E_POINTER;
    pCbSize->QuadPart = sizeof(StreamData);
    return S_OK;
}

HRESULT TabControl::InitNew() {
    paint_ = PaintSettings{};
    extent_ = kDefaultExtent;
    dirty_ = false;
    if (view_) view_->StyleChanged();
    return S_OK;
}

// --- IConnectionPointContainer

HRESULT TabControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    return CreateSinglePointEnumerator(&events_, ppEnum);
}

HRESULT TabControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != kDiidTabControlEvents) return CONNECT_E_NOCONNECTION;
    return HandOut(static_cast<IConnectionPoint*>(&events_), reinterpret_cast<void**>(ppCP));
}

// --- IProvideClassInfo2

HRESULT TabControl::GetClassInfo(ITypeInfo** ppTI) {
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    return ModuleTypeInfo(kClsidTabControl, ppTI);
}

HRESULT TabControl::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
    if (!pGUID) return E_POINTER;
    *pGUID = GUID_NULL;
    if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *pGUID = kDiidTabControlEvents;
    return S_OK;
}

}  // namespace corvane::win
