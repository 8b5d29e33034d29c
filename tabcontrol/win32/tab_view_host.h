// What the strip's window needs from the control that owns it: read access
// to the tab list and the settings, and a way to hand user input back. The
// control (tab_control.*) implements it; the window never raises events
// itself.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "corvane/geometry.h"
#include "corvane/tab_model.h"
#include "corvane/tab_style.h"

namespace corvane::win {

class TabViewHost {
public:
    virtual const TabModel& ViewModel() const = 0;
    virtual const PaintSettings& ViewPaint() const = 0;
    virtual HIMAGELIST ViewImageList() const = 0;
    virtual TabFeatures ViewFeatures() const = 0;

    // A mouse button went down or up in the client area; hit is the tab
    // under the point or empty. Presses on the navigation, list and close
    // buttons are the window's own business and never arrive here.
    virtual void ViewButtonDown(int16_t button, int16_t shift, Point at, const ItemRef& hit) = 0;
    virtual void ViewButtonUp(int16_t button, int16_t shift, Point at) = 0;
    // Accessibility: the default action clicks a tab; accSelect selects it.
    virtual void ViewClickItem(const ItemRef& item) = 0;
    virtual void ViewSelectItem(const ItemRef& item) = 0;
    // A tab's close button was clicked (mouse or accessibility).
    virtual void ViewCloseItem(const ItemRef& item) = 0;

protected:
    ~TabViewHost() = default;
};

}  // namespace corvane::win
