// The Excel and Office object model exactly as the add-in uses it.
// Every member may throw HostError. "Nothing" is an empty shared_ptr.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "interop/host_error.h"
#include "interop/platform_types.h"

namespace tarnwick::excel {

// Holding a subscription keeps the sink connected; destroying it disconnects.
class Subscription {
public:
    virtual ~Subscription() = default;
};

// A For Each over a host collection. Next() returns nothing at the end.
template <class T>
class Enumerator {
public:
    virtual ~Enumerator() = default;
    virtual std::shared_ptr<T> Next() = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual bool Visible() = 0;  // called by DISPID 558
};

class Windows {
public:
    virtual ~Windows() = default;
    virtual int32_t Count() = 0;  // called by DISPID 118
    virtual std::unique_ptr<Enumerator<Window>> Enumerate() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    virtual std::wstring Name() = 0;
    virtual std::wstring FullName() = 0;
    // False once the workbook has changes since its last save; True for a new
    // workbook nothing was done to. Called by DISPID 298.
    virtual bool Saved() = 0;
    virtual void Activate() = 0;
    virtual std::shared_ptr<excel::Windows> Windows() = 0;
};

class Workbooks {
public:
    virtual ~Workbooks() = default;
    virtual std::unique_ptr<Enumerator<Workbook>> Enumerate() = 0;         // hidden ones included
    virtual std::shared_ptr<Workbook> Item(const std::wstring& name) = 0;  // throws when unknown
    virtual int32_t Count() = 0;
};

class CommandBarControl;
class CommandBarControls;

// Click of a command-bar button; Office raises it on every subscribed button
// whose Tag equals the clicked control's Tag.
class ButtonClickSink {
public:
    virtual ~ButtonClickSink() = default;
    virtual void Click(const std::shared_ptr<CommandBarControl>& Ctrl, bool& CancelDefault) = 0;
};

class CommandBarControl {
public:
    virtual ~CommandBarControl() = default;
    virtual std::wstring Caption() = 0;
    virtual void Caption(const std::wstring& value) = 0;
    virtual std::wstring Tag() = 0;
    virtual void Tag(const std::wstring& value) = 0;
    virtual std::wstring Parameter() = 0;
    virtual void Parameter(const std::wstring& value) = 0;
    virtual bool Enabled() = 0;
    virtual void Enabled(bool value) = 0;
    virtual int32_t Width() = 0;
    virtual void Width(int32_t value) = 0;
    virtual int32_t Id() = 0;
    virtual void Execute() = 0;
    // Only buttons raise Click; subscribing another control type throws.
    virtual std::unique_ptr<Subscription> SubscribeClick(ButtonClickSink& sink) = 0;
    // The entries of a popup control such as the Window menu (Id 30009).
    // Buttons have none: the default fails as Office does for them.
    virtual std::shared_ptr<CommandBarControls> Controls() { throw HostError(hr::DISP_E_MEMBERNOTFOUND_); }
};

class CommandBarControls {
public:
    virtual ~CommandBarControls() = default;
    // Every argument may be omitted (sent as missing). Appends a control.
    virtual std::shared_ptr<CommandBarControl> Add(std::optional<int32_t> Type = {}, std::optional<int32_t> Id = {},
                                                   std::optional<std::wstring> Parameter = {},
                                                   std::optional<int32_t> Before = {},
                                                   std::optional<bool> Temporary = {}) = 0;
    virtual std::shared_ptr<CommandBarControl> Item(int32_t position) = 0;  // 1-based
    virtual std::shared_ptr<CommandBarControl> Item(const std::wstring& caption) = 0;
    virtual int32_t Count() = 0;
    virtual std::unique_ptr<Enumerator<CommandBarControl>> Enumerate() = 0;
};

class CommandBar {
public:
    virtual ~CommandBar() = default;
    virtual std::wstring Name() = 0;
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
    virtual void Delete() = 0;
    virtual bool Enabled() = 0;
    virtual void Enabled(bool value) = 0;
    virtual bool Visible() = 0;
    virtual void Visible(bool value) = 0;
    virtual int32_t Position() = 0;
    virtual void Position(int32_t value) = 0;
    virtual int32_t Protection() = 0;
    virtual void Protection(int32_t value) = 0;
    virtual void ShowPopup() = 0;  // at the pointer; returns when the menu closes
};

class CommandBars {
public:
    virtual ~CommandBars() = default;
    virtual std::shared_ptr<CommandBar> Item(const std::wstring& name) = 0;  // throws when absent
    virtual std::shared_ptr<CommandBar> Add(std::optional<std::wstring> Name = {}, std::optional<int32_t> Position = {},
                                            std::optional<bool> MenuBar = {}, std::optional<bool> Temporary = {}) = 0;
    // Nothing when no control matches.
    virtual std::shared_ptr<CommandBarControl> FindControl(std::optional<int32_t> Type = {},
                                                           std::optional<int32_t> Id = {},
                                                           std::optional<std::wstring> Tag = {},
                                                           std::optional<bool> Visible = {}) = 0;
};

// The application events the add-in handles; others are ignored by the sink.
class AppEventSink {
public:
    virtual ~AppEventSink() = default;
    virtual void NewWorkbook(const std::shared_ptr<Workbook>& Wb) = 0;
    virtual void WorkbookOpen(const std::shared_ptr<Workbook>& Wb) = 0;
    virtual void WorkbookActivate(const std::shared_ptr<Workbook>& Wb) = 0;
    // May throw: the failure becomes the result of Excel's event call.
    virtual void WorkbookBeforeClose(const std::shared_ptr<Workbook>& Wb, bool& Cancel) = 0;
};

class Application {
public:
    virtual ~Application() = default;
    virtual std::wstring Version() = 0;  // read by name, e.g. "11.0"
    virtual bool Visible() = 0;
    virtual WindowHandle Hwnd() = 0;
    virtual ModuleHandle Hinstance() = 0;
    virtual std::shared_ptr<excel::Workbooks> Workbooks() = 0;
    virtual std::shared_ptr<Workbook> ActiveWorkbook() = 0;  // throws when none
    virtual std::shared_ptr<excel::CommandBars> CommandBars() = 0;
    virtual void ScreenUpdating(bool value) = 0;
    // Application.Application; C++ forbids a member named after its class.
    virtual std::shared_ptr<excel::Application> GetApplication() = 0;
    virtual std::unique_ptr<Subscription> SubscribeEvents(AppEventSink& sink) = 0;
};

// Built-in control ids and command-bar constants of Office.
namespace ids {
inline constexpr int32_t Save = 3;
inline constexpr int32_t Close = 106;
inline constexpr int32_t SaveAs = 748;
inline constexpr int32_t NewWorkbook = 2520;
inline constexpr int32_t WindowMenu = 30009;
}  // namespace ids

inline constexpr int32_t msoBarTop = 1;
inline constexpr int32_t msoBarPopup = 5;
inline constexpr int32_t msoControlButton = 1;
inline constexpr int32_t msoBarProtectionAll = 31;

}  // namespace tarnwick::excel
