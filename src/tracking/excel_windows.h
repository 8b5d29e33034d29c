// How many workbooks are on screen, whether one is, and the focus back to Excel.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

int32_t CountVisibleWorkbooks();
bool IsWorkbookVisible(const std::wstring& name);
void RestoreExcelFocus();  // passes a failed ExcelApp.Hwnd read on

// The numeric value of Excel's Version text ("11.0", "10", "10.5"), read the
// same way whatever the user's locale; text that is no number throws
// HostError, so callers treat it as a failed read.
double ExcelVersionValue(const std::wstring& text);

}  // namespace tarnwick
