// A click on a tab prepares the workbook switch it asks for. Normally the
// selection handler activates the workbook; while Excel edits text that
// activation does not take, so the switch goes through Excel's Window menu
// the way a user would make it: its numbered entry for the workbook, or
// "其他窗口(&M)..." and the window-list dialog, which the dialog hook answers.
//
// Workbook names go into the patterns escaped, so that a name holding '#',
// '*', '?' or '[' matches its own entry and no other.
//
// Two workbooks that differ only in extension ("a.xls", "a.csv") look alike
// in the menu when Windows hides extensions ("&1 a", "&2 a"); the clicked
// tab's entry is then told apart by the windows of the look-alikes to its
// right. When the menu shows extensions the entries differ, and the tab's
// own first entry is taken.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tabstrip/form_tab.h"
#include "tracking/sync_timer.h"
#include "tracking/wildcard.h"

namespace tarnwick {

namespace {

constexpr const wchar_t* kMoreWindowsCaption = L"其他窗口(&M)...";
// An entry of the Window menu: "&", its digit, a blank, the window caption.
constexpr std::wstring_view kEntryPrefix = L"&# ";
// A workbook with several windows shows ":" and the window number after its name.
constexpr std::wstring_view kWindowNumberSuffix = L":#*";

// The caption without its extension: up to the last '.'.
std::wstring BaseName(const std::wstring& caption) {
    const std::wstring::size_type dot = caption.rfind(L'.');
    return dot == std::wstring::npos ? caption : caption.substr(0, dot);
}

// Windows of the workbook whose Visible holds; one that cannot be read counts.
int32_t CountVisibleWindows(excel::Application& app, const std::wstring& name) {
    int32_t visible = 0;
    std::unique_ptr<excel::Enumerator<excel::Window>> windows;
    assign(windows, [&] { return Required(Required(Required(app.Workbooks()).Item(name)).Windows()).Enumerate(); });
    if (!windows) return 0;
    for (;;) {
        std::shared_ptr<excel::Window> window;
        try {
            window = windows->Next();
        } catch (const HostError&) {
            break;
        }
        if (!window) break;
        if (holds([&] { return window->Visible(); })) ++visible;
    }
    return visible;
}

struct MenuEntry {
    std::shared_ptr<excel::CommandBarControl> control;
    bool showsName = false;  // matched with the full name, not the BaseName
};

// The entries of the Window menu that match either pattern, in menu order.
// An entry whose caption cannot be read matches nothing.
std::vector<MenuEntry> MatchingEntries(const std::shared_ptr<excel::CommandBarControls>& menuControls,
                                       const std::wstring& namePattern, const std::wstring& basePattern) {
    std::vector<MenuEntry> matching;
    std::unique_ptr<excel::Enumerator<excel::CommandBarControl>> entries;
    assign(entries, [&] { return Required(menuControls).Enumerate(); });
    while (entries) {
        std::shared_ptr<excel::CommandBarControl> e;
        try {
            e = entries->Next();
        } catch (const HostError&) {
            break;
        }
        if (!e) break;
        // An entry whose caption cannot be read is not taken: executing it
        // would run whatever command it is (e.g. "New Window").
        bool showsName = false;
        bool matches = false;
        step([&] {
            const std::wstring caption = e->Caption();
            showsName = MatchesPattern(caption, namePattern);
            matches = showsName || MatchesPattern(caption, basePattern);
        });
        if (matches) matching.push_back({e, showsName});
    }
    return matching;
}

}  // namespace

void Form_Tab::TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>& Item, bool& /*Cancel*/) {
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

        // 3. Only while Excel edits text does the switch go through the
        //    Window menu; otherwise the selection handler activates the workbook.
        if (IsEditWindowClass(s.FocusClassName)) {
            std::shared_ptr<excel::Application> app = oHostApp_;
            std::shared_ptr<tab::TabControl> tabs;
            assign(tabs, [&] { return TabSeclect(); });

            // 4. Which of the entries that look alike is this tab's: count
            //    the visible windows of same-BaseName workbooks to its right.
            const std::wstring baseName = BaseName(c);
            int32_t occ = 0;
            int32_t itemCount = 0;
            int32_t clickedIndex = 0;
            bool boundsRead = false;
            step([&] {
                itemCount = Required(tabs).ItemCount();
                clickedIndex = Required(Item).Index();
                boundsRead = true;
            });
            for (int32_t k = itemCount - 1; boundsRead && k >= clickedIndex + 1; --k) {
                std::wstring other;
                bool otherRead = false;
                step([&] {
                    other = Required(tabs->Item(k)).Caption();
                    otherRead = true;
                });
                if (!otherRead || BaseName(other) == baseName) {
                    step([&] { occ += CountVisibleWindows(Required(app), other); });
                }
            }
            s.DialogItemOccurrence = occ;

            // 5. Several windows show ":" and a number after the name.
            const bool severalWindows = holds([&] {
                return Required(Required(Required(Required(app).Workbooks()).Item(c)).Windows()).Count() > 1;
            });
            const std::wstring escapedName = EscapePattern(c);
            const std::wstring escapedBase = EscapePattern(baseName);
            std::wstring namePattern;
            namePattern.append(kEntryPrefix).append(escapedName);
            std::wstring basePattern;
            basePattern.append(kEntryPrefix).append(escapedBase);
            if (severalWindows) {
                namePattern.append(kWindowNumberSuffix);
                basePattern.append(kWindowNumberSuffix);
            }

            // 6. The Window menu's own entry for the workbook.
            std::shared_ptr<excel::CommandBarControls> menuControls;
            assign(menuControls, [&] {
                return Required(Required(Required(app).CommandBars()).FindControl(std::nullopt, excel::ids::WindowMenu))
                    .Controls();
            });
            std::vector<MenuEntry> matching = MatchingEntries(menuControls, namePattern, basePattern);
            // Names shown with their extension: the same-BaseName workbooks
            // to the right have entries that do not match, so the count of
            // their windows does not apply.
            const bool showsExtension =
                c != baseName && std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return e.showsName; });
            if (showsExtension) {
                std::erase_if(matching, [](const MenuEntry& e) { return !e.showsName; });
            }
            const int32_t chosen = showsExtension ? 0 : occ;
            if (chosen < static_cast<int32_t>(matching.size())) {
                s.WindowMenuSwitchPending = true;
                step([&] { matching[chosen].control->Execute(); });
            }

            // 7. Not listed: "More windows" opens the window-list dialog,
            //    which the dialog hook answers with this pattern.
            if (!s.WindowMenuSwitchPending) {
                std::shared_ptr<excel::CommandBarControl> more;
                assign(more, [&] { return Required(menuControls).Item(std::wstring(kMoreWindowsCaption)); });
                if (more) {
                    s.WindowMenuSwitchPending = true;
                    s.DialogItemPattern = severalWindows ? escapedName + std::wstring(kWindowNumberSuffix) : escapedName;
                    step([&] { Plat().LockWindowUpdate(Required(app).Hwnd()); });
                    step([&] { more->Execute(); });
                    step([&] { Plat().LockWindowUpdate(0); });
                }
            }
        }

        // 8. The activation that follows is this click's.
        s.TabClickPending = true;
    } catch (...) {
    }
}

}  // namespace tarnwick
