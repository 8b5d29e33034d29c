#include "tab_control.h"

#include <new>

#include "corvane/ids.h"
#include "guids.h"
#include "tab_objects.h"
#include "tab_view.h"

namespace corvane::win {
namespace {

namespace ctl = dispid::control;
namespace ev = dispid::events;

constexpr DispatchMember kControlMembers[] = {
    {L"Item", ctl::Item},
    {L"InsertItem", ctl::InsertItem},
    {L"PaintManager", ctl::PaintManager},
    {L"SetImageList", ctl::SetImageList},
    {L"RemoveItem", ctl::RemoveItem},
    {L"RemoveAll", ctl::RemoveAll},
    {L"ItemCount", ctl::ItemCount},
    {L"HitTest", ctl::HitTest},
    {L"SelectedItem", ctl::SelectedItem},
    {L"Appearance", ctl::Appearance},
    {L"ShowCloseButtons", ctl::ShowCloseButtons},
    {L"ShowUnsavedMarks", ctl::ShowUnsavedMarks},
    {L"hWnd", ctl::hWnd},
    {L"AttachTo", ctl::AttachTo},
    {L"Left", ctl::Left},
    {L"Top", ctl::Top},
    {L"Width", ctl::Width},
    {L"Height", ctl::Height},
};

// Twips are 1440 per logical inch; the screen's DPI is read each time, as a
// form does.
int ScreenDpi(int axis) {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The image list handle in a SetImageList argument: a handle given as a
// number, or an ImageList control whose hImageList property holds it.
HRESULT ImageListFrom(const VARIANT& v, HIMAGELIST& out) {
    out = nullptr;
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL:
            return S_OK;
        case VT_ERROR:
            return V_ERROR(&v) == DISP_E_PARAMNOTFOUND ? S_OK : DISP_E_TYPEMISMATCH;
        case VT_UI4:
        case VT_UINT:
            out = reinterpret_cast<HIMAGELIST>(static_cast<UINT_PTR>(V_UI4(&v)));
            return S_OK;
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* unknown = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : V_UNKNOWN(&v);
            if (!unknown) return S_OK;
            ComPtr<IDispatch> list;
            CORVANE_RETURN_IF_FAILED(unknown->QueryInterface(IID_IDispatch, list.put_void()));
            wchar_t name[] = L"hImageList";
            LPOLESTR names[] = {name};
            DISPID id = DISPID_UNKNOWN;
            CORVANE_RETURN_IF_FAILED(list->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            Variant handle;
            CORVANE_RETURN_IF_FAILED(list->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                                  handle.get(), nullptr, nullptr));
            return ImageListFrom(*handle.get(), out);
        }
        default: {
            Variant number;
            if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&v), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            out = reinterpret_cast<HIMAGELIST>(static_cast<INT_PTR>(V_I4(number.get())));
            return S_OK;
        }
    }
}

void FreeExcepInfo(EXCEPINFO& e) {
    SysFreeString(e.bstrSource);
    SysFreeString(e.bstrDescription);
    SysFreeString(e.bstrHelpFile);
}

}  // namespace

TabControl::TabControl() : strip_(*this), events_(*this, kDiidTabControlEvents), extent_(kDefaultExtent) {}

TabControl::~TabControl() {
    if (view_) view_->Detach();
}

HRESULT TabControl::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) TabControl();
    if (!control) return E_OUTOFMEMORY;
    const HRESULT hr = control->QueryInterface(riid, ppv);
    control->Release();
    return hr;
}

HRESULT TabControl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kDiidTabControl) {
        return HandOut(static_cast<IDispatch*>(this), ppv);
    }
    if (riid == IID_IOleObject) return HandOut(static_cast<IOleObject*>(this), ppv);
    if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) {
        return HandOut(static_cast<IOleInPlaceObject*>(this), ppv);
    }
    if (riid == IID_IOleControl) return HandOut(static_cast<IOleControl*>(this), ppv);
    if (riid == IID_IPersist || riid == IID_IPersistStreamInit) {
        return HandOut(static_cast<IPersistStreamInit*>(this), ppv);
    }
    if (riid == IID_IConnectionPointContainer) return HandOut(static_cast<IConnectionPointContainer*>(this), ppv);
    if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
        return HandOut(static_cast<IProvideClassInfo2*>(this), ppv);
    }
    return E_NOINTERFACE;
}

// --- IDispatch

HRESULT TabControl::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT TabControl::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    return ModuleTypeInfo(kDiidTabControl, ppTInfo);
}

HRESULT TabControl::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    return LookupDispatchNames(kControlMembers, rgszNames, cNames, rgDispId);
}

HRESULT TabControl::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                           VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    // Events raised from inside a call may let the caller drop its last
    // reference; the control stays alive until the call returns.
    ComPtr<TabControl> keep(this);
    return GuardedInvoke([&]() -> HRESULT {
        const DispatchCall call(wFlags, pDispParams, pVarResult, puArgErr);
        switch (dispIdMember) {
            case ctl::Item:
                return Item(call);
            case ctl::InsertItem:
                return InsertItem(call);
            case ctl::PaintManager: {
                CORVANE_RETURN_IF_FAILED(RefusePut(call));
                CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
                ComPtr<IDispatch> manager = NewPaintManager();
                if (!manager) return E_OUTOFMEMORY;
                return call.ReturnObject(manager.get());
            }
            case ctl::SetImageList:
                return SetImageList(call);
            case ctl::RemoveItem:
                return RemoveItem(call);
            case ctl::RemoveAll:
                return RemoveAll(call);
            case ctl::ItemCount:
                return ItemCount(call);
            case ctl::HitTest:
                return HitTest(call);
            case ctl::SelectedItem:
                return SelectedItem(call);
            case ctl::Appearance:
                return Appearance(call);
            case ctl::ShowCloseButtons:
                return FeatureProperty(call, &TabFeatures::closeButtons);
            case ctl::ShowUnsavedMarks:
                return FeatureProperty(call, &TabFeatures::unsavedMarks);
            case ctl::hWnd:
                return Hwnd(call);
            case ctl::AttachTo:
                return AttachTo(call);
            case ctl::Left:
                return PlacementProperty(call, &TwipsRect::left);
            case ctl::Top:
                return PlacementProperty(call, &TwipsRect::top);
            case ctl::Width:
                return PlacementProperty(call, &TwipsRect::width);
            case ctl::Height:
                return PlacementProperty(call, &TwipsRect::height);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    });
}

HRESULT TabControl::Item(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(1, 1));
    LONG index = 0;
    CORVANE_RETURN_IF_FAILED(call.Long(0, index));
    const ItemRef item = strip_.Model().At(index);
    if (!item) return DISP_E_BADINDEX;
    IDispatch* object = ItemObject(item);
    return object ? call.ReturnObject(object) : E_OUTOFMEMORY;
}

// InsertItem(Index, Caption, [Child], [Image]): Child would be a window to
// show with the tab; the strip has none, so it is accepted and ignored.
HRESULT TabControl::InsertItem(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(2, 4));
    LONG index = 0;
    std::wstring caption;
    LONG image = kNoImage;
    CORVANE_RETURN_IF_FAILED(call.Long(0, index));
    CORVANE_RETURN_IF_FAILED(call.String(1, caption));
    if (call.Present(3)) CORVANE_RETURN_IF_FAILED(call.Long(3, image));
    const ItemRef item = strip_.Model().Insert(index, std::move(caption), image);
    ListChanged();
    IDispatch* object = ItemObject(item);
    return object ? call.ReturnObject(object) : E_OUTOFMEMORY;
}

HRESULT TabControl::SetImageList(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(1, 1));
    Variant argument;
    CORVANE_RETURN_IF_FAILED(call.Raw(0, *argument.get()));
    HIMAGELIST list = nullptr;
    CORVANE_RETURN_IF_FAILED(ImageListFrom(*argument.get(), list));
    imageList_ = list;
    PaintChanged();
    return call.ReturnEmpty();
}

HRESULT TabControl::RemoveItem(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(1, 1));
    LONG index = 0;
    CORVANE_RETURN_IF_FAILED(call.Long(0, index));
    if (!strip_.Model().Remove(index)) return DISP_E_BADINDEX;
    ListChanged();
    return call.ReturnEmpty();
}

HRESULT TabControl::RemoveAll(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
    strip_.Model().Clear();
    ListChanged();
    return call.ReturnEmpty();
}

HRESULT TabControl::ItemCount(const DispatchCall& call) {
    return LongProperty(
        call, [&] { return static_cast<LONG>(strip_.Model().Count()); },
        [&](LONG count) {
            if (count < 0) return E_INVALIDARG;
            strip_.Model().Resize(count);
            ListChanged();
            return S_OK;
        });
}

// HitTest(x, y) in client pixels, the unit of MouseDown and MouseUp.
HRESULT TabControl::HitTest(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(2, 2));
    LONG x = 0;
    LONG y = 0;
    CORVANE_RETURN_IF_FAILED(call.Long(0, x));
    CORVANE_RETURN_IF_FAILED(call.Long(1, y));
    const ItemRef hit = view_ ? view_->HitTestItem(Point{x, y}) : nullptr;
    if (!hit) return call.ReturnObject(nullptr);
    IDispatch* object = ItemObject(hit);
    return object ? call.ReturnObject(object) : E_OUTOFMEMORY;
}

HRESULT TabControl::SelectedItem(const DispatchCall& call) {
    return LongProperty(
        call, [&] { return static_cast<LONG>(strip_.Model().SelectedIndex()); },
        [&](LONG index) {
            const ItemRef item = strip_.Model().At(index);
            if (!item) return DISP_E_BADINDEX;
            return SelectItem(item);
        });
}

HRESULT TabControl::Appearance(const DispatchCall& call) {
    return LongProperty(
        call, [&] { return static_cast<LONG>(paint_.appearance); },
        [&](LONG value) {
            paint_.appearance = value;
            PaintChanged();
            return S_OK;
        });
}

// Run-time options: they change the drawing but not the design-time data,
// so the control does not become dirty.
HRESULT TabControl::FeatureProperty(const DispatchCall& call, bool TabFeatures::*field) {
    return BoolProperty(
        call, [&] { return features_.*field; },
        [&](bool value) {
            if (features_.*field == value) return S_OK;
            features_.*field = value;
            if (view_) {
                view_->StyleChanged();
                view_->ModelChanged();  // tabs with a close button become accessible objects
            }
            return S_OK;
        });
}

HRESULT TabControl::Hwnd(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
    const HWND hwnd = view_ ? view_->hwnd() : nullptr;
    return call.ReturnLong(static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd)));
}

// AttachTo(hWnd): the strip becomes a child of hWnd at its placement; a
// container without an OLE site uses this instead of DoVerb. 0 removes it.
HRESULT TabControl::AttachTo(const DispatchCall& call) {
    CORVANE_RETURN_IF_FAILED(RefusePut(call));
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(1, 1));
    LONG handle = 0;
    CORVANE_RETURN_IF_FAILED(call.Long(0, handle));
    const auto parent = reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
    if (parent && !IsWindow(parent)) return E_INVALIDARG;
    if (view_ && view_->hwnd() && GetParent(view_->hwnd()) == parent) return call.ReturnEmpty();
    InPlaceDeactivate();
    if (parent) CORVANE_RETURN_IF_FAILED(CreateView(parent, PlacementPixels(), nullptr));
    return call.ReturnEmpty();
}

HRESULT TabControl::PlacementProperty(const DispatchCall& call, int32_t TwipsRect::*field) {
    return LongProperty(
        call, [&] { return static_cast<LONG>(placement_.*field); },
        [&](LONG twips) {
            if ((field == &TwipsRect::width || field == &TwipsRect::height) && twips < 0) return E_INVALIDARG;
            placement_.*field = twips;
            if (view_) view_->Move(PlacementPixels());
            return S_OK;
        });
}

RECT TabControl::PlacementPixels() const {
    const int dpiX = ScreenDpi(LOGPIXELSX);
    const int dpiY = ScreenDpi(LOGPIXELSY);
    const LONG left = MulDiv(placement_.left, dpiX, 1440);
    const LONG top = MulDiv(placement_.top, dpiY, 1440);
    return RECT{left, top, left + MulDiv(placement_.width, dpiX, 1440), top + MulDiv(placement_.height, dpiY, 1440)};
}

void TabControl::PlacementFromPixels(const RECT& pixels) {
    const int dpiX = ScreenDpi(LOGPIXELSX);
    const int dpiY = ScreenDpi(LOGPIXELSY);
    placement_ =
        TwipsRect{MulDiv(pixels.left, 1440, dpiX), MulDiv(pixels.top, 1440, dpiY),
                  MulDiv(pixels.right - pixels.left, 1440, dpiX), MulDiv(pixels.bottom - pixels.top, 1440, dpiY)};
}

// --- shared with the item, paint manager and colour set objects

void TabControl::ListChanged() {
    // Removed tabs lose their objects here; clients holding one keep an
    // orphan that answers Index -1.
    const TabModel& model = strip_.Model();
    std::erase_if(itemObjects_, [&](const auto& entry) { return !model.Contains(entry.first); });
    if (view_) view_->ModelChanged();
}

void TabControl::ItemChanged() {
    // Even a tooltip change rebuilds the layout, which refreshes the tooltip
    // tools with it; cheap next to painting.
    if (view_) view_->ModelChanged();
}

void TabControl::ItemMarkChanged(const ItemRef& item) {
    if (view_) view_->MarkChanged(item);
}

void TabControl::PaintChanged() {
    dirty_ = true;
    if (view_) view_->StyleChanged();
}

HRESULT TabControl::SelectItem(const ItemRef& item) {
    // An item that left the list has no index any more.
    return strip_.Select(item) ? S_OK : DISP_E_BADINDEX;
}

IDispatch* TabControl::ItemObject(const ItemRef& item) {
    if (auto it = itemObjects_.find(item.get()); it != itemObjects_.end()) return it->second.Dispatch();
    ItemObjectRef object(*this, item);
    if (!object.Dispatch()) return nullptr;
    return itemObjects_.emplace(item.get(), std::move(object)).first->second.Dispatch();
}

ComPtr<IDispatch> TabControl::NewPaintManager() {
    return ComPtr<IDispatch>::Adopt(NewPaintManagerObject(*this));
}

ComPtr<IDispatch> TabControl::NewColorSet() {
    return ComPtr<IDispatch>::Adopt(NewColorSetObject(*this));
}

// --- events

void TabControl::Fire(DISPID id, VARIANTARG* reversedArgs, UINT count) {
    if (freezeCount_ > 0) return;  // the container asked for silence (IOleControl::FreezeEvents)
    ComPtr<TabControl> keep(this);
    DISPPARAMS params{reversedArgs, nullptr, count, 0};
    for (const ComPtr<IDispatch>& sink : events_.Sinks()) {
        Variant result;
        EXCEPINFO exception{};
        UINT argErr = 0;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(), &exception, &argErr);
        FreeExcepInfo(exception);
    }
}

void TabControl::FireMouse(DISPID id, int16_t button, int16_t shift, float x, float y) {
    // Reverse order: y, x, Shift, Button.
    VARIANTARG args[4];
    V_VT(&args[0]) = VT_R4;
    V_R4(&args[0]) = y;
    V_VT(&args[1]) = VT_R4;
    V_R4(&args[1]) = x;
    V_VT(&args[2]) = VT_I2;
    V_I2(&args[2]) = shift;
    V_VT(&args[3]) = VT_I2;
    V_I2(&args[3]) = button;
    Fire(id, args, 4);
}

void TabControl::MouseDown(int16_t button, int16_t shift, float x, float y) {
    FireMouse(ev::MouseDown, button, shift, x, y);
}

void TabControl::MouseUp(int16_t button, int16_t shift, float x, float y) {
    FireMouse(ev::MouseUp, button, shift, x, y);
}

void TabControl::CloseButtonClick(const ItemRef& item) {
    ComPtr<IDispatch> object(ItemObject(item));
    VARIANTARG args[1];
    V_VT(&args[0]) = VT_DISPATCH;
    V_DISPATCH(&args[0]) = object.get();
    Fire(ev::CloseButtonClick, args, 1);
}

void TabControl::BeforeItemClick(const ItemRef& item, bool& cancel) {
    // Held here: a handler may remove the tab, which drops the control's
    // reference while later sinks still get the object.
    ComPtr<IDispatch> object(ItemObject(item));
    VARIANT_BOOL cancelFlag = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANTARG args[2];  // reverse order: Cancel, Item
    V_VT(&args[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&args[0]) = &cancelFlag;
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = object.get();
    Fire(ev::BeforeItemClick, args, 2);
    cancel = cancelFlag != VARIANT_FALSE;
}

void TabControl::SelectedChanged(const ItemRef& item) {
    if (view_) view_->SelectionChanged();
    ComPtr<IDispatch> object(ItemObject(item));
    VARIANTARG args[1];
    V_VT(&args[0]) = VT_DISPATCH;
    V_DISPATCH(&args[0]) = object.get();
    Fire(ev::SelectedChanged, args, 1);
}

// --- TabViewHost

void TabControl::ViewButtonDown(int16_t button, int16_t shift, Point at, const ItemRef& hit) {
    ComPtr<TabControl> keep(this);
    strip_.ButtonDown(button, shift, static_cast<float>(at.x), static_cast<float>(at.y), hit);
}

void TabControl::ViewButtonUp(int16_t button, int16_t shift, Point at) {
    ComPtr<TabControl> keep(this);
    strip_.ButtonUp(button, shift, static_cast<float>(at.x), static_cast<float>(at.y));
}

void TabControl::ViewClickItem(const ItemRef& item) {
    ComPtr<TabControl> keep(this);
    strip_.ClickItem(item);
}

void TabControl::ViewCloseItem(const ItemRef& item) {
    ComPtr<TabControl> keep(this);
    strip_.ClickCloseButton(item);
}

void TabControl::ViewSelectItem(const ItemRef& item) {
    ComPtr<TabControl> keep(this);
    strip_.Select(item);
}

}  // namespace corvane::win
