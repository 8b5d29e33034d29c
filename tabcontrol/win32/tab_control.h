// The ActiveX control Corvane.TabControl of Corvane.ocx.
//
// One object: the dispinterface _DTabControl (late-bound, hand-written
// Invoke), the OLE control interfaces a container needs to site and in-place
// activate it, persistence of the design-time settings, and the connection
// point for _DTabControlEvents. The behaviour lives in the portable TabStrip;
// the window in TabView; this class ties them to COM.
//
// Hosting, in the order a container calls (see tabcontrol/README.md):
//   CoCreateInstance -> IOleObject::SetClientSite (OLEMISC_SETCLIENTSITEFIRST)
//   -> IPersistStreamInit::InitNew -> IOleObject::DoVerb(OLEIVERB_INPLACEACTIVATE)
//   -> IOleInPlaceObject::SetObjectRects as the container lays out
//   ... IOleObject::Close -> SetClientSite(nullptr) -> Release.
// A container without IOleInPlaceSite may pass the parent window and the
// position to DoVerb instead, or skip OLE altogether: AttachTo(hWnd) and the
// Left/Top/Width/Height properties (twips) do what a form's extender would.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <unordered_map>

#include "com_support.h"
#include "connection_point.h"
#include "dispatch_support.h"
#include "corvane/tab_strip.h"
#include "corvane/tab_style.h"
#include "tab_objects.h"
#include "tab_view_host.h"

namespace corvane::win {

class TabView;

class TabControl final : public ComObject<IDispatch, IOleObject, IOleInPlaceObject, IOleControl, IPersistStreamInit,
                                          IConnectionPointContainer, IProvideClassInfo2>,
                         private TabStripEvents,
                         private TabViewHost {
public:
    // Design size of TabSeclect (4695 x 375 twips) in HIMETRIC.
    static constexpr SIZEL kDefaultExtent{4695 * 2540 / 1440, 375 * 2540 / 1440};

    // The class factory's entry point.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    // IDispatch (_DTabControl)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                                     LPCRECT lprcPosRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwConnection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pLogpal) override;

    // IOleWindow / IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* pMsg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) override;

    // IPersist / IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

    // --- used by the item, paint manager and colour set objects
    TabStrip& Strip() { return strip_; }
    PaintSettings& Paint() { return paint_; }
    void PaintChanged();                        // after a change to Paint()
    void ItemChanged();                         // after a change to an item's data
    void ItemMarkChanged(const ItemRef& item);  // after a change to its Unsaved flag
    HRESULT SelectItem(const ItemRef& item);
    IDispatch* ItemObject(const ItemRef& item);  // the one object of an item; not AddRef'd
    ComPtr<IDispatch> NewPaintManager();
    ComPtr<IDispatch> NewColorSet();

private:
    TabControl();
    ~TabControl() override;

    // _DTabControl members.
    HRESULT Item(const DispatchCall& call);
    HRESULT InsertItem(const DispatchCall& call);
    HRESULT SetImageList(const DispatchCall& call);
    HRESULT RemoveItem(const DispatchCall& call);
    HRESULT RemoveAll(const DispatchCall& call);
    HRESULT ItemCount(const DispatchCall& call);
    HRESULT HitTest(const DispatchCall& call);
    HRESULT SelectedItem(const DispatchCall& call);
    HRESULT Appearance(const DispatchCall& call);
    HRESULT FeatureProperty(const DispatchCall& call, bool TabFeatures::*field);
    HRESULT Hwnd(const DispatchCall& call);
    HRESULT AttachTo(const DispatchCall& call);

    // Where the strip sits in its parent, in twips: set through Left, Top,
    // Width and Height, or by an OLE container through SetObjectRects.
    struct TwipsRect {
        int32_t left;
        int32_t top;
        int32_t width;
        int32_t height;
    };
    HRESULT PlacementProperty(const DispatchCall& call, int32_t TwipsRect::*field);
    RECT PlacementPixels() const;
    void PlacementFromPixels(const RECT& pixels);

    // TabStripEvents: raised to every connected sink.
    void MouseDown(int16_t button, int16_t shift, float x, float y) override;
    void BeforeItemClick(const ItemRef& item, bool& cancel) override;
    void SelectedChanged(const ItemRef& item) override;
    void MouseUp(int16_t button, int16_t shift, float x, float y) override;
    void CloseButtonClick(const ItemRef& item) override;
    void Fire(DISPID id, VARIANTARG* reversedArgs, UINT count);
    void FireMouse(DISPID id, int16_t button, int16_t shift, float x, float y);

    // TabViewHost
    const TabModel& ViewModel() const override { return strip_.Model(); }
    const PaintSettings& ViewPaint() const override { return paint_; }
    HIMAGELIST ViewImageList() const override { return imageList_; }
    TabFeatures ViewFeatures() const override { return features_; }
    void ViewButtonDown(int16_t button, int16_t shift, Point at, const ItemRef& hit) override;
    void ViewButtonUp(int16_t button, int16_t shift, Point at) override;
    void ViewClickItem(const ItemRef& item) override;
    void ViewSelectItem(const ItemRef& item) override;
    void ViewCloseItem(const ItemRef& item) override;

    void ListChanged();
    HRESULT InPlaceActivate(HWND parent, LPCRECT position);
    HRESULT CreateView(HWND parent, const RECT& position, ComPtr<IOleInPlaceSite> inPlaceSite);

    TabStrip strip_;
    PaintSettings paint_;
    TabFeatures features_;            // run-time options, not persisted
    HIMAGELIST imageList_ = nullptr;  // the container's; never destroyed here
    EventConnectionPoint events_;
    // One object per tab in the list, made on first request.
    std::unordered_map<const TabItemState*, ItemObjectRef> itemObjects_;
    int freezeCount_ = 0;
    bool dirty_ = false;

    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;  // while in-place active through a site
    ComPtr<IOleAdviseHolder> adviseHolder_;
    SIZEL extent_;                          // HIMETRIC
    TwipsRect placement_{0, 0, 4695, 375};  // the design geometry of TabSeclect
    std::shared_ptr<TabView> view_;
};

}  // namespace corvane::win
