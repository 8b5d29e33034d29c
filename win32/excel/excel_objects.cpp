#include "excel/excel_objects.h"

#include <utility>

#include "excel/connection_sink.h"
#include "support/com.h"
#include "support/dispatch.h"

namespace tarnwick::win32 {

const IID DIID_AppEvents = {0x00024413, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID DIID_CommandBarButtonEvents = {0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// Members Excel fixes by DISPID; everything else is reached by name.
constexpr DISPID kDispWindowVisible = 558;
constexpr DISPID kDispWindowsCount = 118;
// Workbook.Saved: read for every tab twice a second, so by number.
constexpr DISPID kDispWorkbookSaved = 298;

constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;

// One counted reference on a host object.
class HostObject {
public:
    explicit HostObject(IDispatch* object) : object_(ComPtr<IDispatch>::CopyFrom(object)) {}
    IDispatch* get() const { return object_.get(); }

protected:
    Variant Get(const wchar_t* name, std::initializer_list<Arg> args = {}) const {
        return Invoke(object_.get(), name, kGet, args);
    }
    void Put(const wchar_t* name, const Arg& value) const {
        Invoke(object_.get(), name, DISPATCH_PROPERTYPUT, {value});
    }
    Variant Call(const wchar_t* name, std::initializer_list<Arg> args = {}) const {
        return Invoke(object_.get(), name, DISPATCH_METHOD, args);
    }

private:
    ComPtr<IDispatch> object_;
};

// Nothing when the host answered Nothing.
template <class Wrapper>
std::shared_ptr<Wrapper> Wrap(const Variant& value) {
    ComPtr<IDispatch> object = value.ToDispatch();
    if (!object) return nullptr;
    return std::make_shared<Wrapper>(object.get());
}

// A result the caller must have: Nothing is "object required".
template <class Wrapper>
std::shared_ptr<Wrapper> WrapRequired(const Variant& value) {
    auto wrapped = Wrap<Wrapper>(value);
    if (!wrapped) throw HostError(hr::OBJECT_REQUIRED_);
    return wrapped;
}

// For Each over a collection: its _NewEnum (DISPID_NEWENUM) as IEnumVARIANT.
template <class Port, class Wrapper>
class DispatchEnumerator final : public excel::Enumerator<Port> {
public:
    explicit DispatchEnumerator(IDispatch* collection) {
        Variant e = InvokeId(collection, DISPID_NEWENUM, kGet);
        const VARIANT* v = e.get();
        IUnknown* unknown = v->vt == VT_UNKNOWN ? v->punkVal : v->vt == VT_DISPATCH ? v->pdispVal : nullptr;
        if (!unknown) throw HostError(hr::OBJECT_REQUIRED_);
        CheckHr(unknown->QueryInterface(IID_IEnumVARIANT, enum_.put_void()));
    }

    std::shared_ptr<Port> Next() override {
        Variant item;
        ULONG fetched = 0;
        HRESULT hr = enum_->Next(1, item.put(), &fetched);
        CheckHr(hr);
        if (hr != S_OK || fetched == 0) return nullptr;
        return WrapRequired<Wrapper>(item);
    }

private:
    ComPtr<IEnumVARIANT> enum_;
};

class WindowObject final : public excel::Window, public HostObject {
public:
    using HostObject::HostObject;
    bool Visible() override { return InvokeId(get(), kDispWindowVisible, kGet).ToBool(); }
};

class WindowsObject final : public excel::Windows, public HostObject {
public:
    using HostObject::HostObject;
    int32_t Count() override { return InvokeId(get(), kDispWindowsCount, kGet).ToInt(); }
    std::unique_ptr<excel::Enumerator<excel::Window>> Enumerate() override {
        return std::make_unique<DispatchEnumerator<excel::Window, WindowObject>>(get());
    }
};

class WorkbookObject final : public excel::Workbook, public HostObject {
public:
    using HostObject::HostObject;
    std::wstring Name() override { return Get(L"Name").ToString(); }
    std::wstring FullName() override { return Get(L"FullName").ToString(); }
    bool Saved() override { return InvokeId(get(), kDispWorkbookSaved, kGet).ToBool(); }
    void Activate() override { Call(L"Activate"); }
    std::shared_ptr<excel::Windows> Windows() override { return WrapRequired<WindowsObject>(Get(L"Windows")); }
};

class WorkbooksObject final : public excel::Workbooks, public HostObject {
public:
    using HostObject::HostObject;
    std::unique_ptr<excel::Enumerator<excel::Workbook>> Enumerate() override {
        return std::make_unique<DispatchEnumerator<excel::Workbook, WorkbookObject>>(get());
    }
    std::shared_ptr<excel::Workbook> Item(const std::wstring& name) override {
        return WrapRequired<WorkbookObject>(Get(L"Item", {name}));
    }
    int32_t Count() override { return Get(L"Count").ToInt(); }
};

class ButtonClickSinkObject final : public ConnectionSink<ButtonClickSinkObject> {
public:
    explicit ButtonClickSinkObject(excel::ButtonClickSink& target)
        : ConnectionSink(DIID_CommandBarButtonEvents), target_(&target) {}
    void Detach() { target_ = nullptr; }

    HRESULT OnInvoke(DISPID id, DISPPARAMS* params, EXCEPINFO*) {
        constexpr DISPID kClick = 1;
        try {
            // Click(Ctrl, CancelDefault): arguments arrive last first.
            if (id != kClick || !target_ || params->cArgs < 2) return S_OK;
            Variant ctrl;
            CheckHr(::VariantCopyInd(ctrl.put(), &params->rgvarg[1]));
            VARIANT& cancelArg = params->rgvarg[0];
            VARIANT_BOOL* cancelRef = cancelArg.vt == (VT_BOOL | VT_BYREF) ? cancelArg.pboolVal : nullptr;
            bool cancel = cancelRef ? *cancelRef != VARIANT_FALSE
                                    : (cancelArg.vt == VT_BOOL && cancelArg.boolVal != VARIANT_FALSE);
            auto control = WrapCommandBarControl(ctrl.ToDispatch().get());
            target_->Click(control, cancel);
            if (cancelRef) *cancelRef = cancel ? VARIANT_TRUE : VARIANT_FALSE;
        } catch (...) {
        }
        return S_OK;
    }

private:
    excel::ButtonClickSink* target_;
};

class CommandBarControlsObject;

class CommandBarControlObject final : public excel::CommandBarControl, public HostObject {
public:
    using HostObject::HostObject;
    std::wstring Caption() override { return Get(L"Caption").ToString(); }
    void Caption(const std::wstring& value) override { Put(L"Caption", value); }
    std::wstring Tag() override { return Get(L"Tag").ToString(); }
    void Tag(const std::wstring& value) override { Put(L"Tag", value); }
    std::wstring Parameter() override { return Get(L"Parameter").ToString(); }
    void Parameter(const std::wstring& value) override { Put(L"Parameter", value); }
    bool Enabled() override { return Get(L"Enabled").ToBool(); }
    void Enabled(bool value) override { Put(L"Enabled", value); }
    int32_t Width() override { return Get(L"Width").ToInt(); }
    void Width(int32_t value) override { Put(L"Width", value); }
    int32_t Id() override { return Get(L"Id").ToInt(); }
    void Execute() override { Call(L"Execute"); }
    std::unique_ptr<excel::Subscription> SubscribeClick(excel::ButtonClickSink& sink) override {
        ComPtr<ButtonClickSinkObject> object;
        object.Attach(new ButtonClickSinkObject(sink));
        return ButtonClickSinkObject::Connect(get(), std::move(object));
    }
    std::shared_ptr<excel::CommandBarControls> Controls() override;
};

class CommandBarControlsObject final : public excel::CommandBarControls, public HostObject {
public:
    using HostObject::HostObject;
    std::shared_ptr<excel::CommandBarControl> Add(std::optional<int32_t> Type, std::optional<int32_t> Id,
                                                  std::optional<std::wstring> Parameter, std::optional<int32_t> Before,
                                                  std::optional<bool> Temporary) override {
        return WrapRequired<CommandBarControlObject>(Call(L"Add", {Type, Id, Parameter, Before, Temporary}));
    }
    std::shared_ptr<excel::CommandBarControl> Item(int32_t position) override {
        return WrapRequired<CommandBarControlObject>(Get(L"Item", {position}));
    }
    std::shared_ptr<excel::CommandBarControl> Item(const std::wstring& caption) override {
        return WrapRequired<CommandBarControlObject>(Get(L"Item", {caption}));
    }
    int32_t Count() override { return Get(L"Count").ToInt(); }
    std::unique_ptr<excel::Enumerator<excel::CommandBarControl>> Enumerate() override {
        return std::make_unique<DispatchEnumerator<excel::CommandBarControl, CommandBarControlObject>>(get());
    }
};

std::shared_ptr<excel::CommandBarControls> CommandBarControlObject::Controls() {
    return WrapRequired<CommandBarControlsObject>(Get(L"Controls"));
}

class CommandBarObject final : public excel::CommandBar, public HostObject {
public:
    using HostObject::HostObject;
    std::wstring Name() override { return Get(L"Name").ToString(); }
    std::shared_ptr<excel::CommandBarControls> Controls() override {
        return WrapRequired<CommandBarControlsObject>(Get(L"Controls"));
    }
    void Delete() override { Call(L"Delete"); }
    bool Enabled() override { return Get(L"Enabled").ToBool(); }
    void Enabled(bool value) override { Put(L"Enabled", value); }
    bool Visible() override { return Get(L"Visible").ToBool(); }
    void Visible(bool value) override { Put(L"Visible", value); }
    int32_t Position() override { return Get(L"Position").ToInt(); }
    void Position(int32_t value) override { Put(L"Position", value); }
    int32_t Protection() override { return Get(L"Protection").ToInt(); }
    void Protection(int32_t value) override { Put(L"Protection", value); }
    void ShowPopup() override { Call(L"ShowPopup"); }
};

class CommandBarsObject final : public excel::CommandBars, public HostObject {
public:
    using HostObject::HostObject;
    std::shared_ptr<excel::CommandBar> Item(const std::wstring& name) override {
        return WrapRequired<CommandBarObject>(Get(L"Item", {name}));
    }
    std::shared_ptr<excel::CommandBar> Add(std::optional<std::wstring> Name, std::optional<int32_t> Position,
                                           std::optional<bool> MenuBar, std::optional<bool> Temporary) override {
        return WrapRequired<CommandBarObject>(Call(L"Add", {Name, Position, MenuBar, Temporary}));
    }
    std::shared_ptr<excel::CommandBarControl> FindControl(std::optional<int32_t> Type, std::optional<int32_t> Id,
                                                          std::optional<std::wstring> Tag,
                                                          std::optional<bool> Visible) override {
        return Wrap<CommandBarControlObject>(Call(L"FindControl", {Type, Id, Tag, Visible}));
    }
};

class AppEventSinkObject final : public ConnectionSink<AppEventSinkObject> {
public:
    explicit AppEventSinkObject(excel::AppEventSink& target) : ConnectionSink(DIID_AppEvents), target_(&target) {}
    void Detach() { target_ = nullptr; }

    HRESULT OnInvoke(DISPID id, DISPPARAMS* params, EXCEPINFO* excepInfo) {
        constexpr DISPID kNewWorkbook = 0x61D;
        constexpr DISPID kWorkbookOpen = 0x61F;
        constexpr DISPID kWorkbookActivate = 0x620;
        constexpr DISPID kWorkbookBeforeClose = 0x622;
        if (!target_) return S_OK;
        switch (id) {
            case kNewWorkbook:
                return Guarded([&] { target_->NewWorkbook(Workbook(params, 0)); });
            case kWorkbookOpen:
                return Guarded([&] { target_->WorkbookOpen(Workbook(params, 0)); });
            case kWorkbookActivate:
                return Guarded([&] { target_->WorkbookActivate(Workbook(params, 0)); });
            case kWorkbookBeforeClose:
                return BeforeClose(params, excepInfo);
            default:
                return S_OK;
        }
    }

private:
    // The workbook argument `index` counted from the first (natural order).
    static std::shared_ptr<excel::Workbook> Workbook(DISPPARAMS* params, UINT index) {
        if (index >= params->cArgs) throw HostError(hr::E_INVALIDARG_);
        Variant wb;
        CheckHr(::VariantCopyInd(wb.put(), &params->rgvarg[params->cArgs - 1 - index]));
        return WrapWorkbook(wb.ToDispatch().get());
    }

    template <class F>
    static HRESULT Guarded(F&& handler) {
        try {
            handler();
        } catch (...) {
        }
        return S_OK;
    }

    // The core traps nothing here: its failure is this event call's result.
    HRESULT BeforeClose(DISPPARAMS* params, EXCEPINFO* excepInfo) {
        HRESULT failure = S_OK;
        try {
            if (params->cArgs < 2) throw HostError(hr::E_INVALIDARG_);
            VARIANT& cancelArg = params->rgvarg[0];
            VARIANT_BOOL* cancelRef = cancelArg.vt == (VT_BOOL | VT_BYREF) ? cancelArg.pboolVal : nullptr;
            bool cancel = cancelRef ? *cancelRef != VARIANT_FALSE
                                    : (cancelArg.vt == VT_BOOL && cancelArg.boolVal != VARIANT_FALSE);
            target_->WorkbookBeforeClose(Workbook(params, 0), cancel);
            if (cancelRef) *cancelRef = cancel ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        } catch (const HostError& e) {
            failure = FAILED(e.code()) ? static_cast<HRESULT>(e.code()) : E_FAIL;
        } catch (...) {
            failure = E_FAIL;
        }
        if (!excepInfo) return failure;
        *excepInfo = EXCEPINFO{};
        excepInfo->scode = failure;
        return DISP_E_EXCEPTION;
    }

    excel::AppEventSink* target_;
};

class ApplicationObject final : public excel::Application, public HostObject {
public:
    using HostObject::HostObject;
    std::wstring Version() override { return Get(L"Version").ToString(); }
    bool Visible() override { return Get(L"Visible").ToBool(); }
    WindowHandle Hwnd() override { return static_cast<WindowHandle>(static_cast<uint32_t>(Get(L"Hwnd").ToInt())); }
    ModuleHandle Hinstance() override {
        return static_cast<ModuleHandle>(static_cast<uint32_t>(Get(L"Hinstance").ToInt()));
    }
    std::shared_ptr<excel::Workbooks> Workbooks() override { return WrapRequired<WorkbooksObject>(Get(L"Workbooks")); }
    std::shared_ptr<excel::Workbook> ActiveWorkbook() override {
        return WrapRequired<WorkbookObject>(Get(L"ActiveWorkbook"));
    }
    std::shared_ptr<excel::CommandBars> CommandBars() override {
        return WrapRequired<CommandBarsObject>(Get(L"CommandBars"));
    }
    void ScreenUpdating(bool value) override { Put(L"ScreenUpdating", value); }
    std::shared_ptr<excel::Application> GetApplication() override {
        return WrapRequired<ApplicationObject>(Get(L"Application"));
    }
    std::unique_ptr<excel::Subscription> SubscribeEvents(excel::AppEventSink& sink) override {
        ComPtr<AppEventSinkObject> object;
        object.Attach(new AppEventSinkObject(sink));
        return AppEventSinkObject::Connect(get(), std::move(object));
    }
};

}  // namespace

std::shared_ptr<excel::Application> WrapApplication(IDispatch* application) {
    return application ? std::make_shared<ApplicationObject>(application) : nullptr;
}

std::shared_ptr<excel::Workbook> WrapWorkbook(IDispatch* workbook) {
    return workbook ? std::make_shared<WorkbookObject>(workbook) : nullptr;
}

std::shared_ptr<excel::CommandBarControl> WrapCommandBarControl(IDispatch* control) {
    return control ? std::make_shared<CommandBarControlObject>(control) : nullptr;
}

}  // namespace tarnwick::win32
