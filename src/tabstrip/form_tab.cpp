// Form_Tab: loading, docking, resizing and unloading the strip's window.
//
// Docking puts the form into the window of the temporary command bar
// "VodevIzuzod", which reserves a full-width row in Excel's top dock.
//
// When no window of that bar is found (TabBarHostWindow = 0), the form is
// neither re-parented nor maximised and stays hidden: re-parenting to the
// desktop would spread a maximised strip over the whole screen. Office
// creates bar windows late, and print preview or full screen recreate them,
// so the timer repeats the window search on every tick while the form is
// undocked and docks it once the window is there.
//
// The bar is reused from load to load; each load tops it up to four blank
// disabled buttons instead of adding four more every time.
#include "tabstrip/form_tab.h"

#include <memory>
#include <optional>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "support/deployment.h"
#include "tracking/excel_busy.h"
#include "tracking/excel_windows.h"
#include "tracking/sync_timer.h"

namespace tarnwick {

namespace {

constexpr int32_t kHostBarButtons = 4;
constexpr int32_t kHostBarButtonWidth = 600;
constexpr int32_t kBlankButtonId = 1;
constexpr int32_t kTabLeftExcelStyle = -70;
constexpr uint32_t kSelectedTabColour = 0x00FFFFFF;  // RGB(255, 255, 255)
constexpr uint32_t kNormalTabColour = 0x00CDCDCD;    // RGB(205, 205, 205)
constexpr int32_t kTabMarginTwips = 20;
constexpr int32_t vbFormCode = 1;

}  // namespace

Form_Tab::~Form_Tab() = default;

void Form_Tab::SetExcelApp(const std::shared_ptr<excel::Application>& app) {
    oHostApp_ = app;
}

void Form_Tab::Show() {
    if (!window_) {
        window_ = CreateWindowWithControl();
        if (!window_) return;
        Form_Load();
    }
    if (docked_) window_->Show();
}

// A window whose control cannot be created would dock an empty row into
// Excel: the control is repaired once, and without it there is no window.
std::unique_ptr<TabFormWindow> Form_Tab::CreateWindowWithControl() {
    AddinState& s = State();
    if (s.TabControlUnavailable) return nullptr;
    // A tick or an event dispatched while the repair waits for regsvr32:
    // the outer creation decides, the timer docks the strip afterwards.
    if (s.PumpedWaitDepth > 0) return nullptr;
    std::unique_ptr<TabFormWindow> window;
    step([&] { window = Plat().CreateTabFormWindow(*this, s.TabControlModule); });
    if (window && window->HasTabControl()) return window;

    if (!s.TabControlRepairTried) {
        s.TabControlRepairTried = true;
        window.reset();
        PumpedWait waiting;
        const std::optional<std::wstring> module = RepairTabControl([&](const std::wstring& candidate) {
            window.reset();
            step([&] { window = Plat().CreateTabFormWindow(*this, candidate); });
            return window && window->HasTabControl();
        });
        if (module) {
            s.TabControlModule = *module;
            return window;
        }
    }

    s.TabControlUnavailable = true;
    window.reset();
    // No bar of ours is left in Excel either.
    step([&] { Required(Required(Required(oHostApp_).CommandBars()).Item(kHostBarName)).Delete(); });
    return nullptr;
}

void Form_Tab::Unload() {
    if (!window_) return;
    bool Cancel = false;
    Form_QueryUnload(Cancel, vbFormCode);
    window_.reset();
    docked_ = false;
}

WindowHandle Form_Tab::hWnd() {
    return Required(window_).hWnd();
}

std::shared_ptr<tab::TabControl> Form_Tab::TabSeclect() {
    return Required(window_).TabSeclect();
}

void Form_Tab::Form_Load() {
    AddinState& s = State();
    Platform& plat = Plat();

    WindowHandle h = 0;
    step([&] { h = hWnd(); });

    step([&] {
        auto style = static_cast<uint32_t>(plat.GetWindowLongA(h, win::GWL_STYLE));
        style = (style & ~win::WS_CAPTION) | win::WS_CHILD;
        plat.SetWindowLongA(h, win::GWL_STYLE, static_cast<int32_t>(style));
    });
    step([&] {
        auto exStyle = static_cast<uint32_t>(plat.GetWindowLongA(h, win::GWL_EXSTYLE));
        exStyle &= ~win::WS_EX_DLGMODALFRAME;
        plat.SetWindowLongA(h, win::GWL_EXSTYLE, static_cast<int32_t>(exStyle));
    });
    step([&] { plat.DrawMenuBar(h); });

    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });
    step([&] { FillTabs(Required(tabs)); });

    step([&] { Required(Required(tabs).PaintManager()).BoldSelected(true); });
    step([&] { Required(Required(tabs).PaintManager()).HotTracking(true); });

    // Appearance: Excel 2002 always gets Excel-style tabs; later versions
    // follow the style setting.
    if (holds([&] { return ExcelVersionValue(Required(oHostApp_).Version()) == 10.0; })) {
        step([&] { Required(tabs).Appearance(tab::xtpTabAppearanceExcel); });
        step([&] { Required(Required(tabs).PaintManager()).DisableLunaColors(true); });
        step([&] { Required(tabs).Left(kTabLeftExcelStyle); });
    } else if (s.ThemeSetting == L"1") {
        step([&] { Required(tabs).Left(kTabLeftExcelStyle); });
        step([&] { Required(Required(tabs).PaintManager()).Appearance(tab::xtpTabAppearanceExcel); });
        step([&] { Required(Required(tabs).PaintManager()).Color(tab::xtpTabColorOffice2003); });
        step([&] { Required(Required(Required(tabs).PaintManager()).ColorSet()).ButtonSelected(kSelectedTabColour); });
        step([&] { Required(Required(Required(tabs).PaintManager()).ColorSet()).ButtonNormal(kNormalTabColour); });
        step([&] { Required(Required(tabs).PaintManager()).DisableLunaColors(false); });
    } else {
        step([&] { Required(Required(tabs).PaintManager()).DisableLunaColors(false); });
    }

    // The active workbook's tab; the whole range is walked.
    int32_t itemCount = 0;
    assign(itemCount, [&] { return Required(tabs).ItemCount(); });
    for (int32_t i = 0; i < itemCount; ++i) {
        if (holds([&] {
                return Required(Required(oHostApp_).ActiveWorkbook()).Name() == Required(tabs->Item(i)).Caption();
            })) {
            step([&] { tabs->SelectedItem(i); });
        }
    }

    // The host bar, reused when it survived an earlier load.
    std::shared_ptr<excel::CommandBar> bar;
    assign(bar, [&] { return Required(Required(oHostApp_).CommandBars()).Item(kHostBarName); });
    if (!bar) {
        step([&] {
            bar = Required(Required(oHostApp_).CommandBars()).Add(kHostBarName, std::nullopt, std::nullopt, true);
        });
    }

    std::shared_ptr<excel::CommandBarControls> controls;
    assign(controls, [&] { return Required(bar).Controls(); });
    int32_t present = 0;
    assign(present, [&] { return Required(controls).Count(); });
    for (int32_t position = 1; position <= kHostBarButtons; ++position) {
        std::shared_ptr<excel::CommandBarControl> c;
        if (position <= present) {
            assign(c, [&] { return Required(controls).Item(position); });
        } else {
            assign(c, [&] { return Required(controls).Add(excel::msoControlButton, kBlankButtonId); });
        }
        step([&] { Required(c).Width(kHostBarButtonWidth); });
        step([&] { Required(c).Enabled(false); });
    }

    step([&] { Required(bar).Position(excel::msoBarTop); });
    step([&] { Required(bar).Visible(true); });
    step([&] { Required(bar).Protection(excel::msoBarProtectionAll); });
    step([&] { Required(bar).Enabled(true); });

    step([&] { plat.GetWindowRect(Required(oHostApp_).Hwnd(), s.ExcelWindowRect); });
    s.DockedExcelWidth = s.ExcelWindowRect.right - s.ExcelWindowRect.left;

    step([&] { DockIntoHostBar(); });

    step([&] { StartSyncTimerIfStopped(); });
}

bool Form_Tab::DockIntoHostBar() {
    AddinState& s = State();
    Platform& plat = Plat();
    WindowHandle h = 0;
    step([&] { h = hWnd(); });

    // The bar's window under one of Excel's dock windows; once those are
    // used up the search runs among top-level windows, where a floating bar
    // would be. A failed search ends the walk.
    WindowHandle child = 0;
    do {
        const WindowHandle after = child;
        child = 0;
        step([&] { child = plat.FindWindowExA(Required(oHostApp_).Hwnd(), after, L"EXCEL2", std::nullopt); });
        s.TabBarHostWindow = 0;
        step([&] { s.TabBarHostWindow = plat.FindWindowExA(child, 0, L"MsoCommandBar", kHostBarName); });
        if (s.TabBarHostWindow != 0) break;
    } while (child != 0);

    docked_ = s.TabBarHostWindow != 0;
    if (docked_) {
        step([&] { plat.SetParent(h, s.TabBarHostWindow); });
        // Maximised, a child fills its host's client area.
        step([&] { plat.ShowWindow(h, win::SW_SHOWMAXIMIZED); });
    }
    return docked_;
}

void Form_Tab::Form_Resize() {
    step([&] { Required(TabSeclect()).Width(Required(window_).Width() - kTabMarginTwips); });
}

void Form_Tab::Form_QueryUnload(bool& /*Cancel*/, int32_t /*UnloadMode*/) {
    step([&] { StopSyncTimer(); });
}

}  // namespace tarnwick
