// The dispatch objects a TabControl hands out: tab items (TabControlItem),
// its PaintManager and the paint manager's ColorSet. Each holds a reference
// to the control; the control holds none to them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com_support.h"
#include "corvane/tab_model.h"

namespace corvane::win {

class TabControl;

// A new object with one reference; null when out of memory.
IDispatch* NewTabItemObject(TabControl& control, const ItemRef& item);
IDispatch* NewPaintManagerObject(TabControl& control);
IDispatch* NewColorSetObject(TabControl& control);

}  // namespace corvane::win
