// The poll keeps the workbook object found for each tab caption, so that a
// poll is one Saved call per tab; Workbooks(caption) is asked again only for
// a tab it has not seen, or when the held object fails (the workbook was
// closed). A workbook saved under a new name keeps its object until the
// tab's caption follows, so its mark goes with the save, not with the rename.
#include "tracking/unsaved_marks.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_busy.h"
#include "tracking/sync_timer.h"

namespace tarnwick {

namespace {

// Brings the entry for `caption` to position i of what the poll has seen: the
// one already there, one further on (tabs before it were removed), or a new
// one (a tab was inserted). Entries before i are settled and stay.
UnsavedMarkSeen& SeenAt(std::vector<UnsavedMarkSeen>& seen, size_t i, const std::wstring& caption) {
    if (i < seen.size() && seen[i].caption == caption) return seen[i];
    const auto from = seen.begin() + static_cast<std::ptrdiff_t>(std::min(i, seen.size()));
    const auto found = std::find_if(from, seen.end(), [&](const UnsavedMarkSeen& e) { return e.caption == caption; });
    if (found != seen.end()) {
        std::rotate(from, found, found + 1);
    } else {
        seen.insert(from, UnsavedMarkSeen{caption, nullptr, false});
    }
    return seen[i];
}

std::optional<bool> ReadSaved(const std::shared_ptr<excel::Workbook>& wb) {
    std::optional<bool> saved;
    if (wb) assign(saved, [&] { return std::optional<bool>(wb->Saved()); });
    return saved;
}

}  // namespace

void RefreshUnsavedMarks() {
    try {
        AddinState& s = State();
        if (!s.UnsavedMarksSetting) {
            // Switched off in the about dialog: nothing is held for it either.
            s.UnsavedMarksSeen.clear();
            return;
        }
        const std::shared_ptr<excel::Application> app = s.ExcelApp;
        const std::shared_ptr<Form_Tab> form = s.TabStripForm;
        if (!app || !form || s.TabControlUnavailable || !form->IsLoaded()) return;

        uint32_t now = 0;
        try {
            now = Plat().GetTickCount();
        } catch (const HostError&) {
            return;
        }
        // Due on the last tick before a period would have passed, so that a
        // change shows within about a period whatever the tick cadence (10 or
        // 100 ms). The periods follow each other on a fixed grid, so a tick
        // that comes early or late never adds a poll: there is one per period
        // on average, however the ticks jitter. After a long pause (busy, no
        // strip) the grid starts again from now. The difference is taken in
        // uint32_t, right across the 49.7-day wrap, and read signed: an early
        // tick may come before the grid point of the poll it made.
        const auto period = static_cast<int32_t>(kUnsavedMarksPeriodMs);
        const auto tickPeriod =
            static_cast<int32_t>(s.IdleWatch.PeriodMs != 0 ? s.IdleWatch.PeriodMs : kSyncTimerPeriodMs);
        const auto sinceLast = static_cast<int32_t>(now - s.UnsavedMarksPolledAt);
        if (s.UnsavedMarksPolled && sinceLast <= period - tickPeriod) return;
        s.UnsavedMarksPolledAt =
            s.UnsavedMarksPolled && sinceLast < 2 * period ? s.UnsavedMarksPolledAt + kUnsavedMarksPeriodMs : now;
        // A busy Excel is asked again a period later, not on every tick.
        s.UnsavedMarksPolled = true;

        // Excel's main window does not change while Excel runs: read once.
        if (s.UnsavedMarksExcelHwnd == 0) assign(s.UnsavedMarksExcelHwnd, [&] { return app->Hwnd(); });
        const std::optional<WindowHandle> excelHwnd =
            s.UnsavedMarksExcelHwnd != 0 ? std::optional<WindowHandle>(s.UnsavedMarksExcelHwnd) : std::nullopt;
        if (ExcelBusy(excelHwnd)) return;

        std::shared_ptr<tab::TabControl> tabs;
        assign(tabs, [&] { return form->TabSeclect(); });
        int32_t count = 0;
        assign(count, [&] { return Required(tabs).ItemCount(); });

        std::vector<UnsavedMarkSeen>& seen = s.UnsavedMarksSeen;
        size_t settled = 0;
        for (int32_t i = 0; i < count; ++i) {
            std::shared_ptr<tab::TabItem> item;
            std::wstring caption;
            try {
                item = Required(tabs).Item(i);
                caption = Required(item).Caption();
            } catch (const HostError&) {
                continue;
            }
            UnsavedMarkSeen& entry = SeenAt(seen, settled++, caption);
            std::optional<bool> saved = ReadSaved(entry.workbook);
            if (!saved) {
                entry.workbook.reset();
                assign(entry.workbook, [&] { return Required(app->Workbooks()).Item(caption); });
                saved = ReadSaved(entry.workbook);
            }
            if (!saved) continue;
            entry.unsaved = !*saved;
            step([&] {
                if (item->Unsaved() != entry.unsaved) item->Unsaved(entry.unsaved);
            });
        }
        // Tabs that have gone take their workbooks with them.
        if (seen.size() > settled) seen.erase(seen.begin() + static_cast<std::ptrdiff_t>(settled), seen.end());
    } catch (...) {
        // Called from the timer procedure: nothing may leave it.
    }
}

bool KnownUnsaved(const std::wstring& caption) {
    const AddinState& s = State();
    if (!s.UnsavedMarksSetting) return false;
    return std::any_of(s.UnsavedMarksSeen.begin(), s.UnsavedMarksSeen.end(),
                       [&](const UnsavedMarkSeen& e) { return e.caption == caption && e.unsaved; });
}

void ForgetUnsavedMarks() {
    AddinState& s = State();
    s.UnsavedMarksSeen.clear();
    s.UnsavedMarksPolled = false;
    s.UnsavedMarksPolledAt = 0;
    s.UnsavedMarksExcelHwnd = 0;
}

}  // namespace tarnwick
