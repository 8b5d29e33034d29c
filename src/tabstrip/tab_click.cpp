// A click on a tab prepares the workbook switch it asks for. Normally the
// selection handler activates the workbook; while Excel edits text it
// refuses that call, so the switch goes through Excel's Window menu the way
// a user would make it: its numbered entry for the workbook, or the "more
// windows" entry and the window-list dialog, which the dialog hook answers.
//
// The windows of the look-alikes to the right of the clicked tab give the
// first guess among entries that look alike (tracking/window_menu.cpp).
// Failing every try, the workbook that was active before the click is
// brought back, and the click is cancelled so that the strip keeps showing
// Excel's active workbook: a click never ends on a tab Excel did not follow.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tabstrip/form_tab.h"
#include "tracking/sync_timer.h"
#include "tracking/window_menu.h"

namespace tarnwick {

namespace {

// Marks a click whose activation the selection handler makes: only when one
// follows, that is when the workbook is not active already.
void MarkTabClick(excel::Application* app, const std::wstring& c) {
    AddinState& s = State();
    const std::optional<std::wstring> active = ActiveName(app);
    if (active && *active == c) return;
    s.TabClickPending = true;
    s.TabClickWorkbook = c;
}

// While the "more windows" entry runs, the dialog it opens is the window list.
class MoreWindowsRunning {
public:
    MoreWindowsRunning() { State().MoreWindowsRunning = true; }
    ~MoreWindowsRunning() { State().MoreWindowsRunning = false; }
    MoreWindowsRunning(const MoreWindowsRunning&) = delete;
    MoreWindowsRunning& operator=(const MoreWindowsRunning&) = delete;
};

}  // namespace

bool Form_Tab::SwitchThroughWindowMenu(const std::shared_ptr<tab::TabItem>& Item, const std::wstring& c) {
    AddinState& s = State();
    std::shared_ptr<excel::Application> app = oHostApp_;
    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });
    const std::optional<std::wstring> before = ActiveName(app.get());

    // Which of the entries that look alike is this tab's, as a first guess:
    // the visible windows of same-BaseName workbooks to its right. All
    // look-alike windows bound the dialog's tries.
    const std::wstring baseName = BaseName(c);
    int32_t occ = 0;
    int32_t alike = 0;
    int32_t itemCount = 0;
    int32_t clickedIndex = 0;
    bool boundsRead = false;
    step([&] {
        itemCount = Required(tabs).ItemCount();
        clickedIndex = Required(Item).Index();
        boundsRead = true;
    });
    for (int32_t k = 0; boundsRead && k < itemCount; ++k) {
        std::wstring other = c;
        if (k != clickedIndex) {
            other.clear();
            assign(other, [&] { return Required(tabs->Item(k)).Caption(); });
            if (other.empty() || BaseName(other) != baseName) continue;
        }
        int32_t windows = 0;
        step([&] { windows = CountVisibleWindows(Required(app), other); });
        alike += windows;
        if (k > clickedIndex) occ += windows;
    }
    s.DialogItemOccurrence = occ;

    const EntryPatterns patterns = PatternsFor(app.get(), c);
    const std::shared_ptr<excel::CommandBarControls> menuControls = WindowMenuControls(app.get());

    SwitchRunning running;
    // The Window menu's own entry for the workbook. With the extensions
    // shown the entries differ, and the tab's own first entry is taken.
    const bool showsExtension = c != baseName && [&] {
        const auto matching = MatchingEntries(menuControls, patterns.name, patterns.base);
        return std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return e.showsName; });
    }();
    bool landed = TryMenuEntries(app.get(), menuControls, c, patterns, showsExtension ? 0 : occ);

    // Not listed: "more windows" opens the window-list dialog, which the
    // dialog hook answers with these patterns and occurrence; where that
    // occurrence is not listed the hook cancels, and the next is tried.
    if (!landed && !s.WindowMenuSwitchPending) {
        const std::shared_ptr<excel::CommandBarControl> more = MoreWindowsEntry(menuControls);
        if (more) {
            s.DialogItemPattern = patterns.dialog;
            s.DialogItemBasePattern = patterns.dialogBase;
            std::vector<int32_t> occurrences{occ};
            for (int32_t k = 0; k < alike; ++k)
                if (k != occ) occurrences.push_back(k);
            for (const int32_t k : occurrences) {
                s.WindowMenuSwitchPending = true;
                s.DialogItemOccurrence = k;
                step([&] { Plat().LockWindowUpdate(Required(app).Hwnd()); });
                {
                    MoreWindowsRunning dialogComing;
                    step([&] { more->Execute(); });
                }
                step([&] { Plat().LockWindowUpdate(0); });
                const std::optional<std::wstring> active = ActiveName(app.get());
                landed = !active || *active == c;
                if (landed) break;
            }
        }
    }

    // Never a wrong workbook: back to the one that was active.
    if (!landed && before && s.WindowMenuSwitchPending && ActiveName(app.get()) != before) {
        TryMenuEntries(app.get(), menuControls, *before, PatternsFor(app.get(), *before), 0);
    }
    return landed;
}

void Form_Tab::TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>& Item, bool& Cancel) {
    try {
        AddinState& s = State();
        std::wstring c;
        assign(c, [&] { return Required(Item).Caption(); });

        // 1. The same tab again while its switch is pending: hold the timer
        //    until the mouse comes up, which restarts it.
        if (sLastItemCaption == c && s.WindowMenuSwitchPending && s.FocusClassName != kEditClassEditBox) {
            StopSyncTimer();
            sLastItemCaption = c;
            return;
        }

        // 2. A new click: whatever switch was under way is over.
        sLastItemCaption = c;
        s.WindowMenuSwitchPending = false;
        s.TabClickPending = false;

        // 3. Only while Excel edits text does the switch go through the
        //    Window menu; otherwise the selection handler activates the
        //    workbook. A switch that did not land keeps the selection where
        //    Excel is.
        if (IsEditWindowClass(s.FocusClassName) && !SwitchThroughWindowMenu(Item, c)) {
            Cancel = true;
            return;
        }

        // 4. The activation that follows is this click's. A switch through
        //    the menu has made it already.
        if (!s.WindowMenuSwitchPending) MarkTabClick(oHostApp_.get(), c);
    } catch (...) {
    }
}

}  // namespace tarnwick
