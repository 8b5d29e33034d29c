// The behaviour of the control apart from any window: the tab list, the
// selection and the order in which events are raised. The COM object owns one
// TabStrip and forwards its events to the connected sinks.
//
// Event order for a left button press on a tab:
//   MouseDown, BeforeItemClick, SelectedChanged (only when the selection
//   changes and the click was not cancelled) ... and on release MouseUp.
// A click on a tab's close button raises CloseButtonClick alone, and a
// choice from the list of tabs what a left click raises, without the mouse
// events, so that a container's double-click pairing sees neither.
// Handlers may change the list re-entrantly (an Excel event can rebuild the
// whole strip from inside SelectedChanged); every step re-checks the item.
#pragma once

#include <cstdint>

#include "corvane/tab_model.h"

namespace corvane {

class TabStripEvents {
public:
    virtual ~TabStripEvents() = default;
    virtual void MouseDown(int16_t button, int16_t shift, float x, float y) = 0;
    virtual void BeforeItemClick(const ItemRef& item, bool& cancel) = 0;
    virtual void SelectedChanged(const ItemRef& item) = 0;
    virtual void MouseUp(int16_t button, int16_t shift, float x, float y) = 0;
    virtual void CloseButtonClick(const ItemRef& item) = 0;
};

class TabStrip {
public:
    explicit TabStrip(TabStripEvents& events) : events_(events) {}
    TabStrip(const TabStrip&) = delete;
    TabStrip& operator=(const TabStrip&) = delete;

    TabModel& Model() { return model_; }
    const TabModel& Model() const { return model_; }

    // Selects item and raises SelectedChanged when that changed the
    // selection. False (and no event) when item is not in the list.
    bool Select(const ItemRef& item);

    // A click on an item by any means (mouse or accessibility): raises
    // BeforeItemClick, then selects the item unless a handler cancelled the
    // click or the item left the list meanwhile.
    void ClickItem(const ItemRef& item);

    // A mouse button went down at (x, y) in the control; hit is the item
    // under the point or empty. Only the left button clicks items; the right
    // button leaves the selection to the container (the add-in selects on
    // right clicks itself).
    void ButtonDown(int16_t button, int16_t shift, float x, float y, const ItemRef& hit);
    void ButtonUp(int16_t button, int16_t shift, float x, float y);

    // The close button of item was clicked; nothing when item left the list.
    void ClickCloseButton(const ItemRef& item);

private:
    TabStripEvents& events_;
    TabModel model_;
};

}  // namespace corvane
