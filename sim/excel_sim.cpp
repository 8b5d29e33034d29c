// The simulated Excel and Office: the object model's port objects, the
// workbooks, the command bars and the built-in commands with Excel's events.
//
// Choices where Excel leaves room: after a close, the most recently active
// workbook that still shows a window becomes active; the Window menu lists
// the visible windows in workbook order unless a test sets another; bar and
// control names compare without regard to case, as Office's do; so do
// workbook names in Item.
#include <algorithm>
#include <cwctype>
#include <stdexcept>
#include <tuple>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {

namespace {

constexpr int32_t kGone = hr::OBJECT_REQUIRED_;
constexpr int32_t msoControlPopup = 10;
constexpr int32_t msoBarLeft = 0;
constexpr int32_t msoBarFloating = 4;
constexpr int32_t msoBarMenuBar = 6;
constexpr uint32_t STATE_SELECTABLE = 0x00200000;
constexpr int32_t ROLE_DIALOG = 18;
constexpr int32_t ROLE_LIST = 33;

bool SameText(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

std::wstring FilePart(const std::wstring& fullName) {
    size_t slash = fullName.find_last_of(L"\\/");
    return slash == std::wstring::npos ? fullName : fullName.substr(slash + 1);
}

std::wstring BaseName(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

template <class F>
void Guard(World& world, const std::string& where, F&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        world.RecordEscaped(where + ": " + e.what());
    } catch (...) {
        world.RecordEscaped(where + ": unknown exception");
    }
}

std::string Narrow(const std::wstring& text) {
    return Utf8FromWide(text);
}

void Kill(const std::shared_ptr<ControlModel>& c) {
    c->alive = false;
    for (auto& child : c->children) Kill(child);
}

}  // namespace

// Every Excel and Office port object counts as one host reference while it lives.
class HostPort {
public:
    explicit HostPort(Link link) : link_(std::move(link)) { ++link_->liveHostProxies; }
    ~HostPort() { --link_->liveHostProxies; }
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

protected:
    World& Enter(const char* member) { return Touch(link_, member); }
    Link link_;
};

template <class T>
class EnumeratorPort : public excel::Enumerator<T>, public HostPort {
public:
    using Make = std::function<std::shared_ptr<T>(size_t)>;
    EnumeratorPort(Link link, const char* member, size_t count, Make make)
        : HostPort(std::move(link)), member_(member), count_(count), make_(std::move(make)) {}
    std::shared_ptr<T> Next() override {
        Enter(member_);
        return next_ < count_ ? make_(next_++) : nullptr;
    }

private:
    const char* member_;
    size_t count_;
    size_t next_ = 0;
    Make make_;
};

// ---------------------------------------------------------------- workbooks

class WindowPort : public excel::Window, public HostPort {
public:
    WindowPort(Link link, std::shared_ptr<ExcelWindowModel> window)
        : HostPort(std::move(link)), w_(std::move(window)) {}
    bool Visible() override {
        Enter("Window.Visible");
        if (!w_->alive) throw HostError(kGone);
        return w_->visible;
    }

private:
    std::shared_ptr<ExcelWindowModel> w_;
};

class WindowsPort : public excel::Windows, public HostPort {
public:
    WindowsPort(Link link, std::shared_ptr<WorkbookModel> wb) : HostPort(std::move(link)), wb_(std::move(wb)) {}
    int32_t Count() override {
        Enter("Windows.Count");
        Check();
        return static_cast<int32_t>(wb_->windows.size());
    }
    std::unique_ptr<excel::Enumerator<excel::Window>> Enumerate() override {
        Enter("Windows.Enumerate");
        Check();
        auto windows = wb_->windows;
        return std::make_unique<EnumeratorPort<excel::Window>>(
            link_, "Windows.Next", windows.size(),
            [link = link_, windows](size_t i) { return std::make_shared<WindowPort>(link, windows[i]); });
    }

private:
    void Check() const {
        if (!wb_->alive) throw HostError(kGone);
    }
    std::shared_ptr<WorkbookModel> wb_;
};

class WorkbookPort : public excel::Workbook, public HostPort {
public:
    WorkbookPort(Link link, std::shared_ptr<WorkbookModel> wb) : HostPort(std::move(link)), wb_(std::move(wb)) {}
    std::wstring Name() override {
        Enter("Workbook.Name");
        return Check().name;
    }
    std::wstring FullName() override {
        Enter("Workbook.FullName");
        const WorkbookModel& wb = Check();
        return wb.everSaved ? wb.fullName : wb.name;
    }
    void Activate() override {
        World& world = Enter("Workbook.Activate");
        Check();
        world.RefuseWhileEditing();
        if (std::none_of(wb_->windows.begin(), wb_->windows.end(), [](const auto& w) { return w->visible; }))
            throw HostError(hr::E_FAIL_);  // a workbook whose windows are all hidden cannot be activated
        world.Activate(wb_, true);
    }
    std::shared_ptr<excel::Windows> Windows() override {
        Enter("Workbook.Windows");
        Check();
        return std::make_shared<WindowsPort>(link_, wb_);
    }

private:
    const WorkbookModel& Check() const {
        if (!wb_->alive) throw HostError(kGone);
        return *wb_;
    }
    std::shared_ptr<WorkbookModel> wb_;
};

class WorkbooksPort : public excel::Workbooks, public HostPort {
public:
    explicit WorkbooksPort(Link link) : HostPort(std::move(link)) {}
    std::unique_ptr<excel::Enumerator<excel::Workbook>> Enumerate() override {
        World& world = Enter("Workbooks.Enumerate");
        auto books = world.workbooks_;
        return std::make_unique<EnumeratorPort<excel::Workbook>>(
            link_, "Workbooks.Next", books.size(),
            [link = link_, books](size_t i) { return std::make_shared<WorkbookPort>(link, books[i]); });
    }
    std::shared_ptr<excel::Workbook> Item(const std::wstring& name) override {
        World& world = Enter("Workbooks.Item");
        for (const auto& wb : world.workbooks_)
            if (SameText(wb->name, name)) return std::make_shared<WorkbookPort>(link_, wb);
        throw HostError(hr::DISP_E_BADINDEX_);
    }
    int32_t Count() override { return static_cast<int32_t>(Enter("Workbooks.Count").workbooks_.size()); }
};

// ---------------------------------------------------------------- command bars

class ClickSubscription : public excel::Subscription {
public:
    ClickSubscription(Link link, int64_t id) : link_(std::move(link)), id_(id) {}
    ~ClickSubscription() override {
        if (World* world = link_->world) {
            auto& sinks = world->clickSinks_;
            sinks.erase(std::remove_if(sinks.begin(), sinks.end(), [&](const auto& e) { return e.id == id_; }),
                        sinks.end());
        }
    }

private:
    Link link_;
    int64_t id_;
};

class CommandBarControlsPort;

class CommandBarControlPort : public excel::CommandBarControl, public HostPort {
public:
    CommandBarControlPort(Link link, std::shared_ptr<ControlModel> c) : HostPort(std::move(link)), c_(std::move(c)) {}
    std::wstring Caption() override { return Get("CommandBarControl.Caption").caption; }
    void Caption(const std::wstring& value) override { Get("CommandBarControl.Caption").caption = value; }
    std::wstring Tag() override { return Get("CommandBarControl.Tag").tag; }
    void Tag(const std::wstring& value) override { Get("CommandBarControl.Tag").tag = value; }
    std::wstring Parameter() override { return Get("CommandBarControl.Parameter").parameter; }
    void Parameter(const std::wstring& value) override { Get("CommandBarControl.Parameter").parameter = value; }
    bool Enabled() override { return Get("CommandBarControl.Enabled").enabled; }
    void Enabled(bool value) override { Get("CommandBarControl.Enabled").enabled = value; }
    int32_t Width() override { return Get("CommandBarControl.Width").width; }
    void Width(int32_t value) override { Get("CommandBarControl.Width").width = value; }
    int32_t Id() override { return Get("CommandBarControl.Id").id; }
    void Execute() override {
        World& world = Enter("CommandBarControl.Execute");
        Check();
        world.ExecuteControl(c_);
    }
    std::unique_ptr<excel::Subscription> SubscribeClick(excel::ButtonClickSink& sink) override {
        World& world = Enter("CommandBarControl.SubscribeClick");
        if (Check().type != excel::msoControlButton) throw HostError(hr::E_INVALIDARG_);
        const int64_t id = world.nextSinkId_++;
        world.clickSinks_.push_back(World::ClickSinkEntry{&sink, c_, id});
        return std::make_unique<ClickSubscription>(link_, id);
    }
    std::shared_ptr<excel::CommandBarControls> Controls() override;

private:
    ControlModel& Check() {
        if (!c_->alive) throw HostError(kGone);
        return *c_;
    }
    ControlModel& Get(const char* member) {
        Enter(member);
        return Check();
    }
    std::shared_ptr<ControlModel> c_;
};

// The controls of a bar, or the entries of a popup control.
class CommandBarControlsPort : public excel::CommandBarControls, public HostPort {
public:
    CommandBarControlsPort(Link link, std::shared_ptr<BarModel> bar, std::shared_ptr<ControlModel> popup)
        : HostPort(std::move(link)), bar_(std::move(bar)), popup_(std::move(popup)) {}

    std::shared_ptr<excel::CommandBarControl> Add(std::optional<int32_t> Type, std::optional<int32_t> Id,
                                                  std::optional<std::wstring> Parameter, std::optional<int32_t> Before,
                                                  std::optional<bool> Temporary) override {
        Enter("CommandBarControls.Add");
        auto& list = List();
        if (popup_ && popup_->dynamicWindowMenu) throw HostError(hr::E_FAIL_);
        const int32_t type = Type.value_or(excel::msoControlButton);
        if (type != excel::msoControlButton && type != msoControlPopup) throw HostError(hr::E_INVALIDARG_);
        auto c = std::make_shared<ControlModel>();
        c->type = type;
        c->id = Id.value_or(1);
        c->parameter = Parameter.value_or(L"");
        c->temporary = Temporary.value_or(false);
        if (Before) {
            if (*Before < 1 || *Before > static_cast<int32_t>(list.size()) + 1) throw HostError(hr::E_INVALIDARG_);
            list.insert(list.begin() + (*Before - 1), c);
        } else {
            list.push_back(c);
        }
        return std::make_shared<CommandBarControlPort>(link_, c);
    }
    std::shared_ptr<excel::CommandBarControl> Item(int32_t position) override {
        Enter("CommandBarControls.Item");
        auto& list = List();
        if (position < 1 || position > static_cast<int32_t>(list.size())) throw HostError(hr::DISP_E_BADINDEX_);
        return std::make_shared<CommandBarControlPort>(link_, list[static_cast<size_t>(position - 1)]);
    }
    std::shared_ptr<excel::CommandBarControl> Item(const std::wstring& caption) override {
        Enter("CommandBarControls.Item");
        for (const auto& c : List())
            if (SameText(c->caption, caption)) return std::make_shared<CommandBarControlPort>(link_, c);
        throw HostError(hr::DISP_E_BADINDEX_);
    }
    int32_t Count() override {
        Enter("CommandBarControls.Count");
        return static_cast<int32_t>(List().size());
    }
    std::unique_ptr<excel::Enumerator<excel::CommandBarControl>> Enumerate() override {
        Enter("CommandBarControls.Enumerate");
        auto list = List();
        return std::make_unique<EnumeratorPort<excel::CommandBarControl>>(
            link_, "CommandBarControls.Next", list.size(),
            [link = link_, list](size_t i) { return std::make_shared<CommandBarControlPort>(link, list[i]); });
    }

private:
    std::vector<std::shared_ptr<ControlModel>>& List() {
        if (bar_) {
            if (!bar_->alive) throw HostError(kGone);
            return bar_->controls;
        }
        if (!popup_->alive) throw HostError(kGone);
        if (popup_->dynamicWindowMenu) link_->world->RefreshWindowMenu();
        return popup_->children;
    }
    std::shared_ptr<BarModel> bar_;
    std::shared_ptr<ControlModel> popup_;
};

std::shared_ptr<excel::CommandBarControls> CommandBarControlPort::Controls() {
    Enter("CommandBarControl.Controls");
    if (Check().type != msoControlPopup) throw HostError(hr::DISP_E_MEMBERNOTFOUND_);
    return std::make_shared<CommandBarControlsPort>(link_, nullptr, c_);
}

class CommandBarPort : public excel::CommandBar, public HostPort {
public:
    CommandBarPort(Link link, std::shared_ptr<BarModel> bar) : HostPort(std::move(link)), b_(std::move(bar)) {}
    std::wstring Name() override { return Get("CommandBar.Name").name; }
    std::shared_ptr<excel::CommandBarControls> Controls() override {
        Get("CommandBar.Controls");
        return std::make_shared<CommandBarControlsPort>(link_, b_, nullptr);
    }
    void Delete() override {
        World& world = Enter("CommandBar.Delete");
        if (Check().builtIn) throw HostError(hr::E_FAIL_);
        world.DeleteBar(b_);
    }
    bool Enabled() override { return Get("CommandBar.Enabled").enabled; }
    void Enabled(bool value) override {
        Get("CommandBar.Enabled").enabled = value;
        link_->world->UpdateBarWindow(b_);
    }
    bool Visible() override { return Get("CommandBar.Visible").visible; }
    void Visible(bool value) override {
        // A popup keeps the flag but shows only through ShowPopup.
        Get("CommandBar.Visible").visible = value;
        link_->world->UpdateBarWindow(b_);
    }
    int32_t Position() override { return Get("CommandBar.Position").position; }
    void Position(int32_t value) override {
        BarModel& b = Get("CommandBar.Position");
        if (value < msoBarLeft || value > excel::msoBarPopup) throw HostError(hr::E_INVALIDARG_);
        // A popup stays a popup, and a toolbar cannot become one.
        if ((b.position == excel::msoBarPopup) != (value == excel::msoBarPopup)) throw HostError(hr::E_FAIL_);
        b.position = value;
        link_->world->UpdateBarWindow(b_);
    }
    int32_t Protection() override { return Get("CommandBar.Protection").protection; }
    void Protection(int32_t value) override { Get("CommandBar.Protection").protection = value; }
    void ShowPopup() override {
        World& world = Enter("CommandBar.ShowPopup");
        if (Check().position != excel::msoBarPopup) throw HostError(hr::E_FAIL_);
        world.ShowPopup(b_);
    }

private:
    BarModel& Check() {
        if (!b_->alive) throw HostError(kGone);
        return *b_;
    }
    BarModel& Get(const char* member) {
        Enter(member);
        return Check();
    }
    std::shared_ptr<BarModel> b_;
};

class CommandBarsPort : public excel::CommandBars, public HostPort {
public:
    explicit CommandBarsPort(Link link) : HostPort(std::move(link)) {}
    std::shared_ptr<excel::CommandBar> Item(const std::wstring& name) override {
        World& world = Enter("CommandBars.Item");
        auto bar = world.FindBarModel(name);
        if (!bar) throw HostError(hr::E_INVALIDARG_);
        return std::make_shared<CommandBarPort>(link_, bar);
    }
    std::shared_ptr<excel::CommandBar> Add(std::optional<std::wstring> Name, std::optional<int32_t> Position,
                                           std::optional<bool> MenuBar, std::optional<bool> Temporary) override {
        World& world = Enter("CommandBars.Add");
        auto bar = std::make_shared<BarModel>();
        bar->name = Name.value_or(L"自定义 " + std::to_wstring(world.bars_.size() + 1));
        if (world.FindBarModel(bar->name)) throw HostError(hr::E_INVALIDARG_);  // Office: name in use
        bar->position = Position.value_or(msoBarFloating);
        if (bar->position < msoBarLeft || bar->position > msoBarMenuBar) throw HostError(hr::E_INVALIDARG_);
        bar->menuBar = MenuBar.value_or(false);
        bar->temporary = Temporary.value_or(false);
        world.bars_.push_back(bar);
        return std::make_shared<CommandBarPort>(link_, bar);
    }
    std::shared_ptr<excel::CommandBarControl> FindControl(std::optional<int32_t> Type, std::optional<int32_t> Id,
                                                          std::optional<std::wstring> Tag,
                                                          std::optional<bool> /*Visible*/) override {
        World& world = Enter("CommandBars.FindControl");
        auto c = world.FindControlModel(Type, Id, Tag);
        return c ? std::make_shared<CommandBarControlPort>(link_, c) : nullptr;
    }
};

// ---------------------------------------------------------------- the application

class AppEventSubscription : public excel::Subscription {
public:
    AppEventSubscription(Link link, int64_t id) : link_(std::move(link)), id_(id) {}
    ~AppEventSubscription() override {
        if (World* world = link_->world) {
            auto& sinks = world->appSinks_;
            sinks.erase(std::remove_if(sinks.begin(), sinks.end(), [&](const auto& e) { return e.id == id_; }),
                        sinks.end());
        }
    }

private:
    Link link_;
    int64_t id_;
};

class ApplicationPort : public excel::Application, public HostPort {
public:
    explicit ApplicationPort(Link link) : HostPort(std::move(link)) {}
    std::wstring Version() override {
        World& world = Enter("Application.Version");
        if (world.versionUnreadable_) throw HostError(hr::E_FAIL_);
        return world.version_;
    }
    bool Visible() override { return Enter("Application.Visible").excelVisible_; }
    WindowHandle Hwnd() override { return Enter("Application.Hwnd").mainWindow_; }
    ModuleHandle Hinstance() override { return Enter("Application.Hinstance").ExcelInstance(); }
    std::shared_ptr<excel::Workbooks> Workbooks() override {
        Enter("Application.Workbooks");
        return std::make_shared<WorkbooksPort>(link_);
    }
    std::shared_ptr<excel::Workbook> ActiveWorkbook() override {
        auto wb = Enter("Application.ActiveWorkbook").ActiveWorkbook();
        if (!wb) throw HostError(kGone);
        return std::make_shared<WorkbookPort>(link_, wb);
    }
    std::shared_ptr<excel::CommandBars> CommandBars() override {
        Enter("Application.CommandBars");
        return std::make_shared<CommandBarsPort>(link_);
    }
    void ScreenUpdating(bool value) override {
        World& world = Enter("Application.ScreenUpdating");
        world.RefuseWhileEditing();
        world.screenUpdating_ = value;
    }
    std::shared_ptr<excel::Application> GetApplication() override {
        Enter("Application.Application");
        return std::make_shared<ApplicationPort>(link_);
    }
    std::unique_ptr<excel::Subscription> SubscribeEvents(excel::AppEventSink& sink) override {
        World& world = Enter("Application.SubscribeEvents");
        const int64_t id = world.nextSinkId_++;
        world.appSinks_.push_back(World::AppSinkEntry{&sink, id});
        return std::make_unique<AppEventSubscription>(link_, id);
    }
};

std::shared_ptr<excel::Application> World::Application() {
    return std::make_shared<ApplicationPort>(link_);
}

std::shared_ptr<excel::Workbook> World::WorkbookPortFor(const std::shared_ptr<WorkbookModel>& wb) {
    return std::make_shared<WorkbookPort>(link_, wb);
}

std::shared_ptr<excel::CommandBarControl> World::ControlPortFor(const std::shared_ptr<ControlModel>& c) {
    return std::make_shared<CommandBarControlPort>(link_, c);
}

std::shared_ptr<excel::CommandBar> World::BarPortFor(const std::shared_ptr<BarModel>& b) {
    return std::make_shared<CommandBarPort>(link_, b);
}

// ================================================================ Excel's behaviour

void World::BuildExcel() {
    mainWindow_ = CreateWindow(L"XLMAIN", L"Microsoft Excel", 0, 0x16CF0000u & ~0x10000000u, excelVisible_);
    Win(mainWindow_)->rect = Rect{0, 0, 1024, 768};
    const int32_t dockOrder[] = {excel::msoBarTop, msoBarLeft, 2, 3};
    for (int32_t pos : dockOrder) docks_[pos] = CreateWindow(L"EXCEL2", L"", mainWindow_, 0x56000000u, true);
    deskWindow_ = CreateWindow(L"XLDESK", L"", mainWindow_, 0x56000000u, true);
    formulaBar_ = CreateWindow(kEditClassFormulaBar, L"", mainWindow_, 0x56000000u, true);
    cellEdit_ = CreateWindow(kEditClassInCell, L"", deskWindow_, 0x46000000u, false);

    auto control = [](int32_t type, int32_t id, std::wstring caption, std::function<void()> action = {}) {
        auto c = std::make_shared<ControlModel>();
        c->type = type;
        c->id = id;
        c->caption = std::move(caption);
        c->action = std::move(action);
        return c;
    };
    auto close = [this] {
        auto wb = ActiveWorkbook();
        if (!wb) throw HostError(hr::E_FAIL_);
        executed_.push_back(L"Close(" + wb->name + L")");
        CloseWorkbook(wb);
    };
    auto save = [this](bool saveAs) {
        return [this, saveAs] {
            auto wb = ActiveWorkbook();
            if (!wb) throw HostError(hr::E_FAIL_);
            executed_.push_back((saveAs ? L"SaveAs(" : L"Save(") + wb->name + L")");
            SaveWorkbook(wb, saveAs);
        };
    };
    auto newBook = [this] {
        executed_.push_back(L"New(" + NextBookName() + L")");
        NewWorkbook();
    };

    auto menuBar = std::make_shared<BarModel>();
    menuBar->name = L"Worksheet Menu Bar";
    menuBar->position = excel::msoBarTop;
    menuBar->visible = true;
    menuBar->menuBar = true;
    menuBar->builtIn = true;
    auto file = control(msoControlPopup, 30002, L"文件(&F)");
    file->children = {control(1, 18, L"新建(&N)...", newBook), control(1, 106, L"关闭(&C)", close),
                      control(1, 3, L"保存(&S)", save(false)), control(1, 748, L"另存为(&A)...", save(true))};
    windowMenu_ = control(msoControlPopup, excel::ids::WindowMenu, L"窗口(&W)");
    windowMenu_->dynamicWindowMenu = true;
    windowMenu_->children = {
        control(1, 303, L"新建窗口(&N)",
                [this] {
                    executed_.push_back(L"NewWindow");
                    if (auto wb = ActiveWorkbook()) AddWindow(wb->name);
                }),
        control(1, 298, L"重排窗口(&A)...", [this] { executed_.push_back(L"Arrange"); }),
        control(1, 865, L"隐藏(&H)",
                [this] {
                    executed_.push_back(L"Hide");
                    auto wb = ActiveWorkbook();
                    if (!wb) throw HostError(hr::E_FAIL_);
                    for (size_t i = 0; i < wb->windows.size(); ++i)
                        if (wb->windows[i]->visible)
                            return SetWindowVisible(wb->name, static_cast<int32_t>(i) + 1, false);
                }),
        control(1, 866, L"取消隐藏(&U)...", [this] { executed_.push_back(L"Unhide"); }),
    };
    menuBar->controls = {file, windowMenu_};

    auto standard = std::make_shared<BarModel>();
    standard->name = L"Standard";
    standard->position = excel::msoBarTop;
    standard->visible = true;
    standard->builtIn = true;
    standard->controls = {control(1, excel::ids::NewWorkbook, L"新建", newBook), control(1, 3, L"保存", save(false))};

    auto formatting = std::make_shared<BarModel>();
    formatting->name = L"Formatting";
    formatting->position = excel::msoBarTop;
    formatting->visible = true;
    formatting->builtIn = true;

    auto cell = std::make_shared<BarModel>();
    cell->name = L"Cell";
    cell->position = excel::msoBarPopup;
    cell->builtIn = true;

    bars_ = {menuBar, standard, formatting, cell};
    for (auto& bar : bars_) UpdateBarWindow(bar);
}

// --- layout of the main window: docks, bars, desk

namespace {
constexpr int32_t kBarRow = 26;
}

void World::LayoutExcel() {
    const Rect m = Win(mainWindow_)->rect;
    auto rowsIn = [&](WindowHandle dock) {
        int32_t rows = 0;
        for (const auto& [h, w] : windows_)
            if (w.parent == dock && w.className == L"MsoCommandBar" && w.visible) ++rows;
        return rows;
    };
    const int32_t top = m.top + 42;
    const int32_t topRows = rowsIn(docks_[excel::msoBarTop]);
    Win(docks_[excel::msoBarTop])->rect = Rect{m.left + 4, top, m.right - 4, top + topRows * kBarRow};
    const int32_t bottomRows = rowsIn(docks_[3]);
    const int32_t bottom = m.bottom - 24;
    Win(docks_[3])->rect = Rect{m.left + 4, bottom - bottomRows * kBarRow, m.right - 4, bottom};
    const int32_t deskTop = top + topRows * kBarRow;
    const int32_t deskBottom = bottom - bottomRows * kBarRow;
    Win(docks_[msoBarLeft])->rect = Rect{m.left + 4, deskTop, m.left + 4, deskBottom};
    Win(docks_[2])->rect = Rect{m.right - 4, deskTop, m.right - 4, deskBottom};
    Win(deskWindow_)->rect = Rect{m.left + 4, deskTop + 20, m.right - 4, deskBottom};
    Win(formulaBar_)->rect = Rect{m.left + 60, deskTop, m.right - 4, deskTop + 20};
    for (int32_t pos = 0; pos < 4; ++pos) {
        const Rect d = Win(docks_[pos])->rect;
        int32_t row = 0;
        for (auto& [h, w] : windows_) {
            if (w.parent != docks_[pos] || w.className != L"MsoCommandBar") continue;
            w.rect = Rect{d.left, d.top + row * kBarRow, std::max(d.right, d.left + 24), d.top + (row + 1) * kBarRow};
            if (w.visible) ++row;
        }
    }
}

void World::ResizeMainWindow(int32_t width, int32_t height) {
    Rect& r = Win(mainWindow_)->rect;
    r.right = r.left + width;
    r.bottom = r.top + height;
    LayoutExcel();
}

void World::MoveMainWindow(int32_t x, int32_t y) {
    Rect& r = Win(mainWindow_)->rect;
    const int32_t dx = x - r.left;
    const int32_t dy = y - r.top;
    r = Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    LayoutExcel();
}

void World::SetExcelVisible(bool visible) {
    excelVisible_ = visible;
    Win(mainWindow_)->visible = visible;
}

WindowHandle World::DockWindow(int32_t position) const {
    return position >= 0 && position < 4 ? docks_[position] : 0;
}

// --- workbooks

std::shared_ptr<WorkbookModel> World::FindWorkbook(const std::wstring& name) const {
    for (const auto& wb : workbooks_)
        if (SameText(wb->name, name)) return wb;
    return nullptr;
}

std::shared_ptr<WorkbookModel> World::RequireWorkbook(const std::wstring& name) const {
    auto wb = FindWorkbook(name);
    if (!wb) throw std::logic_error("no open workbook named " + Narrow(name));
    return wb;
}

bool World::Editing() const {
    if (editStateSticky_ && editing_) return true;
    const WindowModel* w = Win(focus_);
    return w != nullptr && IsEditWindowClass(w->className);
}

void World::NoteFocus(WindowHandle hwnd) {
    const WindowModel* w = Win(hwnd);
    if (w != nullptr && IsEditWindowClass(w->className)) {
        editing_ = true;
        editWindow_ = hwnd;
    } else if (editStateSticky_ && editing_ && hwnd == mainWindow_ && IsWindow(editWindow_)) {
        // Excel's frame hands the focus on to the edit that goes on.
        FocusWindow(editWindow_);
    }
}

// The edit is committed and the focus returns to the active workbook's window.
void World::EndEdit() {
    if (!Editing()) return;
    editing_ = false;
    const auto wb = ActiveWorkbook();
    WindowHandle target = mainWindow_;
    if (wb) {
        for (const auto& window : wb->windows)
            if (window->visible && IsWindow(window->hwnd)) {
                target = window->hwnd;
                break;
            }
    }
    FocusWindow(target);
}

void World::RunModal(const std::wstring& what) {
    if (modalPromptMs_ == 0) return;
    ModalRecord record{what, ActiveWorkbookName(), L"", 0};
    const int32_t activatesBefore = CallCount("Workbook.Activate");
    WindowModel* main = Win(mainWindow_);
    const bool wasEnabled = main != nullptr && main->enabled;
    if (main) main->enabled = false;
    if (onModal_) {
        auto script = onModal_;
        script(what);
    }
    Advance(modalPromptMs_);
    if ((main = Win(mainWindow_)) != nullptr) main->enabled = wasEnabled;
    record.activeAfter = ActiveWorkbookName();
    record.activateCalls = CallCount("Workbook.Activate") - activatesBefore;
    modalLoops_.push_back(record);
}

void World::RefuseWhileEditing() const {
    constexpr int32_t kRefusedWhileEditing = static_cast<int32_t>(0x800A03ECu);
    if (editModeRefusal_ && Editing()) throw HostError(kRefusedWhileEditing);
}

void World::SetBarWindowsLate(bool late) {
    barWindowsLate_ = late;
    if (!late)
        for (auto& bar : std::vector<std::shared_ptr<BarModel>>(bars_)) UpdateBarWindow(bar);
}

std::wstring World::CaptionOf(const WorkbookModel& wb, size_t windowIndex, bool fullName) const {
    std::wstring name = showExtensions_ || fullName ? wb.name : BaseName(wb.name);
    if (wb.windows.size() > 1) name += L":" + std::to_wstring(windowIndex + 1);
    return name;
}

void World::SyncWorkbookWindows(const std::shared_ptr<WorkbookModel>& wb) {
    for (size_t i = 0; i < wb->windows.size(); ++i) {
        auto& window = wb->windows[i];
        if (window->hwnd == 0) window->hwnd = CreateWindow(L"EXCEL7", L"", deskWindow_, 0x56CF0000u, true);
        if (WindowModel* w = Win(window->hwnd)) {
            w->title = CaptionOf(*wb, i);
            w->visible = window->visible;
        }
    }
}

std::shared_ptr<WorkbookModel> World::AddWorkbook(const std::wstring& fullName, bool everSaved, bool visible) {
    const std::wstring name = FilePart(fullName);
    if (FindWorkbook(name)) throw std::logic_error("a workbook named " + Narrow(name) + " is already open");
    auto wb = std::make_shared<WorkbookModel>();
    wb->name = name;
    wb->fullName = everSaved ? fullName : name;
    wb->everSaved = everSaved;
    auto window = std::make_shared<ExcelWindowModel>();
    window->visible = visible;
    wb->windows.push_back(window);
    workbooks_.push_back(wb);
    SyncWorkbookWindows(wb);
    return wb;
}

std::shared_ptr<WorkbookModel> World::ActiveWorkbook() const {
    if (!active_wb_ || !active_wb_->alive) return nullptr;
    return active_wb_;
}

void World::Activate(std::shared_ptr<WorkbookModel> wb, bool raise) {
    // By value: callers pass elements of mru_, which this reorders.
    if (wb == active_wb_) return;  // Excel raises nothing for the active workbook
    active_wb_ = wb;
    mru_.erase(std::remove(mru_.begin(), mru_.end(), wb), mru_.end());
    mru_.insert(mru_.begin(), wb);
    if (raise) RaiseWorkbookActivate(wb);
}

namespace {
bool ShowsWindow(const WorkbookModel& wb) {
    return wb.alive && std::any_of(wb.windows.begin(), wb.windows.end(), [](const auto& w) { return w->visible; });
}
}  // namespace

void World::ActivateNextVisible() {
    for (const auto& wb : mru_)
        if (wb != active_wb_ && ShowsWindow(*wb)) return Activate(wb, true);
    for (const auto& wb : workbooks_)
        if (wb != active_wb_ && ShowsWindow(*wb)) return Activate(wb, true);
    active_wb_ = nullptr;
}

void World::OpenWorkbook(const std::wstring& fullName) {
    auto wb = AddWorkbook(fullName, true, true);
    Activate(wb, false);
    RaiseWorkbookOpen(wb);
    RaiseWorkbookActivate(wb);
}

std::wstring World::NextBookName() {
    while (FindWorkbook(L"Book" + std::to_wstring(nextBookNumber_))) ++nextBookNumber_;
    return L"Book" + std::to_wstring(nextBookNumber_);
}

std::wstring World::NewWorkbook() {
    const std::wstring name = NextBookName();
    ++nextBookNumber_;
    auto wb = AddWorkbook(name, false, true);
    Activate(wb, false);
    RaiseNewWorkbook(wb);
    RaiseWorkbookActivate(wb);
    return name;
}

void World::AddHiddenWorkbook(const std::wstring& fullName) {
    AddWorkbook(fullName, true, false);
}

void World::OpenHiddenWorkbook(const std::wstring& fullName) {
    RaiseWorkbookOpen(AddWorkbook(fullName, true, false));
}

void World::ActivateByUser(const std::wstring& name) {
    auto wb = RequireWorkbook(name);
    if (!ShowsWindow(*wb)) throw std::logic_error("ActivateByUser: the workbook shows no window");
    Activate(wb, true);
}

bool World::CloseByUser(const std::wstring& name) {
    return CloseWorkbook(RequireWorkbook(name));
}

void World::SetWindowVisible(const std::wstring& name, int32_t windowIndex, bool visible) {
    auto wb = RequireWorkbook(name);
    if (windowIndex < 1 || windowIndex > static_cast<int32_t>(wb->windows.size()))
        throw std::logic_error("SetWindowVisible: no such window");
    wb->windows[static_cast<size_t>(windowIndex - 1)]->visible = visible;
    SyncWorkbookWindows(wb);
    if (visible) {
        Activate(wb, true);  // Unhide activates the window it shows
    } else if (wb == active_wb_ && !ShowsWindow(*wb)) {
        ActivateNextVisible();
    }
}

void World::AddWindow(const std::wstring& name) {
    auto wb = RequireWorkbook(name);
    wb->windows.push_back(std::make_shared<ExcelWindowModel>());
    SyncWorkbookWindows(wb);
    Activate(wb, true);
}

void World::Rename(const std::shared_ptr<WorkbookModel>& wb, const std::wstring& newFullName) {
    const std::wstring name = FilePart(newFullName);
    auto other = FindWorkbook(name);
    if (other && other != wb) throw std::logic_error("rename: a workbook of that name is open");
    wb->name = name;
    wb->fullName = newFullName;
    wb->everSaved = true;
    SyncWorkbookWindows(wb);
}

void World::RenameWorkbook(const std::wstring& oldName, const std::wstring& newFullName) {
    Rename(RequireWorkbook(oldName), newFullName);
}

void World::SetDirty(const std::wstring& name, bool dirty) {
    RequireWorkbook(name)->dirty = dirty;
}

std::wstring World::ActiveWorkbookName() const {
    auto wb = ActiveWorkbook();
    return wb ? wb->name : L"";
}

std::vector<std::wstring> World::WorkbookNames() const {
    std::vector<std::wstring> names;
    for (const auto& wb : workbooks_) names.push_back(wb->name);
    return names;
}

std::vector<std::wstring> World::VisibleWorkbookNames() const {
    std::vector<std::wstring> names;
    for (const auto& wb : workbooks_)
        if (ShowsWindow(*wb)) names.push_back(wb->name);
    return names;
}

std::wstring World::FullNameOf(const std::wstring& name) const {
    auto wb = RequireWorkbook(name);
    return wb->everSaved ? wb->fullName : wb->name;
}

bool World::IsDirty(const std::wstring& name) const {
    return RequireWorkbook(name)->dirty;
}

std::vector<std::wstring> World::WindowCaptions(const std::wstring& name) const {
    auto wb = RequireWorkbook(name);
    std::vector<std::wstring> captions;
    for (size_t i = 0; i < wb->windows.size(); ++i) captions.push_back(CaptionOf(*wb, i));
    return captions;
}

WindowHandle World::WorkbookWindowHandle(const std::wstring& name, int32_t windowIndex) const {
    auto wb = RequireWorkbook(name);
    if (windowIndex < 1 || windowIndex > static_cast<int32_t>(wb->windows.size())) return 0;
    return wb->windows[static_cast<size_t>(windowIndex - 1)]->hwnd;
}

bool World::SaveWorkbook(const std::shared_ptr<WorkbookModel>& wb, bool forceDialog) {
    if (forceDialog || !wb->everSaved) {
        saveAsDialogs_.push_back(wb->name);
        RunModal(L"SaveAs(" + wb->name + L")");
        if (saveAsQueue_.empty()) return false;
        auto answer = saveAsQueue_.front();
        saveAsQueue_.pop_front();
        if (!answer) return false;
        Rename(wb, *answer);
    }
    wb->dirty = false;
    saved_.push_back(wb->name);
    return true;
}

bool World::CloseWorkbook(const std::shared_ptr<WorkbookModel>& wb) {
    if (!wb->alive) return false;
    if (RaiseBeforeClose(wb)) return false;
    if (!wb->alive) return false;  // a sink closed it meanwhile
    if (wb->dirty) {
        savePrompts_.push_back(wb->name);
        RunModal(L"SavePrompt(" + wb->name + L")");
        if (saveAnswer_ == SaveAnswer::Cancel) return false;
        if (saveAnswer_ == SaveAnswer::Save && !SaveWorkbook(wb, false)) return false;
    }
    wb->alive = false;
    for (auto& window : wb->windows) {
        window->alive = false;
        DestroyWindow(window->hwnd);
    }
    workbooks_.erase(std::remove(workbooks_.begin(), workbooks_.end(), wb), workbooks_.end());
    mru_.erase(std::remove(mru_.begin(), mru_.end(), wb), mru_.end());
    if (active_wb_ == wb) {
        active_wb_ = nullptr;
        ActivateNextVisible();
    }
    return true;
}

// --- events

namespace {
// Raises one application event on every sink still subscribed when its turn
// comes (a sink may unsubscribe others). A sink's failure is the result of
// Excel's event call, which Excel ignores; for these events nothing may escape.
template <class Entries, class F>
void RaiseAppEvent(World& world, const Entries& live, const char* name, std::string& lastError, F&& call) {
    auto sinks = live;
    for (const auto& entry : sinks) {
        if (std::none_of(live.begin(), live.end(), [&](const auto& e) { return e.id == entry.id; })) continue;
        Guard(world, name, [&] {
            try {
                call(*entry.sink);
            } catch (const std::exception& e) {
                lastError = e.what();
                throw;
            }
        });
    }
}
}  // namespace

void World::RaiseNewWorkbook(const std::shared_ptr<WorkbookModel>& wb) {
    raisedEvents_.push_back(L"NewWorkbook(" + wb->name + L")");
    RaiseAppEvent(*this, appSinks_, "NewWorkbook", lastEventError_,
                  [&](excel::AppEventSink& sink) { sink.NewWorkbook(WorkbookPortFor(wb)); });
}

void World::RaiseWorkbookOpen(const std::shared_ptr<WorkbookModel>& wb) {
    raisedEvents_.push_back(L"WorkbookOpen(" + wb->name + L")");
    RaiseAppEvent(*this, appSinks_, "WorkbookOpen", lastEventError_,
                  [&](excel::AppEventSink& sink) { sink.WorkbookOpen(WorkbookPortFor(wb)); });
}

void World::RaiseWorkbookActivate(const std::shared_ptr<WorkbookModel>& wb) {
    raisedEvents_.push_back(L"WorkbookActivate(" + wb->name + L")");
    RaiseAppEvent(*this, appSinks_, "WorkbookActivate", lastEventError_,
                  [&](excel::AppEventSink& sink) { sink.WorkbookActivate(WorkbookPortFor(wb)); });
}

bool World::RaiseBeforeClose(const std::shared_ptr<WorkbookModel>& wb) {
    raisedEvents_.push_back(L"WorkbookBeforeClose(" + wb->name + L")");
    bool cancel = false;
    auto sinks = appSinks_;
    for (const auto& entry : sinks) {
        if (std::none_of(appSinks_.begin(), appSinks_.end(), [&](const auto& e) { return e.id == entry.id; })) continue;
        // The sink's failure is the result of Excel's event call, which Excel ignores.
        try {
            entry.sink->WorkbookBeforeClose(WorkbookPortFor(wb), cancel);
        } catch (const std::exception& e) {
            lastEventError_ = e.what();
        } catch (...) {
            lastEventError_ = "unknown exception";
        }
    }
    return cancel;
}

int32_t World::ClickSubscriptions() const {
    return static_cast<int32_t>(clickSinks_.size());
}

// --- command bars

std::shared_ptr<BarModel> World::FindBarModel(const std::wstring& name) const {
    for (const auto& bar : bars_)
        if (bar->alive && SameText(bar->name, name)) return bar;
    return nullptr;
}

void World::UpdateBarWindow(const std::shared_ptr<BarModel>& bar) {
    const bool shown = bar->alive && bar->visible && bar->enabled && bar->position != excel::msoBarPopup;
    WindowHandle parent = 0;
    if (bar->position == msoBarMenuBar)
        parent = docks_[excel::msoBarTop];
    else if (bar->position >= msoBarLeft && bar->position < msoBarFloating)
        parent = docks_[bar->position];
    if (shown) {
        if (bar->window == 0 || !IsWindow(bar->window)) {
            if (barWindowsLate_ && !bar->builtIn) return LayoutExcel();
            bar->window =
                CreateWindow(L"MsoCommandBar", bar->name, parent, parent != 0 ? 0x56000000u : 0x16000000u, true);
            if (parent == 0) {
                Win(bar->window)->owner = mainWindow_;
                Win(bar->window)->rect = Rect{200, 200, 500, 200 + kBarRow + 18};
            }
        } else {
            WindowModel* w = Win(bar->window);
            w->parent = parent;
            w->style = parent != 0 ? (w->style | win::WS_CHILD) : (w->style & ~win::WS_CHILD);
            w->owner = parent != 0 ? 0 : mainWindow_;
            w->visible = true;
        }
    } else if (WindowModel* w = Win(bar->window)) {
        w->visible = false;
    }
    LayoutExcel();
}

void World::DeleteBar(const std::shared_ptr<BarModel>& bar) {
    bar->alive = false;
    for (auto& c : bar->controls) Kill(c);
    if (bar->window != 0) DestroyWindow(bar->window);
    bar->window = 0;
    bars_.erase(std::remove(bars_.begin(), bars_.end(), bar), bars_.end());
    LayoutExcel();
}

namespace {
std::shared_ptr<ControlModel> FindIn(const std::vector<std::shared_ptr<ControlModel>>& list,
                                     const std::function<bool(const ControlModel&)>& match) {
    for (const auto& c : list) {
        if (c->alive && match(*c)) return c;
        if (auto found = FindIn(c->children, match)) return found;
    }
    return nullptr;
}
}  // namespace

std::shared_ptr<ControlModel> World::FindControlModel(std::optional<int32_t> type, std::optional<int32_t> id,
                                                      std::optional<std::wstring> tag) const {
    if (!id && !tag) return nullptr;
    for (const auto& bar : bars_) {
        auto found = FindIn(bar->controls, [&](const ControlModel& c) {
            return (!type || c.type == *type) && (!id || c.id == *id) && (!tag || c.tag == *tag);
        });
        if (found) return found;
    }
    return nullptr;
}

bool World::RaiseClick(const std::shared_ptr<ControlModel>& clicked) {
    bool cancelDefault = false;
    auto sinks = clickSinks_;
    for (const auto& entry : sinks) {
        if (std::none_of(clickSinks_.begin(), clickSinks_.end(), [&](const auto& e) { return e.id == entry.id; }))
            continue;
        if (!entry.control->alive) continue;
        // Office pairs controls by Tag; a control without one only raises its own.
        const bool same = clicked->tag.empty() ? entry.control == clicked : entry.control->tag == clicked->tag;
        if (!same) continue;
        Guard(*this, "Click", [&] { entry.sink->Click(ControlPortFor(clicked), cancelDefault); });
    }
    return cancelDefault;
}

void World::ExecuteControl(const std::shared_ptr<ControlModel>& c) {
    if (!c->enabled) throw HostError(hr::E_FAIL_);
    const bool workbookCommand = c->id == excel::ids::Save || c->id == excel::ids::SaveAs ||
                                 c->id == excel::ids::Close || c->id == excel::ids::NewWorkbook;
    if (builtInRefusal_ && workbookCommand && !c->windowListEntry) RefuseWhileEditing();
    if (RaiseClick(c)) return;
    if (c->action) {
        auto action = c->action;
        action();
    } else if (c->type == excel::msoControlButton) {
        executed_.push_back(L"Click(" + c->caption + L")");
    }
}

bool World::ClickControl(const std::wstring& barName, const std::wstring& caption) {
    auto bar = FindBarModel(barName);
    if (!bar) return false;
    if (std::any_of(bar->controls.begin(), bar->controls.end(), [](const auto& c) { return c->dynamicWindowMenu; }))
        RefreshWindowMenu();
    auto c = FindIn(bar->controls, [&](const ControlModel& m) { return m.caption == caption; });
    if (!c || !c->enabled) return false;
    if (RaiseClick(c)) return true;
    if (c->action) {
        // A command with nothing to act on (Close without a workbook) does nothing.
        auto action = c->action;
        try {
            action();
        } catch (const HostError&) {
        }
    }
    return true;
}

void World::ShowPopup(const std::shared_ptr<BarModel>& bar) {
    PopupShown shown;
    shown.bar = bar->name;
    for (const auto& c : bar->controls) shown.entries.emplace_back(c->caption, c->enabled);
    popups_.push_back(shown);
    if (onPopup_) {
        auto script = onPopup_;
        script(bar->name);
    }
}

std::vector<BarInfo> World::Bars() const {
    std::vector<BarInfo> out;
    for (const auto& bar : bars_) {
        BarInfo info{bar->name,      bar->position, bar->visible,    bar->enabled, bar->menuBar,
                     bar->temporary, bar->builtIn,  bar->protection, bar->window,  {}};
        for (const auto& c : bar->controls)
            info.controls.push_back(
                ControlInfo{c->type, c->id, c->caption, c->tag, c->parameter, c->enabled, c->width, c->temporary});
        out.push_back(std::move(info));
    }
    return out;
}

std::optional<BarInfo> World::FindBar(const std::wstring& name) const {
    for (auto& info : Bars())
        if (SameText(info.name, name)) return info;
    return std::nullopt;
}

// --- the Window menu and its window-list dialog

void World::RefreshWindowMenu() {
    struct Entry {
        std::wstring caption;
        std::weak_ptr<WorkbookModel> wb;
    };
    std::vector<Entry> windows;  // caption, then the workbook's name to break ties
    std::vector<std::wstring> names;
    for (const auto& wb : workbooks_) {
        for (size_t i = 0; i < wb->windows.size(); ++i) {
            if (!wb->windows[i]->visible) continue;
            windows.push_back(Entry{CaptionOf(*wb, i), wb});
            names.push_back(wb->name);
        }
    }
    std::vector<size_t> order(windows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (windowMenuOrder_ == WindowMenuOrder::Reverse) std::reverse(order.begin(), order.end());
    if (windowMenuOrder_ == WindowMenuOrder::Alphabetical) {
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return std::tie(windows[a].caption, names[a]) < std::tie(windows[b].caption, names[b]);
        });
    }
    std::vector<Entry> wanted;
    for (size_t k = 0; k < order.size() && static_cast<int32_t>(k) < windowMenuLimit_; ++k) {
        std::wstring shown;
        for (const wchar_t ch : windows[order[k]].caption)
            shown += ch == L'&' ? std::wstring(L"&&") : std::wstring(1, ch);
        wanted.push_back(Entry{L"&" + std::to_wstring(k + 1) + L" " + shown, windows[order[k]].wb});
    }
    const bool more = static_cast<int32_t>(windows.size()) > windowMenuLimit_;

    auto& children = windowMenu_->children;
    std::vector<std::wstring> current;
    for (const auto& c : children)
        if (c->windowListEntry) current.push_back(c->caption);
    std::vector<std::wstring> target;
    std::vector<const WorkbookModel*> books;
    for (const auto& e : wanted) {
        target.push_back(e.caption);
        books.push_back(e.wb.lock().get());
    }
    if (more) target.push_back(moreWindowsCaption_);
    // Look-alike captions ("&1 a" for a.xls or a.csv) may stand for other workbooks.
    if (current == target && books == windowMenuBooks_) return;
    windowMenuBooks_ = books;

    for (auto& c : children)
        if (c->windowListEntry) c->alive = false;
    children.erase(std::remove_if(children.begin(), children.end(), [](const auto& c) { return c->windowListEntry; }),
                   children.end());
    for (const auto& e : wanted) {
        auto c = std::make_shared<ControlModel>();
        c->id = 1;
        c->caption = e.caption;
        c->windowListEntry = true;
        c->action = [this, wb = e.wb, caption = e.caption] {
            executed_.push_back(L"WindowMenu(" + caption + L")");
            if (auto book = wb.lock(); book && book->alive) Activate(book, true);
            // Choosing a window commits the edit, as any menu command does.
            EndEdit();
        };
        children.push_back(c);
    }
    if (more) {
        auto c = std::make_shared<ControlModel>();
        c->id = 1;
        c->caption = moreWindowsCaption_;
        c->windowListEntry = true;
        c->action = [this] { OpenWindowList(); };
        children.push_back(c);
    }
}

std::vector<std::wstring> World::WindowMenuCaptions() {
    RefreshWindowMenu();
    std::vector<std::wstring> captions;
    for (const auto& c : windowMenu_->children) captions.push_back(c->caption);
    return captions;
}

void World::OpenWindowList() {
    executed_.push_back(L"MoreWindows");
    WindowListDialogRecord record;
    windowListBooks_.clear();
    std::vector<uint32_t> states;
    windowListChosen_ = 1;
    for (const auto& wb : workbooks_) {
        if (leftOutOfWindowList_.count(wb->name) != 0) continue;
        for (size_t i = 0; i < wb->windows.size(); ++i) {
            if (!wb->windows[i]->visible) continue;
            record.items.push_back(CaptionOf(*wb, i, !windowListLikeMenu_));
            windowListBooks_.push_back(wb);
            if (wb == active_wb_ && i == 0) windowListChosen_ = static_cast<int32_t>(record.items.size());
        }
    }
    record.hwnd = CreateWindow(L"bosa_sdm_XL9", windowListTitle_, 0, 0x94C800C4u, true);
    Win(record.hwnd)->owner = mainWindow_;
    Win(record.hwnd)->rect = Rect{300, 200, 620, 460};

    auto root = MakeAccessible(windowListTitle_, ROLE_DIALOG, acc::STATE_SYSTEM_FOCUSABLE);
    auto list = MakeAccessible(L"激活(A):", ROLE_LIST, acc::STATE_SYSTEM_FOCUSABLE);
    for (size_t i = 0; i < record.items.size(); ++i) {
        const auto id = static_cast<int32_t>(i) + 1;
        uint32_t state = acc::STATE_SYSTEM_FOCUSABLE | STATE_SELECTABLE;
        if (id == windowListChosen_) state |= acc::STATE_SYSTEM_SELECTED | acc::STATE_SYSTEM_FOCUSED;
        auto custom = itemStates_.find(record.items[i]);
        if (custom != itemStates_.end()) state = custom->second;
        list->AddChildId(record.items[i], acc::ROLE_SYSTEM_LISTITEM, state);
    }
    std::weak_ptr<AccessibleSim> weakList = list;
    list->OnDefaultAction([this, weakList](int32_t id) {
        if (id <= 0) return;
        windowListChosen_ = id;
        if (auto l = weakList.lock()) {
            for (int32_t k = 1; k <= static_cast<int32_t>(windowListBooks_.size()); ++k) {
                uint32_t s = l->State(k) & ~(acc::STATE_SYSTEM_SELECTED | acc::STATE_SYSTEM_FOCUSED);
                if (k == id) s |= acc::STATE_SYSTEM_SELECTED | acc::STATE_SYSTEM_FOCUSED;
                l->SetState(k, s);
            }
        }
    });
    auto ok = MakeAccessible(L"确定", acc::ROLE_SYSTEM_PUSHBUTTON, acc::STATE_SYSTEM_FOCUSABLE);
    ok->OnDefaultAction([this](int32_t) { FinishWindowList(true); });
    auto cancel = MakeAccessible(L"取消", acc::ROLE_SYSTEM_PUSHBUTTON, acc::STATE_SYSTEM_FOCUSABLE);
    cancel->OnDefaultAction([this](int32_t) { FinishWindowList(false); });
    root->Add(list).Add(ok).Add(cancel);
    Win(record.hwnd)->accessible = root;
    windowListTree_ = root;
    windowLists_.push_back(record);

    const WindowHandle dialog = record.hwnd;
    ActivateWindow(dialog);
    if (IsWindow(dialog) && onWindowList_) {
        auto script = onWindowList_;
        script(dialog);
    }
}

WindowHandle World::OpenWindowListDialog() const {
    return !windowLists_.empty() && windowLists_.back().open ? windowLists_.back().hwnd : 0;
}

void World::CloseWindowListDialog(bool ok) {
    if (OpenWindowListDialog() == 0) throw std::logic_error("no window-list dialog is open");
    FinishWindowList(ok);
}

void World::FinishWindowList(bool ok) {
    if (windowLists_.empty() || !windowLists_.back().open) return;
    WindowListDialogRecord& record = windowLists_.back();
    record.open = false;
    record.confirmed = ok;
    const WindowHandle dialog = record.hwnd;
    DestroyWindow(dialog);
    if (!ok) return;
    const auto index = static_cast<size_t>(windowListChosen_ - 1);
    if (index >= windowListBooks_.size()) return;
    if (auto wb = windowListBooks_[index].lock(); wb && wb->alive) {
        windowLists_.back().activated = wb->name;
        Activate(wb, true);
    }
    EndEdit();
}

}  // namespace tarnwick::sim
