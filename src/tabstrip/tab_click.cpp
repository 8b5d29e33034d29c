// A click on a tab prepares the workbook switch it asks for. Normally the
// selection handler activates the workbook; while Excel edits text it
// refuses that call, so the switch goes through Excel's Window menu the way
// a user would make it: its numbered entry for the workbook, or
// "其他窗口(&M)..." and the window-list dialog, which the dialog hook answers.
//
// Workbook names go into the patterns escaped, so that a name holding '#',
// '*', '?' or '[' matches its own entry and no other. Office doubles a
// literal '&' in a menu caption ("&1 R&&D.xls"); the dialog's list does not.
//
// Two workbooks that differ only in extension ("a.xls", "a.csv") look alike
// in the menu when Windows hides extensions ("&1 a", "&2 a"), and the order
// of the menu's entries is Office's, not the strip's. The windows of the
// look-alikes to the right of the clicked tab give the first guess; every
// entry executed is then checked against the workbook Excel activated, and
// the other look-alike entries are tried until the clicked one is active.
// Failing that, the workbook that was active before the click is brought
// back, so a click never ends silently on a wrong workbook. The same check
// covers the occurrence handed to the dialog hook.
//
// This relies on Execute finishing the activation before it returns, as the
// menu's commands do.
#include <algorithm>
#include <memory>
#include <optional>
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
    // Names shown with their extension: same-BaseName workbooks have entries
    // of their own that only the BaseName pattern matches.
    if (std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return e.showsName; }) &&
        std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return !e.showsName; })) {
        std::erase_if(matching, [](const MenuEntry& e) { return !e.showsName; });
    }
    return matching;
}

// How a workbook's entries look in the Window menu and in the dialog.
struct EntryPatterns {
    std::wstring name;    // menu: "&# " + name
    std::wstring base;    // menu: "&# " + BaseName
    std::wstring dialog;  // the dialog's list item
};

std::wstring MenuCaptionText(const std::wstring& text) {
    std::wstring doubled;
    for (const wchar_t ch : text) {
        doubled += ch;
        if (ch == L'&') doubled += L'&';
    }
    return doubled;
}

EntryPatterns PatternsFor(excel::Application* app, const std::wstring& name) {
    // Several windows show ":" and a number after the name.
    const bool severalWindows = holds([&] {
        return Required(Required(Required(Required(app).Workbooks()).Item(name)).Windows()).Count() > 1;
    });
    EntryPatterns p;
    p.name.append(kEntryPrefix).append(EscapePattern(MenuCaptionText(name)));
    p.base.append(kEntryPrefix).append(EscapePattern(MenuCaptionText(BaseName(name))));
    p.dialog = EscapePattern(name);
    if (severalWindows) {
        p.name.append(kWindowNumberSuffix);
        p.base.append(kWindowNumberSuffix);
        p.dialog.append(kWindowNumberSuffix);
    }
    return p;
}

// The active workbook's name; nullopt when it cannot be read.
std::optional<std::wstring> ActiveName(excel::Application* app) {
    std::optional<std::wstring> name;
    assign(name, [&] { return std::optional<std::wstring>(Required(Required(app).ActiveWorkbook()).Name()); });
    return name;
}

// Executes the workbook's entries, the guessed one first, until Excel has
// the workbook active. An active name that cannot be read ends the tries:
// where they landed cannot be told.
bool TryMenuEntries(excel::Application* app, const std::shared_ptr<excel::CommandBarControls>& menuControls,
                    const std::wstring& name, const EntryPatterns& patterns, int32_t guess) {
    AddinState& s = State();
    const size_t listed = MatchingEntries(menuControls, patterns.name, patterns.base).size();
    std::vector<size_t> tries;
    if (guess >= 0 && static_cast<size_t>(guess) < listed) tries.push_back(static_cast<size_t>(guess));
    for (size_t i = 0; i < listed; ++i)
        if (static_cast<int32_t>(i) != guess) tries.push_back(i);
    for (const size_t index : tries) {
        // Listed again each time: an entry executed may have refreshed the menu.
        std::vector<MenuEntry> matching = MatchingEntries(menuControls, patterns.name, patterns.base);
        if (index >= matching.size()) break;
        s.WindowMenuSwitchPending = true;
        step([&] { matching[index].control->Execute(); });
        const std::optional<std::wstring> active = ActiveName(app);
        if (!active || *active == name) return true;
    }
    return false;
}

// Marks a click whose activation the selection handler makes: only when one
// follows, that is when the workbook is not active already.
void MarkTabClick(excel::Application* app, const std::wstring& c) {
    AddinState& s = State();
    const std::optional<std::wstring> active = ActiveName(app);
    if (active && *active == c) return;
    s.TabClickPending = true;
    s.TabClickWorkbook = c;
}

// While the click handler switches through the menu, Excel's activations are
// its own.
class SwitchRunning {
public:
    SwitchRunning() { State().WindowMenuSwitchRunning = true; }
    ~SwitchRunning() { State().WindowMenuSwitchRunning = false; }
    SwitchRunning(const SwitchRunning&) = delete;
    SwitchRunning& operator=(const SwitchRunning&) = delete;
};

}  // namespace

void Form_Tab::SwitchThroughWindowMenu(const std::shared_ptr<tab::TabItem>& Item, const std::wstring& c) {
    AddinState& s = State();
    std::shared_ptr<excel::Application> app = oHostApp_;
    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });
    const std::optional<std::wstring> before = ActiveName(app.get());

    // 4. Which of the entries that look alike is this tab's, as a first
    //    guess: the visible windows of same-BaseName workbooks to its right.
    //    All look-alike windows bound the dialog's tries.
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
    std::shared_ptr<excel::CommandBarControls> menuControls;
    assign(menuControls, [&] {
        return Required(Required(Required(app).CommandBars()).FindControl(std::nullopt, excel::ids::WindowMenu))
            .Controls();
    });

    SwitchRunning running;
    // 6. The Window menu's own entry for the workbook. With the extensions
    //    shown the entries differ, and the tab's own first entry is taken.
    const bool showsExtension = c != baseName && [&] {
        const auto matching = MatchingEntries(menuControls, patterns.name, patterns.base);
        return std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return e.showsName; });
    }();
    bool landed = TryMenuEntries(app.get(), menuControls, c, patterns, showsExtension ? 0 : occ);

    // 7. Not listed: "More windows" opens the window-list dialog, which the
    //    dialog hook answers with this pattern and occurrence. Another
    //    occurrence is tried only while the dialog lands somewhere else.
    if (!landed && !s.WindowMenuSwitchPending) {
        std::shared_ptr<excel::CommandBarControl> more;
        assign(more, [&] { return Required(menuControls).Item(std::wstring(kMoreWindowsCaption)); });
        if (more) {
            s.DialogItemPattern = patterns.dialog;
            std::vector<int32_t> occurrences{occ};
            for (int32_t k = 0; k < alike; ++k)
                if (k != occ) occurrences.push_back(k);
            std::optional<std::wstring> last = before;
            for (const int32_t k : occurrences) {
                s.WindowMenuSwitchPending = true;
                s.DialogItemOccurrence = k;
                step([&] { Plat().LockWindowUpdate(Required(app).Hwnd()); });
                step([&] { more->Execute(); });
                step([&] { Plat().LockWindowUpdate(0); });
                const std::optional<std::wstring> active = ActiveName(app.get());
                landed = !active || *active == c;
                if (landed || active == last) break;
                last = active;
            }
        }
    }

    // Never a wrong workbook: back to the one that was active.
    if (!landed && before && s.WindowMenuSwitchPending && ActiveName(app.get()) != before) {
        TryMenuEntries(app.get(), menuControls, *before, PatternsFor(app.get(), *before), 0);
    }
}

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
        s.TabClickPending = false;

        // 3. Only while Excel edits text does the switch go through the
        //    Window menu; otherwise the selection handler activates the workbook.
        if (IsEditWindowClass(s.FocusClassName)) SwitchThroughWindowMenu(Item, c);

        // 8. The activation that follows is this click's. A switch through
        //    the menu has made it already.
        if (!s.WindowMenuSwitchPending) MarkTabClick(oHostApp_.get(), c);
    } catch (...) {
    }
}

}  // namespace tarnwick
