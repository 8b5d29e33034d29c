// How many workbooks are on screen, whether one is, and the focus back to Excel.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

int32_t CountVisibleWorkbooks();
bool IsWorkbookVisible(const std::wstring& name);
void RestoreExcelFocus();  // passes a failed ExcelApp.Hwnd read on

}  // namespace tarnwick
