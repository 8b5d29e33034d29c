// The two popup menus "TabBar" and "TabBarII".
#pragma once

#include "commands/workbook_commands.h"

namespace tarnwick {

// Replaces both popups in State().ExcelApp's command bars, stores them in
// TabBarPopup and TabBarIIPopup and subscribes `handler` to the last button.
void CreateCommandBars(WorkbookCommands& handler);

}  // namespace tarnwick
