// IAccessible for the strip's client area: a page tab list whose children
// are simple elements (child ids 1..n), one page tab per item, named by its
// caption, described by its tooltip, selectable, with the default action of
// clicking the tab. Wine's oleacc gives custom windows no children at all,
// so this is also how the Windows tests see the tabs.
//
// The object holds the view weakly: a client that keeps it after the strip
// is gone gets RPC_E_DISCONNECTED and keeps nothing else alive.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <memory>

namespace corvane::win {

class TabView;

// A new object with one reference, or null when out of memory.
IAccessible* CreateTabAccessible(std::weak_ptr<TabView> view);

}  // namespace corvane::win
