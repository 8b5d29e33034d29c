// The windows of the two forms: created hidden with a caption, as a form's
// window is, and raising the form's events back into the core.
#include <stdexcept>

#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {

namespace {

constexpr uint32_t kFormStyle = 0x06C80000;    // WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU
constexpr uint32_t kFormExStyle = 0x00010101;  // WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME
constexpr uint32_t kDialogStyle = 0x84C80080;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME
constexpr int32_t kDestroyed = static_cast<int32_t>(0x80070578u);  // HRESULT of ERROR_INVALID_WINDOW_HANDLE

template <class F>
void Raise(World& world, const char* where, F&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        world.RecordEscaped(std::string(where) + ": " + e.what());
    } catch (...) {
        world.RecordEscaped(std::string(where) + ": unknown exception");
    }
}

}  // namespace

class TabFormWindowSim : public TabFormWindow {
public:
    TabFormWindowSim(World& world, TabFormEvents& events, bool withControl) : link_(world.link()) {
        // The design client area is 4560 x 915 twips; a caption and border add to it.
        hwnd_ = world.CreateWindow(L"TarnwickTabForm", L"Form_Tab", 0, kFormStyle, false);
        WindowModel* w = world.Win(hwnd_);
        w->exStyle = kFormExStyle;
        w->rect = Rect{0, 0, 4560 / 15 + 6, 915 / 15 + 25};
        imageList_ = 0x00B10000u + static_cast<ImageListHandle>(world.tabFormsCreated_) * 0x10;
        if (withControl) {
            control_ = std::make_shared<TabControlSim>(link_, events);
            world.tabForms_.emplace_back(hwnd_, control_);
        }
        auto control = control_;
        w->onResize = [&events, link = link_] {
            if (link->world != nullptr) events.Form_Resize();
        };
        w->onDestroy = [control] {
            if (control) control->Kill();
        };
        ++world.liveForms_;
        ++world.tabFormsCreated_;
    }

    ~TabFormWindowSim() override {
        if (World* world = link_->world) {
            world->DestroyWindow(hwnd_);
            --world->liveForms_;
        }
        if (control_) control_->Kill();
    }

    WindowHandle hWnd() override {
        Touch(link_, "TabForm.hWnd");
        return hwnd_;
    }

    int32_t Width() override {
        World& world = Touch(link_, "TabForm.Width");
        const WindowModel* w = world.Window(hwnd_);
        if (w == nullptr) throw HostError(kDestroyed);
        return (w->rect.right - w->rect.left) * world.twipsX_;
    }

    std::shared_ptr<tab::TabControl> TabSeclect() override {
        Touch(link_, "TabForm.TabSeclect");
        if (!control_ || !control_->Alive()) throw HostError(hr::OBJECT_REQUIRED_);
        return MakeTabControlPort(link_, control_);
    }

    bool HasTabControl() override { return control_ != nullptr; }

    ImageListHandle ImageList1() override {
        Touch(link_, "TabForm.ImageList1");
        return imageList_;
    }

    void Show() override {
        World& world = Touch(link_, "TabForm.Show");
        WindowModel* w = world.Win(hwnd_);
        if (w == nullptr) throw HostError(kDestroyed);
        w->visible = true;
    }

private:
    Link link_;
    WindowHandle hwnd_ = 0;
    ImageListHandle imageList_ = 0;
    std::shared_ptr<TabControlSim> control_;
};

class AboutFormWindowSim : public AboutFormWindow, public AboutDialogSim {
public:
    AboutFormWindowSim(World& world, AboutFormEvents& events) : link_(world.link()), events_(events) {
        hwnd_ = world.CreateWindow(L"TarnwickAboutForm", L"关于 Tarnwick 工作簿标签", 0, kDialogStyle, false);
        WindowModel* w = world.Win(hwnd_);
        w->exStyle = 0x00000101;  // WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME
        w->rect = Rect{200, 150, 200 + 6720 / 15, 150 + 5400 / 15};
        ++world.liveForms_;
    }

    ~AboutFormWindowSim() override {
        if (World* world = link_->world) {
            world->DestroyWindow(hwnd_);
            --world->liveForms_;
        }
    }

    // --- AboutFormWindow (the core's side)
    WindowHandle hWnd() override {
        Touch(link_, "AboutForm.hWnd");
        return hwnd_;
    }

    bool OptionValue(AboutOption option) override {
        Touch(link_, "AboutForm.OptionValue");
        return option == AboutOption::Option1 ? option1_ : option2_;
    }

    void OptionValue(AboutOption option, bool value) override {
        Touch(link_, "AboutForm.OptionValue");
        Set(option, value);
    }

    void Enabled(AboutControl control, bool value) override {
        Touch(link_, "AboutForm.Enabled");
        enabled_[static_cast<int>(control)] = value;
    }

    void ShowModal() override {
        World& world = Touch(link_, "AboutForm.ShowModal");
        WindowModel* w = world.Win(hwnd_);
        if (w == nullptr || destroyed_) throw HostError(kDestroyed);
        w->visible = true;
        world.aboutShown_.push_back(AboutShown{option1_, option2_, enabled_[0], enabled_[1], enabled_[2], w->owner});
        // A modal dialog disables its owner for as long as it runs.
        const WindowHandle owner = w->owner;
        SetEnabled(world, owner, false);
        world.ActivateWindow(hwnd_);
        if (world.onAbout_) {
            auto script = world.onAbout_;
            script(*this);
        }
        // Left open by the script: the user closes it with the close box.
        if (!destroyed_) CloseBox();
        SetEnabled(world, owner, true);
        if (!destroyed_) world.RecordEscaped("about dialog: ShowModal would never return (window not destroyed)");
    }

    void Destroy() override {
        World& world = Touch(link_, "AboutForm.Destroy");
        destroyed_ = true;
        world.DestroyWindow(hwnd_);
    }

    // --- AboutDialogSim (the test's side)
    bool Enabled(AboutControl control) override { return enabled_[static_cast<int>(control)]; }
    bool IsOpen() override { return !destroyed_; }
    void ChooseOption1() override {
        if (!destroyed_ && enabled_[0]) Set(AboutOption::Option1, true);
    }
    void ChooseOption2() override {
        if (!destroyed_ && enabled_[1]) Set(AboutOption::Option2, true);
    }
    void PressOK() override {
        if (!destroyed_ && enabled_[2]) Raise(*link_->world, "cmdOK_Click", [&] { events_.cmdOK_Click(); });
    }
    void PressEsc() override { PressOK(); }
    void ClickLink() override {
        if (!destroyed_) Raise(*link_->world, "Labelblog_Click", [&] { events_.Labelblog_Click(); });
    }
    void CloseBox() override {
        if (!destroyed_) Raise(*link_->world, "Form_CloseRequested", [&] { events_.Form_CloseRequested(); });
    }

private:
    static void SetEnabled(World& world, WindowHandle hwnd, bool enabled) {
        if (WindowModel* owner = hwnd != 0 ? world.Win(hwnd) : nullptr) owner->enabled = enabled;
    }
    void Set(AboutOption option, bool value) {
        // Option buttons in one frame exclude each other.
        bool& mine = option == AboutOption::Option1 ? option1_ : option2_;
        bool& other = option == AboutOption::Option1 ? option2_ : option1_;
        mine = value;
        if (value) other = false;
    }

    Link link_;
    AboutFormEvents& events_;
    WindowHandle hwnd_ = 0;
    bool option1_ = false;
    bool option2_ = false;
    bool enabled_[3] = {true, true, true};
    bool destroyed_ = false;
};

std::unique_ptr<TabFormWindow> PlatformSim::CreateTabFormWindow(TabFormEvents& events,
                                                                const std::wstring& controlModule) {
    w_.Touch("Platform.CreateTabFormWindow");
    bool withControl = w_.tabControlCreatable_;
    if (!controlModule.empty()) {
        // Straight from the file: it must be there and be a control module.
        const std::optional<uint32_t> attributes = w_.FileAttributes(controlModule);
        const std::optional<std::vector<uint8_t>> bytes = w_.FileBytes(controlModule);
        withControl = attributes && (*attributes & file_attr::Directory) == 0 && bytes && !bytes->empty() &&
                      (!w_.controlModuleLoadable_ || w_.controlModuleLoadable_(*bytes));
    }
    if (withControl) w_.lastControlModule_ = controlModule;
    return std::make_unique<TabFormWindowSim>(w_, events, withControl);
}

std::unique_ptr<AboutFormWindow> PlatformSim::CreateAboutFormWindow(AboutFormEvents& events) {
    w_.Touch("Platform.CreateAboutFormWindow");
    return std::make_unique<AboutFormWindowSim>(w_, events);
}

}  // namespace tarnwick::sim
