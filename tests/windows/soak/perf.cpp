// Figures for the idle path under Wine, through the real DLL and IDispatch:
// OnConnection time, time and host calls per idle tick, GetIDsOfNames per
// tick after the first; per idle second: timer wake-ups, Invoke calls and the
// time spent inside the add-in's timer; and the delay between a change made
// host-side and the strip showing it. Not a test: run it through
// scripts/perf-wine.sh, which runs it against the add-in before and after a
// change.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace scen;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);  // ms
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void MeasureConnection(int books, int runs) {
    Session s({.initialWorkbooks = books}, false);
    s.excel.ResetCallCounts();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (!s.addin) s.addin = CreateAddin();
        const double start = Now();
        s.addin->OnConnection(s.excel.Application(), kAfterStartup, nullptr, nullptr);
        times.push_back(Now() - start);
        s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 3000);
        if (i == 0) {
            std::printf("first connection of the process, %d workbooks: GetIDsOfNames %ld, Invoke %ld\n", books,
                        s.excel.GetIDsOfNamesCount(), s.excel.InvokeCount());
        }
        s.Disconnect();
        s.excel.PumpFor(20);
    }
    std::printf("OnConnection, %2d workbooks: first %.2f ms, median of the next %d %.2f ms, max %.2f ms\n", books,
                times.front(), runs - 1, Percentile({times.begin() + 1, times.end()}, 0.5),
                *std::max_element(times.begin() + 1, times.end()));
}

void MeasureIdleTicks(int books, int ticks) {
    Session s({.initialWorkbooks = books}, false);
    s.excel.ResetCallCounts();
    s.Connect();
    s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 5000);
    const long connectionNames = s.excel.GetIDsOfNamesCount();
    // The strip is up; the next tick is the first one with nothing to repair.
    s.excel.ResetCallCounts();
    TickDriver driver;
    if (!driver.Capture(s.excel)) {
        std::printf("no timer tick seen\n");
        return;
    }
    std::printf(
        "%2d workbooks: GetIDsOfNames %ld while connecting and docking, %ld in the first idle tick "
        "(%ld Invoke)\n",
        books, connectionNames, s.excel.GetIDsOfNamesCount(), s.excel.InvokeCount());
    for (int i = 0; i < 50; ++i) driver.Tick();  // caches filled, nothing to repair
    s.excel.ResetCallCounts();
    std::vector<double> times;
    times.reserve(static_cast<size_t>(ticks));
    for (int i = 0; i < ticks; ++i) {
        const double start = Now();
        driver.Tick();
        times.push_back(Now() - start);
    }
    double sum = 0;
    for (double t : times) sum += t;
    const double mean = sum / ticks;
    std::printf(
        "idle tick, %2d workbooks, %d ticks: mean %.4f ms (%.2f %% of 10 ms), median %.4f ms, p99 %.4f ms; "
        "Invoke %.1f, GetIDsOfNames %.3f per tick\n",
        books, ticks, mean, mean * 10.0, Percentile(times, 0.5), Percentile(times, 0.99),
        static_cast<double>(s.excel.InvokeCount()) / ticks, static_cast<double>(s.excel.GetIDsOfNamesCount()) / ticks);

    // Real 10 ms ticks for comparison: the wall clock between them is the
    // loop's, the time inside DispatchMessage is the tick's.
    s.excel.ResetCallCounts();
    int real = 0;
    double inside = 0;
    const double start = Now();
    while (Now() - start < 2000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool tick = msg.message == WM_TIMER && !msg.hwnd && msg.lParam;
            const double t0 = Now();
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            if (tick) {
                inside += Now() - t0;
                ++real;
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    if (real > 0) {
        std::printf("real ticks, %2d workbooks: %d in 2 s, mean %.4f ms inside the tick; GetIDsOfNames %ld\n", books,
                    real, inside / real, s.excel.GetIDsOfNamesCount());
    }
}

// Real timer messages after the strip has been left alone for `settleMs`:
// the add-in's wake-ups, its Invoke calls and the time inside its timer
// procedure, per second, over `windows` windows of `seconds` each. Other
// processes only ever add time, so the least of the windows is the figure;
// all of them are printed.
// The unsaved marks on or off, as the about dialog stores them.
void SetUnsavedMarks(bool on) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const DWORD value = on ? 1 : 0;
    ::RegSetValueExW(key, L"UnsavedMarks", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(key);
}

void MeasureIdleSeconds(int books, DWORD settleMs, int windows, int seconds, bool marks = true) {
    SetUnsavedMarks(marks);
    Session s({.initialWorkbooks = books}, false);
    s.Connect();
    s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 10000);
    s.excel.PumpFor(settleMs);
    double least = -1;
    std::string all;
    long wakeUps = 0, invokes = 0, savedReads = 0;
    for (int w = 0; w < windows; ++w) {
        s.excel.ResetCallCounts();
        double inside = 0;
        const double start = Now();
        while (Now() - start < seconds * 1000.0) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                const bool tick = msg.message == WM_TIMER && !msg.hwnd && msg.lParam;
                const double t0 = Now();
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
                if (tick) {
                    inside += Now() - t0;
                    ++wakeUps;
                }
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        invokes += s.excel.InvokeCount();
        savedReads += s.excel.MemberCalls(L"Workbook.Saved");
        const double perSecond = inside / seconds;
        least = least < 0 ? perSecond : std::min(least, perSecond);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s%.3f", w ? ", " : "", perSecond);
        all += buf;
    }
    const double total = static_cast<double>(windows * seconds);
    std::printf(
        "idle second, %3d workbooks, unsaved marks %-3s (%d x %d s): %.1f wake-ups, %.1f Invoke (%.1f Saved), "
        "%.3f ms inside the timer (least of %s ms)\n",
        books, marks ? "on" : "off", windows, seconds, static_cast<double>(wakeUps) / total,
        static_cast<double>(invokes) / total, static_cast<double>(savedReads) / total, least, all.c_str());
}

bool HasTab(Session& s, const std::wstring& name, bool selected = false) {
    for (const Tab& t : s.Tabs()) {
        if (t.name == name) return !selected || t.selected;
    }
    return false;
}

// Milliseconds from a host-side change to the strip showing it, 20 workbooks,
// each change made after `idleMs` without activity; -1 when not within 3 s.
void MeasureChangeDelays(int idleMs) {
    struct Change {
        const char* what;
        std::function<void(Session&)> act;
        std::function<bool(Session&)> shown;
    };
    auto formWidth = [](Session& s) {
        RECT r{};
        ::GetWindowRect(s.Form(), &r);
        return r.right - r.left;
    };
    const Change changes[] = {
        {"renamed workbook, not the active one",
         [](Session& s) { s.excel.RenameWorkbook(L"Book3", L"C:\\data\\销售3.xls"); },
         [](Session& s) { return HasTab(s, L"销售3.xls"); }},
        {"hidden workbook window, not the active one", [](Session& s) { s.excel.SetWindowVisible(L"Book4", 1, false); },
         [](Session& s) { return !s.Tabs().empty() && !HasTab(s, L"Book4"); }},
        {"host bar hidden", [](Session& s) { s.excel.HideBar(kHostBar); },
         [](Session& s) {
             auto bar = s.excel.Bar(kHostBar);
             return bar && bar->visible && s.Form() && ::IsWindowVisible(s.Form());
         }},
        {"host bar deleted", [](Session& s) { s.excel.DeleteBar(kHostBar); },
         [](Session& s) {
             auto bar = s.excel.Bar(kHostBar);
             return bar && bar->visible && s.Form() && ::IsWindowVisible(s.Form());
         }},
        {"new width", [](Session& s) { s.excel.ResizeMainWindow(700, 600); },
         [&](Session& s) { return s.Form() && formWidth(s) < 700; }},
        {"another active workbook", [](Session& s) { s.excel.ActivateWorkbook(L"Book5"); },
         [](Session& s) { return HasTab(s, L"Book5", true); }},
    };
    for (const Change& c : changes) {
        std::string delays;
        double worst = 0;
        for (int run = 0; run < 3; ++run) {
            Session s({.initialWorkbooks = 20}, false);
            s.Connect();
            s.WaitForStrip({}, {}, 10000);
            s.excel.PumpFor(static_cast<DWORD>(idleMs + run * 37));
            const double t0 = Now();
            c.act(s);
            const bool shown = s.excel.PumpUntil([&] { return c.shown(s); }, 3000);
            const double delay = shown ? Now() - t0 : -1;
            worst = delay < 0 || worst < 0 ? -1 : std::max(worst, delay);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%s%.0f", run ? ", " : "", delay);
            delays += buf;
        }
        std::printf("change to strip after %d ms idle, %-42s %s ms (worst %.0f; -1 = not within 3 s)\n", idleMs,
                    (std::string(c.what) + ":").c_str(), delays.c_str(), worst);
    }
}

}  // namespace

int main() {
    ::OleInitialize(nullptr);
    if (RegisterAddin() != 0u) {
        std::printf("registration failed\n");
        return 1;
    }
    MeasureConnection(1, 21);
    MeasureConnection(20, 21);
    for (int books : {1, 20}) MeasureIdleTicks(books, 5000);
    MeasureIdleSeconds(20, 2000, 3, 3, false);
    for (int books : {1, 20, 100}) MeasureIdleSeconds(books, 2000, 3, 3);
    SetUnsavedMarks(true);
    MeasureChangeDelays(1500);
    ::OleUninitialize();
    return 0;
}
