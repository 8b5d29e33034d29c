#include "tab_objects.h"

#include <olectl.h>

#include <new>
#include <utility>

#include "corvane/ids.h"
#include "dispatch_support.h"
#include "guids.h"
#include "tab_control.h"
#include "tab_view.h"

namespace corvane::win {
namespace {

// The plumbing every one of these objects shares: identity, type
// information and name lookup. Derived classes supply the members and
// their link to the control.
template <const GUID& Diid, const DispatchMember* Members, size_t Count>
class DispatchObject : public ComObject<IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == Diid) return HandOut(this, ppv);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        return ModuleTypeInfo(Diid, ppTInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        return LookupDispatchNames(std::span<const DispatchMember>(Members, Count), rgszNames, cNames, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return GuardedInvoke([&] { return Member(id, DispatchCall(flags, params, result, argErr)); });
    }

protected:
    virtual HRESULT Member(DISPID id, const DispatchCall& call) = 0;
};

// An object made per request that keeps the control alive while held.
template <const GUID& Diid, const DispatchMember* Members, size_t Count>
class ControlPart : public DispatchObject<Diid, Members, Count> {
public:
    explicit ControlPart(TabControl& control) : control_(&control) {}

protected:
    TabControl& Control() const { return *control_.get(); }

private:
    ComPtr<TabControl> control_;
};

// --- TabControlItem

namespace item_id = dispid::item;
constexpr DispatchMember kItemMembers[] = {
    {L"Caption", item_id::Caption}, {L"Index", item_id::Index},     {L"Selected", item_id::Selected},
    {L"Image", item_id::Image},     {L"ToolTip", item_id::ToolTip}, {L"Unsaved", item_id::Unsaved},
};

}  // namespace

class TabItemObject final : public DispatchObject<kDiidTabControlItem, kItemMembers, std::size(kItemMembers)> {
public:
    TabItemObject(TabControl& control, ItemRef item) : control_(&control), item_(std::move(item)) {}

    // The tab left the list, or the control is going away.
    void Orphan() { control_ = nullptr; }

protected:
    HRESULT Member(DISPID id, const DispatchCall& call) override {
        // A handler of an event raised below may remove this tab (orphaning
        // this object) or release the control's last other reference.
        ComPtr<TabControl> control(control_);
        TabItemState& item = *item_;
        const auto changed = [&] {
            if (control) control->ItemChanged();
            return S_OK;
        };
        switch (id) {
            case item_id::Caption:
                return StringProperty(
                    call, [&] { return item.caption; },
                    [&](std::wstring v) {
                        item.caption = std::move(v);
                        return changed();
                    });
            case item_id::ToolTip:
                return StringProperty(
                    call, [&] { return item.toolTip; },
                    [&](std::wstring v) {
                        item.toolTip = std::move(v);
                        return changed();
                    });
            case item_id::Image:
                return LongProperty(
                    call, [&] { return item.image; },
                    [&](LONG v) {
                        item.image = v;
                        return changed();
                    });
            case item_id::Unsaved:
                // Containers poll their documents and set this on every
                // round: an unchanged value costs nothing.
                return BoolProperty(
                    call, [&] { return item.unsaved; },
                    [&](bool v) {
                        if (v == item.unsaved) return S_OK;
                        item.unsaved = v;
                        if (control) control->ItemMarkChanged(item_);
                        return S_OK;
                    });
            case item_id::Index:
                CORVANE_RETURN_IF_FAILED(RefusePut(call));
                CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
                return call.ReturnLong(control ? control->Strip().Model().IndexOf(&item) : -1);
            case item_id::Selected:
                // Setting False does nothing: a tab stays selected until another
                // one is; the strip never ends up without a selection this way.
                return BoolProperty(
                    call, [&] { return control && control->Strip().Model().Selected() == item_; },
                    [&](bool v) -> HRESULT {
                        if (!v) return S_OK;
                        return control ? control->SelectItem(item_) : DISP_E_BADINDEX;
                    });
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    TabControl* control_;  // not owning: the control owns this object
    ItemRef item_;
};

namespace {

// --- ColorSet

namespace color_id = dispid::color_set;
constexpr DispatchMember kColorSetMembers[] = {
    {L"ButtonSelected", color_id::ButtonSelected},
    {L"ButtonNormal", color_id::ButtonNormal},
};

// OLE_COLOR in: system colours are translated; -1 removes the override.
// A get without an override reads the colour the style resolves to.
HRESULT ColorProperty(const DispatchCall& call, TabControl& control, std::optional<uint32_t>& slot, bool selected) {
    return LongProperty(
        call,
        [&] {
            if (slot) return static_cast<LONG>(*slot);
            const TabStyle style = ResolveTabStyle(control.Paint(), CurrentSystemColors());
            return static_cast<LONG>(selected ? style.palette.tabSelected.top : style.palette.tabNormal.top);
        },
        [&](LONG v) -> HRESULT {
            if (v == -1) {
                slot.reset();
            } else {
                COLORREF color = 0;
                CORVANE_RETURN_IF_FAILED(OleTranslateColor(static_cast<OLE_COLOR>(v), nullptr, &color));
                slot = color;
            }
            control.PaintChanged();
            return S_OK;
        });
}

class ColorSetObject final : public ControlPart<kDiidColorSet, kColorSetMembers, std::size(kColorSetMembers)> {
public:
    using ControlPart::ControlPart;

protected:
    HRESULT Member(DISPID id, const DispatchCall& call) override {
        PaintSettings& paint = Control().Paint();
        switch (id) {
            case color_id::ButtonSelected:
                return ColorProperty(call, Control(), paint.buttonSelected, true);
            case color_id::ButtonNormal:
                return ColorProperty(call, Control(), paint.buttonNormal, false);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// --- PaintManager

namespace pm_id = dispid::paint_manager;
constexpr DispatchMember kPaintManagerMembers[] = {
    {L"Appearance", pm_id::Appearance},     {L"Color", pm_id::Color},
    {L"BoldSelected", pm_id::BoldSelected}, {L"HotTracking", pm_id::HotTracking},
    {L"ShowIcons", pm_id::ShowIcons},       {L"DisableLunaColors", pm_id::DisableLunaColors},
    {L"ColorSet", pm_id::ColorSet},
};

class PaintManagerObject final
    : public ControlPart<kDiidPaintManager, kPaintManagerMembers, std::size(kPaintManagerMembers)> {
public:
    using ControlPart::ControlPart;

protected:
    HRESULT Member(DISPID id, const DispatchCall& call) override {
        PaintSettings& paint = Control().Paint();
        switch (id) {
            case pm_id::Appearance:
                return Long(call, paint.appearance);
            case pm_id::Color:
                return Long(call, paint.color);
            case pm_id::BoldSelected:
                return Flag(call, paint.boldSelected);
            case pm_id::HotTracking:
                return Flag(call, paint.hotTracking);
            case pm_id::ShowIcons:
                return Flag(call, paint.showIcons);
            case pm_id::DisableLunaColors:
                return Flag(call, paint.disableLunaColors);
            case pm_id::ColorSet: {
                CORVANE_RETURN_IF_FAILED(RefusePut(call));
                CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
                ComPtr<IDispatch> colors = Control().NewColorSet();
                if (!colors) return E_OUTOFMEMORY;
                return call.ReturnObject(colors.get());
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    HRESULT Long(const DispatchCall& call, int32_t& setting) {
        return LongProperty(
            call, [&] { return static_cast<LONG>(setting); },
            [&](LONG v) {
                setting = v;
                Control().PaintChanged();
                return S_OK;
            });
    }
    HRESULT Flag(const DispatchCall& call, bool& setting) {
        return BoolProperty(
            call, [&] { return setting; },
            [&](bool v) {
                setting = v;
                Control().PaintChanged();
                return S_OK;
            });
    }
};

}  // namespace

ItemObjectRef::ItemObjectRef(TabControl& control, const ItemRef& item)
    : object_(new (std::nothrow) TabItemObject(control, item)) {}

ItemObjectRef::ItemObjectRef(ItemObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}

ItemObjectRef::~ItemObjectRef() {
    if (!object_) return;
    object_->Orphan();
    object_->Release();
}

IDispatch* ItemObjectRef::Dispatch() const {
    return object_;
}

IDispatch* NewPaintManagerObject(TabControl& control) {
    return new (std::nothrow) PaintManagerObject(control);
}

IDispatch* NewColorSetObject(TabControl& control) {
    return new (std::nothrow) ColorSetObject(control);
}

}  // namespace corvane::win
