// The cadence of the synchronisation timer and its "nothing changed" test.
//
// What the test reads, all of it answered by Win32 from the thread's own
// window data without a call into Excel: the style and width of Excel's main
// window (hidden, disabled by a modal dialog, resized), the form's parent and
// the host bar window's style (a bar hidden or deleted takes its window
// along), and the workbook windows (class "EXCEL7") under Excel's desk
// ("XLDESK"), each with its style and caption: a window hidden, closed or
// shown changes its style, a workbook saved under a new name changes its
// caption. Listing the desk's children costs a round trip to the window
// manager per window under Wine, so the list is taken again only after a
// sign of activity and after a change was seen; between those the windows
// already known are read again, which is cheap. A window that appears
// unannounced is not watched until then, but the full tick counts the
// visible workbooks, and a rebuild is input on the strip.
//
// A tick that was left out changed nothing; a full tick that found the strip
// true makes what it saw the state to compare with. Any other full tick
// (a repair, Excel hidden or busy, the strip undocked) leaves the next tick
// to run in full too.
//
// Application events cover activations, and the safety net covers what
// Win32 cannot show: a new name that leaves the caption as it was (Explorer
// hiding extensions), a workbook shown without being activated.
#include "tracking/idle_watch.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "interop/addin_state.h"
#include "interop/excel.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tabstrip/form_tab.h"
#include "tracking/sync_timer.h"

namespace tarnwick {

namespace {

constexpr const wchar_t* kDeskClass = L"XLDESK";
constexpr const wchar_t* kWorkbookWindowClass = L"EXCEL7";
// A desk never holds this many windows; a platform that keeps answering ends the walk.
constexpr std::size_t kMaxWorkbookWindows = 4096;

// a comes before b on the wrapping 32-bit tick count.
bool Before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

uint64_t CaptionHash(const std::wstring& text) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (wchar_t c : text) {
        h ^= static_cast<uint16_t>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

bool SwitchUnderWay(const AddinState& s) {
    return s.WindowMenuSwitchPending || s.WindowMenuSwitchRunning || s.EditBoxSwitched;
}

bool Fast(const AddinState& s, uint32_t now) {
    return Before(now, s.IdleWatch.FastUntil) || SwitchUnderWay(s);
}

uint32_t Style(Platform& plat, WindowHandle h) {
    return static_cast<uint32_t>(plat.GetWindowLongA(h, win::GWL_STYLE));
}

// Fills `out`; lists the desk's children when `list` (or nothing is known),
// else reads the windows already known from `known`. True when it listed.
// Throws HostError when a read fails.
bool Look(ExcelWindowsSeen& out, const ExcelWindowsSeen& known, bool list) {
    AddinState& s = State();
    IdleWatchState& w = s.IdleWatch;
    Platform& plat = Plat();
    if (w.ExcelHwnd == 0) w.ExcelHwnd = Required(s.ExcelApp).Hwnd();
    const WindowHandle excel = w.ExcelHwnd;

    out.excelStyle = Style(plat, excel);
    Rect rect;
    plat.GetWindowRect(excel, rect);
    out.excelWidth = rect.right - rect.left;

    out.form = 0;
    out.formParent = 0;
    if (s.TabStripForm && s.TabStripForm->IsLoaded()) {
        out.form = s.TabStripForm->hWnd();
        out.formParent = plat.GetParent(out.form);
    }
    out.hostBar = s.TabBarHostWindow;
    out.hostBarStyle = out.hostBar != 0 ? Style(plat, out.hostBar) : 0;

    out.workbookWindows.clear();
    list = list || known.desk == 0;
    if (list) {
        out.desk = plat.FindWindowExA(excel, 0, kDeskClass, std::nullopt);
        WindowHandle child = 0;
        while (out.desk != 0 && out.workbookWindows.size() < kMaxWorkbookWindows &&
               (child = plat.FindWindowExA(out.desk, child, kWorkbookWindowClass, std::nullopt)) != 0) {
            out.workbookWindows.push_back(WorkbookWindowSeen{child});
        }
    } else {
        out.desk = known.desk;
        for (const WorkbookWindowSeen& k : known.workbookWindows)
            out.workbookWindows.push_back(WorkbookWindowSeen{k.hwnd});
    }
    out.deskParent = out.desk != 0 ? plat.GetParent(out.desk) : 0;
    for (WorkbookWindowSeen& b : out.workbookWindows) {
        b.style = Style(plat, b.hwnd);
        b.captionHash = b.style != 0 ? CaptionHash(plat.GetWindowTextA(b.hwnd)) : 0;
    }
    return list;
}

// A window that kept its handle and changed its caption: a workbook may have
// a new name, which only a look at the names can tell.
bool CaptionChanged(const ExcelWindowsSeen& now, const ExcelWindowsSeen& seen) {
    for (const WorkbookWindowSeen& n : now.workbookWindows) {
        for (const WorkbookWindowSeen& k : seen.workbookWindows) {
            if (k.hwnd == n.hwnd && k.captionHash != n.captionHash) return true;
        }
    }
    return false;
}

// A tab whose caption is no open workbook's name. A walk that fails tells
// nothing, and a rebuild would read the same failing values.
bool TabNamesStale(excel::Application& app, tab::TabControl& tabs, int32_t itemCount) {
    std::vector<std::wstring> names;
    try {
        const std::unique_ptr<excel::Enumerator<excel::Workbook>> workbooks = Required(app.Workbooks()).Enumerate();
        while (const std::shared_ptr<excel::Workbook> wb = workbooks->Next()) names.push_back(wb->Name());
        for (int32_t i = 0; i < itemCount; ++i) {
            const std::wstring caption = Required(tabs.Item(i)).Caption();
            if (std::find(names.begin(), names.end(), caption) == names.end()) return true;
        }
    } catch (const HostError&) {
    }
    return false;
}

// A running timer takes the new period: a thread timer's period cannot be
// changed in place (SetTimer with a NULL window makes a new timer), so a new
// one is made before the old one is killed; if either step fails the old
// timer keeps running as it was.
void SetPeriod(uint32_t periodMs) {
    AddinState& s = State();
    IdleWatchState& w = s.IdleWatch;
    if (s.SyncTimerId == 0 || w.PeriodMs == periodMs) return;
    Platform& plat = Plat();
    std::uintptr_t fresh = 0;
    try {
        fresh = plat.SetTimer(0, 0, periodMs, SyncTimerProc);
    } catch (const HostError&) {
        return;
    }
    if (fresh == 0) return;
    if (fresh == s.SyncTimerId) {  // the same timer, reset to the new period
        w.PeriodMs = periodMs;
        return;
    }
    try {
        plat.KillTimer(0, s.SyncTimerId);
    } catch (const HostError&) {
        try {
            plat.KillTimer(0, fresh);
        } catch (const HostError&) {
        }
        return;
    }
    s.SyncTimerId = fresh;
    w.PeriodMs = periodMs;
}

}  // namespace

bool DueEvery(uint32_t& lastRun, uint32_t intervalMs, uint32_t now) {
    if (Before(now - intervalMs, lastRun)) return false;
    lastRun = now;
    return true;
}

void NoteActivity() noexcept {
    try {
        AddinState& s = State();
        if (s.platform == nullptr) return;
        IdleWatchState& w = s.IdleWatch;
        w.FastUntil = Plat().GetTickCount() + kFastCadenceHoldMs;
        w.WindowListStale = true;
        SetPeriod(kSyncTimerPeriodMs);
    } catch (...) {
    }
}

void ResetIdleWatch() {
    IdleWatchState& w = State().IdleWatch;
    w = IdleWatchState{};
    w.PeriodMs = kSyncTimerPeriodMs;
    assign(w.FastUntil, [] { return Plat().GetTickCount() + kFastCadenceHoldMs; });
    w.LastFullTick = w.FastUntil - kFastCadenceHoldMs;
}

bool FullTickNeeded() noexcept {
    AddinState& s = State();
    IdleWatchState& w = s.IdleWatch;
    w.NowComplete = false;
    // Without a tab control the tick reads Excel's visibility and stops.
    if (s.TabControlUnavailable) return true;
    try {
        const uint32_t now = Plat().GetTickCount();
        if (DueEvery(w.LastFullTick, kFullTickSafetyNetMs, now)) {
            w.NamesCheckDue = true;
            w.Agreed = false;
        }
        bool listed = Look(w.Now, w.Seen, w.WindowListStale);
        bool differs = !(w.Now == w.Seen);
        // A change against a true strip: list the desk again, so that what
        // this tick sees is complete.
        if (w.Agreed && differs && !listed) {
            listed = Look(w.Now, w.Seen, true);
            differs = !(w.Now == w.Seen);
        }
        if (listed) w.WindowListStale = false;
        w.NowComplete = true;
        if (w.SeenValid && differs && CaptionChanged(w.Now, w.Seen)) w.NamesCheckDue = true;
        if (w.Agreed && !differs && !Fast(s, now)) return false;
        w.LastFullTick = now;
    } catch (...) {
        // Nothing to compare with: the full tick decides.
        w.WindowListStale = true;
    }
    w.Agreed = false;
    return true;
}

void StripAgrees(Form_Tab& form, tab::TabControl& tabs, int32_t itemCount, const std::wstring& selectName) {
    AddinState& s = State();
    IdleWatchState& w = s.IdleWatch;
    if (w.NamesCheckDue) {
        w.NamesCheckDue = false;
        if (s.ExcelApp && TabNamesStale(*s.ExcelApp, tabs, itemCount)) {
            step([&] { form.UpdateMenu(selectName); });
            return;
        }
    }
    if (!w.NowComplete) return;
    std::swap(w.Seen, w.Now);
    w.NowComplete = false;
    w.SeenValid = true;
    w.Agreed = true;
}

void AdjustCadence() noexcept {
    try {
        AddinState& s = State();
        if (s.SyncTimerId == 0 || s.TabControlUnavailable) return;
        SetPeriod(Fast(s, Plat().GetTickCount()) ? kSyncTimerPeriodMs : kIdleTickPeriodMs);
    } catch (...) {
    }
}

}  // namespace tarnwick
