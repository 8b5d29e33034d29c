// A scripted session for the screenshots of the main job: Excel 2003 with
// three workbooks, the add-in connected, a tab clicked, the add-in
// disconnected. At each step it writes <out>/step-N.ready and waits for
// <out>/step-N.done (the script's screenshot) before going on.
#include <windows.h>

#include <cstdio>
#include <fstream>
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

    fakexl::FakeExcel excel({.version = L"11.0", .left = 0, .top = 0, .width = 1000, .height = 640,
                             .initialWorkbooks = 2});
    excel.OpenWorkbook(L"C:\\报表\\预算2024.xls");
    ::ShowWindow(excel.MainWindow(), SW_SHOWNORMAL);
    ::SetForegroundWindow(excel.MainWindow());
    Say(L"Excel " L"11.0" L" with workbooks Book1, Book2, 预算2024.xls");
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
    addin->OnConnection(excel.Application(), 1 /* at Excel's start */, nullptr, nullptr);
    addin->OnStartupComplete(nullptr);
    excel.PumpUntil([&] { return ReadTabs(excel.BarWindow(L"VodevIzuzod")).has_value(); }, 10000);
    Say(L"connected");
    ReportTabs(excel);
    Step(excel, 2, L"the strip docked under the toolbars");

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

    addin->OnDisconnection(1, nullptr);
    addin.Reset();
    Say(L"disconnected; host bar present: " + std::wstring(excel.Bar(L"VodevIzuzod") ? L"yes" : L"no") +
        L"; references still held: " + std::to_wstring(excel.OutstandingReferences()));
    Step(excel, 5, L"after disconnection");
    std::fclose(g_transcript);
    return 0;
}
