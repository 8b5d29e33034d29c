// Workbook names go into the patterns escaped, so that a name holding '#',
// '*', '?' or '[' matches its own entry and no other. Office doubles a
// literal '&' in a menu caption ("&1 R&&D.xls"); the dialog's list does not.
//
// Two workbooks that differ only in extension ("a.xls", "a.csv") look alike
// in the menu when Windows hides extensions ("&1 a", "&2 a"), and the order
// of the menu's entries is Office's, not the strip's: every entry executed is
// checked against the workbook Excel activated, and the other look-alike
// entries are tried until the wanted one is active. This relies on Execute
// finishing the activation before it returns, as the menu's commands do.
#include "tracking/window_menu.h"

#include <algorithm>
#include <string_view>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tracking/wildcard.h"

namespace tarnwick {

namespace {

constexpr const wchar_t* kMoreWindowsCaption = L"其他窗口(&M)...";
// An entry of the Window menu: "&", its digit, a blank, the window caption.
constexpr std::wstring_view kEntryPrefix = L"&# ";
// A workbook with several windows shows ":" and the window number after its name.
constexpr std::wstring_view kWindowNumberSuffix = L":#*";
const std::wstring kNumberedEntry = L"&# *";

std::wstring MenuCaptionText(const std::wstring& text) {
    std::wstring doubled;
    for (const wchar_t ch : text) {
        doubled += ch;
        if (ch == L'&') doubled += L'&';
    }
    return doubled;
}

// Each caption of the menu, in order; an entry whose caption cannot be read
// has an empty one. A failed step of the walk ends it.
template <class F>
void ForEachEntry(const std::shared_ptr<excel::CommandBarControls>& menuControls, F&& visit) {
    std::unique_ptr<excel::Enumerator<excel::CommandBarControl>> entries;
    assign(entries, [&] { return Required(menuControls).Enumerate(); });
    while (entries) {
        std::shared_ptr<excel::CommandBarControl> e;
        try {
            e = entries->Next();
        } catch (const HostError&) {
            return;
        }
        if (!e) return;
        std::wstring caption;
        assign(caption, [&] { return e->Caption(); });
        visit(e, caption);
    }
}

}  // namespace

std::wstring BaseName(const std::wstring& caption) {
    const std::wstring::size_type dot = caption.rfind(L'.');
    return dot == std::wstring::npos ? caption : caption.substr(0, dot);
}

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

std::vector<MenuEntry> MatchingEntries(const std::shared_ptr<excel::CommandBarControls>& menuControls,
                                       const std::wstring& namePattern, const std::wstring& basePattern) {
    std::vector<MenuEntry> matching;
    // An entry whose caption cannot be read is not taken: executing it would
    // run whatever command it is (e.g. "New Window").
    ForEachEntry(menuControls, [&](const std::shared_ptr<excel::CommandBarControl>& e, const std::wstring& caption) {
        if (caption.empty()) return;
        const bool showsName = MatchesPattern(caption, namePattern);
        if (showsName || MatchesPattern(caption, basePattern)) matching.push_back({e, showsName});
    });
    // Names shown with their extension: same-BaseName workbooks have entries
    // of their own that only the BaseName pattern matches.
    if (std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return e.showsName; }) &&
        std::any_of(matching.begin(), matching.end(), [](const MenuEntry& e) { return !e.showsName; })) {
        std::erase_if(matching, [](const MenuEntry& e) { return !e.showsName; });
    }
    return matching;
}

EntryPatterns PatternsFor(excel::Application* app, const std::wstring& name) {
    // Several windows show ":" and a number after the name.
    const bool severalWindows =
        holds([&] { return Required(Required(Required(Required(app).Workbooks()).Item(name)).Windows()).Count() > 1; });
    const std::wstring base = BaseName(name);
    EntryPatterns p;
    p.name.append(kEntryPrefix).append(EscapePattern(MenuCaptionText(name)));
    p.base.append(kEntryPrefix).append(EscapePattern(MenuCaptionText(base)));
    p.dialog = EscapePattern(name);
    if (base != name) p.dialogBase = EscapePattern(base);
    if (severalWindows) {
        p.name.append(kWindowNumberSuffix);
        p.base.append(kWindowNumberSuffix);
        p.dialog.append(kWindowNumberSuffix);
        if (!p.dialogBase.empty()) p.dialogBase.append(kWindowNumberSuffix);
    }
    return p;
}

std::shared_ptr<excel::CommandBarControls> WindowMenuControls(excel::Application* app) {
    std::shared_ptr<excel::CommandBarControls> controls;
    assign(controls, [&] {
        return Required(Required(Required(app).CommandBars()).FindControl(std::nullopt, excel::ids::WindowMenu))
            .Controls();
    });
    return controls;
}

std::shared_ptr<excel::CommandBarControl> MoreWindowsEntry(
    const std::shared_ptr<excel::CommandBarControls>& menuControls) {
    std::shared_ptr<excel::CommandBarControl> byCaption;
    assign(byCaption, [&] { return Required(menuControls).Item(std::wstring(kMoreWindowsCaption)); });
    if (byCaption) return byCaption;
    std::shared_ptr<excel::CommandBarControl> byPlace;
    bool afterNumbered = false;
    ForEachEntry(menuControls, [&](const std::shared_ptr<excel::CommandBarControl>& e, const std::wstring& caption) {
        const bool numbered = MatchesPattern(caption, kNumberedEntry);
        // Only an entry whose caption was read: an unreadable one may be any command.
        if (afterNumbered && !numbered && !byPlace && !caption.empty()) byPlace = e;
        afterNumbered = numbered;
    });
    return byPlace;
}

std::optional<std::wstring> ActiveName(excel::Application* app) {
    std::optional<std::wstring> name;
    assign(name, [&] { return std::optional<std::wstring>(Required(Required(app).ActiveWorkbook()).Name()); });
    return name;
}

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

SwitchRunning::SwitchRunning() {
    State().WindowMenuSwitchRunning = true;
}

SwitchRunning::~SwitchRunning() {
    State().WindowMenuSwitchRunning = false;
}

bool EndExcelEdit(excel::Application* app) {
    AddinState& s = State();
    if (!IsEditWindowClass(s.FocusClassName)) return true;
    const std::optional<std::wstring> active = ActiveName(app);
    if (!active) return false;
    const std::shared_ptr<excel::CommandBarControls> menuControls = WindowMenuControls(app);
    bool landed = false;
    {
        SwitchRunning running;
        landed = TryMenuEntries(app, menuControls, *active, PatternsFor(app, *active), 0);
    }
    // Not a switch: nothing is left for the timer to finish.
    s.WindowMenuSwitchPending = false;
    return landed && ActiveName(app) == active && !IsEditWindowClass(s.FocusClassName);
}

}  // namespace tarnwick
