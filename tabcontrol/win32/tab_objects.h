// The dispatch objects a TabControl hands out: tab items (TabControlItem),
// its PaintManager and the paint manager's ColorSet.
//
// The paint manager and colour set are made per request and hold a reference
// to the control. Tab items are made once per tab and owned by the control
// while the tab is in its list, so the add-in's timer, which reads every
// tab on each tick, allocates nothing; they point back at the control
// without owning it (no cycle).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com_support.h"
#include "corvane/tab_model.h"

namespace corvane::win {

class TabControl;
class TabItemObject;

// The control's reference to one tab's item object. Dropping it orphans the
// object: a client still holding it reads the tab's data, gets Index -1 and
// cannot select it.
class ItemObjectRef {
public:
    // Empty (Dispatch() null) when out of memory.
    ItemObjectRef(TabControl& control, const ItemRef& item);
    ItemObjectRef(ItemObjectRef&& other) noexcept;
    ItemObjectRef& operator=(ItemObjectRef&&) = delete;
    ItemObjectRef(const ItemObjectRef&) = delete;
    ~ItemObjectRef();

    IDispatch* Dispatch() const;

private:
    TabItemObject* object_;
};

// A new object with one reference; null when out of memory.
IDispatch* NewPaintManagerObject(TabControl& control);
IDispatch* NewColorSetObject(TabControl& control);

}  // namespace corvane::win
