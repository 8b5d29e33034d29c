// MouseUp on the strip: the two popups, and double clicks, which the tab
// control does not report itself, recognised from successive button-ups;
// the middle button and the close buttons close a tab's workbook.
#include <cmath>
#include <cstdint>
#include <limits>

#include "commands/command_bars.h"
#include "commands/workbook_commands.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_busy.h"
#include "tracking/excel_windows.h"
#include "tracking/idle_watch.h"
#include "tracking/sync_timer.h"
#include "tracking/window_menu.h"

namespace tarnwick {
namespace {

constexpr int16_t kLeftButton = 1;
constexpr int16_t kRightButton = 2;
constexpr int16_t kMiddleButton = 4;

// The event's position as a 32-bit integer, halves to the even neighbour; a
// value out of range fails the statement ("overflow").
int32_t ToLong(float v) {
    constexpr int32_t kOverflow = static_cast<int32_t>(0x800A0006u);
    const double rounded = std::nearbyint(static_cast<double>(v));
    if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max())) {
        throw HostError(kOverflow);
    }
    return static_cast<int32_t>(rounded);
}

// True when `now` follows `last` by less than `interval`, all as signed 32-bit
// tick values. The difference is taken in uint32_t, where it wraps instead of
// overflowing, so a pair of clicks across the 49.7-day wrap still pairs up.
bool WithinInterval(uint32_t now, int32_t last, int32_t interval) {
    const auto elapsed = static_cast<int32_t>(now - static_cast<uint32_t>(last));
    return elapsed < interval;
}

// Positions of entries on "TabBar", fixed by the order the menu is built in.
constexpr int32_t kSaveAllPosition = 3;
constexpr int32_t kCloseOtherPosition = 5;
constexpr int32_t kCloseAllPosition = 6;
constexpr int32_t kOpenDirPosition = 7;

void SetTabBarEntryEnabled(const std::shared_ptr<excel::Application>& app, int32_t position, bool enabled) {
    step([&] {
        Required(Required(Required(Required(Required(app).CommandBars()).Item(kTabBar)).Controls()).Item(position))
            .Enabled(enabled);
    });
}

// A double click's command, as the popup's commands run: not behind one of
// Excel's dialogs, and only once Excel has left its cell edit.
void ExecuteBuiltIn(const std::shared_ptr<excel::Application>& app, int32_t id) {
    if (ExcelBusy() || !EndExcelEdit(app.get())) return;
    step([&] { Required(Required(Required(app).CommandBars()).FindControl(std::nullopt, id)).Execute(); });
}

}  // namespace

void Form_Tab::CloseTabWorkbook(const std::shared_ptr<tab::TabItem>& Item) {
    std::wstring caption;
    try {
        caption = Required(Item).Caption();
    } catch (const HostError&) {
        return;
    }
    if (ExcelBusy() || !EndExcelEdit(oHostApp_.get())) return;
    // Excel's Close acts on the active workbook, so the tab's becomes active
    // first, as the first click of a double click makes it; if it does not,
    // nothing closes rather than another workbook.
    std::shared_ptr<excel::Workbook> wb;
    assign(wb, [&] { return Required(Required(oHostApp_).Workbooks()).Item(caption); });
    if (!wb) return;
    step([&] { wb->Activate(); });
    if (ActiveName(oHostApp_.get()) != caption) return;
    step([&] {
        Required(Required(Required(oHostApp_).CommandBars()).FindControl(std::nullopt, excel::ids::Close)).Execute();
    });
}

void Form_Tab::TabSeclect_CloseButtonClick(const std::shared_ptr<tab::TabItem>& Item) {
    try {
        NoteActivity();
        CloseTabWorkbook(Item);
    } catch (...) {
        // An event of the tab control: nothing may leave it.
    }
}

void Form_Tab::TabSeclect_MouseUp(int16_t Button, int16_t /*Shift*/, float x, float y) {
    try {
        NoteActivity();
        AddinState& state = State();

        // The click handler stops the timer for a switch through Excel's
        // Window menu; the timer must finish that switch.
        if (state.WindowMenuSwitchPending && state.SyncTimerId == 0) {
            step([] { StartSyncTimerIfStopped(); });
        }
        assign(lDoubleClickTime, [] { return static_cast<int32_t>(Plat().GetDoubleClickTime()); });

        if (Button == kRightButton) {
            // Excel is editing and a switch is under way: a popup now would
            // take the focus the switch depends on.
            if (IsEditWindowClass(state.FocusClassName) && state.WindowMenuSwitchPending) {
                nLastButton = Button;
                step([] { RestoreExcelFocus(); });
                return;
            }
            state.WindowMenuSwitchPending = false;

            std::shared_ptr<tab::TabItem> hit;
            step([&] { hit = TabSeclect()->HitTest(ToLong(x), ToLong(y)); });
            if (!hit) {
                step([&] { Required(Required(Required(oHostApp_).CommandBars()).Item(kTabBarII)).ShowPopup(); });
            } else {
                // While Excel edits text it refuses the activation that the
                // selection makes, and the popup's commands act on the active
                // workbook: switch through the Window menu first, and offer
                // no commands unless Excel is on the tab's workbook.
                bool onTab = true;
                if (IsEditWindowClass(state.FocusClassName)) {
                    std::wstring caption;
                    assign(caption, [&] { return hit->Caption(); });
                    SwitchThroughWindowMenu(hit, caption);
                    onTab = holds([&] { return Required(Required(oHostApp_).ActiveWorkbook()).Name() == caption; });
                }
                // A switch that did not land leaves the selection where Excel is.
                if (onTab) step([&] { hit->Selected(true); });
                // Commands over several workbooks make no sense with one.
                if (holds([] { return CountVisibleWorkbooks() == 1; })) {
                    SetTabBarEntryEnabled(oHostApp_, kSaveAllPosition, false);
                    SetTabBarEntryEnabled(oHostApp_, kCloseOtherPosition, false);
                    SetTabBarEntryEnabled(oHostApp_, kCloseAllPosition, false);
                } else {
                    SetTabBarEntryEnabled(oHostApp_, kSaveAllPosition, true);
                    SetTabBarEntryEnabled(oHostApp_, kCloseOtherPosition, true);
                    SetTabBarEntryEnabled(oHostApp_, kCloseAllPosition, true);
                }
                // A never-saved workbook has no folder: its full name is its
                // name; nor has one opened from a web address.
                if (holds([&] {
                        const auto wb = Required(oHostApp_).ActiveWorkbook();
                        const std::wstring fullName = Required(wb).FullName();
                        return fullName == Required(wb).Name() || !IsFilePath(fullName);
                    })) {
                    SetTabBarEntryEnabled(oHostApp_, kOpenDirPosition, false);
                } else {
                    SetTabBarEntryEnabled(oHostApp_, kOpenDirPosition, true);
                }
                if (onTab) {
                    step([&] { Required(Required(Required(oHostApp_).CommandBars()).Item(kTabBar)).ShowPopup(); });
                }
            }
        } else if (Button == kLeftButton) {
            std::shared_ptr<tab::TabItem> hit;
            step([&] { hit = TabSeclect()->HitTest(ToLong(x), ToLong(y)); });
            uint32_t now = 0;
            assign(now, [] { return Plat().GetTickCount(); });
            if (hit) {
                if (holds([&] {
                        return sLastClickCaption == hit->Caption() && nLastButton == kLeftButton &&
                               WithinInterval(now, lLastClickTick, lDoubleClickTime);
                    })) {
                    // The first click of the pair activated this tab's workbook.
                    ExecuteBuiltIn(oHostApp_, excel::ids::Close);
                    lLastClickTick = 0;
                    sLastClickCaption = L"";
                } else {
                    assign(lLastClickTick, [] { return static_cast<int32_t>(Plat().GetTickCount()); });
                    assign(sLastClickCaption, [&] { return hit->Caption(); });
                }
            } else {
                if (holds([&] {
                        return sLastClickCaption == kTabOtherMarker && nLastButton == kLeftButton &&
                               WithinInterval(now, lLastClickTick, lDoubleClickTime);
                    })) {
                    ExecuteBuiltIn(oHostApp_, excel::ids::NewWorkbook);
                    lLastClickTick = 0;
                    sLastClickCaption = L"";
                } else {
                    assign(lLastClickTick, [] { return static_cast<int32_t>(Plat().GetTickCount()); });
                    sLastClickCaption = kTabOtherMarker;
                }
            }
        } else if (Button == kMiddleButton) {
            std::shared_ptr<tab::TabItem> hit;
            step([&] { hit = TabSeclect()->HitTest(ToLong(x), ToLong(y)); });
            if (hit) CloseTabWorkbook(hit);
        }

        nLastButton = Button;
        step([] { RestoreExcelFocus(); });
    } catch (...) {
        // An event of the tab control: nothing may leave it.
    }
}

}  // namespace tarnwick
