// Excel's Window menu as the add-in uses it: its numbered entry for a
// workbook's window, the "more windows" entry that opens the window-list
// dialog, and ending a cell edit the way the menu does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/excel.h"

namespace tarnwick {

// The caption without its extension: up to the last '.'.
std::wstring BaseName(const std::wstring& caption);

// Windows of the workbook whose Visible holds; one that cannot be read counts.
int32_t CountVisibleWindows(excel::Application& app, const std::wstring& name);

// How a workbook's entries look in the Window menu and in the dialog.
struct EntryPatterns {
    std::wstring name;        // menu: "&# " + name
    std::wstring base;        // menu: "&# " + BaseName
    std::wstring dialog;      // the dialog's list item
    std::wstring dialogBase;  // the same without extension ("" when the name has none)
};
EntryPatterns PatternsFor(excel::Application* app, const std::wstring& name);

struct MenuEntry {
    std::shared_ptr<excel::CommandBarControl> control;
    bool showsName = false;  // matched with the full name, not the BaseName
};
// The entries of the Window menu that match either pattern, in menu order.
std::vector<MenuEntry> MatchingEntries(const std::shared_ptr<excel::CommandBarControls>& menuControls,
                                       const std::wstring& namePattern, const std::wstring& basePattern);

// The Window menu's entries; nothing when it cannot be read.
std::shared_ptr<excel::CommandBarControls> WindowMenuControls(excel::Application* app);

// "其他窗口(&M)...", or in another language the entry right after the
// numbered window entries; nothing when the menu lists every window.
std::shared_ptr<excel::CommandBarControl> MoreWindowsEntry(
    const std::shared_ptr<excel::CommandBarControls>& menuControls);

// The active workbook's name; nullopt when it cannot be read.
std::optional<std::wstring> ActiveName(excel::Application* app);

// Executes the workbook's entries, the guessed one first, until Excel has
// the workbook active. True when it is (or where they landed cannot be read).
bool TryMenuEntries(excel::Application* app, const std::shared_ptr<excel::CommandBarControls>& menuControls,
                    const std::wstring& name, const EntryPatterns& patterns, int32_t guess);

// While the add-in executes Window-menu entries, Excel's activations are its own.
class SwitchRunning {
public:
    SwitchRunning();
    ~SwitchRunning();
    SwitchRunning(const SwitchRunning&) = delete;
    SwitchRunning& operator=(const SwitchRunning&) = delete;
};

// True when Excel is not editing (by the focus record), or once the edit is
// ended by executing the active window's own Window-menu entry, which commits
// it as choosing that entry by hand does. False when the edit goes on: a
// command then must not start, since Excel refuses its calls meanwhile.
bool EndExcelEdit(excel::Application* app);

}  // namespace tarnwick
