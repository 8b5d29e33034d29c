#include "corvane/tab_strip.h"

#include "corvane/ids.h"

namespace corvane {

bool TabStrip::Select(const ItemRef& item) {
    if (!model_.Contains(item.get())) return false;
    if (model_.SetSelected(item)) {
        // Hold the item: the handler may clear the list.
        ItemRef keep = item;
        events_.SelectedChanged(keep);
    }
    return true;
}

void TabStrip::ClickItem(const ItemRef& item) {
    if (!model_.Contains(item.get())) return;
    ItemRef keep = item;
    bool cancel = false;
    events_.BeforeItemClick(keep, cancel);
    if (cancel) return;
    Select(keep);  // refuses an item that a handler removed meanwhile
}

void TabStrip::ButtonDown(int16_t button, int16_t shift, float x, float y, const ItemRef& hit) {
    ItemRef keep = hit;
    events_.MouseDown(button, shift, x, y);
    if (button == kLeftButton && keep) ClickItem(keep);
}

void TabStrip::ButtonUp(int16_t button, int16_t shift, float x, float y) {
    events_.MouseUp(button, shift, x, y);
}

void TabStrip::ClickCloseButton(const ItemRef& item) {
    if (!model_.Contains(item.get())) return;
    ItemRef keep = item;
    events_.CloseButtonClick(keep);
}

}  // namespace corvane
