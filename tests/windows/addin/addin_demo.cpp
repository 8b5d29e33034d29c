// A scripted session for the screenshots of the main job: Excel 2003 with
// three workbooks, the add-in connected (a changed workbook marked, the
// pointer on a close button), a tab clicked, Excel's own switch, so many
// workbooks that the list of all of them is opened, the same in the simple
// look, and the add-in disconnected. At each step it writes
// <out>/step-N.ready and waits for <out>/step-N.done (the script's
// screenshot) before going on.
#include <oleacc.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "addin_harness.h"
#include "fake_excel.h"

using namespace addintest;

namespace {

std::wstring g_out;
FILE* g_transcript = nullptr;

std::string Utf8(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

void Say(const std::wstring& line) {
    std::string text = Utf8(line) + "\n";
    std::fputs(text.c_str(), g_transcript);
    std::fflush(g_transcript);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void Step(fakexl::FakeExcel& excel, int n, const std::wstring& what) {
    excel.PumpFor(500);
    Say(L"STEP " + std::to_wstring(n) + L": " + what);
    const std::wstring ready = g_out + L"\\step-" + std::to_wstring(n) + L".ready";
    const std::wstring done = g_out + L"\\step-" + std::to_wstring(n) + L".done";
    std::ofstream(ready.c_str()).put('\n');
    excel.PumpUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
}

HWND StripWindow(fakexl::FakeExcel& excel) {
    HWND bar = excel.BarWindow(L"VodevIzuzod");
    HWND form = bar ? ::GetWindow(bar, GW_CHILD) : nullptr;
    return form ? ::FindWindowExW(form, nullptr, L"CorvaneTabStrip", nullptr) : nullptr;
}

// The screen centre of accessible child `child` of the strip (1-based), or
// of that child's own child `part` (a tab's close button is its part 1).
std::optional<POINT> AccessibleCentre(HWND strip, long child, long part) {
    tarnwick::win32::ComPtr<IAccessible> acc;
    if (!strip ||
        FAILED(::AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void())))
        return std::nullopt;
    VARIANT id;
    ::VariantInit(&id);
    V_VT(&id) = VT_I4;
    V_I4(&id) = child;
    if (part != 0) {
        tarnwick::win32::ComPtr<IDispatch> object;
        if (acc->get_accChild(id, object.put()) != S_OK || !object) return std::nullopt;
        acc = object.TryAs<IAccessible>(IID_IAccessible);
        if (!acc) return std::nullopt;
        V_I4(&id) = part;
    }
    long x = 0, y = 0, w = 0, h = 0;
    if (acc->accLocation(&x, &y, &w, &h, id) != S_OK) return std::nullopt;
    return POINT{x + w / 2, y + h / 2};
}

// The pointer goes over a tab's close button for real, so that the strip's
// leave tracking finds it there, and the button is drawn hot.
void PointAtCloseButton(fakexl::FakeExcel& excel, int tab) {
    const HWND strip = StripWindow(excel);
    const auto at = AccessibleCentre(strip, tab + 1, 1);
    if (!at) {
        Say(L"  no close button found on tab " + std::to_wstring(tab + 1));
        return;
    }
    ::SetCursorPos(at->x, at->y);
    POINT client = *at;
    ::ScreenToClient(strip, &client);
    ::SendMessageW(strip, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    excel.PumpFor(300);
    Say(L"  pointer on the close button of tab " + std::to_wstring(tab + 1));
}

// Opens the list of every workbook and holds it open for step n's
// screenshot: the menu's loop dispatches this timer meanwhile.
struct ListStep {
    std::wstring ready, done;
    bool announced = false;
};
ListStep* g_listStep = nullptr;

void CALLBACK HoldListOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (!g_listStep || !menu || !::IsWindowVisible(menu)) return;
    if (!g_listStep->announced) {
        std::ofstream(g_listStep->ready.c_str()).put('\n');
        g_listStep->announced = true;
    } else if (::GetFileAttributesW(g_listStep->done.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::KillTimer(nullptr, timer);
        ::EndMenu();
    }
}

void StepWithListOpen(fakexl::FakeExcel& excel, int n, const std::wstring& what) {
    const HWND strip = StripWindow(excel);
    const auto tabs = ReadTabs(excel.BarWindow(L"VodevIzuzod"));
    const auto button = tabs ? AccessibleCentre(strip, static_cast<long>(tabs->size()) + 1, 0) : std::nullopt;
    if (!button) {
        Say(L"  the tabs fit: no list button");
        Step(excel, n, what);
        return;
    }
    excel.PumpFor(500);
    Say(L"STEP " + std::to_wstring(n) + L": " + what);
    ListStep list{g_out + L"\\step-" + std::to_wstring(n) + L".ready",
                  g_out + L"\\step-" + std::to_wstring(n) + L".done"};
    g_listStep = &list;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, HoldListOpen);
    POINT client = *button;
    ::ScreenToClient(strip, &client);
    ::SetCursorPos(button->x, button->y);
    ::SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    ::SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    excel.PumpUntil([&] { return ::GetFileAttributesW(list.done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    ::KillTimer(nullptr, timer);
    g_listStep = nullptr;
}

void SetTheme(const wchar_t* value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Shared Tools\\Tarnwick\\Excel", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (value) {
        ::RegSetValueExW(key, L"Theme", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                         static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    } else {
        ::RegDeleteValueW(key, L"Theme");
    }
    ::RegCloseKey(key);
}

void ReportTabs(fakexl::FakeExcel& excel) {
    auto tabs = ReadTabs(excel.BarWindow(L"VodevIzuzod"));
    if (!tabs) {
        Say(L"  strip: none");
        return;
    }
    std::wstring line = L"  strip:";
    for (const auto& tab : *tabs) line += L" [" + tab.name + (tab.selected ? L"*" : L"") + L"]";
    Say(line);
    Say(L"  active workbook: " + excel.ActiveWorkbook().value_or(L"(none)"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_out = argc > 1 ? argv[1] : L".";
    g_transcript = _wfopen((g_out + L"\\transcript.txt").c_str(), L"w");
    if (!g_transcript) return 2;

    fakexl::FakeExcel excel(
        {.version = L"11.0", .left = 0, .top = 0, .width = 1000, .height = 640, .initialWorkbooks = 2});
    excel.OpenWorkbook(L"C:\\报表\\预算2024.xls");
    ::ShowWindow(excel.MainWindow(), SW_SHOWNORMAL);
    ::SetForegroundWindow(excel.MainWindow());
    Say(L"Excel "
        L"11.0"
        L" with workbooks Book1, Book2, 预算2024.xls");
    Step(excel, 1, L"Excel before the add-in connects");

    // As the installer would: Wine's regsvr32 on the DLL beside us.
    auto registered = Regsvr32(false);
    Say(L"regsvr32 TarnwickAddin.dll: " + (registered ? std::to_wstring(*registered) : std::wstring(L"timed out")));
    HRESULT created = E_FAIL;
    auto addin = CreateAddin(&created);
    if (!addin) {
        Say(L"the add-in could not be created: 0x" + std::to_wstring(static_cast<unsigned long>(created)));
        return 1;
    }
    SetTheme(nullptr);
    addin->OnConnection(excel.Application(), 1 /* at Excel's start */, nullptr, nullptr);
    addin->OnStartupComplete(nullptr);
    excel.PumpUntil([&] { return ReadTabs(excel.BarWindow(L"VodevIzuzod")).has_value(); }, 10000);
    Say(L"connected");
    excel.SetDirty(L"Book2", true);
    excel.PumpFor(700);
    Say(L"Book2 changed: its tab is marked");
    ReportTabs(excel);
    PointAtCloseButton(excel, 0);
    Step(excel, 2, L"the strip docked under the toolbars, Book2 marked, the pointer on Book1's close button");

    if (auto tabs = ReadTabs(excel.BarWindow(L"VodevIzuzod")); tabs && !tabs->empty()) {
        const RECT r = tabs->front().screen;
        Say(L"click on tab " + tabs->front().name);
        ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        excel.PumpFor(300);
        ReportTabs(excel);
    }
    Step(excel, 3, L"after a click on the first tab");

    excel.ActivateWorkbook(L"预算2024.xls");
    excel.PumpFor(300);
    Say(L"activated 预算2024.xls in Excel itself");
    ReportTabs(excel);
    Step(excel, 4, L"the strip follows Excel's own switch");

    const wchar_t* more[] = {L"C:\\报表\\销售数据.xls",         L"C:\\报表\\人员名单.xls",
                             L"C:\\报表\\Quarterly Report.xls", L"C:\\报表\\R&D 预算.xls",
                             L"C:\\报表\\库存明细.xls",         L"C:\\报表\\客户回访记录.xls",
                             L"C:\\报表\\Annual Plan 2025.xls", L"C:\\报表\\采购订单.xls"};
    for (const wchar_t* fullName : more) excel.OpenWorkbook(fullName);
    excel.SetDirty(L"Annual Plan 2025.xls", true);
    excel.PumpFor(700);
    Say(L"opened 8 more workbooks; Annual Plan 2025.xls changed");
    ReportTabs(excel);
    StepWithListOpen(excel, 5, L"more workbooks than fit: the list of every workbook");

    // The simple look, from a fresh connection as after Excel's next start.
    addin->OnDisconnection(1, nullptr);
    SetTheme(L"1");
    addin->OnConnection(excel.Application(), 0 /* after Excel's start */, nullptr, nullptr);
    excel.PumpUntil([&] { return ReadTabs(excel.BarWindow(L"VodevIzuzod")).has_value(); }, 10000);
    excel.PumpFor(700);
    Say(L"reconnected in the simple look (Theme 1)");
    ReportTabs(excel);
    PointAtCloseButton(excel, 9);
    Step(excel, 6, L"the simple look: Annual Plan 2025.xls marked, the pointer on its close button");
    StepWithListOpen(excel, 7, L"the simple look: the list of every workbook");
    SetTheme(nullptr);

    addin->OnDisconnection(1, nullptr);
    addin.Reset();
    Say(L"disconnected; host bar present: " + std::wstring(excel.Bar(L"VodevIzuzod") ? L"yes" : L"no") +
        L"; references still held: " + std::to_wstring(excel.OutstandingReferences()));
    Step(excel, 8, L"after disconnection");
    std::fclose(g_transcript);
    return 0;
}
