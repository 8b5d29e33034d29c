// The world's entities. Port objects hold shared pointers to these and fail
// once the entity is gone (closed workbook, deleted bar, destroyed window).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interop/platform.h"
#include "interop/platform_types.h"

namespace tarnwick::sim {

class AccessibleSim;
class TabControlSim;

struct WindowModel;  // a platform window

struct ExcelWindowModel {  // one window of a workbook
    bool visible = true;
    WindowHandle hwnd = 0;  // its "EXCEL7" window
    bool alive = true;
};

struct WorkbookModel {
    std::wstring name;
    std::wstring fullName;
    bool everSaved = false;  // false: FullName equals Name
    bool dirty = false;
    bool alive = true;
    std::vector<std::shared_ptr<ExcelWindowModel>> windows;
};

struct ControlModel {
    int32_t type = 1;
    int32_t id = 1;
    std::wstring caption;
    std::wstring tag;
    std::wstring parameter;
    bool enabled = true;
    bool visible = true;
    int32_t width = 23;
    bool temporary = false;
    bool alive = true;
    // What Execute does for a built-in control; empty for custom buttons.
    std::function<void()> action;
    std::vector<std::shared_ptr<ControlModel>> children;  // a popup control's entries
    bool dynamicWindowMenu = false;                       // children follow the open windows
    bool windowListEntry = false;                         // a numbered or "more windows" entry
};

struct BarModel {
    std::wstring name;
    int32_t position = 4;  // msoBarFloating unless given
    bool visible = false;
    bool enabled = true;
    bool menuBar = false;
    bool temporary = false;
    bool builtIn = false;
    int32_t protection = 0;
    bool alive = true;
    std::vector<std::shared_ptr<ControlModel>> controls;
    WindowHandle window = 0;  // its "MsoCommandBar" window while shown
};

struct WindowModel {
    WindowHandle handle = 0;
    std::wstring className;
    std::wstring title;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    WindowHandle parent = 0;
    WindowHandle owner = 0;
    Rect rect{};
    bool visible = false;
    bool maximized = false;
    bool enabled = true;  // EnableWindow: false while a modal dialog of its own runs
    bool alive = true;
    std::shared_ptr<AccessibleSim> accessible;
    std::function<void()> onResize;   // a form's Form_Resize
    std::function<void()> onDestroy;  // e.g. a form's control dies with it
};

struct HookModel {
    HookHandle handle = 0;
    int32_t idHook = 0;
    HookProc proc = nullptr;
    ModuleHandle hmod = 0;
    uint32_t threadId = 0;
};

struct TimerModel {
    std::uintptr_t id = 0;
    uint32_t elapse = 0;
    uint64_t due = 0;  // virtual clock when it fires next
    TimerProc proc = nullptr;
};

}  // namespace tarnwick::sim
