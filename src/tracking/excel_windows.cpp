// Which workbooks Excel shows, and handing the keyboard focus back to Excel.
//
// Both counting helpers run under resume-next with "an unreadable test
// counts as passed": a window whose Visible cannot be read is visible, a
// workbook whose windows cannot be listed is visible, and when the Workbooks
// collection itself cannot be read the count is 1. A failed step of a walk
// ends that walk, so a collection that keeps failing cannot loop forever.
#include "tracking/excel_windows.h"

#include <memory>

#include "interop/addin_state.h"
#include "interop/excel.h"
#include "interop/host_error.h"

namespace tarnwick {

namespace {

// Stops at the first visible window; the count runs on every timer tick.
bool HasVisibleWindow(excel::Workbook& workbook) {
    try {
        const std::unique_ptr<excel::Enumerator<excel::Window>> windows = Required(workbook.Windows()).Enumerate();
        while (const std::shared_ptr<excel::Window> window = windows->Next()) {
            if (window->Visible()) return true;
        }
        return false;
    } catch (const HostError&) {
        return true;
    }
}

}  // namespace

int32_t CountVisibleWorkbooks() {
    int32_t count = 0;
    std::unique_ptr<excel::Enumerator<excel::Workbook>> workbooks;
    try {
        workbooks = Required(Required(State().ExcelApp).Workbooks()).Enumerate();
    } catch (const HostError&) {
        return 1;
    }
    for (;;) {
        std::shared_ptr<excel::Workbook> workbook;
        try {
            workbook = workbooks->Next();
        } catch (const HostError&) {
            return count + 1;
        }
        if (!workbook) break;
        if (HasVisibleWindow(*workbook)) ++count;
    }
    return count;
}

bool IsWorkbookVisible(const std::wstring& name) {
    std::shared_ptr<excel::Workbook> workbook;
    try {
        workbook = Required(Required(State().ExcelApp).Workbooks()).Item(name);
    } catch (const HostError&) {
        return true;
    }
    return !workbook || HasVisibleWindow(*workbook);
}

void RestoreExcelFocus() {
    AddinState& s = State();
    if (Plat().IsWindowVisible(s.LastEditBoxWindow)) {
        Plat().SetFocus(s.LastEditBoxWindow);
    } else {
        Plat().SetFocus(Required(s.ExcelApp).Hwnd());
    }
}

double ExcelVersionValue(const std::wstring& text) {
    // Digits, optionally a point and more digits: "11.0", "10", "10.5".
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == L' ') ++pos;
    double value = 0;
    bool digits = false;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        value = value * 10 + (text[pos++] - L'0');
        digits = true;
    }
    if (pos < text.size() && text[pos] == L'.') {
        ++pos;
        double scale = 0.1;
        while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
            value += (text[pos++] - L'0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    while (pos < text.size() && text[pos] == L' ') ++pos;
    if (!digits || pos != text.size()) throw HostError(hr::E_INVALIDARG_);
    return value;
}

}  // namespace tarnwick
